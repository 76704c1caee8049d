// Cut rounds, node cut lists and the cut-manager callbacks (cut_rounds.h).
#include "global/cuts/cut_rounds.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "frame/message_numbers.h"
#include "global/cuts/cut_pool.h"
#include "global/cuts/cut_rows.h"
#include "global/cuts/root_cuts.h"
#include "global/search/branching.h"
#include "global/search/node_store.h"
#include "library/callbacks.h"
#include "library/library.h"
#include "problem/infinity.h"
#include "problem/matrix.h"
#include "problem/problem.h"
#include "problem/units.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/lp_driver.h"

namespace kqopt {

namespace {

constexpr std::int32_t kLpOptimal = 1;
// A cut manager that keeps asking for rounds while changing the LP is stopped here.
constexpr int kMaxRounds = 1000;

// A callback sees the library as the rounds left it and leaves their error state.
class CutCallbackScope {
 public:
  explicit CutCallbackScope(Library& lib) : lib_(lib), err_(lib.err) { flush_notice(lib); }
  ~CutCallbackScope() { lib_.err = err_; }
  CutCallbackScope(const CutCallbackScope&) = delete;
  CutCallbackScope& operator=(const CutCallbackScope&) = delete;

 private:
  Library& lib_;
  ErrorState err_;
};

bool lp_solved(const Library& lib) {
  return lib.engine && lib.engine->has_solution && lib.engine->problem_serial == lib.problem->serial;
}

// Cuts added with KQADDCUTS become pool entries, so that they are restored with the
// nodes that inherit them.
bool move_added_cuts(Library& lib, CutPool& pool) {
  const Problem& p = *lib.problem;
  const std::int32_t first = first_cut_row(p, pool);
  for (std::size_t k = 0; k < pool.lp_cuts.size(); ++k) {
    LpCut& c = pool.lp_cuts[k];
    if (c.entry >= 0) continue;
    const auto row = static_cast<std::int32_t>(first + static_cast<std::int32_t>(k));
    CutInput cut;
    cut.type = p.row_type[static_cast<std::size_t>(row)];
    cut.cut_type = c.cut_type;
    cut.rhs = p.rhs[static_cast<std::size_t>(row)];
    // The row's elements in the caller's units, from the row-wise copy when current,
    // else from the columns.
    for (std::int32_t j = 0; j < p.columns; ++j) {
      for (std::int32_t q = p.by_column.start[static_cast<std::size_t>(j)];
           q < p.by_column.start[static_cast<std::size_t>(j) + 1]; ++q) {
        if (p.by_column.row[static_cast<std::size_t>(q)] != row) continue;
        cut.columns.push_back(j);
        cut.values.push_back(scale_by(p.by_column.value[static_cast<std::size_t>(q)], element_shift(p, row, j)));
      }
    }
    std::int32_t id = -1;
    if (pool.store(cut, 0, lib.controls.d(dcv::ZTOLDA), id) != StoreResult::kStored) {
      report_error(lib, kRcInvalidCall, kMessageNoCutElementSpace);
      return false;
    }
    c.entry = id;
    ++pool.records[static_cast<std::size_t>(pool.entries[static_cast<std::size_t>(id)].record)].in_lp;
  }
  return true;
}

// The entities the LP solution leaves unsatisfied, for the cut manager to read.
void publish_unsatisfied(Library& lib) {
  std::int32_t count = 0;
  if (lp_solved(lib)) {
    const EngineState& engine = *lib.engine;
    BranchSettings s;
    s.integer_tolerance = lib.controls.d(dcv::ZTOLIS);
    s.zero_tolerance = lib.controls.d(dcv::ZTOLZE);
    count = count_unsatisfied(*lib.problem,
                              NodeView{engine.basis.x, engine.pi, engine.lp.lower, engine.lp.upper, engine.lp.cost}, s);
  }
  *lib.attributes.int_attribute(attr::kUnsatisfiedEntities) = count;
}

// Rounds of one cut manager. False when an LP failed.
bool run_rounds(Library& lib, LogCallback manager) {
  CutPool* pool = cut_pool(lib);
  if (pool == nullptr || manager == nullptr) return true;
  for (int round = 0; round < kMaxRounds; ++round) {
    std::int32_t again = 0;
    publish_unsatisfied(lib);
    {
      CutCallbackScope scope(lib);
      pool->in_cut_manager = true;
      again = manager();
    }
    pool = cut_pool(lib);
    if (pool != nullptr) pool->in_cut_manager = false;
    if (pool == nullptr) return true;
    if (lp_solved(lib)) break;  // nothing changed: another call would see the same LP
    if (!ensure_column_copy(lib, *lib.problem)) return false;
    run_lp_driver(lib, DriverMode::kResolve);
    if (lib.err.return_code != 0) return false;
    if (*lib.attributes.int_attribute(attr::kLpStatus) != kLpOptimal || again == 0) break;
  }
  if (!ensure_column_copy(lib, *lib.problem)) return false;
  return move_added_cuts(lib, *pool);
}

void release_list(CutPool& pool, const std::vector<std::int32_t>& encoded) {
  for (std::int32_t id : decode_entries(encoded)) {
    if (id >= 0 && id < static_cast<std::int32_t>(pool.entries.size())) {
      PoolEntry& e = pool.entries[static_cast<std::size_t>(id)];
      if (e.node_refs > 0) --e.node_refs;
    }
  }
}

// Tightens the child's bounds by the attached bound entries.
void add_bound_entries(const Problem& p, const CutPool& pool, NodeRecord& child) {
  for (std::int32_t id : pool.attached) {
    if (!pool.valid(id)) continue;
    const PoolEntry& e = pool.entries[static_cast<std::size_t>(id)];
    if (!e.bound) continue;
    const std::int32_t v = p.column_variable(e.column);
    auto it =
        std::find_if(child.changes.begin(), child.changes.end(), [&](const BoundChange& c) { return c.variable == v; });
    if (it == child.changes.end()) {
      child.changes.push_back(
          BoundChange{v, p.lower[static_cast<std::size_t>(v)], p.upper[static_cast<std::size_t>(v)]});
      it = child.changes.end() - 1;
    }
    const double value =
        std::fabs(e.value) >= kInfinity ? e.value : scale_by(e.value, -column_bound_shift(p, e.column));
    if (e.bound_kind == 'L') {
      it->lower = std::max(it->lower, value);
    } else {
      it->upper = std::min(it->upper, value);
    }
  }
}

}  // namespace

void prepare_cut_pool(Library& lib) {
  if (lib.cut_pool && lib.cut_pool->used_by_search && lib.callbacks.cut_manager_end != nullptr) {
    CutCallbackScope scope(lib);
    lib.callbacks.cut_manager_end();
  }
  lib.cut_pool.reset();
  *lib.attributes.int_attribute(attr::kCutRows) = 0;
  if (!lib.problem || lib.controls.i(icv::IFCUTP) == 0) return;
  auto pool = std::make_unique<CutPool>();
  pool->problem_serial = lib.problem->serial;
  pool->max_records = std::max(lib.controls.i(icv::MXCPOL), 0);
  pool->max_elements = std::max(lib.controls.i(icv::MXCPEL), 0);
  lib.cut_pool = std::move(pool);
}

bool top_node_cuts(Library& lib) {
  CutPool* pool = cut_pool(lib);
  if (pool == nullptr) return true;
  const Problem& p = *lib.problem;
  if (p.entities.empty() && lib.callbacks.user_entities == nullptr) return true;
  if (!pool->initialised) {
    pool->initialised = true;
    if (lib.callbacks.cut_manager_init != nullptr) {
      CutCallbackScope scope(lib);
      lib.callbacks.cut_manager_init();
    }
  }
  if (*lib.attributes.int_attribute(attr::kLpStatus) != kLpOptimal) return true;
  // The re-solves of the top node compare with the search's cutoff: none unless the
  // caller set one (the value the control holds otherwise would stop them at once).
  // The caller's value comes back however the rounds end (an out-of-space failure
  // included), so that the control never reads as a cutoff nobody set.
  struct RestoredCutoff {
    double& cutoff;
    const double held;
    ~RestoredCutoff() { cutoff = held; }
  } restored{lib.controls.d(dcv::CUTOFF), lib.controls.d(dcv::CUTOFF)};
  if (lib.controls.dcv_access[dcv::CUTOFF] <= 0) {
    restored.cutoff = (*lib.attributes.double_attribute(attr::kSenseMultiplier) < 0.0 ? -1.0 : 1.0) * kInfinity;
  }
  bool done = run_rounds(lib, lib.callbacks.top_cut_manager);
  if (done && *lib.attributes.int_attribute(attr::kLpStatus) == kLpOptimal) done = builtin_top_node_cuts(lib);
  return done;
}

bool node_cuts(Library& lib) {
  CutPool* pool = cut_pool(lib);
  if (pool == nullptr) return true;
  pool->used_by_search = true;
  return run_rounds(lib, lib.callbacks.node_cut_manager);
}

void restore_node_cuts(Library& lib, const NodeRecord& node) {
  CutPool* pool = cut_pool(lib);
  if (pool == nullptr) return;
  pool->used_by_search = true;
  pool->attached.clear();
  if (node.parent == 0) {
    for (const auto& [number, list] : pool->node_lists) release_list(*pool, list);
    pool->node_lists.clear();
    if (ensure_column_copy(lib, *lib.problem) && move_added_cuts(lib, *pool)) pool->root_cuts = lp_entries(*pool);
    return;
  }
  auto it = pool->node_lists.find(node.node);
  if (it == pool->node_lists.end()) return;
  const std::vector<std::int32_t> ids = decode_entries(it->second);
  release_list(*pool, it->second);
  pool->node_lists.erase(it);
  if (!ensure_column_copy(lib, *lib.problem)) return;
  set_lp_cuts(lib, *lib.problem, *pool, ids);
  (void)ensure_column_copy(lib, *lib.problem);
}

void branch_node_cuts(Library& lib, NodeRecord& down, bool down_kept, NodeRecord& up, bool up_kept) {
  CutPool* pool = cut_pool(lib);
  if (pool == nullptr) return;
  Problem& p = *lib.problem;
  if (!ensure_column_copy(lib, p) || !move_added_cuts(lib, *pool)) lib.err.clear();
  std::vector<std::int32_t> ids;
  for (const LpCut& c : pool->lp_cuts) {
    if (c.entry >= 0) ids.push_back(c.entry);
  }
  for (std::int32_t id : pool->attached) {
    if (!pool->valid(id) || pool->entries[static_cast<std::size_t>(id)].bound) continue;
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
  const std::vector<std::int32_t> encoded = encode_entries(ids);
  NodeRecord* children[2] = {&down, &up};
  const bool kept[2] = {down_kept, up_kept};
  for (int k = 0; k < 2; ++k) {
    add_bound_entries(p, *pool, *children[k]);
    if (!kept[k]) continue;
    pool->node_lists[children[k]->node] = encoded;
    for (std::int32_t id : ids) ++pool->entries[static_cast<std::size_t>(id)].node_refs;
  }
  pool->attached.clear();
}

void discard_node_cuts(Library& lib, std::int32_t node) {
  CutPool* pool = cut_pool(lib);
  if (pool == nullptr) return;
  auto it = pool->node_lists.find(node);
  if (it == pool->node_lists.end()) return;
  if (lib.controls.i(icv::IFNDCP) == 0) release_list(*pool, it->second);
  pool->node_lists.erase(it);
}

void end_search_cuts(Library& lib) {
  CutPool* pool = cut_pool(lib);
  if (pool == nullptr) return;
  if (lib.callbacks.cut_manager_end != nullptr) {
    CutCallbackScope scope(lib);
    lib.callbacks.cut_manager_end();
  }
  // The solution kept is the incumbent's: it is re-solved with the cuts of the root
  // only, since a cut of another node may cut it off.
  pool = cut_pool(lib);
  if (pool == nullptr || !ensure_column_copy(lib, *lib.problem)) return;
  set_lp_cuts(lib, *lib.problem, *pool, pool->root_cuts);
  (void)ensure_column_copy(lib, *lib.problem);
}

}  // namespace kqopt
