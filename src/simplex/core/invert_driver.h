// INVERT as the simplex methods run it: one call that turns the basis they hold into
// a valid factorisation and a basic solution.
//
//   in:   the working LP (matrix, rhs), the bounds the run works with, the basis (header
//         and the status of every variable), the factorisation and its settings;
//   out:  the basis repaired and permuted, nonbasic variables on their bounds, x_B =
//         B^-1 (rhs - N x_N), and a report the caller turns into messages.
//
// Steps: the header is checked against the statuses and rebuilt from them when they
// disagree (basic logicals in row order, then basic structurals; surplus structurals
// made nonbasic, missing positions given to the logicals of nonbasic rows: message 140);
// the factorisation replaces dependent columns by logicals (message 101) and the
// statuses follow; two guards then decide whether the factorisation is good enough:
//   - element growth: when the elimination created an entry more than 1e10 times the
//     largest entry of the matrix it started from, the factors have lost the accuracy
//     the solves need (on maros-r7 at u = 0.01 growth reaches 5e17 and residuals 4e-4);
//     the basis is refactorised with the pivot threshold raised to 0.1;
//   - accuracy: the residual of x_B, e / (max |x_B| + 0.001), or e itself when e > 1e-5,
//     must stay below 1e-8; otherwise the factorisation is marked doubtful (the simplex
//     refactorises more often) and, while the threshold is below 0.15, redone with 0.15.
// A threshold raised by either guard stays raised for the rest of the run (Factor keeps
// it until start_run).
//
// The dual simplex calls it exactly as the primal does; it owns nothing between calls.
#pragma once

#include <cstdint>
#include <span>

#include "simplex/core/simplex_basis.h"
#include "simplex/core/working_lp.h"
#include "simplex/factor/factor.h"

namespace kqopt {

// Growth of the elimination beyond which INVERT is redone with kGrowthThreshold.
inline constexpr double kGrowthLimit = 1.0e10;
inline constexpr double kGrowthThreshold = 0.1;
// Threshold of the accuracy retry.
inline constexpr double kAccuracyThreshold = 0.15;

// Refactorises basis. lower and upper (m + n) are the bounds the nonbasic variables are
// placed on: the LP's, or the working bounds of a run that perturbs or shifts them.
// On ok: basis.header is permuted so that position p is the pivot row of header[p] and
// holds exactly the variables whose status is basic; basis.position matches it;
// basis.x holds the nonbasic values and x_B; the factorisation is valid. Otherwise the
// factorisation is not valid and report.workspace_needed tells a workspace failure.
FactorStatus invert_basis(const WorkingLp& lp, std::span<const double> lower, std::span<const double> upper,
                          SimplexBasis& basis, Factor& factor, const FactorSettings& settings, InvertReport& report);

// The header check of invert_basis on its own: rebuilds basis.header from the statuses
// when the two disagree and counts the repairs in the report (message 140).
void repair_basis_header(std::int32_t rows, std::span<const double> lower, std::span<const double> upper,
                         SimplexBasis& basis, InvertReport& report);

// x_B = B^-1 (rhs - N x_N) into basis.x with the current factorisation. Returns the
// largest |r_i| of the residual r = rhs - [I A] x. work has m entries.
double compute_basic_solution(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, WorkVector& work);

}  // namespace kqopt
