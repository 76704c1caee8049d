// Exported entry points: optimisation and the solution.
#include "api/library_instance.h"
#include "kqopt.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/driver/solution_access.h"

using kqopt::the_library;

namespace {

std::int32_t optimise_with_options(const char* options, kqopt::DriverMode mode) {
  kqopt::Library& lib = the_library();
  lib.options.fill(false);
  for (const char* c = options; c != nullptr && *c != '\0'; ++c) {
    if (*c >= 'a' && *c <= 'z') lib.options[static_cast<std::size_t>(*c - 'a')] = true;
  }
  const std::int32_t rc = kqopt::optimise(lib, mode);
  lib.options.fill(false);
  return rc;
}

}  // namespace

extern "C" {

KQAPI int32_t KQMAXIM(const char* options) { return optimise_with_options(options, kqopt::DriverMode::kMaximise); }
KQAPI int32_t KQMINIM(const char* options) { return optimise_with_options(options, kqopt::DriverMode::kMinimise); }

KQAPI int32_t KQSOLUTION(double* x, double* slack, double* dual, double* dj) {
  return kqopt::get_solution(the_library(), x, slack, dual, dj);
}

KQAPI int32_t KQGETBASIS(int32_t* rstatus, int32_t* cstatus) {
  return kqopt::get_basis(the_library(), rstatus, cstatus);
}

}  // extern "C"
