// The shared primal ratio test on literal columns: three basic logicals in positions
// 0..2 and an entering structural (variable 3), with the answers worked by hand.
#include <vector>

#include <gtest/gtest.h>

#include "library/control_table.h"
#include "simplex/primal/primal_step.h"

namespace kqopt {
namespace {

constexpr double kInf = kInfinity;

struct RatioCase {
  const char* what;
  std::vector<double> alpha;  // by position
  std::vector<double> x;      // basic values by position
  std::vector<double> lower;  // of the basic variables
  std::vector<double> upper;
  double entering_lower;
  double entering_upper;
  int direction;
  bool lenient;
  StepKind kind;
  std::int32_t position;
  double theta;
  bool leaves_at_upper;
  bool shift_bound;
};

const std::vector<RatioCase> kCases = {
    {"smallest ratio leaves",
     {1, 2, 0},
     {4, 4, 1},
     {0, 0, 0},
     {kInf, kInf, kInf},
     0,
     kInf,
     1,
     false,
     StepKind::pivot,
     1,
     2.0,
     false,
     false},
    // Exact ratios 2.0000005 (alpha 3) and 2 (alpha 1) both lie within the relaxed
    // step: the larger pivot is taken.
    {"larger pivot among near ties",
     {3, 1, 0},
     {6.0000015, 2, 1},
     {0, 0, 0},
     {kInf, kInf, kInf},
     0,
     kInf,
     1,
     false,
     StepKind::pivot,
     0,
     2.0000005,
     false,
     false},
    {"own bound first",
     {1, 0, 0},
     {4, 1, 1},
     {0, 0, 0},
     {kInf, kInf, kInf},
     0,
     1,
     1,
     false,
     StepKind::flip,
     -1,
     1.0,
     false,
     false},
    {"nothing limits",
     {-1, 0, 2},
     {4, 1, 1},
     {0, 0, -kInf},
     {kInf, kInf, kInf},
     0,
     kInf,
     1,
     false,
     StepKind::unbounded,
     -1,
     0.0,
     false,
     false},
    {"pivot too small",
     {1e-7, 1, 0},
     {0, 100, 1},
     {0, 0, 0},
     {kInf, kInf, kInf},
     0,
     kInf,
     1,
     false,
     StepKind::rejected,
     -1,
     0.0,
     false,
     false},
    {"pivot too small, lenient",
     {1e-7, 1, 0},
     {0, 100, 1},
     {0, 0, 0},
     {kInf, kInf, kInf},
     0,
     kInf,
     1,
     true,
     StepKind::pivot,
     0,
     0.0,
     false,
     false},
    {"downward entering, basic to its upper bound",
     {1, 0, 0},
     {3, 1, 1},
     {0, 0, 0},
     {5, kInf, kInf},
     0,
     10,
     -1,
     false,
     StepKind::pivot,
     0,
     2.0,
     true,
     false},
    {"infeasible basic stops at the bound it violates",
     {-1, 1, 0},
     {-3, 5, 1},
     {0, 0, 0},
     {kInf, kInf, kInf},
     0,
     kInf,
     1,
     false,
     StepKind::pivot,
     0,
     3.0,
     false,
     false},
    {"infeasible basic moving away does not limit",
     {1, 1, 0},
     {-3, 5, 1},
     {0, 0, 0},
     {kInf, kInf, kInf},
     0,
     kInf,
     1,
     false,
     StepKind::pivot,
     1,
     5.0,
     false,
     false},
    {"slightly outside its bound: zero step and a shift",
     {1, 0, 0},
     {-5e-7, 1, 1},
     {0, 0, 0},
     {kInf, kInf, kInf},
     0,
     kInf,
     1,
     false,
     StepKind::pivot,
     0,
     0.0,
     false,
     true},
    {"entries below ZTOLPV are ignored",
     {1e-10, 0, 0},
     {0, 1, 1},
     {0, 0, 0},
     {kInf, kInf, kInf},
     0,
     kInf,
     1,
     false,
     StepKind::unbounded,
     -1,
     0.0,
     false,
     false},
};

TEST(PrimalRatioTest, LiteralColumns) {
  RatioTestWork shared;  // one scratch through all the cases, as a run keeps it
  for (const RatioCase& c : kCases) {
    SCOPED_TRACE(c.what);
    SimplexBasis basis;
    basis.header = {0, 1, 2};
    basis.status = {VariableStatus::basic, VariableStatus::basic, VariableStatus::basic,
                    c.direction > 0 ? VariableStatus::at_lower : VariableStatus::at_upper};
    basis.x = {c.x[0], c.x[1], c.x[2], c.direction > 0 ? c.entering_lower : c.entering_upper};
    basis.index_positions(4);
    std::vector<double> lower = c.lower, upper = c.upper;
    lower.push_back(c.entering_lower);
    upper.push_back(c.entering_upper);
    WorkVector alpha(3);
    alpha.load_dense(c.alpha);
    RatioTestSettings settings;
    settings.lenient = c.lenient;

    const Step step = primal_ratio_test(basis, lower, upper, alpha, 3, c.direction, settings);
    EXPECT_EQ(step.kind, c.kind);
    if (c.kind == StepKind::pivot) {
      EXPECT_EQ(step.position, c.position);
      EXPECT_NEAR(step.theta, c.theta, 1e-12);
      EXPECT_EQ(step.leaves_at_upper, c.leaves_at_upper);
      EXPECT_EQ(step.shift_bound, c.shift_bound);
    }
    if (c.kind == StepKind::flip) {
      EXPECT_EQ(step.theta, c.theta);
    }

    // The same column given sparse gives the same answer.
    WorkVector listed(3);
    std::vector<std::int32_t> index;
    std::vector<double> value;
    for (std::int32_t p = 0; p < 3; ++p) {
      if (c.alpha[static_cast<std::size_t>(p)] != 0.0) {
        index.push_back(p);
        value.push_back(c.alpha[static_cast<std::size_t>(p)]);
      }
    }
    listed.load_sparse(index, value);
    const Step again = primal_ratio_test(basis, lower, upper, listed, 3, c.direction, settings);
    EXPECT_EQ(again.kind, step.kind);
    EXPECT_EQ(again.position, step.position);
    EXPECT_EQ(again.theta, step.theta);

    // Nor does the scratch left by the cases before.
    const Step reused = primal_ratio_test(basis, lower, upper, listed, 3, c.direction, settings, shared);
    EXPECT_EQ(reused.kind, step.kind);
    EXPECT_EQ(reused.position, step.position);
    EXPECT_EQ(reused.theta, step.theta);
    EXPECT_EQ(reused.leaves_at_upper, step.leaves_at_upper);
    EXPECT_EQ(reused.shift_bound, step.shift_bound);
  }
}

TEST(PrimalStep, MovesAndFlips) {
  SimplexBasis basis;
  basis.header = {0, 2};
  basis.status = {VariableStatus::basic, VariableStatus::at_lower, VariableStatus::basic, VariableStatus::at_lower};
  basis.x = {4.0, 0.0, 1.0, 0.0};
  basis.index_positions(4);
  WorkVector alpha(2);
  alpha.load_dense(std::vector<double>{1.0, -2.0});
  move_basic_values(basis, alpha, -1, 0.5);  // x_B - (-1)(0.5) alpha
  EXPECT_EQ(basis.x[0], 4.5);
  EXPECT_EQ(basis.x[2], 0.0);
  const std::vector<double> lower = {0, 0, 0, -1}, upper = {kInf, 3, kInf, 2};
  flip_to_other_bound(basis, lower, upper, 3);
  EXPECT_EQ(basis.status[3], VariableStatus::at_upper);
  EXPECT_EQ(basis.x[3], 2.0);
  flip_to_other_bound(basis, lower, upper, 3);
  EXPECT_EQ(basis.status[3], VariableStatus::at_lower);
  EXPECT_EQ(basis.x[3], -1.0);
}

}  // namespace
}  // namespace kqopt
