// The basis operations on problems stored scaled: the problem is read, every row and
// column given a power-of-two scale exponent with its stored values converted, and
// solved. In the caller's units the basis solves, the solution and the basis round
// trip must agree with the unscaled answers; the internal forms with the engine's.
#include <cmath>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "problem/retrieval.h"
#include "problem/units.h"
#include "simplex/driver/basis_loading.h"
#include "simplex/driver/basis_solves.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/infeasibility_list.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/driver/single_pivot.h"
#include "simplex/driver/solution_access.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

// Solution files go to a scratch directory of this process, never beside the data.
std::filesystem::path scratch_directory() {
  return std::filesystem::temp_directory_path() / ("kqopt-basis-operations-" + std::to_string(::getpid()));
}
std::string scratch_name(const std::string& name) {
  std::filesystem::create_directories(scratch_directory());
  return (scratch_directory() / name).string();
}

// Gives row i the exponent 64 + (7i mod 9) - 4 and column j 64 + (5j mod 7) - 3, and
// converts the stored values so that the problem in the caller's units is unchanged.
void scale_problem(Problem& p) {
  const std::int32_t slots = p.row_slots();
  auto row_e = [](std::int32_t i) { return 64 + (7 * i) % 9 - 4; };
  auto col_e = [](std::int32_t j) { return 64 + (5 * j) % 7 - 3; };
  auto scale_bound = [](double& v, int shift) {
    if (std::fabs(v) != kInfinity) v = std::ldexp(v, shift);
  };
  for (std::int32_t i = 0; i < slots; ++i) {
    const auto ii = static_cast<std::size_t>(i);
    const int shift = -(row_e(i) - 64);
    p.rhs[ii] = std::ldexp(p.rhs[ii], shift);
    scale_bound(p.lower[ii], shift);
    scale_bound(p.upper[ii], shift);
    p.status[ii] = status::with_exponent(p.status[ii], row_e(i));
  }
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    const int c_shift = col_e(j) - 64;
    p.objective[jj] = std::ldexp(p.objective[jj], -c_shift);
    scale_bound(p.lower[v], c_shift);
    scale_bound(p.upper[v], c_shift);
    for (std::int32_t k = p.by_column.start[jj]; k < p.by_column.start[jj + 1]; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      p.by_column.value[kk] = std::ldexp(p.by_column.value[kk], -(row_e(p.by_column.row[kk]) - 64) - c_shift);
    }
    p.status[v] = status::with_exponent(p.status[v], col_e(j));
  }
  p.by_row.stale = true;
}

struct Netlib {
  const char* name;
  double objective;
};
void PrintTo(const Netlib& netlib, std::ostream* out) { *out << netlib.name; }

class ScaledNetlib : public ::testing::TestWithParam<Netlib> {
 protected:
  void read(bool scaled) {
    const std::string path = std::string(KQOPT_TEST_FILES_DIR) + "/netlib/" + GetParam().name + ".mps";
    ASSERT_EQ(input::input_problem(lib_.lib(), path.c_str()), 0);
    set_problem_name(lib_.lib(), scratch_name(GetParam().name).c_str());
    if (scaled) scale_problem(*lib_->problem);
  }
  void TearDown() override { std::filesystem::remove_all(scratch_directory()); }
  std::int32_t attribute(int n) { return *lib_->attributes.int_attribute(n); }
  double objective() { return *lib_->attributes.double_attribute(attr::kObjectiveValue); }

  test::TestLibrary lib_;
};

