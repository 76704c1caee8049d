// Columns that list a row more than once. The problem model keeps such elements as they
// were loaded; every numerical kernel (scaling factors, crash, INVERT, work vectors,
// pricing) assumes one coefficient per row and column, so the engine works on a copy in
// which the repeated elements are merged into their sum.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kqopt {

// Whether some column lists a row twice. One pass over the elements with a mark per row
// (the last column that touched it). Row indices must lie in 0..rows-1.
bool has_repeated_rows(std::int32_t rows, std::span<const std::int32_t> column_start,
                       std::span<const std::int32_t> row_index);

// The matrix with each column's repeated rows merged into one element holding their sum,
// at the place of the first of them; a sum that comes out exactly zero is dropped (the
// elements cancel). Other elements keep their order and value.
struct MergedColumns {
  std::vector<std::int32_t> start;
  std::vector<std::int32_t> row_index;
  std::vector<double> value;
};
void merge_repeated_rows(std::int32_t rows, std::span<const std::int32_t> column_start,
                         std::span<const std::int32_t> row_index, std::span<const double> value, MergedColumns& out);

}  // namespace kqopt
