// The row-wise copy of the working LP's matrix and the view the factorisation reads.
#include "simplex/core/working_lp.h"

namespace kqopt {

BasisView WorkingLp::basis_view() const {
  BasisView view;
  view.rows = rows;
  view.columns = columns;
  view.column_start = column_start;
  view.row_index = row_index;
  view.value = value;
  return view;
}

void WorkingLp::build_row_copy() {
  const std::size_t m = static_cast<std::size_t>(rows);
  const std::size_t nnz = column_start.empty() ? 0 : static_cast<std::size_t>(column_start.back());
  row_start.assign(m + 1, 0);
  for (std::size_t k = 0; k < nnz; ++k) ++row_start[static_cast<std::size_t>(row_index[k]) + 1];
  for (std::size_t i = 0; i < m; ++i) row_start[i + 1] += row_start[i];
  column_index.resize(nnz);
  row_value.resize(nnz);
  std::vector<std::int32_t> next(row_start.begin(), row_start.end() - 1);
  for (std::int32_t j = 0; j < columns; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    for (auto k = static_cast<std::size_t>(column_start[jj]); k < static_cast<std::size_t>(column_start[jj + 1]); ++k) {
      const auto slot = static_cast<std::size_t>(next[static_cast<std::size_t>(row_index[k])]++);
      column_index[slot] = j;
      row_value[slot] = value[k];
    }
  }
}

}  // namespace kqopt
