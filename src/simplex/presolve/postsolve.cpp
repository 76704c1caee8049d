// Postsolve: the reduction stack undone in reverse order. At every stage the rows and
// columns alive are those of the LP as it stood when the reduction was made, with a
// basic solution of it: values, statuses, row prices y and reduced costs
// d_j = c_j − Σ y_i a_ij over the alive rows, c_j the column's cost at that stage.
// Each undo adds one row with exactly one basic variable pivoting on it, or columns
// that are nonbasic, so the basis stays square and nonsingular; the prices of a
// restored row are chosen so that every reduced cost keeps its optimal sign.
#include <algorithm>
#include <cmath>
#include <utility>

#include "problem/infinity.h"
#include "simplex/presolve/presolve.h"

namespace kqopt {

namespace {

bool finite(double bound) { return std::fabs(bound) < kInfinityThreshold; }
bool near(double a, double b) { return std::fabs(a - b) <= 1.0e-9 * std::max(1.0, std::fabs(b)); }
std::size_t ui(std::int32_t k) { return static_cast<std::size_t>(k); }

// Reduced costs this close to zero count as either sign.
constexpr double kZeroReducedCost = 1.0e-9;

class Undo {
 public:
  Undo(const WorkingLp& lp, SimplexBasis& out, std::vector<double>& y, std::vector<double>& d)
      : lp_(lp), m_(lp.rows), n_(lp.columns), out_(out), y_(y), d_(d) {
    row_alive_.assign(ui(m_), 0);
    col_alive_.assign(ui(n_), 0);
    row_start_ = lp.row_start;
    if (static_cast<std::int32_t>(row_start_.size()) != m_ + 1) {
      WorkingLp copy = lp;
      copy.build_row_copy();
      row_start_ = copy.row_start;
      row_column_ = copy.column_index;
      row_value_ = copy.row_value;
    } else {
      row_column_ = lp.column_index;
      row_value_ = lp.row_value;
    }
    transpose();
  }

  // The matrix of the presolved stage: the positions of every entry a substitution
  // changed join the loaded ones (zero as loaded), and the changes are made in order.
  void stage_matrix(const Presolved& p) {
    if (p.changed_entries.empty()) return;
    std::vector<std::vector<std::int32_t>> extra(ui(m_));
    for (const EntryChange& c : p.changed_entries) {
      if (find(row_start_[ui(c.row)], row_start_[ui(c.row) + 1], row_column_, c.column) >= 0) continue;
      auto& e = extra[ui(c.row)];
      if (std::find(e.begin(), e.end(), c.column) == e.end()) e.push_back(c.column);
    }
    std::vector<std::int32_t> start(ui(m_) + 1, 0);
    std::vector<std::int32_t> column;
    std::vector<double> value;
    for (std::int32_t i = 0; i < m_; ++i) {
      for (std::int32_t q = row_start_[ui(i)]; q < row_start_[ui(i) + 1]; ++q) {
        column.push_back(row_column_[ui(q)]);
        value.push_back(row_value_[ui(q)]);
      }
      for (const std::int32_t j : extra[ui(i)]) {
        column.push_back(j);
        value.push_back(0.0);
      }
      start[ui(i) + 1] = static_cast<std::int32_t>(column.size());
    }
    row_start_ = std::move(start);
    row_column_ = std::move(column);
    row_value_ = std::move(value);
    transpose();
    for (const EntryChange& c : p.changed_entries) set_entry(c.row, c.column, c.after);
  }

