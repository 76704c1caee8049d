// Loading what the LP-text reader read: the column-wise arrays, the load as the array
// loaders do it, and the names.
#include "input/lp_load.h"

#include <cstring>

#include "frame/output.h"
#include "frame/message_numbers.h"
#include "input/lp_model.h"
#include "input/lp_reader.h"
#include "library/library.h"
#include "problem/add_names.h"
#include "problem/load.h"
#include "problem/names.h"

namespace kqopt::input {

namespace {

void note(Library& lib, LpResult& result, int n) {
  if (result.messages.size() < 10000) result.messages.push_back(n);
  print_message(lib, n);
  flush_line(lib);
}

void fatal(Library& lib, LpResult& result, int n) {
  note(lib, result, n);
  result.outcome = LpOutcome::kFailed;
  discard_problem(lib);
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = n;
}

// Names of one table as KQADDNAMES takes them: NUL-terminated, one after another.
bool name_list(LpWorkArea& area, const LpNameTable& table, const std::int32_t* entries, std::int32_t count,
               LpArray<char>& out) {
  for (std::int32_t i = 0; i < count; ++i) {
    std::string_view name = table.name(entries ? entries[i] : i);
    for (char c : name) {
      if (!out.push_back(area, c)) return false;
    }
    if (!out.push_back(area, '\0')) return false;
  }
  return true;
}

// Loads the names of one kind (1 rows, 2 columns) when none is too long to load.
void load_names(Library& lib, LpWorkArea& area, LpResult& result, const LpNameTable& table, const std::int32_t* entries,
                std::int32_t count, std::int32_t type) {
  if (count == 0) return;
  const auto width = static_cast<std::size_t>(kNameWordLength * name_words_for_length(lib.controls.i(icv::NAMLEN)));
  if (table.longest() > width) {
    note(lib, result, type == 1 ? kMessageLpRowNamesTooLong : kMessageLpColumnNamesTooLong);
    return;
  }
  LpArray<char> list;
  if (!name_list(area, table, entries, count, list)) {
    note(lib, result, kMessageLpOutOfMemory);
    return;
  }
  // The names are given with 0-based indices: IFDBG 1 for the call.
  std::int32_t& ifdbg = lib.controls.i(icv::IFDBG);
  std::int32_t saved = ifdbg;
  ifdbg = 1;
  std::int32_t rc = add_names(lib, type, list.data(), 0, count - 1);
  ifdbg = saved;
  if (rc != 0) note(lib, result, type == 1 ? kMessageLpRowNamesFailed : kMessageLpColumnNamesFailed);
}

}  // namespace

std::int32_t load_lp_model(Library& lib, LpWorkArea& area, const LpModel& model, LpResult& result) {
  const std::int32_t m = model.rows() - 1;  // row 0, the objective, is no row of the problem
  const std::int32_t n = model.columns();
  const std::size_t terms = model.term_row.size();

  LpArray<char> row_type;
  LpArray<double> rhs, range, cost, value;
  LpArray<std::int32_t> start, element_row, fill;
  LpArray<char> entity_kind;
  LpArray<std::int32_t> entity_column;
  bool ok =
      row_type.resize(area, static_cast<std::size_t>(m), 'L') && rhs.resize(area, static_cast<std::size_t>(m), 0.0) &&
      range.resize(area, static_cast<std::size_t>(m), 0.0) && cost.resize(area, static_cast<std::size_t>(n), 0.0) &&
      start.resize(area, static_cast<std::size_t>(n) + 1, 0) && fill.resize(area, static_cast<std::size_t>(n), 0);
  if (!ok) {
    fatal(lib, result, kMessageLpOutOfMemory);
    return lib.err.return_code;
  }
  for (std::int32_t i = 0; i < m; ++i) {
    row_type[static_cast<std::size_t>(i)] = model.row_type[static_cast<std::size_t>(i) + 1];
    rhs[static_cast<std::size_t>(i)] = model.rhs[static_cast<std::size_t>(i) + 1];
  }
  // Column-wise matrix: count, then place; rows come in ascending order per column.
  std::size_t elements = 0;
  for (std::size_t t = 0; t < terms; ++t) {
    auto j = static_cast<std::size_t>(model.term_column[t]);
    if (model.term_row[t] == 0) {
      cost[j] += model.term_value[t];
    } else {
      ++start[j + 1];
      ++elements;
    }
  }
  for (std::int32_t j = 0; j < n; ++j) start[static_cast<std::size_t>(j) + 1] += start[static_cast<std::size_t>(j)];
  if (static_cast<std::size_t>(start[static_cast<std::size_t>(n)]) != elements) {
    fatal(lib, result, kMessageLpNonzeroCount);
    return lib.err.return_code;
  }
  if (!element_row.resize(area, elements, 0) || !value.resize(area, elements, 0.0)) {
    fatal(lib, result, kMessageLpOutOfMemory);
    return lib.err.return_code;
  }
  for (std::size_t t = 0; t < terms; ++t) {
    if (model.term_row[t] == 0) continue;
    auto j = static_cast<std::size_t>(model.term_column[t]);
    auto at = static_cast<std::size_t>(start[j] + fill[j]++);
    element_row[at] = model.term_row[t] - 1;
    value[at] = model.term_value[t];
  }
  for (std::int32_t j = 0; j < n; ++j) {
    char mark = model.mark[static_cast<std::size_t>(j)];
    if (mark == 0) continue;
    if (!entity_kind.push_back(area, mark) || !entity_column.push_back(area, j)) {
      fatal(lib, result, kMessageLpOutOfMemory);
      return lib.err.return_code;
    }
  }

  static const double kNoValue = 0.0;
  static const std::int32_t kNoIndex = 0;
  static const char kNoChar = 'L';
  ProblemInput in;
  in.problem_name = nullptr;  // the problem name stays the file's
  in.rows = m;
  in.columns = n;
  in.row_types = m > 0 ? row_type.data() : &kNoChar;
  in.rhs = m > 0 ? rhs.data() : &kNoValue;
  in.range = m > 0 ? range.data() : &kNoValue;
  in.objective = n > 0 ? cost.data() : &kNoValue;
  in.column_starts = start.data();
  in.element_rows = elements > 0 ? element_row.data() : &kNoIndex;
  in.element_values = elements > 0 ? value.data() : &kNoValue;
  in.lower = n > 0 ? model.lower.data() : &kNoValue;
  in.upper = n > 0 ? model.upper.data() : &kNoValue;
  in.objective_constant = model.objective_constant;
  in.entity_count = static_cast<std::int32_t>(entity_kind.size());
  in.entity_kinds = entity_kind.empty() ? &kNoChar : entity_kind.data();
  in.entity_columns = entity_column.empty() ? &kNoIndex : entity_column.data();
  in.entity_limits = nullptr;

  LoadOptions options;
  options.index_base = 1;  // 0-based arrays, as with IFDBG 1
  options.global = in.entity_count > 0;
  options.prior_faults = result.faults;
  options.keep_loaded_over_ignore = true;
  lib.err.return_code = 0;
  std::int32_t rc = load_problem(lib, in, options);
  if (rc == kRcNoFit) {
    rc = kRcInvalidCall;
    lib.err.return_code = rc;
  }
  // Faults beyond IGNORE fail the load with the loader's own message.
  if (rc != 0 && result.faults <= lib.controls.i(icv::IGNORE)) note(lib, result, kMessageLpLoadFailed);
  if (!lib.has_problem()) {
    result.outcome = LpOutcome::kFailed;
    lib.err.return_code = kRcInvalidCall;
    return lib.err.return_code;
  }
  // Names leave the return code of the load alone.
  std::int32_t error_number = lib.err.error_number;
  load_names(lib, area, result, model.row_names, m > 0 ? model.row_name.data() + 1 : nullptr, m, 1);
  load_names(lib, area, result, model.column_names, nullptr, n, 2);
  lib.err.return_code = rc;
  if (rc != 0) lib.err.error_number = error_number;
  result.outcome = LpOutcome::kRead;
  return rc;
}

}  // namespace kqopt::input
