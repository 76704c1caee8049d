// The integer bucket priority queue: order of extraction, cursor walks, re-puts and
// the fatal checks of its arguments.
#include <gtest/gtest.h>

#include <string>

#include "barrier/kit/fatal_error.h"
#include "barrier/ordering/priority_queue.h"

namespace kqopt::barrier {
namespace {

TEST(BarrierPriorityQueue, WalksFromTheMinimumUpwards) {
  PriorityQueue q(6, 10);
  q.put(0, 5);
  q.put(1, 2);
  q.put(2, 5);
  q.put(3, 9);
  std::int32_t e = -1, p = -1;
  ASSERT_TRUE(q.to_min());
  ASSERT_TRUE(q.get(e, p));
  EXPECT_EQ(e, 1);
  EXPECT_EQ(p, 2);
  std::vector<std::int32_t> walk;
  do {
    q.get(e, p);
    walk.push_back(e);
  } while (q.step());
  EXPECT_EQ(walk, (std::vector<std::int32_t>{1, 2, 0, 3}));  // newest first within a bucket
  q.remove(1);
  q.decrease(3, 8);
  ASSERT_TRUE(q.to_min());
  q.get(e, p);
  EXPECT_EQ(e, 3);
  EXPECT_EQ(p, 1);
  EXPECT_FALSE(q.to_priority(7));
  EXPECT_EQ(q.size(), 3);
}

TEST(BarrierPriorityQueue, PutAtTheSamePriorityMovesToTheFront) {
  PriorityQueue q(3, 4);
  q.put(0, 1);
  q.put(1, 1);
  q.put(0, 1);
  std::int32_t e = -1, p = -1;
  ASSERT_TRUE(q.to_priority(1));
  q.get(e, p);
  EXPECT_EQ(e, 0);
  EXPECT_EQ(q.size(), 2);
}

TEST(BarrierPriorityQueue, BadArgumentsAreFatal) {
  PriorityQueue q(3, 4);
  auto report = [](auto&& f) -> std::string {
    try {
      f();
    } catch (const BarrierFatal& e) {
      return e.report();
    }
    return "";
  };
  EXPECT_NE(report([&] { q.put(3, 0); }).find("pq_putp\nArg. num. : 2\nArg. val. : 3"), std::string::npos);
  EXPECT_NE(report([&] { q.put(0, 5); }).find("pq_putp\nArg. num. : 3"), std::string::npos);
  EXPECT_NE(report([&] { q.remove(0); }).find("Neg. ele"), std::string::npos);
  EXPECT_FALSE(q.to_min());
}

}  // namespace
}  // namespace kqopt::barrier
