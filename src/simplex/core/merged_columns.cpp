// Merging the repeated rows of a column into one coefficient.
#include "simplex/core/merged_columns.h"

namespace kqopt {

bool has_repeated_rows(std::int32_t rows, std::span<const std::int32_t> column_start,
                       std::span<const std::int32_t> row_index) {
  if (column_start.size() < 2) return false;
  std::vector<std::int32_t> last(static_cast<std::size_t>(rows), -1);
  const std::size_t columns = column_start.size() - 1;
  for (std::size_t j = 0; j < columns; ++j) {
    for (auto k = static_cast<std::size_t>(column_start[j]); k < static_cast<std::size_t>(column_start[j + 1]); ++k) {
      std::int32_t& mark = last[static_cast<std::size_t>(row_index[k])];
      if (mark == static_cast<std::int32_t>(j)) return true;
      mark = static_cast<std::int32_t>(j);
    }
  }
  return false;
}

void merge_repeated_rows(std::int32_t rows, std::span<const std::int32_t> column_start,
                         std::span<const std::int32_t> row_index, std::span<const double> value, MergedColumns& out) {
  const std::size_t columns = column_start.empty() ? 0 : column_start.size() - 1;
  const std::size_t elements = columns == 0 ? 0 : static_cast<std::size_t>(column_start[columns]);
  out.start.assign(columns + 1, 0);
  out.row_index.clear();
  out.value.clear();
  out.row_index.reserve(elements);
  out.value.reserve(elements);
  // place[i]: where row i sits in the output column being built, -1 when not there yet.
  std::vector<std::int32_t> place(static_cast<std::size_t>(rows), -1);
  std::vector<std::uint8_t> merged(static_cast<std::size_t>(rows), 0);
  for (std::size_t j = 0; j < columns; ++j) {
    const auto first = static_cast<std::int32_t>(out.row_index.size());
    bool any_merged = false;
    for (auto k = static_cast<std::size_t>(column_start[j]); k < static_cast<std::size_t>(column_start[j + 1]); ++k) {
      const auto i = static_cast<std::size_t>(row_index[k]);
      if (place[i] >= 0) {
        out.value[static_cast<std::size_t>(place[i])] += value[k];
        merged[i] = 1;
        any_merged = true;
        continue;
      }
      place[i] = static_cast<std::int32_t>(out.row_index.size());
      out.row_index.push_back(row_index[k]);
      out.value.push_back(value[k]);
    }
    // Close the column: clear the marks and drop merged elements that cancelled.
    auto kept = static_cast<std::size_t>(first);
    for (auto k = static_cast<std::size_t>(first); k < out.row_index.size(); ++k) {
      const auto i = static_cast<std::size_t>(out.row_index[k]);
      place[i] = -1;
      const bool cancelled = any_merged && merged[i] && out.value[k] == 0.0;
      merged[i] = 0;
      if (cancelled) continue;
      out.row_index[kept] = out.row_index[k];
      out.value[kept] = out.value[k];
      ++kept;
    }
    out.row_index.resize(kept);
    out.value.resize(kept);
    out.start[j + 1] = static_cast<std::int32_t>(kept);
  }
}

}  // namespace kqopt
