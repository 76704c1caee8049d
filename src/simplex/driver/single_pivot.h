// Single pivots on the current basis for the caller: KQPIVOT performs one, and
// KQGETPIVOTS lists the variables that would leave. Both go through the primal
// simplex's own steps (primal_step.h): the entering column is transformed by FTRAN,
// the leaving candidates come from its ratio test and the basis change from its
// update.
//
// Variables are named by combined index: the internal variable number minus 1
// (row slots 0..M-1, columns M..M+n-1), shifted by the index base. The entering
// variable in must be nonbasic; it moves away from the bound it sits at (a free one
// in the direction its reduced cost makes attractive, upward when that is zero).
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

// With out == in, in moves to its other bound; otherwise out, basic, leaves at the
// bound it moves towards (the other one when that is infinite) and in enters. The
// factorisation is updated (or rebuilt when due or refused) and the solution in
// memory recomputed (objective attribute 2001 too); the status words follow.
// Errors (return code 32): 91 no problem; 422 while an optimisation runs; 425 in
// out of range or basic; 426 out out of range or nonbasic, its pivot element below
// ZTOLPV in magnitude, or (out == in) an infinite other bound; and the failures of
// the factorisation.
std::int32_t pivot(Library& lib, std::int32_t in, std::int32_t out);

// Without changing the basis: *npiv <- 0; when the ratio test finds a limit,
// *objval <- attribute 2001 + the objective change of that step, x (attribute 1002
// entries, when not null) <- the values after it in the caller's units, and the
// candidates are listed in outlist (when not null): first the limiting variable (in
// itself when it reaches its own other bound first), then, while the last one was
// basic and fewer than maxpiv are listed, the next limit once the last one's entry is
// taken out of the column, as long as its step times the first pivot's magnitude
// stays below the first candidate's distance to its bound plus ZTOLZE. At most
// maxpiv candidates. Errors: 91, 422, 425 as for pivot(); 86 null npiv or objval.
std::int32_t get_pivots(Library& lib, std::int32_t in, std::int32_t* outlist, double* x, double* objval,
                        std::int32_t* npiv, std::int32_t maxpiv);

}  // namespace kqopt
