// The dual simplex on small LPs with known answers (status, objective, optimality of
// the final basis), against the primal simplex on random LPs, and its re-solve from an
// optimal basis after a bound change, with and without a cutoff.
#include "simplex/dual/dual_simplex.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simplex/primal/primal_simplex.h"
#include "support/dense_lp.h"

namespace kqopt {
namespace {

constexpr double kInf = 9.999999999999999e29;

class QuietObserver : public SimplexObserver {
 public:
  bool should_stop() override { return false; }
  bool wants_line(std::int64_t, bool) override { return false; }
  void iteration(const Progress& progress) override { modes += progress.mode; }
  void inverted(const InvertReport&) override {}
  std::string modes;
};

using test::make_lp;

struct Outcome {
  char status = 'F';  // the driver's view: the primal finishes a hand-over
  bool handed_over = false;
  double objective = 0.0;
  std::int64_t dual_iterations = 0;
  std::string modes;
};

void expect_optimal_basis(const WorkingLp& lp, SimplexBasis& basis, Factor& factor) {
  std::vector<double> pi, d;
  compute_duals(lp, basis, factor, pi, d);
  for (std::int32_t v = 0; v < lp.variables(); ++v) {
    const auto vv = static_cast<std::size_t>(v);
    EXPECT_GE(basis.x[vv], lp.lower[vv] - 1e-7) << v;
    EXPECT_LE(basis.x[vv], lp.upper[vv] + 1e-7) << v;
    if (basis.status[vv] == VariableStatus::basic || lp.lower[vv] == lp.upper[vv]) continue;
    if (basis.status[vv] == VariableStatus::at_lower) {
      EXPECT_GE(d[vv], -1e-6) << v;
    } else if (basis.status[vv] == VariableStatus::at_upper) {
      EXPECT_LE(d[vv], 1e-6) << v;
    } else {
      EXPECT_NEAR(d[vv], 0.0, 1e-6) << v;
    }
  }
}

// The dual, and the primal after a hand-over, as the driver runs them.
Outcome solve_dual(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, DualSettings settings = {}) {
  Outcome run;
  QuietObserver observer;
  factor.start_run(settings.common.factor);
  const DualResult d = dual_simplex(lp, basis, factor, settings, observer);
  run.dual_iterations = d.iterations;
  run.status = static_cast<char>(d.end);
  run.objective = d.objective;
  if (d.end == DualEnd::hand_over) {
    run.handed_over = true;
    const PrimalResult p = primal_simplex(lp, basis, factor, settings.common, observer, d.iterations);
    run.status = static_cast<char>(p.outcome);
    run.objective = p.objective;
  }
  if (run.status == 'O') expect_optimal_basis(lp, basis, factor);
  run.modes = observer.modes;
  return run;
}

Outcome solve_dual(const WorkingLp& lp, DualSettings settings = {}) {
  SimplexBasis basis;
  basis.set_all_logical(lp);
  Factor factor;
  return solve_dual(lp, basis, factor, settings);
}

struct Case {
  const char* name;
  WorkingLp lp;
  char status;
  double objective;
};

std::vector<Case> cases() {
  const double inf = kInf;
  std::vector<Case> c;
  // Dual feasible at the all-logical basis: covering rows.
  c.push_back({"covering", make_lp({{1, 2}, {3, 1}}, {1, 1}, {2, 3}, {inf, inf}, {0, 0}, {inf, inf}), 'O', 1.4});
  // Negative costs on boxed variables: made dual feasible by bound flips.
  c.push_back({"flips", make_lp({{1, 1}}, {-1, -1}, {-inf}, {1.5}, {0, 0}, {1, 1}), 'O', -1.5});
  // A free variable with a nonzero reduced cost: the first phase.
  c.push_back({"free", make_lp({{-1, 1}, {1, 0}}, {0, -1}, {-inf, -inf}, {1, 2}, {0, -inf}, {inf, inf}), 'O', -3.0});
  // Upper-bounded only, attractive downwards.
  c.push_back({"upper only", make_lp({{1, 1}}, {1, 2}, {-4}, {inf}, {-inf, -inf}, {0, 0}), 'O', -8.0});
  // Equality and ranged rows.
  c.push_back(
      {"equality and range",
       make_lp({{1, 1, 1}, {1, -1, 0}, {0, 1, -1}}, {2, 3, 1}, {6, -1, -2}, {6, 1, 2}, {0, 0, 0}, {inf, inf, inf}), 'O',
       10.0});
  // Infeasible: boxed variables cannot reach the row.
  c.push_back({"infeasible", make_lp({{1, 1}}, {1, 1}, {3}, {inf}, {0, 0}, {1, 1}), 'N', 0.0});
  // Infeasible rows that contradict each other.
  c.push_back({"contradiction", make_lp({{1, 1}, {1, 1}}, {1, 1}, {4, -inf}, {inf, 2}, {0, 0}, {inf, inf}), 'N', 0.0});
  // Unbounded: the dual cannot become feasible; the primal says so.
  c.push_back({"unbounded", make_lp({{1, -1}}, {-1, 0}, {-inf}, {1}, {0, 0}, {inf, inf}), 'U', 0.0});
  // Degenerate: several rows through one vertex.
  c.push_back(
      {"degenerate",
       make_lp({{1, 1}, {1, 2}, {2, 1}, {1, 0}}, {1, 1}, {2, 3, 3, 1}, {inf, inf, inf, inf}, {0, 0}, {inf, inf}), 'O',
       2.0});
  // Fixed variable and an empty row.
  c.push_back({"fixed", make_lp({{1, 1}, {0, 0}}, {1, 1}, {3, -inf}, {inf, inf}, {2, 0}, {2, inf}), 'O', 3.0});
  return c;
}

TEST(DualSimplex, SmallLpsEndWithTheKnownStatusAndObjective) {
  for (Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const Outcome run = solve_dual(c.lp);
    EXPECT_EQ(run.status, c.status);
    if (c.status == 'O') {
      EXPECT_NEAR(run.objective, c.objective, 1e-7);
    }
  }
}

TEST(DualSimplex, LogsWithTheDualModeCharacter) {
  SimplexBasis basis;
  WorkingLp lp = cases()[0].lp;
  basis.set_all_logical(lp);
  Factor factor;
  DualSettings settings;
  class Logging : public QuietObserver {
   public:
    bool wants_line(std::int64_t, bool) override { return true; }
  } observer;
  factor.start_run(settings.common.factor);
  const DualResult r = dual_simplex(lp, basis, factor, settings, observer);
  EXPECT_EQ(r.end, DualEnd::optimal);
  ASSERT_FALSE(observer.modes.empty());
  EXPECT_EQ(observer.modes.find_first_not_of('D'), std::string::npos);
}

// Random LPs with boxed, one-sided and free columns and all row types: the dual (with
// the primal after a hand-over) agrees with the primal on status and objective.
TEST(DualSimplex, AgreesWithThePrimalOnRandomLps) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int optimal = 0;
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    const int m = 2 + static_cast<int>(unit(random) * 12);
    const int n = 2 + static_cast<int>(unit(random) * 16);
    std::vector<std::vector<double>> a(static_cast<std::size_t>(m), std::vector<double>(static_cast<std::size_t>(n)));
    for (auto& row : a)
      for (double& v : row) v = unit(random) < 0.4 ? std::round((unit(random) * 10 - 5) * 2) / 2 : 0.0;
    std::vector<double> c, l, u, rl, ru;
    for (int j = 0; j < n; ++j) {
      c.push_back(std::round(unit(random) * 20 - 8));
      const double kind = unit(random);
      l.push_back(kind < 0.1 ? -kInf : kind < 0.2 ? -kInf : std::round(unit(random) * 4 - 2));
      u.push_back(kind < 0.1 ? kInf : kind < 0.2 ? 3.0 : kind < 0.6 ? l.back() + std::round(unit(random) * 6) : kInf);
    }
    for (int i = 0; i < m; ++i) {
      const double kind = unit(random);
      const double b = std::round(unit(random) * 20 - 5);
      rl.push_back(kind < 0.4 ? b : kind < 0.5 ? b - 3 : -kInf);
      ru.push_back(kind < 0.4 ? kInf : kind < 0.5 ? b : b + 10);
    }
    const WorkingLp lp = make_lp(a, c, rl, ru, l, u);
    const Outcome dual = solve_dual(lp);
    SimplexBasis basis;
    basis.set_all_logical(lp);
    Factor factor;
    QuietObserver observer;
    PrimalSettings ps;
    factor.start_run(ps.factor);
    const PrimalResult primal = primal_simplex(lp, basis, factor, ps, observer);
    EXPECT_EQ(dual.status, static_cast<char>(primal.outcome));
    if (primal.outcome == LpOutcome::optimal && dual.status == 'O') {
      ++optimal;
      EXPECT_NEAR(dual.objective, primal.objective, 1e-6 * (1.0 + std::fabs(primal.objective)));
    }
  }
  EXPECT_GT(optimal, 25);
}

