// Diagnostics of the current basis for the caller: the lists of KQGETINF and the
// unbounded direction of KQGETUNB.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

// Counts and lists (indices shifted by the index base; the cut rows at the end of the
// matrix left out) of
//   npv / mx      columns whose value lies ZTOLZE or more outside its bounds,
//   nps / mslack  rows whose logical does so,
//   nds / mdual   rows, and ndv / mdj columns, that are dual infeasible: the
//                 reduced cost d (minimisation form; -price for a row's logical)
//                 is below -ZTOLDJ at a lower bound, above ZTOLDJ at an upper bound,
//                 or beyond ZTOLDJ in magnitude for a free nonbasic variable; fixed
//                 variables are never dual infeasible.
// Values come from the basis in memory, recomputed with its factorisation (which
// becomes the solution in memory), else from the solution file. Null pointers are
// skipped. Errors: 91 no problem; 422 while an optimisation runs; 122 (return code
// 2) no basis in memory and no solution file; the factorisation's failures.
std::int32_t get_infeasibilities(Library& lib, std::int32_t* npv, std::int32_t* nps, std::int32_t* nds,
                                 std::int32_t* ndv, std::int32_t* mx, std::int32_t* mslack, std::int32_t* mdual,
                                 std::int32_t* mdj);

// *j receives the combined index (rows 0..m-1, then columns m..m+n-1, shifted by the
// index base) of the variable along which the last optimisation of this problem
// found it unbounded (LP status 5), else -1. Errors: 91 no problem; 86 null j.
std::int32_t get_unbounded(Library& lib, std::int32_t* j);

}  // namespace kqopt
