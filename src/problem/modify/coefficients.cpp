// Changing matrix coefficients one at a time or as a list.
//
// A list is applied to the column-wise matrix in at most two passes however long it
// is: existing elements are overwritten in place, elements set below ZTOLDA leave the
// matrix (so that it holds what a load of the same values would hold), and new ones are
// placed at the end of their column, the matrix spreading out from the back into the
// spare elements.
#include <algorithm>
#include <cmath>
#include <vector>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/matrix.h"
#include "problem/modify/modify.h"
#include "problem/modify/modify_steps.h"
#include "problem/units.h"

namespace kqopt {

namespace {

struct Entry {
  std::int32_t column;
  std::int32_t row;
  double value;     // caller's units
  std::int32_t at;  // element position when it exists, else −1
};

std::int32_t apply_coefficients(Library& lib, const char* tag, std::int32_t count, const std::int32_t* mrow,
                                const std::int32_t* mcol, const double* dval) {
  Problem* problem = begin_change(lib, Refuse::kWhenSearching);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageRowRange, count, {mrow, mcol, dval})) return lib.err.return_code;
  const IndexBase base = current_index_base(lib);
  std::vector<Entry> list(static_cast<std::size_t>(count));
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t i = checked_index(base, mrow[k], p.rows);
    if (i < 0) {
      report_argument_error(lib, kMessageRowIndex, tag, {base.to_caller(k), mrow[k]});
      return lib.err.return_code;
    }
    const std::int32_t j = checked_index(base, mcol[k], p.columns);
    if (j < 0) {
      report_argument_error(lib, kMessageNotAColumn, tag, {base.to_caller(k), mcol[k]});
      return lib.err.return_code;
    }
    list[static_cast<std::size_t>(k)] = {j, i, dval[k], -1};
  }
  if (!ensure_column_copy(lib, p)) return lib.err.return_code;
  // The last value given for an element wins.
  std::stable_sort(list.begin(), list.end(), [](const Entry& x, const Entry& y) {
    return x.column != y.column ? x.column < y.column : x.row < y.row;
  });
  std::vector<Entry> last;
  last.reserve(list.size());
  for (std::size_t k = 0; k < list.size(); ++k) {
    if (k + 1 < list.size() && list[k + 1].column == list[k].column && list[k + 1].row == list[k].row) continue;
    last.push_back(list[k]);
  }
  ColumnMatrix& a = p.by_column;
  const double drop = lib.controls.d(dcv::ZTOLDA);
  std::int64_t inserts = 0, removals = 0;
  for (Entry& e : last) {
    const std::int32_t begin = a.start[static_cast<std::size_t>(e.column)];
    const std::int32_t end = a.start[static_cast<std::size_t>(e.column) + 1];
    for (std::int32_t q = begin; q < end; ++q) {
      if (a.row[static_cast<std::size_t>(q)] == e.row) {
        e.at = q;
        break;
      }
    }
    const bool kept = std::fabs(e.value) >= drop;
    if (e.at < 0 && kept) ++inserts;
    if (e.at >= 0 && !kept) ++removals;
  }
  if (inserts - removals > p.spare_elements) {
    report_argument_error(lib, kMessageNoSpareElements, tag, {inserts - removals});
    return lib.err.return_code;
  }

  // Overwrites in place; removed elements are marked and squeezed out.
  constexpr std::int32_t kRemoved = -1;
  for (const Entry& e : last) {
    if (e.at < 0) continue;
    const auto q = static_cast<std::size_t>(e.at);
    if (std::fabs(e.value) >= drop) {
      a.value[q] = scale_by(e.value, -element_shift(p, e.row, e.column));
    } else {
      a.row[q] = kRemoved;
    }
  }
  if (removals > 0) {
    std::int32_t out = 0;
    for (std::int32_t j = 0; j < p.columns; ++j) {
      const std::int32_t begin = a.start[static_cast<std::size_t>(j)], end = a.start[static_cast<std::size_t>(j) + 1];
      a.start[static_cast<std::size_t>(j)] = out;
      for (std::int32_t q = begin; q < end; ++q) {
        if (a.row[static_cast<std::size_t>(q)] == kRemoved) continue;
        a.row[static_cast<std::size_t>(out)] = a.row[static_cast<std::size_t>(q)];
        a.value[static_cast<std::size_t>(out)] = a.value[static_cast<std::size_t>(q)];
        ++out;
      }
    }
    a.start.back() = out;
  }
  if (inserts > 0) {
    // From the back: column j's elements move up by the inserts of the columns before
    // it, and its own inserts follow them; columns before the first that grows stay.
    std::vector<std::int32_t> added(static_cast<std::size_t>(p.columns), 0);
    for (const Entry& e : last) {
      if (e.at < 0 && std::fabs(e.value) >= drop) ++added[static_cast<std::size_t>(e.column)];
    }
    const std::int32_t old_total = a.start.back();
    const auto total = static_cast<std::size_t>(old_total + inserts);
    a.row.resize(total);
    a.value.resize(total);
    auto next_new = last.rbegin();
    std::int32_t shift = static_cast<std::int32_t>(inserts);
    for (std::int32_t j = p.columns - 1; j >= 0 && shift > 0; --j) {
      const std::int32_t begin = a.start[static_cast<std::size_t>(j)], end = a.start[static_cast<std::size_t>(j) + 1];
      std::int32_t write = end + shift;
      a.start[static_cast<std::size_t>(j) + 1] = write;
      for (; next_new != last.rend() && next_new->column >= j; ++next_new) {
        if (next_new->column != j || next_new->at >= 0 || std::fabs(next_new->value) < drop) continue;
        --write;
        a.row[static_cast<std::size_t>(write)] = next_new->row;
        a.value[static_cast<std::size_t>(write)] = scale_by(next_new->value, -element_shift(p, next_new->row, j));
      }
      shift -= added[static_cast<std::size_t>(j)];
      for (std::int32_t q = end - 1; q >= begin; --q) {
        a.row[static_cast<std::size_t>(q + shift)] = a.row[static_cast<std::size_t>(q)];
        a.value[static_cast<std::size_t>(q + shift)] = a.value[static_cast<std::size_t>(q)];
      }
    }
  }
  if (inserts > 0 || removals > 0) {
    a.row.resize(static_cast<std::size_t>(a.start.back()));
    a.value.resize(static_cast<std::size_t>(a.start.back()));
  }
  column_matrix_changed(lib, p);
  p.spare_elements -= static_cast<std::int32_t>(inserts - removals);
  after_change(lib, p, Change::kStructure);
  return 0;
}

}  // namespace

std::int32_t change_coefficient(Library& lib, std::int32_t irow, std::int32_t icol, double dval) {
  return apply_coefficients(lib, "chgcof  ", 1, &irow, &icol, &dval);
}

std::int32_t change_coefficients(Library& lib, std::int32_t ncoeffs, const std::int32_t* mrow, const std::int32_t* mcol,
                                 const double* dval) {
  return apply_coefficients(lib, "chgmcof ", ncoeffs, mrow, mcol, dval);
}

}  // namespace kqopt
