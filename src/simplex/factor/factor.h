// Basis factorisation: INVERT, FTRAN, BTRAN and the basis-change update.
//
// Variables are numbered from 0: variable i < m is the logical of row i (its
// column in B is +e_i), variable m + j is structural column j of the matrix
// (the engine's 1-based variable v is v - 1 here; spare row slots, if the
// caller keeps any, count as rows).
// The basis header lists the variable basic in each position 0..m-1. After
// factorise() position p is the pivot row of the variable basic there, so
// x = B^-1 a is indexed by row.
//
// Maths. With positions identified with pivot rows,
//
//     B = L_1 ... L_k  U        (Forrest-Tomlin: B_t = L R_1^-1 ... R_t^-1 U_t)
//
//   L_t  column eta of INVERT (row singletons and nucleus), record at the back
//        of the factor file: pivot row r, inverse pivot d, entries (i, l_i).
//        FTRAN applies L_t^-1 in axpy form (w_r *= d; w_i -= l_i w_r), BTRAN
//        its transpose in dot form (w_r = (w_r - sum l_i w_i) d). Every entry i of L_t is a row
//        whose own L eta (if any) comes later: the hypersparse pass relies on it.
//   U    upper triangular in the pivot order order_ (logicals, row singletons,
//        column singletons, nucleus; each updated position moves to the end).
//        Off-diagonal entries are kept twice in the front of the file: row
//        line r holds (column position c, u_rc), column line m + c holds
//        (row r, u_rc). u_inv_diag_[r] = 1 / u_rr, exactly 1.0 for unit
//        diagonals, which are never multiplied by.
//   R_t  Forrest-Tomlin row eta, a front line: pivot p, entries (c, r_c);
//        FTRAN does w_p -= sum r_c w_c after L, BTRAN w_c -= r_c w_p before L^T.
//   E_t  product-form column eta (IFFTUP = 0), a back record: pivot p,
//        1/alpha, entries (i, alpha_i); B_t = B E_1 ... E_t.
//
// A caller drives it as: start_run() once per simplex run; factorise() (the
// simplex methods go through invert_basis() in simplex/core/invert_driver.h, which
// also keeps the statuses and basic values and guards growth and accuracy); per iteration btran(), load the entering
// column, ftran(..., save_spike = true), refactor_due() and then update() or a new factorise().
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "simplex/factor/factor_file.h"
#include "simplex/factor/factor_settings.h"
#include "simplex/factor/work_vector.h"

namespace kqopt {

// The source of the basis columns: the structural matrix column-wise (CSC,
// rows x columns, no duplicate row in a column) and the implicit identity of
// the logicals. factorise() checks the basic columns against this (row index in
// range, no row twice) and fails with internal_error instead of trusting them.
struct BasisView {
  std::int32_t rows = 0;                       // m
  std::int32_t columns = 0;                    // n
  std::span<const std::int32_t> column_start;  // n + 1 starts
  std::span<const std::int32_t> row_index;     // column_start[n] row indices
  std::span<const double> value;               // column_start[n] values
};

struct FactorBuildWork;  // INVERT work arrays (factor_build.h)

class Factor {
 public:
  Factor();
  ~Factor();
  Factor(const Factor&) = delete;
  Factor& operator=(const Factor&) = delete;

  // Bytes of the budget taken by the work arrays of m rows; the factor file
  // gets FactorFile::entries_for_budget(budget - work_array_bytes(m)) entries.
  static std::int64_t work_array_bytes(std::int32_t m);

  // Start of a simplex run: u <- ZTOLRI, doubtful mark and rejected list cleared.
  void start_run(const FactorSettings& settings);

  // INVERT proper. Factorises the basis whose header (m entries) is given.
  // Unpivotable columns are replaced in the header by logicals of unpivoted
  // rows, which are pivoted last (report.columns_replaced, message 101;
  // rejected_variables()). On success the header is permuted so that position
  // p is the pivot row of header[p]. Workspace: settings.workspace_bytes.
  // Fails with workspace_exhausted (message 20), factor_file_full or
  // internal_error (message 102); the factorisation is then not valid.
  FactorStatus factorise(const BasisView& basis, std::span<std::int32_t> header, const FactorSettings& settings,
                         InvertReport& report);

