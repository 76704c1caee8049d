// Exported entry point: the infeasibility analysis.
#include "api/entry_guard.h"
#include "kqopt.h"
#include "simplex/iis/infeasibility_analysis.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQIISCON(void) {
  return guarded(kqopt::kSolves, [&](Library& lib) {
    // No option letters through the entry point: those of an earlier call do not count.
    lib.options.fill(false);
    return kqopt::analyse_infeasibility(lib);
  });
}

}  // extern "C"
