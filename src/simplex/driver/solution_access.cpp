// The solution and basis in the caller's units: from memory when the engine holds
// them, else from the problem's solution file.
#include "simplex/driver/solution_access.h"

#include "frame/message_numbers.h"
#include "global/cuts/cut_pool.h"
#include "library/library.h"
#include "output/solution_file.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/solution_units.h"
#include "simplex/driver/engine_current.h"

namespace kqopt {

namespace {

bool check_access(Library& lib) {
  lib.begin_operation();
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return false;
  }
  if (lib.engine && lib.engine->running && !lib.engine->has_solution) {
    report_error(lib, kRcInvalidCall, kMessageSolutionNotAvailable);
    return false;
  }
  return true;
}

bool solution_in_memory(const Library& lib) {
  return lib.engine && lib.engine->has_solution && lib.problem && lib.engine->problem_serial == lib.problem->serial;
}

std::int32_t basis_code(std::uint32_t word) {
  if (word & status::kBasic) return 1;
  return (word & status::kAtUpper) ? 2 : 0;
}

}  // namespace

std::int32_t get_solution(Library& lib, double* x, double* slack, double* dual, double* dj) {
  if (!check_access(lib)) return lib.err.return_code;
  const Problem& problem = *lib.problem;
  // The cut rows the pool placed after the problem's rows are not the caller's.
  const std::int32_t m = problem.rows - cut_rows_in_lp(lib);
  const std::int32_t slots = problem.row_slots();
  const std::int32_t n = problem.columns;
  const double sense = *lib.attributes.double_attribute(attr::kSenseMultiplier);

  if (solution_in_memory(lib)) {
    const EngineState& engine = *lib.engine;
    // After a primal run that left infeasibilities the prices carry the phase-1 weight.
    double price_divisor = 1.0;
    const double big_m = lib.controls.d(dcv::BIGM);
    if (engine.primal_infeasibilities_left && big_m >= lib.controls.d(dcv::ZTETA)) price_divisor = big_m;
    for (std::int32_t i = 0; i < m; ++i) {
      const auto ii = static_cast<std::size_t>(i);
      if (slack) slack[i] = to_user_value(problem, i, engine.basis.x[ii]);
      if (dual) dual[i] = sense * to_user_price(problem, i, engine.pi[ii]) / price_divisor;
    }
    for (std::int32_t j = 0; j < n; ++j) {
      const auto v = static_cast<std::size_t>(slots + j);
      if (x) x[j] = to_user_value(problem, slots + j, engine.basis.x[v]);
      if (dj) dj[j] = sense * to_user_reduced_cost(problem, slots + j, engine.reduced_cost[v]);
    }
    return lib.err.return_code;
  }

  SolutionRecord record;
  if (!read_solution_file(lib, record) || record.rows != slots || record.columns != n) {
    report_error(lib, kRcFileError, kMessageFileFailed);
    return lib.err.return_code;
  }
  for (std::int32_t i = 0; i < m; ++i) {
    if (slack) slack[i] = record.value[static_cast<std::size_t>(i)];
    if (dual) dual[i] = record.dual[static_cast<std::size_t>(i)];
  }
  for (std::int32_t j = 0; j < n; ++j) {
    if (x) x[j] = record.value[static_cast<std::size_t>(slots + j)];
    if (dj) dj[j] = record.dual[static_cast<std::size_t>(slots + j)];
  }
  return lib.err.return_code;
}

std::int32_t get_basis(Library& lib, std::int32_t* rstatus, std::int32_t* cstatus) {
  if (!check_access(lib)) return lib.err.return_code;
  const Problem& problem = *lib.problem;
  const std::int32_t slots = problem.row_slots();
  if (basis_in_memory(lib)) {
    for (std::int32_t i = 0; rstatus && i < problem.rows; ++i)
      rstatus[i] = basis_code(problem.status[static_cast<std::size_t>(i)]);
    for (std::int32_t j = 0; cstatus && j < problem.columns; ++j) {
      cstatus[j] = basis_code(problem.status[static_cast<std::size_t>(slots + j)]);
    }
    return lib.err.return_code;
  }
  SolutionRecord record;
  if (!read_solution_file(lib, record) || record.rows != slots || record.columns != problem.columns) {
    report_error(lib, kRcFileError, kMessageFileFailed);
    return lib.err.return_code;
  }
  for (std::int32_t i = 0; rstatus && i < problem.rows; ++i)
    rstatus[i] = basis_code(record.status[static_cast<std::size_t>(i)]);
  for (std::int32_t j = 0; cstatus && j < problem.columns; ++j) {
    cstatus[j] = basis_code(record.status[static_cast<std::size_t>(slots + j)]);
  }
  return lib.err.return_code;
}

}  // namespace kqopt
