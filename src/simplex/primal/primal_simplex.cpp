// The primal simplex run: major loop, pricing, ratio test and basis change. See
// primal_simplex.h for the outline of a run.
#include "simplex/primal/primal_simplex.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "problem/infinity.h"
#include "simplex/primal/primal_step.h"

namespace kqopt {

namespace {

constexpr int kMaxShiftingRemovals = 5;

class PrimalRun {
 public:
  PrimalRun(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, const PrimalSettings& settings,
            SimplexObserver& observer, std::int64_t iteration_base)
      : lp_(lp),
        basis_(basis),
        factor_(factor),
        settings_(settings),
        observer_(observer),
        iteration_base_(iteration_base),
        m_(lp.rows),
        total_(lp.variables()),
        lower_(lp.lower),
        upper_(lp.upper),
        column_(lp.rows),
        prices_(lp.rows),
        pi_(static_cast<std::size_t>(lp.rows)),
        basic_cost_(static_cast<std::size_t>(lp.rows)),
        reduced_cost_(static_cast<std::size_t>(lp.variables()), 0.0),
        pivot_row_prices_(lp.rows),
        pivot_row_(static_cast<std::size_t>(lp.columns), 0.0),
        rejected_(static_cast<std::size_t>(lp.variables()), 0),
        weight_(settings.big_m),
        composite_(settings.composite) {}

  PrimalResult run();

 private:
  bool invert();
  void recompute_infeasibilities();
  void form_prices();
  void price_all();
  std::int32_t choose_entering(double& reduced_cost);
  double reduced_cost_of(std::int32_t j) const;
  bool reduced_cost_agrees(std::int32_t q, double d_q) const;
  void update_reduced_costs(std::int32_t q, std::int32_t p);
  void load_column(std::int32_t q);
  Step ratio_test(std::int32_t q, int direction);
  bool apply_step(std::int32_t q, int direction, const Step& step);
  void perturb_bounds();
  bool remove_perturbation();
  double objective() const;
  void clear_rejections();
  void log(bool final_line, std::int32_t entering, std::int32_t leaving);
  PrimalResult finish(LpOutcome outcome);

  const WorkingLp& lp_;
  SimplexBasis& basis_;
  Factor& factor_;
  const PrimalSettings& settings_;
  SimplexObserver& observer_;
  std::int64_t iteration_base_;
  std::int32_t m_;
  std::int32_t total_;

  std::vector<double> lower_;  // working bounds: the LP's, widened while perturbed
  std::vector<double> upper_;
  WorkVector column_;  // FTRAN of the entering column, by position
  WorkVector prices_;  // BTRAN work
  std::vector<double> pi_;
  std::vector<double> basic_cost_;
  // Reduced costs of the nonbasic variables for the phase they were priced in. In
  // phase 2 the costs do not change, so they are carried from one basis to the next
  // through the pivot row instead of being priced afresh.
  std::vector<double> reduced_cost_;
  bool reduced_costs_current_ = false;
  bool reduced_costs_carried_ = false;  // changed through pivot rows since last priced
  WorkVector pivot_row_prices_;         // rho = e_p^T B^-1
  std::vector<double> pivot_row_;       // alpha_r = rho^T A, per column
  std::vector<std::int32_t> pivot_row_columns_;
  std::vector<char> rejected_;  // rejected for this factorisation
  std::vector<std::int32_t> rejected_list_;

