// The dual simplex run: set-up, the first phase on the auxiliary bounds, the
// iteration (row choice by dual steepest edge, pivot row, long-step ratio test,
// updates) and the removal of cost perturbation and shifts. See dual_simplex.h.
#include "simplex/dual/dual_simplex.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "simplex/core/invert_driver.h"
#include "simplex/dual/dual_ratio_test.h"
#include "simplex/dual/nonbasic_rows.h"
#include "simplex/primal/primal_step.h"
#include "simplex/primal/step_clock.h"

namespace kqopt {

namespace {

constexpr double kInfiniteBound = 1.0e29;
constexpr double kDualPivotTolerance = 1.0e-7;
constexpr double kMinimumWeight = 1.0e-4;
constexpr double kCostPerturbation = 5.0e-7;
// Costs drawn from few distinct values (assignment-like structure: qap) tie whole
// families of reduced costs, and a perturbation relative to each cost leaves those ties
// almost intact: the dual then crawls through degenerate vertices (qap12 took 712,639
// iterations). When at least kTiedCostCount nonzero costs take at most kTiedCostShare
// distinct values, every cost also moves by up to kTiedPerturbation of the largest, or
// of kTiedScaleOfMedian times the median |cost| when that is smaller (on qap it is
// not): a few large penalty costs (the unmet-demand columns of multicommodity flows,
// 185 times the median) would otherwise make the perturbation larger than the arc
// costs themselves, and its removal left 831 dual infeasibilities to the primal.
// kTiedPerturbation 1e-3: qap12 in 53,932 and 56,422 iterations (3e-3), against
// 70,834 (1e-4) and 72,016 (3e-4); truss 21,405 against 22,404; mc_2500 about even.
constexpr std::size_t kTiedCostCount = 100;
constexpr double kTiedCostShare = 0.01;
constexpr double kTiedPerturbation = 1.0e-3;
constexpr double kTiedScaleOfMedian = 10.0;
// The pivot row is formed row by row over the nonzeros of rho while their rows hold
// less than this share of the matrix's entries.
constexpr double kRowWiseShare = 0.4;
// Relative disagreement between the pivot taken from the row and from the column
// beyond which the factorisation is refreshed.
constexpr double kPivotAgreement = 1.0e-7;
constexpr int kMaxRemovals = 4;
// Basic variables leave while outside their bounds by more than this share of the
// feasibility tolerance: the objective error of a violation grows with the row's
// price, and an optimum that used the whole tolerance was off by 7e-6 on pilot.
constexpr double kLeavingTolerance = 0.1;
// The share of the optimality tolerance left to the reduced costs of a final basis.
constexpr double kFinalDualShare = 0.1;
constexpr std::int32_t kTrustedUpdates = 50;

bool finite_lower(double l) { return l > -kInfiniteBound; }
bool finite_upper(double u) { return u < kInfiniteBound; }
bool boxed(double l, double u) { return finite_lower(l) && finite_upper(u); }

// Entries of a work vector: its nonzero list in the sparse state, all m otherwise.
struct Entries {
  const double* value;
  const std::int32_t* list;
  std::int32_t count;
  std::int32_t operator[](std::int32_t k) const { return list != nullptr ? list[k] : k; }
};

Entries entries_of(const WorkVector& w) {
  if (w.state() == WorkVectorState::zero) return {w.values().data(), nullptr, 0};
  const bool listed = w.state() == WorkVectorState::sparse;
  return {w.values().data(), listed ? w.nonzeros().data() : nullptr, listed ? w.nonzero_count() : w.size()};
}

enum class PhaseEnd { optimal, infeasible, stopped, iteration_limit, cutoff, hand_over, failed, refresh };

class DualRun {
 public:
  DualRun(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, const DualSettings& settings,
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
        rhs_(lp.rhs),
        cost_(lp.cost),
        d_(static_cast<std::size_t>(lp.variables()), 0.0),
        weight_(static_cast<std::size_t>(lp.rows), 1.0),
        weight_by_variable_(static_cast<std::size_t>(lp.variables()), 1.0),
        rho_(lp.rows),
        column_(lp.rows),
        tau_(lp.rows),
        flip_column_(lp.rows),
        work_(lp.rows),
        row_value_(static_cast<std::size_t>(lp.variables()), 0.0),
        row_listed_(static_cast<std::size_t>(lp.variables()), 0),
        row_rejected_(static_cast<std::size_t>(lp.rows), 0),
        basic_value_(static_cast<std::size_t>(lp.rows), 0.0),
        basic_lower_(static_cast<std::size_t>(lp.rows), 0.0),
        basic_upper_(static_cast<std::size_t>(lp.rows), 0.0),
        basic_cost_(static_cast<std::size_t>(lp.rows), 0.0),
        infeasibility_(static_cast<std::size_t>(lp.rows), 0.0),
        infeasible_slot_(static_cast<std::size_t>(lp.rows), -1),
        dual_tol_(settings.common.optimality_tolerance),
        primal_tol_(kLeavingTolerance * settings.common.feasibility_tolerance),
        clock_(settings.common.time_steps) {
    row_list_.resize(static_cast<std::size_t>(lp.variables()));
    infeasible_list_.reserve(static_cast<std::size_t>(lp.rows));
    ratio_work_.reserve(lp.variables());
    ratio_.flips.reserve(static_cast<std::size_t>(lp.variables()));
    flip_index_.reserve(static_cast<std::size_t>(lp.rows));
    flip_value_.reserve(static_cast<std::size_t>(lp.rows));
    ratio_settings_.dual_feasibility_tolerance = dual_tol_;
    ratio_settings_.pivot_tolerance = kDualPivotTolerance;
    ratio_settings_.slope_tolerance = primal_tol_;
  }

  DualResult run(bool factor_current);

 private:
  bool invert();
  void place_nonbasic();
  void compute_basic_values();
  void compute_duals();
  void compute_objective();
  std::int32_t flip_dual_infeasible(double tolerance, double& unboxed_sum);
  bool phase_one();
  void perturb_costs();
  void shift_dual_infeasible();
  PhaseEnd iterate();
  PhaseEnd iterate_once();
  std::int32_t choose_row(double& infeasibility);
  void form_pivot_row();
  void apply_flips();
  double leaving_column_norm(std::int32_t leaving) const;
  bool progress_test();
  void count_primal_infeasibilities();
  void refresh_infeasibility(std::int32_t p);
  void relist_infeasible(std::int32_t p);
  void rebuild_infeasibilities();
  void load_position(std::int32_t p);
  void log(bool final_line, std::int32_t entering, std::int32_t leaving);
  DualResult finish(DualEnd end);

  const WorkingLp& lp_;
  SimplexBasis& basis_;
  Factor& factor_;
  const DualSettings& settings_;
  SimplexObserver& observer_;
  std::int64_t iteration_base_;
  std::int32_t m_;
  std::int32_t total_;

  // The problem being solved: the LP's bounds, or the auxiliary bounds of the first
  // phase (with a zero right-hand side); the LP's costs, perturbed or shifted.
  std::vector<double> lower_;
  std::vector<double> upper_;
  std::vector<double> rhs_;
  std::vector<double> cost_;
  std::vector<double> d_;                   // reduced costs of the nonbasic variables, 0 for basic ones
  std::vector<double> weight_;              // dual steepest-edge weight per position
  std::vector<double> weight_by_variable_;  // the weights across an INVERT
  WorkVector rho_;                          // e_p^T B^-1
  WorkVector column_;                       // B^-1 a_q
  WorkVector tau_;                          // B^-1 rho
  WorkVector flip_column_;
  WorkVector work_;
  NonbasicRows nonbasic_rows_;
  std::vector<double> row_value_;  // alpha_pj for the listed nonbasic j
  std::vector<char> row_listed_;
  std::vector<std::int32_t> row_list_;  // the first row_count_ hold the listed j
  std::int32_t row_count_ = 0;
  std::vector<char> row_rejected_;  // positions whose pivot could not be trusted
  // The basic variables' values, bounds and costs by position, beside the arrays by
  // variable: the passes over a column or the flips' FTRAN then read contiguous
  // memory instead of four arrays through the header (the random loads took most of
  // the update pass's time on qap12). basis_.x stays current as well.
  std::vector<double> basic_value_;
  std::vector<double> basic_lower_;
  std::vector<double> basic_upper_;
  std::vector<double> basic_cost_;
  // Signed infeasibility of each position's basic variable beyond the leaving
  // tolerance (0 inside it), and the list of the infeasible positions, kept up to date
  // wherever a basic value moves so that the row choice scans only those.
  std::vector<double> infeasibility_;
  std::vector<std::int32_t> infeasible_list_;
  std::vector<std::int32_t> infeasible_slot_;  // place in the list, -1 when not listed
  std::vector<std::int32_t> rejected_rows_;
  std::vector<std::int32_t> flip_index_;
  std::vector<double> flip_value_;
  DualRatioSettings ratio_settings_;
  DualRatioWork ratio_work_;
  DualRatio ratio_;

  double dual_tol_;
  double primal_tol_;
  std::int64_t iterations_ = 0;
  std::int64_t flips_ = 0;
  std::int32_t inverts_ = 0;
  double objective_ = 0.0;  // sum of cost_ x
  bool fresh_ = false;      // no basis change since the last INVERT
  bool refactor_ = false;
  bool verified_ = false;       // basic values recomputed since the last basis change
  bool costs_changed_ = false;  // perturbed or shifted
  bool phase_one_ = false;
  std::int32_t primal_infeasible_count_ = 0;
  double primal_infeasible_sum_ = 0.0;
  std::int32_t dual_infeasible_count_ = 0;
  bool too_little_progress_ = false;
  std::int64_t progress_mark_ = 0;
  double progress_objective_ = 0.0;
  FactorStatus factor_status_ = FactorStatus::ok;
  std::int64_t workspace_needed_ = 0;
  std::mt19937 random_{20231};
  StepClock clock_;
};

bool DualRun::invert() {
  clock_.charge(PrimalStepKind::update);
  for (std::int32_t p = 0; p < m_; ++p)
    weight_by_variable_[static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(p)])] =
        weight_[static_cast<std::size_t>(p)];
  InvertReport report;
  factor_status_ = invert_basis(lp_, lower_, upper_, basis_, factor_, settings_.common.factor, report);
  observer_.inverted(report);
  ++inverts_;
  if (factor_status_ != FactorStatus::ok) {
    workspace_needed_ = report.workspace_needed;
    return false;
  }
  // INVERT may have replaced dependent columns by logicals and permuted the header.
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (basis_.status[jj] == VariableStatus::basic) {
      basis_.status[jj] = default_nonbasic_status(lower_[jj], upper_[jj]);
      d_[jj] = 0.0;
    }
  }
  for (std::int32_t v : basis_.header) basis_.status[static_cast<std::size_t>(v)] = VariableStatus::basic;
  basis_.index_positions(total_);
  for (std::int32_t p = 0; p < m_; ++p) {
    const auto v = static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(p)]);
    weight_[static_cast<std::size_t>(p)] = std::max(weight_by_variable_[v], kMinimumWeight);
  }
  nonbasic_rows_.build(lp_, basis_.status);
  for (const std::int32_t r : rejected_rows_) row_rejected_[static_cast<std::size_t>(r)] = 0;
  rejected_rows_.clear();
  place_nonbasic();
  compute_basic_values();
  compute_duals();
  compute_objective();
  fresh_ = true;
  refactor_ = false;
  clock_.charge(PrimalStepKind::invert);
  return true;
}