  void start(const Presolved& p, const SimplexBasis& basis, std::span<const double> pi,
             std::span<const double> reduced_cost) {
    stage_matrix(p);
    const auto total = ui(m_ + n_);
    out_.status.assign(total, VariableStatus::at_lower);
    out_.x.assign(total, 0.0);
    y_.assign(ui(m_), 0.0);
    d_.assign(total, 0.0);
    const std::int32_t rows = p.lp.rows;
    for (std::int32_t r = 0; r < rows; ++r) {
      const auto i = ui(p.row_of[ui(r)]);
      row_alive_[i] = 1;
      out_.status[i] = basis.status[ui(r)];
      out_.x[i] = basis.x[ui(r)];
      y_[i] = ui(r) < pi.size() ? pi[ui(r)] : 0.0;
    }
    for (std::int32_t k = 0; k < p.lp.columns; ++k) {
      const std::int32_t j = p.column_of[ui(k)];
      const auto v = ui(m_ + j);
      col_alive_[ui(j)] = 1;
      out_.status[v] = basis.status[ui(rows + k)];
      out_.x[v] = basis.x[ui(rows + k)];
      d_[v] = ui(rows + k) < reduced_cost.size() ? reduced_cost[ui(rows + k)] : 0.0;
    }
  }

  void apply(const Presolved& p, const Reduction& r) {
    switch (r.kind) {
      case ReductionKind::free_row:
      case ReductionKind::dependent_row:
        out_.status[ui(r.row)] = VariableStatus::basic;
        restore_row(r.row, 0.0);
        break;
      case ReductionKind::fixed_column:
        fixed_column(r);
        break;
      case ReductionKind::singleton_row:
        singleton_row(r);
        break;
      case ReductionKind::forcing_row:
        forcing_row(p, r);
        break;
      case ReductionKind::column_singleton:
        column_singleton(r);
        break;
      case ReductionKind::doubleton:
      case ReductionKind::substitution:
        doubleton(p, r);
        break;
      case ReductionKind::duplicate_row:
        duplicate_row(r);
        break;
      case ReductionKind::duplicate_column:
        duplicate_column(r);
        break;
      case ReductionKind::row_to_equation:
        row_to_equation(r);
        break;
    }
  }

  // Values of the basic logicals and every reduced cost from the loaded LP itself.
  void finish() {
    for (std::int32_t i = 0; i < m_; ++i) {
      double activity = 0.0;
      for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
        activity += row_value_[ui(p)] * out_.x[ui(m_ + row_column_[ui(p)])];
      }
      if (out_.status[ui(i)] == VariableStatus::basic) out_.x[ui(i)] = lp_.rhs[ui(i)] - activity;
      d_[ui(i)] = out_.status[ui(i)] == VariableStatus::basic ? 0.0 : -y_[ui(i)];
    }
    for (std::int32_t j = 0; j < n_; ++j) {
      const auto v = ui(m_ + j);
      double dj = lp_.cost[v];
      for (std::int32_t p = col_start_[ui(j)]; p < col_start_[ui(j) + 1]; ++p) {
        dj -= y_[ui(col_row_[ui(p)])] * col_value_[ui(p)];
      }
      d_[v] = out_.status[v] == VariableStatus::basic ? 0.0 : dj;
    }
    out_.header.clear();
    for (std::int32_t v = 0; v < m_ + n_; ++v) {
      if (out_.status[ui(v)] == VariableStatus::basic) out_.header.push_back(v);
    }
  }

 private:
  // Columns in increasing row order, transposed from the rows, so that the sums below
  // do not depend on the order the elements were loaded in.
  void transpose() {
    col_start_.assign(ui(n_) + 1, 0);
    for (const std::int32_t j : row_column_) ++col_start_[ui(j) + 1];
    for (std::int32_t j = 0; j < n_; ++j) col_start_[ui(j) + 1] += col_start_[ui(j)];
    col_row_.assign(row_column_.size(), 0);
    col_value_.assign(row_column_.size(), 0.0);
    std::vector<std::int32_t> next(col_start_.begin(), col_start_.end() - 1);
    for (std::int32_t i = 0; i < m_; ++i) {
      for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
        const auto slot = ui(next[ui(row_column_[ui(p)])]++);
        col_row_[slot] = i;
        col_value_[slot] = row_value_[ui(p)];
      }
    }
  }

  static std::int32_t find(std::int32_t begin, std::int32_t end, const std::vector<std::int32_t>& index,
                           std::int32_t at) {
    for (std::int32_t p = begin; p < end; ++p) {
      if (index[ui(p)] == at) return p;
    }
    return -1;
  }

