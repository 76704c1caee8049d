// Exported entry points: registering the caller's callbacks. Each takes one function
// pointer (null unregisters) and returns 0.
#include "api/entry_guard.h"
#include "kqopt.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQDEFINEUOPENTRY(KQOutputCallback callback) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.output = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEILENTRY(KQLogCallback callback) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.simplex_log = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEGLENTRY(KQLogCallback callback) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.global_log = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEBLENTRY(KQLogCallback callback) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.barrier_log = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEUSNENTRY(void (*callback)(int32_t* node)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.select_node = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEUONENTRY(void (*callback)(int32_t* flag)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.optimal_node = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEUINENTRY(void (*callback)(void)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.infeasible_node = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEUCNENTRY(void (*callback)(int32_t node)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.cutoff_node = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEUISENTRY(void (*callback)(void)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.integer_solution = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEUCBENTRY(void (*callback)(int32_t* column, int32_t* direction, double* estimate)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.choose_branch = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEUBEENTRY(void (*callback)(int32_t* entity, int32_t* priority, double* up_estimate,
                                                double* down_estimate, double* fraction, int32_t* direction,
                                                int32_t* unsatisfied, double* contribution)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.user_entities = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINEUSEENTRY(void (*callback)(int32_t, int32_t, int32_t, double)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.user_entity_child = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINECMIENTRY(void (*callback)(void)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.cut_manager_init = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINETCMENTRY(KQLogCallback callback) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.top_cut_manager = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINECMENTRY(KQLogCallback callback) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.node_cut_manager = callback;
    return 0;
  });
}
KQAPI int32_t KQDEFINECMSENTRY(void (*callback)(void)) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.callbacks.cut_manager_end = callback;
    return 0;
  });
}

}  // extern "C"
