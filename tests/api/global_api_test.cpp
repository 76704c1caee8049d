// The global search through the public header: the letter g, KQGLOBAL after an LP,
// the attributes it leaves, the solution retrieved afterwards, and the refusals of
// KQGLOBAL, KQGETEST and KQDELNODE.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kqopt.h"

namespace {

class GlobalApi : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-global-api-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    ASSERT_EQ(KQSETICV(28, 0), 0);  // GPRINT: no search log
  }
  void TearDown() override {
    KQFREEXO();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }

  // max 5x + 4y + 3z  s.t.  2x + 3y + z <= 5,  4x + y + 2z <= 11,  3x + 4y + 2z <= 8,
  // x, y, z integer in [0, 10]: the relaxation is fractional, the integer optimum 13
  // (x = 2, z = 1).
  static void load() {
    const char types[] = {'L', 'L', 'L'};
    const double rhs[] = {5.5, 11.0, 8.0};
    const double obj[] = {5.0, 4.0, 3.0};
    const int32_t start[] = {0, 3, 6, 9};
    const int32_t rows[] = {0, 1, 2, 0, 1, 2, 0, 1, 2};
    const double values[] = {2, 4, 3, 3, 1, 4, 1, 2, 2};
    const double lower[] = {0, 0, 0};
    const double upper[] = {10, 10, 10};
    const char kinds[] = {'I', 'I', 'I'};
    const int32_t columns[] = {0, 1, 2};
    ASSERT_EQ(KQLOADGLOBAL("knap", 3, 3, types, rhs, nullptr, obj, start, nullptr, rows, values, lower, upper, 3, 0,
                           kinds, columns, nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
  }
  static int32_t int_attribute(int32_t n) {
    int32_t v = -1;
    EXPECT_EQ(KQGETIPV(n, &v), 0);
    return v;
  }
  static double double_attribute(int32_t n) {
    double v = 0;
    EXPECT_EQ(KQGETDPV(n, &v), 0);
    return v;
  }

  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

// The best of every integer point, by enumeration.
double enumerate() {
  double best = -1.0;
  for (int x = 0; x <= 10; ++x) {
    for (int y = 0; y <= 10; ++y) {
      for (int z = 0; z <= 10; ++z) {
        if (2 * x + 3 * y + z <= 5.5 && 4 * x + y + 2 * z <= 11 && 3 * x + 4 * y + 2 * z <= 8) {
          best = std::max(best, 5.0 * x + 4.0 * y + 3.0 * z);
        }
      }
    }
  }
  return best;
}

TEST_F(GlobalApi, LetterGSolvesToTheIntegerOptimum) {
  load();
  ASSERT_EQ(KQMAXIM("g"), 0);
  EXPECT_EQ(int_attribute(1015), 6);  // finished with a solution
  EXPECT_GE(int_attribute(1013), 1);
  EXPECT_GE(int_attribute(1017), 1);
  EXPECT_NEAR(double_attribute(2004), enumerate(), 1e-9);
  EXPECT_NEAR(double_attribute(2003), enumerate(), 1e-9);
  // The solution in memory is the incumbent's: integral, and worth its objective.
  double x[3];
  ASSERT_EQ(KQSOLUTION(x, nullptr, nullptr, nullptr), 0);
  for (double v : x) EXPECT_NEAR(v, std::round(v), 1e-6);
  EXPECT_NEAR(5 * x[0] + 4 * x[1] + 3 * x[2], enumerate(), 1e-6);
  EXPECT_NEAR(double_attribute(2001), enumerate(), 1e-6);
}

TEST_F(GlobalApi, GlobalAfterTheRelaxationAndItsRefusals) {
  EXPECT_EQ(KQGLOBAL(), 32);  // no problem
  EXPECT_EQ(int_attribute(1023), 91);
  load();
  EXPECT_EQ(KQGLOBAL(), 32);  // not optimised
  ASSERT_EQ(KQMAXIM(""), 0);
  double up = 0;
  double down = 0;
  EXPECT_EQ(KQGETEST(1, &up, &down), 0);
  EXPECT_EQ(KQGETEST(4, &up, &down), 32);
  EXPECT_EQ(int_attribute(1023), 405);
  EXPECT_EQ(KQDELNODE(2, 1), 32);  // no search running
  EXPECT_EQ(int_attribute(1023), 432);
  ASSERT_EQ(KQGLOBAL(), 0);
  EXPECT_EQ(int_attribute(1015), 6);
  EXPECT_NEAR(double_attribute(2004), enumerate(), 1e-9);
}

TEST_F(GlobalApi, LetterLIgnoresTheEntities) {
  load();
  ASSERT_EQ(KQMAXIM("gl"), 0);
  EXPECT_EQ(int_attribute(1015), 0);
  EXPECT_GT(double_attribute(2001), enumerate() + 0.1);  // the relaxation's value
}

}  // namespace
