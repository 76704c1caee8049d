// The range file in text: the ASCII range file (KQRTOASC) read back field by field and
// compared with what KQCOLRANGE/KQROWRANGE return, its masks and letters, and the range
// print (RPRINT on the screen, KQFRPRINT into the print file) line by line.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/real_field.h"
#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "output/ascii_solution.h"
#include "output/ranging/range_ascii.h"
#include "output/ranging/range_file.h"
#include "output/ranging/range_print.h"
#include "problem/problem.h"
#include "simplex/driver/lp_driver.h"
#include "support/test_library.h"
#include "support/unprivileged.h"

namespace kqopt {
namespace {

namespace fs = std::filesystem;

// min -3x - 2y: R1 x + y <= 4, R2 x + 3y <= 9, R3 z = 2, G1 x - y >= -5, 0 <= x <= 3.
constexpr const char* kTiny =
    "NAME          TINY\n"
    "ROWS\n"
    " N  OBJ\n"
    " L  R1\n"
    " L  R2\n"
    " E  R3\n"
    " G  G1\n"
    "COLUMNS\n"
    "    X         OBJ       -3.0           R1        1.0\n"
    "    X         R2        1.0            G1        1.0\n"
    "    Y         OBJ       -2.0           R1        1.0\n"
    "    Y         R2        3.0            G1        -1.0\n"
    "    Z         R3        1.0\n"
    "RHS\n"
    "    RHS       R1        4.0            R2        9.0\n"
    "    RHS       R3        2.0            G1        -5.0\n"
    "BOUNDS\n"
    " UP BND       X         3.0\n"
    "ENDATA\n";

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Lines ended by CR LF, split into comma-separated fields (names hold no commas here);
// quotes are kept so that the text widths can be checked.
std::vector<std::vector<std::string>> records(const std::string& text) {
  std::vector<std::vector<std::string>> out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "a line without CR LF";
    if (end == std::string::npos) break;
    std::vector<std::string> fields;
    std::stringstream ss(text.substr(at, end - at));
    std::string f;
    while (std::getline(ss, f, ',')) fields.push_back(f);
    out.push_back(fields);
    at = end + 2;
  }
  return out;
}

std::string unquoted(const std::string& f) {
  EXPECT_GE(f.size(), 2u);
  EXPECT_EQ(f.front(), '"');
  EXPECT_EQ(f.back(), '"');
  return f.size() >= 2 ? f.substr(1, f.size() - 2) : f;
}

double real(const std::string& f) {
  EXPECT_EQ(f.size(), 12u) << f;
  return std::stod(f);
}

// Agreement within the six significant digits of the 12-character form (values not
// above ZTOLPZ are written as 0).
void expect_printed(double printed, double value, const std::string& what) {
  const double tol = std::max(1.0e-5, 1.0e-5 * std::fabs(value));
  EXPECT_NEAR(printed, value, tol) << what;
}

class RangePrints : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("kqopt-rangeprints-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    fs::current_path(dir_);
    t_->controls.i(icv::ITRLOG) = 0;
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  void ranged(const std::string& path, const std::string& name, DriverMode mode = DriverMode::kMinimise) {
    ASSERT_EQ(input::input_problem(t_.lib(), path.c_str()), 0);
    set_problem_name(t_.lib(), name.c_str());
    ASSERT_EQ(optimise(t_.lib(), mode), 0);
    ASSERT_EQ(*t_->attributes.int_attribute(attr::kLpStatus), 1);
    ASSERT_EQ(write_range_file(t_.lib()), 0);
  }
  void tiny(DriverMode mode = DriverMode::kMinimise) {
    std::ofstream("tiny.mps") << kTiny;
    ranged("tiny.mps", "tiny", mode);
  }
  void letters(const std::string& l) {
    t_->options.fill(false);
    for (char c : l) t_->options[static_cast<std::size_t>(c - 'a')] = true;
  }
  void mask(const std::string& m) {
    auto& c = t_->controls.ccv[static_cast<std::size_t>(ccv::ASCMSK)];
    std::fill(c.begin(), c.end(), ' ');
    std::copy(m.begin(), m.end(), c.begin());
  }

  // Every field of the rsc file against the arrays and the range file.
  void check_ascii_against_arrays() {
    letters("");
    ASSERT_EQ(write_ascii_ranges(t_.lib(), ""), 0);
    const Problem& p = *t_->problem;
    RangeRecord record;
    ASSERT_TRUE(read_range_file(t_.lib(), record));
    const auto n = static_cast<std::size_t>(p.columns);
    const auto m = static_cast<std::size_t>(p.rows);
    std::vector<std::vector<double>> col(6, std::vector<double>(n)), row(4, std::vector<double>(m));
    ASSERT_EQ(column_ranges(t_.lib(),
                            {col[0].data(), col[1].data(), col[2].data(), col[3].data(), col[4].data(), col[5].data()}),
              0);
    ASSERT_EQ(row_ranges(t_.lib(), {row[0].data(), row[1].data(), row[2].data(), row[3].data()}), 0);
    const auto lines = records(read_file(t_->problem_name + ".rsc"));
    ASSERT_EQ(lines.size(), m + n);
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const auto& f = lines[k];
      ASSERT_EQ(f.size(), 16u) << k;
      const bool is_row = k < m;
      const std::size_t v = is_row ? k : static_cast<std::size_t>(p.row_slots()) + (k - m);
      const std::string what = t_->problem_name + " " + std::string(is_row ? "row " : "column ") + unquoted(f[1]);
      EXPECT_EQ(std::stol(f[0]), static_cast<long>(v) + 1) << what;
      EXPECT_EQ(unquoted(f[1]), record.name[v]) << what;
      EXPECT_EQ(unquoted(f[2]).size(), 1u);
      EXPECT_EQ(unquoted(f[3]).size(), 2u);
      const ReportedRange q = reported_range(record, v);
      expect_printed(real(f[4]), q.activity, what + " activity");
      const std::size_t i = is_row ? k : k - m;
      // Lower limit, lower unit cost, upper cost limit; then the upper ones.
      const double lower_activity = is_row ? row[1][i] : col[1][i];
      const double lower_unit = is_row ? row[3][i] : col[3][i];
      const double upper_activity = is_row ? row[0][i] : col[0][i];
      const double upper_unit = is_row ? row[2][i] : col[2][i];
      expect_printed(real(f[6]), lower_activity, what + " lower activity");
      expect_printed(real(f[7]), lower_unit, what + " lower unit cost");
      expect_printed(real(f[11]), upper_activity, what + " upper activity");
      expect_printed(real(f[12]), upper_unit, what + " upper unit cost");
      if (!is_row) {
        expect_printed(real(f[8]), col[4][i], what + " upper cost");
        expect_printed(real(f[13]), col[5][i], what + " lower cost");
      }
      EXPECT_EQ(unquoted(f[9]), limiting_name(record, q.limiting1)) << what;
      EXPECT_EQ(unquoted(f[10]), limiting_status(record, q.limiting1)) << what;
      EXPECT_EQ(unquoted(f[14]), limiting_name(record, q.limiting2)) << what;
      EXPECT_EQ(unquoted(f[15]), limiting_status(record, q.limiting2)) << what;
    }
  }

