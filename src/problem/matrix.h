// The two copies of the constraint matrix: the column-wise matrix every load builds,
// and the row-wise copy derived from it on demand.
//
// Invariant: at least one copy is current (stale == false). A change to the elements
// through one copy marks the other stale; ensure_*() rebuilds a stale copy from the
// current one and charges its arrays to the workspace.
#pragma once

#include "problem/problem.h"

namespace kqopt {

struct Library;

// Makes the row-wise (column-wise) copy current. Returns false, with message 20 and
// return code 1, when its arrays do not fit into the workspace.
[[nodiscard]] bool ensure_row_copy(Library& lib, Problem& p);
[[nodiscard]] bool ensure_column_copy(Library& lib, Problem& p);

// Marks the row-wise copy stale after the column-wise matrix changed.
void column_matrix_changed(Library& lib, Problem& p);

// Kernels: build one copy from the other. Sizes: rows = M slots, columns = n.
void build_rows_from_columns(const ColumnMatrix& a, std::int32_t rows, RowMatrix& out);
void build_columns_from_rows(const RowMatrix& a, std::int32_t columns, ColumnMatrix& out);

}  // namespace kqopt
