// The primal iteration's column transformation, ratio test, step and basis change.
#include "simplex/primal/primal_step.h"

#include <algorithm>
#include <cmath>

#include "problem/infinity.h"

namespace kqopt {

namespace {

// The entries of a work vector to visit: its nonzero list in the sparse state, all
// m entries otherwise.
struct Entries {
  const double* value;
  const std::int32_t* list;
  std::int32_t count;
  std::int32_t operator[](std::int32_t k) const { return list != nullptr ? list[k] : k; }
};

Entries entries_of(const WorkVector& w) {
  const bool listed = w.state() == WorkVectorState::sparse;
  return {w.values().data(), listed ? w.nonzeros().data() : nullptr, listed ? w.nonzero_count() : w.size()};
}

}  // namespace

void transform_entering_column(const WorkingLp& lp, Factor& factor, std::int32_t q, WorkVector& alpha) {
  if (q < lp.rows) {
    alpha.set_unit(q, 1.0);
  } else {
    const auto col = static_cast<std::size_t>(q - lp.rows);
    const auto begin = static_cast<std::size_t>(lp.column_start[col]);
    const auto end = static_cast<std::size_t>(lp.column_start[col + 1]);
    alpha.load_sparse({lp.row_index.data() + begin, end - begin}, {lp.value.data() + begin, end - begin});
  }
  factor.ftran(alpha, true);
}

Step primal_ratio_test(const SimplexBasis& basis, std::span<const double> lower, std::span<const double> upper,
                       const WorkVector& alpha_vector, std::int32_t q, int direction,
                       const RatioTestSettings& settings) {
  RatioTestWork work;
  return primal_ratio_test(basis, lower, upper, alpha_vector, q, direction, settings, work);
}

Step primal_ratio_test(const SimplexBasis& basis, std::span<const double> lower, std::span<const double> upper,
                       const WorkVector& alpha_vector, std::int32_t q, int direction, const RatioTestSettings& settings,
                       RatioTestWork& work) {
  const double tol = settings.feasibility_tolerance;
  const auto qq = static_cast<std::size_t>(q);
  const double range = upper[qq] - lower[qq];
  const bool q_bounded = lower[qq] > -kInfinity && upper[qq] < kInfinity;
  const Entries alpha = entries_of(alpha_vector);
  const auto rows = static_cast<std::size_t>(alpha_vector.size());
  if (work.position.size() < rows) {
    work.position.resize(rows);
    work.ratio.resize(rows);
    work.size.resize(rows);
    work.at_upper.resize(rows);
  }
  std::int32_t* candidate = work.position.data();
  double* exact_ratio = work.ratio.data();
  double* candidate_size = work.size.data();
  char* candidate_at_upper = work.at_upper.data();
  std::int32_t candidates = 0;

  // Every entry above the absolute tolerance limits the step, so that no basic
  // variable passes a bound; only the choice of the pivot is held to the relative
  // tolerance. The floor also rises with the largest entry, found in the same pass as
  // theta1; in the rare case it rises above the absolute tolerance the pass is repeated.
  double pivot_floor = settings.pivot_tolerance;
  double alpha_max = 0.0;
  double theta1 = kInfinity;
  for (int attempt = 0; attempt < 2; ++attempt) {
    // Pass 1: the relaxed step, and the exact ratio of every entry that can stop it.
    theta1 = q_bounded ? range : kInfinity;
    candidates = 0;
    for (std::int32_t k = 0; k < alpha.count; ++k) {
      const std::int32_t p = alpha[k];
      const double a = alpha.value[p];
      const double size = std::fabs(a);
      alpha_max = std::max(alpha_max, size);
      if (size < pivot_floor) continue;
      const double delta = -direction * a;
      const auto v = static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)]);
      const double xv = basis.x[v];
      double distance;
      bool at_upper;
      if (delta < 0.0) {
        if (xv > upper[v] + tol) {
          distance = xv - upper[v];
          at_upper = true;
        } else if (lower[v] > -kInfinity && xv >= lower[v] - tol) {
          distance = xv - lower[v];
          at_upper = false;
        } else {
          continue;
        }
      } else {
        if (xv < lower[v] - tol) {
          distance = lower[v] - xv;
          at_upper = false;
        } else if (upper[v] < kInfinity && xv <= upper[v] + tol) {
          distance = upper[v] - xv;
          at_upper = true;
        } else {
          continue;
        }
      }
      const double rate = std::fabs(delta);
      theta1 = std::min(theta1, (distance + tol) / rate);
      candidate[candidates] = p;
      exact_ratio[candidates] = distance / rate;
      candidate_size[candidates] = size;
      candidate_at_upper[candidates] = at_upper;
      ++candidates;
    }
    if (alpha_max * 1.0e-11 <= pivot_floor) break;
    pivot_floor = alpha_max * 1.0e-11;
  }
  if (theta1 >= kInfinity) {
    Step step;
    step.kind = StepKind::unbounded;
    return step;
  }

  // Pass 2: among the exact ratios within theta1, the largest |alpha|.
  Step best;
  double best_alpha = 0.0;
  for (std::int32_t k = 0; k < candidates; ++k) {
    const double ratio = exact_ratio[k];
    if (ratio > theta1) continue;
    const double size = candidate_size[k];
    if (size > best_alpha || (size == best_alpha && ratio < best.theta)) {
      best_alpha = size;
      best.kind = StepKind::pivot;
      best.position = candidate[k];
      best.theta = std::max(ratio, 0.0);
      best.shift_bound = ratio < 0.0;
      best.leaves_at_upper = candidate_at_upper[k] != 0;
    }
  }
  if (best.kind != StepKind::pivot) {
    Step step;
    if (q_bounded && range <= theta1) {
      step.kind = StepKind::flip;
      step.theta = range;
    } else {
      step.kind = StepKind::unbounded;
    }
    return step;
  }
  if (q_bounded && range < best.theta) {
    Step flip;
    flip.kind = StepKind::flip;
    flip.theta = range;
    return flip;
  }
  // Pivot acceptance relative to the largest entry of the column.
  if (best.theta >= 10000.0 || best_alpha >= alpha_max * settings.relative_pivot_tolerance || settings.lenient) {
    return best;
  }
  Step rejected;
  rejected.kind = StepKind::rejected;
  return rejected;
}

