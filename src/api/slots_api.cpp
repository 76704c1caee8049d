// Exported entry points: matrix slots. Refused from callbacks: a slot operation copies
// or replaces the problem that the running operation works on.
#include "api/entry_guard.h"
#include "frame/message_numbers.h"
#include "kqopt.h"
#include "library/matrix_slots.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQSAVMAT(int32_t* n) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::save_matrix(lib, n); });
}

KQAPI int32_t KQRESMAT(int32_t n) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::restore_matrix(lib, n); });
}

KQAPI int32_t KQCPYMAT(const char* name, int32_t* n) {
  return guarded(kqopt::kChanges, [&](Library& lib) {
    if (name == nullptr) {
      lib.begin_operation();
      kqopt::report_argument_error(lib, kqopt::kMessageMissingArgument, "cpymat  ", {});
      return lib.err.return_code;
    }
    return kqopt::copy_matrix(lib, name, n);
  });
}

KQAPI int32_t KQDELMAT(int32_t n) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::delete_matrix(lib, n); });
}

}  // extern "C"
