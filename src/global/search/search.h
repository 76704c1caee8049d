// The global search: a depth-first branch and bound with backtracking to the active
// node list. Every node is the LP relaxation with tightened column bounds, re-solved by
// the dual simplex from the basis of its parent. The search state outlives a call so
// that a search stopped by a limit goes on at the next call.
//
// The search works on the problem as loaded. Presolve is a separate step: when it
// exists, a search over a presolved problem maps every integer solution back through
// postsolve before it is saved (save_integer_solution is the one place for that).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "global/search/branching.h"
#include "global/search/node_store.h"
#include "global/search/pseudo_costs.h"

namespace kqopt {

struct Library;

// Global status (integer attribute kGlobalStatus).
inline constexpr std::int32_t kSearchRunningNoSolution = 3;
inline constexpr std::int32_t kSearchRunningWithSolution = 4;
inline constexpr std::int32_t kSearchFinishedNoSolution = 5;
inline constexpr std::int32_t kSearchFinishedWithSolution = 6;

// How a node not yet solved was made from its parent, for learning pseudo-costs.
struct BranchOrigin {
  std::int32_t entity = -1;
  int direction = 0;
  double distance = 0.0;          // units the branch moved the entity's value
  double parent_objective = 0.0;  // user units
};

struct GlobalSearch {
  std::uint64_t problem_serial = 0;  // the problem the state belongs to
  bool active = false;               // a search has started and not finished
  double sense = 1.0;                // +1 minimise, -1 maximise (s)

  std::vector<double> original_lower;  // the bounds of every variable at the start
  std::vector<double> original_upper;
  std::vector<BoundChange> applied;  // changes now in the problem's bounds

  double incumbent = 0.0;  // user units
  std::int32_t incumbent_node = 0;
  std::int32_t solutions = 0;
  std::vector<BoundChange> incumbent_changes;
  std::vector<std::uint32_t> incumbent_basis;

  double local_cutoff = 0.0;  // user units, never looser than the cutoff
  bool local_cutoff_set = false;
  double best_bound = 0.0;  // user units
  std::int64_t nodes = 0;
  std::int64_t selections = 0;
  std::int32_t depth = 0;
  std::int32_t node_numbers = 0;  // the last node number handed out
  std::int32_t global_status = 0;
  std::int32_t log_lines = 0;

  NodeStore store;

  // KQDELNODE on the node being processed (from one of its callbacks).
  std::int32_t current_node = 0;
  bool abandon_current = false;
  std::int64_t peak_record_bytes = 0;

  // Every stored node keyed by s·bound then slot, smallest first; entries of nodes taken
  // or dropped since are stale (their slot holds another node number or none) and are
  // skipped. It replaces the scan of the list under the default rule (select by bound)
  // between changes of the cutoff, choosing the same node the scan would.
  struct BoundEntry {
    double key = 0.0;
    std::int32_t slot = 0;
    std::int32_t node = 0;
  };
  std::vector<BoundEntry> bound_heap;
  double scanned_cutoff = 0.0;  // the cutoff of the last full scan
  bool scanned = false;

  LearntPseudoCosts learnt;
  std::unordered_map<std::int32_t, BranchOrigin> origins;  // by node number
  std::int64_t reduced_cost_fixings = 0;                   // bounds tightened, for the figures
  std::int64_t propagated_bounds = 0;                      // bounds the rows implied at nodes
  std::int64_t propagated_infeasible = 0;                  // nodes the rows proved infeasible
  std::int64_t probing_fixings = 0;                        // bounds probing fixed before the first node

  // The diving heuristic: the incumbent's values guide later dives (M + n, internal
  // units); its iterations are held to a share of the search's.
  std::vector<double> incumbent_values;
  std::int64_t root_iterations = 0;       // the LP iterations before the search
  std::int64_t heuristic_iterations = 0;  // spent in dives
  std::int64_t heuristic_dives = 0;
  std::int64_t heuristic_solutions = 0;  // incumbents the dives found
  std::int64_t last_dive_node = 0;       // the node count at the last dive
};

// KQGLOBAL. Returns the return code.
std::int32_t run_global_search(Library& lib);

// The search state of the current problem, or null when no search belongs to it.
GlobalSearch* current_search(Library& lib);

// KQGETEST: the per-unit degradation estimates of column j (0-based) from the row
// prices of the last LP.
std::int32_t get_estimate(Library& lib, std::int32_t j, double* up, double* down);

// KQDELNODE.
std::int32_t delete_node(Library& lib, std::int32_t node, std::int32_t mode);

}  // namespace kqopt
