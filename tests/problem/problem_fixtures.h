// Small literal problems for the problem-model tests, kept as arrays the way a caller
// passes them, with a helper that loads them through the array loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/library.h"
#include "problem/load.h"

namespace kqopt::test {

// Three rows, two columns:
//   row 0  L:  x0 + 2 x1          <= 4
//   row 1  G:  3 x0 (+ 5e-10 x1)  >= 1        (the tiny element is dropped)
//   row 2  R:  x0 + x1 in [5, 10]             (rhs 10, range -5)
//   0 <= x0 <= 1e29 (no bound), -2 <= x1 <= 9.9e28 (finite), objective 1, 2.
struct LpArrays {
  std::string name = "smalllp";
  std::vector<char> row_types{'L', 'G', 'R'};
  std::vector<double> rhs{4.0, 1.0, 10.0};
  std::vector<double> range{0.0, 0.0, -5.0};
  std::vector<double> objective{1.0, 2.0};
  std::vector<std::int32_t> starts{0, 3, 6};
  std::vector<std::int32_t> lengths;  // empty: starts has ncol + 1 entries
  std::vector<std::int32_t> rows{0, 1, 2, 0, 1, 2};
  std::vector<double> values{1.0, 3.0, 1.0, 2.0, 5.0e-10, 1.0};
  std::vector<double> lower{0.0, -2.0};
  std::vector<double> upper{1.0e29, 9.9e28};

  // Global part, empty here (see mip()).
  std::vector<char> entity_kinds;
  std::vector<std::int32_t> entity_columns;
  std::vector<std::int32_t> entity_limits;
  std::vector<char> set_types;
  std::vector<std::int32_t> set_starts;
  std::vector<std::int32_t> set_columns;
  std::vector<double> set_weights;

  ProblemInput input() const;
};

// Five rows, six columns with entities and two sets (used by the global tests):
// columns 0 'I', 1 'B' (upper 5 → 1), 2 'S', 3 'P' limit 7, column 1 listed twice;
// set 1 (type '1') = {4, 5} weights 1, 2; set 2 (type '2') = {0, 4, 5} weights 1, 2, 3.
LpArrays mip();

// Loads a through the array loader (index base from IFDBG); returns the return code.
std::int32_t load(Library& lib, const LpArrays& a, bool global = false);

inline ProblemInput LpArrays::input() const {
  ProblemInput in;
  in.problem_name = name.c_str();
  in.rows = static_cast<std::int32_t>(row_types.size());
  in.columns = static_cast<std::int32_t>(objective.size());
  in.row_types = row_types.data();
  in.rhs = rhs.data();
  in.range = range.data();
  in.objective = objective.data();
  in.column_starts = starts.data();
  in.column_lengths = lengths.empty() ? nullptr : lengths.data();
  in.element_rows = rows.data();
  in.element_values = values.data();
  in.lower = lower.data();
  in.upper = upper.data();
  in.entity_count = static_cast<std::int32_t>(entity_kinds.size());
  in.entity_kinds = entity_kinds.data();
  in.entity_columns = entity_columns.data();
  in.entity_limits = entity_limits.data();
  in.set_count = static_cast<std::int32_t>(set_types.size());
  in.set_types = set_types.data();
  in.set_starts = set_starts.data();
  in.set_columns = set_columns.data();
  in.set_weights = set_weights.data();
  return in;
}

inline LpArrays mip() {
  LpArrays a;
  a.name = "smallmip";
  a.row_types = {'N', 'L', 'L', 'E', 'G'};
  a.rhs = {0.0, 10.0, 8.0, 3.0, 1.0};
  a.range = {0.0, 0.0, 0.0, 0.0, 0.0};
  a.objective = {1.0, -1.0, 2.0, 0.5, 3.0, 4.0};
  a.starts = {0, 2, 4, 5, 7, 8, 10};
  a.rows = {0, 1, 1, 2, 3, 2, 4, 4, 1, 3};
  a.values = {1.0, 2.0, 1.0, 1.0, 1.0, 4.0, 1.0, 1.0, 2.0, 1.0};
  a.lower = {0.0, 0.0, 1.0, 0.0, 0.0, 0.0};
  a.upper = {10.0, 5.0, 6.0, 20.0, 1.0, 1.0};
  a.entity_kinds = {'I', 'B', 'S', 'P', 'B'};
  a.entity_columns = {0, 1, 2, 3, 1};
  a.entity_limits = {0, 0, 0, 7, 0};
  a.set_types = {'1', '2'};
  a.set_starts = {0, 2, 5};
  a.set_columns = {4, 5, 0, 4, 5};
  a.set_weights = {1.0, 2.0, 1.0, 2.0, 3.0};
  return a;
}

inline std::int32_t load(Library& lib, const LpArrays& a, bool global) {
  return load_from_arrays(lib, a.input(), global);
}

}  // namespace kqopt::test
