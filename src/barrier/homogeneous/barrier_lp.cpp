// The interior-point method's copy of the LP: set-up from the engine's form and recovery.
#include "barrier/homogeneous/barrier_lp.h"

#include <cmath>

namespace kqopt::barrier {

namespace {
inline std::size_t u(std::int64_t i) { return static_cast<std::size_t>(i); }
}  // namespace

bool is_infinite_bound(double v) { return std::fabs(v) >= 1.0e29; }

std::int32_t BarrierLp::free_columns() const {
  std::int32_t count = 0;
  for (const ColumnKind k : kind) count += k == ColumnKind::free ? 1 : 0;
  return count;
}

std::int32_t BarrierLp::bounded_columns() const {
  std::int32_t count = 0;
  for (const ColumnKind k : kind) count += k == ColumnKind::bounded ? 1 : 0;
  return count;
}

BarrierLp build_barrier_lp(const EngineLpView& lp, double fixing_tolerance) {
  BarrierLp out;
  const std::int32_t m = lp.m;
  const std::int32_t total = lp.m + lp.n;
  out.kept_row.assign(u(m), -1);
  out.fixed.assign(u(total), 0);
  out.fixed_value.assign(u(total), 0.0);
  for (std::int32_t i = 0; i < m; ++i) {
    if (is_infinite_bound(lp.lower[u(i)]) && is_infinite_bound(lp.upper[u(i)])) continue;
    out.kept_row[u(i)] = out.m++;
  }
  out.b.assign(u(out.m), 0.0);
  for (std::int32_t i = 0; i < m; ++i) {
    if (out.kept_row[u(i)] >= 0) out.b[u(out.kept_row[u(i)])] = lp.rhs[u(i)];
  }
  out.start.push_back(0);
  for (std::int32_t v = 0; v < total; ++v) {
    const double lo = lp.lower[u(v)], up = lp.upper[u(v)];
    const bool has_lo = !is_infinite_bound(lo), has_up = !is_infinite_bound(up);
    const double cost = lp.cost[u(v)];
    // Entries of the variable's column restricted to kept rows.
    auto for_entries = [&](auto&& f) {
      if (v < m) {
        if (out.kept_row[u(v)] >= 0) f(out.kept_row[u(v)], 1.0);
        return;
      }
      const std::int32_t j = v - m;
      for (std::int32_t k = lp.column_start[u(j)]; k < lp.column_start[u(j) + 1]; ++k) {
        const std::int32_t r = out.kept_row[u(lp.row_index[u(k)])];
        if (r >= 0 && lp.value[u(k)] != 0.0) f(r, lp.value[u(k)]);
      }
    };
    if (v < m && out.kept_row[u(v)] < 0) continue;  // the logical of a dropped row
    if (has_lo && has_up && up - lo <= fixing_tolerance) {
      out.fixed[u(v)] = 1;
      out.fixed_value[u(v)] = lo;
      if (lo != 0.0) {
        for_entries([&](std::int32_t r, double a) { out.b[u(r)] -= a * lo; });
        out.constant += cost * lo;
      }
      continue;
    }
    double shift = 0.0, sign = 1.0;
    ColumnKind kind = ColumnKind::free;
    if (has_lo) {
      shift = lo;
      kind = has_up ? ColumnKind::bounded : ColumnKind::nonnegative;
    } else if (has_up) {
      shift = up;
      sign = -1.0;
      kind = ColumnKind::nonnegative;
    }
    for_entries([&](std::int32_t r, double a) {
      out.row.push_back(r);
      out.value.push_back(sign * a);
      if (shift != 0.0) out.b[u(r)] -= a * shift;
    });
    out.start.push_back(static_cast<std::int64_t>(out.row.size()));
    out.c.push_back(sign * cost);
    out.constant += cost * shift;
    out.u.push_back(kind == ColumnKind::bounded ? up - lo : 0.0);
    out.kind.push_back(kind);
    out.source.push_back(v);
    out.shift.push_back(shift);
    out.sign.push_back(sign);
    ++out.n;
  }
  return out;
}

void recover_engine_solution(const EngineLpView& lp, const BarrierLp& blp, std::span<const double> x,
                             std::span<const double> y, std::span<double> engine_x, std::span<double> pi,
                             std::span<double> reduced_cost) {
  const std::int32_t m = lp.m;
  const std::int32_t total = lp.m + lp.n;
  for (std::int32_t v = 0; v < total; ++v) engine_x[u(v)] = blp.fixed_value[u(v)];
  for (std::int32_t k = 0; k < blp.n; ++k) {
    engine_x[u(blp.source[u(k)])] = blp.shift[u(k)] + blp.sign[u(k)] * x[u(k)];
  }
  for (std::int32_t i = 0; i < m; ++i) {
    const std::int32_t r = blp.kept_row[u(i)];
    pi[u(i)] = r >= 0 ? y[u(r)] : 0.0;
  }
  // A dropped row's logical takes what its row leaves over.
  std::vector<double> activity(u(m), 0.0);
  for (std::int32_t j = 0; j < lp.n; ++j) {
    const double xj = engine_x[u(m + j)];
    double d = lp.cost[u(m + j)];
    for (std::int32_t k = lp.column_start[u(j)]; k < lp.column_start[u(j) + 1]; ++k) {
      activity[u(lp.row_index[u(k)])] += lp.value[u(k)] * xj;
      d -= lp.value[u(k)] * pi[u(lp.row_index[u(k)])];
    }
    reduced_cost[u(m + j)] = d;
  }
  for (std::int32_t i = 0; i < m; ++i) {
    if (blp.kept_row[u(i)] < 0) engine_x[u(i)] = lp.rhs[u(i)] - activity[u(i)];
    reduced_cost[u(i)] = lp.cost[u(i)] - pi[u(i)];
  }
}

}  // namespace kqopt::barrier
