// Basis files and range analysis on small problems whose bases and ranges are worked
// out by hand, and the failures of both.
//
//   minimise -3x - 2y   subject to   R1: x + y <= 4,  R2: x + 3y <= 9,  0 <= x <= 3, y >= 0
//
// Optimum x = 3 (at its upper bound), y = 1, R1 tight, R2 = 6 (basic). Cost of y may
// lie in [-3, 0]; x may move in [1.5, 4] (R2 reaching 9, y reaching 0); R1's activity
// in [3, 5] (y reaching 0, R2 reaching 9); x keeps its bound while its cost <= -2.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "output/basis_codec.h"
#include "output/basis_file.h"
#include "output/ranging/range_file.h"
#include "problem/problem.h"
#include "simplex/driver/basis_loading.h"
#include "simplex/driver/lp_driver.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

constexpr const char* kTiny =
    "NAME          TINY\n"
    "ROWS\n"
    " N  OBJ\n"
    " L  R1\n"
    " L  R2\n"
    " E  R3\n"
    "COLUMNS\n"
    "    X         OBJ       -3.0           R1        1.0\n"
    "    X         R2        1.0\n"
    "    Y         OBJ       -2.0           R1        1.0\n"
    "    Y         R2        3.0\n"
    "    Z         R3        1.0\n"
    "RHS\n"
    "    RHS       R1        4.0            R2        9.0\n"
    "    RHS       R3        2.0\n"
    "BOUNDS\n"
    " UP BND       X         3.0\n"
    "ENDATA\n";

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() / ("kqopt-basisrange-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
    write("tiny.mps", kTiny);
    t_.lib().controls.i(icv::ITRLOG) = 0;
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }
  static void write(const std::string& name, const std::string& text) { std::ofstream(name) << text; }
  static std::string read(const std::string& name) {
    std::ifstream in(name);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void load() {
    ASSERT_EQ(input::input_problem(t_.lib(), "tiny.mps"), 0);
    set_problem_name(t_.lib(), "tiny");
  }
  void solve(DriverMode mode = DriverMode::kMinimise) {
    ASSERT_EQ(optimise(t_.lib(), mode), 0);
    ASSERT_EQ(*t_->attributes.int_attribute(attr::kLpStatus), 1);
  }
  std::vector<std::int32_t> basis() {
    std::vector<std::int32_t> codes(static_cast<std::size_t>(t_->problem->rows + t_->problem->columns));
    EXPECT_EQ(get_internal_basis(t_.lib(), codes.data(), codes.data() + t_->problem->rows), 0);
    return codes;
  }
  // The variable a range reference names, with "LL"/"UL".
  std::string named(std::int32_t reference) {
    if (reference == 0) return "";
    return t_->problem->names.trimmed(std::abs(reference) - 1) + (reference < 0 ? " UL" : " LL");
  }
  std::int32_t row(const std::string& name) {
    for (std::int32_t i = 0; i < t_->problem->rows; ++i) {
      if (t_->problem->names.trimmed(i) == name) return i;
    }
    return -1;
  }

  test::TestLibrary t_;

 private:
  std::filesystem::path previous_, dir_;
};

TEST_F(Files, SlackBasisWritesOnlyTheNameLineAndEndata) {
  load();
  t_->controls.i(icv::IFBSNM) = 1;
  ASSERT_EQ(write_basis_file(t_.lib(), nullptr, {}), 0);
  EXPECT_EQ(read("tiny.bss"), "NAME          tiny\nENDATA\n");
  t_->controls.i(icv::IFBSNM) = 0;
  ASSERT_EQ(write_basis_file(t_.lib(), "plain", {}), 0);
  EXPECT_EQ(read("plain.bss"), "ENDATA\n");
}

TEST_F(Files, OptimalBasisInBothLayoutsAndBack) {
  load();
  solve();
  const std::vector<std::int32_t> optimal = basis();
  t_->controls.i(icv::IFBSNM) = 0;
  ASSERT_EQ(write_basis_file(t_.lib(), "opt.bas", {}), 0);
  // Rows OBJ, R1, R2, R3; x at upper, y basic against R1 (logical at 0: activity at
  // its upper limit), z basic against R3 (equality, logical at its lower bound).
  EXPECT_EQ(read("opt.bas"), " UL X\n XU Y         R1\n XU Z         R3\nENDATA\n");
  ASSERT_EQ(write_basis_file(t_.lib(), "optz.bas", basis_file_options("z")), 0);
  EXPECT_EQ(read("optz.bas"), " UL X\n XU Y         R1\n XL Z         R3\nENDATA\n");
  ASSERT_EQ(write_basis_file(t_.lib(), "opt.cmp", basis_file_options("t")), 0);
  EXPECT_EQ(read("opt.cmp"), "tiny               4           3\n3131233\n");

  for (const char* file : {"opt.bas", "opt.cmp"}) {
    load();
    ASSERT_EQ(read_basis_file(t_.lib(), file, basis_file_options(std::string(file).ends_with("cmp") ? "t" : "")), 0);
    EXPECT_EQ(basis(), optimal) << file;
    EXPECT_EQ(t_->controls.i(icv::IFNBAS), 1);
    solve();
    EXPECT_EQ(*t_->attributes.int_attribute(attr::kIterations), 0) << file;
  }
  // Written with z, the equality row reads back at its upper bound unless z is given.
  load();
  ASSERT_EQ(read_basis_file(t_.lib(), "optz.bas", {}), 0);
  EXPECT_EQ(basis()[static_cast<std::size_t>(row("R3"))], 2);
  ASSERT_EQ(read_basis_file(t_.lib(), "optz.bas", basis_file_options("z")), 0);
  EXPECT_EQ(basis(), optimal);
}

