// Reading the solution and the basis back in the caller's units.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

// x (columns), slack (rows), dual (rows), dj (columns); any may be null.
std::int32_t get_solution(Library& lib, double* x, double* slack, double* dual, double* dj);
// rstatus (rows), cstatus (columns): 0 nonbasic at lower, 1 basic, 2 nonbasic at upper.
std::int32_t get_basis(Library& lib, std::int32_t* rstatus, std::int32_t* cstatus);

}  // namespace kqopt
