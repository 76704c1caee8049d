// The state of one crash, shared by its steps: set-up, screening and finish
// (crash.cpp), the cover and free pass and the triangular passes (crash_passes.cpp).
//
// cover[i] is the variable that covers row slot i (its logical i, or a column's
// variable M + j), −1 while the row is uncovered; `uncovered` counts the −1 entries.
// rejected[k] marks matrix element k as too small within its column to pivot on.
// Invariant: every basic variable covers exactly one row, and a row is covered by a
// basic variable; the finish gives every uncovered row its logical, so the basis has
// exactly M members.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "simplex/core/merged_columns.h"
#include "simplex/prep/crash.h"

namespace kqopt::crash_detail {

class CrashRun {
 public:
  CrashRun(Problem& p, const CrashSettings& settings);
  CrashReport run();

 private:
  // Set-up, screening and finish (crash.cpp).
  void set_up();
  void cover_rows_that_stay_basic();
  void screen_columns();
  void finish();

  // The two ways of bringing structurals in (crash_passes.cpp).
  void cover_and_free_pass();
  void triangular_passes();

  // Cover and free pass helpers (crash_passes.cpp).
  void place_columns(int round, std::vector<double>& residual, std::vector<std::int32_t>& free_count,
                     std::vector<std::int32_t>& positive_count, std::vector<std::int32_t>& nonpositive_count) const;
  // Triangular pass helpers.
  std::vector<std::int32_t> columns_by_merit() const;

  // Variables and rows.
  std::int32_t variable(std::int32_t j) const { return slots_ + j; }
  std::uint32_t& word(std::int32_t v) { return status_[static_cast<std::size_t>(v)]; }
  std::uint32_t word(std::int32_t v) const { return status_[static_cast<std::size_t>(v)]; }
  bool has_lower(std::int32_t v) const;
  bool has_upper(std::int32_t v) const;
  bool is_fixed(std::int32_t v) const;
  bool is_basic(std::int32_t v) const { return (word(v) & status::kBasic) != 0; }
  bool is_excluded(std::int32_t v) const { return (word(v) & crash_mark::kExcluded) != 0; }
  bool is_free_column(std::int32_t v) const {
    return (word(v) & status::kFree) != 0 || (!has_lower(v) && !has_upper(v));
  }
  bool row_takes_part(std::int32_t i) const { return takes_part_[static_cast<std::size_t>(i)] != 0; }
  bool is_uncovered(std::int32_t i) const { return cover_[static_cast<std::size_t>(i)] < 0; }
  std::int32_t begin(std::int32_t j) const { return start_[static_cast<std::size_t>(j)]; }
  std::int32_t end(std::int32_t j) const { return start_[static_cast<std::size_t>(j) + 1]; }
  std::int32_t row_of(std::int32_t k) const { return row_[static_cast<std::size_t>(k)]; }
  double value_of(std::int32_t k) const { return value_[static_cast<std::size_t>(k)]; }
  // Elements of column j in rows that take part in the crash.
  std::int32_t element_count(std::int32_t j) const { return elements_[static_cast<std::size_t>(j)]; }

  void make_basic(std::int32_t v) { word(v) = (word(v) | status::kBasic) & ~status::kAtUpper; }
  void cover_with_logical(std::int32_t i);
  // Column j becomes basic on row `pivot`; its other uncovered rows get their logicals.
  void cover_with_column(std::int32_t j, std::int32_t pivot);
  bool all_covered() const { return uncovered_ == 0; }

  Problem& p_;
  const CrashSettings& settings_;
  std::vector<std::uint32_t>& status_;
  std::int32_t slots_;    // M: row slots
  std::int32_t columns_;  // n
  // The matrix the crash reads: the model's, or a copy with repeated rows merged.
  MergedColumns merged_;
  std::span<const std::int32_t> start_;
  std::span<const std::int32_t> row_;
  std::span<const double> value_;

  // Working values of the set-up.
  int type_ = 0;
  int classes_ = 0;  // K: most triangular passes
  bool tight_ = false;
  bool cover_option_ = false;
  bool free_option_ = false;
  double ratio_ = 0.995;         // ρ
  std::int64_t limit_ = 0;       // L: most structurals brought in
  double signed_penalty_ = 0.0;  // p

  std::vector<std::int32_t> cover_;
  std::int32_t uncovered_ = 0;
  std::vector<char> takes_part_;  // per row slot: not a free row or a spare slot
  std::vector<char> rejected_;    // per element
  std::vector<std::int32_t> elements_;
  CrashReport report_;
};

}  // namespace kqopt::crash_detail
