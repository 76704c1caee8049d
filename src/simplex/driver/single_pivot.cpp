// KQPIVOT and KQGETPIVOTS on the primal simplex's column transformation, ratio test
// and basis change.
#include "simplex/driver/single_pivot.h"

#include <cmath>
#include <vector>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/index_base.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/solution_units.h"
#include "simplex/driver/engine_current.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/primal/primal_step.h"

namespace kqopt {

namespace {

// The internal variable a combined index names, or -1.
std::int32_t variable_of(const Library& lib, std::int32_t combined) {
  const std::int64_t v = current_index_base(lib).to_internal(combined);
  return v >= 0 && v < lib.problem->variables() ? static_cast<std::int32_t>(v) : -1;
}

// Checks the entering variable and brings the engine and its solution up to date.
// Returns the internal variable, or -1 with the error set.
std::int32_t prepare_entering(Library& lib, std::int32_t in) {
  if (!require_problem(lib) || engine_busy(lib, true)) return -1;
  const std::int32_t q = variable_of(lib, in);
  if (q < 0 || (lib.problem->status[static_cast<std::size_t>(q)] & status::kBasic)) {
    report_error(lib, kRcInvalidCall, kMessageBadEntering, {in});
    return -1;
  }
  if (!make_engine_current(lib)) return -1;
  EngineState& engine = *lib.engine;
  if (engine.basis.status[static_cast<std::size_t>(q)] == VariableStatus::basic) {
    report_error(lib, kRcInvalidCall, kMessageBadEntering, {in});
    return -1;
  }
  if (!engine.has_solution || engine.problem_serial != lib.problem->serial) refresh_solution(lib);
  return q;
}

// +1 when q moves up from where it stands, -1 down.
int entering_direction(const EngineState& engine, std::int32_t q) {
  const auto qq = static_cast<std::size_t>(q);
  switch (engine.basis.status[qq]) {
    case VariableStatus::at_upper:
      return -1;
    case VariableStatus::at_zero:
      return engine.reduced_cost[qq] > 0.0 ? -1 : 1;
    default:
      return 1;
  }
}

RatioTestSettings listing_settings(const Library& lib) {
  RatioTestSettings settings;
  settings.feasibility_tolerance = lib.controls.d(dcv::ZTOLZE);
  settings.pivot_tolerance = lib.controls.d(dcv::ZTOLPV);
  settings.relative_pivot_tolerance = lib.controls.d(dcv::ZTOLRP);
  settings.lenient = true;  // candidates are listed, not turned down for their size
  return settings;
}

// The bound a leaving basic variable stops at when it moves at rate `rate`: the one
// it moves towards, else the other one; reports whether that is the upper bound and
// gives the value it takes there (0 for a free variable).
double leaving_target(const WorkingLp& lp, std::size_t v, double rate, bool& at_upper) {
  const bool up_finite = lp.upper[v] < kInfinity;
  const bool down_finite = lp.lower[v] > -kInfinity;
  at_upper = rate > 0.0 ? up_finite : !down_finite && up_finite;
  if (at_upper) return lp.upper[v];
  return down_finite ? lp.lower[v] : 0.0;
}

}  // namespace

std::int32_t pivot(Library& lib, std::int32_t in, std::int32_t out) {
  lib.begin_operation();
  const std::int32_t q = prepare_entering(lib, in);
  if (q < 0) return lib.err.return_code;
  EngineState& engine = *lib.engine;
  const WorkingLp& lp = engine.lp;
  SimplexBasis& basis = engine.basis;
  const auto qq = static_cast<std::size_t>(q);
  const int direction = entering_direction(engine, q);

  if (out == in) {
    if (lp.lower[qq] <= -kInfinity || lp.upper[qq] >= kInfinity) {
      report_error(lib, kRcInvalidCall, kMessageBadLeaving, {out});
      return lib.err.return_code;
    }
    WorkVector alpha(lp.rows);
    transform_entering_column(lp, engine.factor, q, alpha);
    move_basic_values(basis, alpha, direction, lp.upper[qq] - lp.lower[qq]);
    flip_to_other_bound(basis, lp.lower, lp.upper, q);
  } else {
    const std::int32_t r = variable_of(lib, out);
    if (r < 0 || basis.status[static_cast<std::size_t>(r)] != VariableStatus::basic) {
      report_error(lib, kRcInvalidCall, kMessageBadLeaving, {out});
      return lib.err.return_code;
    }
    WorkVector alpha(lp.rows);
    transform_entering_column(lp, engine.factor, q, alpha);
    const std::int32_t p = basis.position[static_cast<std::size_t>(r)];
    const double alpha_p = alpha[p];
    if (std::fabs(alpha_p) < lib.controls.d(dcv::ZTOLPV)) {
      report_error(lib, kRcInvalidCall, kMessageBadLeaving, {out});
      return lib.err.return_code;
    }
    // The step that takes the leaving variable to its bound; the basic values are
    // recomputed from the new factorisation afterwards.
    const auto rr = static_cast<std::size_t>(r);
    Step step;
    step.kind = StepKind::pivot;
    step.position = p;
    const double target = leaving_target(lp, rr, -direction * alpha_p, step.leaves_at_upper);
    step.theta = (basis.x[rr] - target) / (direction * alpha_p);
    move_basic_values(basis, alpha, direction, step.theta);
    basis.x[qq] += direction * step.theta;
    basis.x[rr] = target;
    if (!exchange_basis(basis, engine.factor, alpha, q, step, lp.lower, lp.upper, primal_settings(lib).factor)) {
      if (!refactorise_engine(lib)) return lib.err.return_code;
    }
    basis.place_nonbasic(lp);
  }
  refresh_solution(lib);
  basis_to_status_words(basis, *lib.problem);
  return lib.err.return_code;
}

std::int32_t get_pivots(Library& lib, std::int32_t in, std::int32_t* outlist, double* x, double* objval,
                        std::int32_t* npiv, std::int32_t maxpiv) {
  lib.begin_operation();
  if (!require_problem(lib) || reject_null(lib, npiv, "getpivs ") || reject_null(lib, objval, "getpivs ")) {
    return lib.err.return_code;
  }
  *npiv = 0;
  const std::int32_t q = prepare_entering(lib, in);
  if (q < 0) return lib.err.return_code;
  const Problem& problem = *lib.problem;
  const EngineState& engine = *lib.engine;
  const WorkingLp& lp = engine.lp;
  const SimplexBasis& basis = engine.basis;
  const auto qq = static_cast<std::size_t>(q);
  const int direction = entering_direction(engine, q);
  const RatioTestSettings settings = listing_settings(lib);

  WorkVector alpha(lp.rows);
  transform_entering_column(lp, lib.engine->factor, q, alpha);
  Step step = primal_ratio_test(basis, lp.lower, lp.upper, alpha, q, direction, settings);
  if (step.kind != StepKind::pivot && step.kind != StepKind::flip) return lib.err.return_code;

  const double theta = step.theta;
  *objval = *lib.attributes.double_attribute(attr::kObjectiveValue) +
            engine.reduced_cost[qq] * direction * theta / engine_sense(lib);
  if (x != nullptr) {
    std::vector<double> after(basis.x);
    for (std::int32_t p = 0; p < lp.rows; ++p) {
      after[static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)])] -= direction * theta * alpha[p];
    }
    after[qq] = basis.x[qq] + direction * theta;
    for (std::int32_t v = 0; v < lp.variables(); ++v)
      x[v] = to_user_value(problem, v, after[static_cast<std::size_t>(v)]);
  }

  const IndexBase index = current_index_base(lib);
  auto list = [&](const Step& candidate) {
    const std::int32_t v =
        candidate.kind == StepKind::pivot ? basis.header[static_cast<std::size_t>(candidate.position)] : q;
    if (outlist != nullptr) outlist[*npiv] = static_cast<std::int32_t>(index.to_caller(v));
    ++*npiv;
  };
  if (maxpiv < 1) return lib.err.return_code;
  list(step);

  // Further candidates: the next limits once the listed ones are taken out of the
  // column, while their steps stay within the first one's tolerance.
  if (step.kind != StepKind::pivot) return lib.err.return_code;
  const double first_alpha = std::fabs(alpha[step.position]);
  const auto first = static_cast<std::size_t>(basis.header[static_cast<std::size_t>(step.position)]);
  const double first_bound = step.leaves_at_upper ? lp.upper[first] : lp.lower[first];
  const double first_distance = std::fabs(basis.x[first] - first_bound);
  const double window = first_distance + settings.feasibility_tolerance;
  while (*npiv < maxpiv && step.kind == StepKind::pivot) {
    alpha.values()[static_cast<std::size_t>(step.position)] = 0.0;
    step = primal_ratio_test(basis, lp.lower, lp.upper, alpha, q, direction, settings);
    if (step.kind != StepKind::pivot && step.kind != StepKind::flip) break;
    if (!(step.theta * first_alpha < window)) break;
    list(step);
  }
  return lib.err.return_code;
}

}  // namespace kqopt
