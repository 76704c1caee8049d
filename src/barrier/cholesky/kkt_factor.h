// The normal-equations factor: for an m x n constraint matrix A it solves
// (A D A' + R) x = b for a positive column scaling D and a regularising diagonal R.
// Set-up (once): structure of A_s A_s' (A_s: A without its dense columns), fill-reducing
// order, symbolic factor. Per scaling: formation straight into the supernode blocks,
// supernodal L D L', the dense-column correction. It sees only its settings and the
// arrays it is given; A's arrays must outlive the factor.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "barrier/cholesky/dense_columns.h"
#include "barrier/cholesky/sparse_cholesky.h"
#include "barrier/kit/clock.h"
#include "barrier/ordering/min_degree.h"

namespace kqopt::barrier {

// Statuses of the set-up and numeric operations.
inline constexpr std::int32_t kKktOk = 0;
inline constexpr std::int32_t kKktOutOfMemory = 1;
inline constexpr std::int32_t kKktIndexOutOfRange = 3;
inline constexpr std::int32_t kKktDimensionMismatch = 4;

struct KktStats {
  std::int32_t kind = 0;
  std::int32_t ordering_code = 0;
  std::int64_t nnz_aat = 0;  // strict upper triangle of A_s A_s'
  std::int64_t nnz_l = 0;    // diagonal included
  std::int32_t dense_columns = 0;
  std::int32_t grouped_columns = 0;  // columns folded into a parallel head column
  std::int32_t supernodes = 0;
  std::int32_t dense_block = 0;  // order of the trailing dense block
  std::int32_t dropped = 0;
  std::int64_t solves = 0;
  std::int64_t factorizations = 0;
  Hundredths setup_time = 0, ordering_time = 0, factor_time = 0, solve_time = 0;
  double ordering_seconds = 0.0;  // CPU seconds, for benchmarks
  MinDegreeStats ordering;
};

class KktFactor {
 public:
  // Nothing when memory is short.
  static std::unique_ptr<KktFactor> create(std::int32_t m, std::int32_t n, std::int32_t kind);

  void set_ordering(std::int32_t code) { ordering_code_ = code; }
  void set_push(bool push) { push_ = push; }
  void set_dense_threshold(std::int32_t t) { dense_threshold_ = t > 0 && t < 21 ? 20 : t; }
  void set_cache_size(std::int32_t kilobytes) { cache_kilobytes_ = kilobytes; }
  void set_pivot_tolerance(double tol) {
    pivot_tolerance_ = tol;
    if (chol_) chol_->set_pivot_tolerance(tol);
  }
  double pivot_tolerance() const { return pivot_tolerance_; }
  void set_fill_threshold(double f) { fill_threshold_ = f; }
  // Takes effect at the next set-up.
  void set_supernode_relaxation(const SupernodeRelaxation& r) { relaxation_ = r; }
  // Statistics lines at verbosity >= 1 go to log (when given).
  void set_log(std::FILE* log, std::int32_t verbosity) {
    log_ = log;
    verbosity_ = verbosity;
  }

  // Chooses the kind (normal equations for a matrix without quadratic part) and sets up.
  std::int32_t autosetup(const ColumnMatrixView& a, bool quadratic = false);
  // Symbolic set-up of the normal equations.
  std::int32_t adasetup(const ColumnMatrixView& a);
  // Forms A D A' + R (d: one weight per column, r: one per row, may be empty) and
  // factorises it.
  std::int32_t numfac(std::span<const double> d, std::span<const double> r = {});
  // x = (A D A' + R)^-1 b.
  void solve(std::span<const double> b, std::span<double> x);
  // With pivots dropped: x solves the system of the rows whose pivots stood (the factor
  // of those rows is that of their own matrix) and is zero at the dropped rows. False,
  // x untouched, when dense columns are split off (their correction couples all rows).
  bool solve_kept_rows(std::span<const double> b, std::span<double> x);
  // count systems at once: b and x hold them one after the other (m each).
  void solve_multiple(std::int32_t count, std::span<const double> b, std::span<double> x);

  const KktStats& stats() const { return stats_; }
  const SparseCholesky* cholesky() const { return chol_.get(); }
  std::span<const std::int32_t> dense_columns() const;
  // Bytes held by the factor, its set-up data and its work arrays.
  std::int64_t stored_bytes() const;

 private:
  KktFactor(std::int32_t m, std::int32_t n, std::int32_t kind) : m_(m), n_(n), kind_(kind) {}
  // Structure, order, symbolic factor and formation plan with the given dense columns.
  std::int32_t build_structure(std::vector<std::int32_t> dense);
  void keep_covering_columns(std::vector<std::int32_t>& dense);
  void group_parallel_columns();
  void build_formation_plan();
  void form(std::span<const double> d, std::span<const double> r);
  void apply_matrix(std::span<const double> x, std::span<double> y) const;
  void solve_once(std::span<double> x_positions);
  // z = (factored matrix)^-1 v, both in the original order.
  void precondition(std::span<const double> v, std::span<double> z);

  std::int32_t m_, n_, kind_;
  std::int32_t ordering_code_ = 0;
  bool push_ = true;
  std::int32_t cache_kilobytes_ = 8000;
  std::int32_t dense_threshold_ = 0;
  double pivot_tolerance_ = 1.0e-12;
  double fill_threshold_ = 1.0;
  SupernodeRelaxation relaxation_ = kRelaxedSupernodes;
  std::FILE* log_ = nullptr;
  std::int32_t verbosity_ = 0;

  ColumnMatrixView a_;
  std::vector<std::int8_t> sparse_column_;  // 1: formed into the sparse factor
  std::vector<std::int32_t> group_head_;    // per column: head of its parallel group, or itself
  std::vector<double> group_ratio_;         // a_j = ratio a_head
  // Entries of the formed columns sorted by position, and the formation plan: the
  // (column, entry) pairs whose entry falls in each supernode.
  std::vector<std::int64_t> entry_start_;
  std::vector<std::int32_t> entry_position_;
  std::vector<std::int64_t> entry_source_;
  std::vector<std::int64_t> plan_start_;
  std::vector<std::int32_t> plan_column_;
  std::vector<std::int64_t> plan_entry_;
  std::vector<std::int32_t> map_;
  std::vector<double> weight_;
  std::vector<double> d_, r_;
  std::vector<double> work_, residual_, direction_, product_;
  std::vector<double> multi_work_;  // the right-hand sides of solve_multiple, in positions
  double matrix_norm_ = 0.0;        // bound on ||A D A' + R|| (infinity norm) of the last formation

  std::unique_ptr<SparseCholesky> chol_;
  std::optional<DenseColumnCorrection> dense_;
  KktStats stats_;
};

}  // namespace kqopt::barrier
