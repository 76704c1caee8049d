// The simplex engine set up from the problem model: the engine state of the library,
// the working LP built from the problem's internal arrays, the basis read from and
// written to the variable status words, and the run settings read from the controls.
//
// Invariant kept by the callers: after a solve, a basis load or a pivot, the status
// words (basic bit 0x002, at-upper bit 0x004) describe engine.basis.
#pragma once

#include "simplex/core/engine_state.h"
#include "simplex/primal/primal_simplex.h"

namespace kqopt {

struct Library;
struct Problem;

// The engine state, made on first use.
EngineState& engine_of(Library& lib);

// The working LP: every row slot is a row, every column a column, values in internal
// units, costs times the sense multiplier.
void build_working_lp(const Problem& problem, double sense, WorkingLp& lp);

// The basis held in the status words: basic bit and at-upper bit. The header gets
// exactly m entries (missing ones from the logicals of nonbasic rows in row order,
// surplus structurals from the back made nonbasic); nonbasic variables are placed on
// their bounds.
void basis_from_status_words(const Problem& problem, const WorkingLp& lp, SimplexBasis& basis);
void basis_to_status_words(const SimplexBasis& basis, Problem& problem);

// Tolerances, limits and factorisation settings of a primal run from the controls.
PrimalSettings primal_settings(const Library& lib);

}  // namespace kqopt
