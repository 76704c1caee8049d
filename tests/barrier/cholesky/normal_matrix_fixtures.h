// Normal-equations test matrices: random sparse A (optionally with long columns), the
// residual measure ||M x - b|| / (||M|| ||x|| + ||b||) of M = A D A' + R in the infinity
// norm (||M|| bounded by the row sums of |A| D |A'| + |R|), and column weights over a range of
// magnitudes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "barrier/cholesky/kkt_factor.h"

namespace kqopt::barrier::test {

struct CscMatrix {
  std::int32_t m = 0, n = 0;
  std::vector<std::int64_t> start{0};
  std::vector<std::int32_t> row;
  std::vector<double> value;

  ColumnMatrixView view() const { return {{m, n, start, row}, value}; }
  void add_column(const std::vector<std::pair<std::int32_t, double>>& entries) {
    for (const auto& [i, v] : entries) {
      row.push_back(i);
      value.push_back(v);
    }
    start.push_back(static_cast<std::int64_t>(row.size()));
    ++n;
  }
};

// m rows; every row gets a column of its own with a neighbour, then extra columns of 2 to
// max_len entries, and `long_columns` columns through about half the rows.
inline CscMatrix random_matrix(std::int32_t m, std::int32_t extra, std::int32_t max_len, std::int32_t long_columns,
                               std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::int32_t> any_row(0, m - 1);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::uniform_int_distribution<std::int32_t> len(2, std::max(2, max_len));
  CscMatrix a;
  a.m = m;
  auto column = [&](std::int32_t count, std::int32_t first) {
    std::set<std::int32_t> rows;
    if (first >= 0) rows.insert(first);
    while (static_cast<std::int32_t>(rows.size()) < std::min(count, m)) rows.insert(any_row(rng));
    std::vector<std::pair<std::int32_t, double>> entries;
    for (const std::int32_t i : rows) entries.emplace_back(i, val(rng) + (val(rng) > 0 ? 0.5 : -0.5));
    std::shuffle(entries.begin(), entries.end(), rng);
    a.add_column(entries);
  };
  for (std::int32_t i = 0; i < m; ++i) column(2, i);
  for (std::int32_t k = 0; k < extra; ++k) column(len(rng), -1);
  for (std::int32_t k = 0; k < long_columns; ++k) column(m / 2, -1);
  return a;
}

// Weights 10^u with u uniform in [lo, hi].
inline std::vector<double> weights(std::int32_t n, double lo, double hi, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> e(lo, hi);
  std::vector<double> d(static_cast<std::size_t>(n));
  for (double& x : d) x = std::pow(10.0, e(rng));
  return d;
}

inline double relative_residual(const ColumnMatrixView& a, const std::vector<double>& d, const std::vector<double>& r,
                                const std::vector<double>& x, const std::vector<double>& b) {
  const auto m = static_cast<std::size_t>(a.pattern.m);
  std::vector<double> mx(m, 0.0), row_sum(m, 0.0);
  for (std::size_t i = 0; i < m; ++i) {
    const double ri = r.empty() ? 0.0 : r[i];
    mx[i] = ri * x[i];
    row_sum[i] = std::fabs(ri);
  }
  // Row sums of |A| D |A'|: |A| (D (|A'| 1)).
  for (std::int32_t j = 0; j < a.pattern.n; ++j) {
    double dot = 0.0, abs_sum = 0.0;
    for (auto p = a.pattern.start[static_cast<std::size_t>(j)]; p < a.pattern.start[static_cast<std::size_t>(j) + 1];
         ++p) {
      dot += a.value[static_cast<std::size_t>(p)] *
             x[static_cast<std::size_t>(a.pattern.row[static_cast<std::size_t>(p)])];
      abs_sum += std::fabs(a.value[static_cast<std::size_t>(p)]);
    }
    for (auto p = a.pattern.start[static_cast<std::size_t>(j)]; p < a.pattern.start[static_cast<std::size_t>(j) + 1];
         ++p) {
      const auto i = static_cast<std::size_t>(a.pattern.row[static_cast<std::size_t>(p)]);
      mx[i] += d[static_cast<std::size_t>(j)] * dot * a.value[static_cast<std::size_t>(p)];
      row_sum[i] += d[static_cast<std::size_t>(j)] * abs_sum * std::fabs(a.value[static_cast<std::size_t>(p)]);
    }
  }
  double res = 0.0, norm_m = 0.0, norm_x = 0.0, norm_b = 0.0;
  for (std::size_t i = 0; i < m; ++i) {
    res = std::max(res, std::fabs(mx[i] - b[i]));
    norm_m = std::max(norm_m, row_sum[i]);
    norm_x = std::max(norm_x, std::fabs(x[i]));
    norm_b = std::max(norm_b, std::fabs(b[i]));
  }
  return res / (norm_m * norm_x + norm_b);
}

}  // namespace kqopt::barrier::test
