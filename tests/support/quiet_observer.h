// A simplex observer for tests that only want the engine's result: no log lines, no
// stop requests.
#pragma once

#include <cstdint>

#include "simplex/primal/primal_simplex.h"

namespace kqopt::test {

class QuietObserver : public SimplexObserver {
 public:
  bool should_stop() override { return false; }
  bool wants_line(std::int64_t, bool) override { return false; }
  void iteration(const Progress&) override {}
  void inverted(const InvertReport&) override {}
};

}  // namespace kqopt::test
