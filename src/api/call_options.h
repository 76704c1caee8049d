// The option letters of one entry-point call ("d", "b", "g" ... for a solve, letters of
// a writer): set for the call, cleared when it ends however it ends, so that a letter
// never leaks into the next call.
#pragma once

#include <cstdint>

#include "library/library.h"

namespace kqopt {

template <typename Operation>
std::int32_t with_options(Library& lib, const char* options, Operation operation) {
  struct ClearOptions {
    Library& lib;
    ~ClearOptions() { lib.options.fill(false); }
  } clear{lib};
  lib.options.fill(false);
  for (const char* c = options; c != nullptr && *c != '\0'; ++c) {
    if (*c >= 'a' && *c <= 'z') lib.options[static_cast<std::size_t>(*c - 'a')] = true;
  }
  return operation();
}

}  // namespace kqopt
