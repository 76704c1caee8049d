// The long-step dual ratio test on hand-made rows: which breakpoint ends the step,
// which boxed variables flip on the way, and when the dual is unbounded.
#include "simplex/dual/dual_ratio_test.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

namespace kqopt {
namespace {

constexpr double kInf = 9.999999999999999e29;

struct Row {
  std::vector<double> alpha;  // alpha_pj per variable (all listed)
  std::vector<double> d;
  std::vector<VariableStatus> status;
  std::vector<double> lower;
  std::vector<double> upper;
};

DualRatio test(const Row& row, int direction, double slope, bool long_steps = true) {
  std::vector<std::int32_t> index;
  for (std::int32_t j = 0; j < static_cast<std::int32_t>(row.alpha.size()); ++j) index.push_back(j);
  DualRatioSettings settings;
  settings.long_steps = long_steps;
  DualRatioWork work;
  work.reserve(static_cast<std::int32_t>(row.alpha.size()));
  DualRatio result;
  dual_ratio_test(index, row.alpha, row.d, row.status, row.lower, row.upper, direction, slope, settings, work, result);
  return result;
}

// Two boxed variables at their lower bounds with breakpoints at 1 and 2 (leaving to
// the upper bound: a_j = alpha_j), ranges 1 and 1, and one at its upper bound whose
// reduced cost moves the right way.
Row two_breakpoints() {
  const auto L = VariableStatus::at_lower;
  const auto U = VariableStatus::at_upper;
  return {{1.0, 1.0, 1.0}, {1.0, 2.0, -1.0}, {L, L, U}, {0.0, 0.0, 0.0}, {1.0, 1.0, 1.0}};
}

TEST(DualRatioTest, StopsAtTheFirstBreakpointWhenTheSlopeIsSpent) {
  const DualRatio r = test(two_breakpoints(), 1, 0.5);
  EXPECT_EQ(r.entering, 0);
  EXPECT_DOUBLE_EQ(r.theta, 1.0);
  EXPECT_TRUE(r.flips.empty());
}

TEST(DualRatioTest, PassesBoxedBreakpointsWhileTheSlopeStaysPositive) {
  const DualRatio r = test(two_breakpoints(), 1, 1.5);
  EXPECT_EQ(r.entering, 1);
  EXPECT_DOUBLE_EQ(r.theta, 2.0);
  ASSERT_EQ(r.flips.size(), 1u);
  EXPECT_EQ(r.flips[0], 0);
  // Without long steps the first breakpoint ends the step.
  EXPECT_EQ(test(two_breakpoints(), 1, 1.5, false).entering, 0);
}

TEST(DualRatioTest, ASlopeSpentExactlyByTheLastBreakpointIsNotUnbounded) {
  const DualRatio r = test(two_breakpoints(), 1, 2.0);
  EXPECT_EQ(r.entering, 1);
}

TEST(DualRatioTest, UnboundedWhenEveryBreakpointLeavesTheSlopePositive) {
  const DualRatio r = test(two_breakpoints(), 1, 2.5);
  EXPECT_EQ(r.entering, -1);
  EXPECT_TRUE(r.flips.empty());
  // The other direction: only the variable at its upper bound is a candidate.
  const DualRatio other = test(two_breakpoints(), -1, 0.5);
  EXPECT_EQ(other.entering, 2);
}

TEST(DualRatioTest, AnUnboxedVariableEndsTheStepAndAFreeOneEntersAtOnce) {
  Row row = two_breakpoints();
  row.upper[0] = kInf;
  EXPECT_EQ(test(row, 1, 100.0).entering, 0);
  row.status[1] = VariableStatus::at_zero;
  row.d[1] = 0.0;
  row.lower[1] = -kInf;
  row.upper[1] = kInf;
  const DualRatio r = test(row, 1, 100.0);
  EXPECT_EQ(r.entering, 1);
  EXPECT_DOUBLE_EQ(r.theta, 0.0);
}

TEST(DualRatioTest, HarrisPrefersTheLargerPivotAmongNearTies) {
  const auto L = VariableStatus::at_lower;
  // Breakpoints 1.0 and 1.0 + 1e-8 (within the tolerance); the second pivot is larger.
  const Row row{{1.0, 100.0}, {1.0, 100.0 + 1e-6}, {L, L}, {0.0, 0.0}, {kInf, kInf}};
  EXPECT_EQ(test(row, 1, 1.0).entering, 1);
}

// Forty boxed breakpoints at ratios 1..40 listed out of order (ranges 1): a slope of
// 30.5 is spent by the 31st, after thirty flips; many groups take the sorted path.
Row forty_breakpoints() {
  Row row;
  for (int j = 0; j < 40; ++j) {
    row.alpha.push_back(1.0);
    row.d.push_back(static_cast<double>((j * 17) % 40 + 1));
    row.status.push_back(VariableStatus::at_lower);
    row.lower.push_back(0.0);
    row.upper.push_back(1.0);
  }
  return row;
}

TEST(DualRatioTest, ManyGroupsArePassedInTheOrderOfTheirRatios) {
  const Row row = forty_breakpoints();
  const DualRatio r = test(row, 1, 30.5);
  ASSERT_GE(r.entering, 0);
  EXPECT_DOUBLE_EQ(r.theta, 31.0);
  EXPECT_DOUBLE_EQ(row.d[static_cast<std::size_t>(r.entering)], 31.0);
  std::vector<double> flipped;
  for (const std::int32_t j : r.flips) flipped.push_back(row.d[static_cast<std::size_t>(j)]);
  std::sort(flipped.begin(), flipped.end());
  ASSERT_EQ(flipped.size(), 30u);
  for (int k = 0; k < 30; ++k) EXPECT_DOUBLE_EQ(flipped[static_cast<std::size_t>(k)], k + 1.0);
  EXPECT_EQ(test(row, 1, 40.5).entering, -1);
  EXPECT_EQ(test(row, 1, 0.5).entering,
            static_cast<std::int32_t>(std::find(row.d.begin(), row.d.end(), 1.0) - row.d.begin()));
}

TEST(DualRatioTest, AfterManyGroupsTheLargestPivotOfTheLastGroupEntersAndTiesGoToTheFirst) {
  Row row = forty_breakpoints();
  // Two more at ratio 31: alpha 2 (d 62) and alpha 2 again listed later; the first of
  // the two largest pivots enters.
  for (int copy = 0; copy < 2; ++copy) {
    row.alpha.push_back(2.0);
    row.d.push_back(62.0);
    row.status.push_back(VariableStatus::at_lower);
    row.lower.push_back(0.0);
    row.upper.push_back(1.0);
  }
  const DualRatio r = test(row, 1, 30.5);
  EXPECT_EQ(r.entering, 40);
  EXPECT_DOUBLE_EQ(r.theta, 31.0);
  EXPECT_DOUBLE_EQ(r.alpha, 2.0);
  EXPECT_EQ(r.flips.size(), 30u);
}

// Which variables can stop the step. Variable 0 is the case under test with the
// smaller breakpoint (|d_0 / alpha_0| = 0.5 where it counts), variable 1 an unboxed one at its
// lower bound with its breakpoint at 4 (a_1 = 1); slope 10 so that nothing flips
// past them, in either direction of the leaving variable.
TEST(DualRatioTest, OnlyVariablesWhoseReducedCostsMoveTowardsTheWrongSignAreCandidates) {
  const auto L = VariableStatus::at_lower;
  const auto U = VariableStatus::at_upper;
  const auto Z = VariableStatus::at_zero;
  struct Case {
    const char* what;
    double a0;  // a_0 = direction * alpha_0
    double d0;
    VariableStatus s0;
    double lower0;
    double upper0;
    bool enters;
  };
  const Case cases[] = {
      {"at lower, a > 0", 2.0, 1.0, L, 0.0, kInf, true},
      {"at lower, a < 0 (moves away)", -2.0, 1.0, L, 0.0, kInf, false},
      {"at upper, a < 0", -2.0, -1.0, U, -kInf, 0.0, true},
      {"at upper, a > 0 (moves away)", 2.0, -1.0, U, -kInf, 0.0, false},
      {"free, either sign", -2.0, 0.0, Z, -kInf, kInf, true},
      {"fixed", 2.0, 1.0, L, 1.0, 1.0, false},
      {"pivot below the tolerance", 1.0e-9, 1.0e-10, L, 0.0, kInf, false},
  };
  for (const int direction : {1, -1}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << ", direction " << direction);
      Row row{{c.a0 * direction, 1.0 * direction}, {c.d0, 4.0}, {c.s0, L}, {c.lower0, 0.0}, {c.upper0, kInf}};
      const DualRatio r = test(row, direction, 10.0);
      EXPECT_EQ(r.entering, c.enters ? 0 : 1);
      EXPECT_TRUE(r.flips.empty());
    }
  }
}

}  // namespace
}  // namespace kqopt
