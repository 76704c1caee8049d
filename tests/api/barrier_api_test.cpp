// The barrier through the public header: afiro to an optimal basis with the crossover
// and to an interior solution without it, infeasible and unbounded problems, a problem
// without constrained rows, the iteration limit, the log and the barrier attributes.
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

int g_log_calls = 0;
int32_t g_stop_after = 1000000;
int32_t barrier_log() { return ++g_log_calls >= g_stop_after ? 1 : 0; }

constexpr int32_t kCross = 44;
constexpr int32_t kMaxIter = 45;
constexpr int32_t kIalg = 23;

class BarrierApi : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-barrier-api-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    KQDEFINEUOPENTRY(capture);
    g_lines.clear();
    g_log_calls = 0;
    g_stop_after = 1000000;
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
  static double double_attribute(int32_t n) {
    double v = 0;
    EXPECT_EQ(KQGETDPV(n, &v), 0);
    return v;
  }
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
constexpr double kAfiro = -464.7531428571;

int32_t read_problem(const char* name) {
  const int32_t rc = KQINPUT((kDataDir + "/netlib/" + name).c_str());
  KQSETPROB(name);
  return rc;
}

int32_t basic_count() {
  int32_t m = 0, n = 0;
  KQGETIPV(1001, &m);
  KQGETIPV(1018, &n);
  std::vector<int32_t> rstatus(m), cstatus(n);
  if (KQGETBASIS(rstatus.data(), cstatus.data()) != 0) return -1;
  int32_t basic = 0;
  for (int32_t s : rstatus) basic += s == 1;
  for (int32_t s : cstatus) basic += s == 1;
  return basic;
}

TEST_F(BarrierApi, SmallNetlibToAnOptimalBasis) {
  struct Case {
    const char* name;
    double objective;
  };
  for (const Case c : {Case{"afiro", kAfiro}, Case{"sc50a", -64.575077059}, Case{"adlittle", 225494.96316}}) {
    g_lines.clear();
    ASSERT_EQ(read_problem(c.name), 0) << c.name;
    ASSERT_EQ(KQMINIM("b"), 0) << c.name;
    EXPECT_EQ(int_attribute(1010), 1) << c.name;
    EXPECT_NEAR(double_attribute(2001), c.objective, 1e-6 * std::fabs(c.objective)) << c.name;
    EXPECT_GT(int_attribute(3001), 0) << c.name;
    EXPECT_EQ(int_attribute(3005), 1) << c.name;  // the crossover ran
    EXPECT_GT(int_attribute(3003), 0) << c.name;
    EXPECT_EQ(basic_count(), int_attribute(1001)) << c.name;
    EXPECT_TRUE(printed("ITE")) << c.name;
    EXPECT_TRUE(printed("Crossover basis obtained")) << c.name;
    EXPECT_TRUE(printed("Optimal")) << c.name;
  }
}

TEST_F(BarrierApi, IalgFourSelectsTheBarrier) {
  ASSERT_EQ(read_problem("afiro"), 0);
  ASSERT_EQ(KQSETICV(kIalg, 4), 0);
  ASSERT_EQ(KQMINIM(nullptr), 0);
  EXPECT_EQ(int_attribute(1010), 1);
  EXPECT_GT(int_attribute(3001), 0);
  EXPECT_NEAR(double_attribute(2001), kAfiro, 1e-6 * std::fabs(kAfiro));
}

TEST_F(BarrierApi, WithoutCrossoverTheInteriorSolutionIsTheResult) {
  ASSERT_EQ(read_problem("afiro"), 0);
  ASSERT_EQ(KQSETICV(kCross, 0), 0);
  ASSERT_EQ(KQMINIM("b"), 0);
  EXPECT_EQ(int_attribute(1010), 1);
  EXPECT_EQ(int_attribute(3005), 0);
  EXPECT_EQ(int_attribute(1009), 0);  // no simplex iterations
  EXPECT_NEAR(double_attribute(2001), kAfiro, 1e-6 * std::fabs(kAfiro));
  EXPECT_LE(double_attribute(4005), 1e-8);  // relative gap of the last iteration
  EXPECT_FALSE(printed("Crossover basis obtained"));
  EXPECT_TRUE(printed("Barrier method finished"));
  // The interior values satisfy the rows.
  const int32_t m = int_attribute(1001), n = int_attribute(1018);
  std::vector<double> x(n), slack(m), rhs(m);
  ASSERT_EQ(KQSOLUTION(x.data(), slack.data(), nullptr, nullptr), 0);
  ASSERT_EQ(KQGETRHS(rhs.data(), 0, m - 1), 0);
  std::vector<int32_t> start(n + 1), rows(200);
  std::vector<double> values(200);
  int32_t nels = 0;
  ASSERT_EQ(KQGETCOLS(start.data(), rows.data(), values.data(), 200, &nels, 0, n - 1), 0);
  std::vector<double> activity(m, 0.0);
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t k = start[j]; k < start[j + 1]; ++k) activity[rows[k]] += values[k] * x[j];
  }
  for (int32_t i = 0; i < m; ++i) EXPECT_NEAR(activity[i] + slack[i], rhs[i], 1e-6) << i;
}

