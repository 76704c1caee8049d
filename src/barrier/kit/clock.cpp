// The library clock and time formatting (see clock.h).
#include "barrier/kit/clock.h"

#include <chrono>
#include <cstdio>

namespace kqopt::barrier {

Hundredths clock_now() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const double seconds = std::chrono::duration<double>(since).count();
  return static_cast<Hundredths>(seconds + 0.5) * 100;
}

Hundredths clock_elapsed(Hundredths start) { return clock_now() - start; }

std::string format_time(Hundredths t) {
  char buffer[48];
  if (t % 100 > 9) {
    std::snprintf(buffer, sizeof buffer, "%-ld.%-ld", static_cast<long>(t / 100), static_cast<long>(t % 100));
  } else {
    std::snprintf(buffer, sizeof buffer, "%-ld.0%-ld", static_cast<long>(t / 100), static_cast<long>(t % 100));
  }
  return buffer;
}

}  // namespace kqopt::barrier
