// The crash on small literal problems with known bases: the all-logical cases, the
// limits of the tight option, triangular passes with deferral and exclusion, the merit
// order, the screening's held-back columns, the cover pass, flagged rows, the commands.
// (crash_instances_test.cpp factorises crash bases of netlib problems.)
#include "simplex/prep/crash.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library/interpreter.h"
#include "library/library.h"
#include "problem/problem_fixtures.h"
#include "simplex/driver/crash_step.h"
#include "simplex/driver/lp_driver.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

using test::LpArrays;

// A problem from dense rows; every column has bounds [lower, upper].
LpArrays dense(const std::vector<char>& types, const std::vector<std::vector<double>>& rows,
               const std::vector<double>& rhs, const std::vector<double>& cost, double lower = 0.0,
               double upper = 1.0e30) {
  LpArrays a;
  a.name = "crash";
  a.row_types = types;
  a.rhs = rhs;
  a.range.assign(types.size(), 0.0);
  a.objective = cost;
  a.starts = {0};
  a.rows.clear();
  a.values.clear();
  for (std::size_t j = 0; j < cost.size(); ++j) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i][j] == 0.0) continue;
      a.rows.push_back(static_cast<std::int32_t>(i));
      a.values.push_back(rows[i][j]);
    }
    a.starts.push_back(static_cast<std::int32_t>(a.rows.size()));
  }
  a.lower.assign(cost.size(), lower);
  a.upper.assign(cost.size(), upper);
  return a;
}

bool basic(const Problem& p, std::int32_t v) { return (p.status[static_cast<std::size_t>(v)] & status::kBasic) != 0; }
bool column_basic(const Problem& p, std::int32_t j) { return basic(p, p.column_variable(j)); }

std::int32_t basic_count(const Problem& p) {
  std::int32_t count = 0;
  for (std::int32_t v = 0; v < p.variables(); ++v) count += basic(p, v) ? 1 : 0;
  return count;
}

CrashSettings settings(std::int32_t icrash, double pcrash = 1.0) {
  CrashSettings s;
  s.icrash = icrash;
  s.pcrash = pcrash;
  return s;
}

// Loads a with IFSCAL 0 (the values below are the stored ones).
void load(test::TestLibrary& t, const LpArrays& a) {
  t->controls.i(icv::IFSCAL) = 0;
  ASSERT_EQ(test::load(t.lib(), a), 0);
}

// The value printed at the end of the first line that holds text, or −1.
long long printed_value(const test::TestLibrary& t, const std::string& text) {
  for (const std::string& line : t.texts()) {
    if (line.find(text) == std::string::npos) continue;
    return std::stoll(line.substr(line.find_last_not_of("0123456789") + 1));
  }
  return -1;
}

constexpr const char* kCrashDone = "Crash basis: structural columns brought in:";

TEST(Crash, TypeZeroGivesTheAllLogicalBasisWithoutMessage) {
  test::TestLibrary t;
  load(t, dense({'E', 'L'}, {{1, 0}, {0, 1}}, {1, 1}, {-1, -1}));
  Problem& p = *t->problem;
  p.status[static_cast<std::size_t>(p.column_variable(0))] |= status::kBasic;  // left from elsewhere
  t->controls.i(icv::ICRASH) = 0;
  run_crash(t.lib(), p);
  EXPECT_FALSE(t.printed(kCrashDone));
  EXPECT_TRUE(basic(p, 0) && basic(p, 1));
  EXPECT_FALSE(column_basic(p, 0) || column_basic(p, 1));
  EXPECT_EQ(t->controls.i(icv::IFNBAS), 1);
}

TEST(Crash, PcrashZeroBringsNothingIn) {
  test::TestLibrary t;
  load(t, dense({'E', 'E', 'L'}, {{1, 0, 0}, {0, 2, 0}, {0, 0, 3}}, {1, 1, 1}, {-1, -1, -1}));
  Problem& p = *t->problem;
  p.row_flags[2] = row_flag::kLogicalBasic;
  t->controls.d(dcv::PCRASH) = 0.0;
  run_crash(t.lib(), p);
  EXPECT_EQ(printed_value(t, kCrashDone), 0);
  for (std::int32_t i = 0; i < 3; ++i) EXPECT_TRUE(basic(p, i)) << i;
  EXPECT_EQ(basic_count(p), p.row_slots());
}

