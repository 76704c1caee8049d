// The closing check of an optimum in the caller's units, on a small problem stored with
// scale exponents far from neutral (rows and columns scaled by up to 2^±20): the check
// recomputes row activities and reduced costs from x and y itself, so a price or a value
// the engine's own books do not show as wrong is caught; and a solve of the badly scaled
// problem ends on a solution that passes it, with the unscaled optimum. A basis handed
// to the check as optimal that is not goes back to the simplex and ends on the optimum;
// tolerances no basis can meet end every method unfinished, never optimal.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "problem/units.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/driver/optimum_check.h"
#include "support/quiet_observer.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

constexpr double kAfiroOptimum = -464.7531428571;

std::filesystem::path scratch_directory() {
  return std::filesystem::temp_directory_path() / ("kqopt-optimum-check-" + std::to_string(::getpid()));
}

// Row i gets the exponent 64 ± up to 20 and column j 64 ± up to 18; the stored values
// are converted so that the problem in the caller's units is unchanged.
int row_exponent_for(std::int32_t i) { return 64 + ((11 * i) % 41) - 20; }
int column_exponent_for(std::int32_t j) { return 64 + ((7 * j) % 37) - 18; }

void scale_badly(Problem& p) {
  auto scale_bound = [](double& v, int shift) {
    if (std::fabs(v) != kInfinity) v = std::ldexp(v, shift);
  };
  for (std::int32_t i = 0; i < p.row_slots(); ++i) {
    const auto ii = static_cast<std::size_t>(i);
    const int shift = 64 - row_exponent_for(i);
    p.rhs[ii] = std::ldexp(p.rhs[ii], shift);
    scale_bound(p.lower[ii], shift);
    scale_bound(p.upper[ii], shift);
    p.status[ii] = status::with_exponent(p.status[ii], row_exponent_for(i));
  }
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    const int c_shift = column_exponent_for(j) - 64;
    p.objective[jj] = std::ldexp(p.objective[jj], -c_shift);
    scale_bound(p.lower[v], c_shift);
    scale_bound(p.upper[v], c_shift);
    for (std::int32_t k = p.by_column.start[jj]; k < p.by_column.start[jj + 1]; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      p.by_column.value[kk] = std::ldexp(p.by_column.value[kk], (64 - row_exponent_for(p.by_column.row[kk])) - c_shift);
    }
    p.status[v] = status::with_exponent(p.status[v], column_exponent_for(j));
  }
  p.by_row.stale = true;
}

class BadlyScaledAfiro : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(scratch_directory());
    const std::string path = std::string(KQOPT_TEST_FILES_DIR) + "/netlib/afiro.mps";
    t_->controls.i(icv::IFSCAL) = 0;  // stored as loaded: the exponents are set below
    ASSERT_EQ(input::input_problem(t_.lib(), path.c_str()), 0);
    set_problem_name(t_.lib(), (scratch_directory() / "afiro").string().c_str());
    t_->controls.i(icv::IFPMSG) = 0;
    scale_badly(*t_->problem);
    ASSERT_EQ(optimise(t_.lib(), DriverMode::kMinimise), 0);
    ASSERT_EQ(*t_->attributes.int_attribute(attr::kLpStatus), 1);
  }
  void TearDown() override { std::filesystem::remove_all(scratch_directory()); }

  CallerUnitsViolation measure() {
    const EngineState& e = *t_->engine;
    return measure_in_caller_units(*t_->problem, e.lp, e.basis, e.pi);
  }
  // A variable of the given kind (logical or structural) the final basis holds basic.
  std::int32_t basic_variable(bool logical) {
    const EngineState& e = *t_->engine;
    for (std::int32_t v = 0; v < e.lp.variables(); ++v) {
      if ((v < e.lp.rows) == logical && e.basis.status[static_cast<std::size_t>(v)] == VariableStatus::basic) return v;
    }
    return -1;
  }

  test::TestLibrary t_;
};

TEST_F(BadlyScaledAfiro, EndsOnTheOptimumWithinTheTolerancesInCallerUnits) {
  EXPECT_NEAR(*t_->attributes.double_attribute(attr::kObjectiveValue), kAfiroOptimum, 1e-9 * -kAfiroOptimum);
  const CallerUnitsViolation v = measure();
  EXPECT_LE(v.primal, 1e-9);
  EXPECT_LE(v.dual, 1e-9);
  EXPECT_LE(v.residual, 1e-9);
}

// A wrong price on a row whose logical is basic: the engine's reduced costs still read
// zero for every basic variable, the recomputed reduced cost of the logical is −y_i.
TEST_F(BadlyScaledAfiro, RecomputesReducedCostsFromThePrices) {
  const std::int32_t i = basic_variable(true);
  ASSERT_GE(i, 0);
  EngineState& e = *t_->engine;
  const double wrong_by = 1e-3;  // in the caller's units
  e.pi[static_cast<std::size_t>(i)] += std::ldexp(wrong_by, row_exponent_for(i) - 64);
  EXPECT_EQ(e.reduced_cost[static_cast<std::size_t>(i)], 0.0);
  const CallerUnitsViolation v = measure();
  EXPECT_GE(v.dual, 0.999 * wrong_by);
  EXPECT_LE(v.primal, 1e-9);
}