// Re-solve: tighten the bound of a basic structural of the optimal basis so that it
// becomes infeasible; the dual from the kept factorisation needs few iterations and
// finds the optimum of a cold solve; a cutoff below that optimum stops it.
TEST(DualSimplex, ResolvesAfterABoundChangeAndStopsAtTheCutoff) {
  const double inf = kInf;
  WorkingLp lp = make_lp({{1, 1, 1, 0}, {1, -1, 0, 1}, {0, 1, 2, 1}, {1, 0, 1, 1}}, {-3, -2, -4, -1},
                         {-inf, -inf, -inf, -inf}, {8, 2, 10, 7}, {0, 0, 0, 0}, {inf, inf, inf, inf});
  SimplexBasis basis;
  basis.set_all_logical(lp);
  Factor factor;
  const Outcome first = solve_dual(lp, basis, factor);
  ASSERT_EQ(first.status, 'O');
  std::int32_t tightened = -1;
  for (std::int32_t j = lp.rows; j < lp.variables(); ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (basis.status[jj] == VariableStatus::basic && basis.x[jj] > 0.5) {
      tightened = j;
      lp.upper[jj] = std::floor(basis.x[jj] * 0.5);
      break;
    }
  }
  ASSERT_GE(tightened, 0);

  SimplexBasis cold_basis;
  cold_basis.set_all_logical(lp);
  Factor cold_factor;
  const Outcome cold = solve_dual(lp, cold_basis, cold_factor);
  ASSERT_EQ(cold.status, 'O');

  SimplexBasis warm_basis = basis;
  DualSettings resolve;
  resolve.resolve = true;
  QuietObserver observer;
  const DualResult warm = dual_simplex(lp, warm_basis, factor, resolve, observer, 0, true);
  ASSERT_EQ(warm.end, DualEnd::optimal);
  EXPECT_NEAR(warm.objective, cold.objective, 1e-9);
  EXPECT_GE(warm.iterations, 1);
  EXPECT_LE(warm.iterations, 3);
  EXPECT_EQ(warm.inverts, 0);

  // A cutoff below the new optimum (minimising: the objective cannot get below it).
  SimplexBasis cut_basis = basis;
  Factor cut_factor;
  resolve.cutoff = cold.objective - 0.5;
  const DualResult cut = dual_simplex(lp, cut_basis, cut_factor, resolve, observer, 0, false);
  EXPECT_EQ(cut.end, DualEnd::cutoff);
  EXPECT_GE(cut.objective, resolve.cutoff);
  // A bound already past the cutoff: stopped before any iteration.
  SimplexBasis past_basis = basis;
  resolve.cutoff = first.objective - 1.0;
  const DualResult past = dual_simplex(lp, past_basis, cut_factor, resolve, observer, 0, false);
  EXPECT_EQ(past.end, DualEnd::cutoff);
  EXPECT_EQ(past.iterations, 0);
}

