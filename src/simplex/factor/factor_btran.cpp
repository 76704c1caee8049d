// BTRAN on the work vector: y^T <- y^T B^-1, the FTRAN operators transposed in
// exactly the reverse order:
//
//     y = L_1^-T ... L_k^-T R_1^T ... R_t^T U^-T y      (Forrest-Tomlin mode)
//     y = L^-T U^-T E_1^-T ... E_t^-T y                  (product-form mode)
//
// Product-form etas are applied in dot form, U^T row by row and the row etas
// in axpy form (a record whose pivot entry is zero is skipped untouched).
// L^T has two forms. The dot form walks the L etas backwards:
//     y_r = (y_r - sum_i l_i y_i) d    for eta t with pivot r.
// The push form uses the row-wise copy of L built by INVERT: once y_i is
// final it is pushed into the pivot row r of every eta t with an entry in row
// i, y_r -= l_i y_i; y_r itself becomes final, and is scaled by d, once the
// etas after t are done. Pushing visits only what the nonzeros reach, so with
// a nonzero list BTRAN runs hypersparse like FTRAN: pending rows are taken
// from a max-heap keyed by their eta number (rows without an eta first) and
// bounded like the L heap of FTRAN, pending U rows from a min-heap keyed by
// the pivot order and bounded like the U heap; on overflow the pass finishes
// with a full sweep over what is left.
#include <algorithm>
#include <cassert>
#include <functional>

#include "simplex/factor/dense_kernels.h"
#include "simplex/factor/factor.h"
#include "simplex/factor/indexed_kernels.h"

