// The infeasibility analysis through the public header: small LPs whose irreducible
// infeasible sets are known, every reported set checked on its own by a fresh library,
// the marks of members whose removal alone restores feasibility, and the ends of the
// analysis (feasible problem, bad NIIS, no problem, the problem gone afterwards).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "iis_check.h"
#include "kqopt.h"

namespace {

using iis_check::kFree;
using iis_check::Lp;
using iis_check::Set;

std::vector<std::string> g_lines;

void capture(const char* text, int32_t length, int32_t) {
  if (text != nullptr) g_lines.emplace_back(text, static_cast<std::size_t>(length));
}

bool printed(const std::string& text) {
  return std::any_of(g_lines.begin(), g_lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

int count_printed(const std::string& text) {
  return static_cast<int>(std::count_if(g_lines.begin(), g_lines.end(),
                                        [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

class IisApi : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-iis-api-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    init();
  }
  void TearDown() override {
    KQFREEXO();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }
  static void init() {
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    KQDEFINEUOPENTRY(capture);
    g_lines.clear();
  }

  // Loads lp, runs the analysis and reads the sets back from the report.
  static std::vector<Set> analyse(const Lp& lp, int32_t niis, int32_t* rc = nullptr) {
    EXPECT_EQ(iis_check::load(lp, "small"), 0);
    int32_t last = 0;
    EXPECT_EQ(KQGETIPV(1002, &last), 0);
    KQSETICV(131, niis);
    g_lines.clear();
    const int32_t code = KQIISCON();
    if (rc != nullptr) *rc = code;
    return iis_check::parse_report(g_lines, last - lp.columns());
  }

  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

// A set as text: rows "r0", columns "c1", sorted; marked members with '*'.
std::string describe(const Set& set, bool with_marks) {
  std::vector<std::string> parts;
  for (const auto& m : set) {
    parts.push_back((m.row ? "r" : "c") + std::to_string(m.index) + (with_marks && m.marked ? "*" : ""));
  }
  std::sort(parts.begin(), parts.end());
  std::string text;
  for (const auto& p : parts) text += (text.empty() ? "" : " ") + p;
  return text;
}

struct KnownCase {
  const char* name;
  Lp lp;
  int32_t niis;
  // The sets the report may hold, in the order found, each with its marks; a case lists
  // the alternatives the search order allows.
  std::vector<std::vector<std::string>> expected;
};

std::vector<KnownCase> known_cases() {
  std::vector<KnownCase> cases;
  // x + y <= 1 and x + y >= 3: the two rows, no bound needed; either row alone restores.
  cases.push_back(
      {"two rows", iis_check::dense({{1, 1}, {1, 1}}, "LG", {1, 3}, {}, {0, 0}, {kFree, kFree}), -1, {{"r0* r1*"}}});
  // x + y >= 5 with x <= 1, y <= 2: the row and both columns' bounds.
  cases.push_back({"row and bounds", iis_check::dense({{1, 1}}, "G", {5}, {}, {0, 0}, {1, 2}), -1, {{"c0* c1* r0*"}}});
  // A ranged row 2 <= x + y <= 3 against x, y in [0, 0.5], beside a row that is never
  // needed.
  cases.push_back({"ranged row",
                   iis_check::dense({{1, 1}, {1, -1}}, "RL", {3, 10}, {1, 0}, {0, 0}, {0.5, 0.5}),
                   -1,
                   {{"c0* c1* r0*"}}});
  // A cycle of equalities over free columns that cannot close: x1 = x2, x2 = x3,
  // x1 = x3 + 1; the fourth row is slack.
  cases.push_back({"equality cycle",
                   iis_check::dense({{1, -1, 0}, {0, 1, -1}, {1, 0, -1}, {1, 1, 1}}, "EEEL", {0, 0, 1, 100}, {},
                                    {-kFree, -kFree, -kFree}, {kFree, kFree, kFree}),
                   -1,
                   {{"r0* r1* r2*"}}});
  // Two disjoint pairs of rows (x1 <= 1, x1 >= 2; x2 <= 1, x2 >= 2): both sets, each
  // member alone enough once the other set is set aside.
  cases.push_back(
      {"two disjoint pairs",
       iis_check::dense({{1, 0}, {1, 0}, {0, 1}, {0, 1}}, "LGLG", {1, 2, 1, 2}, {}, {-kFree, -kFree}, {kFree, kFree}),
       -1,
       {{"r0* r1*", "r2* r3*"}, {"r2* r3*", "r0* r1*"}}});
  // The same with NIIS = 1: one set, no marks (the rest is still infeasible).
  cases.push_back(
      {"two disjoint pairs, NIIS 1",
       iis_check::dense({{1, 0}, {1, 0}, {0, 1}, {0, 1}}, "LGLG", {1, 2, 1, 2}, {}, {-kFree, -kFree}, {kFree, kFree}),
       1,
       {{"r0 r1"}, {"r2 r3"}}});
  // x <= 1 against x >= 2 and x >= 3: two overlapping sets; one is found, and only the
  // shared row alone restores feasibility.
  cases.push_back({"overlapping sets",
                   iis_check::dense({{1}, {1}, {1}}, "LGG", {1, 2, 3}, {}, {-kFree}, {kFree}),
                   -1,
                   {{"r0* r1"}, {"r0* r2"}}});
  // The column bound alone against a row: x >= 4 with x <= 3, y free.
  cases.push_back({"bound against row",
                   iis_check::dense({{1, 0}, {1, 1}}, "GL", {4, 100}, {}, {0, -kFree}, {3, kFree}),
                   -1,
                   {{"c0* r0*"}}});
  return cases;
}

TEST_F(IisApi, KnownSetsAreFoundAndEachIsIrreducible) {
  for (const KnownCase& c : known_cases()) {
    SCOPED_TRACE(c.name);
    int32_t rc = -1;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<Set> sets = analyse(c.lp, c.niis, &rc);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(rc, 0);
    std::vector<std::string> found;
    std::size_t members = 0;
    for (const Set& s : sets) {
      found.push_back(describe(s, true));
      members += s.size();
    }
    bool matches = false;
    for (const auto& alternative : c.expected) matches = matches || alternative == found;
    std::string text;
    for (const auto& f : found) text += "[" + f + "] ";
    EXPECT_TRUE(matches) << "found " << text;
    std::printf("[ iis      ] %-28s rows %d cols %d sets %zu members %zu seconds %.4f\n", c.name, c.lp.rows(),
                c.lp.columns(), sets.size(), members, seconds);
    // No problem afterwards.
    EXPECT_EQ(KQMINIM(""), 32);
    for (const Set& s : sets) EXPECT_EQ(iis_check::check_set(c.lp, s, KQOPT_MSG_DIR), "") << describe(s, false);
    init();
  }
}

TEST_F(IisApi, SearchMessagesAndReport) {
  const Lp lp =
      iis_check::dense({{1, 0}, {1, 0}, {0, 1}, {0, 1}}, "LGLG", {1, 2, 1, 2}, {}, {-kFree, -kFree}, {kFree, kFree});
  analyse(lp, -1);
  EXPECT_EQ(count_printed("Row in infeasible set"), 4);
  EXPECT_EQ(count_printed("Still infeasible"), 1);
  EXPECT_TRUE(printed("Problem feasible after removing infeasible sets:      2"));
  EXPECT_EQ(count_printed("Infeasible set "), 2);
  EXPECT_EQ(count_printed("Flag Number Name"), 2);
  EXPECT_EQ(count_printed("Member whose removal alone restores feasibility"), 4);
  init();
  analyse(lp, 1);
  EXPECT_EQ(count_printed("Infeasible set "), 1);
  EXPECT_FALSE(printed("Problem feasible after removing"));
  EXPECT_FALSE(printed("Member whose removal alone"));
}

TEST_F(IisApi, ColumnMessages) {
  // x + y >= 5 with x <= 1, y <= 2: the column filter finds both bounds.
  const Lp lp = iis_check::dense({{1, 1}}, "G", {5}, {}, {0, 0}, {1, 2});
  const std::vector<Set> sets = analyse(lp, -1);
  EXPECT_EQ(count_printed("Row in infeasible set"), 1);
  EXPECT_EQ(count_printed("Columns relaxed: "), 1);
  EXPECT_EQ(count_printed("Column in infeasible set"), 2);
  EXPECT_TRUE(printed("Problem feasible after removing infeasible sets:      1"));
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(describe(sets[0], true), "c0* c1* r0*");
}

TEST_F(IisApi, ZeroPriceRowIsNeverAMember) {
  // Row 0 (x + y <= 10) holds at the first phase-1 solution and gets no price; rows 1
  // and 2 contradict each other.
  const Lp lp = iis_check::dense({{1, 1}, {1, 0}, {1, 0}}, "LLG", {10, 1, 2}, {}, {0, 0}, {kFree, kFree});
  const std::vector<Set> sets = analyse(lp, -1);
  EXPECT_TRUE(printed("Rows relaxed (zero price):      1"));
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(describe(sets[0], false), "r1 r2");
}

TEST_F(IisApi, FeasibleProblemPrints330AndIsDiscarded) {
  const Lp lp = iis_check::dense({{1, 1}}, "L", {4}, {}, {0, 0}, {kFree, kFree});
  int32_t rc = -1;
  const std::vector<Set> sets = analyse(lp, -1, &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(sets.empty());
  EXPECT_TRUE(printed("Problem is not infeasible"));
  EXPECT_FALSE(printed("Irreducible infeasible sets"));
  EXPECT_EQ(KQMINIM(""), 32);
}

TEST_F(IisApi, BadNiisAndNoProblem) {
  EXPECT_EQ(KQIISCON(), 32);
  EXPECT_TRUE(printed("No problem"));
  const Lp lp = iis_check::dense({{1}, {1}}, "LG", {1, 2}, {}, {0}, {kFree});
  for (int32_t niis : {0, -2}) {
    g_lines.clear();
    ASSERT_EQ(iis_check::load(lp, "small"), 0);
    EXPECT_EQ(KQSETICV(131, niis), 0);
    EXPECT_EQ(KQIISCON(), 32) << niis;
    EXPECT_TRUE(printed("NIIS must be -1 or positive")) << niis;
    EXPECT_EQ(KQMINIM(""), 32) << niis;
  }
}

TEST_F(IisApi, ControlsComeBackButTheDualSwitchesStayOff) {
  const Lp lp = iis_check::dense({{1}, {1}}, "LG", {1, 2}, {}, {0}, {kFree});
  ASSERT_EQ(iis_check::load(lp, "small"), 0);
  ASSERT_EQ(KQSETICV(56, 1), 0);    // IFDUAL
  ASSERT_EQ(KQSETICV(83, 0), 0);    // IQUIET
  ASSERT_EQ(KQSETICV(11, 1), 0);    // IFPRES
  ASSERT_EQ(KQSETICV(20, -50), 0);  // MAXTIM
  ASSERT_EQ(KQIISCON(), 0);
  int32_t v = -1;
  KQGETICV(56, &v);
  EXPECT_EQ(v, 0);
  KQGETICV(83, &v);
  EXPECT_EQ(v, 0);
  KQGETICV(11, &v);
  EXPECT_EQ(v, 1);
  KQGETICV(20, &v);
  EXPECT_EQ(v, -50);
}

}  // namespace

namespace {

// A problem restored from a matrix slot is that slot's live copy: discarding it at the
// end of the analysis parks it back, and it comes back as loaded (objective, bounds,
// rows), not as the analysis left it.
TEST_F(IisApi, LiveSavedCopyKeepsTheProblemAsLoaded) {
  Lp lp = iis_check::dense({{1, 1}, {1, 0}}, "GL", {5, 10}, {}, {0, 0}, {1, 2});
  lp.cost = {3, 4};
  ASSERT_EQ(iis_check::load(lp, "small"), 0);
  int32_t slot = 0;
  ASSERT_EQ(KQSAVMAT(&slot), 0);
  ASSERT_EQ(KQRESMAT(slot), 0);
  ASSERT_EQ(KQIISCON(), 0);
  EXPECT_TRUE(printed("Irreducible infeasible sets"));
  EXPECT_EQ(KQMINIM(""), 32);
  ASSERT_EQ(KQRESMAT(slot), 0);
  Lp back;
  ASSERT_TRUE(iis_check::read_loaded(back));
  std::vector<double> cost(2);
  ASSERT_EQ(KQGETOBJ(cost.data(), 0, 1), 0);
  EXPECT_EQ(cost, lp.cost);
  EXPECT_EQ(back.lower, lp.lower);
  EXPECT_EQ(back.upper, lp.upper);
  EXPECT_EQ(back.rhs, lp.rhs);
  EXPECT_EQ(std::string(back.types.begin(), back.types.end()), "GL");
  ASSERT_EQ(KQMINIM(""), 0);
  int32_t status = 0;
  KQGETIPV(1010, &status);
  EXPECT_EQ(status, 2);
}

// A re-solve stopped by the iteration limit ends the analysis without the report.
TEST_F(IisApi, IterationLimitEndsTheAnalysisWithoutTheReport) {
  const Lp lp = iis_check::dense({{1, 1}, {1, -1}, {1, 0}}, "GLL", {5, 10, 1}, {}, {0, 0}, {kFree, 2});
  ASSERT_EQ(iis_check::load(lp, "small"), 0);
  ASSERT_EQ(KQSETICV(7, 0), 0);  // ITRLIM
  g_lines.clear();
  EXPECT_EQ(KQIISCON(), 0);
  EXPECT_TRUE(printed("LP stopped"));
  EXPECT_FALSE(printed("Irreducible infeasible sets"));
  EXPECT_EQ(KQMINIM(""), 32);
}

}  // namespace
