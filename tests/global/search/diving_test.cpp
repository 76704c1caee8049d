// The steps of the diving heuristic against a hand-made problem: the rounding locks of
// each column, rounding every fractional column at once when no row can be broken, the
// column bounded next and its direction with and without a guiding solution.
#include "global/search/diving.h"

#include <gtest/gtest.h>

#include <vector>

#include "problem/infinity.h"
#include "problem/problem.h"

namespace kqopt {
namespace {

// Rows (variables 0 and 1):
//   row 0:  3·x0 + 2·x1 + x2 + x3 <= 4.5   (L: logical in [0, inf))
//   row 1:  -5·x0 + x2            >= -2    (G: logical in (-inf, 0])
// Columns (variables 2..5): x0, x1 binary, x2 integer in [0, 10], x3 partial integer
// (limit 2) in [0, 10].
Problem two_rows() {
  Problem p;
  p.rows = 2;
  p.columns = 4;
  p.rhs = {4.5, -2.0};
  p.by_column.start = {0, 2, 3, 5, 6};
  p.by_column.row = {0, 1, 0, 0, 1, 0};
  p.by_column.value = {3.0, -5.0, 2.0, 1.0, 1.0, 1.0};
  p.entities.push_back({static_cast<std::uint32_t>(EntityKind::kBinary), 0});
  p.entities.push_back({static_cast<std::uint32_t>(EntityKind::kBinary), 1});
  p.entities.push_back({static_cast<std::uint32_t>(EntityKind::kInteger), 2});
  p.entities.push_back({static_cast<std::uint32_t>(EntityKind::kPartialInteger) | (2u << 4), 3});
  p.lower = {0.0, -kInfinity, 0.0, 0.0, 0.0, 0.0};
  p.upper = {kInfinity, 0.0, 1.0, 1.0, 10.0, 10.0};
  return p;
}

TEST(Diving, LocksCountTheRowsAMoveCouldBreak) {
  const Problem p = two_rows();
  const RoundingLocks locks = rounding_locks(p, p.rows, p.lower, p.upper);
  // x0 rises against row 0 (<=) and row 1 (-5 under >=); x2 falls against row 1.
  EXPECT_EQ(locks.up, (std::vector<std::int32_t>{2, 1, 1, 1}));
  EXPECT_EQ(locks.down, (std::vector<std::int32_t>{0, 0, 1, 0}));
  // Rows beyond those read (cut rows) lock nothing.
  const RoundingLocks first_row = rounding_locks(p, 1, p.lower, p.upper);
  EXPECT_EQ(first_row.up, (std::vector<std::int32_t>{1, 1, 1, 1}));
  EXPECT_EQ(first_row.down, (std::vector<std::int32_t>{0, 0, 0, 0}));
}

struct StepCase {
  const char* name;
  std::vector<double> columns;  // x0..x3
  std::vector<double> guide;    // x0..x3 of a guiding solution, or empty
  DiveStepKind kind;
  std::vector<BoundChange> changes;
  std::vector<BoundChange> other;
};

TEST(Diving, NextStep) {
  const std::vector<StepCase> cases = {
      {"integral (x3 above its partial-integer limit)", {1, 0, 2, 3.5}, {}, DiveStepKind::kIntegral, {}, {}},
      // Both binaries fall without breaking a row: fixed at their floors in one step.
      {"round every free column", {0.4, 0.7, 2, 0}, {}, DiveStepKind::kRound, {{2, 0, 0}, {3, 0, 0}}, {}},
      // x2 is locked both ways: bounded toward the nearer whole number, the other way kept.
      {"locked column to the nearer side", {0.4, 0, 2.3, 0}, {}, DiveStepKind::kBound, {{4, 0, 2}}, {{4, 3, 10}}},
      {"locked column rounded up", {0, 0, 2.8, 0}, {}, DiveStepKind::kBound, {{4, 3, 10}}, {{4, 0, 2}}},
      // An incumbent at x2 = 3 pulls it up though 2 is nearer.
      {"guided", {0, 0, 2.3, 0}, {0, 0, 3, 0}, DiveStepKind::kBound, {{4, 3, 10}}, {{4, 0, 2}}},
  };
  const Problem p = two_rows();
  const RoundingLocks locks = rounding_locks(p, p.rows, p.lower, p.upper);
  for (const StepCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<double> x = {0.0, 0.0};
    x.insert(x.end(), c.columns.begin(), c.columns.end());
    std::vector<double> guide;
    if (!c.guide.empty()) {
      guide = {0.0, 0.0};
      guide.insert(guide.end(), c.guide.begin(), c.guide.end());
    }
    const DiveStep step = next_dive_step(p, x, p.lower, p.upper, locks, 0.0005, guide);
    EXPECT_EQ(step.kind, c.kind);
    ASSERT_EQ(step.changes.size(), c.changes.size());
    for (std::size_t k = 0; k < c.changes.size(); ++k) {
      EXPECT_EQ(step.changes[k].variable, c.changes[k].variable);
      EXPECT_EQ(step.changes[k].lower, c.changes[k].lower);
      EXPECT_EQ(step.changes[k].upper, c.changes[k].upper);
    }
    ASSERT_EQ(step.other.size(), c.other.size());
    for (std::size_t k = 0; k < c.other.size(); ++k) {
      EXPECT_EQ(step.other[k].variable, c.other[k].variable);
      EXPECT_EQ(step.other[k].lower, c.other[k].lower);
      EXPECT_EQ(step.other[k].upper, c.other[k].upper);
    }
  }
}

}  // namespace
}  // namespace kqopt
