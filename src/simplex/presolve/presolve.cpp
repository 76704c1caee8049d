// The reductions of presolve: sweeps over the rows and columns of a copy of the LP,
// each reduction pushed on the stack that postsolve undoes.
#include "simplex/presolve/presolve.h"

#include <algorithm>
#include <cmath>

#include "problem/infinity.h"

namespace kqopt {

namespace {

bool finite(double bound) { return std::fabs(bound) < kInfinityThreshold; }

struct Activity {
  double min = 0.0;
  double max = 0.0;
  std::int32_t min_infinite = 0;  // entries whose bound makes the minimum -inf
  std::int32_t max_infinite = 0;
};

class Reducer {
 public:
  Reducer(const WorkingLp& lp, std::span<const ColumnKind> kinds, const PresolveSettings& settings, Presolved& out)
      : lp_(lp), settings_(settings), out_(out), m_(lp.rows), n_(lp.columns) {
    const bool entities = (settings.select & presolve_bit::kNoEntities) == 0;
    kinds_.assign(static_cast<std::size_t>(n_), ColumnKind::continuous);
    if (entities && static_cast<std::int32_t>(kinds.size()) == n_) kinds_.assign(kinds.begin(), kinds.end());
    build_columns();
    build_rows();
    row_alive_.assign(static_cast<std::size_t>(m_), 1);
    col_alive_.assign(static_cast<std::size_t>(n_), 1);
    row_count_.assign(static_cast<std::size_t>(m_), 0);
    col_count_.assign(static_cast<std::size_t>(n_), 0);
    for (std::int32_t i = 0; i < m_; ++i) row_count_[ui(i)] = row_start_[ui(i) + 1] - row_start_[ui(i)];
    for (std::int32_t j = 0; j < n_; ++j) col_count_[ui(j)] = col_start_[ui(j) + 1] - col_start_[ui(j)];
    rhs_ = lp.rhs;
    sl_.assign(lp.lower.begin(), lp.lower.begin() + m_);
    su_.assign(lp.upper.begin(), lp.upper.begin() + m_);
    cl_.assign(lp.lower.begin() + m_, lp.lower.end());
    cu_.assign(lp.upper.begin() + m_, lp.upper.end());
    cost_.assign(lp.cost.begin() + m_, lp.cost.end());
  }

  PresolveOutcome run() {
    const std::uint32_t select = settings_.select;
    const std::int32_t sweeps = std::max(settings_.primal_sweeps, settings_.dual_sweeps);
    // Without the elimination pass one round is all there is.
    for (std::int32_t s = 1; s <= std::max(sweeps, 1); ++s) {
      const std::size_t before = out_.stack.size();
      const std::int32_t bounds_before = out_.bounds_changed;
      const bool primal = s <= settings_.primal_sweeps;
      if (select & presolve_bit::kEmptyAndFixed) empty_and_fixed();
      if (failed()) break;
      if ((select & presolve_bit::kSingletonRows) && primal) singleton_rows();
      if (failed()) break;
      if ((select & presolve_bit::kPrimal) && primal) activity_rows();
      if (failed()) break;
      if ((select & presolve_bit::kDual) && s <= settings_.dual_sweeps) cost_sign_columns();
      if (failed()) break;
      if ((select & presolve_bit::kColumnSingletons) && primal) column_singletons();
      if (failed()) break;
      if (out_.stack.size() == before && out_.bounds_changed == bounds_before) break;
    }
    return outcome_;
  }