// Nonbasic variables exactly on the working bound their status names; a status that
// names an infinite bound becomes the default one.
void DualRun::place_nonbasic() {
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    VariableStatus& s = basis_.status[jj];
    if (s == VariableStatus::basic) continue;
    if ((s == VariableStatus::at_lower && !finite_lower(lower_[jj])) ||
        (s == VariableStatus::at_upper && !finite_upper(upper_[jj])) ||
        (s == VariableStatus::at_zero && (finite_lower(lower_[jj]) || finite_upper(upper_[jj])))) {
      s = default_nonbasic_status(lower_[jj], upper_[jj]);
    }
    basis_.x[jj] = s == VariableStatus::at_lower ? lower_[jj] : s == VariableStatus::at_upper ? upper_[jj] : 0.0;
  }
}

// x_B = B^-1 (rhs - N x_N) on the working right-hand side.
void DualRun::compute_basic_values() {
  double* r = work_.value_data();
  work_.clear();
  std::copy(rhs_.begin(), rhs_.end(), r);
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (basis_.status[jj] == VariableStatus::basic) continue;
    const double xj = basis_.x[jj];
    if (xj == 0.0) continue;
    if (j < m_) {
      r[j] -= xj;
      continue;
    }
    const auto col = jj - static_cast<std::size_t>(m_);
    for (auto k = static_cast<std::size_t>(lp_.column_start[col]);
         k < static_cast<std::size_t>(lp_.column_start[col + 1]); ++k) {
      r[lp_.row_index[k]] -= lp_.value[k] * xj;
    }
  }
  work_.mark_dense();
  factor_.ftran(work_);
  const double* xb = work_.values().data();
  for (std::int32_t p = 0; p < m_; ++p)
    basis_.x[static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(p)])] = xb[p];
  work_.clear();
  rebuild_infeasibilities();
}

