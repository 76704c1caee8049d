// The primal simplex method.
//
// The run: INVERT; then iterate — price with the row prices of the current phase,
// choose the entering variable by the largest attractive reduced cost, FTRAN its
// column, choose the leaving position by a two-pass ratio test with bound
// tolerances, update the basic values and the factorisation — until pricing finds
// nothing attractive. While some basic variable lies outside its bounds the prices
// come from the sum of infeasibilities (phase 1; with the composite mode the true
// costs are added to the weighted infeasibilities). Every terminal decision is
// taken on a fresh factorisation; a perturbation of the bounds put in against
// stalling is taken out before one is accepted, and the run goes on from there
// when the basis is no longer optimal or feasible.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "simplex/core/simplex_basis.h"
#include "simplex/core/working_lp.h"
#include "simplex/factor/factor.h"

namespace kqopt {

struct PrimalSettings {
  double feasibility_tolerance = 1.0e-6;  // ZTOLZE
  double optimality_tolerance = 1.0e-6;   // ZTCOST
  // The reduced-cost tolerance a run closes on, once optimal to ZTCOST (at or above
  // ZTCOST: no closing iterations).
  double closing_tolerance = 1.0e-8;
  double reduced_cost_agreement = 1.0e-7;     // ZTOLDJ: carried against recomputed d_q
  double pivot_tolerance = 1.0e-9;            // ZTOLPV
  double relative_pivot_tolerance = 1.0e-6;   // ZTOLRP
  double short_step = 1.0e-15;                // ZTSHFT
  double perturbation_step = 1.0e-6;          // ZPETRB
  bool perturb = true;                        // IPETRB != 0
  bool composite = false;                     // IFBIGM set explicitly to a nonzero value
  double big_m = 1024.0;                      // BIGM: phase-1 weight of the composite mode
  double infeasibility_weight = 128.0;        // INFWGT
  std::int64_t iteration_limit = 2147483645;  // ITRLIM
  // Entering choice by d_j^2 / w_j with reference weights w_j (true), or by the largest
  // |d_j| alone (false).
  bool pricing_weights = true;
  // With pricing weights: keep each weight equal to the restricted norm it stands for
  // (one more BTRAN per iteration and a product with each column of the pivot row), rather
  // than a lower bound raised through the pivot row.
  bool exact_weights = true;
  // On problems with many more columns than rows, price interleaved sections of the
  // columns instead of carrying every reduced cost (RCAND scales the section length).
  bool partial_pricing = true;
  double candidate_factor = 1.0;  // RCAND
  bool time_steps = false;        // accumulate PrimalResult::step_seconds
  bool report_weights = false;    // fill PrimalResult::reference_weights and reference_framework
  FactorSettings factor;
};

// The steps of an iteration whose time a run can account for.
enum class PrimalStepKind : int { pricing, btran, pivot_row, ftran, ratio_test, update, invert, count };
using PrimalStepSeconds = std::array<double, static_cast<std::size_t>(PrimalStepKind::count)>;

enum class LpOutcome : char {
  optimal = 'O',
  infeasible = 'N',
  unbounded = 'U',
  stopped = 'C',          // time limit or user interrupt
  iteration_limit = 'Z',  // stopped by the iteration limit
  cutoff = 'D',           // a re-solve's dual simplex reached the search cutoff
  failed = 'F',           // the factorisation failed; see factor_status
};

struct PrimalResult {
  LpOutcome outcome = LpOutcome::failed;
  std::int64_t iterations = 0;  // made by this run
  double objective = 0.0;       // cost^T x of the final basis
  std::int32_t primal_infeasibilities = 0;
  double sum_infeasibilities = 0.0;
  std::int32_t dual_infeasibilities = 0;
  std::int32_t unbounded_variable = -1;  // entering variable of an unbounded ray
  FactorStatus factor_status = FactorStatus::ok;
  std::int64_t workspace_needed = 0;
  double big_m = 0.0;                // the composite weight at the end
  PrimalStepSeconds step_seconds{};  // with PrimalSettings::time_steps
  // With PrimalSettings::report_weights and weights in force: the pricing weight of every
  // variable and whether it belongs to the reference framework, as the run ended.
  std::vector<double> reference_weights;
  std::vector<char> reference_framework;
};

// What the simplex tells the world while it runs, and asks of it.
class SimplexObserver {
 public:
  virtual ~SimplexObserver() = default;
  // Called once per iteration; true stops the run (time limit, user interrupt).
  virtual bool should_stop() = 0;
  struct Progress {
    std::int64_t iteration = 0;
    double objective = 0.0;  // the infeasibility sum while infeasible
    std::int32_t dual_infeasibilities = 0;
    std::int32_t primal_infeasibilities = 0;
    double sum_infeasibilities = 0.0;
    std::int32_t entering = -1;
    std::int32_t leaving = -1;
    bool final_line = false;
    char mode = 'P';  // 'P' primal, 'D' dual
  };
  // Whether a log line would be printed for this iteration (so that the run computes
  // the objective for it only then).
  virtual bool wants_line(std::int64_t iteration, bool final_line) = 0;
  virtual void iteration(const Progress& progress) = 0;
  virtual void inverted(const InvertReport& report) = 0;
};

// Solves lp from the given basis (which must match lp). The basis and x are left
// as the run ends. iteration_base is the count already made by the caller.
PrimalResult primal_simplex(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, const PrimalSettings& settings,
                            SimplexObserver& observer, std::int64_t iteration_base = 0);

// Row prices pi (m) and reduced costs d (m + n; zero for basic variables) of the
// current basis for the true costs. The factorisation must be valid for basis.
void compute_duals(const WorkingLp& lp, const SimplexBasis& basis, Factor& factor, std::vector<double>& pi,
                   std::vector<double>& reduced_cost);

// x_B = B^-1 (rhs - N x_N) for the current basis. The factorisation must be valid.
void recompute_basic_values(const WorkingLp& lp, SimplexBasis& basis, Factor& factor);

}  // namespace kqopt
