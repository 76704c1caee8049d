// Scaling as the engine and the entry points see it: a change of exponents that moves a
// solution held for the problem along with it, the rescale of KQSCALE and the SCALE
// command. The stored problem's side is problem/scale_exponents.h.
#pragma once

#include <cstdint>

#include "problem/scale_exponents.h"

namespace kqopt {

struct Library;

// Converts every stored value of p (and of a solution the engine holds for it) from the
// current exponents to `next`, and records `next` in the status words.
void change_scale_exponents(Library& lib, Problem& p, const ScaleExponents& next);

// The scaling step of KQSCALE: the current scale is removed; with IFSCAL ≠ 0 new
// exponents are computed (messages 30 / 31 when IFMSG ≠ 0) and applied; then the cost
// scale is set. p must have a current column-wise matrix.
void rescale_problem(Library& lib, Problem& p);

// KQSCALE and the SCALE command. Clears the error state. Returns the return code: 32
// with message 91 when no problem is loaded, 32 with message 268 while an optimisation
// or a global search is under way.
std::int32_t scale_problem(Library& lib);

}  // namespace kqopt
