// The long-step dual ratio test (dual_ratio_test.h).
#include "simplex/dual/dual_ratio_test.h"

#include <cmath>
#include <limits>

namespace kqopt {

namespace {
constexpr double kInfiniteBound = 1.0e29;
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

  // Candidates: the variables whose reduced cost moves towards the wrong sign.
  std::int32_t count = 0;
  std::int32_t* cand = work.candidate.data();
  double* a_of = work.signed_alpha.data();
  for (const std::int32_t j : row_index) {
    const auto jj = static_cast<std::size_t>(j);
    const double alpha = row_value[jj];
    if (std::fabs(alpha) < settings.pivot_tolerance) continue;
    if (lower[jj] == upper[jj]) continue;
    const double a = direction * alpha;
    const VariableStatus s = status[jj];
    if ((s == VariableStatus::at_lower && a > 0.0) || (s == VariableStatus::at_upper && a < 0.0) ||
        s == VariableStatus::at_zero) {
      cand[count] = j;
      a_of[count] = a;
      ++count;
    }
  }

  double remaining_slope = slope;
  while (count > 0) {
    // Smallest relaxed ratio, then the group of exact ratios within it.
    double theta_max = std::numeric_limits<double>::infinity();
    for (std::int32_t k = 0; k < count; ++k) {
      const double a = a_of[k];
      const double d = reduced_cost[static_cast<std::size_t>(cand[k])];
      const double relaxed = (d + (a > 0.0 ? tol : -tol)) / a;
      if (relaxed < theta_max) theta_max = relaxed;
    }
    double decrease = 0.0;
    std::int32_t best = -1;
    double best_size = 0.0;
    for (std::int32_t k = 0; k < count; ++k) {
      const auto jj = static_cast<std::size_t>(cand[k]);
      const double a = a_of[k];
      if (reduced_cost[jj] / a > theta_max) continue;
      const double size = std::fabs(a);
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
      const auto q = static_cast<std::size_t>(cand[best]);
      result.entering = cand[best];
      result.theta = reduced_cost[q] / a_of[best];
      result.alpha = direction * a_of[best];
      return;
    }
    // The objective still improves past the whole group: its variables flip.
    remaining_slope -= decrease;
    std::int32_t kept = 0;
    for (std::int32_t k = 0; k < count; ++k) {
      const auto jj = static_cast<std::size_t>(cand[k]);
      if (reduced_cost[jj] / a_of[k] <= theta_max) {
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
