// Solving LPs through the public header: statuses, objective, values, closing
// messages, limits and the iteration log.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kqopt.h"

namespace {

std::vector<std::string> g_lines;

void capture(const char* text, int32_t length, int32_t) {
  if (text != nullptr) g_lines.emplace_back(text, static_cast<std::size_t>(length));
}

bool printed(const std::string& text) {
  for (const auto& line : g_lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

class LpApi : public ::testing::Test {
 protected:
  // Solution files are written beside the problem name, so each test works in a
  // scratch directory of its own.
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-lp-api-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    KQDEFINEUOPENTRY(capture);
    g_lines.clear();
  }
  void TearDown() override {
    KQFREEXO();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }

  std::filesystem::path previous_;
  std::filesystem::path scratch_;

  static int32_t int_attribute(int32_t n) {
    int32_t v = -1;
    EXPECT_EQ(KQGETIPV(n, &v), 0);
    return v;
  }
  static double objective() {
    double v = 0;
    EXPECT_EQ(KQGETDPV(2001, &v), 0);
    return v;
  }
  // Loads "A x ? b" with dense rows, bounds and costs.
  static int32_t load(const std::vector<std::vector<double>>& a, const std::string& types,
                      const std::vector<double>& rhs, const std::vector<double>& range, const std::vector<double>& cost,
                      const std::vector<double>& lower, const std::vector<double>& upper) {
    std::vector<int32_t> start{0}, rows;
    std::vector<double> values;
    for (std::size_t j = 0; j < cost.size(); ++j) {
      for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i][j] != 0.0) {
          rows.push_back(static_cast<int32_t>(i));
          values.push_back(a[i][j]);
        }
      }
      start.push_back(static_cast<int32_t>(rows.size()));
    }
    return KQLOADPROB("small", static_cast<int32_t>(cost.size()), static_cast<int32_t>(a.size()), types.c_str(),
                      rhs.data(), range.data(), cost.data(), start.data(), nullptr, rows.data(), values.data(),
                      lower.data(), upper.data());
  }
};

const std::string kDataDir = KQOPT_TEST_FILES_DIR;

// Reads afiro and renames the problem so that its solution file is written in the
// current (scratch) directory rather than beside the data.
int32_t read_afiro() {
  const int32_t rc = KQINPUT((kDataDir + "/netlib/afiro").c_str());
  KQSETPROB("afiro");
  return rc;
}

TEST_F(LpApi, AfiroMinimumAndValues) {
  ASSERT_EQ(read_afiro(), 0);
  ASSERT_EQ(KQMINIM(nullptr), 0);
  EXPECT_EQ(int_attribute(1010), 1);
  EXPECT_NEAR(objective(), -464.7531428571, 1e-6);
  EXPECT_TRUE(printed("Optimal"));

  // The values satisfy the rows and give the objective.
  const int32_t m = int_attribute(1001), n = int_attribute(1018);
  std::vector<double> x(n), slack(m), dual(m), dj(n), obj(n), rhs(m);
  ASSERT_EQ(KQSOLUTION(x.data(), slack.data(), dual.data(), dj.data()), 0);
  ASSERT_EQ(KQGETOBJ(obj.data(), 0, n - 1), 0);
  ASSERT_EQ(KQGETRHS(rhs.data(), 0, m - 1), 0);
  double cx = 0;
  for (int32_t j = 0; j < n; ++j) cx += obj[j] * x[j];
  EXPECT_NEAR(cx, objective(), 1e-7);
  std::vector<int32_t> start(n + 1), rows(200);
  std::vector<double> values(200);
  int32_t nels = 0;
  ASSERT_EQ(KQGETCOLS(start.data(), rows.data(), values.data(), 200, &nels, 0, n - 1), 0);
  std::vector<double> activity(m, 0.0);
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t k = start[j]; k < start[j + 1]; ++k) activity[rows[k]] += values[k] * x[j];
  }
  for (int32_t i = 0; i < m; ++i) EXPECT_NEAR(activity[i] + slack[i], rhs[i], 1e-7) << i;

  // Basis codes: as many basic variables as rows.
  std::vector<int32_t> rstatus(m), cstatus(n);
  ASSERT_EQ(KQGETBASIS(rstatus.data(), cstatus.data()), 0);
  int basic = 0;
  for (int32_t s : rstatus) basic += s == 1;
  for (int32_t s : cstatus) basic += s == 1;
  EXPECT_EQ(basic, m);
}

