// KQADDNAMES: names for a range of rows or columns of the loaded problem.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

// Names rows (type 1) or columns (type 2) first..last (caller indices) from `names`,
// last − first + 1 NUL-terminated names one after another. Errors: 91 no problem, 406
// / 407 range, 408 a name longer than 8·k characters (its character position in the
// buffer), 86 null names or another type. Every name is checked before any is stored.
std::int32_t add_names(Library& lib, std::int32_t type, const char* names, std::int32_t first, std::int32_t last);

}  // namespace kqopt
