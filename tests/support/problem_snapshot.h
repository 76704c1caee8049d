// The loaded problem as the retrieval operations hand it to a caller (0-based, caller's
// units), so that two loads can be compared entry by entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/library.h"

namespace kqopt::test {

struct ProblemSnapshot {
  std::int32_t rows = 0, columns = 0;
  std::string row_types, column_types;
  std::vector<double> rhs, range, objective, lower, upper;
  std::vector<std::int32_t> starts, row_index;  // columns with their entries sorted by row
  std::vector<double> values;
  std::vector<std::string> row_names, column_names;
  std::int32_t entities = 0, sets = 0;
  std::string entity_types, set_types;
  std::vector<std::int32_t> entity_columns, set_starts, set_columns;
  std::vector<double> entity_limits, set_weights;
  double objective_constant = 0.0;
};

// Fills s from the loaded problem; false (with a gtest failure) when a retrieval fails.
bool take_snapshot(Library& lib, ProblemSnapshot& s);

}  // namespace kqopt::test

namespace kqopt::test {

// How a value comes back from a written file: the value itself (full precision) or
// what its printed form reads as.
using WrittenValue = double (*)(double);
double exact_value(double v);
double normal_form_value(double v);

// Expects `read` to be `original` after writing and reading back: names, types, entities
// and structure equal; every value equal to written(value), bounds and right-hand sides
// not above `zero` in size taken as 0. Returns the number of mismatches.
int expect_same_problem(const ProblemSnapshot& original, const ProblemSnapshot& read, WrittenValue written,
                        double zero);

}  // namespace kqopt::test
