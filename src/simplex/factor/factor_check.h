// Self-checks of the basis factorisation: products with B and B^T built from
// the basis view and header, and the scaled residuals of FTRAN and BTRAN
//     ||B x - a||_inf / (||B||_inf ||x||_inf + ||a||_inf),
//     ||B^T y - c||_inf / (||B||_inf ||y||_inf + ||c||_inf).
// They cost a pass over the basis columns each and are meant for debugging
// levels, tests and benchmarks, not for the iteration.
#pragma once

#include <cstdint>
#include <span>

#include "simplex/factor/factor.h"

namespace kqopt {

// out = B x, with column p of B the column of header[p].
void multiply_basis(const BasisView& basis, std::span<const std::int32_t> header, std::span<const double> x,
                    std::span<double> out);
// out = B^T y.
void multiply_basis_transposed(const BasisView& basis, std::span<const std::int32_t> header, std::span<const double> y,
                               std::span<double> out);
// max_i sum_p |B_ip|.
double basis_norm_inf(const BasisView& basis, std::span<const std::int32_t> header);

double ftran_residual(const BasisView& basis, std::span<const std::int32_t> header, std::span<const double> x,
                      std::span<const double> a);
double btran_residual(const BasisView& basis, std::span<const std::int32_t> header, std::span<const double> y,
                      std::span<const double> c);

}  // namespace kqopt