// A wrong basic value of a column: the engine's slacks are unchanged, the activities of
// the column's rows are not, and each row's residual is |a_ij| times the error.
TEST_F(BadlyScaledAfiro, RecomputesRowActivitiesFromTheValues) {
  const std::int32_t v = basic_variable(false);
  ASSERT_GE(v, 0);
  EngineState& e = *t_->engine;
  const std::int32_t j = v - e.lp.rows;
  const double wrong_by = 1e-4;  // in the caller's units
  e.basis.x[static_cast<std::size_t>(v)] += std::ldexp(wrong_by, column_exponent_for(j) - 64);
  double largest = 0.0;
  for (std::int32_t k = e.lp.column_start[static_cast<std::size_t>(j)];
       k < e.lp.column_start[static_cast<std::size_t>(j) + 1]; ++k) {
    const std::int32_t row = e.lp.row_index[static_cast<std::size_t>(k)];
    const double a = std::ldexp(e.lp.value[static_cast<std::size_t>(k)],
                                (row_exponent_for(row) - 64) + (column_exponent_for(j) - 64));
    largest = std::max(largest, std::fabs(a));
  }
  ASSERT_GT(largest, 0.0);
  const CallerUnitsViolation m = measure();
  EXPECT_NEAR(m.residual, largest * wrong_by, 1e-6 * largest * wrong_by);
}

using test::QuietObserver;

class Afiro : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(scratch_directory());
    const std::string path = std::string(KQOPT_TEST_FILES_DIR) + "/netlib/afiro.mps";
    ASSERT_EQ(input::input_problem(t_.lib(), path.c_str()), 0);
    set_problem_name(t_.lib(), (scratch_directory() / "afiro").string().c_str());
  }
  void TearDown() override { std::filesystem::remove_all(scratch_directory()); }
  std::int32_t minimise(const char* letters) {
    t_->options = {};
    for (const char* c = letters; *c != '\0'; ++c) t_->options[static_cast<std::size_t>(*c - 'a')] = true;
    const std::int32_t rc = optimise(t_.lib(), DriverMode::kMinimise);
    t_->options = {};
    return rc;
  }
  std::int32_t status() { return *t_->attributes.int_attribute(attr::kLpStatus); }

  test::TestLibrary t_;
};

// The all-logical basis of afiro is feasible but 11 iterations from the optimum: handed to
// the check as an optimum, it is sent back to the simplex, which ends on the optimum.
TEST_F(Afiro, ABasisThatIsNotOptimalGoesBackToTheSimplex) {
  ASSERT_EQ(minimise(""), 0);
  ASSERT_EQ(status(), 1);
  EngineState& e = *t_->engine;
  e.basis.set_all_logical(e.lp);
  std::int32_t& iterations = *t_->attributes.int_attribute(attr::kIterations);
  const std::int32_t before = iterations;
  PrimalResult result;
  result.outcome = LpOutcome::optimal;
  QuietObserver observer;
  ASSERT_TRUE(confirm_optimum_in_caller_units(t_.lib(), *t_->problem, e, primal_settings(t_.lib()), observer, result));
  EXPECT_EQ(result.outcome, LpOutcome::optimal);
  EXPECT_GT(iterations, before);
  const double sense = *t_->attributes.double_attribute(attr::kSenseMultiplier);
  EXPECT_NEAR(result.objective / sense, kAfiroOptimum, 1e-9 * -kAfiroOptimum);
  const CallerUnitsViolation v = measure_in_caller_units(*t_->problem, e.lp, e.basis, e.pi);
  EXPECT_LE(v.primal, 1e-9);
  EXPECT_LE(v.dual, 1e-9);
}

// Tolerances far below the rounding of any solution: the check and its clean-up runs
// cannot pass a basis, and the solve ends unfinished (LP status 4, message 87) whichever
// method found the optimum; the clean-up runs are bounded.
TEST_F(Afiro, TolerancesNoBasisCanMeetAreNeverReportedOptimal) {
  for (const char* method : {"", "d", "b"}) {
    SCOPED_TRACE(method);
    t_->controls.d(dcv::ZTOLZE) = 1e-20;
    t_->controls.d(dcv::ZTCOST) = 1e-20;
    t_->controls.i(icv::IFNBAS) = 0;
    t_.clear_lines();
    ASSERT_EQ(minimise(method), 0);
    EXPECT_EQ(status(), 4);
    EXPECT_TRUE(t_.printed("LP stopped"));
  }
}

}  // namespace
}  // namespace kqopt
