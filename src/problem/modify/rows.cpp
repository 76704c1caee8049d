// Row changes: adding rows into the spare row slots, deleting rows, and changing
// right-hand sides, ranges and row types.
//
// New rows are appended to the row-wise copy (the column-wise matrix is rebuilt from it
// when next needed), so adding rows one call at a time costs only the new elements.
// Deleting rows compacts the column-wise matrix in one pass.
#include <algorithm>
#include <cmath>
#include <vector>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/arrays.h"
#include "problem/charges.h"
#include "problem/infinity.h"
#include "problem/matrix.h"
#include "problem/modify/modify.h"
#include "problem/modify/modify_steps.h"
#include "problem/units.h"

namespace kqopt {

namespace {

// Logical bounds (internal units) of a row of type code `code`; `width` is the stored
// range of an 'R' row.
void row_bounds(std::uint8_t code, double width, std::uint8_t& type, double& lower, double& upper) {
  type = code;
  lower = 0.0;
  upper = kInfinity;
  switch (code) {
    case row_type::kFree:
      lower = -kInfinity;
      break;
    case row_type::kGreater:
      lower = -kInfinity;
      upper = 0.0;
      break;
    case row_type::kEqual:
      upper = 0.0;
      break;
    case row_type::kRangedInput:
      type = row_type::kLess;
      upper = width;
      break;
    default:
      break;
  }
}

// Validated input of one new row.
struct NewRow {
  std::uint8_t code = 0;
  int exponent = status::kNeutralExponent;
  std::int64_t begin = 0;  // kept elements in NewRows::columns / values
  std::int64_t end = 0;
};
struct NewRows {
  std::vector<NewRow> rows;
  std::vector<std::int32_t> columns;  // 0-based, each row's in increasing order
  std::vector<double> values;         // caller's units
};

// Reads and checks every argument of KQADDROWS; nothing is changed.
bool read_new_rows(Library& lib, const Problem& p, std::int32_t newrow, std::int32_t newnz, const char* qrtype,
                   const double* range, const std::int32_t* mstart, const std::int32_t* mclind, const double* dmatval,
                   NewRows& out) {
  const char* tag = "addrow  ";
  if (newrow > p.spare_rows) {
    report_argument_error(lib, kMessageNoSpareRows, tag, {newrow});
    return false;
  }
  const IndexBase base = current_index_base(lib);
  // Starts first, so that no element outside the caller's arrays is read.
  const std::int64_t first = base.to_internal(mstart[0]);
  if (first < 0) {
    report_argument_error(lib, kMessageRowIndex, tag, {base.to_caller(0), mstart[0]});
    return false;
  }
  for (std::int32_t i = 0; i < newrow; ++i) {
    if (mstart[i + 1] < mstart[i]) {
      report_argument_error(lib, kMessageRowIndex, tag, {base.to_caller(i + 1), mstart[i + 1]});
      return false;
    }
  }
  const std::int64_t given = static_cast<std::int64_t>(mstart[newrow]) - mstart[0];
  if (std::max<std::int64_t>(newnz, given) > p.spare_elements || newnz < 0) {
    report_argument_error(lib, kMessageNoSpareElements, tag, {std::max<std::int64_t>(newnz, given)});
    return false;
  }
  if (given > 0 && (mclind == nullptr || dmatval == nullptr)) {
    report_argument_error(lib, kMessageMissingArgument, tag, {});
    return false;
  }
  const double drop = lib.controls.d(dcv::ZTOLDA);
  const bool scaled = lib.controls.i(icv::IFSCAL) != 0;
  out.rows.resize(static_cast<std::size_t>(newrow));
  out.columns.reserve(static_cast<std::size_t>(given));
  out.values.reserve(static_cast<std::size_t>(given));
  std::vector<std::pair<std::int32_t, double>> line;
  for (std::int32_t i = 0; i < newrow; ++i) {
    NewRow& row = out.rows[static_cast<std::size_t>(i)];
    row.code = row_type::from_letter(qrtype[i]);
    if (row.code == 0) {
      report_character_error(lib, kMessageRowType, tag, base.to_caller(i), qrtype[i]);
      return false;
    }
    if (row.code == row_type::kRangedInput && range == nullptr) {
      report_argument_error(lib, kMessageMissingArgument, tag, {});
      return false;
    }
    line.clear();
    const std::int64_t b = base.to_internal(mstart[i]), e = base.to_internal(mstart[i + 1]);
    for (std::int64_t q = b; q < e; ++q) {
      const std::int32_t j = checked_index(base, mclind[q], p.columns);
      if (j < 0) {
        report_argument_error(lib, kMessageNotAColumn, tag, {base.to_caller(q), mclind[q]});
        return false;
      }
      if (std::fabs(dmatval[q]) < drop) continue;
      line.emplace_back(j, dmatval[q]);
    }
    std::stable_sort(line.begin(), line.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    double sum_log2 = 0.0;
    for (std::size_t k = 0; k < line.size(); ++k) {
      if (scaled && k > 0 && line[k].first == line[k - 1].first) {
        report_argument_error(lib, kMessageIndexRepeated, tag, {base.to_caller(i), base.to_caller(line[k].first)});
        return false;
      }
      sum_log2 += std::log2(std::fabs(line[k].second)) + status::kNeutralExponent - column_exponent(p, line[k].first);
    }
    if (scaled) row.exponent = new_line_exponent(sum_log2, static_cast<std::int32_t>(line.size()));
    row.begin = static_cast<std::int64_t>(out.columns.size());
    for (const auto& [j, a] : line) {
      out.columns.push_back(j);
      out.values.push_back(a);
    }
    row.end = static_cast<std::int64_t>(out.columns.size());
  }
  return true;
}

// The row-wise copy covering only the kept rows (the empty spare slots after them are
// implied), with room for every spare element.
bool prepare_row_copy(Library& lib, Problem& p, std::int64_t added) {
  if (!ensure_row_copy(lib, p)) return false;
  RowMatrix& r = p.by_row;
  const std::int64_t total = static_cast<std::int64_t>(r.start[static_cast<std::size_t>(p.rows)]) + added;
  if (!charge_array(lib, p, problem_array::kRowWiseColumns, 4 * total) ||
      !charge_array(lib, p, problem_array::kRowWiseValues, 8 * total)) {
    const std::int64_t now = r.start.back();
    (void)charge_array(lib, p, problem_array::kRowWiseColumns, 4 * now);
    (void)charge_array(lib, p, problem_array::kRowWiseValues, 8 * now);
    return false;
  }
  r.start.resize(static_cast<std::size_t>(p.rows) + 1);
  const auto room = static_cast<std::size_t>(r.start.back()) + static_cast<std::size_t>(p.spare_elements);
  if (r.column.capacity() < room) {
    r.column.reserve(room);
    r.value.reserve(room);
  }
  if (r.start.capacity() < static_cast<std::size_t>(p.row_slots()) + 1) {
    r.start.reserve(static_cast<std::size_t>(p.row_slots()) + 1);
  }
  return true;
}

// Reads and checks the row indices of a list; -1 entries never stay in `rows`.
bool read_row_list(Library& lib, const Problem& p, const char* tag, std::int32_t count, const std::int32_t* mindex,
                   std::vector<std::int32_t>& rows) {
  const IndexBase base = current_index_base(lib);
  rows.resize(static_cast<std::size_t>(count));
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t i = checked_index(base, mindex[k], p.rows);
    if (i < 0) {
      report_argument_error(lib, kMessageRowIndex, tag, {base.to_caller(k), mindex[k]});
      return false;
    }
    rows[static_cast<std::size_t>(k)] = i;
  }
  return true;
}

}  // namespace

std::int32_t add_rows(Library& lib, std::int32_t newrow, std::int32_t newnz, const char* qrtype, const double* rhs,
                      const double* range, const std::int32_t* mstart, const std::int32_t* mclind,
                      const double* dmatval) {
  const char* tag = "addrow  ";
  Problem* problem = begin_change(lib, Refuse::kWhenSearchingOrRunning);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageRowRange, newrow, {qrtype, rhs, mstart})) return lib.err.return_code;
  if (newrow == 0) return 0;
  NewRows in;
  if (!read_new_rows(lib, p, newrow, newnz, qrtype, range, mstart, mclind, dmatval, in)) return lib.err.return_code;
  if (!prepare_row_copy(lib, p, static_cast<std::int64_t>(in.columns.size()))) return lib.err.return_code;

  RowMatrix& r = p.by_row;
  for (std::int32_t i = 0; i < newrow; ++i) {
    const NewRow& row = in.rows[static_cast<std::size_t>(i)];
    const std::int32_t slot = p.rows + i;
    const auto v = static_cast<std::size_t>(slot);
    // The new logical enters the basis in its own position.
    p.status[v] = status::with_exponent(status::kBasic, row.exponent);
    const int shift = -row_shift(p, slot);
    std::uint8_t type = 0;
    double lower = 0.0, upper = 0.0;
    const double width = row.code == row_type::kRangedInput ? std::fabs(range[i]) : 0.0;
    row_bounds(row.code, width < kInfinityThreshold ? scale_by(width, shift) : kInfinity, type, lower, upper);
    set_row_logical(p, slot, type, lower, upper);
    p.rhs[v] = scale_bound_by(rhs[i], shift);
    p.row_flags[v] = 0;
    if (p.names.has_storage()) {
      char name[kNameWordLength];
      default_name('V', static_cast<std::int64_t>(slot) + 1, name);
      p.names.set(slot, std::string_view(name, kNameWordLength));
    }
    for (std::int64_t q = row.begin; q < row.end; ++q) {
      const std::int32_t j = in.columns[static_cast<std::size_t>(q)];
      r.column.push_back(j);
      r.value.push_back(scale_by(in.values[static_cast<std::size_t>(q)], -element_shift(p, slot, j)));
    }
    r.start.push_back(static_cast<std::int32_t>(r.column.size()));
  }
  p.by_column.stale = true;
  p.rows += newrow;
  p.spare_rows -= newrow;
  p.spare_elements -= static_cast<std::int32_t>(in.columns.size());
  after_change(lib, p, Change::kStructure);
  return 0;
}