TEST_F(LpApi, MaximisingTheNegatedObjectiveGivesTheNegatedOptimum) {
  ASSERT_EQ(read_afiro(), 0);
  const int32_t m = int_attribute(1001), n = int_attribute(1018);
  std::vector<double> obj(n), rhs(m), range(m), lower(n), upper(n);
  std::vector<char> types(m + 1);
  std::vector<int32_t> start(n + 1), rows(200);
  std::vector<double> values(200);
  int32_t nels = 0;
  ASSERT_EQ(KQGETOBJ(obj.data(), 0, n - 1), 0);
  ASSERT_EQ(KQGETRHS(rhs.data(), 0, m - 1), 0);
  ASSERT_EQ(KQGETRNG(range.data(), 0, m - 1), 0);
  ASSERT_EQ(KQGETBDL(lower.data(), 0, n - 1), 0);
  ASSERT_EQ(KQGETBDU(upper.data(), 0, n - 1), 0);
  ASSERT_EQ(KQGETROWTYPE(types.data(), 0, m - 1), 0);
  ASSERT_EQ(KQGETCOLS(start.data(), rows.data(), values.data(), 200, &nels, 0, n - 1), 0);
  for (double& c : obj) c = -c;
  ASSERT_EQ(KQLOADPROB("negated", n, m, types.data(), rhs.data(), range.data(), obj.data(), start.data(), nullptr,
                       rows.data(), values.data(), lower.data(), upper.data()),
            0);
  ASSERT_EQ(KQMAXIM(""), 0);
  EXPECT_EQ(int_attribute(1010), 1);
  EXPECT_NEAR(objective(), 464.7531428571, 1e-6);
  double sense = 0;
  ASSERT_EQ(KQGETDPV(2008, &sense), 0);
  EXPECT_EQ(sense, -1.0);
}

TEST_F(LpApi, InfeasibleLp) {
  // x + y >= 5 with x, y <= 2. Presolve would prove it without a closing message: the
  // simplex's own finding is what is checked here.
  ASSERT_EQ(KQSETICV(77, 0), 0);  // IPSLCT
  ASSERT_EQ(load({{1, 1}}, "G", {5}, {0}, {1, 1}, {0, 0}, {2, 2}), 0);
  ASSERT_EQ(KQMINIM(nullptr), 0);
  EXPECT_EQ(int_attribute(1010), 2);
  EXPECT_TRUE(printed("infeasible"));
  int32_t ifbigm = -1;
  ASSERT_EQ(KQGETICV(68, &ifbigm), 0);
  EXPECT_EQ(ifbigm, 0);
}

TEST_F(LpApi, UnboundedLpNamesTheColumn) {
  // max x s.t. x - y <= 1, solved by the simplex (presolve proves it without a closing
  // message).
  ASSERT_EQ(KQSETICV(77, 0), 0);  // IPSLCT
  ASSERT_EQ(load({{1, -1}}, "L", {1}, {0}, {1, 0}, {0, 0}, {1e30, 1e30}), 0);
  ASSERT_EQ(KQMAXIM(nullptr), 0);
  EXPECT_EQ(int_attribute(1010), 5);
  EXPECT_TRUE(printed("unbounded"));
  EXPECT_TRUE(printed("VVVVVVV2") || printed("VVVVVVV3"));
}

TEST_F(LpApi, IterationLimitZeroStopsBeforeTheFirstIteration) {
  ASSERT_EQ(read_afiro(), 0);
  ASSERT_EQ(KQSETICV(7, 0), 0);
  ASSERT_EQ(KQMINIM(nullptr), 0);
  EXPECT_EQ(int_attribute(1010), 4);
  EXPECT_EQ(int_attribute(1009), 0);
  EXPECT_TRUE(printed("iteration limit"));
}

