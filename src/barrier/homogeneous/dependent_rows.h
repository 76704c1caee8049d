// Linearly dependent rows of the library LP. A factorisation of A A' (unit column
// weights) meets a dependent row as a pivot that cancels to rounding level; such rows
// are taken out before the method starts, since with them the normal equations stay
// singular at every iterate and the dropped pivots drift with the scaling, which spoils
// the search directions. A dependent row whose right-hand side disagrees with the rows it
// depends on makes the problem primal infeasible.
#pragma once

#include <cstdint>
#include <vector>

#include "barrier/cholesky/kkt_factor.h"
#include "barrier/homogeneous/barrier_lp.h"

namespace kqopt::barrier {

// Rows (of lp) whose pivot vanished in a factorisation of A A' by kkt, set up on lp.
std::vector<std::int32_t> dependent_rows(KktFactor& kkt, const BarrierLp& lp);

// lp without the given rows (sorted); kept_row maps the engine rows to the rows left.
BarrierLp without_rows(const BarrierLp& lp, const std::vector<std::int32_t>& rows);

// Values of the rows kept (one per row of lp without `removed`, sorted) spread over the
// m rows of lp, zero at the removed rows.
std::vector<double> spread_over_rows(const std::vector<double>& kept, std::int32_t m,
                                     const std::vector<std::int32_t>& removed);

// Largest disagreement of the removed rows with the rest: with x0 = A_r' (A_r A_r')^-1 b_r
// the smallest-norm solution of the rows kept (kkt set up on `reduced`),
// max |b_i - a_i x0| over the removed rows i of `full`.
double removed_row_residual(KktFactor& kkt, const BarrierLp& full, const BarrierLp& reduced,
                            const std::vector<std::int32_t>& rows);

// The same from the factor that dependent_rows left in kkt (set up on `full`), without a
// factorisation of the rows kept; negative when that factor cannot tell (dense columns).
double removed_row_residual(KktFactor& kkt, const BarrierLp& full, const std::vector<std::int32_t>& rows);

}  // namespace kqopt::barrier