namespace kqopt {

void Factor::build_lower_rows() {
  const std::int32_t m = m_;
  l_rows_ready_ = false;
  if (!file_.reserve_back(l_entries_)) return;  // BTRAN keeps to the dot form
  std::fill(l_row_start_.begin(), l_row_start_.end(), 0);
  const std::int32_t* bidx = file_.back_idx();
  const auto etas = static_cast<std::int32_t>(l_start_.size());
  for (std::int32_t t = 0; t < etas; ++t) {
    const FilePos head = l_start_[static_cast<std::size_t>(t)];
    const FilePos end = head + 1 + l_count_[static_cast<std::size_t>(t)];
    for (FilePos e = head + 1; e < end; ++e) ++l_row_start_[static_cast<std::size_t>(bidx[e] + 1)];
  }
  const FilePos first = file_.append_back_block(l_entries_);
  l_row_start_[0] = first;
  for (std::int32_t i = 0; i < m; ++i)
    l_row_start_[static_cast<std::size_t>(i + 1)] += l_row_start_[static_cast<std::size_t>(i)];
  // Fill row by row, using the starts as cursors and shifting them back after.
  std::int32_t* ridx = file_.back_idx_data();
  double* rval = file_.back_val_data();
  const double* bval = file_.back_val();
  for (std::int32_t t = 0; t < etas; ++t) {
    const FilePos head = l_start_[static_cast<std::size_t>(t)];
    const std::int32_t pivot = ridx[head];
    const FilePos end = head + 1 + l_count_[static_cast<std::size_t>(t)];
    for (FilePos e = head + 1; e < end; ++e) {
      const FilePos at = l_row_start_[static_cast<std::size_t>(ridx[e])]++;
      ridx[at] = pivot;
      rval[at] = bval[e];
    }
  }
  for (std::int32_t i = m; i > 0; --i)
    l_row_start_[static_cast<std::size_t>(i)] = l_row_start_[static_cast<std::size_t>(i - 1)];
  l_row_start_[0] = first;
  l_rows_ready_ = true;
}

void Factor::upper_transposed_full(double* x, std::int64_t from) {
  const auto size = static_cast<std::int64_t>(order_.size());
  const auto row = [&](std::int32_t r) {
    double xr = x[r];
    if (xr == 0.0) return;
    const double inv = u_inv_diag_[static_cast<std::size_t>(r)];
    if (inv != 1.0) {
      xr *= inv;
      x[r] = xr;
    }
    indexed_axpy(file_.idx(r), file_.val(r), file_.len(r), xr, x);
  };
  std::int64_t block_from = size;
  std::int64_t block_end = size;
  if (ud_pivots_ > 0 && from < ud_first_ + ud_pivots_) {
    block_from = std::max<std::int64_t>(from, ud_first_);
    block_end = ud_first_ + ud_pivots_;
  }
  for (std::int64_t t = from; t < block_from; ++t) {
    const std::int32_t r = order_[static_cast<std::size_t>(t)];
    if (r >= 0) row(r);
  }
  if (block_from < size) upper_transposed_dense(x, static_cast<std::int32_t>(block_from - ud_first_));
  for (std::int64_t t = block_end; t < size; ++t) {
    const std::int32_t r = order_[static_cast<std::size_t>(t)];
    if (r >= 0) row(r);
  }
}

// U^-T over block places [from, end): the triangle row by row, each row's entries in
// columns after the block (made by updates) from the file.
void Factor::upper_transposed_dense(double* x, std::int32_t from) {
  const std::int32_t n = ud_pivots_;
  const std::int32_t* rows = ld_row_.data();
  const std::int32_t* order = order_.data() + ud_first_;
  double* y = ld_work_.data();
  for (std::int32_t j = from; j < n; ++j) y[j] = x[rows[j]];
  const double* val = ud_row_.data();
  for (std::int32_t i = from; i < n; ++i) {
    const double yi = y[i];
    if (yi == 0.0 || order[i] < 0) continue;
    dense_axpy(y + i + 1, val + ud_row_start(i), n - 1 - i, yi);
    const std::int32_t r = rows[i];
    indexed_axpy(file_.idx(r), file_.val(r), file_.len(r), yi, x);
  }
  // Places moved out by updates are left alone: the file pushes above may have reached
  // them at their new positions, and the block never changes them.
  for (std::int32_t j = from; j < n; ++j) {
    if (order[j] >= 0) x[rows[j]] = y[j];
  }
}

bool Factor::upper_transposed_hypersparse(double* x, std::int32_t* list, std::int32_t& count) {
  const std::int32_t bound = upper_heap_bound();
  const std::int32_t dense_limit = dense_result_limit();
  if (count > bound) {
    upper_transposed_full(x, 0);
    return false;
  }
  std::int32_t* heap = heap_.data();
  std::int32_t size = 0;
  for (std::int32_t k = 0; k < count; ++k) {
    queued_[static_cast<std::size_t>(list[k])] = 1;
    heap[size++] = order_of_[static_cast<std::size_t>(list[k])];
  }
  std::make_heap(heap, heap + size, std::greater<>());
  while (size > 0) {
    std::pop_heap(heap, heap + size, std::greater<>());
    const std::int32_t o = heap[--size];
    const std::int32_t r = order_[static_cast<std::size_t>(o)];
    queued_[static_cast<std::size_t>(r)] = 0;
    double xr = x[r];
    if (xr == 0.0) continue;
    if (ud_pivots_ > 0 && o >= ud_first_ && o < ud_first_ + ud_pivots_) {
      // The dense block reached: it and everything after it in one full pass.
      for (std::int32_t k = 0; k < size; ++k)
        queued_[static_cast<std::size_t>(order_[static_cast<std::size_t>(heap[k])])] = 0;
      upper_transposed_full(x, o);
      return false;
    }
    const double inv = u_inv_diag_[static_cast<std::size_t>(r)];
    if (inv != 1.0) {
      xr *= inv;
      x[r] = xr;
    }
    const std::int32_t* idx = file_.idx(r);
    const double* val = file_.val(r);
    const std::int32_t n = file_.len(r);
    bool overflow = false;
    for (std::int32_t k = 0; k < n; ++k) {
      const std::int32_t c = idx[k];
      if (!listed_[static_cast<std::size_t>(c)]) {
        listed_[static_cast<std::size_t>(c)] = 1;
        list[count++] = c;
      }
      x[c] -= val[k] * xr;
      if (queued_[static_cast<std::size_t>(c)]) continue;
      if (size == bound || count > dense_limit) {
        overflow = true;
        continue;
      }
      queued_[static_cast<std::size_t>(c)] = 1;
      heap[size++] = order_of_[static_cast<std::size_t>(c)];
      std::push_heap(heap, heap + size, std::greater<>());
    }
    if (overflow) {
      // Everything pending comes after o in the pivot order.
      for (std::int32_t k = 0; k < size; ++k) {
        queued_[static_cast<std::size_t>(order_[static_cast<std::size_t>(heap[k])])] = 0;
      }
      upper_transposed_full(x, o + 1);
      return false;
    }
  }
  return true;
}

void Factor::lower_transposed_dot(double* x) {
  const auto etas = static_cast<std::int32_t>(l_start_.size());
  if (ld_pivots_ > 0) {
    lower_transposed_records(x, ld_first_ + ld_pivots_, etas);
    lower_transposed_dense(x);
    lower_transposed_records(x, 0, ld_first_);
  } else {
    lower_transposed_records(x, 0, etas);
  }
}

void Factor::lower_transposed_dense(double* x) {
  const std::int32_t nr = ld_rows_;
  const std::int32_t* rows = ld_row_.data();
  double* y = ld_work_.data();
  for (std::int32_t j = 0; j < nr; ++j) y[j] = x[rows[j]];
  // Push form: once y_j is final it is taken out of every earlier position's sum.
  const double* val = ld_tval_.data();
  for (std::int32_t j = nr - 1; j > 0; --j) {
    double yj = y[j];
    if (j < ld_pivots_) {
      const double inv = ld_inv_[static_cast<std::size_t>(j)];
      if (inv != 1.0) {
        yj *= inv;
        y[j] = yj;
      }
    }
    if (yj == 0.0) continue;
    dense_axpy(y, val + ld_trow_start_[static_cast<std::size_t>(j)], std::min(j, ld_pivots_), yj);
  }
  if (ld_inv_[0] != 1.0) y[0] *= ld_inv_[0];
  for (std::int32_t j = 0; j < nr; ++j) x[rows[j]] = y[j];
}

void Factor::lower_transposed_records(double* x, std::int32_t first_eta, std::int32_t end_eta) {
  const std::int32_t* bidx = file_.back_idx();
  const double* bval = file_.back_val();
  for (auto t = static_cast<std::int64_t>(end_eta) - 1; t >= first_eta; --t) {
    const FilePos head = l_start_[static_cast<std::size_t>(t)];
    const std::int32_t r = bidx[head];
    const double sum = x[r] - indexed_dot(bidx + head + 1, bval + head + 1, l_count_[static_cast<std::size_t>(t)], x);
    const double inv = bval[head];
    x[r] = inv != 1.0 ? sum * inv : sum;
  }
}

void Factor::push_lower_row(double* x, std::int32_t row, double value) {
  const std::int32_t* ridx = file_.back_idx();
  const double* rval = file_.back_val();
  const FilePos start = l_row_start_[static_cast<std::size_t>(row)];
  indexed_axpy(ridx + start, rval + start, l_row_start_[static_cast<std::size_t>(row + 1)] - start, value, x);
}

void Factor::lower_transposed_sweep(double* x, std::int32_t below) {
  const std::int32_t* bidx = file_.back_idx();
  const double* bval = file_.back_val();
  for (std::int32_t t = below - 1; t >= 0; --t) {
    const FilePos head = l_start_[static_cast<std::size_t>(t)];
    const std::int32_t r = bidx[head];
    double xr = x[r];
    if (xr == 0.0) continue;
    if (bval[head] != 1.0) {
      xr *= bval[head];
      x[r] = xr;
    }
    push_lower_row(x, r, xr);
  }
}

bool Factor::lower_transposed_hypersparse(double* x, std::int32_t* list, std::int32_t& count) {
  const std::int32_t* bidx = file_.back_idx();
  const double* bval = file_.back_val();
  const auto etas = static_cast<std::int32_t>(l_start_.size());
  const std::int32_t bound = lower_heap_bound();
  const std::int32_t dense_limit = dense_result_limit();
  const auto key = [&](std::int32_t row) {
    const std::int32_t t = l_eta_of_row_[static_cast<std::size_t>(row)];
    return t >= 0 ? t : etas;
  };
  const auto before = [&](std::int32_t a, std::int32_t b) { return key(a) < key(b); };
  std::int32_t* heap = heap_.data();
  std::int32_t size = 0;
  if (count > bound) {
    lower_transposed_dot(x);
    return false;
  }
  for (std::int32_t k = 0; k < count; ++k) {
    queued_[static_cast<std::size_t>(list[k])] = 1;
    heap[size++] = list[k];
  }
  std::make_heap(heap, heap + size, before);

  while (size > 0) {
    std::pop_heap(heap, heap + size, before);
    const std::int32_t i = heap[--size];
    queued_[static_cast<std::size_t>(i)] = 0;
    double xi = x[i];
    if (xi == 0.0) continue;
    const std::int32_t t = l_eta_of_row_[static_cast<std::size_t>(i)];
    if (t >= 0) {
      const double inv = bval[l_start_[static_cast<std::size_t>(t)]];
      if (inv != 1.0) {
        xi *= inv;
        x[i] = xi;
      }
    }
    bool overflow = false;
    const FilePos end = l_row_start_[static_cast<std::size_t>(i + 1)];
    for (FilePos e = l_row_start_[static_cast<std::size_t>(i)]; e < end; ++e) {
      const std::int32_t r = bidx[e];
      if (!listed_[static_cast<std::size_t>(r)]) {
        listed_[static_cast<std::size_t>(r)] = 1;
        list[count++] = r;
      }
      x[r] -= bval[e] * xi;
      if (queued_[static_cast<std::size_t>(r)]) continue;
      if (size == bound || count > dense_limit) {
        overflow = true;
        continue;
      }
      queued_[static_cast<std::size_t>(r)] = 1;
      heap[size++] = r;
      std::push_heap(heap, heap + size, before);
    }
    if (overflow) {
      // Rows without an eta still pending come first; then every eta below
      // the one just done, in push form without the heap.
      const std::int32_t done = t >= 0 ? t : etas;
      for (std::int32_t k = 0; k < size; ++k) {
        const std::int32_t row = heap[k];
        queued_[static_cast<std::size_t>(row)] = 0;
        if (l_eta_of_row_[static_cast<std::size_t>(row)] < 0 && x[row] != 0.0) {
          push_lower_row(x, row, x[row]);
        }
      }
      lower_transposed_sweep(x, done);
      return false;
    }
  }
  return true;
}

void Factor::btran(WorkVector& w) {
  assert(valid_ && w.size() == m_);
  if (w.state() == WorkVectorState::zero) return;
  double* x = w.value_data();
  std::int32_t* list = w.index_data();
  std::int32_t count = w.nonzero_count();
  bool sparse = w.state() == WorkVectorState::sparse;
  if (sparse) {
    for (std::int32_t k = 0; k < count; ++k) listed_[static_cast<std::size_t>(list[k])] = 1;
  } else {
    count = 0;
  }
  const auto track = [&](std::int32_t i) {
    if (!listed_[static_cast<std::size_t>(i)]) {
      listed_[static_cast<std::size_t>(i)] = 1;
      list[count++] = i;
    }
  };
  const std::int32_t* bidx = file_.back_idx();
  const double* bval = file_.back_val();

  // Product-form etas, latest first (dot form).
  for (auto t = static_cast<std::int64_t>(pf_start_.size()) - 1; t >= 0; --t) {
    const FilePos head = pf_start_[static_cast<std::size_t>(t)];
    const std::int32_t p = bidx[head];
    const double sum = x[p] - indexed_dot(bidx + head + 1, bval + head + 1, pf_count_[static_cast<std::size_t>(t)], x);
    if (sum == 0.0 && x[p] == 0.0) continue;
    track(p);
    x[p] = sum * bval[head];
  }

  // U^T in pivot order (row-wise, axpy form).
  if (sparse) {
    sparse = upper_transposed_hypersparse(x, list, count);
  } else {
    upper_transposed_full(x, 0);
  }

  // Row etas, latest first (axpy form).
  for (auto t = static_cast<std::int64_t>(r_line_.size()) - 1; t >= 0; --t) {
    const double xp = x[r_pivot_[static_cast<std::size_t>(t)]];
    if (xp == 0.0) continue;
    const std::int32_t line = r_line_[static_cast<std::size_t>(t)];
    const std::int32_t* idx = file_.idx(line);
    const double* val = file_.val(line);
    const std::int32_t n = file_.len(line);
    if (!sparse) {  // no list to keep
      indexed_axpy(idx, val, n, xp, x);
      continue;
    }
    for (std::int32_t k = 0; k < n; ++k) {
      track(idx[k]);
      x[idx[k]] -= val[k] * xp;
    }
  }

  // L^T in reverse pivot order.
  if (sparse && l_rows_ready_) {
    sparse = lower_transposed_hypersparse(x, list, count);
  } else {
    lower_transposed_dot(x);
    sparse = false;
  }

  for (std::int32_t k = 0; k < count; ++k) listed_[static_cast<std::size_t>(list[k])] = 0;
  if (sparse) {
    w.set_sparse(count);
  } else {
    w.mark_dense();
  }
}

}  // namespace kqopt