// ICRASH 8 is the tight option: limit m, acceptance ratio min(5·ZTOLRI, ZTCR) = 0.05,
// type 2 with the cover and free options.
TEST(Crash, TightOptionTakesTheRowCountAndRatioFiveHundredths) {
  test::TestLibrary t;
  load(t, dense({'E', 'E', 'E'}, {{1, 0, 0}, {0, 2, 0}, {0, 0, 3}}, {1, 1, 1}, {1, 1, 1}));
  Problem& p = *t->problem;
  const CrashReport tight = crash_basis(p, settings(8, 0.3));
  EXPECT_EQ(tight.limit, 3);
  EXPECT_DOUBLE_EQ(tight.ratio, 0.05);
  EXPECT_TRUE(tight.cover_pass);
  EXPECT_EQ(tight.structurals, 3);
  for (std::int32_t j = 0; j < 3; ++j) EXPECT_TRUE(column_basic(p, j));
  const CrashReport plain = crash_basis(p, settings(2, 0.3));
  EXPECT_EQ(plain.limit, 0);  // trunc(3 × 0.3)
  EXPECT_DOUBLE_EQ(plain.ratio, 0.995);
  EXPECT_EQ(plain.structurals, 0);
  EXPECT_EQ(basic_count(p), p.row_slots());
}

// Equality rows 0..2 and a column with entries 1, 4, 2: deferred by the first pass
// (D = 1), it covers row 1 in the second (D = 3) and brings the logicals of rows 0 and
// 2 in with it.
TEST(Crash, ColumnOnThreeUncoveredRowsBringsInTwoLogicals) {
  test::TestLibrary t;
  t->controls.i(icv::IFMSG) = 1;
  t->controls.d(dcv::PCRASH) = 1.0;
  load(t, dense({'E', 'E', 'E'}, {{1}, {4}, {2}}, {1, 1, 1}, {1}));
  Problem& p = *t->problem;
  run_crash(t.lib(), p);
  EXPECT_TRUE(column_basic(p, 0));
  EXPECT_TRUE(basic(p, 0));
  EXPECT_FALSE(basic(p, 1));
  EXPECT_TRUE(basic(p, 2));
  EXPECT_EQ(basic_count(p), p.row_slots());
  EXPECT_EQ(printed_value(t, kCrashDone), 1);
  // Pass 1 deferred one column with threshold 3 next.
  EXPECT_TRUE(t.printed(
      "Crash pass, basic, structurals in, next threshold, deferred:      1        0        0        3        1"));
}

// Column A has 1.0 in row 0 and 0.5 in row 1, below ZTCR × 1.0; column B covers row 0
// first (cheaper), after which A's only element in an uncovered row is rejected: A is
// excluded and row 1 keeps its logical.
TEST(Crash, ColumnWithOnlyARejectedElementLeftIsExcluded) {
  test::TestLibrary t;
  load(t, dense({'E', 'E'}, {{1.0, 2.0}, {0.5, 0.0}}, {1, 1}, {0.0, -1.0}));
  Problem& p = *t->problem;
  const CrashReport report = crash_basis(p, settings(2));
  EXPECT_EQ(report.rejected_elements, 1);
  EXPECT_FALSE(column_basic(p, 0));
  EXPECT_TRUE(column_basic(p, 1));
  EXPECT_FALSE(basic(p, 0));
  EXPECT_TRUE(basic(p, 1));
  EXPECT_EQ(report.structurals, 1);
  for (std::uint32_t word : p.status) EXPECT_EQ(word & crash_mark::kExcluded, 0u);
}

// Two singletons on one equality row: the cheaper one in the sense of the objective
// enters.
TEST(Crash, MeritFollowsTheObjectiveSense) {
  test::TestLibrary t;
  load(t, dense({'E'}, {{1.0, 1.0}}, {1}, {-5.0, 3.0}));
  Problem& p = *t->problem;
  CrashSettings s = settings(2);
  s.sense = 1.0;
  crash_basis(p, s);
  EXPECT_TRUE(column_basic(p, 0));
  EXPECT_FALSE(column_basic(p, 1));
  s.sense = -1.0;
  crash_basis(p, s);
  EXPECT_FALSE(column_basic(p, 0));
  EXPECT_TRUE(column_basic(p, 1));
}

// A two-element column of nonnegative cost is held back from the crash and, through the
// mark, from the first pricing; release_crash_marks takes the mark away.
TEST(Crash, TwoElementColumnOfUnattractiveCostIsHeldBack) {
  test::TestLibrary t;
  load(t, dense({'E', 'E'}, {{1.0, 0.0}, {1.0, 1.0}}, {1, 1}, {2.0, -1.0}));
  Problem& p = *t->problem;
  const CrashReport report = crash_basis(p, settings(2));
  const auto held = static_cast<std::size_t>(p.column_variable(0));
  EXPECT_TRUE(report.held_back);
  EXPECT_NE(p.status[held] & crash_mark::kHeldBack, 0u);
  EXPECT_FALSE(column_basic(p, 0));
  EXPECT_TRUE(column_basic(p, 1));
  EXPECT_TRUE(release_crash_marks(p));
  EXPECT_EQ(p.status[held] & crash_mark::kHeldBack, 0u);
  EXPECT_FALSE(release_crash_marks(p));
}

