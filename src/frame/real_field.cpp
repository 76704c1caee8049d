// The 12-character real field, in double and single precision; the rules are in
// real_field.h. The single-precision form runs the same steps in float arithmetic.
#include "frame/real_field.h"

#include <cmath>
#include <cstdint>

namespace kqopt {

namespace {

template <typename Real>
RealField format(Real x, Real display_threshold) {
  RealField field;
  field.fill(' ');
  Real magnitude = std::fabs(x);
  if (magnitude <= display_threshold || magnitude < Real(1.0e-30) || !std::isfinite(x)) {
    if (std::isfinite(x)) magnitude = 0;
  }
  if (!std::isfinite(magnitude)) {
    // A value that is not a number cannot be laid out by digits; say so in the field.
    const char* text = std::isnan(x) ? "         NaN" : (x < 0 ? "   -Infinity" : "    Infinity");
    for (int i = 0; i < kRealFieldWidth; ++i) field[i] = text[i];
    return field;
  }
  if (magnitude == 0) {
    field[5] = '.';
    for (int i = 6; i < kRealFieldWidth; ++i) field[i] = '0';
    return field;
  }
  const bool negative = x < 0;
  Real t = std::log10(magnitude * Real(1.00000011921)) + Real(1);
  int k = static_cast<int>(t);

  if (k > 10 || k < -1) {
    int e = k > 10 ? k - 1 : k - 2;
    Real mantissa = magnitude * static_cast<Real>(std::pow(Real(10), Real(-e))) + Real(5.0e-6);
    int lead = static_cast<int>(mantissa);
    if (lead > 9) {
      lead = 1;
      mantissa /= Real(10);
      e += 1;
    }
    field[0] = negative ? '-' : ' ';
    field[1] = static_cast<char>('0' + lead);
    field[2] = '.';
    Real remainder = mantissa - static_cast<Real>(static_cast<int>(mantissa));
    for (int i = 3; i <= 7; ++i) {
      remainder *= Real(10);
      int digit = static_cast<int>(remainder);
      if (digit > 9) digit = 9;
      if (digit < 0) digit = 0;
      field[i] = static_cast<char>('0' + digit);
      remainder -= static_cast<Real>(digit);
    }
    field[8] = 'E';
    field[9] = e < 0 ? '-' : '+';
    int abs_e = e < 0 ? -e : e;
    field[10] = static_cast<char>('0' + (abs_e / 10) % 10);
    field[11] = static_cast<char>('0' + abs_e % 10);
    return field;
  }

  const int integer_positions = k <= 4 ? 5 : k + 1;
  const int decimals = kRealFieldWidth - 1 - integer_positions;
  Real rounding = k >= 5 ? Real(5.0e-7) * static_cast<Real>(std::pow(Real(10), Real(k - 4))) : Real(5.0e-7);
  Real value = magnitude + rounding;
  double whole = std::floor(static_cast<double>(value));
  auto integer_part = static_cast<std::int64_t>(whole);
  double fraction = static_cast<double>(value) - whole;

  field[integer_positions] = '.';
  for (int i = 0; i < decimals; ++i) {
    fraction *= 10.0;
    int digit = static_cast<int>(fraction);
    if (digit > 9) digit = 9;
    field[integer_positions + 1 + i] = static_cast<char>('0' + digit);
    fraction -= digit;
  }
  int position = integer_positions - 1;
  for (std::int64_t rest = integer_part; rest > 0 && position >= 0; rest /= 10, --position) {
    field[position] = static_cast<char>('0' + rest % 10);
  }
  if (negative && position >= 0) field[position] = '-';
  return field;
}

}  // namespace

RealField format_real_field(double x, double display_threshold) { return format<double>(x, display_threshold); }

RealField format_real_field_single(float x, float display_threshold) { return format<float>(x, display_threshold); }

}  // namespace kqopt
