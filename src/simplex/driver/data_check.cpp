// Faulty data an optimisation must not start from (data_check.h).
#include "simplex/driver/data_check.h"

#include <cmath>

#include "problem/problem.h"

namespace kqopt {

DataCheck check_problem_data(const Problem& p) {
  DataCheck check;
  const std::int32_t slots = p.row_slots();
  const auto found = [&check](DataFault fault, std::int32_t v) {
    check.fault = fault;
    check.variable = v;
    return check;
  };
  for (std::int32_t v = 0; v < p.variables(); ++v) {
    const auto vv = static_cast<std::size_t>(v);
    if (std::isnan(p.lower[vv]) || std::isnan(p.upper[vv])) return found(DataFault::not_finite, v);
  }
  for (std::int32_t i = 0; i < slots && static_cast<std::size_t>(i) < p.rhs.size(); ++i) {
    if (!std::isfinite(p.rhs[static_cast<std::size_t>(i)])) return found(DataFault::not_finite, i);
  }
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (!std::isfinite(p.objective[jj])) return found(DataFault::not_finite, p.column_variable(j));
    for (auto k = static_cast<std::size_t>(p.by_column.start[jj]);
         k < static_cast<std::size_t>(p.by_column.start[jj + 1]); ++k) {
      if (!std::isfinite(p.by_column.value[k])) return found(DataFault::not_finite, p.column_variable(j));
    }
  }
  for (std::int32_t v = 0; v < p.variables(); ++v) {
    const auto vv = static_cast<std::size_t>(v);
    if (p.lower[vv] > p.upper[vv]) return found(DataFault::crossed_bounds, v);
  }
  return check;
}

}  // namespace kqopt
