// FTRAN on the work vector (BTRAN is in factor_btran.cpp).
//
// FTRAN  x = U^-1 R_t ... R_1 L^-1 a           (Forrest-Tomlin mode)
//        x = E_t^-1 ... E_1^-1 U^-1 L^-1 a      (product-form mode)
//
// Records are applied in axpy form where the pivot entry decides whether the
// record does anything (a record whose pivot entry is exactly zero is skipped
// untouched), in dot form otherwise: L etas, U columns and product-form etas
// in axpy form, row etas in dot form.
//
// Hypersparse FTRAN: when the right-hand side arrives with a nonzero list, the
// L etas are visited only where its nonzeros reach: pending L etas sit in a
// binary min-heap of at most h = min(1000, m / 1000 + 5) entries, keyed by eta
// number, and are taken smallest first. Every entry of L eta t lies in a row
// whose own eta comes after t, so applying the heap in order is exact. When
// the heap would overflow the pass falls back to a full pass over the etas not
// yet reached. U is treated the same way with a max-heap keyed by the pivot
// order (larger bound, see upper_heap_bound); the nonzero list is kept all
// along so that the result can stay in the sparse state.
#include <algorithm>
#include <cassert>
#include <functional>

#include "simplex/factor/dense_kernels.h"
#include "simplex/factor/factor.h"
#include "simplex/factor/indexed_kernels.h"

namespace kqopt {

void Factor::lower_full(double* x, std::int32_t first_eta) {
  const auto etas = static_cast<std::int32_t>(l_start_.size());
  if (ld_pivots_ > 0 && first_eta <= ld_first_) {
    lower_records(x, first_eta, ld_first_);
    lower_dense(x);
    lower_records(x, ld_first_ + ld_pivots_, etas);
  } else {
    lower_records(x, first_eta, etas);
  }
}

void Factor::lower_dense(double* x) {
  const std::int32_t nr = ld_rows_;
  const std::int32_t* rows = ld_row_.data();
  double* y = ld_work_.data();
  for (std::int32_t j = 0; j < nr; ++j) y[j] = x[rows[j]];
  const double* val = ld_val_.data();
  for (std::int32_t k = 0; k < ld_pivots_; ++k) {
    double yk = y[k];
    if (yk == 0.0) continue;
    const double inv = ld_inv_[static_cast<std::size_t>(k)];
    if (inv != 1.0) {
      yk *= inv;
      y[k] = yk;
    }
    const double* column = val + ld_col_start_[static_cast<std::size_t>(k)];
    dense_axpy(y + k + 1, column, nr - k - 1, yk);
  }
  for (std::int32_t j = 0; j < nr; ++j) x[rows[j]] = y[j];
}

void Factor::lower_records(double* x, std::int32_t first_eta, std::int32_t end_eta) {
  const std::int32_t* bidx = file_.back_idx();
  const double* bval = file_.back_val();
  for (std::int32_t t = first_eta; t < end_eta; ++t) {
    const FilePos head = l_start_[static_cast<std::size_t>(t)];
    const std::int32_t r = bidx[head];
    double xr = x[r];
    if (xr == 0.0) continue;
    const double inv = bval[head];
    if (inv != 1.0) {
      xr *= inv;
      x[r] = xr;
    }
    indexed_axpy(bidx + head + 1, bval + head + 1, l_count_[static_cast<std::size_t>(t)], xr, x);
  }
}

bool Factor::lower_hypersparse(double* x, std::int32_t* list, std::int32_t& count) {
  const std::int32_t* bidx = file_.back_idx();
  const double* bval = file_.back_val();
  const std::int32_t bound = lower_heap_bound();
  std::int32_t* heap = heap_.data();
  std::int32_t size = 0;
  const auto fall_back = [&](std::int32_t from) {
    for (std::int32_t k = 0; k < size; ++k) queued_[static_cast<std::size_t>(heap[k])] = 0;
    lower_full(x, from);
    return false;
  };

  // Seed the heap with the etas pivoted on the nonzeros of the right-hand side.
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t t = l_eta_of_row_[static_cast<std::size_t>(list[k])];
    if (t < 0 || queued_[static_cast<std::size_t>(t)]) continue;
    if (size == bound) return fall_back(0);
    queued_[static_cast<std::size_t>(t)] = 1;
    heap[size++] = t;
    std::push_heap(heap, heap + size, std::greater<>());
  }