std::int32_t delete_rows(Library& lib, std::int32_t nrows, const std::int32_t* mindex) {
  const char* tag = "delrow  ";
  Problem* problem = begin_change(lib, Refuse::kWhenSearching);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageRowRange, nrows, {mindex})) return lib.err.return_code;
  std::vector<std::int32_t> listed;
  if (!read_row_list(lib, p, tag, nrows, mindex, listed)) return lib.err.return_code;
  if (nrows == 0) return 0;
  if (!ensure_column_copy(lib, p)) return lib.err.return_code;

  const std::int32_t before = p.rows;
  std::vector<std::int32_t> moved(static_cast<std::size_t>(before), 0);
  for (std::int32_t i : listed) moved[static_cast<std::size_t>(i)] = -1;
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < before; ++i) {
    if (moved[static_cast<std::size_t>(i)] == 0) moved[static_cast<std::size_t>(i)] = kept++;
  }

  // Names become explicit first, as generated ones depend on the position.
  p.names.materialise();
  compact_rows(lib, p, moved, kept);
  // Records that name rows follow them.
  for (std::int32_t& row : p.sets.reference_row) {
    if (row >= 0 && row < before) row = moved[static_cast<std::size_t>(row)];
  }
  for (RecursionRecord& record : p.recursion_records) {
    if (record.row >= 0 && record.row < before) record.row = moved[static_cast<std::size_t>(record.row)];
  }
  if (p.objective_row >= 0 && p.objective_row < before) {
    p.objective_row = moved[static_cast<std::size_t>(p.objective_row)];
  }
  after_change(lib, p, Change::kStructure);
  return 0;
}

