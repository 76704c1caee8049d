// Scale changes that carry the engine's solution along, and the KQSCALE operation.
// A solution held for the problem moves with its units: primal values as column bounds
// (÷g_j for columns, ·f_i for logicals), prices ÷f_i, reduced costs ·g_j (÷f_i for
// logicals); the working LP is rebuilt from the stored problem and the factorisation
// marked out of date.
#include "simplex/driver/scaling_step.h"

#include <cmath>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/infinity.h"
#include "problem/matrix.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/engine_setup.h"

namespace kqopt {

namespace {

double times_bound(double v, double f) { return std::fabs(v) == kInfinity ? v : v * f; }

void multiply_solution(EngineState& engine, const Problem& p, const ScaleMultipliers& m) {
  const std::int32_t slots = p.row_slots();
  for (std::int32_t i = 0; i < slots; ++i) {
    const auto v = static_cast<std::size_t>(i);
    const double f = m.row[v];
    engine.basis.x[v] = times_bound(engine.basis.x[v], f);
    engine.pi[v] /= f;
    engine.reduced_cost[v] /= f;
  }
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    const double g = m.column[static_cast<std::size_t>(j)];
    engine.basis.x[v] = times_bound(engine.basis.x[v], 1.0 / g);
    engine.reduced_cost[v] *= g;
  }
}

bool holds_solution_of(const Library& lib, const Problem& p) {
  if (!lib.engine || !lib.engine->has_solution || lib.engine->problem_serial != p.serial) return false;
  const auto total = static_cast<std::size_t>(p.variables());
  const EngineState& e = *lib.engine;
  return e.basis.x.size() == total && e.reduced_cost.size() == total &&
         e.pi.size() == static_cast<std::size_t>(p.row_slots());
}

}  // namespace

void change_scale_exponents(Library& lib, Problem& p, const ScaleExponents& next) {
  const bool solution = holds_solution_of(lib, p);
  const ScaleMultipliers out = removing_multipliers(p);
  multiply_problem(p, out);
  if (solution) multiply_solution(*lib.engine, p, out);
  set_scale_exponents(p, nullptr);
  const ScaleMultipliers in = multipliers_of(next);
  multiply_problem(p, in);
  if (solution) multiply_solution(*lib.engine, p, in);
  set_scale_exponents(p, &next);
  if (solution) {
    // The working LP follows the stored problem; the factorisation no longer does.
    build_working_lp(p, *lib.attributes.double_attribute(attr::kSenseMultiplier), lib.engine->lp);
    lib.engine->factor_current = false;
  }
}

void rescale_problem(Library& lib, Problem& p) {
  ScaleExponents next;
  next.row.assign(static_cast<std::size_t>(p.row_slots()), status::kNeutralExponent);
  next.column.assign(static_cast<std::size_t>(p.columns), status::kNeutralExponent);
  if (lib.controls.i(icv::IFSCAL) != 0) {
    change_scale_exponents(lib, p, next);
    next = choose_scale_exponents(lib, p);
  }
  change_scale_exponents(lib, p, next);
  p.cost_scale = compute_cost_scale(p);
}

std::int32_t scale_problem(Library& lib) {
  lib.begin_operation();
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
  } else if (lib.global_search_active || (lib.engine && lib.engine->running)) {
    report_error(lib, kRcInvalidCall, kMessageNotWhilePresolvedOrSearching);
  } else if (!ensure_column_copy(lib, *lib.problem)) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
  } else {
    rescale_problem(lib, *lib.problem);
  }
  flush_notice(lib);
  return lib.err.return_code;
}

}  // namespace kqopt
