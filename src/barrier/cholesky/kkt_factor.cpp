// The normal-equations factor (see kkt_factor.h).
#include "barrier/cholesky/kkt_factor.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <new>
#include <numeric>

#include "barrier/kit/fatal_error.h"
#include "barrier/kit/report.h"
#include "barrier/ordering/ordering_choice.h"

namespace kqopt::barrier {
namespace {

inline std::size_t u(std::int64_t i) { return static_cast<std::size_t>(i); }

double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Columns whose values are proportional to a head column's within this tolerance form
// one column of the formation.
constexpr double kParallelTolerance = 1.0e-10;
// Heads a column is compared with inside one run of equal patterns.
constexpr int kHeadsCompared = 4;

}  // namespace

std::unique_ptr<KktFactor> KktFactor::create(std::int32_t m, std::int32_t n, std::int32_t kind) {
  if (m < 0 || n < 0) return nullptr;
  return std::unique_ptr<KktFactor>(new (std::nothrow) KktFactor(m, n, kind));
}

std::span<const std::int32_t> KktFactor::dense_columns() const {
  if (!dense_) return {};
  return dense_->columns();
}

std::int32_t KktFactor::autosetup(const ColumnMatrixView& a, bool quadratic) {
  if (kind_ == 0 && !quadratic) kind_ = 1;
  return adasetup(a);
}

std::int32_t KktFactor::adasetup(const ColumnMatrixView& a) {
  if (kind_ != 1) fatal_error("kktfack", "kktfac_adasetup", "Wrong ktpe");
  if (a.pattern.start.empty()) fatal_argument("kktfack", "kktfac_adasetup", 2, 0);
  if (a.pattern.m != m_ || a.pattern.n != n_ || a.pattern.start.size() != u(n_) + 1) return kKktDimensionMismatch;
  const std::int64_t nonzeros = a.pattern.start[u(n_)];
  if (static_cast<std::int64_t>(a.pattern.row.size()) < nonzeros ||
      static_cast<std::int64_t>(a.value.size()) < nonzeros) {
    return kKktDimensionMismatch;
  }
  for (std::int64_t p = 0; p < nonzeros; ++p) {
    if (a.pattern.row[u(p)] < 0 || a.pattern.row[u(p)] >= m_) return kKktIndexOutOfRange;
  }
  const Hundredths start = clock_now();
  a_ = a;
  stats_ = KktStats{};
  const std::int32_t status = build_structure(find_dense_columns(a.pattern, dense_threshold_));
  stats_.setup_time = clock_elapsed(start);
  return status;
}

std::int32_t KktFactor::build_structure(std::vector<std::int32_t> dense) {
  const KktStats previous = stats_;
  try {
    sparse_column_.assign(u(n_), 1);
    for (const std::int32_t j : dense) sparse_column_[u(j)] = 0;
    keep_covering_columns(dense);
    const UpperStructure upper = aat_upper_structure(a_.pattern, sparse_column_);
    const Adjacency graph = symmetric_adjacency(upper);
    stats_ = KktStats{};
    stats_.factorizations = previous.factorizations;
    stats_.solves = previous.solves;
    stats_.kind = kind_;
    stats_.ordering_code = ordering_code_;
    stats_.nnz_aat = upper.nonzeros();
    const Hundredths ordering_start = clock_now();
    const double cpu_start = cpu_seconds();
    std::vector<std::int32_t> order =
        order_structure(graph, ordering_code_, &stats_.ordering, verbosity_ >= 2 ? log_ : nullptr);
    stats_.ordering_seconds = cpu_seconds() - cpu_start;
    stats_.ordering_time = clock_elapsed(ordering_start);
    SymbolicFactor symbolic = symbolic_factor(graph, order, fill_threshold_, relaxation_);
    stats_.nnz_l = symbolic.nnz_l;
    stats_.supernodes = symbolic.supernodes();
    stats_.dense_block = symbolic.n - symbolic.dense_start;
    chol_ = std::make_unique<SparseCholesky>(std::move(symbolic),
                                             CholeskySettings{pivot_tolerance_, static_cast<double>(cache_kilobytes_)});
    stats_.dense_columns = static_cast<std::int32_t>(dense.size());
    dense_.emplace(std::move(dense), m_);
    build_formation_plan();
    map_.assign(u(m_), 0);
    weight_.assign(u(n_), 0.0);
    d_.resize(u(n_), 0.0);  // kept: a rebuilt structure is formed with them again
    r_.resize(u(m_), 0.0);
    work_.assign(u(m_), 0.0);
    residual_.assign(u(m_), 0.0);
    direction_.assign(u(m_), 0.0);
    product_.assign(u(m_), 0.0);
    multi_work_.assign(2 * u(m_), 0.0);  // the common pair; more are sized when asked for
  } catch (const std::bad_alloc&) {
    chol_.reset();
    dense_.reset();
    return kKktOutOfMemory;
  }
  if (log_ != nullptr && verbosity_ >= 1) {
    report::line(log_, "");
    report::name_int(log_, -16, "Factor nonzeros", 10, stats_.nnz_aat);
    report::line(log_, "");
    report::name_int(log_, -16, "Dense columns", 10, stats_.dense_columns);
    report::line(log_, "");
    report::name_int(log_, -16, "L nonzeros", 10, stats_.nnz_l);
  }
  return kKktOk;
}

// A row that only dense columns reach would make the sparse part singular, and the
// correction through its factor inaccurate: a dense column through such a row stays in
// the sparse part.
void KktFactor::keep_covering_columns(std::vector<std::int32_t>& dense) {
  if (dense.empty()) return;
  std::vector<std::int8_t> covered(u(m_), 0);
  for (std::int32_t j = 0; j < n_; ++j) {
    if (!sparse_column_[u(j)]) continue;
    for (std::int64_t p = a_.pattern.start[u(j)]; p < a_.pattern.start[u(j) + 1]; ++p)
      covered[u(a_.pattern.row[u(p)])] = 1;
  }
  std::vector<std::int32_t> kept;
  for (const std::int32_t j : dense) {
    bool needed = false;
    for (std::int64_t p = a_.pattern.start[u(j)]; p < a_.pattern.start[u(j) + 1] && !needed; ++p) {
      needed = covered[u(a_.pattern.row[u(p)])] == 0;
    }
    if (!needed) {
      kept.push_back(j);
      continue;
    }
    sparse_column_[u(j)] = 1;
    for (std::int64_t p = a_.pattern.start[u(j)]; p < a_.pattern.start[u(j) + 1]; ++p)
      covered[u(a_.pattern.row[u(p)])] = 1;
  }
  dense.swap(kept);
}

void KktFactor::group_parallel_columns() {
  group_head_.resize(u(n_));
  group_ratio_.assign(u(n_), 1.0);
  std::iota(group_head_.begin(), group_head_.end(), 0);
  std::vector<std::int64_t> key(u(n_), 0);
  std::vector<std::int32_t> candidates;
  for (std::int32_t j = 0; j < n_; ++j) {
    const std::int64_t len = entry_start_[u(j) + 1] - entry_start_[u(j)];
    if (!sparse_column_[u(j)] || len < 2) continue;
    for (std::int64_t e = entry_start_[u(j)]; e < entry_start_[u(j) + 1]; ++e) key[u(j)] += entry_position_[u(e)];
    candidates.push_back(j);
  }
  auto length = [&](std::int32_t j) { return entry_start_[u(j) + 1] - entry_start_[u(j)]; };
  std::sort(candidates.begin(), candidates.end(), [&](std::int32_t x, std::int32_t y) {
    if (length(x) != length(y)) return length(x) < length(y);
    if (key[u(x)] != key[u(y)]) return key[u(x)] < key[u(y)];
    return x < y;
  });
  auto value = [&](std::int64_t e) { return a_.value[u(entry_source_[u(e)])]; };
  std::vector<std::int32_t> heads;
  for (std::size_t q = 0; q < candidates.size(); ++q) {
    const std::int32_t j = candidates[q];
    if (q == 0 || length(candidates[q - 1]) != length(j) || key[u(candidates[q - 1])] != key[u(j)]) heads.clear();
    bool grouped = false;
    for (const std::int32_t h : heads) {
      const std::int64_t eh = entry_start_[u(h)];
      const std::int64_t ej = entry_start_[u(j)];
      if (value(eh) == 0.0) continue;
      const double ratio = value(ej) / value(eh);
      bool same = ratio != 0.0;
      for (std::int64_t k = 0; k < length(j) && same; ++k) {
        same = entry_position_[u(eh + k)] == entry_position_[u(ej + k)] && value(eh + k) != 0.0 &&
               std::fabs(value(ej + k) / value(eh + k) / ratio - 1.0) <= kParallelTolerance;
      }
      if (same) {
        group_head_[u(j)] = h;
        group_ratio_[u(j)] = ratio;
        ++stats_.grouped_columns;
        grouped = true;
        break;
      }
    }
    if (!grouped && static_cast<int>(heads.size()) < kHeadsCompared) heads.push_back(j);
  }
}

void KktFactor::build_formation_plan() {
  const std::span<const std::int32_t> iperm = chol_->symbolic().iperm;
  entry_start_.assign(u(n_) + 1, 0);
  for (std::int32_t j = 0; j < n_; ++j) {
    const std::int64_t len = sparse_column_[u(j)] ? a_.pattern.start[u(j) + 1] - a_.pattern.start[u(j)] : 0;
    entry_start_[u(j) + 1] = entry_start_[u(j)] + len;
  }
  entry_position_.resize(u(entry_start_[u(n_)]));
  entry_source_.resize(u(entry_start_[u(n_)]));
  std::vector<std::pair<std::int32_t, std::int64_t>> column;
  for (std::int32_t j = 0; j < n_; ++j) {
    if (!sparse_column_[u(j)]) continue;
    column.clear();
    for (std::int64_t p = a_.pattern.start[u(j)]; p < a_.pattern.start[u(j) + 1]; ++p) {
      column.emplace_back(iperm[u(a_.pattern.row[u(p)])], p);
    }
    std::sort(column.begin(), column.end());
    std::int64_t e = entry_start_[u(j)];
    for (const auto& [position, source] : column) {
      entry_position_[u(e)] = position;
      entry_source_[u(e++)] = source;
    }
  }
  group_parallel_columns();
  const SymbolicFactor& s = chol_->symbolic();
  const std::int32_t ns = s.supernodes();
  plan_start_.assign(u(ns) + 1, 0);
  for (std::int32_t j = 0; j < n_; ++j) {
    if (group_head_[u(j)] != j) continue;
    for (std::int64_t e = entry_start_[u(j)]; e < entry_start_[u(j) + 1]; ++e) {
      ++plan_start_[u(s.super_of[u(entry_position_[u(e)])]) + 1];
    }
  }
  for (std::int32_t t = 0; t < ns; ++t) plan_start_[u(t) + 1] += plan_start_[u(t)];
  plan_column_.resize(u(plan_start_[u(ns)]));
  plan_entry_.resize(u(plan_start_[u(ns)]));
  std::vector<std::int64_t> fill(plan_start_.begin(), plan_start_.end() - 1);
  for (std::int32_t j = 0; j < n_; ++j) {
    if (group_head_[u(j)] != j) continue;
    for (std::int64_t e = entry_start_[u(j)]; e < entry_start_[u(j) + 1]; ++e) {
      const std::int64_t q = fill[u(s.super_of[u(entry_position_[u(e)])])]++;
      plan_column_[u(q)] = j;
      plan_entry_[u(q)] = e;
    }
  }
}

void KktFactor::form(std::span<const double> d, std::span<const double> r) {
  for (std::int32_t j = 0; j < n_; ++j) weight_[u(j)] = 0.0;
  for (std::int32_t j = 0; j < n_; ++j) {
    if (!sparse_column_[u(j)]) continue;
    const double ratio = group_ratio_[u(j)];
    weight_[u(group_head_[u(j)])] += d[u(j)] * ratio * ratio;
  }
  chol_->zero();
  const SymbolicFactor& s = chol_->symbolic();
  const std::span<const double> value = a_.value;
  for (std::int32_t t = 0; t < s.supernodes(); ++t) {
    const std::int32_t f = s.super_start[u(t)];
    const std::int64_t h = chol_->block_height(t);
    const std::int32_t* rows = s.rows.data() + s.row_start[u(t)];
    for (std::int64_t i = 0; i < h; ++i) map_[u(rows[i])] = static_cast<std::int32_t>(i);
    double* block = chol_->block(t);
    for (std::int64_t q = plan_start_[u(t)]; q < plan_start_[u(t) + 1]; ++q) {
      const std::int32_t j = plan_column_[u(q)];
      const std::int64_t e = plan_entry_[u(q)];
      const double scaled = weight_[u(j)] * value[u(entry_source_[u(e)])];
      if (scaled == 0.0) continue;
      double* target = block + static_cast<std::int64_t>(entry_position_[u(e)] - f) * h;
      const std::int64_t end = entry_start_[u(j) + 1];
      for (std::int64_t e2 = e; e2 < end; ++e2) {
        target[map_[u(entry_position_[u(e2)])]] += scaled * value[u(entry_source_[u(e2)])];
      }
    }
  }
  if (!r.empty()) {
    for (std::int32_t i = 0; i < m_; ++i) chol_->add_diagonal(s.iperm[u(i)], r[u(i)]);
  }
}

std::int32_t KktFactor::numfac(std::span<const double> d, std::span<const double> r) {
  if (kind_ != 1) fatal_error("kktfack", "kktfac_numfac", "Wrong factor type");
  if (!chol_) fatal_error("kktfack", "kktfac_numfac", "Wrong factor type");
  if (d.size() < u(n_) || (!r.empty() && r.size() < u(m_))) return kKktDimensionMismatch;
  const Hundredths start = clock_now();
  std::copy(d.begin(), d.begin() + n_, d_.begin());
  if (r.empty()) {
    std::fill(r_.begin(), r_.end(), 0.0);
  } else {
    std::copy(r.begin(), r.begin() + m_, r_.begin());
  }
  form(d_, r_);
  // Row sums of |A| D |A'| + |R| bound the norm that scales the solve's stopping test.
  std::fill(product_.begin(), product_.end(), 0.0);
  for (std::int32_t j = 0; j < n_; ++j) {
    double column_sum = 0.0;
    for (std::int64_t p = a_.pattern.start[u(j)]; p < a_.pattern.start[u(j) + 1]; ++p)
      column_sum += std::fabs(a_.value[u(p)]);
    const double t = column_sum * std::fabs(d_[u(j)]);
    for (std::int64_t p = a_.pattern.start[u(j)]; p < a_.pattern.start[u(j) + 1]; ++p) {
      product_[u(a_.pattern.row[u(p)])] += t * std::fabs(a_.value[u(p)]);
    }
  }
  matrix_norm_ = 0.0;
  for (std::int32_t i = 0; i < m_; ++i) matrix_norm_ = std::max(matrix_norm_, product_[u(i)] + std::fabs(r_[u(i)]));
  chol_->factorize();
  if (!dense_->empty() && chol_->dropped() > 0) {
    // The sparse part without the dense columns is singular: the correction through its
    // factor loses the accuracy the solves need. The split is abandoned for good.
    if (build_structure({}) != kKktOk) return kKktOutOfMemory;
    form(d_, r_);
    chol_->factorize();
  }
  dense_->form(*chol_, a_, d_, chol_->symbolic().iperm, chol_->max_diagonal());
  stats_.dropped = chol_->dropped();
  ++stats_.factorizations;
  stats_.factor_time += clock_elapsed(start);
  return kKktOk;
}

void KktFactor::solve_once(std::span<double> xp) {
  chol_->forward(xp);
  chol_->divide(xp);
  dense_->apply(*chol_, xp);
  chol_->backward(xp);
}

void KktFactor::apply_matrix(std::span<const double> x, std::span<double> y) const {
  for (std::int32_t i = 0; i < m_; ++i) y[u(i)] = r_[u(i)] * x[u(i)];
  for (std::int32_t j = 0; j < n_; ++j) {
    double dot = 0.0;
    for (std::int64_t p = a_.pattern.start[u(j)]; p < a_.pattern.start[u(j) + 1]; ++p) {
      dot += a_.value[u(p)] * x[u(a_.pattern.row[u(p)])];
    }
    const double t = dot * d_[u(j)];
    if (t == 0.0) continue;
    for (std::int64_t p = a_.pattern.start[u(j)]; p < a_.pattern.start[u(j) + 1]; ++p) {
      y[u(a_.pattern.row[u(p)])] += t * a_.value[u(p)];
    }
  }
}

void KktFactor::precondition(std::span<const double> v, std::span<double> z) {
  const std::span<const std::int32_t> iperm = chol_->symbolic().iperm;
  for (std::int32_t i = 0; i < m_; ++i) work_[u(iperm[u(i)])] = v[u(i)];
  solve_once(work_);
  for (std::int32_t i = 0; i < m_; ++i) z[u(i)] = work_[u(iperm[u(i)])];
}

bool KktFactor::solve_kept_rows(std::span<const double> b, std::span<double> x) {
  if (kind_ != 1 || !chol_) fatal_error("kktfack", "kktfac_adasolve", "Wrong factor type");
  if (!dense_->empty()) return false;
  const std::span<const std::int32_t> iperm = chol_->symbolic().iperm;
  for (std::int32_t i = 0; i < m_; ++i) work_[u(iperm[u(i)])] = b[u(i)];
  chol_->forward(work_);
  chol_->divide(work_);
  // A dropped pivot's column of L is zero, so the kept rows' forward solve never saw it;
  // its row of L reaches the back solve only through its own component.
  for (std::int32_t k = 0; k < m_; ++k) {
    if (chol_->dropped_at(k)) work_[u(k)] = 0.0;
  }
  chol_->backward(work_);
  for (std::int32_t i = 0; i < m_; ++i) x[u(i)] = work_[u(iperm[u(i)])];
  ++stats_.solves;
  return true;
}

void KktFactor::solve(std::span<const double> b, std::span<double> x) {
  if (kind_ != 1 || !chol_) fatal_error("kktfack", "kktfac_adasolve", "Wrong factor type");
  const Hundredths start = clock_now();
  precondition(b, x);
  if (!dense_->empty() || chol_->dropped() > 0) {
    // Dropped pivots make the factor that of a nearby matrix, M + a low-rank term of rank
    // at most the number dropped (the dense correction goes through that factor too).
    // Conjugate gradients on M preconditioned by the factor then end within about that
    // many steps, where plain refinement can stall.
    double b_norm = 0.0;
    for (std::int32_t i = 0; i < m_; ++i) b_norm = std::max(b_norm, std::fabs(b[u(i)]));
    std::span<double> r(residual_), z(product_), p(direction_);
    apply_matrix(x, r);
    for (std::int32_t i = 0; i < m_; ++i) r[u(i)] = b[u(i)] - r[u(i)];
    const std::int32_t limit =
        std::min(100, 2 * (chol_->dropped() + static_cast<std::int32_t>(dense_->columns().size())) + 10);
    double rz = 0.0;
    for (std::int32_t step = 0; step < limit; ++step) {
      double r_norm = 0.0, x_norm = 0.0;
      for (std::int32_t i = 0; i < m_; ++i) {
        r_norm = std::max(r_norm, std::fabs(r[u(i)]));
        x_norm = std::max(x_norm, std::fabs(x[u(i)]));
      }
      if (r_norm <= 1.0e-15 * (matrix_norm_ * x_norm + b_norm)) break;
      precondition(r, z);
      double rz_new = 0.0;
      for (std::int32_t i = 0; i < m_; ++i) rz_new += r[u(i)] * z[u(i)];
      if (!(rz_new > 0.0)) break;
      const double beta = step == 0 ? 0.0 : rz_new / rz;
      rz = rz_new;
      for (std::int32_t i = 0; i < m_; ++i) p[u(i)] = z[u(i)] + beta * p[u(i)];
      apply_matrix(p, z);  // z now holds M p
      double pq = 0.0;
      for (std::int32_t i = 0; i < m_; ++i) pq += p[u(i)] * z[u(i)];
      if (!(pq > 0.0)) break;
      const double alpha = rz / pq;
      for (std::int32_t i = 0; i < m_; ++i) {
        x[u(i)] += alpha * p[u(i)];
        r[u(i)] -= alpha * z[u(i)];
      }
    }
  }
  ++stats_.solves;
  stats_.solve_time += clock_elapsed(start);
}

void KktFactor::solve_multiple(std::int32_t count, std::span<const double> b, std::span<double> x) {
  if (kind_ != 1 || !chol_) fatal_error("kktfack", "kktfac_adasolve", "Wrong factor type");
  if (count > 1 && dense_->empty() && chol_->dropped() == 0) {
    // One pass over L for all of them: the factor is streamed once instead of count times.
    const Hundredths start = clock_now();
    const std::span<const std::int32_t> iperm = chol_->symbolic().iperm;
    const std::size_t m = u(m_);
    if (multi_work_.size() < m * u(count)) multi_work_.resize(m * u(count));
    for (std::int32_t k = 0; k < count; ++k) {
      double* w = multi_work_.data() + u(k) * m;
      const double* bk = b.data() + u(k) * m;
      for (std::int32_t i = 0; i < m_; ++i) w[iperm[u(i)]] = bk[i];
    }
    chol_->solve_positions(multi_work_, count, m_);
    for (std::int32_t k = 0; k < count; ++k) {
      const double* w = multi_work_.data() + u(k) * m;
      double* xk = x.data() + u(k) * m;
      for (std::int32_t i = 0; i < m_; ++i) xk[i] = w[iperm[u(i)]];
    }
    stats_.solves += count;
    stats_.solve_time += clock_elapsed(start);
    return;
  }
  for (std::int32_t k = 0; k < count; ++k) {
    solve(b.subspan(u(k) * u(m_), u(m_)), x.subspan(u(k) * u(m_), u(m_)));
  }
}

std::int64_t KktFactor::stored_bytes() const {
  std::int64_t bytes = chol_ ? chol_->stored_bytes() : 0;
  if (dense_) bytes += dense_->stored_bytes();
  bytes += static_cast<std::int64_t>(
      (entry_position_.size() + plan_column_.size() + map_.size()) * 4 +
      (entry_start_.size() + entry_source_.size() + plan_start_.size() + plan_entry_.size()) * 8 +
      (weight_.size() + d_.size() + r_.size() + 4 * work_.size() + multi_work_.size()) * 8);
  return bytes;
}

}  // namespace kqopt::barrier
