// The structure of A_s A_s' (A_s: the columns of A a mask selects), built one row at a
// time with a mark array, never as a matrix product: its strict upper triangle, its
// nonzero count and the symmetric adjacency the orderings work on.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kqopt::barrier {

// Column-wise pattern of an m x n matrix: column j's rows are row[start[j] .. start[j+1]).
struct PatternView {
  std::int32_t m = 0;
  std::int32_t n = 0;
  std::span<const std::int64_t> start;
  std::span<const std::int32_t> row;
};

// Strict upper triangle of a symmetric structure: row i's columns (all > i) are
// index[start[i] .. start[i+1]).
struct UpperStructure {
  std::int32_t n = 0;
  std::vector<std::int64_t> start;
  std::vector<std::int32_t> index;
  std::int64_t nonzeros() const { return start.empty() ? 0 : start.back(); }
};

// Symmetric adjacency (both directions, no diagonal).
struct Adjacency {
  std::int32_t n = 0;
  std::vector<std::int64_t> start;
  std::vector<std::int32_t> adj;
};

// mask (optional, one entry per column): nonzero keeps the column. Columns of length 1
// add nothing off the diagonal. Throws std::bad_alloc when memory is short.
UpperStructure aat_upper_structure(const PatternView& a, std::span<const std::int8_t> mask = {});
// The count of the strict upper triangle of A_s A_s' (ordmat_nnzaat); -1 when the
// transpose cannot be built.
std::int64_t ordmat_nnzaat(const PatternView& a, std::span<const std::int8_t> mask = {});
Adjacency symmetric_adjacency(const UpperStructure& upper);

}  // namespace kqopt::barrier
