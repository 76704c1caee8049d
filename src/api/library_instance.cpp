// The process-wide library state, created on first use.
#include "api/library_instance.h"

namespace kqopt {

Library& the_library() {
  static Library library;
  return library;
}

}  // namespace kqopt
