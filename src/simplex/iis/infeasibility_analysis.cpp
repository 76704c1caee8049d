// The infeasibility analysis. One search: solve from the all-logical basis; relax the
// rows whose phase-1 price is zero (they play no part in the proof of infeasibility);
// then a deletion filter over the remaining rows and, after relaxing the columns whose
// phase-1 reduced cost is zero, over the column bounds: a member stays relaxed when the
// problem stays infeasible without it, else it belongs to the set. Each filter re-solve
// starts from the basis of the last infeasible state, so it usually needs a handful of
// iterations. The members of a set found stay relaxed for the next search, which
// therefore cannot find the same set; the search ends when the rest is feasible or the
// requested number of sets is found. Before that, each set is checked on its own by
// cold solves, feasibility judged in the caller's units as well as the engine's, and
// members it does not need leave it.
//
// The members whose removal alone restores feasibility are found set by set on the
// problem with the members of every other set relaxed: that problem is infeasible (it
// holds the set) and the other sets' infeasibility is out of the way, so dropping one
// member makes it feasible exactly when that member alone stands between the set and
// a feasible rest.
#include "simplex/iis/infeasibility_analysis.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "library/platform.h"
#include "problem/index_base.h"
#include "problem/load.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/solution_units.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/iis/relaxation.h"

namespace kqopt {

namespace {

constexpr std::int32_t kLpInfeasible = 2;
constexpr std::int32_t kLpUnfinished = 4;
constexpr double kFilterBigM = 1000.0;
// No cutoff: an input value at or beyond 1.0E29 means none.
constexpr double kNoCutoff = 1.0e30;

// Workspace array numbers of the analysis (message 20 names them).
namespace iis_array {
inline constexpr int kBasisA = 71;  // basic and at-upper bits of every variable
inline constexpr int kBasisB = 72;
inline constexpr int kMembers = 73;      // one entry per variable at most
inline constexpr int kLowerBounds = 74;  // the bounds as loaded, one double per variable each
inline constexpr int kUpperBounds = 75;
}  // namespace iis_array

enum class Outcome { infeasible, feasible, unfinished, failed };

// The basic and at-upper bits of every status word.
using SavedBasis = std::vector<std::uint8_t>;

void save_basis(const Problem& p, SavedBasis& basis) {
  basis.resize(p.status.size());
  for (std::size_t v = 0; v < p.status.size(); ++v) {
    basis[v] = static_cast<std::uint8_t>(p.status[v] & (status::kBasic | status::kAtUpper));
  }
}

void restore_basis(Problem& p, const SavedBasis& basis) {
  for (std::size_t v = 0; v < p.status.size(); ++v) {
    p.status[v] = (p.status[v] & ~(status::kBasic | status::kAtUpper)) | basis[v];
  }
}

void empty_line(Library& lib) {
  put_text(lib, "~", 1);
  flush_line(lib);
}

// The controls the analysis changes, as the caller had them.
struct SavedControls {
  explicit SavedControls(const Controls& c)
      : ifpres(c.i(icv::IFPRES)),
        iquiet(c.i(icv::IQUIET)),
        maxtim(c.i(icv::MAXTIM)),
        ifbigm(c.i(icv::IFBIGM)),
        ifbigm_access(c.icv_access[icv::IFBIGM]),
        bigm(c.d(dcv::BIGM)),
        bigm_access(c.dcv_access[dcv::BIGM]),
        cutoff(c.d(dcv::CUTOFF)) {}

  std::int32_t ifpres, iquiet, maxtim, ifbigm, ifbigm_access;
  double bigm;
  std::int32_t bigm_access;
  double cutoff;
};

class Analysis {
 public:
  Analysis(Library& lib, Problem& p, Relaxation& relaxation, const SavedControls& saved)
      : lib_(lib), p_(p), relax_(relaxation), saved_(saved), index_(current_index_base(lib)) {
    start_ = now();
  }

  // Steps of the search, the final stage and the report; false when the analysis ended
  // early (its message printed).
  void run();

 private:
  std::int64_t now() const {
    return lib_.controls.i(icv::CPUTIME) != 0 ? cpu_time_centiseconds() : elapsed_time_centiseconds();
  }

