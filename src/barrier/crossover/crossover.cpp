// Crossover: basis guess from the interior point and primal pushes of the superbasics.
#include "barrier/crossover/crossover.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "problem/infinity.h"
#include "simplex/core/invert_driver.h"
#include "simplex/factor/work_vector.h"

namespace kqopt::barrier {

namespace {

inline std::size_t u(std::int64_t i) { return static_cast<std::size_t>(i); }

constexpr double kPivotTolerance = 1.0e-7;  // smallest |alpha| a push may pivot on
constexpr double kBoundTolerance = 1.0e-9;  // a value this close to a bound sits on it
constexpr double kFeasibility = 1.0e-9;     // room a basic variable may use beyond its bound

bool finite_lower(double l) { return l > -kInfinityThreshold; }
bool finite_upper(double v) { return v < kInfinityThreshold; }

class Pusher {
 public:
  Pusher(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, const FactorSettings& settings,
         CrossoverStats& stats)
      : lp_(lp), basis_(basis), factor_(factor), settings_(settings), stats_(stats), m_(lp.rows) {
    work_.resize(m_);
    rhs_.assign(u(m_), 0.0);
  }

  // INVERT of the current header; the values of the nonbasic variables stay in val.
  bool refactorise(std::vector<double>& val) {
    InvertReport report;
    const FactorStatus status = invert_basis(lp_, lp_.lower, lp_.upper, basis_, factor_, settings_, report);
    ++stats_.refactorisations;
    for (const std::int32_t c : report.columns_replaced) stats_.logicals_for_dependent += c;
    if (status != FactorStatus::ok) return false;
    basic_values(val);
    return true;
  }

  // x_B = B^-1 (rhs - N x_N) with x_N from val.
  void basic_values(std::vector<double>& val) {
    for (std::int32_t i = 0; i < m_; ++i) rhs_[u(i)] = lp_.rhs[u(i)];
    const std::int32_t total = lp_.variables();
    for (std::int32_t v = 0; v < total; ++v) {
      if (basis_.status[u(v)] == VariableStatus::basic || val[u(v)] == 0.0) continue;
      subtract_column(v, val[u(v)]);
    }
    work_.load_dense(rhs_);
    factor_.ftran(work_);
    const auto w = work_.values();
    for (std::int32_t p = 0; p < m_; ++p) val[u(basis_.header[u(p)])] = w[u(p)];
  }

  // Moves superbasic v to a bound. Returns false when the factorisation failed.
  bool push(std::int32_t v, double reduced_cost, std::vector<double>& val) {
    const double lo = lp_.lower[u(v)], up = lp_.upper[u(v)];
    int dir = reduced_cost > 0.0 ? -1 : 1;
    if (dir < 0 && !finite_lower(lo) && finite_upper(up)) dir = 1;
    if (dir > 0 && !finite_upper(up) && finite_lower(lo)) dir = -1;
    load_column(v);
    factor_.ftran(work_, true);
    for (int attempt = 0; attempt < 2; ++attempt, dir = -dir) {
      const double own =
          dir < 0 ? (finite_lower(lo) ? val[u(v)] - lo : kInfinity) : (finite_upper(up) ? up - val[u(v)] : kInfinity);
      std::int32_t block = -1;
      bool block_upper = false;
      const double theta = ratio_test(dir, val, block, block_upper);
      if (own >= kInfinity && block < 0) continue;  // unbounded this way: try the other
      const auto w = work_.values();
      const double t = std::min(own, theta);
      for (std::int32_t p = 0; p < m_; ++p) {
        if (w[u(p)] != 0.0) val[u(basis_.header[u(p)])] -= t * dir * w[u(p)];
      }
      ++stats_.primal_pushes;
      if (own <= theta) {
        val[u(v)] = dir < 0 ? lo : up;
        basis_.status[u(v)] = dir < 0 ? VariableStatus::at_lower : VariableStatus::at_upper;
        return true;
      }
      val[u(v)] += t * dir;
      return exchange(v, block, block_upper, val);
    }
    ++stats_.unpushed;
    return true;
  }

 private:
  void subtract_column(std::int32_t v, double xv) {
    if (v < m_) {
      rhs_[u(v)] -= xv;
      return;
    }
    const std::int32_t j = v - m_;
    for (std::int32_t k = lp_.column_start[u(j)]; k < lp_.column_start[u(j) + 1]; ++k) {
      rhs_[u(lp_.row_index[u(k)])] -= lp_.value[u(k)] * xv;
    }
  }

