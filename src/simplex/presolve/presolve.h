// Presolve and postsolve of a working LP.
//
// Presolve takes the LP as loaded (min c'x, [I A] x = rhs, bounds on logicals and
// columns), removes rows and columns the solve does not need and tightens bounds, and
// hands back the smaller LP together with a stack of the reductions made, in order.
// Postsolve walks that stack backwards from a basic solution of the smaller LP and
// rebuilds a basic solution of the LP as loaded: values, row prices, reduced costs and
// a basis of exactly m basic variables, nonsingular by construction (every undone
// reduction adds one row and exactly one basic variable that pivots on it). When the
// smaller LP was solved to optimality the rebuilt basis is optimal too, so a primal
// simplex started from it normally makes no iteration.
//
// Most reductions keep the matrix entries of the surviving columns as they were; only
// right-hand sides, costs and bounds change. Doubleton substitutions change entries of
// the rows they reach, and record each change so that postsolve can hold the matrix of
// every stage. That keeps each undo local: a column's reduced cost at any stage is its
// cost at that stage less the prices of the rows alive then, over that stage's entries.
//
// The reductions, each behind one bit of the selection mask:
//   0x001  empty rows, free rows, empty columns and fixed columns
//   0x002  singleton rows turned into column bounds
//   0x004  primal: redundant and forcing rows, from the rows' activity bounds; a row
//          is also redundant over the bounds the other rows imply for its columns
//          (bound tightening from rows: the tightened bounds serve the tests and are
//          relaxed back, so the smaller LP keeps its columns' own bounds)
//   0x008  dual: columns fixed at a bound by the sign of their cost when no row
//          stops them moving that way; without global entities also columns whose
//          reduced cost keeps one sign over the bounds on the row prices that the
//          rows' types and the columns without a bound on one side imply (dominated
//          columns); an inequality whose price keeps a strict sign over those bounds
//          made an equation at the limit that sign asks for; a bound that a row
//          implies strictly counts as absent for the price bounds; a column whose
//          reduced cost is at least −ZTCOST/100 (at most +ZTCOST/100) over the price
//          bounds (weakly dominated) sits at its lower (upper) bound in some optimum
//   0x010  free and implied-free column singletons substituted out with their row;
//          implied-free columns in a few rows substituted out of them by a short
//          equation that holds them
//   0x020  duplicate rows: a row parallel to another merged into it (its limits
//          become the other's, scaled); equations that are linear combinations of
//          others (their right-hand sides too) removed
//   0x040  doubleton equations a x + b y = c: y = (c − a x) / b substituted into the
//          other rows of y, y and the row go, y's bounds move onto x (rounded inward
//          for an integer x)
//   0x080  duplicate columns: a column parallel to another with the proportional
//          cost merged into it (their bounds add up), or fixed at a bound when the
//          other dominates it; a column alone in its row is parallel to the row's
//          logical, and merged into it when it has no cost
//   0x100  the elimination pass (with NEXTRA > 0): implied-free columns substituted
//          out by an equation of any length, the pivot at least ZTELIM times the
//          equation's largest entry, each creating at most IEFILL entries and all of
//          them at most NEXTRA; it ends a round, and another follows (up to NRPASS)
//          when it eliminated anything
//   0x200  no global entities: reductions not valid for integers are allowed
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "simplex/core/simplex_basis.h"
#include "simplex/core/working_lp.h"