TEST(DualSimplex, ProgressMarkHandsOverWhenTheObjectiveStalls) {
  // Many degenerate rows through the optimum: dual steps of zero length.
  const double inf = kInf;
  WorkingLp lp = make_lp({{1, 1}, {1, 1}, {2, 2}, {1, 1}, {3, 3}}, {1, 1}, {2, 2, 4, 2, 6}, {inf, inf, inf, inf, inf},
                         {0, 0}, {inf, inf});
  DualSettings settings;
  settings.perturb_costs = false;
  settings.progress_interval = 1;
  settings.progress_interval_after = 1;
  const Outcome run = solve_dual(lp, settings);
  EXPECT_EQ(run.status, 'O');
  EXPECT_NEAR(run.objective, 2.0, 1e-9);
}

// Costs that differ by less than the optimality tolerance: once the true costs are
// restored after the optimum of the working costs, the free column 6 is left with a
// wrong-signed reduced cost and a boxed column flips, leaving a primal infeasibility
// beside it. The dual shifts the free column's cost and goes on (a pivot takes it into
// the basis) instead of handing the run to the primal; with or without perturbation.
TEST(DualSimplex, ShiftsLeftoverDualInfeasibilitiesBesidePrimalOnesAndGoesOn) {
  const double inf = kInf;
  const WorkingLp lp =
      make_lp({{0, -1, -2, 1, -1, 0, 0, 0, 2}, {-1, 0, 0, 2, 0, 0, 0, -1, 0}, {-3, 0, 0, 0, 0, 0, 2, -2, 1}},
              {1 - 1.2e-7, 1 - 8e-8, -4e-8, 1 + 4e-8, -8e-8, -1.2e-7, -4e-8, 2 - 1.2e-7, -1.2e-7}, {2, -1, 2},
              {inf, inf, inf}, {0, 0, 0, 0, 0, 0, -inf, 0, 0}, {1, 2, 3, 1, inf, 1, 2, inf, 1});
  SimplexBasis primal_basis;
  primal_basis.set_all_logical(lp);
  Factor primal_factor;
  QuietObserver observer;
  PrimalSettings ps;
  primal_factor.start_run(ps.factor);
  const PrimalResult primal = primal_simplex(lp, primal_basis, primal_factor, ps, observer);
  ASSERT_EQ(primal.outcome, LpOutcome::optimal);
  for (const bool perturb : {true, false}) {
    SCOPED_TRACE(perturb);
    DualSettings settings;
    settings.perturb_costs = perturb;
    const Outcome run = solve_dual(lp, settings);
    EXPECT_FALSE(run.handed_over);
    EXPECT_EQ(run.status, 'O');
    EXPECT_NEAR(run.objective, primal.objective, 1e-9);
  }
}

}  // namespace
}  // namespace kqopt
