// The workspace budget of one problem: every array of the problem is charged to the
// library's workspace under its number (problem/arrays.h), and the problem records
// what it holds so that it can give the charges back or move them to a matrix slot.
//
// Invariant: p.charges lists exactly the charges the workspace holds for p's arrays
// while p is the current problem; each entry is rounded up to the 16-byte granule.
#pragma once

#include <cstdint>

#include "problem/problem.h"

namespace kqopt {

struct Library;

// Charges (or re-charges) array `number` of p with `bytes`. When it does not fit:
// message 20 with the array number, return code 1, and false.
[[nodiscard]] bool charge_array(Library& lib, Problem& p, int number, std::int64_t bytes);
void release_array(Library& lib, Problem& p, int number);
// Gives back every charge of p.
void release_arrays(Library& lib, Problem& p);
// Charges every array listed in p.charges again (a problem made current from a copy);
// on failure the charges made are given back and message 20 is reported.
[[nodiscard]] bool recharge_arrays(Library& lib, Problem& p);

}  // namespace kqopt
