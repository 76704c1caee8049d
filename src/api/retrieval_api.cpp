// Exported entry points: problem retrieval, in the caller's units and (KQI...) as stored.
#include "api/entry_guard.h"
#include "kqopt.h"
#include "problem/directives.h"
#include "problem/retrieval.h"

using kqopt::guarded;
using kqopt::Library;
using kqopt::Units;

extern "C" {

KQAPI int32_t KQGETOBJ(double* obj, int32_t first, int32_t last) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::get_objective(lib, obj, first, last, Units::kCaller); });
}
KQAPI int32_t KQGETRHS(double* rhs, int32_t first, int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_rhs(lib, rhs, first, last, Units::kCaller); });
}
KQAPI int32_t KQGETRNG(double* rng, int32_t first, int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_range(lib, rng, first, last, Units::kCaller); });
}
KQAPI int32_t KQGETBDL(double* bdl, int32_t first, int32_t last) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::get_lower_bounds(lib, bdl, first, last, Units::kCaller); });
}
KQAPI int32_t KQGETBDU(double* bdu, int32_t first, int32_t last) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::get_upper_bounds(lib, bdu, first, last, Units::kCaller); });
}
KQAPI int32_t KQGETCOLS(int32_t* mstart, int32_t* mrwind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                        int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::get_columns(lib, mstart, mrwind, dmatval, size, nels, first, last, Units::kCaller);
  });
}
KQAPI int32_t KQGETROWS(int32_t* mstart, int32_t* mclind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                        int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::get_rows(lib, mstart, mclind, dmatval, size, nels, first, last, Units::kCaller);
  });
}

KQAPI int32_t KQIGETOBJ(double* obj, int32_t first, int32_t last) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::get_objective(lib, obj, first, last, Units::kInternal); });
}
KQAPI int32_t KQIGETRHS(double* rhs, int32_t first, int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_rhs(lib, rhs, first, last, Units::kInternal); });
}
KQAPI int32_t KQIGETRNG(double* rng, int32_t first, int32_t last) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::get_range(lib, rng, first, last, Units::kInternal); });
}
KQAPI int32_t KQIGETBDL(double* bdl, int32_t first, int32_t last) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::get_lower_bounds(lib, bdl, first, last, Units::kInternal); });
}
KQAPI int32_t KQIGETBDU(double* bdu, int32_t first, int32_t last) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::get_upper_bounds(lib, bdu, first, last, Units::kInternal); });
}
KQAPI int32_t KQIGETCOLS(int32_t* mstart, int32_t* mrwind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                         int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::get_columns(lib, mstart, mrwind, dmatval, size, nels, first, last, Units::kInternal);
  });
}
KQAPI int32_t KQIGETROWS(int32_t* mstart, int32_t* mclind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                         int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::get_rows(lib, mstart, mclind, dmatval, size, nels, first, last, Units::kInternal);
  });
}

KQAPI int32_t KQGETNAMES(int32_t type, char* names, int32_t first, int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_names(lib, type, names, first, last); });
}
KQAPI int32_t KQGETINDEX(int32_t type, const char* name, int32_t* index) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_index(lib, type, name, index); });
}
KQAPI int32_t KQGETROWTYPE(char* qrtype, int32_t first, int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_row_types(lib, qrtype, first, last); });
}
KQAPI int32_t KQGETCOLTYPE(char* qctype, int32_t first, int32_t last) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_column_types(lib, qctype, first, last); });
}
KQAPI int32_t KQGETGLOBAL(int32_t* ngents, int32_t* nsets, char* qgtype, int32_t* mgcols, double* dlim, char* qstype,
                          int32_t* msstart, int32_t* mscols, double* dref) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::get_global(lib, ngents, nsets, qgtype, mgcols, dlim, qstype, msstart, mscols, dref);
  });
}
KQAPI int32_t KQGETDIR(int32_t* ndir, int32_t* mcols, int32_t* mpri, char* qbr, double* dupc, double* ddpc) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::get_directives(lib, ndir, mcols, mpri, qbr, dupc, ddpc); });
}

}  // extern "C"
