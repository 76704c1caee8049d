// The row-wise copy split into nonbasic and basic entries (nonbasic_rows.h).
#include "simplex/dual/nonbasic_rows.h"

#include <algorithm>
#include <utility>

namespace kqopt {

void NonbasicRows::build(const WorkingLp& lp, std::span<const VariableStatus> status) {
  const std::int32_t m = lp.rows;
  const std::int32_t n = lp.columns;
  const std::size_t nnz = lp.column_start.empty() ? 0 : static_cast<std::size_t>(lp.column_start.back());
  column_start_ = lp.column_start;
  start_.assign(static_cast<std::size_t>(m) + 1, 0);
  for (std::size_t k = 0; k < nnz; ++k) ++start_[static_cast<std::size_t>(lp.row_index[k]) + 1];
  for (std::int32_t i = 0; i < m; ++i) start_[static_cast<std::size_t>(i) + 1] += start_[static_cast<std::size_t>(i)];
  column_.resize(nnz);
  value_.resize(nnz);
  entry_of_slot_.resize(nnz);
  slot_of_entry_.resize(nnz);
  row_of_entry_.resize(nnz);
  // Nonbasic columns fill each row from the front, basic ones from the back.
  split_.assign(start_.begin(), start_.end() - 1);
  std::vector<std::int32_t> back(start_.begin() + 1, start_.end());
  nonbasic_entries_ = 0;
  nonbasic_columns_.clear();
  nonbasic_columns_.reserve(static_cast<std::size_t>(n));
  built_nonbasic_.assign(static_cast<std::size_t>(n), 0);
  later_columns_.clear();
  later_columns_.reserve(static_cast<std::size_t>(n));
  for (std::int32_t j = 0; j < n; ++j) {
    const bool basic = status[static_cast<std::size_t>(m + j)] == VariableStatus::basic;
    if (!basic) {
      nonbasic_columns_.push_back(j);
      built_nonbasic_[static_cast<std::size_t>(j)] = 1;
    }
    for (std::int32_t k = lp.column_start[static_cast<std::size_t>(j)];
         k < lp.column_start[static_cast<std::size_t>(j) + 1]; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      const auto i = static_cast<std::size_t>(lp.row_index[kk]);
      const std::int32_t slot = basic ? --back[i] : split_[i]++;
      const auto ss = static_cast<std::size_t>(slot);
      column_[ss] = j;
      value_[ss] = lp.value[kk];
      entry_of_slot_[ss] = k;
      slot_of_entry_[kk] = slot;
      row_of_entry_[kk] = static_cast<std::int32_t>(i);
      if (!basic) ++nonbasic_entries_;
    }
  }
}

void NonbasicRows::swap_slots(std::int32_t a, std::int32_t b) {
  if (a == b) return;
  const auto aa = static_cast<std::size_t>(a);
  const auto bb = static_cast<std::size_t>(b);
  std::swap(column_[aa], column_[bb]);
  std::swap(value_[aa], value_[bb]);
  std::swap(entry_of_slot_[aa], entry_of_slot_[bb]);
  slot_of_entry_[static_cast<std::size_t>(entry_of_slot_[aa])] = a;
  slot_of_entry_[static_cast<std::size_t>(entry_of_slot_[bb])] = b;
}

// The lists stay ascending: the pivot row lists its entries in column order, and the
// ratio test's ties follow that order.
void NonbasicRows::column_enters_basis(std::int32_t j) {
  const auto at = std::lower_bound(later_columns_.begin(), later_columns_.end(), j);
  if (at != later_columns_.end() && *at == j) later_columns_.erase(at);
  for (std::int32_t k = column_start_[static_cast<std::size_t>(j)]; k < column_start_[static_cast<std::size_t>(j) + 1];
       ++k) {
    const auto i = static_cast<std::size_t>(row_of_entry_[static_cast<std::size_t>(k)]);
    const std::int32_t last = --split_[i];
    swap_slots(slot_of_entry_[static_cast<std::size_t>(k)], last);
    --nonbasic_entries_;
  }
}

void NonbasicRows::column_leaves_basis(std::int32_t j) {
  if (!built_nonbasic_[static_cast<std::size_t>(j)]) {
    const auto at = std::lower_bound(later_columns_.begin(), later_columns_.end(), j);
    if (at == later_columns_.end() || *at != j) later_columns_.insert(at, j);
  }
  for (std::int32_t k = column_start_[static_cast<std::size_t>(j)]; k < column_start_[static_cast<std::size_t>(j) + 1];
       ++k) {
    const auto i = static_cast<std::size_t>(row_of_entry_[static_cast<std::size_t>(k)]);
    const std::int32_t first = split_[i]++;
    swap_slots(slot_of_entry_[static_cast<std::size_t>(k)], first);
    ++nonbasic_entries_;
  }
}

}  // namespace kqopt
