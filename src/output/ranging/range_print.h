// The ranges of the optimal basis printed from the range file: on the screen (command
// RPRINT) or into the print file "<problem>.rrt" (KQFRPRINT, command FRPRINT).
//
// Per row and per column, two lines under the headings of message 23 and 24 (rows) or
// 33 and 34 (columns), a heading again after every NLINES - 2 lines: the first with the
// number, name and status, the activity, the lower activity limit, the lower unit cost,
// the upper cost limit and the variable that stops the downward move with its status;
// the second, under the first's limits, the upper activity limit, the upper unit cost,
// the lower cost limit and the variable that stops the upward move.
#pragma once

#include <cstdint>

#include "output/solution_print.h"

namespace kqopt {

struct Library;

// Returns the return code: 32 with message 91 when no problem is loaded, 122 when the
// range file cannot be read or belongs to a problem of another size, 80 when the
// print file cannot be opened, 83 when it cannot be written (the previous one kept).
std::int32_t print_ranges(Library& lib, PrintDestination destination);

}  // namespace kqopt