// x ≥ 0 is the only column in the G row x ≥ 5: the cover pass makes it basic there,
// marked as treated free, and the marks go before the simplex starts.
TEST(Crash, CoverPassTakesTheOnlyColumnThatCanSatisfyARow) {
  test::TestLibrary t;
  t->controls.i(icv::IFMSG) = 1;
  t->controls.i(icv::ICRASH) = 2 + 16;
  t->controls.d(dcv::PCRASH) = 1.0;
  load(t, dense({'G', 'L'}, {{1.0, 0.0}, {1.0, 1.0}}, {5, 10}, {-1.0, 1.0}));  // x0 not held back: cost < 0
  Problem& p = *t->problem;
  run_crash(t.lib(), p);
  const auto x = static_cast<std::size_t>(p.column_variable(0));
  EXPECT_TRUE(column_basic(p, 0));
  EXPECT_EQ(p.status[x] & (crash_mark::kTreatedFree | status::kFree), crash_mark::kTreatedFree | status::kFree);
  EXPECT_FALSE(basic(p, 0));
  EXPECT_TRUE(basic(p, 1));  // the L row of column 0 takes its logical with it
  EXPECT_TRUE(t.printed("Crash: columns freed, structurals in, two-element columns:"));
  EXPECT_EQ(basic_count(p), p.row_slots());
  EXPECT_TRUE(release_crash_marks(p));
  EXPECT_EQ(p.status[x] & (crash_mark::kTreatedFree | status::kFree), 0u);
}

// Row 0 must keep its logical, so its singleton stays out; row 1 is covered by a column
// and its flagged logical rests at its upper bound.
TEST(Crash, FlaggedRowsKeepOrParkTheirLogicals) {
  test::TestLibrary t;
  LpArrays a = dense({'E', 'R'}, {{1.0, 0.0}, {0.0, 1.0}}, {1, 4}, {-1.0, -1.0});
  a.range = {0.0, 2.0};
  load(t, a);
  Problem& p = *t->problem;
  p.row_flags[0] = row_flag::kLogicalBasic;
  p.row_flags[1] = row_flag::kLogicalAtUpper;
  crash_basis(p, settings(2));
  EXPECT_TRUE(basic(p, 0));
  EXPECT_FALSE(column_basic(p, 0));
  EXPECT_TRUE(column_basic(p, 1));
  EXPECT_FALSE(basic(p, 1));
  EXPECT_NE(p.status[1] & status::kAtUpper, 0u);
}

// The CRASH and SCALE commands: 91 without a problem; with one, CRASH writes a basis
// (IFNBAS 1) that the next MINIM starts from instead of crashing again.
TEST(Crash, CrashAndScaleCommands) {
  test::TestLibrary t;
  int exit_code = 0;
  for (const char* command : {"CRASH", "SCALE"}) {
    EXPECT_FALSE(run_command_line(t.lib(), command, exit_code));
    EXPECT_EQ(t->err.return_code, 32) << command;
    EXPECT_EQ(t->err.error_number, 91) << command;
  }
  load(t, dense({'E', 'E', 'E'}, {{1, 0, 0}, {0, 2, 0}, {0, 0, 3}}, {1, 1, 1}, {1, 1, 1}));
  t->controls.i(icv::ICRASH) = 8;
  t.clear_lines();
  EXPECT_FALSE(run_command_line(t.lib(), "CRASH", exit_code));
  EXPECT_EQ(t->err.return_code, 0);
  EXPECT_EQ(printed_value(t, kCrashDone), 3);
  EXPECT_EQ(t->controls.i(icv::IFNBAS), 1);
  EXPECT_FALSE(run_command_line(t.lib(), "SCALE", exit_code));
  EXPECT_EQ(t->err.return_code, 0);
  const auto scratch = std::filesystem::temp_directory_path() / ("kqcmd" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  t->problem_name = (scratch / "crash").string();
  t.clear_lines();
  EXPECT_FALSE(run_command_line(t.lib(), "MINIM", exit_code));
  EXPECT_FALSE(t.printed(kCrashDone));
  EXPECT_EQ(*t->attributes.int_attribute(attr::kIterations), 0);  // the crash basis is optimal
  std::filesystem::remove_all(scratch);
}

// A load replaces the basis with the problem: the next MINIM crashes again.
TEST(Crash, EveryLoadedProblemIsCrashedAfresh) {
  test::TestLibrary t;
  const auto scratch = std::filesystem::temp_directory_path() / ("kqload" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    load(t, dense({'E', 'E'}, {{1, 0}, {0, 2}}, {1, 1}, {1, 1}));
    EXPECT_EQ(t->controls.i(icv::IFNBAS), 0);
    t->problem_name = (scratch / "again").string();
    t.clear_lines();
    EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
    EXPECT_TRUE(t.printed(kCrashDone));
    EXPECT_EQ(t->controls.i(icv::IFNBAS), 1);
  }
  std::filesystem::remove_all(scratch);
}

}  // namespace
}  // namespace kqopt
