// The basis solves offered to the caller: KQFTRAN / KQIFTRAN (vec <- B^-1 vec) and
// KQBTRAN / KQIBTRAN (vec^T <- vec^T B^-1), with the factorisation of the current
// basis made first when it is not current.
//
// vec has m entries (kept rows). For FTRAN it is indexed by row on entry and by
// basis position on return; for BTRAN by basis position on entry and by row on
// return (position p holds the variable KQGETBASICPIV names). In the caller's units
// a row entry scales like a right-hand side, a position entry like the value (FTRAN)
// or the cost (BTRAN) of the variable basic there, so that FTRAN of a matrix column
// gives its basis coordinates and BTRAN of the basic costs the row prices; the
// internal forms take and give the scaled values unchanged.
#pragma once

#include <cstdint>

#include "problem/units.h"

namespace kqopt {

struct Library;

enum class BasisSolve { ftran, btran };

// Errors: 91 no problem; 422 while an optimisation runs; 86 null vec; the failures
// of the factorisation (make_engine_current).
std::int32_t solve_with_basis(Library& lib, double* vec, BasisSolve solve, Units units);

}  // namespace kqopt