  Outcome solve(bool from_scratch);
  bool phase_one_prices();
  bool relax_zero_price_rows();
  bool relax_zero_cost_columns();
  // The deletion filter over one candidate: false when the analysis must end.
  bool filter(std::int32_t v, std::vector<std::int32_t>& set);
  // The last solve's values within their bounds by ZTOLZE in the caller's units.
  bool feasible_in_caller_units();
  // The set checked on its own; false when the analysis must end.
  bool check_set_alone(std::vector<std::int32_t>& set);
  // One search; false when the analysis must end.
  bool search_one_set(bool& feasible_rest);
  bool mark_single_members();
  void report();

  void put_name(std::int32_t v) {
    std::vector<char> name(static_cast<std::size_t>(p_.names.width()));
    p_.names.copy_name(v, name.data());
    put_text(lib_, name.data(), static_cast<int>(name.size()));
  }
  // The number printed for a member: the row number, or the combined index of a column.
  std::int64_t number(std::int32_t v) const { return index_.to_caller(v); }
  std::int64_t own_number(std::int32_t v) const {
    return index_.to_caller(v < p_.row_slots() ? v : v - p_.row_slots());
  }
  // A re-solve did not finish (time limit, console break, iteration limit).
  Outcome stop() {
    print_message(lib_, kMessageStopped);
    flush_line(lib_);
    ended_early_ = true;
    return Outcome::unfinished;
  }

  Library& lib_;
  Problem& p_;
  Relaxation& relax_;
  const SavedControls& saved_;
  IndexBase index_;
  std::int64_t start_ = 0;
  bool ended_early_ = false;  // a re-solve stopped or failed: no report

  SavedBasis basis_a_;
  SavedBasis basis_b_;
  std::vector<std::vector<std::int32_t>> sets_;
  std::vector<std::uint8_t> alone_;  // per variable: its removal alone restores feasibility

