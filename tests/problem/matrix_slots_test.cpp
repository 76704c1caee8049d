// Matrix slots: save, restore, copy and delete sequences, with the controls,
// attributes, name and workspace charges that travel with a saved problem.
#include "library/matrix_slots.h"

#include <gtest/gtest.h>

#include "problem/problem_fixtures.h"
#include "problem/retrieval.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

double objective_of_column(Library& lib, std::int32_t j) {
  double v = -1.0;
  EXPECT_EQ(get_objective(lib, &v, j, j, Units::kCaller), 0);
  return v;
}

TEST(MatrixSlots, SaveThenRestore) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::LpArrays{}), 0);
  t->controls.i(icv::ITRLIM) = 77;
  t->controls.icv_access[icv::ITRLIM] = 1;
  std::int32_t n = -1;
  ASSERT_EQ(save_matrix(t.lib(), &n), 0);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(t->current_slot, 2);
  double v;
  EXPECT_EQ(get_objective(t.lib(), &v, 0, 0, Units::kCaller), 32);
  EXPECT_EQ(t->err.error_number, 91);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kRows), 0);
  // Another problem under other controls and another name in slot 2.
  t->controls.i(icv::ITRLIM) = 5;
  test::LpArrays other = test::mip();
  ASSERT_EQ(test::load(t.lib(), other, true), 0);
  EXPECT_EQ(t->problem_name, "smallmip");
  ASSERT_EQ(restore_matrix(t.lib(), 1), 0);
  EXPECT_TRUE(t.printed("smalllp"));  // message 398 with the problem name
  EXPECT_EQ(t->current_slot, 1);
  EXPECT_EQ(t->problem_name, "smalllp");
  EXPECT_EQ(t->controls.i(icv::ITRLIM), 77);
  EXPECT_EQ(t->controls.icv_access[icv::ITRLIM], 1);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kRows), 3);
  EXPECT_EQ(trim_blank_padded(*t->attributes.char_attribute(3001)), "smalllp");
  EXPECT_EQ(objective_of_column(t.lib(), 1), 2.0);
  // The unsaved problem of slot 2 was not kept.
  EXPECT_EQ(restore_matrix(t.lib(), 2), 32);
  EXPECT_EQ(t->err.error_number, 421);
}

TEST(MatrixSlots, RestoringAwayParksTheLiveCopyUpToDate) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::LpArrays{}), 0);
  std::int32_t a = 0, b = 0;
  ASSERT_EQ(save_matrix(t.lib(), &a), 0);
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  ASSERT_EQ(save_matrix(t.lib(), &b), 0);
  ASSERT_EQ(restore_matrix(t.lib(), a), 0);
  t->problem->objective[0] = 42.0;  // work on slot a's problem in place
  ASSERT_EQ(restore_matrix(t.lib(), b), 0);
  EXPECT_EQ(t->problem->columns, 6);
  ASSERT_EQ(restore_matrix(t.lib(), a), 0);
  EXPECT_EQ(objective_of_column(t.lib(), 0), 42.0);
  // Restoring the current slot does nothing.
  ASSERT_EQ(restore_matrix(t.lib(), a), 0);
  EXPECT_EQ(objective_of_column(t.lib(), 0), 42.0);
}

TEST(MatrixSlots, LoadingIntoALiveSlotKeepsTheSavedCopy) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::LpArrays{}), 0);
  std::int32_t a = 0;
  ASSERT_EQ(save_matrix(t.lib(), &a), 0);
  ASSERT_EQ(restore_matrix(t.lib(), a), 0);
  t->problem->objective[1] = 9.0;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);  // the copy is brought up to date first
  EXPECT_EQ(t->problem->columns, 6);
  ASSERT_EQ(save_matrix(t.lib(), nullptr), 0);  // overwrites slot a with the new problem
  ASSERT_EQ(restore_matrix(t.lib(), a), 0);
  EXPECT_EQ(t->problem->columns, 6);

  // The changes made in place before the load are in the saved copy.
  test::TestLibrary u;
  std::int32_t b = 0;
  ASSERT_EQ(test::load(u.lib(), test::LpArrays{}), 0);
  ASSERT_EQ(save_matrix(u.lib(), &a), 0);
  ASSERT_EQ(test::load(u.lib(), test::mip(), true), 0);
  ASSERT_EQ(save_matrix(u.lib(), &b), 0);
  ASSERT_EQ(restore_matrix(u.lib(), a), 0);
  u->problem->objective[1] = 9.0;
  ASSERT_EQ(test::load(u.lib(), test::LpArrays{}), 0);
  EXPECT_EQ(objective_of_column(u.lib(), 1), 2.0);
  ASSERT_EQ(restore_matrix(u.lib(), b), 0);
  ASSERT_EQ(restore_matrix(u.lib(), a), 0);
  EXPECT_EQ(objective_of_column(u.lib(), 1), 9.0);
}

