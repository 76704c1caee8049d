// Dependent rows of the library LP: detection, removal and the consistency test.
#include "barrier/homogeneous/dependent_rows.h"

#include <algorithm>
#include <cmath>

namespace kqopt::barrier {

namespace {
inline std::size_t u(std::int64_t i) { return static_cast<std::size_t>(i); }
constexpr double kDependentPivot = 1.0e-9;

// max |b_r - a_r x0| over the rows r, x0 = A' w.
double residual_at(const BarrierLp& full, const std::vector<double>& w, const std::vector<std::int32_t>& rows) {
  std::vector<double> x0(u(full.n), 0.0);
  for (std::int32_t j = 0; j < full.n; ++j) {
    double s = 0.0;
    for (std::int64_t k = full.start[u(j)]; k < full.start[u(j) + 1]; ++k) s += full.value[u(k)] * w[u(full.row[u(k)])];
    x0[u(j)] = s;
  }
  std::vector<double> activity(u(full.m), 0.0);
  for (std::int32_t j = 0; j < full.n; ++j) {
    for (std::int64_t k = full.start[u(j)]; k < full.start[u(j) + 1]; ++k) {
      activity[u(full.row[u(k)])] += full.value[u(k)] * x0[u(j)];
    }
  }
  double worst = 0.0;
  for (const std::int32_t r : rows) worst = std::max(worst, std::fabs(full.b[u(r)] - activity[u(r)]));
  return worst;
}
}  // namespace

std::vector<std::int32_t> dependent_rows(KktFactor& kkt, const BarrierLp& lp) {
  std::vector<std::int32_t> rows;
  const std::vector<double> ones(u(lp.n), 1.0);
  // Rounding in a large factor leaves a dependent row's pivot well above the machine
  // precision of its formed diagonal; with unit weights an independent row keeps a pivot
  // far above this tolerance.
  const double tolerance = kkt.pivot_tolerance();
  kkt.set_pivot_tolerance(std::max(tolerance, kDependentPivot));
  const bool factored = kkt.numfac(ones) == kKktOk;
  kkt.set_pivot_tolerance(tolerance);
  if (!factored) return rows;
  const SparseCholesky* chol = kkt.cholesky();
  if (chol == nullptr || chol->dropped() == 0) return rows;
  const SymbolicFactor& s = chol->symbolic();
  for (std::int32_t k = 0; k < s.n; ++k) {
    if (chol->dropped_at(k)) rows.push_back(s.perm[u(k)]);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

BarrierLp without_rows(const BarrierLp& lp, const std::vector<std::int32_t>& rows) {
  std::vector<std::int32_t> map(u(lp.m), 0);
  for (const std::int32_t r : rows) map[u(r)] = -1;
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < lp.m; ++i) {
    if (map[u(i)] == 0) map[u(i)] = kept++;
  }
  BarrierLp out = lp;
  out.m = kept;
  out.b.assign(u(kept), 0.0);
  for (std::int32_t i = 0; i < lp.m; ++i) {
    if (map[u(i)] >= 0) out.b[u(map[u(i)])] = lp.b[u(i)];
  }
  out.start.assign(1, 0);
  out.row.clear();
  out.value.clear();
  for (std::int32_t j = 0; j < lp.n; ++j) {
    for (std::int64_t k = lp.start[u(j)]; k < lp.start[u(j) + 1]; ++k) {
      const std::int32_t r = map[u(lp.row[u(k)])];
      if (r < 0) continue;
      out.row.push_back(r);
      out.value.push_back(lp.value[u(k)]);
    }
    out.start.push_back(static_cast<std::int64_t>(out.row.size()));
  }
  for (std::int32_t& r : out.kept_row) {
    if (r >= 0) r = map[u(r)];
  }
  return out;
}

double removed_row_residual(KktFactor& kkt, const BarrierLp& full, const std::vector<std::int32_t>& rows) {
  std::vector<double> w(u(full.m), 0.0);
  if (!kkt.solve_kept_rows(full.b, w)) return -1.0;
  return residual_at(full, w, rows);
}

double removed_row_residual(KktFactor& kkt, const BarrierLp& full, const BarrierLp& reduced,
                            const std::vector<std::int32_t>& rows) {
  const std::vector<double> ones(u(reduced.n), 1.0);
  if (kkt.numfac(ones) != kKktOk) return 0.0;
  std::vector<double> w(u(reduced.m), 0.0);
  kkt.solve(reduced.b, w);
  return residual_at(full, spread_over_rows(w, full.m, rows), rows);
}

std::vector<double> spread_over_rows(const std::vector<double>& kept, std::int32_t m,
                                     const std::vector<std::int32_t>& removed) {
  std::vector<double> out(u(m), 0.0);
  std::size_t d = 0;
  std::int32_t next = 0;
  for (std::int32_t i = 0; i < m; ++i) {
    if (d < removed.size() && removed[d] == i) {
      ++d;
      continue;
    }
    out[u(i)] = kept[u(next++)];
  }
  return out;
}

}  // namespace kqopt::barrier
