// The driver's presolve gate: whether an optimisation presolves, the presolve run with
// its settings from the controls and its messages, and the outcome of a problem that
// presolve alone proved infeasible or unbounded.
#pragma once

#include <vector>

#include "simplex/presolve/presolve.h"

namespace kqopt {

struct Library;
struct Problem;

// IPRICE, IFPRES and IPSLCT all nonzero, no basis to start from, and the LP is not a
// re-solve of the search.
bool presolve_selected(const Library& lib, bool resolve);

// What each column may undergo when the problem's global entities are active
// (integers, semi-continuous columns and set members); empty when none are.
std::vector<ColumnKind> column_kinds(const Library& lib, const Problem& problem);

// Presolves lp (the working LP of the problem as loaded) and prints the statistics
// message (258, or 260 when nothing was removed) under IFMSG.
Presolved run_presolve(Library& lib, const Problem& problem, const WorkingLp& lp);

// The crash (ICRASH) on the presolved LP, as on a loaded problem without a basis: the
// basis it finds becomes `basis` (of presolved.lp). sense: the objective sense
// multiplier the working LP's costs carry.
void crash_presolved(Library& lib, const Problem& loaded, const Presolved& presolved, double sense,
                     SimplexBasis& basis);

// A problem presolve proved infeasible or unbounded: status character and LP status
// set, no solution held, no closing message; the column an unbounded one improves
// along is kept for KQGETUNB.
void finish_proved_by_presolve(Library& lib, const Presolved& presolved, std::int32_t row_slots);

}  // namespace kqopt
