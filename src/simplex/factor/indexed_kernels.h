// The two inner loops every factor solve and update is made of: the dot product of a
// packed (index, value) line with a dense vector, and the indexed axpy that scatters a
// multiple of a line into it.
//
// The dot sums in entry order with one accumulator. Four partial sums would break the
// chain of addition latencies, but on the Netlib walks of the factor tests they moved the
// worst FTRAN residual along updates (25fv47, random bases) from 2.7e-14 to 5.2e-14, and
// the gain could not be told from the noise of the shared machine. The axpy is unrolled
// by four so that the index and value loads of later entries overlap the update of
// earlier ones; entries of one line have distinct indices, so the stores never depend on
// each other, and the result is the same bit for bit as the plain loop.
#pragma once

#include <cstdint>

namespace kqopt {

template <typename Pos>
inline double indexed_dot(const std::int32_t* idx, const double* val, Pos n, const double* x) {
  double sum = 0.0;
  for (Pos k = 0; k < n; ++k) sum += val[k] * x[idx[k]];
  return sum;
}

// x[idx[k]] -= a * val[k] for k < n.
template <typename Pos>
inline void indexed_axpy(const std::int32_t* idx, const double* val, Pos n, double a, double* x) {
  Pos k = 0;
  for (; k + 4 <= n; k += 4) {
    const std::int32_t i0 = idx[k];
    const std::int32_t i1 = idx[k + 1];
    const std::int32_t i2 = idx[k + 2];
    const std::int32_t i3 = idx[k + 3];
    const double v0 = x[i0] - a * val[k];
    const double v1 = x[i1] - a * val[k + 1];
    const double v2 = x[i2] - a * val[k + 2];
    const double v3 = x[i3] - a * val[k + 3];
    x[i0] = v0;
    x[i1] = v1;
    x[i2] = v2;
    x[i3] = v3;
  }
  for (; k < n; ++k) x[idx[k]] -= a * val[k];
}

}  // namespace kqopt
