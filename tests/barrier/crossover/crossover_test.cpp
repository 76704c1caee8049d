// Crossover from an interior point to a basis: a run asked to stop (the time limit or an
// interrupt) ends stopped wherever the request falls, inside an INVERT or between pushes,
// never as a factorisation failure. A superbasic whose only exchange is on a small pivot
// still ends nonbasic on a bound or basic, never put on a bound by the simplex at the cost
// of the basic values. What it hands over is a basis its values and factor describe.
#include "barrier/crossover/crossover.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "simplex/factor/work_vector.h"
#include "support/dense_lp.h"

namespace kqopt::barrier {
namespace {

// Says stop from its stop_at-th question on (never when stop_at is 0).
class StopAt : public StopPoll {
 public:
  explicit StopAt(std::int64_t stop_at) : stop_at_(stop_at) {}
  bool stop_requested() override {
    ++calls;
    return stop_at_ > 0 && calls >= stop_at_;
  }
  std::int64_t calls = 0;

 private:
  std::int64_t stop_at_;
};

// An LP whose guessed basis is a cyclic bidiagonal matrix of order m: no singletons, so
// INVERT eliminates a nucleus of about m pivots, asking whether to stop every 256 of
// them; m more columns with two random entries each are the superbasics to push. The
// interior point has every column halfway between its bounds and every row a little
// inside its range.
struct InteriorLp {
  WorkingLp lp;
  std::vector<double> x, reduced_cost;

