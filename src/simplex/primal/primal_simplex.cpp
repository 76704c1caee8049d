// The primal simplex run: major loop, pricing, ratio test and basis change. See
// primal_simplex.h for the outline of a run.
#include "simplex/primal/primal_simplex.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "problem/infinity.h"
#include "simplex/core/invert_driver.h"
#include "simplex/primal/primal_step.h"
#include "simplex/primal/step_clock.h"

namespace kqopt {

namespace {

constexpr int kMaxShiftingRemovals = 5;

// Feasibility lost again after it was reached, time after time: on a tolerance near the
// rounding of the data, phase 1 and phase 2 can undo each other for ever. Past this many
// relapses the bounds are perturbed (at most kMaxRelapsePerturbations times); past that
// the run stops without an answer rather than loop.
constexpr int kMaxRelapses = 50;
constexpr int kMaxRelapsePerturbations = 2;

// A reference weight this far above the one measured from the entering column means
// the weights have drifted from their framework: a new framework starts.
constexpr double kReferenceDrift = 3.0;

// Share of the matrix's entries in the rows of rho above which the pivot row is formed
// column by column.
constexpr double kColumnWisePivotRow = 0.3;

// Partial pricing is used when the columns are at least this many times the rows (and
// at least kPartialMinColumns).
constexpr std::int32_t kPartialAspect = 20;
constexpr std::int32_t kPartialMinColumns = 1000;

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
        cost_change_(lp.rows),
        pivot_row_prices_(lp.rows),
        pivot_row_(static_cast<std::size_t>(lp.columns), 0.0),
        rejected_(static_cast<std::size_t>(lp.variables()), 0),
        reference_weight_(settings.pricing_weights ? static_cast<std::size_t>(lp.variables()) : 0, 1.0),
        in_reference_(settings.pricing_weights ? static_cast<std::size_t>(lp.variables()) : 0, 0),
        edge_prices_(lp.rows),
        weight_(settings.big_m),
        composite_(settings.composite),
        optimality_tolerance_(settings.optimality_tolerance),
        clock_(settings.time_steps) {
    const std::int32_t s = lp.columns;
    if (settings.partial_pricing && s >= kPartialMinColumns && s >= kPartialAspect * std::max(m_, 1)) {
      // Section lengths grow with the column count.
      constexpr std::array<std::int32_t, 11> kBelow = {100,   500,   1000,  2000,  5000,     10000,
                                                       15000, 20000, 25000, 30000, 100000000};
      constexpr std::array<std::int32_t, 11> kLength = {5, 10, 15, 20, 30, 60, 90, 120, 150, 200, 250};
      std::size_t i = 0;
      while (i + 1 < kBelow.size() && s >= kBelow[i]) ++i;
      std::int32_t length = static_cast<std::int32_t>(kLength[i] * settings.candidate_factor);
      if (2 * length >= 998) length = 499;
      sections_ = std::max(1, s / std::max(length, 1));
    }
    weighted_ = settings.pricing_weights && sections_ == 0;
    exact_weights_ = weighted_ && settings.exact_weights;
  }

  PrimalResult run();

