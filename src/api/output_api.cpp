// Exported entry points: the problem writer, the ASCII solution files and the print file.
#include <string>

#include "api/call_options.h"
#include "api/entry_guard.h"
#include "kqopt.h"
#include "library/library.h"
#include "output/ascii_solution.h"
#include "output/mps_writer.h"
#include "output/solution_print.h"

using kqopt::guarded;
using kqopt::Library;
using kqopt::with_options;

extern "C" {

KQAPI int32_t KQOUTPUT(const char* options) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    return with_options(lib, options, [&] { return kqopt::write_problem_file(lib); });
  });
}

KQAPI int32_t KQTOASC(const char* file, const char* options) {
  return guarded(kqopt::kReads, [&](Library& lib) {
    const std::string name = file != nullptr ? file : "";
    return with_options(lib, options, [&] { return kqopt::write_ascii_solution(lib, name); });
  });
}

KQAPI int32_t KQFPRINT(void) {
  return guarded(kqopt::kReads,
                 [&](Library& lib) { return kqopt::print_solution(lib, kqopt::PrintDestination::kPrintFile); });
}

}  // extern "C"
