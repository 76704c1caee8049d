// The solution file's bytes: every item at the place the layout gives it, a record
// survives encoding and decoding, and bytes too short for the counts they announce are
// refused before anything is sized by them.
#include "output/solution_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

template <class T>
T at(const std::vector<unsigned char>& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, &bytes[offset], sizeof value);
  return value;
}
std::string text_at(const std::vector<unsigned char>& bytes, std::size_t offset) {
  return std::string(reinterpret_cast<const char*>(&bytes[offset]), 8);
}

TEST(SolutionCodec, ItemsSitWhereTheLayoutPutsThem) {
  SolutionRecord r = two_by_one();
  r.global = true;
  r.objective_row = 1;
  r.objective_name = "R1";
  r.rhs_set = "RHS1";
  r.bound_set = "BND1";
  r.range_set = "RNG1";
  const std::vector<unsigned char> bytes = encode_solution(r);
  // Header, item k at byte 8(k - 1): 1 name; 2 rows, columns (little-endian).
  EXPECT_EQ(text_at(bytes, 0), "tiny    ");
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 8, bytes.begin() + 16),
            (std::vector<unsigned char>{2, 0, 0, 0, 1, 0, 0, 0}));
  // 3 objective row, status character, sense (2 maximise), global flag, reserved 0.
  EXPECT_EQ(at<std::int32_t>(bytes, 16), 1);
  EXPECT_EQ(bytes[20], 'O');
  EXPECT_EQ(bytes[21], 2);
  EXPECT_EQ(bytes[22], 1);
  EXPECT_EQ(bytes[23], 0);
  // 4 iterations, primal infeasibilities; 8 starts with a reserved 0.
  EXPECT_EQ(at<std::int32_t>(bytes, 24), 7);
  EXPECT_EQ(at<std::int32_t>(bytes, 28), 1);
  EXPECT_EQ(bytes[56], 0);
  // 9 objective, 10 sum of infeasibilities, 11 objective row name, 12 rhs set, 13 bound
  // set, 23 range set; the reserved items 5-7, 14-22 and 24-32 are zero.
  EXPECT_EQ(at<double>(bytes, 64), -12.5);
  EXPECT_EQ(at<double>(bytes, 72), 0.25);
  EXPECT_EQ(text_at(bytes, 80), "R1      ");
  EXPECT_EQ(text_at(bytes, 88), "RHS1    ");
  EXPECT_EQ(text_at(bytes, 96), "BND1    ");
  EXPECT_EQ(text_at(bytes, 176), "RNG1    ");
  for (std::size_t b = 32; b < 56; ++b) EXPECT_EQ(bytes[b], 0) << b;
  for (std::size_t b = 104; b < 176; ++b) EXPECT_EQ(bytes[b], 0) << b;
  for (std::size_t b = 184; b < 256; ++b) EXPECT_EQ(bytes[b], 0) << b;
  // Eight items per variable from byte 256, rows first: name; type word or count and
  // the status word (scale exponent above the low 16 bits); value; cost; lower; upper;
  // an item of our own (the right-hand side); dual value or reduced cost.
  for (std::size_t v = 0; v < 3; ++v) {
    const std::size_t g = 256 + 64 * v;
    EXPECT_EQ(text_at(bytes, g), r.name[v]);
    EXPECT_EQ(at<std::int32_t>(bytes, g + 8), r.type_or_count[v]);
    EXPECT_EQ(at<std::uint32_t>(bytes, g + 12), r.status[v]);
    EXPECT_EQ(at<double>(bytes, g + 16), r.value[v]);
    EXPECT_EQ(at<double>(bytes, g + 24), r.cost[v]);
    EXPECT_EQ(at<double>(bytes, g + 32), r.lower[v]);
    EXPECT_EQ(at<double>(bytes, g + 40), r.upper[v]);
    EXPECT_EQ(at<double>(bytes, g + 48), r.rhs[v]);
    EXPECT_EQ(at<double>(bytes, g + 56), r.dual[v]);
  }
  EXPECT_EQ(at<std::uint32_t>(bytes, 256 + 64 + 12), 0x00030002u);
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