  void load_column(std::int32_t v) {
    if (v < m_) {
      work_.set_unit(v, 1.0);
      return;
    }
    const std::int32_t j = v - m_;
    const auto b = u(lp_.column_start[u(j)]), e = u(lp_.column_start[u(j) + 1]);
    work_.load_sparse({lp_.row_index.data() + b, e - b}, {lp_.value.data() + b, e - b});
  }

  // Two passes: the step bound with the room relaxed by kFeasibility, then among the
  // blocking rows within it the largest pivot.
  double ratio_test(int dir, const std::vector<double>& val, std::int32_t& block, bool& block_upper) const {
    const auto w = work_.values();
    double theta1 = kInfinity;
    for (std::int32_t p = 0; p < m_; ++p) {
      const double a = w[u(p)];
      if (std::fabs(a) < kPivotTolerance) continue;
      const std::int32_t b = basis_.header[u(p)];
      const double delta = -dir * a;  // change of x_b per unit step
      if (delta < 0.0 && finite_lower(lp_.lower[u(b)])) {
        theta1 = std::min(theta1, (std::max(0.0, val[u(b)] - lp_.lower[u(b)]) + kFeasibility) / -delta);
      } else if (delta > 0.0 && finite_upper(lp_.upper[u(b)])) {
        theta1 = std::min(theta1, (std::max(0.0, lp_.upper[u(b)] - val[u(b)]) + kFeasibility) / delta);
      }
    }
    if (theta1 >= kInfinity) return kInfinity;
    double best = 0.0, theta = kInfinity;
    for (std::int32_t p = 0; p < m_; ++p) {
      const double a = w[u(p)];
      if (std::fabs(a) < kPivotTolerance) continue;
      const std::int32_t b = basis_.header[u(p)];
      const double delta = -dir * a;
      double room;
      bool upper;
      if (delta < 0.0 && finite_lower(lp_.lower[u(b)])) {
        room = std::max(0.0, val[u(b)] - lp_.lower[u(b)]) / -delta;
        upper = false;
      } else if (delta > 0.0 && finite_upper(lp_.upper[u(b)])) {
        room = std::max(0.0, lp_.upper[u(b)] - val[u(b)]) / delta;
        upper = true;
      } else {
        continue;
      }
      if (room <= theta1 && std::fabs(a) > best) {
        best = std::fabs(a);
        theta = room;
        block = p;
        block_upper = upper;
      }
    }
    return theta;
  }

  bool exchange(std::int32_t v, std::int32_t p, bool at_upper, std::vector<double>& val) {
    const std::int32_t leaving = basis_.header[u(p)];
    val[u(leaving)] = at_upper ? lp_.upper[u(leaving)] : lp_.lower[u(leaving)];
    basis_.status[u(leaving)] = at_upper ? VariableStatus::at_upper : VariableStatus::at_lower;
    if (lp_.upper[u(leaving)] == lp_.lower[u(leaving)]) basis_.status[u(leaving)] = VariableStatus::at_lower;
    basis_.status[u(v)] = VariableStatus::basic;
    basis_.position[u(leaving)] = -1;
    basis_.position[u(v)] = p;
    ++stats_.basis_changes;
    bool keep = !factor_.refactor_due(settings_);
    if (keep) {
      UpdateReport report;
      keep = factor_.update(p, work_, settings_, report) == UpdateStatus::done;
    }
    basis_.header[u(p)] = v;
    if (keep) return true;
    return refactorise(val);
  }

