// The 12-character real field, in double and single precision.
#include <string>

#include <gtest/gtest.h>

#include "frame/real_field.h"

namespace kqopt {
namespace {

std::string text(const RealField& field) { return std::string(field.begin(), field.end()); }

TEST(RealField, Table) {
  struct Case {
    double x;
    const char* expected;
  };
  const Case cases[] = {
      {0.5, "     .500000"},          {-1234.5, "-1234.500000"}, {12345.678, " 12345.67800"},
      {1.0e10, " 1.00000E+10"},       {0.0005, " 5.00000E-04"},  {0.0, "     .000000"},
      {1.0e-6, "     .000000"},       {-0.5, "    -.500000"},    {1.0, "    1.000000"},
      {0.005, "     .005000"},        {-2.5e-4, "-2.50000E-04"}, {123456789.0, " 123456789.0"},
      {1234567890.0, " 1234567890."}, {-1.0e29, "-1.00000E+29"}, {3.0, "    3.000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text(format_real_field(c.x, 1.0e-5)), c.expected) << c.x;
  }
}

TEST(RealField, ThresholdZeroShowsSmallValues) {
  EXPECT_EQ(text(format_real_field(1.0e-6, 0.0)), " 1.00000E-06");
  EXPECT_EQ(text(format_real_field(1.0e-31, 0.0)), "     .000000");
}

TEST(RealField, SinglePrecisionFollowsTheSameLayout) {
  EXPECT_EQ(text(format_real_field_single(0.5f, 1.0e-5f)), "     .500000");
  EXPECT_EQ(text(format_real_field_single(-1234.5f, 1.0e-5f)), "-1234.500000");
  EXPECT_EQ(text(format_real_field_single(1.0e10f, 1.0e-5f)), " 1.00000E+10");
}

}  // namespace
}  // namespace kqopt
