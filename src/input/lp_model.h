// The problem as the LP-text reader reads it, in the reader's work area: rows in order
// of appearance (row 0 the objective), columns in order of first appearance anywhere in
// the file, the terms of every row, the bounds and the integer and binary marks.
#pragma once

#include <cstdint>

#include "input/lp_names.h"
#include "input/lp_work_area.h"

namespace kqopt::input {

// The reader's infinity; the loader takes it (as anything at or beyond 1e29) as no bound.
inline constexpr double kLpInfinity = 9.999999999999997e29;

struct LpModel {
  LpNameTable row_names;     // constraint names; row r (r ≥ 1) is entry row_name[r]
  LpNameTable column_names;  // column j is entry j

  // Rows: type 'N' (row 0), 'L', 'G' or 'E', right-hand side, name entry (−1 for row 0).
  LpArray<char> row_type;
  LpArray<std::int32_t> row_name;
  LpArray<double> rhs;
  double objective_constant = 0.0;

  // Terms of every row in the order the rows were read; within a row each column
  // appears once and no value is 0.
  LpArray<std::int32_t> term_row;
  LpArray<std::int32_t> term_column;
  LpArray<double> term_value;

  // Columns: bounds and mark: 0 none, 'I' integer, 'B' binary.
  LpArray<double> lower;
  LpArray<double> upper;
  LpArray<char> mark;
  std::int32_t marked = 0;

  std::int32_t rows() const { return static_cast<std::int32_t>(row_type.size()); }
  std::int32_t columns() const { return column_names.size(); }
};

}  // namespace kqopt::input
