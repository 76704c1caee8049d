// Changing the loaded problem in place: rows, columns, bounds, costs, right-hand
// sides, ranges, row and column types and matrix coefficients.
//
// Every operation takes its values in the caller's units and its indices with the
// index base IFDBG, and returns the return code (0, or 32 with its message). A call
// that fails changes nothing: every index, character and capacity is checked before
// the first change. New rows and columns go into the spare row slots, spare columns
// and spare elements reserved at load; the problem's arrays are never made larger than
// the load reserved.
//
// After a change the kept basis stays in the status words (new logicals basic, new
// columns nonbasic at a bound), so the next optimisation starts from it; the engine's
// factorisation is marked out of date, and changes of the structure or the objective
// also drop the solution held for the problem.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

std::int32_t add_rows(Library& lib, std::int32_t newrow, std::int32_t newnz, const char* qrtype, const double* rhs,
                      const double* range, const std::int32_t* mstart, const std::int32_t* mclind,
                      const double* dmatval);
std::int32_t delete_rows(Library& lib, std::int32_t nrows, const std::int32_t* mindex);
std::int32_t add_columns(Library& lib, std::int32_t newcol, std::int32_t newnz, const double* objx,
                         const std::int32_t* mstart, const std::int32_t* mrwind, const double* dmatval,
                         const double* bdl, const double* bdu);
std::int32_t delete_columns(Library& lib, std::int32_t ncols, const std::int32_t* mindex);

std::int32_t change_bounds(Library& lib, std::int32_t nbnds, const std::int32_t* mindex, const char* qbtype,
                           const double* bnd);
// Index −1 (whatever the index base) sets the objective constant.
std::int32_t change_objective(Library& lib, std::int32_t ncols, const std::int32_t* mindex, const double* obj);
std::int32_t change_rhs(Library& lib, std::int32_t nrows, const std::int32_t* mindex, const double* rhs);
std::int32_t change_ranges(Library& lib, std::int32_t nrows, const std::int32_t* mindex, const double* rng);
std::int32_t change_row_types(Library& lib, std::int32_t nrows, const std::int32_t* mindex, const char* qrtype);
std::int32_t change_column_types(Library& lib, std::int32_t ncols, const std::int32_t* mindex, const char* qctype);

std::int32_t change_coefficient(Library& lib, std::int32_t irow, std::int32_t icol, double dval);
std::int32_t change_coefficients(Library& lib, std::int32_t ncoeffs, const std::int32_t* mrow, const std::int32_t* mcol,
                                 const double* dval);

}  // namespace kqopt
