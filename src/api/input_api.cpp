// Exported entry point: reading a problem file.
#include "api/entry_guard.h"
#include "frame/message_numbers.h"
#include "input/input_problem.h"
#include "kqopt.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQINPUT(const char* name) {
  return guarded(kqopt::kLoads, [&](Library& lib) {
    if (name == nullptr) {
      lib.begin_operation();
      kqopt::report_error(lib, kqopt::kRcInvalidCall, kqopt::kMessageMissingArgument);
      return lib.err.return_code;
    }
    return kqopt::input::input_problem(lib, name);
  });
}

}  // extern "C"
