// Scaling: every IFSCAL family on small literal matrices with exact round trips through
// retrieval, the bounds the largest-entry family guarantees, clamping, held lines, the
// sweep messages, KQSCALE, and solves whose results in the caller's units do not depend
// on the scaling.
#include "simplex/prep/scaling_factors.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "library/library.h"
#include "problem/problem_fixtures.h"
#include "problem/retrieval.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/driver/scaling_step.h"
#include "simplex/driver/solution_access.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

using test::LpArrays;

constexpr double kInf = kInfinity;

// Rows N, L, G, E, R with entries from 1e-8 to 3e7, an infinite and a free column.
LpArrays wide_range() {
  LpArrays a;
  a.name = "wide";
  a.row_types = {'N', 'L', 'G', 'E', 'R'};
  a.rhs = {0.0, 4.0e6, -3.0, 0.125, 7.0};
  a.range = {0.0, 0.0, 0.0, 0.0, -2.5};
  a.objective = {1.0e-3, -250.0, 3.0, 0.0};
  a.starts = {0, 3, 6, 9, 11};
  a.rows = {0, 1, 3, 1, 2, 4, 0, 2, 3, 1, 4};
  a.values = {1.0e-3, 3.0e7, 1.0e-8, -2.0e5, 1.5e-3, 7.0, 3.0, -0.5, 1.0e2, 0.3, -1.0e-6};
  a.lower = {0.0, -1.0e30, -5.0, -1.0e30};
  a.upper = {1.0e6, 40.0, 1.0e30, 1.0e30};
  return a;
}

// Entries, bounds and right-hand sides all powers of two.
LpArrays powers_of_two() {
  LpArrays a;
  a.name = "powers";
  a.row_types = {'L', 'L', 'G'};
  a.rhs = {64.0, 0.5, 1.0 / 1024};
  a.range = {0.0, 0.0, 0.0};
  a.objective = {-1.0, 8.0, -0.25};
  a.starts = {0, 2, 4, 6};
  a.rows = {0, 2, 0, 1, 1, 2};
  a.values = {512.0, 0.0625, 4.0, 1.0 / 4096, 2.0, 16.0};
  a.lower = {0.0, 0.0, -1.0e30};
  a.upper = {1024.0, 1.0e30, 32.0};
  return a;
}

// Rows whose only large entries lie far from 1: 1e-12, 1e-30 and 1e30 (ZTOLDA = 0).
LpArrays far_from_one() {
  LpArrays a;
  a.name = "farfrom1";
  a.row_types = {'L', 'L', 'L', 'L', 'L', 'L'};
  a.rhs = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  a.range = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  a.objective = {1.0, 1.0, 1.0};
  a.starts = {0, 2, 4, 6};
  a.rows = {0, 3, 1, 4, 2, 5};
  a.values = {1.0e-12, 1.0, 1.0e-30, 1.0, 1.0e30, 1.0};
  a.lower = {0.0, 0.0, 0.0};
  a.upper = {1.0, 1.0, 1.0};
  return a;
}

struct Matrix {
  const char* name;
  LpArrays arrays;
  bool global;
};

std::vector<Matrix> matrices() {
  return {{"wide range", wide_range(), false},
          {"powers of two", powers_of_two(), false},
          {"far from one", far_from_one(), false},
          {"entities and sets", test::mip(), true},
          {"small lp", LpArrays{}, false}};
}

// Every value the retrieval operations return, in the given units.
struct Snapshot {
  std::vector<double> objective, lower, upper, rhs, range, column_values, row_values, weights;
  std::vector<std::int32_t> column_rows, row_columns;

  bool operator==(const Snapshot& o) const {
    auto same = [](const std::vector<double>& x, const std::vector<double>& y) {
      return x.size() == y.size() && (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0);
    };
    return same(objective, o.objective) && same(lower, o.lower) && same(upper, o.upper) && same(rhs, o.rhs) &&
           same(range, o.range) && same(column_values, o.column_values) && same(row_values, o.row_values) &&
           same(weights, o.weights) && column_rows == o.column_rows && row_columns == o.row_columns;
  }
};

