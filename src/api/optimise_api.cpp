// Exported entry points: optimisation and the solution.
#include "api/call_options.h"
#include "api/entry_guard.h"
#include "kqopt.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/driver/solution_access.h"

using kqopt::guarded;
using kqopt::Library;

namespace {

std::int32_t optimise_with_options(const char* options, kqopt::DriverMode mode) {
  return guarded(kqopt::kSolves, [&](Library& lib) {
    return kqopt::with_options(lib, options, [&] { return kqopt::optimise(lib, mode); });
  });
}

}  // namespace

extern "C" {

KQAPI int32_t KQMAXIM(const char* options) { return optimise_with_options(options, kqopt::DriverMode::kMaximise); }
KQAPI int32_t KQMINIM(const char* options) { return optimise_with_options(options, kqopt::DriverMode::kMinimise); }

KQAPI int32_t KQSOLUTION(double* x, double* slack, double* dual, double* dj) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_solution(lib, x, slack, dual, dj); });
}

KQAPI int32_t KQGETBASIS(int32_t* rstatus, int32_t* cstatus) {
  return guarded(kqopt::kReads, [&](Library& lib) { return kqopt::get_basis(lib, rstatus, cstatus); });
}

}  // extern "C"
