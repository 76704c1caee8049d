// Exported entry point: scaling the loaded problem.
#include "api/library_instance.h"
#include "kqopt.h"
#include "simplex/driver/scaling_step.h"

using kqopt::the_library;

extern "C" {

KQAPI int32_t KQSCALE(void) { return kqopt::scale_problem(the_library()); }

}  // extern "C"