// Called for every position a step moves: the flag update is inline and only a
// change of membership goes through the list (4% of qap12's time went to the call).
inline void DualRun::refresh_infeasibility(std::int32_t p) {
  const auto pp = static_cast<std::size_t>(p);
  const double x = basic_value_[pp];
  const double l = basic_lower_[pp];
  const double u = basic_upper_[pp];
  // Selects rather than branches (at most one side is nonzero as l <= u): whether a
  // moved value crosses a bound is as good as random, and the mispredicted branches
  // took a third of the pass over the entering column on qap12.
  const double below = x - l;
  const double above = x - u;
  // The compiler turns ternaries (and products with the test) back into branches:
  // each side is masked by the bits of its test instead.
  const std::uint64_t below_mask = std::uint64_t{0} - static_cast<std::uint64_t>(below < -primal_tol_);
  const std::uint64_t above_mask = std::uint64_t{0} - static_cast<std::uint64_t>(above > primal_tol_);
  const double infeas = std::bit_cast<double>(std::bit_cast<std::uint64_t>(below) & below_mask) +
                        std::bit_cast<double>(std::bit_cast<std::uint64_t>(above) & above_mask);
  infeasibility_[pp] = infeas;
  if ((infeas != 0.0) != (infeasible_slot_[pp] >= 0)) relist_infeasible(p);
}

void DualRun::relist_infeasible(std::int32_t p) {
  const auto pp = static_cast<std::size_t>(p);
  const std::int32_t slot = infeasible_slot_[pp];
  if (slot < 0) {
    infeasible_slot_[pp] = static_cast<std::int32_t>(infeasible_list_.size());
    infeasible_list_.push_back(p);
    return;
  }
  const std::int32_t last = infeasible_list_.back();
  infeasible_list_[static_cast<std::size_t>(slot)] = last;
  infeasible_slot_[static_cast<std::size_t>(last)] = slot;
  infeasible_list_.pop_back();
  infeasible_slot_[pp] = -1;
}

// The data by position of the variable basic in position p.
inline void DualRun::load_position(std::int32_t p) {
  const auto pp = static_cast<std::size_t>(p);
  const auto v = static_cast<std::size_t>(basis_.header[pp]);
  basic_value_[pp] = basis_.x[v];
  basic_lower_[pp] = lower_[v];
  basic_upper_[pp] = upper_[v];
  basic_cost_[pp] = cost_[v];
}

void DualRun::rebuild_infeasibilities() {
  for (const std::int32_t p : infeasible_list_) infeasible_slot_[static_cast<std::size_t>(p)] = -1;
  infeasible_list_.clear();
  for (std::int32_t p = 0; p < m_; ++p) {
    load_position(p);
    refresh_infeasibility(p);
  }
}

// pi = c_B B^-1, d_j = c_j - a_j^T pi for the working costs.
void DualRun::compute_duals() {
  double* c = work_.value_data();
  work_.clear();
  for (std::int32_t p = 0; p < m_; ++p)
    c[p] = cost_[static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(p)])];
  work_.mark_dense();
  factor_.btran(work_);
  const double* pi = work_.values().data();
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (basis_.status[jj] == VariableStatus::basic) {
      d_[jj] = 0.0;
      continue;
    }
    double d = cost_[jj];
    if (j < m_) {
      d -= pi[j];
    } else {
      const auto col = jj - static_cast<std::size_t>(m_);
      for (auto k = static_cast<std::size_t>(lp_.column_start[col]);
           k < static_cast<std::size_t>(lp_.column_start[col + 1]); ++k) {
        d -= pi[lp_.row_index[k]] * lp_.value[k];
      }
    }
    d_[jj] = d;
  }
  work_.clear();
}

// Also where the costs changed: the basic costs by position follow.
void DualRun::compute_objective() {
  for (std::int32_t p = 0; p < m_; ++p)
    basic_cost_[static_cast<std::size_t>(p)] =
        cost_[static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(p)])];
  double sum = 0.0;
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (cost_[jj] != 0.0) sum += cost_[jj] * basis_.x[jj];
  }
  objective_ = sum;
}