  // w <- B^-1 w. With save_spike (Forrest-Tomlin mode) the partially
  // transformed column (the spike) is kept for update(); solves in between
  // leave it alone. The result is in the sparse state when the hypersparse
  // path held all the way, else dense; the simplex sparsifies it with ZTETA.
  // Needs valid().
  void ftran(WorkVector& w, bool save_spike = false);
  // w^T <- w^T B^-1. Hypersparse like ftran when w arrives with its nonzero
  // list (the result then stays in the sparse state), else dense. Needs valid().
  void btran(WorkVector& w);

  // Replaces column p of B by the entering column whose FTRAN result is
  // column; alpha = column[p] (for Forrest-Tomlin the column only supplies
  // alpha for the consistency test, the new column is the spike of the last
  // ftran with save_spike). The mode is IFFTUP as of the last factorise().
  // Codes 2 and 4 stop the update only after settings.invmin updates, except
  // that a new diagonal below ZTETA or zero (alpha in product form) is always
  // refused. A refused update leaves the factorisation of the old basis
  // intact; the caller then sets header[p] itself only after a done. Never
  // allocates in steady state.
  UpdateStatus update(std::int32_t p, const WorkVector& column, const FactorSettings& settings, UpdateReport& report);

  // Whether the next basis change should be an INVERT rather than an update:
  // INVFRQ > 0: k + 1 >= INVFRQ; otherwise doubtful and k >= 74, or
  // k * (entries added by updates) > 30 * (entries after INVERT - entries
  // removed by updates). The dual simplex adds (dual_growth_rule) that the
  // factor has grown beyond 3 * (entries after INVERT) + 500.
  bool refactor_due(const FactorSettings& settings, bool dual_growth_rule = false) const;

  bool valid() const { return valid_; }
  void invalidate() { valid_ = false; }
  std::int32_t rows() const { return m_; }
  std::int32_t updates_since_invert() const { return updates_; }
  bool doubtful() const { return doubtful_; }
  void mark_doubtful() { doubtful_ = true; }
  double pivot_threshold() const { return pivot_threshold_; }
  void set_pivot_threshold(double u) { pivot_threshold_ = u; }
  // Up to 1000 variables rejected as singular since start_run, and their count.
  std::span<const std::int32_t> rejected_variables() const { return rejected_; }
  std::int64_t rejected_count() const { return rejected_count_; }
  // Entries of L, U (diagonal included) and the update etas now.
  std::int64_t factor_entries() const { return entries_now_; }
  std::int64_t entries_after_invert() const { return entries_after_invert_; }
  // U rows without off-diagonal entries whose diagonal is not 1.
  std::int32_t diagonal_only_records() const { return diagonal_only_; }
  FactorDump dump() const;
  std::int64_t bytes_committed() const { return file_.bytes_committed(); }

