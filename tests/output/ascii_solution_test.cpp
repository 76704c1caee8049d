// The ASCII solution files: the name mask, and the files of a solved afiro read back by
// a small parser in this test against the binary solution file, for a table of masks
// and field letters.
#include "output/ascii_solution.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frame/message_numbers.h"
#include "input/input_problem.h"
#include "input/number_parser.h"
#include "library/library.h"
#include "output/mps_number.h"
#include "output/ranging/range_ascii.h"
#include "output/ranging/range_file.h"
#include "output/ranging/range_print.h"
#include "output/solution_file.h"
#include "output/solution_print.h"
#include "simplex/driver/lp_driver.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

namespace fs = std::filesystem;

TEST(AsciiMask, MatchesCharacterByCharacter) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  };
  const Case cases[] = {
      {"X05     ", "????????", true},  {"X05     ", "X???????", true},  {"R09     ", "X???????", false},
      {"X05     ", "+???????", true},  {"x05     ", "+???????", false}, {"x05     ", "-???????", true},
      {"X05     ", "-???????", false}, {"5X      ", "+???????", false}, {"AB      ", "?B??????", true},
      {"AB      ", "A+??????", true},  {"Ab      ", "A+??????", false}, {"X05     ", "X05     ", true},
      {"X051    ", "X05     ", false}, {"X05     ", "X05?????", true},  {"X05", "X05     ", true},
  };
  for (const Case& c : cases) EXPECT_EQ(name_matches_mask(c.name, c.mask), c.match) << c.name << " " << c.mask;
}

std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  return fields;
}

std::vector<std::string> crlf_lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "line without CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

double number(const std::string& field) {
  double v = 0;
  EXPECT_EQ(input::parse_number(field, v), input::NumberStatus::kOk) << field;
  EXPECT_EQ(field.size(), 12u) << field;
  return v;
}

// What a real field of value v must read as.
double printed(double v, double zero) {
  if (std::fabs(v) <= zero) return 0.0;
  double out = 0;
  EXPECT_EQ(input::parse_number(mps_normal_number(v), out), input::NumberStatus::kOk);
  return out;
}

class AsciiSolutionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kqopt-ascii-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    const std::string afiro = std::string(KQOPT_TEST_FILES_DIR) + "/netlib/afiro.mps";
    ASSERT_EQ(input::input_problem(t_.lib(), afiro.c_str()), 0);
    t_->problem_name = (folder_ / "afiro").string();
    ASSERT_EQ(optimise(t_.lib(), DriverMode::kMinimise), 0);
    ASSERT_TRUE(read_solution_file(t_.lib(), record_));
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::int32_t to_ascii(const char* letters, const char* mask = "????????") {
    t_->options.fill(false);
    for (const char* c = letters; *c; ++c) t_->options[static_cast<std::size_t>(*c - 'a')] = true;
    set_blank_padded(t_->controls.ccv[static_cast<std::size_t>(ccv::ASCMSK)], mask);
    const std::int32_t rc = write_ascii_solution(t_.lib(), "");
    t_->options.fill(false);
    return rc;
  }
  std::string path(const char* extension) const { return (folder_ / "afiro").string() + "." + extension; }

  test::TestLibrary t_;
  SolutionRecord record_;
  fs::path folder_;
};

TEST_F(AsciiSolutionTest, HeaderLineHoldsTheSolutionSummary) {
  ASSERT_EQ(to_ascii(""), 0);
  const std::vector<std::string> lines = crlf_lines(path("hdr"));
  ASSERT_EQ(lines.size(), 1u);
  const std::vector<std::string> f = split_fields(lines[0]);
  ASSERT_EQ(f.size(), 14u) << lines[0];
  EXPECT_EQ(f[0], "afiro   ");
  EXPECT_EQ(f[1], "  28");
  EXPECT_EQ(f[2], "    32");
  EXPECT_EQ(f[3], "  28");  // COST, the last row
  EXPECT_EQ(f[4], "O");
  EXPECT_EQ(f[5], "   1");
  EXPECT_EQ(std::stoi(f[6]), record_.iterations);
  EXPECT_EQ(f[7], "   0");
  EXPECT_EQ(number(f[8]), printed(record_.objective, 1e-5));
  EXPECT_NEAR(number(f[8]), -464.753, 1e-3);
  EXPECT_EQ(f[10], "COST    ");
  EXPECT_EQ(f[11], "B       ");
  EXPECT_EQ(f[12], "   0");
  EXPECT_EQ(f[13], "   0");
}

