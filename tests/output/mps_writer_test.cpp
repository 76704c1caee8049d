// The problem writer: its number forms, its file for a small problem of every kind of
// row, bound, entity and set, read back the same in every form, and the options that
// change what is written.
#include "output/mps_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "frame/message_numbers.h"
#include "input/input_problem.h"
#include "input/number_parser.h"
#include "library/library.h"
#include "output/mps_number.h"
#include "problem/modify/modify.h"
#include "problem/problem.h"
#include "problem/units.h"
#include "simplex/driver/scaling_step.h"
#include "support/problem_snapshot.h"
#include "support/test_library.h"
#include "support/unprivileged.h"

namespace kqopt {
namespace {

namespace fs = std::filesystem;

TEST(MpsNumber, NormalFormFillsTwelveCharacters) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "0.0"},
      {1.0, "1.0000000000"},
      {-1.0, "-1.000000000"},
      {0.25, ".25000000000"},
      {-0.1, "-.1000000000"},
      {1234.5, "1234.5000000"},
      {2.0 / 3.0, ".66666666667"},
      {0.05, " 5.00000E-02"},
      {-1.234567e-7, "-1.23457E-07"},
      {1.0e11, " 1.00000E+11"},
      {12345678901.0, "12345678901"},
      {99999999999.7, "100000000000"},
      {-99999999999.7, "-1.00000E+11"},
      {0.99999999999999, "1.0000000000"},
      {-1.5e-300, "-1.5000E-300"},
      {2.5e200, " 2.5000E+200"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mps_normal_number(c.value), c.text) << c.value;
    EXPECT_LE(mps_normal_number(c.value).size(), 12u);
  }
}

TEST(MpsNumber, FullFormReadsBackBitForBitWithinTwentyThreeCharacters) {
  EXPECT_EQ(mps_full_number(0.0), "0.0");
  EXPECT_EQ(mps_full_number(1.5), " 1.5");
  EXPECT_EQ(mps_full_number(-2.0), "-2.0");
  EXPECT_EQ(mps_full_number(123.5), " 1.235E+2");
  EXPECT_EQ(mps_full_number(0.001), " 1.0E-3");
  EXPECT_EQ(mps_full_number(0.1), " 1.0E-1");
  EXPECT_EQ(mps_high_word(1.0), "3FF00000");
  EXPECT_EQ(mps_low_word(1.0), "00000000");
  EXPECT_EQ(mps_low_word(0.1), "9999999A");
  std::mt19937_64 random(7);
  int checked = 0;
  for (int k = 0; k < 200000; ++k) {
    std::uint64_t bits = random();
    double x = 0;
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isfinite(x)) continue;
    if (k % 2 == 0) x = std::ldexp(static_cast<double>(bits >> 11), -40) * (k % 4 == 0 ? 1 : -1);
    const std::string text = mps_full_number(x);
    const std::string token = text[0] == ' ' ? text.substr(1) : text;
    ASSERT_LE(token.size(), 23u) << text;
    double back = 0;
    ASSERT_EQ(input::parse_number(text, back), input::NumberStatus::kOk) << text;
    // Only a negative value with a three-digit exponent may lose its last digit.
    const double decade = std::floor(std::log10(std::fabs(x)));
    if (!(x < 0 && (decade <= -100 || decade >= 100))) {
      ASSERT_EQ(back, x) << text;
    } else {
      ASSERT_NEAR(back, x, std::fabs(x) * 1e-15);
    }
    ++checked;
  }
  EXPECT_GT(checked, 150000);
}

