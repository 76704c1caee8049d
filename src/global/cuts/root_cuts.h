// The library's own cuts at the top node: lifted knapsack covers and mixed-integer
// rounding cuts (with variable upper bounds x <= u·y substituted, the fixed-charge rows of
// network design), separated from the rows of the problem against the LP solution and
// added in rounds to the cut rows of the pool, so that every node inherits them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kqopt {

struct Library;

// IFINTP bits of the generators.
inline constexpr std::int32_t kKnapsackCoverBit = 16;
inline constexpr std::int32_t kMixedIntegerRoundingBit = 32;

// One row a x (<=) b over the problem's columns in the caller's units, as the separators
// see it, with the column data they need.
struct SeparationColumns {
  std::span<const double> lower;  // caller's units, ±kInfinity when absent
  std::span<const double> upper;
  std::span<const double> x;  // LP solution
  std::span<const char> integer;
  // Variable upper bound of a continuous column: x_j <= vub_coef[j]·x_{vub_col[j]} with
  // a binary column (-1: none).
  std::span<const std::int32_t> vub_column;
  std::span<const double> vub_coefficient;
};

struct SparseCut {
  std::vector<std::int32_t> columns;  // sorted
  std::vector<double> values;
  double rhs = 0.0;  // values·x <= rhs
};

// A lifted cover of the knapsack a x <= b after bounds substitution (binary columns kept),
// or false when none is violated by more than `tolerance`.
bool separate_cover(std::span<const std::int32_t> columns, std::span<const double> values, double rhs,
                    const SeparationColumns& data, double tolerance, SparseCut& cut);

// The most violated mixed-integer rounding cut of a x <= b over a few divisors, or
// false when none is violated by more than `tolerance`.
bool separate_rounding(std::span<const std::int32_t> columns, std::span<const double> values, double rhs,
                       const SeparationColumns& data, double tolerance, SparseCut& cut);

// Rounds of built-in cuts at the top node (pool present, LP optimal). False when an LP
// failed (its error set).
bool builtin_top_node_cuts(Library& lib);

}  // namespace kqopt