// The records of every mask and field choice, checked field by field against the
// binary solution file.
TEST_F(AsciiSolutionTest, RecordsGiveTheValuesOfTheSolutionFile) {
  struct Case {
    const char* letters;
    const char* mask;
  };
  const Case cases[] = {{"", "????????"},   {"", "X???????"},  {"snab", "R???????"},
                        {"nd", "+0??????"}, {"q", "????????"}, {"sntbacludrf", "X?5?????"},
                        {"f", "-???????"},  {"ru", "????????"}};
  const double zero = t_->controls.d(dcv::ZTOLPZ);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("letters '") + c.letters + "' mask " + c.mask);
    ASSERT_EQ(to_ascii(c.letters, c.mask), 0);
    const std::vector<std::string> lines = crlf_lines(path("asc"));
    // The fields come in one fixed order whatever the order of the letters.
    std::string letters;
    for (char letter : std::string("sntbacludrpf")) {
      if (std::string(c.letters).find(letter) != std::string::npos) letters += letter;
    }
    if (letters.empty()) letters = "sntbacludr";
    std::size_t line = 0;
    const std::size_t total = static_cast<std::size_t>(record_.rows + record_.columns);
    for (std::size_t v = 0; v < total; ++v) {
      const bool row = v < static_cast<std::size_t>(record_.rows);
      if (!name_matches_mask(record_.name[v], c.mask)) continue;
      const double activity = row ? record_.rhs[v] - record_.value[v] : record_.value[v];
      if (std::string(c.letters).find('q') != std::string::npos && std::fabs(activity) <= zero) continue;
      ASSERT_LT(line, lines.size());
      const std::vector<std::string> f = split_fields(lines[line++]);
      std::size_t k = 0;
      for (char letter : letters) {
        if (letter == 'r' && !row) continue;
        ASSERT_LT(k, f.size()) << lines[line - 1];
        const std::string& field = f[k++];
        switch (letter) {
          case 's':
            EXPECT_EQ(field.size(), 6u);
            EXPECT_EQ(std::stoul(field), v + 1);
            break;
          case 'n':
            EXPECT_EQ(field, record_.name[v]);
            break;
          case 't': {
            const std::int32_t type = record_.type_or_count[v];
            const char* expected = !row ? "C" : (type & 8) ? "N" : (type & 1) ? "E" : (type & 2) ? "G" : "L";
            EXPECT_EQ(field, expected);
            break;
          }
          case 'b': {
            const char* expected = row && (record_.type_or_count[v] & 1) ? "EQ"
                                   : (record_.status[v] & 2)             ? "BS"
                                   : (record_.status[v] & 4)             ? "UL"
                                                                         : "LL";
            EXPECT_EQ(field, expected);
            break;
          }
          case 'a':
            EXPECT_EQ(number(field), printed(activity, zero));
            break;
          case 'c':
            EXPECT_EQ(number(field), printed(row ? record_.value[v] : record_.cost[v], zero));
            break;
          case 'l':
            EXPECT_EQ(number(field), printed(std::max(record_.lower[v], -1.0e9), zero));
            break;
          case 'u':
            EXPECT_EQ(number(field), printed(std::min(record_.upper[v], 1.0e9), zero));
            break;
          case 'd':
            EXPECT_EQ(number(field), printed(record_.dual[v], zero));
            break;
          case 'r':
            EXPECT_EQ(number(field), printed(record_.rhs[v], zero));
            break;
          case 'f':
            EXPECT_EQ(number(field), printed(std::ldexp(1.0, 64 - record_.scale_exponent[v]), zero));
            break;
          default:
            break;
        }
      }
      EXPECT_EQ(k, f.size()) << lines[line - 1];
    }
    EXPECT_EQ(line, lines.size());
  }
}

TEST_F(AsciiSolutionTest, DefaultFieldsAndInfiniteLimits) {
  ASSERT_EQ(to_ascii("", "X01?????"), 0);
  const std::vector<std::string> lines = crlf_lines(path("asc"));
  ASSERT_EQ(lines.size(), 1u);
  // Column X01: s, n, t, b, a, c, l, u, d (no r); its upper bound is infinite.
  const std::vector<std::string> f = split_fields(lines[0]);
  ASSERT_EQ(f.size(), 9u) << lines[0];
  EXPECT_EQ(f[1], "X01     ");
  EXPECT_EQ(f[2], "C");
  EXPECT_EQ(f[7], "1000000000.0");
  ASSERT_EQ(to_ascii("", "X05?????"), 0);
  EXPECT_EQ(split_fields(crlf_lines(path("asc"))[0]).size(), 10u);  // row X05 with r
}

