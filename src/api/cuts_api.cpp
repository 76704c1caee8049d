// Exported entry points of the cut pool. They are meant to be called from the
// cut-manager callbacks in the middle of a search, so the guard lets them through
// there: they change the LP's cut rows and the pool, never the problem as loaded.
#include "api/entry_guard.h"
#include "global/cuts/cut_operations.h"
#include "kqopt.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQADDCUTS(int32_t ncuts, const int32_t* mtype, const char* qrtype, const double* drhs,
                        const int32_t* mstart, const int32_t* mcols, const double* dmatval) {
  return guarded(kqopt::kCutRows, [&](Library& lib) {
    return kqopt::add_cuts(lib, ncuts, mtype, qrtype, drhs, mstart, mcols, dmatval);
  });
}

KQAPI int32_t KQSTORECUTS(int32_t mode, int32_t ncuts, const int32_t* mtype, const char* qrtype, const double* drhs,
                          const int32_t* mstart, int32_t* mindex, const int32_t* mcols, const double* dmatval) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::store_cuts(lib, mode, ncuts, mtype, qrtype, drhs, mstart, mindex, mcols, dmatval);
  });
}

KQAPI int32_t KQSTOREBNDS(int32_t nbnds, const char* qbtype, const int32_t* mcols, const double* dbds,
                          int32_t* mindex) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::store_bounds(lib, nbnds, qbtype, mcols, dbds, mindex); });
}

KQAPI int32_t KQLOADCUTS(int32_t itype, int32_t interp, int32_t ncuts, const int32_t* mindex) {
  return guarded(kqopt::kCutRows, [&](Library& lib) { return kqopt::load_cuts(lib, itype, interp, ncuts, mindex); });
}

KQAPI int32_t KQDELCUTS(int32_t ibasis, int32_t itype, int32_t interp, double delta, int32_t ncuts,
                        const int32_t* mindex) {
  return guarded(kqopt::kCutRows,
                 [&](Library& lib) { return kqopt::delete_cuts(lib, ibasis, itype, interp, delta, ncuts, mindex); });
}

KQAPI int32_t KQDROPCUTS(int32_t itype, int32_t interp, int32_t ncuts, const int32_t* mindex) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::drop_cuts(lib, itype, interp, ncuts, mindex); });
}

KQAPI int32_t KQGETCNLIST(int32_t itype, int32_t interp, int32_t* ncuts, int32_t size, int32_t* mindex) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::get_cut_list(lib, itype, interp, ncuts, size, mindex); });
}

KQAPI int32_t KQGETCPLIST(int32_t itype, int32_t interp, double delta, int32_t size, int32_t* ncuts, int32_t* mindex,
                          double* dviol) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::get_violated_cuts(lib, itype, interp, delta, size, ncuts, mindex, dviol);
  });
}

KQAPI int32_t KQGETCUTS(const int32_t* mindex, int32_t ncuts, int32_t size, char* qrtype, double* drhs, int32_t* mstart,
                        int32_t* mcols, double* dmatval) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::get_cuts(lib, mindex, ncuts, size, qrtype, drhs, mstart, mcols, dmatval);
  });
}

KQAPI int32_t KQBRANCHCUT(int32_t n, const int32_t* mindex) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::branch_cut(lib, n, mindex); });
}

}  // extern "C"
