// The solution file's bytes: a record survives encoding and decoding, and bytes too
// short for the counts they announce are refused before anything is sized by them.
#include "output/solution_codec.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kqopt {
namespace {

SolutionRecord two_by_one() {
  SolutionRecord r;
  r.problem_name = "tiny";
  r.rows = 2;
  r.columns = 1;
  r.status_character = 'O';
  r.maximise = true;
  r.iterations = 7;
  r.primal_infeasibilities = 1;
  r.objective = -12.5;
  r.sum_infeasibilities = 0.25;
  r.name = {"R1      ", "R2      ", "X1      "};
  r.type_or_count = {2, 3, 2};
  r.status = {0x1001u, 0x2u | (3u << 16), 0x4u};
  r.value = {1.0, -2.0, 3.5};
  r.cost = {0.0, 0.0, -1.0};
  r.lower = {-1e30, 0.0, 0.0};
  r.upper = {4.0, 1e30, 10.0};
  r.rhs = {4.0, 2.0, 0.0};
  r.dual = {0.5, 0.0, -0.25};
  return r;
}

TEST(SolutionCodec, RecordSurvivesEncodingWithTheStatusInTheLowSixteenBits) {
  const SolutionRecord in = two_by_one();
  const std::vector<unsigned char> bytes = encode_solution(in);
  ASSERT_EQ(bytes.size(), (32u + 3u * 8u) * 8u);
  SolutionRecord out;
  ASSERT_TRUE(decode_solution(bytes, out));
  EXPECT_EQ(out.problem_name, "tiny");
  EXPECT_EQ(out.rows, 2);
  EXPECT_EQ(out.columns, 1);
  EXPECT_EQ(out.status_character, 'O');
  EXPECT_TRUE(out.maximise);
  EXPECT_EQ(out.iterations, 7);
  EXPECT_EQ(out.primal_infeasibilities, 1);
  EXPECT_EQ(out.objective, -12.5);
  EXPECT_EQ(out.sum_infeasibilities, 0.25);
  EXPECT_EQ(out.name, in.name);
  EXPECT_EQ(out.type_or_count, in.type_or_count);
  EXPECT_EQ(out.status, (std::vector<std::uint32_t>{0x1001u, 0x2u, 0x4u}));
  EXPECT_EQ(out.value, in.value);
  EXPECT_EQ(out.cost, in.cost);
  EXPECT_EQ(out.lower, in.lower);
  EXPECT_EQ(out.upper, in.upper);
  EXPECT_EQ(out.rhs, in.rhs);
  EXPECT_EQ(out.dual, in.dual);
}

TEST(SolutionCodec, RefusesBytesShorterThanTheirCounts) {
  std::vector<unsigned char> bytes = encode_solution(two_by_one());
  SolutionRecord out;
  EXPECT_FALSE(decode_solution(std::span(bytes).first(bytes.size() - 1), out));
  EXPECT_FALSE(decode_solution(std::span(bytes).first(100), out));
  // A column count near the int32 limit must not size anything.
  const std::int32_t huge = 0x7fffffff;
  std::memcpy(&bytes[8 + 4], &huge, 4);
  EXPECT_FALSE(decode_solution(bytes, out));
  const std::int32_t negative = -1;
  std::memcpy(&bytes[8], &negative, 4);
  EXPECT_FALSE(decode_solution(bytes, out));
}

}  // namespace
}  // namespace kqopt