Snapshot read_all(Library& lib, Units units) {
  const Problem& p = *lib.problem;
  const std::int32_t n = p.columns, m = p.rows;
  Snapshot s;
  s.objective.resize(static_cast<std::size_t>(n));
  s.lower.resize(static_cast<std::size_t>(n));
  s.upper.resize(static_cast<std::size_t>(n));
  s.rhs.resize(static_cast<std::size_t>(m));
  s.range.resize(static_cast<std::size_t>(m));
  EXPECT_EQ(get_objective(lib, s.objective.data(), 0, n - 1, units), 0);
  EXPECT_EQ(get_lower_bounds(lib, s.lower.data(), 0, n - 1, units), 0);
  EXPECT_EQ(get_upper_bounds(lib, s.upper.data(), 0, n - 1, units), 0);
  EXPECT_EQ(get_rhs(lib, s.rhs.data(), 0, m - 1, units), 0);
  EXPECT_EQ(get_range(lib, s.range.data(), 0, m - 1, units), 0);
  std::int32_t nels = 0;
  const std::int32_t size = p.elements();
  std::vector<std::int32_t> start(static_cast<std::size_t>(std::max(n, m)) + 1);
  s.column_rows.resize(static_cast<std::size_t>(size));
  s.column_values.resize(static_cast<std::size_t>(size));
  EXPECT_EQ(get_columns(lib, start.data(), s.column_rows.data(), s.column_values.data(), size, &nels, 0, n - 1, units),
            0);
  s.row_columns.resize(static_cast<std::size_t>(size));
  s.row_values.resize(static_cast<std::size_t>(size));
  EXPECT_EQ(get_rows(lib, start.data(), s.row_columns.data(), s.row_values.data(), size, &nels, 0, m - 1, units), 0);
  if (p.sets.count() > 0) {
    s.weights.resize(p.sets.members.size());
    std::int32_t ngents = 0, nsets = 0;
    EXPECT_EQ(get_global(lib, &ngents, &nsets, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, s.weights.data()),
              0);
  }
  return s;
}

void load_with(test::TestLibrary& t, const Matrix& matrix, std::int32_t ifscal) {
  t->controls.i(icv::IFSCAL) = ifscal;
  t->controls.d(dcv::ZTOLDA) = 0.0;
  ASSERT_EQ(test::load(t.lib(), matrix.arrays, matrix.global), 0);
}

int exponent_of(const Problem& p, std::int32_t v) { return status::exponent(p.status[static_cast<std::size_t>(v)]); }

TEST(Scaling, PowersOfTwoTable) {
  EXPECT_EQ(kPowersOfTwo[64], 1.0);
  for (int k = kMinScaleExponent; k <= kMaxScaleExponent; ++k) {
    EXPECT_EQ(scale_factor(k), std::ldexp(1.0, 64 - k)) << k;
    EXPECT_EQ(scale_factor(k) * inverse_scale_factor(k), 1.0) << k;
  }
}

TEST(Scaling, ZeroLeavesEveryExponentNeutral) {
  for (const Matrix& matrix : matrices()) {
    SCOPED_TRACE(matrix.name);
    test::TestLibrary t;
    load_with(t, matrix, 0);
    const Problem& p = *t->problem;
    for (std::uint32_t word : p.status) EXPECT_EQ(word >> status::kExponentShift, 64u);
    EXPECT_TRUE(read_all(t.lib(), Units::kInternal) == read_all(t.lib(), Units::kCaller));
  }
}

