// The two inner loops every factor solve and update is made of: the dot product of a
// packed (index, value) line with a dense vector, and the indexed axpy that scatters a
// multiple of a line into it.
//
// The dot keeps four partial sums: with one, each step waits for the previous addition
// (a chain of floating-point latencies) and the loop runs at a fraction of the load
// bandwidth; on the dense factors of assignment-type bases the BTRAN dot form is one of
// the largest costs of an iteration. The axpy is unrolled by four so that the index and
// value loads of later entries overlap the update of earlier ones; entries of one line
// have distinct indices, so the stores never depend on each other.
#pragma once

#include <cstdint>

namespace kqopt {

template <typename Pos>
inline double indexed_dot(const std::int32_t* idx, const double* val, Pos n, const double* x) {
  double s0 = 0.0;
  double s1 = 0.0;
  double s2 = 0.0;
  double s3 = 0.0;
  Pos k = 0;
  for (; k + 4 <= n; k += 4) {
    s0 += val[k] * x[idx[k]];
    s1 += val[k + 1] * x[idx[k + 1]];
    s2 += val[k + 2] * x[idx[k + 2]];
    s3 += val[k + 3] * x[idx[k + 3]];
  }
  for (; k < n; ++k) s0 += val[k] * x[idx[k]];
  return (s0 + s1) + (s2 + s3);
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
