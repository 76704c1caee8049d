// Numeric supernodal factorisation L D L' of a symmetric matrix on a symbolic factor:
// the matrix is formed straight into the supernode blocks, each supernode is updated by
// the earlier supernodes that touch it (left-looking), then factored panel by panel with
// the tiny-pivot rule; and the solves with the factor.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "barrier/kit/large_pages.h"
#include "barrier/ordering/symbolic.h"

namespace kqopt::barrier {

namespace pivot_flag {
inline constexpr std::uint8_t kNegative = 0x02;
inline constexpr std::uint8_t kPositive = 0x08;
inline constexpr std::uint8_t kDropped = 0x10;
inline constexpr std::uint8_t kNoRelativeDrop = 0x40;
inline constexpr std::uint8_t kRegularise = 0x80;
}  // namespace pivot_flag

struct CholeskySettings {
  double pivot_tolerance = 1.0e-12;
  double cache_kilobytes = 8000;  // panels fit 95 % of it
};

class SparseCholesky {
 public:
  // Takes the symbolic factor; throws std::bad_alloc when memory is short.
  SparseCholesky(SymbolicFactor symbolic, const CholeskySettings& settings);

  const SymbolicFactor& symbolic() const { return s_; }
  std::int32_t order() const { return s_.n; }

  // Formation: zero() then add into the blocks; add_diagonal takes positions.
  void zero();
  double* block(std::int32_t supernode) { return values_.data() + s_.value_start[static_cast<std::size_t>(supernode)]; }
  std::int64_t block_height(std::int32_t supernode) const {
    return s_.row_start[static_cast<std::size_t>(supernode) + 1] - s_.row_start[static_cast<std::size_t>(supernode)];
  }
  void add_diagonal(std::int32_t position, double value);
  std::vector<std::uint8_t>& flags() { return flags_; }

  // Factorises what was formed. Records the formed diagonal, the largest diagonal
  // magnitude (at least 1) and the dropped pivots.
  void factorize();

  // x holds the right-hand side in positions (permuted order) and gets the solution;
  // with count > 1, count of them, the r-th at x[r * stride ..), solved in one pass over L.
  // Not to be called from two threads at once (the solves share a work vector).
  void solve_positions(std::span<double> x, std::int32_t count = 1, std::int64_t stride = 0) const;
  // Forward and backward halves: L y = b, then D, then L' x = y.
  void forward(std::span<double> x, std::int32_t count = 1, std::int64_t stride = 0) const;
  void divide(std::span<double> x, std::int32_t count = 1, std::int64_t stride = 0) const;
  void backward(std::span<double> x, std::int32_t count = 1, std::int64_t stride = 0) const;

  std::int32_t dropped() const { return dropped_; }
  void set_pivot_tolerance(double tol) { settings_.pivot_tolerance = tol; }
  bool dropped_at(std::int32_t position) const {
    return (flags_[static_cast<std::size_t>(position)] & pivot_flag::kDropped) != 0;
  }
  double max_diagonal() const { return max_diagonal_; }
  std::span<const double> diagonal() const { return diag_; }
  std::int64_t stored_bytes() const;

 private:
  void factor_block(std::int32_t sn);
  double pivot(std::int32_t k, double p);

  SymbolicFactor s_;
  CholeskySettings settings_;
  std::vector<double, LargePageAllocator<double>> values_;
  std::vector<double> diag_;
  std::vector<double> formed_;
  std::vector<std::uint8_t> flags_;
  // Work arrays of the factorisation, sized once.
  std::vector<std::int32_t> map_, link_head_, link_next_;
  std::vector<std::int64_t> next_row_;
  std::vector<std::int32_t> target_row_, target_column_;
  std::vector<double> scaled_;
  mutable std::vector<double> solve_work_;  // the solves' gathered rows
  std::int32_t dropped_ = 0;
  double max_diagonal_ = 1.0;
};

}  // namespace kqopt::barrier