TEST_P(ScaledNetlib, SolvesAgreeWithTheSolutionInCallerUnits) {
  read(true);
  lib_->controls.i(icv::IFPMSG) = 0;
  ASSERT_EQ(optimise(lib_.lib(), DriverMode::kMinimise), 0);
  ASSERT_EQ(attribute(attr::kLpStatus), 1);
  const double reference = GetParam().objective;
  EXPECT_NEAR(objective(), reference, 1e-8 * std::max(1.0, std::fabs(reference)));

  Library& lib = lib_.lib();
  const Problem& p = *lib.problem;
  const std::int32_t m = p.rows;
  const std::int32_t n = p.columns;
  const std::int32_t slots = p.row_slots();
  std::vector<double> x(n), slack(m), dual(m), dj(n), cost(n), icost(n);
  ASSERT_EQ(get_solution(lib, x.data(), slack.data(), dual.data(), dj.data()), 0);
  ASSERT_EQ(get_objective(lib, cost.data(), 0, n - 1, Units::kCaller), 0);
  ASSERT_EQ(get_objective(lib, icost.data(), 0, n - 1, Units::kInternal), 0);
  std::vector<std::int32_t> header(m);
  ASSERT_EQ(get_basic_positions(lib, header.data()), 0);

  // BTRAN of the basic costs gives the row prices, in both unit systems.
  std::vector<double> y(m), iy(m);
  for (std::int32_t k = 0; k < m; ++k) {
    const std::int32_t v = header[k];
    y[k] = v >= slots ? cost[v - slots] : 0.0;
    iy[k] = v >= slots ? icost[v - slots] : 0.0;
  }
  ASSERT_EQ(solve_with_basis(lib, y.data(), BasisSolve::btran, Units::kCaller), 0);
  ASSERT_EQ(solve_with_basis(lib, iy.data(), BasisSolve::btran, Units::kInternal), 0);
  for (std::int32_t i = 0; i < m; ++i) {
    EXPECT_NEAR(y[i], dual[i], 1e-9 * std::max(1.0, std::fabs(dual[i]))) << "row " << i;
    EXPECT_NEAR(iy[i], lib.engine->pi[static_cast<std::size_t>(i)],
                1e-9 * std::max(1.0, std::fabs(lib.engine->pi[static_cast<std::size_t>(i)])))
        << "row " << i;
  }

  // FTRAN of each basic column is the unit vector of its position, in both systems.
  for (std::int32_t k = 0; k < m; ++k) {
    const std::int32_t j = header[k] - slots;
    if (j < 0) continue;
    for (Units units : {Units::kCaller, Units::kInternal}) {
      std::int32_t start[2], nels = 0;
      std::vector<std::int32_t> rows(static_cast<std::size_t>(m));
      std::vector<double> values(static_cast<std::size_t>(m));
      ASSERT_EQ(get_columns(lib, start, rows.data(), values.data(), m, &nels, j, j, units), 0);
      std::vector<double> column(m, 0.0);
      for (std::int32_t e = 0; e < nels; ++e) column[rows[e]] += values[e];
      ASSERT_EQ(solve_with_basis(lib, column.data(), BasisSolve::ftran, units), 0);
      for (std::int32_t r = 0; r < m; ++r) EXPECT_NEAR(column[r], r == k ? 1.0 : 0.0, 1e-9) << j << " " << r;
    }
  }

  // The optimal basis has no infeasibility.
  std::int32_t counts[4] = {-1, -1, -1, -1};
  ASSERT_EQ(
      get_infeasibilities(lib, &counts[0], &counts[1], &counts[2], &counts[3], nullptr, nullptr, nullptr, nullptr), 0);
  for (std::int32_t c : counts) EXPECT_EQ(c, 0);
  std::int32_t unbounded = 7;
  ASSERT_EQ(get_unbounded(lib, &unbounded), 0);
  EXPECT_EQ(unbounded, -1);
}

TEST_P(ScaledNetlib, ReloadedBasisNeedsNoIteration) {
  read(true);
  lib_->controls.i(icv::IFPMSG) = 0;
  ASSERT_EQ(optimise(lib_.lib(), DriverMode::kMinimise), 0);
  const double first = objective();
  const std::int32_t m = lib_->problem->rows;
  const std::int32_t n = lib_->problem->columns;
  std::vector<std::int32_t> rstatus(m), cstatus(n);
  ASSERT_EQ(get_basis(lib_.lib(), rstatus.data(), cstatus.data()), 0);

  read(true);
  ASSERT_EQ(load_basis(lib_.lib(), rstatus.data(), cstatus.data(), Units::kCaller), 0);
  ASSERT_EQ(optimise(lib_.lib(), DriverMode::kMinimise), 0);
  EXPECT_EQ(attribute(attr::kLpStatus), 1);
  EXPECT_EQ(attribute(attr::kIterations), 0);
  EXPECT_NEAR(objective(), first, 1e-9 * std::max(1.0, std::fabs(first)));
}