TEST_F(LpApi, NegativeLogFrequencyPrintsEveryIteration) {
  ASSERT_EQ(read_afiro(), 0);
  ASSERT_EQ(KQSETICV(9, -1), 0);
  g_lines.clear();
  ASSERT_EQ(KQMINIM(nullptr), 0);
  const int32_t iterations = int_attribute(1009);
  ASSERT_GT(iterations, 0);
  // One detailed line per iteration, the first and the last line included.
  int log_lines = 0;
  for (const auto& line : g_lines) log_lines += line.find(" P") != std::string::npos;
  EXPECT_GE(log_lines, iterations);
}

TEST_F(LpApi, ReloadClearsTheSolution) {
  ASSERT_EQ(read_afiro(), 0);
  ASSERT_EQ(KQMINIM(nullptr), 0);
  ASSERT_EQ(load({{1, 1}}, "L", {4}, {0}, {-1, -1}, {0, 0}, {3, 3}), 0);
  double x[2] = {-1, -1};
  // A problem never optimised has no solution in memory and, under its own name, no file.
  EXPECT_EQ(KQSOLUTION(x, nullptr, nullptr, nullptr), 2);
  ASSERT_EQ(KQMINIM(nullptr), 0);
  ASSERT_EQ(KQSOLUTION(x, nullptr, nullptr, nullptr), 0);
  EXPECT_NEAR(x[0] + x[1], 4.0, 1e-9);
}

// The statuses of a solve describe its problem only: neither a new load nor a fresh
// start of the library may leave them readable for what follows.
TEST_F(LpApi, SolveStatusesDoNotOutliveTheirProblem) {
  ASSERT_EQ(read_afiro(), 0);
  ASSERT_EQ(KQMINIM(nullptr), 0);
  ASSERT_EQ(int_attribute(1010), 1);
  ASSERT_GT(int_attribute(1009), 0);
  ASSERT_EQ(load({{1, 1}}, "L", {4}, {0}, {-1, -1}, {0, 0}, {3, 3}), 0);
  EXPECT_EQ(int_attribute(1010), 0);
  EXPECT_EQ(int_attribute(1009), 0);
  EXPECT_EQ(objective(), 0.0);

  ASSERT_EQ(KQMINIM(nullptr), 0);
  ASSERT_EQ(int_attribute(1010), 1);
  KQFREEXO();
  ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
  EXPECT_EQ(int_attribute(1010), 0);
  EXPECT_EQ(objective(), 0.0);
  // With nothing loaded the solve fails and no status claims otherwise.
  EXPECT_NE(KQMINIM(nullptr), 0);
  EXPECT_EQ(int_attribute(1010), 0);
}

}  // namespace

namespace {

int g_log_calls = 0;
int g_notices_before_log = 0;
int g_notices = 0;

void count_notices(const char* text, int32_t, int32_t) {
  if (text == nullptr) ++g_notices;
}

int32_t on_log() {
  ++g_log_calls;
  g_notices_before_log = g_notices;
  return 0;
}

TEST(LpCallbacks, IterationLogCallbackFollowsAFlushNotice) {
  ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
  const auto previous = std::filesystem::current_path();
  const auto scratch = std::filesystem::temp_directory_path() / ("kqopt-callbacks-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  std::filesystem::current_path(scratch);
  KQDEFINEUOPENTRY(count_notices);
  ASSERT_EQ(KQDEFINEILENTRY(on_log), 0);
  ASSERT_EQ(read_afiro(), 0);
  ASSERT_EQ(KQSETICV(9, 5), 0);
  g_log_calls = g_notices = 0;
  ASSERT_EQ(KQMINIM(nullptr), 0);
  EXPECT_GE(g_log_calls, 2);
  EXPECT_GE(g_notices_before_log, g_log_calls);
  // Unregistered, it is called no more.
  ASSERT_EQ(KQDEFINEILENTRY(nullptr), 0);
  g_log_calls = 0;
  ASSERT_EQ(read_afiro(), 0);
  ASSERT_EQ(KQMINIM(nullptr), 0);
  EXPECT_EQ(g_log_calls, 0);
  KQFREEXO();
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(scratch);
}

}  // namespace