  void build() {
    std::vector<std::int32_t> new_row(ui(m_), -1);
    for (std::int32_t i = 0; i < m_; ++i) {
      if (!row_alive_[ui(i)]) continue;
      new_row[ui(i)] = static_cast<std::int32_t>(out_.row_of.size());
      out_.row_of.push_back(i);
    }
    for (std::int32_t j = 0; j < n_; ++j) {
      if (col_alive_[ui(j)]) out_.column_of.push_back(j);
    }
    WorkingLp& r = out_.lp;
    r.rows = static_cast<std::int32_t>(out_.row_of.size());
    r.columns = static_cast<std::int32_t>(out_.column_of.size());
    const auto total = ui(r.rows + r.columns);
    r.cost.assign(total, 0.0);
    r.lower.assign(total, 0.0);
    r.upper.assign(total, 0.0);
    r.rhs.assign(ui(r.rows), 0.0);
    for (std::int32_t k = 0; k < r.rows; ++k) {
      const auto i = ui(out_.row_of[ui(k)]);
      r.lower[ui(k)] = sl_[i];
      r.upper[ui(k)] = su_[i];
      r.rhs[ui(k)] = rhs_[i];
    }
    // Each column's elements in increasing row order, whatever order they were loaded
    // in, so that equal problems presolve to the same LP.
    std::vector<std::int32_t> new_column(ui(n_), -1);
    for (std::int32_t k = 0; k < r.columns; ++k) new_column[ui(out_.column_of[ui(k)])] = k;
    r.column_start.assign(ui(r.columns) + 1, 0);
    for (std::int32_t i = 0; i < m_; ++i) {
      if (!row_alive_[ui(i)]) continue;
      for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
        const std::int32_t k = new_column[ui(row_column_[ui(p)])];
        if (k >= 0) ++r.column_start[ui(k) + 1];
      }
    }
    for (std::int32_t k = 0; k < r.columns; ++k) r.column_start[ui(k) + 1] += r.column_start[ui(k)];
    r.row_index.assign(ui(r.column_start.back()), 0);
    r.value.assign(ui(r.column_start.back()), 0.0);
    std::vector<std::int32_t> next(r.column_start.begin(), r.column_start.end() - 1);
    for (std::int32_t i = 0; i < m_; ++i) {
      if (!row_alive_[ui(i)]) continue;
      for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
        const std::int32_t k = new_column[ui(row_column_[ui(p)])];
        if (k < 0) continue;
        const auto slot = ui(next[ui(k)]++);
        r.row_index[slot] = new_row[ui(i)];
        r.value[slot] = row_value_[ui(p)];
      }
    }
    for (std::int32_t k = 0; k < r.columns; ++k) {
      const auto j = ui(out_.column_of[ui(k)]);
      const auto v = ui(r.rows + k);
      r.cost[v] = cost_[j];
      r.lower[v] = cl_[j];
      r.upper[v] = cu_[j];
    }
    r.build_row_copy();
    out_.rows_removed = m_ - r.rows;
    out_.columns_removed = n_ - r.columns;
    const std::int64_t loaded = lp_.column_start.empty() ? 0 : lp_.column_start.back();
    out_.elements_removed = loaded - static_cast<std::int64_t>(r.row_index.size());
    for (std::int32_t i = 0; i < m_; ++i) {
      if (row_alive_[ui(i)] || finite(lp_.lower[ui(i)]) || finite(lp_.upper[ui(i)])) continue;
      ++out_.free_rows_removed;
      out_.free_row_elements_removed += row_start_[ui(i) + 1] - row_start_[ui(i)];
    }
  }

 private:
  static std::size_t ui(std::int32_t k) { return static_cast<std::size_t>(k); }
  bool failed() const { return outcome_ != PresolveOutcome::reduced; }

  // The columns without their explicit zeros (a repeated element and its negative
  // merged into one), which are no part of the problem's structure.
  void build_columns() {
    col_start_.assign(1, 0);
    for (std::int32_t j = 0; j < n_; ++j) {
      for (std::int32_t p = lp_.column_start[ui(j)]; p < lp_.column_start[ui(j) + 1]; ++p) {
        if (lp_.value[ui(p)] == 0.0) continue;
        col_row_.push_back(lp_.row_index[ui(p)]);
        col_value_.push_back(lp_.value[ui(p)]);
      }
      col_start_.push_back(static_cast<std::int32_t>(col_row_.size()));
    }
  }

