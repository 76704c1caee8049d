// The 12-character real field in which every printed real appears.
//
// Values not above the display threshold (or below 1.0E-30) print as zero. Otherwise
// k = trunc(log10(|x| * 1.00000011921) + 1) integer digits decide the form: outside
// -1..10 an exponent form " d.ddddd E+ee", else a fixed form with five integer
// positions and six decimals (k <= 4) or k + 1 integer positions and 10 - k decimals.
#pragma once

#include <array>

namespace kqopt {

inline constexpr int kRealFieldWidth = 12;
using RealField = std::array<char, kRealFieldWidth>;

RealField format_real_field(double x, double display_threshold);
RealField format_real_field_single(float x, float display_threshold);

}  // namespace kqopt
