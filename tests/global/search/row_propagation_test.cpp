// Bound propagation through the rows against a hand-made problem: bounds that follow
// from a fixed binary, rounding to whole units, chains through a second row, a row that
// proves the node infeasible, and the columns and rows it must leave alone.
#include "global/search/row_propagation.h"

#include <gtest/gtest.h>

#include <vector>

#include "problem/infinity.h"
#include "problem/problem.h"

namespace kqopt {
namespace {

// Rows (variables 0 and 1):
//   row 0:  3·x0 + 2·x1 + x2 + x3 <= 4.5   (L: logical in [0, inf))
//   row 1:  -5·x0 + x2            >= -2    (G: logical in (-inf, 0])
// Columns (variables 2..5): x0, x1 binary, x2 integer in [0, 10], x3 continuous in [0, inf).
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
  return p;
}

struct Case {
  const char* name;
  std::vector<BoundChange> seeds;  // applied to the bounds, then propagated
  bool all_rows;
  double x3_lower;
  bool feasible;
  std::vector<BoundChange> expected_final;  // bounds of the variables that changed
};

TEST(RowPropagation, IntegerBoundsFollowFromTheRows) {
  const double inf = kInfinity;
  const std::vector<Case> cases = {
      // x1 = 1 leaves 2.5 in row 0: x0 (3 units) must be 0 and x2 at most 2 (not 2.5).
      {"binary fixed at one", {{3, 1, 1}}, false, 0.0, true, {{2, 0, 0}, {4, 0, 2}}},
      // x0 = 1: row 0 puts x2 <= 1, row 1 needs x2 >= 3.
      {"infeasible through two rows", {{2, 1, 1}}, false, 0.0, false, {}},
      // Nothing fixed: only row 0's rounding of x2 (4.5 -> 4); x3 is continuous and stays.
      {"every row", {}, true, 0.0, true, {{4, 0, 4}}},
      // x2 >= 3 makes x0 <= 1 (row 1, nothing) and leaves row 0 at 1.5: x0 = 0 and x1 = 0.
      {"raised integer", {{4, 3, 10}}, false, 0.0, true, {{2, 0, 0}, {3, 0, 0}, {4, 3, 4}}},
      // x3 without a lower bound leaves row 0 no least activity: nothing follows from it.
      {"unbounded other column", {{3, 1, 1}}, false, -inf, true, {}},
      // A seed on a row logical (variable 0) is no column: no row is visited.
      {"seed on a logical", {{0, 0, 1}}, false, 0.0, true, {}},
  };
  const Problem p = two_rows();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<double> lower = {0.0, -inf, 0.0, 0.0, 0.0, c.x3_lower};
    std::vector<double> upper = {inf, 0.0, 1.0, 1.0, 10.0, inf};
    for (const BoundChange& s : c.seeds) {
      lower[static_cast<std::size_t>(s.variable)] = s.lower;
      upper[static_cast<std::size_t>(s.variable)] = s.upper;
    }
    const std::vector<double> before_lower = lower;
    const std::vector<double> before_upper = upper;
    RowPropagator prop(p, p.rows, false);
    std::vector<BoundChange> out;
    EXPECT_EQ(prop.propagate(lower, upper, c.seeds, c.all_rows, out), c.feasible);
    if (!c.feasible) continue;
    std::vector<BoundChange> changed;
    for (std::size_t v = 0; v < lower.size(); ++v) {
      if (lower[v] != before_lower[v] || upper[v] != before_upper[v]) {
        changed.push_back({static_cast<std::int32_t>(v), lower[v], upper[v]});
      }
    }
    ASSERT_EQ(changed.size(), c.expected_final.size());
    for (std::size_t k = 0; k < changed.size(); ++k) {
      EXPECT_EQ(changed[k].variable, c.expected_final[k].variable);
      EXPECT_DOUBLE_EQ(changed[k].lower, c.expected_final[k].lower);
      EXPECT_DOUBLE_EQ(changed[k].upper, c.expected_final[k].upper);
    }
    // Every tightening is reported, the last one per variable holding its final bounds.
    for (const BoundChange& f : changed) {
      const BoundChange* last = nullptr;
      for (const BoundChange& o : out) {
        if (o.variable == f.variable) last = &o;
      }
      ASSERT_NE(last, nullptr);
      EXPECT_DOUBLE_EQ(last->lower, f.lower);
      EXPECT_DOUBLE_EQ(last->upper, f.upper);
    }
  }
}

// A row taken from a cut (beyond the rows given to the propagator) is never read.
TEST(RowPropagation, RowsBeyondTheGivenCountAreLeftOut) {
  const Problem p = two_rows();
  RowPropagator prop(p, 1, false);  // row 1 left out
  std::vector<double> lower = {0.0, -kInfinity, 1.0, 0.0, 0.0, 0.0};
  std::vector<double> upper = {kInfinity, 0.0, 1.0, 1.0, 10.0, kInfinity};
  std::vector<BoundChange> out;
  const std::vector<BoundChange> seeds = {{2, 1, 1}};
  EXPECT_TRUE(prop.propagate(lower, upper, seeds, false, out));  // row 1 would prove it infeasible
  EXPECT_DOUBLE_EQ(upper[4], 1.0);
}

// Binaries only: x2 (a general integer) keeps its bounds; the binaries still follow.
TEST(RowPropagation, BinariesOnlyLeaveGeneralIntegersAlone) {
  const Problem p = two_rows();
  RowPropagator prop(p, p.rows, true);
  std::vector<double> lower = {0.0, -kInfinity, 0.0, 0.0, 3.0, 0.0};
  std::vector<double> upper = {kInfinity, 0.0, 1.0, 1.0, 10.0, kInfinity};
  std::vector<BoundChange> out;
  const std::vector<BoundChange> seeds = {{4, 3, 10}};
  EXPECT_TRUE(prop.propagate(lower, upper, seeds, false, out));
  EXPECT_DOUBLE_EQ(upper[2], 0.0);  // x0
  EXPECT_DOUBLE_EQ(upper[3], 0.0);  // x1
  EXPECT_DOUBLE_EQ(lower[4], 3.0);  // x2 untouched
  EXPECT_DOUBLE_EQ(upper[4], 10.0);
}

}  // namespace
}  // namespace kqopt