  std::int64_t iterations_ = 0;
  std::int32_t infeasible_count_ = 0;
  double infeasible_sum_ = 0.0;
  std::int32_t dual_infeasible_count_ = 0;
  double weight_;
  bool composite_;
  bool perturbed_ = false;  // working bounds differ from the LP's (perturbation or shifts)
  bool shifts_allowed_ = true;
  bool lenient_ = false;  // accept any pivot above the absolute tolerance
  int removals_ = 0;
  int perturbations_ = 0;
  std::int64_t short_steps_ = 0;
  std::int32_t unbounded_variable_ = -1;
  FactorStatus factor_status_ = FactorStatus::ok;
  std::int64_t workspace_needed_ = 0;
  std::mt19937 random_{12345};
};

bool PrimalRun::invert() {
  InvertReport report;
  factor_status_ = factor_.factorise(lp_.basis_view(), basis_.header, settings_.factor, report);
  observer_.inverted(report);
  if (factor_status_ != FactorStatus::ok) {
    workspace_needed_ = report.workspace_needed;
    return false;
  }
  // INVERT may have replaced dependent columns by logicals and permuted the header.
  for (std::int32_t j = 0; j < total_; ++j) {
    if (basis_.status[static_cast<std::size_t>(j)] == VariableStatus::basic) {
      basis_.status[static_cast<std::size_t>(j)] =
          default_nonbasic_status(lower_[static_cast<std::size_t>(j)], upper_[static_cast<std::size_t>(j)]);
    }
  }
  for (std::int32_t v : basis_.header) basis_.status[static_cast<std::size_t>(v)] = VariableStatus::basic;
  basis_.index_positions(total_);
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    switch (basis_.status[jj]) {
      case VariableStatus::at_lower:
        basis_.x[jj] = lower_[jj];
        break;
      case VariableStatus::at_upper:
        basis_.x[jj] = upper_[jj];
        break;
      case VariableStatus::at_zero:
        basis_.x[jj] = 0.0;
        break;
      case VariableStatus::basic:
        break;
    }
  }
  recompute_basic_values(lp_, basis_, factor_);
  clear_rejections();
  recompute_infeasibilities();
  reduced_costs_current_ = false;
  return true;
}

void PrimalRun::recompute_infeasibilities() {
  const double tol = settings_.feasibility_tolerance;
  infeasible_count_ = 0;
  infeasible_sum_ = 0.0;
  for (std::int32_t v : basis_.header) {
    const auto jj = static_cast<std::size_t>(v);
    double below = lower_[jj] - basis_.x[jj];
    double above = basis_.x[jj] - upper_[jj];
    if (below > tol) {
      ++infeasible_count_;
      infeasible_sum_ += below;
    } else if (above > tol) {
      ++infeasible_count_;
      infeasible_sum_ += above;
    }
  }
}

// c_B for the current phase: the true cost in phase 2 and in the composite mode, plus
// the weight times the slope of the infeasibility sum (-1 below the lower bound, +1
// above the upper) while infeasible. pi = c_B B^-1.
void PrimalRun::form_prices() {
  const double tol = settings_.feasibility_tolerance;
  const bool phase_one = infeasible_count_ > 0;
  const bool true_costs = !phase_one || composite_;
  const double w = phase_one ? (composite_ ? weight_ : 1.0) : 0.0;
  double* c = prices_.value_data();
  for (std::int32_t p = 0; p < m_; ++p) {
    const auto v = static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(p)]);
    double cost = true_costs ? lp_.cost[v] : 0.0;
    if (w != 0.0) {
      if (basis_.x[v] < lower_[v] - tol)
        cost -= w;
      else if (basis_.x[v] > upper_[v] + tol)
        cost += w;
    }
    c[p] = cost;
    basic_cost_[static_cast<std::size_t>(p)] = cost;
  }
  prices_.mark_dense();
  factor_.btran(prices_);
  const double* y = prices_.value_data();
  for (std::int32_t i = 0; i < m_; ++i) pi_[static_cast<std::size_t>(i)] = y[i];
}

double PrimalRun::reduced_cost_of(std::int32_t j) const {
  const bool true_costs = infeasible_count_ == 0 || composite_;
  const auto jj = static_cast<std::size_t>(j);
  double d = true_costs ? lp_.cost[jj] : 0.0;
  if (j < m_) return d - pi_[jj];
  const auto col = jj - static_cast<std::size_t>(m_);
  for (auto k = static_cast<std::size_t>(lp_.column_start[col]);
       k < static_cast<std::size_t>(lp_.column_start[col + 1]); ++k) {
    d -= pi_[static_cast<std::size_t>(lp_.row_index[k])] * lp_.value[k];
  }
  return d;
}

