// Small working LPs written as dense rows, for the tests of the simplex kernels.
#pragma once

#include <vector>

#include "simplex/core/working_lp.h"

namespace kqopt::test {

// minimise c x, row_lower <= A x <= row_upper, l <= x <= u. Row i's logical
// s_i = -a_i x (rhs 0) gets bounds [-row_upper, -row_lower]; the row-wise copy is built.
WorkingLp make_lp(const std::vector<std::vector<double>>& a, const std::vector<double>& c,
                  const std::vector<double>& row_lower, const std::vector<double>& row_upper,
                  const std::vector<double>& l, const std::vector<double>& u);

}  // namespace kqopt::test