std::int32_t change_rhs(Library& lib, std::int32_t nrows, const std::int32_t* mindex, const double* rhs) {
  const char* tag = "chgrhs  ";
  Problem* problem = begin_change(lib, Refuse::kNever);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageRowRange, nrows, {mindex, rhs})) return lib.err.return_code;
  std::vector<std::int32_t> rows;
  if (!read_row_list(lib, p, tag, nrows, mindex, rows)) return lib.err.return_code;
  for (std::int32_t k = 0; k < nrows; ++k) {
    const std::int32_t i = rows[static_cast<std::size_t>(k)];
    p.rhs[static_cast<std::size_t>(i)] = scale_bound_by(rhs[k], -row_shift(p, i));
  }
  after_change(lib, p, Change::kValues);
  return 0;
}

std::int32_t change_ranges(Library& lib, std::int32_t nrows, const std::int32_t* mindex, const double* rng) {
  const char* tag = "chgrng  ";
  Problem* problem = begin_change(lib, Refuse::kNever);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageRowRange, nrows, {mindex, rng})) return lib.err.return_code;
  std::vector<std::int32_t> rows;
  if (!read_row_list(lib, p, tag, nrows, mindex, rows)) return lib.err.return_code;
  for (std::int32_t k = 0; k < nrows; ++k) {
    const std::int32_t i = rows[static_cast<std::size_t>(k)];
    const auto v = static_cast<std::size_t>(i);
    const int shift = -row_shift(p, i);
    double value = rng[k];
    switch (p.row_type[v]) {
      case row_type::kGreater:
        if (value <= -kInfinityThreshold) continue;
        set_row_logical(p, i, row_type::kLess, 0.0, kInfinity);
        value = -value;
        break;
      case row_type::kEqual:
        if (value == 0.0) continue;
        set_row_logical(p, i, row_type::kLess, 0.0, 0.0);
        break;
      case row_type::kLess:
        break;
      default:
        continue;
    }
    // An L row with the value v.
    if (value >= 0.0 && value < kInfinityThreshold) {
      set_row_logical(p, i, row_type::kLess, 0.0, scale_by(value, shift));
    } else if (value >= kInfinityThreshold) {
      set_row_logical(p, i, row_type::kLess, 0.0, kInfinity);
    } else if (value > -kInfinityThreshold) {
      const double width = scale_by(-value, shift);
      p.rhs[v] += width;
      set_row_logical(p, i, row_type::kLess, 0.0, width);
    } else {
      // The row keeps its lower activity limit, as a change of type to G does.
      if (p.upper[v] < kInfinity && p.upper[v] != 0.0) p.rhs[v] -= p.upper[v];
      set_row_logical(p, i, row_type::kGreater, -kInfinity, 0.0);
    }
  }
  after_change(lib, p, Change::kValues);
  return 0;
}

