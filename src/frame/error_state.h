// Error state shared by every operation: the return code of the last operation,
// the number of the last message that reported a failure, and one integer of
// context for the last argument error.
#pragma once

#include <cstdint>

namespace kqopt {

// Return codes are bit values so that a command loop can stop on a set of them.
enum ReturnCode : std::int32_t {
  kOk = 0,
  kRcNoFit = 1,         // the problem does not fit into the workspace while loading
  kRcFileError = 2,     // a work file cannot be read or written; no basis available
  kRcResource = 4,      // workspace not obtained, or exhausted inside an optimiser
  kRcFatal = 8,         // message file missing or wrong; inconsistent capacities
  kRcInputError = 16,   // errors in an input file
  kRcInvalidCall = 32,  // bad argument, index out of range, read-only control
};

struct ErrorState {
  std::int32_t return_code = 0;
  std::int32_t error_number = 0;
  std::int32_t error_value = 0;

  void clear() {
    return_code = 0;
    error_number = 0;
  }
};

}  // namespace kqopt