// Table: families × matrices. The caller's values come back bit for bit, the stored
// ones are the loaded ones times the factors, infinities stay infinite, exponents lie
// in 1..127 and global-entity columns keep 64.
TEST(Scaling, RoundTripsByFamilyAndMatrix) {
  const std::int32_t families[] = {1, 2, 3, 4, 7, 32, 33, 34, 35, 39, 64, 65, 66, 67, 71, 8, 16, 24, 8 + 35, 16 + 35};
  for (const Matrix& matrix : matrices()) {
    test::TestLibrary reference;
    load_with(reference, matrix, 0);
    const Snapshot loaded = read_all(reference.lib(), Units::kCaller);
    for (std::int32_t family : families) {
      SCOPED_TRACE(std::string(matrix.name) + ", IFSCAL " + std::to_string(family));
      test::TestLibrary t;
      load_with(t, matrix, family);
      const Problem& p = *t->problem;
      EXPECT_TRUE(read_all(t.lib(), Units::kCaller) == loaded);
      for (std::int32_t v = 0; v < p.variables(); ++v) {
        const int k = exponent_of(p, v);
        EXPECT_GE(k, kMinScaleExponent);
        EXPECT_LE(k, kMaxScaleExponent);
        if (p.status[static_cast<std::size_t>(v)] & status::kGlobalEntity) {
          EXPECT_EQ(k, 64);
        }
      }
      const Problem& q = *reference->problem;
      for (std::int32_t j = 0; j < p.columns; ++j) {
        const auto v = static_cast<std::size_t>(p.column_variable(j));
        const double c = scale_factor(exponent_of(p, static_cast<std::int32_t>(v)));
        EXPECT_EQ(p.objective[static_cast<std::size_t>(j)], q.objective[static_cast<std::size_t>(j)] * c);
        for (auto [stored, given] : {std::pair{p.lower[v], q.lower[v]}, std::pair{p.upper[v], q.upper[v]}}) {
          EXPECT_EQ(stored, std::fabs(given) == kInf ? given : given / c);
        }
        for (std::int32_t k = p.by_column.start[static_cast<std::size_t>(j)];
             k < p.by_column.start[static_cast<std::size_t>(j) + 1]; ++k) {
          const auto kk = static_cast<std::size_t>(k);
          const double r = scale_factor(exponent_of(p, p.by_column.row[kk]));
          EXPECT_EQ(p.by_column.value[kk], q.by_column.value[kk] * r * c);
        }
      }
      for (std::int32_t i = 0; i < p.row_slots(); ++i) {
        const auto v = static_cast<std::size_t>(i);
        const double r = scale_factor(exponent_of(p, i));
        EXPECT_EQ(p.rhs[v], q.rhs[v] * r);
        for (auto [stored, given] : {std::pair{p.lower[v], q.lower[v]}, std::pair{p.upper[v], q.upper[v]}}) {
          EXPECT_EQ(stored, std::fabs(given) == kInf ? given : given * r);
        }
      }
    }
  }
}

// IFSCAL 35: each line is divided by the power of two nearest its largest entry, so after
// the row and the column pass every entry is below √2 in magnitude and every column's
// largest entry lies in [√½, √2).
TEST(Scaling, LargestEntryFamilyBoundsTheEntries) {
  test::TestLibrary t;
  load_with(t, {"wide range", wide_range(), false}, 35);
  const Problem& p = *t->problem;
  for (std::int32_t j = 0; j < p.columns; ++j) {
    double largest = 0.0;
    for (std::int32_t k = p.by_column.start[static_cast<std::size_t>(j)];
         k < p.by_column.start[static_cast<std::size_t>(j) + 1]; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      if (p.row_type[static_cast<std::size_t>(p.by_column.row[kk])] == row_type::kFree) continue;
      const double a = std::fabs(p.by_column.value[kk]);
      EXPECT_LT(a, std::sqrt(2.0));
      largest = std::max(largest, a);
    }
    if (largest > 0.0) {
      EXPECT_GE(largest, std::sqrt(0.5)) << j;
    }
  }
}

