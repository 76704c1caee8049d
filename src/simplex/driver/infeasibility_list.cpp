// The infeasibility lists of the current basis and the unbounded direction.
//
// Everything is compared in internal units and in the engine's minimisation form,
// where the tolerances apply: values from the solution file are converted back.
#include "simplex/driver/infeasibility_list.h"

#include <cmath>
#include <vector>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "output/solution_file.h"
#include "problem/index_base.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/solution_units.h"
#include "simplex/driver/engine_current.h"

namespace kqopt {

namespace {
constexpr std::int32_t kLpUnbounded = 5;

// Per variable (M + n): value and reduced cost in internal units, minimisation form,
// and where the variable stands.
struct BasisPicture {
  std::vector<double> value;
  std::vector<double> reduced_cost;
  std::vector<VariableStatus> status;
};

// Where a nonbasic variable stands by its status word, as the engine reads it.
VariableStatus nonbasic_status(std::uint32_t word, double lower, double upper) {
  if (word & status::kAtUpper) return VariableStatus::at_upper;
  const VariableStatus s = default_nonbasic_status(lower, upper);
  return s == VariableStatus::at_upper && lower > -kInfinity ? VariableStatus::at_lower : s;
}

bool picture_from_memory(Library& lib, BasisPicture& picture) {
  if (!make_engine_current(lib)) return false;
  refresh_solution(lib);
  const EngineState& engine = *lib.engine;
  picture.value = engine.basis.x;
  picture.reduced_cost = engine.reduced_cost;
  picture.status = engine.basis.status;
  return true;
}

bool picture_from_file(Library& lib, BasisPicture& picture) {
  const Problem& problem = *lib.problem;
  SolutionRecord record;
  if (!read_solution_file(lib, record) || record.rows != problem.row_slots() || record.columns != problem.columns) {
    report_error(lib, kRcFileError, kMessageFileFailed);
    return false;
  }
  const double sense = engine_sense(lib);
  const auto total = static_cast<std::size_t>(problem.variables());
  picture.value.resize(total);
  picture.reduced_cost.resize(total);
  picture.status.resize(total);
  for (std::int32_t v = 0; v < problem.variables(); ++v) {
    const auto vv = static_cast<std::size_t>(v);
    picture.value[vv] = to_internal_value(problem, v, record.value[vv]);
    // The file holds the row price for a row; its logical's reduced cost is -price.
    const double caller_cost = v < problem.row_slots() ? -record.dual[vv] : record.dual[vv];
    picture.reduced_cost[vv] = sense * to_internal_reduced_cost(problem, v, caller_cost);
    picture.status[vv] = (record.status[vv] & status::kBasic)
                             ? VariableStatus::basic
                             : nonbasic_status(record.status[vv], problem.lower[vv], problem.upper[vv]);
  }
  return true;
}

bool outside_bounds(double x, double lower, double upper, double tol) { return lower - x >= tol || x - upper >= tol; }

bool dual_infeasible(VariableStatus s, double d, double lower, double upper, double tol) {
  if (lower == upper) return false;
  switch (s) {
    case VariableStatus::at_lower:
      return d < -tol;
    case VariableStatus::at_upper:
      return d > tol;
    case VariableStatus::at_zero:
      return std::fabs(d) > tol;
    case VariableStatus::basic:
      return false;
  }
  return false;
}

// Appends index to the list when it is given, and counts it.
void record(std::int32_t* list, std::int32_t& count, std::int64_t index) {
  if (list != nullptr) list[count] = static_cast<std::int32_t>(index);
  ++count;
}

}  // namespace

std::int32_t get_infeasibilities(Library& lib, std::int32_t* npv, std::int32_t* nps, std::int32_t* nds,
                                 std::int32_t* ndv, std::int32_t* mx, std::int32_t* mslack, std::int32_t* mdual,
                                 std::int32_t* mdj) {
  lib.begin_operation();
  if (!require_problem(lib) || engine_busy(lib, true)) return lib.err.return_code;
  BasisPicture picture;
  const bool ok = basis_in_memory(lib) ? picture_from_memory(lib, picture) : picture_from_file(lib, picture);
  if (!ok) return lib.err.return_code;

  const Problem& problem = *lib.problem;
  const IndexBase index = current_index_base(lib);
  const double primal_tol = lib.controls.d(dcv::ZTOLZE);
  const double dual_tol = lib.controls.d(dcv::ZTOLDJ);
  const std::int32_t cut_rows = *lib.attributes.int_attribute(attr::kCutRows);
  const std::int32_t rows = std::max(0, problem.rows - std::max(0, cut_rows));
  std::int32_t primal_columns = 0, primal_rows = 0, dual_rows = 0, dual_columns = 0;

  auto check = [&](std::int32_t v, std::int64_t caller_index, std::int32_t* primal_list, std::int32_t& primal_count,
                   std::int32_t* dual_list, std::int32_t& dual_count) {
    const auto vv = static_cast<std::size_t>(v);
    const double lower = problem.lower[vv];
    const double upper = problem.upper[vv];
    if (outside_bounds(picture.value[vv], lower, upper, primal_tol)) record(primal_list, primal_count, caller_index);
    if (dual_infeasible(picture.status[vv], picture.reduced_cost[vv], lower, upper, dual_tol)) {
      record(dual_list, dual_count, caller_index);
    }
  };
  for (std::int32_t j = 0; j < problem.columns; ++j) {
    check(problem.column_variable(j), index.to_caller(j), mx, primal_columns, mdj, dual_columns);
  }
  for (std::int32_t i = 0; i < rows; ++i) check(i, index.to_caller(i), mslack, primal_rows, mdual, dual_rows);

  if (npv != nullptr) *npv = primal_columns;
  if (nps != nullptr) *nps = primal_rows;
  if (nds != nullptr) *nds = dual_rows;
  if (ndv != nullptr) *ndv = dual_columns;
  return lib.err.return_code;
}

std::int32_t get_unbounded(Library& lib, std::int32_t* j) {
  lib.begin_operation();
  if (!require_problem(lib) || reject_null(lib, j, "getunb  ")) return lib.err.return_code;
  *j = -1;
  const Problem& problem = *lib.problem;
  const EngineState* engine = lib.engine.get();
  if (*lib.attributes.int_attribute(attr::kLpStatus) != kLpUnbounded || engine == nullptr ||
      engine->problem_serial != problem.serial || engine->unbounded_variable < 0) {
    return lib.err.return_code;
  }
  const std::int32_t v = engine->unbounded_variable;
  const std::int32_t slots = problem.row_slots();
  std::int64_t combined = -1;
  if (v < problem.rows)
    combined = v;
  else if (v >= slots)
    combined = problem.rows + (v - slots);
  if (combined >= 0) *j = static_cast<std::int32_t>(current_index_base(lib).to_caller(combined));
  return lib.err.return_code;
}

}  // namespace kqopt
