// The crash: set-up, rows that stay basic, screening and finish (crash.h). The passes
// that bring structurals in are in crash_passes.cpp; the driver-level entry points in
// simplex/driver/crash_step.cpp.
#include "simplex/prep/crash.h"

#include <algorithm>
#include <cmath>

#include "problem/infinity.h"
#include "problem/matrix.h"
#include "simplex/prep/crash_run.h"

namespace kqopt {

namespace crash_detail {

namespace {

constexpr int kTypeMask = 7;
constexpr int kTightOption = 8;
constexpr int kCoverOption = 16;
constexpr int kFreeOption = 32;
constexpr int kSingleClassType = 1;
constexpr int kClassesFromControlType = 7;
constexpr int kDefaultClasses = 10;
constexpr int kClassOffset = 10;  // type 7: K = SSV009 − 10
constexpr std::uint32_t kCleared = status::kBasic | status::kAtUpper | crash_mark::kHeldBack;

}  // namespace

CrashRun::CrashRun(Problem& p, const CrashSettings& settings)
    : p_(p), settings_(settings), status_(p.status), slots_(p.row_slots()), columns_(p.columns) {
  takes_part_.assign(static_cast<std::size_t>(slots_), 0);
  for (std::int32_t i = 0; i < slots_; ++i) {
    const std::uint8_t type = p.row_type[static_cast<std::size_t>(i)];
    takes_part_[static_cast<std::size_t>(i)] = type != row_type::kFree && type != row_type::kSpare;
  }
  // A column that lists a row twice is crashed as the engine will see it: one element,
  // their sum.
  const ColumnMatrix& a = p.by_column;
  if (has_repeated_rows(slots_, a.start, a.row)) {
    merge_repeated_rows(slots_, a.start, a.row, a.value, merged_);
    start_ = merged_.start;
    row_ = merged_.row_index;
    value_ = merged_.value;
  } else {
    start_ = a.start;
    row_ = a.row;
    value_ = a.value;
  }
  rejected_.assign(value_.size(), 0);
  elements_.assign(static_cast<std::size_t>(columns_), 0);
  for (std::int32_t j = 0; j < columns_; ++j) {
    std::int32_t count = 0;
    for (std::int32_t k = begin(j); k < end(j); ++k) count += row_takes_part(row_of(k)) ? 1 : 0;
    elements_[static_cast<std::size_t>(j)] = count;
  }
}

bool CrashRun::has_lower(std::int32_t v) const { return p_.lower[static_cast<std::size_t>(v)] > -kInfinity; }
bool CrashRun::has_upper(std::int32_t v) const { return p_.upper[static_cast<std::size_t>(v)] < kInfinity; }
bool CrashRun::is_fixed(std::int32_t v) const {
  const auto vv = static_cast<std::size_t>(v);
  return (word(v) & status::kFixed) != 0 || p_.lower[vv] == p_.upper[vv];
}

void CrashRun::cover_with_logical(std::int32_t i) {
  make_basic(i);
  cover_[static_cast<std::size_t>(i)] = i;
  --uncovered_;
}

void CrashRun::cover_with_column(std::int32_t j, std::int32_t pivot) {
  const std::int32_t v = variable(j);
  make_basic(v);
  cover_[static_cast<std::size_t>(pivot)] = v;
  --uncovered_;
  for (std::int32_t k = begin(j); k < end(j); ++k) {
    const std::int32_t i = row_of(k);
    if (is_uncovered(i)) cover_with_logical(i);
  }
  ++report_.structurals;
}

// Set-up: the working values, the cover record, and every variable nonbasic (type 0:
// every logical basic).
void CrashRun::set_up() {
  const std::int32_t magnitude = settings_.icrash < 0 ? -settings_.icrash : settings_.icrash;
  type_ = magnitude & kTypeMask;
  if (settings_.icrash < 0) type_ = -type_;
  tight_ = (magnitude & kTightOption) != 0;
  cover_option_ = (magnitude & kCoverOption) != 0;
  free_option_ = (magnitude & kFreeOption) != 0;
  const std::int32_t m = p_.rows;
  if (tight_) {
    ratio_ = std::min(5.0 * settings_.ztolri, settings_.ztcr);
    limit_ = m;
    cover_option_ = free_option_ = true;
    type_ = 2;
  } else {
    ratio_ = settings_.ztcr;
    const double limit = std::trunc(static_cast<double>(m) * settings_.pcrash);
    limit_ = limit > 0.0 ? static_cast<std::int64_t>(std::min(limit, static_cast<double>(m))) : 0;
  }
  report_.ratio = ratio_;
  report_.limit = limit_;
  signed_penalty_ = settings_.sense <= 0.0 ? -settings_.penalty : settings_.penalty;
  cover_.assign(static_cast<std::size_t>(slots_), -1);
  uncovered_ = slots_;

  for (std::int32_t i = 0; i < slots_; ++i) {
    std::uint32_t& w = word(i);
    if (type_ == 0) {
      w = (w & ~kCleared) | status::kBasic;
    } else {
      w &= ~kCleared;
      if (has_upper(i) && !has_lower(i)) w |= status::kAtUpper;
    }
  }
  for (std::int32_t j = 0; j < columns_; ++j) {
    std::uint32_t& w = word(variable(j));
    w &= ~kCleared;
    if (has_upper(variable(j)) && !has_lower(variable(j))) w |= status::kAtUpper;
  }
  const int size = type_ < 0 ? -type_ : type_;
  if (size == kClassesFromControlType) {
    classes_ = settings_.ssv009 - kClassOffset;
    type_ = type_ < 0 ? -4 : 4;
  } else {
    classes_ = size == kSingleClassType ? 1 : kDefaultClasses;
  }
}

// Rows flagged to keep their logical basic, free rows and spare slots cover themselves.
void CrashRun::cover_rows_that_stay_basic() {
  for (std::int32_t i = 0; i < slots_; ++i) {
    const bool flagged = (p_.row_flags[static_cast<std::size_t>(i)] & row_flag::kLogicalBasic) != 0;
    if (flagged || !row_takes_part(i)) cover_with_logical(i);
  }
}

// Screening: elements small within their column (over the uncovered rows) are rejected;
// two-element columns of unattractive cost are held back; columns left without a usable
// element are excluded.
void CrashRun::screen_columns() {
  report_.screened = true;
  for (std::int32_t j = 0; j < columns_; ++j) {
    const std::int32_t v = variable(j);
    if (is_fixed(v)) continue;
    double largest = 0.0;
    for (std::int32_t k = begin(j); k < end(j); ++k) {
      if (is_uncovered(row_of(k))) largest = std::max(largest, std::fabs(value_of(k)));
    }
    bool usable = false;
    for (std::int32_t k = begin(j); k < end(j); ++k) {
      if (!is_uncovered(row_of(k))) continue;
      if (std::fabs(value_of(k)) < ratio_ * largest || !(std::fabs(value_of(k)) > 0.0)) {
        rejected_[static_cast<std::size_t>(k)] = 1;
        ++report_.rejected_elements;
      } else {
        usable = true;
      }
    }
    const double cost = p_.objective[static_cast<std::size_t>(j)];
    if (element_count(j) == 2 && (cost - signed_penalty_) * settings_.sense >= 0.0) {
      word(v) |= crash_mark::kHeldBack | crash_mark::kExcluded;
      report_.held_back = true;
      ++report_.excluded_columns;
    } else if (!usable) {
      word(v) |= crash_mark::kExcluded;
      ++report_.excluded_columns;
    }
  }
}

// Finish: uncovered rows get their logicals, flagged rows their logical at its upper
// bound, and the exclusion marks go.
void CrashRun::finish() {
  for (std::int32_t i = 0; i < slots_; ++i) {
    if (is_uncovered(i)) {
      cover_with_logical(i);
    } else if ((p_.row_flags[static_cast<std::size_t>(i)] & row_flag::kLogicalAtUpper) != 0 && !is_basic(i)) {
      word(i) |= status::kAtUpper;
    }
  }
  for (std::uint32_t& w : status_) w &= ~crash_mark::kExcluded;
}

CrashReport CrashRun::run() {
  set_up();
  if (type_ == 0) return report_;
  report_.ran = true;
  cover_rows_that_stay_basic();
  if (!all_covered()) {
    screen_columns();
    if (cover_option_ || free_option_) cover_and_free_pass();
    if (!all_covered()) triangular_passes();
  }
  finish();
  return report_;
}

}  // namespace crash_detail

CrashReport crash_basis(Problem& p, const CrashSettings& settings) {
  release_crash_marks(p);
  crash_detail::CrashRun run(p, settings);
  return run.run();
}

bool release_crash_marks(Problem& p) {
  bool found = false;
  for (std::int32_t v = 0; v < p.variables(); ++v) {
    std::uint32_t& w = p.status[static_cast<std::size_t>(v)];
    if ((w & (crash_mark::kHeldBack | crash_mark::kTreatedFree)) == 0) continue;
    found = true;
    if (w & crash_mark::kTreatedFree) {
      const auto vv = static_cast<std::size_t>(v);
      const bool free = p.lower[vv] <= -kInfinity && p.upper[vv] >= kInfinity;
      w &= ~(crash_mark::kTreatedFree | status::kFree);
      if (free) w |= status::kFree;
    }
    w &= ~crash_mark::kHeldBack;
  }
  return found;
}

}  // namespace kqopt
