// Bound propagation through the constraint rows at a node of the global search: from
// the rows' activity limits and the bounds of the other columns, an integer column's
// bounds are pulled in to whole units. The LP relaxation already implies the fractional
// limits; the rounding is what it cannot see, and a row whose activity limits miss its
// range proves the node infeasible before any LP is solved.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "global/search/branching.h"

namespace kqopt {

struct Problem;

class RowPropagator {
 public:
  // Takes the rows 0..rows − 1 of p as they are now (the problem's own rows, below the
  // cut rows, which come and go) and which columns are binary entities, and integer
  // entities too unless binaries_only is set. Only those columns' bounds are tightened.
  RowPropagator(const Problem& p, std::int32_t rows, bool binaries_only);

  // Propagates through the rows of the given variables (0-based variable indices; rows
  // and non-column variables are ignored), or through every row when all_rows is set,
  // until nothing changes or the work budget is spent. Tightens lower and upper (M + n
  // entries, internal units) in place and appends one change per tightening (a variable
  // tightened twice appears twice, the later entry holding both bounds). False when a
  // row proves the bounds infeasible; the bounds are then partly tightened.
  bool propagate(std::span<double> lower, std::span<double> upper, std::span<const BoundChange> seeds, bool all_rows,
                 std::vector<BoundChange>& out);

  std::int64_t tightenings() const { return tightenings_; }
  std::int64_t infeasible_nodes() const { return infeasible_; }

 private:
  bool row_pass(std::int32_t r, std::span<double> lower, std::span<double> upper, std::vector<BoundChange>& out);
  void queue_rows_of(std::int32_t j);

  std::int32_t rows_ = 0;
  std::int32_t first_column_ = 0;  // variable index of column 0 (M)
  // Row-wise copy of the rows read: column numbers (0-based) and values.
  std::vector<std::int32_t> row_start_;
  std::vector<std::int32_t> row_column_;
  std::vector<double> row_value_;
  std::vector<double> rhs_;
  // Column-wise: the rows (below rows_) each column appears in.
  std::vector<std::int32_t> column_start_;
  std::vector<std::int32_t> column_row_;
  std::vector<std::uint8_t> integer_;  // per column
  std::vector<std::uint8_t> queued_;   // per row
  std::vector<std::int32_t> queue_;
  std::int64_t tightenings_ = 0;
  std::int64_t infeasible_ = 0;
};

}  // namespace kqopt