 private:
  // factor_build.cpp
  FactorStatus build_once(const BasisView& basis, std::span<const std::int32_t> header, InvertReport& report);
  bool load_active_matrix(const BasisView& basis, std::span<const std::int32_t> header);
  bool pivot_row_singletons(InvertReport& report);
  void pivot_column_singletons(InvertReport& report);
  bool write_column_eta(std::int32_t pivot_row, std::int32_t slot, double pivot);
  void replace_unpivoted_columns(std::span<std::int32_t> header, InvertReport& report);
  bool finish(std::span<std::int32_t> header);
  void move_row_max_first(std::int32_t row);
  std::int32_t find_in_line(std::int32_t line, std::int32_t index) const;
  // An entry the row and column lines disagree on marks the build inconsistent
  // (inconsistent_) rather than stopping the process.
  void remove_from_line(std::int32_t line, std::int32_t index);
  void record_pivot(std::int32_t row, std::int32_t slot);
  // factor_nucleus.cpp
  bool factorise_nucleus(InvertReport& report);
  bool choose_pivot(std::int32_t& row, std::int32_t& slot, InvertReport& report);
  bool eliminate(std::int32_t row, std::int32_t slot, InvertReport& report);
  void reject_column(std::int32_t slot);
  // factor_dense.cpp
  bool dense_tail_wanted(std::int32_t pivots_done);
  bool factorise_dense_tail(InvertReport& report);
  void keep_dense_lower(std::int32_t first_eta, std::span<const std::int32_t> block_rows);
  void keep_dense_upper();
  // Block place of position r while it is still in the dense U block, else -1.
  std::int32_t ud_place(std::int32_t r) const {
    const std::int32_t j = order_of_[static_cast<std::size_t>(r)] - ud_first_;
    return j >= 0 && j < ud_pivots_ ? j : -1;
  }
  std::int64_t ud_col_start(std::int32_t j) const { return static_cast<std::int64_t>(j) * (j - 1) / 2; }
  std::int64_t ud_row_start(std::int32_t i) const {
    return static_cast<std::int64_t>(i) * (ud_pivots_ - 1) - static_cast<std::int64_t>(i) * (i - 1) / 2;
  }
  void drop_dense_upper_position(std::int32_t j, std::int64_t& column_entries, std::int64_t& row_entries);
  void link_row(std::int32_t row);
  void unlink_row(std::int32_t row);
  void link_column(std::int32_t slot);
  void unlink_column(std::int32_t slot);
  // factor_ftran.cpp
  bool lower_hypersparse(double* x, std::int32_t* list, std::int32_t& count);
  void lower_full(double* x, std::int32_t first_eta);
  void lower_dense(double* x);
  void lower_records(double* x, std::int32_t first_eta, std::int32_t end_eta);
  // U^-1 over the positions before index `below` of the pivot order.
  void upper_full(double* x, std::int32_t below);
  void upper_dense(double* x, std::int32_t below);
  bool upper_hypersparse(double* x, std::int32_t* list, std::int32_t& count);
  void save_spike(const double* x, const std::int32_t* list, std::int32_t count, bool listed);
  // Heap bounds: h = min(1000, m / 1000 + 5) for L and L^T, max(h, m / 16)
  // for U and U^T.
  std::int32_t lower_heap_bound() const { return std::min(1000, m_ / 1000 + 5); }
  std::int32_t upper_heap_bound() const { return std::max(lower_heap_bound(), m_ / 16); }
  // The U, U^T and L^T heaps also give way to a full pass once the result
  // has more than m / 32 nonzeros: a heap step costs roughly thirty times the
  // visit of a position in the full pass. (At m / 10, FTRAN after 100
  // Forrest-Tomlin updates on Netlib bases took up to twice the full pass.)
  std::int32_t dense_result_limit() const { return std::max(16, m_ / 32); }
  // factor_btran.cpp
  void build_lower_rows();
  void upper_transposed_full(double* x, std::int64_t from);
  void upper_transposed_dense(double* x, std::int32_t from);
  bool upper_transposed_hypersparse(double* x, std::int32_t* list, std::int32_t& count);
  void lower_transposed_dot(double* x);
  void lower_transposed_dense(double* x);
  void lower_transposed_records(double* x, std::int32_t first_eta, std::int32_t end_eta);
  bool lower_transposed_hypersparse(double* x, std::int32_t* list, std::int32_t& count);
  void lower_transposed_sweep(double* x, std::int32_t below);
  void push_lower_row(double* x, std::int32_t row, double value);
  // factor_update.cpp
  UpdateStatus update_forrest_tomlin(std::int32_t p, double alpha, const FactorSettings& settings,
                                     UpdateReport& report);
  UpdateStatus update_product_form(std::int32_t p, const WorkVector& column, const FactorSettings& settings,
                                   UpdateReport& report);
  void resize_for_rows(std::int32_t m);

  std::int32_t m_ = 0;
  bool valid_ = false;
  bool forrest_tomlin_ = true;  // IFFTUP at the last factorise
  double drop_tol_ = 1.0e-13;   // ZTETA in single precision
  FactorFile file_;