// Boxed nonbasic variables whose reduced cost has the wrong sign go to their other
// bound; returns the number of the others that are dual infeasible (their sum of
// |d_j| in unboxed_sum). Basic values are recomputed when a bound was flipped.
std::int32_t DualRun::flip_dual_infeasible(double tolerance, double& unboxed_sum) {
  std::int32_t unboxed = 0;
  unboxed_sum = 0.0;
  bool flipped = false;
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    VariableStatus& s = basis_.status[jj];
    if (s == VariableStatus::basic || lower_[jj] == upper_[jj]) continue;
    const double d = d_[jj];
    const bool wrong = (s == VariableStatus::at_lower && d < -tolerance) ||
                       (s == VariableStatus::at_upper && d > tolerance) ||
                       (s == VariableStatus::at_zero && std::fabs(d) > tolerance);
    if (!wrong) continue;
    if (boxed(lower_[jj], upper_[jj])) {
      s = d < 0.0 ? VariableStatus::at_upper : VariableStatus::at_lower;
      basis_.x[jj] = s == VariableStatus::at_upper ? upper_[jj] : lower_[jj];
      flipped = true;
    } else {
      ++unboxed;
      unboxed_sum += std::fabs(d);
    }
  }
  if (flipped) {
    compute_basic_values();
    compute_objective();
  }
  return unboxed;
}

// The first phase: the auxiliary problem (bounds [-1, 1], [0, 1], [-1, 0] or [0, 0],
// right-hand side zero) solved by the second phase. Returns false when the run must
// end (result in phase_end_) or hand over.
bool DualRun::phase_one() {
  phase_one_ = true;
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    const bool has_lower = finite_lower(lp_.lower[jj]);
    const bool has_upper = finite_upper(lp_.upper[jj]);
    if (has_lower && has_upper) {
      lower_[jj] = upper_[jj] = 0.0;
    } else if (has_lower) {
      lower_[jj] = 0.0;
      upper_[jj] = 1.0;
    } else if (has_upper) {
      lower_[jj] = -1.0;
      upper_[jj] = 0.0;
    } else {
      lower_[jj] = -1.0;
      upper_[jj] = 1.0;
    }
    VariableStatus& s = basis_.status[jj];
    if (s != VariableStatus::basic) s = d_[jj] < 0.0 ? VariableStatus::at_upper : VariableStatus::at_lower;
  }
  std::fill(rhs_.begin(), rhs_.end(), 0.0);
  place_nonbasic();
  compute_basic_values();
  compute_objective();
  return true;
}

// Moves the costs away from zero reduced costs in the direction that keeps them dual
// feasible, so that ties in the ratio test become rare.
void DualRun::perturb_costs() {
  std::uniform_real_distribution<double> spread(0.0, 1.0);
  double largest = 0.0;
  for (std::int32_t j = m_; j < total_; ++j)
    largest = std::max(largest, std::fabs(lp_.cost[static_cast<std::size_t>(j)]));
  const double base = kCostPerturbation * std::min(1.0, std::max(largest, 1.0e-3));
  double tied = 0.0;
  {
    std::vector<double> values;  // once per run
    for (std::int32_t j = m_; j < total_; ++j) {
      const double c = std::fabs(lp_.cost[static_cast<std::size_t>(j)]);
      if (c != 0.0) values.push_back(c);
    }
    if (values.size() >= kTiedCostCount) {
      std::sort(values.begin(), values.end());
      const double scale = std::min(largest, kTiedScaleOfMedian * values[values.size() / 2]);
      const auto distinct = static_cast<double>(std::unique(values.begin(), values.end()) - values.begin());
      if (distinct <= kTiedCostShare * static_cast<double>(values.size())) tied = kTiedPerturbation * scale;
    }
  }
  for (std::int32_t j = m_; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (lower_[jj] == upper_[jj]) continue;
    const double size = (base * (1.0 + std::fabs(cost_[jj])) + tied) * (1.0 + spread(random_));
    const VariableStatus s = basis_.status[jj];
    double sign = 0.0;
    if (s == VariableStatus::at_lower)
      sign = 1.0;
    else if (s == VariableStatus::at_upper)
      sign = -1.0;
    else if (s == VariableStatus::basic)
      sign = finite_lower(lower_[jj]) ? 1.0 : finite_upper(upper_[jj]) ? -1.0 : 0.0;
    cost_[jj] += sign * size;
  }
  costs_changed_ = true;
}

// Unboxed nonbasic variables whose reduced cost has the wrong sign get costs that make
// it zero (costs_changed_ has the true costs restored before the next optimum).
void DualRun::shift_dual_infeasible() {
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    const VariableStatus s = basis_.status[jj];
    if (s == VariableStatus::basic || lower_[jj] == upper_[jj]) continue;
    const double d = d_[jj];
    if ((s == VariableStatus::at_lower && d < 0.0) || (s == VariableStatus::at_upper && d > 0.0) ||
        (s == VariableStatus::at_zero && d != 0.0)) {
      cost_[jj] -= d;
      d_[jj] = 0.0;
      costs_changed_ = true;
    }
  }
  dual_infeasible_count_ = 0;
  compute_objective();
}

void DualRun::count_primal_infeasibilities() {
  primal_infeasible_count_ = 0;
  primal_infeasible_sum_ = 0.0;
  for (std::int32_t v : basis_.header) {
    const auto jj = static_cast<std::size_t>(v);
    const double below = lower_[jj] - basis_.x[jj];
    const double above = basis_.x[jj] - upper_[jj];
    if (below > primal_tol_) {
      ++primal_infeasible_count_;
      primal_infeasible_sum_ += below;
    } else if (above > primal_tol_) {
      ++primal_infeasible_count_;
      primal_infeasible_sum_ += above;
    }
  }
}