void move_basic_values(SimplexBasis& basis, const WorkVector& alpha_vector, int direction, double theta) {
  if (theta == 0.0) return;
  const Entries alpha = entries_of(alpha_vector);
  for (std::int32_t k = 0; k < alpha.count; ++k) {
    const std::int32_t p = alpha[k];
    const auto v = static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)]);
    basis.x[v] -= direction * theta * alpha.value[p];
  }
}

void flip_to_other_bound(SimplexBasis& basis, std::span<const double> lower, std::span<const double> upper,
                         std::int32_t q) {
  const auto qq = static_cast<std::size_t>(q);
  const bool to_upper = basis.status[qq] != VariableStatus::at_upper;
  basis.status[qq] = to_upper ? VariableStatus::at_upper : VariableStatus::at_lower;
  basis.x[qq] = to_upper ? upper[qq] : lower[qq];
}

bool exchange_basis(SimplexBasis& basis, Factor& factor, const WorkVector& alpha, std::int32_t q, const Step& step,
                    std::span<const double> lower, std::span<const double> upper, const FactorSettings& settings) {
  const std::int32_t p = step.position;
  const auto qq = static_cast<std::size_t>(q);
  const auto leaving = static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)]);
  basis.status[leaving] = step.leaves_at_upper ? VariableStatus::at_upper : VariableStatus::at_lower;
  if (upper[leaving] == lower[leaving]) basis.status[leaving] = VariableStatus::at_lower;
  basis.status[qq] = VariableStatus::basic;
  basis.position[leaving] = -1;
  basis.position[qq] = p;

  bool keep_factor = !factor.refactor_due(settings);
  if (keep_factor) {
    UpdateReport report;
    keep_factor = factor.update(p, alpha, settings, report) == UpdateStatus::done;
  }
  basis.header[static_cast<std::size_t>(p)] = q;
  return keep_factor;
}

}  // namespace kqopt