void PrimalRun::price_all() {
  form_prices();
  for (std::int32_t j = 0; j < total_; ++j) {
    if (basis_.status[static_cast<std::size_t>(j)] != VariableStatus::basic) {
      reduced_cost_[static_cast<std::size_t>(j)] = reduced_cost_of(j);
    }
  }
  reduced_costs_current_ = infeasible_count_ == 0;
  reduced_costs_carried_ = false;
}

// The priced reduced cost against d_q = c_q - c_B^T alpha computed from the entering
// column itself (phase 2 only): they must agree, and the recomputed value must still
// make the variable attractive in the same direction.
bool PrimalRun::reduced_cost_agrees(std::int32_t q, double d_q) const {
  const double* alpha = column_.values().data();
  const bool listed = column_.state() == WorkVectorState::sparse;
  const std::int32_t count = listed ? column_.nonzero_count() : m_;
  const std::int32_t* list = listed ? column_.nonzeros().data() : nullptr;
  double recomputed = lp_.cost[static_cast<std::size_t>(q)];
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t p = listed ? list[k] : k;
    recomputed -= lp_.cost[static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(p)])] * alpha[p];
  }
  const double difference = std::fabs(recomputed - d_q);
  return difference <= 1.0e-9 + settings_.reduced_cost_agreement * std::fabs(recomputed) &&
         std::fabs(recomputed) > settings_.optimality_tolerance && (recomputed < 0.0) == (d_q < 0.0);
}

// d_j -= (d_q / alpha_pq) * alpha_pj over the pivot row alpha_p = rho^T [I A] of the
// basis before the change; the leaving variable gets -d_q / alpha_pq.
void PrimalRun::update_reduced_costs(std::int32_t q, std::int32_t p) {
  const double alpha_p = column_.values()[p];
  const double ratio = reduced_cost_[static_cast<std::size_t>(q)] / alpha_p;
  pivot_row_prices_.set_unit(p, 1.0);
  factor_.btran(pivot_row_prices_);
  const double* rho = pivot_row_prices_.values().data();
  for (std::int32_t i = 0; i < m_; ++i) {
    const double r = rho[i];
    if (r == 0.0) continue;
    if (basis_.status[static_cast<std::size_t>(i)] != VariableStatus::basic)
      reduced_cost_[static_cast<std::size_t>(i)] -= ratio * r;
    for (auto k = static_cast<std::size_t>(lp_.row_start[static_cast<std::size_t>(i)]);
         k < static_cast<std::size_t>(lp_.row_start[static_cast<std::size_t>(i) + 1]); ++k) {
      const auto j = static_cast<std::size_t>(lp_.column_index[k]);
      if (pivot_row_[j] == 0.0) pivot_row_columns_.push_back(static_cast<std::int32_t>(j));
      pivot_row_[j] += r * lp_.row_value[k];
      if (pivot_row_[j] == 0.0) pivot_row_[j] = 1.0e-300;  // keep it listed once
    }
  }
  for (std::int32_t j : pivot_row_columns_) {
    const auto v = static_cast<std::size_t>(m_ + j);
    if (basis_.status[v] != VariableStatus::basic) reduced_cost_[v] -= ratio * pivot_row_[static_cast<std::size_t>(j)];
    pivot_row_[static_cast<std::size_t>(j)] = 0.0;
  }
  pivot_row_columns_.clear();
  const auto leaving = static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(p)]);
  reduced_cost_[leaving] = -ratio;
  reduced_cost_[static_cast<std::size_t>(q)] = 0.0;
}

