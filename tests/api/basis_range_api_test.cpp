// Basis files and ranging as a host uses them, through the public header: afiro's
// optimal basis written and read back, both layouts, and the range arrays with null
// pointers skipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "kqopt.h"

namespace {

std::filesystem::path scratch_directory() {
  return std::filesystem::temp_directory_path() / ("kqopt-basis-range-api-" + std::to_string(::getpid()));
}

int32_t int_attribute(int32_t n) {
  int32_t v = -1;
  EXPECT_EQ(KQGETIPV(n, &v), 0);
  return v;
}

class BasisRangeApi : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(scratch_directory());
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    ASSERT_EQ(KQINPUT(KQOPT_TEST_FILES_DIR "/netlib/afiro.mps"), 0);
    KQSETPROB((scratch_directory() / "afiro").c_str());
  }
  void TearDown() override {
    KQFREEXO();
    std::filesystem::remove_all(scratch_directory());
  }
};

TEST_F(BasisRangeApi, BasisRoundTripsInBothLayouts) {
  ASSERT_EQ(KQMINIM(""), 0);
  ASSERT_EQ(KQBASISOUT(nullptr, nullptr), 0);  // afiro.bss beside the problem name
  ASSERT_EQ(KQBASISOUT((scratch_directory() / "compact").c_str(), "t"), 0);
  EXPECT_TRUE(std::filesystem::exists(scratch_directory() / "afiro.bss"));
  for (const char* options : {"", "t"}) {
    ASSERT_EQ(KQINPUT(KQOPT_TEST_FILES_DIR "/netlib/afiro.mps"), 0);
    KQSETPROB((scratch_directory() / "afiro").c_str());
    const std::string file = *options ? (scratch_directory() / "compact").string() : std::string();
    ASSERT_EQ(KQBASISIN(file.c_str(), options), 0) << options;
    ASSERT_EQ(KQMINIM(""), 0);
    EXPECT_EQ(int_attribute(1010), 1);             // LP status optimal
    EXPECT_EQ(int_attribute(1009), 0) << options;  // iterations
  }
}

TEST_F(BasisRangeApi, RangeArraysSkipNullPointers) {
  EXPECT_EQ(KQRANGE(), 32);  // not optimised yet
  ASSERT_EQ(KQMINIM(""), 0);
  ASSERT_EQ(KQRANGE(), 0);
  const int32_t columns = int_attribute(1018), rows = int_attribute(1001);
  std::vector<double> upper_cost(static_cast<std::size_t>(columns), -7.0);
  ASSERT_EQ(KQCOLRANGE(nullptr, nullptr, nullptr, nullptr, upper_cost.data(), nullptr), 0);
  for (double u : upper_cost) EXPECT_NE(u, -7.0);
  std::vector<double> lower_activity(static_cast<std::size_t>(rows)), upper_activity(lower_activity);
  ASSERT_EQ(KQROWRANGE(upper_activity.data(), lower_activity.data(), nullptr, nullptr), 0);
  for (int32_t i = 0; i < rows; ++i) {
    EXPECT_LE(lower_activity[static_cast<std::size_t>(i)], upper_activity[static_cast<std::size_t>(i)] + 1e-9) << i;
  }
}

}  // namespace
