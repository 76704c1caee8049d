// Scaling: a power of two for every row and every column, chosen so that the matrix
// entries come close to 1 in magnitude.
//
// Each variable keeps its scale exponent k (1..127; 64, or 0, is neutral) in the top
// byte of its status word; the factor is 2^(64 − k): R_i for the logical of row i, C_j
// for column j. The problem is stored scaled (problem.h):
//
//     a'_ij = a_ij·R_i·C_j   c'_j = c_j·C_j   l'_j = l_j / C_j   u'_j = u_j / C_j
//     rhs'_i = rhs_i·R_i and the logical bounds of row i times R_i
//
// and every solver works on the stored values; problem/units.h and
// simplex/solution_units.h turn them back into the caller's units. Factors are powers
// of two, so scaling and unscaling are exact (outside the subnormal range) and ±infinity
// is never touched.
//
// Control IFSCAL chooses how the exponents are computed (bits below, default 35):
//   bit 8 or 16   an iterative method: extreme values (at most 4 sweeps; bit 8 wins when
//                 both are set) or means (at most 10 sweeps) of log2 |a_ij|;
//   else bit 32   largest entries, rows (bit 1), then columns (bit 2), rows again (bit 4);
//   else bit 64   largest entries, columns (bit 1), then rows (bit 2), columns again (bit 4);
//   else          single logarithmic passes: rows (bit 1), columns (bit 2), rows (bit 4).
// Rows flagged row_flag::kNoScale and global-entity columns keep the neutral exponent;
// free (N) rows are scaled but take no part in the column scales.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "problem/problem.h"

namespace kqopt {

struct Library;

namespace scaling_bit {
inline constexpr std::int32_t kFirstPass = 1;
inline constexpr std::int32_t kSecondPass = 2;
inline constexpr std::int32_t kFurtherPass = 4;
inline constexpr std::int32_t kExtremeValue = 8;
inline constexpr std::int32_t kMean = 16;
inline constexpr std::int32_t kLargestRowsFirst = 32;
inline constexpr std::int32_t kLargestColumnsFirst = 64;
}  // namespace scaling_bit

inline constexpr int kMinScaleExponent = 1;
inline constexpr int kMaxScaleExponent = 127;

// The table 2^(t − 64) for t = 1..127 (entry 0 unused). The factor 2^(64 − k) of exponent
// k is entry 128 − k, its reciprocal entry k.
inline constexpr std::array<double, 128> kPowersOfTwo = [] {
  std::array<double, 128> table{};
  double up = 1.0, down = 1.0;
  table[64] = 1.0;
  for (int d = 1; d <= 63; ++d) {
    up *= 2.0;
    down /= 2.0;
    table[static_cast<std::size_t>(64 + d)] = up;
    table[static_cast<std::size_t>(64 - d)] = down;
  }
  return table;
}();
// 2^(64 − k) and 2^(k − 64); k must lie in 1..127.
inline double scale_factor(int k) { return kPowersOfTwo[static_cast<std::size_t>(128 - k)]; }
inline double inverse_scale_factor(int k) { return kPowersOfTwo[static_cast<std::size_t>(k)]; }

// The matrix in the caller's units as the exponent computation reads it, with the
// lines whose exponents are held.
struct ScalingInput {
  std::int32_t rows = 0;  // row slots
  std::int32_t columns = 0;
  std::span<const std::int32_t> column_start;  // columns + 1
  std::span<const std::int32_t> row_index;     // 0-based rows
  std::span<const double> value;               // zero and non-finite entries are ignored
  std::span<const std::uint8_t> row_held;      // [rows] nonzero: exponent 64
  std::span<const std::uint8_t> row_ignored;   // [rows] nonzero: no part in the column scales
  std::span<const std::uint8_t> column_held;   // [columns] nonzero: exponent 64
};

struct ScaleExponents {
  std::vector<int> row;     // [rows], each in 1..127
  std::vector<int> column;  // [columns]
};

// What the iterative methods did, sweep by sweep: the largest change of a column scale
// in natural-logarithm units (message 30 for extreme values, 31 for means).
struct ScalingSweeps {
  bool mean = false;
  std::vector<double> largest_change;
};

// Computes the exponents that IFSCAL selects (file comment); ifscal ≠ 0. The largest-entry
// and single-pass families divide a line by the power of two nearest its target; the
// iterative methods truncate (k = trunc(s + 64) for a scale of s powers of two). Never fails:
// rows and columns without usable entries get 64, every exponent is clamped to 1..127.
ScaleExponents compute_scale_exponents(const ScalingInput& input, std::int32_t ifscal, ScalingSweeps& sweeps);

// The power of two nearest the largest |c'_j| (1 when every cost is zero): the unit in
// which the phase-1 weight BIGM and the penalty PENLTY are read.
double compute_cost_scale(const Problem& p);

// BIGM, INFWGT and PENLTY in the units of the stored costs.
inline double phase_one_weight(const Problem& p, double weight) { return weight * p.cost_scale; }
inline double scaled_penalty(const Problem& p, double penalty) { return penalty * p.cost_scale; }

// Converts every stored value of p (and of a solution the engine holds for it) from the
// current exponents to `next`, and records `next` in the status words.
void change_scale_exponents(Library& lib, Problem& p, const ScaleExponents& next);

// The scaling step of a load and of KQSCALE: the current scale is removed; with IFSCAL ≠
// 0 new exponents are computed (messages 30 / 31 when IFMSG ≠ 0) and applied; then the
// cost scale is set. p must have a current column-wise matrix.
void rescale_problem(Library& lib, Problem& p);

// KQSCALE and the SCALE command. Clears the error state. Returns the return code: 32
// with message 91 when no problem is loaded, 32 with message 268 while an optimisation
// or a global search is under way.
std::int32_t scale_problem(Library& lib);

}  // namespace kqopt
