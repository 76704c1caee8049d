// Kernel: choosing scale exponents, a power of two for every row and every column, so
// that the matrix entries come close to 1 in magnitude. It reads the matrix through
// spans and returns exponents; applying them is problem/scale_exponents.h.
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

#include <cstdint>
#include <span>
#include <vector>

#include "problem/scale_exponents.h"

namespace kqopt {

namespace scaling_bit {
inline constexpr std::int32_t kFirstPass = 1;
inline constexpr std::int32_t kSecondPass = 2;
inline constexpr std::int32_t kFurtherPass = 4;
inline constexpr std::int32_t kExtremeValue = 8;
inline constexpr std::int32_t kMean = 16;
inline constexpr std::int32_t kLargestRowsFirst = 32;
inline constexpr std::int32_t kLargestColumnsFirst = 64;
}  // namespace scaling_bit

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

}  // namespace kqopt
