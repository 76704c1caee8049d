// Calling the registered callbacks.
#include "library/callbacks.h"

#include "library/library.h"

namespace kqopt {

std::int32_t call_log_callback(Library& lib, LogCallback callback) {
  if (callback == nullptr) return 0;
  flush_notice(lib);
  // What the callback calls leaves its own error state; the running operation's
  // comes back when it returns.
  const ErrorState running = lib.err;
  const std::int32_t result = callback();
  lib.err = running;
  return result;
}

}  // namespace kqopt