  // a_ij = v in both copies; its position is in both (the stage matrix holds them all).
  void set_entry(std::int32_t i, std::int32_t j, double v) {
    const std::int32_t p = find(row_start_[ui(i)], row_start_[ui(i) + 1], row_column_, j);
    const std::int32_t q = find(col_start_[ui(j)], col_start_[ui(j) + 1], col_row_, i);
    if (p >= 0) row_value_[ui(p)] = v;
    if (q >= 0) col_value_[ui(q)] = v;
  }

  void restore_row(std::int32_t i, double price) {
    row_alive_[ui(i)] = 1;
    y_[ui(i)] = price;
    if (price == 0.0) return;
    for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
      const std::int32_t j = row_column_[ui(p)];
      if (col_alive_[ui(j)]) d_[ui(m_ + j)] -= price * row_value_[ui(p)];
    }
  }

  // Column j back with its stage cost; its reduced cost over the rows alive now.
  void restore_column(std::int32_t j, double x, double cost) {
    const auto v = ui(m_ + j);
    double dj = cost;
    for (std::int32_t p = col_start_[ui(j)]; p < col_start_[ui(j) + 1]; ++p) {
      const std::int32_t i = col_row_[ui(p)];
      if (row_alive_[ui(i)]) dj -= y_[ui(i)] * col_value_[ui(p)];
    }
    col_alive_[ui(j)] = 1;
    out_.x[v] = x;
    d_[v] = dj;
  }

  // A nonbasic column's status on the side its reduced cost asks for where both sides
  // are at its value.
  VariableStatus side(double x, double lower, double upper, double dj, bool prefer_upper) const {
    if (!finite(lower) && !finite(upper)) return VariableStatus::at_zero;
    const bool at_lower = finite(lower) && near(x, lower);
    const bool at_upper = finite(upper) && near(x, upper);
    if (at_lower && at_upper) return dj < 0.0 ? VariableStatus::at_upper : VariableStatus::at_lower;
    if (at_upper) return VariableStatus::at_upper;
    if (at_lower) return VariableStatus::at_lower;
    return prefer_upper ? VariableStatus::at_upper : VariableStatus::at_lower;
  }

  void fixed_column(const Reduction& r) {
    restore_column(r.column, r.value, r.cost);
    const auto v = ui(m_ + r.column);
    out_.status[v] = side(r.value, r.lower, r.upper, d_[v], r.at_upper);
  }

  // The row was a bound on its one column. When the column sits nonbasic on a bound
  // that only this row gave it, the row is the binding constraint: the column becomes
  // basic and the row's logical nonbasic, priced so that the column's reduced cost
  // becomes zero.
  void singleton_row(const Reduction& r) {
    const std::int32_t i = r.row;
    const auto v = ui(m_ + r.column);
    const double a = r.element;
    const double xj = out_.x[v];
    const double s = r.rhs - a * xj;
    out_.x[ui(i)] = s;
    double price = 0.0;
    out_.status[ui(i)] = VariableStatus::basic;
    if (out_.status[v] != VariableStatus::basic) {
      const double dj = d_[v];
      const bool lower_ok = finite(r.lower) && near(xj, r.lower) && dj >= -kZeroReducedCost;
      const bool upper_ok = finite(r.upper) && near(xj, r.upper) && dj <= kZeroReducedCost;
      if (lower_ok || upper_ok) {
        out_.status[v] = lower_ok ? VariableStatus::at_lower : VariableStatus::at_upper;
      } else {
        // x_j sits on a bound this row gave it when the row's logical sits on one of
        // its own bounds; the price dj / a must then suit the logical's side
        // (reduced cost −price: at least 0 at the lower bound, at most 0 at the upper).
        const double sl = r.other_lower;  // the logical's bounds then (a merged row's may differ)
        const double su = r.other_upper;
        const double candidate = dj / a;
        const bool at_sl = finite(sl) && near(s, sl) && -candidate >= -kZeroReducedCost;
        const bool at_su = finite(su) && near(s, su) && -candidate <= kZeroReducedCost;
        if (at_sl || at_su) {
          price = candidate;
          out_.status[v] = VariableStatus::basic;
          out_.status[ui(i)] = at_sl ? VariableStatus::at_lower : VariableStatus::at_upper;
          out_.x[ui(i)] = at_sl ? sl : su;
        }
      }
    }
    restore_row(i, price);
  }

  // A row at the limit of its activity: its columns at the bounds that reach it. The
  // price is the largest (in the direction the logical's bound allows) that keeps
  // every column's reduced cost of the right sign; the column that sets it turns basic.
  void forcing_row(const Presolved& p, const Reduction& r) {
    const std::int32_t i = r.row;
    const bool at_max = r.at_upper;
    for (std::int32_t k = r.first; k < r.first + r.count; ++k) {
      restore_column(p.forced_column[ui(k)], p.forced_value[ui(k)], p.forced_cost[ui(k)]);
    }
    double price = 0.0;
    std::int32_t entering = -1;
    for (std::int32_t q = row_start_[ui(i)]; q < row_start_[ui(i) + 1]; ++q) {
      const std::int32_t j = row_column_[ui(q)];
      if (!col_alive_[ui(j)] || out_.status[ui(m_ + j)] == VariableStatus::basic) continue;
      const double a = row_value_[ui(q)];
      bool forced = false;
      for (std::int32_t k = r.first; k < r.first + r.count && !forced; ++k) forced = p.forced_column[ui(k)] == j;
      if (!forced) continue;
      const auto v = ui(m_ + j);
      const bool up = (a > 0.0) == at_max;
      out_.status[v] = up ? VariableStatus::at_upper : VariableStatus::at_lower;
      const double ratio = d_[v] / a;
      if (at_max ? ratio > price : ratio < price) {
        price = ratio;
        entering = j;
      }
    }
    out_.status[ui(i)] = VariableStatus::basic;
    if (entering >= 0) {
      out_.status[ui(m_ + entering)] = VariableStatus::basic;
      out_.status[ui(i)] = at_max ? VariableStatus::at_upper : VariableStatus::at_lower;
      out_.x[ui(i)] = at_max ? r.other_upper : r.other_lower;
    }
    restore_row(i, price);
  }

  // The column took its row's equation: it comes back basic at the value the row
  // gives it, the row priced at c_j / a so that its reduced cost is zero; the cost it
  // lent the row's other columns goes back.
  void column_singleton(const Reduction& r) {
    const std::int32_t i = r.row;
    const std::int32_t j = r.column;
    const double a = r.element;
    const double price = r.cost / a;
    double rest = 0.0;
    for (std::int32_t p = row_start_[ui(i)]; p < row_start_[ui(i) + 1]; ++p) {
      const std::int32_t k = row_column_[ui(p)];
      if (k == j || !col_alive_[ui(k)]) continue;
      rest += row_value_[ui(p)] * out_.x[ui(m_ + k)];
      d_[ui(m_ + k)] += r.cost * row_value_[ui(p)] / a;
    }
    const auto v = ui(m_ + j);
    col_alive_[ui(j)] = 1;
    out_.x[v] = (r.rhs - r.value - rest) / a;
    out_.status[v] = VariableStatus::basic;
    d_[v] = r.cost;
    out_.x[ui(i)] = r.value;
    out_.status[ui(i)] = r.at_upper ? VariableStatus::at_upper : VariableStatus::at_lower;
    restore_row(i, price);
  }

  // y = (t − a x) / b (a substitution: t less the row's other columns) comes back
  // basic, the row priced so that d_y = 0:
  // y_row = (c_y − Σ y_k a_ky) / b over the other rows alive. The entries of x the
  // substitution changed go back, and with them x's cost: d_x is the same before and
  // after, so no other reduced cost moves. When x then sits nonbasic on a bound that
  // came from y's bounds, y is the one at its bound: x turns basic and y nonbasic, the
  // row's price moving by d_x / a so that d_x = 0, which leaves d_y = −(b / a) d_x of
  // the sign y's bound asks for.
  void doubleton(const Presolved& p, const Reduction& r) {
    for (std::int32_t c = r.first + r.count - 1; c >= r.first; --c) {
      const EntryChange& e = p.changed_entries[ui(c)];
      set_entry(e.row, e.column, e.before);
    }
    const std::int32_t i = r.row;
    const std::int32_t x = r.other;
    const std::int32_t y = r.column;
    const double b = r.element;
    const auto vy = ui(m_ + y);
    double a = 0.0;
    double rest = 0.0;
    for (std::int32_t q = row_start_[ui(i)]; q < row_start_[ui(i) + 1]; ++q) {
      const std::int32_t k = row_column_[ui(q)];
      if (k == x) a = row_value_[ui(q)];
      if (k != y && col_alive_[ui(k)]) rest += row_value_[ui(q)] * out_.x[ui(m_ + k)];
    }
    double dy = r.cost;
    for (std::int32_t q = col_start_[ui(y)]; q < col_start_[ui(y) + 1]; ++q) {
      const std::int32_t k = col_row_[ui(q)];
      if (row_alive_[ui(k)]) dy -= y_[ui(k)] * col_value_[ui(q)];
    }
    row_alive_[ui(i)] = 1;
    y_[ui(i)] = dy / b;
    col_alive_[ui(y)] = 1;
    out_.x[vy] = (r.rhs - r.value - rest) / b;
    out_.status[vy] = VariableStatus::basic;
    d_[vy] = 0.0;
    out_.x[ui(i)] = r.value;
    out_.status[ui(i)] = VariableStatus::at_lower;
    if (r.kind == ReductionKind::substitution) return;  // y's bounds were implied: none moved
    const auto vx = ui(m_ + x);
    if (out_.status[vx] == VariableStatus::basic || out_.status[vx] == VariableStatus::at_zero) return;
    const double xv = out_.x[vx];
    const double dx = d_[vx];
    const bool lower_ok = finite(r.lower) && near(xv, r.lower) && dx >= -kZeroReducedCost;
    const bool upper_ok = finite(r.upper) && near(xv, r.upper) && dx <= kZeroReducedCost;
    if (lower_ok || upper_ok) {
      out_.status[vx] = lower_ok ? VariableStatus::at_lower : VariableStatus::at_upper;
      out_.x[vx] = lower_ok ? r.lower : r.upper;
      return;
    }
    if (a == 0.0) return;
    const double yv = out_.x[vy];
    const bool y_low = finite(r.other_lower) &&
                       (!finite(r.other_upper) || std::fabs(yv - r.other_lower) <= std::fabs(yv - r.other_upper));
    const double delta = dx / a;
    for (std::int32_t q = row_start_[ui(i)]; q < row_start_[ui(i) + 1]; ++q) {
      const std::int32_t k = row_column_[ui(q)];
      if (col_alive_[ui(k)]) d_[ui(m_ + k)] -= delta * row_value_[ui(q)];
    }
    y_[ui(i)] += delta;
    out_.status[vx] = VariableStatus::basic;
    out_.status[vy] = y_low ? VariableStatus::at_lower : VariableStatus::at_upper;
    out_.x[vy] = y_low ? r.other_lower : r.other_upper;
  }

  // The row's logical was fixed at the bound its price sign asks for: nonbasic, it sits
  // on that bound of its own again (the price keeps its sign, so it stays optimal).
  void row_to_equation(const Reduction& r) {
    const auto i = ui(r.row);
    if (out_.status[i] == VariableStatus::basic) return;
    out_.status[i] = r.at_upper ? VariableStatus::at_upper : VariableStatus::at_lower;
    out_.x[i] = r.at_upper ? r.upper : r.lower;
  }

  // Row k (= lambda · row i) was merged into row i. Split the merged row's price y so
  // that y_i + lambda · y_k = y, which leaves every column's reduced cost as it is: all
  // of it stays on row i when row i's own limit is the one binding (or none binds),
  // else all of it moves onto row k, whose logical then sits on the bound that binds
  // and row i's logical turns basic.
  void duplicate_row(const Reduction& r) {
    const std::int32_t k = r.row;
    const std::int32_t i = r.other;
    const double lambda = r.element;
    const double s = out_.x[ui(i)];
    const double y = y_[ui(i)];
    // s_k = rhs_k − lambda · a_i·x = rhs_k − lambda · (rhs_i − s_i).
    out_.x[ui(k)] = r.rhs - lambda * (r.value - s);
    out_.status[ui(k)] = VariableStatus::basic;
    row_alive_[ui(k)] = 1;
    y_[ui(k)] = 0.0;
    const VariableStatus status = out_.status[ui(i)];
    if (status == VariableStatus::basic || status == VariableStatus::at_zero) return;
    // The side that binds: the lower bound of s_i when its reduced cost −y is positive.
    const bool priced = std::fabs(y) > kZeroReducedCost;
    const bool lower_side = priced ? y < 0.0 : status == VariableStatus::at_lower;
    const bool at_own_lower = finite(r.lower) && near(s, r.lower);
    const bool at_own_upper = finite(r.upper) && near(s, r.upper);
    if (lower_side ? at_own_lower : at_own_upper) {
      out_.status[ui(i)] = lower_side ? VariableStatus::at_lower : VariableStatus::at_upper;
      out_.x[ui(i)] = lower_side ? r.lower : r.upper;
      return;
    }
    if (!priced && (at_own_lower || at_own_upper)) {
      out_.status[ui(i)] = at_own_lower ? VariableStatus::at_lower : VariableStatus::at_upper;
      out_.x[ui(i)] = at_own_lower ? r.lower : r.upper;
      return;
    }
    // s_k moves with s_i when lambda > 0, against it otherwise.
    const bool k_lower = (lambda > 0.0) == lower_side;
    const double bound = k_lower ? r.other_lower : r.other_upper;
    if (!finite(bound)) return;  // cannot happen: the merged bound came from somewhere
    out_.status[ui(k)] = k_lower ? VariableStatus::at_lower : VariableStatus::at_upper;
    out_.x[ui(k)] = bound;
    y_[ui(k)] = y / lambda;
    y_[ui(i)] = 0.0;
    out_.status[ui(i)] = VariableStatus::basic;
  }

  // Column k (= lambda · column j, cost lambda · c_j) was merged into x_j' = x_j +
  // lambda · x_k. Its reduced cost is lambda · d_j'. A nonbasic merged column splits
  // into both at the bounds that made its bound; a basic one keeps one of the two basic
  // and the other nonbasic, at a bound that leaves the basic one within its own.
  void duplicate_column(const Reduction& r) {
    const std::int32_t k = r.column;
    const std::int32_t j = r.other;
    const double lambda = r.element;
    const auto vj = r.at_upper ? ui(j) : ui(m_ + j);  // at_upper: the kept one is row j's logical
    const auto vk = ui(m_ + k);
    double merged = out_.x[vj];
    const VariableStatus status = out_.status[vj];
    if (r.at_upper && status == VariableStatus::basic) {
      // A basic logical's value is only set at the end: here it is what the row's
      // right-hand side then leaves after the columns alive with it.
      merged = r.rhs;
      for (std::int32_t p = row_start_[ui(j)]; p < row_start_[ui(j) + 1]; ++p) {
        const std::int32_t c = row_column_[ui(p)];
        if (col_alive_[ui(c)]) merged -= row_value_[ui(p)] * out_.x[ui(m_ + c)];
      }
    }
    const double lj = r.lower;
    const double uj = r.upper;
    const double lk = r.other_lower;
    const double uk = r.other_upper;
    double xj = 0.0;
    double xk = 0.0;
    VariableStatus sj = VariableStatus::basic;
    VariableStatus sk = VariableStatus::at_lower;
    if (status == VariableStatus::at_lower || status == VariableStatus::at_upper) {
      const bool low = status == VariableStatus::at_lower;
      xj = low ? lj : uj;
      sj = status;
      const bool k_low = (lambda > 0.0) == low;
      xk = k_low ? lk : uk;
      sk = k_low ? VariableStatus::at_lower : VariableStatus::at_upper;
    } else if (status == VariableStatus::at_zero) {
      // Only two free columns merge into a free one.
      sj = VariableStatus::at_zero;
      sk = VariableStatus::at_zero;
      xj = merged;
      xk = 0.0;
    } else {
      // x_k nonbasic at a value that keeps x_j = merged − lambda · x_k within its bounds,
      // else x_j nonbasic and x_k basic.
      const double tol = 1.0e-9;
      bool done = false;
      const double k_values[3] = {lk, uk, 0.0};
      const VariableStatus k_status[3] = {VariableStatus::at_lower, VariableStatus::at_upper, VariableStatus::at_zero};
      for (int c = 0; c < 3 && !done; ++c) {
        if (c < 2 && !finite(k_values[c])) continue;
        if (c == 2 && (finite(lk) || finite(uk))) continue;
        const double candidate = merged - lambda * k_values[c];
        if (candidate >= lj - tol * std::max(1.0, std::fabs(lj)) &&
            candidate <= uj + tol * std::max(1.0, std::fabs(uj))) {
          xk = k_values[c];
          sk = k_status[c];
          xj = candidate;
          sj = VariableStatus::basic;
          done = true;
        }
      }
      const double j_values[3] = {lj, uj, 0.0};
      for (int c = 0; c < 3 && !done; ++c) {
        if (c < 2 && !finite(j_values[c])) continue;
        if (c == 2 && (finite(lj) || finite(uj))) continue;
        const double candidate = (merged - j_values[c]) / lambda;
        if (candidate >= lk - tol * std::max(1.0, std::fabs(lk)) &&
            candidate <= uk + tol * std::max(1.0, std::fabs(uk))) {
          xj = j_values[c];
          sj = k_status[c];
          xk = candidate;
          sk = VariableStatus::basic;
          done = true;
        }
      }
      if (!done) {
        // Only rounding can bring this: x_j at the bound nearest and x_k basic.
        xj = std::clamp(merged, finite(lj) ? lj : -kInfinity, finite(uj) ? uj : kInfinity);
        sj = finite(lj) && xj == lj ? VariableStatus::at_lower : VariableStatus::at_upper;
        if (!finite(lj) && !finite(uj)) {
          xj = 0.0;
          sj = VariableStatus::at_zero;
        }
        xk = (merged - xj) / lambda;
        sk = VariableStatus::basic;
      }
    }
    out_.x[vj] = xj;
    out_.status[vj] = sj;
    restore_column(k, xk, r.cost);
    out_.status[vk] = sk;
  }

  const WorkingLp& lp_;
  std::int32_t m_;
  std::int32_t n_;
  SimplexBasis& out_;
  std::vector<double>& y_;
  std::vector<double>& d_;
  std::vector<std::uint8_t> row_alive_;
  std::vector<std::uint8_t> col_alive_;
  std::vector<std::int32_t> row_start_;
  std::vector<std::int32_t> row_column_;
  std::vector<double> row_value_;
  std::vector<std::int32_t> col_start_;
  std::vector<std::int32_t> col_row_;
  std::vector<double> col_value_;
};

}  // namespace

void postsolve_lp(const WorkingLp& lp, const Presolved& presolved, const SimplexBasis& basis,
                  std::span<const double> pi, std::span<const double> reduced_cost, SimplexBasis& out,
                  std::vector<double>& out_pi, std::vector<double>& out_reduced_cost) {
  Undo undo(lp, out, out_pi, out_reduced_cost);
  undo.start(presolved, basis, pi, reduced_cost);
  for (auto it = presolved.stack.rbegin(); it != presolved.stack.rend(); ++it) undo.apply(presolved, *it);
  undo.finish();
}

}  // namespace kqopt