// The leaving position: the largest squared infeasibility over its weight.
std::int32_t DualRun::choose_row(double& infeasibility) {
  std::int32_t best = -1;
  double best_merit = 0.0;
  const double* infeas = infeasibility_.data();
  const double* weight = weight_.data();
  for (const std::int32_t p : infeasible_list_) {
    const auto pp = static_cast<std::size_t>(p);
    if (row_rejected_[pp]) continue;
    const double merit = infeas[pp] * infeas[pp] / weight[pp];
    // Ties go to the lower position, whatever the order of the list.
    if (merit > best_merit || (merit == best_merit && best >= 0 && p < best)) {
      best_merit = merit;
      best = p;
    }
  }
  if (best >= 0) infeasibility = infeas[static_cast<std::size_t>(best)];
  return best;
}

// alpha_pj = rho^T a_j over the nonbasic variables: by rows over the nonzeros of rho
// when it is sparse, else by columns.
void DualRun::form_pivot_row() {
  // Raw pointers: the compiler cannot keep vector members in registers across the
  // stores of the inner loops.
  double* row_value = row_value_.data();
  char* listed = row_listed_.data();
  std::int32_t* list = row_list_.data();
  const VariableStatus* status = basis_.status.data();
  for (std::int32_t k = 0; k < row_count_; ++k) {
    row_value[list[k]] = 0.0;
    listed[list[k]] = 0;
  }
  std::int32_t count = 0;
  const Entries rho = entries_of(rho_);
  // By rows when the nonbasic entries of rho's rows are clearly fewer than those of
  // the matrix (a scattered update costs about twice a column's dot product per entry).
  bool row_wise = false;
  if (rho.list != nullptr) {
    std::int64_t row_work = rho.count;
    for (std::int32_t k = 0; k < rho.count; ++k) row_work += nonbasic_rows_.end(rho[k]) - nonbasic_rows_.begin(rho[k]);
    row_wise = static_cast<double>(row_work) < kRowWiseShare * static_cast<double>(nonbasic_rows_.nonbasic_entries());
  }
  if (row_wise) {
    const std::int32_t* column = nonbasic_rows_.column();
    const double* value = nonbasic_rows_.value();
    const std::int32_t m = m_;
    for (std::int32_t k = 0; k < rho.count; ++k) {
      const std::int32_t i = rho[k];
      const double r = rho.value[i];
      if (r == 0.0) continue;
      if (status[i] != VariableStatus::basic) {
        row_value[i] = r;
        listed[i] = 1;
        list[count++] = i;
      }
      const std::int32_t end = nonbasic_rows_.end(i);
      for (std::int32_t e = nonbasic_rows_.begin(i); e < end; ++e) {
        const std::int32_t v = m + column[e];
        if (!listed[v]) {
          listed[v] = 1;
          list[count++] = v;
        }
        row_value[v] += r * value[e];
      }
    }
    row_count_ = count;
    return;
  }
  const double* r = rho.value;
  for (std::int32_t i = 0; i < m_; ++i) {
    if (r[i] == 0.0 || status[i] == VariableStatus::basic) continue;
    row_value[i] = r[i];
    listed[i] = 1;
    list[count++] = i;
  }
  const std::int32_t* start = lp_.column_start.data();
  const std::int32_t* row_index = lp_.row_index.data();
  const double* matrix_value = lp_.value.data();
  // Over the nonbasic columns only, in ascending order (the two lists merged): a status
  // test per column of the matrix was as good as random, while few of the listed
  // columns have entered the basis since the lists were built.
  const std::span<const std::int32_t> built = nonbasic_rows_.built_nonbasic_columns();
  const std::span<const std::int32_t> later = nonbasic_rows_.later_nonbasic_columns();
  const std::size_t built_count = built.size();
  const std::size_t later_count = later.size();
  std::size_t b = 0;
  std::size_t l = 0;
  while (b < built_count || l < later_count) {
    std::int32_t c;
    if (l == later_count || (b < built_count && built[b] < later[l])) {
      c = built[b++];
      if (status[m_ + c] == VariableStatus::basic) continue;
    } else {
      c = later[l++];
    }
    const std::int32_t v = m_ + c;
    double sum = 0.0;
    for (std::int32_t k = start[c]; k < start[c + 1]; ++k) sum += r[row_index[k]] * matrix_value[k];
    if (sum == 0.0) continue;
    row_value[v] = sum;
    listed[v] = 1;
    list[count++] = v;
  }
  row_count_ = count;
}

// The boxed variables passed by the ratio test go to their other bound; the basic
// values follow through one FTRAN of the sum of their columns.
void DualRun::apply_flips() {
  if (ratio_.flips.empty()) return;
  double* f = flip_column_.value_data();
  flip_column_.clear();
  flip_index_.clear();
  double objective_change = 0.0;
  auto add = [&](std::int32_t i, double value) {
    if (f[i] == 0.0) flip_index_.push_back(i);
    f[i] += value;
    if (f[i] == 0.0) f[i] = 1.0e-300;  // keep it listed once
  };
  for (const std::int32_t j : ratio_.flips) {
    const auto jj = static_cast<std::size_t>(j);
    VariableStatus& s = basis_.status[jj];
    const double to = s == VariableStatus::at_upper ? lower_[jj] : upper_[jj];
    const double delta = to - basis_.x[jj];
    s = s == VariableStatus::at_upper ? VariableStatus::at_lower : VariableStatus::at_upper;
    basis_.x[jj] = to;
    objective_change += cost_[jj] * delta;
    if (j < m_) {
      add(j, delta);
    } else {
      const auto col = jj - static_cast<std::size_t>(m_);
      for (auto k = static_cast<std::size_t>(lp_.column_start[col]);
           k < static_cast<std::size_t>(lp_.column_start[col + 1]); ++k) {
        add(lp_.row_index[k], lp_.value[k] * delta);
      }
    }
  }
  flips_ += static_cast<std::int64_t>(ratio_.flips.size());
  std::copy(flip_index_.begin(), flip_index_.end(), flip_column_.index_data());
  flip_column_.set_sparse(static_cast<std::int32_t>(flip_index_.size()));
  factor_.ftran(flip_column_);
  // x_B -= B^-1 sum a_j delta_j.
  const Entries e = entries_of(flip_column_);
  for (std::int32_t k = 0; k < e.count; ++k) {
    const std::int32_t p = e[k];
    const double value = e.value[p];
    if (value == 0.0) continue;
    const auto pp = static_cast<std::size_t>(p);
    basic_value_[pp] -= value;
    basis_.x[static_cast<std::size_t>(basis_.header[pp])] = basic_value_[pp];
    objective_change -= basic_cost_[pp] * value;
    refresh_infeasibility(p);
  }
  objective_ += objective_change;
}

