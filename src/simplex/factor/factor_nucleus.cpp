// INVERT, nucleus: Markowitz elimination with threshold pivoting on what the
// triangular phases left.
//
// Search (choose_pivot): by increasing count c, first the columns with c
// entries, then the rows with c entries. The cost of entry (i, j) is
// (r_i - 1)(c_j - 1). In a column, entry (i, j) is a candidate when it is the
// largest of its row, or when |a_ij| >= 1e-6 and |a_ij| >= u * max_k |a_ik|;
// a column without candidates leaves the active submatrix unpivoted. In a row
// the largest entry is always a candidate, the others when they pass the
// relative test and u * (row maximum) >= 1e-6. A column is rejected as dependent
// only when all its entries are negligible (below 1e-11). Among candidates of equal cost
// the one largest relative to its row maximum is kept. A candidate of cost
// <= (c-1)^2 is taken at once; otherwise the search stops once a candidate
// exists and four lines have been looked at, or when (c-1)^2 >= the best cost.
//
// Elimination (eliminate): the pivot column becomes a column eta of L with the
// unscaled entries a_ij and inverse pivot 1/a_pj; the pivot row, scaled by
// 1/a_pj, becomes a U row with unit diagonal; every other row i of the pivot
// column gets row_i -= a_ij * (scaled pivot row). Results of magnitude <= the
// drop tolerance are not kept.
#include <algorithm>
#include <cmath>
#include <limits>

#include "simplex/factor/factor.h"
#include "simplex/factor/factor_build.h"