 private:
  bool invert();
  void recompute_infeasibilities();
  void form_prices();
  void price_all();
  std::int32_t choose_entering(double& reduced_cost);
  std::int32_t choose_in_sections(double& reduced_cost);
  double reduced_cost_of(std::int32_t j) const;
  enum class Agreement { agrees, unattractive, disagrees };
  Agreement reduced_cost_agrees(std::int32_t q, double d_q, double& recomputed) const;
  void reject(std::int32_t q, bool troubled);
  bool form_pivot_row(std::int32_t p);
  bool form_row(const WorkVector& rho);
  double basic_phase_cost(std::int32_t v) const;
  double nonbasic_phase_cost(std::int32_t v) const;
  void follow_phase_one_costs(std::int32_t q, std::int32_t p, std::int32_t leaving, double leaving_cost);
  void update_through_pivot_row(std::int32_t q, std::int32_t p, bool costs, bool weights);
  void reset_reference_framework();
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
  WorkVector column_;         // FTRAN of the entering column, by position
  RatioTestWork ratio_work_;  // scratch of the ratio test
  WorkVector prices_;         // BTRAN work
  std::vector<double> pi_;
  std::vector<double> basic_cost_;
  // Reduced costs of the nonbasic variables for the phase they were priced in. In
  // phase 2 the costs do not change, so they are carried from one basis to the next
  // through the pivot row instead of being priced afresh.
  std::vector<double> reduced_cost_;
  bool reduced_costs_current_ = false;
  bool reduced_costs_carried_ = false;  // changed through pivot rows since last priced
  bool priced_phase_one_ = false;       // the reduced costs held are for the phase-1 costs
  WorkVector cost_change_;              // change of the phase-1 basic costs, then its BTRAN
  WorkVector pivot_row_prices_;         // rho = e_p^T B^-1
  std::vector<double> pivot_row_;       // alpha_r = rho^T A, per column
  std::vector<std::int32_t> pivot_row_columns_;
  std::vector<char> rejected_;  // rejected for this factorisation
  std::vector<std::int32_t> rejected_list_;
  std::int32_t troubled_rejections_ = 0;
  // Pricing weights: w_j approximates 1 + the squared norm of the entering column of j
  // restricted to the variables of a reference framework (the nonbasic set when the
  // framework was last reset), so that d_j^2 / w_j measures the gain per unit of
  // movement in the space of the framework rather than along one coordinate.
  std::vector<double> reference_weight_;
  std::vector<char> in_reference_;
  // With exact weights: v = B^-T (alpha_q restricted to the basic variables of the
  // framework), whose products a_j^T v with the columns of the pivot row keep the weights
  // equal to the restricted norms they stand for instead of bounding them from below.
  WorkVector edge_prices_;
  bool exact_weights_ = false;
  // Partial pricing on problems with many more columns than rows: no reduced cost is
  // carried; each choice prices the logicals and interleaved sections of the columns
  // (section k holds the columns j with j mod sections_ = k) from fresh prices, from a
  // rotating start, until one section has shown an attractive variable. 0: full pricing.
  std::int32_t sections_ = 0;
  std::int32_t next_section_ = 0;
  bool weighted_ = false;  // pricing weights in force

  std::int64_t iterations_ = 0;
  std::int32_t infeasible_count_ = 0;
  double infeasible_sum_ = 0.0;
  std::int32_t dual_infeasible_count_ = 0;
  double weight_;
  bool composite_;
  // The reduced-cost tolerance in force: ZTCOST, then, once the basis is optimal to it,
  // the closing tolerance (see run()).
  double optimality_tolerance_;
  bool closing_ = false;  // iterating to the closing tolerance
  std::int64_t closing_start_ = 0;
  bool perturbed_ = false;  // working bounds differ from the LP's (perturbation or shifts)
  bool shifts_allowed_ = true;
  bool lenient_ = false;  // accept any pivot above the absolute tolerance
  int removals_ = 0;
  int perturbations_ = 0;
  int relapses_ = 0;
  int relapse_perturbations_ = 0;
  bool was_feasible_ = false;
  std::int64_t short_steps_ = 0;
  std::int32_t unbounded_variable_ = -1;
  FactorStatus factor_status_ = FactorStatus::ok;
  std::int64_t workspace_needed_ = 0;
  std::mt19937 random_{12345};
  StepClock clock_;
};

bool PrimalRun::invert() {
  clock_.charge(PrimalStepKind::update);
  InvertReport report;
  factor_status_ = invert_basis(lp_, lower_, upper_, basis_, factor_, settings_.factor, report);
  observer_.inverted(report);
  if (factor_status_ != FactorStatus::ok) {
    workspace_needed_ = report.workspace_needed;
    return false;
  }
  clear_rejections();
  recompute_infeasibilities();
  reduced_costs_current_ = false;
  clock_.charge(PrimalStepKind::invert);
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
  clock_.charge(PrimalStepKind::pricing);
  factor_.btran(prices_);
  clock_.charge(PrimalStepKind::btran);
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
  reduced_costs_current_ = true;
  reduced_costs_carried_ = false;
  priced_phase_one_ = infeasible_count_ > 0;
}

// The priced reduced cost against d_q = c_q - c_B^T alpha computed from the entering
// column itself (phase 2 only): they must agree, and the recomputed value must still
// make the variable attractive in the same direction.
PrimalRun::Agreement PrimalRun::reduced_cost_agrees(std::int32_t q, double d_q, double& recomputed) const {
  const double* alpha = column_.values().data();
  const bool listed = column_.state() == WorkVectorState::sparse;
  const std::int32_t count = listed ? column_.nonzero_count() : m_;
  const std::int32_t* list = listed ? column_.nonzeros().data() : nullptr;
  recomputed = nonbasic_phase_cost(q);
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t p = listed ? list[k] : k;
    if (alpha[p] != 0.0) recomputed -= basic_phase_cost(basis_.header[static_cast<std::size_t>(p)]) * alpha[p];
  }
  if (std::fabs(recomputed) <= optimality_tolerance_ || (recomputed < 0.0) != (d_q < 0.0))
    return Agreement::unattractive;
  const double difference = std::fabs(recomputed - d_q);
  return difference <= 1.0e-9 + settings_.reduced_cost_agreement * std::fabs(recomputed) ? Agreement::agrees
                                                                                         : Agreement::disagrees;
}

