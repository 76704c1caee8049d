// The print file of a solved afiro: page headings every NLINES - 2 lines, one line per row
// and per column whose fields, in the columns of the headings, are the values of the
// solution file in the 12-character real field; lines of rows fit 80 characters.
#include "output/solution_print.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frame/message_numbers.h"
#include "frame/real_field.h"
#include "input/input_problem.h"
#include "library/library.h"
#include "output/solution_file.h"
#include "simplex/driver/lp_driver.h"
#include "support/test_library.h"
#include "support/unprivileged.h"

namespace kqopt {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> file_lines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string trimmed_right(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

class PrintFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kqopt-print-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    const std::string afiro = std::string(KQOPT_TEST_FILES_DIR) + "/netlib/afiro.mps";
    ASSERT_EQ(input::input_problem(t_.lib(), afiro.c_str()), 0);
    t_->problem_name = (folder_ / "afiro").string();
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path print_file() const { return folder_ / "afiro.prt"; }

  test::TestLibrary t_;
  fs::path folder_;
};

TEST_F(PrintFileTest, AfiroPagesAndFields) {
  ASSERT_EQ(optimise(t_.lib(), DriverMode::kMinimise), 0);
  t_->controls.i(icv::NLINES) = 12;  // ten lines to a page
  t_->controls.i(icv::IFPMSG) = 0;   // messages off: the print file is written all the same
  t_.clear_lines();
  ASSERT_EQ(print_solution(t_.lib(), PrintDestination::kPrintFile), 0);
  t_->controls.i(icv::IFPMSG) = 1;
  EXPECT_TRUE(t_.texts().empty());  // nothing on the screen
  SolutionRecord r;
  ASSERT_TRUE(read_solution_file(t_.lib(), r));
  const std::vector<std::string> lines = file_lines(print_file());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].substr(0, 14), "Problem afiro ");

  const double zero = t_->controls.d(dcv::ZTOLPZ);
  auto field = [&](double v) {
    const RealField f = format_real_field(v, zero);
    return std::string(f.data(), f.size());
  };
  const std::string row_titles = " Number  Name      St      Activity         Slack    Right side    Dual value";
  const std::string column_titles =
      " Number  Name      St         Value          Cost   Lower bound   Upper bound  Reduced cost";
  std::size_t at = 1;
  int row_headings = 0, column_headings = 0;
  const std::size_t total = static_cast<std::size_t>(r.rows + r.columns);
  for (std::size_t v = 0; v < total; ++v) {
    const bool row = v < static_cast<std::size_t>(r.rows);
    const std::size_t in_section = row ? v : v - static_cast<std::size_t>(r.rows);
    if (in_section % 10 == 0) {
      ASSERT_LT(at + 1, lines.size());
      EXPECT_EQ(lines[at], row ? "Solution: rows" : "Solution: columns");
      EXPECT_EQ(trimmed_right(lines[at + 1]), row ? row_titles : column_titles);
      (row ? row_headings : column_headings) += 1;
      at += 2;
    }
    ASSERT_LT(at, lines.size());
    const std::string& line = lines[at++];
    SCOPED_TRACE(line);
    // " nnnnnn  NAME....  St  value ... ": marker, number, name, status, then 12-wide reals
    // each ending under the last letter of its title.
    EXPECT_EQ(line[0], (r.status[v] & 0x40) ? '*' : ' ');
    EXPECT_EQ(std::stoul(line.substr(1, 6)), in_section + 1);
    EXPECT_EQ(line.substr(9, 8), r.name[v]);
    const std::vector<double> values =
        row ? std::vector<double>{r.rhs[v] - r.value[v], r.value[v], r.rhs[v], r.dual[v]}
            : std::vector<double>{r.value[v], r.cost[v], r.lower[v], r.upper[v], r.dual[v]};
    for (std::size_t k = 0; k < values.size(); ++k) {
      const std::size_t end = 23 + 14 * (k + 1);  // two past the field and its title
      ASSERT_GE(line.size(), end - 2);
      EXPECT_EQ(line.substr(end - 14, 12), field(values[k])) << k;
      EXPECT_NE((row ? row_titles : column_titles)[end - 3], ' ') << k;
    }
    if (row) EXPECT_LE(line.size(), 80u);
  }
  EXPECT_EQ(at, lines.size());
  EXPECT_EQ(row_headings, 3);     // 28 rows
  EXPECT_EQ(column_headings, 4);  // 32 columns
}

TEST_F(PrintFileTest, NoSolutionAndNoFile) {
  EXPECT_EQ(print_solution(t_.lib(), PrintDestination::kPrintFile), kRcInvalidCall);
  EXPECT_EQ(t_->err.error_number, kMessageNoProblem);
  EXPECT_FALSE(fs::exists(print_file()));
  ASSERT_EQ(optimise(t_.lib(), DriverMode::kMinimise), 0);
  // A folder of that name cannot be replaced by the print file: message 83, folder kept.
  fs::create_directories(print_file());
  EXPECT_EQ(print_solution(t_.lib(), PrintDestination::kPrintFile), kRcInvalidCall);
  EXPECT_EQ(t_->err.error_number, kMessageFatalWriteError);
  EXPECT_TRUE(fs::is_directory(print_file()));

  // A folder that cannot be written: message 80, no file and no temporary left.
  fs::remove(print_file());
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const test::Unprivileged outcome = test::run_unprivileged([&] {
    return print_solution(t_.lib(), PrintDestination::kPrintFile) == kRcInvalidCall &&
           t_->err.error_number == kMessagePrintFile;
  });
  fs::permissions(folder_, fs::perms::owner_all);
  if (outcome == test::Unprivileged::kUnavailable) GTEST_SKIP() << "cannot run as an unprivileged user";
  EXPECT_EQ(outcome, test::Unprivileged::kPassed);
  EXPECT_FALSE(fs::exists(print_file()));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);  // afiro.sol
}

}  // namespace
}  // namespace kqopt
