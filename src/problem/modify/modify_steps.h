// What the modification operations share: the checks every change makes first, the
// bookkeeping after a change, and the status bits of a variable from its bounds.
#pragma once

#include <cstdint>
#include <vector>

#include "problem/index_base.h"
#include "problem/problem.h"

namespace kqopt {

struct Library;

enum class Refuse {
  kNever,                   // values only: allowed whenever a problem is loaded
  kWhenSearching,           // presolved or held by the global search (268)
  kWhenSearchingOrRunning,  // ... or while an optimisation runs (431)
};

// Clears the error state and checks that a problem is loaded (91) and may change now.
// Returns the problem, or null with the error set.
Problem* begin_change(Library& lib, Refuse refuse);

// Argument error 86 when a count is positive and one of its arrays is null, and the
// range error (406 rows, 407 columns) when the count is negative. True when it reported.
bool reject_count(Library& lib, const char* tag, int range_message, std::int32_t count,
                  std::initializer_list<const void*> arrays);

// Caller index -> 0-based index in [0, limit), or −1.
inline std::int32_t checked_index(IndexBase base, std::int32_t caller, std::int32_t limit) {
  const std::int64_t i = base.to_internal(caller);
  return i >= 0 && i < limit ? static_cast<std::int32_t>(i) : -1;
}

enum class Change {
  kValues,     // bounds, right-hand sides, ranges, types: the solution stays
  kObjective,  // costs: the solution goes, the cost scale is refreshed
  kStructure,  // rows, columns or elements: the solution goes
};

// After a successful change: the engine's factorisation is out of date (and its
// solution gone unless only values changed); the problem counts (attributes 1001 to
// 1006, 1019 to 1021) follow the problem.
void after_change(Library& lib, Problem& p, Change change);

// The bound bits of a status word (finite lower, finite upper, free, at upper) made to
// agree with the bounds lower and upper (internal units): a nonbasic variable at an
// upper bound that has gone rests at its lower bound.
std::uint32_t with_bound_bits(std::uint32_t word, double lower, double upper);

// The logical bounds of row slot i and the bits of its status word for row type code
// `type` (the range, a finite width of an L row, given as upper).
void set_row_logical(Problem& p, std::int32_t i, std::uint8_t type, double lower, double upper);

// A bound in the caller's units at or beyond ±1.0E29 becomes ±infinity; any other is
// scaled by 2^shift.
double stored_bound(double value, int shift);

// The scale exponent for a new row (column) from the values a_k (caller units) of its
// kept elements and the scale exponents e_k of the columns (rows) they lie in: the one
// that brings the mean of log2 |a_k · 2^(64 − e_k)| nearest to 0.
int new_line_exponent(double sum_log2, std::int32_t count);

// Removes the rows whose entry in `moved` (one per row) is -1 and moves every other row i
// down to moved[i] (<= i, the order kept; `kept` rows stay): the column-wise elements in
// one pass, then the per-row data and stored names; the freed slots at the end become
// empty spare rows. Updates the row count, the spare rows and the spare elements. The
// column copy must be current; the caller follows with after_change.
void compact_rows(Library& lib, Problem& p, const std::vector<std::int32_t>& moved, std::int32_t kept);

}  // namespace kqopt
