// The cut rows of the LP: appended after the problem's rows in the spare row slots and
// spare elements reserved at load, each remembering the pool entry it came from. The
// rows are in the problem's units with a neutral row scale, so a row's slack is in the
// caller's units; their elements are scaled by the column factors as they enter.
#pragma once

#include <cstdint>
#include <vector>

#include "global/cuts/cut_pool.h"

namespace kqopt {

struct Library;
struct Problem;

// A cut about to become a row (caller's units, elements sorted by column).
struct CutRow {
  std::uint8_t type = 4;
  double rhs = 0.0;
  const std::int32_t* columns = nullptr;
  const double* values = nullptr;
  std::int32_t count = 0;
  LpCut origin;
};

// The cut row of pool entry `entry` (a cut entry).
CutRow pool_cut_row(const CutPool& pool, std::int32_t entry);

// The first cut row (0-based): the problem's rows less the cut rows.
std::int32_t first_cut_row(const Problem& p, const CutPool& pool);

// Appends the rows with basic slacks. The caller has checked the spare rows and
// elements. False (message 20) when the row copy does not fit.
bool append_cut_rows(Library& lib, Problem& p, CutPool& pool, const std::vector<CutRow>& rows);

// Removes the cut rows whose position in pool.lp_cuts is flagged, keeping the order of
// the others; their records' LP counts go down.
void remove_cut_rows(Library& lib, Problem& p, CutPool& pool, const std::vector<bool>& remove);

// Makes the LP's cut rows those of the listed pool entries, in this order (cut rows
// already in the right place stay). False when they do not fit (the LP then keeps a
// prefix of them).
bool set_lp_cuts(Library& lib, Problem& p, CutPool& pool, const std::vector<std::int32_t>& entries);

// The pool entries of the LP's cut rows (-1 for rows added directly).
std::vector<std::int32_t> lp_entries(const CutPool& pool);

// Integer attribute 1012.
void publish_cut_rows(Library& lib, const CutPool& pool);

}  // namespace kqopt
