// The solution in the caller's units: values, prices and reduced costs of the
// working LP (internal units, variables numbered like the problem's) converted with
// the exact power-of-two factors of problem/units.h.
//
//   value of row slot i     s = s'·2^(e_r − 64)     row price    pi = pi'·2^(64 − e_r)
//   value of column j       x = x'·2^(64 − e_c)     reduced cost d  = d'·2^(e_c − 64)
#pragma once

#include <cstdint>

#include "problem/units.h"

namespace kqopt {

inline double to_user_value(const Problem& p, std::int32_t v, double internal) {
  const std::int32_t m = p.row_slots();
  return v < m ? scale_bound_by(internal, row_shift(p, v)) : scale_bound_by(internal, column_bound_shift(p, v - m));
}
inline double to_user_cost(const Problem& p, std::int32_t j, double internal) {
  return scale_by(internal, objective_shift(p, j));
}
inline double to_user_price(const Problem& p, std::int32_t i, double internal) {
  return scale_by(internal, -row_shift(p, i));
}
// Reduced cost of variable v: a column's by its objective factor; a logical's is the
// negated row price and scales like one.
inline double to_user_reduced_cost(const Problem& p, std::int32_t v, double internal) {
  const std::int32_t m = p.row_slots();
  return v < m ? scale_by(internal, -row_shift(p, v)) : scale_by(internal, objective_shift(p, v - m));
}

// Shifts of one variable v (row slot or M + column) that turn an internal value or
// reduced cost into the caller's; negate them for the other way. Unlike the _bound
// forms above they scale every value, for vectors that are not bounds (FTRAN, BTRAN).
inline int value_shift(const Problem& p, std::int32_t v) {
  const std::int32_t m = p.row_slots();
  return v < m ? row_shift(p, v) : column_bound_shift(p, v - m);
}
inline int reduced_cost_shift(const Problem& p, std::int32_t v) {
  const std::int32_t m = p.row_slots();
  return v < m ? -row_shift(p, v) : objective_shift(p, v - m);
}

// The caller's units to internal ones: the inverses of to_user_value and
// to_user_reduced_cost.
inline double to_internal_value(const Problem& p, std::int32_t v, double caller) {
  return scale_bound_by(caller, -value_shift(p, v));
}
inline double to_internal_reduced_cost(const Problem& p, std::int32_t v, double caller) {
  return scale_by(caller, -reduced_cost_shift(p, v));
}

}  // namespace kqopt
