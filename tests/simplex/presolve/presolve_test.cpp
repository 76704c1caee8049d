// Presolve and postsolve on small LPs built to trigger one reduction each, and on random
// LPs with all of them: the reduction is made, the smaller LP solves to the optimum of
// the loaded one, and postsolve rebuilds an optimal basis of the loaded LP (values within
// bounds, rows satisfied, reduced costs of the right sign) from which the primal simplex
// makes no iteration.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "problem/infinity.h"
#include "simplex/presolve/presolve.h"
#include "simplex/primal/primal_simplex.h"
#include "support/dense_lp.h"
#include "support/quiet_observer.h"

namespace kqopt {
namespace {

constexpr double kInf = kInfinity;

using test::QuietObserver;

using test::make_lp;

struct Solved {
  PrimalResult result;
  SimplexBasis basis;
  std::vector<double> pi;
  std::vector<double> d;
};

Solved solve_from(const WorkingLp& lp, SimplexBasis basis) {
  Solved s;
  s.basis = std::move(basis);
  PrimalSettings settings;
  Factor factor;
  QuietObserver observer;
  factor.start_run(settings.factor);
  s.result = primal_simplex(lp, s.basis, factor, settings, observer);
  if (factor.valid()) compute_duals(lp, s.basis, factor, s.pi, s.d);
  return s;
}

Solved solve(const WorkingLp& lp) {
  SimplexBasis basis;
  basis.set_all_logical(lp);
  return solve_from(lp, std::move(basis));
}

bool has(const Presolved& p, ReductionKind kind) {
  for (const Reduction& r : p.stack) {
    if (r.kind == kind) return true;
  }
  return false;
}

struct Roundtrip {
  Presolved presolved;
  std::int64_t cleanup_iterations = -1;
};

// Presolves, solves the smaller LP, postsolves and checks the rebuilt solution on lp.
Roundtrip roundtrip(const WorkingLp& lp, std::uint32_t select, const char* label, std::int32_t extra_elements = 0) {
  Roundtrip out;
  const Solved direct = solve(lp);
  EXPECT_EQ(direct.result.outcome, LpOutcome::optimal) << label;
  PresolveSettings settings;
  settings.select = select | presolve_bit::kNoEntities;
  settings.extra_elements = extra_elements;
  out.presolved = presolve_lp(lp, {}, settings);
  const Presolved& p = out.presolved;
  EXPECT_EQ(p.outcome, PresolveOutcome::reduced) << label;
  if (p.outcome != PresolveOutcome::reduced) return out;
  const Solved reduced = solve(p.lp);
  EXPECT_EQ(reduced.result.outcome, LpOutcome::optimal) << label;
  SimplexBasis full;
  std::vector<double> pi;
  std::vector<double> d;
  postsolve_lp(lp, p, reduced.basis, reduced.pi, reduced.d, full, pi, d);
  EXPECT_EQ(static_cast<std::int32_t>(full.header.size()), lp.rows) << label;
  // Values: within bounds, every row satisfied, the objective of the direct solve.
  double objective = 0.0;
  for (std::int32_t v = 0; v < lp.variables(); ++v) {
    const auto vv = static_cast<std::size_t>(v);
    EXPECT_GE(full.x[vv], lp.lower[vv] - 1e-9) << label << " variable " << v;
    EXPECT_LE(full.x[vv], lp.upper[vv] + 1e-9) << label << " variable " << v;
    objective += lp.cost[vv] * full.x[vv];
    // Complementary slackness: the reduced cost of a nonbasic variable has the sign of
    // its bound, a basic one's is zero.
    const bool movable = lp.lower[vv] < lp.upper[vv];
    if (full.status[vv] == VariableStatus::basic) {
      EXPECT_NEAR(d[vv], 0.0, 1e-9) << label << " variable " << v;
    }
    if (full.status[vv] == VariableStatus::at_lower && movable) {
      EXPECT_GE(d[vv], -1e-9) << label << " variable " << v;
    }
    if (full.status[vv] == VariableStatus::at_upper && movable) {
      EXPECT_LE(d[vv], 1e-9) << label << " variable " << v;
    }
    if (full.status[vv] != VariableStatus::basic && full.status[vv] != VariableStatus::at_zero) {
      const double bound = full.status[vv] == VariableStatus::at_upper ? lp.upper[vv] : lp.lower[vv];
      EXPECT_NEAR(full.x[vv], bound, 1e-9) << label << " variable " << v;
    }
  }
  for (std::int32_t i = 0; i < lp.rows; ++i) {
    double activity = full.x[static_cast<std::size_t>(i)];
    for (std::int32_t q = lp.row_start[i]; q < lp.row_start[i + 1]; ++q) {
      activity += lp.row_value[q] * full.x[static_cast<std::size_t>(lp.rows + lp.column_index[q])];
    }
    EXPECT_NEAR(activity, lp.rhs[static_cast<std::size_t>(i)], 1e-9) << label << " row " << i;
  }
  EXPECT_NEAR(objective, direct.result.objective, 1e-9 * (1.0 + std::fabs(objective))) << label;
  // The rebuilt basis is optimal: the primal simplex started from it makes no iteration
  // and keeps the values.
  full.index_positions(lp.variables());
  const std::vector<double> values = full.x;
  const Solved cleanup = solve_from(lp, full);
  EXPECT_EQ(cleanup.result.outcome, LpOutcome::optimal) << label;
  out.cleanup_iterations = cleanup.result.iterations;
  EXPECT_EQ(cleanup.result.iterations, 0) << label;
  for (std::int32_t v = 0; v < lp.variables(); ++v) {
    EXPECT_NEAR(cleanup.basis.x[static_cast<std::size_t>(v)], values[static_cast<std::size_t>(v)], 1e-9)
        << label << " variable " << v;
  }
  return out;
}

struct Case {
  const char* name;
  std::uint32_t select;
  ReductionKind kind;
  std::int32_t rows_removed;
  std::int32_t columns_removed;
  WorkingLp lp;
};

TEST(Presolve, EachReductionIsUndoneIntoAnOptimalBasis) {
  const Case cases[] = {
      // Row 1 has no entry; column 2 no entry (cost > 0: at its lower bound 1); column 1
      // fixed at 2 by its bounds.
      {"empty row, empty and fixed columns", presolve_bit::kEmptyAndFixed, ReductionKind::fixed_column, 1, 2,
       make_lp({{1, 1, 0}, {0, 0, 0}}, {-1, 3, 2}, {-kInf, -1}, {5, 1}, {0, 2, 1}, {10, 2, 4})},
      // x0 + x1 <= 4 with x0 >= 3 coming only from the singleton row 3 x0 >= 9: the row
      // binds, so postsolve makes x0 basic and the row's logical nonbasic.
      {"singleton row binding", presolve_bit::kSingletonRows, ReductionKind::singleton_row, 1, 0,
       make_lp({{1, 1}, {3, 0}}, {1, -1}, {-kInf, 9}, {4, kInf}, {0, 0}, {10, 10})},
      // Row 1 can never be violated by points within the column bounds.
      {"redundant row", presolve_bit::kPrimal, ReductionKind::free_row, 1, 0,
       make_lp({{1, 1}, {1, 1}}, {-1, -2}, {-kInf, -kInf}, {3, 100}, {0, 0}, {2, 2})},
      // x0 + x1 >= 4 with both at most 2: forces both to 2; the cost asks x1 to go
      // down, so the row gets a price and a column turns basic.
      {"forcing row", presolve_bit::kPrimal, ReductionKind::forcing_row, 1, 2,
       make_lp({{1, 1, 0}, {1, 0, 1}}, {-1, 3, -1}, {4, -kInf}, {kInf, 5}, {0, 0, 0}, {2, 2, 10})},
      // x1 has cost > 0 and only <= rows with positive entries: it goes to its lower bound.
      {"column fixed by its cost", presolve_bit::kDual, ReductionKind::fixed_column, 0, 1,
       make_lp({{1, 1}, {1, 2}}, {-1, 1}, {-kInf, -kInf}, {4, 6}, {0, 1}, {kInf, 5})},
      // x0 + x1 <= 4 implies x0 <= 4, over which x0 - x1 <= 5 cannot be violated: row 1
      // goes, and comes back with its logical basic and no price.
      {"row redundant over a bound another row implies", presolve_bit::kPrimal, ReductionKind::free_row, 1, 0,
       make_lp({{1, 1}, {1, -1}}, {-1, -2}, {-kInf, -kInf}, {4, 5}, {0, 0}, {10, 10})},
      // x0 (cost 1, no upper bound) alone in x0 + x1 >= 3 bounds y0 <= 1; the <= row 1
      // has y1 <= 0. x2 (no cost, only in row 1) goes by its cost sign; x1's reduced
      // cost 1 - y0 - y1 is at least 0 over these: weakly dominated (it ties with x0),
      // it goes to its lower bound.
      {"weakly dominated columns", presolve_bit::kDual, ReductionKind::fixed_column, 0, 2,
       make_lp({{1, 1, 0}, {0, 1, 1}}, {1, 1, 0}, {3, -kInf}, {kInf, 4}, {0, 0, 0}, {kInf, 5, 10})},
      // x0 in [0, 100] alone in the equation x0 + x1 = 3 cannot reach 100: its upper
      // bound counts as absent, so y0 <= 1, and x1 (cost 2, also in the <= row 1) has a
      // reduced cost of at least 1: it sits at its lower bound in every optimum.
      {"column dominated over a bound its row implies", presolve_bit::kDual | presolve_bit::kPrimal,
       ReductionKind::fixed_column, 0, 1,
       make_lp({{1, 1, 0}, {0, 1, 1}}, {1, 2, -1}, {3, -kInf}, {3, 4}, {0, 0, 0}, {100, 5, 10})},
      // x2 (cost 1, no upper bound) alone in the equation x0 + x2 = 5 bounds its price by
      // 1; row 1 (<=) has a price <= 0: x0's reduced cost is at least 2 - 1 - 0 > 0, so x0
      // sits at its lower bound in every optimum.
      {"column dominated over the price bounds", presolve_bit::kDual, ReductionKind::fixed_column, 0, 1,
       make_lp({{1, 0, 1}, {1, 1, 0}}, {2, -1, 1}, {5, -kInf}, {5, 8}, {0, 0, 0}, {10, 10, kInf})},
      // x0 (cost 1, no lower bound) alone in row 0 asks its price to be at least 1: the
      // row x0 + x1 + x2 >= 3 binds in every optimum and becomes an equation, undone with
      // its logical at the lower limit; x2 (cost -1, no row stops it rising) sits at 10.
      {"inequality made an equation by its price", presolve_bit::kDual, ReductionKind::row_to_equation, 0, 1,
       make_lp({{1, 1, 1}, {0, 1, -1}}, {1, 2, -1}, {3, -kInf}, {kInf, 4}, {-kInf, 0, 0}, {10, 10, 10})},
      // The same bound through two rows: x0 in both asks y0 + y1 >= 1, and the <= row 1
      // has y1 <= 0, so y0 >= 1.
      {"inequality made an equation, price bound through two rows", presolve_bit::kDual, ReductionKind::row_to_equation,
       0, 1, make_lp({{1, 1, 1}, {1, 1, -1}}, {1, 2, -1}, {3, -kInf}, {kInf, 4}, {-kInf, 0, 0}, {10, 10, 10})},
      // Free x2 alone in row 0 (an inequality): the row and the column go, the logical of
      // row 0 sits on the bound its induced cost asks for.
      {"free column singleton", presolve_bit::kColumnSingletons, ReductionKind::column_singleton, 1, 1,
       make_lp({{1, 1, 1}, {1, -1, 0}}, {-1, -2, 1}, {2, -1}, {kInf, 1}, {0, 0, -kInf}, {5, 5, kInf})},
      // x2 in [0, 100] alone in the equation x0 + x1 + x2 = 10 with x0, x1 in [0, 3]: its
      // bounds follow from the row.
      {"implied-free column singleton", presolve_bit::kColumnSingletons, ReductionKind::column_singleton, 1, 1,
       make_lp({{1, 1, 1}, {1, -1, 0}}, {-1, 2, 0.5}, {10, -1}, {10, 1}, {0, 0, 0}, {3, 3, 100})},
      // x2 in [0, 10] within [0, 6] by the equation x0 + x1 + x2 = 6 (x0, x1 in [0, 3]):
      // substituted out of row 1 (x2 - x3 <= 2 becomes -x0 - x1 - x3 <= -4).
      {"implied-free column substituted out", presolve_bit::kColumnSingletons, ReductionKind::substitution, 1, 1,
       make_lp({{1, 1, 1, 0}, {0, 0, 1, -1}, {1, -1, 0, 0}}, {-1, -2, 1, 0.5}, {6, -kInf, -kInf}, {6, 2, 1},
               {0, 0, 0, 0}, {3, 3, 10, 5})},
      // Free x8 in two rows, one an equation of nine entries: too long for any
      // substitution, but one whose fill (8 entries) stays within twice what it removes.
      {"implied-free column substituted out by a long equation", presolve_bit::kColumnSingletons,
       ReductionKind::substitution, 1, 1,
       make_lp({{1, 1, 1, 1, 1, 1, 1, 1, 1, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 1, -1}},
               {-1, -2, -3, -0.5, -4, 0, 1, -2.5, 1, -1}, {6, -kInf}, {6, 2}, {0, 0, 0, 0, 0, 0, 0, 0, -kInf, 0},
               {1, 1, 1, 1, 1, 1, 1, 1, kInf, 5})},
      // x0 + x2 = 4 with x2 in [0, 3] in no other row: x2 goes, x0 >= 1 from it binds,
      // so postsolve makes x0 basic and x2 nonbasic at its upper bound.
      {"doubleton equation, the moved bound binds", presolve_bit::kDoubletons, ReductionKind::doubleton, 1, 1,
       make_lp({{1, 0, 1}, {1, 1, 0}}, {1, -1, 0.5}, {4, -kInf}, {4, 10}, {0, 0, 0}, {10, 5, 3})},
      // The same with x0's own lower bound 2 the binding one.
      {"doubleton equation, its own bound binds", presolve_bit::kDoubletons, ReductionKind::doubleton, 1, 1,
       make_lp({{1, 0, 1}, {1, 1, 0}}, {1, -1, 0.5}, {4, -kInf}, {4, 10}, {2, 0, 0}, {10, 5, 3})},
      // x0 + x2 = 4 with x2 also in row 1 (x1 + 2 x2 <= 7): x2 = 4 - x0 goes into row 1
      // as a new entry -2 of x0 (x1 - 2 x0 <= -1); x0 in rows 2 and 3 keeps its place.
      {"doubleton equation with fill", presolve_bit::kDoubletons, ReductionKind::doubleton, 1, 1,
       make_lp({{1, 0, 1}, {0, 1, 2}, {1, 1, 0}, {1, -1, 0}}, {-1, -1, 0.5}, {4, -kInf, -kInf, -kInf}, {4, 7, 10, 3},
               {0, 0, 0}, {10, 5, 3})},
      // Row 1 holds x0 and x2 as row 0 does, times 2: the substitution cancels x0 there.
      {"doubleton equation cancelling an entry", presolve_bit::kDoubletons, ReductionKind::doubleton, 1, 1,
       make_lp({{1, 0, 1}, {2, 1, 2}, {1, 1, 0}, {1, -1, 0}}, {-1, -1, 0.5}, {4, -kInf, -kInf, -kInf}, {4, 12, 10, 3},
               {0, 0, 0}, {10, 5, 3})},
      // x0 + 2 x1 <= 4 and its copy -2 x0 - 4 x1 >= -6 (x0 + 2 x1 <= 3): the copy's limit
      // binds, so postsolve moves the price onto the copy's row.
      {"duplicate row, the copy binds", presolve_bit::kDuplicateRows, ReductionKind::duplicate_row, 1, 0,
       make_lp({{1, 2}, {-2, -4}, {1, -1}}, {-1, -1}, {-kInf, -6, -1}, {4, kInf, kInf}, {0, 0}, {10, 10})},
      // The same with the first row's limit the tighter one.
      {"duplicate row, the original binds", presolve_bit::kDuplicateRows, ReductionKind::duplicate_row, 1, 0,
       make_lp({{1, 2}, {-2, -4}, {1, -1}}, {-1, -1}, {-kInf, -8, -1}, {3, kInf, kInf}, {0, 0}, {10, 10})},
      // Row 2 is row 0 plus row 1, right-hand sides included: one of the three goes,
      // and comes back with its logical basic at zero and no price.
      {"dependent equation", presolve_bit::kDuplicateRows, ReductionKind::dependent_row, 1, 0,
       make_lp({{1, 1, 0, 1}, {0, 1, 1, -1}, {1, 2, 1, 0}, {1, 0, -1, 0}}, {-1, 1, -1, 0.5}, {4, 5, 9, -kInf},
               {4, 5, 9, 1}, {0, 0, 0, 0}, {10, 10, 10, 10})},
      // Column 1 = -column 0 with cost -c0: x0 - x1 in [0, 6] is one column, basic
      // at 3 in the optimum; postsolve splits it into one basic and one at a bound.
      {"duplicate columns merged, basic", presolve_bit::kDuplicateColumns, ReductionKind::duplicate_column, 0, 1,
       make_lp({{1, -1, 0}, {1, -1, 1}}, {-1, 1, -2}, {-kInf, -kInf}, {5, 6}, {0, -4, 0}, {2, 0, 3})},
      // The same with the merged column at its upper bound 6: both at their bounds.
      {"duplicate columns merged, at a bound", presolve_bit::kDuplicateColumns, ReductionKind::duplicate_column, 0, 1,
       make_lp({{1, -1, 0}, {1, -1, 1}}, {-1, 1, -2}, {-kInf, -kInf}, {8, 9}, {0, -4, 0}, {2, 0, 3})},
      // x2 in [0, 1], without cost, alone in the equation x0 + x1 + 2 x2 = 6: one more
      // slack of the row, whose logical takes it in (x0 + x1 in [4, 6]).
      {"slack column merged into the logical", presolve_bit::kDuplicateColumns, ReductionKind::duplicate_column, 0, 1,
       make_lp({{1, 1, 2}, {1, -1, 0}}, {-1, -2, 0}, {6, -kInf}, {6, 1}, {0, 0, 0}, {10, 10, 1})},
      {"slack column merged, at its other bound", presolve_bit::kDuplicateColumns, ReductionKind::duplicate_column, 0,
       1, make_lp({{1, 1, 2}, {1, -1, 0}}, {1, 2, 0}, {6, -kInf}, {6, 1}, {0, 0, 0}, {10, 10, 1})},
      // Column 1 = column 0 but cheaper, and x0 has no lower bound: x1 goes to its upper
      // bound in every optimum.
      {"dominated duplicate column", presolve_bit::kDuplicateColumns, ReductionKind::fixed_column, 0, 1,
       make_lp({{1, 1, 0}, {1, 1, 1}}, {-1, -2, -3}, {-kInf, -kInf}, {5, 6}, {-kInf, 0, 0}, {5, 4, 3})},
  };
  for (const Case& c : cases) {
    const Roundtrip r = roundtrip(c.lp, c.select, c.name);
    EXPECT_TRUE(has(r.presolved, c.kind)) << c.name;
    EXPECT_EQ(r.presolved.rows_removed, c.rows_removed) << c.name;
    EXPECT_EQ(r.presolved.columns_removed, c.columns_removed) << c.name;
    // With every reduction selected the undo is exact too.
    roundtrip(c.lp, 511, c.name);
  }
}

// A combination of equations whose right-hand sides do not add up is no copy of them:
// it stays, for the solve to find the problem infeasible.
TEST(Presolve, InconsistentCombinationOfEquationsStays) {
  const WorkingLp lp = make_lp({{1, 1, 0, 1}, {0, 1, 1, -1}, {1, 2, 1, 0}}, {-1, 1, -1, 0.5}, {4, 5, 9.5}, {4, 5, 9.5},
                               {0, 0, 0, 0}, {10, 10, 10, 10});
  PresolveSettings settings;
  settings.select = presolve_bit::kDuplicateRows | presolve_bit::kNoEntities;
  const Presolved p = presolve_lp(lp, {}, settings);
  EXPECT_EQ(p.outcome, PresolveOutcome::reduced);
  EXPECT_EQ(p.rows_removed, 0);
  EXPECT_FALSE(has(p, ReductionKind::dependent_row));
}

// x2 in [0, 10] within [0, 6] by the equation x0 + x1 + x2 = 6: with room for extra
// elements the elimination pass substitutes it out of row 1, and postsolve undoes it;
// without room (NEXTRA 0) the pass does not run.
TEST(Presolve, EliminationPassSubstitutesUnderExtraRoom) {
  const WorkingLp lp = make_lp({{1, 1, 1, 0}, {0, 0, 1, -1}, {1, -1, 0, 0}}, {-1, -2, 1, 0.5}, {6, -kInf, -kInf},
                               {6, 2, 1}, {0, 0, 0, 0}, {3, 3, 10, 5});
  const Roundtrip r = roundtrip(lp, presolve_bit::kElimination, "elimination pass", 100);
  EXPECT_TRUE(has(r.presolved, ReductionKind::substitution));
  EXPECT_EQ(r.presolved.rows_removed, 1);
  EXPECT_EQ(r.presolved.columns_removed, 1);
  PresolveSettings settings;
  settings.select = presolve_bit::kElimination | presolve_bit::kNoEntities;
  EXPECT_TRUE(presolve_lp(lp, {}, settings).stack.empty());
  // A fill allowance below what the substitution creates keeps the column.
  settings.extra_elements = 100;
  settings.elimination_fill = -3;
  EXPECT_TRUE(presolve_lp(lp, {}, settings).stack.empty());
}

// The bounds rows imply serve the tests only: the smaller LP keeps the columns' own
// bounds, and a row never goes on a bound only it implies (x0 + x1 <= 4 alone implies
// x0, x1 <= 4, over which it would hold).
TEST(Presolve, ImpliedBoundsAreRelaxedBack) {
  const WorkingLp lp = make_lp({{1, 1}, {1, -1}}, {-1, -2}, {-kInf, -kInf}, {4, 5}, {0, 0}, {10, 10});
  PresolveSettings settings;
  settings.select = presolve_bit::kPrimal | presolve_bit::kNoEntities;
  const Presolved p = presolve_lp(lp, {}, settings);
  ASSERT_EQ(p.outcome, PresolveOutcome::reduced);
  EXPECT_EQ(p.implied_redundant_rows, 1);
  ASSERT_EQ(p.lp.rows, 1);
  EXPECT_EQ(p.row_of[0], 0);
  for (std::int32_t k = 0; k < p.lp.columns; ++k) {
    EXPECT_EQ(p.lp.upper[static_cast<std::size_t>(p.lp.rows + k)], 10.0);
    EXPECT_EQ(p.lp.lower[static_cast<std::size_t>(p.lp.rows + k)], 0.0);
  }
  EXPECT_EQ(p.bounds_changed, 0);
  // Global entities change nothing here: the implied bounds are not rounded, and the
  // row they drop holds for the relaxation too.
  settings.select = presolve_bit::kPrimal;
  const std::vector<ColumnKind> kinds = {ColumnKind::integer, ColumnKind::integer};
  EXPECT_EQ(presolve_lp(lp, kinds, settings).implied_redundant_rows, 1);
}

// A bound that its row implies strictly counts as absent for the price bounds only with
// the bound tightening selected; weakly dominated columns are counted apart, and a
// reduced cost short of zero by more than a near-zero amount fixes nothing.
TEST(Presolve, DualReductionsOverImpliedBoundsAndWeakDominance) {
  const WorkingLp implied = make_lp({{1, 1, 0}, {0, 1, 1}}, {1, 2, -1}, {3, -kInf}, {3, 4}, {0, 0, 0}, {100, 5, 10});
  PresolveSettings settings;
  settings.select = presolve_bit::kDual | presolve_bit::kNoEntities;
  EXPECT_EQ(presolve_lp(implied, {}, settings).columns_removed, 0);
  settings.select |= presolve_bit::kPrimal;
  EXPECT_EQ(presolve_lp(implied, {}, settings).columns_removed, 1);

  settings.select = presolve_bit::kDual | presolve_bit::kNoEntities;
  const WorkingLp weak = make_lp({{1, 1, 0}, {0, 1, 1}}, {1, 1, 0}, {3, -kInf}, {kInf, 4}, {0, 0, 0}, {kInf, 5, 10});
  const Presolved p = presolve_lp(weak, {}, settings);
  EXPECT_EQ(p.weakly_dominated_columns, 1);
  EXPECT_EQ(p.columns_removed, 2);
  // x1's cost a hair below x0's: its reduced cost may be −1e-6 < −ZTCOST/100, so it
  // stays; with ZTCOST 1e-3 the hair counts as zero.
  const WorkingLp short_of =
      make_lp({{1, 1, 0}, {0, 1, 1}}, {1, 1 - 1e-6, 0}, {3, -kInf}, {kInf, 4}, {0, 0, 0}, {kInf, 5, 10});
  EXPECT_EQ(presolve_lp(short_of, {}, settings).weakly_dominated_columns, 0);
  settings.cost_tolerance = 1e-3;
  EXPECT_EQ(presolve_lp(short_of, {}, settings).weakly_dominated_columns, 1);
}

TEST(Presolve, SingletonRowBindingSwapsTheBasis) {
  const WorkingLp lp = make_lp({{1, 1}, {3, 0}}, {1, -1}, {-kInf, 9}, {4, kInf}, {0, 0}, {10, 10});
  PresolveSettings settings;
  settings.select = presolve_bit::kSingletonRows | presolve_bit::kNoEntities;
  const Presolved p = presolve_lp(lp, {}, settings);
  ASSERT_EQ(p.outcome, PresolveOutcome::reduced);
  EXPECT_DOUBLE_EQ(p.lp.lower[static_cast<std::size_t>(p.lp.rows)], 3.0);  // x0 >= 3 from 3 x0 >= 9
  const Solved reduced = solve(p.lp);
  SimplexBasis full;
  std::vector<double> pi, d;
  postsolve_lp(lp, p, reduced.basis, reduced.pi, reduced.d, full, pi, d);
  EXPECT_EQ(full.status[2], VariableStatus::basic);  // x0
  EXPECT_NE(full.status[1], VariableStatus::basic);  // the singleton row's logical
  // x1 <= 1 through row 0 priced at -1; x0's reduced cost 1 + 1 = 2 moves onto row 1
  // (element 3): its price is 2 / 3.
  EXPECT_NEAR(pi[1], 2.0 / 3.0, 1e-12);
}

TEST(Presolve, ProvesInfeasibleAndUnbounded) {
  PresolveSettings settings;
  // Two singleton rows: x0 >= 5 and x0 <= 3.
  const WorkingLp crossing = make_lp({{1}, {1}}, {1}, {5, -kInf}, {kInf, 3}, {0}, {10});
  EXPECT_EQ(presolve_lp(crossing, {}, settings).outcome, PresolveOutcome::infeasible);
  // x0 + x1 >= 5 with both at most 2.
  const WorkingLp short_row = make_lp({{1, 1}}, {1, 1}, {5}, {kInf}, {0, 0}, {2, 2});
  EXPECT_EQ(presolve_lp(short_row, {}, settings).outcome, PresolveOutcome::infeasible);
  // An empty column whose cost improves without end.
  const WorkingLp ray = make_lp({{1, 0}}, {1, -1}, {1}, {2}, {0, 0}, {5, kInf});
  EXPECT_EQ(presolve_lp(ray, {}, settings).outcome, PresolveOutcome::unbounded);
  // Nothing selected: nothing proved, nothing removed.
  settings.select = presolve_bit::kNoEntities;
  const Presolved none = presolve_lp(crossing, {}, settings);
  EXPECT_EQ(none.outcome, PresolveOutcome::reduced);
  EXPECT_TRUE(none.stack.empty());
}

TEST(Presolve, IntegerColumnsKeepTheirIntegerPoints) {
  // 2 x0 >= 3 rounds to x0 >= 2 for an integer x0; the free integer singleton x1 is
  // not substituted out.
  const WorkingLp lp = make_lp({{2, 0}, {1, 1}}, {1, 1}, {3, 1}, {kInf, 1}, {0, -kInf}, {10, kInf});
  const std::vector<ColumnKind> kinds = {ColumnKind::integer, ColumnKind::integer};
  PresolveSettings settings;
  settings.select = 511;  // global entities active
  const Presolved p = presolve_lp(lp, kinds, settings);
  ASSERT_EQ(p.outcome, PresolveOutcome::reduced);
  EXPECT_FALSE(has(p, ReductionKind::column_singleton));
  ASSERT_EQ(p.lp.columns, 2);
  EXPECT_DOUBLE_EQ(p.lp.lower[static_cast<std::size_t>(p.lp.rows)], 2.0);
}

WorkingLp random_lp(std::int32_t rows, std::int32_t columns, unsigned seed, bool copies = false,
                    bool doubletons = false) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<std::vector<double>> a(static_cast<std::size_t>(rows), std::vector<double>(columns, 0.0));
  std::vector<double> x0, c, l, u, row_lower, row_upper;
  for (std::int32_t j = 0; j < columns; ++j) {
    const double kind = unit(random);
    l.push_back(kind < 0.15 ? -kInf : -10.0 * unit(random));
    u.push_back(kind < 0.15 ? kInf : (kind < 0.25 ? l.back() : 10.0 * unit(random)));
    x0.push_back(l.back() > -kInf ? 0.5 * (l.back() + u.back()) : 0.0);
    c.push_back(std::round((unit(random) * 2.0 - 1.0) * 4.0));
  }
  for (std::int32_t i = 0; i < rows; ++i) {
    double activity = 0.0;
    const double density = i % 5 == 0 ? 0.03 : 0.12;  // some singleton and empty rows
    for (std::int32_t j = 0; j < columns; ++j) {
      if (unit(random) < density) {
        a[i][j] = std::round((unit(random) * 2.0 - 1.0) * 8.0) / 4.0;
        activity += a[i][j] * x0[static_cast<std::size_t>(j)];
      }
    }
    const double kind = unit(random);
    row_lower.push_back(kind < 0.3 ? activity : (kind < 0.6 ? -kInf : activity - unit(random)));
    row_upper.push_back(kind < 0.3 ? activity : (kind < 0.8 ? activity + unit(random) : kInf));
  }
  for (std::int32_t j = 0; j < columns; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (c[jj] > 0.0 && l[jj] <= -kInf) l[jj] = x0[jj] - 20.0;
    if (c[jj] < 0.0 && u[jj] >= kInf) u[jj] = x0[jj] + 20.0;
  }
  if (doubletons) {
    // Equations between two columns met at x0; their columns are in other rows too, so
    // substituting one out changes (or creates, or cancels) entries of the other there.
    for (std::int32_t t = 0; t < rows / 2; ++t) {
      const auto j = static_cast<std::size_t>(unit(random) * columns);
      const auto k =
          (j + 1 + static_cast<std::size_t>(unit(random) * (columns - 1))) % static_cast<std::size_t>(columns);
      std::vector<double> row(static_cast<std::size_t>(columns), 0.0);
      row[j] = std::round((unit(random) * 2.0 - 1.0) * 4.0) / 2.0;
      row[k] = std::round((unit(random) * 2.0 - 1.0) * 4.0) / 2.0;
      if (row[j] == 0.0) row[j] = 1.0;
      if (row[k] == 0.0) row[k] = -1.5;
      const double activity = row[j] * x0[j] + row[k] * x0[k];
      a.push_back(row);
      row_lower.push_back(activity);
      row_upper.push_back(activity);
      // A row holding both, in the ratio the substitution cancels.
      if (t % 3 == 0) {
        std::vector<double> both(static_cast<std::size_t>(columns), 0.0);
        both[j] = 2.0 * row[j];
        both[k] = 2.0 * row[k];
        const auto other = (k + 1) % static_cast<std::size_t>(columns);
        if (other != j) both[other] = 1.0;
        double act = 0.0;
        for (std::size_t q = 0; q < both.size(); ++q) act += both[q] * x0[q];
        a.push_back(both);
        row_lower.push_back(-kInf);
        row_upper.push_back(act + unit(random));
      }
    }
  }
  if (copies) {
    // Scaled copies of some rows (limits a little looser or tighter, still met at x0)
    // and of some columns (bounds around 0, so x0 stays feasible; the cost proportional
    // or not).
    const double factors[] = {2.0, -0.5, 3.0, -1.0};
    for (std::int32_t i = 0; i < rows; i += 3) {
      const double f = factors[static_cast<std::size_t>(i / 3) % 4];
      std::vector<double> row = a[static_cast<std::size_t>(i)];
      for (double& v : row) v *= f;
      a.push_back(row);
      double lo = row_lower[static_cast<std::size_t>(i)];
      double hi = row_upper[static_cast<std::size_t>(i)];
      const double shift = unit(random) - 0.5;
      lo = lo > -kInf ? lo + shift : lo;
      hi = hi < kInf ? hi + shift : hi;
      if (lo > -kInf && hi < kInf && lo > hi) std::swap(lo, hi);
      double activity = 0.0;
      for (std::int32_t j = 0; j < columns; ++j)
        activity += a[static_cast<std::size_t>(i)][j] * x0[static_cast<std::size_t>(j)];
      lo = std::min(lo, activity);
      hi = std::max(hi, activity);
      row_lower.push_back(f > 0.0 ? (lo > -kInf ? f * lo : -kInf) : (hi < kInf ? f * hi : -kInf));
      row_upper.push_back(f > 0.0 ? (hi < kInf ? f * hi : kInf) : (lo > -kInf ? f * lo : kInf));
    }
    for (std::int32_t j = 0; j < columns; j += 4) {
      const double f = factors[static_cast<std::size_t>(j / 4) % 4];
      for (auto& row : a) row.push_back(f * row[static_cast<std::size_t>(j)]);
      const double kind = unit(random);
      c.push_back(kind < 0.6 ? f * c[static_cast<std::size_t>(j)] : std::round((unit(random) * 2.0 - 1.0) * 4.0));
      l.push_back(kind < 0.8 ? -5.0 * unit(random) : -kInf);
      u.push_back(kind < 0.9 ? 5.0 * unit(random) : kInf);
      if (c.back() > 0.0 && l.back() <= -kInf) l.back() = -20.0;
      if (c.back() < 0.0 && u.back() >= kInf) u.back() = 20.0;
    }
  }
  return make_lp(a, c, row_lower, row_upper, l, u);
}

// Many reductions interacting: the undo stays exact and optimal.
TEST(Presolve, RandomLpsRoundtripWithoutCleanupIterations) {
  std::int32_t reductions = 0;
  std::int32_t implied = 0;
  std::int32_t weak = 0;
  for (unsigned seed = 1; seed <= 30; ++seed) {
    const WorkingLp lp = random_lp(20 + static_cast<std::int32_t>(seed % 7), 30, seed);
    const std::string label = "seed " + std::to_string(seed);
    if (solve(lp).result.outcome != LpOutcome::optimal) continue;
    const Roundtrip r = roundtrip(lp, 511, label.c_str());
    reductions += static_cast<std::int32_t>(r.presolved.stack.size());
    implied += r.presolved.implied_redundant_rows;
    weak += r.presolved.weakly_dominated_columns;
  }
  EXPECT_GT(reductions, 100);
  EXPECT_GT(implied, 0);
  EXPECT_GT(weak, 0);
}

// Doubleton equations whose columns are in other rows: each substitution fills in,
// changes or cancels entries, and the undo on the matrix of its stage stays exact.
TEST(Presolve, RandomLpsWithDoubletonEquationsRoundtrip) {
  std::int32_t substitutions = 0;
  std::int32_t changed = 0;
  for (unsigned seed = 1; seed <= 80; ++seed) {
    const WorkingLp lp = random_lp(20 + static_cast<std::int32_t>(seed % 7), 30, seed, seed % 2 == 0, true);
    const std::string label = "seed " + std::to_string(seed) + " with doubletons";
    if (solve(lp).result.outcome != LpOutcome::optimal) continue;
    for (const std::uint32_t select : {presolve_bit::kDoubletons | presolve_bit::kEmptyAndFixed, 511U}) {
      const Roundtrip r = roundtrip(lp, select, label.c_str());
      for (const Reduction& red : r.presolved.stack) {
        substitutions += red.kind == ReductionKind::doubleton || red.kind == ReductionKind::substitution;
      }
      changed += static_cast<std::int32_t>(r.presolved.changed_entries.size());
    }
  }
  EXPECT_GT(substitutions, 200);
  EXPECT_GT(changed, 200);
}

// Parallel rows and columns among the others: merged, and undone exactly.
TEST(Presolve, RandomLpsWithCopiesRoundtrip) {
  std::int32_t duplicates = 0;
  for (unsigned seed = 1; seed <= 200; ++seed) {
    const WorkingLp lp = random_lp(20 + static_cast<std::int32_t>(seed % 7), 30, seed, true);
    const std::string label = "seed " + std::to_string(seed) + " with copies";
    if (solve(lp).result.outcome != LpOutcome::optimal) continue;
    const Roundtrip r = roundtrip(lp, 511, label.c_str());
    for (const Reduction& red : r.presolved.stack) {
      duplicates += red.kind == ReductionKind::duplicate_row || red.kind == ReductionKind::duplicate_column;
    }
  }
  EXPECT_GT(duplicates, 200);
}

// Rows dropped over implied bounds and weakly dominated columns among the primal and
// dual reductions: undone exactly, the clean-up making no iteration.
TEST(Presolve, RandomLpsWithImpliedBoundsAndWeakDominanceRoundtrip) {
  std::int32_t implied = 0;
  std::int32_t weak = 0;
  const std::uint32_t select =
      presolve_bit::kEmptyAndFixed | presolve_bit::kSingletonRows | presolve_bit::kPrimal | presolve_bit::kDual;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    const WorkingLp lp = random_lp(20 + static_cast<std::int32_t>(seed % 7), 30, seed, seed % 3 == 0);
    const std::string label = "seed " + std::to_string(seed) + " primal and dual";
    if (solve(lp).result.outcome != LpOutcome::optimal) continue;
    const Roundtrip r = roundtrip(lp, select, label.c_str());
    implied += r.presolved.implied_redundant_rows;
    weak += r.presolved.weakly_dominated_columns;
  }
  EXPECT_GT(implied, 10);
  EXPECT_GT(weak, 5);
}

}  // namespace
}  // namespace kqopt
