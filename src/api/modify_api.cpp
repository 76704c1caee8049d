// Exported entry points: changing the loaded problem in place.
#include "api/entry_guard.h"
#include "kqopt.h"
#include "problem/modify/modify.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQADDROWS(int32_t newrow, int32_t newnz, const char* qrtype, const double* rhs, const double* range,
                        const int32_t* mstart, const int32_t* mclind, const double* dmatval) {
  return guarded(kqopt::kChanges, [&](Library& lib) {
    return kqopt::add_rows(lib, newrow, newnz, qrtype, rhs, range, mstart, mclind, dmatval);
  });
}
KQAPI int32_t KQDELROWS(int32_t nrows, const int32_t* mindex) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::delete_rows(lib, nrows, mindex); });
}
KQAPI int32_t KQADDCOLS(int32_t newcol, int32_t newnz, const double* objx, const int32_t* mstart, const int32_t* mrwind,
                        const double* dmatval, const double* bdl, const double* bdu) {
  return guarded(kqopt::kChanges, [&](Library& lib) {
    return kqopt::add_columns(lib, newcol, newnz, objx, mstart, mrwind, dmatval, bdl, bdu);
  });
}
KQAPI int32_t KQDELCOLS(int32_t ncols, const int32_t* mindex) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::delete_columns(lib, ncols, mindex); });
}
KQAPI int32_t KQCHGBDS(int32_t nbnds, const int32_t* mindex, const char* qbtype, const double* bnd) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::change_bounds(lib, nbnds, mindex, qbtype, bnd); });
}
KQAPI int32_t KQCHGOBJ(int32_t ncols, const int32_t* mindex, const double* obj) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::change_objective(lib, ncols, mindex, obj); });
}
KQAPI int32_t KQCHGRHS(int32_t nrows, const int32_t* mindex, const double* rhs) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::change_rhs(lib, nrows, mindex, rhs); });
}
KQAPI int32_t KQCHGRNG(int32_t nrows, const int32_t* mindex, const double* rng) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::change_ranges(lib, nrows, mindex, rng); });
}
KQAPI int32_t KQCHGROWTYPE(int32_t nrows, const int32_t* mindex, const char* qrtype) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::change_row_types(lib, nrows, mindex, qrtype); });
}
KQAPI int32_t KQCHGCOLTYPE(int32_t ncols, const int32_t* mindex, const char* qctype) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::change_column_types(lib, ncols, mindex, qctype); });
}
KQAPI int32_t KQCHGCOF(int32_t irow, int32_t icol, double dval) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::change_coefficient(lib, irow, icol, dval); });
}
KQAPI int32_t KQCHGMCOF(int32_t ncoeffs, const int32_t* mrow, const int32_t* mcol, const double* dval) {
  return guarded(kqopt::kChanges,
                 [&](Library& lib) { return kqopt::change_coefficients(lib, ncoeffs, mrow, mcol, dval); });
}

}  // extern "C"
