// The number forms of the MPS writer.
//
// Normal form, 12 characters: a value of exponent -1..10 (0.1 <= |x| < 1e11) in fixed
// point with as many decimals as fit (a leading "0" before the point is left out so that
// one more decimal fits); any other value as s.dddddEsdd (sign or blank, six significant
// digits, a two-digit exponent; a three-digit exponent takes one mantissa digit). Zero
// is "0.0".
//
// Full-precision form: sign or blank, the shortest mantissa (at least one decimal kept)
// that reads back as the same double, at most 17 significant digits, then E and a
// signed exponent when the exponent is not 0. Without the sign position it is at most 23
// characters, the widest number the free layout reads: the rare value that would need
// more (a negative one with a three-digit exponent and 17 digits) keeps 16 digits.
//
// Hexadecimal form: the high and the low 32-bit words of the double, 8 digits each.
#pragma once

#include <string>

namespace kqopt {

inline constexpr int kMpsNumberWidth = 12;

std::string mps_normal_number(double x);
std::string mps_full_number(double x);
// "HHHHHHHH" and "LLLLLLLL".
std::string mps_high_word(double x);
std::string mps_low_word(double x);

}  // namespace kqopt
