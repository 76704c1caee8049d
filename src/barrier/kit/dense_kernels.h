// Dense vector kernels of the interior-point library: double kernels (copy, axpy, dot,
// scale, norms, dense matrix-vector products) and integer kernels (fill, count, search,
// sort, bucket lists). Index lists select a subset of positions; mark arrays (nonzero
// means selected) filter them. Bad arguments are fatal reports.
#pragma once

#include <cstdint>
#include <span>

namespace kqopt::barrier {

// y(k*incy) = x(k*incx), k < n; a negative stride starts at the far end.
void rvec_copy(std::int32_t n, const double* x, std::int32_t incx, double* y, std::int32_t incy);
// y += a x; with `list`: over the listed positions (x_indexed: x is packed, y scattered;
// y_indexed: x scattered, y packed; both: both scattered, filtered by mark when given).
void rvec_axpy(std::int32_t n, double a, const double* x, double* y);
void rvec_axpy_xpacked(std::span<const std::int32_t> list, double a, const double* x, double* y);
void rvec_axpy_ypacked(std::span<const std::int32_t> list, double a, const double* x, double* y);
void rvec_axpy_list(std::span<const std::int32_t> list, const std::int32_t* mark, double a, const double* x, double* y);
double rvec_dot(std::int32_t n, const double* x, const double* y);
double rvec_dot_xpacked(std::span<const std::int32_t> list, const double* x, const double* y);
double rvec_dot_list(std::span<const std::int32_t> list, const std::int32_t* mark, const double* x, const double* y);
// x = a x: a = 1 returns at once, a = -1 negates, a = 0 zeroes. With a list or a mark
// array only those entries; both at once is fatal.
void rvec_scale(std::int32_t n, double a, double* x, std::span<const std::int32_t> list = {},
                const std::int32_t* mark = nullptr);
void rvec_zero(std::int32_t n, double* x, std::span<const std::int32_t> list = {});
double rvec_asum(std::int32_t n, const double* x);
double rvec_amax(std::int32_t n, const double* x);
// y += alpha * M x over the listed columns of the column-major rows x * matrix M (lda);
// gemvic skips columns whose mask entry is zero.
void rvec_gemvi(std::int32_t rows, const double* m, std::int32_t lda, std::span<const std::int32_t> columns,
                double alpha, const double* x, double* y);
void rvec_gemvic(std::int32_t rows, const double* m, std::int32_t lda, std::span<const std::int32_t> columns,
                 const std::int32_t* mask, double alpha, const double* x, double* y);
// y = alpha op(M) x + beta y, M column-major rows x cols with leading dimension lda;
// trans 'N' or 'T'. Bad arguments give the "BLAS error." report.
void blas_gemv(char trans, std::int32_t rows, std::int32_t cols, double alpha, const double* m, std::int32_t lda,
               const double* x, double beta, double* y);

void ivec_zero(std::int32_t n, std::int32_t* x, std::span<const std::int32_t> list = {});
void ivec_fill(std::int32_t n, std::int32_t* x, std::int32_t value, std::span<const std::int32_t> list = {});
void ivec_increment(std::int32_t n, std::int32_t* x, std::span<const std::int32_t> list = {});
std::int64_t ivec_sum(std::int32_t n, const std::int32_t* x);
std::int32_t ivec_max(std::int32_t n, const std::int32_t* x);
std::int32_t ivec_min(std::int32_t n, const std::int32_t* x);
void ivec_copy(std::int32_t n, const std::int32_t* x, std::int32_t* y);
// Position of the first entry equal to value, or -1.
std::int32_t ivec_find(std::int32_t n, const std::int32_t* x, std::int32_t value);
void ivec_sort(std::int32_t n, std::int32_t* x);
// Links index k into the list of key[k]: head has one entry per key (-1 empty), next one
// per index; within a key the indices come out increasing.
void ivec_buckets(std::int32_t n, const std::int32_t* key, std::int32_t keys, std::int32_t* head, std::int32_t* next);
// Moves x[from] to position to, shifting the entries between.
void ivec_move(std::int32_t* x, std::int32_t from, std::int32_t to);
// Swaps x[i] and x[j]; a negative index is fatal "Negativ index".
void ivec_swap(std::int32_t* x, std::int32_t i, std::int32_t j);

}  // namespace kqopt::barrier