TEST_F(Files, OptionCDoesNothing) {
  load();
  ASSERT_EQ(write_basis_file(t_.lib(), "none", basis_file_options("c")), 0);
  EXPECT_FALSE(std::filesystem::exists("none.bss"));
  EXPECT_EQ(read_basis_file(t_.lib(), "missing", basis_file_options("c")), 0);
}

struct BadBasis {
  const char* name;
  const char* text;
  const char* options;
  std::int32_t return_code;
  int message;
  const char* printed;  // part of the message line, or empty
};

TEST_F(Files, BadBasisFiles) {
  const BadBasis cases[] = {
      {"unknown column", " XU W         R1\nENDATA\n", "", 0, 131, "W"},
      {"unknown row", " XU Y         R9\nENDATA\n", "", 0, 132, "R9"},
      {"upper of a free column", " UL Y\nENDATA\n", "", 0, 4, "Y"},
      {"lower activity of an L row", " XL Y         R1\nENDATA\n", "", 0, 4, "R1"},
      {"unknown keyword", " BS Y\nENDATA\n", "", 32, 9, ""},
      {"compact too short", "tiny           4           3\n3133\n", "t", 32, 176, ""},
      {"compact of another size", "tiny           5           3\n31332311\n", "t", 32, 186, ""},
      {"compact without counts", "tiny\n3133231\n", "t", 32, 9, ""},
  };
  for (const BadBasis& c : cases) {
    load();
    write("bad.bss", c.text);
    t_.clear_lines();
    EXPECT_EQ(read_basis_file(t_.lib(), "bad", basis_file_options(c.options)), c.return_code) << c.name;
    EXPECT_EQ(t_->err.error_number, c.message) << c.name;
    if (*c.printed) {
      EXPECT_TRUE(t_.printed(c.printed)) << c.name;
    }
  }
  // The rest of a file with a bad name is still read.
  load();
  write("mixed.bss", " XU W         R1\n XU Y         R1\nENDATA\n");
  ASSERT_EQ(read_basis_file(t_.lib(), "mixed", {}), 0);
  EXPECT_EQ(basis()[static_cast<std::size_t>(t_->problem->rows + 1)], 1);

  load();
  EXPECT_EQ(read_basis_file(t_.lib(), "nowhere", {}), 32);
  EXPECT_EQ(t_->err.error_number, 122);
  test::TestLibrary empty;
  EXPECT_EQ(read_basis_file(empty.lib(), "bad", {}), 32);
  EXPECT_EQ(empty->err.error_number, 91);
  EXPECT_EQ(write_basis_file(empty.lib(), "bad", {}), 32);
  EXPECT_EQ(empty->err.error_number, 91);
}

TEST_F(Files, FailedWriteKeepsWhatWasThere) {
  load();
  EXPECT_EQ(write_basis_file(t_.lib(), "no-such-folder/b", {}), 32);
  EXPECT_EQ(t_->err.error_number, 122);
  // A target that cannot be replaced stays as it was.
  std::filesystem::create_directory("taken.bss");
  write("taken.bss/inside", "kept\n");
  EXPECT_EQ(write_basis_file(t_.lib(), "taken", {}), 32);
  EXPECT_EQ(t_->err.error_number, 122);
  EXPECT_EQ(read("taken.bss/inside"), "kept\n");
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

TEST(BasisCodec, CompactLinesHoldEightyCharacters) {
  BasisLayout layout;
  layout.problem_name = "averyverylongname";
  layout.row_names.assign(100, "R");
  layout.column_names.assign(3, "C");
  const std::vector<std::int32_t> rows(100, 1), columns(3, 2);
  const auto text = format_compact_basis(layout, rows, columns);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "averyver         100           3\n" + std::string(80, '3') + "\n" + std::string(20, '3') + "222\n");
}