namespace kqopt {

namespace presolve_bit {
inline constexpr std::uint32_t kEmptyAndFixed = 0x001;
inline constexpr std::uint32_t kSingletonRows = 0x002;
inline constexpr std::uint32_t kPrimal = 0x004;
inline constexpr std::uint32_t kDual = 0x008;
inline constexpr std::uint32_t kColumnSingletons = 0x010;
inline constexpr std::uint32_t kDuplicateRows = 0x020;
inline constexpr std::uint32_t kDoubletons = 0x040;
inline constexpr std::uint32_t kDuplicateColumns = 0x080;
inline constexpr std::uint32_t kElimination = 0x100;
inline constexpr std::uint32_t kNoEntities = 0x200;
}  // namespace presolve_bit

// What a column may undergo when global entities are active.
enum class ColumnKind : std::uint8_t {
  continuous,
  integer,  // bounds rounded inward; never substituted out
  frozen,   // semi-continuous or a set member: left exactly as loaded
};

struct PresolveSettings {
  std::uint32_t select = 511 | presolve_bit::kNoEntities;  // IPSLCT (+ 0x200)
  std::int32_t primal_sweeps = 10;                         // NPPASS
  std::int32_t dual_sweeps = 2;                            // NDPASS
  std::int32_t rounds = 2;                                 // NRPASS
  double zero_tolerance = 1.0e-9;                          // ZTOLDA
  double infeasibility_tolerance = 5.0e-4;                 // ZTOLIS
  double feasibility_tolerance = 1.0e-6;                   // ZTOLZE
  std::int32_t extra_elements = 0;                         // NEXTRA: the elimination pass runs when > 0
  std::int32_t elimination_fill = 10;                      // IEFILL
  double elimination_tolerance = 1.0e-3;                   // ZTELIM
  double cost_tolerance = 1.0e-6;                          // ZTCOST
};

enum class PresolveOutcome : std::int8_t { reduced, infeasible, unbounded };

enum class ReductionKind : std::uint8_t {
  free_row,          // empty or redundant row: its logical basic, price 0
  dependent_row,     // an equation that is a combination of others: undone as a free row
  fixed_column,      // column fixed at `value` (bounds equal, empty, or by its cost)
  singleton_row,     // row turned into bounds of `column`; `lower`/`upper` the bounds before
  forcing_row,       // row at its activity limit; its columns listed from `first`
  column_singleton,  // free column substituted out with its row
  duplicate_row,     // `row` (a_row = element · a_other) merged into row `other`
  duplicate_column,  // column `column` (a_column = element · a_other) merged into `other`;
                     // with `at_upper` set, `other` is a row whose logical took it in
                     // and `rhs` that row's right-hand side then
  doubleton,         // `column` substituted out by its equation `row` with the row's other
                     // column `other`, which took the bounds of `column` (`other_lower`/
                     // `other_upper`); `lower`/`upper` are the bounds of `other` before; the
                     // entries changed in the other rows are changed_entries[first ..
                     // first + count)
  substitution,      // as doubleton, for an implied-free `column` in the equation `row` of
                     // any length; no bounds move
  row_to_equation,   // inequality `row` whose logical sits at one bound in every optimum
                     // (`at_upper` which) made an equation there; `lower`/`upper` its
                     // logical's bounds before
};

struct Reduction {
  ReductionKind kind = ReductionKind::free_row;
  std::int32_t row = -1;
  std::int32_t column = -1;
  double element = 0.0;  // a_ij of a singleton row or column
  double value = 0.0;    // fixed column: its value; column singleton: the logical's fixed value
  double cost = 0.0;     // the column's cost when it was removed
  double lower = 0.0;    // singleton row: the column's bounds before it
  double upper = 0.0;
  double rhs = 0.0;        // column singleton: the row's right-hand side when removed
  bool at_upper = false;   // fixed column and column singleton's logical: the side it sits on;
                           // forcing row: true when forced to its largest activity
  std::int32_t first = 0;  // forcing row: its columns are forced_column[first .. first + count)
  std::int32_t count = 0;
  // Duplicates: the kept row or column; `lower`/`upper` its bounds before the merge
  // and `other_lower`/`other_upper` those of the one removed. Singleton and forcing
  // rows: `other_lower`/`other_upper` are the bounds of the row's logical then. A duplicate row keeps
  // both right-hand sides at the merge: the kept row's in `value`, its own in `rhs`.
  std::int32_t other = -1;
  double other_lower = 0.0;
  double other_upper = 0.0;
};

// An entry of the matrix changed by a substitution: a(row, column) went from `before`
// to `after` (0 where there was no entry, or is none now).
struct EntryChange {
  std::int32_t row = -1;
  std::int32_t column = -1;
  double before = 0.0;
  double after = 0.0;
};

struct Presolved {
  PresolveOutcome outcome = PresolveOutcome::reduced;
  WorkingLp lp;                         // the smaller LP
  std::vector<std::int32_t> row_of;     // its row r is row row_of[r] of the LP as loaded
  std::vector<std::int32_t> column_of;  // its column k is column column_of[k]
  std::vector<Reduction> stack;         // in the order made
  std::vector<std::int32_t> forced_column;
  std::vector<double> forced_value;
  std::vector<double> forced_cost;
  std::vector<EntryChange> changed_entries;  // doubletons: theirs from `first`, `count` of them
  std::int32_t rows_removed = 0;
  std::int32_t columns_removed = 0;
  std::int64_t elements_removed = 0;
  std::int32_t bounds_changed = 0;
  std::int32_t implied_redundant_rows = 0;    // rows redundant only over bounds other rows imply
  std::int32_t weakly_dominated_columns = 0;  // columns fixed as weakly dominated
  std::int32_t unbounded_column = -1;         // outcome unbounded: the column that improves without end
  // Of those removed: the rows free as loaded (objective rows kept among the
  // constraints) and their elements.
  std::int32_t free_rows_removed = 0;
  std::int64_t free_row_elements_removed = 0;
  bool reduced_anything() const { return !stack.empty() || bounds_changed > 0; }
};

// Presolves lp. kinds holds one entry per column (may be empty: every column
// continuous); it is read only without presolve_bit::kNoEntities.
Presolved presolve_lp(const WorkingLp& lp, std::span<const ColumnKind> kinds, const PresolveSettings& settings);

// A basic solution of presolved.lp (basis.status and basis.x over its variables, its
// row prices pi and reduced costs d) mapped back onto the LP as loaded: out.status,
// out.x and out.header (the basic variables, lp.rows of them), and the prices and
// reduced costs of every row and variable.
void postsolve_lp(const WorkingLp& lp, const Presolved& presolved, const SimplexBasis& basis,
                  std::span<const double> pi, std::span<const double> reduced_cost, SimplexBasis& out,
                  std::vector<double>& out_pi, std::vector<double>& out_reduced_cost);

}  // namespace kqopt
