// The closing check of an optimum in the caller's units, and the clean-up runs it
// orders (optimum_check.h).
#include "simplex/driver/optimum_check.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/problem.h"
#include "problem/units.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/invert_driver.h"
#include "simplex/core/solution_units.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/scaling_step.h"

namespace kqopt {

namespace {

// Clean-up runs after the first check: one on the stored LP, then up to two on the LP
// in the caller's units (all of them on the stored LP when it is not scaled).
constexpr int kCleanupRuns = 3;
// A clean-up tightens the tolerances by the excess of the violation over the tolerance
// (the factor the units cost), within these bounds.
constexpr double kLeastTightening = 0.1;
constexpr double kMostTightening = 1.0e-3;

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

// The wrong-signed part of reduced cost d of variable v, by the status the basis gives
// it; a basic or free nonbasic variable must have none, a fixed one may have any.
double sign_violation(const WorkingLp& lp, const SimplexBasis& basis, std::int32_t v, double d) {
  const auto vv = static_cast<std::size_t>(v);
  if (lp.lower[vv] == lp.upper[vv]) return 0.0;
  switch (basis.status[vv]) {
    case VariableStatus::at_lower:
      return std::max(0.0, -d);
    case VariableStatus::at_upper:
      return std::max(0.0, d);
    case VariableStatus::at_zero:
    case VariableStatus::basic:
      break;
  }
  return std::fabs(d);
}

double bound_violation(double value, double lower, double upper) {
  double violation = 0.0;
  if (lower > -kInfinity) violation = std::max(violation, lower - value);
  if (upper < kInfinity) violation = std::max(violation, value - upper);
  return violation;
}

// The basis refactorised unless its factorisation is fresh, the nonbasic variables on
// their bounds, then x_B and the prices solved afresh (each with a step of refinement)
// and the objective taken from them. False when the factorisation failed.
bool refresh_solution(EngineState& engine, const PrimalSettings& settings, SimplexObserver& observer, bool refactorise,
                      PrimalResult& result) {
  if (refactorise || !engine.factor.valid() || engine.factor.updates_since_invert() > 0) {
    InvertReport report;
    const FactorStatus status =
        invert_basis(engine.lp, engine.lp.lower, engine.lp.upper, engine.basis, engine.factor, settings.factor, report);
    observer.inverted(report);
    if (status != FactorStatus::ok) {
      // The time limit or an interrupt met inside the INVERT stops the run; it is no failure.
      result.outcome = status == FactorStatus::stopped ? LpOutcome::stopped : LpOutcome::failed;
      result.factor_status = status;
      result.workspace_needed = report.workspace_needed;
      return false;
    }
  } else {
    engine.basis.place_nonbasic(engine.lp);
  }
  recompute_basic_values(engine.lp, engine.basis, engine.factor);
  compute_duals(engine.lp, engine.basis, engine.factor, engine.pi, engine.reduced_cost);
  double objective = 0.0;
  for (std::size_t v = 0; v < engine.lp.cost.size(); ++v) objective += engine.lp.cost[v] * engine.basis.x[v];
  result.objective = objective;
  return true;
}

bool within(const CallerUnitsViolation& v, const PrimalSettings& settings) {
  return v.primal <= settings.feasibility_tolerance && v.dual <= settings.optimality_tolerance;
}

// Tolerances for a clean-up after violation v of the check.
PrimalSettings tightened(const PrimalSettings& settings, const CallerUnitsViolation& v, double extra) {
  const auto factor = [&](double violation, double tolerance) {
    const double wanted = violation > 0.0 ? 0.5 * tolerance / violation : 1.0;
    return std::clamp(wanted * extra, kMostTightening, kLeastTightening);
  };
  PrimalSettings tight = settings;
  tight.feasibility_tolerance *= factor(v.primal, settings.feasibility_tolerance);
  tight.optimality_tolerance *= factor(v.dual, settings.optimality_tolerance);
  tight.closing_tolerance = std::min(tight.closing_tolerance, 0.01 * tight.optimality_tolerance);
  return tight;
}

}  // namespace

CallerUnitsViolation measure_in_caller_units(const Problem& p, const WorkingLp& lp, const SimplexBasis& basis,
                                             std::span<const double> pi) {
  CallerUnitsViolation worst;
  const std::int32_t m = lp.rows;
  std::vector<double> y(static_cast<std::size_t>(m));
  std::vector<double> activity(static_cast<std::size_t>(m), 0.0);
  for (std::int32_t i = 0; i < m; ++i)
    y[static_cast<std::size_t>(i)] = to_user_price(p, i, pi[static_cast<std::size_t>(i)]);
  for (std::int32_t j = 0; j < lp.columns; ++j) {
    const std::int32_t v = m + j;
    const auto vv = static_cast<std::size_t>(v);
    const double x = to_user_value(p, v, basis.x[vv]);
    double d = to_user_cost(p, j, lp.cost[vv]);
    const auto end = static_cast<std::size_t>(lp.column_start[static_cast<std::size_t>(j) + 1]);
    for (auto k = static_cast<std::size_t>(lp.column_start[static_cast<std::size_t>(j)]); k < end; ++k) {
      const std::int32_t i = lp.row_index[k];
      const auto ii = static_cast<std::size_t>(i);
      const double a = scale_by(lp.value[k], element_shift(p, i, j));
      activity[ii] += a * x;
      d -= a * y[ii];
    }
    worst.primal = std::max(worst.primal,
                            bound_violation(x, to_user_value(p, v, lp.lower[vv]), to_user_value(p, v, lp.upper[vv])));
    worst.dual = std::max(worst.dual, sign_violation(lp, basis, v, d));
  }
  for (std::int32_t i = 0; i < m; ++i) {
    const auto ii = static_cast<std::size_t>(i);
    const double s = to_user_value(p, i, lp.rhs[ii]) - activity[ii];
    worst.primal = std::max(worst.primal,
                            bound_violation(s, to_user_value(p, i, lp.lower[ii]), to_user_value(p, i, lp.upper[ii])));
    worst.residual = std::max(worst.residual, std::fabs(s - to_user_value(p, i, basis.x[ii])));
    worst.dual = std::max(worst.dual, sign_violation(lp, basis, i, -y[ii]));
  }
  return worst;
}

bool confirm_optimum_in_caller_units(Library& lib, Problem& p, EngineState& engine, const PrimalSettings& settings,
                                     SimplexObserver& observer, PrimalResult& result) {
  const double sense = *lib.attributes.double_attribute(attr::kSenseMultiplier);
  std::int32_t& iterations = *lib.attributes.int_attribute(attr::kIterations);
  const bool scaled = is_scaled(p);
  const ScaleExponents kept = scaled ? exponents_of(p) : ScaleExponents{};
  bool in_caller_units = false;
  bool ok = true;
  bool refactorise = false;
  for (int run = 0;; ++run) {
    ok = refresh_solution(engine, settings, observer, refactorise, result);
    if (!ok) break;
    refactorise = false;
    const CallerUnitsViolation violation = measure_in_caller_units(p, engine.lp, engine.basis, engine.pi);
    if (within(violation, settings)) {
      result.primal_infeasibilities = 0;
      result.sum_infeasibilities = 0.0;
      result.dual_infeasibilities = 0;
      break;
    }
    if (run == kCleanupRuns) {
      // The tolerances cannot be met on this basis: not an optimum.
      result.outcome = LpOutcome::stopped;
      break;
    }
    // The stored LP once; then the LP in the caller's units, where the engine's
    // tolerances are the caller's. The solution held moves with the units.
    if (scaled && run == 1) {
      change_scale_exponents(lib, p, neutral_exponents(p));
      build_working_lp(p, sense, engine.lp);
      in_caller_units = true;
      refactorise = true;
    }
    const PrimalSettings tight = tightened(settings, violation, run == 0 || run == 1 ? 1.0 : 0.1);
    engine.has_solution = false;
    engine.running = true;
    PrimalResult more = primal_simplex(engine.lp, engine.basis, engine.factor, tight, observer, iterations);
    engine.running = false;
    iterations += static_cast<std::int32_t>(more.iterations);
    more.iterations += result.iterations;
    more.step_seconds = result.step_seconds;
    result = more;
    if (result.outcome == LpOutcome::failed) {
      ok = false;
      break;
    }
    if (result.outcome != LpOutcome::optimal) {
      // Infeasible, unbounded or stopped on the way: the run's own answer stands.
      ok = refresh_solution(engine, settings, observer, false, result);
      break;
    }
  }

  engine.factor_current = ok && engine.factor.valid();
  if (!engine.factor_current) {
    engine.pi.assign(static_cast<std::size_t>(engine.lp.rows), 0.0);
    engine.reduced_cost.assign(static_cast<std::size_t>(engine.lp.variables()), 0.0);
  }
  engine.has_solution = true;
  engine.problem_serial = p.serial;
  if (in_caller_units) {
    // Putting the scale back rebuilds the working LP; the factorisation is of the other one.
    change_scale_exponents(lib, p, kept);
    engine.factor_current = false;
  }
  engine.status_character = static_cast<char>(result.outcome);
  engine.unbounded_variable = result.unbounded_variable;
  engine.primal_infeasibilities_left = result.primal_infeasibilities > 0;
  if (!ok && result.outcome != LpOutcome::stopped) {
    engine.has_solution = false;
    if (result.factor_status == FactorStatus::workspace_exhausted) {
      report_error(lib, kRcResource, kMessageNoWorkspace, {result.workspace_needed});
    } else {
      report_error(lib, kRcInvalidCall, kMessageFactorFailed);
    }
    return false;
  }
  return true;
}

}  // namespace kqopt
