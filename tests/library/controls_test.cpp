// Controls by number and by name: ranges, access flags, defaults and typed lines.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "library/control_access.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

TEST(Controls, DoubleDefaultsAreBitExact) {
  test::TestLibrary t;
  double v = 0;
  ASSERT_EQ(get_double_control(t.lib(), 3, &v), 0);
  EXPECT_EQ(v, std::nextafter(1.0e-6, 1.0));
  ASSERT_EQ(get_double_control(t.lib(), 29, &v), 0);
  EXPECT_EQ(v, std::nextafter(1.0e-10, 0.0));
  ASSERT_EQ(get_double_control(t.lib(), 12, &v), 0);
  EXPECT_EQ(v, static_cast<double>(-1.0e-5f));
  ASSERT_EQ(get_double_control(t.lib(), 21, &v), 0);
  EXPECT_EQ(v, static_cast<double>(0.075f));
  ASSERT_EQ(get_double_control(t.lib(), 75, &v), 0);
  EXPECT_EQ(v, 9.999999999999999e29);
}

TEST(Controls, NumberRangeAndAccess) {
  struct Case {
    int n;
    std::int32_t rc;
    std::int32_t error;
  };
  const Case cases[] = {{0, 32, 412}, {136, 32, 412}, {135, 0, 0}, {1, 32, 180}, {61, 32, 180}, {7, 0, 0}};
  for (const Case& c : cases) {
    test::TestLibrary t;
    std::int32_t before = t->controls.i(c.n >= 1 && c.n <= 135 ? c.n : 7);
    EXPECT_EQ(set_int_control(t.lib(), c.n, 5), c.rc) << c.n;
    EXPECT_EQ(t->err.error_number, c.error) << c.n;
    if (c.rc != 0 && c.n >= 1 && c.n <= 135) {
      EXPECT_EQ(t->controls.i(c.n), before);
    }
  }
}

TEST(Controls, CharacterControlsAreCutAndTrimmed) {
  test::TestLibrary t;
  char buffer[9];
  ASSERT_EQ(set_char_control(t.lib(), 5, "ABCDEFGHIJ"), 0);
  ASSERT_EQ(get_char_control(t.lib(), 5, buffer), 0);
  EXPECT_STREQ(buffer, "ABCDEFGH");
  ASSERT_EQ(set_char_control(t.lib(), 1, nullptr), 0);
  ASSERT_EQ(get_char_control(t.lib(), 1, buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(set_char_control(t.lib(), 8, "X"), 32);
}

TEST(Controls, AttributeReadsReportThePreviousError) {
  test::TestLibrary t;
  std::int32_t v = 0;
  EXPECT_EQ(set_double_control(t.lib(), 99, 1.0), 32);
  ASSERT_EQ(get_int_attribute(t.lib(), 1025, &v), 0);
  EXPECT_EQ(v, 32);
  ASSERT_EQ(get_int_attribute(t.lib(), 1023, &v), 0);
  EXPECT_EQ(v, 0);  // the read of 1025 succeeded and cleared the error state

  EXPECT_EQ(set_double_control(t.lib(), 99, 1.0), 32);
  ASSERT_EQ(get_int_attribute(t.lib(), 1023, &v), 0);
  EXPECT_EQ(v, 412);
  EXPECT_EQ(get_int_attribute(t.lib(), 1030, &v), 32);
  double d = 0;
  EXPECT_EQ(get_double_attribute(t.lib(), 2009, &d), 32);
  EXPECT_EQ(get_double_attribute(t.lib(), 4005, &d), 0);
}

TEST(Controls, TypedLines) {
  struct Case {
    const char* line;
    ControlLineResult result;
    int control;  // integer control expected to change, 0 none
    std::int32_t value;
  };
  const Case cases[] = {
      {"itrlim=500", ControlLineResult::kHandled, 7, 500}, {"ITR", ControlLineResult::kNotAControl, 0, 0},
      {"ITRLIMX", ControlLineResult::kNotAControl, 0, 0},  {"IFMEM=3", ControlLineResult::kNotAControl, 0, 0},
      {"M_R=5", ControlLineResult::kHandled, 0, 0},
  };
  for (const Case& c : cases) {
    test::TestLibrary t;
    EXPECT_EQ(handle_control_line(t.lib(), c.line), c.result) << c.line;
    if (c.control) {
      EXPECT_EQ(t->controls.i(c.control), c.value) << c.line;
    }
  }
}

TEST(Controls, ReadOnlyIntegerTypedWithItsOwnValueBecomesSettable) {
  test::TestLibrary t;
  std::string line = "M_R=" + std::to_string(t->controls.i(1));
  EXPECT_EQ(handle_control_line(t.lib(), line), ControlLineResult::kHandled);
  EXPECT_EQ(t->controls.icv_access[1], 0);
  EXPECT_EQ(handle_control_line(t.lib(), "M_R=5"), ControlLineResult::kHandled);
  EXPECT_EQ(t->controls.i(1), 5);
}

TEST(Controls, QueriesPrintInTheirFields) {
  test::TestLibrary t;
  t.clear_lines();
  handle_control_line(t.lib(), "ZTOLPZ");
  handle_control_line(t.lib(), "ITRLOG");
  handle_control_line(t.lib(), "ASCMSK");
  handle_control_line(t.lib(), "RHSNAM='A B'");
  handle_control_line(t.lib(), "RHSNAM");
  handle_control_line(t.lib(), "ZTOLPV=1.5x");
  ASSERT_GE(t.texts().size(), 4u);
  EXPECT_EQ(t.texts()[0], " 1.00000E-05");
  EXPECT_EQ(t.texts()[1], "         100");
  EXPECT_EQ(t.texts()[2], "'" + std::string(8, '?') + "'");
  EXPECT_EQ(t.texts()[3], "'A B     '");
  EXPECT_EQ(t->controls.d(2), 1.0e-9);  // the malformed number left it alone
  EXPECT_EQ(t->err.return_code, 0);
}

}  // namespace
}  // namespace kqopt
