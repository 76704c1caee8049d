// The one loop of the dense block of the factorisation: a contiguous axpy,
// y[i] -= a[i] * s, by which INVERT eliminates its dense tail and the solves apply the
// tail's triangles.
#pragma once

#include <cstdint>

namespace kqopt {

// y[i] -= a[i] * s for i < n. Every element gets exactly the plain loop's product and
// difference (no fused multiply-add), whichever build of the loop the processor runs.
void dense_axpy(double* y, const double* a, std::int32_t n, double s);

}  // namespace kqopt
