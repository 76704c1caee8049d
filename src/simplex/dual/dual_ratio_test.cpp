// The long-step dual ratio test (dual_ratio_test.h).
#include "simplex/dual/dual_ratio_test.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kqopt {

namespace {

constexpr double kInfiniteBound = 1.0e29;
// Groups passed by rescanning all remaining candidates before the rest are sorted: one
// or two groups are the rule, and a scan is cheaper than a sort; a long step over
// thousands of boxed variables (wide problems) would otherwise scan once per group.
constexpr int kScannedGroups = 4;

// The groups after the first ones, with the candidates in ascending order of exact
// ratio: the group at position i is the run of exact ratios up to the least relaxed
// ratio of all remaining candidates, which is the suffix minimum at i. Picks the same
// groups, pivot and flips as the scan (ties in |alpha| go to the earlier candidate).
void sorted_groups(std::span<const double> lower, std::span<const double> upper, int direction, double remaining_slope,
                   std::int32_t count, const DualRatioSettings& settings, DualRatioWork& work, DualRatio& result) {
  const std::int32_t* cand = work.candidate.data();
  const double* a_of = work.signed_alpha.data();
  std::int32_t* order = work.order.data();
  const double* exact = work.exact.data();
  const double* relaxed = work.relaxed.data();
  double* suffix_min = work.suffix_min.data();
  for (std::int32_t k = 0; k < count; ++k) order[k] = k;
  std::sort(order, order + count,
            [exact](std::int32_t x, std::int32_t y) { return exact[x] < exact[y] || (exact[x] == exact[y] && x < y); });
  suffix_min[count] = std::numeric_limits<double>::infinity();
  for (std::int32_t i = count - 1; i >= 0; --i) suffix_min[i] = std::min(suffix_min[i + 1], relaxed[order[i]]);
  std::int32_t i = 0;
  while (i < count) {
    const double theta_max = suffix_min[i];
    double decrease = 0.0;
    std::int32_t best = -1;
    double best_size = 0.0;
    std::int32_t end = i;
    for (; end < count && exact[order[end]] <= theta_max; ++end) {
      const std::int32_t k = order[end];
      const auto jj = static_cast<std::size_t>(cand[k]);
      const double size = std::fabs(a_of[k]);
      if (size > best_size || (size == best_size && best >= 0 && k < best)) {
        best_size = size;
        best = k;
      }
      if (lower[jj] <= -kInfiniteBound || upper[jj] >= kInfiniteBound) {
        decrease = std::numeric_limits<double>::infinity();
      } else {
        decrease += size * (upper[jj] - lower[jj]);
      }
    }
    if (remaining_slope - decrease <= settings.slope_tolerance || best < 0) {
      if (best < 0) break;
      result.entering = cand[best];
      result.theta = exact[best];
      result.alpha = direction * a_of[best];
      return;
    }
    remaining_slope -= decrease;
    for (std::int32_t t = i; t < end; ++t) result.flips.push_back(cand[order[t]]);
    i = end;
  }
  result.flips.clear();
}

}  // namespace

void dual_ratio_test(std::span<const std::int32_t> row_index, std::span<const double> row_value,
                     std::span<const double> reduced_cost, std::span<const VariableStatus> status,
                     std::span<const double> lower, std::span<const double> upper, int direction, double slope,
                     const DualRatioSettings& settings, DualRatioWork& work, DualRatio& result) {
  result.entering = -1;
  result.theta = 0.0;
  result.alpha = 0.0;
  result.flips.clear();
  const double tol = settings.dual_feasibility_tolerance;

  // Candidates: the variables whose reduced cost moves towards the wrong sign. The
  // test is branch-free (each entry is written and the count advances by the test):
  // which entries pass is as good as random, and a mispredicted branch per entry took
  // most of this pass's time on qap12.
  std::int32_t count = 0;
  std::int32_t* cand = work.candidate.data();
  double* a_of = work.signed_alpha.data();
  const double* value = row_value.data();
  const VariableStatus* status_of = status.data();
  const double* low = lower.data();
  const double* up = upper.data();
  const double pivot_tolerance = settings.pivot_tolerance;
  for (const std::int32_t j : row_index) {
    const double alpha = value[j];
    if (std::fabs(alpha) < pivot_tolerance) continue;
    const double a = direction * alpha;
    const VariableStatus s = status_of[j];
    const bool moving = (s == VariableStatus::at_lower) & (a > 0.0);
    const bool moving_down = (s == VariableStatus::at_upper) & (a < 0.0);
    const bool free = s == VariableStatus::at_zero;
    const bool pass = (low[j] != up[j]) & (moving | moving_down | free);
    cand[count] = j;
    a_of[count] = a;
    count += static_cast<std::int32_t>(pass);
  }

  double remaining_slope = slope;
  int groups = 0;
  while (count > 0) {
    if (settings.long_steps && ++groups > kScannedGroups) {
      for (std::int32_t k = 0; k < count; ++k) {
        const double a = a_of[k];
        const double d = reduced_cost[static_cast<std::size_t>(cand[k])];
        work.exact[static_cast<std::size_t>(k)] = d / a;
        work.relaxed[static_cast<std::size_t>(k)] = (d + (a > 0.0 ? tol : -tol)) / a;
      }
      sorted_groups(lower, upper, direction, remaining_slope, count, settings, work, result);
      return;
    }
    // Smallest relaxed ratio, then the group of exact ratios within it (the exact
    // ratios are kept from the first pass instead of divided again).
    double* exact = work.exact.data();
    double theta_max = std::numeric_limits<double>::infinity();
    for (std::int32_t k = 0; k < count; ++k) {
      const double a = a_of[k];
      const double d = reduced_cost[static_cast<std::size_t>(cand[k])];
      exact[k] = d / a;
      const double relaxed = (d + (a > 0.0 ? tol : -tol)) / a;
      if (relaxed < theta_max) theta_max = relaxed;
    }
    double decrease = 0.0;
    std::int32_t best = -1;
    double best_size = 0.0;
    for (std::int32_t k = 0; k < count; ++k) {
      if (exact[k] > theta_max) continue;
      const auto jj = static_cast<std::size_t>(cand[k]);
      const double size = std::fabs(a_of[k]);
      if (size > best_size) {
        best_size = size;
        best = k;
      }
      if (lower[jj] <= -kInfiniteBound || upper[jj] >= kInfiniteBound) {
        decrease = std::numeric_limits<double>::infinity();
      } else {
        decrease += size * (upper[jj] - lower[jj]);
      }
    }
    if (!settings.long_steps || remaining_slope - decrease <= settings.slope_tolerance || best < 0) {
      if (best < 0) break;  // cannot happen: the smallest relaxed ratio has its own exact ratio below it
      result.entering = cand[best];
      result.theta = exact[best];
      result.alpha = direction * a_of[best];
      return;
    }
    // The objective still improves past the whole group: its variables flip.
    remaining_slope -= decrease;
    std::int32_t kept = 0;
    for (std::int32_t k = 0; k < count; ++k) {
      if (exact[k] <= theta_max) {
        result.flips.push_back(cand[k]);
      } else {
        cand[kept] = cand[k];
        a_of[kept] = a_of[k];
        ++kept;
      }
    }
    count = kept;
  }
  // Every breakpoint passed and the objective still rises: the dual is unbounded.
  result.flips.clear();
}

}  // namespace kqopt
