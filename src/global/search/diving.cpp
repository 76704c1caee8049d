// The steps of a diving heuristic.
#include "global/search/diving.h"

#include <cmath>

#include "problem/infinity.h"
#include "problem/problem.h"

namespace kqopt {

RoundingLocks rounding_locks(const Problem& p, std::int32_t rows, std::span<const double> lower,
                             std::span<const double> upper) {
  RoundingLocks locks;
  const auto n = static_cast<std::size_t>(p.columns);
  locks.down.assign(n, 0);
  locks.up.assign(n, 0);
  const ColumnMatrix& a = p.by_column;
  for (std::size_t j = 0; j < n; ++j) {
    for (std::int32_t k = a.start[j]; k < a.start[j + 1]; ++k) {
      const std::int32_t r = a.row[static_cast<std::size_t>(k)];
      const double v = a.value[static_cast<std::size_t>(k)];
      if (r < 0 || r >= rows || v == 0.0) continue;
      // The row's activity is rhs − slack: a finite slack lower bound limits it above, a
      // finite slack upper bound below.
      const bool limited_above = lower[static_cast<std::size_t>(r)] > -kInfinityThreshold;
      const bool limited_below = upper[static_cast<std::size_t>(r)] < kInfinityThreshold;
      if (v > 0.0) {
        if (limited_above) ++locks.up[j];
        if (limited_below) ++locks.down[j];
      } else {
        if (limited_above) ++locks.down[j];
        if (limited_below) ++locks.up[j];
      }
    }
  }
  return locks;
}

DiveStep next_dive_step(const Problem& p, std::span<const double> x, std::span<const double> lower,
                        std::span<const double> upper, const RoundingLocks& locks, double tolerance,
                        std::span<const double> guide) {
  DiveStep step;
  std::vector<BoundChange> roundings;
  bool all_roundable = true;
  double best_score = 0.0;
  std::int32_t best_variable = -1;
  int best_direction = kDown;
  double best_floor = 0.0;
  for (const GlobalEntity& e : p.entities) {
    const EntityKind kind = e.kind();
    if (kind != EntityKind::kInteger && kind != EntityKind::kBinary && kind != EntityKind::kPartialInteger) continue;
    const std::int32_t j = e.reference;
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    const double xv = x[v];
    if (kind == EntityKind::kPartialInteger && xv >= static_cast<double>(e.partial_integer_limit())) continue;
    if (std::fabs(xv - std::round(xv)) <= tolerance) continue;
    const double below = std::floor(xv);
    const double fraction = xv - below;
    const auto js = static_cast<std::size_t>(j);
    const bool down_free = locks.down[js] == 0;
    const bool up_free = locks.up[js] == 0;
    if (down_free || up_free) {
      // Rounded at the end, in its free direction (the nearer one when both are free).
      const bool go_up = up_free && (!down_free || fraction >= 0.5);
      roundings.push_back(go_up ? BoundChange{static_cast<std::int32_t>(v), below + 1.0, below + 1.0}
                                : BoundChange{static_cast<std::int32_t>(v), below, below});
      // Bounds the node already holds stay: a rounding outside them is no rounding.
      BoundChange& r = roundings.back();
      if (r.lower < lower[v] || r.upper > upper[v]) all_roundable = false;
      continue;
    }
    all_roundable = false;
    int direction = fraction >= 0.5 ? kUp : kDown;
    double score = std::min(fraction, 1.0 - fraction);
    if (!guide.empty()) {
      direction = guide[v] >= xv ? kUp : kDown;
      score = std::fabs(guide[v] - xv);
    }
    if (best_variable < 0 || score < best_score) {
      best_variable = static_cast<std::int32_t>(v);
      best_score = score;
      best_direction = direction;
      best_floor = below;
    }
  }
  if (best_variable < 0) {
    if (roundings.empty()) return step;  // kIntegral
    if (all_roundable) {
      step.kind = DiveStepKind::kRound;
      step.changes = std::move(roundings);
      return step;
    }
    // A free column whose rounding the node's bounds forbid: bound it like any other.
    const BoundChange& r = roundings.front();
    best_variable = r.variable;
    best_floor = std::floor(x[static_cast<std::size_t>(r.variable)]);
    best_direction = r.lower > best_floor ? kUp : kDown;
  }
  const auto bv = static_cast<std::size_t>(best_variable);
  const BoundChange down{best_variable, lower[bv], best_floor};
  const BoundChange up{best_variable, best_floor + 1.0, upper[bv]};
  step.kind = DiveStepKind::kBound;
  step.changes.push_back(best_direction == kUp ? up : down);
  step.other.push_back(best_direction == kUp ? down : up);
  return step;
}

}  // namespace kqopt