  void build_rows() {
    row_start_.assign(ui(m_) + 1, 0);
    const std::int32_t nnz = col_start_.empty() ? 0 : col_start_.back();
    for (std::int32_t p = 0; p < nnz; ++p) ++row_start_[ui(col_row_[ui(p)]) + 1];
    for (std::int32_t i = 0; i < m_; ++i) row_start_[ui(i) + 1] += row_start_[ui(i)];
    row_column_.resize(ui(nnz));
    row_value_.resize(ui(nnz));
    std::vector<std::int32_t> next(row_start_.begin(), row_start_.end() - 1);
    for (std::int32_t j = 0; j < n_; ++j) {
      for (std::int32_t p = col_start_[ui(j)]; p < col_start_[ui(j) + 1]; ++p) {
        const auto slot = ui(next[ui(col_row_[ui(p)])]++);
        row_column_[slot] = j;
        row_value_[slot] = col_value_[ui(p)];
      }
    }
  }

  // Limits on a_i·x: [rhs − su, rhs − sl].
  double row_lower_limit(std::int32_t i) const { return finite(su_[ui(i)]) ? rhs_[ui(i)] - su_[ui(i)] : -kInfinity; }
  double row_upper_limit(std::int32_t i) const { return finite(sl_[ui(i)]) ? rhs_[ui(i)] - sl_[ui(i)] : kInfinity; }

