// Problem retrieval: copies of the loaded problem for the caller.
//
// Every operation clears the error state and returns the return code: message 91 and
// 32 when no problem is loaded; for the range operations argument error 406 (rows:
// first ≥ 0 and last < m) or 407 (columns: last < n) with the offending bound, first
// checked first, indices taken with the index base (IFDBG). A null output array that
// would be written is argument error 86. Values come in the caller's units
// (Units::kCaller, unscaled by the status-word exponents) or as stored
// (Units::kInternal, the KQI... forms).
#pragma once

#include <cstdint>

#include "problem/units.h"

namespace kqopt {

struct Library;

// Objective coefficients, lower and upper bounds of columns first..last.
std::int32_t get_objective(Library& lib, double* obj, std::int32_t first, std::int32_t last, Units units);
std::int32_t get_lower_bounds(Library& lib, double* bounds, std::int32_t first, std::int32_t last, Units units);
std::int32_t get_upper_bounds(Library& lib, double* bounds, std::int32_t first, std::int32_t last, Units units);
// Right-hand sides and range values (the logical's upper bound) of rows first..last.
std::int32_t get_rhs(Library& lib, double* rhs, std::int32_t first, std::int32_t last, Units units);
std::int32_t get_range(Library& lib, double* range, std::int32_t first, std::int32_t last, Units units);

// Columns (rows) first..last: with size > 0, start entries, indices and values of at
// most size elements (the copy stops at the first element that would exceed size);
// *nels always receives the number of elements of the whole range.
std::int32_t get_columns(Library& lib, std::int32_t* mstart, std::int32_t* mrwind, double* dmatval, std::int32_t size,
                         std::int32_t* nels, std::int32_t first, std::int32_t last, Units units);
std::int32_t get_rows(Library& lib, std::int32_t* mstart, std::int32_t* mclind, double* dmatval, std::int32_t size,
                      std::int32_t* nels, std::int32_t first, std::int32_t last, Units units);

// Names of rows (type 1) or columns (type 2): 8·k characters and a NUL each.
std::int32_t get_names(Library& lib, std::int32_t type, char* names, std::int32_t first, std::int32_t last);
// Index of the first row (type 1) or column (type 2) named `name` (blank-padded), or −1.
std::int32_t get_index(Library& lib, std::int32_t type, const char* name, std::int32_t* index);
// Row types N, L, G, E, R and column types C, I, B, S, P.
std::int32_t get_row_types(Library& lib, char* types, std::int32_t first, std::int32_t last);
std::int32_t get_column_types(Library& lib, char* types, std::int32_t first, std::int32_t last);

// The global entities: counts, then per column entity its kind, column and limit, per
// set its type, member start (plus one end entry), members and weights. Null output
// arrays are skipped.
std::int32_t get_global(Library& lib, std::int32_t* ngents, std::int32_t* nsets, char* qgtype, std::int32_t* mgcols,
                        double* dlim, char* qstype, std::int32_t* msstart, std::int32_t* mscols, double* dref);

}  // namespace kqopt
