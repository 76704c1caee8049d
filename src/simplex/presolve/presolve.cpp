// The reductions of presolve: sweeps over the rows and columns of a copy of the LP,
// each reduction pushed on the stack that postsolve undoes.
#include "simplex/presolve/presolve.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <queue>
#include <span>
#include <utility>

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
    for (std::int32_t i = 0; i < m_; ++i) row_count_[ui(i)] = row_end_[ui(i)] - row_start_[ui(i)];
    for (std::int32_t j = 0; j < n_; ++j) col_count_[ui(j)] = col_end_[ui(j)] - col_start_[ui(j)];
    rhs_ = lp.rhs;
    sl_.assign(lp.lower.begin(), lp.lower.begin() + m_);
    su_.assign(lp.upper.begin(), lp.upper.begin() + m_);
    cl_.assign(lp.lower.begin() + m_, lp.lower.end());
    cu_.assign(lp.upper.begin() + m_, lp.upper.end());
    cost_.assign(lp.cost.begin() + m_, lp.cost.end());
  }

  // Rounds of sweeps, each but the last ended by an elimination pass that eliminated
  // something (the pass runs with bit 0x100 and NEXTRA > 0 only).
  PresolveOutcome run() {
    const bool eliminate = (settings_.select & presolve_bit::kElimination) && settings_.extra_elements > 0;
    for (std::int32_t k = 1; k <= std::max(settings_.rounds, 1); ++k) {
      sweeps();
      if (failed() || !eliminate || k == settings_.rounds || settings_.rounds <= 0) break;
      if (eliminations() == 0) break;
    }
    return outcome_;
  }

  void sweeps() {
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
      if ((select & presolve_bit::kDual) && (select & presolve_bit::kNoEntities) && s <= settings_.dual_sweeps) {
        dominated_columns();
      }
      if (failed()) break;
      if ((select & presolve_bit::kColumnSingletons) && primal) column_singletons();
      if (failed()) break;
      if ((select & presolve_bit::kColumnSingletons) && primal) implied_free_columns();
      if (failed()) break;
      if ((select & presolve_bit::kDoubletons) && primal) doubletons();
      if (failed()) break;
      if ((select & presolve_bit::kDuplicateRows) && primal) duplicate_rows();
      if (failed()) break;
      if ((select & presolve_bit::kDuplicateColumns) && primal) duplicate_columns();
      if (failed()) break;
      if (out_.stack.size() == before && out_.bounds_changed == bounds_before) {
        // Dependent equations are sought once, on what the sweeps leave; what they
        // remove may open further reductions, so the sweeps go on.
        if (!(select & presolve_bit::kDuplicateRows) || dependence_checked_) break;
        dependence_checked_ = true;
        if (dependent_rows() == 0) break;
      }
    }
    if ((select & presolve_bit::kDuplicateRows) && !dependence_checked_ && !failed()) dependent_rows();
  }

  // The elimination pass: each implied-free continuous column substituted out of its
  // other rows by the equation, of any length, where its element is largest beside the
  // equation's others (at least ZTELIM times the largest), when that creates at most
  // IEFILL entries (net of those removed) and all its eliminations at most NEXTRA.
  std::int32_t eliminations() {
    std::int32_t eliminated = 0;
    const std::int64_t allowance = settings_.extra_elements;
    for (std::int32_t j = 0; j < n_ && !failed(); ++j) {
      if (!col_alive_[ui(j)] || kinds_[ui(j)] != ColumnKind::continuous) continue;
      const std::int32_t count = col_count_[ui(j)];
      if (count < 2) continue;
      std::int32_t equation = -1;
      double element = 0.0;
      double best = 0.0;
      for (std::int32_t p = col_start_[ui(j)]; p < col_end_[ui(j)]; ++p) {
        const std::int32_t i = col_row_[ui(p)];
        if (!row_alive_[ui(i)] || row_count_[ui(i)] < 2) continue;
        if (!finite(sl_[ui(i)]) || sl_[ui(i)] != su_[ui(i)]) continue;
        double big = 0.0;
        for (std::int32_t q = row_start_[ui(i)]; q < row_end_[ui(i)]; ++q) {
          if (col_alive_[ui(row_column_[ui(q)])]) big = std::max(big, std::fabs(row_value_[ui(q)]));
        }
        const double relative = std::fabs(col_value_[ui(p)]) / big;
        if (relative < settings_.elimination_tolerance) continue;
        if (equation >= 0 && row_count_[ui(i)] > row_count_[ui(equation)]) continue;
        if (equation >= 0 && row_count_[ui(i)] == row_count_[ui(equation)] && relative <= best) continue;
        equation = i;
        element = col_value_[ui(p)];
        best = relative;
      }
      if (equation < 0) continue;
      // Entries created at most: each other row of j gains the equation's other
      // columns; j's entries and the equation's go.
      const std::int64_t fill = static_cast<std::int64_t>(count - 1) * (row_count_[ui(equation)] - 1) - (count - 1) -
                                row_count_[ui(equation)];
      if (fill > settings_.elimination_fill || filled_ + std::max<std::int64_t>(fill, 0) > allowance) continue;
      if (!room_for_fill((count - 1) * (row_count_[ui(equation)] - 1))) continue;
      if (!bounds_implied(j)) continue;
      filled_ += std::max<std::int64_t>(fill, 0);
      substitute(equation, j, element);
      ++eliminated;
    }
    return eliminated;
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
      for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
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
      for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
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
      out_.free_row_elements_removed += loaded_row_count_[ui(i)];
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
    initial_entries_ = ui(nnz);
    row_end_.assign(row_start_.begin() + 1, row_start_.end());
    row_cap_ = row_end_;
    col_end_.assign(col_start_.begin() + 1, col_start_.end());
    col_cap_ = col_end_;
    loaded_row_count_.resize(ui(m_));
    for (std::int32_t i = 0; i < m_; ++i) loaded_row_count_[ui(i)] = row_end_[ui(i)] - row_start_[ui(i)];
  }

  // The entry of column j in a live row (for a column with one live entry); row −1 when none.
  struct Entry {
    std::int32_t row;
    double value;
  };
  Entry live_entry(std::int32_t j) const {
    Entry e{-1, 0.0};
    for (std::int32_t p = col_start_[ui(j)]; p < col_end_[ui(j)]; ++p) {
      if (row_alive_[ui(col_row_[ui(p)])]) e = {col_row_[ui(p)], col_value_[ui(p)]};
    }
    return e;
  }

  // Limits on a_i·x: [rhs − su, rhs − sl].
  double row_lower_limit(std::int32_t i) const { return finite(su_[ui(i)]) ? rhs_[ui(i)] - su_[ui(i)] : -kInfinity; }
  double row_upper_limit(std::int32_t i) const { return finite(sl_[ui(i)]) ? rhs_[ui(i)] - sl_[ui(i)] : kInfinity; }

  Activity activity(std::int32_t i, std::int32_t skip) const {
    Activity act;
    for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
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

  // [l, u] ∩ [lo, hi] into [new_l, new_u]. Apart by more than the infeasibility
  // tolerance proves the problem infeasible (false); crossed within it, the two meet
  // at the bound held before, where there is one.
  bool intersect(double l, double u, double lo, double hi, double& new_l, double& new_u) {
    const double tol = settings_.infeasibility_tolerance;
    new_l = std::max(l, lo);
    new_u = std::min(u, hi);
    if (new_l > new_u + tol * std::max(1.0, std::fabs(new_u))) {
      outcome_ = PresolveOutcome::infeasible;
      return false;
    }
    if (new_l > new_u) {
      if (new_l == l) {
        new_u = new_l;
      } else {
        new_l = new_u;
      }
    }
    return true;
  }

  void remove_row(std::int32_t i) {
    for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
      const std::int32_t j = row_column_[ui(p)];
      if (col_alive_[ui(j)]) --col_count_[ui(j)];
    }
    row_alive_[ui(i)] = 0;
  }

  // Takes column j out at value x: its entries move into the right-hand sides.
  void remove_column(std::int32_t j, double x) {
    for (std::int32_t p = col_start_[ui(j)]; p < col_end_[ui(j)]; ++p) {
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

  void drop_free_row(std::int32_t i) { drop_row(i, ReductionKind::free_row); }

  void drop_row(std::int32_t i, ReductionKind kind) {
    Reduction r;
    r.kind = kind;
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
    for (std::int32_t i = 0; i < m_ && !failed(); ++i) {
      if (!row_alive_[ui(i)] || row_count_[ui(i)] != 1) continue;
      std::int32_t j = -1;
      double a = 0.0;
      for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
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
      double new_l = 0.0;
      double new_u = 0.0;
      if (!intersect(l, u, lo, hi, new_l, new_u)) return;
      Reduction r;
      r.kind = ReductionKind::singleton_row;
      r.row = i;
      r.column = j;
      r.element = a;
      r.lower = l;
      r.upper = u;
      r.rhs = rhs_[ui(i)];
      r.other_lower = sl_[ui(i)];
      r.other_upper = su_[ui(i)];
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
    implied_bounds();
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
      } else if (implied_redundant(i, lo_limit, up_limit)) {
        drop_free_row(i);
      }
    }
  }

  // Bound tightening from rows: for each column the tightest bounds its rows imply over
  // the other columns' own bounds, with the row each came from. They are never written
  // into the LP (a bound the LP does not need would only make it degenerate, and its
  // postsolve inexact); the tests that read them take a bound only from a row still
  // alive, and never from the row under test, so no row goes on a bound only it gave,
  // and every row removed stays implied by the rows and bounds left. Integer columns'
  // implied bounds are not rounded here: what they prove holds for the relaxation too.
  void implied_bounds() {
    implied_lower_.assign(ui(n_), -kInfinity);
    implied_upper_.assign(ui(n_), kInfinity);
    implied_lower_row_.assign(ui(n_), -1);
    implied_upper_row_.assign(ui(n_), -1);
    constexpr double kLargest = 1.0e10;  // implied bounds beyond this tell nothing useful
    for (std::int32_t i = 0; i < m_; ++i) {
      if (!row_alive_[ui(i)] || row_count_[ui(i)] < 2) continue;
      const double lo_limit = row_lower_limit(i);
      const double up_limit = row_upper_limit(i);
      if (!finite(lo_limit) && !finite(up_limit)) continue;
      const Activity act = activity(i, -1);
      if (act.min_infinite > 1 && act.max_infinite > 1) continue;
      for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
        const std::int32_t j = row_column_[ui(p)];
        if (!col_alive_[ui(j)]) continue;
        const double a = row_value_[ui(p)];
        if (std::fabs(a) < 1.0e-7) continue;
        const double low = a > 0.0 ? cl_[ui(j)] : cu_[ui(j)];
        const double high = a > 0.0 ? cu_[ui(j)] : cl_[ui(j)];
        // a x_j ≤ upper limit − the others' smallest, ≥ lower limit − their largest.
        if (finite(up_limit) && act.min_infinite - (finite(low) ? 0 : 1) == 0) {
          const double t = (up_limit - (act.min - (finite(low) ? a * low : 0.0))) / a;
          tighten(j, i, t, a > 0.0, kLargest);
        }
        if (finite(lo_limit) && act.max_infinite - (finite(high) ? 0 : 1) == 0) {
          const double t = (lo_limit - (act.max - (finite(high) ? a * high : 0.0))) / a;
          tighten(j, i, t, a < 0.0, kLargest);
        }
      }
    }
    implied_ready_ = true;
  }

  // An implied bound t of column j from row i taken when tighter; loosened by a hair so
  // that the rounding of the activity sums cannot make it cut the column's range.
  void tighten(std::int32_t j, std::int32_t i, double t, bool upper, double largest) {
    if (!std::isfinite(t) || std::fabs(t) > largest) return;
    const double hair = 1.0e-9 * std::max(1.0, std::fabs(t));
    if (upper) {
      t += hair;
      if (t < implied_upper_[ui(j)]) {
        implied_upper_[ui(j)] = t;
        implied_upper_row_[ui(j)] = i;
      }
    } else {
      t -= hair;
      if (t > implied_lower_[ui(j)]) {
        implied_lower_[ui(j)] = t;
        implied_lower_row_[ui(j)] = i;
      }
    }
  }

  // Column j's bounds for a test on row `skip`: its own, tightened by those another
  // live row implies.
  double test_lower(std::int32_t j, std::int32_t skip) const {
    const std::int32_t k = implied_ready_ ? implied_lower_row_[ui(j)] : -1;
    if (k < 0 || k == skip || !row_alive_[ui(k)]) return cl_[ui(j)];
    return std::max(cl_[ui(j)], implied_lower_[ui(j)]);
  }
  double test_upper(std::int32_t j, std::int32_t skip) const {
    const std::int32_t k = implied_ready_ ? implied_upper_row_[ui(j)] : -1;
    if (k < 0 || k == skip || !row_alive_[ui(k)]) return cu_[ui(j)];
    return std::min(cu_[ui(j)], implied_upper_[ui(j)]);
  }

  // Whether row i's limits hold over the bounds its columns have or other rows imply.
  bool implied_redundant(std::int32_t i, double lo_limit, double up_limit) {
    double min = 0.0;
    double max = 0.0;
    bool min_known = true;
    bool max_known = true;
    for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
      const std::int32_t j = row_column_[ui(p)];
      if (!col_alive_[ui(j)]) continue;
      const double a = row_value_[ui(p)];
      const double l = test_lower(j, i);
      const double u = test_upper(j, i);
      const double low = a > 0.0 ? l : u;
      const double high = a > 0.0 ? u : l;
      if (finite(low)) {
        min += a * low;
      } else {
        min_known = false;
      }
      if (finite(high)) {
        max += a * high;
      } else {
        max_known = false;
      }
    }
    const bool lower_slack = !finite(lo_limit) || (min_known && min >= lo_limit);
    const bool upper_slack = !finite(up_limit) || (max_known && max <= up_limit);
    if (!lower_slack || !upper_slack) return false;
    ++out_.implied_redundant_rows;
    return true;
  }

  // Whether column j cannot reach its upper (lower) bound in any point of the rows: a
  // live row implies a bound inside it by a clear margin. For the dual reductions such a
  // bound is absent, as no basic solution has the column nonbasic there.
  bool upper_absent(std::int32_t j) const {
    const double u = cu_[ui(j)];
    if (!finite(u)) return true;
    const std::int32_t k = implied_ready_ ? implied_upper_row_[ui(j)] : -1;
    return k >= 0 && row_alive_[ui(k)] && implied_upper_[ui(j)] < u - kImpliedMargin * std::max(1.0, std::fabs(u));
  }
  bool lower_absent(std::int32_t j) const {
    const double l = cl_[ui(j)];
    if (!finite(l)) return true;
    const std::int32_t k = implied_ready_ ? implied_lower_row_[ui(j)] : -1;
    return k >= 0 && row_alive_[ui(k)] && implied_lower_[ui(j)] > l + kImpliedMargin * std::max(1.0, std::fabs(l));
  }

  void force_row(std::int32_t i, bool at_max) {
    for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
      const std::int32_t j = row_column_[ui(p)];
      if (col_alive_[ui(j)] && kinds_[ui(j)] == ColumnKind::frozen) return;
    }
    Reduction r;
    r.kind = ReductionKind::forcing_row;
    r.row = i;
    r.at_upper = at_max;
    r.other_lower = sl_[ui(i)];
    r.other_upper = su_[ui(i)];
    r.first = static_cast<std::int32_t>(out_.forced_column.size());
    for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
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
      for (std::int32_t p = col_start_[ui(j)]; p < col_end_[ui(j)]; ++p) {
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

  // Bounds on the row prices y that every dual-feasible solution meets: the sign a row's
  // logical asks for (y ≤ 0 without an upper bound on it, y ≥ 0 without a lower one),
  // narrowed by each column alone in a row, whose reduced cost c − a y must keep the
  // sign its missing bound asks for. A column whose reduced cost c − Σ a_i y_i stays
  // positive (negative) over those bounds sits at its lower (upper) bound in every
  // optimum. Valid for the LP only: integer columns have no such reduced cost.
  void dominated_columns() {
    implied_ready_ = false;
    if (settings_.select & presolve_bit::kPrimal) implied_bounds();
    std::vector<double>& ylo = price_lower_;
    std::vector<double>& yhi = price_upper_;
    ylo.assign(ui(m_), -kInfinity);
    yhi.assign(ui(m_), kInfinity);
    for (std::int32_t i = 0; i < m_; ++i) {
      if (!row_alive_[ui(i)]) continue;
      if (!finite(su_[ui(i)])) yhi[ui(i)] = 0.0;
      if (!finite(sl_[ui(i)])) ylo[ui(i)] = 0.0;
    }
    price_source_.assign(ui(n_), 0);
    for (std::int32_t j = 0; j < n_; ++j) {
      if (!col_alive_[ui(j)] || col_count_[ui(j)] != 1) continue;
      const auto [i, a] = live_entry(j);
      if (i < 0 || std::fabs(a) < 1.0e-3) continue;
      const double ratio = cost_[ui(j)] / a;
      // Never at its upper bound: c − a y ≥ 0; never at its lower one: c − a y ≤ 0.
      const bool below = upper_absent(j);
      const bool above = lower_absent(j);
      if ((below && a > 0.0) || (above && a < 0.0)) {
        if (ratio < yhi[ui(i)]) price_source_[ui(j)] = 1;
        yhi[ui(i)] = std::min(yhi[ui(i)], ratio);
      }
      if ((below && a < 0.0) || (above && a > 0.0)) {
        if (ratio > ylo[ui(i)]) price_source_[ui(j)] = 1;
        ylo[ui(i)] = std::max(ylo[ui(i)], ratio);
      }
    }
    propagate_price_bounds();
    price_bound_rows();
    // Weakly dominated columns first: a column whose reduced cost is within a near-zero
    // amount of one sign over the price bounds (not beyond ZTCOST) sits at that bound in
    // some optimum: fixed there, the dual solutions of what is left still keep the price
    // bounds (its own reduced cost took no part in them), so they all price it right and
    // the optimum stays. Columns that bounded the prices are left to the strict test,
    // and so are those fixed by it, which comes after: a strictly dominated column sits
    // at its bound in every optimum, of this LP and of the one the weak fixings leave.
    const double near = 0.01 * settings_.cost_tolerance;
    for (std::int32_t j = 0; j < n_ && !failed(); ++j) {
      if (!col_alive_[ui(j)] || col_count_[ui(j)] == 0 || price_source_[ui(j)]) continue;
      const ReducedCostRange d = reduced_cost_range(j);
      const double tol = settings_.cost_tolerance * std::max(1.0, d.scale);
      const bool lower = d.lo_known && d.lo >= -near && d.lo <= tol && finite(cl_[ui(j)]);
      const bool upper = d.hi_known && d.hi <= near && d.hi >= -tol && finite(cu_[ui(j)]);
      if (lower) {
        fix_column(j, cl_[ui(j)], false);
      } else if (upper) {
        fix_column(j, cu_[ui(j)], true);
      }
      out_.weakly_dominated_columns += lower || upper;
    }
    for (std::int32_t j = 0; j < n_ && !failed(); ++j) {
      if (!col_alive_[ui(j)] || col_count_[ui(j)] == 0) continue;
      const ReducedCostRange d = reduced_cost_range(j);
      const double tol = settings_.cost_tolerance * std::max(1.0, d.scale);
      if (d.lo_known && d.lo > tol && finite(cl_[ui(j)])) {
        fix_column(j, cl_[ui(j)], false);
      } else if (d.hi_known && d.hi < -tol && finite(cu_[ui(j)])) {
        fix_column(j, cu_[ui(j)], true);
      }
    }
  }

  // The range of column j's reduced cost c − Σ a_i y_i over the price bounds, and the
  // largest term in it (the scale its tolerance is taken on).
  struct ReducedCostRange {
    double lo = 0.0;
    double hi = 0.0;
    double scale = 0.0;
    bool lo_known = true;
    bool hi_known = true;
  };
  ReducedCostRange reduced_cost_range(std::int32_t j) const {
    ReducedCostRange d;
    d.lo = cost_[ui(j)];
    d.hi = cost_[ui(j)];
    d.scale = std::fabs(cost_[ui(j)]);
    for (std::int32_t p = col_start_[ui(j)]; p < col_end_[ui(j)]; ++p) {
      const std::int32_t i = col_row_[ui(p)];
      if (!row_alive_[ui(i)]) continue;
      const double a = col_value_[ui(p)];
      // a y over [ylo, yhi]: its largest lowers d.lo, its smallest raises d.hi.
      const double top = a > 0.0 ? price_upper_[ui(i)] : price_lower_[ui(i)];
      const double bottom = a > 0.0 ? price_lower_[ui(i)] : price_upper_[ui(i)];
      if (finite(top)) {
        d.lo -= a * top;
        d.scale = std::max(d.scale, std::fabs(a * top));
      } else {
        d.lo_known = false;
      }
      if (finite(bottom)) {
        d.hi -= a * bottom;
        d.scale = std::max(d.scale, std::fabs(a * bottom));
      } else {
        d.hi_known = false;
      }
    }
    return d;
  }

  // The price bounds narrowed through the columns of several rows: a column without an
  // upper bound keeps Σ a_i y_i ≤ c in every dual-feasible solution, one without a lower
  // bound Σ a_i y_i ≥ c, so each y_i is bounded by what the others' bounds leave of c.
  // A few sweeps; only changes that matter are taken, so that it ends.
  void propagate_price_bounds() {
    std::vector<double>& ylo = price_lower_;
    std::vector<double>& yhi = price_upper_;
    constexpr double kLargest = 1.0e8;  // bounds beyond this tell nothing useful
    for (std::int32_t sweep = 0; sweep < 3; ++sweep) {
      bool changed = false;
      for (std::int32_t j = 0; j < n_; ++j) {
        if (!col_alive_[ui(j)] || col_count_[ui(j)] < 2 || col_count_[ui(j)] > 50) continue;
        const bool no_upper = upper_absent(j);
        const bool no_lower = lower_absent(j);
        if (!no_upper && !no_lower) continue;
        // Σ a y over the bounds: its smallest (for Σ a y ≤ c) and largest (for ≥ c).
        double low = 0.0;
        double high = 0.0;
        std::int32_t low_inf = 0;
        std::int32_t high_inf = 0;
        for (std::int32_t p = col_start_[ui(j)]; p < col_end_[ui(j)]; ++p) {
          const std::int32_t i = col_row_[ui(p)];
          if (!row_alive_[ui(i)]) continue;
          const double a = col_value_[ui(p)];
          const double bottom = a > 0.0 ? ylo[ui(i)] : yhi[ui(i)];
          const double top = a > 0.0 ? yhi[ui(i)] : ylo[ui(i)];
          if (finite(bottom)) {
            low += a * bottom;
          } else {
            ++low_inf;
          }
          if (finite(top)) {
            high += a * top;
          } else {
            ++high_inf;
          }
        }
        const double c = cost_[ui(j)];
        for (std::int32_t p = col_start_[ui(j)]; p < col_end_[ui(j)]; ++p) {
          const std::int32_t i = col_row_[ui(p)];
          if (!row_alive_[ui(i)]) continue;
          const double a = col_value_[ui(p)];
          if (std::fabs(a) < 1.0e-3) continue;
          const double bottom = a > 0.0 ? ylo[ui(i)] : yhi[ui(i)];
          const double top = a > 0.0 ? yhi[ui(i)] : ylo[ui(i)];
          // a y_i ≤ c − (the others' smallest) and a y_i ≥ c − (the others' largest).
          double cap = kInfinity;
          double floor = -kInfinity;
          if (no_upper) {
            const std::int32_t others_inf = low_inf - (finite(bottom) ? 0 : 1);
            if (others_inf == 0) cap = c - (low - (finite(bottom) ? a * bottom : 0.0));
          }
          if (no_lower) {
            const std::int32_t others_inf = high_inf - (finite(top) ? 0 : 1);
            if (others_inf == 0) floor = c - (high - (finite(top) ? a * top : 0.0));
          }
          // As bounds on y_i.
          double new_lo = -kInfinity;
          double new_hi = kInfinity;
          if (finite(cap)) (a > 0.0 ? new_hi : new_lo) = cap / a;
          if (finite(floor)) (a > 0.0 ? new_lo : new_hi) = floor / a;
          if (std::fabs(new_hi) < kLargest && new_hi < yhi[ui(i)] - 1.0e-7 * std::max(1.0, std::fabs(new_hi))) {
            yhi[ui(i)] = new_hi;
            changed = true;
            price_source_[ui(j)] = 1;
          }
          if (std::fabs(new_lo) < kLargest && new_lo > ylo[ui(i)] + 1.0e-7 * std::max(1.0, std::fabs(new_lo))) {
            ylo[ui(i)] = new_lo;
            changed = true;
            price_source_[ui(j)] = 1;
          }
        }
      }
      if (!changed) break;
    }
  }

  // An inequality whose price keeps one strict sign over its bounds has its logical at
  // the bound that sign asks for in every optimum: the row becomes an equation there,
  // which opens doubleton and substitution reductions to it.
  void price_bound_rows() {
    const double kStrict = settings_.cost_tolerance;
    for (std::int32_t i = 0; i < m_; ++i) {
      if (!row_alive_[ui(i)] || row_count_[ui(i)] == 0) continue;
      const double sl = sl_[ui(i)];
      const double su = su_[ui(i)];
      if (finite(sl) && sl == su) continue;
      bool to_lower = false;
      if (price_upper_[ui(i)] < -kStrict && finite(sl)) {
        to_lower = true;  // d_s = −y > 0: the logical at its lower bound
      } else if (!(price_lower_[ui(i)] > kStrict && finite(su))) {
        continue;
      }
      Reduction r;
      r.kind = ReductionKind::row_to_equation;
      r.row = i;
      r.lower = sl;
      r.upper = su;
      r.at_upper = !to_lower;
      out_.stack.push_back(r);
      if (to_lower) {
        su_[ui(i)] = sl;
      } else {
        sl_[ui(i)] = su;
      }
    }
  }

  // A free column (or one whose bounds its row implies) alone in its row takes the
  // row's equation over: the row and the column go, the column's cost moves onto the
  // row's other columns, and the row's logical, now in no row, sits on its cheaper bound.
  void column_singletons() {
    for (std::int32_t j = 0; j < n_; ++j) {
      if (!col_alive_[ui(j)] || col_count_[ui(j)] != 1 || kinds_[ui(j)] != ColumnKind::continuous) continue;
      const auto [i, a] = live_entry(j);
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
      for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
        const std::int32_t k = row_column_[ui(p)];
        if (k != j && col_alive_[ui(k)]) cost_[ui(k)] -= c * row_value_[ui(p)] / a;
      }
      col_alive_[ui(j)] = 0;
      remove_row(i);
    }
  }

  // An equation a x + b y = t (its logical fixed) gives y = (t − a x) / b: y goes with
  // the row, its bounds becoming bounds on x and its cost moving onto x, and each other
  // row that holds y takes the equation's multiple that cancels y, which changes (or
  // creates) its entry of x. The y eliminated is the one in fewer rows, to keep the fill
  // small; an integer y never goes.
  void doubletons() {
    for (std::int32_t i = 0; i < m_ && !failed(); ++i) {
      if (!row_alive_[ui(i)] || row_count_[ui(i)] != 2) continue;
      if (!finite(sl_[ui(i)]) || sl_[ui(i)] != su_[ui(i)]) continue;
      std::int32_t cols[2] = {-1, -1};
      double vals[2] = {0.0, 0.0};
      std::int32_t found = 0;
      for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)] && found < 2; ++p) {
        if (!col_alive_[ui(row_column_[ui(p)])]) continue;
        cols[found] = row_column_[ui(p)];
        vals[found] = row_value_[ui(p)];
        ++found;
      }
      if (found != 2) continue;
      const double big = std::max(std::fabs(vals[0]), std::fabs(vals[1]));
      if (std::min(std::fabs(vals[0]), std::fabs(vals[1])) < 1.0e-3 * big) continue;
      std::int32_t pick = -1;
      for (std::int32_t t = 0; t < 2; ++t) {
        const std::int32_t y = cols[t];
        const std::int32_t x = cols[1 - t];
        if (kinds_[ui(y)] != ColumnKind::continuous || kinds_[ui(x)] == ColumnKind::frozen) continue;
        if (col_count_[ui(y)] > 1 && !room_for_fill(col_count_[ui(y)] - 1)) continue;
        if (pick < 0 || col_count_[ui(y)] < col_count_[ui(cols[pick])] ||
            (col_count_[ui(y)] == col_count_[ui(cols[pick])] && std::fabs(vals[t]) > std::fabs(vals[pick]))) {
          pick = t;
        }
      }
      if (pick < 0) continue;
      eliminate_doubleton(i, cols[pick], vals[pick], cols[1 - pick], vals[1 - pick]);
    }
  }

  void eliminate_doubleton(std::int32_t i, std::int32_t y, double b, std::int32_t x, double a) {
    const double s = sl_[ui(i)];
    const double t = rhs_[ui(i)] - s;  // a x + b y = t
    // x = (t − b y) / a over y's bounds.
    const double ly = cl_[ui(y)];
    const double uy = cu_[ui(y)];
    const double ratio = -b / a;
    const double at_ly = finite(ly) ? t / a + ratio * ly : (ratio > 0.0 ? -kInfinity : kInfinity);
    const double at_uy = finite(uy) ? t / a + ratio * uy : (ratio > 0.0 ? kInfinity : -kInfinity);
    double lo = std::min(at_ly, at_uy);
    double hi = std::max(at_ly, at_uy);
    if (kinds_[ui(x)] == ColumnKind::integer) {
      if (finite(lo)) lo = std::ceil(lo - 1.0e-9);
      if (finite(hi)) hi = std::floor(hi + 1.0e-9);
    }
    const double l = cl_[ui(x)];
    const double u = cu_[ui(x)];
    double new_l = 0.0;
    double new_u = 0.0;
    if (!intersect(l, u, lo, hi, new_l, new_u)) return;
    Reduction r;
    r.kind = ReductionKind::doubleton;
    r.row = i;
    r.column = y;
    r.element = b;
    r.value = s;
    r.cost = cost_[ui(y)];
    r.rhs = rhs_[ui(i)];
    r.other = x;
    r.lower = l;
    r.upper = u;
    r.other_lower = ly;
    r.other_upper = uy;
    r.first = static_cast<std::int32_t>(out_.changed_entries.size());
    if (new_l != l || new_u != u) ++out_.bounds_changed;
    cl_[ui(x)] = new_l;
    cu_[ui(x)] = new_u;
    cost_[ui(x)] -= cost_[ui(y)] * a / b;
    const std::pair<std::int32_t, double> entry{x, a};
    eliminate_through(r, i, y, b, t, {&entry, 1});
  }

  // A column whose bounds the rows imply (or that has none), in an equation short
  // enough to keep the fill small, is substituted out of its other rows by it: the
  // equation and the column go, the column's cost moves onto the equation's other
  // columns. Its bounds hold in every solution of what is left, as the rows (or the
  // equation's other columns' bounds) that implied them stay. Up to kShort rows and
  // entries any such substitution is made; up to kLong only one whose fill cannot
  // outgrow kMargin times the entries it removes.
  void implied_free_columns() {
    constexpr std::int32_t kShort = 8;
    constexpr std::int32_t kMargin = 2;
    constexpr std::int32_t kLong = 12;
    constexpr std::int32_t kLongestEquation = kLong;
    constexpr std::int32_t kMostRows = kLong;
    for (std::int32_t j = 0; j < n_ && !failed(); ++j) {
      if (!col_alive_[ui(j)] || kinds_[ui(j)] != ColumnKind::continuous) continue;
      const std::int32_t count = col_count_[ui(j)];
      if (count < 2 || count > kMostRows) continue;
      // The shortest equation holding j with an element not small beside the row's others.
      std::int32_t equation = -1;
      double element = 0.0;
      for (std::int32_t p = col_start_[ui(j)]; p < col_end_[ui(j)]; ++p) {
        const std::int32_t i = col_row_[ui(p)];
        if (!row_alive_[ui(i)] || row_count_[ui(i)] < 2 || row_count_[ui(i)] > kLongestEquation) continue;
        if (!finite(sl_[ui(i)]) || sl_[ui(i)] != su_[ui(i)]) continue;
        if (equation >= 0 && row_count_[ui(i)] >= row_count_[ui(equation)]) continue;
        double big = 0.0;
        for (std::int32_t q = row_start_[ui(i)]; q < row_end_[ui(i)]; ++q) {
          if (col_alive_[ui(row_column_[ui(q)])]) big = std::max(big, std::fabs(row_value_[ui(q)]));
        }
        if (std::fabs(col_value_[ui(p)]) < 0.1 * big) continue;
        equation = i;
        element = col_value_[ui(p)];
      }
      if (equation < 0) continue;
      const std::int32_t length = row_count_[ui(equation)];
      const bool short_one = count <= kShort && length <= kShort;
      if (!short_one && (count - 1) * (length - 1) > kMargin * (length + count) + 1) continue;
      if (!room_for_fill((count - 1) * (length - 1))) continue;
      if (!bounds_implied(j)) continue;
      substitute(equation, j, element);
    }
  }

  // Whether each finite bound of column j follows from one of its rows and the other
  // columns' bounds.
  bool bounds_implied(std::int32_t j) const {
    const double l = cl_[ui(j)];
    const double u = cu_[ui(j)];
    bool lower_done = !finite(l);
    bool upper_done = !finite(u);
    for (std::int32_t p = col_start_[ui(j)]; p < col_end_[ui(j)] && !(lower_done && upper_done); ++p) {
      const std::int32_t i = col_row_[ui(p)];
      if (!row_alive_[ui(i)]) continue;
      const double a = col_value_[ui(p)];
      const Activity rest = activity(i, j);
      // a x_j within [lower limit − rest max, upper limit − rest min].
      const double lo_limit = row_lower_limit(i);
      const double up_limit = row_upper_limit(i);
      const double t_lo = finite(lo_limit) && rest.max_infinite == 0 ? lo_limit - rest.max : -kInfinity;
      const double t_hi = finite(up_limit) && rest.min_infinite == 0 ? up_limit - rest.min : kInfinity;
      const double x_lo = a > 0.0 ? (finite(t_lo) ? t_lo / a : -kInfinity) : (finite(t_hi) ? t_hi / a : -kInfinity);
      const double x_hi = a > 0.0 ? (finite(t_hi) ? t_hi / a : kInfinity) : (finite(t_lo) ? t_lo / a : kInfinity);
      if (!lower_done && finite(x_lo) && x_lo >= l) lower_done = true;
      if (!upper_done && finite(x_hi) && x_hi <= u) upper_done = true;
    }
    return lower_done && upper_done;
  }

  // y = (t − Σ a_k x_k) / b from equation i substituted into y's other rows.
  void substitute(std::int32_t i, std::int32_t y, double b) {
    const double s = sl_[ui(i)];
    const double t = rhs_[ui(i)] - s;
    Reduction r;
    r.kind = ReductionKind::substitution;
    r.row = i;
    r.column = y;
    r.element = b;
    r.value = s;
    r.cost = cost_[ui(y)];
    r.rhs = rhs_[ui(i)];
    r.first = static_cast<std::int32_t>(out_.changed_entries.size());
    equation_entries_.clear();
    for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
      const std::int32_t k = row_column_[ui(p)];
      if (k != y && col_alive_[ui(k)]) equation_entries_.emplace_back(k, row_value_[ui(p)]);
    }
    for (const auto& [k, a] : equation_entries_) cost_[ui(k)] -= cost_[ui(y)] * a / b;
    eliminate_through(r, i, y, b, t, equation_entries_);
  }

  // Row k − (a_ky / b) · row i for each other live row k of y, where equation i is
  // b y + Σ a x = t with entries the (x, a): y leaves those rows and the entries come in,
  // each change recorded for the postsolve. Then r is stacked and the equation and y go.
  void eliminate_through(Reduction& r, std::int32_t i, std::int32_t y, double b, double t,
                         std::span<const std::pair<std::int32_t, double>> entries) {
    fill_rows_.clear();
    for (std::int32_t p = col_start_[ui(y)]; p < col_end_[ui(y)]; ++p) {
      const std::int32_t k = col_row_[ui(p)];
      if (k != i && row_alive_[ui(k)]) fill_rows_.emplace_back(k, col_value_[ui(p)] / b);
    }
    for (const auto& [row, multiple] : fill_rows_) {
      rhs_[ui(row)] -= multiple * t;
      for (const auto& [k, a] : entries) {
        const std::int32_t q = find_entry(row_start_, row_end_, row_column_, row, k);
        const double before = q >= 0 ? row_value_[ui(q)] : 0.0;
        const double change = multiple * a;
        double after = before - change;
        if (std::fabs(after) <= 1.0e-12 * std::max(std::fabs(before), std::fabs(change))) after = 0.0;
        set_entry(row, k, after);
        out_.changed_entries.push_back({row, k, before, after});
      }
      --row_count_[ui(row)];  // y leaves the row
    }
    r.count = static_cast<std::int32_t>(out_.changed_entries.size()) - r.first;
    out_.stack.push_back(r);
    col_alive_[ui(y)] = 0;
    remove_row(i);
  }

  // Whether fill entries more fit in the growth allowed to the matrix.
  bool room_for_fill(std::int32_t entries) const {
    const std::size_t limit = 3 * initial_entries_ + 1000;
    return row_column_.size() + 2 * ui(entries) + 8 < limit && col_row_.size() + 2 * ui(entries) + 8 < limit;
  }

  static std::int32_t find_entry(const std::vector<std::int32_t>& start, const std::vector<std::int32_t>& end,
                                 const std::vector<std::int32_t>& index, std::int32_t line, std::int32_t at) {
    for (std::int32_t p = start[ui(line)]; p < end[ui(line)]; ++p) {
      if (index[ui(p)] == at) return p;
    }
    return -1;
  }

  // Entry `at` of a line set to v, the line kept in increasing index order: a zero
  // takes the entry out, a new one is inserted (the line moves to the arrays' end when
  // it has no room left).
  static void set_in_line(std::vector<std::int32_t>& start, std::vector<std::int32_t>& end,
                          std::vector<std::int32_t>& cap, std::vector<std::int32_t>& index, std::vector<double>& value,
                          std::int32_t line, std::int32_t at, double v) {
    const auto l = ui(line);
    std::int32_t q = start[l];
    while (q < end[l] && index[ui(q)] < at) ++q;
    if (q < end[l] && index[ui(q)] == at) {
      if (v != 0.0) {
        value[ui(q)] = v;
        return;
      }
      for (std::int32_t p = q; p + 1 < end[l]; ++p) {
        index[ui(p)] = index[ui(p) + 1];
        value[ui(p)] = value[ui(p) + 1];
      }
      --end[l];
      return;
    }
    if (v == 0.0) return;
    if (end[l] == cap[l]) {
      const std::int32_t length = end[l] - start[l];
      const auto moved = static_cast<std::int32_t>(index.size());
      const std::int32_t room = 2 * length + 4;
      index.resize(ui(moved + room));
      value.resize(ui(moved + room));
      for (std::int32_t p = 0; p < length; ++p) {
        index[ui(moved + p)] = index[ui(start[l] + p)];
        value[ui(moved + p)] = value[ui(start[l] + p)];
      }
      q += moved - start[l];
      start[l] = moved;
      end[l] = moved + length;
      cap[l] = moved + room;
    }
    for (std::int32_t p = end[l]; p > q; --p) {
      index[ui(p)] = index[ui(p) - 1];
      value[ui(p)] = value[ui(p) - 1];
    }
    index[ui(q)] = at;
    value[ui(q)] = v;
    ++end[l];
  }

  // a_kx = v in both copies of the matrix, the counts following (row k and column x alive).
  void set_entry(std::int32_t k, std::int32_t x, double v) {
    const bool had = find_entry(row_start_, row_end_, row_column_, k, x) >= 0;
    set_in_line(row_start_, row_end_, row_cap_, row_column_, row_value_, k, x, v);
    set_in_line(col_start_, col_end_, col_cap_, col_row_, col_value_, x, k, v);
    if (had && v == 0.0) {
      --row_count_[ui(k)];
      --col_count_[ui(x)];
    } else if (!had && v != 0.0) {
      ++row_count_[ui(k)];
      ++col_count_[ui(x)];
    }
  }

  // A hash of the pattern of alive entries of a row or column and of their values
  // divided by the first one, so that parallel lines (equal up to a factor) collide.
  // Ratios are rounded to about 30 bits before hashing; the comparison that follows
  // is exact to a tight relative tolerance.
  static std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    return h;
  }
  static std::uint64_t ratio_key(double r) {
    int e = 0;
    const double m = std::frexp(r, &e);
    return static_cast<std::uint64_t>(std::llround(m * 1073741824.0)) ^ (static_cast<std::uint64_t>(e + 4096) << 40);
  }

  // Lines (rows or columns) grouped by hash, each group sorted by line number so that
  // the one kept is the first loaded. Lines with fewer than `least` alive entries are
  // left alone.
  template <class Alive>
  std::vector<std::pair<std::uint64_t, std::int32_t>> line_hashes(
      std::int32_t lines, const std::vector<std::int32_t>& start, const std::vector<std::int32_t>& end,
      const std::vector<std::int32_t>& index, const std::vector<double>& value,
      const std::vector<std::uint8_t>& line_alive, const std::vector<std::int32_t>& count, std::int32_t least,
      Alive alive) const {
    std::vector<std::pair<std::uint64_t, std::int32_t>> keys;
    for (std::int32_t l = 0; l < lines; ++l) {
      if (!line_alive[ui(l)] || count[ui(l)] < least) continue;
      std::uint64_t h = static_cast<std::uint64_t>(count[ui(l)]);
      double first = 0.0;
      for (std::int32_t p = start[ui(l)]; p < end[ui(l)]; ++p) {
        const std::int32_t k = index[ui(p)];
        if (!alive(k)) continue;
        if (first == 0.0) first = value[ui(p)];
        h = mix(h, static_cast<std::uint64_t>(k));
        h = mix(h, ratio_key(value[ui(p)] / first));
      }
      keys.emplace_back(h, l);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
  }

  // Whether line b is element · line a over the alive entries; element set on success.
  template <class Alive>
  bool parallel(std::int32_t a, std::int32_t b, const std::vector<std::int32_t>& start,
                const std::vector<std::int32_t>& end, const std::vector<std::int32_t>& index,
                const std::vector<double>& value, Alive alive, double& element) const {
    std::int32_t p = start[ui(a)];
    std::int32_t q = start[ui(b)];
    const std::int32_t p_end = end[ui(a)];
    const std::int32_t q_end = end[ui(b)];
    element = 0.0;
    for (;;) {
      while (p < p_end && !alive(index[ui(p)])) ++p;
      while (q < q_end && !alive(index[ui(q)])) ++q;
      if (p == p_end || q == q_end) return p == p_end && q == q_end && element != 0.0;
      if (index[ui(p)] != index[ui(q)]) return false;
      const double va = value[ui(p)];
      const double vb = value[ui(q)];
      if (element == 0.0) {
        element = vb / va;
      } else if (std::fabs(vb - element * va) > 1.0e-12 * std::max(1.0, std::fabs(vb))) {
        return false;
      }
      ++p;
      ++q;
    }
  }

  // Row k = element · row i over the columns alive: row k's limits on a_i·x are
  // intersected with row i's and row k goes.
  void duplicate_rows() {
    auto alive = [this](std::int32_t j) { return col_alive_[ui(j)] != 0; };
    const auto keys = line_hashes(m_, row_start_, row_end_, row_column_, row_value_, row_alive_, row_count_, 2, alive);
    for (std::size_t g = 0; g < keys.size() && !failed();) {
      std::size_t end = g + 1;
      while (end < keys.size() && keys[end].first == keys[g].first) ++end;
      for (std::size_t a = g; a < end && !failed(); ++a) {
        const std::int32_t i = keys[a].second;
        if (!row_alive_[ui(i)]) continue;
        for (std::size_t b = a + 1; b < end && !failed(); ++b) {
          const std::int32_t k = keys[b].second;
          double lambda = 0.0;
          if (!row_alive_[ui(k)] || !parallel(i, k, row_start_, row_end_, row_column_, row_value_, alive, lambda))
            continue;
          merge_rows(i, k, lambda);
        }
      }
      g = end;
    }
  }

  // Equations that are linear combinations of other equations: Gaussian elimination
  // over the live equality rows, the shortest row first, pivoting in each on an entry
  // not small beside the row's largest and, among those, of the column in fewest rows.
  // A row that elimination empties is a combination of the pivot rows before it; when
  // its right-hand side cancels too, it holds wherever they do and goes, priced 0 with
  // its logical basic at zero. The elimination stops (keeping what it found) when its
  // work outgrows a multiple of the equations' size. Returns the rows removed.
  std::int32_t dependent_rows() {
    std::vector<std::int32_t> rows;
    std::size_t size = 0;
    for (std::int32_t i = 0; i < m_; ++i) {
      if (!row_alive_[ui(i)] || row_count_[ui(i)] < 2) continue;
      if (!finite(sl_[ui(i)]) || sl_[ui(i)] != su_[ui(i)]) continue;
      rows.push_back(i);
      size += ui(row_count_[ui(i)]);
    }
    const auto e = rows.size();
    if (e < 2) return 0;
    using Entry = std::pair<std::int32_t, double>;
    std::vector<std::vector<Entry>> line(e);
    std::vector<double> t(e);
    std::vector<double> scale(e, 0.0);
    std::vector<double> t_scale(e);
    std::vector<std::vector<std::int32_t>> holders(ui(n_));
    for (std::size_t r = 0; r < e; ++r) {
      const std::int32_t i = rows[r];
      for (std::int32_t p = row_start_[ui(i)]; p < row_end_[ui(i)]; ++p) {
        const std::int32_t j = row_column_[ui(p)];
        if (!col_alive_[ui(j)]) continue;
        line[r].emplace_back(j, row_value_[ui(p)]);
        holders[ui(j)].push_back(static_cast<std::int32_t>(r));
        scale[r] = std::max(scale[r], std::fabs(row_value_[ui(p)]));
      }
      t[r] = rhs_[ui(i)] - sl_[ui(i)];
      t_scale[r] = std::max(1.0, std::fabs(t[r]));
    }
    constexpr double kDrop = 1.0e-11;  // relative to the row's largest entry as loaded
    constexpr double kPivot = 0.1;     // an entry this large beside the row's largest may pivot
    const double budget = 400.0 * static_cast<double>(size) + 2.0e5;
    double work = 0.0;
    std::vector<std::uint8_t> done(e, 0);
    std::vector<std::int32_t> found;
    using Key = std::pair<std::size_t, std::int32_t>;
    std::priority_queue<Key, std::vector<Key>, std::greater<Key>> queue;
    for (std::size_t r = 0; r < e; ++r) queue.emplace(line[r].size(), static_cast<std::int32_t>(r));
    std::vector<Entry> merged;
    while (!queue.empty() && work <= budget) {
      const auto [length, rr] = queue.top();
      queue.pop();
      const auto r = ui(rr);
      if (done[r] || length != line[r].size()) continue;
      done[r] = 1;
      if (line[r].empty()) {
        if (std::fabs(t[r]) <= 1.0e-9 * t_scale[r]) found.push_back(rows[r]);
        continue;
      }
      double big = 0.0;
      for (const Entry& x : line[r]) big = std::max(big, std::fabs(x.second));
      std::size_t pivot = 0;
      std::size_t fewest = std::numeric_limits<std::size_t>::max();
      for (std::size_t q = 0; q < line[r].size(); ++q) {
        if (std::fabs(line[r][q].second) < kPivot * big) continue;
        const std::size_t held = holders[ui(line[r][q].first)].size();
        if (held < fewest) {
          fewest = held;
          pivot = q;
        }
      }
      const std::int32_t column = line[r][pivot].first;
      const double element = line[r][pivot].second;
      for (const std::int32_t kk : holders[ui(column)]) {
        const auto k = ui(kk);
        if (done[k]) continue;
        const auto at = std::lower_bound(line[k].begin(), line[k].end(), Entry{column, -kInfinity},
                                         [](const Entry& a, const Entry& b) { return a.first < b.first; });
        if (at == line[k].end() || at->first != column) continue;
        const double multiple = at->second / element;
        // line k − multiple · line r, both in increasing column order.
        merged.clear();
        auto a = line[k].begin();
        auto b = line[r].begin();
        while (a != line[k].end() || b != line[r].end()) {
          Entry x;
          if (b == line[r].end() || (a != line[k].end() && a->first < b->first)) {
            x = *a++;
          } else if (a == line[k].end() || b->first < a->first) {
            x = {b->first, -multiple * b->second};
            if (b->first != column) holders[ui(b->first)].push_back(kk);
            ++b;
          } else {
            x = {a->first, a->second - multiple * b->second};
            ++a;
            ++b;
          }
          if (x.first == column || std::fabs(x.second) <= kDrop * scale[k]) continue;
          merged.push_back(x);
        }
        work += static_cast<double>(line[k].size() + line[r].size());
        line[k].swap(merged);
        t[k] -= multiple * t[r];
        t_scale[k] = std::max(t_scale[k], std::fabs(multiple * t[r]));
        queue.emplace(line[k].size(), kk);
      }
    }
    for (const std::int32_t i : found) drop_row(i, ReductionKind::dependent_row);
    return static_cast<std::int32_t>(found.size());
  }

  void merge_rows(std::int32_t i, std::int32_t k, double lambda) {
    // Limits of a_i·x from row k: (rhs_k − s_k) / lambda over s_k's bounds.
    double lo = lambda > 0.0 ? row_lower_limit(k) : row_upper_limit(k);
    double hi = lambda > 0.0 ? row_upper_limit(k) : row_lower_limit(k);
    lo = finite(lo) ? lo / lambda : -kInfinity;
    hi = finite(hi) ? hi / lambda : kInfinity;
    // As bounds on s_i = rhs_i − a_i·x.
    const double rhs = rhs_[ui(i)];
    const double from_k_lower = finite(hi) ? rhs - hi : -kInfinity;
    const double from_k_upper = finite(lo) ? rhs - lo : kInfinity;
    const double sl = sl_[ui(i)];
    const double su = su_[ui(i)];
    double new_l = 0.0;
    double new_u = 0.0;
    if (!intersect(sl, su, from_k_lower, from_k_upper, new_l, new_u)) return;
    Reduction r;
    r.kind = ReductionKind::duplicate_row;
    r.row = k;
    r.other = i;
    r.element = lambda;
    r.lower = sl;
    r.upper = su;
    r.other_lower = sl_[ui(k)];
    r.other_upper = su_[ui(k)];
    r.value = rhs;
    r.rhs = rhs_[ui(k)];
    out_.stack.push_back(r);
    sl_[ui(i)] = new_l;
    su_[ui(i)] = new_u;
    remove_row(k);
  }

  // Column k = element · column j over the rows alive. With c_k = element · c_j the two
  // act as one column x_j + element · x_k whose bounds are the sums of theirs; otherwise
  // the cheaper direction is taken by one of them alone when the other can move without
  // end that way, and the dominated column sits at its bound.
  void duplicate_columns() {
    auto alive = [this](std::int32_t i) { return row_alive_[ui(i)] != 0; };
    const auto keys = line_hashes(n_, col_start_, col_end_, col_row_, col_value_, col_alive_, col_count_, 1, alive);
    for (std::size_t g = 0; g < keys.size() && !failed();) {
      std::size_t end = g + 1;
      while (end < keys.size() && keys[end].first == keys[g].first) ++end;
      for (std::size_t a = g; a < end && !failed(); ++a) {
        const std::int32_t j = keys[a].second;
        for (std::size_t b = a + 1; b < end && !failed() && col_alive_[ui(j)]; ++b) {
          const std::int32_t k = keys[b].second;
          double lambda = 0.0;
          if (!col_alive_[ui(k)] || !parallel(j, k, col_start_, col_end_, col_row_, col_value_, alive, lambda))
            continue;
          pair_columns(j, k, lambda);
        }
      }
      g = end;
    }
    slack_columns();
  }

  // A column alone in its row is parallel to the row's logical (cost 0): with no cost
  // of its own it is one more slack of the row, merged into the logical, whose bounds
  // widen by the column's; with a cost, it sits at a bound when the logical can move
  // without end the way that would cancel it.
  void slack_columns() {
    for (std::int32_t y = 0; y < n_ && !failed(); ++y) {
      if (!col_alive_[ui(y)] || col_count_[ui(y)] != 1 || kinds_[ui(y)] == ColumnKind::frozen) continue;
      const auto [i, b] = live_entry(y);
      if (i < 0) continue;
      const double sl = sl_[ui(i)];
      const double su = su_[ui(i)];
      if (!finite(sl) && !finite(su)) continue;  // a free row goes on its own
      const double c = cost_[ui(y)];
      if (c == 0.0) {
        if (kinds_[ui(y)] != ColumnKind::continuous) continue;
        const double add_lo = b > 0.0 ? cl_[ui(y)] : cu_[ui(y)];
        const double add_hi = b > 0.0 ? cu_[ui(y)] : cl_[ui(y)];
        const double merged_lo = finite(sl) && finite(add_lo) ? sl + b * add_lo : -kInfinity;
        const double merged_hi = finite(su) && finite(add_hi) ? su + b * add_hi : kInfinity;
        if (!finite(merged_lo) && !finite(merged_hi)) continue;
        Reduction r;
        r.kind = ReductionKind::duplicate_column;
        r.column = y;
        r.other = i;
        r.at_upper = true;  // the kept one is row i's logical
        r.element = b;
        r.lower = sl;
        r.upper = su;
        r.other_lower = cl_[ui(y)];
        r.other_upper = cu_[ui(y)];
        r.cost = 0.0;
        r.rhs = rhs_[ui(i)];
        out_.stack.push_back(r);
        sl_[ui(i)] = merged_lo;
        su_[ui(i)] = merged_hi;
        --row_count_[ui(i)];
        col_alive_[ui(y)] = 0;
        continue;
      }
      // d_y = b · d_s + c with d_s = −price: of a sign fixed when s has no bound on one side.
      const bool ds_nonnegative = !finite(su);
      const bool ds_nonpositive = !finite(sl);
      const bool holds =
          c > 0.0 ? (b > 0.0 ? ds_nonnegative : ds_nonpositive) : (b > 0.0 ? ds_nonpositive : ds_nonnegative);
      if (!holds) continue;
      if (c > 0.0 && finite(cl_[ui(y)])) {
        fix_column(y, cl_[ui(y)], false);
      } else if (c < 0.0 && finite(cu_[ui(y)])) {
        fix_column(y, cu_[ui(y)], true);
      }
    }
  }

  void pair_columns(std::int32_t j, std::int32_t k, double lambda) {
    const ColumnKind kind_j = kinds_[ui(j)];
    const ColumnKind kind_k = kinds_[ui(k)];
    if (kind_j == ColumnKind::frozen || kind_k == ColumnKind::frozen) return;
    const double cj = cost_[ui(j)];
    const double ck = cost_[ui(k)];
    const double delta = ck - lambda * cj;  // d_k − lambda · d_j
    const double scale = std::max({1.0, std::fabs(ck), std::fabs(lambda * cj)});
    if (std::fabs(delta) <= 1.0e-12 * scale) {
      if (kind_j != ColumnKind::continuous || kind_k != ColumnKind::continuous) return;
      const bool j_free = !finite(cl_[ui(j)]) && !finite(cu_[ui(j)]);
      const bool k_free = !finite(cl_[ui(k)]) && !finite(cu_[ui(k)]);
      // Beside a free one, the other can sit at any of its values: at a bound, where
      // a basic solution has it.
      if (j_free != k_free) {
        const std::int32_t fixed = j_free ? k : j;
        if (finite(cl_[ui(fixed)])) {
          fix_column(fixed, cl_[ui(fixed)], false);
        } else {
          fix_column(fixed, cu_[ui(fixed)], true);
        }
        return;
      }
      const double add_lo = lambda > 0.0 ? cl_[ui(k)] : cu_[ui(k)];
      const double add_hi = lambda > 0.0 ? cu_[ui(k)] : cl_[ui(k)];
      const double merged_lo = finite(cl_[ui(j)]) && finite(add_lo) ? cl_[ui(j)] + lambda * add_lo : -kInfinity;
      const double merged_hi = finite(cu_[ui(j)]) && finite(add_hi) ? cu_[ui(j)] + lambda * add_hi : kInfinity;
      // A merged column free while its parts are not could be left nonbasic at zero,
      // which no basic solution of the two splits into.
      if (!j_free && !finite(merged_lo) && !finite(merged_hi)) return;
      Reduction r;
      r.kind = ReductionKind::duplicate_column;
      r.column = k;
      r.other = j;
      r.element = lambda;
      r.lower = cl_[ui(j)];
      r.upper = cu_[ui(j)];
      r.other_lower = cl_[ui(k)];
      r.other_upper = cu_[ui(k)];
      r.cost = ck;
      cl_[ui(j)] = merged_lo;
      cu_[ui(j)] = merged_hi;
      out_.stack.push_back(r);
      // Column k's entries leave with it; the right-hand sides do not change.
      for (std::int32_t p = col_start_[ui(k)]; p < col_end_[ui(k)]; ++p) {
        if (row_alive_[ui(col_row_[ui(p)])]) --row_count_[ui(col_row_[ui(p)])];
      }
      col_alive_[ui(k)] = 0;
      return;
    }
    // d_k = lambda · d_j + delta. When x_j, continuous, cannot take the sign of d_j that
    // would cancel delta (it has no bound on that side), d_k keeps delta's sign.
    if (kind_j != ColumnKind::continuous) return;
    const bool dj_nonnegative = !finite(cu_[ui(j)]);  // never at an upper bound
    const bool dj_nonpositive = !finite(cl_[ui(j)]);
    const bool holds = delta > 0.0 ? (lambda > 0.0 ? dj_nonnegative : dj_nonpositive)
                                   : (lambda > 0.0 ? dj_nonpositive : dj_nonnegative);
    if (!holds) return;
    if (delta > 0.0 && finite(cl_[ui(k)])) {
      fix_column(k, cl_[ui(k)], false);
    } else if (delta < 0.0 && finite(cu_[ui(k)])) {
      fix_column(k, cu_[ui(k)], true);
    }
  }

  const WorkingLp& lp_;
  const PresolveSettings& settings_;
  Presolved& out_;
  std::int32_t m_;
  std::int32_t n_;
  PresolveOutcome outcome_ = PresolveOutcome::reduced;
  std::vector<ColumnKind> kinds_;
  // Each line's entries lie in [start, end) of its arrays, with room up to cap; a line
  // that outgrows its room moves to the arrays' end.
  std::vector<std::int32_t> col_start_;
  std::vector<std::int32_t> col_end_;
  std::vector<std::int32_t> col_cap_;
  std::vector<std::int32_t> col_row_;
  std::vector<double> col_value_;
  std::vector<std::int32_t> row_start_;
  std::vector<std::int32_t> row_end_;
  std::vector<std::int32_t> row_cap_;
  std::vector<std::int32_t> loaded_row_count_;
  std::size_t initial_entries_ = 0;
  std::vector<std::pair<std::int32_t, double>> fill_rows_;
  std::vector<std::pair<std::int32_t, double>> equation_entries_;
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
  bool dependence_checked_ = false;
  std::vector<double> price_lower_;
  std::vector<double> price_upper_;
  std::vector<std::uint8_t> price_source_;  // columns whose reduced-cost sign bounded a price
  std::int64_t filled_ = 0;                 // entries the elimination pass created
  // Bounds the rows imply (implied_bounds), each with the row it came from (−1: none).
  static constexpr double kImpliedMargin = 1.0e-5;
  bool implied_ready_ = false;
  std::vector<double> implied_lower_;
  std::vector<double> implied_upper_;
  std::vector<std::int32_t> implied_lower_row_;
  std::vector<std::int32_t> implied_upper_row_;
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
