// Exported entry points: loading problems, names and directives from arrays.
#include "api/entry_guard.h"
#include "kqopt.h"
#include "problem/add_names.h"
#include "problem/directives.h"
#include "problem/load.h"

using kqopt::guarded;
using kqopt::Library;

namespace {

kqopt::ProblemInput linear_input(const char* name, int32_t ncol, int32_t nrow, const char* qrtype, const double* rhs,
                                 const double* range, const double* obj, const int32_t* mstart, const int32_t* mnel,
                                 const int32_t* mrwind, const double* dmatval, const double* dlb, const double* dub) {
  kqopt::ProblemInput input;
  input.problem_name = name;
  input.columns = ncol;
  input.rows = nrow;
  input.row_types = qrtype;
  input.rhs = rhs;
  input.range = range;
  input.objective = obj;
  input.column_starts = mstart;
  input.column_lengths = mnel;
  input.element_rows = mrwind;
  input.element_values = dmatval;
  input.lower = dlb;
  input.upper = dub;
  return input;
}

}  // namespace

extern "C" {

KQAPI int32_t KQLOADPROB(const char* name, int32_t ncol, int32_t nrow, const char* qrtype, const double* rhs,
                         const double* range, const double* obj, const int32_t* mstart, const int32_t* mnel,
                         const int32_t* mrwind, const double* dmatval, const double* dlb, const double* dub) {
  kqopt::ProblemInput input =
      linear_input(name, ncol, nrow, qrtype, rhs, range, obj, mstart, mnel, mrwind, dmatval, dlb, dub);
  return guarded(kqopt::kLoads, [&](Library& lib) { return kqopt::load_from_arrays(lib, input, false); });
}

KQAPI int32_t KQLOADGLOBAL(const char* name, int32_t ncol, int32_t nrow, const char* qrtype, const double* rhs,
                           const double* range, const double* obj, const int32_t* mstart, const int32_t* mnel,
                           const int32_t* mrwind, const double* dmatval, const double* dlb, const double* dub,
                           int32_t ngents, int32_t nsets, const char* qgtype, const int32_t* mgcols,
                           const int32_t* mplim, const char* qstype, const int32_t* msstart, const int32_t* mscols,
                           const double* dref) {
  kqopt::ProblemInput input =
      linear_input(name, ncol, nrow, qrtype, rhs, range, obj, mstart, mnel, mrwind, dmatval, dlb, dub);
  input.entity_count = ngents;
  input.entity_kinds = qgtype;
  input.entity_columns = mgcols;
  input.entity_limits = mplim;
  input.set_count = nsets;
  input.set_types = qstype;
  input.set_starts = msstart;
  input.set_columns = mscols;
  input.set_weights = dref;
  return guarded(kqopt::kLoads, [&](Library& lib) { return kqopt::load_from_arrays(lib, input, true); });
}

KQAPI int32_t KQADDNAMES(int32_t type, const char* names, int32_t first, int32_t last) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::add_names(lib, type, names, first, last); });
}

KQAPI int32_t KQLOADDIR(int32_t ndir, const int32_t* mcols, const int32_t* mpri, const char* qbr, const double* dupc,
                        const double* ddpc) {
  return guarded(kqopt::kChanges, [&](Library& lib) {
    return kqopt::load_directives(lib, kqopt::DirectiveEntry::kPlain, ndir, mcols, mpri, qbr, dupc, ddpc);
  });
}

KQAPI int32_t KQILOADDIR(int32_t ndir, const int32_t* mcols, const int32_t* mpri, const char* qbr, const double* dupc,
                         const double* ddpc) {
  // Allowed from callbacks: a global search takes directives from its callbacks.
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::load_directives(lib, kqopt::DirectiveEntry::kInternal, ndir, mcols, mpri, qbr, dupc, ddpc);
  });
}

}  // extern "C"
