// Installing a basis given by the caller, and reading the basis as the engine holds
// it: KQLOADBASIS / KQILOADBASIS, KQIGETBASIS, KQGETBASICPIV and the presolve map.
//
// Basis status codes, rows and columns alike: 0 nonbasic at lower bound, 1 basic,
// 2 nonbasic at upper bound. Combined indices (KQGETBASICPIV, the map) number the
// row slots 0..M-1 and then the columns M..M+n-1, shifted by the index base.
#pragma once

#include <cstdint>

#include "problem/units.h"

namespace kqopt {

struct Library;

// Installs rstatus (m rows) and cstatus (n columns) in the status words. Row i
// basic takes basis position i; basic columns take the positions left empty by
// nonbasic rows in column order, and those for which none is left become nonbasic at
// lower. The next optimisation starts from this basis (IFNBAS <- 1) without a crash.
// Nothing changes on an error: 91 no problem; 266 (caller's form only) during a
// global search; 422 while an optimisation runs; 86 a null array; 410 / 411 a row /
// column status other than 0, 1, 2 (tag "ldbasis ", position and value).
std::int32_t load_basis(Library& lib, const std::int32_t* rstatus, const std::int32_t* cstatus, Units units);

// The installation step of load_basis for codes already checked (0, 1, 2; m rows, n
// columns), without its checks; the error state is left as it is.
void install_basis(Library& lib, const std::int32_t* rstatus, const std::int32_t* cstatus);

// The basis of the status words as held, without the solution-file fallback of
// get_basis(); null arrays are skipped. 91 when no problem is loaded.
std::int32_t get_internal_basis(Library& lib, std::int32_t* rstatus, std::int32_t* cstatus);

// basis[p] (p < m) receives the combined index of the variable basic in position p.
// When the factorisation is not current: return code 32, error number 422, no
// message. 91 no problem; 86 null basis.
std::int32_t get_basic_positions(Library& lib, std::int32_t* basis);

// map[v] for every variable (integer attribute 1002 entries): the combined index of
// the loaded problem's variable that v stands for; the identity while no presolve
// exists. Writes nothing without a problem or with a null map; always returns 0.
std::int32_t get_presolve_map(Library& lib, std::int32_t* map);

}  // namespace kqopt
