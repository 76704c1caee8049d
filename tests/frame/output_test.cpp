// Message output: placement at '&' marks, the 256-position wrap, repeated-message
// suppression, quiet sections, destinations, the log file and the message-file search.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/catalogue_builder.h"
#include "library/library.h"
#include "library/lifecycle.h"

namespace kqopt {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> g_lines;
std::vector<int> g_classes;
int g_notices = 0;

void capture(const char* text, std::int32_t length, std::int32_t message_class) {
  if (text == nullptr) {
    ++g_notices;
    return;
  }
  g_lines.emplace_back(text, static_cast<std::size_t>(length));
  g_classes.push_back(message_class);
}

// A library initialised on a small catalogue of the test's own.
class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kqopt-output-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    CatalogueEntries entries = {
        {1, {0, "10.63 "}},
        {10, {0, "Value & is here"}},
        {11, {3, "?Failure"}},
        {12, {4, "?Severe"}},
        {13, {0, std::string(300, 'x')}},
        {14, {0, "Inserted"}},
        {265, {0, "Repeats suppressed:"}},
    };
    std::string error;
    ASSERT_TRUE(write_catalogue(entries, (dir_ / "rb-opt.msg").string(), error)) << error;
    ::unsetenv("TARKEN");
    ASSERT_EQ(initialise(lib_, dir_.c_str(), 1 << 24), 0);
    lib_.callbacks.output = capture;
    g_lines.clear();
    g_classes.clear();
    g_notices = 0;
  }
  void TearDown() override {
    release(lib_);
    fs::remove_all(dir_);
  }

  fs::path dir_;
  Library lib_;
};

TEST_F(OutputTest, ValuesGoToTheMarkOrTheEnd) {
  print_message(lib_, 10);
  put_integer(lib_, 42, 6);
  put_integer(lib_, 7, 2);
  flush_line(lib_);
  ASSERT_EQ(g_lines.size(), 1u);
  // The field overwrites the mark and the characters after it.
  EXPECT_EQ(g_lines[0], "Value     42ere07");
}

TEST_F(OutputTest, IntegerWidths) {
  put_integer(lib_, -12345, 12);
  put_integer(lib_, 1234567890123LL, 9);
  put_integer(lib_, 5, 2);
  put_hex(lib_, 0xBEEF);
  flush_line(lib_);
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0], "      -12345567890123050000BEEF");
}

TEST_F(OutputTest, MessagePlacedAtAPendingPlaceholder) {
  print_message(lib_, 10);
  print_message(lib_, 14);
  flush_line(lib_);
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0], "Value Insertede");
}

TEST_F(OutputTest, LongMessageWrapsAt255) {
  print_message(lib_, 13);
  flush_line(lib_);
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(g_lines[0].size(), 255u);
  EXPECT_EQ(g_lines[1].size(), 45u);
}

TEST_F(OutputTest, RepeatedMessageSuppressedAfter22) {
  for (int i = 0; i < 30; ++i) {
    print_repeated_message(lib_, 14);
    flush_line(lib_);
  }
  EXPECT_EQ(g_lines.size(), 22u);
  print_message(lib_, 10);
  flush_line(lib_);
  ASSERT_EQ(g_lines.size(), 24u);
  EXPECT_EQ(g_lines[22], "Repeats suppressed:     7");
  EXPECT_EQ(g_lines[23], "Value & is here");
  EXPECT_EQ(lib_.controls.i(icv::IFPMSG), 1);
}

TEST_F(OutputTest, ClassesSetTheErrorNumber) {
  print_message(lib_, 11);
  flush_line(lib_);
  EXPECT_EQ(lib_.err.error_number, 11);
  lib_.err.return_code = 32;
  lib_.err.error_number = 0;
  print_message(lib_, 11);  // class 3 leaves an earlier failure alone
  flush_line(lib_);
  EXPECT_EQ(lib_.err.error_number, 0);
  print_message(lib_, 12);
  flush_line(lib_);
  EXPECT_EQ(lib_.err.error_number, 12);
  EXPECT_EQ(g_classes.back(), 4);
}

