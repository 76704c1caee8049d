// The problem model after changes, as stored: the phase-1 cost scale follows the costs,
// new rows are scaled so that their stored elements come near 1, and the row-wise copy
// built after rows were added covers the spare slots again.
#include <gtest/gtest.h>

#include <cmath>

#include "problem/matrix.h"
#include "problem/modify/modify.h"
#include "problem/problem.h"
#include "problem/problem_fixtures.h"
#include "problem/scale_exponents.h"
#include "problem/units.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

TEST(Modify, CostScaleFollowsTheCosts) {
  test::TestLibrary t;
  t->controls.i(icv::IFSCAL) = 0;
  t->controls.i(icv::NCXTRA) = 2;
  ASSERT_EQ(test::load(t.lib(), test::LpArrays{}), 0);
  Problem& p = *t->problem;
  EXPECT_EQ(p.cost_scale, compute_cost_scale(p));
  const std::int32_t column = 0;
  const double big = 1000.0;
  ASSERT_EQ(change_objective(t.lib(), 1, &column, &big), 0);
  EXPECT_EQ(p.cost_scale, 1024.0);
  const double costs[1] = {1.0e5}, lower[1] = {0.0}, upper[1] = {1.0};
  const std::int32_t start[2] = {0, 0};
  ASSERT_EQ(add_columns(t.lib(), 1, 0, costs, start, nullptr, nullptr, lower, upper), 0);
  EXPECT_EQ(p.cost_scale, compute_cost_scale(p));
  EXPECT_GT(p.cost_scale, 6.0e4);
  const std::int32_t last = 2;
  ASSERT_EQ(delete_columns(t.lib(), 1, &last), 0);
  EXPECT_EQ(p.cost_scale, 1024.0);
}

TEST(Modify, NewRowsAreScaledTowardsOne) {
  test::TestLibrary t;
  t->controls.i(icv::IFSCAL) = 1;
  t->controls.i(icv::NRXTRA) = 2;
  ASSERT_EQ(test::load(t.lib(), test::LpArrays{}), 0);
  Problem& p = *t->problem;
  // Elements 1024 and 4096 in the caller's units.
  const std::int32_t start[2] = {0, 2}, columns[2] = {0, 1};
  const double values[2] = {1024.0, 4096.0}, rhs = 2048.0;
  ASSERT_EQ(add_rows(t.lib(), 1, 2, "L", &rhs, nullptr, start, columns, values), 0);
  ASSERT_TRUE(ensure_column_copy(t.lib(), p));
  const std::int32_t row = p.rows - 1;
  for (std::int32_t j = 0; j < 2; ++j) {
    for (std::int32_t q = p.by_column.start[j]; q < p.by_column.start[j + 1]; ++q) {
      if (p.by_column.row[q] != row) continue;
      const double stored = std::fabs(p.by_column.value[q]);
      EXPECT_GE(stored, 0.125) << j;
      EXPECT_LE(stored, 8.0) << j;
      EXPECT_EQ(scale_by(p.by_column.value[q], element_shift(p, row, j)), values[j]);
    }
  }
  // The row-wise copy rebuilt from the columns covers every slot again.
  column_matrix_changed(t.lib(), p);
  ASSERT_TRUE(ensure_row_copy(t.lib(), p));
  EXPECT_EQ(p.by_row.start.size(), static_cast<std::size_t>(p.row_slots()) + 1);
}

}  // namespace
}  // namespace kqopt
