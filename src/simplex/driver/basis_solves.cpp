// FTRAN and BTRAN for the caller, in the caller's units or the internal ones.
#include "simplex/driver/basis_solves.h"

#include <vector>

#include "library/library.h"
#include "problem/index_base.h"
#include "simplex/driver/engine_current.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/solution_units.h"

namespace kqopt {

namespace {

const char* tag_of(BasisSolve solve, Units units) {
  if (solve == BasisSolve::ftran) return units == Units::kCaller ? "ftran   " : "iftran  ";
  return units == Units::kCaller ? "btran   " : "ibtran  ";
}

}  // namespace

std::int32_t solve_with_basis(Library& lib, double* vec, BasisSolve solve, Units units) {
  lib.begin_operation();
  if (!require_problem(lib) || engine_busy(lib, true) || reject_null(lib, vec, tag_of(solve, units))) {
    return lib.err.return_code;
  }
  if (!make_engine_current(lib)) return lib.err.return_code;
  const Problem& problem = *lib.problem;
  EngineState& engine = *lib.engine;
  const std::int32_t m = problem.rows;
  const auto& header = engine.basis.header;
  const bool scaled = units == Units::kCaller;

  // Spare row slots take part in the factorisation with a zero entry: their rows are
  // empty and their logicals basic in their own positions.
  std::vector<double> rhs(static_cast<std::size_t>(problem.row_slots()), 0.0);
  for (std::int32_t k = 0; k < m; ++k) {
    const auto kk = static_cast<std::size_t>(k);
    int shift = 0;
    if (scaled) shift = solve == BasisSolve::ftran ? -row_shift(problem, k) : -reduced_cost_shift(problem, header[kk]);
    rhs[kk] = scale_by(vec[k], shift);
  }
  WorkVector work(problem.row_slots());
  work.load_dense(rhs);
  if (solve == BasisSolve::ftran) {
    engine.factor.ftran(work);
  } else {
    engine.factor.btran(work);
  }
  const double* result = work.values().data();
  for (std::int32_t k = 0; k < m; ++k) {
    const auto kk = static_cast<std::size_t>(k);
    int shift = 0;
    if (scaled) shift = solve == BasisSolve::ftran ? value_shift(problem, header[kk]) : -row_shift(problem, k);
    vec[k] = scale_by(result[k], shift);
  }
  return lib.err.return_code;
}

}  // namespace kqopt
