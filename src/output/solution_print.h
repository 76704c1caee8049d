// The solution printed row by row and column by column, from the solution file: on
// the screen (command PRINT) or into the print file "<problem>.prt" (KQFPRINT,
// command FPRINT).
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

enum class PrintDestination { kScreen, kPrintFile };

// Returns the return code: 32 with message 91 when no problem has been optimised,
// message 80 when the print file cannot be opened, message 122 when the solution
// file cannot be read.
std::int32_t print_solution(Library& lib, PrintDestination destination);

}  // namespace kqopt