TEST_F(AsciiSolutionTest, KeptSolutionsAndTheMissingSolutionFile) {
  fs::copy_file(path("sol"), path("so0"));
  ASSERT_EQ(to_ascii("e"), 0);
  EXPECT_EQ(crlf_lines(path("hd0")), crlf_lines(path("hdr")));
  EXPECT_EQ(crlf_lines(path("as0")), crlf_lines(path("asc")));
  EXPECT_FALSE(fs::exists(path("hd1")));
  // Without the solution file, the solution in memory is written first.
  fs::remove(path("sol"));
  ASSERT_EQ(to_ascii(""), 0);
  EXPECT_TRUE(fs::exists(path("sol")));
  // An analysis file is needed for p.
  EXPECT_EQ(to_ascii("p"), kRcInvalidCall);
  EXPECT_EQ(t_->err.error_number, kMessageNestedTooDeep);
  {
    std::ofstream ana(path("ana"), std::ios::binary);
    double v = 1.5;
    ana.write(reinterpret_cast<const char*>(&v), sizeof v);
  }
  EXPECT_EQ(to_ascii("p"), kRcInvalidCall);
  EXPECT_EQ(t_->err.error_number, kMessageReadError);
  // A solution file cut short is reported, not read past.
  fs::resize_file(path("sol"), 300);
  EXPECT_EQ(to_ascii(""), kRcInvalidCall);
  EXPECT_EQ(t_->err.error_number, kMessageFileFailed);
}

// Names wider than the eight-character fields are cut there, and every text file made
// from the solution or range file says so; afiro's names fit and draw no warning.
TEST_F(AsciiSolutionTest, NamesCutToTheirFieldAreReported) {
  const std::string cut = "Names longer than 8 characters are cut to 8 in ";
  auto all_writers = [](test::TestLibrary& t) {
    EXPECT_EQ(write_ascii_solution(t.lib(), ""), 0);
    EXPECT_EQ(print_solution(t.lib(), PrintDestination::kPrintFile), 0);
    EXPECT_EQ(write_range_file(t.lib()), 0);
    EXPECT_EQ(write_ascii_ranges(t.lib(), ""), 0);
    EXPECT_EQ(print_ranges(t.lib(), PrintDestination::kPrintFile), 0);
  };
  t_.clear_lines();
  all_writers(t_);
  EXPECT_FALSE(t_.printed(cut));

  test::TestLibrary t;
  t->controls.i(icv::NAMLEN) = 16;
  t->controls.i(icv::FREFMT) = 1;
  const char* text =
      "NAME\nROWS\n N  OBJ\n G  A_LONG_ROW_NAME\nCOLUMNS\n"
      "    A_LONG_COLUMN_1 OBJ             1.5\n"
      "    A_LONG_COLUMN_1 A_LONG_ROW_NAME 2.5\n"
      "RHS\n    RHS       A_LONG_ROW_NAME 3.0\nENDATA\n";
  ASSERT_EQ(input::input_mps_text(t.lib(), text), 0);
  t->problem_name = (folder_ / "long").string();
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  t.clear_lines();
  all_writers(t);
  const std::string base = (folder_ / "long").string();
  for (const char* extension : {".asc", ".prt", ".rsc", ".rrt"}) {
    EXPECT_TRUE(t.printed(cut + base + extension)) << extension;
  }
  int warnings = 0;
  for (const std::string& line : t.texts()) warnings += line.find(cut) != std::string::npos ? 1 : 0;
  EXPECT_EQ(warnings, 4);
  EXPECT_EQ(t->err.return_code, 0);
  const std::vector<std::string> lines = crlf_lines(base + ".asc");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(split_fields(lines[1])[1], "A_LONG_R");
  EXPECT_EQ(split_fields(lines[2])[1], "A_LONG_C");
}

TEST(AsciiSolution, NoSolutionIsRefused) {
  test::TestLibrary t;
  t->problem_name = (fs::temp_directory_path() / "kqopt-no-such-problem").string();
  EXPECT_EQ(write_ascii_solution(t.lib(), ""), kRcInvalidCall);
  EXPECT_EQ(t->err.error_number, kMessageNoProblem);
}

}  // namespace
}  // namespace kqopt
