// The crash as the LP driver and the CRASH command run it: settings from the controls,
// the report in messages, and the command's checks. Building the basis is a kernel
// (simplex/prep/crash.h).
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;
struct Problem;

// The crash of the LP driver: settings from the controls, messages 138, 236 and 51
// (when IFMSG ≠ 0) and 121 (always, unless the type is 0), then IFNBAS ← 1.
void run_crash(Library& lib, Problem& p);

// The CRASH command. Clears the error state; 91 and return code 32 without a problem,
// 268 while an optimisation is under way. Returns the return code.
std::int32_t crash_problem(Library& lib);

}  // namespace kqopt