  // Apply the reached etas in order.
  while (size > 0) {
    std::pop_heap(heap, heap + size, std::greater<>());
    const std::int32_t t = heap[--size];
    queued_[static_cast<std::size_t>(t)] = 0;
    const FilePos head = l_start_[static_cast<std::size_t>(t)];
    const std::int32_t r = bidx[head];
    double xr = x[r];
    if (xr == 0.0) continue;
    const double inv = bval[head];
    if (inv != 1.0) {
      xr *= inv;
      x[r] = xr;
    }
    bool overflow = false;
    const FilePos end = head + 1 + l_count_[static_cast<std::size_t>(t)];
    for (FilePos e = head + 1; e < end; ++e) {
      const std::int32_t i = bidx[e];
      if (!listed_[static_cast<std::size_t>(i)]) {
        listed_[static_cast<std::size_t>(i)] = 1;
        list[count++] = i;
      }
      x[i] -= bval[e] * xr;
      const std::int32_t next = l_eta_of_row_[static_cast<std::size_t>(i)];
      if (next < 0 || queued_[static_cast<std::size_t>(next)]) continue;
      if (size == bound) {
        overflow = true;
        continue;
      }
      queued_[static_cast<std::size_t>(next)] = 1;
      heap[size++] = next;
      std::push_heap(heap, heap + size, std::greater<>());
    }
    if (overflow) return fall_back(t + 1);
  }
  return true;
}

void Factor::upper_full(double* x, std::int32_t below) {
  const std::int32_t m = m_;
  const std::int32_t* live = u_live_.data();
  const std::int32_t* order = order_.data();
  const auto column = [&](std::int32_t r) {
    double xr = x[r];
    if (xr == 0.0) return;
    const double inv = u_inv_diag_[static_cast<std::size_t>(r)];
    if (inv != 1.0) {
      xr *= inv;
      x[r] = xr;
    }
    indexed_axpy(file_.idx(m + r), file_.val(m + r), file_.len(m + r), xr, x);
  };
  auto k = static_cast<std::int64_t>(std::lower_bound(u_live_.begin(), u_live_.end(), below) - u_live_.begin());
  if (ud_pivots_ > 0 && below > ud_first_) {
    // u_live_ leaves the block out: the positions after it, the block, then the rest.
    const std::int32_t block_end = ud_first_ + ud_pivots_;
    while (k > 0 && live[k - 1] >= block_end) {
      const std::int32_t r = order[live[--k]];
      if (r >= 0) column(r);
    }
    upper_dense(x, std::min(below - ud_first_, ud_pivots_));
  }
  while (--k >= 0) {
    const std::int32_t r = order[live[k]];
    if (r >= 0) column(r);
  }
}

// U^-1 over block places [0, below): the triangle column by column, each column's
// entries in rows before the block from the file.
void Factor::upper_dense(double* x, std::int32_t below) {
  const std::int32_t m = m_;
  const std::int32_t* rows = ld_row_.data();
  const std::int32_t* order = order_.data() + ud_first_;
  double* y = ld_work_.data();
  for (std::int32_t j = 0; j < below; ++j) y[j] = x[rows[j]];
  const double* val = ud_col_.data();
  for (std::int32_t j = below - 1; j >= 0; --j) {
    const double yj = y[j];
    if (yj == 0.0 || order[j] < 0) continue;
    dense_axpy(y, val + ud_col_start(j), j, yj);
    const std::int32_t line = m + rows[j];
    indexed_axpy(file_.idx(line), file_.val(line), file_.len(line), yj, x);
  }
  for (std::int32_t j = 0; j < below; ++j) {
    if (order[j] >= 0) x[rows[j]] = y[j];  // places moved out by updates are not the block's
  }
}

bool Factor::upper_hypersparse(double* x, std::int32_t* list, std::int32_t& count) {
  const std::int32_t m = m_;
  const std::int32_t bound = upper_heap_bound();
  const std::int32_t dense_limit = dense_result_limit();
  if (count > bound) {
    upper_full(x, static_cast<std::int32_t>(order_.size()));
    return false;
  }
  std::int32_t* heap = heap_.data();
  std::int32_t size = 0;
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t i = list[k];
    queued_[static_cast<std::size_t>(i)] = 1;
    heap[size++] = order_of_[static_cast<std::size_t>(i)];
  }
  std::make_heap(heap, heap + size);

  while (size > 0) {
    std::pop_heap(heap, heap + size);
    const std::int32_t o = heap[--size];
    const std::int32_t r = order_[static_cast<std::size_t>(o)];
    queued_[static_cast<std::size_t>(r)] = 0;
    double xr = x[r];
    if (xr == 0.0) continue;
    if (ud_pivots_ > 0 && o >= ud_first_ && o < ud_first_ + ud_pivots_) {
      // The dense block reached: it and everything before it in one full pass.
      for (std::int32_t k = 0; k < size; ++k)
        queued_[static_cast<std::size_t>(order_[static_cast<std::size_t>(heap[k])])] = 0;
      upper_full(x, o + 1);
      return false;
    }
    const double inv = u_inv_diag_[static_cast<std::size_t>(r)];
    if (inv != 1.0) {
      xr *= inv;
      x[r] = xr;
    }
    const std::int32_t* idx = file_.idx(m + r);
    const double* val = file_.val(m + r);
    const std::int32_t n = file_.len(m + r);
    bool overflow = false;
    for (std::int32_t k = 0; k < n; ++k) {
      const std::int32_t i = idx[k];
      if (!listed_[static_cast<std::size_t>(i)]) {
        listed_[static_cast<std::size_t>(i)] = 1;
        list[count++] = i;
      }
      x[i] -= val[k] * xr;
      if (queued_[static_cast<std::size_t>(i)]) continue;
      if (size == bound || count > dense_limit) {
        overflow = true;
        continue;
      }
      queued_[static_cast<std::size_t>(i)] = 1;
      heap[size++] = order_of_[static_cast<std::size_t>(i)];
      std::push_heap(heap, heap + size);
    }
    if (overflow) {
      // Positions still pending all come before o: finish with a full pass
      // over the pivot order below o.
      for (std::int32_t k = 0; k < size; ++k)
        queued_[static_cast<std::size_t>(order_[static_cast<std::size_t>(heap[k])])] = 0;
      upper_full(x, o);
      return false;
    }
  }
  return true;
}

