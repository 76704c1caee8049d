// The checks and bookkeeping shared by the modification operations (modify_steps.h).
#include "problem/modify/modify_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/infinity.h"
#include "problem/matrix.h"
#include "problem/scale_exponents.h"
#include "problem/units.h"
#include "simplex/core/engine_state.h"

namespace kqopt {

namespace {
constexpr std::int32_t kOptimisingBit = 2;  // integer control 42 while an optimisation runs
constexpr std::uint32_t kNeutral = static_cast<std::uint32_t>(status::kNeutralExponent) << status::kExponentShift;

void placeholder_name(Problem& p, std::int32_t slot) {
  char text[16];
  std::snprintf(text, sizeof text, "**%05d*", (slot + 1) % 100000);
  p.names.set(slot, text);
}
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

void compact_rows(Library& lib, Problem& p, const std::vector<std::int32_t>& moved, std::int32_t kept) {
  const std::int32_t before = p.rows;
  ColumnMatrix& a = p.by_column;
  std::int32_t out = 0;
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const std::int32_t begin = a.start[static_cast<std::size_t>(j)], end = a.start[static_cast<std::size_t>(j) + 1];
    a.start[static_cast<std::size_t>(j)] = out;
    for (std::int32_t q = begin; q < end; ++q) {
      const std::int32_t i = moved[static_cast<std::size_t>(a.row[static_cast<std::size_t>(q)])];
      if (i < 0) continue;
      a.row[static_cast<std::size_t>(out)] = i;
      a.value[static_cast<std::size_t>(out)] = a.value[static_cast<std::size_t>(q)];
      ++out;
    }
  }
  const std::int32_t freed = a.start.back() - out;
  a.start.back() = out;
  a.row.resize(static_cast<std::size_t>(out));
  a.value.resize(static_cast<std::size_t>(out));
  column_matrix_changed(lib, p);

  // Generated names depend on the position, so only stored names move.
  const bool stored_names = p.names.has_storage();
  std::vector<char> name(static_cast<std::size_t>(p.names.width()));
  for (std::int32_t i = 0; i < before; ++i) {
    const std::int32_t to = moved[static_cast<std::size_t>(i)];
    if (to < 0 || to == i) continue;
    const auto s = static_cast<std::size_t>(i), d = static_cast<std::size_t>(to);
    p.status[d] = p.status[s];
    p.lower[d] = p.lower[s];
    p.upper[d] = p.upper[s];
    p.row_type[d] = p.row_type[s];
    p.rhs[d] = p.rhs[s];
    p.row_flags[d] = p.row_flags[s];
    if (stored_names) {
      p.names.copy_name(i, name.data());
      p.names.set(to, std::string_view(name.data(), name.size()));
    }
  }
  for (std::int32_t slot = kept; slot < before; ++slot) {
    const auto v = static_cast<std::size_t>(slot);
    p.status[v] = status::kFixed | kNeutral;
    p.lower[v] = 0.0;
    p.upper[v] = 0.0;
    p.row_type[v] = row_type::kSpare;
    p.rhs[v] = 0.0;
    p.row_flags[v] = 0;
    if (stored_names) placeholder_name(p, slot);
  }
  p.rows = kept;
  p.spare_rows += before - kept;
  p.spare_elements += freed;
}

}  // namespace kqopt
