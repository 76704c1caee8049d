// The dual simplex method.
//
// The run keeps the basis dual feasible (every nonbasic reduced cost of the right sign
// for the bound its variable sits at) and removes primal infeasibilities: each
// iteration a basic variable outside its bounds leaves at the bound it violates, the
// entering variable is the one whose reduced cost reaches zero first as the duals move
// along the leaving row, and boxed variables whose reduced costs change sign on the way
// flip to their other bound instead of stopping the step (long steps). When no basic
// variable is outside its bounds the basis is optimal.
//
// Dual feasibility at the start: boxed variables with a wrong-signed reduced cost
// flip; when free or one-sided variables remain dual infeasible, a first phase solves
// the auxiliary problem whose bounds are [-1, 1] for free variables, [0, 1] or [-1, 0]
// for one-sided ones and [0, 0] for boxed ones (right-hand side zero); its optimal
// basis minimises the sum of dual infeasibilities, so that it is dual feasible for the
// true problem unless the true problem is dual infeasible (then the primal simplex
// takes over). Leaving rows are priced by dual steepest-edge weights. Costs are
// perturbed against dual degeneracy and shifted where the ratio test's tolerance let a
// reduced cost pass zero; both are removed before an optimum is declared, and when
// that leaves dual infeasibilities that a bound flip cannot repair, the primal simplex
// finishes the run.
#pragma once

#include <cstdint>

#include "simplex/core/simplex_basis.h"
#include "simplex/core/working_lp.h"
#include "simplex/factor/factor.h"
#include "simplex/primal/primal_simplex.h"

namespace kqopt {

struct DualSettings {
  PrimalSettings common;  // tolerances, iteration limit and factorisation settings
  // Progress mark: the run hands over to the primal simplex when the objective has
  // not improved by more than the optimality tolerance within this many iterations.
  // 0 or negative: no progress test.
  std::int64_t progress_interval = 0;
  // After each improvement the next mark lies this many iterations ahead.
  std::int64_t progress_interval_after = 0;
  // Re-solve: start from the factorisation held when it still belongs to the basis,
  // and stop with outcome cutoff as soon as the objective reaches `cutoff`.
  bool resolve = false;
  double cutoff = 1.0e300;  // in the engine's (minimising) units
  bool perturb_costs = true;
  // Hand over at once when the largest |price| times the optimality tolerance reaches
  // this (the dual would move in steps too small to trust); 0: no such test.
  double price_limit = 0.0;
};

enum class DualEnd : char {
  optimal = 'O',
  infeasible = 'N',
  stopped = 'C',
  iteration_limit = 'Z',
  cutoff = 'D',     // the objective reached the cutoff of a re-solve
  hand_over = 'H',  // the primal simplex should continue from the basis left
  failed = 'F',     // the factorisation failed; see factor_status
};

struct DualResult {
  DualEnd end = DualEnd::failed;
  bool too_little_progress = false;  // hand_over by the progress mark (message 150)
  std::int64_t iterations = 0;
  double objective = 0.0;  // cost^T x of the final basis (true costs)
  std::int32_t primal_infeasibilities = 0;
  double sum_infeasibilities = 0.0;
  std::int32_t dual_infeasibilities = 0;
  std::int64_t bound_flips = 0;
  std::int32_t inverts = 0;
  FactorStatus factor_status = FactorStatus::ok;
  std::int64_t workspace_needed = 0;
  PrimalStepSeconds step_seconds{};  // with common.time_steps, as the primal's
};

// Solves lp from the given basis (which must match lp), reporting through observer
// with mode character 'D'. The basis and x are left as the run ends; the
// factorisation belongs to basis.header unless the end is failed.
// factor_current says that factor already belongs to basis.header (re-solves).
DualResult dual_simplex(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, const DualSettings& settings,
                        SimplexObserver& observer, std::int64_t iteration_base = 0, bool factor_current = false);

}  // namespace kqopt
