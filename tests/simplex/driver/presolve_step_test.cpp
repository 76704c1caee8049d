// The driver's presolve gate and clean-up: a default solve presolves, postsolves onto the
// problem as loaded and cleans up without iterations; IPSLCT = 0 and IPRICE = 0 solve the
// problem as loaded; a problem presolve proves infeasible ends with LP status 2, no
// simplex iteration and no closing message.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/lp_driver.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

class PresolveStep : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-presolve-step-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }
  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

constexpr double kAfiroOptimum = -464.7531428571;

void load_afiro(test::TestLibrary& t) {
  const std::string path = std::string(KQOPT_TEST_FILES_DIR) + "/netlib/afiro.mps";
  ASSERT_EQ(input::input_problem(t.lib(), path.c_str()), 0);
  set_problem_name(t.lib(), "afiro");
}

TEST_F(PresolveStep, DefaultSolvePresolvesAndCleansUpWithoutIterations) {
  test::TestLibrary t;
  load_afiro(t);
  EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  const EngineState& engine = engine_of(t.lib());
  EXPECT_TRUE(engine.presolved);
  EXPECT_GT(engine.presolve_rows_removed, 0);
  EXPECT_EQ(engine.cleanup_iterations, 0);
  EXPECT_TRUE(t.printed("Undoing presolve"));
  EXPECT_EQ(*t->attributes.int_attribute(attr::kLpStatus), 1);
  EXPECT_NEAR(*t->attributes.double_attribute(attr::kObjectiveValue), kAfiroOptimum, 1e-6);
  // The basis left is one of the problem as loaded: a second solve starts from it and
  // neither presolves nor iterates.
  EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  EXPECT_FALSE(engine_of(t.lib()).presolved);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kIterations), 0);
}

TEST_F(PresolveStep, ZeroSelectionOrPlainPricingSolvesAsLoaded) {
  for (int control : {icv::IPSLCT, icv::IPRICE}) {
    test::TestLibrary t;
    load_afiro(t);
    t->controls.i(control) = 0;
    EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
    EXPECT_FALSE(engine_of(t.lib()).presolved) << control;
    EXPECT_FALSE(t.printed("Undoing presolve")) << control;
    EXPECT_NEAR(*t->attributes.double_attribute(attr::kObjectiveValue), kAfiroOptimum, 1e-6) << control;
  }
}

TEST_F(PresolveStep, ProvedInfeasibleWithoutIterationOrClosingMessage) {
  // x >= 5 and x <= 3, each a singleton row.
  std::ofstream("crossing.mps") << "NAME          CROSSING\n"
                                   "ROWS\n"
                                   " N  COST\n"
                                   " G  R1\n"
                                   " L  R2\n"
                                   "COLUMNS\n"
                                   "    X         COST            1.0\n"
                                   "    X         R1              1.0\n"
                                   "    X         R2              1.0\n"
                                   "RHS\n"
                                   "    RHS       R1              5.0\n"
                                   "    RHS       R2              3.0\n"
                                   "ENDATA\n";
  test::TestLibrary t;
  ASSERT_EQ(input::input_problem(t.lib(), "crossing.mps"), 0) << (t.texts().empty() ? "" : t.texts().back());
  t.clear_lines();
  EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kLpStatus), 2);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kIterations), 0);
  EXPECT_FALSE(t.printed("nfeasible"));
  // Without presolve the simplex finds the same and says so.
  t->controls.i(icv::IPSLCT) = 0;
  t->controls.i(icv::IFNBAS) = 0;
  EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kLpStatus), 2);
}

}  // namespace
}  // namespace kqopt
