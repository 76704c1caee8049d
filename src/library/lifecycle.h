// Starting and stopping the library: defaults, the message file, the workspace
// budget and the capacities derived from it.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

// Initialises lib; returns the return code (8 message file or capacities, 4 no workspace).
std::int32_t initialise(Library& lib, const char* path, std::int32_t memsize);
// Releases what initialise obtained; the library must be initialised again before use.
void release(Library& lib);
// Sets the problem name (at most 63 characters are kept).
void set_problem_name(Library& lib, const char* name);

}  // namespace kqopt