  test::TestLibrary t_;
  fs::path previous_, dir_;
};

TEST_F(RangePrints, AsciiRangeFileGivesTheArraysValues) {
  tiny();
  check_ascii_against_arrays();
  // The hand-worked values: x at its upper bound may fall to 1.5 (R2 reaching 9) and rise
  // to 4 (y reaching 0); its cost may fall without limit and rise to -2.
  const auto lines = records(read_file("tiny.rsc"));
  const auto& x = lines[5];
  EXPECT_EQ(unquoted(x[1]), "X       ");
  EXPECT_EQ(unquoted(x[2]), "C");
  EXPECT_EQ(unquoted(x[3]), "UL");
  EXPECT_DOUBLE_EQ(real(x[6]), 1.5);
  EXPECT_EQ(unquoted(x[9]) + unquoted(x[10]), "R2      UL");
  EXPECT_DOUBLE_EQ(real(x[11]), 4.0);
  EXPECT_EQ(unquoted(x[14]) + unquoted(x[15]), "Y       LL");
  EXPECT_DOUBLE_EQ(real(x[8]), -2.0);
  EXPECT_DOUBLE_EQ(real(x[13]), -1.0e30);
  // R3 is an equality row: EQ; G1 is basic with its slack as the second value.
  EXPECT_EQ(unquoted(lines[3][3]), "EQ");
  EXPECT_EQ(unquoted(lines[4][2]), "G");
  EXPECT_DOUBLE_EQ(real(lines[4][4]), 2.0);   // x - y = 3 - 1
  EXPECT_DOUBLE_EQ(real(lines[4][5]), -7.0);  // slack -5 - 2
}

