// Exported entry points: registering the caller's callbacks. Each takes one function
// pointer (null unregisters) and returns 0.
#include "api/library_instance.h"
#include "kqopt.h"

using kqopt::the_library;

extern "C" {

KQAPI int32_t KQDEFINEUOPENTRY(KQOutputCallback callback) {
  the_library().callbacks.output = callback;
  return 0;
}
KQAPI int32_t KQDEFINEILENTRY(KQLogCallback callback) {
  the_library().callbacks.simplex_log = callback;
  return 0;
}
KQAPI int32_t KQDEFINEGLENTRY(KQLogCallback callback) {
  the_library().callbacks.global_log = callback;
  return 0;
}
KQAPI int32_t KQDEFINEBLENTRY(KQLogCallback callback) {
  the_library().callbacks.barrier_log = callback;
  return 0;
}
KQAPI int32_t KQDEFINEUSNENTRY(void (*callback)(int32_t* node)) {
  the_library().callbacks.select_node = callback;
  return 0;
}
KQAPI int32_t KQDEFINEUONENTRY(void (*callback)(int32_t* flag)) {
  the_library().callbacks.optimal_node = callback;
  return 0;
}
KQAPI int32_t KQDEFINEUINENTRY(void (*callback)(void)) {
  the_library().callbacks.infeasible_node = callback;
  return 0;
}
KQAPI int32_t KQDEFINEUCNENTRY(void (*callback)(int32_t node)) {
  the_library().callbacks.cutoff_node = callback;
  return 0;
}
KQAPI int32_t KQDEFINEUISENTRY(void (*callback)(void)) {
  the_library().callbacks.integer_solution = callback;
  return 0;
}
KQAPI int32_t KQDEFINEUCBENTRY(void (*callback)(int32_t* column, int32_t* direction, double* estimate)) {
  the_library().callbacks.choose_branch = callback;
  return 0;
}
KQAPI int32_t KQDEFINEUBEENTRY(void (*callback)(int32_t* entity, int32_t* priority, double* up_estimate,
                                                double* down_estimate, double* fraction, int32_t* direction,
                                                int32_t* unsatisfied, double* contribution)) {
  the_library().callbacks.user_entities = callback;
  return 0;
}
KQAPI int32_t KQDEFINEUSEENTRY(void (*callback)(int32_t, int32_t, int32_t, double)) {
  the_library().callbacks.user_entity_child = callback;
  return 0;
}
KQAPI int32_t KQDEFINECMIENTRY(void (*callback)(void)) {
  the_library().callbacks.cut_manager_init = callback;
  return 0;
}
KQAPI int32_t KQDEFINETCMENTRY(KQLogCallback callback) {
  the_library().callbacks.top_cut_manager = callback;
  return 0;
}
KQAPI int32_t KQDEFINECMENTRY(KQLogCallback callback) {
  the_library().callbacks.node_cut_manager = callback;
  return 0;
}
KQAPI int32_t KQDEFINECMSENTRY(void (*callback)(void)) {
  the_library().callbacks.cut_manager_end = callback;
  return 0;
}

}  // extern "C"
