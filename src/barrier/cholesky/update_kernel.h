// The rank-k update kernel of the supernodal factorisation: the product of a block of L,
// its pivots and the transpose of the block's leading rows, subtracted from the lower
// trapezoid of a target. Tiles of rows and columns are accumulated in registers over
// the whole depth so that the target is read and written once per call.
#pragma once

#include <cstdint>

namespace kqopt::barrier {

// C(i, j) -= sum over p < k of A(i, p) dd(p) A(j, p) for 0 <= j < nc and j <= i < nr;
// A and C column-major with leading dimensions lda and ldc, nc <= nr. Entries of C above
// the diagonal are left alone.
void ldl_update_subtract(std::int32_t nr, std::int32_t nc, std::int32_t k, const double* a, std::int64_t lda,
                         const double* dd, double* c, std::int64_t ldc);
// The same with C(i, j) at row rows[i] of column cols[j] of the target (the rows of one
// supernode scattered into another's block).
void ldl_update_scatter(std::int32_t nr, std::int32_t nc, std::int32_t k, const double* a, std::int64_t lda,
                        const double* dd, const std::int32_t* rows, const std::int32_t* cols, double* c,
                        std::int64_t ldc);

}  // namespace kqopt::barrier
