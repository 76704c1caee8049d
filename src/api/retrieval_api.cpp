// Exported entry points: problem retrieval, in the caller's units and (KQI...) as stored.
#include "api/library_instance.h"
#include "kqopt.h"
#include "problem/directives.h"
#include "problem/retrieval.h"

using kqopt::the_library;
using kqopt::Units;

extern "C" {

KQAPI int32_t KQGETOBJ(double* obj, int32_t first, int32_t last) {
  return kqopt::get_objective(the_library(), obj, first, last, Units::kCaller);
}
KQAPI int32_t KQGETRHS(double* rhs, int32_t first, int32_t last) {
  return kqopt::get_rhs(the_library(), rhs, first, last, Units::kCaller);
}
KQAPI int32_t KQGETRNG(double* rng, int32_t first, int32_t last) {
  return kqopt::get_range(the_library(), rng, first, last, Units::kCaller);
}
KQAPI int32_t KQGETBDL(double* bdl, int32_t first, int32_t last) {
  return kqopt::get_lower_bounds(the_library(), bdl, first, last, Units::kCaller);
}
KQAPI int32_t KQGETBDU(double* bdu, int32_t first, int32_t last) {
  return kqopt::get_upper_bounds(the_library(), bdu, first, last, Units::kCaller);
}
KQAPI int32_t KQGETCOLS(int32_t* mstart, int32_t* mrwind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                        int32_t last) {
  return kqopt::get_columns(the_library(), mstart, mrwind, dmatval, size, nels, first, last, Units::kCaller);
}
KQAPI int32_t KQGETROWS(int32_t* mstart, int32_t* mclind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                        int32_t last) {
  return kqopt::get_rows(the_library(), mstart, mclind, dmatval, size, nels, first, last, Units::kCaller);
}

KQAPI int32_t KQIGETOBJ(double* obj, int32_t first, int32_t last) {
  return kqopt::get_objective(the_library(), obj, first, last, Units::kInternal);
}
KQAPI int32_t KQIGETRHS(double* rhs, int32_t first, int32_t last) {
  return kqopt::get_rhs(the_library(), rhs, first, last, Units::kInternal);
}
KQAPI int32_t KQIGETRNG(double* rng, int32_t first, int32_t last) {
  return kqopt::get_range(the_library(), rng, first, last, Units::kInternal);
}
KQAPI int32_t KQIGETBDL(double* bdl, int32_t first, int32_t last) {
  return kqopt::get_lower_bounds(the_library(), bdl, first, last, Units::kInternal);
}
KQAPI int32_t KQIGETBDU(double* bdu, int32_t first, int32_t last) {
  return kqopt::get_upper_bounds(the_library(), bdu, first, last, Units::kInternal);
}
KQAPI int32_t KQIGETCOLS(int32_t* mstart, int32_t* mrwind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                         int32_t last) {
  return kqopt::get_columns(the_library(), mstart, mrwind, dmatval, size, nels, first, last, Units::kInternal);
}
KQAPI int32_t KQIGETROWS(int32_t* mstart, int32_t* mclind, double* dmatval, int32_t size, int32_t* nels, int32_t first,
                         int32_t last) {
  return kqopt::get_rows(the_library(), mstart, mclind, dmatval, size, nels, first, last, Units::kInternal);
}

KQAPI int32_t KQGETNAMES(int32_t type, char* names, int32_t first, int32_t last) {
  return kqopt::get_names(the_library(), type, names, first, last);
}
KQAPI int32_t KQGETINDEX(int32_t type, const char* name, int32_t* index) {
  return kqopt::get_index(the_library(), type, name, index);
}
KQAPI int32_t KQGETROWTYPE(char* qrtype, int32_t first, int32_t last) {
  return kqopt::get_row_types(the_library(), qrtype, first, last);
}
KQAPI int32_t KQGETCOLTYPE(char* qctype, int32_t first, int32_t last) {
  return kqopt::get_column_types(the_library(), qctype, first, last);
}
KQAPI int32_t KQGETGLOBAL(int32_t* ngents, int32_t* nsets, char* qgtype, int32_t* mgcols, double* dlim, char* qstype,
                          int32_t* msstart, int32_t* mscols, double* dref) {
  return kqopt::get_global(the_library(), ngents, nsets, qgtype, mgcols, dlim, qstype, msstart, mscols, dref);
}
KQAPI int32_t KQGETDIR(int32_t* ndir, int32_t* mcols, int32_t* mpri, char* qbr, double* dupc, double* ddpc) {
  return kqopt::get_directives(the_library(), ndir, mcols, mpri, qbr, dupc, ddpc);
}

}  // extern "C"
