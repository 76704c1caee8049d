// The interior-point library's clock: calendar time in hundredths of a second, read to
// the nearest whole second (so always a multiple of 100), and its formatting.
#pragma once

#include <cstdint>
#include <string>

namespace kqopt::barrier {

using Hundredths = std::int64_t;

// Now, in hundredths of a second since the epoch, rounded to the whole second.
Hundredths clock_now();
Hundredths clock_elapsed(Hundredths start);  // now - start
inline Hundredths clock_elapsed(Hundredths start, Hundredths end) { return end - start; }
inline void clock_accumulate(Hundredths& total, Hundredths start, Hundredths end) { total += end - start; }

// "12.00", "2.50", "0.05".
std::string format_time(Hundredths t);

}  // namespace kqopt::barrier
