// The dense block's axpy (see dense_kernels.h). On the assignment problems' bases the
// block's triangles take a fifth to a quarter of the simplex's time, and their lines are
// a few hundred long, so on x86-64 a build with 256-bit vectors is chosen at load time. The
// build for AVX2 leaves FMA out on purpose: a fused multiply-add rounds once where the
// plain loop rounds twice, and the solves must give the same bits on every processor.
#include "simplex/factor/dense_kernels.h"

namespace kqopt {

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KQOPT_DENSE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KQOPT_DENSE_CLONES
#endif

KQOPT_DENSE_CLONES void dense_axpy(double* y, const double* a, std::int32_t n, double s) {
  for (std::int32_t i = 0; i < n; ++i) y[i] -= a[i] * s;
}

}  // namespace kqopt
