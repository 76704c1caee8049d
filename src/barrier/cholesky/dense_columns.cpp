// Dense-column detection and correction (see dense_columns.h).
#include "barrier/cholesky/dense_columns.h"

#include <algorithm>
#include <cmath>

namespace kqopt::barrier {
namespace {
inline std::size_t u(std::int64_t i) { return static_cast<std::size_t>(i); }
}  // namespace

std::vector<std::int32_t> find_dense_columns(const PatternView& a, std::int32_t threshold) {
  std::vector<std::int32_t> dense;
  if (threshold <= 0 || a.n == 0) return dense;
  const std::int32_t t0 = threshold < 21 ? 20 : threshold;
  auto length = [&](std::int32_t j) { return a.start[u(j) + 1] - a.start[u(j)]; };

  // Rows long enough to make every column through them look dense leave the counts.
  std::vector<std::int64_t> row_length(u(a.m), 0);
  std::vector<std::int8_t> singleton_row(u(a.m), 0);
  std::int64_t nonzeros = 0;
  std::int64_t non_singleton = 0;
  for (std::int32_t j = 0; j < a.n; ++j) {
    const std::int64_t len = length(j);
    nonzeros += len;
    if (len == 1) {
      singleton_row[u(a.row[u(a.start[u(j)])])] = 1;
      continue;
    }
    if (len > 1) ++non_singleton;
    for (std::int64_t p = a.start[u(j)]; p < a.start[u(j) + 1]; ++p) ++row_length[u(a.row[u(p)])];
  }
  const double long_row = std::max(100.0, 10.0 * static_cast<double>(nonzeros) / std::max(1, a.m));
  const double share = 0.1 * static_cast<double>(std::min<std::int64_t>(a.m + 1, non_singleton + 1));
  std::vector<std::int8_t> dense_row(u(a.m), 0);
  for (std::int32_t i = 0; i < a.m; ++i) {
    const auto len = static_cast<double>(row_length[u(i)]);
    dense_row[u(i)] = len > long_row && len > share;
  }
  std::vector<std::int64_t> kept(u(a.n), 0);
  std::int64_t remaining = 0;
  for (std::int32_t j = 0; j < a.n; ++j) {
    for (std::int64_t p = a.start[u(j)]; p < a.start[u(j) + 1]; ++p) kept[u(j)] += dense_row[u(a.row[u(p)])] == 0;
    remaining += kept[u(j)];
  }
  const double avg = static_cast<double>(remaining) / (a.n + 1);
  std::vector<std::int32_t> candidates;
  for (std::int32_t j = 0; j < a.n; ++j) {
    const auto len = static_cast<double>(kept[u(j)]);
    if ((len >= t0 && len > 3.0 * avg) || len > 6.0 * avg) candidates.push_back(j);
  }
  const auto k = static_cast<std::int64_t>(candidates.size());
  if (k <= 9) return candidates;

  double bar = 0.0;
  if (k > 1000) {
    bar = 100.0 * avg;
  } else if (k > 100) {
    bar = 50.0 * avg;
  } else if (k > 50) {
    bar = 20.0 * avg;
  } else {
    bar = (10.0 + 10.0 * static_cast<double>(k - 10) / 40.0) * avg;
  }
  std::int32_t longest = candidates.front();
  for (const std::int32_t j : candidates) {
    if (kept[u(j)] > kept[u(longest)]) longest = j;
  }
  std::vector<std::int8_t> in_longest(u(a.m), 0);
  for (std::int64_t p = a.start[u(longest)]; p < a.start[u(longest) + 1]; ++p) in_longest[u(a.row[u(p)])] = 1;
  for (const std::int32_t j : candidates) {
    if (static_cast<double>(kept[u(j)]) < bar) continue;
    const std::int64_t len = length(j);
    std::int64_t on_singleton = 0, shared = 0;
    for (std::int64_t p = a.start[u(j)]; p < a.start[u(j) + 1]; ++p) {
      on_singleton += singleton_row[u(a.row[u(p)])];
      shared += in_longest[u(a.row[u(p)])];
    }
    if (static_cast<double>(on_singleton) >= 0.95 * static_cast<double>(len)) continue;
    if (j != longest && static_cast<double>(shared) >= 0.99 * static_cast<double>(len)) continue;
    dense.push_back(j);
  }
  return dense;
}

DenseColumnCorrection::DenseColumnCorrection(std::vector<std::int32_t> columns, std::int32_t m)
    : columns_(std::move(columns)), m_(m) {}

void DenseColumnCorrection::form(const SparseCholesky& chol, const ColumnMatrixView& a, std::span<const double> d,
                                 std::span<const std::int32_t> iperm, double max_diagonal) {
  const auto kd = static_cast<std::int32_t>(columns_.size());
  if (kd == 0) return;
  const auto m = static_cast<std::size_t>(m_);
  const std::span<const double> diag = chol.diagonal();
  // Dropped pivots of the sparse part: the factor holds S + sum delta_k e_k e_k' there
  // (the dropped column was zero), which the correction takes back out.
  dropped_.clear();
  const std::vector<std::uint8_t>& flags = const_cast<SparseCholesky&>(chol).flags();
  for (std::int32_t k = 0; k < m_; ++k) {
    if ((flags[u(k)] & pivot_flag::kDropped) != 0) dropped_.push_back(k);
  }
  if (static_cast<std::int32_t>(dropped_.size()) > kMaxDroppedCorrected) dropped_.clear();
  const auto t = static_cast<std::size_t>(kd) + dropped_.size();
  order_ = static_cast<std::int32_t>(t);
  w_.assign(m * t, 0.0);
  g_.assign(t * t, 0.0);
  pivots_.assign(t, 0);
  work_.assign(t, 0.0);
  sign_.assign(t, 1.0);
  for (std::int32_t c = 0; c < kd; ++c) {
    const std::int32_t j = columns_[u(c)];
    std::span<double> w(w_.data() + u(c) * m, m);
    const double scale = std::sqrt(std::max(d[u(j)], 0.0));
    for (std::int64_t p = a.pattern.start[u(j)]; p < a.pattern.start[u(j) + 1]; ++p) {
      w[u(iperm[u(a.pattern.row[u(p)])])] += scale * a.value[u(p)];
    }
    chol.forward(w);
  }
  for (std::size_t q = 0; q < dropped_.size(); ++q) {
    const std::size_t c = static_cast<std::size_t>(kd) + q;
    const std::int32_t k = dropped_[q];
    std::span<double> w(w_.data() + c * m, m);
    w[u(k)] = std::sqrt(std::fabs(diag[u(k)]));
    chol.forward(w);
    sign_[c] = -1.0;
  }
  // G = C + W' D^-1 W, C = diag(sign).
  for (std::size_t c = 0; c < t; ++c) {
    const double* wc = w_.data() + c * m;
    for (std::size_t r = c; r < t; ++r) {
      const double* wr = w_.data() + r * m;
      double sum = r == c ? sign_[c] : 0.0;
      for (std::size_t i = 0; i < m; ++i) sum += wc[i] * wr[i] / diag[i];
      g_[c * t + r] = sum;
      g_[r * t + c] = sum;
    }
  }
  // LU with partial pivoting (G is indefinite once dropped pivots take part); a pivot
  // tiny against the largest diagonal of the factor is regularised.
  double largest = max_diagonal;
  for (std::size_t k = 0; k < t; ++k) largest = std::max(largest, std::fabs(g_[k * t + k]));
  const double tiny = largest * 1.0e-14;
  for (std::size_t k = 0; k < t; ++k) {
    std::size_t piv = k;
    for (std::size_t i = k + 1; i < t; ++i) {
      if (std::fabs(g_[k * t + i]) > std::fabs(g_[k * t + piv])) piv = i;
    }
    pivots_[k] = static_cast<std::int32_t>(piv);
    if (piv != k) {
      for (std::size_t j = 0; j < t; ++j) std::swap(g_[j * t + k], g_[j * t + piv]);
    }
    double p = g_[k * t + k];
    if (std::fabs(p) < tiny) p = p < 0.0 ? -tiny : tiny;
    g_[k * t + k] = p;
    for (std::size_t i = k + 1; i < t; ++i) g_[k * t + i] /= p;
    for (std::size_t j = k + 1; j < t; ++j) {
      const double f = g_[j * t + k];
      if (f == 0.0) continue;
      for (std::size_t i = k + 1; i < t; ++i) g_[j * t + i] -= g_[k * t + i] * f;
    }
  }
}

void DenseColumnCorrection::apply(const SparseCholesky& chol, std::span<double> z) {
  if (columns_.empty()) return;
  const auto t = static_cast<std::size_t>(order_);
  const auto m = static_cast<std::size_t>(m_);
  const std::span<const double> diag = chol.diagonal();
  // s = W' z; G u = s; z -= D^-1 W u.
  for (std::size_t c = 0; c < t; ++c) {
    const double* wc = w_.data() + c * m;
    double sum = 0.0;
    for (std::size_t i = 0; i < m; ++i) sum += wc[i] * z[i];
    work_[c] = sum;
  }
  // The interchanges swapped whole rows, so they all apply before the forward pass.
  for (std::size_t k = 0; k < t; ++k) std::swap(work_[k], work_[u(pivots_[k])]);
  for (std::size_t k = 0; k < t; ++k) {
    for (std::size_t i = k + 1; i < t; ++i) work_[i] -= g_[k * t + i] * work_[k];
  }
  for (std::size_t k = t; k-- > 0;) {
    double sum = work_[k];
    for (std::size_t j = k + 1; j < t; ++j) sum -= g_[j * t + k] * work_[j];
    work_[k] = sum / g_[k * t + k];
  }
  for (std::size_t c = 0; c < t; ++c) {
    const double* wc = w_.data() + c * m;
    const double f = work_[c];
    if (f == 0.0) continue;
    for (std::size_t i = 0; i < m; ++i) z[i] -= wc[i] * f / diag[i];
  }
}

}  // namespace kqopt::barrier
