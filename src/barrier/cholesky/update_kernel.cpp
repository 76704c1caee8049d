// The rank-k update kernel (see update_kernel.h). Small updates go four target columns at
// a time: their scaled rows of A are packed once per depth chunk, then every tile of eight
// rows keeps its 8 x 4 sums in registers over the chunk. Large updates pack both factors
// into cache-sized contiguous tiles (see packed_body). On x86-64 builds of the kernels for
// processors with AVX2 and FMA, and with AVX-512, are chosen at load time; with AVX-512
// the packed tiles are twice as wide and twice as tall (24 x 8).
#include "barrier/cholesky/update_kernel.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>

namespace kqopt::barrier {
namespace {

// Depth handled per packing: the packed 4 x kDepth scaled rows stay in the first-level cache.
constexpr std::int32_t kDepth = 256;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"  // the helpers are inlined into each build of the kernel

typedef double Vec4 __attribute__((vector_size(32)));

[[gnu::always_inline]] inline Vec4 load4(const double* p) {
  Vec4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
[[gnu::always_inline]] inline void store4(double* p, Vec4 v) { std::memcpy(p, &v, sizeof v); }

// Where C(i, j) lives: in place (column-major with ldc), or at rows[i] of column cols[j].
struct Direct {
  double* c;
  std::int64_t ldc;
  double* column(std::int32_t j) const { return c + j * ldc; }
  std::int64_t row(std::int32_t i) const { return i; }
};
struct Mapped {
  double* c;
  std::int64_t ldc;
  const std::int32_t* rows;
  const std::int32_t* cols;
  double* column(std::int32_t j) const { return c + static_cast<std::int64_t>(cols[j]) * ldc; }
  std::int64_t row(std::int32_t i) const { return rows[i]; }
};

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KQOPT_UPDATE_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define KQOPT_UPDATE_CLONES
#endif

template <class Target>
[[gnu::always_inline]] inline void quad_body(std::int32_t nr, std::int32_t j, std::int32_t k, const double* a,
                                             std::int64_t lda, const double* dd, const Target& c) {
  double t[4 * kDepth];
  for (std::int32_t p0 = 0; p0 < k; p0 += kDepth) {
    const std::int32_t pk = std::min(kDepth, k - p0);
    for (std::int32_t p = 0; p < pk; ++p) {
      const double* ap = a + (p0 + p) * lda + j;
      const double s = dd[p0 + p];
      t[4 * p] = ap[0] * s;
      t[4 * p + 1] = ap[1] * s;
      t[4 * p + 2] = ap[2] * s;
      t[4 * p + 3] = ap[3] * s;
    }
    const double* a0 = a + p0 * lda;
    // The 4 x 4 diagonal tile: only its lower triangle belongs to the target.
    {
      double acc[4][4] = {};
      for (std::int32_t p = 0; p < pk; ++p) {
        const double* ap = a0 + p * lda + j;
        for (int jj = 0; jj < 4; ++jj) {
          for (int ii = jj; ii < 4; ++ii) acc[jj][ii] += ap[ii] * t[4 * p + jj];
        }
      }
      for (int jj = 0; jj < 4; ++jj) {
        double* cj = c.column(j + jj);
        for (int ii = jj; ii < 4; ++ii) cj[c.row(j + ii)] -= acc[jj][ii];
      }
    }
    std::int32_t i = j + 4;
    for (; i + 8 <= nr; i += 8) {
      Vec4 c00 = {}, c01 = {}, c10 = {}, c11 = {}, c20 = {}, c21 = {}, c30 = {}, c31 = {};
      const double* ap = a0 + i;
      const double* tp = t;
      for (std::int32_t p = 0; p < pk; ++p, ap += lda, tp += 4) {
        const Vec4 x0 = load4(ap), x1 = load4(ap + 4);
        const double s0 = tp[0], s1 = tp[1], s2 = tp[2], s3 = tp[3];
        c00 += x0 * s0;
        c01 += x1 * s0;
        c10 += x0 * s1;
        c11 += x1 * s1;
        c20 += x0 * s2;
        c21 += x1 * s2;
        c30 += x0 * s3;
        c31 += x1 * s3;
      }
      if constexpr (std::is_same_v<Target, Direct>) {
        double* cj = c.column(j) + i;
        store4(cj, load4(cj) - c00);
        store4(cj + 4, load4(cj + 4) - c01);
        cj += c.ldc;
        store4(cj, load4(cj) - c10);
        store4(cj + 4, load4(cj + 4) - c11);
        cj += c.ldc;
        store4(cj, load4(cj) - c20);
        store4(cj + 4, load4(cj + 4) - c21);
        cj += c.ldc;
        store4(cj, load4(cj) - c30);
        store4(cj + 4, load4(cj + 4) - c31);
      } else {
        const Vec4 sums[4][2] = {{c00, c01}, {c10, c11}, {c20, c21}, {c30, c31}};
        std::int64_t r[8];
        for (int ii = 0; ii < 8; ++ii) r[ii] = c.row(i + ii);
        for (int jj = 0; jj < 4; ++jj) {
          double* cj = c.column(j + jj);
          for (int ii = 0; ii < 4; ++ii) {
            cj[r[ii]] -= sums[jj][0][ii];
            cj[r[ii + 4]] -= sums[jj][1][ii];
          }
        }
      }
    }
    for (; i < nr; ++i) {
      double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
      const double* ap = a0 + i;
      for (std::int32_t p = 0; p < pk; ++p, ap += lda) {
        const double x = *ap;
        s0 += x * t[4 * p];
        s1 += x * t[4 * p + 1];
        s2 += x * t[4 * p + 2];
        s3 += x * t[4 * p + 3];
      }
      const std::int64_t r = c.row(i);
      c.column(j)[r] -= s0;
      c.column(j + 1)[r] -= s1;
      c.column(j + 2)[r] -= s2;
      c.column(j + 3)[r] -= s3;
    }
  }
}

KQOPT_UPDATE_CLONES
void update_quad(std::int32_t nr, std::int32_t j, std::int32_t k, const double* a, std::int64_t lda, const double* dd,
                 const Direct& c) {
  quad_body(nr, j, k, a, lda, dd, c);
}

KQOPT_UPDATE_CLONES
void update_quad(std::int32_t nr, std::int32_t j, std::int32_t k, const double* a, std::int64_t lda, const double* dd,
                 const Mapped& c) {
  quad_body(nr, j, k, a, lda, dd, c);
}

// Large updates: the scaled leading rows (the right-hand factor) are packed for a block
// of target columns and one depth chunk, then blocks of rows of A are packed into
// contiguous tiles that stay in the second-level cache while every column panel of the
// block passes over them. Each tile of C (12 x 4 with 256-bit vectors) is accumulated in
// twelve registers.
constexpr std::int32_t kChunk = 256;    // depth per packing
constexpr std::int32_t kRowBlock = 96;  // rows of A packed at once: 96 x 256 doubles
constexpr std::int32_t kColumnBlock = 256;

struct PackBuffers {
  double* right;  // kColumnBlock x kChunk
  double* left;   // kRowBlock x kChunk
};

// One tile of C: 3 x lanes(V) rows by TC columns, its sums in 3 TC vector registers.
template <class V, int TC, class Target>
[[gnu::always_inline]] inline void packed_tile(std::int32_t pk, const double* lp, const double* bp, std::int32_t ib,
                                               std::int32_t h, std::int32_t jb, std::int32_t w, const Target& c) {
  constexpr int kLanes = static_cast<int>(sizeof(V) / sizeof(double));
  constexpr int kRows = 3 * kLanes;
  V acc[TC][3] = {};
  for (std::int32_t p = 0; p < pk; ++p, lp += kRows, bp += TC) {
    V x0, x1, x2;
    std::memcpy(&x0, lp, sizeof x0);
    std::memcpy(&x1, lp + kLanes, sizeof x1);
    std::memcpy(&x2, lp + 2 * kLanes, sizeof x2);
#pragma GCC unroll 8
    for (int jj = 0; jj < TC; ++jj) {
      const double s = bp[jj];
      acc[jj][0] += x0 * s;
      acc[jj][1] += x1 * s;
      acc[jj][2] += x2 * s;
    }
  }
  const bool whole = h == kRows && w == TC && ib >= jb + TC - 1;
  if (std::is_same_v<Target, Direct> && whole) {
    double* cj = c.column(jb) + ib;
#pragma GCC unroll 8
    for (int jj = 0; jj < TC; ++jj, cj += c.ldc) {
#pragma GCC unroll 3
      for (int v = 0; v < 3; ++v) {
        V t;
        std::memcpy(&t, cj + v * kLanes, sizeof t);
        t -= acc[jj][v];
        std::memcpy(cj + v * kLanes, &t, sizeof t);
      }
    }
  } else {
    for (std::int32_t jj = 0; jj < w; ++jj) {
      double* cj = c.column(jb + jj);
      const std::int32_t first = std::max(0, jb + jj - ib);
      for (std::int32_t ii = first; ii < h; ++ii) cj[c.row(ib + ii)] -= acc[jj][ii / kLanes][ii % kLanes];
    }
  }
}

// The packed update with tiles of 3 x lanes(V) rows and TC columns.
template <class V, int TC, class Target>
[[gnu::always_inline]] inline void packed_body(std::int32_t nr, std::int32_t nc, std::int32_t k, const double* a,
                                               std::int64_t lda, const double* dd, const Target& c,
                                               const PackBuffers& buf) {
  constexpr std::int32_t kRows = 3 * static_cast<std::int32_t>(sizeof(V) / sizeof(double));
  static_assert(kRowBlock % kRows == 0 && kColumnBlock % TC == 0);
  for (std::int32_t j0 = 0; j0 < nc; j0 += kColumnBlock) {
    const std::int32_t jn = std::min(kColumnBlock, nc - j0);
    const std::int32_t jpanels = (jn + TC - 1) / TC;
    for (std::int32_t p0 = 0; p0 < k; p0 += kChunk) {
      const std::int32_t pk = std::min(kChunk, k - p0);
      // Right factor: panel q holds columns j0 + TC q .. for each depth, zero padded.
      for (std::int32_t q = 0; q < jpanels; ++q) {
        double* bp = buf.right + static_cast<std::int64_t>(q) * TC * pk;
        const std::int32_t jb = j0 + q * TC;
        const std::int32_t w = std::min(TC, nc - jb);
        for (std::int32_t p = 0; p < pk; ++p) {
          const double* ap = a + (p0 + p) * lda + jb;
          const double s = dd[p0 + p];
          for (std::int32_t jj = 0; jj < TC; ++jj) bp[p * TC + jj] = jj < w ? ap[jj] * s : 0.0;
        }
      }
      // Rows j0 .. nr - 1 are the only ones at or below the block's diagonal.
      for (std::int32_t i0 = j0; i0 < nr; i0 += kRowBlock) {
        const std::int32_t in = std::min(kRowBlock, nr - i0);
        const std::int32_t tiles = (in + kRows - 1) / kRows;
        for (std::int32_t t = 0; t < tiles; ++t) {
          double* lp = buf.left + static_cast<std::int64_t>(t) * kRows * pk;
          const std::int32_t ib = i0 + t * kRows;
          const std::int32_t h = std::min(kRows, nr - ib);
          if (h == kRows) {
            for (std::int32_t p = 0; p < pk; ++p) {
              const double* ap = a + (p0 + p) * lda + ib;
              for (std::int32_t ii = 0; ii < kRows; ++ii) lp[p * kRows + ii] = ap[ii];
            }
          } else {
            for (std::int32_t p = 0; p < pk; ++p) {
              const double* ap = a + (p0 + p) * lda + ib;
              for (std::int32_t ii = 0; ii < kRows; ++ii) lp[p * kRows + ii] = ii < h ? ap[ii] : 0.0;
            }
          }
        }
        for (std::int32_t q = 0; q < jpanels; ++q) {
          const std::int32_t jb = j0 + q * TC;
          if (jb >= i0 + in) break;  // panels further right lie above the diagonal
          const double* bp = buf.right + static_cast<std::int64_t>(q) * TC * pk;
          const std::int32_t w = std::min(TC, nc - jb);
          for (std::int32_t t = 0; t < tiles; ++t) {
            const std::int32_t ib = i0 + t * kRows;
            if (ib + kRows <= jb) continue;
            const std::int32_t h = std::min(kRows, nr - ib);
            packed_tile<V, TC>(pk, buf.left + static_cast<std::int64_t>(t) * kRows * pk, bp, ib, h, jb, w, c);
          }
        }
      }
    }
  }
}

KQOPT_UPDATE_CLONES
void update_packed(std::int32_t nr, std::int32_t nc, std::int32_t k, const double* a, std::int64_t lda,
                   const double* dd, const Direct& c, const PackBuffers& buf) {
  packed_body<Vec4, 4>(nr, nc, k, a, lda, dd, c, buf);
}

KQOPT_UPDATE_CLONES
void update_packed(std::int32_t nr, std::int32_t nc, std::int32_t k, const double* a, std::int64_t lda,
                   const double* dd, const Mapped& c, const PackBuffers& buf) {
  packed_body<Vec4, 4>(nr, nc, k, a, lda, dd, c, buf);
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
// With 512-bit registers: 24 x 8 tiles in 24 of the 32 vector registers, twice the work
// per instruction of the 12 x 4 tiles.
#define KQOPT_HAVE_WIDE_KERNEL 1
typedef double Vec8 __attribute__((vector_size(64)));

__attribute__((target("arch=x86-64-v4"))) void update_packed_wide(std::int32_t nr, std::int32_t nc, std::int32_t k,
                                                                  const double* a, std::int64_t lda, const double* dd,
                                                                  const Direct& c, const PackBuffers& buf) {
  packed_body<Vec8, 8>(nr, nc, k, a, lda, dd, c, buf);
}

__attribute__((target("arch=x86-64-v4"))) void update_packed_wide(std::int32_t nr, std::int32_t nc, std::int32_t k,
                                                                  const double* a, std::int64_t lda, const double* dd,
                                                                  const Mapped& c, const PackBuffers& buf) {
  packed_body<Vec8, 8>(nr, nc, k, a, lda, dd, c, buf);
}

bool wide_kernel_usable() {
  static const bool usable = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512cd");
  }();
  return usable;
}
#endif

#pragma GCC diagnostic pop

template <class Target>
void update_single(std::int32_t nr, std::int32_t j, std::int32_t k, const double* a, std::int64_t lda, const double* dd,
                   const Target& c) {
  double* cj = c.column(j);
  for (std::int32_t p = 0; p < k; ++p) {
    const double* ap = a + p * lda;
    const double t = ap[j] * dd[p];
    if (t == 0.0) continue;
    for (std::int32_t i = j; i < nr; ++i) cj[c.row(i)] -= ap[i] * t;
  }
}

// The packing buffers, made once per thread on the first large update.
PackBuffers pack_buffers() {
  thread_local std::unique_ptr<double[]> store;
  if (!store) store = std::make_unique<double[]>(static_cast<std::size_t>(kChunk) * (kColumnBlock + kRowBlock));
  return {store.get(), store.get() + static_cast<std::size_t>(kChunk) * kColumnBlock};
}

// Below these sizes packing costs more than the strided reads it saves.
constexpr std::int64_t kPackedWork = 1 << 17;

template <class Target>
void update(std::int32_t nr, std::int32_t nc, std::int32_t k, const double* a, std::int64_t lda, const double* dd,
            const Target& c) {
  if (nc >= 8 && k >= 8 && static_cast<std::int64_t>(nr) * nc * k >= kPackedWork) {
#ifdef KQOPT_HAVE_WIDE_KERNEL
    if (wide_kernel_usable()) {
      update_packed_wide(nr, nc, k, a, lda, dd, c, pack_buffers());
      return;
    }
#endif
    update_packed(nr, nc, k, a, lda, dd, c, pack_buffers());
    return;
  }
  std::int32_t j = 0;
  for (; j + 4 <= nc; j += 4) update_quad(nr, j, k, a, lda, dd, c);
  for (; j < nc; ++j) update_single(nr, j, k, a, lda, dd, c);
}

}  // namespace

void ldl_update_subtract(std::int32_t nr, std::int32_t nc, std::int32_t k, const double* a, std::int64_t lda,
                         const double* dd, double* c, std::int64_t ldc) {
  update(nr, nc, k, a, lda, dd, Direct{c, ldc});
}

void ldl_update_scatter(std::int32_t nr, std::int32_t nc, std::int32_t k, const double* a, std::int64_t lda,
                        const double* dd, const std::int32_t* rows, const std::int32_t* cols, double* c,
                        std::int64_t ldc) {
  update(nr, nc, k, a, lda, dd, Mapped{c, ldc, rows, cols});
}

}  // namespace kqopt::barrier
