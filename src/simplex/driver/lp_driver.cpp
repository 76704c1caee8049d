// The LP driver. A run: build the working LP from the problem with the objective
// sense applied, take the current basis (or the crash basis when none exists), run
// the primal simplex, then set the LP status and attributes, keep the solution,
// write the basis back into the status words, write the solution file and print the
// closing message.
#include "simplex/driver/lp_driver.h"

#include <cmath>
#include <vector>

#include "frame/message_numbers.h"
#include "library/callbacks.h"
#include "library/library.h"
#include "library/platform.h"
#include "output/solution_file.h"
#include "problem/scale_exponents.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/crash_step.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/optimum_check.h"
#include "simplex/prep/crash.h"
#include "simplex/primal/primal_simplex.h"

namespace kqopt {

namespace {
constexpr int kDebugLogFrequency = 9778653;

// LP status values of integer attribute 1010.
constexpr std::int32_t kLpOptimal = 1;
constexpr std::int32_t kLpInfeasible = 2;
constexpr std::int32_t kLpUnfinished = 4;
constexpr std::int32_t kLpUnbounded = 5;

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

  void inverted(const InvertReport& report) override {
    if (report.surplus_made_nonbasic != 0 || report.logicals_made_basic != 0) {
      print_message(lib_, kMessageHeaderRepaired);
      flush_line(lib_);
    }
    for (std::int32_t replaced : report.columns_replaced) {
      print_message(lib_, kMessageSingular);
      put_integer(lib_, replaced, 6);
      flush_line(lib_);
    }
  }

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
      put_text(lib_, "P ", 2);
      put_integer(lib_, progress.dual_infeasibilities, 6);
      put_real(lib_, progress.sum_infeasibilities);
      put_integer(lib_, seconds(), 6);
    } else {
      print_message(lib_, kMessageDetailedLogLine);
      put_integer(lib_, progress.iteration, count_width);
      put_text(lib_, "P", 1);
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
        std::vector<char> name(static_cast<std::size_t>(problem.names.width()));
        problem.names.copy_name(engine.unbounded_variable, name.data());
        put_text(lib, name.data(), static_cast<int>(name.size()));
      } else {
        print_message(lib, kMessageUnbounded);
      }
      break;
    case LpOutcome::iteration_limit:
      print_message(lib, kMessageIterationLimit);
      break;
    case LpOutcome::stopped:
    case LpOutcome::failed:
      print_message(lib, kMessageStopped);
      break;
  }
  flush_line(lib);
}

}  // namespace

std::int32_t run_lp_driver(Library& lib, DriverMode mode) {
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  Problem& problem = *lib.problem;
  EngineState& engine = engine_of(lib);
  int_attribute(lib, attr::kLpStatus) = kLpUnfinished;
  if (mode != DriverMode::kResolve) int_attribute(lib, attr::kIterations) = 0;

  double& sense = double_attribute(lib, attr::kSenseMultiplier);
  const double magnitude = std::fabs(sense) > 0.0 ? std::fabs(sense) : 1.0;
  if (mode == DriverMode::kMaximise) sense = -magnitude;
  if (mode == DriverMode::kMinimise) sense = magnitude;

  // Crash gate: without a basis (IFNBAS = 0) the crash builds one into the status
  // words; a basis loaded or left by an earlier solve is kept.
  if (mode != DriverMode::kResolve && lib.controls.i(icv::IFNBAS) == 0) run_crash(lib, problem);
  release_crash_marks(problem);
  build_working_lp(problem, sense, engine.lp);
  // The starting basis: the one held in the status words once a basis exists, else
  // the all-logical basis.
  if (lib.controls.i(icv::IFNBAS) != 0) {
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
  DriverObserver observer(lib);
  engine.factor.start_run(settings.factor);
  PrimalResult result =
      primal_simplex(engine.lp, engine.basis, engine.factor, settings, observer, int_attribute(lib, attr::kIterations));
  engine.running = false;
  int_attribute(lib, attr::kIterations) += static_cast<std::int32_t>(result.iterations);

  if (result.outcome == LpOutcome::failed) {
    if (result.factor_status == FactorStatus::workspace_exhausted) {
      report_error(lib, kRcResource, kMessageNoWorkspace, {result.workspace_needed});
    } else {
      report_error(lib, kRcInvalidCall, kMessageFactorFailed);
    }
    return lib.err.return_code;
  }

  engine.factor_current = true;
  engine.status_character = static_cast<char>(result.outcome);
  engine.unbounded_variable = result.unbounded_variable;
  engine.primal_infeasibilities_left = result.primal_infeasibilities > 0;
  compute_duals(engine.lp, engine.basis, engine.factor, engine.pi, engine.reduced_cost);
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
    default:
      break;
  }
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
  // The dual simplex, the barrier and presolve are not part of this build: every
  // method letter runs the primal simplex. The global search is reported plainly.
  const bool global = lib.option('g');
  run_lp_driver(lib, mode);
  if (global && lib.err.return_code == 0) report_error(lib, kRcInvalidCall, kMessageNotAvailable);
  return lib.err.return_code;
}

}  // namespace kqopt
