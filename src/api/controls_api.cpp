// Exported entry points: controls and problem attributes. Callbacks may call all of
// them while an operation runs.
#include "api/entry_guard.h"
#include "frame/message_numbers.h"
#include "kqopt.h"
#include "library/control_access.h"

using kqopt::guarded;
using kqopt::Library;

namespace {

// A null result pointer is a caller mistake, reported like any other argument error.
bool reject_null(Library& lib, const void* pointer, const char* tag) {
  if (pointer != nullptr) return false;
  lib.begin_operation();
  kqopt::report_argument_error(lib, kqopt::kMessageMissingArgument, tag, {});
  return true;
}
}  // namespace

extern "C" {

KQAPI int32_t KQSETICV(int32_t n, int32_t value) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::set_int_control(lib, n, value); });
}
KQAPI int32_t KQSETDCV(int32_t n, double value) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::set_double_control(lib, n, value); });
}
KQAPI int32_t KQSETCCV(int32_t n, const char* value) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::set_char_control(lib, n, value); });
}

KQAPI int32_t KQGETICV(int32_t n, int32_t* value) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    if (reject_null(lib, value, "geticv  ")) return lib.err.return_code;
    return kqopt::get_int_control(lib, n, value);
  });
}
KQAPI int32_t KQGETDCV(int32_t n, double* value) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    if (reject_null(lib, value, "getdcv  ")) return lib.err.return_code;
    return kqopt::get_double_control(lib, n, value);
  });
}
KQAPI int32_t KQGETCCV(int32_t n, char* value) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    if (reject_null(lib, value, "getccv  ")) return lib.err.return_code;
    return kqopt::get_char_control(lib, n, value);
  });
}
KQAPI int32_t KQGETIPV(int32_t n, int32_t* value) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    if (reject_null(lib, value, "getipv  ")) return lib.err.return_code;
    return kqopt::get_int_attribute(lib, n, value);
  });
}
KQAPI int32_t KQGETDPV(int32_t n, double* value) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    if (reject_null(lib, value, "getdpv  ")) return lib.err.return_code;
    return kqopt::get_double_attribute(lib, n, value);
  });
}
KQAPI int32_t KQGETCPV(int32_t n, char* value) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    if (reject_null(lib, value, "getcpv  ")) return lib.err.return_code;
    return kqopt::get_char_attribute(lib, n, value);
  });
}

}  // extern "C"