// A row whose only entry is 1e-12 needs 2^40, which the byte holds (exponent 24); 1e-30
// and 1e30 need more than 2^63 and are clamped at 1 and 127. The values read back are
// the loaded ones all the same.
TEST(Scaling, ExponentsFarFromOneAreClamped) {
  for (std::int32_t family : {35, 3, 8, 16}) {
    SCOPED_TRACE(family);
    test::TestLibrary t;
    load_with(t, {"far from one", far_from_one(), false}, family);
    const Problem& p = *t->problem;
    if (family == 35) {
      EXPECT_EQ(exponent_of(p, 0), 24);
      EXPECT_GE(std::fabs(p.by_column.value[0]), std::sqrt(0.5));
      EXPECT_LT(std::fabs(p.by_column.value[0]), std::sqrt(2.0));
      EXPECT_EQ(exponent_of(p, 1), kMinScaleExponent);
      EXPECT_EQ(exponent_of(p, 2), kMaxScaleExponent);
    }
    for (std::int32_t v = 0; v < p.variables(); ++v) {
      EXPECT_GE(exponent_of(p, v), kMinScaleExponent);
      EXPECT_LE(exponent_of(p, v), kMaxScaleExponent);
    }
    double value[6];
    std::int32_t start[4], row[6], nels = 0;
    ASSERT_EQ(get_columns(t.lib(), start, row, value, 6, &nels, 0, 2, Units::kCaller), 0);
    EXPECT_EQ(std::vector<double>(value, value + 6), far_from_one().values);
  }
}

TEST(Scaling, HeldLinesKeepTheNeutralExponent) {
  test::TestLibrary t;
  load_with(t, {"wide range", wide_range(), false}, 35);
  Problem& p = *t->problem;
  const std::vector<std::uint32_t> before = p.status;
  // A row flagged not to be scaled keeps 64; the others are unchanged.
  p.row_flags[1] = row_flag::kNoScale;
  ASSERT_EQ(scale_problem(t.lib()), 0);
  EXPECT_EQ(exponent_of(p, 1), 64);
  EXPECT_NE(status::exponent(before[1]), 64);
  // The free row takes no part in the column scales: entries of 1e9 there change nothing.
  test::TestLibrary u;
  LpArrays big = wide_range();
  big.values[0] = 1.0e9;
  big.values[6] = -1.0e9;
  load_with(u, {"wide range", big, false}, 35);
  for (std::int32_t j = 0; j < p.columns; ++j) {
    EXPECT_EQ(exponent_of(*u->problem, u->problem->column_variable(j)),
              status::exponent(before[static_cast<std::size_t>(p.column_variable(j))]));
  }
}

TEST(Scaling, IterativeSweepsPrintTheirMessages) {
  struct Case {
    std::int32_t ifscal;
    const char* text;
    std::size_t most;
  };
  for (const Case& c :
       {Case{8, "Scaling sweep, largest change", 4}, Case{16, "Mean scaling sweep, largest change", 10}}) {
    SCOPED_TRACE(c.ifscal);
    test::TestLibrary t;
    t->controls.i(icv::IFMSG) = 1;
    load_with(t, {"wide range", wide_range(), false}, c.ifscal);
    std::size_t lines = 0;
    for (const std::string& text : t.texts()) lines += text.find(c.text) != std::string::npos ? 1 : 0;
    EXPECT_GE(lines, 1u);
    EXPECT_LE(lines, c.most);
    test::TestLibrary quiet;
    load_with(quiet, {"wide range", wide_range(), false}, c.ifscal);
    EXPECT_FALSE(quiet.printed(c.text));
  }
}

TEST(Scaling, ScaleNeedsAProblemAndAQuietEngine) {
  test::TestLibrary t;
  EXPECT_EQ(scale_problem(t.lib()), 32);
  EXPECT_EQ(t->err.error_number, 91);
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  t->engine = std::make_unique<EngineState>();
  t->engine->running = true;
  EXPECT_EQ(scale_problem(t.lib()), 32);
  EXPECT_EQ(t->err.error_number, 268);
  t->engine->running = false;
  EXPECT_EQ(scale_problem(t.lib()), 0);
}

