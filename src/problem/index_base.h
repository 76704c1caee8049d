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

namespace kqopt {

enum class Axis { kRows, kColumns };

// A range of 0-based internal row or column indices, last included (empty when
// last < first).
struct IndexRange {
  std::int32_t first = 0;
  std::int32_t last = -1;
  std::int32_t size() const { return last >= first ? last - first + 1 : 0; }
};

// False, after message 91 and return code 32, when no problem is loaded.
bool require_problem(Library& lib);
// Converts caller indices first..last with the index base and checks them against the
// kept rows (first ≥ 0 and last < m, else argument error 406) or the columns (407),
// with the offending bound as the error value. Does not check for a problem.
bool convert_range(Library& lib, Axis axis, const char* tag, std::int32_t first, std::int32_t last, IndexRange& range);
// Argument error 86 with the tag when pointer is null; returns true when it reported.
bool reject_null(Library& lib, const void* pointer, const char* tag);

}  // namespace kqopt
