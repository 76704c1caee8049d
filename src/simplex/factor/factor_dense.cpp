// INVERT, dense tail: once the active submatrix of the nucleus has filled in, it is
// finished as a dense block with rook pivoting instead of by sparse elimination.
//
// Why: on bases like the assignment problems' the last few hundred rows of the nucleus
// fill completely; the sparse elimination then spends most of its time on list upkeep
// (patterns, count lists, row maxima) rather than on arithmetic.
//
// Layout: the active rows are gathered row-major into build_->dense (one row per active
// row, one column per active slot); rows are permuted through an index, columns by
// swaps. Step k pivots on an entry that is the largest of its row and of its column
// (rook pivoting), moved to position (k, k); rows whose entries are all negligible are
// swapped to the end and left unpivoted. It writes the column eta of L with the unscaled
// entries and the pivot row, scaled to a unit diagonal, as a U row: the same records
// the sparse elimination leaves. Column partial pivoting alone bounds L but not the
// scaled U rows, whose size the Forrest-Tomlin row etas inherit.
// Rows and slots left unpivoted are handled by the singular repair as before.
#include <algorithm>
#include <cmath>

#include "simplex/factor/dense_kernels.h"
#include "simplex/factor/factor.h"
#include "simplex/factor/factor_build.h"

namespace kqopt {

namespace {

// As in the sparse search: a column is given up only when every entry left is negligible.
constexpr double kNegligibleColumnEntry = 1.0e-11;
// Rook pivoting seldom needs more than a few moves; a cap keeps a step linear.
constexpr std::int32_t kRookHops = 16;
// The switch: the active submatrix at least this dense, at least this many rows, and a
// block that fits the free factor file (its entries end up there) and a fixed cap.
constexpr double kDenseTailDensity = 0.3;
constexpr std::int64_t kDenseTailMinRows = 16;
constexpr std::int64_t kDenseTailMaxEntries = std::int64_t{1} << 24;

}  // namespace

bool Factor::dense_tail_wanted(std::int32_t pivots_done) {
  FactorBuildWork& w = *build_;
  // The active rows are kept in a list compacted as it is read, so a check costs the
  // rows still active, and checks come after a fixed share of them has been pivoted.
  if (pivots_done < w.dense_next_check) return false;
  std::int32_t kept = 0;
  std::int64_t nonzeros = 0;
  for (std::int32_t t = 0; t < w.active_row_count; ++t) {
    const std::int32_t i = w.active_rows[static_cast<std::size_t>(t)];
    if (w.row_state[static_cast<std::size_t>(i)] != kLineActive) continue;
    w.active_rows[static_cast<std::size_t>(kept++)] = i;
    nonzeros += file_.len(i);
  }
  w.active_row_count = kept;
  w.dense_next_check = pivots_done + std::max(8, kept / 16);
  const std::int64_t rows = kept;
  std::int64_t columns = 0;
  for (std::int32_t c = 1; c <= w.max_count; ++c) {
    for (std::int32_t s = w.col_head[static_cast<std::size_t>(c)]; s >= 0;
         s = w.col_next[static_cast<std::size_t>(s)]) {
      ++columns;
    }
  }
  if (rows < kDenseTailMinRows || columns == 0) return false;
  const std::int64_t block = rows * columns;
  if (block > kDenseTailMaxEntries || block > file_.free_entries()) return false;
  return static_cast<double>(nonzeros) >= kDenseTailDensity * static_cast<double>(block);
}

bool Factor::factorise_dense_tail(InvertReport& report) {
  FactorBuildWork& w = *build_;
  const std::int32_t m = m_;

  // The block's rows and columns; row_mark maps a slot to its column in the block.
  std::int32_t nr = 0;
  for (std::int32_t t = 0; t < w.active_row_count; ++t) {
    const std::int32_t i = w.active_rows[static_cast<std::size_t>(t)];
    if (w.row_state[static_cast<std::size_t>(i)] == kLineActive) w.active_rows[static_cast<std::size_t>(nr++)] = i;
  }
  w.active_row_count = nr;
  w.dense_cols.clear();
  for (std::int32_t c = 1; c <= w.max_count; ++c) {
    for (std::int32_t s = w.col_head[static_cast<std::size_t>(c)]; s >= 0;
         s = w.col_next[static_cast<std::size_t>(s)]) {
      w.row_mark[static_cast<std::size_t>(s)] = static_cast<std::int32_t>(w.dense_cols.size());
      w.dense_cols.push_back(s);
    }
  }
  const auto nc = static_cast<std::int32_t>(w.dense_cols.size());
  const auto stride = static_cast<std::size_t>(nc);
  w.dense.assign(static_cast<std::size_t>(nr) * stride, 0.0);
  w.dense_row_of.resize(static_cast<std::size_t>(nr));
  for (std::int32_t r = 0; r < nr; ++r) {
    const std::int32_t i = w.active_rows[static_cast<std::size_t>(r)];
    double* row = w.dense.data() + static_cast<std::size_t>(r) * stride;
    const std::int32_t* idx = file_.idx(i);
    const double* val = file_.val(i);
    const std::int32_t n = file_.len(i);
    for (std::int32_t t = 0; t < n; ++t) {
      const std::int32_t col = w.row_mark[static_cast<std::size_t>(idx[t])];
      if (col < 0 || col >= nc || w.dense_cols[static_cast<std::size_t>(col)] != idx[t]) {
        inconsistent_ = true;
        return false;
      }
      row[col] = val[t];
    }
    file_.set_len(i, 0);
    unlink_row(i);
    w.dense_row_of[static_cast<std::size_t>(r)] = r;
  }
  for (const std::int32_t s : w.dense_cols) {
    unlink_column(s);
    file_.release_line(m + s);
  }

  // Rows [k, live_rows) and columns [k, live_columns) are the block still to factorise;
  // rows found dependent go to the end of the row order and are left unpivoted, as are
  // the columns left when the rows run out.
  const auto at = [&](std::int32_t r, std::int32_t j) -> double& {
    return w.dense[static_cast<std::size_t>(w.dense_row_of[static_cast<std::size_t>(r)]) * stride +
                   static_cast<std::size_t>(j)];
  };
  std::int32_t live_columns = nc;
  std::int32_t live_rows = nr;
  std::int32_t k = 0;
  while (k < live_rows && k < live_columns) {
    // Rook pivoting: from the largest entry of row k, move to the largest of its
    // column, then of that row, until an entry is the largest of both its row and its
    // column. The U row then holds entries of at most 1 (as the sparse threshold test
    // bounds them by 1/u) and so do the multipliers of L.
    std::int32_t r = k;
    std::int32_t c = -1;
    double best_abs = 0.0;
    for (std::int32_t j = k; j < live_columns; ++j) {
      const double a = std::fabs(at(r, j));
      if (a > best_abs) {
        best_abs = a;
        c = j;
      }
    }
    if (c < 0 || best_abs < kNegligibleColumnEntry) {
      // Dependent on the rows pivoted so far: out to the end, left unpivoted.
      std::swap(w.dense_row_of[static_cast<std::size_t>(k)], w.dense_row_of[static_cast<std::size_t>(live_rows - 1)]);
      --live_rows;
      continue;
    }
    for (std::int32_t hop = 0; hop < kRookHops; ++hop) {
      std::int32_t r2 = r;
      for (std::int32_t i = k; i < live_rows; ++i) {
        const double a = std::fabs(at(i, c));
        if (a > best_abs) {
          best_abs = a;
          r2 = i;
        }
      }
      if (r2 == r) break;
      r = r2;
      std::int32_t c2 = c;
      for (std::int32_t j = k; j < live_columns; ++j) {
        const double a = std::fabs(at(r, j));
        if (a > best_abs) {
          best_abs = a;
          c2 = j;
        }
      }
      if (c2 == c) break;
      c = c2;
    }
    if (c != k) {
      for (std::int32_t i = 0; i < nr; ++i) {
        double* row = w.dense.data() + static_cast<std::size_t>(i) * stride;
        std::swap(row[k], row[c]);
      }
      std::swap(w.dense_cols[static_cast<std::size_t>(k)], w.dense_cols[static_cast<std::size_t>(c)]);
    }
    std::swap(w.dense_row_of[static_cast<std::size_t>(k)], w.dense_row_of[static_cast<std::size_t>(r)]);
    const std::int32_t pr = w.dense_row_of[static_cast<std::size_t>(k)];
    double* prow = w.dense.data() + static_cast<std::size_t>(pr) * stride;
    const std::int32_t p = w.active_rows[static_cast<std::size_t>(pr)];
    const std::int32_t s = w.dense_cols[static_cast<std::size_t>(k)];
    const double pivot = prow[k];
    const double inv = 1.0 / pivot;

    // Column eta: the pivot, then the column's entries in the remaining rows. Entries
    // the file does not keep are zeroed in the block too, so that the elimination below
    // works with exactly the factors written (as the sparse elimination does).
    std::int32_t count = 0;
    for (std::int32_t r = k + 1; r < live_rows; ++r) {
      double& a = at(r, k);
      if (std::fabs(a) > drop_tol_) {
        ++count;
      } else {
        a = 0.0;
      }
    }
    if (!file_.reserve_back(1 + count)) return false;
    const FilePos head = file_.push_back_entry(p, inv);
    l_eta_of_row_[static_cast<std::size_t>(p)] = static_cast<std::int32_t>(l_start_.size());
    l_start_.push_back(head);
    l_count_.push_back(count);
    l_entries_ += count;
    for (std::int32_t r = k + 1; r < live_rows; ++r) {
      const std::int32_t dr = w.dense_row_of[static_cast<std::size_t>(r)];
      const double a = w.dense[static_cast<std::size_t>(dr) * stride + static_cast<std::size_t>(k)];
      if (a != 0.0) {
        file_.push_back_entry(w.active_rows[static_cast<std::size_t>(dr)], a);
        largest_created_ = std::max(largest_created_, std::fabs(a));
      }
    }

    // U row: the rest of the pivot row over the columns still live, scaled in place.
    count = 0;
    for (std::int32_t j = k + 1; j < live_columns; ++j) {
      largest_created_ = std::max(largest_created_, std::fabs(prow[j]));
      const double v = prow[j] * inv;
      if (std::fabs(v) > drop_tol_) {
        prow[j] = v;
        ++count;
      } else {
        prow[j] = 0.0;
      }
    }
    if (!file_.reserve_line(p, count, false)) return false;
    for (std::int32_t j = k + 1; j < live_columns; ++j) {
      if (prow[j] != 0.0) file_.push(p, w.dense_cols[static_cast<std::size_t>(j)], prow[j]);
    }
    u_inv_diag_[static_cast<std::size_t>(p)] = 1.0;
    record_pivot(p, s);
    ++report.nucleus_pivots;

    // Eliminate column k from the remaining rows.
    const auto from = static_cast<std::size_t>(k + 1);
    for (std::int32_t r = k + 1; r < live_rows; ++r) {
      double* row = w.dense.data() + static_cast<std::size_t>(w.dense_row_of[static_cast<std::size_t>(r)]) * stride;
      const double a = row[k];
      if (a == 0.0) continue;
      dense_axpy(row + from, prow + from, live_columns - k - 1, a);
    }
    ++k;
    if (stop_ != nullptr && k % 256 == 0 && stop_->stop_requested()) {
      stopped_ = true;
      return false;
    }
  }
  // Block position j is the row in place j of the final row order: pivots first, in
  // order, then the rows left unpivoted.
  for (std::int32_t r = 0; r < nr; ++r) {
    w.dense_row_of[static_cast<std::size_t>(r)] =
        w.active_rows[static_cast<std::size_t>(w.dense_row_of[static_cast<std::size_t>(r)])];
  }
  keep_dense_lower(static_cast<std::int32_t>(l_start_.size()) - k, w.dense_row_of);
  return true;
}

void Factor::keep_dense_lower(std::int32_t first_eta, std::span<const std::int32_t> block_rows) {
  ld_pivots_ = 0;
  const auto nr = static_cast<std::int32_t>(block_rows.size());
  const std::int32_t pivots = static_cast<std::int32_t>(l_start_.size()) - first_eta;
  if (pivots < kDenseTailMinRows || first_eta < 0 || nr < pivots) return;
  ld_row_.assign(block_rows.begin(), block_rows.end());
  std::int32_t* place = scratch_index_.data();  // free during INVERT
  for (std::int32_t j = 0; j < nr; ++j) place[block_rows[static_cast<std::size_t>(j)]] = j;
  ld_inv_.resize(static_cast<std::size_t>(pivots));
  ld_col_start_.resize(static_cast<std::size_t>(pivots));
  std::int64_t entries = 0;
  for (std::int32_t k = 0; k < pivots; ++k) {
    ld_col_start_[static_cast<std::size_t>(k)] = entries;
    entries += nr - 1 - k;
  }
  ld_val_.assign(static_cast<std::size_t>(entries), 0.0);
  ld_work_.assign(static_cast<std::size_t>(nr), 0.0);
  const std::int32_t* bidx = file_.back_idx();
  const double* bval = file_.back_val();
  for (std::int32_t k = 0; k < pivots; ++k) {
    const FilePos head = l_start_[static_cast<std::size_t>(first_eta + k)];
    if (bidx[head] != ld_row_[static_cast<std::size_t>(k)]) return;  // not the block's order: no copy
    ld_inv_[static_cast<std::size_t>(k)] = bval[head];
    const std::int64_t column = ld_col_start_[static_cast<std::size_t>(k)] - (k + 1);
    const FilePos end = head + 1 + l_count_[static_cast<std::size_t>(first_eta + k)];
    for (FilePos e = head + 1; e < end; ++e) {
      const std::int32_t j = place[bidx[e]];
      if (j <= k || j >= nr || ld_row_[static_cast<std::size_t>(j)] != bidx[e]) return;
      ld_val_[static_cast<std::size_t>(column + j)] = bval[e];
    }
  }
  // The same triangle row by row for BTRAN: position j's multipliers of etas k < j.
  ld_trow_start_.resize(static_cast<std::size_t>(nr) + 1);
  std::int64_t at = 0;
  for (std::int32_t j = 0; j < nr; ++j) {
    ld_trow_start_[static_cast<std::size_t>(j)] = at;
    at += std::min(j, pivots);
  }
  ld_trow_start_[static_cast<std::size_t>(nr)] = at;
  ld_tval_.resize(static_cast<std::size_t>(at));
  for (std::int32_t j = 1; j < nr; ++j) {
    double* row = ld_tval_.data() + ld_trow_start_[static_cast<std::size_t>(j)];
    const std::int32_t n = std::min(j, pivots);
    for (std::int32_t k = 0; k < n; ++k) {
      row[k] = ld_val_[static_cast<std::size_t>(ld_col_start_[static_cast<std::size_t>(k)] + (j - k - 1))];
    }
  }
  ld_first_ = first_eta;
  ld_rows_ = nr;
  ld_pivots_ = pivots;
}

// Called by finish() once U is in positions and order_of_ is set. Nothing changes
// unless the whole block checks out: its pivots consecutive in the pivot order with
// unit diagonals, and its rows holding entries in later block columns only.
void Factor::keep_dense_upper() {
  ud_pivots_ = 0;
  const std::int32_t pivots = ld_pivots_;
  const std::int32_t m = m_;
  if (pivots < kDenseTailMinRows) return;
  const std::int32_t first = order_of_[static_cast<std::size_t>(ld_row_[0])];
  if (first < 0 || first + pivots > static_cast<std::int32_t>(order_.size())) return;
  for (std::int32_t j = 0; j < pivots; ++j) {
    const std::int32_t r = ld_row_[static_cast<std::size_t>(j)];
    if (order_[static_cast<std::size_t>(first + j)] != r || u_inv_diag_[static_cast<std::size_t>(r)] != 1.0) return;
  }
  const auto place = [&](std::int32_t r) {
    const std::int32_t j = order_of_[static_cast<std::size_t>(r)] - first;
    return j >= 0 && j < pivots ? j : -1;
  };
  for (std::int32_t i = 0; i < pivots; ++i) {
    const std::int32_t r = ld_row_[static_cast<std::size_t>(i)];
    const std::int32_t* idx = file_.idx(r);
    const std::int32_t n = file_.len(r);
    for (std::int32_t k = 0; k < n; ++k) {
      if (place(idx[k]) <= i) return;
    }
  }
  const auto triangle = static_cast<std::size_t>(pivots) * static_cast<std::size_t>(pivots - 1) / 2;
  ud_first_ = first;
  ud_pivots_ = pivots;
  ud_col_.assign(triangle, 0.0);
  ud_row_.assign(triangle, 0.0);
  for (std::int32_t i = 0; i < pivots; ++i) {
    const std::int32_t r = ld_row_[static_cast<std::size_t>(i)];
    const std::int32_t* idx = file_.idx(r);
    const double* val = file_.val(r);
    const std::int32_t n = file_.len(r);
    double* row = ud_row_.data() + ud_row_start(i) - (i + 1);
    for (std::int32_t k = 0; k < n; ++k) {
      const std::int32_t j = place(idx[k]);
      row[j] = val[k];
      ud_col_[static_cast<std::size_t>(ud_col_start(j) + i)] = val[k];
    }
    file_.set_len(r, 0);
  }
  // The block's columns keep their entries in rows before the block.
  for (std::int32_t j = 0; j < pivots; ++j) {
    const std::int32_t line = m + ld_row_[static_cast<std::size_t>(j)];
    std::int32_t* idx = file_.idx(line);
    double* val = file_.val(line);
    const std::int32_t n = file_.len(line);
    std::int32_t kept = 0;
    for (std::int32_t k = 0; k < n; ++k) {
      if (place(idx[k]) >= 0) continue;
      idx[kept] = idx[k];
      val[kept++] = val[k];
    }
    file_.set_len(line, kept);
  }
}

// An update moves block place j out: its row and column leave the triangle. The
// nonzeros the column and the row held come back in column_entries and row_entries,
// so the caller's count of the factor's size stays what it was with the file.
void Factor::drop_dense_upper_position(std::int32_t j, std::int64_t& column_entries, std::int64_t& row_entries) {
  const std::int32_t pivots = ud_pivots_;
  column_entries = row_entries = 0;
  double* column = ud_col_.data() + ud_col_start(j);
  for (std::int32_t i = 0; i < j; ++i) {
    if (column[i] == 0.0) continue;
    ++column_entries;
    column[i] = 0.0;
    ud_row_[static_cast<std::size_t>(ud_row_start(i) + (j - i - 1))] = 0.0;
  }
  double* row = ud_row_.data() + ud_row_start(j);
  for (std::int32_t k = 0; k < pivots - 1 - j; ++k) {
    if (row[k] == 0.0) continue;
    ++row_entries;
    row[k] = 0.0;
    ud_col_[static_cast<std::size_t>(ud_col_start(j + 1 + k) + j)] = 0.0;
  }
}

}  // namespace kqopt
