// The crash's two ways of bringing structurals in: the cover and free pass, which
// places the columns at their bounds and looks for rows that only one column can
// satisfy, and the triangular passes, which take the columns in merit order and bring
// in those that touch at most D uncovered rows.
#include <climits>
#include <cmath>
#include <numeric>

#include "simplex/prep/crash_run.h"

namespace kqopt::crash_detail {

// The columns at a bound: round 0 at the finite lower bound when there is one, round 1
// at the finite upper bound when there is one, free (and freed) columns at 0. residual_i
// = rhs_i − Σ_j a_ij x_j; per row the number of movable columns that are free, and of
// those whose entry, negated for a column at its upper bound, is positive or not.
// Every round starts afresh from the current state, so that freed and basic columns
// count as free, and no placement is counted twice.
void CrashRun::place_columns(int round, std::vector<double>& residual, std::vector<std::int32_t>& free_count,
                             std::vector<std::int32_t>& positive_count,
                             std::vector<std::int32_t>& nonpositive_count) const {
  residual = p_.rhs;
  free_count.assign(static_cast<std::size_t>(slots_), 0);
  positive_count.assign(static_cast<std::size_t>(slots_), 0);
  nonpositive_count.assign(static_cast<std::size_t>(slots_), 0);
  for (std::int32_t j = 0; j < columns_; ++j) {
    const std::int32_t v = variable(j);
    const bool free = is_free_column(v);
    const auto vv = static_cast<std::size_t>(v);
    double x = 0.0;
    double sign = 1.0;
    if (!free) {
      const bool at_upper = round == 0 ? !has_lower(v) : has_upper(v);
      x = at_upper ? p_.upper[vv] : p_.lower[vv];
      sign = at_upper ? -1.0 : 1.0;
    }
    const bool movable = !is_fixed(v);
    for (std::int32_t k = begin(j); k < end(j); ++k) {
      const std::int32_t i = row_of(k);
      if (!row_takes_part(i)) continue;
      const auto ii = static_cast<std::size_t>(i);
      if (x != 0.0) residual[ii] -= x * value_of(k);
      if (!movable) continue;
      (sign * value_of(k) > 0.0 ? positive_count : nonpositive_count)[ii] += 1;
      if (free) free_count[ii] += 1;
    }
  }
}

// Cover and free pass. A column with at most one finite bound qualifies on a row where
// it is the only column that can move the row's activity towards the row's bounds; with
// the cover option it becomes basic on the best such uncovered row, with the free option
// alone it is only freed.
void CrashRun::cover_and_free_pass() {
  report_.cover_pass = true;
  std::vector<double> residual;
  std::vector<std::int32_t> free_count, positive_count, nonpositive_count;
  const double tolerance = settings_.ztolze;
  for (int round = 0; round < 2 && !all_covered(); ++round) {
    place_columns(round, residual, free_count, positive_count, nonpositive_count);
    for (std::int32_t j = 0; j < columns_ && report_.structurals < limit_; ++j) {
      const std::int32_t v = variable(j);
      if (is_basic(v) || is_fixed(v) || is_excluded(v) || (has_lower(v) && has_upper(v))) continue;
      const bool column_free = is_free_column(v);
      const bool negate = has_upper(v);
      const std::int32_t free_allowed = column_free ? 1 : 0;
      std::int32_t chosen = -1, first = -1;
      double chosen_size = settings_.ztolpv;
      for (std::int32_t k = begin(j); k < end(j); ++k) {
        const std::int32_t i = row_of(k);
        const auto ii = static_cast<std::size_t>(i);
        if (!row_takes_part(i) || !(has_lower(i) || has_upper(i)) || free_count[ii] > free_allowed) continue;
        const double a = negate ? -value_of(k) : value_of(k);
        const double r = negate ? -residual[ii] : residual[ii];
        const bool qualifies = a >= 0.0 ? (p_.row_flags[ii] & row_flag::kNoNonnegativeCover) == 0 && r >= -tolerance &&
                                              positive_count[ii] == 1 && has_upper(i)
                                        : r <= tolerance && nonpositive_count[ii] == 1 && has_lower(i);
        if (!qualifies) continue;
        if (first < 0) first = i;
        if (is_uncovered(i) && !rejected_[static_cast<std::size_t>(k)] && std::fabs(a) > chosen_size) {
          chosen = i;
          chosen_size = std::fabs(a);
        }
      }
      if (cover_option_ && chosen >= 0) {
        residual[static_cast<std::size_t>(chosen)] = 0.0;
        if (!column_free) {
          word(v) |= crash_mark::kTreatedFree | status::kFree;
          free_count[static_cast<std::size_t>(chosen)] += 1;
        }
        cover_with_column(j, chosen);
        if (element_count(j) == 2) ++report_.two_element_columns;
        ++report_.freed_columns;
      } else if (free_option_ && (chosen >= 0 || first >= 0)) {
        const std::int32_t row = chosen >= 0 ? chosen : first;
        residual[static_cast<std::size_t>(row)] = 0.0;
        if (!column_free) {
          word(v) = (word(v) | crash_mark::kTreatedFree | status::kFree) & ~status::kAtUpper;
          free_count[static_cast<std::size_t>(row)] += 1;
        }
        ++report_.freed_columns;
      }
      if (all_covered()) break;
    }
  }
  report_.structurals_after_cover = report_.structurals;
}

// Ascending merit by a Shell sort with gaps 2^k − 1: without the tight option σ·c_j less
// BIGM for a free column (cheap and free columns first), with it the element count.
std::vector<std::int32_t> CrashRun::columns_by_merit() const {
  std::vector<double> merit(static_cast<std::size_t>(columns_));
  for (std::int32_t j = 0; j < columns_; ++j) {
    const double cost = p_.objective[static_cast<std::size_t>(j)];
    double m = 0.0;
    if (tight_) {
      m = element_count(j);
    } else {
      m = cost == 0.0 ? 0.0 : settings_.sense * cost;
      if (is_free_column(variable(j))) m -= settings_.big_m;
    }
    merit[static_cast<std::size_t>(j)] = m;
  }
  std::vector<std::int32_t> order(static_cast<std::size_t>(columns_));
  std::iota(order.begin(), order.end(), 0);
  std::size_t power = 1;
  while (power * 2 <= order.size()) power *= 2;
  for (std::size_t gap = power - 1; gap >= 1; gap = (gap - 1) / 2) {
    for (std::size_t i = gap; i < order.size(); ++i) {
      const std::int32_t item = order[i];
      const double key = merit[static_cast<std::size_t>(item)];
      std::size_t at = i;
      while (at >= gap && merit[static_cast<std::size_t>(order[at - gap])] > key) {
        order[at] = order[at - gap];
        at -= gap;
      }
      order[at] = item;
    }
  }
  return order;
}

// Triangular passes d = 1..K with count threshold D (1, then the smallest count among
// the columns deferred by the pass before): a column with n_u elements in uncovered
// rows covers the row of its largest acceptable element when n_u ≤ D, its other
// uncovered rows taking their logicals; with n_u > D it waits for a later pass.
void CrashRun::triangular_passes() {
  const std::vector<std::int32_t> order = columns_by_merit();
  std::int32_t threshold = 1;
  for (int pass = 1; pass <= classes_; ++pass) {
    std::int32_t deferred = 0;
    std::int32_t next_threshold = INT_MAX;
    for (std::int32_t j : order) {
      if (report_.structurals >= limit_ || all_covered()) break;
      const std::int32_t v = variable(j);
      if (is_basic(v) || is_fixed(v) || is_excluded(v)) continue;
      std::int32_t in_uncovered = 0, pivot = -1;
      double pivot_size = 0.0;
      for (std::int32_t k = begin(j); k < end(j); ++k) {
        const std::int32_t i = row_of(k);
        if (!is_uncovered(i)) continue;
        ++in_uncovered;
        const double size = std::fabs(value_of(k));
        if (rejected_[static_cast<std::size_t>(k)] || !(size > 0.0)) continue;
        if (size >= pivot_size) {
          pivot = i;
          pivot_size = size;
        }
      }
      if (in_uncovered == 0 || pivot < 0) {
        word(v) |= crash_mark::kExcluded;
      } else if (in_uncovered > 1 && in_uncovered > threshold) {
        ++deferred;
        next_threshold = std::min(next_threshold, in_uncovered);
      } else {
        cover_with_column(j, pivot);
      }
    }
    // Rows of inequalities left uncovered take their logicals, unless the type waits:
    // type 4 until the last pass, type 3 for the first half of the passes.
    const bool waits = (type_ == 4 && pass != classes_) || (type_ == 3 && 2 * pass <= classes_);
    if (!waits && !all_covered()) {
      for (std::int32_t i = 0; i < slots_; ++i) {
        if (is_basic(i) || is_fixed(i) || is_excluded(i)) continue;
        if (is_uncovered(i)) cover_with_logical(i);
        word(i) |= crash_mark::kExcluded;
      }
    }
    report_.passes.push_back(
        {pass, slots_ - uncovered_, report_.structurals, deferred > 0 ? next_threshold : 0, deferred});
    if (all_covered() || deferred == 0) return;
    threshold = next_threshold;
  }
}

}  // namespace kqopt::crash_detail
