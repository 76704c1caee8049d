// Bringing the engine up to the current problem and basis between optimisations.
#include "simplex/driver/engine_current.h"

#include <cmath>

#include "library/library.h"
#include "problem/matrix.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/invert_driver.h"
#include "simplex/driver/engine_setup.h"

namespace kqopt {

namespace {

constexpr int kMessageWorkspace = 20;
constexpr int kMessageSingular = 101;
constexpr int kMessageFactorFailed = 102;
constexpr int kMessageHeaderRepaired = 140;

constexpr int kMessageGrowth = 144;

}  // namespace

void report_invert(Library& lib, const InvertReport& report) {
  if (report.surplus_made_nonbasic != 0 || report.logicals_made_basic != 0) {
    print_message(lib, kMessageHeaderRepaired);
    flush_line(lib);
  }
  for (std::int32_t replaced : report.columns_replaced) {
    print_message(lib, kMessageSingular);
    put_integer(lib, replaced, 6);
    flush_line(lib);
  }
  if (report.growth_refactorised) {
    print_message(lib, kMessageGrowth);
    put_real(lib, report.growth_seen);
    put_real(lib, report.pivot_threshold);
    flush_line(lib);
  }
}

double engine_sense(Library& lib) {
  const double sense = *lib.attributes.double_attribute(attr::kSenseMultiplier);
  return sense != 0.0 ? sense : 1.0;
}

bool engine_busy(Library& lib, bool report) {
  const bool busy = lib.engine && lib.engine->running;
  if (busy && report) report_error(lib, kRcInvalidCall, kMessageNotNow);
  return busy;
}

bool factor_is_current(const Library& lib) {
  const EngineState* engine = lib.engine.get();
  return lib.has_problem() && engine != nullptr && !engine->running && engine->factor_current &&
         engine->factor.valid() && engine->problem_serial == lib.problem->serial;
}

bool basis_in_memory(const Library& lib) {
  const EngineState* engine = lib.engine.get();
  if (!lib.has_problem() || engine == nullptr) return false;
  const std::uint64_t serial = lib.problem->serial;
  return (engine->has_solution && engine->problem_serial == serial) || engine->basis_serial == serial ||
         (engine->factor_current && engine->problem_serial == serial);
}

bool make_engine_current(Library& lib) {
  if (factor_is_current(lib)) return true;
  Problem& problem = *lib.problem;
  EngineState& engine = engine_of(lib);
  if (engine.problem_serial != problem.serial) engine.has_solution = false;
  engine.factor_current = false;
  if (!ensure_column_copy(lib, problem)) return false;

  build_working_lp(problem, engine_sense(lib), engine.lp);
  basis_from_status_words(problem, engine.lp, engine.basis);
  engine.factor.start_run(primal_settings(lib).factor);
  if (!refactorise_engine(lib)) return false;
  engine.problem_serial = problem.serial;
  engine.factor_current = true;
  return true;
}

bool refactorise_engine(Library& lib) {
  EngineState& engine = *lib.engine;
  engine.factor_current = false;
  const FactorSettings settings = primal_settings(lib).factor;
  InvertReport report;
  const FactorStatus status =
      invert_basis(engine.lp, engine.lp.lower, engine.lp.upper, engine.basis, engine.factor, settings, report);
  report_invert(lib, report);
  if (status != FactorStatus::ok) {
    engine.has_solution = false;
    if (status == FactorStatus::workspace_exhausted) {
      report_error(lib, kRcResource, kMessageWorkspace, {report.workspace_needed});
    } else {
      report_error(lib, kRcInvalidCall, kMessageFactorFailed);
    }
    return false;
  }
  basis_to_status_words(engine.basis, *lib.problem);
  engine.factor_current = true;
  return true;
}

void refresh_solution(Library& lib) {
  EngineState& engine = *lib.engine;
  const Problem& problem = *lib.problem;
  recompute_basic_values(engine.lp, engine.basis, engine.factor);
  compute_duals(engine.lp, engine.basis, engine.factor, engine.pi, engine.reduced_cost);
  if (!(engine.has_solution && engine.problem_serial == problem.serial)) engine.primal_infeasibilities_left = false;
  engine.has_solution = true;
  engine.problem_serial = problem.serial;

  double objective = 0.0;
  for (std::size_t v = 0; v < engine.lp.cost.size(); ++v) {
    if (engine.lp.cost[v] != 0.0) objective += engine.lp.cost[v] * engine.basis.x[v];
  }
  *lib.attributes.double_attribute(attr::kObjectiveValue) = objective / engine_sense(lib) + problem.objective_constant;
}

}  // namespace kqopt
