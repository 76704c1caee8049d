// Bound propagation through the constraint rows at a node of the global search.
#include "global/search/row_propagation.h"

#include <cmath>

#include "problem/infinity.h"
#include "problem/problem.h"

namespace kqopt {

namespace {

// Activity sums beyond this lose the units a bound is rounded to: such rows tighten
// nothing.
constexpr double kLargestActivity = 1.0e10;
// Slack against the LP's own tolerances before a value is rounded or a row is judged
// infeasible.
constexpr double kFeasibility = 1.0e-6;
// Rows visited per call, as a multiple of the rows read, so that long chains of small
// tightenings end.
constexpr std::int64_t kVisitsPerRow = 4;

}  // namespace

RowPropagator::RowPropagator(const Problem& p, std::int32_t rows, bool binaries_only) {
  rows_ = rows < 0 ? 0 : rows < p.rows ? rows : p.rows;
  first_column_ = p.row_slots();
  const auto n = static_cast<std::size_t>(p.columns);
  integer_.assign(n, 0);
  for (const GlobalEntity& e : p.entities) {
    if (e.is_set()) continue;
    if (e.kind() == EntityKind::kBinary || (!binaries_only && e.kind() == EntityKind::kInteger)) {
      integer_[static_cast<std::size_t>(e.reference)] = 1;
    }
  }
  const ColumnMatrix& a = p.by_column;
  std::vector<std::int32_t> count(static_cast<std::size_t>(rows_) + 1, 0);
  column_start_.assign(n + 1, 0);
  for (std::size_t j = 0; j < n; ++j) {
    for (std::int32_t k = a.start[j]; k < a.start[j + 1]; ++k) {
      const std::int32_t r = a.row[static_cast<std::size_t>(k)];
      if (r < 0 || r >= rows_ || a.value[static_cast<std::size_t>(k)] == 0.0) continue;
      ++count[static_cast<std::size_t>(r) + 1];
      column_row_.push_back(r);
    }
    column_start_[j + 1] = static_cast<std::int32_t>(column_row_.size());
  }
  row_start_.assign(static_cast<std::size_t>(rows_) + 1, 0);
  for (std::int32_t r = 0; r < rows_; ++r) {
    row_start_[static_cast<std::size_t>(r) + 1] = row_start_[static_cast<std::size_t>(r)] + count[r + 1];
  }
  row_column_.resize(column_row_.size());
  row_value_.resize(column_row_.size());
  std::vector<std::int32_t> fill(row_start_.begin(), row_start_.end() - 1);
  for (std::size_t j = 0; j < n; ++j) {
    for (std::int32_t k = a.start[j]; k < a.start[j + 1]; ++k) {
      const std::int32_t r = a.row[static_cast<std::size_t>(k)];
      if (r < 0 || r >= rows_ || a.value[static_cast<std::size_t>(k)] == 0.0) continue;
      const auto at = static_cast<std::size_t>(fill[static_cast<std::size_t>(r)]++);
      row_column_[at] = static_cast<std::int32_t>(j);
      row_value_[at] = a.value[static_cast<std::size_t>(k)];
    }
  }
  rhs_.assign(p.rhs.begin(), p.rhs.begin() + rows_);
  queued_.assign(static_cast<std::size_t>(rows_), 0);
}

void RowPropagator::queue_rows_of(std::int32_t j) {
  for (std::int32_t k = column_start_[static_cast<std::size_t>(j)]; k < column_start_[static_cast<std::size_t>(j) + 1];
       ++k) {
    const std::int32_t r = column_row_[static_cast<std::size_t>(k)];
    if (queued_[static_cast<std::size_t>(r)] != 0) continue;
    queued_[static_cast<std::size_t>(r)] = 1;
    queue_.push_back(r);
  }
}

bool RowPropagator::propagate(std::span<double> lower, std::span<double> upper, std::span<const BoundChange> seeds,
                              bool all_rows, std::vector<BoundChange>& out) {
  queue_.clear();
  if (all_rows) {
    for (std::int32_t r = 0; r < rows_; ++r) {
      queued_[static_cast<std::size_t>(r)] = 1;
      queue_.push_back(r);
    }
  } else {
    for (const BoundChange& c : seeds) {
      const std::int32_t j = c.variable - first_column_;
      if (j >= 0 && j < static_cast<std::int32_t>(integer_.size())) queue_rows_of(j);
    }
  }
  const std::int64_t budget = kVisitsPerRow * static_cast<std::int64_t>(rows_) + 16;
  std::int64_t visits = 0;
  bool feasible = true;
  // The queue is a FIFO over a growing vector: head walks it, rows come back at the end.
  std::size_t head = 0;
  while (head < queue_.size()) {
    const std::int32_t r = queue_[head++];
    queued_[static_cast<std::size_t>(r)] = 0;
    if (!feasible || ++visits > budget) continue;  // drains the flags
    if (!row_pass(r, lower, upper, out)) {
      feasible = false;
      ++infeasible_;
    }
  }
  queue_.clear();
  return feasible;
}

// One row: a_r·x lies in [rhs − u_s, rhs − l_s] (s the row's logical). With the least
// and greatest activity over the bounds, each integer column's bounds follow from the
// row's limits less the other columns' extreme activity.
bool RowPropagator::row_pass(std::int32_t r, std::span<double> lower, std::span<double> upper,
                             std::vector<BoundChange>& out) {
  const auto ri = static_cast<std::size_t>(r);
  const double slack_lo = lower[ri];
  const double slack_up = upper[ri];
  const double row_lo = slack_up >= kInfinityThreshold ? -kInfinity : rhs_[ri] - slack_up;
  const double row_up = slack_lo <= -kInfinityThreshold ? kInfinity : rhs_[ri] - slack_lo;
  const bool has_lo = row_lo > -kInfinityThreshold;
  const bool has_up = row_up < kInfinityThreshold;
  if (!has_lo && !has_up) return true;
  const std::int32_t begin = row_start_[ri];
  const std::int32_t end = row_start_[ri + 1];
  // Least (min) and greatest (max) activity, with the count of infinite contributions
  // kept apart so that one infinite term still allows its own column's bound.
  double min_act = 0.0;
  double max_act = 0.0;
  std::int32_t min_inf = 0;
  std::int32_t max_inf = 0;
  for (std::int32_t k = begin; k < end; ++k) {
    const double a = row_value_[static_cast<std::size_t>(k)];
    const auto v = static_cast<std::size_t>(first_column_ + row_column_[static_cast<std::size_t>(k)]);
    const double lo = lower[v];
    const double up = upper[v];
    const double least = a > 0.0 ? lo : up;
    const double most = a > 0.0 ? up : lo;
    if (std::fabs(least) >= kInfinityThreshold) {
      ++min_inf;
    } else {
      min_act += a * least;
    }
    if (std::fabs(most) >= kInfinityThreshold) {
      ++max_inf;
    } else {
      max_act += a * most;
    }
  }
  if (std::fabs(min_act) > kLargestActivity || std::fabs(max_act) > kLargestActivity) return true;
  if (has_up && min_inf == 0 && min_act > row_up + kFeasibility * (1.0 + std::fabs(row_up))) return false;
  if (has_lo && max_inf == 0 && max_act < row_lo - kFeasibility * (1.0 + std::fabs(row_lo))) return false;
  const bool up_usable = has_up && min_inf <= 1;
  const bool lo_usable = has_lo && max_inf <= 1;
  if (!up_usable && !lo_usable) return true;
  for (std::int32_t k = begin; k < end; ++k) {
    const std::int32_t j = row_column_[static_cast<std::size_t>(k)];
    if (integer_[static_cast<std::size_t>(j)] == 0) continue;
    const double a = row_value_[static_cast<std::size_t>(k)];
    if (std::fabs(a) < 1.0e-9) continue;
    const auto v = static_cast<std::size_t>(first_column_ + j);
    double lo = lower[v];
    double up = upper[v];
    const double least = a > 0.0 ? lo : up;
    const double most = a > 0.0 ? up : lo;
    bool changed = false;
    // a·x ≤ row_up − (least activity of the others).
    if (up_usable) {
      const bool own_inf = std::fabs(least) >= kInfinityThreshold;
      if (min_inf == 0 || own_inf) {
        const double others = own_inf ? min_act : min_act - a * least;
        const double limit = (row_up - others) / a;
        const double tol = kFeasibility * (1.0 + std::fabs(limit));
        if (a > 0.0) {
          const double bound = std::floor(limit + tol);
          if (bound < up - 0.5) {
            up = bound;
            changed = true;
          }
        } else {
          const double bound = std::ceil(limit - tol);
          if (bound > lo + 0.5) {
            lo = bound;
            changed = true;
          }
        }
      }
    }
    // a·x ≥ row_lo − (greatest activity of the others).
    if (lo_usable) {
      const bool own_inf = std::fabs(most) >= kInfinityThreshold;
      if (max_inf == 0 || own_inf) {
        const double others = own_inf ? max_act : max_act - a * most;
        const double limit = (row_lo - others) / a;
        const double tol = kFeasibility * (1.0 + std::fabs(limit));
        if (a > 0.0) {
          const double bound = std::ceil(limit - tol);
          if (bound > lo + 0.5) {
            lo = bound;
            changed = true;
          }
        } else {
          const double bound = std::floor(limit + tol);
          if (bound < up - 0.5) {
            up = bound;
            changed = true;
          }
        }
      }
    }
    if (!changed) continue;
    if (lo > up + kFeasibility) return false;
    lower[v] = lo;
    upper[v] = up;
    out.push_back({static_cast<std::int32_t>(v), lo, up});
    ++tightenings_;
    queue_rows_of(j);
    // The row's own sums moved with this column; the next rows visit recomputes them, so
    // this row comes back through the queue rather than going on with stale sums.
    return true;
  }
  return true;
}

}  // namespace kqopt
