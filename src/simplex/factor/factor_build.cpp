// INVERT: the basis loaded into the factor file, logicals pivoted at once,
// the triangular phases (row singletons, then column singletons), the
// singular repair and the finishing of U for the solves. The nucleus is in
// factor_nucleus.cpp.
//
// Pivot order: logicals, row singletons, column singletons, nucleus. A row
// singleton (i, s) leaves a column eta of L (the other active entries of
// column s) and an empty U row; a column singleton or a logical leaves its row
// (its entries in columns pivoted later) as a U row with the pivot as
// diagonal; a nucleus pivot leaves both (factor_nucleus.cpp).
#include "simplex/factor/factor_build.h"

#include <algorithm>
#include <cmath>

#include "simplex/factor/factor.h"

namespace kqopt {

namespace {

// Bytes of the per-row arrays INVERT and the solves obtain besides the file.
constexpr std::int64_t kWorkBytesPerRow = 256;
constexpr std::int64_t kWorkBytesFixed = 1024;
constexpr std::size_t kUpdateReserve = 512;
// Rejected variables kept for reporting.
constexpr std::size_t kRejectedListLength = 1000;

double inverse_pivot(double pivot) { return pivot == 1.0 ? 1.0 : 1.0 / pivot; }

}  // namespace

Factor::Factor() : build_(std::make_unique<FactorBuildWork>()) {}
Factor::~Factor() = default;

std::int64_t Factor::work_array_bytes(std::int32_t m) { return kWorkBytesFixed + kWorkBytesPerRow * m; }

void Factor::start_run(const FactorSettings& settings) {
  pivot_threshold_ = settings.ztolri;
  doubtful_ = false;
  rejected_.clear();
  rejected_count_ = 0;
}

void Factor::resize_for_rows(std::int32_t m) {
  const auto n = static_cast<std::size_t>(m);
  m_ = m;
  u_inv_diag_.resize(n);
  order_of_.resize(n);
  l_eta_of_row_.resize(n);
  l_row_start_.resize(n + 1);
  spike_index_.resize(n);
  spike_value_.resize(n);
  heap_.resize(n + 1);
  queued_.assign(n, 0);
  listed_.assign(n, 0);
  dense_.assign(n, 0.0);
  scratch_index_.resize(n);
  scratch_value_.resize(n);
  // Room for the records of a few hundred updates, so that updates seldom
  // grow an array.
  order_.reserve(n + kUpdateReserve);
  u_live_.reserve(n + kUpdateReserve);
  l_start_.reserve(n);
  l_count_.reserve(n);
  r_line_.reserve(kUpdateReserve);
  r_pivot_.reserve(kUpdateReserve);
  pf_start_.reserve(kUpdateReserve);
  pf_count_.reserve(kUpdateReserve);
  build_->resize(m);
}

FactorDump Factor::dump() const {
  FactorDump d;
  d.logicals_pivoted = logicals_pivoted_;
  d.column_etas = static_cast<std::int32_t>(l_start_.size());
  d.update_etas = static_cast<std::int32_t>(r_line_.size() + pf_start_.size());
  d.front_length = file_.front_end();
  d.row_file_length = u_entries_;
  d.factor_entries = entries_now_;
  d.back_length = file_.back_used();
  d.file_size = file_.capacity();
  return d;
}

FactorStatus Factor::factorise(const BasisView& basis, std::span<std::int32_t> header, const FactorSettings& settings,
                               InvertReport& report) {
  const std::int32_t m = basis.rows;
  report.dump_at_entry = dump();
  if (static_cast<std::int32_t>(header.size()) != m) {
    valid_ = false;
    report.dump_at_exit = dump();
    return FactorStatus::internal_error;
  }
  valid_ = false;
  forrest_tomlin_ = settings.ifftup != 0;
  stop_ = settings.stop;
  drop_tol_ = static_cast<double>(static_cast<float>(settings.zteta));

  // Work arrays first; the file takes what remains of the budget.
  const std::int64_t work_bytes = work_array_bytes(m);
  const FilePos capacity =
      settings.workspace_bytes > work_bytes ? FactorFile::entries_for_budget(settings.workspace_bytes - work_bytes) : 0;
  if (capacity < 20) {
    report.workspace_needed = work_bytes + 448;
    report.dump_at_exit = dump();
    return FactorStatus::workspace_exhausted;
  }
  for (const std::int32_t v : header) {
    if (v < 0 || v >= m + basis.columns) {
      report.dump_at_exit = dump();
      return FactorStatus::internal_error;
    }
  }
  resize_for_rows(m);

  file_.reset(capacity, 2 * m);
  const FactorStatus status = build_once(basis, header, report);
  report.compactions += file_.compactions();
  report.largest_active_entry = largest_active_;
  report.largest_created_entry = largest_created_;
  if (status != FactorStatus::ok) {
    report.dump_at_exit = dump();
    return status;
  }
  replace_unpivoted_columns(header, report);

  const std::int32_t compactions_before = file_.compactions();
  const bool finished = finish(header);
  report.compactions += file_.compactions() - compactions_before;
  if (!finished) {
    report.dump_at_exit = dump();
    return inconsistent_ ? FactorStatus::internal_error : FactorStatus::factor_file_full;
  }
  valid_ = true;
  report.basis_entries = 0;
  for (const std::int32_t v : header) {
    report.basis_entries += v < m ? 1
                                  : basis.column_start[static_cast<std::size_t>(v - m + 1)] -
                                        basis.column_start[static_cast<std::size_t>(v - m)];
  }
  report.factor_entries = entries_after_invert_;
  report.dump_at_exit = dump();
  return FactorStatus::ok;
}

FactorStatus Factor::build_once(const BasisView& basis, std::span<const std::int32_t> header, InvertReport& report) {
  FactorBuildWork& w = *build_;
  std::fill(w.slot_row.begin(), w.slot_row.end(), -1);
  std::fill(w.row_slot.begin(), w.row_slot.end(), -1);
  std::fill(w.slot_state.begin(), w.slot_state.end(), kLineActive);
  std::fill(w.slot_replaced.begin(), w.slot_replaced.end(), std::uint8_t{0});
  std::fill(w.row_state.begin(), w.row_state.end(), kLineActive);
  std::fill(w.pivot_place.begin(), w.pivot_place.end(), -1);
  std::fill(l_eta_of_row_.begin(), l_eta_of_row_.end(), -1);
  std::fill(u_inv_diag_.begin(), u_inv_diag_.end(), 1.0);
  order_.clear();
  l_start_.clear();
  l_count_.clear();
  r_line_.clear();
  r_pivot_.clear();
  pf_start_.clear();
  pf_count_.clear();
  spike_saved_ = false;
  l_rows_ready_ = false;
  ld_pivots_ = 0;
  ud_pivots_ = 0;
  logicals_pivoted_ = 0;
  l_entries_ = u_entries_ = 0;
  entries_now_ = entries_after_invert_ = 0;
  updates_ = 0;
  added_by_updates_ = removed_by_updates_ = 0;
  report.row_singletons = report.column_singletons = report.nucleus_pivots = 0;
  report.dropped_entries = 0;
  largest_active_ = largest_created_ = 0.0;
  inconsistent_ = false;
  stopped_ = false;

  const auto failed = [this] {
    if (stopped_) return FactorStatus::stopped;
    return inconsistent_ ? FactorStatus::internal_error : FactorStatus::factor_file_full;
  };
  if (!load_active_matrix(basis, header)) return failed();
  if (!pivot_row_singletons(report)) return failed();
  pivot_column_singletons(report);
  if (inconsistent_) return FactorStatus::internal_error;
  if (!factorise_nucleus(report)) return failed();
  if (inconsistent_) return FactorStatus::internal_error;
  return FactorStatus::ok;
}

void Factor::record_pivot(std::int32_t row, std::int32_t slot) {
  FactorBuildWork& w = *build_;
  w.slot_row[static_cast<std::size_t>(slot)] = row;
  w.row_slot[static_cast<std::size_t>(row)] = slot;
  w.slot_state[static_cast<std::size_t>(slot)] = kLinePivoted;
  w.row_state[static_cast<std::size_t>(row)] = kLinePivoted;
  order_.push_back(row);
}

std::int32_t Factor::find_in_line(std::int32_t line, std::int32_t index) const {
  const std::int32_t* idx = file_.idx(line);
  const std::int32_t n = file_.len(line);
  for (std::int32_t k = 0; k < n; ++k) {
    if (idx[k] == index) return k;
  }
  return -1;
}

void Factor::remove_from_line(std::int32_t line, std::int32_t index) {
  const std::int32_t k = find_in_line(line, index);
  if (k < 0) {
    inconsistent_ = true;
    return;
  }
  file_.remove_at(line, k);
}

void Factor::move_row_max_first(std::int32_t row) {
  const std::int32_t n = file_.len(row);
  if (n < 2) return;
  double* val = file_.val(row);
  std::int32_t* idx = file_.idx(row);
  std::int32_t best = 0;
  double best_abs = std::fabs(val[0]);
  for (std::int32_t k = 1; k < n; ++k) {
    if (std::fabs(val[k]) > best_abs) {
      best_abs = std::fabs(val[k]);
      best = k;
    }
  }
  std::swap(val[0], val[best]);
  std::swap(idx[0], idx[best]);
}

bool Factor::load_active_matrix(const BasisView& basis, std::span<const std::int32_t> header) {
  FactorBuildWork& w = *build_;
  const std::int32_t m = m_;

  // Logicals are pivoted at once on their own rows; a second copy of the same
  // logical stays unpivoted.
  for (std::int32_t s = 0; s < m; ++s) {
    const std::int32_t v = header[static_cast<std::size_t>(s)];
    if (v >= m) continue;
    if (w.row_state[static_cast<std::size_t>(v)] == kLineActive) {
      record_pivot(v, s);
      ++logicals_pivoted_;
    } else {
      w.slot_state[static_cast<std::size_t>(s)] = kLineOut;
    }
  }

  // Row lines hold every structural entry of B: U entries in the rows of the
  // logicals, the active submatrix elsewhere. Patterns list active rows only.
  // The counting pass also checks the columns: a row index out of range or a row
  // listed twice in one column would break the line invariants.
  std::fill(w.counts.begin(), w.counts.end(), 0);
  std::fill(w.row_mark.begin(), w.row_mark.end(), -1);
  FilePos total = 0;
  FilePos active = 0;
  for (std::int32_t s = 0; s < m; ++s) {
    const std::int32_t v = header[static_cast<std::size_t>(s)];
    if (v < m) continue;
    const std::int32_t j = v - m;
    for (std::int32_t k = basis.column_start[static_cast<std::size_t>(j)];
         k < basis.column_start[static_cast<std::size_t>(j + 1)]; ++k) {
      const double a = basis.value[static_cast<std::size_t>(k)];
      if (a == 0.0) continue;
      const std::int32_t i = basis.row_index[static_cast<std::size_t>(k)];
      if (i < 0 || i >= m || w.row_mark[static_cast<std::size_t>(i)] == s) {
        inconsistent_ = true;
        return false;
      }
      w.row_mark[static_cast<std::size_t>(i)] = s;
      ++w.counts[static_cast<std::size_t>(i)];
      ++total;
      if (w.row_state[static_cast<std::size_t>(i)] == kLineActive) {
        ++active;
        largest_active_ = std::max(largest_active_, std::fabs(a));
      }
    }
  }
  if (total + active > file_.free_entries()) return false;
  for (std::int32_t i = 0; i < m; ++i) {
    if (!file_.reserve_line(i, w.counts[static_cast<std::size_t>(i)], false)) return false;
  }
  for (std::int32_t s = 0; s < m; ++s) {
    const std::int32_t v = header[static_cast<std::size_t>(s)];
    if (v < m) continue;
    const std::int32_t j = v - m;
    std::int32_t in_active = 0;
    for (std::int32_t k = basis.column_start[static_cast<std::size_t>(j)];
         k < basis.column_start[static_cast<std::size_t>(j + 1)]; ++k) {
      const double a = basis.value[static_cast<std::size_t>(k)];
      if (a == 0.0) continue;
      const std::int32_t i = basis.row_index[static_cast<std::size_t>(k)];
      file_.push(i, s, a);
      if (w.row_state[static_cast<std::size_t>(i)] == kLineActive) ++in_active;
    }
    if (!file_.reserve_line(m + s, in_active, false)) return false;
    for (std::int32_t k = basis.column_start[static_cast<std::size_t>(j)];
         k < basis.column_start[static_cast<std::size_t>(j + 1)]; ++k) {
      const std::int32_t i = basis.row_index[static_cast<std::size_t>(k)];
      if (basis.value[static_cast<std::size_t>(k)] != 0.0 && w.row_state[static_cast<std::size_t>(i)] == kLineActive) {
        file_.push(m + s, i, 0.0);
      }
    }
  }
  for (std::int32_t i = 0; i < m; ++i) {
    if (w.row_state[static_cast<std::size_t>(i)] == kLineActive) move_row_max_first(i);
  }
  return true;
}

bool Factor::write_column_eta(std::int32_t pivot_row, std::int32_t slot, double pivot) {
  FactorBuildWork& w = *build_;
  const std::int32_t line = m_ + slot;
  const std::int32_t n = file_.len(line);
  const std::int32_t count = n - 1;  // the pattern includes the pivot row
  if (!file_.reserve_back(1 + count)) return false;
  const FilePos head = file_.push_back_entry(pivot_row, inverse_pivot(pivot));
  l_eta_of_row_[static_cast<std::size_t>(pivot_row)] = static_cast<std::int32_t>(l_start_.size());
  l_start_.push_back(head);
  l_count_.push_back(count);
  l_entries_ += count;

  // Take each entry of the pivot column out of its row, into the eta.
  w.eta_count = 0;
  const std::int32_t* rows = file_.idx(line);
  for (std::int32_t t = 0; t < n; ++t) {
    const std::int32_t i = rows[t];
    if (i == pivot_row) continue;
    const std::int32_t k = find_in_line(i, slot);
    if (k < 0) {
      inconsistent_ = true;
      return false;
    }
    const double a = file_.val(i)[k];
    file_.remove_at(i, k);
    if (k == 0) move_row_max_first(i);
    file_.push_back_entry(i, a);
    w.eta_row[static_cast<std::size_t>(w.eta_count)] = i;
    w.eta_value[static_cast<std::size_t>(w.eta_count)] = a;
    ++w.eta_count;
  }
  return true;
}

bool Factor::pivot_row_singletons(InvertReport& report) {
  FactorBuildWork& w = *build_;
  const std::int32_t m = m_;
  w.stack.clear();
  for (std::int32_t i = 0; i < m; ++i) {
    if (w.row_state[static_cast<std::size_t>(i)] == kLineActive && file_.len(i) == 1) w.stack.push_back(i);
  }
  while (!w.stack.empty()) {
    const std::int32_t i = w.stack.back();
    w.stack.pop_back();
    if (w.row_state[static_cast<std::size_t>(i)] != kLineActive || file_.len(i) != 1) continue;
    const std::int32_t s = file_.idx(i)[0];
    const double pivot = file_.val(i)[0];
    if (!write_column_eta(i, s, pivot)) return false;
    for (std::int32_t t = 0; t < w.eta_count; ++t) {
      const std::int32_t k = w.eta_row[static_cast<std::size_t>(t)];
      if (file_.len(k) == 1) w.stack.push_back(k);
    }
    file_.set_len(i, 0);  // the U row of a row singleton is its (unit) diagonal only
    file_.release_line(m + s);
    record_pivot(i, s);
    ++report.row_singletons;
  }
  return true;
}

void Factor::pivot_column_singletons(InvertReport& report) {
  FactorBuildWork& w = *build_;
  const std::int32_t m = m_;
  w.stack.clear();
  for (std::int32_t s = 0; s < m; ++s) {
    if (w.slot_state[static_cast<std::size_t>(s)] == kLineActive && file_.len(m + s) == 1) {
      w.stack.push_back(s);
    }
  }
  while (!w.stack.empty()) {
    const std::int32_t s = w.stack.back();
    w.stack.pop_back();
    if (w.slot_state[static_cast<std::size_t>(s)] != kLineActive || file_.len(m + s) != 1) continue;
    const std::int32_t i = file_.idx(m + s)[0];
    const std::int32_t k = find_in_line(i, s);
    if (k < 0) {
      inconsistent_ = true;
      return;
    }
    const double pivot = file_.val(i)[k];
    file_.remove_at(i, k);
    // The rest of row i is its U row; its columns lose the row.
    const std::int32_t n = file_.len(i);
    for (std::int32_t t = 0; t < n; ++t) {
      const std::int32_t other = file_.idx(i)[t];
      remove_from_line(m + other, i);
      if (file_.len(m + other) == 1) w.stack.push_back(other);
    }
    u_inv_diag_[static_cast<std::size_t>(i)] = inverse_pivot(pivot);
    file_.release_line(m + s);
    record_pivot(i, s);
    ++report.column_singletons;
  }
}

// Singular basis: every column left unpivoted leaves the basis and the
// logical of an unpivoted row takes its position. Its column e_r is untouched
// by L (no eta pivots on r) and has no entry in any other row, so it is
// pivoted on r last, with a unit diagonal and empty U row and column; the
// entries the rejected column left in U rows are dropped by finish(). This is
// the factorisation a fresh start on the repaired basis would build, without
// redoing the pivots already made.
void Factor::replace_unpivoted_columns(std::span<std::int32_t> header, InvertReport& report) {
  FactorBuildWork& w = *build_;
  const std::int32_t m = m_;
  std::int32_t replaced = 0;
  std::int32_t row = 0;
  for (std::int32_t s = 0; s < m; ++s) {
    if (w.slot_state[static_cast<std::size_t>(s)] == kLinePivoted) continue;
    while (w.row_state[static_cast<std::size_t>(row)] == kLinePivoted) ++row;
    const std::int32_t rejected = header[static_cast<std::size_t>(s)];
    if (rejected_.size() < kRejectedListLength) rejected_.push_back(rejected);
    ++rejected_count_;
    header[static_cast<std::size_t>(s)] = row;
    file_.set_len(row, 0);
    file_.release_line(m + s);
    w.slot_replaced[static_cast<std::size_t>(s)] = 1;
    u_inv_diag_[static_cast<std::size_t>(row)] = 1.0;
    record_pivot(row, s);
    ++replaced;
  }
  if (replaced > 0) report.columns_replaced.push_back(replaced);
}

bool Factor::finish(std::span<std::int32_t> header) {
  FactorBuildWork& w = *build_;
  const std::int32_t m = m_;
  for (std::int32_t s = 0; s < m; ++s) file_.release_line(m + s);

  // U rows: slots become positions (the pivot row of each slot).
  std::fill(w.counts.begin(), w.counts.end(), 0);
  u_entries_ = 0;
  diagonal_only_ = 0;
  for (std::int32_t r = 0; r < m; ++r) {
    std::int32_t* idx = file_.idx(r);
    std::int32_t k = 0;
    while (k < file_.len(r)) {
      if (w.slot_replaced[static_cast<std::size_t>(idx[k])]) {
        file_.remove_at(r, k);
        continue;
      }
      idx[k] = w.slot_row[static_cast<std::size_t>(idx[k])];
      ++w.counts[static_cast<std::size_t>(idx[k])];
      ++k;
    }
    const std::int32_t n = file_.len(r);
    u_entries_ += n;
    if (n == 0 && u_inv_diag_[static_cast<std::size_t>(r)] != 1.0) ++diagonal_only_;
  }

  // U columns: the column-wise copy used by FTRAN and by the update.
  if (u_entries_ > file_.free_entries()) {
    file_.compact();
    if (u_entries_ > file_.free_entries()) return false;
  }
  for (std::int32_t c = 0; c < m; ++c) {
    if (!file_.reserve_line(m + c, w.counts[static_cast<std::size_t>(c)], false)) return false;
  }
  for (std::int32_t r = 0; r < m; ++r) {
    const std::int32_t* idx = file_.idx(r);
    const double* val = file_.val(r);
    const std::int32_t n = file_.len(r);
    for (std::int32_t k = 0; k < n; ++k) file_.push(m + idx[k], r, val[k]);
  }

  // Position r now holds the variable pivoted on row r.
  for (std::int32_t r = 0; r < m; ++r) {
    w.counts[static_cast<std::size_t>(r)] = header[static_cast<std::size_t>(w.row_slot[static_cast<std::size_t>(r)])];
  }
  std::copy_n(w.counts.begin(), m, header.begin());

  if (static_cast<std::int32_t>(order_.size()) != m) {
    inconsistent_ = true;
    return false;
  }
  for (std::int32_t t = 0; t < m; ++t) order_of_[static_cast<std::size_t>(order_[t])] = t;
  keep_dense_upper();
  u_live_.clear();
  for (std::int32_t t = 0; t < m; ++t) {
    if (t == ud_first_ && ud_pivots_ > 0) t += ud_pivots_;  // the block's passes see to its positions
    if (t == m) break;
    const std::int32_t r = order_[static_cast<std::size_t>(t)];
    if (file_.len(m + r) > 0 || u_inv_diag_[static_cast<std::size_t>(r)] != 1.0) u_live_.push_back(t);
  }

  entries_after_invert_ = l_entries_ + u_entries_ + m;
  entries_now_ = entries_after_invert_;
  build_lower_rows();
  return true;
}

}  // namespace kqopt
