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
    : columns_(std::move(columns)), m_(m) {
  const std::size_t k = columns_.size();
  w_.assign(u(m) * k, 0.0);
  g_.assign(k * k, 0.0);
  work_.assign(std::max<std::size_t>(k, 1), 0.0);
}

void DenseColumnCorrection::form(const SparseCholesky& chol, const ColumnMatrixView& a, std::span<const double> d,
                                 std::span<const std::int32_t> iperm, double max_diagonal) {
  const auto k = static_cast<std::int32_t>(columns_.size());
  if (k == 0) return;
  const auto m = static_cast<std::size_t>(m_);
  for (std::int32_t c = 0; c < k; ++c) {
    const std::int32_t j = columns_[u(c)];
    std::span<double> w(w_.data() + u(c) * m, m);
    std::fill(w.begin(), w.end(), 0.0);
    const double scale = std::sqrt(std::max(d[u(j)], 0.0));
    for (std::int64_t p = a.pattern.start[u(j)]; p < a.pattern.start[u(j) + 1]; ++p) {
      w[u(iperm[u(a.pattern.row[u(p)])])] += scale * a.value[u(p)];
    }
    chol.forward(w);
  }
  const std::span<const double> diag = chol.diagonal();
  for (std::int32_t c = 0; c < k; ++c) {
    const double* wc = w_.data() + u(c) * m;
    for (std::int32_t r = c; r < k; ++r) {
      const double* wr = w_.data() + u(r) * m;
      double sum = r == c ? 1.0 : 0.0;
      for (std::size_t i = 0; i < m; ++i) sum += wc[i] * wr[i] / diag[i];
      g_[u(c) * u(k) + u(r)] = sum;
    }
  }
  // L D L' of G in place (lower triangle, column-major).
  const double tiny = max_diagonal * 1.0e-14;
  for (std::int32_t c = 0; c < k; ++c) {
    double* gc = g_.data() + u(c) * u(k);
    double p = gc[c];
    if (p < tiny) p = std::max(tiny, 1.0);
    gc[c] = p;
    for (std::int32_t i = c + 1; i < k; ++i) gc[i] /= p;
    for (std::int32_t j = c + 1; j < k; ++j) {
      const double t = gc[j] * p;
      double* gj = g_.data() + u(j) * u(k);
      for (std::int32_t i = j; i < k; ++i) gj[i] -= gc[i] * t;
    }
  }
}

void DenseColumnCorrection::apply(const SparseCholesky& chol, std::span<double> z) {
  const auto k = static_cast<std::int32_t>(columns_.size());
  if (k == 0) return;
  const auto m = static_cast<std::size_t>(m_);
  const std::span<const double> diag = chol.diagonal();
  // t = W' z; G u = t; z -= D^-1 W u.
  for (std::int32_t c = 0; c < k; ++c) {
    const double* wc = w_.data() + u(c) * m;
    double sum = 0.0;
    for (std::size_t i = 0; i < m; ++i) sum += wc[i] * z[i];
    work_[u(c)] = sum;
  }
  for (std::int32_t c = 0; c < k; ++c) {
    const double* gc = g_.data() + u(c) * u(k);
    for (std::int32_t i = c + 1; i < k; ++i) work_[u(i)] -= gc[i] * work_[u(c)];
  }
  for (std::int32_t c = 0; c < k; ++c) work_[u(c)] /= g_[u(c) * u(k) + u(c)];
  for (std::int32_t c = k - 1; c >= 0; --c) {
    const double* gc = g_.data() + u(c) * u(k);
    double sum = work_[u(c)];
    for (std::int32_t i = c + 1; i < k; ++i) sum -= gc[i] * work_[u(i)];
    work_[u(c)] = sum;
  }
  for (std::int32_t c = 0; c < k; ++c) {
    const double* wc = w_.data() + u(c) * m;
    const double t = work_[u(c)];
    if (t == 0.0) continue;
    for (std::size_t i = 0; i < m; ++i) z[i] -= wc[i] * t / diag[i];
  }
}

}  // namespace kqopt::barrier
