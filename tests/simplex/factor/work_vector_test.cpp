// Work vector states, repeated indices and the upper-word drop test; factor file
// sizing and compaction.
#include "simplex/factor/work_vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "simplex/factor/factor_file.h"

namespace kqopt {
namespace {

TEST(WorkVector, ClearFollowsTheState) {
  WorkVector w(6);
  EXPECT_EQ(w.state(), WorkVectorState::zero);
  w.set_unit(3, 2.5);
  EXPECT_EQ(w.state(), WorkVectorState::sparse);
  ASSERT_EQ(w.nonzero_count(), 1);
  EXPECT_EQ(w.nonzeros()[0], 3);
  w.clear();
  EXPECT_EQ(w.state(), WorkVectorState::zero);
  EXPECT_EQ(w[3], 0.0);

  const std::vector<double> dense = {1, 0, -2, 0, 0, 4};
  w.load_dense(dense);
  EXPECT_EQ(w.state(), WorkVectorState::dense);
  w.clear();
  for (std::int32_t i = 0; i < 6; ++i) EXPECT_EQ(w[i], 0.0);
}

// A column that lists an index more than m times in all (repeats and cancellations)
// is summed, and the list never outgrows m: the vector goes dense instead.
TEST(WorkVector, RepeatedIndicesAreSummedWithoutOverrunningTheList) {
  WorkVector w(2);
  const std::vector<std::int32_t> index = {1, 1, 1, 0, 1, 0};
  const std::vector<double> value = {2.0, -2.0, 5.0, 1.0, 0.5, 1.0};
  w.load_sparse(index, value);
  EXPECT_EQ(w.state(), WorkVectorState::dense);
  EXPECT_EQ(w[0], 2.0);
  EXPECT_EQ(w[1], 5.5);
  w.clear();
  EXPECT_EQ(w[0], 0.0);
  EXPECT_EQ(w[1], 0.0);
  // Distinct indices keep the sparse state.
  w.load_sparse(std::vector<std::int32_t>{1, 0}, std::vector<double>{3.0, 4.0});
  EXPECT_EQ(w.state(), WorkVectorState::sparse);
  EXPECT_EQ(w.nonzero_count(), 2);
}

TEST(WorkVector, DropTestComparesUpperWordsOnly) {
  const double tol = 1.0e-13;
  struct Case {
    double value;
    bool dropped;
  };
  // Below tol but with the same exponent and leading 20 mantissa bits: kept.
  const double same_upper_word = std::nextafter(tol, 0.0);
  const std::vector<Case> cases = {
      {tol, false}, {-tol, false},   {0.5 * tol, true}, {-0.5 * tol, true}, {same_upper_word, false},
      {1.0, false}, {-1e-300, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(below_drop_tolerance(c.value, tol), c.dropped) << c.value;
  }
}

TEST(WorkVector, SparsifyKeepsListsAndNegates) {
  WorkVector w(5);
  const std::vector<double> dense = {1e-20, 3.0, 0.0, -1e-14, -2.0};
  w.load_dense(dense);
  w.sparsify(1e-13);
  EXPECT_EQ(w.state(), WorkVectorState::sparse);
  ASSERT_EQ(w.nonzero_count(), 2);
  EXPECT_EQ(w.nonzeros()[0], 1);
  EXPECT_EQ(w.nonzeros()[1], 4);
  EXPECT_EQ(w[0], 0.0);
  EXPECT_EQ(w[3], 0.0);
  w.sparsify_negated(1e-13);
  EXPECT_EQ(w[1], -3.0);
  EXPECT_EQ(w[4], 2.0);
  w.load_dense(std::vector<double>(5, 1e-30));
  w.sparsify(1e-13);
  EXPECT_EQ(w.state(), WorkVectorState::zero);
}

TEST(FactorFile, SizeFollowsTheBudget) {
  struct Case {
    std::int64_t bytes;
    FilePos entries;
  };
  const std::vector<Case> cases = {{0, 0}, {447, 0}, {448, 20}, {847, 20}, {848, 40}, {400048, 20000}};
  for (const Case& c : cases) EXPECT_EQ(FactorFile::entries_for_budget(c.bytes), c.entries) << c.bytes;
}

TEST(FactorFile, LinesMoveAndCompact) {
  FactorFile file;
  file.reset(60, 3);
  ASSERT_TRUE(file.reserve_line(0, 10, false));
  ASSERT_TRUE(file.reserve_line(1, 10, false));
  for (int k = 0; k < 10; ++k) file.push(0, k, k);
  for (int k = 0; k < 10; ++k) file.push(1, 100 + k, k);
  // Line 0 cannot grow in place: it moves behind line 1.
  ASSERT_TRUE(file.reserve_line(0, 5, false));
  file.push(0, 10, 10.0);
  EXPECT_EQ(file.front_end(), 35);
  EXPECT_EQ(file.compactions(), 0);
  // The back takes room; growing line 1 now needs a compaction.
  ASSERT_TRUE(file.reserve_back(20));
  for (int k = 0; k < 20; ++k) file.push_back_entry(k, 1.0);
  ASSERT_TRUE(file.reserve_line(1, 15, false));
  for (int k = 10; k < 25; ++k) file.push(1, 100 + k, k);
  EXPECT_EQ(file.compactions(), 1);
  ASSERT_EQ(file.len(0), 11);
  for (int k = 0; k < 11; ++k) EXPECT_EQ(file.idx(0)[k], k);
  ASSERT_EQ(file.len(1), 25);
  for (int k = 0; k < 25; ++k) EXPECT_EQ(file.idx(1)[k], 100 + k);
  EXPECT_LE(file.front_end() + file.back_used(), file.capacity());
  // Nothing more fits.
  EXPECT_FALSE(file.reserve_line(2, 10, false));
}

}  // namespace
}  // namespace kqopt
