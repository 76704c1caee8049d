// Exported entry points: basis files and range analysis.
#include <string>

#include "api/call_options.h"
#include "api/entry_guard.h"
#include "kqopt.h"
#include "library/library.h"
#include "output/basis_file.h"
#include "output/ranging/range_ascii.h"
#include "output/ranging/range_file.h"
#include "output/ranging/range_print.h"

using kqopt::guarded;
using kqopt::Library;

extern "C" {

KQAPI int32_t KQBASISOUT(const char* file, const char* options) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::write_basis_file(lib, file, kqopt::basis_file_options(options)); });
}
KQAPI int32_t KQBASISIN(const char* file, const char* options) {
  return guarded(kqopt::kChanges,
                 [&](Library& lib) { return kqopt::read_basis_file(lib, file, kqopt::basis_file_options(options)); });
}

KQAPI int32_t KQRANGE(void) {
  return guarded(kqopt::kFactors, [&](Library& lib) {
    lib.begin_operation();
    return kqopt::write_range_file(lib);
  });
}
KQAPI int32_t KQCOLRANGE(double* a1, double* a2, double* a3, double* a4, double* a5, double* a6) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::column_ranges(lib, {a1, a2, a3, a4, a5, a6}); });
}
KQAPI int32_t KQROWRANGE(double* a1, double* a2, double* a3, double* a4) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::row_ranges(lib, {a1, a2, a3, a4}); });
}

KQAPI int32_t KQRTOASC(const char* file, const char* options) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return kqopt::with_options(lib, options,
                               [&] { return kqopt::write_ascii_ranges(lib, file != nullptr ? file : ""); });
  });
}
KQAPI int32_t KQFRPRINT(void) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::print_ranges(lib, kqopt::PrintDestination::kPrintFile); });
}

}  // extern "C"
