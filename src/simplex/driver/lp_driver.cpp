// The LP driver. A run: build the working LP from the problem with the objective
// sense applied; without a basis in place presolve it, solve the smaller LP and
// postsolve onto the problem as loaded, cleaning up with the primal simplex; else take
// the current basis (or the crash basis) and run the simplex; then set the LP status and attributes, keep the solution,
// write the basis back into the status words, write the solution file and print the
// closing message.
#include "simplex/driver/lp_driver.h"

#include <cmath>
#include <vector>

#include "frame/message_numbers.h"
#include "global/cuts/cut_rounds.h"
#include "global/search/search.h"
#include "library/callbacks.h"
#include "library/library.h"
#include "library/platform.h"
#include "output/solution_file.h"
#include "problem/matrix.h"
#include "problem/scale_exponents.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/barrier_step.h"
#include "simplex/driver/crash_step.h"
#include "simplex/driver/data_check.h"
#include "simplex/driver/engine_current.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/optimum_check.h"
#include "simplex/driver/presolve_step.h"
#include "simplex/dual/dual_simplex.h"
#include "simplex/prep/crash.h"
#include "simplex/primal/primal_simplex.h"

namespace kqopt {

namespace {

constexpr int kDebugLogFrequency = 9778653;

// LP status values of integer attribute 1010.
constexpr std::int32_t kLpOptimal = 1;
constexpr std::int32_t kLpInfeasible = 2;
constexpr std::int32_t kLpUnfinished = 4;
constexpr std::int32_t kLpNotBetter = 3;
constexpr std::int32_t kLpUnbounded = 5;
constexpr std::int32_t kLpCutoff = 6;

std::int32_t& int_attribute(Library& lib, int n) { return *lib.attributes.int_attribute(n); }
double& double_attribute(Library& lib, int n) { return *lib.attributes.double_attribute(n); }

// Prints the iteration log, calls the log callback, and polls the time limit and
// the user interrupt.
class DriverObserver : public SimplexObserver {
 public:
  explicit DriverObserver(Library& lib) : lib_(lib), start_(now()) {}

  bool should_stop() override {
    if (lib_.take_interrupt()) return true;
    const std::int32_t limit = lib_.controls.i(icv::MAXTIM);
    // A positive limit applies only once an integer solution exists; none can yet.
    return limit < 0 && seconds() >= -static_cast<std::int64_t>(limit);
  }

  bool wants_line(std::int64_t iteration, bool final_line) override {
    const std::int32_t frequency = lib_.controls.i(icv::ITRLOG);
    if (lib_.controls.i(icv::IQUIET) == 1) return false;
    if (final_line) return iteration != last_logged_;
    if (!logged_any_) return frequency != 0;  // the first line of the run
    return frequency != 0 && std::abs(frequency) != kDebugLogFrequency && iteration % std::abs(frequency) == 0;
  }

  void iteration(const Progress& progress) override { print_line(progress, lib_.controls.i(icv::ITRLOG)); }

  void inverted(const InvertReport& report) override { report_invert(lib_, report); }

 private:
  std::int64_t now() const {
    return lib_.controls.i(icv::CPUTIME) != 0 ? cpu_time_centiseconds() : elapsed_time_centiseconds();
  }
  std::int64_t seconds() const { return (now() - start_) / 100; }

