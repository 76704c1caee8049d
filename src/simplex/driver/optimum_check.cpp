// Confirming a scaled optimum in the caller's units (optimum_check.h).
#include "simplex/driver/optimum_check.h"

#include <algorithm>
#include <cmath>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/solution_units.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/scaling_step.h"

namespace kqopt {

namespace {

bool is_scaled(const Problem& p) {
  for (std::uint32_t word : p.status) {
    if (status::exponent(word) != status::kNeutralExponent) return true;
  }
  return false;
}

ScaleExponents exponents_of(const Problem& p) {
  ScaleExponents e;
  for (std::int32_t i = 0; i < p.row_slots(); ++i)
    e.row.push_back(status::exponent(p.status[static_cast<std::size_t>(i)]));
  for (std::int32_t j = 0; j < p.columns; ++j) {
    e.column.push_back(status::exponent(p.status[static_cast<std::size_t>(p.column_variable(j))]));
  }
  return e;
}

ScaleExponents neutral_exponents(const Problem& p) {
  ScaleExponents e;
  e.row.assign(static_cast<std::size_t>(p.row_slots()), status::kNeutralExponent);
  e.column.assign(static_cast<std::size_t>(p.columns), status::kNeutralExponent);
  return e;
}

}  // namespace

CallerUnitsViolation violation_in_caller_units(const Problem& p, const EngineState& engine) {
  CallerUnitsViolation worst;
  const SimplexBasis& basis = engine.basis;
  for (std::int32_t v = 0; v < p.variables(); ++v) {
    const auto vv = static_cast<std::size_t>(v);
    const double lower = to_user_value(p, v, p.lower[vv]);
    const double upper = to_user_value(p, v, p.upper[vv]);
    const double x = to_user_value(p, v, basis.x[vv]);
    if (lower > -kInfinity) worst.primal = std::max(worst.primal, lower - x);
    if (upper < kInfinity) worst.primal = std::max(worst.primal, x - upper);
    if (basis.status[vv] == VariableStatus::basic || p.lower[vv] == p.upper[vv]) continue;
    const double d = to_user_reduced_cost(p, v, engine.reduced_cost[vv]);
    switch (basis.status[vv]) {
      case VariableStatus::at_lower:
        worst.dual = std::max(worst.dual, -d);
        break;
      case VariableStatus::at_upper:
        worst.dual = std::max(worst.dual, d);
        break;
      case VariableStatus::at_zero:
        worst.dual = std::max(worst.dual, std::fabs(d));
        break;
      case VariableStatus::basic:
        break;
    }
  }
  return worst;
}

bool confirm_optimum_in_caller_units(Library& lib, Problem& p, EngineState& engine, const PrimalSettings& settings,
                                     SimplexObserver& observer, PrimalResult& result) {
  if (!is_scaled(p)) return true;
  const CallerUnitsViolation violation = violation_in_caller_units(p, engine);
  if (violation.primal <= settings.feasibility_tolerance && violation.dual <= settings.optimality_tolerance)
    return true;

  // The LP in the caller's units, from the same basis. The solution held moves with the
  // units, so that it is converted back with the scale below.
  const ScaleExponents kept = exponents_of(p);
  change_scale_exponents(lib, p, neutral_exponents(p));
  const double sense = *lib.attributes.double_attribute(attr::kSenseMultiplier);
  build_working_lp(p, sense, engine.lp);
  engine.has_solution = false;
  engine.running = true;
  std::int32_t& iterations = *lib.attributes.int_attribute(attr::kIterations);
  PrimalResult more = primal_simplex(engine.lp, engine.basis, engine.factor, settings, observer, iterations);
  engine.running = false;
  iterations += static_cast<std::int32_t>(more.iterations);
  more.iterations += result.iterations;
  result = more;
  if (result.outcome == LpOutcome::failed) {
    change_scale_exponents(lib, p, kept);
    build_working_lp(p, sense, engine.lp);
    engine.factor_current = false;
    if (result.factor_status == FactorStatus::workspace_exhausted) {
      report_error(lib, kRcResource, kMessageNoWorkspace, {result.workspace_needed});
    } else {
      report_error(lib, kRcInvalidCall, kMessageFactorFailed);
    }
    return false;
  }
  // A clean-up stopped inside an INVERT leaves no factorisation: no prices then.
  engine.factor_current = engine.factor.valid();
  if (engine.factor_current) {
    compute_duals(engine.lp, engine.basis, engine.factor, engine.pi, engine.reduced_cost);
  } else {
    engine.pi.assign(static_cast<std::size_t>(engine.lp.rows), 0.0);
    engine.reduced_cost.assign(static_cast<std::size_t>(engine.lp.variables()), 0.0);
  }
  engine.has_solution = true;
  engine.problem_serial = p.serial;
  change_scale_exponents(lib, p, kept);
  engine.status_character = static_cast<char>(result.outcome);
  engine.unbounded_variable = result.unbounded_variable;
  engine.primal_infeasibilities_left = result.primal_infeasibilities > 0;
  return true;
}

}  // namespace kqopt
