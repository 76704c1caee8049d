// The global search driver: set-up and resumption, the dives, node selection, the
// incumbent, the search log and the final report.
#include "global/search/search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "frame/message_numbers.h"
#include "global/cuts/cut_pool.h"
#include "global/cuts/cut_rounds.h"
#include "global/cuts/cut_rows.h"
#include "global/search/diving.h"
#include "global/search/node_tightening.h"
#include "global/search/row_propagation.h"
#include "library/callbacks.h"
#include "library/library.h"
#include "library/platform.h"
#include "output/solution_file.h"
#include "problem/infinity.h"
#include "problem/matrix.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/lp_driver.h"

namespace kqopt {

namespace {

constexpr std::int32_t kLpOptimal = 1;
constexpr std::int32_t kLpInfeasible = 2;
constexpr std::int32_t kLpNotBetter = 3;
constexpr std::int32_t kLpUnfinished = 4;
constexpr std::int32_t kLpUnbounded = 5;
constexpr std::int32_t kLpCutoff = 6;

constexpr std::int32_t kDefaultListSlots = 256;

// IFINTP bit 8 keeps the diving heuristic out of the search.
constexpr std::int32_t kDivingBit = 8;

std::int32_t& int_attr(Library& lib, int n) { return *lib.attributes.int_attribute(n); }
double& double_attr(Library& lib, int n) { return *lib.attributes.double_attribute(n); }

enum class Stop {
  kNone,           // the dive ended: select the next node
  kNodeLimit,      // MAXNOD
  kSolutionLimit,  // MAXSOL
  kFirstSolution,  // IPACTN 2
  kTimeLimit,      // MAXTIM
  kUnfinished,     // a node LP stopped at a limit or by an interrupt
  kUnbounded,      // a node LP is unbounded
  kFailed,         // the LP driver failed (its error is set)
};

enum class Outcome { kInfeasible, kCutOff, kInteger, kBranched, kUnfinished, kUnbounded, kFailed };

// What the dive keeps of the parent of the node it processes.
struct ParentHeader {
  bool valid = false;
  std::int32_t unsatisfied = 0;
  double objective = 0.0;
  double increment = 0.0;
  double down = 0.0;
  double up = 0.0;
};

// Controls the search forces while it runs, put back however it ends.
class ForcedControls {
 public:
  explicit ForcedControls(Library& lib) : lib_(lib) {
    quiet_ = lib.controls.i(icv::IQUIET);
    noinv_ = lib.controls.i(icv::INOINV);
    if (lib.controls.icv_access[icv::IQUIET] <= 0) lib.controls.i(icv::IQUIET) = 1;
    if (lib.controls.icv_access[icv::INOINV] <= 0) lib.controls.i(icv::INOINV) = 1;
  }
  ~ForcedControls() {
    lib_.controls.i(icv::IQUIET) = quiet_;
    lib_.controls.i(icv::INOINV) = noinv_;
  }
  ForcedControls(const ForcedControls&) = delete;
  ForcedControls& operator=(const ForcedControls&) = delete;

 private:
  Library& lib_;
  std::int32_t quiet_;
  std::int32_t noinv_;
};

// A user callback sees the library as the search left it and leaves the search's error
// state and LP status as they were.
class CallbackScope {
 public:
  explicit CallbackScope(Library& lib) : lib_(lib), err_(lib.err), lp_status_(int_attr(lib, attr::kLpStatus)) {
    flush_notice(lib);
    if (lib.engine) status_character_ = lib.engine->status_character;
  }
  ~CallbackScope() {
    lib_.err = err_;
    int_attr(lib_, attr::kLpStatus) = lp_status_;
    if (lib_.engine) lib_.engine->status_character = status_character_;
  }
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;

 private:
  Library& lib_;
  ErrorState err_;
  std::int32_t lp_status_;
  char status_character_ = 'Z';
};

bool later_in_bound_order(const GlobalSearch::BoundEntry& a, const GlobalSearch::BoundEntry& b) {
  return a.key > b.key || (a.key == b.key && a.slot > b.slot);
}

std::vector<BoundChange> merged(const std::vector<BoundChange>& base, const std::vector<BoundChange>& more) {
  std::vector<BoundChange> out = base;
  for (const BoundChange& c : more) {
    bool found = false;
    for (BoundChange& o : out) {
      if (o.variable == c.variable) {
        o.lower = c.lower;
        o.upper = c.upper;
        found = true;
        break;
      }
    }
    if (!found) out.push_back(c);
  }
  return out;
}

class Search {
 public:
  Search(Library& lib, GlobalSearch& st)
      : lib_(lib), st_(st), p_(*lib.problem), c_(lib.controls), start_(clock_now()) {}

  std::int32_t run(bool fresh);

 private:
  std::int64_t clock_now() const {
    return lib_.controls.i(icv::CPUTIME) != 0 ? cpu_time_centiseconds() : elapsed_time_centiseconds();
  }
  std::int64_t seconds() const { return (clock_now() - start_) / 100; }
  bool better(double a, double b) const { return st_.sense * a < st_.sense * b; }
  double worst() const { return st_.sense * kInfinity; }
  double cutoff() const { return c_.d(dcv::CUTOFF); }

  void set_up();
  Stop dive(NodeRecord node);
  Outcome process(const NodeRecord& node, BranchChoice& choice);
  Stop new_solution(const NodeRecord& node, double z);
  void apply(const std::vector<BoundChange>& changes);
  bool bounds_cross(const std::vector<BoundChange>& changes) const;
  std::int32_t select();
  void refresh_local_cutoff(double b);
  std::int32_t select_by_bound_heap();
  void store(NodeRecord&& record, float estimate, float degradation);
  void publish();
  void finish_tree();
  void report();
  void restore_incumbent();
  bool time_is_up() const;
  BranchSettings branch_settings() const;

  void log_node(const NodeRecord& node, double z, double estimate, const BranchChoice* choice);
  void log_infeasible(const NodeRecord& node, bool cut_off, bool with_objective, double z);
  void log_tree(bool solution);
  void put_time() { put_integer(lib_, seconds(), 6); }

  void learn(const NodeRecord& node, std::int32_t lp, double z);
  void tighten_by_reduced_costs(double z);
  bool propagate(NodeRecord& node);
  void make_propagator() {
    if (!propagator_) propagator_.emplace(p_, lib_.cut_pool ? first_cut_row(p_, *lib_.cut_pool) : p_.rows, true);
  }
  void probe(NodeRecord& root);
  bool dive_heuristic_due(const NodeRecord& node) const;
  Stop dive_heuristic(const NodeRecord& node);

