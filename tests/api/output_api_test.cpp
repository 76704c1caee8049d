// The writers through the public header: KQOUTPUT, KQTOASC and KQFPRINT name their files
// after the problem, take their option letters for one call only, and refuse without a
// problem or a solution.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "kqopt.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class OutputApi : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    scratch_ = fs::temp_directory_path() / ("kqopt-output-api-" + std::to_string(::getpid()));
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
    fs::current_path(scratch_);
    fs::copy_file(std::string(KQOPT_TEST_FILES_DIR) + "/netlib/afiro.mps", scratch_ / "afiro.mps");
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
  }
  void TearDown() override {
    KQFREEXO();
    fs::current_path(previous_);
    fs::remove_all(scratch_);
  }

  fs::path previous_;
  fs::path scratch_;
};

TEST_F(OutputApi, WritersNameTheirFilesAfterTheProblem) {
  int32_t error = 0;
  EXPECT_EQ(KQOUTPUT(""), 32);
  KQGETIPV(1023, &error);
  EXPECT_EQ(error, 91);
  EXPECT_EQ(KQFPRINT(), 32);

  ASSERT_EQ(KQINPUT("afiro"), 0);
  ASSERT_EQ(KQOUTPUT("x"), 0);
  const std::string hexadecimal = contents("afiro.mat");
  EXPECT_NE(hexadecimal.find("BFF0000000000000"), std::string::npos);
  // The letters held for that call only.
  ASSERT_EQ(KQOUTPUT(nullptr), 0);
  const std::string normal = contents("afiro.mat");
  EXPECT_EQ(normal.find("BFF00000"), std::string::npos);
  EXPECT_NE(normal.find("    X01       R09       -1.000000000   R10       -1.060000000"), std::string::npos) << normal;

  // The written file is the problem: the same optimum.
  ASSERT_EQ(KQMINIM(""), 0);
  double first = 0, second = 0;
  KQGETDPV(2001, &first);
  ASSERT_EQ(KQINPUT("afiro.mat"), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  KQGETDPV(2001, &second);
  EXPECT_NEAR(first, -464.753142857, 1e-8);
  EXPECT_NEAR(second, first, 1e-9);

  ASSERT_EQ(KQTOASC(nullptr, "sn"), 0);
  const std::string records = contents("afiro.asc");
  EXPECT_EQ(records.substr(0, 19), "     1,\"R09     \"\r\n");
  ASSERT_EQ(KQTOASC("", ""), 0);  // all fields again
  EXPECT_GT(contents("afiro.asc").size(), records.size() * 3);
  EXPECT_EQ(contents("afiro.hdr").substr(0, 11), "\"afiro   \",");
  ASSERT_EQ(KQFPRINT(), 0);
  EXPECT_NE(contents("afiro.prt").find("Solution: columns"), std::string::npos);
}

}  // namespace
