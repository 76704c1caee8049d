// Dense vector kernels (see dense_kernels.h).
#include "barrier/kit/dense_kernels.h"

#include <algorithm>
#include <cmath>

#include "barrier/kit/fatal_error.h"

namespace kqopt::barrier {
namespace {
inline std::size_t at(std::int32_t k) { return static_cast<std::size_t>(k); }
}  // namespace

void rvec_copy(std::int32_t n, const double* x, std::int32_t incx, double* y, std::int32_t incy) {
  if (n <= 0) return;
  std::int64_t ix = incx < 0 ? static_cast<std::int64_t>(1 - n) * incx : 0;
  std::int64_t iy = incy < 0 ? static_cast<std::int64_t>(1 - n) * incy : 0;
  for (std::int32_t k = 0; k < n; ++k, ix += incx, iy += incy) y[iy] = x[ix];
}

void rvec_axpy(std::int32_t n, double a, const double* x, double* y) {
  if (a == 0.0) return;
  for (std::int32_t k = 0; k < n; ++k) y[k] += a * x[k];
}

void rvec_axpy_xpacked(std::span<const std::int32_t> list, double a, const double* x, double* y) {
  for (std::size_t k = 0; k < list.size(); ++k) y[at(list[k])] += a * x[k];
}

void rvec_axpy_ypacked(std::span<const std::int32_t> list, double a, const double* x, double* y) {
  for (std::size_t k = 0; k < list.size(); ++k) y[k] += a * x[at(list[k])];
}

void rvec_axpy_list(std::span<const std::int32_t> list, const std::int32_t* mark, double a, const double* x,
                    double* y) {
  for (const std::int32_t i : list) {
    if (mark == nullptr || mark[i] != 0) y[at(i)] += a * x[at(i)];
  }
}

double rvec_dot(std::int32_t n, const double* x, const double* y) {
  double s = 0.0;
  for (std::int32_t k = 0; k < n; ++k) s += x[k] * y[k];
  return s;
}

double rvec_dot_xpacked(std::span<const std::int32_t> list, const double* x, const double* y) {
  double s = 0.0;
  for (std::size_t k = 0; k < list.size(); ++k) s += x[k] * y[at(list[k])];
  return s;
}

double rvec_dot_list(std::span<const std::int32_t> list, const std::int32_t* mark, const double* x, const double* y) {
  double s = 0.0;
  for (const std::int32_t i : list) {
    if (mark == nullptr || mark[i] != 0) s += x[at(i)] * y[at(i)];
  }
  return s;
}

void rvec_scale(std::int32_t n, double a, double* x, std::span<const std::int32_t> list, const std::int32_t* mark) {
  if (!list.empty() && mark != nullptr) fatal_error("rvector", "rvec_scale", "Pattern and mark both given");
  if (a == 1.0) return;
  auto apply = [a](double& v) { v = a == -1.0 ? -v : a == 0.0 ? 0.0 : a * v; };
  if (!list.empty()) {
    for (const std::int32_t i : list) apply(x[at(i)]);
  } else {
    for (std::int32_t k = 0; k < n; ++k) {
      if (mark == nullptr || mark[k] != 0) apply(x[k]);
    }
  }
}

void rvec_zero(std::int32_t n, double* x, std::span<const std::int32_t> list) {
  if (!list.empty()) {
    for (const std::int32_t i : list) x[at(i)] = 0.0;
  } else {
    std::fill(x, x + std::max(n, 0), 0.0);
  }
}

double rvec_asum(std::int32_t n, const double* x) {
  double s = 0.0;
  for (std::int32_t k = 0; k < n; ++k) s += std::fabs(x[k]);
  return s;
}

double rvec_amax(std::int32_t n, const double* x) {
  double s = 0.0;
  for (std::int32_t k = 0; k < n; ++k) s = std::max(s, std::fabs(x[k]));
  return s;
}

void rvec_gemvi(std::int32_t rows, const double* m, std::int32_t lda, std::span<const std::int32_t> columns,
                double alpha, const double* x, double* y) {
  rvec_gemvic(rows, m, lda, columns, nullptr, alpha, x, y);
}

void rvec_gemvic(std::int32_t rows, const double* m, std::int32_t lda, std::span<const std::int32_t> columns,
                 const std::int32_t* mask, double alpha, const double* x, double* y) {
  if (lda < rows) fatal_blas("rvec_gemvi", 3);
  for (const std::int32_t j : columns) {
    if (mask != nullptr && mask[j] == 0) continue;
    const double t = alpha * x[at(j)];
    const double* col = m + static_cast<std::int64_t>(j) * lda;
    for (std::int32_t i = 0; i < rows; ++i) y[i] += t * col[i];
  }
}

void blas_gemv(char trans, std::int32_t rows, std::int32_t cols, double alpha, const double* m, std::int32_t lda,
               const double* x, double beta, double* y) {
  const bool t = trans == 'T' || trans == 't';
  if (!t && trans != 'N' && trans != 'n') fatal_blas("blas_gemv", 1);
  if (rows < 0) fatal_blas("blas_gemv", 2);
  if (cols < 0) fatal_blas("blas_gemv", 3);
  if (lda < std::max(1, rows)) fatal_blas("blas_gemv", 6);
  const std::int32_t ylen = t ? cols : rows;
  if (beta != 1.0) rvec_scale(ylen, beta, y);
  if (alpha == 0.0) return;
  for (std::int32_t j = 0; j < cols; ++j) {
    const double* col = m + static_cast<std::int64_t>(j) * lda;
    if (t) {
      y[j] += alpha * rvec_dot(rows, col, x);
    } else {
      rvec_axpy(rows, alpha * x[j], col, y);
    }
  }
}

void ivec_zero(std::int32_t n, std::int32_t* x, std::span<const std::int32_t> list) { ivec_fill(n, x, 0, list); }

void ivec_fill(std::int32_t n, std::int32_t* x, std::int32_t value, std::span<const std::int32_t> list) {
  if (!list.empty()) {
    for (const std::int32_t i : list) x[at(i)] = value;
  } else {
    std::fill(x, x + std::max(n, 0), value);
  }
}

void ivec_increment(std::int32_t n, std::int32_t* x, std::span<const std::int32_t> list) {
  if (!list.empty()) {
    for (const std::int32_t i : list) ++x[at(i)];
  } else {
    for (std::int32_t k = 0; k < n; ++k) ++x[k];
  }
}

std::int64_t ivec_sum(std::int32_t n, const std::int32_t* x) {
  std::int64_t s = 0;
  for (std::int32_t k = 0; k < n; ++k) s += x[k];
  return s;
}

std::int32_t ivec_max(std::int32_t n, const std::int32_t* x) {
  if (n <= 0) fatal_argument("ivector", "ivec_max", 1, n);
  return *std::max_element(x, x + n);
}

std::int32_t ivec_min(std::int32_t n, const std::int32_t* x) {
  if (n <= 0) fatal_argument("ivector", "ivec_min", 1, n);
  return *std::min_element(x, x + n);
}

void ivec_copy(std::int32_t n, const std::int32_t* x, std::int32_t* y) { std::copy(x, x + std::max(n, 0), y); }

std::int32_t ivec_find(std::int32_t n, const std::int32_t* x, std::int32_t value) {
  for (std::int32_t k = 0; k < n; ++k) {
    if (x[k] == value) return k;
  }
  return -1;
}

void ivec_sort(std::int32_t n, std::int32_t* x) { std::sort(x, x + std::max(n, 0)); }

void ivec_buckets(std::int32_t n, const std::int32_t* key, std::int32_t keys, std::int32_t* head, std::int32_t* next) {
  std::fill(head, head + keys, -1);
  for (std::int32_t k = n - 1; k >= 0; --k) {
    const std::int32_t b = key[k];
    if (b < 0 || b >= keys) fatal_argument("ivector", "ivec_buckets", 2, b);
    next[k] = head[b];
    head[b] = k;
  }
}

void ivec_move(std::int32_t* x, std::int32_t from, std::int32_t to) {
  if (from < 0 || to < 0) fatal_error("ivector", "ivec_move", "Negativ index");
  const std::int32_t v = x[from];
  if (from < to) {
    std::copy(x + from + 1, x + to + 1, x + from);
  } else if (to < from) {
    std::copy_backward(x + to, x + from, x + from + 1);
  }
  x[to] = v;
}

void ivec_swap(std::int32_t* x, std::int32_t i, std::int32_t j) {
  if (i < 0 || j < 0) fatal_error("ivector", "ivec_swap", "Negativ index");
  std::swap(x[i], x[j]);
}

}  // namespace kqopt::barrier
