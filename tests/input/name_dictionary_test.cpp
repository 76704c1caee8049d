// The name dictionary: kinds kept apart, numbers in insertion order, overflow.
#include "input/name_dictionary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kqopt::input {
namespace {

std::string padded(const std::string& s, int width = 8) {
  return s + std::string(static_cast<std::size_t>(width) - s.size(), ' ');
}

TEST(NameDictionary, DecimalDigitHash) {
  EXPECT_EQ(NameDictionary::hash("12345678"), 12345678);
  // '*' characters are skipped; a blank counts as the digit -16.
  EXPECT_EQ(NameDictionary::hash("*******1"), 1);
  EXPECT_EQ(NameDictionary::hash("1       "), static_cast<std::int32_t>(10000000u - 16u * 1111111u));
  // Wrap-around in 32 bits: 4294967297 = 2^32 + 1.
  EXPECT_EQ(NameDictionary::hash("4294967297"), 1);
}

TEST(NameDictionary, RowsAndColumnsApart) {
  NameDictionary d;
  d.reset(8, 100);
  EXPECT_EQ(d.insert(NameKind::kRow, padded("COST")).number, 0);
  EXPECT_EQ(d.insert(NameKind::kRow, padded("LIM1")).number, 1);
  EXPECT_EQ(d.insert(NameKind::kColumn, padded("COST")).number, 0);
  auto again = d.insert(NameKind::kRow, padded("LIM1"));
  EXPECT_TRUE(again.existed);
  EXPECT_EQ(again.number, 1);
  EXPECT_EQ(d.find(NameKind::kRow, padded("COST")), 0);
  EXPECT_EQ(d.find(NameKind::kColumn, padded("LIM1")), NameDictionary::kNotFound);
  EXPECT_EQ(d.count(NameKind::kRow), 2);
  EXPECT_EQ(d.count(NameKind::kColumn), 1);
  EXPECT_EQ(d.name(NameKind::kRow, 1), padded("LIM1"));
  EXPECT_EQ(d.find(NameKind::kRow, "LIM1"), NameDictionary::kNotFound);  // wrong width
}

TEST(NameDictionary, ManyNamesAndOverflow) {
  NameDictionary d;
  const int capacity = 50004;
  d.reset(16, capacity);
  char buffer[32];
  for (int i = 0; i < capacity; ++i) {
    std::snprintf(buffer, sizeof buffer, "%-16d", i);
    auto r = d.insert(i % 2 ? NameKind::kColumn : NameKind::kRow, std::string_view(buffer, 16));
    ASSERT_FALSE(r.existed);
    ASSERT_EQ(r.number, i / 2);
  }
  std::snprintf(buffer, sizeof buffer, "%-16s", "one too many");
  EXPECT_EQ(d.insert(NameKind::kRow, std::string_view(buffer, 16)).number, NameDictionary::kNotFound);
  for (int i = 0; i < capacity; i += 997) {
    std::snprintf(buffer, sizeof buffer, "%-16d", i);
    EXPECT_EQ(d.find(i % 2 ? NameKind::kColumn : NameKind::kRow, std::string_view(buffer, 16)), i / 2);
  }
}

}  // namespace
}  // namespace kqopt::input