// Excludes q from pricing until the next INVERT. Troubled: q is attractive but its pivot
// or its reduced cost cannot be trusted, which an optimal or infeasible verdict must not
// pass over; otherwise q merely turned out not to be attractive.
void PrimalRun::reject(std::int32_t q, bool troubled) {
  rejected_[static_cast<std::size_t>(q)] = 1;
  rejected_list_.push_back(q);
  if (troubled) ++troubled_rejections_;
}

// rho = e_p^T B^-1 and, when its rows are few, the structural part of the pivot row
// alpha_p = rho^T A formed row by row over the nonzeros of rho, the touched columns
// listed in pivot_row_columns_. Returns false when the rows of rho hold more than a
// fraction of the matrix: a pass over the nonbasic columns is then cheaper than the
// scattered row-wise sums, and the caller forms the row column by column.
bool PrimalRun::form_pivot_row(std::int32_t p) {
  pivot_row_prices_.set_unit(p, 1.0);
  clock_.charge(PrimalStepKind::update);
  factor_.btran(pivot_row_prices_);
  clock_.charge(PrimalStepKind::btran);
  return form_row(pivot_row_prices_);
}

// rho^T A by rows into pivot_row_ (see form_pivot_row); false, with nothing formed, when
// the rows of rho are too many.
bool PrimalRun::form_row(const WorkVector& rho_vector) {
  const double* rho = rho_vector.values().data();
  const bool listed = rho_vector.state() == WorkVectorState::sparse;
  const std::int32_t count = listed ? rho_vector.nonzero_count() : m_;
  const std::int32_t* list = listed ? rho_vector.nonzeros().data() : nullptr;
  const std::int32_t* row_start = lp_.row_start.data();
  std::int64_t row_entries = 0;
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t i = listed ? list[k] : k;
    if (rho[i] != 0.0) row_entries += row_start[i + 1] - row_start[i];
  }
  if (row_entries > kColumnWisePivotRow * static_cast<double>(lp_.row_index.size())) return false;
  const std::int32_t* column_index = lp_.column_index.data();
  const double* row_value = lp_.row_value.data();
  double* row = pivot_row_.data();
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t i = listed ? list[k] : k;
    const double r = rho[i];
    if (r == 0.0) continue;
    for (std::int32_t e = row_start[i]; e < row_start[i + 1]; ++e) {
      const std::int32_t j = column_index[e];
      if (row[j] == 0.0) pivot_row_columns_.push_back(j);
      row[j] += r * row_value[e];
      if (row[j] == 0.0) row[j] = 1.0e-300;  // keep it listed once
    }
  }
  return true;
}

