// Reduced-cost fixing against hand-made node LPs: how far an integer column at a bound
// may move for the gap, the allowance for wrong-signed reduced costs elsewhere, and the
// columns it must leave alone.
#include "global/search/node_tightening.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "problem/infinity.h"
#include "problem/problem.h"

namespace kqopt {
namespace {

// One row slot (variable 0) and three columns (variables 1..3); column 0 integer,
// column 1 binary, column 2 continuous.
struct Node {
  std::vector<double> x, d, lower, upper;
};

Problem three_columns() {
  Problem p;
  p.rows = 1;
  p.columns = 3;
  p.entities.push_back({static_cast<std::uint32_t>(EntityKind::kInteger), 0});
  p.entities.push_back({static_cast<std::uint32_t>(EntityKind::kBinary), 1});
  return p;
}

struct Case {
  const char* name;
  Node node;
  double gap;
  std::vector<BoundChange> expected;
};

TEST(ReducedCostTightening, BoundsFollowTheGap) {
  const double inf = kInfinity;
  const std::vector<Case> cases = {
      // Integer at 0 in [0, 10] with d = 3 and gap 7: two units at most (7/3 = 2.33).
      {"integer at lower", {{0, 0, 0, 0.5}, {0, 3, 0, 0}, {-inf, 0, 0, 0}, {inf, 10, 1, 1}}, 7.0, {{1, 0, 2}}},
      // At its upper bound 10 with d = -4 and gap 9: down to 8.
      {"integer at upper", {{0, 10, 0, 0.5}, {0, -4, 0, 0}, {-inf, 0, 0, 0}, {inf, 10, 1, 1}}, 9.0, {{1, 8, 10}}},
      // A gap exactly three reduced costs keeps the third unit (floor with a hair).
      {"exact multiple", {{0, 0, 0, 0.5}, {0, 1.0 / 3.0, 0, 0}, {-inf, 0, 0, 0}, {inf, 10, 1, 1}}, 1.0, {{1, 0, 3}}},
      // The binary at 1 with d = -2 > gap 1.5: fixed at 1; the integer's d 0.1 reaches past 10.
      {"binary fixed", {{0, 0, 1, 0.5}, {0, 0.1, -2, 0}, {-inf, 0, 0, 0}, {inf, 10, 1, 1}}, 1.5, {{2, 1, 1}}},
      // Basic columns (between bounds) and continuous columns are never touched.
      {"basic and continuous", {{0, 4, 0.5, 0}, {0, 0, 0, 9}, {-inf, 0, 0, 0}, {inf, 10, 1, 1}}, 0.5, {}},
      // A wrong-signed reduced cost on the continuous column (at lower, d = -1, range 1)
      // may give back one unit of objective: room 3 + 1 for d = 2 allows two units.
      {"wrong sign allowed for", {{0, 0, 0, 0}, {0, 2, 0, -1}, {-inf, 0, 0, 0}, {inf, 10, 1, 1}}, 3.0, {{1, 0, 2}}},
      // The same on a column without an upper bound leaves no valid bound: nothing fixed.
      {"wrong sign unbounded", {{0, 0, 0, 0}, {0, 2, 0, -1}, {-inf, 0, 0, 0}, {inf, 10, 1, inf}}, 3.0, {}},
      // No finite gap: nothing.
      {"no cutoff", {{0, 0, 0, 0}, {0, 2, 0, 0}, {-inf, 0, 0, 0}, {inf, 10, 1, 1}}, inf, {}},
  };
  const Problem p = three_columns();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BoundChange> out;
    const OptimalNode view{c.node.x, c.node.d, c.node.lower, c.node.upper};
    const double gap = c.gap >= kInfinityThreshold ? std::numeric_limits<double>::infinity() : c.gap;
    const std::int32_t n = reduced_cost_tightening(p, view, gap, 0.0, 1.0e-7, out);
    ASSERT_EQ(n, static_cast<std::int32_t>(c.expected.size()));
    ASSERT_EQ(out.size(), c.expected.size());
    for (std::size_t k = 0; k < out.size(); ++k) {
      EXPECT_EQ(out[k].variable, c.expected[k].variable);
      EXPECT_DOUBLE_EQ(out[k].lower, c.expected[k].lower);
      EXPECT_DOUBLE_EQ(out[k].upper, c.expected[k].upper);
    }
  }
}

}  // namespace
}  // namespace kqopt
