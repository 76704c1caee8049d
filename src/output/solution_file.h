// The binary solution file "<problem>.sol", written after every LP solution and read
// back when the solution is no longer in memory. The bytes are solution_codec's.
#pragma once

#include "output/solution_codec.h"

namespace kqopt {

struct Library;

// Writes the solution in memory to the problem's sol file. Returns false (and leaves
// message 122 with return code 2) when the file cannot be written.
bool write_solution_file(Library& lib);

// Reads the problem's sol file; false when it cannot be opened or is too short.
bool read_solution_file(const Library& lib, SolutionRecord& record);

}  // namespace kqopt