// Every kind of row, bound, entity and set the dialect knows.
const char* const kEveryKind =
    "NAME          KINDS\n"
    "ROWS\n"
    " N  COST\n"
    " L  LIM1\n"
    " G  LIM2\n"
    " E  EQN\n"
    " L  RNGL\n"
    " G  RNGG\n"
    " E  RNGE\n"
    " N  FREE\n"
    "COLUMNS\n"
    "    X1        COST      1.5            LIM1      1.0\n"
    "    X1        LIM2      2.0            RNGL      1.0\n"
    "    X2        COST      -2.0           EQN       1.0\n"
    "    X2        RNGG      3.0            RNGE      -1.0\n"
    "    X3        LIM1      1.0            LIM2      1.0\n"
    "    X4        EQN       4.0            RNGL      0.0001234567\n"
    "    X5        COST      1.0            RNGE      1.0\n"
    "    X6        LIM1      1.0\n"
    "    X7        LIM2      -1.0\n"
    "    X8        EQN       1.0\n"
    "    X9        RNGL      1.0\n"
    "    X10       RNGG      1.0\n"
    "    X11       RNGE      1.0\n"
    "    X12       COST      0.1            LIM1      0.3\n"
    "RHS\n"
    "    RHS1      COST      -7.5           LIM1      10.0\n"
    "    RHS1      LIM2      1.0            EQN       2.0\n"
    "    RHS1      RNGL      3.0            RNGG      1.0\n"
    "    RHS1      RNGE      5.0            FREE      4.0\n"
    "RANGES\n"
    "    RNG1      RNGL      2.0            RNGG      2.5\n"
    "    RNG1      RNGE      -3.0\n"
    "BOUNDS\n"
    " UP BND1      X1        4.0\n"
    " LO BND1      X2        -1e30\n"
    " UP BND1      X2        3.0\n"
    " FR BND1      X3\n"
    " FX BND1      X4        1.25\n"
    " UI BND1      X5        9.0\n"
    " LO BND1      X5        2.0\n"
    " BV BND1      X6\n"
    " SC BND1      X7        8.0            2.5\n"
    " PI BND1      X8        3.0\n"
    " UP BND1      X8        20.0\n"
    " UP BND1      X10       -2.0\n"
    " LO BND1      X10       -5.0\n"
    " UI BND1      X11       1e30\n"
    " LO BND1      X12       1e-9\n"
    "SETS\n"
    " S1 SET1\n"
    "    SET1      X1        1.0            X3        2.0\n"
    "    SET1      X9        3.5\n"
    " S2 SET2\n"
    "    SET2      X10       1.0            X12       0.33\n"
    "ENDATA\n";

class MpsWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kqopt-writer-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Writes the loaded problem of t with the option letters; returns the file's text.
  std::string write(test::TestLibrary& t, const char* options, std::int32_t expected_rc = 0) {
    t->problem_name = (folder_ / "out").string();
    t->options.fill(false);
    for (const char* c = options; *c; ++c) t->options[static_cast<std::size_t>(*c - 'a')] = true;
    EXPECT_EQ(write_problem_file(t.lib()), expected_rc);
    t->options.fill(false);
    std::ifstream in(folder_ / "out.mat");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string file() const { return (folder_ / "out.mat").string(); }

  fs::path folder_;
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

TEST_F(MpsWriterTest, EveryKindReadsBackInEveryForm) {
  struct Form {
    const char* options;
    bool free_layout;
    test::WrittenValue written;
  };
  const Form forms[] = {
      {"", false, test::normal_form_value}, {"o", false, test::normal_form_value}, {"p", true, test::exact_value}};
  for (const Form& form : forms) {
    SCOPED_TRACE(form.options);
    test::TestLibrary t;
    ASSERT_EQ(input::input_mps_text(t.lib(), kEveryKind), 0);
    test::ProblemSnapshot before;
    ASSERT_TRUE(test::take_snapshot(t.lib(), before));
    EXPECT_EQ(before.entity_types, "IBSPI");
    EXPECT_EQ(before.sets, 2);
    write(t, form.options);

    test::TestLibrary back;
    if (form.free_layout) back->controls.i(icv::FREFMT) = 1;
    ASSERT_EQ(input::input_problem(back.lib(), file().c_str()), 0);
    test::ProblemSnapshot after;
    ASSERT_TRUE(test::take_snapshot(back.lib(), after));
    EXPECT_EQ(test::expect_same_problem(before, after, form.written, t->controls.d(dcv::ZTOLZE)), 0);
    // The bound of 1e-9 is at most ZTOLZE: written as 0.
    EXPECT_EQ(after.lower[11], 0.0);
    EXPECT_EQ(after.objective_constant, 7.5);
    EXPECT_EQ(back->controls.c(ccv::RHSNAM), "RHS1");
    EXPECT_EQ(back->controls.c(ccv::BNDNAM), "BND1");
    EXPECT_EQ(back->controls.c(ccv::RNGNAM), "RNG1");
  }
}

TEST_F(MpsWriterTest, FixedLayoutPutsTwoEntriesToALineInTheirColumns) {
  test::TestLibrary t;
  ASSERT_EQ(input::input_mps_text(t.lib(), kEveryKind), 0);
  const std::vector<std::string> lines = lines_of(write(t, ""));
  const std::vector<std::string> head(lines.begin(), lines.begin() + 14);
  const std::vector<std::string> expected_head = {
      "NAME          out",
      "ROWS",
      " N  COST",
      " L  LIM1",
      " G  LIM2",
      " E  EQN",
      " L  RNGL",
      " L  RNGG",
      " L  RNGE",
      " N  FREE",
      "COLUMNS",
      "    X1        COST      1.5000000000   LIM1      1.0000000000",
      "    X1        LIM2      2.0000000000   RNGL      1.0000000000",
      "    X2        COST      -2.000000000   EQN       1.0000000000",
  };
  EXPECT_EQ(head, expected_head);
  auto section = [&](const std::string& name) {
    std::vector<std::string> out;
    bool in = false;
    for (const std::string& line : lines) {
      if (!line.empty() && line[0] != ' ') in = line == name;
      if (in) out.push_back(line);
    }
    return out;
  };
  const std::vector<std::string> rhs = {
      "RHS",
      "    RHS1      COST      -7.500000000   LIM1      10.000000000",
      "    RHS1      LIM2      1.0000000000   EQN       2.0000000000",
      "    RHS1      RNGL      3.0000000000   RNGG      3.5000000000",
      "    RHS1      RNGE      5.0000000000   FREE      4.0000000000",
  };
  EXPECT_EQ(section("RHS"), rhs);
  const std::vector<std::string> ranges = {
      "RANGES",
      "    RNG1      RNGL      2.0000000000   RNGG      2.5000000000",
      "    RNG1      RNGE      3.0000000000",
  };
  EXPECT_EQ(section("RANGES"), ranges);
  const std::vector<std::string> bounds = {
      "BOUNDS",
      " UP BND1      X1        4.0000000000",
      " LO BND1      X2        -1.00000E+30",
      " UP BND1      X2        3.0000000000",
      " FR BND1      X3",
      " FX BND1      X4        1.2500000000",
      " UI BND1      X5        9.0000000000",
      " LO BND1      X5        2.0000000000",
      " BV BND1      X6        1.0000000000",
      " SC BND1      X7        8.0000000000   2.5000000000",
      " PI BND1      X8        3.0000000000",
      " UP BND1      X8        20.000000000",
      " LO BND1      X10       -5.000000000",
      " UP BND1      X10       -2.000000000",
      " UI BND1      X11        1.00000E+30",
  };
  EXPECT_EQ(section("BOUNDS"), bounds);
  const std::vector<std::string> sets = {
      "SETS",
      " S1 SSSSSSS1",
      "    SSSSSSS1  X1        1.0000000000   X3        2.0000000000",
      "    SSSSSSS1  X9        3.5000000000",
      " S2 SSSSSSS2",
      "    SSSSSSS2  X12       .33000000000   X10       1.0000000000",  // sorted by weight on reading
  };
  EXPECT_EQ(section("SETS"), sets);
  EXPECT_EQ(lines.back(), "ENDATA");
}

TEST_F(MpsWriterTest, HexadecimalFormPlacesBothWordsAndTheDecimal) {
  test::TestLibrary t;
  ASSERT_EQ(input::input_mps_text(t.lib(), kEveryKind), 0);
  const std::vector<std::string> lines = lines_of(write(t, "x"));
  // "    X12       COST      3FB999999999999A  1.0E-1": high word, low word, decimal
  const std::string* found = nullptr;
  for (const std::string& line : lines) {
    if (line.compare(0, 7, "    X12") == 0) {
      found = &line;
      break;
    }
  }
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->substr(24, 8), "3FB99999");
  EXPECT_EQ(found->substr(32, 8), "9999999A");
  EXPECT_EQ(found->substr(41), " 1.0E-1");
}

TEST_F(MpsWriterTest, ProblemWithoutObjectiveRowGetsAFreeRowFirstWithItsConstant) {
  test::TestLibrary t;
  ASSERT_EQ(input::input_lp_text(t.lib(), "minimize\n obj: 2 x + 3 y + 4\nsubject to\n c1: x + y >= 1\nend\n"), 0);
  const std::vector<std::string> lines = lines_of(write(t, ""));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[2], " N  **OBJ***");
  const std::string text = write(t, "");
  EXPECT_NE(text.find("    x         **OBJ***  2.0000000000   c1        1.0000000000"), std::string::npos) << text;
  EXPECT_NE(text.find("    RHS00001  **OBJ***  -4.000000000   c1        1.0000000000"), std::string::npos) << text;
  test::TestLibrary back;
  ASSERT_EQ(input::input_problem(back.lib(), file().c_str()), 0);
  EXPECT_EQ(back->problem->rows, t->problem->rows + 1);
  EXPECT_EQ(back->problem->objective_constant, 4.0);
}