  Library& lib_;
  GlobalSearch& st_;
  Problem& p_;
  Controls& c_;
  std::int64_t start_;
  ParentHeader parent_;
  std::vector<BoundChange> fixings_;  // tightened bounds of the node just branched, for its subtree
  std::optional<RowPropagator> propagator_;
  bool node_infeasible_ = false;  // propagation proved the node in hand infeasible
  std::vector<BoundChange> implied_;
  std::optional<RoundingLocks> locks_;  // for the diving heuristic, over the rows below the cuts
  std::int32_t locks_rows_ = 0;
  std::int64_t dive_iteration_cap() const { return std::max<std::int64_t>(500, st_.root_iterations); }
};

BranchSettings Search::branch_settings() const {
  BranchSettings s;
  s.integer_tolerance = c_.d(dcv::ZTOLIS);
  s.zero_tolerance = c_.d(dcv::ZTOLZE);
  s.price_tolerance = c_.d(dcv::ZTETA);
  s.price_floor = c_.d(dcv::RTOLPS) * p_.cost_scale;
  s.pseudo = c_.d(dcv::PSEUDO);
  s.direction_bonus = c_.d(dcv::PSTCST);
  s.set_tolerance = c_.d(dcv::ZTOLST);
  s.criterion = c_.i(icv::KCRITM);
  s.semi_continuous_weight = c_.i(icv::SSV010);
  s.learnt = &st_.learnt;
  return s;
}

bool Search::time_is_up() const {
  const std::int32_t limit = c_.i(icv::MAXTIM);
  if (limit == 0) return false;
  if (limit > 0 && st_.solutions == 0) return false;
  return seconds() >= std::abs(static_cast<std::int64_t>(limit));
}

void Search::apply(const std::vector<BoundChange>& changes) {
  for (const BoundChange& c : st_.applied) {
    const auto v = static_cast<std::size_t>(c.variable);
    p_.lower[v] = st_.original_lower[v];
    p_.upper[v] = st_.original_upper[v];
  }
  for (const BoundChange& c : changes) {
    const auto v = static_cast<std::size_t>(c.variable);
    p_.lower[v] = c.lower;
    p_.upper[v] = c.upper;
  }
  st_.applied = changes;
}

bool Search::bounds_cross(const std::vector<BoundChange>& changes) const {
  const double tol = c_.d(dcv::ZTOLZE);
  for (const BoundChange& c : changes) {
    if (c.lower > c.upper + tol) return true;
  }
  return false;
}

void Search::publish() {
  int_attr(lib_, attr::kNodes) = static_cast<std::int32_t>(std::min<std::int64_t>(st_.nodes, INT32_MAX));
  int_attr(lib_, attr::kActiveNodes) = st_.store.active();
  int_attr(lib_, attr::kGlobalStatus) = st_.global_status;
  int_attr(lib_, attr::kIncumbentNode) = st_.incumbent_node;
  int_attr(lib_, attr::kIntegerSolutions) = st_.solutions;
  double_attr(lib_, attr::kBestBound) = st_.best_bound;
  double_attr(lib_, attr::kIncumbentObjective) = st_.solutions > 0 ? st_.incumbent : worst();
  st_.peak_record_bytes = std::max(st_.peak_record_bytes, st_.store.record_bytes());
}

void Search::set_up() {
  const double root = double_attr(lib_, attr::kObjectiveValue);
  st_.active = true;
  st_.problem_serial = p_.serial;
  st_.original_lower = p_.lower;
  st_.original_upper = p_.upper;
  st_.applied.clear();
  st_.incumbent = worst();
  st_.incumbent_node = 0;
  st_.solutions = 0;
  st_.incumbent_changes.clear();
  st_.incumbent_basis.clear();
  st_.local_cutoff_set = false;
  st_.best_bound = root;
  st_.nodes = 0;
  st_.selections = 0;
  st_.depth = 0;
  st_.node_numbers = 0;
  st_.global_status = kSearchRunningNoSolution;
  st_.log_lines = 0;
  st_.peak_record_bytes = 0;
  st_.learnt.reset(p_.entities.size());
  st_.bound_heap.clear();
  st_.scanned = false;
  st_.origins.clear();
  st_.reduced_cost_fixings = 0;
  st_.propagated_bounds = 0;
  st_.propagated_infeasible = 0;
  st_.incumbent_values.clear();
  st_.probing_fixings = 0;
  st_.root_iterations = int_attr(lib_, attr::kIterations);
  st_.heuristic_iterations = 0;
  st_.heuristic_dives = 0;
  st_.heuristic_solutions = 0;
  st_.last_dive_node = 0;
  std::int32_t slots = c_.i(icv::MXANOD);
  if (slots <= 0) slots = kDefaultListSlots;
  st_.store.reset(slots);
  lib_.global_search_set_up = true;

  // Without a cutoff of the user's, nothing is cut off until a solution exists; the
  // margin a later solution must improve by is the larger of |ADDCUT| and PERCUT
  // percent of the relaxation.
  const double s = st_.sense;
  if (c_.dcv_access[dcv::CUTOFF] <= 0) c_.d(dcv::CUTOFF) = s * kInfinity;
  if (c_.dcv_access[dcv::ADDCUT] <= 0) c_.d(dcv::ADDCUT) = s * -0.00001;
  c_.d(dcv::ADDCUT) = s * std::min(s * c_.d(dcv::ADDCUT), -(c_.d(dcv::PERCUT) / 100.0) * std::fabs(root));
  c_.d(dcv::OBJTAR) = c_.d(dcv::CUTOFF);
  c_.d(dcv::PSTCST) = 10.0 * std::fabs(root) + 1.0;

  const std::int32_t gprint = c_.i(icv::GPRINT);
  if (gprint > 1) {
    print_message(lib_, kMessageSearchLogHeading);
    flush_line(lib_);
  }
}

void Search::store(NodeRecord&& record, float estimate, float degradation) {
  bool grew = false;
  const std::int32_t node = record.node;
  const double key = st_.sense * record.bound;
  const std::int32_t slot = st_.store.put(record, estimate, degradation, grew);
  st_.bound_heap.push_back({key, slot, node});
  std::push_heap(st_.bound_heap.begin(), st_.bound_heap.end(), later_in_bound_order);
  if (grew) {
    const std::int32_t gprint = c_.i(icv::GPRINT);
    if (gprint < 0 || gprint == 3) {
      print_message(lib_, kMessageNodeListEnlarged);
      flush_line(lib_);
    }
    c_.i(icv::MXANOD) = st_.store.capacity();
  }
}

void Search::log_tree(bool solution) {
  const std::int32_t gprint = c_.i(icv::GPRINT);
  if (gprint >= 0) return;
  if (!solution && st_.nodes % std::abs(static_cast<std::int64_t>(gprint)) != 0) return;
  const std::int32_t every = c_.i(icv::ITRHDG);
  if (st_.log_lines == 0 || (every > 0 && st_.log_lines % every == 0)) {
    print_message(lib_, kMessageSearchTreeHeading);
    flush_line(lib_);
  }
  print_message(lib_, kMessageSearchTreeLine);
  put_text(lib_, solution ? "*" : " ", 1);
  put_integer(lib_, st_.nodes, st_.nodes < 1000000 ? 6 : 12);
  put_integer(lib_, st_.solutions, 6);
  if (st_.solutions > 0) {
    put_real(lib_, st_.incumbent);
  } else {
    put_text(lib_, "            ", 12);
  }
  put_real(lib_, st_.best_bound);
  put_integer(lib_, st_.store.active(), 6);
  put_integer(lib_, st_.depth, 6);
  flush_line(lib_);
  ++st_.log_lines;
  call_log_callback(lib_, lib_.callbacks.global_log);
}

void Search::log_node(const NodeRecord& node, double z, double estimate, const BranchChoice* choice) {
  if (c_.i(icv::GPRINT) <= 0) return;
  print_message(lib_, kMessageSearchLogLine);
  put_integer(lib_, node.node, 6);
  put_integer(lib_, node.parent, 6);
  put_real(lib_, z);
  put_real(lib_, estimate);
  put_integer(lib_, choice ? choice->unsatisfied : 0, 6);
  put_integer(lib_, st_.store.active(), 6);
  if (choice != nullptr && choice->entity >= 0) {
    const GlobalEntity& e = p_.entities[static_cast<std::size_t>(choice->entity)];
    if (e.is_set()) {
      char name[16];
      std::snprintf(name, sizeof name, "Set%-5d", e.reference + 1);
      put_text(lib_, name, 8);
    } else {
      std::vector<char> name(static_cast<std::size_t>(p_.names.width()));
      p_.names.copy_name(p_.column_variable(e.reference), name.data());
      put_text(lib_, name.data(), std::min(8, static_cast<int>(name.size())));
    }
    put_real(lib_, choice->value);
    put_text(lib_, choice->first == kUp ? " L" : " U", 2);
  }
  flush_line(lib_);
  call_log_callback(lib_, lib_.callbacks.global_log);
}

void Search::log_infeasible(const NodeRecord& node, bool cut_off, bool with_objective, double z) {
  if (c_.i(icv::GPRINT) <= 0) return;
  print_message(lib_, cut_off ? kMessageSearchLogCutOff : kMessageSearchLogInfeasible);
  put_integer(lib_, node.node, 6);
  put_integer(lib_, node.parent, 6);
  if (cut_off && with_objective) put_real(lib_, z);
  flush_line(lib_);
  call_log_callback(lib_, lib_.callbacks.global_log);
}

// Solves the node's LP and examines its solution.
Outcome Search::process(const NodeRecord& node, BranchChoice& choice) {
  st_.current_node = node.node;
  st_.abandon_current = false;
  st_.depth = node.depth;
  if (node_infeasible_ || bounds_cross(node.changes)) {
    ++st_.nodes;
    st_.origins.erase(node.node);
    if (lib_.callbacks.infeasible_node != nullptr) {
      CallbackScope scope(lib_);
      lib_.callbacks.infeasible_node();
    }
    log_infeasible(node, false, false, 0.0);
    return Outcome::kInfeasible;
  }
  run_lp_driver(lib_, DriverMode::kResolve);
  if (lib_.err.return_code != 0) return Outcome::kFailed;
  std::int32_t lp = int_attr(lib_, attr::kLpStatus);
  if (lp == kLpUnfinished) return Outcome::kUnfinished;
  ++st_.nodes;
  if (lp == kLpUnbounded) return Outcome::kUnbounded;
  learn(node, lp, double_attr(lib_, attr::kObjectiveValue));
  bool rejected = false;
  if (lp == kLpOptimal && lib_.callbacks.optimal_node != nullptr) {
    std::int32_t flag = 0;
    {
      CallbackScope scope(lib_);
      lib_.callbacks.optimal_node(&flag);
    }
    rejected = flag != 0;
  }
  if (lp == kLpOptimal && !rejected) {
    if (!node_cuts(lib_)) return Outcome::kFailed;
    lp = int_attr(lib_, attr::kLpStatus);
    if (lp == kLpUnfinished) {
      --st_.nodes;
      return Outcome::kUnfinished;
    }
    if (lp == kLpUnbounded) return Outcome::kUnbounded;
  }
  if (st_.abandon_current) rejected = true;
  const double z = double_attr(lib_, attr::kObjectiveValue);
  if (lp == kLpInfeasible || lp == kLpNotBetter || lp == kLpCutoff || rejected) {
    if (lib_.callbacks.infeasible_node != nullptr) {
      CallbackScope scope(lib_);
      lib_.callbacks.infeasible_node();
    }
    const bool cut_off = lp == kLpNotBetter || lp == kLpCutoff;
    log_infeasible(node, cut_off, lp == kLpNotBetter, z);
    return cut_off ? Outcome::kCutOff : Outcome::kInfeasible;
  }
  const EngineState& engine = *lib_.engine;
  NodeView view{engine.basis.x, engine.pi, engine.lp.lower, engine.lp.upper, engine.lp.cost};
  const BranchSettings settings = branch_settings();
  choose_branch(p_, view, settings, choice);
  if (choice.unsatisfied == 0) return Outcome::kInteger;
  tighten_by_reduced_costs(z);
  if (lib_.callbacks.choose_branch != nullptr) {
    const GlobalEntity& e = p_.entities[static_cast<std::size_t>(choice.entity)];
    std::int32_t column = e.reference + 1;
    std::int32_t code = choice.first + (e.is_set() ? 2 : 0);
    double increment = choice.estimate_increment;
    {
      CallbackScope scope(lib_);
      lib_.callbacks.choose_branch(&column, &code, &increment);
    }
    choice.estimate_increment = increment;
    if (column != e.reference + 1 || code != choice.first + (e.is_set() ? 2 : 0)) {
      const bool want_set = code >= 2;
      for (std::size_t k = 0; k < p_.entities.size(); ++k) {
        const GlobalEntity& other = p_.entities[k];
        if (other.is_set() != want_set || other.reference + 1 != column) continue;
        BranchChoice alt = choice;
        if (branch_on(p_, view, settings, static_cast<std::int32_t>(k), code % 2, alt)) choice = alt;
        break;
      }
    }
  }
  return Outcome::kBranched;
}

// A child's objective rise over its parent, per unit of the branching move, teaches the
// pseudo-costs of the entity branched on. A cut-off LP stopped early gives a rise no
// larger than the true one, which still ranks the entity as costly.
void Search::learn(const NodeRecord& node, std::int32_t lp, double z) {
  const auto it = st_.origins.find(node.node);
  if (it == st_.origins.end()) return;
  const BranchOrigin origin = it->second;
  st_.origins.erase(it);
  if (lp != kLpOptimal && lp != kLpNotBetter && lp != kLpCutoff) return;
  st_.learnt.record(origin.entity, origin.direction, origin.distance, st_.sense * (z - origin.parent_objective));
}

// Reduced-cost fixing (IFINTP bit 1): with a finite cutoff, integer columns nonbasic at a
// bound cannot move further than the gap pays for. The node's own LP solution does not
// change (every such column stays at its bound), so it is not solved again; the bounds
// go to the node's children.
void Search::tighten_by_reduced_costs(double z) {
  fixings_.clear();
  if ((c_.i(icv::IFINTP) & 1) == 0) return;
  const double cut = cutoff();
  if (!(std::fabs(cut) < kInfinityThreshold)) return;
  const EngineState& engine = *lib_.engine;
  if (engine.reduced_cost.size() != engine.basis.x.size()) return;
  const double gap = st_.sense * (cut - z);
  const double slack = 1.0e-6 * std::max(1.0, std::fabs(cut));
  OptimalNode view{engine.basis.x, engine.reduced_cost, engine.lp.lower, engine.lp.upper};
  st_.reduced_cost_fixings += reduced_cost_tightening(p_, view, gap, slack, 1.0e-7, fixings_);
}

// IFINTP bit 2: the node's bound changes (branching and reduced-cost fixings) are carried
// through the rows to the binary columns before its LP. What they imply holds
// below the node too, so the node's changes take it over and its children inherit it.
// The root propagates every row once. False when the rows prove the node infeasible.
bool Search::propagate(NodeRecord& node) {
  if ((c_.i(icv::IFINTP) & 2) == 0) return true;
  // Binary columns only: on general integers (bell5) the roundings reshape the dives and
  // the search took longer (10 CPU-s unfinished against 6.5 s without; 8.6 s binaries only).
  make_propagator();
  implied_.clear();
  const bool root = node.parent == 0;
  if (node.changes.empty() && !root) return true;
  const bool feasible = propagator_->propagate(p_.lower, p_.upper, node.changes, root, implied_);
  st_.propagated_bounds += static_cast<std::int64_t>(implied_.size());
  if (!feasible) ++st_.propagated_infeasible;
  if (!implied_.empty()) {
    node.changes = merged(node.changes, implied_);
    st_.applied = node.changes;
  }
  return feasible;
}

// Probing (IFINTP bit 4) before the first node: each binary column not yet fixed is
// set to 0 and to 1 in turn and the rows propagated; a value the rows refute fixes the
// column at the other for the whole search (the root's changes, which every node
// inherits), and the passes repeat while they fix anything. A column refuted both ways
// leaves crossed bounds, which end the root as infeasible.
void Search::probe(NodeRecord& root) {
  if ((c_.i(icv::IFINTP) & 4) == 0) return;
  print_message(lib_, kMessageProbing);
  flush_line(lib_);
  make_propagator();
  std::vector<double> lower = p_.lower;
  std::vector<double> upper = p_.upper;
  std::vector<double> trial_lower = lower;
  std::vector<double> trial_upper = upper;
  std::vector<BoundChange> implied;
  // Sets the trial bounds back to the probe's base after a probe.
  auto reset = [&](const std::vector<BoundChange>& touched) {
    for (const BoundChange& c : touched) {
      const auto v = static_cast<std::size_t>(c.variable);
      trial_lower[v] = lower[v];
      trial_upper[v] = upper[v];
    }
  };
  std::vector<BoundChange> fixed;
  constexpr int kPasses = 4;
  // Probing gives way to the search on large problems: two seconds at most.
  constexpr std::int64_t kProbingCentiseconds = 200;
  const std::int64_t started = clock_now();
  bool out_of_time = false;
  for (int pass = 0; pass < kPasses && !out_of_time; ++pass) {
    bool any = false;
    for (const GlobalEntity& e : p_.entities) {
      if (e.kind() != EntityKind::kBinary) continue;
      if (clock_now() - started > kProbingCentiseconds) {
        out_of_time = true;
        break;
      }
      const auto v = static_cast<std::size_t>(p_.column_variable(e.reference));
      if (lower[v] >= upper[v]) continue;
      for (int value = 0; value < 2; ++value) {
        const BoundChange seed{static_cast<std::int32_t>(v), static_cast<double>(value), static_cast<double>(value)};
        trial_lower[v] = trial_upper[v] = value;
        implied.clear();
        const bool feasible = propagator_->propagate(trial_lower, trial_upper, std::span(&seed, 1), false, implied);
        reset(implied);
        trial_lower[v] = lower[v];
        trial_upper[v] = upper[v];
        if (feasible) continue;
        // The other value holds for good; what it implies does too.
        const double other = 1.0 - value;
        lower[v] = upper[v] = other;
        fixed.push_back({static_cast<std::int32_t>(v), other, other});
        any = true;
        const BoundChange fix{static_cast<std::int32_t>(v), other, other};
        implied.clear();
        const bool consistent = propagator_->propagate(lower, upper, std::span(&fix, 1), false, implied);
        for (const BoundChange& c : implied) fixed.push_back(c);
        for (const BoundChange& c : implied) {
          trial_lower[static_cast<std::size_t>(c.variable)] = c.lower;
          trial_upper[static_cast<std::size_t>(c.variable)] = c.upper;
        }
        trial_lower[v] = trial_upper[v] = other;
        if (!consistent) {
          // Both values refuted: no solution exists below the root.
          fixed.push_back({static_cast<std::int32_t>(v), 1.0, 0.0});
          root.changes = merged(root.changes, fixed);
          st_.probing_fixings += static_cast<std::int64_t>(fixed.size());
          return;
        }
        break;
      }
    }
    if (!any || time_is_up()) break;
  }
  st_.probing_fixings += static_cast<std::int64_t>(fixed.size());
  if (!fixed.empty()) root.changes = merged(root.changes, fixed);
}

// The node gave an integer solution of value z (user units).
Stop Search::new_solution(const NodeRecord& node, double z) {
  const double s = st_.sense;
  c_.d(dcv::CUTOFF) = z + c_.d(dcv::ADDCUT);
  c_.d(dcv::OBJTAR) = c_.d(dcv::CUTOFF);
  st_.global_status = kSearchRunningWithSolution;
  const std::int32_t gprint = c_.i(icv::GPRINT);
  if (gprint > 1) {
    print_message(lib_, kMessageIntegerSolutionFound);
    put_real(lib_, z);
    put_time();
    flush_line(lib_);
  }
  if (s * z < s * st_.incumbent) {
    st_.incumbent = z;
    st_.incumbent_node = static_cast<std::int32_t>(st_.nodes);
    ++st_.solutions;
    st_.incumbent_changes = node.changes;
    st_.incumbent_basis = pack_basis(p_.status);
    if (lib_.engine) st_.incumbent_values = lib_.engine->basis.x;
    int_attr(lib_, attr::kIntegerSolutions) = st_.solutions;
    if (better(st_.incumbent, st_.best_bound)) st_.best_bound = st_.incumbent;
  }
  log_tree(true);
  // The solution file keeps the best solution; earlier ones go to numbered files.
  const std::int32_t keep = c_.i(icv::IPKEEP);
  if (st_.solutions >= 2 && keep >= 2) {
    const int digit = (st_.solutions - 2) % (keep - 1);
    const std::string kept = "so" + std::to_string(digit);
    std::remove(problem_file_name(lib_, kept.c_str()).c_str());
    std::rename(problem_file_name(lib_, "sol").c_str(), problem_file_name(lib_, kept.c_str()).c_str());
  }
  // A presolved problem would map the solution back here before it is written.
  write_solution_file(lib_);
  lib_.err.clear();
  if (lib_.callbacks.integer_solution != nullptr) {
    CallbackScope scope(lib_);
    lib_.callbacks.integer_solution();
  }
  publish();
  if (c_.i(icv::IPACTN) == 2) return Stop::kFirstSolution;
  const std::int32_t maxsol = c_.i(icv::MAXSOL);
  if (maxsol > 0 && st_.solutions >= maxsol) return Stop::kSolutionLimit;
  return Stop::kNone;
}

// The diving heuristic runs at the first node and then every so many nodes while its
// iterations stay within a share of the search's. Its solutions are LP solutions of the
// problem with tightened bounds, so user callbacks that judge nodes, add entities of
// their own or attach bounds to branches could reject them: with such callbacks it stays out.
bool Search::dive_heuristic_due(const NodeRecord& node) const {
  if ((c_.i(icv::IFINTP) & kDivingBit) != 0) return false;
  if (lib_.callbacks.optimal_node != nullptr || lib_.callbacks.user_entities != nullptr) return false;
  // A cut manager may attach bounds to the children (KQBRANCHCUT) that a dive cannot see.
  if (lib_.callbacks.node_cut_manager != nullptr || lib_.callbacks.top_cut_manager != nullptr) return false;
  if (st_.heuristic_dives == 0) return node.parent == 0;
  const std::int64_t every = st_.solutions == 0 ? 100 : 500;
  if (st_.nodes - st_.last_dive_node < every) return false;
  const std::int64_t spent = int_attr(lib_, attr::kIterations) - st_.root_iterations - st_.heuristic_iterations;
  return st_.heuristic_iterations < dive_iteration_cap() + spent / 10;
}

// One dive from the node just solved (its LP optimal and fractional): a column at a
// time is bounded toward a whole value and the LP re-solved, each step tried the other
// way once when its LP fails, until the LP solution is integral, fails both ways, or the
// dive's iterations are spent. The node's bounds, basis and LP figures are put back.
Stop Search::dive_heuristic(const NodeRecord& node) {
  ++st_.heuristic_dives;
  st_.last_dive_node = st_.nodes;
  const std::vector<std::uint32_t> basis = pack_basis(p_.status);
  const ErrorState err = lib_.err;
  const std::int32_t lp_status = int_attr(lib_, attr::kLpStatus);
  const double objective = double_attr(lib_, attr::kObjectiveValue);
  const std::int32_t itrlim = c_.i(icv::ITRLIM);
  const std::int64_t first = int_attr(lib_, attr::kIterations);
  c_.i(icv::ITRLIM) = static_cast<std::int32_t>(std::min<std::int64_t>(itrlim, first + dive_iteration_cap()));

  const std::int32_t rows = lib_.cut_pool ? first_cut_row(p_, *lib_.cut_pool) : p_.rows;
  if (!locks_ || locks_rows_ != rows) {
    locks_ = rounding_locks(p_, rows, st_.original_lower, st_.original_upper);
    locks_rows_ = rows;
  }
  const BranchSettings settings = branch_settings();
  std::vector<BoundChange> changes = fixings_.empty() ? node.changes : merged(node.changes, fixings_);
  apply(changes);
  const std::span<const double> guide =
      st_.solutions > 0 ? std::span<const double>(st_.incumbent_values) : std::span<const double>();
  Stop stop = Stop::kNone;
  const std::int32_t max_steps = 2 * static_cast<std::int32_t>(p_.entities.size()) + 10;
  for (std::int32_t steps = 0; steps < max_steps; ++steps) {
    const EngineState& engine = *lib_.engine;
    const DiveStep step = next_dive_step(p_, engine.basis.x, p_.lower, p_.upper, *locks_, settings.integer_tolerance,
                                         guide.size() == engine.basis.x.size() ? guide : std::span<const double>());
    if (step.kind == DiveStepKind::kIntegral) {
      NodeView view{engine.basis.x, engine.pi, engine.lp.lower, engine.lp.upper, engine.lp.cost};
      if (count_unsatisfied(p_, view, settings) == 0) {
        NodeRecord found;
        found.node = node.node;
        found.changes = changes;
        ++st_.heuristic_solutions;
        stop = new_solution(found, double_attr(lib_, attr::kObjectiveValue));
      }
      break;
    }
    bool solved = false;
    for (int attempt = 0; attempt < 2 && !solved; ++attempt) {
      if (attempt == 1 && step.other.empty()) break;
      std::vector<BoundChange> next = merged(changes, attempt == 0 ? step.changes : step.other);
      if (bounds_cross(next)) continue;
      apply(next);
      run_lp_driver(lib_, DriverMode::kResolve);
      if (lib_.err.return_code != 0) break;
      const std::int32_t lp = int_attr(lib_, attr::kLpStatus);
      if (lp == kLpUnfinished) break;
      if (lp == kLpOptimal) {
        changes = std::move(next);
        solved = true;
      }
    }
    if (!solved) break;
  }
  const std::int64_t used = int_attr(lib_, attr::kIterations) - first;
  st_.heuristic_iterations += used;
  const bool stopped = int_attr(lib_, attr::kLpStatus) == kLpUnfinished && used < dive_iteration_cap();
  c_.i(icv::ITRLIM) = itrlim;
  apply(node.changes);
  unpack_basis(basis, p_.status);
  lib_.err = err;
  int_attr(lib_, attr::kLpStatus) = lp_status;
  double_attr(lib_, attr::kObjectiveValue) = objective;
  if (stop == Stop::kNone && stopped) stop = time_is_up() ? Stop::kTimeLimit : Stop::kUnfinished;
  return stop;
}

// Processes node and dives below it while the continuation rule allows. Every node
// not yet solved when the dive stops is in the active list on return.
Stop Search::dive(NodeRecord node) {
  std::optional<NodeRecord> pending;  // the sibling of node, not yet solved
  bool basis_in_place = node.basis.empty();
  parent_ = ParentHeader{};
  const double s = st_.sense;
  auto put_back = [&](NodeRecord&& r) {
    if (r.basis.empty()) r.basis = pack_basis(p_.status);
    const auto estimate = static_cast<float>(r.estimate);
    const auto degradation = static_cast<float>(r.estimate - r.bound);
    store(std::move(r), estimate, degradation);
  };
  auto set_aside = [&]() {
    if (pending) {
      put_back(std::move(*pending));
      pending.reset();
    }
  };
  while (true) {
    if (lib_.take_interrupt()) {
      put_back(std::move(node));
      set_aside();
      return Stop::kUnfinished;
    }
    if (time_is_up()) {
      put_back(std::move(node));
      set_aside();
      return Stop::kTimeLimit;
    }
    apply(node.changes);
    node_infeasible_ = !propagate(node);
    restore_node_cuts(lib_, node);
    if (!basis_in_place) unpack_basis(node.basis, p_.status);
    BranchChoice choice;
    const Outcome outcome = process(node, choice);
    switch (outcome) {
      case Outcome::kUnfinished:
      case Outcome::kUnbounded:
      case Outcome::kFailed:
        put_back(std::move(node));
        set_aside();
        return outcome == Outcome::kUnfinished  ? Stop::kUnfinished
               : outcome == Outcome::kUnbounded ? Stop::kUnbounded
                                                : Stop::kFailed;
      default:
        break;
    }
    const double z = double_attr(lib_, attr::kObjectiveValue);
    Stop stop = Stop::kNone;
    bool ends = outcome != Outcome::kBranched;
    if (outcome == Outcome::kInteger) {
      log_node(node, z, z, &choice);
      stop = new_solution(node, z);
    }
    if (ends) {
      log_tree(false);
      if (stop != Stop::kNone) {
        set_aside();
        return stop;
      }
      if (!pending) return Stop::kNone;
      node = std::move(*pending);
      pending.reset();
      // The sibling starts from the basis the node left: near the parent's, and the
      // factorisation in memory belongs to it.
      node.basis.clear();
      basis_in_place = true;
      parent_.valid = false;
    } else {
      const Stop found = dive_heuristic_due(node) ? dive_heuristic(node) : Stop::kNone;
      const double estimate = z + s * choice.estimate_increment;
      log_node(node, z, estimate, &choice);
      log_tree(false);
      NodeRecord child[2];
      for (int dir = 0; dir < 2; ++dir) {
        child[dir].node = ++st_.node_numbers;
        child[dir].parent = node.node;
        child[dir].depth = node.depth + 1;
        child[dir].estimate = estimate;
        child[dir].bound = z;
        child[dir].changes =
            merged(fixings_.empty() ? node.changes : merged(node.changes, fixings_), choice.child[dir]);
        const GlobalEntity& e = p_.entities[static_cast<std::size_t>(choice.entity)];
        if (!e.is_set() && e.kind() != EntityKind::kSemiContinuous) {
          const double below = choice.value - std::floor(choice.value);
          st_.origins[child[dir].node] = BranchOrigin{choice.entity, dir, dir == kDown ? below : 1.0 - below, z};
        }
      }
      const int first = choice.first;
      const int second = 1 - first;
      // A child that cannot be feasible is dropped without an LP.
      NodeRecord& f = child[first];
      NodeRecord& sec = child[second];
      const bool f_ok = !choice.child_infeasible[first];
      const bool s_ok = !choice.child_infeasible[second];
      branch_node_cuts(lib_, child[0], !choice.child_infeasible[0], child[1], !choice.child_infeasible[1]);
      if (found != Stop::kNone) {
        set_aside();
        if (f_ok) put_back(std::move(f));
        if (s_ok) put_back(std::move(sec));
        return found;
      }
      const std::int32_t ndsel1 = c_.i(icv::NDSEL1);
      bool may_dive = ndsel1 != 2 && !(ndsel1 == 4 && st_.nodes <= c_.i(icv::MAXNBF));
      if (c_.i(icv::IFCUTOFF) > 0 && st_.local_cutoff_set && s * z > s * st_.local_cutoff) may_dive = false;
      bool switch_to_sibling = false;
      if (may_dive && pending && parent_.valid) {
        if (choice.unsatisfied > parent_.unsatisfied) {
          switch_to_sibling = true;
        } else {
          const float a = static_cast<float>(estimate - parent_.objective);
          const float d =
              static_cast<float>(s * (parent_.increment + std::fabs(parent_.down - parent_.up) * c_.d(dcv::PSEUDO)));
          const float crit = static_cast<float>(c_.d(dcv::CRITRN));
          switch_to_sibling = !(static_cast<float>(s) * (crit * std::max(a, d) - a + d) >= 0.0f);
        }
      }
      if (!may_dive) {
        set_aside();
        if (f_ok) put_back(std::move(f));
        if (s_ok) put_back(std::move(sec));
        if (st_.nodes >= c_.i(icv::MAXNOD)) return Stop::kNodeLimit;
        return Stop::kNone;
      }
      if (switch_to_sibling) {
        if (f_ok) put_back(std::move(f));
        if (s_ok) put_back(std::move(sec));
        node = std::move(*pending);
        pending.reset();
        node.basis.clear();
        basis_in_place = true;
        parent_.valid = false;
      } else {
        set_aside();
        parent_ = ParentHeader{
            true, choice.unsatisfied, z, choice.estimate_increment, choice.down_estimate, choice.up_estimate};
        if (f_ok && s_ok) {
          sec.basis = pack_basis(p_.status);
          node = std::move(f);
          pending = std::move(sec);
        } else if (f_ok || s_ok) {
          node = f_ok ? std::move(f) : std::move(sec);
          parent_.valid = false;
        } else {
          if (st_.nodes >= c_.i(icv::MAXNOD)) return Stop::kNodeLimit;
          return Stop::kNone;
        }
        basis_in_place = true;
      }
    }
    if (st_.nodes >= c_.i(icv::MAXNOD)) {
      put_back(std::move(node));
      set_aside();
      return Stop::kNodeLimit;
    }
  }
}

void Search::refresh_local_cutoff(double b) {
  const double s = st_.sense;
  const std::int32_t mode = c_.i(icv::IFCUTOFF);
  double local = cutoff();
  if (mode == 1) {
    const double f = static_cast<double>(c_.i(icv::PRCUTOFF)) / 100.0;
    local = s * b <= 0.0 ? b * (1.0 - f) : b * (1.0 + f);
  } else if (mode == 2) {
    const double v = c_.d(dcv::VALCUT);
    if (s * v > s * b) local = v;
  }
  if (s * local > s * cutoff()) local = cutoff();
  st_.local_cutoff = local;
  st_.local_cutoff_set = true;
}

// Under the default rule the node of smallest bound (the first slot on ties), read from
// the heap. Only while the cutoff is the one of the last full scan: no stored node can
// have been put past it since (a child's bound is its parent's objective, better than
// the cutoff), so the scan would discard nothing. -1 when the scan must run.
std::int32_t Search::select_by_bound_heap() {
  const std::int32_t ndsel1 = c_.i(icv::NDSEL1);
  if (c_.i(icv::NDSEL2) != 3 || ndsel1 == 3 || ndsel1 == 4 || c_.i(icv::IFCUTOFF) > 0) return -1;
  if (!st_.scanned || st_.scanned_cutoff != cutoff()) return -1;
  auto& heap = st_.bound_heap;
  while (!heap.empty()) {
    const GlobalSearch::BoundEntry top = heap.front();
    if (top.slot < st_.store.length() && st_.store.slot(top.slot).node == top.node) {
      const double bound = st_.store.slot(top.slot).bound;
      if (st_.sense * bound >= st_.sense * cutoff()) return -1;  // the scan discards it
      st_.best_bound = st_.solutions > 0 && better(st_.incumbent, bound) ? st_.incumbent : bound;
      ++st_.selections;
      return top.slot;
    }
    std::pop_heap(heap.begin(), heap.end(), later_in_bound_order);
    heap.pop_back();
  }
  return -1;
}

// Node selection; returns the chosen slot, -1 when the list is empty.
std::int32_t Search::select() {
  std::int32_t quick = select_by_bound_heap();
  if (quick >= 0) {
    if (lib_.callbacks.select_node == nullptr) return quick;
    std::int32_t number = st_.store.slot(quick).node;
    {
      CallbackScope scope(lib_);
      lib_.callbacks.select_node(&number);
    }
    const std::int32_t other = st_.store.find(number);
    if (other >= 0) return other;
    if (st_.store.slot(quick).node != 0) return quick;
    --st_.selections;  // the callback deleted the node: choose again by the scan
  }
  st_.scanned = true;
  st_.scanned_cutoff = cutoff();
  const double s = st_.sense;
  const double cut = cutoff();
  const std::int32_t ndsel1 = c_.i(icv::NDSEL1);
  const std::int32_t ndsel2 = c_.i(icv::NDSEL2);
  const double target = c_.d(dcv::OBJTAR);
  const bool target_rule = ndsel2 == 2 && std::fabs(target) < kInfinityThreshold;
  bool by_bound = ndsel2 == 3;
  if (ndsel1 == 4) {
    const std::int64_t nbf = c_.i(icv::MAXNBF);
    by_bound = st_.selections < std::abs(nbf) ? nbf >= 0 : nbf < 0;
  }
  const bool deepest = ndsel1 == 3;
  ++st_.selections;
  const bool local_rule = c_.i(icv::IFCUTOFF) > 0;
  if (local_rule && (!st_.local_cutoff_set || s * st_.best_bound >= s * st_.local_cutoff)) {
    refresh_local_cutoff(st_.best_bound);
  }
  for (int pass = 0; pass < 64; ++pass) {
    std::int32_t best = -1;
    double best_key = 0.0;
    std::int32_t best_depth = -1;
    bool passed = false;
    bool any = false;
    double bound = worst();
    for (std::int32_t k = 0; k < st_.store.length(); ++k) {
      const NodeSlot& slot = st_.store.slot(k);
      if (slot.node == 0) continue;
      if (s * slot.bound >= s * cut) {
        ++st_.nodes;
        NodeRecord shown;
        shown.node = slot.node;
        log_infeasible(shown, true, false, 0.0);
        const std::int32_t number = slot.node;
        st_.store.drop(k);
        discard_node_cuts(lib_, number);
        st_.origins.erase(number);
        if (lib_.callbacks.cutoff_node != nullptr) {
          CallbackScope scope(lib_);
          lib_.callbacks.cutoff_node(number);
        }
        continue;
      }
      if (!any || s * slot.bound < s * bound) bound = slot.bound;
      any = true;
      if (local_rule && s * slot.bound > s * st_.local_cutoff) {
        passed = true;
        continue;
      }
      double key = 0.0;
      if (target_rule) {
        key = (s * (slot.estimate - target)) / (static_cast<double>(slot.degradation) + 0.00001);
      } else if (by_bound) {
        key = s * slot.bound;
      } else {
        key = s * static_cast<double>(slot.estimate);
      }
      bool take = best < 0;
      if (!take && deepest) {
        take = slot.depth > best_depth || (slot.depth == best_depth && key < best_key);
      } else if (!take) {
        take = key < best_key;
      }
      if (take) {
        best = k;
        best_key = key;
        best_depth = slot.depth;
      }
    }
    if (any) st_.best_bound = st_.solutions > 0 && better(st_.incumbent, bound) ? st_.incumbent : bound;
    if (best >= 0 || !passed) {
      if (best >= 0 && lib_.callbacks.select_node != nullptr) {
        std::int32_t number = st_.store.slot(best).node;
        {
          CallbackScope scope(lib_);
          lib_.callbacks.select_node(&number);
        }
        const std::int32_t other = st_.store.find(number);
        if (other >= 0) {
          best = other;
        } else if (st_.store.slot(best).node == 0) {
          continue;  // the callback deleted the node: choose again
        }
      }
      return best;
    }
    refresh_local_cutoff(bound);
  }
  return -1;
}

void Search::report() {
  const std::int32_t gprint = c_.i(icv::GPRINT);
  // The bound: the best of the incumbent and every node still outstanding.
  double bound = st_.solutions > 0 ? st_.incumbent : worst();
  for (std::int32_t k = 0; k < st_.store.length(); ++k) {
    const NodeSlot& slot = st_.store.slot(k);
    if (slot.node != 0 && better(slot.bound, bound)) bound = slot.bound;
  }
  st_.best_bound = bound;
  if (st_.solutions == 0) {
    print_message(lib_, kMessageNoIntegerSolutionFound);
    flush_line(lib_);
  } else {
    if (gprint != 0) {
      print_message(lib_, kMessageIntegerSolutionCount);
      put_integer(lib_, st_.solutions, 6);
      flush_line(lib_);
    }
    print_message(lib_, kMessageBestIntegerSolution);
    put_real(lib_, st_.incumbent);
    flush_line(lib_);
  }
  if (better(bound, cutoff())) {
    print_message(lib_, kMessageBestBound);
    put_real(lib_, bound);
    flush_line(lib_);
  }
}

void Search::finish_tree() {
  const std::int32_t gprint = c_.i(icv::GPRINT);
  if (gprint != 0) {
    print_message(lib_, kMessageSearchComplete);
    put_integer(lib_, st_.nodes, 12);
    put_time();
    flush_line(lib_);
  }
  if (st_.solutions == 0) {
    print_message(lib_, kMessageNoIntegerSolutionExists);
    flush_line(lib_);
  } else {
    if (gprint != 0) {
      print_message(lib_, kMessageIntegerSolutionCount);
      put_integer(lib_, st_.solutions, 6);
      flush_line(lib_);
    }
    print_message(lib_, kMessageBestIntegerSolution);
    put_real(lib_, st_.incumbent);
    flush_line(lib_);
  }
  st_.best_bound = st_.solutions > 0 ? st_.incumbent : worst();
  st_.global_status = st_.solutions > 0 ? kSearchFinishedWithSolution : kSearchFinishedNoSolution;
  st_.active = false;
}

// Leaves the incumbent's solution in memory (and the original bounds in the problem),
// so that the solution retrieved after the search is the best one found.
void Search::restore_incumbent() {
  if (st_.solutions > 0) {
    apply(st_.incumbent_changes);
    unpack_basis(st_.incumbent_basis, p_.status);
    const double saved_cutoff = c_.d(dcv::CUTOFF);
    c_.d(dcv::CUTOFF) = worst();
    const ErrorState err = lib_.err;
    run_lp_driver(lib_, DriverMode::kResolve);
    lib_.err = err;
    c_.d(dcv::CUTOFF) = saved_cutoff;
    double_attr(lib_, attr::kObjectiveValue) = st_.incumbent;
  }
  apply({});
}

std::int32_t Search::run(bool fresh) {
  ForcedControls forced(lib_);
  lib_.global_search_active = true;
  struct ActiveFlag {
    Library& lib;
    ~ActiveFlag() { lib.global_search_active = false; }
  } flag{lib_};
  // A search stopped last time left the original bounds in the problem; put its
  // applied list in step with them.
  st_.applied.clear();

  Stop stop = Stop::kNone;
  if (fresh) {
    set_up();
    NodeRecord root;
    root.node = ++st_.node_numbers;
    root.bound = st_.best_bound;
    root.estimate = st_.best_bound;
    probe(root);
    publish();
    stop = dive(std::move(root));
  } else {
    const std::int32_t maxsol = c_.i(icv::MAXSOL);
    if (maxsol > 0 && st_.solutions >= maxsol) stop = Stop::kSolutionLimit;
  }
  bool finished = false;
  while (stop == Stop::kNone) {
    publish();
    if (st_.nodes >= c_.i(icv::MAXNOD)) {
      stop = Stop::kNodeLimit;
      break;
    }
    const std::int32_t k = select();
    if (k < 0) {
      finished = true;
      break;
    }
    NodeRecord next = st_.store.take(k);
    stop = dive(std::move(next));
  }
  const std::int32_t gprint = c_.i(icv::GPRINT);
  if (finished) {
    finish_tree();
  } else {
    switch (stop) {
      case Stop::kNodeLimit:
        if (gprint != 0) {
          print_message(lib_, kMessageSearchNodeLimit);
          put_time();
          flush_line(lib_);
        }
        report();
        break;
      case Stop::kSolutionLimit:
        print_message(lib_, kMessageSearchSolutionLimit);
        put_time();
        flush_line(lib_);
        report();
        break;
      case Stop::kTimeLimit:
        print_message(lib_, kMessageSearchTimeLimit);
        put_time();
        flush_line(lib_);
        report();
        break;
      case Stop::kUnfinished:
        if (gprint != 0) {
          print_message(lib_, kMessageSearchNodeUnfinished);
          put_time();
          flush_line(lib_);
        }
        report();
        break;
      case Stop::kUnbounded:
        print_message(lib_, kMessageSearchNodeUnbounded);
        flush_line(lib_);
        break;
      default:
        break;
    }
  }
  const ErrorState err = lib_.err;
  end_search_cuts(lib_);
  restore_incumbent();
  lib_.err = err;
  publish();
  flush_notice(lib_);
  return lib_.err.return_code;
}

}  // namespace

GlobalSearch* current_search(Library& lib) {
  if (!lib.global || !lib.problem || lib.global->problem_serial != lib.problem->serial) return nullptr;
  return lib.global.get();
}

std::int32_t run_global_search(Library& lib) {
  if (!lib.has_problem() || !lib.engine || !lib.engine->has_solution ||
      lib.engine->problem_serial != lib.problem->serial) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  Problem& p = *lib.problem;
  if (!ensure_column_copy(lib, p)) return lib.err.return_code;
  if (p.entities.empty() && lib.callbacks.user_entities == nullptr && lib.callbacks.optimal_node == nullptr) return 0;
  GlobalSearch* existing = current_search(lib);
  const bool fresh = existing == nullptr || !existing->active;
  if (fresh) {
    if (int_attr(lib, attr::kLpStatus) != kLpOptimal) {
      report_error(lib, kRcInvalidCall, kMessageNeedsOptimalLp);
      return lib.err.return_code;
    }
    if (!lib.global) lib.global = std::make_unique<GlobalSearch>();
    lib.global->sense = double_attr(lib, attr::kSenseMultiplier) < 0.0 ? -1.0 : 1.0;
  }
  Search search(lib, *lib.global);
  return search.run(fresh);
}

std::int32_t get_estimate(Library& lib, std::int32_t j, double* up, double* down) {
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  Problem& p = *lib.problem;
  if (j < 0 || j >= p.columns) {
    report_argument_error(lib, kMessageNotAColumn, "getest  ", {j});
    return lib.err.return_code;
  }
  if (!ensure_column_copy(lib, p)) return lib.err.return_code;
  const EngineState* engine = lib.engine.get();
  const auto slots = static_cast<std::size_t>(p.row_slots());
  std::vector<double> pi(slots, 0.0);
  if (engine != nullptr && engine->has_solution && engine->problem_serial == p.serial && engine->pi.size() == slots) {
    pi = engine->pi;
  }
  const double sense = double_attr(lib, attr::kSenseMultiplier) < 0.0 ? -1.0 : 1.0;
  std::vector<double> cost(static_cast<std::size_t>(p.variables()), 0.0);
  for (std::int32_t c = 0; c < p.columns; ++c) {
    cost[static_cast<std::size_t>(p.column_variable(c))] = sense * p.objective[static_cast<std::size_t>(c)];
  }
  BranchSettings s;
  s.price_tolerance = lib.controls.d(dcv::ZTETA);
  s.price_floor = lib.controls.d(dcv::RTOLPS) * p.cost_scale;
  NodeView view{{}, pi, p.lower, p.upper, cost};
  std::vector<float> up_price;
  std::vector<float> down_price;
  row_prices(p, view, s, up_price, down_price);
  float u = 0.0f;
  float d = 0.0f;
  column_estimates(p, cost, up_price, down_price, j, u, d);
  if (up != nullptr) *up = u;
  if (down != nullptr) *down = d;
  return lib.err.return_code;
}

std::int32_t delete_node(Library& lib, std::int32_t node, std::int32_t mode) {
  GlobalSearch* st = current_search(lib);
  if (st == nullptr || !st->active || !lib.global_search_active) {
    report_error(lib, kRcInvalidCall, kMessageNodeNotFound);
    return lib.err.return_code;
  }
  if (node == st->current_node) {
    st->abandon_current = true;
    return 0;
  }
  const std::int32_t k = st->store.find(node);
  if (k < 0) {
    report_error(lib, kRcInvalidCall, kMessageNodeNotFound);
    return lib.err.return_code;
  }
  // Either way the node leaves the list: mode 1 deletes it silently, other modes count
  // it as cut off.
  if (mode != 1) ++st->nodes;
  st->store.drop(k);
  st->origins.erase(node);
  discard_node_cuts(lib, node);
  return 0;
}

}  // namespace kqopt