// Carries the reduced costs (costs) and the reference weights (weights) across the
// basis change q in, position p out, through the pivot row of the basis before the
// change: d_j -= (d_q / alpha_pq) alpha_pj, the leaving variable gets -d_q / alpha_pq;
// w_j = max(w_j, (alpha_pj / alpha_pq)^2 w_q), or with exact weights
// w_j - 2 (alpha_pj / alpha_pq) a_j^T v + (alpha_pj / alpha_pq)^2 w_q (the new edge of j
// is its old one less alpha_pj / alpha_pq times that of q; v as for edge_prices_), and the
// leaving variable gets max(w_q / alpha_pq^2, 1), with w_q measured afresh from the
// entering column. Weights are kept at 1 or more, as the reference variables' own are.
void PrimalRun::update_through_pivot_row(std::int32_t q, std::int32_t p, bool costs, bool weights) {
  const double alpha_p = column_.values()[p];
  const double ratio = costs ? reduced_cost_[static_cast<std::size_t>(q)] / alpha_p : 0.0;
  double weight_q = 0.0;
  bool reset = false;
  const bool exact = weights && exact_weights_;
  if (weights) {
    const double* alpha = column_.values().data();
    const bool listed = column_.state() == WorkVectorState::sparse;
    const std::int32_t count = listed ? column_.nonzero_count() : m_;
    const std::int32_t* list = listed ? column_.nonzeros().data() : nullptr;
    weight_q = in_reference_[static_cast<std::size_t>(q)] ? 1.0 : 0.0;
    double* v = nullptr;
    std::int32_t* v_index = nullptr;
    std::int32_t v_count = 0;
    if (exact) {
      edge_prices_.clear();
      v = edge_prices_.value_data();
      v_index = edge_prices_.index_data();
    }
    for (std::int32_t k = 0; k < count; ++k) {
      const std::int32_t i = listed ? list[k] : k;
      if (alpha[i] == 0.0 || !in_reference_[static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(i)])])
        continue;
      weight_q += alpha[i] * alpha[i];
      if (exact) {
        v[i] = alpha[i];
        v_index[v_count++] = i;
      }
    }
    weight_q = std::max(weight_q, 1.0);
    reset = reference_weight_[static_cast<std::size_t>(q)] > kReferenceDrift * weight_q;
    if (exact) {
      edge_prices_.set_sparse(v_count);
      clock_.charge(PrimalStepKind::pivot_row);
      factor_.btran(edge_prices_);
      clock_.charge(PrimalStepKind::btran);
    }
  }
  const bool row_wise = form_pivot_row(p);
  const double weight_scale = weights ? weight_q / (alpha_p * alpha_p) : 0.0;
  double* d = reduced_cost_.data();
  double* w = reference_weight_.data();
  const VariableStatus* status = basis_.status.data();
  const double* v = edge_prices_.values().data();
  const double two_over_pivot = 2.0 / alpha_p;
  const double inverse_pivot_squared = weight_q / (alpha_p * alpha_p);
  // Exact: w_j - 2 (alpha_pj / alpha_pq) a_j^T v + (alpha_pj / alpha_pq)^2 w_q, floored at 1.
  auto exact_weight = [&](double wj, double a, double dot) {
    return std::max(wj - two_over_pivot * a * dot + a * a * inverse_pivot_squared, 1.0);
  };

  const double* rho = pivot_row_prices_.values().data();
  const bool listed = pivot_row_prices_.state() == WorkVectorState::sparse;
  const std::int32_t count = listed ? pivot_row_prices_.nonzero_count() : m_;
  const std::int32_t* list = listed ? pivot_row_prices_.nonzeros().data() : nullptr;
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t i = listed ? list[k] : k;
    const double r = rho[i];
    if (r == 0.0 || status[i] == VariableStatus::basic) continue;
    if (costs) d[i] -= ratio * r;
    if (exact)
      w[i] = exact_weight(w[i], r, v[i]);
    else if (weights)
      w[i] = std::max(w[i], r * r * weight_scale);
  }
  const std::int32_t* column_start = lp_.column_start.data();
  const std::int32_t* row_index = lp_.row_index.data();
  const double* value = lp_.value.data();
  if (row_wise) {
    double* row = pivot_row_.data();
    for (std::int32_t j : pivot_row_columns_) {
      const std::int32_t col = m_ + j;
      const double a = row[j];
      row[j] = 0.0;
      if (status[col] == VariableStatus::basic) continue;
      if (costs) d[col] -= ratio * a;
      if (exact) {
        double dot = 0.0;
        for (std::int32_t e = column_start[j]; e < column_start[j + 1]; ++e) dot += v[row_index[e]] * value[e];
        w[col] = exact_weight(w[col], a, dot);
      } else if (weights) {
        w[col] = std::max(w[col], a * a * weight_scale);
      }
    }
    pivot_row_columns_.clear();
  } else {
    for (std::int32_t j = 0; j < lp_.columns; ++j) {
      const std::int32_t col = m_ + j;
      if (status[col] == VariableStatus::basic) continue;
      double a = 0.0;
      double dot = 0.0;
      if (exact) {
        for (std::int32_t e = column_start[j]; e < column_start[j + 1]; ++e) {
          a += rho[row_index[e]] * value[e];
          dot += v[row_index[e]] * value[e];
        }
      } else {
        for (std::int32_t e = column_start[j]; e < column_start[j + 1]; ++e) a += rho[row_index[e]] * value[e];
      }
      if (a == 0.0) continue;
      if (costs) d[col] -= ratio * a;
      if (exact)
        w[col] = exact_weight(w[col], a, dot);
      else if (weights)
        w[col] = std::max(w[col], a * a * weight_scale);
    }
  }
  const auto leaving = static_cast<std::size_t>(basis_.header[static_cast<std::size_t>(p)]);
  if (costs) {
    d[leaving] = -ratio;
    d[q] = 0.0;
  }
  if (weights) {
    w[leaving] = std::max(weight_scale, 1.0);
    if (reset) {
      // The framework of the basis after the change: the leaving variable in, q out.
      reset_reference_framework();
      in_reference_[leaving] = 1;
      in_reference_[static_cast<std::size_t>(q)] = 0;
    }
  }
  clock_.charge(PrimalStepKind::pivot_row);
}