// Dantzig pricing over every nonbasic variable that can move.
std::int32_t PrimalRun::choose_entering(double& chosen_cost) {
  const double tol = settings_.optimality_tolerance;
  std::int32_t best = -1;
  double best_merit = 0.0;
  dual_infeasible_count_ = 0;
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    const VariableStatus s = basis_.status[jj];
    if (s == VariableStatus::basic || upper_[jj] == lower_[jj]) continue;
    const double d = reduced_cost_[jj];
    double merit = 0.0;
    if (s == VariableStatus::at_lower)
      merit = -d;
    else if (s == VariableStatus::at_upper)
      merit = d;
    else
      merit = std::fabs(d);
    if (merit <= tol) continue;
    ++dual_infeasible_count_;
    if (rejected_[jj]) continue;
    if (merit > best_merit) {
      best_merit = merit;
      best = j;
      chosen_cost = d;
    }
  }
  return best;
}

void PrimalRun::load_column(std::int32_t q) { transform_entering_column(lp_, factor_, q, column_); }

// The shared ratio test (primal_step.h) on the working bounds.
Step PrimalRun::ratio_test(std::int32_t q, int direction) {
  RatioTestSettings ratio;
  ratio.feasibility_tolerance = settings_.feasibility_tolerance;
  ratio.pivot_tolerance = settings_.pivot_tolerance;
  ratio.relative_pivot_tolerance = settings_.relative_pivot_tolerance;
  ratio.lenient = lenient_;
  return primal_ratio_test(basis_, lower_, upper_, column_, q, direction, ratio);
}

// Moves the entering variable by theta in its direction and the basic variables
// with it, then changes the basis. Returns false when a refactorisation is due.
bool PrimalRun::apply_step(std::int32_t q, int direction, const Step& step) {
  const auto qq = static_cast<std::size_t>(q);
  const double theta = step.theta;
  move_basic_values(basis_, column_, direction, theta);
  short_steps_ = theta > settings_.short_step ? 0 : short_steps_ + 1;

  if (step.kind == StepKind::flip) {
    flip_to_other_bound(basis_, lower_, upper_, q);
    return true;
  }

  lenient_ = false;
  if (reduced_costs_current_) {
    update_reduced_costs(q, step.position);
    reduced_costs_carried_ = true;
  }
  const auto leaving = static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(step.position)]);
  basis_.x[qq] += direction * theta;
  if (step.shift_bound && shifts_allowed_) {
    // The leaving variable lies just outside the bound it stops at: the bound moves
    // to it, so the basic values stay those of the basis. Restored before a final
    // answer is given.
    (step.leaves_at_upper ? upper_[leaving] : lower_[leaving]) = basis_.x[leaving];
    perturbed_ = true;
  } else {
    basis_.x[leaving] = step.leaves_at_upper ? upper_[leaving] : lower_[leaving];
  }
  return exchange_basis(basis_, factor_, column_, q, step, lower_, upper_, settings_.factor);
}

// Widens the bounds of the basic variables by small random amounts, so that a
// degenerate vertex splits into nearby distinct ones.
void PrimalRun::perturb_bounds() {
  std::uniform_real_distribution<double> spread(1.0, 2.0);
  const double size = settings_.perturbation_step * 10.0;
  for (std::int32_t v : basis_.header) {
    const auto jj = static_cast<std::size_t>(v);
    if (lower_[jj] == upper_[jj]) continue;
    if (lower_[jj] > -kInfinity) lower_[jj] -= size * spread(random_) * (1.0 + std::fabs(lower_[jj]));
    if (upper_[jj] < kInfinity) upper_[jj] += size * spread(random_) * (1.0 + std::fabs(upper_[jj]));
  }
  perturbed_ = true;
  ++perturbations_;
  short_steps_ = 0;
}

// Restores the true bounds and puts nonbasic variables back on them. Returns false
// when the factorisation failed.
bool PrimalRun::remove_perturbation() {
  // Repeated clean-ups that shift again would never end; the last ones place the
  // leaving variable on its bound instead.
  if (++removals_ >= kMaxShiftingRemovals) shifts_allowed_ = false;
  lower_ = lp_.lower;
  upper_ = lp_.upper;
  perturbed_ = false;
  return invert();
}