TEST_F(OutputTest, SilentWhileIfpmsgIsZero) {
  lib_.controls.i(icv::IFPMSG) = 0;
  print_message(lib_, 12);
  flush_line(lib_);
  EXPECT_TRUE(g_lines.empty());
}

TEST_F(OutputTest, QuietSectionRestoresTheErrorState) {
  lib_.err.return_code = 0;
  begin_quiet(lib_);
  print_message(lib_, 12);
  flush_line(lib_);
  lib_.err.return_code = 8;
  end_quiet(lib_);
  EXPECT_TRUE(g_lines.empty());
  EXPECT_EQ(lib_.err.return_code, 0);
  EXPECT_EQ(lib_.err.error_number, 0);
}

TEST_F(OutputTest, TildeAndNulSplitTheLine) {
  put_string(lib_, "~ab");
  put_text(lib_, "\0cd", 3);
  flush_line(lib_);
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(g_lines[0], "ab");
  EXPECT_EQ(g_lines[1], "cd");
}

TEST_F(OutputTest, DiscardDestination) {
  put_string(lib_, "gone");
  set_destination(lib_, 5);
  flush_line(lib_);
  EXPECT_TRUE(g_lines.empty());
}

TEST_F(OutputTest, LogFileFollowsTheStates) {
  std::string log = (dir_ / "run.log").string();
  set_log_file(lib_, log.c_str());
  put_string(lib_, "first");
  flush_line(lib_);
  flush_notice(lib_);
  EXPECT_EQ(g_notices, 1);
  put_string(lib_, "second");
  flush_line(lib_);
  set_log_file(lib_, "");
  put_string(lib_, "third");
  flush_line(lib_);
  std::ifstream in(log);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), "first\nsecond\n");
  EXPECT_EQ(g_lines.size(), 3u);
}

TEST_F(OutputTest, ArgumentErrorReport) {
  report_argument_error(lib_, 11, "getcols ", {3, -7});
  EXPECT_EQ(lib_.err.return_code, 32);
  EXPECT_EQ(lib_.err.error_number, 11);
  EXPECT_EQ(lib_.err.error_value, -7);
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0], "?Failuregetcols      3    -7");
}

TEST_F(OutputTest, WrongVersionIsFatal) {
  fs::path other = dir_ / "other";
  fs::create_directories(other);
  std::string error;
  ASSERT_TRUE(write_catalogue({{1, {0, "10.62 "}}}, (other / "rb-opt.msg").string(), error));
  ::setenv("TARKEN", other.c_str(), 1);
  Library lib;
  EXPECT_EQ(initialise(lib, nullptr, 1 << 24), 8);
  EXPECT_EQ(lib.err.error_number, 278);
  ::unsetenv("TARKEN");
}

TEST(FileUnits, RecordsBeyondTheFirstSegmentUseSegmentFiles) {
  fs::path base = fs::temp_directory_path() / ("kqopt-units-" + std::to_string(::getpid()));
  FileUnits units;
  int unit = units.open(base.string(), 16, FileMode::kCreate);
  ASSERT_GE(unit, 0);
  units.set_records_per_segment(unit, 2);
  char record[16];
  for (int r = 1; r <= 5; ++r) {
    std::snprintf(record, sizeof record, "record %8d", r);
    ASSERT_EQ(units.seek_record(unit, r), 0);
    ASSERT_EQ(units.write_record(unit, record), 0);
  }
  EXPECT_TRUE(fs::exists(base.string() + ".1"));
  EXPECT_TRUE(fs::exists(base.string() + ".2"));
  ASSERT_EQ(units.seek_record(unit, 4), 0);
  ASSERT_EQ(units.read_record(unit, record), 0);
  EXPECT_EQ(std::string(record, 16), std::string("record        4", 16));
  units.close(unit);
  FileUnits::delete_file(base.string());
  EXPECT_FALSE(fs::exists(base.string() + ".1"));
}

}  // namespace
}  // namespace kqopt
