// The LP as the simplex engine solves it.
//
//   minimise  cost^T x   subject to   [I A] x = rhs,   lower <= x <= upper
//
// over m + n variables: variable i < m is the logical of row i (its column is +e_i),
// variable m + j is structural column j. Row i of the loaded problem reads
// a_i x + s_i = rhs_i, so an L row has a logical in [0, inf), a G row (-inf, 0], an
// E row [0, 0], a ranged row [0, |range|] and an N row is free. The cost carries the
// objective sense: the engine always minimises. Infinite bounds are +-kInfinity.
#pragma once

#include <cstdint>
#include <vector>

#include "simplex/factor/factor.h"

namespace kqopt {

struct WorkingLp {
  std::int32_t rows = 0;     // m
  std::int32_t columns = 0;  // n

  // A by columns: column j holds row_index/value[column_start[j] .. column_start[j+1]).
  std::vector<std::int32_t> column_start;
  std::vector<std::int32_t> row_index;
  std::vector<double> value;
  // A by rows, built by build_row_copy(): row i holds column_index/row_value[row_start[i] ..).
  std::vector<std::int32_t> row_start;
  std::vector<std::int32_t> column_index;
  std::vector<double> row_value;

  std::vector<double> cost;   // m + n; zero for logicals
  std::vector<double> lower;  // m + n
  std::vector<double> upper;  // m + n
  std::vector<double> rhs;    // m

  std::int32_t variables() const { return rows + columns; }
  bool is_logical(std::int32_t j) const { return j < rows; }
  BasisView basis_view() const;
  void build_row_copy();
};

}  // namespace kqopt
