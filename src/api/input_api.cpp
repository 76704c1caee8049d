// Exported entry point: reading a problem file.
#include "api/library_instance.h"
#include "frame/message_numbers.h"
#include "input/input_problem.h"
#include "kqopt.h"

using kqopt::the_library;

namespace {}

extern "C" {

KQAPI int32_t KQINPUT(const char* name) {
  kqopt::Library& lib = the_library();
  if (name == nullptr) {
    lib.begin_operation();
    kqopt::report_error(lib, kqopt::kRcInvalidCall, kqopt::kMessageMissingArgument);
    return lib.err.return_code;
  }
  return kqopt::input::input_problem(lib, name);
}

}  // extern "C"
