// The optimum in the caller's units. The simplex solves the stored (scaled) LP and
// holds its values to ZTOLZE and ZTCOST there; in the caller's units a violation grows
// by the scale factor of its row or column (a column scaled up by 2^20 may be 2^20·ZTOLZE
// outside its bounds, a reduced cost of a column scaled down as much 2^20·ZTCOST
// wrong). An optimum is only reported once it meets both tolerances in the caller's
// units: otherwise the primal simplex carries on from the optimal basis on the LP in the
// caller's units, and the scale is put back afterwards (exactly: powers of two).
#pragma once

#include <cstdint>

#include "simplex/primal/primal_simplex.h"

namespace kqopt {

struct Library;
struct Problem;
struct EngineState;

struct CallerUnitsViolation {
  double primal = 0.0;  // largest bound violation of a variable
  double dual = 0.0;    // largest wrong-signed reduced cost of a nonbasic variable
};

// Measures the solution the engine holds for p (values, reduced costs of the working
// LP, internal units) in the caller's units.
CallerUnitsViolation violation_in_caller_units(const Problem& p, const EngineState& engine);

// For an optimal `result` whose solution engine holds (has_solution, duals computed):
// when p is scaled and the solution breaks ZTOLZE or ZTCOST in the caller's units, runs
// the primal simplex on p in the caller's units from the engine's basis, then puts the
// scale back, converting the solution held. result becomes the outcome of that run and
// its iterations are added to attribute 1009. Returns false, with message 20 or 102 and
// the return code set, when the factorisation failed.
bool confirm_optimum_in_caller_units(Library& lib, Problem& p, EngineState& engine, const PrimalSettings& settings,
                                     SimplexObserver& observer, PrimalResult& result);

}  // namespace kqopt