  explicit InteriorLp(std::int32_t m) {
    const auto rows = static_cast<std::size_t>(m), columns = 2 * rows;
    std::mt19937 rng(20);
    std::vector<std::vector<double>> a(rows, std::vector<double>(columns, 0.0));
    std::vector<double> cost(columns);
    for (std::size_t j = 0; j < rows; ++j) {
      a[j][j] = 2.0;
      a[(j + 1) % rows][j] = 1.0;
      cost[j] = 0.1;  // small reduced costs put these columns in the guessed basis
    }
    for (std::size_t j = rows; j < columns; ++j) {
      for (int k = 0; k < 2; ++k) a[rng() % rows][j] = 1.0 + static_cast<double>(rng() % 9);
      cost[j] = 0.5 + static_cast<double>(rng() % 100) / 100.0;
    }
    std::vector<double> activity(rows, 0.0), row_lower(rows), row_upper(rows);
    for (std::size_t i = 0; i < rows; ++i) {
      for (std::size_t j = 0; j < columns; ++j) activity[i] += a[i][j] * 5.0;
      row_lower[i] = activity[i] - 1.0;
      row_upper[i] = activity[i] + 1.0;
    }
    lp = test::make_lp(a, cost, row_lower, row_upper, std::vector<double>(columns, 0.0),
                       std::vector<double>(columns, 10.0));
    x.assign(rows + columns, 5.0);
    reduced_cost.assign(rows + columns, 0.0);
    // Logicals s = -A x; large reduced costs keep them out of the guessed basis.
    for (std::size_t i = 0; i < rows; ++i) {
      x[i] = -activity[i];
      reduced_cost[i] = 100.0;
    }
    for (std::size_t j = 0; j < columns; ++j) reduced_cost[rows + j] = cost[j];
  }
};

CrossoverEnd run(const InteriorLp& p, StopAt& stop, CrossoverStats& stats) {
  SimplexBasis basis;
  Factor factor;
  FactorSettings settings;
  settings.stop = &stop;
  return crossover(p.lp, p.x, p.reduced_cost, basis, factor, settings, stats);
}

TEST(Crossover, AStopEndsStoppedWhereverItFalls) {
  const InteriorLp p(600);
  StopAt never(0);
  CrossoverStats full;
  ASSERT_EQ(run(p, never, full), CrossoverEnd::ok);
  ASSERT_GT(full.primal_pushes, 100);
  const std::int64_t polls = never.calls;
  EXPECT_GT(polls, 100);

  // The first question comes from the first INVERT's nucleus, the later ones from
  // between the pushes and from the INVERTs that follow them.
  for (const std::int64_t stop_at : {std::int64_t{1}, std::int64_t{2}, polls / 2, polls - 1, polls}) {
    StopAt stop(stop_at);
    CrossoverStats stats;
    EXPECT_EQ(run(p, stop, stats), CrossoverEnd::stopped) << "stop at question " << stop_at << " of " << polls;
    EXPECT_EQ(stop.calls, stop_at);
  }
}

// What the simplex takes over: every nonbasic variable exactly on the bound its status
// names, the header and positions agreeing, x_B solving [I A] x = rhs, and the factor
// that of this header (B^-1 a_v is the unit vector of v's position).
TEST(Crossover, HandsOverABasisItsFactorAndValuesDescribe) {
  const InteriorLp p(300);
  SimplexBasis basis;
  Factor factor;
  FactorSettings settings;
  CrossoverStats stats;
  ASSERT_EQ(crossover(p.lp, p.x, p.reduced_cost, basis, factor, settings, stats), CrossoverEnd::ok);
  ASSERT_GT(stats.basis_changes, 0);
  const WorkingLp& lp = p.lp;
  const std::int32_t m = lp.rows;
  std::vector<double> residual(lp.rhs.begin(), lp.rhs.end());
  for (std::int32_t v = 0; v < lp.variables(); ++v) {
    const auto k = static_cast<std::size_t>(v);
    const VariableStatus s = basis.status[k];
    if (s == VariableStatus::basic) {
      ASSERT_GE(basis.position[k], 0) << "variable " << v;
      EXPECT_EQ(basis.header[static_cast<std::size_t>(basis.position[k])], v);
    } else {
      const double bound = s == VariableStatus::at_lower   ? lp.lower[k]
                           : s == VariableStatus::at_upper ? lp.upper[k]
                                                           : 0.0;
      EXPECT_EQ(basis.x[k], bound) << "variable " << v;
    }
    if (v < m) {
      residual[k] -= basis.x[k];
      continue;
    }
    const std::size_t j = k - static_cast<std::size_t>(m);
    for (std::int32_t e = lp.column_start[j]; e < lp.column_start[j + 1]; ++e)
      residual[static_cast<std::size_t>(lp.row_index[static_cast<std::size_t>(e)])] -=
          lp.value[static_cast<std::size_t>(e)] * basis.x[k];
  }
  for (std::int32_t i = 0; i < m; ++i) EXPECT_NEAR(residual[static_cast<std::size_t>(i)], 0.0, 1.0e-8) << "row " << i;
  WorkVector w(m);
  for (std::int32_t pos = 0; pos < m; pos += 37) {
    const std::int32_t v = basis.header[static_cast<std::size_t>(pos)];
    if (v < m) {
      w.set_unit(v, 1.0);
    } else {
      const auto j = static_cast<std::size_t>(v - m);
      const auto b = static_cast<std::size_t>(lp.column_start[j]), e = static_cast<std::size_t>(lp.column_start[j + 1]);
      w.load_sparse({lp.row_index.data() + b, e - b}, {lp.value.data() + b, e - b});
    }
    factor.ftran(w);
    for (std::int32_t q = 0; q < m; ++q) EXPECT_NEAR(w[q], q == pos ? 1.0 : 0.0, 1.0e-9) << "position " << pos;
  }
}

// One equality row x1 + 1e-6 x2 = 5 with x1 boxed within 1e-6 of its interior value:
// x2 can move a unit either way before x1 blocks on the pivot 1e-6, below the pushes'
// first tolerances. Put on a bound by the simplex instead, x2 would drive x1 5e-5 out
// of its box.
TEST(Crossover, ASmallPivotIsTakenRatherThanAnInfeasibleBasic) {
  const double x1 = 5.0 - 50.0e-6;
  const WorkingLp lp =
      test::make_lp({{1.0, 1.0e-6}}, {0.0, 1.0}, {5.0}, {5.0}, {x1 - 1.0e-6, 0.0}, {x1 + 1.0e-6, 100.0});
  const std::vector<double> x = {-5.0, x1, 50.0};
  const std::vector<double> reduced_cost = {0.0, 0.0, 1.0e-3};  // x1 guessed basic
  SimplexBasis basis;
  Factor factor;
  FactorSettings settings;
  CrossoverStats stats;
  ASSERT_EQ(crossover(lp, x, reduced_cost, basis, factor, settings, stats), CrossoverEnd::ok);
  EXPECT_EQ(stats.superbasics, 1);
  for (std::int32_t v = 0; v < lp.variables(); ++v) {
    const auto k = static_cast<std::size_t>(v);
    const double value = basis.x[k];
    if (basis.status[k] == VariableStatus::basic) {
      EXPECT_GE(value, lp.lower[k] - 1.0e-9) << "variable " << v;
      EXPECT_LE(value, lp.upper[k] + 1.0e-9) << "variable " << v;
    } else {
      EXPECT_TRUE(value == lp.lower[k] || value == lp.upper[k]) << "variable " << v << " at " << value;
    }
  }
  EXPECT_EQ(basis.status[2], VariableStatus::basic);
}

}  // namespace
}  // namespace kqopt::barrier