// The objective row is found by its position: deleting a row before it must not leave
// the writer looking at another row.
TEST_F(MpsWriterTest, ObjectiveRowFollowsRowDeletions) {
  test::TestLibrary t;
  ASSERT_EQ(input::input_mps_text(t.lib(),
                                  "NAME          DEL\nROWS\n L  C1\n L  C2\n N  COST\nCOLUMNS\n"
                                  "    X         C1        1.0            COST      2.0\n"
                                  "    X         C2        1.0\n"
                                  "RHS\n    RHS       C1        4.0            C2        5.0\nENDATA\n"),
            0);
  const std::int32_t first = 0;
  ASSERT_EQ(delete_rows(t.lib(), 1, &first), 0);
  const std::string text = write(t, "");
  EXPECT_NE(text.find(" N  COST"), std::string::npos) << text;
  EXPECT_EQ(text.find("**OBJ***"), std::string::npos) << text;
  test::TestLibrary back;
  ASSERT_EQ(input::input_problem(back.lib(), file().c_str()), 0);
  EXPECT_EQ(back->problem->rows, t->problem->rows);
}

TEST_F(MpsWriterTest, CompactLeavesOutFixedColumnsAndMovesTheirValue) {
  test::TestLibrary t;
  const char* text =
      "NAME\nROWS\n N  OBJ\n L  R\n G  S\nCOLUMNS\n"
      "    X         OBJ          1.0          R            1.0\n"
      "    F         OBJ          5.0          R            2.0\n"
      "    F         S           -1.0\n"
      "RHS\n    RHS       R            10.0         S            1.0\n"
      "BOUNDS\n FX BND       F            3.0\nENDATA\n";
  t->controls.i(icv::FREFMT) = 1;
  ASSERT_EQ(input::input_mps_text(t.lib(), text), 0);
  const std::string written = write(t, "c");
  EXPECT_EQ(written.find("    F "), std::string::npos) << written;
  // R: 10 - 2·3; S: 1 + 3; the constant 5·3 written negated on the objective row.
  EXPECT_NE(written.find("    RHS       OBJ       -15.00000000   R         4.0000000000"), std::string::npos)
      << written;
  EXPECT_NE(written.find("    RHS       S         4.0000000000"), std::string::npos) << written;
  EXPECT_EQ(written.find("BOUNDS"), std::string::npos) << written;
}

TEST_F(MpsWriterTest, GeneratedNamesAndEmptyColumnsAreWritten) {
  test::TestLibrary t;
  const char* text =
      "NAME\nROWS\n N  OBJ\n L  R\nCOLUMNS\n"
      "    X         R            1.0\n"
      "    EMPTY     OBJ          0.0\n"
      "RHS\n    RHS       R            1.0\nENDATA\n";
  t->controls.i(icv::FREFMT) = 1;
  EXPECT_EQ(input::input_mps_text(t.lib(), text), 32);  // the empty column counts a fault
  ASSERT_TRUE(t->has_problem());
  const std::string written = write(t, "s");
  EXPECT_NE(written.find(" L  VVVVVVV2\n"), std::string::npos) << written;
  EXPECT_NE(written.find("    VVVVVVV1  VVVVVVV2  1.0000000000\n"), std::string::npos) << written;
  EXPECT_NE(written.find("    VVVVVVV2  VVVVVVV1           0.0\n"), std::string::npos) << written;
  test::TestLibrary back;
  EXPECT_EQ(input::input_problem(back.lib(), file().c_str()), 32);
  ASSERT_TRUE(back->has_problem());
  EXPECT_EQ(back->problem->columns, 2);
}

TEST_F(MpsWriterTest, LongNamesUseTheWideLayoutOfTheSameNameLength) {
  test::TestLibrary t;
  t->controls.i(icv::NAMLEN) = 16;
  t->controls.i(icv::FREFMT) = 1;
  const char* text =
      "NAME\nROWS\n N  OBJ\n L  A_LONG_ROW_NAME\nCOLUMNS\n"
      "    A_LONG_COLUMN_1 OBJ             1.5\n"
      "    A_LONG_COLUMN_1 A_LONG_ROW_NAME 2.5\n"
      "RHS\n    RHS       A_LONG_ROW_NAME 3.0\n"
      "BOUNDS\n UP BND       A_LONG_COLUMN_1 4.0\nENDATA\n";
  ASSERT_EQ(input::input_mps_text(t.lib(), text), 0);
  test::ProblemSnapshot before;
  ASSERT_TRUE(test::take_snapshot(t.lib(), before));
  ASSERT_EQ(before.column_names[0], "A_LONG_COLUMN_1 ");
  write(t, "");
  test::TestLibrary back;
  back->controls.i(icv::NAMLEN) = 16;
  ASSERT_EQ(input::input_problem(back.lib(), file().c_str()), 0);
  test::ProblemSnapshot after;
  ASSERT_TRUE(test::take_snapshot(back.lib(), after));
  EXPECT_EQ(test::expect_same_problem(before, after, test::normal_form_value, 1e-6), 0);
}