  // U (see above): row line r is line r, column line of position c is m + c.
  std::vector<double> u_inv_diag_;      // m
  std::vector<std::int32_t> order_;     // pivot order, -1 where a position moved out
  std::vector<std::int32_t> order_of_;  // m: index of each position in order_
  // Indices t into order_, ascending, of the positions whose U column does
  // anything in FTRAN (off-diagonal entries or a diagonal other than 1): on
  // network-like bases nine positions in ten are bare logicals and singletons,
  // and the full U pass walks this list instead of the whole order. INVERT
  // builds it; an update appends the position it moves to the end, and a
  // column emptied by an update merely stays listed.
  std::vector<std::int32_t> u_live_;
  // L column etas, back records in pivot order: header entry (pivot, d) then entries.
  std::vector<FilePos> l_start_;            // back index of each header entry
  std::vector<std::int32_t> l_count_;       // entries after the header
  std::vector<std::int32_t> l_eta_of_row_;  // m: L eta pivoted on the row, -1 if none
  // Row-wise copy of the L etas for BTRAN, a back block built by INVERT when
  // it fits: row i's entries (pivot row of eta t, l_i) for every eta t with
  // an entry in row i, at back indices [l_row_start_[i], l_row_start_[i + 1]).
  std::vector<FilePos> l_row_start_;  // m + 1
  bool l_rows_ready_ = false;
  // Dense copy of the L etas of the dense tail of INVERT, for the full passes: on
  // bases that fill in (the assignment problems') the tail holds three quarters of L,
  // and a contiguous triangle is solved several times faster than the same entries
  // through their row indices. Etas [ld_first_, ld_first_ + ld_pivots_) pivot on
  // block positions 0, 1, ...; block position j is row ld_row_[j]; eta k's entries
  // for positions k+1 .. ld_rows_-1 start at ld_col_start_[k] in ld_val_ (zeros
  // where the file keeps none). The file's records stay: the hypersparse passes use
  // them. BTRAN reads the row-wise copy in push form, whose inner loop is an axpy.
  std::int32_t ld_first_ = 0;
  std::int32_t ld_pivots_ = 0;  // 0: no dense copy
  std::int32_t ld_rows_ = 0;
  std::vector<std::int32_t> ld_row_;
  std::vector<double> ld_inv_;
  std::vector<std::int64_t> ld_col_start_;
  std::vector<double> ld_val_;
  std::vector<std::int64_t> ld_trow_start_;  // ld_rows_ + 1: the triangle row-wise, for BTRAN
  std::vector<double> ld_tval_;
  std::vector<double> ld_work_;  // ld_rows_: the block's part of the vector
  // U's part of the same block, taken out of the file: the positions of the tail's
  // pivots are consecutive in the pivot order from ud_first_, block place j being row
  // ld_row_[j], with unit diagonals. The strict upper triangle is kept column by column
  // (place j's column at ud_col_start(j), rows 0..j-1) for FTRAN and row by row (place
  // i's row at ud_row_start(i), columns i+1..) for BTRAN and the update. The file keeps
  // the rest of U: the entries of the block's columns in earlier rows, and what updates
  // add. A position an update moves out of the block has its row and column zeroed here
  // and is skipped by the block's passes; its order_ entry is then -1.
  std::int32_t ud_first_ = 0;
  std::int32_t ud_pivots_ = 0;  // 0: no dense U block
  std::vector<double> ud_col_;
  std::vector<double> ud_row_;
  // Forrest-Tomlin row etas (front lines) and product-form etas (back records).
  std::vector<std::int32_t> r_line_;
  std::vector<std::int32_t> r_pivot_;
  std::vector<FilePos> pf_start_;
  std::vector<std::int32_t> pf_count_;
  // Spike kept by ftran(save_spike) for the Forrest-Tomlin update.
  std::vector<std::int32_t> spike_index_;  // m
  std::vector<double> spike_value_;        // m
  std::int32_t spike_count_ = 0;
  bool spike_saved_ = false;
  // Solve and update scratch, all of size m, zero/clear between calls.
  std::vector<std::int32_t> heap_;
  std::vector<std::uint8_t> queued_;
  std::vector<std::uint8_t> listed_;
  std::vector<double> dense_;
  std::vector<std::int32_t> scratch_index_;
  std::vector<double> scratch_value_;

  // Counters.
  std::int32_t logicals_pivoted_ = 0;
  std::int32_t diagonal_only_ = 0;  // U rows without off-diagonals and u_rr != 1
  std::int32_t updates_ = 0;        // k: updates since INVERT
  std::int64_t l_entries_ = 0;
  std::int64_t u_entries_ = 0;  // off-diagonal entries of U (one copy)
  std::int64_t entries_after_invert_ = 0;
  std::int64_t entries_now_ = 0;
  std::int64_t added_by_updates_ = 0;    // eta entries since INVERT
  std::int64_t removed_by_updates_ = 0;  // U entries of the columns replaced

  // Build state: growth of the elimination and the inconsistency mark.
  double largest_active_ = 0.0;
  double largest_created_ = 0.0;
  bool inconsistent_ = false;
  StopPoll* stop_ = nullptr;  // settings.stop of the factorisation under way
  bool stopped_ = false;

  // Run state.
  double pivot_threshold_ = 0.01;  // u
  bool doubtful_ = false;
  std::vector<std::int32_t> rejected_;
  std::int64_t rejected_count_ = 0;

  std::unique_ptr<FactorBuildWork> build_;
};

}  // namespace kqopt
