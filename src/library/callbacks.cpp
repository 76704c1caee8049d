// Calling the registered callbacks.
#include "library/callbacks.h"

#include "library/library.h"

namespace kqopt {

std::int32_t call_log_callback(Library& lib, LogCallback callback) {
  if (callback == nullptr) return 0;
  flush_notice(lib);
  return callback();
}

}  // namespace kqopt
