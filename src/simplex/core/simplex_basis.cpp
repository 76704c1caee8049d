// Basis bookkeeping shared by the simplex methods.
#include "simplex/core/simplex_basis.h"

#include "problem/infinity.h"

namespace kqopt {

VariableStatus default_nonbasic_status(double lower, double upper) {
  if (lower > -kInfinity) return VariableStatus::at_lower;
  if (upper < kInfinity) return VariableStatus::at_upper;
  return VariableStatus::at_zero;
}

void SimplexBasis::set_all_logical(const WorkingLp& lp) {
  const auto total = static_cast<std::size_t>(lp.variables());
  header.resize(static_cast<std::size_t>(lp.rows));
  status.assign(total, VariableStatus::basic);
  x.assign(total, 0.0);
  for (std::int32_t i = 0; i < lp.rows; ++i) header[static_cast<std::size_t>(i)] = i;
  for (std::size_t j = static_cast<std::size_t>(lp.rows); j < total; ++j) {
    status[j] = default_nonbasic_status(lp.lower[j], lp.upper[j]);
  }
  index_positions(lp.variables());
  place_nonbasic(lp);
}

void SimplexBasis::index_positions(std::int32_t variables) {
  position.assign(static_cast<std::size_t>(variables), -1);
  for (std::size_t p = 0; p < header.size(); ++p)
    position[static_cast<std::size_t>(header[p])] = static_cast<std::int32_t>(p);
}

void SimplexBasis::place_nonbasic(const WorkingLp& lp) {
  for (std::size_t j = 0; j < status.size(); ++j) {
    switch (status[j]) {
      case VariableStatus::basic:
        break;
      case VariableStatus::at_lower:
        if (lp.lower[j] > -kInfinity) {
          x[j] = lp.lower[j];
        } else {
          status[j] = default_nonbasic_status(lp.lower[j], lp.upper[j]);
          x[j] = status[j] == VariableStatus::at_upper ? lp.upper[j] : 0.0;
        }
        break;
      case VariableStatus::at_upper:
        if (lp.upper[j] < kInfinity) {
          x[j] = lp.upper[j];
        } else {
          status[j] = default_nonbasic_status(lp.lower[j], lp.upper[j]);
          x[j] = status[j] == VariableStatus::at_lower ? lp.lower[j] : 0.0;
        }
        break;
      case VariableStatus::at_zero:
        status[j] = default_nonbasic_status(lp.lower[j], lp.upper[j]);
        x[j] = status[j] == VariableStatus::at_lower   ? lp.lower[j]
               : status[j] == VariableStatus::at_upper ? lp.upper[j]
                                                       : 0.0;
        break;
    }
  }
}

}  // namespace kqopt
