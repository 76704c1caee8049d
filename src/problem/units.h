// Exact conversion between the caller's units and the internal (scaled) units of the
// problem model. Every factor is a power of two taken from the scale exponents in the
// status words (problem.h), so both directions are exact. The stored infinity
// ±9.999999999999999E29 is never scaled; every other value is, even where its scaled
// form passes 1.0E29.
//
//   internal -> caller:  a = a'·2^((e_r − 64) + (e_c − 64)),  c = c'·2^(e_c − 64),
//                        column bound l = l'·2^(64 − e_c),    rhs and row bounds b = b'·2^(e_r − 64)
//   caller -> internal:  the same with the shift negated.
#pragma once

#include <cmath>
#include <cstdint>

#include "problem/infinity.h"
#include "problem/problem.h"

namespace kqopt {

enum class Units { kCaller, kInternal };

inline int row_exponent(const Problem& p, std::int32_t i) {
  return status::exponent(p.status[static_cast<std::size_t>(i)]);
}
inline int column_exponent(const Problem& p, std::int32_t j) {
  return status::exponent(p.status[static_cast<std::size_t>(p.column_variable(j))]);
}

// v·2^shift; bounds and right-hand sides use the _bound form, which leaves ±infinity.
inline double scale_by(double v, int shift) { return shift == 0 ? v : std::ldexp(v, shift); }
inline double scale_bound_by(double v, int shift) {
  return (shift == 0 || std::fabs(v) == kInfinity) ? v : std::ldexp(v, shift);
}

// Shifts that turn an internal value into the caller's (negate for the other way).
inline int objective_shift(const Problem& p, std::int32_t j) {
  return column_exponent(p, j) - status::kNeutralExponent;
}
inline int column_bound_shift(const Problem& p, std::int32_t j) {
  return status::kNeutralExponent - column_exponent(p, j);
}
inline int row_shift(const Problem& p, std::int32_t i) { return row_exponent(p, i) - status::kNeutralExponent; }
inline int element_shift(const Problem& p, std::int32_t i, std::int32_t j) {
  return row_shift(p, i) + objective_shift(p, j);
}

}  // namespace kqopt
