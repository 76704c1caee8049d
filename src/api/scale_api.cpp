// Exported entry point: scaling the loaded problem.
#include "api/entry_guard.h"
#include "kqopt.h"
#include "simplex/driver/scaling_step.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQSCALE(void) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::scale_problem(lib); });
}

}  // extern "C"