  Activity activity(std::int32_t i, std::int32_t skip) const {
    Activity act;
    for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
      const std::int32_t j = row_column_[ui(p)];
      if (!col_alive_[ui(j)] || j == skip) continue;
      const double a = row_value_[ui(p)];
      const double low = a > 0.0 ? cl_[ui(j)] : cu_[ui(j)];
      const double high = a > 0.0 ? cu_[ui(j)] : cl_[ui(j)];
      if (finite(low)) {
        act.min += a * low;
      } else {
        ++act.min_infinite;
      }
      if (finite(high)) {
        act.max += a * high;
      } else {
        ++act.max_infinite;
      }
    }
    return act;
  }

  void remove_row(std::int32_t i) {
    for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
      const std::int32_t j = row_column_[ui(p)];
      if (col_alive_[ui(j)]) --col_count_[ui(j)];
    }
    row_alive_[ui(i)] = 0;
  }

  // Takes column j out at value x: its entries move into the right-hand sides.
  void remove_column(std::int32_t j, double x) {
    for (std::int32_t p = col_start_[ui(j)]; p < col_start_[ui(j) + 1]; ++p) {
      const std::int32_t i = col_row_[ui(p)];
      if (!row_alive_[ui(i)]) continue;
      rhs_[ui(i)] -= col_value_[ui(p)] * x;
      --row_count_[ui(i)];
    }
    col_alive_[ui(j)] = 0;
  }

  void fix_column(std::int32_t j, double x, bool at_upper) {
    Reduction r;
    r.kind = ReductionKind::fixed_column;
    r.column = j;
    r.value = x;
    r.cost = cost_[ui(j)];
    r.lower = cl_[ui(j)];
    r.upper = cu_[ui(j)];
    r.at_upper = at_upper;
    out_.stack.push_back(r);
    remove_column(j, x);
  }

  void drop_free_row(std::int32_t i) {
    Reduction r;
    r.kind = ReductionKind::free_row;
    r.row = i;
    out_.stack.push_back(r);
    remove_row(i);
  }

  void empty_and_fixed() {
    const double tol = settings_.infeasibility_tolerance;
    for (std::int32_t i = 0; i < m_ && !failed(); ++i) {
      if (!row_alive_[ui(i)]) continue;
      const bool free_row = !finite(sl_[ui(i)]) && !finite(su_[ui(i)]);
      if (row_count_[ui(i)] == 0) {
        // Its logical alone must take the right-hand side.
        if (rhs_[ui(i)] < sl_[ui(i)] - tol || rhs_[ui(i)] > su_[ui(i)] + tol) {
          outcome_ = PresolveOutcome::infeasible;
          return;
        }
        drop_free_row(i);
      } else if (free_row) {
        drop_free_row(i);
      }
    }
    for (std::int32_t j = 0; j < n_ && !failed(); ++j) {
      if (!col_alive_[ui(j)] || kinds_[ui(j)] == ColumnKind::frozen) continue;
      const double l = cl_[ui(j)];
      const double u = cu_[ui(j)];
      if (finite(l) && l == u) {
        fix_column(j, l, false);
      } else if (col_count_[ui(j)] == 0) {
        const double c = cost_[ui(j)];
        if (c > 0.0 || (c == 0.0 && finite(l))) {
          if (!finite(l)) {
            outcome_ = PresolveOutcome::unbounded;
            out_.unbounded_column = j;
            return;
          }
          fix_column(j, l, false);
        } else if (c < 0.0 || finite(u)) {
          if (!finite(u)) {
            outcome_ = PresolveOutcome::unbounded;
            out_.unbounded_column = j;
            return;
          }
          fix_column(j, u, true);
        } else {
          fix_column(j, 0.0, false);
        }
      }
    }
  }

  void singleton_rows() {
    const double tol = settings_.infeasibility_tolerance;
    for (std::int32_t i = 0; i < m_ && !failed(); ++i) {
      if (!row_alive_[ui(i)] || row_count_[ui(i)] != 1) continue;
      std::int32_t j = -1;
      double a = 0.0;
      for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
        if (col_alive_[ui(row_column_[ui(p)])]) {
          j = row_column_[ui(p)];
          a = row_value_[ui(p)];
        }
      }
      if (j < 0 || std::fabs(a) < settings_.zero_tolerance || kinds_[ui(j)] == ColumnKind::frozen) continue;
      const double lo_limit = row_lower_limit(i);
      const double up_limit = row_upper_limit(i);
      double lo =
          a > 0.0 ? (finite(lo_limit) ? lo_limit / a : -kInfinity) : (finite(up_limit) ? up_limit / a : -kInfinity);
      double hi =
          a > 0.0 ? (finite(up_limit) ? up_limit / a : kInfinity) : (finite(lo_limit) ? lo_limit / a : kInfinity);
      if (kinds_[ui(j)] == ColumnKind::integer) {
        if (finite(lo)) lo = std::ceil(lo - 1.0e-9);
        if (finite(hi)) hi = std::floor(hi + 1.0e-9);
      }
      const double l = cl_[ui(j)];
      const double u = cu_[ui(j)];
      double new_l = std::max(l, lo);
      double new_u = std::min(u, hi);
      if (new_l > new_u + tol * std::max(1.0, std::fabs(new_u))) {
        outcome_ = PresolveOutcome::infeasible;
        return;
      }
      if (new_l > new_u) {
        // Crossed within the tolerance: keep the loaded bound where there is one.
        if (new_l == l) {
          new_u = new_l;
        } else {
          new_l = new_u;
        }
      }
      Reduction r;
      r.kind = ReductionKind::singleton_row;
      r.row = i;
      r.column = j;
      r.element = a;
      r.lower = l;
      r.upper = u;
      r.rhs = rhs_[ui(i)];
      out_.stack.push_back(r);
      if (new_l != l || new_u != u) ++out_.bounds_changed;
      cl_[ui(j)] = new_l;
      cu_[ui(j)] = new_u;
      remove_row(i);
    }
  }

  // Redundant rows (no point of the column bounds can break them) and forcing rows
  // (only one point meets them: every column at the bound that pushes the row's
  // activity towards the limit it sits on).
  void activity_rows() {
    const double tol = settings_.infeasibility_tolerance;
    for (std::int32_t i = 0; i < m_ && !failed(); ++i) {
      if (!row_alive_[ui(i)] || row_count_[ui(i)] == 0) continue;
      const Activity act = activity(i, -1);
      const double lo_limit = row_lower_limit(i);
      const double up_limit = row_upper_limit(i);
      const bool min_known = act.min_infinite == 0;
      const bool max_known = act.max_infinite == 0;
      if ((min_known && finite(up_limit) && act.min > up_limit + tol * std::max(1.0, std::fabs(up_limit))) ||
          (max_known && finite(lo_limit) && act.max < lo_limit - tol * std::max(1.0, std::fabs(lo_limit)))) {
        outcome_ = PresolveOutcome::infeasible;
        return;
      }
      const bool lower_slack = !finite(lo_limit) || (min_known && act.min >= lo_limit);
      const bool upper_slack = !finite(up_limit) || (max_known && act.max <= up_limit);
      if (lower_slack && upper_slack) {
        drop_free_row(i);
        continue;
      }
      const double eps = settings_.zero_tolerance;
      if (min_known && finite(up_limit) && act.min >= up_limit - eps * std::max(1.0, std::fabs(up_limit))) {
        force_row(i, false);
      } else if (max_known && finite(lo_limit) && act.max <= lo_limit + eps * std::max(1.0, std::fabs(lo_limit))) {
        force_row(i, true);
      }
    }
  }

  void force_row(std::int32_t i, bool at_max) {
    for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
      const std::int32_t j = row_column_[ui(p)];
      if (col_alive_[ui(j)] && kinds_[ui(j)] == ColumnKind::frozen) return;
    }
    Reduction r;
    r.kind = ReductionKind::forcing_row;
    r.row = i;
    r.at_upper = at_max;
    r.first = static_cast<std::int32_t>(out_.forced_column.size());
    for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
      const std::int32_t j = row_column_[ui(p)];
      if (!col_alive_[ui(j)]) continue;
      const bool up = (row_value_[ui(p)] > 0.0) == at_max;
      out_.forced_column.push_back(j);
      out_.forced_value.push_back(up ? cu_[ui(j)] : cl_[ui(j)]);
      out_.forced_cost.push_back(cost_[ui(j)]);
    }
    r.count = static_cast<std::int32_t>(out_.forced_column.size()) - r.first;
    out_.stack.push_back(r);
    for (std::int32_t k = r.first; k < r.first + r.count; ++k) {
      remove_column(out_.forced_column[ui(k)], out_.forced_value[ui(k)]);
    }
    remove_row(i);
  }

  // A column whose cost favours one direction and that no row stops moving that way
  // sits at its bound on that side in every optimum.
  void cost_sign_columns() {
    for (std::int32_t j = 0; j < n_; ++j) {
      if (!col_alive_[ui(j)] || kinds_[ui(j)] == ColumnKind::frozen) continue;
      std::int32_t down_locks = 0;
      std::int32_t up_locks = 0;
      for (std::int32_t p = col_start_[ui(j)]; p < col_start_[ui(j) + 1]; ++p) {
        const std::int32_t i = col_row_[ui(p)];
        if (!row_alive_[ui(i)]) continue;
        const bool has_lower = finite(su_[ui(i)]);  // a finite lower limit on a_i·x
        const bool has_upper = finite(sl_[ui(i)]);
        if (col_value_[ui(p)] > 0.0) {
          down_locks += has_lower;
          up_locks += has_upper;
        } else {
          down_locks += has_upper;
          up_locks += has_lower;
        }
      }
      const double c = cost_[ui(j)];
      const double l = cl_[ui(j)];
      const double u = cu_[ui(j)];
      if (c >= 0.0 && down_locks == 0 && finite(l)) {
        fix_column(j, l, false);
      } else if (c <= 0.0 && up_locks == 0 && finite(u)) {
        fix_column(j, u, true);
      }
    }
  }

  // A free column (or one whose bounds its row implies) alone in its row takes the
  // row's equation over: the row and the column go, the column's cost moves onto the
  // row's other columns, and the row's logical, now in no row, sits on its cheaper bound.
  void column_singletons() {
    for (std::int32_t j = 0; j < n_; ++j) {
      if (!col_alive_[ui(j)] || col_count_[ui(j)] != 1 || kinds_[ui(j)] != ColumnKind::continuous) continue;
      std::int32_t i = -1;
      double a = 0.0;
      for (std::int32_t p = col_start_[ui(j)]; p < col_start_[ui(j) + 1]; ++p) {
        if (row_alive_[ui(col_row_[ui(p)])]) {
          i = col_row_[ui(p)];
          a = col_value_[ui(p)];
        }
      }
      if (i < 0 || std::fabs(a) < 1.0e-3) continue;
      const double c = cost_[ui(j)];
      const double sl = sl_[ui(i)];
      const double su = su_[ui(i)];
      const double logical_cost = -c / a;
      double s = 0.0;
      bool at_upper = false;
      if (finite(sl) && sl == su) {
        s = sl;
      } else if (logical_cost > 0.0 || (logical_cost == 0.0 && finite(sl))) {
        if (!finite(sl)) continue;
        s = sl;
      } else {
        if (!finite(su)) continue;
        s = su;
        at_upper = true;
      }
      const double l = cl_[ui(j)];
      const double u = cu_[ui(j)];
      if (finite(l) || finite(u)) {
        // The bounds must follow from the row: x_j = (rhs − s − rest) / a.
        const Activity rest = activity(i, j);
        const double t_lo = rest.max_infinite == 0 ? rhs_[ui(i)] - s - rest.max : -kInfinity;
        const double t_hi = rest.min_infinite == 0 ? rhs_[ui(i)] - s - rest.min : kInfinity;
        double x_lo = a > 0.0 ? t_lo : t_hi;
        double x_hi = a > 0.0 ? t_hi : t_lo;
        x_lo = finite(x_lo) ? x_lo / a : -kInfinity;
        x_hi = finite(x_hi) ? x_hi / a : kInfinity;
        if (finite(l) && !(finite(x_lo) && x_lo >= l)) continue;
        if (finite(u) && !(finite(x_hi) && x_hi <= u)) continue;
      }
      Reduction r;
      r.kind = ReductionKind::column_singleton;
      r.row = i;
      r.column = j;
      r.element = a;
      r.value = s;
      r.cost = c;
      r.rhs = rhs_[ui(i)];
      r.at_upper = at_upper;
      out_.stack.push_back(r);
      for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
        const std::int32_t k = row_column_[ui(p)];
        if (k != j && col_alive_[ui(k)]) cost_[ui(k)] -= c * row_value_[ui(p)] / a;
      }
      col_alive_[ui(j)] = 0;
      remove_row(i);
    }
  }

  const WorkingLp& lp_;
  const PresolveSettings& settings_;
  Presolved& out_;
  std::int32_t m_;
  std::int32_t n_;
  PresolveOutcome outcome_ = PresolveOutcome::reduced;
  std::vector<ColumnKind> kinds_;
  std::vector<std::int32_t> col_start_;
  std::vector<std::int32_t> col_row_;
  std::vector<double> col_value_;
  std::vector<std::int32_t> row_start_;
  std::vector<std::int32_t> row_column_;
  std::vector<double> row_value_;
  std::vector<std::uint8_t> row_alive_;
  std::vector<std::uint8_t> col_alive_;
  std::vector<std::int32_t> row_count_;
  std::vector<std::int32_t> col_count_;
  std::vector<double> rhs_;
  std::vector<double> sl_;
  std::vector<double> su_;
  std::vector<double> cl_;
  std::vector<double> cu_;
  std::vector<double> cost_;
};

}  // namespace

Presolved presolve_lp(const WorkingLp& lp, std::span<const ColumnKind> kinds, const PresolveSettings& settings) {
  Presolved out;
  Reducer reducer(lp, kinds, settings, out);
  out.outcome = reducer.run();
  if (out.outcome == PresolveOutcome::reduced) reducer.build();
  return out;
}

}  // namespace kqopt