  void print_line(const Progress& progress, std::int32_t frequency) {
    const std::int32_t heading_every = lib_.controls.i(icv::ITRHDG);
    if (frequency >= 0 && (!logged_any_ || (heading_every > 0 && lines_since_heading_ >= heading_every))) {
      print_message(lib_, kMessageLogHeading);
      flush_line(lib_);
      lines_since_heading_ = 0;
    }
    const int count_width = progress.iteration < 1000000 ? 6 : 12;
    if (frequency >= 0) {
      print_message(lib_, kMessageLogLine);
      put_integer(lib_, progress.iteration, count_width);
      put_real(lib_, progress.objective);
      const char mode[2] = {progress.mode, ' '};
      put_text(lib_, mode, 2);
      put_integer(lib_, progress.dual_infeasibilities, 6);
      put_real(lib_, progress.sum_infeasibilities);
      put_integer(lib_, seconds(), 6);
    } else {
      print_message(lib_, kMessageDetailedLogLine);
      put_integer(lib_, progress.iteration, count_width);
      put_text(lib_, &progress.mode, 1);
      put_real(lib_, progress.objective);
      put_integer(lib_, progress.entering, 6);
      put_integer(lib_, progress.leaving, 6);
      put_integer(lib_, progress.dual_infeasibilities, 6);
      put_real(lib_, progress.sum_infeasibilities);
      put_integer(lib_, 0, 6);
      put_integer(lib_, lib_.workspace.used() / 1024, 9);
      put_integer(lib_, lib_.workspace.free_bytes() / 1024, 9);
      put_integer(lib_, seconds(), 6);
    }
    flush_line(lib_);
    ++lines_since_heading_;
    logged_any_ = true;
    last_logged_ = progress.iteration;
    call_log_callback(lib_, lib_.callbacks.simplex_log);
  }

  Library& lib_;
  std::int64_t start_;
  bool logged_any_ = false;
  std::int64_t last_logged_ = -1;
  std::int32_t lines_since_heading_ = 0;
};

class ObserverStop : public StopPoll {
 public:
  explicit ObserverStop(SimplexObserver& observer) : observer_(observer) {}
  bool stop_requested() override { return observer_.should_stop(); }

