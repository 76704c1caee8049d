// Numeric supernodal factorisation and solves (see sparse_cholesky.h).
#include "barrier/cholesky/sparse_cholesky.h"

#include <algorithm>
#include <cmath>

#include "barrier/cholesky/update_kernel.h"

namespace kqopt::barrier {
namespace {

inline std::size_t u(std::int64_t i) { return static_cast<std::size_t>(i); }

constexpr double kEpsilon = 2.2e-16;
// Columns of a supernode whose update of the columns after them is applied at once. The
// cache partition's panels can be a few columns wide in a tall block, and a rank-few
// update streams the whole trailing block through memory once per panel; the panels
// of one such group update only the group's own columns.
constexpr std::int32_t kUpdateGroup = 192;
// Widest panel eliminated column by column: inside a panel the updates are rank-one
// loops, so a wide panel is split and its parts update each other through the kernel.
constexpr std::int32_t kWidestPanel = 32;

}  // namespace

SparseCholesky::SparseCholesky(SymbolicFactor symbolic, const CholeskySettings& settings)
    : s_(std::move(symbolic)), settings_(settings) {
  const auto n = u(s_.n);
  const std::int32_t ns = s_.supernodes();
  values_.assign(u(s_.stored_values()), 0.0);
  diag_.assign(n, 0.0);
  formed_.assign(n, 0.0);
  flags_.assign(n, pivot_flag::kPositive);
  map_.assign(n, 0);
  link_head_.assign(u(ns), -1);
  link_next_.assign(u(ns), -1);
  next_row_.assign(u(ns), 0);
  std::int64_t tallest = 0;
  std::int32_t widest = 0;
  for (std::int32_t sn = 0; sn < ns; ++sn) {
    tallest = std::max(tallest, block_height(sn));
    widest = std::max(widest, s_.super_start[u(sn) + 1] - s_.super_start[u(sn)]);
  }
  target_row_.assign(u(tallest), 0);
  target_column_.assign(u(tallest), 0);
  scaled_.assign(u(widest), 0.0);
  solve_work_.assign(u(tallest), 0.0);
}

std::int64_t SparseCholesky::stored_bytes() const {
  return static_cast<std::int64_t>(values_.size() * sizeof(double) + (diag_.size() + formed_.size()) * sizeof(double) +
                                   (s_.rows.size() + target_row_.size() + target_column_.size()) *
                                       sizeof(std::int32_t));
}

void SparseCholesky::zero() { std::fill(values_.begin(), values_.end(), 0.0); }

void SparseCholesky::add_diagonal(std::int32_t position, double value) {
  const std::int32_t sn = s_.super_of[u(position)];
  const std::int32_t col = position - s_.super_start[u(sn)];
  block(sn)[col * block_height(sn) + col] += value;
}

double SparseCholesky::pivot(std::int32_t k, double p) {
  const std::uint8_t flag = flags_[u(k)];
  const double formed = formed_[u(k)];
  const double tol = std::max(formed, settings_.pivot_tolerance) * kEpsilon;
  const bool positive = (flag & pivot_flag::kPositive) != 0;
  const bool negative = (flag & pivot_flag::kNegative) != 0;
  if ((flag & pivot_flag::kRegularise) != 0) {
    if (positive && p < tol) p = 1.0e4 * settings_.pivot_tolerance;
    if (negative && p > -tol) p = -1.0e4 * settings_.pivot_tolerance;
  }
  // A pivot of the expected sign that has cancelled to rounding level, or one of the
  // wrong sign, carries no information: it is dropped rather than divided by.
  bool drop = positive ? p <= tol : negative ? p >= -tol : std::fabs(p) < tol;
  // Relative drop: a pivot that lost all but a pivot tolerance's share of its formed
  // diagonal is cancellation noise (a dependent row), whose reciprocal would only spread
  // rounding errors through the rest of the factor.
  if ((flag & pivot_flag::kNoRelativeDrop) == 0 && std::fabs(p) < settings_.pivot_tolerance * std::fabs(formed)) {
    drop = true;
  }
  if (!drop) return p;
  flags_[u(k)] = static_cast<std::uint8_t>(flag | pivot_flag::kDropped);
  ++dropped_;
  return positive ? std::max(formed, 1.0) : negative ? std::min(formed, -1.0) : 1.0;
}

void SparseCholesky::factor_block(std::int32_t sn) {
  const std::int32_t f = s_.super_start[u(sn)];
  const std::int32_t w = s_.super_start[u(sn) + 1] - f;
  const std::int64_t h = block_height(sn);
  double* v = block(sn);
  const double usable = 0.95 * settings_.cache_kilobytes * 1000.0 / 8.0;
  const std::int32_t b = std::max(1, std::min({w, panel_width(h, usable), kWidestPanel}));
  const std::int32_t group = std::max(b, kUpdateGroup - kUpdateGroup % b);
  for (std::int32_t g0 = 0; g0 < w; g0 += group) {
    const std::int32_t g1 = std::min(w, g0 + group);
    for (std::int32_t k0 = g0; k0 < g1; k0 += b) {
      const std::int32_t k1 = std::min(g1, k0 + b);
      for (std::int32_t k = k0; k < k1; ++k) {
        double* col = v + k * h;
        const std::int32_t before = dropped_;
        const double p = pivot(f + k, col[k]);
        diag_[u(f + k)] = p;
        col[k] = p;
        if (dropped_ != before) {
          for (std::int64_t i = k + 1; i < h; ++i) col[i] = 0.0;
          continue;
        }
        const double inv = 1.0 / p;
        for (std::int64_t i = k + 1; i < h; ++i) col[i] *= inv;
        for (std::int32_t j = k + 1; j < k1; ++j) {
          const double t = col[j] * p;
          if (t == 0.0) continue;
          double* cj = v + j * h;
          for (std::int64_t i = j; i < h; ++i) cj[i] -= col[i] * t;
        }
      }
      // The panel's update of the rest of its group.
      if (k1 < g1) {
        ldl_update_subtract(static_cast<std::int32_t>(h - k1), g1 - k1, k1 - k0, v + k1 + k0 * h, h,
                            diag_.data() + f + k0, v + k1 * h + k1, h);
      }
    }
    // The group's update of the columns after it.
    if (g1 < w) {
      ldl_update_subtract(static_cast<std::int32_t>(h - g1), w - g1, g1 - g0, v + g1 + g0 * h, h, diag_.data() + f + g0,
                          v + g1 * h + g1, h);
    }
  }
}

void SparseCholesky::factorize() {
  const std::int32_t ns = s_.supernodes();
  dropped_ = 0;
  max_diagonal_ = 1.0;
  for (std::int32_t sn = 0; sn < ns; ++sn) {
    const std::int32_t f = s_.super_start[u(sn)];
    const std::int64_t h = block_height(sn);
    const double* v = block(sn);
    for (std::int32_t k = f; k < s_.super_start[u(sn) + 1]; ++k) {
      formed_[u(k)] = v[(k - f) * h + (k - f)];
      max_diagonal_ = std::max(max_diagonal_, std::fabs(formed_[u(k)]));
      flags_[u(k)] = static_cast<std::uint8_t>(flags_[u(k)] & ~pivot_flag::kDropped);
    }
  }
  std::fill(link_head_.begin(), link_head_.end(), -1);
  for (std::int32_t sn = 0; sn < ns; ++sn) {
    const std::int32_t f = s_.super_start[u(sn)];
    const std::int32_t l = s_.super_start[u(sn) + 1];
    const std::int64_t h = block_height(sn);
    const std::int32_t* rows = s_.rows.data() + s_.row_start[u(sn)];
    double* v = block(sn);
    for (std::int64_t i = 0; i < h; ++i) map_[u(rows[i])] = static_cast<std::int32_t>(i);
    // Updates from every earlier supernode with rows in this one's columns.
    std::int32_t d = link_head_[u(sn)];
    while (d >= 0) {
      const std::int32_t next_d = link_next_[u(d)];
      const std::int32_t fd = s_.super_start[u(d)];
      const std::int32_t wd = s_.super_start[u(d) + 1] - fd;
      const std::int64_t hd = block_height(d);
      const std::int32_t* drows = s_.rows.data() + s_.row_start[u(d)];
      const double* vd = block(d);
      const std::int64_t p0 = next_row_[u(d)];
      std::int64_t p1 = p0;
      while (p1 < hd && drows[p1] < l) ++p1;
      // Rows of d from p0 on that are consecutive positions, and consecutive rows of this
      // supernode too, take the update in place; others are scattered through the map.
      const std::int32_t first = drows[p0], last = drows[hd - 1];
      if (p0 < p1 && last - first == hd - 1 - p0 && map_[u(last)] - map_[u(first)] == last - first) {
        ldl_update_subtract(static_cast<std::int32_t>(hd - p0), static_cast<std::int32_t>(p1 - p0), wd, vd + p0, hd,
                            diag_.data() + fd, v + static_cast<std::int64_t>(first - f) * h + map_[u(first)], h);
      } else if (p0 < p1) {
        for (std::int64_t i = p0; i < hd; ++i) target_row_[u(i - p0)] = map_[u(drows[i])];
        for (std::int64_t i = p0; i < p1; ++i) target_column_[u(i - p0)] = drows[i] - f;
        ldl_update_scatter(static_cast<std::int32_t>(hd - p0), static_cast<std::int32_t>(p1 - p0), wd, vd + p0, hd,
                           diag_.data() + fd, target_row_.data(), target_column_.data(), v, h);
      }
      next_row_[u(d)] = p1;
      if (p1 < hd) {
        const std::int32_t target = s_.super_of[u(drows[p1])];
        link_next_[u(d)] = link_head_[u(target)];
        link_head_[u(target)] = d;
      }
      d = next_d;
    }
    factor_block(sn);
    const std::int32_t w = l - f;
    if (h > w) {
      next_row_[u(sn)] = w;
      const std::int32_t target = s_.super_of[u(rows[w])];
      link_next_[u(sn)] = link_head_[u(target)];
      link_head_[u(target)] = sn;
    }
  }
}

// The solves go supernode by supernode: the triangle of the block is solved in place,
// and the rectangle below it meets the rows it touches through one gathered (backward)
// or accumulated (forward) contiguous vector, four columns at a time, so that the block
// is streamed once per right-hand side and its row indices once per solve.
void SparseCholesky::forward(std::span<double> x, std::int32_t count, std::int64_t stride) const {
  const std::int32_t ns = s_.supernodes();
  double* t = solve_work_.data();
  for (std::int32_t sn = 0; sn < ns; ++sn) {
    const std::int32_t f = s_.super_start[u(sn)];
    const std::int32_t w = s_.super_start[u(sn) + 1] - f;
    const std::int64_t h = block_height(sn);
    const std::int64_t below = h - w;
    const std::int32_t* rows = s_.rows.data() + s_.row_start[u(sn)] + w;
    const double* v = values_.data() + s_.value_start[u(sn)];
    for (std::int32_t r = 0; r < count; ++r) {
      double* xs = x.data() + r * stride + f;
      for (std::int32_t j = 0; j < w; ++j) {
        const double xj = xs[j];
        if (xj == 0.0) continue;
        const double* col = v + j * h;
        for (std::int32_t i = j + 1; i < w; ++i) xs[i] -= col[i] * xj;
      }
      if (below == 0) continue;
      for (std::int64_t i = 0; i < below; ++i) t[i] = 0.0;
      std::int32_t j = 0;
      for (; j + 4 <= w; j += 4) {
        const double x0 = xs[j], x1 = xs[j + 1], x2 = xs[j + 2], x3 = xs[j + 3];
        if (x0 == 0.0 && x1 == 0.0 && x2 == 0.0 && x3 == 0.0) continue;
        const double* c0 = v + j * h + w;
        const double* c1 = c0 + h;
        const double* c2 = c1 + h;
        const double* c3 = c2 + h;
        for (std::int64_t i = 0; i < below; ++i) t[i] += c0[i] * x0 + c1[i] * x1 + c2[i] * x2 + c3[i] * x3;
      }
      for (; j < w; ++j) {
        const double xj = xs[j];
        if (xj == 0.0) continue;
        const double* c0 = v + j * h + w;
        for (std::int64_t i = 0; i < below; ++i) t[i] += c0[i] * xj;
      }
      double* xr = x.data() + r * stride;
      for (std::int64_t i = 0; i < below; ++i) xr[rows[i]] -= t[i];
    }
  }
}

void SparseCholesky::divide(std::span<double> x, std::int32_t count, std::int64_t stride) const {
  for (std::int32_t r = 0; r < count; ++r) {
    double* xr = x.data() + r * stride;
    for (std::size_t k = 0; k < diag_.size(); ++k) xr[k] /= diag_[k];
  }
}

void SparseCholesky::backward(std::span<double> x, std::int32_t count, std::int64_t stride) const {
  double* t = solve_work_.data();
  for (std::int32_t sn = s_.supernodes() - 1; sn >= 0; --sn) {
    const std::int32_t f = s_.super_start[u(sn)];
    const std::int32_t w = s_.super_start[u(sn) + 1] - f;
    const std::int64_t h = block_height(sn);
    const std::int64_t below = h - w;
    const std::int32_t* rows = s_.rows.data() + s_.row_start[u(sn)] + w;
    const double* v = values_.data() + s_.value_start[u(sn)];
    for (std::int32_t r = 0; r < count; ++r) {
      const double* xr = x.data() + r * stride;
      double* xs = x.data() + r * stride + f;
      if (below > 0) {
        for (std::int64_t i = 0; i < below; ++i) t[i] = xr[rows[i]];
        std::int32_t j = 0;
        for (; j + 4 <= w; j += 4) {
          const double* c0 = v + j * h + w;
          const double* c1 = c0 + h;
          const double* c2 = c1 + h;
          const double* c3 = c2 + h;
          double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
          for (std::int64_t i = 0; i < below; ++i) {
            s0 += c0[i] * t[i];
            s1 += c1[i] * t[i];
            s2 += c2[i] * t[i];
            s3 += c3[i] * t[i];
          }
          xs[j] -= s0;
          xs[j + 1] -= s1;
          xs[j + 2] -= s2;
          xs[j + 3] -= s3;
        }
        for (; j < w; ++j) {
          const double* c0 = v + j * h + w;
          double s0 = 0.0;
          for (std::int64_t i = 0; i < below; ++i) s0 += c0[i] * t[i];
          xs[j] -= s0;
        }
      }
      for (std::int32_t j = w - 1; j >= 0; --j) {
        const double* col = v + j * h;
        double sum = xs[j];
        for (std::int32_t i = j + 1; i < w; ++i) sum -= col[i] * xs[i];
        xs[j] = sum;
      }
    }
  }
}

void SparseCholesky::solve_positions(std::span<double> x, std::int32_t count, std::int64_t stride) const {
  forward(x, count, stride);
  divide(x, count, stride);
  backward(x, count, stride);
}

}  // namespace kqopt::barrier