// The cost of v in the current phase: as a basic variable (with the infeasibility slope
// times the weight while infeasible) and as a nonbasic one. Matches form_prices().
double PrimalRun::basic_phase_cost(std::int32_t v) const {
  const auto vv = static_cast<std::size_t>(v);
  if (infeasible_count_ == 0) return lp_.cost[vv];
  const double tol = settings_.feasibility_tolerance;
  const double w = composite_ ? weight_ : 1.0;
  double cost = composite_ ? lp_.cost[vv] : 0.0;
  if (basis_.x[vv] < lower_[vv] - tol)
    cost -= w;
  else if (basis_.x[vv] > upper_[vv] + tol)
    cost += w;
  return cost;
}

double PrimalRun::nonbasic_phase_cost(std::int32_t v) const {
  return infeasible_count_ == 0 || composite_ ? lp_.cost[static_cast<std::size_t>(v)] : 0.0;
}

// Phase 1 after a step that kept phase 1 (q entered at position p, leaving left it at
// cost leaving_cost; p < 0 for a bound flip): the reduced costs carried through the
// pivot row are those of the phase-1 costs before the step. The basic variables the step
// moved across a bound changed their cost by delta; the prices change by delta^T B^-1
// and every nonbasic d_j by -(delta^T B^-1) a_j, the leaving variable also by the change
// of its own cost. Usually no cost changes and nothing is to be done; otherwise a BTRAN
// of a short vector and its row replace a full pricing pass.
void PrimalRun::follow_phase_one_costs(std::int32_t q, std::int32_t p, std::int32_t leaving, double leaving_cost) {
  const double* alpha = column_.values().data();
  const bool listed = column_.state() == WorkVectorState::sparse;
  const std::int32_t count = listed ? column_.nonzero_count() : m_;
  const std::int32_t* list = listed ? column_.nonzeros().data() : nullptr;
  cost_change_.clear();
  double* delta = cost_change_.value_data();
  std::int32_t* index = cost_change_.index_data();
  std::int32_t changed = 0;
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t i = listed ? list[k] : k;
    if (alpha[i] == 0.0 && i != p) continue;
    const auto ii = static_cast<std::size_t>(i);
    const std::int32_t v = basis_.header[ii];
    const double before = i == p ? nonbasic_phase_cost(q) : basic_cost_[ii];
    const double after = basic_phase_cost(v);
    basic_cost_[ii] = after;
    if (after == before) continue;
    delta[i] = after - before;
    index[changed++] = i;
  }
  double* d = reduced_cost_.data();
  if (p >= 0) d[leaving] += nonbasic_phase_cost(leaving) - leaving_cost;
  cost_change_.set_sparse(changed);
  if (changed == 0) return;
  clock_.charge(PrimalStepKind::update);
  factor_.btran(cost_change_);
  clock_.charge(PrimalStepKind::btran);
  const VariableStatus* status = basis_.status.data();
  const double* y = cost_change_.values().data();
  const bool y_listed = cost_change_.state() == WorkVectorState::sparse;
  const std::int32_t y_count = y_listed ? cost_change_.nonzero_count() : m_;
  const std::int32_t* y_list = y_listed ? cost_change_.nonzeros().data() : nullptr;
  for (std::int32_t k = 0; k < y_count; ++k) {
    const std::int32_t i = y_listed ? y_list[k] : k;
    if (status[i] != VariableStatus::basic) d[i] -= y[i];
  }
  if (form_row(cost_change_)) {
    double* row = pivot_row_.data();
    for (std::int32_t j : pivot_row_columns_) {
      const std::int32_t v = m_ + j;
      if (status[v] != VariableStatus::basic) d[v] -= row[j];
      row[j] = 0.0;
    }
    pivot_row_columns_.clear();
  } else {
    const std::int32_t* column_start = lp_.column_start.data();
    const std::int32_t* row_index = lp_.row_index.data();
    const double* value = lp_.value.data();
    for (std::int32_t j = 0; j < lp_.columns; ++j) {
      const std::int32_t v = m_ + j;
      if (status[v] == VariableStatus::basic) continue;
      double a = 0.0;
      for (std::int32_t e = column_start[j]; e < column_start[j + 1]; ++e) a += y[row_index[e]] * value[e];
      d[v] -= a;
    }
  }
  clock_.charge(PrimalStepKind::pricing);
}

