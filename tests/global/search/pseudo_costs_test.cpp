// Learnt pseudo-costs: an entity's own mean per unit once observed, the mean of the
// observed entities' means before that, and observations that must not count.
#include "global/search/pseudo_costs.h"

#include <gtest/gtest.h>

#include "global/search/branching.h"

namespace kqopt {
namespace {

TEST(LearntPseudoCosts, OwnMeanThenTheMeanOfTheObservedEntities) {
  LearntPseudoCosts pc;
  pc.reset(3);
  double cost = 0.0;
  EXPECT_FALSE(pc.per_unit(0, kUp, cost));  // nothing observed yet
  pc.record(0, kUp, 0.5, 2.0);              // 4 per unit
  pc.record(0, kUp, 0.25, 2.0);             // 8 per unit: mean 6
  pc.record(1, kUp, 1.0, 1.0);              // 1 per unit
  ASSERT_TRUE(pc.per_unit(0, kUp, cost));
  EXPECT_DOUBLE_EQ(cost, 6.0);
  ASSERT_TRUE(pc.per_unit(1, kUp, cost));
  EXPECT_DOUBLE_EQ(cost, 1.0);
  // Entity 2 was never branched up: the mean of the entities' means, (6 + 1) / 2, so the
  // entity observed twice does not weigh double.
  ASSERT_TRUE(pc.per_unit(2, kUp, cost));
  EXPECT_DOUBLE_EQ(cost, 3.5);
  // The other direction knows nothing.
  EXPECT_FALSE(pc.per_unit(0, kDown, cost));
  EXPECT_EQ(pc.count(0, kUp), 2);
  EXPECT_EQ(pc.count(0, kDown), 0);
}

TEST(LearntPseudoCosts, FallsAndEmptyMovesCountAsNothingOrZero) {
  LearntPseudoCosts pc;
  pc.reset(2);
  pc.record(0, kDown, 0.5, -3.0);  // the objective fell (tolerances): a rise of 0
  pc.record(1, kDown, 0.0, 5.0);   // no move: ignored
  pc.record(7, kDown, 0.5, 5.0);   // no such entity: ignored
  double cost = -1.0;
  ASSERT_TRUE(pc.per_unit(0, kDown, cost));
  EXPECT_DOUBLE_EQ(cost, 0.0);
  EXPECT_EQ(pc.count(1, kDown), 0);
  ASSERT_TRUE(pc.per_unit(1, kDown, cost));  // the mean of entity 0 alone
  EXPECT_DOUBLE_EQ(cost, 0.0);
}

}  // namespace
}  // namespace kqopt