  // Phase-1 prices of the last infeasible solve, the phase-1 reduced costs, and the
  // basic variables outside their bounds.
  std::vector<double> pi_;
  std::vector<double> reduced_cost_;
  std::vector<std::uint8_t> infeasible_basic_;
};

Outcome Analysis::solve(bool from_scratch) {
  Controls& c = lib_.controls;
  if (lib_.take_interrupt()) return stop();
  // A negative MAXTIM bounds the whole analysis: each solve gets what is left of it.
  if (saved_.maxtim < 0) {
    const std::int64_t left = -static_cast<std::int64_t>(saved_.maxtim) - (now() - start_) / 100;
    if (left <= 0) return stop();
    c.i(icv::MAXTIM) = -static_cast<std::int32_t>(left);
  }
  if (from_scratch) {
    // A search starts from the all-logical basis and counts its iterations afresh, as an
    // optimisation does; the filter's re-solves add theirs (ITRLIM bounds one search).
    c.i(icv::IFNBAS) = 0;
    *lib_.attributes.int_attribute(attr::kIterations) = 0;
    c.i(icv::IFBIGM) = saved_.ifbigm;
    c.icv_access[icv::IFBIGM] = saved_.ifbigm_access;
    c.d(dcv::BIGM) = saved_.bigm;
  } else {
    c.i(icv::IFBIGM) = 1;
    c.icv_access[icv::IFBIGM] = std::max(1, saved_.ifbigm_access);
    c.d(dcv::BIGM) = kFilterBigM;
  }
  c.d(dcv::CUTOFF) = kNoCutoff;
  if (run_lp_driver(lib_, DriverMode::kResolve) != 0) {
    ended_early_ = true;
    return Outcome::failed;
  }
  const std::int32_t lp_status = *lib_.attributes.int_attribute(attr::kLpStatus);
  if (lp_status == kLpUnfinished) return stop();
  return lp_status == kLpInfeasible ? Outcome::infeasible : Outcome::feasible;
}

bool Analysis::phase_one_prices() {
  EngineState& e = engine_of(lib_);
  WorkingLp& lp = e.lp;
  const std::int32_t m = lp.rows;
  if (!e.factor_current || !e.basis.matches(lp)) return false;
  recompute_basic_values(lp, e.basis, e.factor);
  const double tol = lib_.controls.d(dcv::ZTOLZE);
  std::vector<double> cost(static_cast<std::size_t>(lp.variables()), 0.0);
  infeasible_basic_.assign(static_cast<std::size_t>(lp.variables()), 0);
  bool any = false;
  for (std::int32_t q = 0; q < m; ++q) {
    const auto v = static_cast<std::size_t>(e.basis.header[static_cast<std::size_t>(q)]);
    const double x = e.basis.x[v];
    if (x < lp.lower[v] - tol) {
      cost[v] = -1.0;
    } else if (x > lp.upper[v] + tol) {
      cost[v] = 1.0;
    } else {
      continue;
    }
    infeasible_basic_[v] = 1;
    any = true;
  }
  if (!any) return false;
  lp.cost.swap(cost);
  compute_duals(lp, e.basis, e.factor, pi_, reduced_cost_);
  lp.cost.swap(cost);
  return true;
}

bool Analysis::relax_zero_price_rows() {
  std::vector<std::int32_t> relaxed;
  if (phase_one_prices()) {
    for (std::int32_t i = 0; i < p_.rows; ++i) {
      if (relax_.relaxed(i) || p_.row_type[static_cast<std::size_t>(i)] == row_type::kFree) continue;
      if (pi_[static_cast<std::size_t>(i)] != 0.0) continue;
      relax_.relax(i);
      relaxed.push_back(i);
    }
  }
  print_message(lib_, kMessageRowsRelaxed);
  put_integer(lib_, static_cast<std::int64_t>(relaxed.size()), 6);
  flush_line(lib_);
  if (relaxed.empty()) return true;
  // The prices prove infeasibility only up to rounding: should the rest be feasible
  // after all, the filter works on every row instead.
  const Outcome o = solve(false);
  if (o == Outcome::unfinished || o == Outcome::failed) return false;
  if (o == Outcome::feasible) {
    for (std::int32_t i : relaxed) relax_.restore(i);
  }
  return true;
}

bool Analysis::relax_zero_cost_columns() {
  std::vector<std::int32_t> relaxed;
  if (phase_one_prices()) {
    const WorkingLp& lp = engine_of(lib_).lp;
    const std::int32_t m = p_.row_slots();
    for (std::int32_t j = 0; j < p_.columns; ++j) {
      const std::int32_t v = m + j;
      if (relax_.relaxed(v) || relax_.originally_free(v)) continue;
      bool relax = false;
      if (p_.status[static_cast<std::size_t>(v)] & status::kBasic) {
        relax = infeasible_basic_[static_cast<std::size_t>(v)] == 0;
      } else {
        double sum = 0.0;
        for (std::int32_t k = lp.column_start[static_cast<std::size_t>(j)];
             k < lp.column_start[static_cast<std::size_t>(j) + 1]; ++k) {
          sum += pi_[static_cast<std::size_t>(lp.row_index[static_cast<std::size_t>(k)])] *
                 lp.value[static_cast<std::size_t>(k)];
        }
        relax = sum == 0.0;
      }
      if (!relax) continue;
      relax_.relax(v);
      relaxed.push_back(v);
    }
  }
  print_message(lib_, kMessageColumnsRelaxed);
  put_integer(lib_, static_cast<std::int64_t>(relaxed.size()), 6);
  flush_line(lib_);
  if (relaxed.empty()) return true;
  const Outcome o = solve(false);
  if (o == Outcome::unfinished || o == Outcome::failed) return false;
  if (o == Outcome::feasible) {
    for (std::int32_t v : relaxed) relax_.restore(v);
  }
  return true;
}

bool Analysis::filter(std::int32_t v, std::vector<std::int32_t>& set) {
  save_basis(p_, basis_b_);
  relax_.relax(v);
  const Outcome o = solve(false);
  if (o == Outcome::unfinished || o == Outcome::failed) return false;
  if (o == Outcome::infeasible) return true;
  restore_basis(p_, basis_b_);
  relax_.restore(v);
  p_.status[static_cast<std::size_t>(v)] |= iis_flag::kMember;
  set.push_back(v);
  const bool row = v < p_.row_slots();
  print_message(lib_, row ? kMessageRowInSet : kMessageColumnInSet);
  put_name(v);
  put_integer(lib_, own_number(v), 6);
  flush_line(lib_);
  return true;
}

// The engine judges feasibility in its own, scaled units; a row with a large scale
// factor can then be feasible there and not in the caller's units, where an unscaled
// solve finds it infeasible.
bool Analysis::feasible_in_caller_units() {
  EngineState& e = engine_of(lib_);
  WorkingLp& lp = e.lp;
  if (!e.factor_current || !e.basis.matches(lp)) return true;
  recompute_basic_values(lp, e.basis, e.factor);
  const double tol = lib_.controls.d(dcv::ZTOLZE);
  for (std::int32_t v = 0; v < lp.variables(); ++v) {
    const auto vv = static_cast<std::size_t>(v);
    const double x = to_user_value(p_, v, e.basis.x[vv]);
    if (x < to_user_value(p_, v, lp.lower[vv]) - tol || x > to_user_value(p_, v, lp.upper[vv]) + tol) return false;
  }
  return true;
}

// The filter decides a member against the problem as it stood then, with the later
// candidates still in place: without the member that problem was feasible, so the set
// alone should be too. At the edge of the tolerances it may not be: the rows and bounds
// set aside later can leave a set that is still infeasible, by more than the tolerance,
// without a member. So the set is checked on its own, every other row and bound set
// aside, each member dropped in turn: a member without which the set stays infeasible
// is not needed and leaves the set (it stays set aside, so the rest is still
// infeasible). What is left is irreducible as this check sees it.
bool Analysis::check_set_alone(std::vector<std::int32_t>& set) {
  for (std::int32_t v = 0; v < p_.variables(); ++v) {
    const bool row = v < p_.row_slots();
    if (row && (v >= p_.rows || p_.row_type[static_cast<std::size_t>(v)] == row_type::kFree)) continue;
    if (!row && relax_.originally_free(v)) continue;
    if (!(p_.status[static_cast<std::size_t>(v)] & iis_flag::kMember)) relax_.relax(v);
  }
  std::vector<std::int32_t> needed;
  needed.reserve(set.size());
  // Each check starts afresh; the search's count goes on with their iterations.
  std::int32_t& iterations = *lib_.attributes.int_attribute(attr::kIterations);
  std::int64_t counted = iterations;
  for (std::int32_t v : set) {
    save_basis(p_, basis_b_);
    relax_.relax(v);
    Outcome o = solve(true);
    counted += iterations;
    iterations = static_cast<std::int32_t>(std::min<std::int64_t>(counted, INT32_MAX));
    if (o == Outcome::unfinished || o == Outcome::failed) return false;
    if (o == Outcome::feasible && !feasible_in_caller_units()) o = Outcome::infeasible;
    if (o == Outcome::infeasible) {
      // Its line of message 332 or 334 stands in the log; the report leaves it out.
      p_.status[static_cast<std::size_t>(v)] &= ~iis_flag::kMember;
      continue;
    }
    restore_basis(p_, basis_b_);
    relax_.restore(v);
    needed.push_back(v);
  }
  set.swap(needed);
  return true;
}

bool Analysis::search_one_set(bool& feasible_rest) {
  feasible_rest = false;
  Outcome o = solve(true);
  save_basis(p_, basis_a_);
  if (o == Outcome::unfinished || o == Outcome::failed) return false;
  if (o != Outcome::infeasible) {
    print_message(lib_, kMessageNotInfeasible);
    flush_line(lib_);
    return false;
  }
  std::vector<std::int32_t> set;
  bool go_on = relax_zero_price_rows();
  for (std::int32_t i = 0; go_on && i < p_.rows; ++i) {
    if (relax_.relaxed(i) || p_.row_type[static_cast<std::size_t>(i)] == row_type::kFree) continue;
    go_on = filter(i, set);
  }
  if (go_on) {
    o = solve(false);
    go_on = o == Outcome::infeasible || o == Outcome::feasible;
    if (o == Outcome::infeasible) {
      go_on = relax_zero_cost_columns();
      for (std::int32_t j = 0; go_on && j < p_.columns; ++j) {
        const std::int32_t v = p_.row_slots() + j;
        if (relax_.relaxed(v) || relax_.originally_free(v)) continue;
        go_on = filter(v, set);
      }
    }
  }
  if (go_on && !set.empty()) go_on = check_set_alone(set);
  if (!go_on) return false;
  // Every relaxed variable but the members comes back; the members go, so that the next
  // search finds another set.
  for (std::int32_t v = 0; v < p_.variables(); ++v) {
    if (!(p_.status[static_cast<std::size_t>(v)] & iis_flag::kMember)) relax_.restore(v);
  }
  for (std::int32_t v : set) relax_.relax(v);
  // An empty set proves nothing and would be found again: the search ends there.
  if (set.empty()) return false;
  sets_.push_back(std::move(set));
  o = solve(false);
  if (o == Outcome::unfinished || o == Outcome::failed) return false;
  feasible_rest = o == Outcome::feasible;
  return true;
}

bool Analysis::mark_single_members() {
  alone_.assign(static_cast<std::size_t>(p_.variables()), 0);
  restore_basis(p_, basis_a_);
  for (std::size_t k = 0; k < sets_.size(); ++k) {
    const std::vector<std::int32_t>& set = sets_[k];
    for (std::int32_t v : set) relax_.restore(v);
    Outcome o = solve(false);
    if (o == Outcome::unfinished || o == Outcome::failed) return false;
    if (o == Outcome::infeasible) {
      for (auto it = set.rbegin(); it != set.rend(); ++it) {
        const std::int32_t v = *it;
        save_basis(p_, basis_b_);
        relax_.relax(v);
        o = solve(false);
        if (o == Outcome::unfinished || o == Outcome::failed) return false;
        if (o == Outcome::feasible) {
          alone_[static_cast<std::size_t>(v)] = 1;
          print_message(lib_, kMessageSingleMemberRestores);
          put_name(v);
          put_integer(lib_, number(v), 6);
          flush_line(lib_);
        }
        restore_basis(p_, basis_b_);
        relax_.restore(v);
      }
    }
    for (std::int32_t v : set) relax_.relax(v);
  }
  return true;
}

void Analysis::report() {
  print_message(lib_, kMessageInfeasibleSetsHeading);
  flush_line(lib_);
  empty_line(lib_);
  empty_line(lib_);
  for (std::size_t k = 0; k < sets_.size(); ++k) {
    if (k > 0) {
      empty_line(lib_);
      empty_line(lib_);
    }
    print_message(lib_, kMessageInfeasibleSet);
    put_integer(lib_, static_cast<std::int64_t>(k) + 1, 6);
    flush_line(lib_);
    print_message(lib_, kMessageInfeasibleSetTitles);
    flush_line(lib_);
    print_message(lib_, kMessageInfeasibleSetRule);
    flush_line(lib_);
    for (std::int32_t v : sets_[k]) {
      const bool alone = !alone_.empty() && alone_[static_cast<std::size_t>(v)] != 0;
      print_message(lib_, alone ? kMessageInfeasibleSetMemberMarked : kMessageInfeasibleSetMember);
      put_integer(lib_, number(v), 6);
      put_name(v);
      flush_line(lib_);
    }
  }
}

void Analysis::run() {
  const std::int32_t wanted = lib_.controls.i(icv::NIIS);
  for (;;) {
    bool feasible_rest = false;
    if (!search_one_set(feasible_rest)) {
      // Sets found before a search that found none are still worth reporting; a stop
      // or a failure ends the analysis without the report.
      if (!sets_.empty() && !ended_early_) report();
      return;
    }
    const auto count = static_cast<std::int32_t>(sets_.size());
    if (feasible_rest) {
      print_message(lib_, kMessageFeasibleAfterRemoval);
      put_integer(lib_, count, 6);
      flush_line(lib_);
      empty_line(lib_);
      empty_line(lib_);
      empty_line(lib_);
      if (mark_single_members()) report();
      return;
    }
    if (count == wanted) {
      report();
      return;
    }
    print_message(lib_, kMessageStillInfeasible);
    flush_line(lib_);
  }
}

}  // namespace

std::int32_t analyse_infeasibility(Library& lib) {
  lib.begin_operation();
  const bool to_file = lib.option('f');
  const bool show = lib.option('o');
  lib.options[static_cast<std::size_t>('f' - 'a')] = false;
  lib.options[static_cast<std::size_t>('o' - 'a')] = false;

  // The print file first: when it cannot be opened nothing else happens, but the
  // problem is gone all the same, as at every end of the analysis.
  std::FILE* print_file = nullptr;
  if (to_file) {
    print_file = std::fopen(problem_file_name(lib, "iis").c_str(), "w");
    if (print_file != nullptr) {
      lib.out.print_file = print_file;
      set_destination(lib, 1);
    }
  }
  const SavedControls saved(lib.controls);
  bool controls_changed = false;
  std::unique_ptr<Relaxation> relaxation;
  auto finish = [&]() {
    Controls& c = lib.controls;
    if (relaxation) relaxation->restore_problem();
    if (lib.problem) discard_problem(lib);
    for (int n : {iis_array::kBasisA, iis_array::kBasisB, iis_array::kMembers, iis_array::kLowerBounds,
                  iis_array::kUpperBounds}) {
      lib.workspace.release(n);
    }
    c.i(icv::IQUIET) = saved.iquiet;
    if (controls_changed) {
      c.i(icv::IFPRES) = saved.ifpres;
      c.i(icv::MAXTIM) = saved.maxtim;
      c.i(icv::IFBIGM) = saved.ifbigm;
      c.icv_access[icv::IFBIGM] = saved.ifbigm_access;
      c.d(dcv::BIGM) = saved.bigm;
      c.dcv_access[dcv::BIGM] = saved.bigm_access;
      c.d(dcv::CUTOFF) = saved.cutoff;
    }
    if (print_file != nullptr) {
      set_destination(lib, 0);
      lib.out.print_file = nullptr;
      std::fclose(print_file);
      print_file = nullptr;
    }
    flush_notice(lib);
    return lib.err.return_code;
  };
  // Nothing thrown may leave the problem half relaxed behind: the end runs first.
  try {
    if (to_file && print_file == nullptr) {
      report_error(lib, kRcInvalidCall, kMessagePrintFile);
      return finish();
    }
    if (!lib.has_problem()) {
      report_error(lib, kRcInvalidCall, kMessageNoProblem);
      return finish();
    }
    Problem& p = *lib.problem;
    Controls& c = lib.controls;
    controls_changed = true;
    c.i(icv::IFPRES) = 0;
    c.i(icv::IQUIET) = show ? 0 : 1;
    c.i(icv::IFDUAL) = 0;
    c.i(icv::ISHFMX) = 0;
    // The engine's arrays of the last solve go; the analysis takes its own.
    if (lib.engine && !lib.engine->running) lib.engine.reset();
    const std::int64_t variables = p.variables();
    const std::pair<int, std::int64_t> arrays[] = {{iis_array::kBasisA, variables},
                                                   {iis_array::kBasisB, variables},
                                                   {iis_array::kMembers, 4 * variables},
                                                   {iis_array::kLowerBounds, 8 * variables},
                                                   {iis_array::kUpperBounds, 8 * variables}};
    for (const auto& [number, bytes] : arrays) {
      if (!lib.workspace.charge(number, bytes)) {
        report_error(lib, kRcResource, kMessageNoWorkspace, {number});
        return finish();
      }
    }
    const std::int32_t wanted = c.i(icv::NIIS);
    if (wanted == 0 || wanted < -1) {
      report_error(lib, kRcInvalidCall, kMessageBadNiis);
      return finish();
    }
    for (std::uint32_t& word : p.status) word &= ~(iis_flag::kMember | iis_flag::kRelaxed);
    relaxation = std::make_unique<Relaxation>(p);
    std::fill(p.objective.begin(), p.objective.end(), 0.0);
    Analysis analysis(lib, p, *relaxation, saved);
    analysis.run();
  } catch (...) {
    try {
      finish();
    } catch (...) {
    }
    throw;
  }
  return finish();
}

}  // namespace kqopt