TEST_F(BarrierApi, MaximisationReportsTheUserSign) {
  // max x + y, x + 2y <= 4, 3x + y <= 6: 2.8.
  ASSERT_EQ(load({{1, 2}, {3, 1}}, "LL", {4, 6}, {0, 0}, {1, 1}, {0, 0}, {1e30, 1e30}), 0);
  for (const int32_t cross : {1, 0}) {
    ASSERT_EQ(KQSETICV(kCross, cross), 0);
    ASSERT_EQ(KQMAXIM("b"), 0);
    EXPECT_EQ(int_attribute(1010), 1) << cross;
    EXPECT_NEAR(double_attribute(2001), 2.8, 1e-7) << cross;
    EXPECT_NEAR(double_attribute(4001), 2.8, 1e-6) << cross;
  }
}

TEST_F(BarrierApi, InfeasibleAndUnbounded) {
  // x + y >= 5 with x, y <= 2: infeasible, never optimal.
  ASSERT_EQ(load({{1, 1}}, "G", {5}, {0}, {1, 1}, {0, 0}, {2, 2}), 0);
  ASSERT_EQ(KQMINIM("b"), 0);
  EXPECT_EQ(int_attribute(1010), 2);
  EXPECT_TRUE(printed("infeasible"));
  // max x + y s.t. x - y <= 1: unbounded.
  ASSERT_EQ(load({{1, -1}}, "L", {1}, {0}, {1, 1}, {0, 0}, {1e30, 1e30}), 0);
  g_lines.clear();
  ASSERT_EQ(KQMAXIM("b"), 0);
  EXPECT_EQ(int_attribute(1010), 5);
  EXPECT_TRUE(printed("unbounded"));
}

TEST_F(BarrierApi, FreeColumnsAndRanges) {
  // min x1 + 2 x2 + x3, x1 free, x1 - x2 = 1, 3 <= x1 + x2 + x3 <= 8 (range 5), x3 in [0, 4]:
  // the objective is 1 + 3 x2 + x3 with 2 x2 + x3 >= 2, so x2 = 0, x3 = 2, x1 = 1: 3.
  ASSERT_EQ(load({{1, -1, 0}, {1, 1, 1}}, "ER", {1, 8}, {0, 5}, {1, 2, 1}, {-1e30, 0, 0}, {1e30, 1e30, 4}), 0);
  for (const int32_t cross : {1, 0}) {
    ASSERT_EQ(KQSETICV(kCross, cross), 0);
    ASSERT_EQ(KQMINIM("b"), 0);
    EXPECT_EQ(int_attribute(1010), 1) << cross;
    EXPECT_NEAR(double_attribute(2001), 3.0, 1e-7) << cross;
  }
}

TEST_F(BarrierApi, NoConstrainedRowsIsSolvedDirectly) {
  // Only a free (objective) row: each column goes to the bound its cost prefers.
  ASSERT_EQ(load({{1, 1, 1}}, "N", {0}, {0}, {1, -2, -3}, {1, 0, -1e30}, {5, 4, 7}), 0);
  ASSERT_EQ(KQMINIM("b"), 0);
  EXPECT_EQ(int_attribute(1010), 1);
  EXPECT_NEAR(double_attribute(2001), 1 * 1 - 2 * 4 - 3 * 7, 1e-12);
  std::vector<double> x(3);
  ASSERT_EQ(KQSOLUTION(x.data(), nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(x[0], 1.0);
  EXPECT_EQ(x[1], 4.0);
  EXPECT_EQ(x[2], 7.0);
}

TEST_F(BarrierApi, NoConstrainedRowsUnboundedColumn) {
  // A negative cost on a column without an upper bound, a positive one on a column with
  // only an upper bound, a nonzero one on a free column: each is unbounded alone.
  struct Case {
    double cost, lower, upper;
  };
  for (const Case c : {Case{-1, 0, 1e30}, Case{3, -1e30, 7}, Case{1e-6, -1e30, 1e30}}) {
    ASSERT_EQ(load({{1, 1}}, "N", {0}, {0}, {1, c.cost}, {0, c.lower}, {1, c.upper}), 0);
    ASSERT_EQ(KQMINIM("b"), 0);
    EXPECT_EQ(int_attribute(1010), 5) << c.cost;
  }
}

TEST_F(BarrierApi, IterationLimitAndCallbackStop) {
  ASSERT_EQ(read_problem("afiro"), 0);
  ASSERT_EQ(KQSETICV(kCross, 0), 0);
  ASSERT_EQ(KQSETICV(kMaxIter, 2), 0);
  ASSERT_EQ(KQMINIM("b"), 0);
  EXPECT_EQ(int_attribute(1010), 4);
  EXPECT_TRUE(printed("iteration limit"));
  ASSERT_EQ(KQSETICV(kMaxIter, 200), 0);
  KQDEFINEBLENTRY(barrier_log);
  g_lines.clear();
  g_stop_after = 3;
  ASSERT_EQ(KQMINIM("b"), 0);
  EXPECT_EQ(int_attribute(1010), 4);
  EXPECT_EQ(g_log_calls, 3);
  EXPECT_EQ(int_attribute(3001), 2);
  EXPECT_TRUE(printed("LP stopped: time limit, interrupt or solver failure"));
}

// The first solve of a problem stopped in the interior iterations (as the time limit
// stops it) ends stopped with the last interior point as its solution.
TEST_F(BarrierApi, FirstSolveStoppedInTheIterations) {
  ASSERT_EQ(read_problem("sc50a"), 0);
  KQDEFINEBLENTRY(barrier_log);
  g_stop_after = 3;
  ASSERT_EQ(KQMINIM("b"), 0);
  EXPECT_EQ(int_attribute(1010), 4);
  EXPECT_EQ(int_attribute(3005), 0);
  EXPECT_TRUE(printed("LP stopped: time limit, interrupt or solver failure"));
  EXPECT_FALSE(printed("Optimal"));
}

}  // namespace
