// Exported entry points: controls and problem attributes.
#include "api/library_instance.h"
#include "frame/message_numbers.h"
#include "kqopt.h"
#include "library/control_access.h"

using kqopt::the_library;

namespace {

// A null result pointer is a caller mistake, reported like any other argument error.
bool reject_null(const void* pointer, const char* tag) {
  if (pointer != nullptr) return false;
  kqopt::Library& lib = the_library();
  lib.begin_operation();
  kqopt::report_argument_error(lib, kqopt::kMessageMissingArgument, tag, {});
  return true;
}
}  // namespace

extern "C" {

KQAPI int32_t KQSETICV(int32_t n, int32_t value) { return kqopt::set_int_control(the_library(), n, value); }
KQAPI int32_t KQSETDCV(int32_t n, double value) { return kqopt::set_double_control(the_library(), n, value); }
KQAPI int32_t KQSETCCV(int32_t n, const char* value) { return kqopt::set_char_control(the_library(), n, value); }

KQAPI int32_t KQGETICV(int32_t n, int32_t* value) {
  if (reject_null(value, "geticv  ")) return kqopt::kRcInvalidCall;
  return kqopt::get_int_control(the_library(), n, value);
}
KQAPI int32_t KQGETDCV(int32_t n, double* value) {
  if (reject_null(value, "getdcv  ")) return kqopt::kRcInvalidCall;
  return kqopt::get_double_control(the_library(), n, value);
}
KQAPI int32_t KQGETCCV(int32_t n, char* value) {
  if (reject_null(value, "getccv  ")) return kqopt::kRcInvalidCall;
  return kqopt::get_char_control(the_library(), n, value);
}
KQAPI int32_t KQGETIPV(int32_t n, int32_t* value) {
  if (reject_null(value, "getipv  ")) return kqopt::kRcInvalidCall;
  return kqopt::get_int_attribute(the_library(), n, value);
}
KQAPI int32_t KQGETDPV(int32_t n, double* value) {
  if (reject_null(value, "getdpv  ")) return kqopt::kRcInvalidCall;
  return kqopt::get_double_attribute(the_library(), n, value);
}
KQAPI int32_t KQGETCPV(int32_t n, char* value) {
  if (reject_null(value, "getcpv  ")) return kqopt::kRcInvalidCall;
  return kqopt::get_char_attribute(the_library(), n, value);
}

}  // extern "C"
