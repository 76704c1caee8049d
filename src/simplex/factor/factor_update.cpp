// Basis change: Forrest-Tomlin update of U, product-form column etas, and the
// rule that says when to refactorise instead.
//
// Forrest-Tomlin. Replacing column p of B by a_q gives L^-1 B' = U with column
// p replaced by the spike s = R_t ... R_1 L^-1 a_q (kept by ftran). Moving p
// to the end of the pivot order leaves U upper triangular except row p, whose
// entries u_pc are eliminated with the rows c (in pivot order):
//     r_c = (row p so far)_c / u_cc,   row p -= r_c * row c,
// giving the row eta R = I - e_p r^T and the new diagonal
//     delta = s_p - sum_c r_c s_c.
// In exact arithmetic delta / u_pp(old) equals the pivot alpha of the FTRAN
// column, which the consistency test checks. The eta and delta are computed
// before anything changes, so a refused update leaves the old factorisation
// intact; the space needed is checked before the change as well.
//
// Neither the spike nor the row eta is thinned by the drop tolerance, only
// exact zeros are left out: an entry missing from U perturbs B by L R^-1 times
// that entry, and the row eta multipliers, which the growth test lets through
// up to ZTOLMX, magnify it. Dropping entries below ZTETA there cost three
// orders of magnitude in the FTRAN residuals of Netlib bases after 100
// updates (kb2, d2q06c), and left delta computed from entries U no longer had.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <functional>

#include "simplex/factor/factor.h"
#include "simplex/factor/indexed_kernels.h"

namespace kqopt {

namespace {

constexpr double kHugeGrowth = 1.0e30;
constexpr std::int32_t kDoubtfulUpdateLimit = 74;
constexpr std::int64_t kFillFactor = 30;

// A pivot the update cannot divide by: below ZTETA, exactly zero (ZTETA may be
// set to 0) or not a number.
bool vanishing(double pivot, double zteta) { return pivot == 0.0 || !(std::fabs(pivot) >= zteta); }

}  // namespace

bool Factor::refactor_due(const FactorSettings& settings, bool dual_growth_rule) const {
  const std::int64_t k = updates_;
  if (settings.invfrq > 0) return k + 1 >= settings.invfrq;
  if (doubtful_ && k >= kDoubtfulUpdateLimit) return true;
  if (dual_growth_rule && entries_now_ > 3 * entries_after_invert_ + 500) return true;
  return k * added_by_updates_ > kFillFactor * (entries_after_invert_ - removed_by_updates_);
}

UpdateStatus Factor::update(std::int32_t p, const WorkVector& column, const FactorSettings& settings,
                            UpdateReport& report) {
  assert(valid_ && p >= 0 && p < m_ && column.size() == m_);
  report = UpdateReport{};
  report.updates_since_invert = updates_;
  const std::int32_t compactions_before = file_.compactions();
  const UpdateStatus status = forrest_tomlin_ ? update_forrest_tomlin(p, column[p], settings, report)
                                              : update_product_form(p, column, settings, report);
  report.compactions = file_.compactions() - compactions_before;
  return status;
}

UpdateStatus Factor::update_product_form(std::int32_t p, const WorkVector& column, const FactorSettings& settings,
                                         UpdateReport& report) {
  const double alpha = column[p];
  report.alpha = report.delta = alpha;
  if (vanishing(alpha, settings.zteta)) {
    report.growth_failed = true;
    report.growth_ratio = kHugeGrowth;
    return UpdateStatus::growth_failed;
  }
  const std::span<const double> x = column.values();
  const bool listed = column.state() == WorkVectorState::sparse;
  const std::int32_t n = listed ? column.nonzero_count() : m_;
  const auto entry = [&](std::int32_t k) { return listed ? column.nonzeros()[static_cast<std::size_t>(k)] : k; };

  std::int32_t count = 0;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t i = entry(k);
    if (i != p && std::fabs(x[static_cast<std::size_t>(i)]) > drop_tol_) ++count;
  }
  if (!file_.reserve_back(1 + count)) return UpdateStatus::factor_file_full;
  const FilePos head = file_.push_back_entry(p, 1.0 / alpha);
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t i = entry(k);
    const double v = x[static_cast<std::size_t>(i)];
    if (i != p && std::fabs(v) > drop_tol_) file_.push_back_entry(i, v);
  }
  pf_start_.push_back(head);
  pf_count_.push_back(count);
  ++updates_;
  added_by_updates_ += count;
  entries_now_ += count;
  return UpdateStatus::done;
}

