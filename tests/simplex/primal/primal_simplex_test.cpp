// The primal simplex on small LPs with known answers: status, objective, primal
// values and the optimality of the final basis.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "library/control_table.h"
#include "simplex/primal/primal_simplex.h"
#include "simplex/primal/primal_step.h"
#include "support/dense_lp.h"
#include "support/quiet_observer.h"

namespace kqopt {
namespace {

constexpr double kInf = kInfinity;

using test::QuietObserver;

using test::make_lp;

struct Solved {
  PrimalResult result;
  SimplexBasis basis;
  std::vector<double> x;  // structural values
};

Solved solve(const WorkingLp& lp, PrimalSettings settings = {}) {
  Solved s;
  s.basis.set_all_logical(lp);
  Factor factor;
  QuietObserver observer;
  factor.start_run(settings.factor);
  s.result = primal_simplex(lp, s.basis, factor, settings, observer);
  for (std::int32_t j = 0; j < lp.columns; ++j) s.x.push_back(s.basis.x[static_cast<std::size_t>(lp.rows + j)]);
  if (s.result.outcome == LpOutcome::optimal) {
    // The final basis is primal feasible and dual feasible.
    std::vector<double> pi, d;
    recompute_basic_values(lp, s.basis, factor);
    compute_duals(lp, s.basis, factor, pi, d);
    for (std::int32_t v = 0; v < lp.variables(); ++v) {
      const auto vv = static_cast<std::size_t>(v);
      EXPECT_GE(s.basis.x[vv], lp.lower[vv] - 1e-7) << v;
      EXPECT_LE(s.basis.x[vv], lp.upper[vv] + 1e-7) << v;
      const bool movable = lp.lower[vv] < lp.upper[vv];
      if (s.basis.status[vv] == VariableStatus::at_lower && movable) {
        EXPECT_GE(d[vv], -1e-7) << v;
      }
      if (s.basis.status[vv] == VariableStatus::at_upper && movable) {
        EXPECT_LE(d[vv], 1e-7) << v;
      }
      if (s.basis.status[vv] == VariableStatus::at_zero) {
        EXPECT_NEAR(d[vv], 0.0, 1e-7) << v;
      }
    }
  }
  return s;
}

TEST(PrimalSimplex, SmallOptimal) {
  // max 3x + 2y s.t. x + y <= 4, x + 3y <= 6, x <= 3  ->  x = 3, y = 1, objective 11.
  WorkingLp lp = make_lp({{1, 1}, {1, 3}}, {-3, -2}, {-kInf, -kInf}, {4, 6}, {0, 0}, {3, kInf});
  Solved s = solve(lp);
  ASSERT_EQ(s.result.outcome, LpOutcome::optimal);
  EXPECT_NEAR(s.result.objective, -11.0, 1e-9);
  EXPECT_NEAR(s.x[0], 3.0, 1e-9);
  EXPECT_NEAR(s.x[1], 1.0, 1e-9);
}

TEST(PrimalSimplex, AllLogicalBasisOptimalTakesNoIteration) {
  WorkingLp lp = make_lp({{1, 1}}, {1, 1}, {-kInf}, {4}, {0, 0}, {kInf, kInf});
  Solved s = solve(lp);
  ASSERT_EQ(s.result.outcome, LpOutcome::optimal);
  EXPECT_EQ(s.result.iterations, 0);
}

TEST(PrimalSimplex, Infeasible) {
  // x + y >= 5 with x, y <= 2.
  WorkingLp lp = make_lp({{1, 1}}, {1, 1}, {5}, {kInf}, {0, 0}, {2, 2});
  Solved s = solve(lp);
  EXPECT_EQ(s.result.outcome, LpOutcome::infeasible);
  EXPECT_GT(s.result.primal_infeasibilities, 0);
}

TEST(PrimalSimplex, Unbounded) {
  // min -x s.t. x - y <= 1, x, y >= 0.
  WorkingLp lp = make_lp({{1, -1}}, {-1, 0}, {-kInf}, {1}, {0, 0}, {kInf, kInf});
  Solved s = solve(lp);
  EXPECT_EQ(s.result.outcome, LpOutcome::unbounded);
  EXPECT_GE(s.result.unbounded_variable, lp.rows);
}

TEST(PrimalSimplex, BoundFlipWithoutBasisChange) {
  // min -x with 0 <= x <= 2 and a row that never binds.
  WorkingLp lp = make_lp({{1, 1}}, {-1, 0}, {-kInf}, {10}, {0, 0}, {2, 1});
  Solved s = solve(lp);
  ASSERT_EQ(s.result.outcome, LpOutcome::optimal);
  EXPECT_NEAR(s.x[0], 2.0, 1e-12);
  EXPECT_EQ(s.basis.status[static_cast<std::size_t>(lp.rows)], VariableStatus::at_upper);
  EXPECT_EQ(s.result.iterations, 1);
}

TEST(PrimalSimplex, FreeVariablesAndEqualities) {
  // min x + y s.t. x - y = 1, x + y >= -3 with x, y free -> x = -1, y = -2, objective -3.
  WorkingLp lp = make_lp({{1, -1}, {1, 1}}, {1, 1}, {1, -3}, {1, kInf}, {-kInf, -kInf}, {kInf, kInf});
  Solved s = solve(lp);
  ASSERT_EQ(s.result.outcome, LpOutcome::optimal);
  EXPECT_NEAR(s.result.objective, -3.0, 1e-9);
  EXPECT_NEAR(s.x[0] - s.x[1], 1.0, 1e-9);
}

TEST(PrimalSimplex, RangedRow) {
  // max x + y s.t. 2 <= x + 2y <= 6, x <= 4 -> x = 4, y = 1.
  WorkingLp lp = make_lp({{1, 2}}, {-1, -1}, {2}, {6}, {0, 0}, {4, kInf});
  Solved s = solve(lp);
  ASSERT_EQ(s.result.outcome, LpOutcome::optimal);
  EXPECT_NEAR(s.result.objective, -5.0, 1e-9);
}

TEST(PrimalSimplex, DegenerateVertex) {
  // Several constraints through the optimum (0, 0) of min -x - y ... bounded by them.
  WorkingLp lp = make_lp({{1, 1}, {1, 0}, {0, 1}, {2, 1}, {1, 2}}, {-1, -1}, {-kInf, -kInf, -kInf, -kInf, -kInf},
                         {2, 1, 1, 3, 3}, {0, 0}, {kInf, kInf});
  Solved s = solve(lp);
  ASSERT_EQ(s.result.outcome, LpOutcome::optimal);
  EXPECT_NEAR(s.result.objective, -2.0, 1e-9);
}

TEST(PrimalSimplex, IterationLimitZeroStopsAtOnce) {
  WorkingLp lp = make_lp({{1, 1}, {1, 3}}, {-3, -2}, {-kInf, -kInf}, {4, 6}, {0, 0}, {3, kInf});
  PrimalSettings settings;
  settings.iteration_limit = 0;
  Solved s = solve(lp, settings);
  EXPECT_EQ(s.result.outcome, LpOutcome::iteration_limit);
  EXPECT_EQ(s.result.iterations, 0);
}

TEST(PrimalSimplex, CompositePhaseOneOnInfeasibleProblem) {
  WorkingLp lp = make_lp({{1, 1}}, {1, 1}, {5}, {kInf}, {0, 0}, {2, 2});
  PrimalSettings settings;
  settings.composite = true;
  Solved s = solve(lp, settings);
  EXPECT_EQ(s.result.outcome, LpOutcome::infeasible);
}

// A reduced cost inside ZTCOST on a variable with a wide range still moves the objective
// by far more than rounding: the run closes on the tighter tolerance and takes it.
TEST(PrimalSimplex, ClosesOnTheTighterTolerance) {
  // min -5e-7 x - y s.t. x + y <= 2e4, 0 <= x <= 1e4, 0 <= y <= 1e4: x = y = 1e4.
  WorkingLp lp = make_lp({{1, 1}}, {-5e-7, -1}, {-kInf}, {2e4}, {0, 0}, {1e4, 1e4});
  Solved s = solve(lp);
  ASSERT_EQ(s.result.outcome, LpOutcome::optimal);
  EXPECT_NEAR(s.result.objective, -1e4 - 5e-3, 1e-9);
}

// The same in phase 1: a phase-1 reduced cost inside ZTCOST on a variable with a wide
// range removes an infeasibility far above ZTOLZE, so it is no proof of infeasibility.
TEST(PrimalSimplex, PhaseOneClosesOnTheTighterToleranceBeforeInfeasible) {
  // x + 1e-7 y >= 1 with 0 <= x <= 0.5, 0 <= y <= 1e7: feasible with y >= 5e6 only.
  WorkingLp lp = make_lp({{1, 1e-7}}, {0, 0}, {1}, {kInf}, {0, 0}, {0.5, 1e7});
  Solved s = solve(lp);
  ASSERT_EQ(s.result.outcome, LpOutcome::optimal);
  EXPECT_GE(s.x[0] + 1e-7 * s.x[1], 1.0 - 1e-6);
}

// A feasible, bounded LP with random sparse rows: every row holds a point x0 inside the
// box, some rows as equalities, others ranged or one-sided around a.x0.
WorkingLp random_lp(std::int32_t rows, std::int32_t columns, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<std::vector<double>> a(static_cast<std::size_t>(rows), std::vector<double>(columns, 0.0));
  std::vector<double> x0, c, l, u, row_lower, row_upper;
  for (std::int32_t j = 0; j < columns; ++j) {
    l.push_back(unit(random) < 0.2 ? -kInf : -10.0 * unit(random));
    u.push_back(unit(random) < 0.2 ? kInf : 10.0 * unit(random));
    x0.push_back(l.back() > -kInf ? l.back() + 0.5 * ((u.back() < kInf ? u.back() : l.back() + 2.0) - l.back())
                                  : (u.back() < kInf ? u.back() - 1.0 : 0.0));
    c.push_back(unit(random) * 2.0 - 1.0);
  }
  for (std::int32_t i = 0; i < rows; ++i) {
    double activity = 0.0;
    for (std::int32_t j = 0; j < columns; ++j) {
      if (unit(random) < 0.15) {
        a[i][j] = std::round((unit(random) * 2.0 - 1.0) * 8.0) / 4.0;
        activity += a[i][j] * x0[static_cast<std::size_t>(j)];
      }
    }
    const double kind = unit(random);
    row_lower.push_back(kind < 0.3 ? activity : (kind < 0.6 ? -kInf : activity - unit(random)));
    row_upper.push_back(kind < 0.3 ? activity : (kind < 0.8 ? activity + unit(random) : kInf));
  }
  // A bounded objective: every column with an infinite bound in its cost's direction of
  // improvement is boxed there.
  for (std::int32_t j = 0; j < columns; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (c[jj] > 0.0 && l[jj] <= -kInf) l[jj] = x0[jj] - 20.0;
    if (c[jj] < 0.0 && u[jj] >= kInf) u[jj] = x0[jj] + 20.0;
  }
  return make_lp(a, c, row_lower, row_upper, l, u);
}

// Both entering rules, with pure and composite phase 1, reach the same optimum, checked for
// primal and dual feasibility by solve(). The random LPs start infeasible from the
// all-logical basis, so the reduced costs carried through the pivot rows in phase 1 (with
// the corrections for basic variables crossing bounds) and in phase 2 are both exercised.
TEST(PrimalSimplex, PricingRulesAgreeOnRandomLps) {
  struct Variant {
    bool weights;
    bool composite;
  };
  const Variant variants[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const WorkingLp lp = random_lp(25 + static_cast<std::int32_t>(seed), 40, seed);
    std::vector<double> objective;
    for (const Variant& variant : variants) {
      PrimalSettings settings;
      settings.pricing_weights = variant.weights;
      settings.composite = variant.composite;
      Solved s = solve(lp, settings);
      ASSERT_EQ(s.result.outcome, LpOutcome::optimal)
          << "seed " << seed << " weights " << variant.weights << " composite " << variant.composite;
      objective.push_back(s.result.objective);
    }
    for (double value : objective) {
      EXPECT_NEAR(value, objective[0], 1e-9 * (1.0 + std::fabs(objective[0]))) << "seed " << seed;
    }
  }
}

// On a problem with many more columns than rows the sections of partial pricing replace
// the carried reduced costs; from an infeasible start (phase 1, pure and composite) the
// run reaches the optimum of full pricing, checked for primal and dual feasibility.
TEST(PrimalSimplex, PartialPricingOnWideLpsReachesTheOptimum) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    const WorkingLp lp = random_lp(10 + static_cast<std::int32_t>(seed), 1200, seed);
    PrimalSettings full;
    full.partial_pricing = false;
    const Solved reference = solve(lp, full);
    ASSERT_EQ(reference.result.outcome, LpOutcome::optimal) << "seed " << seed;
    for (const bool composite : {false, true}) {
      PrimalSettings partial;
      partial.composite = composite;
      const Solved s = solve(lp, partial);
      ASSERT_EQ(s.result.outcome, LpOutcome::optimal) << "seed " << seed << " composite " << composite;
      EXPECT_NEAR(s.result.objective, reference.result.objective, 1e-9 * (1.0 + std::fabs(reference.result.objective)))
          << "seed " << seed << " composite " << composite;
    }
  }
}

