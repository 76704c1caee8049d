// The dual simplex behind the LP driver: the method choice, the hand-over to the
// primal at the progress mark (message 150), and the re-solve mode with its cutoff.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "library/lifecycle.h"
#include "problem/problem_fixtures.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/lp_driver.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

using test::LpArrays;

LpArrays dense(const std::vector<char>& types, const std::vector<std::vector<double>>& rows,
               const std::vector<double>& rhs, const std::vector<double>& cost) {
  LpArrays a;
  a.name = "dual";
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
  a.lower.assign(cost.size(), 0.0);
  a.upper.assign(cost.size(), 1.0e30);
  return a;
}

class DualDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-dual-driver-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(scratch_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }
  std::int32_t minimise(const char* letters) {
    t_->options = {};
    for (const char* c = letters; *c != '\0'; ++c) t_->options[static_cast<std::size_t>(*c - 'a')] = true;
    const std::int32_t rc = optimise(t_.lib(), DriverMode::kMinimise);
    t_->options = {};
    return rc;
  }
  std::int32_t status() { return *t_->attributes.int_attribute(attr::kLpStatus); }
  std::int32_t iterations() { return *t_->attributes.int_attribute(attr::kIterations); }
  double objective() { return *t_->attributes.double_attribute(attr::kObjectiveValue); }
  // Whether some log line of the run carries mode character c.
  bool logged_mode(const std::string& c) {
    for (const std::string& line : t_.texts()) {
      if (line.find(" " + c + " ") != std::string::npos) return true;
    }
    return false;
  }

  std::filesystem::path scratch_;
  std::filesystem::path previous_;
  test::TestLibrary t_;
};

// Three covering rows, no objective: every dual step is degenerate.
LpArrays covering() { return dense({'G', 'G', 'G'}, {{1, 1, 0}, {0, 1, 1}, {1, 0, 1}}, {1, 1, 1}, {0, 0, 0}); }

// A transportation-like LP whose optimal basis has basic structurals.
LpArrays transport() {
  return dense({'L', 'L', 'G', 'G', 'G'},
               {{1, 1, 1, 0, 0, 0}, {0, 0, 0, 1, 1, 1}, {1, 0, 0, 1, 0, 0}, {0, 1, 0, 0, 1, 0}, {0, 0, 1, 0, 0, 1}},
               {20, 30, 10, 25, 15}, {4, 6, 9, 5, 3, 8});
}

TEST_F(DualDriver, LetterDAndIalgOneRunTheDual) {
  t_->controls.i(icv::ITRLOG) = 1;
  ASSERT_EQ(test::load(t_.lib(), transport()), 0);
  ASSERT_EQ(minimise("d"), 0);
  EXPECT_EQ(status(), 1);
  EXPECT_TRUE(logged_mode("D"));
  EXPECT_FALSE(logged_mode("P"));
  const double dual_objective = objective();

  ASSERT_EQ(test::load(t_.lib(), transport()), 0);
  t_.clear_lines();
  ASSERT_EQ(minimise(""), 0);
  EXPECT_EQ(status(), 1);
  EXPECT_TRUE(logged_mode("P"));
  EXPECT_NEAR(objective(), dual_objective, 1e-9);

  ASSERT_EQ(test::load(t_.lib(), transport()), 0);
  t_.clear_lines();
  t_->controls.i(icv::IALG) = 1;
  ASSERT_EQ(minimise(""), 0);
  EXPECT_TRUE(logged_mode("D"));
  EXPECT_NEAR(objective(), dual_objective, 1e-9);
}

TEST_F(DualDriver, ItchOneHandsOverToThePrimalWithMessage150) {
  t_->controls.i(icv::IFMSG) = 1;
  t_->controls.i(icv::ITCH) = 1;
  t_->controls.icv_access[icv::ITCH] = 1;  // set by the user
  // Without costs the prices are pinned at 0, a column goes as weakly dominated and
  // presolve would solve the rest alone.
  t_->controls.i(icv::IPSLCT) = 0;
  ASSERT_EQ(test::load(t_.lib(), covering()), 0);
  ASSERT_EQ(minimise("d"), 0);
  EXPECT_TRUE(t_.printed("Dual simplex making little progress"));
  EXPECT_EQ(status(), 1);
  EXPECT_NEAR(objective(), 0.0, 1e-12);
}

TEST_F(DualDriver, InfeasibleAndUnboundedLps) {
  // Presolve would prove the parallel rows infeasible before the dual runs.
  t_->controls.i(icv::IPSLCT) = 0;
  ASSERT_EQ(test::load(t_.lib(), dense({'G', 'L'}, {{1, 1}, {1, 1}}, {4, 2}, {1, 1})), 0);
  ASSERT_EQ(minimise("d"), 0);
  EXPECT_EQ(status(), 2);
  EXPECT_TRUE(t_.printed("infeasible") || t_.printed("Infeasible"));

  ASSERT_EQ(test::load(t_.lib(), dense({'L'}, {{1, -1}}, {1}, {-1, 0})), 0);
  ASSERT_EQ(minimise("d"), 0);
  EXPECT_EQ(status(), 5);
}

// Re-solve: after an optimal solve, the upper bound of a basic column is cut below its
// value; the re-solve from the kept basis needs few iterations and reaches the cold
// optimum; with the cutoff below that optimum it stops with LP status 6.
TEST_F(DualDriver, ResolveAfterABoundChangeAndCutoff) {
  ASSERT_EQ(test::load(t_.lib(), transport()), 0);
  t_->controls.i(icv::IFPMSG) = 0;
  ASSERT_EQ(minimise("d"), 0);
  ASSERT_EQ(status(), 1);
  Problem& p = *t_->problem;
  // A basic column with a value above 1 (no scaling: the engine's units are the caller's).
  const SimplexBasis& basis = engine_of(t_.lib()).basis;
  std::int32_t column = -1;
  double value = 0.0;
  for (std::int32_t j = 0; j < p.columns && column < 0; ++j) {
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    if ((p.status[v] & status::kBasic) == 0 || basis.x[v] <= 1.0) continue;
    column = j;
    value = basis.x[v];
  }
  ASSERT_GE(column, 0);
  const auto v = static_cast<std::size_t>(p.column_variable(column));
  ASSERT_GT(value, 1.0);
  p.upper[v] = std::floor(value / 2.0);

  // The search sets the cutoff to infinity before its first node.
  t_->controls.d(dcv::CUTOFF) = 1.0e30;
  const std::int32_t before = iterations();
  ASSERT_EQ(run_lp_driver(t_.lib(), DriverMode::kResolve), 0);
  EXPECT_EQ(status(), 1);
  EXPECT_LE(iterations() - before, 4);
  const double warm = objective();

  // Cold solve of the changed LP.
  LpArrays changed = transport();
  changed.upper[static_cast<std::size_t>(column)] = std::floor(value / 2.0);
  ASSERT_EQ(test::load(t_.lib(), changed), 0);
  ASSERT_EQ(minimise("d"), 0);
  ASSERT_EQ(status(), 1);
  EXPECT_NEAR(warm, objective(), 1e-9);

  // The cutoff below the optimum of the changed LP: the re-solve stops with 'D'.
  ASSERT_EQ(test::load(t_.lib(), transport()), 0);
  ASSERT_EQ(minimise("d"), 0);
  t_->problem->upper[v] = std::floor(value / 2.0);
  t_->controls.d(dcv::CUTOFF) = warm - 1.0;
  ASSERT_EQ(run_lp_driver(t_.lib(), DriverMode::kResolve), 0);
  EXPECT_EQ(status(), 6);
}

}  // namespace
}  // namespace kqopt
