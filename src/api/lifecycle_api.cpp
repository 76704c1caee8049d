// Exported entry points: lifecycle, problem name, command interpreter, log file.
#include <cstdio>
#include <cstdlib>

#include "api/library_instance.h"
#include "frame/message_numbers.h"
#include "kqopt.h"
#include "library/interpreter.h"
#include "library/lifecycle.h"

using kqopt::the_library;

namespace {}

extern "C" {

KQAPI int32_t KQINITLZ(const char* path, int32_t memsize) { return kqopt::initialise(the_library(), path, memsize); }

KQAPI int32_t KQFREEXO(void) {
  kqopt::release(the_library());
  return 0;
}

KQAPI int32_t KQSETPROB(const char* name) {
  kqopt::Library& lib = the_library();
  lib.begin_operation();
  if (name == nullptr) {
    kqopt::report_error(lib, kqopt::kRcInvalidCall, kqopt::kMessageMissingArgument);
    return lib.err.return_code;
  }
  kqopt::set_problem_name(lib, name);
  return 0;
}

KQAPI int32_t KQGETPROB(char* name) {
  kqopt::Library& lib = the_library();
  lib.begin_operation();
  if (name == nullptr) {
    kqopt::report_error(lib, kqopt::kRcInvalidCall, kqopt::kMessageMissingArgument);
    return lib.err.return_code;
  }
  std::snprintf(name, 65, "%s", lib.problem_name.c_str());
  return 0;
}

KQAPI int32_t KQCONTROL(KQCommandLineSource source) {
  int code = kqopt::run_interpreter(the_library(), source, stdin, stdout);
  std::fflush(stdout);
  std::exit(code);
}

KQAPI int32_t KQSETOPTLOG(const char* name) {
  kqopt::set_log_file(the_library(), name);
  return 0;
}

}  // extern "C"
