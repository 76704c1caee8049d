// The index base of the array interface and the argument-error reports of the problem
// operations.
//
// Caller indices (rows, columns, element and set positions) are converted by adding
// the base, IFDBG: 1 for the C entry points (0-based arrays), 0 for the Fortran-style
// ones (1-based arrays). A caller index c denotes the 0-based internal index
// c + base − 1; an index returned, and a position quoted in an error report, is the
// 0-based internal index i turned back into c = i + 1 − base.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

struct IndexBase {
  std::int32_t base = 1;

  std::int64_t to_internal(std::int64_t caller) const { return caller + base - 1; }
  std::int64_t to_caller(std::int64_t internal) const { return internal + 1 - base; }
};

// The index base the library's controls hold now (IFDBG).
IndexBase current_index_base(const Library& lib);

// Argument error report whose values end with a character: return code 32, the
// message, the routine tag, the position (6 wide) and the character itself.
void report_character_error(Library& lib, int message, const char* tag, std::int64_t position, char c);

}  // namespace kqopt