TEST_F(Files, RangesOfTheHandWorkedProblem) {
  load();
  solve();
  ASSERT_EQ(write_range_file(t_.lib()), 0);
  RangeRecord record;
  ASSERT_TRUE(read_range_file(t_.lib(), record));
  const std::int32_t m = record.rows;
  const ReportedRange y = reported_range(record, static_cast<std::size_t>(m + 1));
  EXPECT_NEAR(y.upper_cost, 0.0, 1e-6);
  EXPECT_NEAR(y.lower_cost, -3.0, 1e-6);
  EXPECT_NEAR(y.lower_activity, 0.0, 1e-6);  // s1 enters at the upper cost limit
  EXPECT_EQ(named(y.limiting1), "R1 UL");
  EXPECT_NEAR(y.upper_activity, 2.5, 1e-6);  // x leaves its upper bound at the lower one
  EXPECT_EQ(named(y.limiting2), "X UL");

  const ReportedRange x = reported_range(record, static_cast<std::size_t>(m));
  EXPECT_NEAR(x.activity, 3.0, 1e-6);
  EXPECT_NEAR(x.lower_activity, 1.5, 1e-6);
  EXPECT_EQ(named(x.limiting1), "R2 UL");
  EXPECT_NEAR(x.upper_activity, 4.0, 1e-6);
  EXPECT_EQ(named(x.limiting2), "Y LL");
  EXPECT_NEAR(x.upper_cost, -2.0, 1e-6);
  EXPECT_EQ(x.lower_cost, -1.0e30);
  EXPECT_NEAR(x.lower_unit_cost, 1.0, 1e-6);  // -d with d = -1

  const ReportedRange r1 = reported_range(record, static_cast<std::size_t>(row("R1")));
  EXPECT_NEAR(r1.activity, 4.0, 1e-6);
  EXPECT_NEAR(r1.lower_activity, 3.0, 1e-6);
  EXPECT_EQ(named(r1.limiting1), "Y LL");
  EXPECT_NEAR(r1.upper_activity, 5.0, 1e-6);
  EXPECT_EQ(named(r1.limiting2), "R2 UL");

  // The arrays of the caller: only the one asked for is filled.
  std::vector<double> upper_activity(3, -7.0);
  ASSERT_EQ(column_ranges(t_.lib(), {upper_activity.data(), nullptr, nullptr, nullptr, nullptr, nullptr}), 0);
  EXPECT_NEAR(upper_activity[0], 4.0, 1e-6);
  EXPECT_NEAR(upper_activity[2], 2.0, 1e-6);  // z fixed by R3: nothing limits it but its row
  std::vector<double> lower_activity(4, -7.0);
  ASSERT_EQ(row_ranges(t_.lib(), {nullptr, lower_activity.data(), nullptr, nullptr}), 0);
  EXPECT_NEAR(lower_activity[static_cast<std::size_t>(row("R1"))], 3.0, 1e-6);
}

TEST_F(Files, MaximisedCostLimitsKeepTheirOrder) {
  // max 3x + 2y over the same rows: y's cost may lie in [0, 3]; x keeps its upper
  // bound while its cost stays at or above 2.
  std::string text = kTiny;
  for (auto [from, to] : {std::pair{"-3.0", " 3.0"}, std::pair{"-2.0", " 2.0"}}) text.replace(text.find(from), 4, to);
  write("tiny.mps", text);
  load();
  solve(DriverMode::kMaximise);
  ASSERT_EQ(write_range_file(t_.lib()), 0);
  std::vector<double> upper_cost(3), lower_cost(3);
  ASSERT_EQ(column_ranges(t_.lib(), {nullptr, nullptr, nullptr, nullptr, upper_cost.data(), lower_cost.data()}), 0);
  EXPECT_NEAR(upper_cost[1], 3.0, 1e-6);
  EXPECT_NEAR(lower_cost[1], 0.0, 1e-6);
  EXPECT_EQ(upper_cost[0], 1.0e30);
  EXPECT_NEAR(lower_cost[0], 2.0, 1e-6);
}

TEST_F(Files, RangingFailures) {
  test::TestLibrary empty;
  EXPECT_EQ(write_range_file(empty.lib()), 32);
  EXPECT_EQ(empty->err.error_number, 91);
  load();
  EXPECT_EQ(write_range_file(t_.lib()), 32);  // not optimised
  EXPECT_EQ(t_->err.error_number, 11);
  std::vector<double> a(3);
  EXPECT_EQ(column_ranges(t_.lib(), {a.data(), nullptr, nullptr, nullptr, nullptr, nullptr}), 32);
  EXPECT_EQ(t_->err.error_number, 122);  // no range file
  // An infeasible LP has no ranges.
  std::string text = kTiny;
  text.replace(text.find("R3        2.0"), 13, "R3        -2.0");
  text.replace(text.find("UP BND"), 2, "LO");
  write("tiny.mps", text);
  load();
  optimise(t_.lib(), DriverMode::kMinimise);
  ASSERT_NE(*t_->attributes.int_attribute(attr::kLpStatus), 1);
  EXPECT_EQ(write_range_file(t_.lib()), 32);
  EXPECT_EQ(t_->err.error_number, 11);
}

TEST_F(Files, MoreThan32000VariablesAreNotRanged) {
  // 32001 variables: one row and 32000 columns.
  std::string text = "NAME          BIG\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n";
  char line[80];
  for (int j = 0; j < 32000; ++j) {
    std::snprintf(line, sizeof line, "    C%-7d  OBJ       1.0            R1        1.0\n", j);
    text += line;
  }
  text += "RHS\n    RHS       R1        4.0\nENDATA\n";
  write("tiny.mps", text);
  load();
  solve();
  EXPECT_EQ(write_range_file(t_.lib()), 32);
  EXPECT_EQ(t_->err.error_number, 179);
}

}  // namespace
}  // namespace kqopt