TEST_P(ScaledNetlib, PivotsKeepTheCallerUnitsConsistent) {
  // A pivot on the scaled problem: afterwards the values in the caller's units still
  // satisfy the rows, and re-optimising returns to the optimum.
  read(true);
  Library& lib = lib_.lib();
  lib.controls.i(icv::IFPMSG) = 0;
  ASSERT_EQ(optimise(lib, DriverMode::kMinimise), 0);
  const Problem& p = *lib.problem;
  const std::int32_t m = p.rows;
  const std::int32_t n = p.columns;
  std::vector<std::int32_t> rstatus(m), cstatus(n);
  ASSERT_EQ(get_basis(lib, rstatus.data(), cstatus.data()), 0);
  std::int32_t in = -1;
  for (std::int32_t j = 0; j < n && in < 0; ++j) {
    if (cstatus[j] != 1) in = p.row_slots() + j;
  }
  ASSERT_GE(in, 0);
  std::vector<std::int32_t> candidates(8);
  std::vector<double> after(static_cast<std::size_t>(p.variables()));
  double objval = 0.0;
  std::int32_t npiv = -1;
  ASSERT_EQ(get_pivots(lib, in, candidates.data(), after.data(), &objval, &npiv, 8), 0);
  if (npiv == 0) GTEST_SKIP() << "unbounded direction";
  ASSERT_EQ(pivot(lib, in, candidates[0]), 0);
  EXPECT_NEAR(objective(), objval, 1e-7 * std::max(1.0, std::fabs(objval)));

  std::vector<double> x(n), slack(m), rhs(m);
  ASSERT_EQ(get_solution(lib, x.data(), slack.data(), nullptr, nullptr), 0);
  ASSERT_EQ(get_rhs(lib, rhs.data(), 0, m - 1, Units::kCaller), 0);
  for (std::int32_t j = 0; j < n; ++j) {
    EXPECT_NEAR(x[j], after[static_cast<std::size_t>(p.row_slots() + j)], 1e-7 * std::max(1.0, std::fabs(x[j])));
  }
  std::vector<double> activity(slack);
  for (std::int32_t j = 0; j < n; ++j) {
    std::int32_t start[2], nels = 0;
    std::vector<std::int32_t> rows(static_cast<std::size_t>(m));
    std::vector<double> values(static_cast<std::size_t>(m));
    ASSERT_EQ(get_columns(lib, start, rows.data(), values.data(), m, &nels, j, j, Units::kCaller), 0);
    for (std::int32_t e = 0; e < nels; ++e) activity[rows[e]] += values[e] * x[j];
  }
  for (std::int32_t i = 0; i < m; ++i) {
    if (p.row_type[static_cast<std::size_t>(i)] == row_type::kFree) continue;
    EXPECT_NEAR(activity[i], rhs[i], 1e-7 * std::max(1.0, std::fabs(rhs[i]))) << "row " << i;
  }
  ASSERT_EQ(optimise(lib, DriverMode::kMinimise), 0);
  EXPECT_NEAR(objective(), GetParam().objective, 1e-8 * std::max(1.0, std::fabs(GetParam().objective)));
}

INSTANTIATE_TEST_SUITE_P(Basis, ScaledNetlib,
                         ::testing::Values(Netlib{"afiro", -464.7531428571}, Netlib{"sc50a", -64.575077059},
                                           Netlib{"adlittle", 225494.96316}),
                         [](const ::testing::TestParamInfo<Netlib>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kqopt
