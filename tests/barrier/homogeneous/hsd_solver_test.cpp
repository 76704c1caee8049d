// The homogeneous method on small LPs in the engine's form ([I A] x = rhs, bounds on
// logicals and columns): optimal values against known optima, with free columns,
// ranged rows, fixed columns and dropped free rows; infeasible and dual infeasible
// problems end with the matching certificate status, never optimal.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "barrier/homogeneous/barrier_lp.h"
#include "barrier/homogeneous/hsd_solver.h"

namespace kqopt::barrier {
namespace {

constexpr double kInf = 1.0e30;

// A small LP in the engine's form, built row by row from dense rows.
struct SmallLp {
  std::int32_t m = 0, n = 0;
  std::vector<std::int32_t> start, index;
  std::vector<double> value, cost, lower, upper, rhs;

  // rows: dense m x n; row_lo/row_hi: bounds of a_i x; col bounds and costs.
  SmallLp(const std::vector<std::vector<double>>& rows, const std::vector<double>& row_lo,
          const std::vector<double>& row_hi, const std::vector<double>& c, const std::vector<double>& lo,
          const std::vector<double>& hi) {
    m = static_cast<std::int32_t>(rows.size());
    n = static_cast<std::int32_t>(c.size());
    start.push_back(0);
    for (std::int32_t j = 0; j < n; ++j) {
      for (std::int32_t i = 0; i < m; ++i) {
        if (rows[i][j] != 0.0) {
          index.push_back(i);
          value.push_back(rows[i][j]);
        }
      }
      start.push_back(static_cast<std::int32_t>(index.size()));
    }
    // a_i x + s_i = rhs_i with rhs_i = row_hi (or row_lo when no upper): s in [rhs - hi, rhs - lo].
    for (std::int32_t i = 0; i < m; ++i) {
      const double r = row_hi[i] < kInf ? row_hi[i] : (row_lo[i] > -kInf ? row_lo[i] : 0.0);
      rhs.push_back(r);
      cost.push_back(0.0);
      lower.push_back(row_hi[i] < kInf ? r - row_hi[i] : -kInf);
      upper.push_back(row_lo[i] > -kInf ? r - row_lo[i] : kInf);
    }
    for (std::int32_t j = 0; j < n; ++j) {
      cost.push_back(c[j]);
      lower.push_back(lo[j]);
      upper.push_back(hi[j]);
    }
  }
  EngineLpView view() const { return {m, n, start, index, value, cost, lower, upper, rhs}; }
};

struct Outcome {
  HsdResult result;
  std::vector<double> x, pi, d;
};

Outcome solve(const SmallLp& lp, bool crossover = false) {
  const BarrierLp blp = build_barrier_lp(lp.view(), 1.0e-8);
  HsdSettings s;
  s.crossover = crossover;
  Outcome o;
  o.result = hsd_solve(blp, s, {});
  o.x.assign(static_cast<std::size_t>(lp.m + lp.n), 0.0);
  o.pi.assign(static_cast<std::size_t>(lp.m), 0.0);
  o.d.assign(static_cast<std::size_t>(lp.m + lp.n), 0.0);
  if (o.result.problem_status == ProblemStatus::pdfeas) {
    recover_engine_solution(lp.view(), blp, o.result.x, o.result.y, o.x, o.pi, o.d);
  }
  return o;
}

struct OptimalCase {
  const char* name;
  SmallLp lp;
  double objective;
};

class HsdOptimal : public ::testing::TestWithParam<int> {};

std::vector<OptimalCase> optimal_cases() {
  std::vector<OptimalCase> cases;
  // max x + y (min -x - y), x + 2y <= 4, 3x + y <= 6: optimum at (1.6, 1.2), -2.8.
  cases.push_back(
      {"two_inequalities", SmallLp({{1, 2}, {3, 1}}, {-kInf, -kInf}, {4, 6}, {-1, -1}, {0, 0}, {kInf, kInf}), -2.8});
  // Free column: min x1 + 2 x2 with x1 free, x1 - x2 = 1, x1 + x2 >= 3: x1 = 2, x2 = 1 -> 4.
  cases.push_back(
      {"free_column", SmallLp({{1, -1}, {1, 1}}, {1, 3}, {1, kInf}, {1, 2}, {-kInf, 0}, {kInf, kInf}), 4.0});
  // Ranged row 2 <= x + y <= 5, min -x + ... with x <= 4, y in [1, 3]: min -2x - y -> x=4,y=1 -> -9.
  cases.push_back({"ranged_row", SmallLp({{1, 1}}, {2}, {5}, {-2, -1}, {0, 1}, {4, 3}), -9.0});
  // Fixed column and a free (objective-like) row: min x + y, x + y >= 2, y fixed at 0.5.
  cases.push_back(
      {"fixed_and_free_row", SmallLp({{1, 1}, {7, -3}}, {2, -kInf}, {kInf, kInf}, {1, 1}, {0, 0.5}, {kInf, 0.5}), 2.0});
  // Only an upper bound on a column: min -x + y, x <= 3 (no lower), x + y = 2, y >= 0 -> x = 2? -x+y with
  // y = 2 - x >= 0 -> x <= 2: x = 2, y = 0 -> -2.
  cases.push_back({"upper_only", SmallLp({{1, 1}}, {2}, {2}, {-1, 1}, {-kInf, 0}, {3, kInf}), -2.0});
  // Two of four equations are combinations of the others (2 (x + y) = 4, 2 (x + y) + (x - y) = 4):
  // x = y = 1, min x + 2y -> 3.
  cases.push_back({"dependent_rows",
                   SmallLp({{1, 1}, {2, 2}, {1, -1}, {3, 1}}, {2, 4, 0, 4}, {2, 4, 0, 4}, {1, 2}, {0, 0}, {kInf, kInf}),
                   3.0});
  return cases;
}

TEST_P(HsdOptimal, ReachesTheKnownOptimum) {
  const OptimalCase c = optimal_cases()[static_cast<std::size_t>(GetParam())];
  for (const bool crossover : {false, true}) {
    const Outcome o = solve(c.lp, crossover);
    ASSERT_EQ(o.result.problem_status, ProblemStatus::pdfeas) << c.name;
    EXPECT_EQ(o.result.solver_status, SolverStatus::normal) << c.name;
    EXPECT_NEAR(o.result.primal_objective, c.objective, 1e-6 * (1 + std::fabs(c.objective))) << c.name;
    EXPECT_NEAR(o.result.dual_objective, c.objective, 1e-6 * (1 + std::fabs(c.objective))) << c.name;
    // The recovered point satisfies the rows and the bounds.
    double obj = 0.0;
    for (std::int32_t j = 0; j < c.lp.m + c.lp.n; ++j) {
      EXPECT_GE(o.x[j], c.lp.lower[j] - 1e-6) << c.name << " variable " << j;
      EXPECT_LE(o.x[j], c.lp.upper[j] + 1e-6) << c.name << " variable " << j;
      obj += c.lp.cost[j] * o.x[j];
    }
    EXPECT_NEAR(obj, c.objective, 1e-6 * (1 + std::fabs(c.objective))) << c.name;
    for (std::int32_t i = 0; i < c.lp.m; ++i) {
      double row = o.x[i];
      for (std::int32_t j = 0; j < c.lp.n; ++j) {
        for (std::int32_t k = c.lp.start[j]; k < c.lp.start[j + 1]; ++k) {
          if (c.lp.index[k] == i) row += c.lp.value[k] * o.x[c.lp.m + j];
        }
      }
      EXPECT_NEAR(row, c.lp.rhs[i], 1e-6) << c.name << " row " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(SmallLps, HsdOptimal, ::testing::Range(0, 6));

TEST(HsdDependentRows, AreTakenOutBeforeTheMethod) {
  const SmallLp lp({{1, 1}, {2, 2}, {1, -1}, {3, 1}}, {2, 4, 0, 4}, {2, 4, 0, 4}, {1, 2}, {0, 0}, {kInf, kInf});
  const Outcome o = solve(lp);
  EXPECT_EQ(o.result.dependent_rows, 2);
  ASSERT_EQ(o.result.y.size(), 4u);  // a price for every row, zero for the rows taken out
}

TEST(HsdInfeasible, InconsistentDependentRowIsNeverOptimal) {
  // x + y = 2 and 2 x + 2 y = 5.
  const SmallLp lp({{1, 1}, {2, 2}}, {2, 5}, {2, 5}, {1, 1}, {0, 0}, {kInf, kInf});
  for (const bool crossover : {false, true}) {
    const Outcome o = solve(lp, crossover);
    EXPECT_TRUE(o.result.problem_status == ProblemStatus::pinfeas ||
                o.result.problem_status == ProblemStatus::pdinfeas || o.result.problem_status == ProblemStatus::infeas)
        << problem_status_word(static_cast<int>(o.result.problem_status)) << " "
        << solver_status_word(static_cast<int>(o.result.solver_status)) << " " << o.result.iterations;
  }
}

TEST(HsdInfeasible, PrimalInfeasibleGivesACertificateStatus) {
  // x + y <= 1 and x + y >= 3.
  const SmallLp lp({{1, 1}, {1, 1}}, {-kInf, 3}, {1, kInf}, {1, 1}, {0, 0}, {kInf, kInf});
  const Outcome o = solve(lp);
  EXPECT_TRUE(o.result.problem_status == ProblemStatus::pinfeas || o.result.problem_status == ProblemStatus::pdinfeas)
      << problem_status_word(static_cast<int>(o.result.problem_status));
}

TEST(HsdInfeasible, UnboundedGivesDualInfeasible) {
  // min -x - y, x - y <= 1, x, y >= 0: the ray (1, 1) is unbounded.
  const SmallLp lp({{1, -1}}, {-kInf}, {1}, {-1, -1}, {0, 0}, {kInf, kInf});
  const Outcome o = solve(lp);
  EXPECT_TRUE(o.result.problem_status == ProblemStatus::dinfeas || o.result.problem_status == ProblemStatus::pdinfeas)
      << problem_status_word(static_cast<int>(o.result.problem_status));
}

TEST(HsdInfeasible, InfeasibleBoxIsNeverOptimal) {
  // 2 x + 3 y = 12 with x in [0, 1], y in [0, 2].
  const SmallLp lp({{2, 3}}, {12}, {12}, {1, 1}, {0, 0}, {1, 2});
  const Outcome o = solve(lp);
  EXPECT_EQ(o.result.problem_status, ProblemStatus::pinfeas)
      << problem_status_word(static_cast<int>(o.result.problem_status));
}

TEST(HsdProgress, CallbackStopsTheRun) {
  const SmallLp lp({{1, 2}, {3, 1}}, {-kInf, -kInf}, {4, 6}, {-1, -1}, {0, 0}, {kInf, kInf});
  const BarrierLp blp = build_barrier_lp(lp.view(), 1.0e-8);
  int calls = 0;
  const HsdResult r = hsd_solve(blp, HsdSettings{}, [&](const HsdProgress&) { return ++calls < 2; });
  EXPECT_EQ(r.solver_status, SolverStatus::user_break);
  EXPECT_EQ(calls, 2);
}

TEST(HsdLimits, IterationLimitEndsTheRun) {
  const SmallLp lp({{1, 2}, {3, 1}}, {-kInf, -kInf}, {4, 6}, {-1, -1}, {0, 0}, {kInf, kInf});
  const BarrierLp blp = build_barrier_lp(lp.view(), 1.0e-8);
  HsdSettings s;
  s.iteration_limit = 1;
  const HsdResult r = hsd_solve(blp, s, {});
  EXPECT_EQ(r.solver_status, SolverStatus::max_iterations);
  EXPECT_EQ(r.iterations, 1);
}

}  // namespace
}  // namespace kqopt::barrier
