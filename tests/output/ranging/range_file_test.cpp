// The range file's bytes: the solution header copied as it stands, then per variable
// the eight items at the places the layout gives them (single-precision pairs in items
// 5 to 7, the two 16-bit references at the start of item 8), and the record read back.
#include "output/ranging/range_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace kqopt {
namespace {

template <class T>
T at(const std::vector<unsigned char>& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, &bytes[offset], sizeof value);
  return value;
}

RangeRecord one_by_one() {
  RangeRecord r;
  for (std::size_t b = 0; b < r.header.size(); ++b) r.header[b] = static_cast<unsigned char>(b * 7);
  r.rows = 1;
  r.columns = 1;
  // The counts the header gives size the groups that follow.
  std::memcpy(&r.header[8], &r.rows, 4);
  std::memcpy(&r.header[12], &r.columns, 4);
  r.name = {"ROW1    ", "COL1    "};
  r.type_or_count = {4, 1};
  r.status = {0x0002u | (66u << 16), 0x0001u};
  r.value = {2.5, -0.75};
  r.cost = {0.0, 3.0};
  r.lower = {-1.0e30f, 0.0f};
  r.upper = {8.0f, 1.0e30f};
  r.r1 = {-1.5f, -2.0f};
  r.r2 = {0.5f, 1.0e30f};
  r.l1 = {0.25f, 0.0f};
  r.l2 = {1.0e30f, 0.0f};
  r.reference1 = {-2, 32000};
  r.reference2 = {0, -32000};
  return r;
}

TEST(RangeFileBytes, ItemsSitWhereTheLayoutPutsThem) {
  const RangeRecord r = one_by_one();
  const std::vector<unsigned char> bytes = encode_ranges(r);
  ASSERT_EQ(bytes.size(), 256u + 2u * 64u);
  EXPECT_TRUE(std::equal(r.header.begin(), r.header.end(), bytes.begin()));
  for (std::size_t v = 0; v < 2; ++v) {
    const std::size_t g = 256 + 64 * v;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[g]), 8), r.name[v]);
    EXPECT_EQ(at<std::int32_t>(bytes, g + 8), r.type_or_count[v]);
    EXPECT_EQ(at<std::uint32_t>(bytes, g + 12), r.status[v]);
    EXPECT_EQ(at<double>(bytes, g + 16), r.value[v]);
    EXPECT_EQ(at<double>(bytes, g + 24), r.cost[v]);
    EXPECT_EQ(at<float>(bytes, g + 32), r.lower[v]);
    EXPECT_EQ(at<float>(bytes, g + 36), r.upper[v]);
    EXPECT_EQ(at<float>(bytes, g + 40), r.r1[v]);
    EXPECT_EQ(at<float>(bytes, g + 44), r.r2[v]);
    EXPECT_EQ(at<float>(bytes, g + 48), r.l1[v]);
    EXPECT_EQ(at<float>(bytes, g + 52), r.l2[v]);
    EXPECT_EQ(at<std::int16_t>(bytes, g + 56), r.reference1[v]);
    EXPECT_EQ(at<std::int16_t>(bytes, g + 58), r.reference2[v]);
    EXPECT_EQ(at<std::int32_t>(bytes, g + 60), 0);
  }
  // Little-endian 16-bit references: 32000 is 0x7D00.
  EXPECT_EQ(bytes[256 + 64 + 56], 0x00);
  EXPECT_EQ(bytes[256 + 64 + 57], 0x7D);

  RangeRecord back;
  ASSERT_TRUE(decode_ranges(bytes, back));
  EXPECT_EQ(back.header, r.header);
  EXPECT_EQ(back.name, r.name);
  EXPECT_EQ(back.value, r.value);
  EXPECT_EQ(back.cost, r.cost);
  EXPECT_EQ(back.r1, r.r1);
  EXPECT_EQ(back.r2, r.r2);
  EXPECT_EQ(back.l1, r.l1);
  EXPECT_EQ(back.l2, r.l2);
  EXPECT_EQ(back.reference1, r.reference1);
  EXPECT_EQ(back.reference2, r.reference2);
  EXPECT_FALSE(decode_ranges(std::span(bytes).first(bytes.size() - 1), back));
}

}  // namespace
}  // namespace kqopt
