// The homogeneous self-dual interior-point method on the library LP: Mehrotra predictor
// and second-order corrector, extra centrality corrections (as many as a solve is cheap
// against a factorisation), a line search that keeps the iterate in a neighbourhood of
// the central path, separate primal and dual steps once kappa is small against tau,
// infeasibility detection from tau and kappa, an early stop when a crossover follows,
// and a return to the best earlier iterate when the method stalls. Linearly dependent
// rows are taken out before it starts (their prices come back as zero); one whose
// right-hand side disagrees with the rows it depends on makes the problem infeasible.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "barrier/homogeneous/barrier_lp.h"

namespace kqopt::barrier {

// Solver status codes ("NORMAL" ... "ERROR").
enum class SolverStatus : std::int32_t {
  normal = 0,
  out_of_space = 1,
  max_iterations = 4,
  max_time = 5,
  user_break = 6,
  stalled = 7,
  numerical = 8,
  factor_error = 9,
};
// Problem status codes ("UNKNOWN" ... "PDINFEAS").
enum class ProblemStatus : std::int32_t {
  unknown = 0,
  pfeas = 1,
  dfeas = 2,
  pdfeas = 3,
  infeas = 4,
  pinfeas = 5,
  dinfeas = 6,
  pdinfeas = 7,
};

const char* solver_status_word(std::int32_t code);
const char* problem_status_word(std::int32_t code);

struct HsdSettings {
  std::int32_t iteration_limit = 200;
  double primal_tolerance = 1.0e-8;
  double dual_tolerance = 1.0e-8;
  double gap_tolerance = 1.0e-8;
  double min_step = 1.0e-10;
  double tau_guard = 1.0e-8;
  bool crossover = true;
  std::int32_t corrector_limit = 10;
  std::int32_t scaling_class = 1;
  // Normal-equations factor.
  std::int32_t ordering = 0;
  bool push = true;
  std::int32_t dense_threshold = 40;
  std::int32_t cache_kilobytes = 250;
  double pivot_tolerance = 1.0e-13;
  double fill_threshold = 1.0;
};

// The figures of one iteration, as the log prints them.
struct HsdProgress {
  std::int32_t iteration = 0;
  double primal_infeasibility = 0.0;  // relative
  double dual_infeasibility = 0.0;    // relative
  double kappa_over_tau = 0.0;
  double primal_objective = 0.0;
  double dual_objective = 0.0;
  double complementarity = 0.0;  // relative gap
  std::int64_t nnz_aat = 0, nnz_l = 0;
  std::int32_t dense_columns = 0;
};

// Returns false to stop the run (solver status USER BREAK).
using HsdCallback = std::function<bool(const HsdProgress&)>;

struct HsdResult {
  SolverStatus solver_status = SolverStatus::normal;
  ProblemStatus problem_status = ProblemStatus::unknown;
  std::int32_t iterations = 0;
  std::int32_t corrections = 0;
  std::int32_t max_corrections = 0;
  std::int64_t trial_points = 0;
  double primal_objective = 0.0;
  double dual_objective = 0.0;
  double relative_gap = 0.0;
  double primal_infeasibility = 0.0;
  double dual_infeasibility = 0.0;
  double complementarity = 0.0;  // sum of products over tau squared
  std::int64_t nnz_aat = 0, nnz_l = 0;
  std::int32_t dense_columns = 0;
  std::int32_t dependent_rows = 0;         // taken out before the method ran
  std::vector<std::int32_t> removed_rows;  // those rows, in increasing order
  // The solution (divided by tau; for an infeasibility certificate the ray as it stands).
  std::vector<double> x;  // n
  std::vector<double> y;  // m
  std::vector<double> z;  // n: z - zu, the reduced costs of the columns
};

// Throws std::bad_alloc when memory is short (the caller reports OUT OF SPACE).
HsdResult hsd_solve(const BarrierLp& lp, const HsdSettings& settings, const HsdCallback& callback);

}  // namespace kqopt::barrier