TEST_F(RangePrints, AsciiRangeFileOfAMaximisation) {
  tiny(DriverMode::kMaximise);
  check_ascii_against_arrays();
}

TEST_F(RangePrints, AsciiRangeFilesOfNetlibProblems) {
  for (const char* name : {"afiro", "sc50a", "adlittle"}) {
    ranged(std::string(KQOPT_TEST_FILES_DIR) + "/netlib/" + name + ".mps", name);
    check_ascii_against_arrays();
  }
}

TEST_F(RangePrints, HeaderIsTheAsciiSolutionHeader) {
  tiny();
  letters("");
  ASSERT_EQ(write_ascii_solution(t_.lib(), ""), 0);
  const std::string from_solution = read_file("tiny.hdr");
  fs::remove("tiny.hdr");
  ASSERT_EQ(write_ascii_ranges(t_.lib(), ""), 0);
  EXPECT_EQ(read_file("tiny.hdr"), from_solution);
  EXPECT_EQ(from_solution.substr(0, 11), "\"tiny    \",");
}

TEST_F(RangePrints, MasksAndLetters) {
  tiny();
  struct Case {
    const char* mask;
    const char* letters;
    std::size_t lines;
    std::size_t fields;
    int name_at;  // field of the name on the first line, -1 when not written
    const char* first_name;
  };
  // Here only '?' is a wildcard: '+' and '-' stand for themselves.
  const Case cases[] = {
      {"????????", "", 8, 16, 1, "OBJ     "},   {"R???????", "", 3, 16, 1, "R1      "},
      {"+???????", "", 0, 16, -1, ""},          {"?1??????", "n", 2, 11, 0, "R1      "},
      {"X       ", "sn", 1, 12, 1, "X       "}, {"????????", "ac", 8, 12, -1, ""},
      {"????????", "q", 8, 16, 1, "OBJ     "},  // letters outside s n t b a c choose no field
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mask) + " -" + c.letters);
    mask(c.mask);
    letters(c.letters);
    ASSERT_EQ(write_ascii_ranges(t_.lib(), ""), 0);
    const auto lines = records(read_file("tiny.rsc"));
    ASSERT_EQ(lines.size(), c.lines);
    for (const auto& l : lines) EXPECT_EQ(l.size(), c.fields);
    if (!lines.empty() && c.name_at >= 0) {
      EXPECT_EQ(unquoted(lines[0][static_cast<std::size_t>(c.name_at)]), c.first_name);
    }
  }
}