// The framework becomes the current nonbasic set, with every weight 1.
void PrimalRun::reset_reference_framework() {
  for (std::int32_t j = 0; j < total_; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    in_reference_[jj] = basis_.status[jj] != VariableStatus::basic;
    reference_weight_[jj] = 1.0;
  }
}

// The most attractive nonbasic variable that can move: the largest d_j^2 / w_j with
// reference weights, the largest |d_j| without.
std::int32_t PrimalRun::choose_entering(double& chosen_cost) {
  const double tol = optimality_tolerance_;
  const bool weighted = weighted_;
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
    if (weighted) merit = merit * merit / reference_weight_[jj];
    if (merit > best_merit) {
      best_merit = merit;
      best = j;
      chosen_cost = d;
    }
  }
  return best;
}

// Partial pricing (see sections_): the largest sign-adjusted |d_j| over the logicals
// and the sections priced, which run from the rotating start until one section has
// shown an attractive variable, or all have been priced.
std::int32_t PrimalRun::choose_in_sections(double& chosen_cost) {
  const double tol = optimality_tolerance_;
  const bool true_costs = infeasible_count_ == 0 || composite_;
  const VariableStatus* status = basis_.status.data();
  const double* pi = pi_.data();
  std::int32_t best = -1;
  double best_merit = 0.0;
  std::int32_t attractive = 0;
  auto weigh = [&](std::int32_t j, double d) {
    const auto jj = static_cast<std::size_t>(j);
    double merit;
    if (status[jj] == VariableStatus::at_lower)
      merit = -d;
    else if (status[jj] == VariableStatus::at_upper)
      merit = d;
    else
      merit = std::fabs(d);
    if (merit <= tol || upper_[jj] == lower_[jj]) return;
    ++attractive;
    if (rejected_[jj]) return;
    if (merit > best_merit) {
      best_merit = merit;
      best = j;
      chosen_cost = d;
    }
  };
  for (std::int32_t i = 0; i < m_; ++i) {
    if (status[i] == VariableStatus::basic) continue;
    weigh(i, (true_costs ? lp_.cost[static_cast<std::size_t>(i)] : 0.0) - pi[i]);
  }
  const std::int32_t* column_start = lp_.column_start.data();
  const std::int32_t* row_index = lp_.row_index.data();
  const double* value = lp_.value.data();
  const double* cost = lp_.cost.data() + m_;
  for (std::int32_t pass = 0; pass < sections_; ++pass) {
    const std::int32_t k = next_section_;
    next_section_ = next_section_ + 1 == sections_ ? 0 : next_section_ + 1;
    for (std::int32_t j = k; j < lp_.columns; j += sections_) {
      if (status[m_ + j] == VariableStatus::basic) continue;
      double d = true_costs ? cost[j] : 0.0;
      for (std::int32_t e = column_start[j]; e < column_start[j + 1]; ++e) d -= pi[row_index[e]] * value[e];
      weigh(m_ + j, d);
    }
    if (best >= 0) break;
  }
  dual_infeasible_count_ = attractive;  // of the sections priced
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
  return primal_ratio_test(basis_, lower_, upper_, column_, q, direction, ratio, ratio_work_);
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
  if (reduced_costs_current_ || weighted_) {
    update_through_pivot_row(q, step.position, reduced_costs_current_, weighted_);
    reduced_costs_carried_ = reduced_costs_current_;
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
  troubled_rejections_ = 0;
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
  // An INVERT cut short by the time limit or an interrupt stops the run like an iteration would.
  if (outcome == LpOutcome::failed && factor_status_ == FactorStatus::stopped) outcome = LpOutcome::stopped;
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
  result.step_seconds = clock_.seconds();
  if (settings_.report_weights && weighted_) {
    result.reference_weights = reference_weight_;
    result.reference_framework = in_reference_;
  }
  log(true, -1, -1);
  return result;
}

PrimalResult PrimalRun::run() {
  clock_.start();
  if (weighted_) reset_reference_framework();
  if (!invert()) return finish(LpOutcome::failed);
  const double max_weight = 5.0 * settings_.big_m;
  const std::int64_t stall_limit = std::max<std::int64_t>(50, m_ / 10);
  const std::int64_t closing_budget = std::max<std::int64_t>(1000, m_);
  bool fresh = true;  // no basis change since the last INVERT

  for (;;) {
    if (iteration_base_ + iterations_ >= settings_.iteration_limit) return finish(LpOutcome::iteration_limit);
    if (observer_.should_stop()) return finish(LpOutcome::stopped);
    if (infeasible_count_ > 0 && was_feasible_ && ++relapses_ > kMaxRelapses) {
      if (!settings_.perturb || perturbed_ || relapse_perturbations_ >= kMaxRelapsePerturbations) {
        return finish(LpOutcome::stopped);
      }
      ++relapse_perturbations_;
      relapses_ = 0;
      perturb_bounds();
      if (!invert()) return finish(LpOutcome::failed);
      fresh = true;
    }
    was_feasible_ = infeasible_count_ == 0;

    // Priced afresh after INVERT and when the phase changes; carried otherwise.
    double d_q = 0.0;
    std::int32_t q = -1;
    if (sections_ > 0) {
      form_prices();
      q = choose_in_sections(d_q);
    } else {
      if (!reduced_costs_current_ || priced_phase_one_ != (infeasible_count_ > 0)) price_all();
      q = choose_entering(d_q);
    }
    clock_.charge(PrimalStepKind::pricing);
    if (q < 0) {
      // Terminal decisions only on a fresh factorisation with the true bounds.
      if (!fresh) {
        if (!invert()) return finish(LpOutcome::failed);
        fresh = true;
        continue;
      }
      if (troubled_rejections_ > 0) {
        // Attractive candidates were turned down for their small pivots. Try them once
        // more accepting any pivot above the absolute tolerance; when even that fails
        // no answer can be given with confidence.
        if (lenient_) {
          if (optimality_tolerance_ < settings_.optimality_tolerance) {
            // Turned down while closing: the basis stands as optimal to ZTCOST, which
            // the candidates are checked against once more.
            optimality_tolerance_ = settings_.optimality_tolerance;
            clear_rejections();
            continue;
          }
          if (perturbed_ && removals_ < kMaxShiftingRemovals) {
            // The widened bounds may be what makes the pivots small: try again on the
            // true ones.
            lenient_ = false;
            if (!remove_perturbation()) return finish(LpOutcome::failed);
            continue;
          }
          return finish(LpOutcome::stopped);
        }
        lenient_ = true;
        clear_rejections();
        continue;
      }
      if (perturbed_) {
        if (!remove_perturbation()) return finish(LpOutcome::failed);
        continue;
      }
      if (infeasible_count_ == 0) {
        // Optimal to ZTCOST. Reduced costs just inside it, on variables with wide
        // ranges, still leave the objective short of the optimum by far more than the
        // rounding of the data: the run closes on a hundredfold tighter tolerance, which
        // takes few further iterations. Should the closing iterations run long (a stall
        // on tiny reduced costs), the basis is finished to ZTCOST instead.
        if (!closing_ && settings_.closing_tolerance < optimality_tolerance_) {
          closing_ = true;
          closing_start_ = iterations_;
          optimality_tolerance_ = settings_.closing_tolerance;
          continue;
        }
        return finish(LpOutcome::optimal);
      }
      if (composite_) {
        if (weight_ > max_weight) {
          weight_ = settings_.infeasibility_weight;
          composite_ = false;
          reduced_costs_current_ = false;
        } else {
          weight_ *= 2.0;
          reduced_costs_current_ = false;
        }
        continue;
      }
      // Infeasible to ZTCOST. A phase-1 reduced cost just inside it, on a variable with
      // a wide range, can still remove an infeasibility far above ZTOLZE: a verdict of
      // infeasibility, like an optimum, waits for the hundredfold tighter tolerance.
      if (!closing_ && settings_.closing_tolerance < optimality_tolerance_) {
        closing_ = true;
        closing_start_ = iterations_;
        optimality_tolerance_ = settings_.closing_tolerance;
        continue;
      }
      return finish(LpOutcome::infeasible);
    }

    if (closing_ && optimality_tolerance_ < settings_.optimality_tolerance &&
        iterations_ - closing_start_ > closing_budget) {
      optimality_tolerance_ = settings_.optimality_tolerance;
      continue;
    }
    const int direction = d_q < 0.0 ? 1 : -1;
    load_column(q);
    clock_.charge(PrimalStepKind::ftran);
    double recomputed = d_q;
    const Agreement agreement = reduced_costs_current_ ? reduced_cost_agrees(q, d_q, recomputed) : Agreement::agrees;
    if (agreement != Agreement::agrees) {
      if (reduced_costs_carried_) {
        // Carried values have drifted: price afresh.
        reduced_costs_current_ = false;
        continue;
      }
      if (agreement == Agreement::unattractive) {
        // Freshly priced, yet the column shows q not to be attractive: passed over in
        // phase 2; in phase 1 a verdict of infeasibility must not rest on that.
        reject(q, infeasible_count_ > 0);
        continue;
      }
      // Freshly priced and still attractive by the column, which differs only in the
      // rounding of the two computations: the column's value is the one to go on with.
      reduced_cost_[static_cast<std::size_t>(q)] = recomputed;
    }
    const Step step = ratio_test(q, direction);
    clock_.charge(PrimalStepKind::ratio_test);
    if (step.kind == StepKind::rejected || (step.kind == StepKind::unbounded && infeasible_count_ > 0)) {
      reject(q, true);
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
    const double leaving_cost =
        step.kind == StepKind::pivot ? basic_cost_[static_cast<std::size_t>(step.position)] : 0.0;
    const bool factor_kept = apply_step(q, direction, step);
    ++iterations_;
    if (step.kind == StepKind::pivot) fresh = false;
    recompute_infeasibilities();
    clock_.charge(PrimalStepKind::update);
    if (factor_kept && reduced_costs_current_ && priced_phase_one_ && infeasible_count_ > 0) {
      follow_phase_one_costs(q, step.kind == StepKind::pivot ? step.position : -1, leaving, leaving_cost);
    }
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

  // One step of refinement: the residual of B x_B = rhs - N x_N, with x_B as computed,
  // solved for the correction. The solve's error grows with the condition of B and the
  // size of x; the corrected values satisfy the rows to near the rounding of the data,
  // which the bound checks in the caller's units (where a row scaled down magnifies a
  // residual) need.
  for (std::int32_t p = 0; p < m; ++p) {
    const std::int32_t v = basis.header[static_cast<std::size_t>(p)];
    const double xv = basis.x[static_cast<std::size_t>(v)];
    if (xv == 0.0) continue;
    if (v < m) {
      r[static_cast<std::size_t>(v)] -= xv;
      continue;
    }
    const auto col = static_cast<std::size_t>(v - m);
    for (auto k = static_cast<std::size_t>(lp.column_start[col]);
         k < static_cast<std::size_t>(lp.column_start[col + 1]); ++k) {
      r[static_cast<std::size_t>(lp.row_index[k])] -= lp.value[k] * xv;
    }
  }
  w.load_dense(r);
  factor.ftran(w);
  for (std::int32_t p = 0; p < m; ++p)
    basis.x[static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)])] += xb[p];
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
  // One step of refinement, as for the basic values: the residual c_B - B^T pi solved
  // for the correction, so that the basic variables' reduced costs are zero to rounding.
  for (std::int32_t p = 0; p < m; ++p) {
    const auto v = static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)]);
    double r = cb[static_cast<std::size_t>(p)];
    if (v < static_cast<std::size_t>(m)) {
      r -= pi[v];
    } else {
      const auto col = v - static_cast<std::size_t>(m);
      for (auto k = static_cast<std::size_t>(lp.column_start[col]);
           k < static_cast<std::size_t>(lp.column_start[col + 1]); ++k) {
        r -= pi[static_cast<std::size_t>(lp.row_index[k])] * lp.value[k];
      }
    }
    cb[static_cast<std::size_t>(p)] = r;
  }
  w.load_dense(cb);
  factor.btran(w);
  for (std::int32_t i = 0; i < m; ++i) pi[static_cast<std::size_t>(i)] += w.values()[static_cast<std::size_t>(i)];
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