UpdateStatus Factor::update_forrest_tomlin(std::int32_t p, double alpha, const FactorSettings& settings,
                                           UpdateReport& report) {
  const std::int32_t m = m_;
  report.alpha = alpha;
  if (!spike_saved_) return UpdateStatus::factor_file_full;

  // Row eta: eliminate row p of U (without column p) in pivot order.
  double* acc = dense_.data();
  std::int32_t* heap = heap_.data();
  std::int32_t size = 0;
  // Row c of U is its file line plus, while c is in the dense block, its row there.
  const std::int32_t* block_rows = ld_row_.data();
  const std::int32_t block_last = ud_pivots_ - 1;
  const auto dense_row = [&](std::int32_t c, std::int32_t& place) -> const double* {
    place = ud_pivots_ > 0 ? ud_place(c) : -1;
    return place >= 0 ? ud_row_.data() + ud_row_start(place) : nullptr;
  };
  std::int32_t p_place = -1;
  {
    const std::int32_t* idx = file_.idx(p);
    const double* val = file_.val(p);
    const std::int32_t n = file_.len(p);
    for (std::int32_t k = 0; k < n; ++k) {
      acc[idx[k]] = val[k];
      queued_[static_cast<std::size_t>(idx[k])] = 1;
      heap[size++] = order_of_[static_cast<std::size_t>(idx[k])];
    }
    if (const double* row = dense_row(p, p_place)) {
      for (std::int32_t k = 0; k < block_last - p_place; ++k) {
        if (row[k] == 0.0) continue;
        const std::int32_t c = block_rows[p_place + 1 + k];
        acc[c] = row[k];
        queued_[static_cast<std::size_t>(c)] = 1;
        heap[size++] = order_of_[static_cast<std::size_t>(c)];
      }
    }
  }
  std::make_heap(heap, heap + size, std::greater<>());
  std::int32_t eta_count = 0;
  double eta_max = 0.0;
  // Rows of U after p only hold columns after them in the pivot order, never p. The
  // positions reached are taken from a heap while they are few; once the heap would
  // pass its bound or the eta its dense limit, every later position is swept in order
  // instead (a heap step costs several times the visit of a position).
  const std::int32_t bound = upper_heap_bound();
  const std::int32_t dense_limit = dense_result_limit();
  std::int64_t sweep_from = -1;
  const auto take = [&](std::int32_t c) {
    const double v = acc[c];
    acc[c] = 0.0;
    const double rc = v * u_inv_diag_[static_cast<std::size_t>(c)];
    if (rc == 0.0) return 0.0;
    scratch_index_[static_cast<std::size_t>(eta_count)] = c;
    scratch_value_[static_cast<std::size_t>(eta_count++)] = rc;
    eta_max = std::max(eta_max, std::fabs(rc));
    return rc;
  };
  if (size > bound) {
    for (std::int32_t k = 0; k < size; ++k)
      queued_[static_cast<std::size_t>(order_[static_cast<std::size_t>(heap[k])])] = 0;
    sweep_from = order_of_[static_cast<std::size_t>(p)] + 1;
    size = 0;
  }
  while (size > 0) {
    std::pop_heap(heap, heap + size, std::greater<>());
    const std::int32_t o = heap[--size];
    const std::int32_t c = order_[static_cast<std::size_t>(o)];
    queued_[static_cast<std::size_t>(c)] = 0;
    const double rc = take(c);
    if (rc == 0.0) continue;
    bool overflow = false;
    const auto reach = [&](std::int32_t c2, double v) {
      acc[c2] -= rc * v;
      if (queued_[static_cast<std::size_t>(c2)]) return;
      if (size == bound || eta_count > dense_limit) {
        overflow = true;
        return;
      }
      queued_[static_cast<std::size_t>(c2)] = 1;
      heap[size++] = order_of_[static_cast<std::size_t>(c2)];
      std::push_heap(heap, heap + size, std::greater<>());
    };
    const std::int32_t* idx = file_.idx(c);
    const double* val = file_.val(c);
    const std::int32_t n = file_.len(c);
    for (std::int32_t k = 0; k < n; ++k) reach(idx[k], val[k]);
    std::int32_t place = -1;
    if (const double* row = dense_row(c, place)) {
      for (std::int32_t k = 0; k < block_last - place; ++k) {
        if (row[k] != 0.0) reach(block_rows[place + 1 + k], row[k]);
      }
    }
    if (overflow) {
      for (std::int32_t k = 0; k < size; ++k)
        queued_[static_cast<std::size_t>(order_[static_cast<std::size_t>(heap[k])])] = 0;
      sweep_from = o + 1;
      size = 0;
    }
  }
  if (sweep_from >= 0) {
    const auto positions = static_cast<std::int64_t>(order_.size());
    for (std::int64_t o = sweep_from; o < positions; ++o) {
      const std::int32_t c = order_[static_cast<std::size_t>(o)];
      if (c < 0 || acc[c] == 0.0) continue;
      const double rc = take(c);
      if (rc == 0.0) continue;
      indexed_axpy(file_.idx(c), file_.val(c), file_.len(c), rc, acc);
      std::int32_t place = -1;
      if (const double* row = dense_row(c, place)) {
        const std::int32_t* after = block_rows + place + 1;
        for (std::int32_t k = 0; k < block_last - place; ++k) acc[after[k]] -= rc * row[k];
      }
    }
  }

  // New diagonal delta = s_p - sum r_c s_c, and the spike's largest entry.
  for (std::int32_t k = 0; k < eta_count; ++k) {
    acc[scratch_index_[static_cast<std::size_t>(k)]] = scratch_value_[static_cast<std::size_t>(k)];
  }
  double spike_p = 0.0;
  double dot = 0.0;
  double spike_max = 0.0;
  std::int32_t column_count = 0;
  for (std::int32_t k = 0; k < spike_count_; ++k) {
    const std::int32_t i = spike_index_[static_cast<std::size_t>(k)];
    const double s = spike_value_[static_cast<std::size_t>(k)];
    spike_max = std::max(spike_max, std::fabs(s));
    if (i == p) {
      spike_p = s;
    } else {
      dot += acc[i] * s;
      ++column_count;
    }
  }
  for (std::int32_t k = 0; k < eta_count; ++k) acc[scratch_index_[static_cast<std::size_t>(k)]] = 0.0;
  const double delta = spike_p - dot;
  report.row_eta_max = eta_max;
  report.spike_max = spike_max;

  // Consistency and growth tests.
  const bool enough = updates_ >= settings.invmin;
  const double ratio = delta * u_inv_diag_[static_cast<std::size_t>(p)];
  report.delta = ratio;
  if (std::fabs(alpha - ratio) >= 100.0 * settings.ztolft * std::fabs(alpha)) {
    report.inconsistent = true;
    if (enough) return UpdateStatus::inconsistent;
  }
  if (!(settings.ztolmx * std::fabs(delta) > eta_max * spike_max)) {
    report.growth_failed = true;
    report.growth_ratio =
        vanishing(delta, settings.zteta) ? kHugeGrowth : eta_max * spike_max / (settings.ztolmx * std::fabs(delta));
    if (enough || vanishing(delta, settings.zteta)) return UpdateStatus::growth_failed;
  }

  // Room for the new column, the rows that gain an entry and the row eta.
  const auto room_needed = [&] {
    FilePos need = column_count + eta_count;
    for (std::int32_t k = 0; k < spike_count_; ++k) {
      const std::int32_t i = spike_index_[static_cast<std::size_t>(k)];
      if (i != p) need += file_.gap_needed(i, 1);
    }
    return need;
  };
  if (room_needed() > file_.free_entries()) {
    file_.compact();
    if (room_needed() > file_.free_entries()) return UpdateStatus::factor_file_full;
  }

  // Take column p and row p out of U.
  const std::int32_t column_line = m + p;
  std::int64_t removed = 0;
  {
    const std::int32_t n = file_.len(column_line);
    for (std::int32_t k = 0; k < n; ++k) remove_from_line(file_.idx(column_line)[k], p);
    removed += n;
    removed_by_updates_ += n;
    file_.release_line(column_line);
  }
  {
    const std::int32_t n = file_.len(p);
    for (std::int32_t k = 0; k < n; ++k) remove_from_line(m + file_.idx(p)[k], p);
    removed += n;
    file_.set_len(p, 0);
  }
  if (p_place >= 0) {
    std::int64_t column_entries = 0;
    std::int64_t row_entries = 0;
    drop_dense_upper_position(p_place, column_entries, row_entries);
    removed += column_entries + row_entries;
    removed_by_updates_ += column_entries;
  }

  // The spike becomes column p; each of its rows gains the entry.
  bool placed = file_.reserve_line(column_line, column_count, false);
  for (std::int32_t k = 0; placed && k < spike_count_; ++k) {
    const std::int32_t i = spike_index_[static_cast<std::size_t>(k)];
    const double s = spike_value_[static_cast<std::size_t>(k)];
    if (i == p) continue;
    file_.push(column_line, i, s);
    placed = file_.reserve_line(i, 1);
    if (placed) file_.push(i, p, s);
  }
  std::int32_t eta_line = -1;
  if (placed && eta_count > 0) {
    eta_line = file_.add_line();
    placed = file_.reserve_line(eta_line, eta_count, false);
  }
  if (!placed) {  // cannot happen after the room check; never leave a broken factor
    valid_ = false;
    return UpdateStatus::factor_file_full;
  }
  if (eta_line >= 0) {
    for (std::int32_t k = 0; k < eta_count; ++k) {
      file_.push(eta_line, scratch_index_[static_cast<std::size_t>(k)], scratch_value_[static_cast<std::size_t>(k)]);
    }
    r_line_.push_back(eta_line);
    r_pivot_.push_back(p);
  }

  // p moves to the end of the pivot order with diagonal delta.
  u_inv_diag_[static_cast<std::size_t>(p)] = delta == 1.0 ? 1.0 : 1.0 / delta;
  order_[static_cast<std::size_t>(order_of_[static_cast<std::size_t>(p)])] = -1;
  order_of_[static_cast<std::size_t>(p)] = static_cast<std::int32_t>(order_.size());
  order_.push_back(p);
  if (column_count > 0 || delta != 1.0) u_live_.push_back(order_of_[static_cast<std::size_t>(p)]);

  ++updates_;
  added_by_updates_ += eta_count;
  u_entries_ += column_count - removed;
  entries_now_ += column_count + eta_count - removed;
  spike_saved_ = false;
  return UpdateStatus::done;
}

}  // namespace kqopt
