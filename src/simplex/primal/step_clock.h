// The time of a simplex iteration's steps, accumulated for the benchmark when asked
// for and free otherwise; the primal and the dual simplex charge the same steps.
#pragma once

#include <chrono>
#include <cstddef>

#include "simplex/primal/primal_simplex.h"

namespace kqopt {

class StepClock {
 public:
  explicit StepClock(bool on) : on_(on) {}
  void start() {
    if (on_) mark_ = std::chrono::steady_clock::now();
  }
  // Charges the time since start() (or the last charge) to step.
  void charge(PrimalStepKind step) {
    if (!on_) return;
    const auto now = std::chrono::steady_clock::now();
    seconds_[static_cast<std::size_t>(step)] += std::chrono::duration<double>(now - mark_).count();
    mark_ = now;
  }
  const PrimalStepSeconds& seconds() const { return seconds_; }

 private:
  bool on_;
  std::chrono::steady_clock::time_point mark_{};
  PrimalStepSeconds seconds_{};
};

}  // namespace kqopt