void PrimalRun::clear_rejections() {
  for (std::int32_t v : rejected_list_) rejected_[static_cast<std::size_t>(v)] = 0;
  rejected_list_.clear();
}

double PrimalRun::objective() const {
  double sum = 0.0;
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (lp_.cost[jj] != 0.0) sum += lp_.cost[jj] * basis_.x[jj];
  }
  return sum;
}

void PrimalRun::log(bool final_line, std::int32_t entering, std::int32_t leaving) {
  const std::int64_t iteration = iteration_base_ + iterations_;
  if (!observer_.wants_line(iteration, final_line)) return;
  SimplexObserver::Progress progress;
  progress.iteration = iteration;
  progress.objective = infeasible_count_ > 0 ? infeasible_sum_ : objective();
  progress.dual_infeasibilities = dual_infeasible_count_;
  progress.primal_infeasibilities = infeasible_count_;
  progress.sum_infeasibilities = infeasible_sum_;
  progress.entering = entering;
  progress.leaving = leaving;
  progress.final_line = final_line;
  observer_.iteration(progress);
}

PrimalResult PrimalRun::finish(LpOutcome outcome) {
  PrimalResult result;
  result.outcome = outcome;
  result.iterations = iterations_;
  result.objective = objective();
  result.primal_infeasibilities = infeasible_count_;
  result.sum_infeasibilities = infeasible_sum_;
  result.dual_infeasibilities = dual_infeasible_count_;
  result.unbounded_variable = unbounded_variable_;
  result.factor_status = factor_status_;
  result.workspace_needed = workspace_needed_;
  result.big_m = weight_;
  log(true, -1, -1);
  return result;
}

PrimalResult PrimalRun::run() {
  if (!invert()) return finish(LpOutcome::failed);
  const double max_weight = 5.0 * settings_.big_m;
  const std::int64_t stall_limit = std::max<std::int64_t>(50, m_ / 10);
  bool fresh = true;  // no basis change since the last INVERT

  for (;;) {
    if (iteration_base_ + iterations_ >= settings_.iteration_limit) return finish(LpOutcome::iteration_limit);
    if (observer_.should_stop()) return finish(LpOutcome::stopped);

    // Phase 1 costs change with the set of infeasible variables: price afresh.
    if (!reduced_costs_current_ || infeasible_count_ > 0) price_all();
    double d_q = 0.0;
    const std::int32_t q = choose_entering(d_q);
    if (q < 0) {
      // Terminal decisions only on a fresh factorisation with the true bounds.
      if (!fresh) {
        if (!invert()) return finish(LpOutcome::failed);
        fresh = true;
        continue;
      }
      if (!rejected_list_.empty()) {
        // Attractive candidates were turned down for their small pivots. Try them once
        // more accepting any pivot above the absolute tolerance; when even that fails
        // no answer can be given with confidence.
        if (lenient_) return finish(LpOutcome::stopped);
        lenient_ = true;
        clear_rejections();
        continue;
      }
      if (perturbed_) {
        if (!remove_perturbation()) return finish(LpOutcome::failed);
        continue;
      }
      if (infeasible_count_ == 0) return finish(LpOutcome::optimal);
      if (composite_) {
        if (weight_ > max_weight) {
          weight_ = settings_.infeasibility_weight;
          composite_ = false;
        } else {
          weight_ *= 2.0;
        }
        continue;
      }
      return finish(LpOutcome::infeasible);
    }

    const int direction = d_q < 0.0 ? 1 : -1;
    load_column(q);
    if (reduced_costs_current_ && !reduced_cost_agrees(q, d_q)) {
      // Carried values have drifted: price afresh. Freshly priced ones that still
      // disagree with the column mean the candidate is not reliably attractive.
      if (reduced_costs_carried_) {
        reduced_costs_current_ = false;
      } else {
        rejected_[static_cast<std::size_t>(q)] = 1;
        rejected_list_.push_back(q);
      }
      continue;
    }
    const Step step = ratio_test(q, direction);
    if (step.kind == StepKind::rejected || (step.kind == StepKind::unbounded && infeasible_count_ > 0)) {
      rejected_[static_cast<std::size_t>(q)] = 1;
      rejected_list_.push_back(q);
      continue;
    }
    if (step.kind == StepKind::unbounded) {
      if (!fresh) {
        if (!invert()) return finish(LpOutcome::failed);
        fresh = true;
        continue;
      }
      if (perturbed_) {
        if (!remove_perturbation()) return finish(LpOutcome::failed);
        continue;
      }
      unbounded_variable_ = q;
      return finish(LpOutcome::unbounded);
    }

    const std::int32_t leaving =
        step.kind == StepKind::pivot ? basis_.header[static_cast<std::size_t>(step.position)] : q;
    const bool factor_kept = apply_step(q, direction, step);
    ++iterations_;
    if (step.kind == StepKind::pivot) fresh = false;
    recompute_infeasibilities();
    log(false, q, leaving);
    if (!factor_kept) {
      if (!invert()) return finish(LpOutcome::failed);
      fresh = true;
    }
    if (settings_.perturb && !perturbed_ && short_steps_ > stall_limit) {
      perturb_bounds();
      if (!invert()) return finish(LpOutcome::failed);
      fresh = true;
    }
  }
}

}  // namespace

