// The matrix by rows with each row's nonbasic columns first, so that the pivot row
// alpha_p = rho^T A over the nonbasic columns visits no basic column. A basis change
// moves the entries of the entering and the leaving column across the split of their
// rows (a swap each), in time proportional to the two columns' lengths. The nonbasic
// structural columns are also listed in ascending order, for the pivot row by columns:
// those of the last build (some may have entered the basis since: the caller skips
// them by status) and, apart, the few that left the basis since, so that a basis
// change moves no more than that short list.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "simplex/core/simplex_basis.h"
#include "simplex/core/working_lp.h"

namespace kqopt {

class NonbasicRows {
 public:
  // Builds the copy for the structural columns of lp with the given statuses
  // (allocates; once per run and after an INVERT that changed the basis).
  void build(const WorkingLp& lp, std::span<const VariableStatus> status);
  // Structural column j (0-based column index) became basic / nonbasic.
  void column_enters_basis(std::int32_t j);
  void column_leaves_basis(std::int32_t j);

  // Row i's nonbasic entries: column indices and values.
  std::int32_t begin(std::int32_t i) const { return start_[static_cast<std::size_t>(i)]; }
  std::int32_t end(std::int32_t i) const { return split_[static_cast<std::size_t>(i)]; }
  std::int32_t nonbasic_entries() const { return nonbasic_entries_; }
  const std::int32_t* column() const { return column_.data(); }
  const double* value() const { return value_.data(); }
  std::span<const std::int32_t> built_nonbasic_columns() const { return nonbasic_columns_; }
  std::span<const std::int32_t> later_nonbasic_columns() const { return later_columns_; }

 private:
  void swap_slots(std::int32_t a, std::int32_t b);

  std::vector<std::int32_t> start_;  // m + 1
  std::vector<std::int32_t> split_;  // m: first basic entry of each row
  std::vector<std::int32_t> column_;
  std::vector<double> value_;
  std::vector<std::int32_t> entry_of_slot_;  // column-wise entry held in each row slot
  std::vector<std::int32_t> slot_of_entry_;  // row slot of each column-wise entry
  std::vector<std::int32_t> row_of_entry_;
  std::vector<std::int32_t> column_start_;
  std::vector<std::int32_t> nonbasic_columns_;  // ascending, as built
  std::vector<char> built_nonbasic_;            // per column: in nonbasic_columns_
  std::vector<std::int32_t> later_columns_;     // ascending; capacity n
  std::int32_t nonbasic_entries_ = 0;
};

}  // namespace kqopt