TEST(Scaling, CostScaleIsThePowerOfTwoNearestTheLargestCost) {
  struct Case {
    std::vector<double> costs;
    double scale;
  };
  const Case cases[] = {
      {{3.0, -1000.0}, 1024.0}, {{0.0, 0.0}, 1.0}, {{0.7}, 0.5}, {{0.75}, 1.0}, {{-3.0e-5}, 1.0 / 32768}};
  for (const Case& c : cases) {
    Problem p;
    p.objective = c.costs;
    EXPECT_EQ(compute_cost_scale(p), c.scale);
  }
}

// x0 ≤ −3·x2 in the caller's units reads x0' ≤ −3·(C_2 / C_0)·x2' as stored. (Set
// weights follow their columns too: the round trips above read them back.)
TEST(Scaling, DeferredPairsFollowTheColumns) {
  test::TestLibrary t;
  t->controls.i(icv::IFSCAL) = 65;  // columns by their largest entries
  LpArrays a = wide_range();
  ProblemInput in = a.input();
  const DeferredPair pairs[] = {{0, 2, -3.0}};
  in.deferred_pairs = pairs;
  ASSERT_EQ(load_from_arrays(t.lib(), in, false), 0);
  const Problem& p = *t->problem;
  const double first = scale_factor(exponent_of(p, p.column_variable(0)));
  const double second = scale_factor(exponent_of(p, p.column_variable(2)));
  ASSERT_NE(first, second);
  EXPECT_EQ(p.deferred_pairs[0].factor, -3.0 * second / first);
}

// A problem directory for solution files that the driver writes.
class SolveDirectory {
 public:
  SolveDirectory() {
    path_ = std::filesystem::temp_directory_path() / ("kqscale" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
  }
  ~SolveDirectory() { std::filesystem::remove_all(path_); }
  std::string name(const char* base) const { return (path_ / base).string(); }

 private:
  std::filesystem::path path_;
};

struct Solution {
  std::int32_t status = 0;
  double objective = 0.0;
  std::vector<double> x, slack, dual, dj;