PrimalResult primal_simplex(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, const PrimalSettings& settings,
                            SimplexObserver& observer, std::int64_t iteration_base) {
  PrimalRun run(lp, basis, factor, settings, observer, iteration_base);
  return run.run();
}

void recompute_basic_values(const WorkingLp& lp, SimplexBasis& basis, Factor& factor) {
  const std::int32_t m = lp.rows;
  std::vector<double> r(lp.rhs);
  for (std::int32_t j = 0; j < lp.variables(); ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (basis.status[jj] == VariableStatus::basic) continue;
    const double xj = basis.x[jj];
    if (xj == 0.0) continue;
    if (j < m) {
      r[jj] -= xj;
      continue;
    }
    const auto col = jj - static_cast<std::size_t>(m);
    for (auto k = static_cast<std::size_t>(lp.column_start[col]);
         k < static_cast<std::size_t>(lp.column_start[col + 1]); ++k) {
      r[static_cast<std::size_t>(lp.row_index[k])] -= lp.value[k] * xj;
    }
  }
  WorkVector w(m);
  w.load_dense(r);
  factor.ftran(w);
  const double* xb = w.values().data();
  for (std::int32_t p = 0; p < m; ++p)
    basis.x[static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)])] = xb[p];
}

void compute_duals(const WorkingLp& lp, const SimplexBasis& basis, Factor& factor, std::vector<double>& pi,
                   std::vector<double>& reduced_cost) {
  const std::int32_t m = lp.rows;
  WorkVector w(m);
  std::vector<double> cb(static_cast<std::size_t>(m));
  for (std::int32_t p = 0; p < m; ++p)
    cb[static_cast<std::size_t>(p)] = lp.cost[static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)])];
  w.load_dense(cb);
  factor.btran(w);
  pi.assign(w.values().begin(), w.values().end());
  reduced_cost.assign(static_cast<std::size_t>(lp.variables()), 0.0);
  for (std::int32_t j = 0; j < lp.variables(); ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (basis.status[jj] == VariableStatus::basic) continue;
    double d = lp.cost[jj];
    if (j < m) {
      d -= pi[jj];
    } else {
      const auto col = jj - static_cast<std::size_t>(m);
      for (auto k = static_cast<std::size_t>(lp.column_start[col]);
           k < static_cast<std::size_t>(lp.column_start[col + 1]); ++k) {
        d -= pi[static_cast<std::size_t>(lp.row_index[k])] * lp.value[k];
      }
    }
    reduced_cost[jj] = d;
  }
}

}  // namespace kqopt
