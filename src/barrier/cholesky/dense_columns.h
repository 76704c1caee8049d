// Dense columns of the normal equations: which columns of A are kept out of the sparse
// factor (so that one long column cannot fill L), and the small dense correction that
// puts them back: with S = L D L' the sparse part and W = L^-1 V (V the dense columns
// scaled by the square roots of their weights), A D A' = L (D + W W') L', and the middle
// factor is inverted through the order-k matrix G = I + W' D^-1 W. Pivots the sparse
// factor dropped (where the sparse part alone is singular) join the correction as
// columns of sign -1, which makes G indefinite: it is factored by LU.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "barrier/cholesky/sparse_cholesky.h"
#include "barrier/ordering/aat_structure.h"

namespace kqopt::barrier {

struct ColumnMatrixView {
  PatternView pattern;
  std::span<const double> value;
};

// The dense columns for the threshold t0 (0: none; from 1 to 20 it acts as 20), in
// increasing order.
std::vector<std::int32_t> find_dense_columns(const PatternView& a, std::int32_t threshold);

class DenseColumnCorrection {
 public:
  // Throws std::bad_alloc when memory is short.
  DenseColumnCorrection(std::vector<std::int32_t> columns, std::int32_t m);

  const std::vector<std::int32_t>& columns() const { return columns_; }
  bool empty() const { return columns_.empty(); }

  // After the sparse factorisation: W, G and G's factor. Tiny pivots of G (against the
  // largest diagonal of the sparse factor) are regularised.
  void form(const SparseCholesky& chol, const ColumnMatrixView& a, std::span<const double> d,
            std::span<const std::int32_t> iperm, double max_diagonal);
  // z = D^-1 y on entry (positions); leaves (D + W W')^-1 y.
  void apply(const SparseCholesky& chol, std::span<double> z);

  std::int64_t stored_bytes() const {
    return static_cast<std::int64_t>((w_.size() + g_.size() + work_.size() + sign_.size()) * sizeof(double));
  }

 private:
  // Beyond this many dropped pivots the correction leaves them to the refinement.
  static constexpr std::int32_t kMaxDroppedCorrected = 400;
  std::vector<std::int32_t> columns_;
  std::int32_t m_;
  std::int32_t order_ = 0;
  std::vector<std::int32_t> dropped_;  // positions
  std::vector<double> w_;              // m x order, column-major, positions
  std::vector<double> g_;              // order x order, LU in place
  std::vector<std::int32_t> pivots_;
  std::vector<double> sign_;
  std::vector<double> work_;
};

}  // namespace kqopt::barrier
