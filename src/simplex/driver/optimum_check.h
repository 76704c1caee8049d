// The optimum as the caller reads it. The simplex solves the stored (scaled) LP and
// holds its values to ZTOLZE and ZTCOST there, on values it has updated along the
// iterations; the caller reads x and y in the units of the data as loaded and computes
// what follows from them: the row activities a·x and the reduced costs c − Aᵀy. A row
// scaled down by 2^20 magnifies a residual of its equation as much, and a reduced cost
// that is zero in the engine's books is only as small as BTRAN made Bᵀy − c_B.
//
// So an optimum is reported only after the closing check: the final basis refactorised,
// x_B and y solved afresh (one step of refinement each), and from them, in one pass over
// the matrix in the caller's units, every bound of a column and of a row activity and
// the sign of every reduced cost measured against ZTOLZE and ZTCOST. A basis that fails
// goes back to the primal simplex: first on the stored LP with tolerances tightened by
// the factor the units cost, then on the LP in the caller's units (the scale put back
// afterwards, exactly: powers of two). A basis that still fails is not called optimal.
#pragma once

#include <cstdint>
#include <span>

#include "simplex/primal/primal_simplex.h"

namespace kqopt {

struct Library;
struct Problem;
struct EngineState;

struct CallerUnitsViolation {
  double primal = 0.0;    // largest bound violation of a column or of a row's rhs − a·x
  double dual = 0.0;      // largest reduced cost c − Aᵀy of the wrong sign (any sign when basic or free)
  double residual = 0.0;  // largest |rhs − a·x − s| of a row, s the engine's value of its logical
};

// Measures the engine's values x (all variables, internal units) and row prices pi of
// the working LP lp of p, in the caller's units: the matrix, bounds and costs are the
// stored ones unscaled exactly, the activities and reduced costs recomputed from them.
CallerUnitsViolation measure_in_caller_units(const Problem& p, const WorkingLp& lp, const SimplexBasis& basis,
                                             std::span<const double> pi);

// For an optimal `result` whose basis engine holds: the closing check above, with the
// clean-up runs it needs. result becomes the outcome of the last run (stopped when the
// tolerances could not be met), its objective that of the checked solution; clean-up
// iterations are added to attribute 1009. On return engine holds the solution
// (has_solution, duals computed). Returns false, with message 20 or 102 and the return
// code set, when the factorisation failed.
bool confirm_optimum_in_caller_units(Library& lib, Problem& p, EngineState& engine, const PrimalSettings& settings,
                                     SimplexObserver& observer, PrimalResult& result);

}  // namespace kqopt