// The squared norm of the leaving variable's column, for the lower bound of the dual
// steepest-edge weights: the update loses accuracy by cancellation, and the new row i
// of B^-1 is rho_i - r rho_p with r = alpha_i / alpha_p, whose product with the leaving
// variable's column a_l is -r (rho_i a_l = 0, rho_p a_l = 1), so that its squared norm
// is at least r^2 / |a_l|^2.
double DualRun::leaving_column_norm(std::int32_t leaving) const {
  if (leaving < m_) return 1.0;
  const auto col = static_cast<std::size_t>(leaving - m_);
  double norm = 0.0;
  for (auto k = static_cast<std::size_t>(lp_.column_start[col]);
       k < static_cast<std::size_t>(lp_.column_start[col + 1]); ++k) {
    norm += lp_.value[k] * lp_.value[k];
  }
  return norm;
}

// One iteration from the choice of the leaving row. Returns refresh to go on.
PhaseEnd DualRun::iterate_once() {
  double infeasibility = 0.0;
  clock_.charge(PrimalStepKind::update);
  const std::int32_t p = choose_row(infeasibility);
  clock_.charge(PrimalStepKind::pricing);
  if (p < 0 && !rejected_rows_.empty()) {
    // Only rows whose pivots could not be trusted are left: the primal finishes.
    return PhaseEnd::hand_over;
  }
  if (p < 0) {
    if (fresh_) return PhaseEnd::optimal;
    // A re-solve trusts a factorisation with few updates once the basic values
    // recomputed with it confirm the answer; otherwise INVERT first.
    if (settings_.resolve && !verified_ && factor_.updates_since_invert() < kTrustedUpdates) {
      verified_ = true;
      compute_basic_values();
      compute_objective();
      if (choose_row(infeasibility) < 0) return PhaseEnd::optimal;
      return PhaseEnd::refresh;
    }
    return invert() ? PhaseEnd::refresh : PhaseEnd::failed;
  }
  verified_ = false;
  const int direction = infeasibility < 0.0 ? -1 : 1;  // leaves at its lower / upper bound
  const auto leaving = basis_.header[static_cast<std::size_t>(p)];

  rho_.set_unit(p, 1.0);
  factor_.btran(rho_);
  if (rho_.state() == WorkVectorState::dense) rho_.sparsify(settings_.common.factor.zteta);
  clock_.charge(PrimalStepKind::btran);
  {
    // The leaving row's weight is known exactly here.
    const Entries rho = entries_of(rho_);
    double norm = 0.0;
    for (std::int32_t k = 0; k < rho.count; ++k) norm += rho.value[rho[k]] * rho.value[rho[k]];
    weight_[static_cast<std::size_t>(p)] = std::max(norm, kMinimumWeight);
  }
  form_pivot_row();
  clock_.charge(PrimalStepKind::pivot_row);
  dual_ratio_test(std::span<const std::int32_t>(row_list_.data(), static_cast<std::size_t>(row_count_)), row_value_, d_,
                  basis_.status, lower_, upper_, direction, std::fabs(infeasibility), ratio_settings_, ratio_work_,
                  ratio_);
  clock_.charge(PrimalStepKind::ratio_test);
  if (ratio_.entering < 0) {
    if (!fresh_) return invert() ? PhaseEnd::refresh : PhaseEnd::failed;
    return PhaseEnd::infeasible;
  }
  const std::int32_t q = ratio_.entering;
  const auto qq = static_cast<std::size_t>(q);

  transform_entering_column(lp_, factor_, q, column_);
  clock_.charge(PrimalStepKind::ftran);
  const double alpha_p = column_.values()[static_cast<std::size_t>(p)];
  if (std::fabs(alpha_p - ratio_.alpha) > kPivotAgreement * (1.0 + std::fabs(alpha_p)) ||
      std::fabs(alpha_p) < kDualPivotTolerance) {
    // The row and the column disagree on the pivot: the factorisation has drifted.
    if (!fresh_) return invert() ? PhaseEnd::refresh : PhaseEnd::failed;
    if (std::fabs(alpha_p) < kDualPivotTolerance || std::fabs(alpha_p - ratio_.alpha) > 1.0e-3 * std::fabs(alpha_p)) {
      // Even a fresh factorisation cannot settle this pivot: the row waits until the
      // basis has changed.
      row_rejected_[static_cast<std::size_t>(p)] = 1;
      rejected_rows_.push_back(p);
      return PhaseEnd::refresh;
    }
  }

  // tau = B^-1 rho for the weights.
  {
    const Entries rho = entries_of(rho_);
    if (rho.list != nullptr) {
      tau_.clear();
      double* t = tau_.value_data();
      std::int32_t* index = tau_.index_data();
      for (std::int32_t k = 0; k < rho.count; ++k) {
        t[rho[k]] = rho.value[rho[k]];
        index[k] = rho[k];
      }
      tau_.set_sparse(rho.count);
    } else {
      tau_.load_dense(rho_.values());
    }
    factor_.ftran(tau_);
  }

  apply_flips();
  clock_.charge(PrimalStepKind::ftran);

  // Dual step; a reduced cost the tolerance let past zero is shifted to zero.
  double theta_d = ratio_.theta;
  if (theta_d < 0.0) {
    const double old_cost = cost_[qq];
    cost_[qq] -= d_[qq];
    objective_ += (cost_[qq] - old_cost) * basis_.x[qq];
    d_[qq] = 0.0;
    theta_d = 0.0;
    costs_changed_ = true;
  }
  if (theta_d != 0.0) {
    const double step = theta_d * direction;
    const std::int32_t* list = row_list_.data();
    const double* row_value = row_value_.data();
    double* d = d_.data();
    for (std::int32_t k = 0; k < row_count_; ++k) d[list[k]] -= step * row_value[list[k]];
  }
  d_[static_cast<std::size_t>(leaving)] = -theta_d * direction;
  d_[qq] = 0.0;

  // Primal step (the leaving variable lands on the bound it violated) and the dual
  // steepest-edge weights (exact for the leaving row, updated for the others with
  // tau = B^-1 rho), in one pass over the column.
  const auto lv = static_cast<std::size_t>(leaving);
  const double target = direction < 0 ? lower_[lv] : upper_[lv];
  const double theta_p = (basis_.x[lv] - target) / alpha_p;
  {
    const double w_p = weight_[static_cast<std::size_t>(p)];
    const double floor_scale = 1.0 / leaving_column_norm(leaving);
    const Entries col = entries_of(column_);
    const double* tau = tau_.values().data();
    double* weight = weight_.data();
    double* x = basis_.x.data();
    double* xb = basic_value_.data();
    const double* cb = basic_cost_.data();
    const std::int32_t* header = basis_.header.data();
    double change = cost_[qq] * theta_p;
    for (std::int32_t k = 0; k < col.count; ++k) {
      const std::int32_t i = col[k];
      const double a = col.value[i];
      if (a == 0.0 || i == p) continue;
      xb[i] -= theta_p * a;
      x[header[i]] = xb[i];
      change -= cb[i] * theta_p * a;
      // The exchange below changes the header in position p only: the others' flags
      // are settled here, while their values are at hand (a second pass over a dense
      // column cost 8% of qap15's time).
      refresh_infeasibility(i);
      const double ratio = a / alpha_p;
      const double w = weight[i] + ratio * (ratio * w_p - 2.0 * tau[i]);
      weight[i] = std::max(w, std::max(ratio * ratio * floor_scale, kMinimumWeight));
    }
    weight[p] = std::max(w_p / (alpha_p * alpha_p), kMinimumWeight);
    objective_ += change;
    x[qq] += theta_p;
  }
  objective_ += cost_[lv] * (target - basis_.x[lv]);
  basis_.x[lv] = target;

  Step step;
  step.kind = StepKind::pivot;
  step.position = p;
  step.leaves_at_upper = direction > 0;
  const bool kept = exchange_basis(basis_, factor_, column_, q, step, lower_, upper_, settings_.common.factor);
  load_position(p);
  refresh_infeasibility(p);
  if (q >= m_) nonbasic_rows_.column_enters_basis(q - m_);
  if (leaving >= m_) nonbasic_rows_.column_leaves_basis(leaving - m_);
  if (basis_.status[lv] == VariableStatus::at_lower && direction > 0) basis_.x[lv] = lower_[lv];  // fixed
  fresh_ = false;
  ++iterations_;
  for (const std::int32_t r : rejected_rows_) row_rejected_[static_cast<std::size_t>(r)] = 0;
  rejected_rows_.clear();
  if (!kept || factor_.refactor_due(settings_.common.factor, true)) refactor_ = true;
  clock_.charge(PrimalStepKind::update);
  log(false, q, leaving);
  return PhaseEnd::refresh;
}

