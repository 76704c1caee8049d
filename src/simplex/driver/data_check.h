// The check of the problem data an optimisation starts with. A load lets faulty data
// through when IGNORE allows it; no method can give a trustworthy answer on them, so
// the LP driver looks before it solves:
//   - a NaN anywhere (costs, bounds, right-hand sides, ranges, matrix), or an infinite
//     cost, right-hand side or matrix element, makes any pivot and objective NaN: the
//     solve is refused (message 145 naming the variable, return code 32);
//   - a lower bound above the upper bound of any variable means no point satisfies the
//     bounds: the problem is infeasible without a solve (message 18 naming it, then 92).
#pragma once

#include <cstdint>

namespace kqopt {

struct Problem;

enum class DataFault { none, not_finite, crossed_bounds };

struct DataCheck {
  DataFault fault = DataFault::none;
  std::int32_t variable = -1;  // the first variable concerned (a column's for a matrix element)
};

// Non-finite data are looked for first, over every variable; then crossed bounds.
// Needs a current column-wise matrix.
DataCheck check_problem_data(const Problem& p);

}  // namespace kqopt
