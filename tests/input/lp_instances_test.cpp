// Round trip of the shared Netlib and MIPLIB 3 problems through LP text: each MPS file
// is loaded, written as LP text, read back with KQINPUT, and the two problems are
// compared through the retrieval operations (rows, columns, coefficients, bounds,
// types, integer marks), then solved (LP relaxation) to the same optimum within 1e-9
// relative. KQOPT_SHARED_DATA=<directory> replaces the data directory; KQOPT_LP_OUT=<directory> keeps the written
// files; KQOPT_LP_SOLVE_ROWS bounds the size of the problems solved (default 300 rows). Run alone with
//   kqopt_instance_tests --gtest_filter='LpRoundTrip*'
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "input/input_problem.h"
#include "library/control_access.h"
#include "library/library.h"
#include "problem/problem.h"
#include "problem/retrieval.h"
#include "simplex/driver/lp_driver.h"
#include "support/lp_writer.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt::input {
namespace {

namespace fs = std::filesystem;

std::string data_dir() { return test::shared_data_dir(); }

// The problem as retrieval gives it.
struct Snapshot {
  std::int32_t m = 0, n = 0;
  std::vector<double> cost, lower, upper, rhs, range;
  std::vector<char> row_type, column_type;
  std::vector<std::int32_t> start, column;
  std::vector<double> value;
  std::vector<std::string> row_names, column_names;
  double constant = 0.0;
};

std::vector<std::string> names(Library& lib, int type, std::int32_t count) {
  std::vector<std::string> out;
  std::vector<char> buffer(static_cast<std::size_t>(count) * 9 + 1);
  if (count > 0) {
    EXPECT_EQ(get_names(lib, type, buffer.data(), 0, count - 1), 0);
  }
  for (std::int32_t i = 0; i < count; ++i) {
    std::string s(buffer.data() + 9 * static_cast<std::size_t>(i));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    out.push_back(s);
  }
  return out;
}

Snapshot snapshot(Library& lib) {
  Snapshot s;
  s.m = lib.problem->rows;
  s.n = lib.problem->columns;
  auto m = static_cast<std::size_t>(s.m), n = static_cast<std::size_t>(s.n);
  s.cost.resize(n + 1);
  s.lower.resize(n + 1);
  s.upper.resize(n + 1);
  s.column_type.resize(n + 1);
  s.rhs.resize(m + 1);
  s.range.resize(m + 1);
  s.row_type.resize(m + 1);
  s.start.resize(m + 1);
  if (s.n > 0) {
    EXPECT_EQ(get_objective(lib, s.cost.data(), 0, s.n - 1, Units::kCaller), 0);
    EXPECT_EQ(get_lower_bounds(lib, s.lower.data(), 0, s.n - 1, Units::kCaller), 0);
    EXPECT_EQ(get_upper_bounds(lib, s.upper.data(), 0, s.n - 1, Units::kCaller), 0);
    EXPECT_EQ(get_column_types(lib, s.column_type.data(), 0, s.n - 1), 0);
  }
  if (s.m > 0) {
    EXPECT_EQ(get_rhs(lib, s.rhs.data(), 0, s.m - 1, Units::kCaller), 0);
    EXPECT_EQ(get_range(lib, s.range.data(), 0, s.m - 1, Units::kCaller), 0);
    EXPECT_EQ(get_row_types(lib, s.row_type.data(), 0, s.m - 1), 0);
    std::int32_t elements = 0;
    EXPECT_EQ(get_rows(lib, s.start.data(), nullptr, nullptr, 0, &elements, 0, s.m - 1, Units::kCaller), 0);
    s.column.resize(static_cast<std::size_t>(elements) + 1);
    s.value.resize(static_cast<std::size_t>(elements) + 1);
    EXPECT_EQ(
        get_rows(lib, s.start.data(), s.column.data(), s.value.data(), elements, &elements, 0, s.m - 1, Units::kCaller),
        0);
  }
  s.row_names = names(lib, 1, s.m);
  s.column_names = names(lib, 2, s.n);
  s.constant = lib.problem->objective_constant;
  return s;
}

struct Solved {
  std::int32_t status = 0;
  double objective = 0.0;
};

Solved solve(Library& lib, const fs::path& scratch, const std::string& name) {
  lib.problem_name = (scratch / name).string();
  lib.options.fill(false);
  EXPECT_EQ(optimise(lib, DriverMode::kMinimise), 0);
  Solved s;
  EXPECT_EQ(get_int_attribute(lib, 1010, &s.status), 0);
  EXPECT_EQ(get_double_attribute(lib, 2001, &s.objective), 0);
  return s;
}

struct Tally {
  int problems = 0, compared = 0, solved = 0, renamed = 0, ranged_rows = 0, skipped = 0;
  double largest_difference = 0.0;  // relative, between the optima
};

void round_trip(const std::string& set, const std::string& name, const fs::path& scratch, Tally& tally) {
  SCOPED_TRACE(set + "/" + name);
  ++tally.problems;
  test::TestLibrary a;
  a->controls.i(icv::IFNRW) = -1;
  a->controls.i(icv::PRNLVL) = 0;
  std::string mps = data_dir() + "/" + set + "/" + name + ".mps";
  std::int32_t rc = input_problem(a.lib(), mps.c_str());
  ASSERT_TRUE(rc == 0 || name == "standgub") << rc;
  ASSERT_TRUE(a->has_problem());
  test::LpText lp = test::write_lp_text(a.lib());
  if (!lp.complete) {
    ++tally.skipped;
    return;
  }
  tally.renamed += lp.renamed;
  const char* keep = std::getenv("KQOPT_LP_OUT");
  fs::path file = (keep ? fs::path(keep) : scratch) / (name + ".lp");
  std::ofstream(file, std::ios::binary) << lp.text;

  test::TestLibrary b;
  InputDiagnostics d;
  ASSERT_EQ(input_problem(b.lib(), file.c_str(), &d), 0);
  EXPECT_TRUE(d.messages.empty()) << "first message " << d.messages.front();
  ASSERT_TRUE(b->has_problem());

  Snapshot x = snapshot(a.lib()), y = snapshot(b.lib());
  ASSERT_EQ(y.n, x.n);
  ASSERT_EQ(static_cast<std::size_t>(y.m), lp.rows.size());
  EXPECT_EQ(y.constant, x.constant);
  int differences = 0;
  auto differ = [&](bool different, const std::string& what) {
    if (different && ++differences <= 5) ADD_FAILURE() << what;
  };
  for (std::size_t j = 0; j < static_cast<std::size_t>(x.n); ++j) {
    differ(y.cost[j] != x.cost[j], "cost of " + x.column_names[j]);
    differ(y.lower[j] != x.lower[j], "lower bound of " + x.column_names[j]);
    differ(y.upper[j] != x.upper[j], "upper bound of " + x.column_names[j]);
    differ(y.column_type[j] != x.column_type[j], "type of " + x.column_names[j]);
    differ(y.column_names[j] != x.column_names[j] && y.column_names[j][0] != '_', "name of " + x.column_names[j]);
  }
  for (std::size_t k = 0; k < lp.rows.size(); ++k) {
    auto i = static_cast<std::size_t>(lp.rows[k].row);
    if (x.row_type[i] == 'R' && lp.rows[k].type == 'G') ++tally.ranged_rows;
    char expected_type = x.row_type[i] == 'R' ? lp.rows[k].type : x.row_type[i];
    double expected_rhs = x.row_type[i] == 'R' && lp.rows[k].type == 'G' ? x.rhs[i] - x.range[i] : x.rhs[i];
    differ(y.row_type[k] != expected_type, "type of row " + x.row_names[i]);
    differ(y.rhs[k] != expected_rhs, "rhs of row " + x.row_names[i]);
    bool same = y.start[k + 1] - y.start[k] == x.start[i + 1] - x.start[i];
    for (std::int32_t e = 0; same && e < x.start[i + 1] - x.start[i]; ++e) {
      auto ex = static_cast<std::size_t>(x.start[i] + e), ey = static_cast<std::size_t>(y.start[k] + e);
      same = x.column[ex] == y.column[ey] && x.value[ex] == y.value[ey];
    }
    differ(!same, "coefficients of row " + x.row_names[i]);
    if (x.row_type[i] != 'R' || lp.rows[k].type == 'G') {
      differ(y.row_names[k] != x.row_names[i] && y.row_names[k][0] != '_', "name of row " + x.row_names[i]);
    }
  }
  std::int32_t ex = 0, sx = 0, ey = 0, sy = 0;
  get_global(a.lib(), &ex, &sx, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  get_global(b.lib(), &ey, &sy, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(ey, ex);
  ++tally.compared;

  const char* limit = std::getenv("KQOPT_LP_SOLVE_ROWS");
  if (x.m > (limit ? std::atoi(limit) : 300)) return;
  Solved sx_ = solve(a.lib(), scratch, name + "-mps");
  Solved sy_ = solve(b.lib(), scratch, name + "-lp");
  EXPECT_EQ(sy_.status, sx_.status);
  if (sx_.status == 1 && sy_.status == 1) {
    ++tally.solved;
    double difference = std::abs(sy_.objective - sx_.objective) / std::max(1.0, std::abs(sx_.objective));
    tally.largest_difference = std::max(tally.largest_difference, difference);
    EXPECT_LE(difference, 1e-9) << sx_.objective << " " << sy_.objective;
  }
}

void run_set(const std::string& set) {
  fs::path dir = data_dir() + "/" + set;
  if (!fs::exists(dir)) GTEST_SKIP() << dir << " is absent";
  fs::path scratch = fs::temp_directory_path() / ("kqlp-" + set + "-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  std::vector<std::string> problems;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".mps") problems.push_back(entry.path().stem().string());
  }
  std::sort(problems.begin(), problems.end());
  Tally tally;
  for (const std::string& name : problems) round_trip(set, name, scratch, tally);
  fs::remove_all(scratch);
  std::printf(
      "%s: %d problems, %d compared, %d skipped (entities the text cannot carry), %d solved to the same "
      "optimum (largest relative difference %.3g); %d names replaced, %d ranged rows split\n",
      set.c_str(), tally.problems, tally.compared, tally.skipped, tally.solved, tally.largest_difference, tally.renamed,
      tally.ranged_rows);
}

TEST(LpRoundTrip, Netlib) { run_set("netlib"); }
TEST(LpRoundTrip, Miplib3) { run_set("miplib3"); }

}  // namespace
}  // namespace kqopt::input
