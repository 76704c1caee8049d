// The barrier step of the LP driver.
#include "simplex/driver/barrier_step.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "barrier/crossover/crossover.h"
#include "barrier/homogeneous/barrier_lp.h"
#include "barrier/homogeneous/hsd_solver.h"
#include "barrier/kit/clock.h"
#include "barrier/kit/fatal_error.h"
#include "frame/message_numbers.h"
#include "library/callbacks.h"
#include "library/library.h"
#include "library/platform.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/engine_setup.h"

namespace kqopt {

namespace {

constexpr std::int32_t kLpOptimal = 1;
constexpr std::int32_t kLpInfeasible = 2;
constexpr std::int32_t kLpUnfinished = 4;
constexpr std::int32_t kLpUnbounded = 5;
constexpr std::int32_t kLpCutoff = 6;

std::int32_t& int_attribute(Library& lib, int n) { return *lib.attributes.int_attribute(n); }
double& double_attribute(Library& lib, int n) { return *lib.attributes.double_attribute(n); }

std::int64_t clock_of(const Library& lib) {
  return lib.controls.i(icv::CPUTIME) != 0 ? cpu_time_centiseconds() : elapsed_time_centiseconds();
}

void log_text(Library& lib, const std::string& text) {
  print_message(lib, kMessageEmpty);
  put_string(lib, text.c_str());
  flush_line(lib);
}

// The time as the log shows it: whole seconds.
std::string seconds_text(std::int64_t hundredths) {
  const std::string t = barrier::format_time(hundredths);
  return t.substr(0, t.find('.'));
}

// The time limit or an interrupt ended the run: it stopped, it did not fail.
void print_stopped(Library& lib) {
  print_message(lib, kMessageStopped);
  flush_line(lib);
}

// Problem status of the run in the driver's terms.
enum class Verdict { optimal, infeasible, unbounded, cutoff, unknown };

// Columns sent to a bound by their cost when no row constrains them.
struct DirectResult {
  bool unbounded = false;
  double objective = 0.0;
};

DirectResult solve_without_rows(WorkingLp& lp, SimplexBasis& basis) {
  DirectResult r;
  const std::int32_t m = lp.rows, total = lp.variables();
  basis.set_all_logical(lp);
  for (std::int32_t v = m; v < total; ++v) {
    const double c = lp.cost[static_cast<std::size_t>(v)];
    const double lo = lp.lower[static_cast<std::size_t>(v)], up = lp.upper[static_cast<std::size_t>(v)];
    const bool has_lo = !barrier::is_infinite_bound(lo), has_up = !barrier::is_infinite_bound(up);
    VariableStatus s = VariableStatus::at_zero;
    double value = 0.0;
    if (!has_lo && !has_up) {
      if (std::fabs(c) > 1.0e-8) r.unbounded = true;
    } else if (has_lo && !has_up) {
      s = VariableStatus::at_lower;
      value = lo;
      if (c < -1.0e-8) r.unbounded = true;
    } else if (!has_lo && has_up) {
      s = VariableStatus::at_upper;
      value = up;
      if (c > 1.0e-8) r.unbounded = true;
    } else {
      s = c > 0.0 ? VariableStatus::at_lower : VariableStatus::at_upper;
      value = c > 0.0 ? lo : up;
    }
    basis.status[static_cast<std::size_t>(v)] = s;
    basis.x[static_cast<std::size_t>(v)] = value;
    r.objective += c * value;
  }
  // Logicals take what their rows leave.
  for (std::int32_t i = 0; i < m; ++i) basis.x[static_cast<std::size_t>(i)] = lp.rhs[static_cast<std::size_t>(i)];
  for (std::int32_t j = 0; j < lp.columns; ++j) {
    const double xj = basis.x[static_cast<std::size_t>(m + j)];
    for (std::int32_t k = lp.column_start[static_cast<std::size_t>(j)];
         k < lp.column_start[static_cast<std::size_t>(j) + 1]; ++k) {
      basis.x[static_cast<std::size_t>(lp.row_index[static_cast<std::size_t>(k)])] -=
          lp.value[static_cast<std::size_t>(k)] * xj;
    }
  }
  return r;
}

}  // namespace

BarrierNext run_barrier(Library& lib, double sense, bool has_cutoff, double cutoff, const PrimalSettings& settings,
                        BarrierFigures& figures) {
  Problem& problem = *lib.problem;
  EngineState& engine = engine_of(lib);
  WorkingLp& lp = engine.lp;
  const Controls& c = lib.controls;
  const bool quiet = c.i(icv::IQUIET) != 0;
  const std::int32_t print_level = quiet ? 0 : c.i(icv::PRLEV);
  const std::int32_t cross = c.i(icv::CROSS);
  const std::int64_t start = clock_of(lib);
  const std::int32_t m = lp.rows, total = lp.variables();

  int_attribute(lib, attr::kBarrierIteration) = -1;
  for (int n = attr::kBarrierProductNonzeros; n <= attr::kBarrierCrossover; ++n) int_attribute(lib, n) = 0;
  for (int n = attr::kBarrierPrimalObjective; n <= attr::kBarrierGap; ++n) double_attribute(lib, n) = 0.0;
  int_attribute(lib, attr::kIterations) = 0;
  // The status words lose their basis; a crossover gives them a new one.
  for (std::uint32_t& s : problem.status) s &= ~(status::kBasic | status::kAtUpper);
  lib.controls.i(icv::IFNBAS) = 0;

  const auto user_objective = [&](double engine_objective) {
    return engine_objective / sense + problem.objective_constant;
  };

  engine.has_solution = false;
  engine.factor_current = false;
  std::int32_t constrained_rows = 0;
  for (std::int32_t i = 0; i < m; ++i) {
    if (!barrier::is_infinite_bound(lp.lower[static_cast<std::size_t>(i)]) ||
        !barrier::is_infinite_bound(lp.upper[static_cast<std::size_t>(i)])) {
      ++constrained_rows;
    }
  }

  Verdict verdict = Verdict::unknown;
  double engine_objective = 0.0;
  bool crossover_basis = false;
  std::vector<double> x(static_cast<std::size_t>(total), 0.0), pi(static_cast<std::size_t>(m), 0.0),
      reduced(static_cast<std::size_t>(total), 0.0);

  // The time limit or an interrupt, in the interior iterations or in the crossover: the
  // last interior point is the result of a stopped run, with no basis (a crossover's
  // half-made one is dropped).
  const auto end_stopped = [&]() {
    engine.basis.set_all_logical(lp);
    engine.basis.x = x;
    engine.pi = pi;
    engine.reduced_cost = reduced;
    double objective = 0.0;
    for (std::int32_t v = 0; v < total; ++v)
      objective += lp.cost[static_cast<std::size_t>(v)] * x[static_cast<std::size_t>(v)];
    engine.has_solution = true;
    engine.problem_serial = problem.serial;
    engine.status_character = 'Z';
    int_attribute(lib, attr::kLpStatus) = kLpUnfinished;
    double_attribute(lib, attr::kObjectiveValue) = user_objective(objective);
    double_attribute(lib, attr::kSumPrimalInfeasibilities) = 0.0;
    lib.last_lp_outcome = kLpUnfinished;
    if (!quiet) print_stopped(lib);
    return BarrierNext::done;
  };

  if (constrained_rows == 0 || lp.columns == 0) {
    const DirectResult direct = solve_without_rows(lp, engine.basis);
    verdict = direct.unbounded ? Verdict::unbounded : Verdict::optimal;
    engine_objective = direct.objective;
    x = engine.basis.x;
    for (std::int32_t v = 0; v < total; ++v)
      reduced[static_cast<std::size_t>(v)] = lp.cost[static_cast<std::size_t>(v)];
  } else {
    const barrier::EngineLpView view{m,       lp.columns, lp.column_start, lp.row_index, lp.value,
                                     lp.cost, lp.lower,   lp.upper,        lp.rhs};
    barrier::HsdSettings hs;
    hs.iteration_limit = c.i(icv::MAXITER);
    hs.primal_tolerance = c.d(dcv::TOLPRIMAL);
    hs.dual_tolerance = c.d(dcv::TOLDUAL);
    hs.gap_tolerance = c.d(dcv::TOLCOMP);
    hs.min_step = c.d(dcv::TOLIMP);
    hs.tau_guard = c.d(dcv::CTOLX);
    hs.crossover = cross > 0;
    hs.ordering = std::array<int, 5>{0, 1, 3, 2, 4}[static_cast<std::size_t>(((c.i(icv::BORDER) % 5) + 5) % 5)];
    hs.push = c.i(icv::PUSH_CHOLESKY) != 0;
    hs.dense_threshold = c.i(icv::DENSECOL);
    hs.cache_kilobytes = c.i(icv::CACHE_SIZE);
    hs.pivot_tolerance = c.d(dcv::TOLPIV);
    hs.fill_threshold = c.d(dcv::FILLTRH);

    const auto callback = [&](const barrier::HsdProgress& p) {
      const double pobj = user_objective(p.primal_objective), dobj = user_objective(p.dual_objective);
      if (p.iteration == 0) {
        int_attribute(lib, attr::kBarrierProductNonzeros) = static_cast<std::int32_t>(p.nnz_aat);
        int_attribute(lib, attr::kBarrierFactorNonzeros) = static_cast<std::int32_t>(p.nnz_l);
        int_attribute(lib, attr::kBarrierDenseColumns) = p.dense_columns;
        if (print_level != 0) {
          char line[160];
          log_text(lib, " ");
          std::snprintf(line, sizeof line, "Factor: nnz(AA'): %-10lld nnz(L): %-10lld dcol: %-3d          time: %6s",
                        static_cast<long long>(p.nnz_aat), static_cast<long long>(p.nnz_l), p.dense_columns,
                        seconds_text(clock_of(lib) - start).c_str());
          log_text(lib, line);
          log_text(lib, " ");
          std::snprintf(line, sizeof line, "%-3s %-8s %-8s %-8s %-17s %-17s %-7s", "ITE", "PFEAS", "DFEAS", "KAP/TAU",
                        "POBJ", "DOBJ", "CGAP");
          log_text(lib, line);
        }
      }
      int_attribute(lib, attr::kBarrierIteration) = p.iteration;
      double_attribute(lib, attr::kBarrierPrimalObjective) = pobj;
      double_attribute(lib, attr::kBarrierDualObjective) = dobj;
      double_attribute(lib, attr::kBarrierPrimalInfeasibility) = p.primal_infeasibility;
      double_attribute(lib, attr::kBarrierDualInfeasibility) = p.dual_infeasibility;
      double_attribute(lib, attr::kBarrierGap) = p.complementarity;
      if (print_level != 0) {
        char line[160];
        std::snprintf(line, sizeof line, "%-3d %-8.1e %-8.1e %-8.1e %-17.9e %-17.9e %-8.1e", p.iteration,
                      p.primal_infeasibility, p.dual_infeasibility, p.kappa_over_tau, pobj, dobj, p.complementarity);
        log_text(lib, line);
      }
      bool go_on = !lib.take_interrupt();
      if (go_on && lib.callbacks.barrier_log != nullptr) go_on = call_log_callback(lib, lib.callbacks.barrier_log) == 0;
      const std::int32_t limit = c.i(icv::MAXTIM);
      if (go_on && limit < 0 && (clock_of(lib) - start) / 100 >= -static_cast<std::int64_t>(limit)) go_on = false;
      return go_on;
    };

    barrier::HsdResult hr;
    barrier::BarrierLp blp;
    const std::int32_t code = barrier::guard_barrier(stdout, 4, [&]() -> std::int32_t {
      blp = barrier::build_barrier_lp(view, c.d(dcv::CTOLX));
      hr = barrier::hsd_solve(blp, hs, callback);
      return 0;
    });
    if (code == 4) {
      report_error(lib, kRcInvalidCall, kMessageBarrierOutOfMemory);
      return BarrierNext::done;
    }
    if (code != 0) {
      lib.err.return_code = kRcInvalidCall;
      return BarrierNext::done;
    }
    figures.iterations = hr.iterations;
    int_attribute(lib, attr::kLpStatus) = kLpUnfinished;
    if (hr.solver_status == barrier::SolverStatus::user_break) {
      if (!hr.x.empty()) barrier::recover_engine_solution(view, blp, hr.x, hr.y, x, pi, reduced);
      return end_stopped();
    }
    if (hr.solver_status == barrier::SolverStatus::factor_error) {
      report_error(lib, kRcInvalidCall, kMessageFactorFailed);
      return BarrierNext::done;
    }
    const bool solution_usable =
        hr.problem_status == barrier::ProblemStatus::pdfeas || hr.problem_status == barrier::ProblemStatus::unknown;
    if (solution_usable) {
      barrier::recover_engine_solution(view, blp, hr.x, hr.y, x, pi, reduced);
      engine_objective = 0.0;
      for (std::int32_t v = 0; v < total; ++v)
        engine_objective += lp.cost[static_cast<std::size_t>(v)] * x[static_cast<std::size_t>(v)];
    }
    if (hr.problem_status == barrier::ProblemStatus::pdfeas) {
      verdict = Verdict::optimal;
    } else if (hr.problem_status == barrier::ProblemStatus::pinfeas ||
               hr.problem_status == barrier::ProblemStatus::pdinfeas ||
               hr.problem_status == barrier::ProblemStatus::infeas) {
      verdict = Verdict::infeasible;
    } else if (hr.problem_status == barrier::ProblemStatus::dinfeas) {
      verdict = Verdict::unbounded;
    }
    if (verdict == Verdict::optimal && has_cutoff && engine_objective > cutoff) verdict = Verdict::cutoff;
    // After a stall the best point still goes to the crossover.
    const bool run_crossover =
        cross > 0 && solution_usable && verdict != Verdict::cutoff &&
        (hr.solver_status == barrier::SolverStatus::normal || hr.solver_status == barrier::SolverStatus::stalled);
    if (hr.solver_status == barrier::SolverStatus::stalled && !run_crossover) {
      report_error(lib, kRcInvalidCall, kMessageBarrierStalled);
    }
    if (hr.solver_status == barrier::SolverStatus::max_iterations && !run_crossover) {
      print_message(lib, kMessageIterationLimit);
      flush_line(lib);
    }
    if (run_crossover) {
      int_attribute(lib, attr::kBarrierCrossover) = 1;
      if (print_level != 0) log_text(lib, " Begin crossover");
      const std::int64_t cross_start = clock_of(lib);
      barrier::CrossoverStats stats;
      engine.factor.start_run(settings.factor);
      // The logicals of the rows the interior method took out as dependent.
      std::vector<std::int32_t> basic_first;
      if (!hr.removed_rows.empty()) {
        for (std::int32_t i = 0; i < m; ++i) {
          const std::int32_t r = blp.kept_row[static_cast<std::size_t>(i)];
          if (r >= 0 && std::binary_search(hr.removed_rows.begin(), hr.removed_rows.end(), r)) basic_first.push_back(i);
        }
      }
      const barrier::CrossoverEnd end =
          barrier::crossover(lp, x, reduced, engine.basis, engine.factor, settings.factor, stats, basic_first);
      figures.crossover = true;
      figures.pushes = stats.primal_pushes;
      figures.dual_pushes = stats.dual_pushes;
      figures.superbasics = stats.superbasics;
      figures.exchanges = stats.basis_changes;
      if (print_level != 0) {
        char line[160];
        std::snprintf(line, sizeof line, " End   crossover: %-45s  time: %6s", " ",
                      seconds_text(clock_of(lib) - cross_start).c_str());
        log_text(lib, line);
      }
      if (end == barrier::CrossoverEnd::stopped) return end_stopped();
      if (end != barrier::CrossoverEnd::ok) {
        report_error(lib, kRcInvalidCall, kMessageFactorFailed);
        return BarrierNext::done;
      } else {
        crossover_basis = cross == 1 || verdict != Verdict::optimal;
        if (verdict == Verdict::unknown) verdict = Verdict::optimal;  // the simplex decides
      }
    }
  }

  int_attribute(lib, attr::kPrimalInfeasibilities) = 0;
  int_attribute(lib, attr::kDualInfeasibilities) = 0;
  std::int32_t lp_status = kLpUnfinished;
  int message = 0;
  switch (verdict) {
    case Verdict::optimal:
      lp_status = kLpOptimal;
      message = kMessageOptimal;
      break;
    case Verdict::infeasible:
      lp_status = kLpInfeasible;
      message = kMessageInfeasible;
      crossover_basis = false;
      break;
    case Verdict::unbounded:
      lp_status = kLpUnbounded;
      message = kMessageProblemUnbounded;
      crossover_basis = false;
      break;
    case Verdict::cutoff:
      lp_status = kLpCutoff;
      message = kMessageOptimal;
      crossover_basis = false;
      break;
    case Verdict::unknown:
      break;
  }
  if (!quiet && message != 0 && !crossover_basis) {
    print_message(lib, kMessageBarrierFinished);
    print_message(lib, message);
    flush_line(lib);
    print_message(lib, kMessageBarrierObjective);
    put_real(lib, user_objective(engine_objective));
    put_string(lib, seconds_text(clock_of(lib) - start).c_str());
    flush_line(lib);
  }
  if (crossover_basis && lib.err.return_code == 0) {
    if (!quiet) {
      print_message(lib, kMessageBarrierFinished);
      print_message(lib, message);
      flush_line(lib);
      print_message(lib, kMessageCrossoverBasis);
      print_message(lib, kMessageCrossoverContinuing);
      flush_line(lib);
    }
    lib.controls.i(icv::IFNBAS) = 1;
    return BarrierNext::simplex;
  }
  // The interior (or directly found) solution is the result.
  engine.basis.x = x;
  engine.pi = pi;
  engine.reduced_cost = reduced;
  engine.has_solution = lp_status != kLpUnfinished || verdict == Verdict::unknown;
  engine.problem_serial = problem.serial;
  engine.status_character = 'Z';
  int_attribute(lib, attr::kLpStatus) = lp_status;
  if (lp_status != kLpUnfinished) int_attribute(lib, attr::kLpFinished) = 2;
  double_attribute(lib, attr::kObjectiveValue) = user_objective(engine_objective);
  double_attribute(lib, attr::kSumPrimalInfeasibilities) = 0.0;
  lib.last_lp_outcome = lp_status;
  return BarrierNext::done;
}

}  // namespace kqopt
