// The number parser: the field grammar, blanks inside fields, exponent letters.
#include "input/number_parser.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kqopt::input {
namespace {

TEST(NumberParser, ValidFields) {
  struct Case {
    const char* field;
    double value;
  };
  const Case cases[] = {
      {"", 0.0},
      {"            ", 0.0},
      {"1", 1.0},
      {"  -12.5", -12.5},
      {"+3", 3.0},
      {"1.5E 3", 1500.0},
      {"1.5e3", 1500.0},
      {"2D2", 200.0},
      {"2d-2", 0.02},
      {"-.5", -0.5},
      {"5.", 5.0},
      {"1 000", 1000.0},
      {"1.0E+30", 1.0e30},
      {"   0.1  ", 0.1},
      {"1e-400", 0.0},
      {"-7.113", -7.113},
      {"1.23456789012345678901", 1.23456789012345678901},
  };
  for (const Case& c : cases) {
    double v = -99;
    ASSERT_EQ(parse_number(c.field, v), NumberStatus::kOk) << c.field;
    EXPECT_EQ(v, c.value) << c.field;
  }
}

TEST(NumberParser, InvalidFieldsLeaveTheValue) {
  const char* cases[] = {"1,5", "-",     "+",     ".",   "1E",  "1E+",  "E5",   "abc", "1.2.3",
                         "--1", "1e5.0", "1e999", "inf", "nan", "0x10", "1\t2", "1-",  "1e+-2"};
  for (const char* field : cases) {
    double v = 42;
    EXPECT_EQ(parse_number(field, v), NumberStatus::kInvalid) << field;
    EXPECT_EQ(v, 42) << field;
  }
}

TEST(NumberParser, LongFields) {
  std::string field(300, ' ');
  field[299] = '7';
  double v = 0;
  ASSERT_EQ(parse_number(field, v), NumberStatus::kOk);
  EXPECT_EQ(v, 7.0);
  std::string digits = "0." + std::string(400, '3');
  ASSERT_EQ(parse_number(digits, v), NumberStatus::kOk);
  EXPECT_DOUBLE_EQ(v, 1.0 / 3.0);
}

}  // namespace
}  // namespace kqopt::input
