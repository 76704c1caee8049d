// The ASCII range files of KQRTOASC (command RTOASC): from the range file
// "<name>.rng", the header file "<name>.hdr" exactly as KQTOASC writes it (from the
// solution header the range file copies) and the record file "<name>.rsc", one line per
// row and then per column whose name matches ASCMSK, where only '?' is a wildcard.
//
// Records, in the text conventions of the ASCII solution file (ascii_solution.h):
// leading fields chosen by the option letters s, n, t, b, a, c as there (all six when
// none is given; a row's second value is its slack), then always the lower activity
// limit, the lower unit cost, the upper cost limit, the variable that stops the
// downward move (text 8) and its status (text 2, LL or UL), the upper activity limit,
// the upper unit cost, the lower cost limit, the variable that stops the upward move
// and its status. Limits are not clamped: 1.0e30 stands for none.
#pragma once

#include <cstdint>
#include <string>

#include "output/ascii_solution.h"
#include "output/ranging/range_file.h"

namespace kqopt {

struct Library;

bool name_matches_exact_mask(std::string_view name, std::string_view mask);

std::string ascii_range_records(const RangeRecord& record, const AsciiOptions& options);

// KQRTOASC with the option letters already recorded in lib.options; a non-empty name
// replaces the problem name as the base of the files. Return code: 0; 32 with message
// 91 (the range file cannot be opened), 122 (it cannot be read), 83 (a file that cannot
// be written: the previous one is kept).
std::int32_t write_ascii_ranges(Library& lib, const std::string& name);

}  // namespace kqopt
