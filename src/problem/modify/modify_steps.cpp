// The checks and bookkeeping shared by the modification operations (modify_steps.h).
#include "problem/modify/modify_steps.h"

#include <algorithm>
#include <cmath>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/infinity.h"
#include "problem/scale_exponents.h"
#include "problem/units.h"
#include "simplex/core/engine_state.h"

namespace kqopt {

namespace {
constexpr std::int32_t kOptimisingBit = 2;  // integer control 42 while an optimisation runs
}  // namespace

Problem* begin_change(Library& lib, Refuse refuse) {
  lib.begin_operation();
  if (!require_problem(lib)) return nullptr;
  if (refuse == Refuse::kNever) return lib.problem.get();
  if (lib.global_search_active) {
    report_error(lib, kRcInvalidCall, kMessageNotWhilePresolvedOrSearching);
    return nullptr;
  }
  const bool running = (lib.engine && lib.engine->running) || (lib.controls.i(icv::IFMEM) & kOptimisingBit) != 0;
  if (refuse == Refuse::kWhenSearchingOrRunning && running) {
    report_error(lib, kRcInvalidCall, kMessageOptimisationRunning);
    return nullptr;
  }
  return lib.problem.get();
}

bool reject_count(Library& lib, const char* tag, int range_message, std::int32_t count,
                  std::initializer_list<const void*> arrays) {
  if (count < 0) {
    report_argument_error(lib, range_message, tag, {count});
    return true;
  }
  if (count == 0) return false;
  for (const void* a : arrays) {
    if (a == nullptr) {
      report_argument_error(lib, kMessageMissingArgument, tag, {});
      return true;
    }
  }
  return false;
}

void after_change(Library& lib, Problem& p, Change change) {
  if (lib.engine) {
    EngineState& engine = *lib.engine;
    const bool solved = engine.problem_serial == p.serial && (engine.has_solution || engine.factor_current);
    if (engine.problem_serial == p.serial) engine.factor_current = false;
    if (change != Change::kValues) {
      if (engine.problem_serial == p.serial) engine.has_solution = false;
      // The status words still hold the basis, and the basis is read from them.
      if (solved) engine.basis_serial = p.serial;
    }
  }
  if (change == Change::kObjective) p.cost_scale = compute_cost_scale(p);
  Attributes& at = lib.attributes;
  *at.int_attribute(attr::kRows) = p.rows;
  *at.int_attribute(attr::kLastColumn) = p.variables();
  *at.int_attribute(attr::kGlobalEntities) = static_cast<std::int32_t>(p.entities.size());
  *at.int_attribute(attr::kSets) = p.sets.count();
  *at.int_attribute(attr::kSetMembers) = static_cast<std::int32_t>(p.sets.members.size());
  *at.int_attribute(attr::kElements) = p.elements();
  *at.int_attribute(attr::kSpareRows) = p.spare_rows;
  *at.int_attribute(attr::kSpareColumns) = p.spare_columns;
  *at.int_attribute(attr::kSpareElements) = p.spare_elements;
}

std::uint32_t with_bound_bits(std::uint32_t word, double lower, double upper) {
  word &= ~(status::kFiniteLower | status::kFiniteUpper | status::kFree);
  const bool finite_lower = lower > -kInfinity, finite_upper = upper < kInfinity;
  if (finite_lower) word |= status::kFiniteLower;
  if (finite_upper) word |= status::kFiniteUpper;
  if (!finite_lower && !finite_upper) word |= status::kFree;
  if (!finite_upper) word &= ~status::kAtUpper;
  if ((word & status::kBasic) == 0 && !finite_lower && finite_upper) word |= status::kAtUpper;
  return word;
}

void set_row_logical(Problem& p, std::int32_t i, std::uint8_t type, double lower, double upper) {
  const auto v = static_cast<std::size_t>(i);
  p.row_type[v] = type;
  p.lower[v] = lower;
  p.upper[v] = upper;
  std::uint32_t word = with_bound_bits(p.status[v], lower, upper);
  if (type == row_type::kEqual) {
    word |= status::kFixed;
  } else {
    word &= ~status::kFixed;
  }
  p.status[v] = word;
}

double stored_bound(double value, int shift) {
  if (value <= -kInfinityThreshold) return -kInfinity;
  if (value >= kInfinityThreshold) return kInfinity;
  return scale_by(value, shift);
}

int new_line_exponent(double sum_log2, std::int32_t count) {
  if (count == 0) return status::kNeutralExponent;
  const double t = std::trunc(sum_log2 / count);
  const double e = status::kNeutralExponent + std::clamp(t, -200.0, 200.0);
  return static_cast<int>(
      std::clamp(e, static_cast<double>(kMinScaleExponent), static_cast<double>(kMaxScaleExponent)));
}

}  // namespace kqopt