// Iterates until the phase ends.
PhaseEnd DualRun::iterate() {
  for (;;) {
    if (iteration_base_ + iterations_ >= settings_.common.iteration_limit) return PhaseEnd::iteration_limit;
    if (observer_.should_stop()) return PhaseEnd::stopped;
    if (refactor_ && !invert()) return PhaseEnd::failed;
    if (settings_.resolve && !phase_one_ && objective_ >= settings_.cutoff) return PhaseEnd::cutoff;
    const PhaseEnd end = iterate_once();
    if (end != PhaseEnd::refresh) return end;
    if (!phase_one_ && progress_test()) {
      too_little_progress_ = true;
      return PhaseEnd::hand_over;
    }
  }
}

// True when the run has made too little progress by the mark.
bool DualRun::progress_test() {
  if (settings_.progress_interval <= 0) return false;
  const std::int64_t count = iteration_base_ + iterations_;
  if (count < progress_mark_) return false;
  if (objective_ > progress_objective_ + dual_tol_) {
    progress_objective_ = objective_;
    progress_mark_ = count + std::max<std::int64_t>(1, settings_.progress_interval_after);
    return false;
  }
  return true;
}

void DualRun::log(bool final_line, std::int32_t entering, std::int32_t leaving) {
  const std::int64_t iteration = iteration_base_ + iterations_;
  if (!observer_.wants_line(iteration, final_line)) return;
  count_primal_infeasibilities();
  SimplexObserver::Progress progress;
  progress.iteration = iteration;
  progress.objective = objective_;
  progress.dual_infeasibilities = dual_infeasible_count_;
  progress.primal_infeasibilities = primal_infeasible_count_;
  progress.sum_infeasibilities = primal_infeasible_sum_;
  progress.entering = entering;
  progress.leaving = leaving;
  progress.final_line = final_line;
  progress.mode = 'D';
  observer_.iteration(progress);
}