std::int32_t change_row_types(Library& lib, std::int32_t nrows, const std::int32_t* mindex, const char* qrtype) {
  const char* tag = "chgrowtype";
  Problem* problem = begin_change(lib, Refuse::kNever);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageRowRange, nrows, {mindex, qrtype})) return lib.err.return_code;
  std::vector<std::int32_t> rows;
  if (!read_row_list(lib, p, tag, nrows, mindex, rows)) return lib.err.return_code;
  const IndexBase base = current_index_base(lib);
  for (std::int32_t k = 0; k < nrows; ++k) {
    if (row_type::from_letter(qrtype[k]) == 0) {
      report_character_error(lib, kMessageRowType, tag, base.to_caller(k), qrtype[k]);
      return lib.err.return_code;
    }
  }
  for (std::int32_t k = 0; k < nrows; ++k) {
    const std::int32_t i = rows[static_cast<std::size_t>(k)];
    const auto v = static_cast<std::size_t>(i);
    switch (row_type::from_letter(qrtype[k])) {
      case row_type::kGreater:
        // The row keeps its lower activity limit.
        if (p.upper[v] < kInfinity && p.upper[v] != 0.0 && p.lower[v] == 0.0) p.rhs[v] -= p.upper[v];
        set_row_logical(p, i, row_type::kGreater, -kInfinity, 0.0);
        break;
      case row_type::kEqual:
        set_row_logical(p, i, row_type::kEqual, 0.0, 0.0);
        break;
      case row_type::kFree:
        set_row_logical(p, i, row_type::kFree, -kInfinity, kInfinity);
        break;
      default:  // 'L' and 'R'
        set_row_logical(p, i, row_type::kLess, 0.0, kInfinity);
        break;
    }
  }
  after_change(lib, p, Change::kValues);
  return 0;
}

}  // namespace kqopt
