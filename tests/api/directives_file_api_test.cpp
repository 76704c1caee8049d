// The directives file through the public header: every malformed line answered by its
// message (table-driven), the reset before each file, patterns, the refusals, and a
// file of priorities that changes which column the search branches on first.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kqopt.h"

namespace {

constexpr int kColumns = 14;
std::vector<std::string> g_lines;

void on_line(const char* text, int32_t length, int32_t) {
  if (text != nullptr) g_lines.emplace_back(text, static_cast<std::size_t>(length));
}

bool printed(const std::string& text) {
  for (const std::string& line : g_lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

int32_t last_error() {
  int32_t v = -1;
  EXPECT_EQ(KQGETIPV(1023, &v), 0);
  return v;
}

// A directive line in the fixed layout: type in columns 1-4, name from 5, value from 25.
std::string fixed(const std::string& type, const std::string& name, const std::string& value) {
  std::string line = " " + type + " " + name;
  line.resize(24, ' ');
  return line + value;
}

struct Directive {
  int32_t priority;
  char direction;
  double up, down;
};

class DirectivesFileApi : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-directives-api-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    ASSERT_EQ(KQSETICV(28, 0), 0);  // GPRINT
    ASSERT_EQ(KQDEFINEUOPENTRY(on_line), 0);
    g_lines.clear();
  }
  void TearDown() override {
    KQDEFINEUOPENTRY(nullptr);
    KQFREEXO();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }

  // Two knapsack rows over 14 binaries x0..x13, maximised.
  static void load() {
    static const double a[2][kColumns] = {{23, 31, 29, 44, 53, 38, 63, 85, 89, 82, 41, 47, 59, 71},
                                          {12, 44, 37, 19, 28, 61, 33, 24, 51, 40, 29, 58, 17, 36}};
    static const double c[kColumns] = {92, 57, 49, 68, 60, 43, 67, 84, 87, 72, 55, 61, 66, 79};
    const char types[] = {'L', 'L'};
    const double rhs[] = {260, 230};
    std::vector<int32_t> start, rows, columns;
    std::vector<double> values, lower(kColumns, 0.0), upper(kColumns, 1.0);
    std::vector<char> kinds(kColumns, 'B');
    std::string names;
    for (int j = 0; j < kColumns; ++j) {
      start.push_back(2 * j);
      rows.insert(rows.end(), {0, 1});
      values.insert(values.end(), {a[0][j], a[1][j]});
      columns.push_back(j);
      names += "x" + std::to_string(j);
      names.push_back('\0');
    }
    start.push_back(2 * kColumns);
    ASSERT_EQ(KQLOADGLOBAL("knap", kColumns, 2, types, rhs, nullptr, c, start.data(), nullptr, rows.data(),
                           values.data(), lower.data(), upper.data(), kColumns, 0, kinds.data(), columns.data(),
                           nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    ASSERT_EQ(KQADDNAMES(2, names.data(), 0, kColumns - 1), 0);
  }

  static void write(const std::string& file, const std::vector<std::string>& lines) {
    std::ofstream out(file);
    for (const std::string& l : lines) out << l << "\n";
  }

  static std::vector<Directive> directives() {
    int32_t n = 0;
    std::vector<int32_t> cols(kColumns), pri(kColumns);
    std::vector<char> dir(kColumns);
    std::vector<double> up(kColumns), down(kColumns);
    EXPECT_EQ(KQGETDIR(&n, cols.data(), pri.data(), dir.data(), up.data(), down.data()), 0);
    EXPECT_EQ(n, kColumns);
    std::vector<Directive> out;
    for (int k = 0; k < kColumns; ++k) {
      out.push_back({pri[static_cast<std::size_t>(k)], dir[static_cast<std::size_t>(k)],
                     up[static_cast<std::size_t>(k)], down[static_cast<std::size_t>(k)]});
    }
    return out;
  }

  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

struct FileCase {
  const char* what;
  std::vector<std::string> lines;
  const char* message;  // the text printed, or null
  int32_t x3_priority;  // x3's directive after the read
  char x3_direction;
  int32_t x5_priority;
};

TEST_F(DirectivesFileApi, EveryMalformedLineIsAnsweredByItsMessage) {
  const std::vector<FileCase> cases = {
      {"plain", {fixed("PR", "x3", "7"), fixed("DN", "x5", "")}, nullptr, 7, 'N', 500},
      {"unknown type", {fixed("PX", "x3", "7"), fixed("PR", "x5", "9")}, "Unknown directive type: PX", 500, 'N', 9},
      {"unknown name",
       {fixed("PR", "y3", "7"), fixed("PR", "x5", "9")},
       "No global entity of this name: y3",
       500,
       'N',
       9},
      {"priority above 1000",
       {fixed("PR", "x3", "1001"), fixed("PR", "x5", "9")},
       "Priority outside 0 to 1000: x3",
       500,
       'N',
       9},
      {"negative priority",
       {fixed("PR", "x3", "-2"), fixed("PR", "x5", "9")},
       "Priority outside 0 to 1000: x3",
       500,
       'N',
       9},
      {"priority rounded", {fixed("PR", "x3", "1000.4")}, nullptr, 1000, 'N', 500},
      {"invalid number stops the reading",
       {fixed("PR", "x3", "4"), fixed("PR", "x5", "9x"), fixed("UP", "x3", "")},
       "Invalid number",
       4,
       'N',
       500},
      {"only an up directive", {fixed("UP", "x3", "")}, nullptr, 500, 'U', 500},
      {"comments and empty lines", {"* a comment", "", fixed("PR", "x3", "3")}, nullptr, 3, 'N', 500},
      {"pattern for all", {fixed("PR", "*", "6"), fixed("DN", "x3", "")}, nullptr, 6, 'D', 6},
      {"pattern of one character", {fixed("PR", "x?", "8")}, nullptr, 8, 'N', 8},
  };
  load();
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    write("case.dir", c.lines);
    g_lines.clear();
    EXPECT_EQ(KQDIRECTIVES("case"), 0);
    if (c.message != nullptr) {
      EXPECT_TRUE(printed(c.message));
    } else {
      EXPECT_TRUE(g_lines.empty()) << g_lines.front();
    }
    const std::vector<Directive> d = directives();
    EXPECT_EQ(d[3].priority, c.x3_priority);
    EXPECT_EQ(d[3].direction, c.x3_direction);
    EXPECT_EQ(d[5].priority, c.x5_priority);
  }
  // Free layout: the same, as tokens; pseudo-costs too.
  ASSERT_EQ(KQSETICV(135, 1), 0);  // FREFMT
  write("free.dir", {"PU x3 2.5", "PD x3 1.5", "PR x12 11"});
  EXPECT_EQ(KQDIRECTIVES("free.dir"), 0);
  const std::vector<Directive> d = directives();
  EXPECT_EQ(d[3].up, 2.5);
  EXPECT_EQ(d[3].down, 1.5);
  EXPECT_EQ(d[12].priority, 11);
  EXPECT_EQ(d[3].priority, 500);  // the earlier file's directives are gone
}

TEST_F(DirectivesFileApi, RefusalsOfTheCall) {
  EXPECT_EQ(KQDIRECTIVES("none"), 32);
  EXPECT_EQ(last_error(), 91);
  load();
  EXPECT_EQ(KQDIRECTIVES("missing"), 32);
  EXPECT_EQ(last_error(), 38);
  // A problem without entities.
  const char types[] = {'L'};
  const double rhs[] = {1}, obj[] = {1}, values[] = {1}, lower[] = {0}, upper[] = {1};
  const int32_t start[] = {0, 1}, rows[] = {0};
  ASSERT_EQ(KQLOADPROB("lp", 1, 1, types, rhs, nullptr, obj, start, nullptr, rows, values, lower, upper), 0);
  write("lp.dir", {fixed("PR", "x3", "1")});
  EXPECT_EQ(KQDIRECTIVES("lp"), 32);
  EXPECT_EQ(last_error(), 91);
}

// The columns the search branches on, in order, and the first direction taken.
std::vector<int32_t> g_branched;
int32_t g_first_direction = -1;
void on_branch(int32_t* column, int32_t* direction, double*) {
  if (g_branched.empty()) g_first_direction = *direction;
  g_branched.push_back(*column);
}

// max x0 + ... + x4 with 2 xj <= 2j + 1, xj integer: every column is fractional (j + 1/2)
// in the relaxation, and the search branches on each once along its first dive.
void load_independent() {
  constexpr int n = 5;
  std::vector<char> types(n, 'L'), kinds(n, 'I');
  std::vector<double> rhs, obj(n, 1.0), values(n, 2.0), lower(n, 0.0), upper(n, 10.0);
  std::vector<int32_t> start, rows, columns;
  std::string names;
  for (int j = 0; j < n; ++j) {
    rhs.push_back(2.0 * j + 1.0);
    start.push_back(j);
    rows.push_back(j);
    columns.push_back(j);
    names += "x" + std::to_string(j);
    names.push_back('\0');
  }
  start.push_back(n);
  ASSERT_EQ(KQLOADGLOBAL("indep", n, n, types.data(), rhs.data(), nullptr, obj.data(), start.data(), nullptr,
                         rows.data(), values.data(), lower.data(), upper.data(), n, 0, kinds.data(), columns.data(),
                         nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  ASSERT_EQ(KQADDNAMES(2, names.data(), 0, n - 1), 0);
}

TEST_F(DirectivesFileApi, PrioritiesFromAFileChangeTheBranchingOrder) {
  ASSERT_EQ(KQDEFINEUCBENTRY(on_branch), 0);
  load_independent();
  g_branched.clear();
  ASSERT_EQ(KQMAXIM("g"), 0);
  ASSERT_GE(g_branched.size(), 5u);
  const std::vector<int32_t> plain(g_branched.begin(), g_branched.begin() + 5);
  double plain_best = 0;
  ASSERT_EQ(KQGETDPV(2004, &plain_best), 0);
  EXPECT_EQ(plain_best, 10.0);
  // The file orders the columns against the plain order: the last branched first.
  std::vector<std::string> lines = {fixed("PR", "*", "900")};
  for (int k = 0; k < 5; ++k) {
    lines.push_back(fixed("PR", "x" + std::to_string(plain[static_cast<std::size_t>(4 - k)] - 1), std::to_string(k)));
  }
  lines.push_back(fixed("DN", "x?", ""));
  write("indep.dir", lines);
  load_independent();
  ASSERT_EQ(KQDIRECTIVES(nullptr), 0);  // the problem's name: indep.dir
  g_branched.clear();
  ASSERT_EQ(KQMAXIM("g"), 0);
  ASSERT_GE(g_branched.size(), 5u);
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(g_branched[static_cast<std::size_t>(k)], plain[static_cast<std::size_t>(4 - k)]) << k;
  }
  EXPECT_EQ(g_first_direction, 0);  // down first
  double best = 0;
  ASSERT_EQ(KQGETDPV(2004, &best), 0);
  EXPECT_EQ(best, plain_best);
  ASSERT_EQ(KQDEFINEUCBENTRY(nullptr), 0);
}

}  // namespace
