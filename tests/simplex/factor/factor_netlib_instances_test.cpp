// Basis factorisation on bases over Netlib matrices, read with our MPS reader:
// the basis our primal simplex ends with, and bases of structural columns
// chosen at random with logicals filling the rest (half the positions, or all
// of them, which leaves the basis rank-deficient and INVERT replaces what is
// dependent). For each, in both update modes, the scaled residuals
//     ||B x - a||_inf / (||B||_inf ||x||_inf + ||a||_inf)        (FTRAN)
//     ||B^T y - c||_inf / (||B||_inf ||y||_inf + ||c||_inf)      (BTRAN)
// stay within 1e-12 right after INVERT and along 100 successive updates.
//
// The walk: of a few random nonbasic variables the one whose FTRAN'd column
// has the smallest largest entry enters, at a random position whose pivot is
// at least half the column's largest entry, as in the update tests. A walk
// through ill-conditioned bases would measure the conditioning of the bases
// it drifts into rather than the accuracy of the updates.
//
// kb2 (final basis) and d2q06c (random bases; its solve is too slow here) are
// where the Forrest-Tomlin update went past the bound while it still dropped
// spike and row eta entries below ZTETA. Not in the list: problems whose
// random bases are nearly singular from the start (maros-r7, scsd1/6/8: their
// FTRAN'd columns reach 1e8 to 1e70 times the size of the column), where any
// update carries that loss into the factors; and grow15, grow22 and stair,
// where INVERT itself, with its threshold u = 0.01, lets elements grow enough
// on the bases of the walk to leave fresh factorisations at residuals up to
// 3.5e-12 (below 3e-14 with u = 0.1).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/factor/factor.h"
#include "simplex/factor/factor_check.h"
#include "simplex/factor/factor_samples.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

constexpr double kResidualLimit = 1e-12;
constexpr std::int32_t kUpdates = 100;

// The problem's matrix over its row slots (logicals are the rows), and the
// basis the primal simplex ends with (empty when the solve gave none).
struct NetlibMatrix {
  SampleBasis matrix;
  std::vector<std::int32_t> final_basis;
  bool optimal = false;
};

// Reads the problem and, with a time limit (seconds, 0: no solve), minimises it.
NetlibMatrix read_and_solve(const std::string& name, std::int32_t time_limit) {
  NetlibMatrix result;
  test::TestLibrary t;
  const std::string path = test::shared_data_dir() + "/netlib/" + name + ".mps";
  EXPECT_EQ(input::input_problem(t.lib(), path.c_str()), 0) << name;
  if (!t->has_problem()) return result;
  const Problem& problem = *t->problem;
  SampleBasis& b = result.matrix;
  b.m = problem.row_slots();
  b.n = problem.columns;
  b.start = problem.by_column.start;
  b.index = problem.by_column.row;
  b.value = problem.by_column.value;
  if (time_limit == 0) return result;

  // The solution file goes to a scratch directory, not beside the problem.
  const auto scratch = std::filesystem::temp_directory_path() / ("kqopt-factor-netlib-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  set_problem_name(t.lib(), (scratch / name).string().c_str());
  t->controls.i(icv::ITRLOG) = 0;
  t->controls.i(icv::MAXTIM) = -time_limit;
  EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0) << name;
  result.optimal = *t->attributes.int_attribute(attr::kLpStatus) == 1;
  if (t->engine && static_cast<std::int32_t>(t->engine->basis.header.size()) == b.m)
    result.final_basis = t->engine->basis.header;
  std::filesystem::remove_all(scratch);
  return result;
}

// Structural columns at random in `structurals` random positions, logicals in
// the others.
std::vector<std::int32_t> random_basis(const SampleBasis& b, std::int32_t structurals, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<std::int32_t> header(static_cast<std::size_t>(b.m));
  std::iota(header.begin(), header.end(), 0);
  std::vector<std::int32_t> positions(header);
  std::vector<std::int32_t> columns(static_cast<std::size_t>(b.n));
  std::iota(columns.begin(), columns.end(), 0);
  std::shuffle(positions.begin(), positions.end(), rng);
  std::shuffle(columns.begin(), columns.end(), rng);
  structurals = std::min({structurals, b.m, b.n});
  for (std::int32_t k = 0; k < structurals; ++k) {
    header[static_cast<std::size_t>(positions[static_cast<std::size_t>(k)])] =
        b.m + columns[static_cast<std::size_t>(k)];
  }
  return header;
}

// A factorised basis over the matrix and the worst residuals seen so far.
class NetlibBasis {
 public:
  NetlibBasis(const SampleBasis& matrix, std::vector<std::int32_t> header, std::int32_t ifftup, std::uint64_t seed)
      : b_(matrix), rng_(seed), w_(matrix.m) {
    b_.header = std::move(header);
    s_.ifftup = ifftup;
    s_.invmin = 1000;  // refuse nothing: every update is stored
    s_.workspace_bytes = std::int64_t{256} << 20;
    f_.start_run(s_);
  }