  bool operator==(const Solution& o) const {
    auto same = [](const std::vector<double>& a, const std::vector<double>& b) {
      return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
    };
    return status == o.status && std::memcmp(&objective, &o.objective, sizeof objective) == 0 && same(x, o.x) &&
           same(slack, o.slack) && same(dual, o.dual) && same(dj, o.dj);
  }
};

Solution read_solution(Library& lib) {
  Solution s;
  const Problem& p = *lib.problem;
  s.x.resize(static_cast<std::size_t>(p.columns));
  s.dj.resize(static_cast<std::size_t>(p.columns));
  s.slack.resize(static_cast<std::size_t>(p.rows));
  s.dual.resize(static_cast<std::size_t>(p.rows));
  EXPECT_EQ(get_solution(lib, s.x.data(), s.slack.data(), s.dual.data(), s.dj.data()), 0);
  s.status = *lib.attributes.int_attribute(attr::kLpStatus);
  s.objective = *lib.attributes.double_attribute(attr::kObjectiveValue);
  return s;
}

// min −x1 − 2x2 − 4x3 with 2x1 + x2/2 ≤ 6, 4x2 + x3/8 ≤ 10, x3/4 ≤ 1, 0 ≤ x ≤ 100: the
// optimal basis is triangular with power-of-two pivots, so every value of the solution
// is computed exactly, scaled or not.
LpArrays dyadic_lp(const std::string& name) {
  LpArrays a;
  a.name = name;
  a.row_types = {'L', 'L', 'L'};
  a.rhs = {6.0, 10.0, 1.0};
  a.range = {0.0, 0.0, 0.0};
  a.objective = {-1.0, -2.0, -4.0};
  a.starts = {0, 1, 3, 5};
  a.rows = {0, 0, 1, 1, 2};
  a.values = {2.0, 0.5, 4.0, 0.125, 0.25};
  a.lower = {0.0, 0.0, 0.0};
  a.upper = {100.0, 100.0, 100.0};
  return a;
}

Solution solve(const LpArrays& a, std::int32_t ifscal, std::int32_t icrash) {
  test::TestLibrary t;
  t->controls.i(icv::IFSCAL) = ifscal;
  t->controls.i(icv::ICRASH) = icrash;
  EXPECT_EQ(test::load(t.lib(), a), 0);
  EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  return read_solution(t.lib());
}

TEST(Scaling, PowersOfTwoSolveAlikeScaledOrNot) {
  SolveDirectory dir;
  const LpArrays a = dyadic_lp(dir.name("dyadic"));
  for (std::int32_t icrash : {0, 2}) {
    const Solution reference = solve(a, 0, icrash);
    ASSERT_EQ(reference.status, 1);
    EXPECT_EQ(reference.x, (std::vector<double>{2.40625, 2.375, 4.0}));
    for (std::int32_t ifscal : {35, 3, 8, 16, 67}) {
      SCOPED_TRACE("IFSCAL " + std::to_string(ifscal) + ", ICRASH " + std::to_string(icrash));
      EXPECT_TRUE(solve(a, ifscal, icrash) == reference);
    }
  }
}

// min −5e-6·x0 with 64·x0 + x1 ≤ 64, x0 in [0, 1]: scaling column 0 by 2^-6 (IFSCAL 65)
// makes its reduced cost −7.8e-8, inside ZTCOST; in the caller's units it is −5e-6, so
// the optimum x0 = 1 must still be found.
TEST(Scaling, OptimaAreConfirmedInTheCallersUnits) {
  SolveDirectory dir;
  LpArrays a;
  a.name = dir.name("confirm");
  a.row_types = {'L'};
  a.rhs = {64.0};
  a.range = {0.0};
  a.objective = {-5.0e-6, 0.0};
  a.starts = {0, 1, 2};
  a.rows = {0, 0};
  a.values = {64.0, 1.0};
  a.lower = {0.0, 0.0};
  a.upper = {1.0, 100.0};
  for (std::int32_t ifscal : {0, 35, 65}) {
    for (std::int32_t icrash : {0, 2}) {
      SCOPED_TRACE("IFSCAL " + std::to_string(ifscal) + ", ICRASH " + std::to_string(icrash));
      const Solution s = solve(a, ifscal, icrash);
      EXPECT_EQ(s.status, 1);
      EXPECT_EQ(s.x[0], 1.0);
      EXPECT_NEAR(s.objective, -5.0e-6, 1e-15);
    }
  }
}

TEST(Scaling, RescalingKeepsTheSolutionHeld) {
  SolveDirectory dir;
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), wide_range()), 0);
  t->problem_name = dir.name("rescale");
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  const Solution before = read_solution(t.lib());
  ASSERT_EQ(before.status, 1);
  for (std::int32_t ifscal : {16, 0, 35}) {
    SCOPED_TRACE(ifscal);
    t->controls.i(icv::IFSCAL) = ifscal;
    ASSERT_EQ(scale_problem(t.lib()), 0);
    EXPECT_TRUE(read_solution(t.lib()) == before);
  }
  // The basis stays; the next solve starts from it and needs no iteration.
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kIterations), 0);
  EXPECT_NEAR(read_solution(t.lib()).objective, before.objective, 1e-9 * std::fabs(before.objective));
}

TEST(Scaling, CompositeWeightIsReadInTheUnitsOfTheCosts) {
  SolveDirectory dir;
  test::TestLibrary t;
  LpArrays a = wide_range();
  a.name = dir.name("composite");
  ASSERT_EQ(test::load(t.lib(), a), 0);
  const double scale = t->problem->cost_scale;
  EXPECT_EQ(scale, compute_cost_scale(*t->problem));
  EXPECT_EQ(std::log2(scale), std::floor(std::log2(scale)));
  t->controls.i(icv::IFBIGM) = 1;
  t->controls.icv_access[icv::IFBIGM] = 1;
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  // The weight written back is in BIGM's own units again.
  const double weight = t->controls.d(dcv::BIGM);
  EXPECT_GE(weight, t->controls.d(dcv::INFWGT));
  EXPECT_EQ(std::log2(weight), std::floor(std::log2(weight)));
}

}  // namespace
}  // namespace kqopt
