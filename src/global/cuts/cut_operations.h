// The cut-pool operations behind the exported entry points: storing cuts and bounds,
// adding cuts to the LP directly or from the pool, removing them, dropping pool
// entries, listing and reading cuts, and attaching pool entries to the current node.
// Pool entries are numbered from the index base IFDBG (1 for the C entry points);
// columns and cut positions use the usual index conversion.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

std::int32_t add_cuts(Library& lib, std::int32_t ncuts, const std::int32_t* mtype, const char* qrtype,
                      const double* drhs, const std::int32_t* mstart, const std::int32_t* mcols, const double* dmatval);
std::int32_t store_cuts(Library& lib, std::int32_t mode, std::int32_t ncuts, const std::int32_t* mtype,
                        const char* qrtype, const double* drhs, const std::int32_t* mstart, std::int32_t* mindex,
                        const std::int32_t* mcols, const double* dmatval);
std::int32_t store_bounds(Library& lib, std::int32_t nbnds, const char* qbtype, const std::int32_t* mcols,
                          const double* dbds, std::int32_t* mindex);
std::int32_t load_cuts(Library& lib, std::int32_t itype, std::int32_t interp, std::int32_t ncuts,
                       const std::int32_t* mindex);
std::int32_t delete_cuts(Library& lib, std::int32_t ibasis, std::int32_t itype, std::int32_t interp, double delta,
                         std::int32_t ncuts, const std::int32_t* mindex);
std::int32_t drop_cuts(Library& lib, std::int32_t itype, std::int32_t interp, std::int32_t ncuts,
                       const std::int32_t* mindex);
std::int32_t get_cut_list(Library& lib, std::int32_t itype, std::int32_t interp, std::int32_t* ncuts, std::int32_t size,
                          std::int32_t* mindex);
std::int32_t get_violated_cuts(Library& lib, std::int32_t itype, std::int32_t interp, double delta, std::int32_t size,
                               std::int32_t* ncuts, std::int32_t* mindex, double* dviol);
std::int32_t get_cuts(Library& lib, const std::int32_t* mindex, std::int32_t ncuts, std::int32_t size, char* qrtype,
                      double* drhs, std::int32_t* mstart, std::int32_t* mcols, double* dmatval);
std::int32_t branch_cut(Library& lib, std::int32_t n, const std::int32_t* mindex);

}  // namespace kqopt
