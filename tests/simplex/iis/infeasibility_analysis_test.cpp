// Relaxing and restoring variables through the status words, and the ends of the
// infeasibility analysis that the public header cannot reach: a console break, a
// workspace too small for the work arrays.
#include "simplex/iis/infeasibility_analysis.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/infinity.h"
#include "problem/problem.h"
#include "problem/problem_fixtures.h"
#include "simplex/iis/relaxation.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

// Rows E, G, R over x0 in [0, 1] and x1 in [-2, 1]: x0 + x1 <= 2 cannot reach the
// range [5, 10] of row 2.
test::LpArrays infeasible() {
  test::LpArrays a;
  a.row_types = {'E', 'G', 'R'};
  a.upper = {1.0, 1.0};
  return a;
}

TEST(Relaxation, RowsAndColumnsComeBackAsLoaded) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), infeasible()), 0);
  Problem& p = *t->problem;
  const Problem before = p;
  Relaxation r(p);
  const std::int32_t column = p.column_variable(1);
  for (std::int32_t v : {0, 1, 2, column}) {
    SCOPED_TRACE(v);
    r.relax(v);
    EXPECT_TRUE(r.relaxed(v));
    EXPECT_TRUE(p.status[v] & status::kFree);
    EXPECT_FALSE(p.status[v] & (status::kFixed | status::kAtUpper));
    EXPECT_EQ(p.lower[v], -kInfinity);
    EXPECT_EQ(p.upper[v], kInfinity);
    if (v < p.rows) EXPECT_EQ(p.row_type[v], before.row_type[v] | row_type::kFree);
  }
  // The G row's logical, nonbasic when restored, has no finite lower bound: it stands at
  // its upper bound (zero).
  p.status[1] &= ~status::kBasic;
  for (std::int32_t v : {0, 1, 2, column}) {
    SCOPED_TRACE(v);
    r.restore(v);
    EXPECT_FALSE(r.relaxed(v));
    EXPECT_EQ(p.lower[v], before.lower[v]);
    EXPECT_EQ(p.upper[v], before.upper[v]);
    const std::uint32_t kept = status::kFree | status::kFixed;
    EXPECT_EQ(p.status[v] & kept, before.status[v] & kept);
    if (v < p.rows) EXPECT_EQ(p.row_type[v], before.row_type[v]);
  }
  EXPECT_TRUE(p.status[0] & status::kFixed);
  EXPECT_TRUE(p.status[1] & status::kAtUpper);
  p.objective.assign(p.objective.size(), 0.0);
  r.relax(2);
  r.restore_problem();
  EXPECT_EQ(p.objective, before.objective);
  EXPECT_EQ(p.lower, before.lower);
  EXPECT_EQ(p.upper, before.upper);
  EXPECT_EQ(p.row_type, before.row_type);
}

TEST(InfeasibilityAnalysis, ConsoleBreakEndsItWithoutTheReport) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), infeasible()), 0);
  t->user_interrupt = 1;
  EXPECT_EQ(analyse_infeasibility(t.lib()), 0);
  EXPECT_TRUE(t.printed("LP stopped"));
  EXPECT_FALSE(t.printed("Irreducible infeasible sets"));
  EXPECT_FALSE(t->has_problem());
  EXPECT_EQ(t->user_interrupt, 0);
}

TEST(InfeasibilityAnalysis, WorkArraysThatDoNotFit) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), infeasible()), 0);
  constexpr int kFiller = 999;
  ASSERT_TRUE(t->workspace.charge(kFiller, t->workspace.free_bytes() - 20));
  const std::int64_t used = t->workspace.used();
  EXPECT_EQ(analyse_infeasibility(t.lib()), kRcResource);
  EXPECT_EQ(t->err.error_number, kMessageNoWorkspace);
  EXPECT_TRUE(t.printed("Not enough workspace"));
  EXPECT_FALSE(t->has_problem());
  // The problem's arrays are given back, the analysis keeps none.
  EXPECT_LT(t->workspace.used(), used);
  t->workspace.release(kFiller);
  EXPECT_EQ(t->workspace.used(), 0);
}

// Row 2 with the bounds of both columns is the set found, but row 0 (x0 + 2 x1 = 4)
// also needs x1 <= 1: only dropping x0's bounds restores feasibility.
TEST(InfeasibilityAnalysis, MarksOnlyTheMemberWhoseRemovalAloneRestoresFeasibility) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), infeasible()), 0);
  EXPECT_EQ(analyse_infeasibility(t.lib()), 0);
  EXPECT_TRUE(t.printed("Problem feasible after removing infeasible sets:      1"));
  std::vector<std::string> members;
  for (const auto& line : t.texts()) {
    if (line.rfind("  *  ", 0) == 0 || (line.rfind("     ", 0) == 0 && line.size() > 12)) members.push_back(line);
  }
  // Combined indices: rows 0..2, columns 3 and 4.
  EXPECT_EQ(members,
            (std::vector<std::string>{"          2 VVVVVVV3", "  *       3 VVVVVVV4", "          4 VVVVVVV5"}));
  EXPECT_FALSE(t->has_problem());
}

}  // namespace
}  // namespace kqopt