 private:
  SimplexObserver& observer_;
};

void put_variable_name(Library& lib, const Problem& problem, std::int32_t v) {
  std::vector<char> name(static_cast<std::size_t>(problem.names.width()));
  problem.names.copy_name(v, name.data());
  put_text(lib, name.data(), static_cast<int>(name.size()));
}

// The method number: 1 or 2 the dual simplex, 3 the primal, 4 the barrier (whose
// crossover basis the primal finishes from).
int choose_method(Library& lib, DriverMode mode) {
  const Controls& c = lib.controls;
  const std::int32_t ialg = c.i(icv::IALG);
  int method = c.i(icv::IFDUAL) != 0 ? ialg : 3;
  if (lib.option('d')) method = 1;
  if (lib.option('b') || (ialg == 4 && !lib.option('d'))) method = 4;
  if (ialg == 6) method = int_attribute(lib, attr::kIntegerSolutions) != 0 ? 1 : 3;
  if (mode != DriverMode::kResolve && method == 2) method = 3;
  return method;
}

// A re-solve keeps the factorisation of the last run when the matrix and the basis in
// the status words are still the ones it was made for.
bool factor_still_current(const EngineState& engine, const Problem& problem) {
  if (!engine.factor_current || !engine.basis.matches(engine.lp) || engine.lp.rows != problem.row_slots() ||
      engine.lp.columns != problem.columns || engine.lp.column_start != problem.by_column.start ||
      engine.lp.row_index != problem.by_column.row || engine.lp.value != problem.by_column.value) {
    return false;
  }
  for (std::size_t v = 0; v < engine.basis.status.size(); ++v) {
    const bool basic = (problem.status[v] & status::kBasic) != 0;
    if (basic != (engine.basis.status[v] == VariableStatus::basic)) return false;
  }
  return true;
}

// The dual simplex with the hand-over to the primal, as one result.
PrimalResult run_dual(Library& lib, EngineState& engine, const WorkingLp& lp, SimplexBasis& basis, DriverMode mode,
                      const PrimalSettings& settings, SimplexObserver& observer, bool factor_current, double cutoff) {
  const Controls& c = lib.controls;
  std::int32_t& iterations = int_attribute(lib, attr::kIterations);
  const std::int64_t m = lp.rows;
  DualSettings dual;
  dual.common = settings;
  dual.resolve = mode == DriverMode::kResolve;
  dual.cutoff = cutoff;
  if (c.icv_access[icv::ITCH] > 0) {
    dual.progress_interval = c.i(icv::ITCH);
    dual.progress_interval_after = std::max<std::int64_t>(1, m / 5);
  } else if (dual.resolve) {
    dual.progress_interval = 10 * m;
    dual.progress_interval_after = std::max<std::int64_t>(1, m / 5);
  }
  const DualResult d = dual_simplex(lp, basis, engine.factor, dual, observer, iterations, factor_current);
  iterations += static_cast<std::int32_t>(d.iterations);
  PrimalResult result;
  if (d.end == DualEnd::hand_over) {
    if (d.too_little_progress && c.i(icv::IFMSG) != 0) {
      print_message(lib, kMessageDualStalling);
      flush_line(lib);
    }
    // A clean-up holds the reduced costs to a tenth of the tolerance, as the dual does
    // for its own final basis.
    PrimalSettings primal = settings;
    if (!d.too_little_progress) primal.optimality_tolerance *= 0.1;
    result = primal_simplex(lp, basis, engine.factor, primal, observer, iterations);
    iterations += static_cast<std::int32_t>(result.iterations);
    result.iterations += d.iterations;
    for (std::size_t k = 0; k < result.step_seconds.size(); ++k) result.step_seconds[k] += d.step_seconds[k];
    return result;
  }
  switch (d.end) {
    case DualEnd::optimal:
      result.outcome = LpOutcome::optimal;
      break;
    case DualEnd::infeasible:
      result.outcome = LpOutcome::infeasible;
      break;
    case DualEnd::stopped:
      result.outcome = LpOutcome::stopped;
      break;
    case DualEnd::iteration_limit:
      result.outcome = LpOutcome::iteration_limit;
      break;
    case DualEnd::cutoff:
      result.outcome = LpOutcome::cutoff;
      break;
    default:
      // The time limit or an interrupt met inside an INVERT stops the run; it is no failure.
      result.outcome = d.factor_status == FactorStatus::stopped ? LpOutcome::stopped : LpOutcome::failed;
      break;
  }
  result.iterations = d.iterations;
  result.objective = d.objective;
  result.primal_infeasibilities = d.primal_infeasibilities;
  result.sum_infeasibilities = d.sum_infeasibilities;
  result.dual_infeasibilities = d.dual_infeasibilities;
  result.factor_status = d.factor_status;
  result.workspace_needed = d.workspace_needed;
  result.big_m = settings.big_m;
  result.step_seconds = d.step_seconds;
  return result;
}

void print_closing_message(Library& lib, LpOutcome outcome, const EngineState& engine, const Problem& problem) {
  switch (outcome) {
    case LpOutcome::optimal:
      print_message(lib, kMessageOptimal);
      break;
    case LpOutcome::infeasible:
      print_message(lib, kMessageInfeasible);
      break;
    case LpOutcome::unbounded:
      if (engine.unbounded_variable >= 0) {
        print_message(lib, kMessageUnboundedColumn);
        put_variable_name(lib, problem, engine.unbounded_variable);
      } else {
        print_message(lib, kMessageUnbounded);
      }
      break;
    case LpOutcome::iteration_limit:
      print_message(lib, kMessageIterationLimit);
      break;
    case LpOutcome::cutoff:
      print_message(lib, kMessageCutoffNotBeaten);
      break;
    case LpOutcome::stopped:
    case LpOutcome::failed:
      print_message(lib, kMessageStopped);
      break;
  }
  flush_line(lib);
}

// A NaN or infinite value fails the solve; crossed bounds end it as infeasible. Either
// way no solution is kept.
std::int32_t refuse_faulty_data(Library& lib, DriverMode mode, const DataCheck& check, EngineState& engine,
                                const Problem& problem) {
  engine.has_solution = false;
  engine.factor_current = false;
  if (check.fault == DataFault::not_finite) {
    print_message(lib, kMessageDataNotFinite);
    put_variable_name(lib, problem, check.variable);
    flush_line(lib);
    lib.err.return_code = kRcInvalidCall;
    lib.err.error_number = kMessageDataNotFinite;
    lib.last_lp_outcome = kLpUnfinished;
    return lib.err.return_code;
  }
  print_message(lib, kMessageBoundsCross);
  put_variable_name(lib, problem, check.variable);
  flush_line(lib);
  int_attribute(lib, attr::kLpStatus) = kLpInfeasible;
  int_attribute(lib, 1007) = 1;
  int_attribute(lib, 1008) = 0;
  lib.last_lp_outcome = kLpInfeasible;
  if (mode != DriverMode::kResolve) {
    print_message(lib, kMessageInfeasible);
    flush_line(lib);
    flush_notice(lib);
  }
  return lib.err.return_code;
}

}  // namespace

std::int32_t run_lp_driver(Library& lib, DriverMode mode) {
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  Problem& problem = *lib.problem;
  // Changes to the problem may have left only the row-wise copy current.
  if (!ensure_column_copy(lib, problem)) return lib.err.return_code;
  EngineState& engine = engine_of(lib);
  int_attribute(lib, attr::kLpStatus) = kLpUnfinished;
  if (mode != DriverMode::kResolve) int_attribute(lib, attr::kIterations) = 0;

  double& sense = double_attribute(lib, attr::kSenseMultiplier);
  const double magnitude = std::fabs(sense) > 0.0 ? std::fabs(sense) : 1.0;
  if (mode == DriverMode::kMaximise) sense = -magnitude;
  if (mode == DriverMode::kMinimise) sense = magnitude;

  // The time limit counts from here: the crash, the working LP and the first INVERT of a
  // large problem take their share of it.
  DriverObserver observer(lib);

  // Data let through by IGNORE that no solve can answer on.
  const DataCheck check = check_problem_data(problem);
  if (check.fault != DataFault::none) return refuse_faulty_data(lib, mode, check, engine, problem);

  const int method = choose_method(lib, mode);
  const bool dual = method <= 2;
  const bool barrier = method == 4;
  const bool keep_factor = mode == DriverMode::kResolve && dual && factor_still_current(engine, problem);

  // Presolve gate; the primal starts a presolved LP from its crash basis.
  const bool presolving = !barrier && presolve_selected(lib, mode == DriverMode::kResolve);
  engine.presolved = false;
  engine.presolve_rows_removed = 0;
  engine.presolve_columns_removed = 0;
  engine.presolve_elements_removed = 0;
  engine.presolve_free_rows_removed = 0;
  engine.presolve_free_row_elements_removed = 0;
  engine.cleanup_iterations = 0;

  // Crash gate: without a basis (IFNBAS = 0) the crash builds one into the status
  // words for the primal; a basis loaded or left by an earlier solve is kept.
  if (mode != DriverMode::kResolve && !presolving && !barrier && lib.controls.i(icv::IFNBAS) == 0 && !dual) {
    run_crash(lib, problem);
  }
  release_crash_marks(problem);
  build_working_lp(problem, sense, engine.lp);
  // The search cutoff of a re-solve, in the engine's minimising units.
  const double user_cutoff = static_cast<float>(lib.controls.d(dcv::CUTOFF));
  const bool has_cutoff = mode == DriverMode::kResolve && std::fabs(user_cutoff) < 1.0e29;
  const double cutoff = has_cutoff ? sense * (user_cutoff - problem.objective_constant) : 1.0e300;
  Presolved presolved;
  SimplexBasis reduced_basis;
  if (presolving) {
    presolved = run_presolve(lib, problem, engine.lp);
    if (presolved.outcome != PresolveOutcome::reduced) {
      finish_proved_by_presolve(lib, presolved, problem.row_slots());
      return lib.err.return_code;
    }
    engine.presolved = true;
    engine.presolve_rows_removed = presolved.rows_removed;
    engine.presolve_columns_removed = presolved.columns_removed;
    engine.presolve_elements_removed = presolved.elements_removed;
    engine.presolve_free_rows_removed = presolved.free_rows_removed;
    engine.presolve_free_row_elements_removed = presolved.free_row_elements_removed;
    if (!dual) {
      crash_presolved(lib, problem, presolved, sense, reduced_basis);
    } else {
      reduced_basis.set_all_logical(presolved.lp);
    }
  }
  if (barrier) {
    // The interior point either is the result or hands its crossover basis to the primal.
    PrimalSettings barrier_settings = primal_settings(lib);
    ObserverStop barrier_stop(observer);
    barrier_settings.factor.stop = &barrier_stop;
    BarrierFigures figures;
    engine.running = true;
    const BarrierNext next = run_barrier(lib, sense, has_cutoff, cutoff, barrier_settings, figures);
    engine.running = false;
    engine.barrier_iterations = figures.iterations;
    engine.crossover_pushes = figures.pushes;
    engine.crossover_dual_pushes = figures.dual_pushes;
    if (next == BarrierNext::done) {
      if (mode != DriverMode::kResolve && lib.err.return_code == 0) {
        write_solution_file(lib);
        flush_notice(lib);
      }
      return lib.err.return_code;
    }
  }
  // The starting basis: the one held in the status words once a basis exists, else
  // the all-logical basis. A re-solve that keeps the factorisation keeps its header.
  // Postsolve rebuilds the basis of a presolved LP; the barrier leaves its crossover
  // basis in the engine.
  if (presolving) {
    // postsolve sets engine.basis
  } else if (barrier) {
    engine.basis.place_nonbasic(engine.lp);
  } else if (keep_factor) {
    engine.basis.place_nonbasic(engine.lp);
  } else if (lib.controls.i(icv::IFNBAS) != 0) {
    basis_from_status_words(problem, engine.lp, engine.basis);
  } else {
    engine.basis.set_all_logical(engine.lp);
  }
  lib.controls.i(icv::IFNBAS) = 1;

  engine.running = true;
  engine.has_solution = false;
  engine.factor_current = false;
  PrimalSettings settings = primal_settings(lib);
  // The phase-1 weights are read relative to the scale of the stored costs.
  settings.big_m = phase_one_weight(problem, settings.big_m);
  settings.infeasibility_weight = phase_one_weight(problem, settings.infeasibility_weight);
  // Long INVERTs poll the time limit and the interrupt as the iterations do.
  ObserverStop stop(observer);
  settings.factor.stop = &stop;
  settings.time_steps = engine.time_steps;
  engine.factor.start_run(settings.factor);
  const WorkingLp& solve_lp = presolving ? presolved.lp : engine.lp;
  SimplexBasis& solve_basis = presolving ? reduced_basis : engine.basis;
  PrimalResult result;
  if (dual) {
    result = run_dual(lib, engine, solve_lp, solve_basis, mode, settings, observer, keep_factor, cutoff);
  } else {
    result =
        primal_simplex(solve_lp, solve_basis, engine.factor, settings, observer, int_attribute(lib, attr::kIterations));
    int_attribute(lib, attr::kIterations) += static_cast<std::int32_t>(result.iterations);
  }
  // Postsolve onto the problem as loaded. After an optimum (or a proof of
  // infeasibility or unboundedness) the primal cleans up from the basis it rebuilt,
  // normally without an iteration; a run stopped by a limit keeps the postsolved
  // solution as it stands, with no factorisation.
  bool postsolved_only = false;
  if (presolving && result.outcome != LpOutcome::failed) {
    std::vector<double> reduced_pi;
    std::vector<double> reduced_dj;
    if (engine.factor.valid()) compute_duals(presolved.lp, reduced_basis, engine.factor, reduced_pi, reduced_dj);
    const bool limited = result.outcome == LpOutcome::stopped || result.outcome == LpOutcome::iteration_limit;
    if (!limited && lib.controls.i(icv::IQUIET) != 1) {
      print_message(lib, kMessageUndoingPresolve);
      flush_line(lib);
    }
    postsolve_lp(engine.lp, presolved, reduced_basis, reduced_pi, reduced_dj, engine.basis, engine.pi,
                 engine.reduced_cost);
    engine.basis.index_positions(engine.lp.variables());
    engine.basis.place_nonbasic(engine.lp);
    if (limited) {
      postsolved_only = true;
    } else {
      const std::int64_t reduced_iterations = result.iterations;
      const PrimalStepSeconds reduced_steps = result.step_seconds;
      result = primal_simplex(engine.lp, engine.basis, engine.factor, settings, observer,
                              int_attribute(lib, attr::kIterations));
      int_attribute(lib, attr::kIterations) += static_cast<std::int32_t>(result.iterations);
      engine.cleanup_iterations = result.iterations;
      result.iterations += reduced_iterations;
      for (std::size_t k = 0; k < reduced_steps.size(); ++k) result.step_seconds[k] += reduced_steps[k];
    }
  }
  engine.running = false;
  engine.step_seconds.assign(result.step_seconds.begin(), result.step_seconds.end());

  if (result.outcome == LpOutcome::failed) {
    if (result.factor_status == FactorStatus::workspace_exhausted) {
      report_error(lib, kRcResource, kMessageNoWorkspace, {result.workspace_needed});
    } else {
      report_error(lib, kRcInvalidCall, kMessageFactorFailed);
    }
    return lib.err.return_code;
  }

  // A run stopped inside an INVERT leaves no factorisation: no prices then.
  engine.factor_current = !postsolved_only && engine.factor.valid();
  engine.status_character = static_cast<char>(result.outcome);
  engine.unbounded_variable = result.unbounded_variable;
  engine.primal_infeasibilities_left = result.primal_infeasibilities > 0;
  if (engine.factor_current) {
    compute_duals(engine.lp, engine.basis, engine.factor, engine.pi, engine.reduced_cost);
  } else if (!postsolved_only) {
    engine.pi.assign(static_cast<std::size_t>(engine.lp.rows), 0.0);
    engine.reduced_cost.assign(static_cast<std::size_t>(engine.lp.variables()), 0.0);
  }
  engine.has_solution = true;
  engine.problem_serial = problem.serial;
  if (result.outcome == LpOutcome::optimal &&
      !confirm_optimum_in_caller_units(lib, problem, engine, settings, observer, result)) {
    return lib.err.return_code;
  }
  basis_to_status_words(engine.basis, problem);

  std::int32_t lp_status = kLpUnfinished;
  switch (result.outcome) {
    case LpOutcome::optimal:
      lp_status = kLpOptimal;
      break;
    case LpOutcome::infeasible:
      lp_status = kLpInfeasible;
      break;
    case LpOutcome::unbounded:
      lp_status = kLpUnbounded;
      break;
    case LpOutcome::cutoff:
      lp_status = kLpCutoff;
      break;
    default:
      break;
  }
  if (lp_status == kLpOptimal && has_cutoff && (result.objective - cutoff) >= 0.0) lp_status = kLpNotBetter;
  int_attribute(lib, attr::kLpStatus) = lp_status;
  int_attribute(lib, attr::kPrimalInfeasibilities) = result.primal_infeasibilities;
  int_attribute(lib, attr::kDualInfeasibilities) = result.dual_infeasibilities;
  if (lp_status != kLpUnfinished) int_attribute(lib, attr::kLpFinished) = 2;
  double_attribute(lib, attr::kObjectiveValue) = result.objective / sense + problem.objective_constant;
  double_attribute(lib, attr::kSumPrimalInfeasibilities) = result.sum_infeasibilities;
  if (lp_status == kLpInfeasible) lib.controls.i(icv::IFBIGM) = 0;
  lib.controls.d(dcv::BIGM) = result.big_m / problem.cost_scale;
  lib.last_lp_outcome = lp_status;

  if (mode != DriverMode::kResolve) {
    write_solution_file(lib);
    print_closing_message(lib, result.outcome, engine, problem);
    flush_notice(lib);
  }
  return lib.err.return_code;
}

std::int32_t optimise(Library& lib, DriverMode mode) {
  lib.begin_operation();
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  // The letter g runs the global search after an optimal relaxation; l ignores the
  // entities.
  const bool global = lib.option('g') && !lib.option('l');
  run_lp_driver(lib, mode);
  if (!lib.option('l') && lib.err.return_code == 0) top_node_cuts(lib);
  if (global && lib.err.return_code == 0 && int_attribute(lib, attr::kLpStatus) == kLpOptimal) {
    run_global_search(lib);
  }
  return lib.err.return_code;
}

}  // namespace kqopt