// Exact weights stay equal to the norms they stand for: after k iterations every
// nonbasic variable of the framework has weight [j in framework] + the sum of alpha_pj^2
// over the positions p whose basic variable belongs to the framework, alpha_j = B^-1 a_j
// of the final basis. Equality rows keep the logicals out of pricing, so every entering
// variable belongs to the first framework and the weights are never floored or reset.
TEST(PrimalSimplex, ExactWeightsAreTheRestrictedNorms) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    WorkingLp lp = random_lp(20, 35, seed);
    for (std::int32_t i = 0; i < lp.rows; ++i) {
      const auto ii = static_cast<std::size_t>(i);
      const double value = lp.lower[ii] > -kInf ? lp.lower[ii] : lp.upper[ii];
      lp.lower[ii] = lp.upper[ii] = value;
      lp.rhs[ii] = 0.0;
    }
    for (const std::int64_t limit : {3, 9, 17}) {
      PrimalSettings settings;
      settings.perturb = false;
      settings.report_weights = true;
      settings.iteration_limit = limit;
      SimplexBasis basis;
      basis.set_all_logical(lp);
      Factor factor;
      QuietObserver observer;
      factor.start_run(settings.factor);
      const PrimalResult result = primal_simplex(lp, basis, factor, settings, observer);
      ASSERT_EQ(result.outcome, LpOutcome::iteration_limit) << "seed " << seed << " limit " << limit;
      ASSERT_EQ(result.reference_weights.size(), static_cast<std::size_t>(lp.variables()));
      WorkVector alpha(lp.rows);
      std::int32_t checked = 0;
      for (std::int32_t j = lp.rows; j < lp.variables(); ++j) {
        const auto jj = static_cast<std::size_t>(j);
        if (basis.status[jj] == VariableStatus::basic) continue;
        ASSERT_TRUE(result.reference_framework[jj]) << j;
        transform_entering_column(lp, factor, j, alpha);
        double norm = 1.0;
        for (std::int32_t p = 0; p < lp.rows; ++p) {
          const double a = alpha.values()[static_cast<std::size_t>(p)];
          if (result.reference_framework[static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)])])
            norm += a * a;
        }
        EXPECT_NEAR(result.reference_weights[jj], norm, 1e-9 * norm)
            << "seed " << seed << " limit " << limit << " variable " << j;
        ++checked;
      }
      EXPECT_GT(checked, 0);
    }
  }
}

}  // namespace
}  // namespace kqopt