// Without 'n' the file holds the caller's values, with 'n' the values as stored after
// scaling: each read back unscaled gives the original's matrix and costs,
// or its stored ones.
TEST_F(MpsWriterTest, OptionNWritesTheStoredScaledValues) {
  using Elements = std::map<std::pair<std::int32_t, std::int32_t>, double>;
  auto elements = [](const Problem& p) {
    Elements out;
    for (std::int32_t j = 0; j < p.columns; ++j) {
      for (std::int32_t q = p.by_column.start[static_cast<std::size_t>(j)];
           q < p.by_column.start[static_cast<std::size_t>(j) + 1]; ++q) {
        const std::int32_t i = p.by_column.row[static_cast<std::size_t>(q)];
        // The objective row's costs are compared through the objective.
        if (i != p.named_objective_row()) out[{i, j}] = p.by_column.value[static_cast<std::size_t>(q)];
      }
    }
    return out;
  };
  const std::string afiro = std::string(KQOPT_TEST_FILES_DIR) + "/netlib/afiro.mps";
  test::TestLibrary t;
  ASSERT_EQ(input::input_problem(t.lib(), afiro.c_str()), 0);
  ASSERT_EQ(scale_problem(t.lib()), 0);
  const Problem& p = *t->problem;
  int scaled = 0;
  for (std::int32_t j = 0; j < p.columns; ++j) {
    scaled += objective_shift(p, j) != 0 ? 1 : 0;
    if (j < p.rows) scaled += row_shift(p, j) != 0 ? 1 : 0;
  }
  ASSERT_GT(scaled, 0) << "afiro is not scaled";
  test::TestLibrary plain;
  plain->controls.i(icv::IFSCAL) = 0;
  ASSERT_EQ(input::input_problem(plain.lib(), afiro.c_str()), 0);

  int differ = 0;
  for (const auto& [at, v] : elements(*plain->problem)) differ += elements(p).at(at) != v ? 1 : 0;
  ASSERT_GT(differ, 0) << "no stored element differs from the caller's";

  for (const char* options : {"", "n"}) {
    SCOPED_TRACE(options);
    write(t, options);
    test::TestLibrary back;
    back->controls.i(icv::IFSCAL) = 0;
    ASSERT_EQ(input::input_problem(back.lib(), file().c_str()), 0);
    const Problem& expected = *options == 'n' ? p : *plain->problem;
    const Problem& got = *back->problem;
    const Elements want = elements(expected), have = elements(got);
    ASSERT_EQ(have.size(), want.size());
    for (const auto& [at, v] : want) EXPECT_NEAR(have.at(at), v, 1e-9 * std::max(1.0, std::fabs(v)));
    for (std::int32_t j = 0; j < p.columns; ++j) {
      const double c = expected.objective[static_cast<std::size_t>(j)];
      EXPECT_NEAR(got.objective[static_cast<std::size_t>(j)], c, 1e-9 * std::max(1.0, std::fabs(c))) << j;
    }
  }
}

TEST_F(MpsWriterTest, NoProblemIsRefused) {
  test::TestLibrary t;
  write(t, "", kRcInvalidCall);
  EXPECT_EQ(t->err.error_number, kMessageNoProblem);
  EXPECT_FALSE(fs::exists(file()));
}

TEST_F(MpsWriterTest, UnwritableFolderKeepsTheOldFileAndReports) {
  test::TestLibrary t;
  ASSERT_EQ(input::input_mps_text(t.lib(), kEveryKind), 0);
  write(t, "");
  const std::string before = write(t, "");
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  t->options['o' - 'a'] = true;
  const test::Unprivileged outcome = test::run_unprivileged(
      [&] { return write_problem_file(t.lib()) == kRcInvalidCall && t->err.error_number == kMessageFatalWriteError; });
  t->options.fill(false);
  fs::permissions(folder_, fs::perms::owner_all);
  if (outcome == test::Unprivileged::kUnavailable) GTEST_SKIP() << "cannot run as an unprivileged user";
  EXPECT_EQ(outcome, test::Unprivileged::kPassed);
  std::ifstream in(file());
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace kqopt
