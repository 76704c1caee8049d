// The LP driver behind maximise and minimise: option letters, the choice of method,
// the objective sense, the LP status and attributes, the solution file and the
// closing message.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

enum class DriverMode { kMaximise = 1, kMinimise = 2, kResolve = 3 };

// The optimisation step of KQMAXIM / KQMINIM; the option letters are already
// recorded in lib.options. Returns the return code.
std::int32_t optimise(Library& lib, DriverMode mode);

// Runs one LP in the given mode. Returns the return code.
std::int32_t run_lp_driver(Library& lib, DriverMode mode);

}  // namespace kqopt
