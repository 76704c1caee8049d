// Exported entry point of the directives file.
#include "api/entry_guard.h"
#include "input/directives_file.h"
#include "kqopt.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQDIRECTIVES(const char* name) {
  return guarded(kqopt::kChanges, [&](Library& lib) { return kqopt::read_directives_file(lib, name); });
}

}  // extern "C"