  // INVERT; the header is repaired and permuted to pivot rows.
  bool factorise(std::int32_t& replaced) {
    InvertReport report;
    if (f_.factorise(b_.view(), b_.header, s_, report) != FactorStatus::ok) return false;
    replaced = std::accumulate(report.columns_replaced.begin(), report.columns_replaced.end(), 0);
    basic_.assign(static_cast<std::size_t>(b_.m + b_.n), 0);
    for (const std::int32_t v : b_.header) basic_[static_cast<std::size_t>(v)] = 1;
    return true;
  }

  // Solves on a mix of right-hand sides: unit vectors (listed), nonbasic
  // structural columns (listed and dense), a few random entries (listed) and a
  // dense random vector; keeps the worst FTRAN and BTRAN residuals.
  void check_residuals() {
    const auto m = static_cast<std::size_t>(b_.m);
    for (std::int32_t k = 0; k < 4; ++k) {
      std::vector<double> e(m, 0.0);
      e[rng_() % m] = 1.0;
      check(e, true);
    }
    for (std::int32_t k = 0; k < 3; ++k) {
      const auto a = b_.dense_column(random_nonbasic(true));
      check(a, true);
      check(a, false);
    }
    std::vector<double> sparse(m, 0.0);
    for (std::int32_t k = 0; k < 3; ++k) sparse[rng_() % m] = sample_value(rng_);
    check(sparse, true);
    std::vector<double> dense(m);
    for (double& v : dense) v = sample_value(rng_);
    check(dense, false);
  }

  // One basis change as the walk above makes it. False when the update was refused.
  bool change() {
    std::int32_t best = -1;
    double best_size = 0.0;
    for (std::int32_t tries = 0; tries < 4; ++tries) {
      const std::int32_t q = random_nonbasic(false);
      load(q, false);
      double size = 0.0;
      for (std::int32_t i = 0; i < b_.m; ++i) size = std::max(size, std::fabs(w_[i]));
      w_.clear();
      if (size > 0.0 && (best < 0 || size < best_size)) {
        best = q;
        best_size = size;
      }
    }
    if (best < 0) return true;  // only empty columns drawn: try again next time
    load(best, true);
    std::vector<std::int32_t> candidates;
    for (std::int32_t i = 0; i < b_.m; ++i) {
      if (std::fabs(w_[i]) >= 0.5 * best_size) candidates.push_back(i);
    }
    const std::int32_t p = candidates[rng_() % candidates.size()];
    UpdateReport report;
    const UpdateStatus status = f_.update(p, w_, s_, report);
    w_.clear();
    if (status != UpdateStatus::done) return false;
    basic_[static_cast<std::size_t>(b_.header[static_cast<std::size_t>(p)])] = 0;
    basic_[static_cast<std::size_t>(best)] = 1;
    b_.header[static_cast<std::size_t>(p)] = best;
    return true;
  }

  std::int32_t updates() const { return f_.updates_since_invert(); }
  double worst_ftran() const { return worst_ftran_; }
  double worst_btran() const { return worst_btran_; }
  void reset_worst() { worst_ftran_ = worst_btran_ = 0.0; }

 private:
  // A random nonbasic variable, a structural when asked and one is nonbasic.
  std::int32_t random_nonbasic(bool structural) {
    const auto total = static_cast<std::uint64_t>(b_.m + b_.n);
    for (std::int32_t tries = 0;; ++tries) {
      const bool any = !structural || tries > 1000;
      const std::int32_t first = any ? 0 : b_.m;
      const std::int32_t v = first + static_cast<std::int32_t>(rng_() % (total - first));
      if (!basic_[static_cast<std::size_t>(v)]) return v;
    }
  }

  // FTRANs variable q's column into w_, keeping the spike when asked.
  void load(std::int32_t q, bool keep_spike) {
    if (q < b_.m) {
      w_.set_unit(q);
    } else {
      const auto j = static_cast<std::size_t>(q - b_.m);
      const auto first = static_cast<std::size_t>(b_.start[j]);
      const auto count = static_cast<std::size_t>(b_.start[j + 1] - b_.start[j]);
      w_.load_sparse({b_.index.data() + first, count}, {b_.value.data() + first, count});
    }
    f_.ftran(w_, keep_spike);
  }