TEST_F(RangePrints, AsciiRangeFailures) {
  std::ofstream("tiny.mps") << kTiny;
  ASSERT_EQ(input::input_problem(t_.lib(), "tiny.mps"), 0);
  set_problem_name(t_.lib(), "tiny");
  EXPECT_EQ(write_ascii_ranges(t_.lib(), ""), 32);  // no range file
  EXPECT_EQ(t_->err.error_number, 91);
  EXPECT_EQ(print_ranges(t_.lib(), PrintDestination::kScreen), 32);
  EXPECT_EQ(t_->err.error_number, 122);
  std::ofstream("tiny.rng") << "short";
  EXPECT_EQ(write_ascii_ranges(t_.lib(), ""), 32);
  EXPECT_EQ(t_->err.error_number, 122);
  test::TestLibrary empty;
  EXPECT_EQ(print_ranges(empty.lib(), PrintDestination::kPrintFile), 32);
  EXPECT_EQ(empty->err.error_number, 91);

  // A range file is written under another name and read through the file argument.
  ASSERT_EQ(optimise(t_.lib(), DriverMode::kMinimise), 0);
  ASSERT_EQ(write_range_file(t_.lib()), 0);
  fs::rename("tiny.rng", "other.rng");
  ASSERT_EQ(write_ascii_ranges(t_.lib(), "other"), 0);
  EXPECT_TRUE(fs::exists("other.rsc"));
  EXPECT_TRUE(fs::exists("other.hdr"));
  // A print file that cannot be opened: 80, nothing left behind.
  fs::rename("other.rng", "tiny.rng");
  set_problem_name(t_.lib(), "no-such-folder/tiny");
  EXPECT_EQ(print_ranges(t_.lib(), PrintDestination::kPrintFile), 32);
  EXPECT_EQ(t_->err.error_number, 122);  // the range file is looked for there first
  fs::create_directory("no-such-folder");
  fs::copy_file("tiny.rng", "no-such-folder/tiny.rng");
  fs::permissions("no-such-folder", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const test::Unprivileged outcome = test::run_unprivileged(
      [&] { return print_ranges(t_.lib(), PrintDestination::kPrintFile) == 32 && t_->err.error_number == 80; });
  fs::permissions("no-such-folder", fs::perms::owner_all);
  EXPECT_NE(outcome, test::Unprivileged::kFailed);
  EXPECT_FALSE(fs::exists("no-such-folder/tiny.rrt"));
}

TEST_F(RangePrints, PrintFileAndScreenLines) {
  tiny();
  t_->controls.i(icv::NLINES) = 7;  // five lines to a page: two variables
  const double zero = t_->controls.d(dcv::ZTOLPZ);
  auto field = [&](double v) {
    const RealField f = format_real_field(v, zero);
    return std::string(f.data(), f.size());
  };
  RangeRecord record;
  ASSERT_TRUE(read_range_file(t_.lib(), record));
  auto limiting = [&](std::int32_t ref) { return limiting_name(record, ref) + " " + limiting_status(record, ref); };
  auto trimmed = [](std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  };

  ASSERT_EQ(print_ranges(t_.lib(), PrintDestination::kPrintFile), 0);
  std::vector<std::string> lines;
  {
    std::ifstream in("tiny.rrt");
    std::string l;
    while (std::getline(in, l)) lines.push_back(trimmed(l));
  }
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].substr(0, 13), "Problem tiny ");
  std::vector<std::string> expected{lines[0]};
  // R1 is tight: its slack rests at its lower bound.
  const char* status[] = {"BS", "LL", "BS", "EQ", "BS", "UL", "BS", "BS"};
  for (int section = 0; section < 2; ++section) {
    const bool rows = section == 0;
    const std::size_t first = rows ? 0 : static_cast<std::size_t>(record.rows);
    const std::size_t last =
        rows ? static_cast<std::size_t>(t_->problem->rows) : static_cast<std::size_t>(record.rows + record.columns);
    std::size_t on_page = 5;
    for (std::size_t v = first; v < last; ++v) {
      if (on_page + 2 > 5) {
        expected.push_back(rows ? "Ranging of rows" : "Ranging of columns");
        expected.push_back(trimmed(
            rows ? " Number  Name      St      Activity   Lower limit     Unit cost    Upper cost  Limiting St"
                 : " Number  Name      St         Value   Lower limit     Unit cost    Upper cost  Limiting St"));
        expected.push_back(
            "                                      Upper limit     Unit cost    Lower cost  Limiting St");
        on_page = 0;
      }
      const ReportedRange q = reported_range(record, v);
      char number[8];
      std::snprintf(number, sizeof number, "%6d", static_cast<int>(rows ? v + 1 : v - first + 1));
      const std::size_t k = rows ? v : v - first + static_cast<std::size_t>(t_->problem->rows);
      expected.push_back(trimmed(std::string(" ") + number + "  " + record.name[v] + "  " + status[k] + "  " +
                                 field(q.activity) + "  " + field(q.lower_activity) + "  " + field(q.lower_unit_cost) +
                                 "  " + field(q.upper_cost) + "  " + limiting(q.limiting1)));
      expected.push_back(trimmed(std::string(35, ' ') + "  " + field(q.upper_activity) + "  " +
                                 field(q.upper_unit_cost) + "  " + field(q.lower_cost) + "  " + limiting(q.limiting2)));
      on_page += 2;
    }
  }
  EXPECT_EQ(lines, expected);

  // The screen shows the same lines.
  t_.clear_lines();
  ASSERT_EQ(print_ranges(t_.lib(), PrintDestination::kScreen), 0);
  std::vector<std::string> screen;
  for (const std::string& s : t_.texts()) screen.push_back(trimmed(s));
  EXPECT_EQ(screen, expected);
}

}  // namespace
}  // namespace kqopt