DualResult DualRun::finish(DualEnd end) {
  if (phase_one_ && end != DualEnd::failed) {
    // Leave a basis of the true problem behind.
    phase_one_ = false;
    lower_ = lp_.lower;
    upper_ = lp_.upper;
    rhs_ = lp_.rhs;
    place_nonbasic();
    compute_basic_values();
    compute_objective();
  }
  DualResult result;
  result.end = end;
  result.too_little_progress = too_little_progress_;
  result.iterations = iterations_;
  // The objective of the true costs.
  double sum = 0.0;
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (lp_.cost[jj] != 0.0) sum += lp_.cost[jj] * basis_.x[jj];
  }
  result.objective = end == DualEnd::cutoff ? objective_ : sum;
  count_primal_infeasibilities();
  result.primal_infeasibilities = primal_infeasible_count_;
  result.sum_infeasibilities = primal_infeasible_sum_;
  result.dual_infeasibilities = dual_infeasible_count_;
  result.bound_flips = flips_;
  result.inverts = inverts_;
  result.factor_status = factor_status_;
  result.workspace_needed = workspace_needed_;
  clock_.charge(PrimalStepKind::update);
  result.step_seconds = clock_.seconds();
  log(true, -1, -1);
  return result;
}

DualEnd end_of(PhaseEnd end) {
  switch (end) {
    case PhaseEnd::optimal:
      return DualEnd::optimal;
    case PhaseEnd::infeasible:
      return DualEnd::infeasible;
    case PhaseEnd::stopped:
      return DualEnd::stopped;
    case PhaseEnd::iteration_limit:
      return DualEnd::iteration_limit;
    case PhaseEnd::cutoff:
      return DualEnd::cutoff;
    case PhaseEnd::hand_over:
      return DualEnd::hand_over;
    case PhaseEnd::failed:
    case PhaseEnd::refresh:
      break;
  }
  return DualEnd::failed;
}

DualResult DualRun::run(bool factor_current) {
  clock_.start();
  if (factor_current && factor_.valid() && factor_.rows() == m_) {
    basis_.index_positions(total_);
    nonbasic_rows_.build(lp_, basis_.status);
    place_nonbasic();
    compute_basic_values();
    compute_duals();
    compute_objective();
    fresh_ = factor_.updates_since_invert() == 0;
  } else if (!invert()) {
    return finish(DualEnd::failed);
  }
  log(false, -1, -1);
  if (settings_.price_limit > 0.0) {
    // The prices of the start: d_j of the logicals are -pi_i.
    double largest = 0.0;
    for (std::int32_t i = 0; i < m_; ++i) largest = std::max(largest, std::fabs(d_[static_cast<std::size_t>(i)]));
    if (largest * dual_tol_ >= settings_.price_limit) return finish(DualEnd::hand_over);
  }
  progress_mark_ = settings_.progress_interval > 0 ? iteration_base_ + settings_.progress_interval + 1 : 0;

  double unboxed_sum = 0.0;
  dual_infeasible_count_ = flip_dual_infeasible(dual_tol_, unboxed_sum);
  if (dual_infeasible_count_ > 0) {
    phase_one();
    const PhaseEnd end = iterate();
    if (end != PhaseEnd::optimal) {
      // The auxiliary problem is bounded and feasible: only limits stop it.
      return finish(end == PhaseEnd::infeasible ? DualEnd::hand_over : end_of(end));
    }
    phase_one_ = false;
    lower_ = lp_.lower;
    upper_ = lp_.upper;
    rhs_ = lp_.rhs;
    for (std::int32_t j = 0; j < total_; ++j) {
      const auto jj = static_cast<std::size_t>(j);
      VariableStatus& s = basis_.status[jj];
      if (s == VariableStatus::basic) continue;
      if (boxed(lower_[jj], upper_[jj]))
        s = d_[jj] < 0.0 ? VariableStatus::at_upper : VariableStatus::at_lower;
      else
        s = default_nonbasic_status(lower_[jj], upper_[jj]);
    }
    place_nonbasic();
    compute_basic_values();
    compute_objective();
    dual_infeasible_count_ = flip_dual_infeasible(dual_tol_, unboxed_sum);
    if (dual_infeasible_count_ > 0) return finish(DualEnd::hand_over);
  }
  progress_objective_ = objective_;

  if (settings_.perturb_costs && !settings_.resolve) {
    perturb_costs();
    compute_duals();
    dual_infeasible_count_ = flip_dual_infeasible(dual_tol_, unboxed_sum);
    if (dual_infeasible_count_ > 0) {
      shift_dual_infeasible();  // tiny wrong-signed reduced costs of unboxed variables
    } else {
      compute_objective();
    }
  }

  int removals = 0;
  for (;;) {
    const PhaseEnd end = iterate();
    if (end != PhaseEnd::optimal) return finish(end_of(end));
    // Back to the true costs, priced afresh: the ratio test's tolerance leaves reduced
    // costs up to the optimality tolerance on the wrong side, which on badly scaled
    // problems moves the objective by more than its own tolerance. Flips repair boxed
    // variables (the dual goes on when they leave the basis infeasible); unboxed ones
    // are left to the primal.
    if (costs_changed_) cost_ = lp_.cost;
    costs_changed_ = false;
    compute_duals();
    compute_objective();
    dual_infeasible_count_ = flip_dual_infeasible(kFinalDualShare * dual_tol_, unboxed_sum);
    count_primal_infeasibilities();
    if (dual_infeasible_count_ == 0 && primal_infeasible_count_ == 0) return finish(DualEnd::optimal);
    if (++removals > kMaxRemovals) return finish(DualEnd::hand_over);
    if (dual_infeasible_count_ > 0) {
      // From a primal feasible basis the primal removes the dual infeasibilities
      // directly; otherwise the dual first removes the primal infeasibilities the flips
      // left (nesm: 81 of them beside one dual infeasibility, which the primal took
      // 860 iterations to settle from an infeasible start), with the offending costs
      // shifted for the while.
      if (primal_infeasible_count_ == 0) return finish(DualEnd::hand_over);
      shift_dual_infeasible();
    }
  }
}

}  // namespace

DualResult dual_simplex(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, const DualSettings& settings,
                        SimplexObserver& observer, std::int64_t iteration_base, bool factor_current) {
  DualRun run(lp, basis, factor, settings, observer, iteration_base);
  return run.run(factor_current);
}

}  // namespace kqopt
