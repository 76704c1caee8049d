// Row-wise and column-wise copies of the matrix (see matrix.h).
#include "problem/matrix.h"

#include "library/library.h"
#include "problem/arrays.h"
#include "problem/charges.h"

namespace kqopt {

void build_rows_from_columns(const ColumnMatrix& a, std::int32_t rows, RowMatrix& out) {
  const std::int32_t columns = static_cast<std::int32_t>(a.start.size()) - 1;
  const std::int32_t nnz = a.elements();
  // Count the elements of each row.
  out.start.assign(static_cast<std::size_t>(rows) + 1, 0);
  for (std::int32_t p = 0; p < nnz; ++p) ++out.start[static_cast<std::size_t>(a.row[static_cast<std::size_t>(p)]) + 1];
  for (std::int32_t i = 0; i < rows; ++i)
    out.start[static_cast<std::size_t>(i) + 1] += out.start[static_cast<std::size_t>(i)];
  // Scatter column by column: each row receives its elements in column order.
  out.column.resize(static_cast<std::size_t>(nnz));
  out.value.resize(static_cast<std::size_t>(nnz));
  std::vector<std::int32_t> next(out.start.begin(), out.start.end() - 1);
  for (std::int32_t j = 0; j < columns; ++j) {
    for (std::int32_t p = a.start[static_cast<std::size_t>(j)]; p < a.start[static_cast<std::size_t>(j) + 1]; ++p) {
      std::int32_t q = next[static_cast<std::size_t>(a.row[static_cast<std::size_t>(p)])]++;
      out.column[static_cast<std::size_t>(q)] = j;
      out.value[static_cast<std::size_t>(q)] = a.value[static_cast<std::size_t>(p)];
    }
  }
  out.stale = false;
}

void build_columns_from_rows(const RowMatrix& a, std::int32_t columns, ColumnMatrix& out) {
  const std::int32_t rows = static_cast<std::int32_t>(a.start.size()) - 1;
  const std::int32_t nnz = a.start.back();
  out.start.assign(static_cast<std::size_t>(columns) + 1, 0);
  for (std::int32_t p = 0; p < nnz; ++p)
    ++out.start[static_cast<std::size_t>(a.column[static_cast<std::size_t>(p)]) + 1];
  for (std::int32_t j = 0; j < columns; ++j)
    out.start[static_cast<std::size_t>(j) + 1] += out.start[static_cast<std::size_t>(j)];
  out.row.resize(static_cast<std::size_t>(nnz));
  out.value.resize(static_cast<std::size_t>(nnz));
  std::vector<std::int32_t> next(out.start.begin(), out.start.end() - 1);
  for (std::int32_t i = 0; i < rows; ++i) {
    for (std::int32_t p = a.start[static_cast<std::size_t>(i)]; p < a.start[static_cast<std::size_t>(i) + 1]; ++p) {
      std::int32_t q = next[static_cast<std::size_t>(a.column[static_cast<std::size_t>(p)])]++;
      out.row[static_cast<std::size_t>(q)] = i;
      out.value[static_cast<std::size_t>(q)] = a.value[static_cast<std::size_t>(p)];
    }
  }
  out.stale = false;
}

bool ensure_row_copy(Library& lib, Problem& p) {
  if (!p.by_row.stale) return true;
  const std::int64_t rows = p.row_slots();
  const std::int64_t nnz = p.by_column.elements();
  if (!charge_array(lib, p, problem_array::kRowWiseStarts, 4 * (rows + 1)) ||
      !charge_array(lib, p, problem_array::kRowWiseColumns, 4 * nnz) ||
      !charge_array(lib, p, problem_array::kRowWiseValues, 8 * nnz)) {
    release_array(lib, p, problem_array::kRowWiseStarts);
    release_array(lib, p, problem_array::kRowWiseColumns);
    release_array(lib, p, problem_array::kRowWiseValues);
    return false;
  }
  build_rows_from_columns(p.by_column, p.row_slots(), p.by_row);
  return true;
}

bool ensure_column_copy(Library& lib, Problem& p) {
  (void)lib;  // the column-wise arrays stay charged from the load
  if (!p.by_column.stale) return true;
  build_columns_from_rows(p.by_row, p.columns, p.by_column);
  return true;
}

void column_matrix_changed(Library& lib, Problem& p) {
  p.by_row.stale = true;
  p.by_row.start.clear();
  p.by_row.column.clear();
  p.by_row.value.clear();
  p.by_row.start.shrink_to_fit();
  p.by_row.column.shrink_to_fit();
  p.by_row.value.shrink_to_fit();
  release_array(lib, p, problem_array::kRowWiseStarts);
  release_array(lib, p, problem_array::kRowWiseColumns);
  release_array(lib, p, problem_array::kRowWiseValues);
}

}  // namespace kqopt
