// Exported entry points: matrix slots.
#include "api/library_instance.h"
#include "frame/message_numbers.h"
#include "kqopt.h"
#include "library/matrix_slots.h"

using kqopt::the_library;

namespace {}

extern "C" {

KQAPI int32_t KQSAVMAT(int32_t* n) { return kqopt::save_matrix(the_library(), n); }

KQAPI int32_t KQRESMAT(int32_t n) { return kqopt::restore_matrix(the_library(), n); }

KQAPI int32_t KQCPYMAT(const char* name, int32_t* n) {
  kqopt::Library& lib = the_library();
  if (name == nullptr) {
    lib.begin_operation();
    kqopt::report_argument_error(lib, kqopt::kMessageMissingArgument, "cpymat  ", {});
    return lib.err.return_code;
  }
  return kqopt::copy_matrix(lib, name, n);
}

KQAPI int32_t KQDELMAT(int32_t n) { return kqopt::delete_matrix(the_library(), n); }

}  // extern "C"
