// Exported entry points of the global search: the search itself, the degradation
// estimate of a column and the deletion of an active node.
#include "api/entry_guard.h"
#include "global/search/search.h"
#include "kqopt.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQGLOBAL(void) {
  return guarded(kqopt::kSolves, [&](Library& lib) {
    lib.begin_operation();
    return kqopt::run_global_search(lib);
  });
}

KQAPI int32_t KQGETEST(int32_t j, double* up, double* down) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.begin_operation();
    return kqopt::get_estimate(lib, j - 1, up, down);
  });
}

// Allowed from the search's own callbacks: it changes the search, not the problem.
KQAPI int32_t KQDELNODE(int32_t node, int32_t mode) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.begin_operation();
    return kqopt::delete_node(lib, node, mode);
  });
}

}  // extern "C"
