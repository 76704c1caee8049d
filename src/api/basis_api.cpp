// Exported entry points: basis loading, the basis solves, single pivots and the
// diagnostics of the current basis.
#include "api/entry_guard.h"
#include "kqopt.h"
#include "simplex/driver/basis_loading.h"
#include "simplex/driver/basis_solves.h"
#include "simplex/driver/infeasibility_list.h"
#include "simplex/driver/single_pivot.h"

using kqopt::BasisSolve;
using kqopt::guarded;
using kqopt::Library;
using kqopt::Units;

extern "C" {

KQAPI int32_t KQLOADBASIS(const int32_t* rstatus, const int32_t* cstatus) {
  return guarded(kqopt::kChanges,
                 [&](Library& lib) { return kqopt::load_basis(lib, rstatus, cstatus, Units::kCaller); });
}
KQAPI int32_t KQILOADBASIS(const int32_t* rstatus, const int32_t* cstatus) {
  return guarded(kqopt::kChanges,
                 [&](Library& lib) { return kqopt::load_basis(lib, rstatus, cstatus, Units::kInternal); });
}
KQAPI int32_t KQIGETBASIS(int32_t* rstatus, int32_t* cstatus) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_internal_basis(lib, rstatus, cstatus); });
}
KQAPI int32_t KQGETBASICPIV(int32_t* basis) {
  return guarded(kqopt::kFactors, [&](Library& lib) { return kqopt::get_basic_positions(lib, basis); });
}

KQAPI int32_t KQFTRAN(double* vec) {
  return guarded(kqopt::kFactors,
                 [&](Library& lib) { return kqopt::solve_with_basis(lib, vec, BasisSolve::ftran, Units::kCaller); });
}
KQAPI int32_t KQBTRAN(double* vec) {
  return guarded(kqopt::kFactors,
                 [&](Library& lib) { return kqopt::solve_with_basis(lib, vec, BasisSolve::btran, Units::kCaller); });
}
KQAPI int32_t KQIFTRAN(double* vec) {
  return guarded(kqopt::kFactors,
                 [&](Library& lib) { return kqopt::solve_with_basis(lib, vec, BasisSolve::ftran, Units::kInternal); });
}
KQAPI int32_t KQIBTRAN(double* vec) {
  return guarded(kqopt::kFactors,
                 [&](Library& lib) { return kqopt::solve_with_basis(lib, vec, BasisSolve::btran, Units::kInternal); });
}

KQAPI int32_t KQGETINF(int32_t* npv, int32_t* nps, int32_t* nds, int32_t* ndv, int32_t* mx, int32_t* mslack,
                       int32_t* mdual, int32_t* mdj) {
  return guarded(kqopt::kFactors, [&](Library& lib) {
    return kqopt::get_infeasibilities(lib, npv, nps, nds, ndv, mx, mslack, mdual, mdj);
  });
}
KQAPI int32_t KQGETUNB(int32_t* j) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_unbounded(lib, j); });
}

KQAPI int32_t KQPIVOT(int32_t in, int32_t out) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::pivot(lib, in, out); });
}
KQAPI int32_t KQGETPIVOTS(int32_t in, int32_t* outlist, double* x, double* objval, int32_t* npiv, int32_t maxpiv) {
  return guarded(kqopt::kFactors,
                 [&](Library& lib) { return kqopt::get_pivots(lib, in, outlist, x, objval, npiv, maxpiv); });
}

KQAPI int32_t KQGETMAP(int32_t* map) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_presolve_map(lib, map); });
}
KQAPI int32_t VNGETMAP(int32_t* map) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_presolve_map(lib, map); });
}

}  // extern "C"
