// The problem writer: the current problem as an MPS file "<problem>.mat" in the dialect
// the MPS reader reads (KQOUTPUT, command OUTPUT).
//
// Layout. Fixed columns: field 1 at column 2, names at columns 5 and 15, numbers at 25
// (12 characters), the second entry's name at 40 and number at 50. Names longer than
// eight characters (NAMLEN above 8 and a name that uses the room) are written in the
// wide layout the reader takes with the same NAMLEN, one entry per line. Option letters:
//   o  one entry per line;
//   p  numbers in the full-precision form (mps_number.h), one entry per line; such a
//      file is read back exactly in the free layout (FREFMT) or with LENDBL of 24;
//   x  per number the two hexadecimal words at columns 25 and 33 and the full-precision
//      form at 42, one entry per line (for reading by eye or by tools, not by KQINPUT);
//   n  values as stored (scaled), not in the caller's units;
//   s  generated names: VVVVVV12 for row or column 12, SSSSSSS1 for set 1;
//   c  columns that are fixed (marked so, or with equal bounds) and belong to no set
//      are left out, their value moved into the right-hand sides and the objective
//      constant.
// Sections: NAME (the problem name without its folder), ROWS ("**OBJ***" first when the
// problem has no objective row), COLUMNS (objective coefficient first, then the entries
// in row order; a column with neither gets an explicit zero cost so that it is not
// lost), SETS, RHS (RHSNAM or RHS00001; the objective constant negated on the objective
// row), RANGES (RNGNAM or RNG00001), BOUNDS (BNDNAM or BOUND001), ENDATA. Entities are
// written in BOUNDS: UI, BV, SC (its second number at column 40 when not 1), PI, each
// followed by LO and UP as needed; an integer without an upper bound is UI 1e30. A lower
// bound of minus infinity with a finite upper bound is LO -1e30.
//
// Failures: no problem, message 91 and return code 32; the file cannot be created or
// written, message 83 and return code 32, the previous file kept.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

std::int32_t write_problem_file(Library& lib);

}  // namespace kqopt
