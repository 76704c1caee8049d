// Dense rows to the column-wise working LP the kernels take.
#include "support/dense_lp.h"

#include <cstddef>
#include <cstdint>

#include "problem/infinity.h"

namespace kqopt::test {

WorkingLp make_lp(const std::vector<std::vector<double>>& a, const std::vector<double>& c,
                  const std::vector<double>& row_lower, const std::vector<double>& row_upper,
                  const std::vector<double>& l, const std::vector<double>& u) {
  WorkingLp lp;
  lp.rows = static_cast<std::int32_t>(a.size());
  lp.columns = static_cast<std::int32_t>(c.size());
  lp.column_start.push_back(0);
  for (std::int32_t j = 0; j < lp.columns; ++j) {
    for (std::int32_t i = 0; i < lp.rows; ++i) {
      if (a[i][j] != 0.0) {
        lp.row_index.push_back(i);
        lp.value.push_back(a[i][j]);
      }
    }
    lp.column_start.push_back(static_cast<std::int32_t>(lp.row_index.size()));
  }
  lp.rhs.assign(a.size(), 0.0);
  lp.cost.assign(static_cast<std::size_t>(lp.variables()), 0.0);
  for (std::int32_t i = 0; i < lp.rows; ++i) {
    lp.lower.push_back(row_upper[i] >= kInfinity ? -kInfinity : -row_upper[i]);
    lp.upper.push_back(row_lower[i] <= -kInfinity ? kInfinity : -row_lower[i]);
  }
  for (std::int32_t j = 0; j < lp.columns; ++j) {
    lp.cost[static_cast<std::size_t>(lp.rows + j)] = c[j];
    lp.lower.push_back(l[j]);
    lp.upper.push_back(u[j]);
  }
  lp.build_row_copy();
  return lp;
}

}  // namespace kqopt::test
