// Exported entry points: lifecycle, problem name, command interpreter, log file.
#include <cstdio>
#include <cstdlib>

#include "api/entry_guard.h"
#include "frame/message_numbers.h"
#include "kqopt.h"
#include "library/interpreter.h"
#include "library/lifecycle.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQINITLZ(const char* path, int32_t memsize) {
  return guarded(kqopt::kStarts, [&](Library& lib) { return kqopt::initialise(lib, path, memsize); });
}

KQAPI int32_t KQFREEXO(void) {
  return guarded(kqopt::kChanges, [&](Library& lib) {
    kqopt::release(lib);
    return 0;
  });
}

KQAPI int32_t KQSETPROB(const char* name) {
  return guarded(kqopt::kChanges, [&](Library& lib) {
    lib.begin_operation();
    if (name == nullptr) {
      kqopt::report_error(lib, kqopt::kRcInvalidCall, kqopt::kMessageMissingArgument);
      return lib.err.return_code;
    }
    kqopt::set_problem_name(lib, name);
    return 0;
  });
}

KQAPI int32_t KQGETPROB(char* name) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    lib.begin_operation();
    if (name == nullptr) {
      kqopt::report_error(lib, kqopt::kRcInvalidCall, kqopt::kMessageMissingArgument);
      return lib.err.return_code;
    }
    std::snprintf(name, 65, "%s", lib.problem_name.c_str());
    return 0;
  });
}

// The interpreter ends the process with its exit code; a failure that stops it early
// (out of memory) ends it with that failure's return code. A refused call returns.
KQAPI int32_t KQCONTROL(KQCommandLineSource source) {
  bool started = false;
  const int32_t code = guarded(kqopt::kChanges, [&](Library& lib) {
    started = true;
    return static_cast<int32_t>(kqopt::run_interpreter(lib, source, stdin, stdout));
  });
  if (!started) return code;
  std::fflush(stdout);
  std::exit(code);
}

KQAPI int32_t KQSETOPTLOG(const char* name) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    kqopt::set_log_file(lib, name);
    return 0;
  });
}

}  // extern "C"