TEST(MatrixSlots, CopyContinuesWithAnIdenticalProblem) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  std::int32_t n = 0;
  ASSERT_EQ(copy_matrix(t.lib(), "copy", &n), 0);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(t->current_slot, 2);
  EXPECT_EQ(t->problem_name, "copy");
  ASSERT_TRUE(t->has_problem());
  EXPECT_EQ(*t->attributes.int_attribute(attr::kGlobalEntities), 6);
  EXPECT_EQ(objective_of_column(t.lib(), 5), 4.0);
  t->problem->objective[5] = -1.0;
  ASSERT_EQ(restore_matrix(t.lib(), 1), 0);
  EXPECT_EQ(objective_of_column(t.lib(), 5), 4.0);
  EXPECT_EQ(t->problem_name, "smallmip");
}

TEST(MatrixSlots, DeleteAndRanges) {
  test::TestLibrary t;
  EXPECT_EQ(delete_matrix(t.lib(), 65), 32);
  EXPECT_EQ(t->err.error_number, 421);
  EXPECT_EQ(delete_matrix(t.lib(), -1), 32);
  EXPECT_EQ(delete_matrix(t.lib(), 0), 0);
  EXPECT_EQ(delete_matrix(t.lib(), 7), 0);  // empty: nothing happens
  EXPECT_EQ(restore_matrix(t.lib(), 0), 32);
  EXPECT_EQ(t->err.error_number, 421);
  EXPECT_EQ(restore_matrix(t.lib(), 65), 32);
  std::int32_t n = 5;
  EXPECT_EQ(save_matrix(t.lib(), &n), 32);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(t->err.error_number, 91);
  EXPECT_EQ(copy_matrix(t.lib(), "x", &n), 32);
  EXPECT_EQ(t->err.error_number, 91);
  ASSERT_EQ(test::load(t.lib(), test::LpArrays{}), 0);
  ASSERT_EQ(save_matrix(t.lib(), &n), 0);
  ASSERT_EQ(delete_matrix(t.lib(), n), 0);
  EXPECT_EQ(restore_matrix(t.lib(), n), 32);
  EXPECT_EQ(t->workspace.used(), 0);
}

TEST(MatrixSlots, ChargesFollowTheProblem) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  const std::int64_t one = t->workspace.used();
  std::int32_t n = 0;
  ASSERT_EQ(save_matrix(t.lib(), &n), 0);
  EXPECT_EQ(t->workspace.used(), one);                    // the saved copy keeps its bytes
  ASSERT_EQ(copy_matrix(t.lib(), "again", nullptr), 32);  // no problem now
  ASSERT_EQ(restore_matrix(t.lib(), n), 0);
  EXPECT_EQ(t->workspace.used(), one);
  ASSERT_EQ(copy_matrix(t.lib(), "again", nullptr), 0);
  EXPECT_EQ(t->workspace.used(), 2 * one);
  ASSERT_EQ(delete_matrix(t.lib(), n), 0);
  EXPECT_EQ(t->workspace.used(), one);
}

TEST(MatrixSlots, AllSlotsInUse) {
  test::TestLibrary t;
  for (int k = 1; k <= 64; ++k) {
    ASSERT_EQ(test::load(t.lib(), test::LpArrays{}), 0);
    std::int32_t n = 0;
    const std::int32_t rc = save_matrix(t.lib(), &n);
    EXPECT_EQ(n, k);
    if (k < 64) {
      ASSERT_EQ(rc, 0);
    } else {
      EXPECT_EQ(rc, 32);
      EXPECT_EQ(t->err.error_number, 420);
    }
  }
  EXPECT_EQ(t->current_slot, 64);
  // The problem saved last is safe in slot 64 and comes back.
  ASSERT_EQ(restore_matrix(t.lib(), 64), 0);
  EXPECT_TRUE(t->has_problem());
  ASSERT_EQ(delete_matrix(t.lib(), 3), 0);
  ASSERT_EQ(save_matrix(t.lib(), nullptr), 0);
  EXPECT_EQ(t->current_slot, 3);
}

TEST(MatrixSlots, ALoadThatFailsForSpaceLeavesSavedCopiesAlone) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  const std::int64_t one = t->workspace.used();
  std::int32_t n = 0;
  ASSERT_EQ(save_matrix(t.lib(), &n), 0);
  const std::int64_t budget = one + one / 2;
  t->workspace.reset(budget);
  ASSERT_TRUE(t->workspace.charge(100 + n, one));  // the saved copy, as the reset forgot it
  EXPECT_EQ(test::load(t.lib(), test::mip(), true), 1);
  EXPECT_EQ(t->err.error_number, 20);
  EXPECT_EQ(t->workspace.used(), one);
  EXPECT_EQ(test::load(t.lib(), test::LpArrays{}), 0);
  ASSERT_EQ(delete_matrix(t.lib(), n), 0);
  EXPECT_EQ(test::load(t.lib(), test::mip(), true), 0);
}

}  // namespace
}  // namespace kqopt