  std::vector<double> solve(const std::vector<double>& a, bool listed, bool transposed) {
    if (listed) {
      std::vector<std::int32_t> idx;
      std::vector<double> val;
      for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != 0.0) {
          idx.push_back(static_cast<std::int32_t>(i));
          val.push_back(a[i]);
        }
      }
      w_.load_sparse(idx, val);
    } else {
      w_.load_dense(a);
    }
    if (transposed) {
      f_.btran(w_);
    } else {
      f_.ftran(w_);
    }
    std::vector<double> x(w_.values().begin(), w_.values().end());
    w_.clear();
    return x;
  }

  void check(const std::vector<double>& a, bool listed) {
    worst_ftran_ = std::max(worst_ftran_, ftran_residual(b_.view(), b_.header, solve(a, listed, false), a));
    worst_btran_ = std::max(worst_btran_, btran_residual(b_.view(), b_.header, solve(a, listed, true), a));
  }

  SampleBasis b_;
  FactorSettings s_;
  Factor f_;
  std::mt19937_64 rng_;
  WorkVector w_;
  std::vector<std::uint8_t> basic_;
  double worst_ftran_ = 0.0;
  double worst_btran_ = 0.0;
};

struct NetlibCase {
  const char* name;
  std::int32_t time_limit;  // seconds for the solve that gives the final basis; 0: no solve
};

void PrintTo(const NetlibCase& c, std::ostream* os) { *os << c.name; }

class FactorNetlib : public ::testing::TestWithParam<NetlibCase> {};

TEST_P(FactorNetlib, SolvesStayAccurateAfterInvertAndAlongUpdates) {
  KQOPT_REQUIRE_SHARED_DATA();
  const NetlibCase& c = GetParam();
  const NetlibMatrix problem = read_and_solve(c.name, c.time_limit);
  const SampleBasis& a = problem.matrix;
  ASSERT_GT(a.m, 0) << c.name;
  // The factorisation takes columns without repeated rows.
  std::vector<std::int32_t> seen(static_cast<std::size_t>(a.m), -1);
  for (std::int32_t j = 0; j < a.n; ++j) {
    for (std::int32_t k = a.start[static_cast<std::size_t>(j)]; k < a.start[static_cast<std::size_t>(j + 1)]; ++k) {
      auto& last = seen[static_cast<std::size_t>(a.index[static_cast<std::size_t>(k)])];
      ASSERT_NE(last, j) << c.name << ": column " << j << " repeats a row";
      last = j;
    }
  }
  struct Basis {
    std::string kind;
    std::vector<std::int32_t> header;
  };
  std::vector<Basis> bases;
  if (c.time_limit > 0) {
    EXPECT_TRUE(problem.optimal) << c.name << ": the solve stopped before optimality";
    ASSERT_EQ(static_cast<std::int32_t>(problem.final_basis.size()), a.m) << c.name;
    bases.push_back({problem.optimal ? "optimal" : "final", problem.final_basis});
  }
  bases.push_back({"random half", random_basis(a, a.m / 2, 101)});
  bases.push_back({"random full", random_basis(a, a.m, 102)});
  for (const Basis& basis : bases) {
    for (const std::int32_t ifftup : {1, 0}) {
      SCOPED_TRACE(std::string(c.name) + ", " + basis.kind + " basis, ifftup " + std::to_string(ifftup));
      NetlibBasis nb(a, basis.header, ifftup, 7 + static_cast<std::uint64_t>(ifftup));
      std::int32_t replaced = 0;
      ASSERT_TRUE(nb.factorise(replaced));
      nb.check_residuals();
      const double invert_ftran = nb.worst_ftran();
      const double invert_btran = nb.worst_btran();
      EXPECT_LE(invert_ftran, kResidualLimit) << "FTRAN after INVERT";
      EXPECT_LE(invert_btran, kResidualLimit) << "BTRAN after INVERT";
      nb.reset_worst();
      std::int32_t refused = 0;
      for (std::int32_t k = 1; k <= kUpdates && refused == 0; ++k) {
        if (!nb.change()) ++refused;
        if (k % 10 == 0) nb.check_residuals();
      }
      EXPECT_EQ(refused, 0);
      EXPECT_EQ(nb.updates(), kUpdates);
      EXPECT_LE(nb.worst_ftran(), kResidualLimit) << "FTRAN along the updates";
      EXPECT_LE(nb.worst_btran(), kResidualLimit) << "BTRAN along the updates";
      std::printf("  %-9s %-12s %s replaced %4d  INVERT %.1e %.1e  updates %.1e %.1e\n", c.name, basis.kind.c_str(),
                  ifftup ? "FT" : "PF", replaced, invert_ftran, invert_btran, nb.worst_ftran(), nb.worst_btran());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Problems, FactorNetlib,
                         ::testing::Values(NetlibCase{"afiro", 30}, NetlibCase{"sc205", 30}, NetlibCase{"scfxm2", 30},
                                           NetlibCase{"kb2", 30}, NetlibCase{"25fv47", 60}, NetlibCase{"ship12s", 30},
                                           NetlibCase{"80bau3b", 60}, NetlibCase{"bnl2", 60}, NetlibCase{"d2q06c", 0},
                                           NetlibCase{"qap8", 30}),
                         [](const ::testing::TestParamInfo<NetlibCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace kqopt