  const WorkingLp& lp_;
  SimplexBasis& basis_;
  Factor& factor_;
  const FactorSettings& settings_;
  CrossoverStats& stats_;
  std::int32_t m_;
  WorkVector work_;
  std::vector<double> rhs_;
};

// Distance of value to the nearer finite bound (infinite for a free variable).
double bound_distance(double value, double lo, double up) {
  double d = kInfinity;
  if (finite_lower(lo)) d = std::min(d, value - lo);
  if (finite_upper(up)) d = std::min(d, up - value);
  return std::max(d, 0.0);
}

VariableStatus nearer_bound(double value, double lo, double up) {
  if (finite_lower(lo) && finite_upper(up))
    return value - lo <= up - value ? VariableStatus::at_lower : VariableStatus::at_upper;
  if (finite_lower(lo)) return VariableStatus::at_lower;
  if (finite_upper(up)) return VariableStatus::at_upper;
  return VariableStatus::at_zero;
}

bool on_status_bound(double value, VariableStatus s, double lo, double up) {
  switch (s) {
    case VariableStatus::at_lower:
      return std::fabs(value - lo) <= kBoundTolerance * (1.0 + std::fabs(lo));
    case VariableStatus::at_upper:
      return std::fabs(value - up) <= kBoundTolerance * (1.0 + std::fabs(up));
    case VariableStatus::at_zero:
      return value == 0.0;
    default:
      return true;
  }
}

}  // namespace

CrossoverEnd crossover(const WorkingLp& lp, std::span<const double> x, std::span<const double> reduced_cost,
                       SimplexBasis& basis, Factor& factor, const FactorSettings& settings, CrossoverStats& stats) {
  const std::int32_t m = lp.rows;
  const std::int32_t total = lp.variables();
  std::vector<double> val(u(total));
  for (std::int32_t v = 0; v < total; ++v) {
    val[u(v)] = std::clamp(x[u(v)], lp.lower[u(v)], std::max(lp.lower[u(v)], lp.upper[u(v)]));
  }
  // Basis guess: the m variables whose distance to a bound is largest against their
  // reduced cost; fixed variables never.
  std::vector<double> score(u(total));
  for (std::int32_t v = 0; v < total; ++v) {
    const double lo = lp.lower[u(v)], up = lp.upper[u(v)];
    if (lo == up) {
      score[u(v)] = -1.0;
      continue;
    }
    const double dist = bound_distance(val[u(v)], lo, up);
    score[u(v)] = dist >= kInfinity ? 1.0e300 : dist / (std::fabs(reduced_cost[u(v)]) + 1.0e-12);
  }
  std::vector<std::int32_t> order(u(total));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::int32_t a, std::int32_t b) { return score[u(a)] > score[u(b)]; });
  basis.header.assign(order.begin(), order.begin() + m);
  basis.status.assign(u(total), VariableStatus::at_lower);
  basis.x.assign(u(total), 0.0);
  for (std::int32_t v = 0; v < total; ++v) {
    basis.status[u(v)] = nearer_bound(val[u(v)], lp.lower[u(v)], lp.upper[u(v)]);
  }
  for (const std::int32_t v : basis.header) basis.status[u(v)] = VariableStatus::basic;
  basis.index_positions(total);

  factor.start_run(settings);
  Pusher pusher(lp, basis, factor, settings, stats);
  if (!pusher.refactorise(val)) return CrossoverEnd::factor_failed;
  // Nonbasic variables within the tolerance of a bound sit on it; the basic values follow.
  bool snapped = false;
  for (std::int32_t v = 0; v < total; ++v) {
    const VariableStatus s = basis.status[u(v)];
    if (s == VariableStatus::basic) continue;
    const double lo = lp.lower[u(v)], up = lp.upper[u(v)];
    if (on_status_bound(val[u(v)], s, lo, up)) {
      const double target = s == VariableStatus::at_lower ? lo : s == VariableStatus::at_upper ? up : 0.0;
      snapped = snapped || val[u(v)] != target;
      val[u(v)] = target;
    }
  }
  if (snapped) pusher.basic_values(val);
  std::vector<std::int32_t> superbasic;
  for (std::int32_t v = 0; v < total; ++v) {
    const VariableStatus s = basis.status[u(v)];
    if (s != VariableStatus::basic && !on_status_bound(val[u(v)], s, lp.lower[u(v)], lp.upper[u(v)])) {
      superbasic.push_back(v);
    }
  }
  stats.superbasics = static_cast<std::int32_t>(superbasic.size());
  for (const std::int32_t v : superbasic) {
    if (basis.status[u(v)] == VariableStatus::basic) continue;
    if (!pusher.push(v, reduced_cost[u(v)], val)) return CrossoverEnd::factor_failed;
  }
  // The simplex's own view of the basis: nonbasic variables on their bounds, x_B afresh.
  InvertReport report;
  if (invert_basis(lp, lp.lower, lp.upper, basis, factor, settings, report) != FactorStatus::ok) {
    return CrossoverEnd::factor_failed;
  }
  ++stats.refactorisations;
  return CrossoverEnd::ok;
}

}  // namespace kqopt::barrier