namespace kqopt {

namespace {

constexpr double kAbsolutePivotFloor = 1.0e-6;
// A column is given up as dependent only when every entry left in it is negligible.
// A column whose entries are merely small against their rows' maxima is not
// dependent: it waits until elimination has reduced those rows, or is reached through
// the row search, whose row maxima are always candidates.
constexpr double kNegligibleColumnEntry = 1.0e-11;

}  // namespace

void Factor::link_row(std::int32_t row) {
  FactorBuildWork& w = *build_;
  const auto r = static_cast<std::size_t>(row);
  const std::int32_t c = file_.len(row);
  if (c == 0) {
    w.row_state[r] = kLineOut;  // an empty row: singular
    return;
  }
  w.row_in_list[r] = c;
  w.row_prev[r] = -1;
  w.row_next[r] = w.row_head[static_cast<std::size_t>(c)];
  if (w.row_next[r] >= 0) w.row_prev[static_cast<std::size_t>(w.row_next[r])] = row;
  w.row_head[static_cast<std::size_t>(c)] = row;
  if (c > w.max_count) w.max_count = c;
}

void Factor::unlink_row(std::int32_t row) {
  FactorBuildWork& w = *build_;
  const auto r = static_cast<std::size_t>(row);
  const std::int32_t c = w.row_in_list[r];
  if (c < 0) return;
  if (w.row_prev[r] >= 0) {
    w.row_next[static_cast<std::size_t>(w.row_prev[r])] = w.row_next[r];
  } else {
    w.row_head[static_cast<std::size_t>(c)] = w.row_next[r];
  }
  if (w.row_next[r] >= 0) w.row_prev[static_cast<std::size_t>(w.row_next[r])] = w.row_prev[r];
  w.row_in_list[r] = -1;
}

void Factor::link_column(std::int32_t slot) {
  FactorBuildWork& w = *build_;
  const auto s = static_cast<std::size_t>(slot);
  const std::int32_t c = file_.len(m_ + slot);
  if (c == 0) {
    w.slot_state[s] = kLineOut;  // an empty column: singular
    return;
  }
  w.col_in_list[s] = c;
  w.col_prev[s] = -1;
  w.col_next[s] = w.col_head[static_cast<std::size_t>(c)];
  if (w.col_next[s] >= 0) w.col_prev[static_cast<std::size_t>(w.col_next[s])] = slot;
  w.col_head[static_cast<std::size_t>(c)] = slot;
  if (c > w.max_count) w.max_count = c;
}

void Factor::unlink_column(std::int32_t slot) {
  FactorBuildWork& w = *build_;
  const auto s = static_cast<std::size_t>(slot);
  const std::int32_t c = w.col_in_list[s];
  if (c < 0) return;
  if (w.col_prev[s] >= 0) {
    w.col_next[static_cast<std::size_t>(w.col_prev[s])] = w.col_next[s];
  } else {
    w.col_head[static_cast<std::size_t>(c)] = w.col_next[s];
  }
  if (w.col_next[s] >= 0) w.col_prev[static_cast<std::size_t>(w.col_next[s])] = w.col_prev[s];
  w.col_in_list[s] = -1;
}

bool Factor::factorise_nucleus(InvertReport& report) {
  FactorBuildWork& w = *build_;
  const std::int32_t m = m_;
  std::fill(w.row_head.begin(), w.row_head.end(), -1);
  std::fill(w.col_head.begin(), w.col_head.end(), -1);
  std::fill(w.row_in_list.begin(), w.row_in_list.end(), -1);
  std::fill(w.col_in_list.begin(), w.col_in_list.end(), -1);
  w.max_count = 0;
  w.active_row_count = 0;
  for (std::int32_t i = 0; i < m; ++i) {
    if (w.row_state[static_cast<std::size_t>(i)] != kLineActive) continue;
    link_row(i);
    w.active_rows[static_cast<std::size_t>(w.active_row_count++)] = i;
  }
  w.dense_next_check = 0;
  for (std::int32_t s = 0; s < m; ++s) {
    if (w.slot_state[static_cast<std::size_t>(s)] == kLineActive) link_column(s);
  }
  std::int32_t row = -1;
  std::int32_t slot = -1;
  // A large nucleus with heavy fill is the one part of INVERT whose time is not
  // linear in the basis: it asks now and then whether to stop.
  constexpr std::int32_t kPollEvery = 256;
  for (;;) {
    if (dense_tail_wanted(report.nucleus_pivots)) return factorise_dense_tail(report);
    if (!choose_pivot(row, slot, report)) break;
    if (!eliminate(row, slot, report)) return false;
    ++report.nucleus_pivots;
    if (stop_ != nullptr && report.nucleus_pivots % kPollEvery == 0 && stop_->stop_requested()) {
      stopped_ = true;
      return false;
    }
  }
  return true;
}

void Factor::reject_column(std::int32_t slot) {
  FactorBuildWork& w = *build_;
  unlink_column(slot);
  w.slot_state[static_cast<std::size_t>(slot)] = kLineOut;
  const std::int32_t line = m_ + slot;
  const std::int32_t n = file_.len(line);
  for (std::int32_t t = 0; t < n; ++t) {
    const std::int32_t i = file_.idx(line)[t];
    const std::int32_t k = find_in_line(i, slot);
    if (k < 0) {
      inconsistent_ = true;
      continue;
    }
    file_.remove_at(i, k);
    if (k == 0) move_row_max_first(i);
    unlink_row(i);
    link_row(i);
  }
  file_.release_line(line);
}

bool Factor::choose_pivot(std::int32_t& row, std::int32_t& slot, InvertReport& report) {
  (void)report;
  FactorBuildWork& w = *build_;
  const std::int32_t m = m_;
  const double u = pivot_threshold_;
  std::int64_t best_cost = std::numeric_limits<std::int64_t>::max();
  double best_ratio = 0.0;
  row = slot = -1;
  std::int32_t examined = 0;

  for (std::int32_t c = 1; c <= w.max_count; ++c) {
    const std::int64_t floor_cost = static_cast<std::int64_t>(c - 1) * (c - 1);
    if (row >= 0 && floor_cost >= best_cost) return true;

    // Columns with c entries.
    std::int32_t s = w.col_head[static_cast<std::size_t>(c)];
    while (s >= 0) {
      const std::int32_t next = w.col_next[static_cast<std::size_t>(s)];
      bool any = false;
      double column_max = 0.0;
      const std::int32_t line = m + s;
      for (std::int32_t t = 0; t < c; ++t) {
        const std::int32_t i = file_.idx(line)[t];
        const std::int32_t k = find_in_line(i, s);
        if (k < 0) {
          inconsistent_ = true;
          return false;
        }
        const double a = std::fabs(file_.val(i)[k]);
        const double row_max = std::fabs(file_.val(i)[0]);
        column_max = std::max(column_max, a);
        if (a >= row_max || (a >= kAbsolutePivotFloor && a >= u * row_max)) {
          any = true;
          const std::int64_t cost = static_cast<std::int64_t>(file_.len(i) - 1) * (c - 1);
          const double ratio = a / row_max;
          if (cost < best_cost || (cost == best_cost && ratio > best_ratio)) {
            best_cost = cost;
            best_ratio = ratio;
            row = i;
            slot = s;
            if (cost <= floor_cost) return true;
          }
        }
      }
      if (!any && column_max < kNegligibleColumnEntry) reject_column(s);
      ++examined;
      if (row >= 0 && examined >= 4) return true;
      s = next;
    }

    // Rows with c entries.
    std::int32_t i = w.row_head[static_cast<std::size_t>(c)];
    while (i >= 0) {
      const double* val = file_.val(i);
      const std::int32_t* idx = file_.idx(i);
      const double row_max = std::fabs(val[0]);
      const bool others = u * row_max >= kAbsolutePivotFloor;
      for (std::int32_t t = 0; t < c; ++t) {
        if (t > 0 && !(others && std::fabs(val[t]) >= u * row_max)) continue;
        const std::int64_t cost = static_cast<std::int64_t>(c - 1) * (file_.len(m + idx[t]) - 1);
        const double ratio = std::fabs(val[t]) / row_max;
        if (cost < best_cost || (cost == best_cost && ratio > best_ratio)) {
          best_cost = cost;
          best_ratio = ratio;
          row = i;
          slot = idx[t];
          if (cost <= floor_cost) return true;
        }
        if (!others) break;
      }
      ++examined;
      if (row >= 0 && examined >= 4) return true;
      i = w.row_next[static_cast<std::size_t>(i)];
    }
  }
  return row >= 0;
}

bool Factor::eliminate(std::int32_t p, std::int32_t s, InvertReport& report) {
  FactorBuildWork& w = *build_;
  const std::int32_t m = m_;
  unlink_row(p);
  unlink_column(s);

  // The pivot leaves the pivot row; the pivot column becomes a column eta.
  const std::int32_t kp = find_in_line(p, s);
  if (kp < 0) {
    inconsistent_ = true;
    return false;
  }
  const double pivot = file_.val(p)[kp];
  file_.remove_at(p, kp);
  if (!write_column_eta(p, s, pivot)) return false;
  file_.release_line(m + s);

  // Scale the pivot row into a U row with unit diagonal; keep a copy.
  const std::int32_t n = file_.len(p);
  {
    double* val = file_.val(p);
    const std::int32_t* idx = file_.idx(p);
    const double inv = pivot == 1.0 ? 1.0 : 1.0 / pivot;
    for (std::int32_t t = 0; t < n; ++t) {
      if (inv != 1.0) val[t] *= inv;
      w.pivot_index[static_cast<std::size_t>(t)] = idx[t];
      w.pivot_value[static_cast<std::size_t>(t)] = val[t];
      w.pivot_place[static_cast<std::size_t>(idx[t])] = t;
    }
  }
  for (std::int32_t t = 0; t < n; ++t) remove_from_line(m + w.pivot_index[static_cast<std::size_t>(t)], p);
  u_inv_diag_[static_cast<std::size_t>(p)] = 1.0;
  record_pivot(p, s);

  // row_i -= a_is * (scaled pivot row) for every other row of the pivot column.
  for (std::int32_t e = 0; e < w.eta_count; ++e) {
    const std::int32_t i = w.eta_row[static_cast<std::size_t>(e)];
    const double l = w.eta_value[static_cast<std::size_t>(e)];
    std::fill_n(w.pivot_hit.begin(), n, std::uint8_t{0});
    {
      double* val = file_.val(i);
      std::int32_t* idx = file_.idx(i);
      std::int32_t t = 0;
      while (t < file_.len(i)) {
        const std::int32_t q = w.pivot_place[static_cast<std::size_t>(idx[t])];
        if (q < 0) {
          ++t;
          continue;
        }
        w.pivot_hit[static_cast<std::size_t>(q)] = 1;
        const double v = val[t] - l * w.pivot_value[static_cast<std::size_t>(q)];
        if (std::fabs(v) <= drop_tol_) {
          remove_from_line(m + idx[t], i);
          file_.remove_at(i, t);
          ++report.dropped_entries;
          continue;
        }
        val[t] = v;
        ++t;
      }
    }
    std::int32_t fills = 0;
    for (std::int32_t q = 0; q < n; ++q) {
      if (w.pivot_hit[static_cast<std::size_t>(q)]) continue;
      const double f = -l * w.pivot_value[static_cast<std::size_t>(q)];
      if (std::fabs(f) <= drop_tol_) continue;
      w.fill_index[static_cast<std::size_t>(fills)] = w.pivot_index[static_cast<std::size_t>(q)];
      w.fill_value[static_cast<std::size_t>(fills)] = f;
      ++fills;
    }
    if (fills > 0) {
      if (!file_.reserve_line(i, fills)) return false;
      for (std::int32_t f = 0; f < fills; ++f) {
        file_.push(i, w.fill_index[static_cast<std::size_t>(f)], w.fill_value[static_cast<std::size_t>(f)]);
      }
      for (std::int32_t f = 0; f < fills; ++f) {
        const std::int32_t col = m + w.fill_index[static_cast<std::size_t>(f)];
        if (!file_.reserve_line(col, 1)) return false;
        file_.push(col, i, 0.0);
      }
    }
    move_row_max_first(i);
    if (file_.len(i) > 0) largest_created_ = std::max(largest_created_, std::fabs(file_.val(i)[0]));
    unlink_row(i);
    link_row(i);
  }

  // The columns of the pivot row changed count.
  for (std::int32_t t = 0; t < n; ++t) {
    const std::int32_t c = w.pivot_index[static_cast<std::size_t>(t)];
    w.pivot_place[static_cast<std::size_t>(c)] = -1;
    unlink_column(c);
    link_column(c);
  }
  return true;
}

}  // namespace kqopt