void Factor::save_spike(const double* x, const std::int32_t* list, std::int32_t count, bool listed) {
  std::int32_t n = 0;
  if (listed) {
    for (std::int32_t k = 0; k < count; ++k) {
      const std::int32_t i = list[k];
      if (x[i] == 0.0) continue;
      spike_index_[static_cast<std::size_t>(n)] = i;
      spike_value_[static_cast<std::size_t>(n++)] = x[i];
    }
  } else {
    for (std::int32_t i = 0; i < m_; ++i) {
      if (x[i] == 0.0) continue;
      spike_index_[static_cast<std::size_t>(n)] = i;
      spike_value_[static_cast<std::size_t>(n++)] = x[i];
    }
  }
  spike_count_ = n;
  // The spike waits beside the file; update() claims its room in the file,
  // compacting the front first when the gap is too small.
  spike_saved_ = true;
}

void Factor::ftran(WorkVector& w, bool save) {
  assert(valid_ && w.size() == m_);
  // A solve without save_spike leaves a spike saved earlier in place.
  const bool keep_spike = save && forrest_tomlin_;
  if (keep_spike) spike_saved_ = false;
  if (w.state() == WorkVectorState::zero) {
    if (keep_spike) {
      spike_count_ = 0;
      spike_saved_ = true;
    }
    return;
  }
  double* x = w.value_data();
  std::int32_t* list = w.index_data();
  std::int32_t count = w.nonzero_count();
  bool sparse = w.state() == WorkVectorState::sparse;

  // L etas.
  if (sparse) {
    for (std::int32_t k = 0; k < count; ++k) listed_[static_cast<std::size_t>(list[k])] = 1;
    sparse = lower_hypersparse(x, list, count);
  } else {
    count = 0;
    lower_full(x, 0);
  }

  // Row etas of the Forrest-Tomlin updates, in the order made (dot form).
  for (std::size_t t = 0; t < r_line_.size(); ++t) {
    const std::int32_t line = r_line_[t];
    const double sum = indexed_dot(file_.idx(line), file_.val(line), file_.len(line), x);
    if (sum == 0.0) continue;
    const std::int32_t p = r_pivot_[t];
    if (!listed_[static_cast<std::size_t>(p)]) {
      listed_[static_cast<std::size_t>(p)] = 1;
      list[count++] = p;
    }
    x[p] -= sum;
  }

  if (keep_spike) save_spike(x, list, count, sparse);

  // U by back substitution (column-wise, axpy form).
  if (sparse) {
    sparse = upper_hypersparse(x, list, count);
  } else {
    upper_full(x, static_cast<std::int32_t>(order_.size()));
  }

  // Product-form etas in the order made (axpy form).
  const std::int32_t* bidx = file_.back_idx();
  const double* bval = file_.back_val();
  for (std::size_t t = 0; t < pf_start_.size(); ++t) {
    const FilePos head = pf_start_[t];
    const std::int32_t p = bidx[head];
    double xp = x[p];
    if (xp == 0.0) continue;
    xp *= bval[head];
    x[p] = xp;
    const FilePos end = head + 1 + pf_count_[t];
    for (FilePos e = head + 1; e < end; ++e) {
      const std::int32_t i = bidx[e];
      if (!listed_[static_cast<std::size_t>(i)]) {
        listed_[static_cast<std::size_t>(i)] = 1;
        list[count++] = i;
      }
      x[i] -= bval[e] * xp;
    }
  }

  for (std::int32_t k = 0; k < count; ++k) listed_[static_cast<std::size_t>(list[k])] = 0;
  if (sparse) {
    w.set_sparse(count);
  } else {
    w.mark_dense();
  }
}

}  // namespace kqopt
