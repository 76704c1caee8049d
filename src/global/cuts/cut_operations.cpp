// The cut-pool operations (cut_operations.h).
#include "global/cuts/cut_operations.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "frame/message_numbers.h"
#include "global/cuts/cut_pool.h"
#include "global/cuts/cut_rows.h"
#include "library/library.h"
#include "problem/index_base.h"
#include "problem/infinity.h"
#include "problem/problem.h"
#include "problem/units.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/engine_current.h"

namespace kqopt {

namespace {

// The pool of the current problem, or null after message 91.
CutPool* require_pool(Library& lib) {
  lib.begin_operation();
  CutPool* pool = lib.has_problem() ? cut_pool(lib) : nullptr;
  if (pool == nullptr) report_error(lib, kRcInvalidCall, kMessageNoProblem);
  return pool;
}

// The pool, when the LP's cut rows may change now: not while an LP runs, and during a
// search only from the cut managers (the search reads the node's LP between them).
CutPool* require_changeable_pool(Library& lib) {
  CutPool* pool = require_pool(lib);
  if (pool == nullptr) return nullptr;
  if ((lib.engine && lib.engine->running) || (lib.global_search_active && !pool->in_cut_manager)) {
    report_error(lib, kRcInvalidCall, kMessageRefusedInCallback);
    return nullptr;
  }
  return pool;
}

std::int32_t caller_entry(const Library& lib, std::int32_t id) { return id + lib.controls.i(icv::IFDBG); }
std::int32_t internal_entry(const Library& lib, std::int32_t caller) { return caller - lib.controls.i(icv::IFDBG); }

bool missing(Library& lib, const char* tag, std::initializer_list<const void*> arrays) {
  for (const void* a : arrays) {
    if (a == nullptr) {
      report_argument_error(lib, kMessageMissingArgument, tag, {});
      return true;
    }
  }
  return false;
}

// Reads cut k of the caller's arrays: row type, columns (checked, sorted, small values
// dropped) and right-hand side. False with the error reported.
bool read_cut(Library& lib, const Problem& p, const char* tag, std::int32_t k, const std::int32_t* mtype,
              const char* qrtype, const double* drhs, const std::int32_t* mstart, const std::int32_t* mcols,
              const double* dmatval, CutInput& cut) {
  const IndexBase base = current_index_base(lib);
  const std::uint8_t code = row_type::from_letter(qrtype[k]);
  if (code != row_type::kLess && code != row_type::kGreater && code != row_type::kEqual) {
    report_character_error(lib, kMessageRowType, tag, base.to_caller(k), qrtype[k]);
    return false;
  }
  cut.type = code;
  cut.cut_type = mtype != nullptr ? mtype[k] : 0;
  cut.rhs = drhs[k];
  const std::int64_t b = base.to_internal(mstart[k]), e = base.to_internal(mstart[k + 1]);
  if (b < 0 || e < b) {
    report_argument_error(lib, kMessageRowIndex, tag, {base.to_caller(k), mstart[k]});
    return false;
  }
  if (e > b && (mcols == nullptr || dmatval == nullptr)) {
    report_argument_error(lib, kMessageMissingArgument, tag, {});
    return false;
  }
  const double drop = lib.controls.d(dcv::ZTOLDA);
  std::vector<std::pair<std::int32_t, double>> line;
  for (std::int64_t q = b; q < e; ++q) {
    const std::int64_t j = base.to_internal(mcols[q]);
    if (j < 0 || j >= p.columns) {
      report_argument_error(lib, kMessageNotAColumn, tag, {mcols[q]});
      return false;
    }
    if (std::fabs(dmatval[q]) < drop) continue;
    line.emplace_back(static_cast<std::int32_t>(j), dmatval[q]);
  }
  std::sort(line.begin(), line.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  for (std::size_t q = 1; q < line.size(); ++q) {
    if (line[q].first == line[q - 1].first) {
      report_argument_error(lib, kMessageIndexRepeated, tag, {base.to_caller(k), base.to_caller(line[q].first)});
      return false;
    }
  }
  cut.columns.clear();
  cut.values.clear();
  for (const auto& [j, a] : line) {
    cut.columns.push_back(j);
    cut.values.push_back(a);
  }
  return true;
}

// Pool entry ids of the caller's list (all used entries when ncuts is -1). False with
// message 418 for an entry outside the pool.
bool read_entries(Library& lib, const CutPool& pool, const char* tag, std::int32_t ncuts, const std::int32_t* mindex,
                  std::vector<std::int32_t>& out) {
  out.clear();
  if (ncuts < 0) {
    for (std::size_t k = 0; k < pool.entries.size(); ++k) {
      if (pool.entries[k].used) out.push_back(static_cast<std::int32_t>(k));
    }
    return true;
  }
  if (ncuts > 0 && missing(lib, tag, {mindex})) return false;
  const IndexBase base = current_index_base(lib);
  for (std::int32_t k = 0; k < ncuts; ++k) {
    const std::int32_t id = internal_entry(lib, mindex[k]);
    if (!pool.valid(id)) {
      report_argument_error(lib, kMessageCutIndexRange, tag, {base.to_caller(k), mindex[k]});
      return false;
    }
    out.push_back(id);
  }
  return true;
}

// Column values of the LP solution in the caller's units, and the engine's values of
// every variable; false when no solution of the current problem is held.
bool solution_values(Library& lib, const Problem& p, std::vector<double>& x) {
  const EngineState* engine = lib.engine.get();
  if (engine == nullptr || !engine->has_solution || engine->problem_serial != p.serial ||
      static_cast<std::int32_t>(engine->basis.x.size()) != p.variables()) {
    return false;
  }
  x.assign(static_cast<std::size_t>(p.columns), 0.0);
  for (std::int32_t j = 0; j < p.columns; ++j) {
    x[static_cast<std::size_t>(j)] =
        scale_by(engine->basis.x[static_cast<std::size_t>(p.column_variable(j))], column_bound_shift(p, j));
  }
  return true;
}

bool room_for(Library& lib, const Problem& p, const char* tag, std::int64_t rows, std::int64_t elements) {
  if (rows > p.spare_rows) {
    report_argument_error(lib, kMessageNoSpareRows, tag, {rows});
    return false;
  }
  if (elements > p.spare_elements) {
    report_argument_error(lib, kMessageNoSpareElements, tag, {elements});
    return false;
  }
  return true;
}

}  // namespace

std::int32_t add_cuts(Library& lib, std::int32_t ncuts, const std::int32_t* mtype, const char* qrtype,
                      const double* drhs, const std::int32_t* mstart, const std::int32_t* mcols,
                      const double* dmatval) {
  const char* tag = "addcuts ";
  CutPool* pool = require_changeable_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  Problem& p = *lib.problem;
  if (ncuts <= 0) return 0;
  if (missing(lib, tag, {qrtype, drhs, mstart})) return lib.err.return_code;
  std::vector<CutInput> cuts(static_cast<std::size_t>(ncuts));
  std::int64_t elements = 0;
  for (std::int32_t k = 0; k < ncuts; ++k) {
    if (!read_cut(lib, p, tag, k, mtype, qrtype, drhs, mstart, mcols, dmatval, cuts[static_cast<std::size_t>(k)])) {
      return lib.err.return_code;
    }
    elements += static_cast<std::int64_t>(cuts[static_cast<std::size_t>(k)].columns.size());
  }
  if (!room_for(lib, p, tag, ncuts, elements)) return lib.err.return_code;
  std::vector<CutRow> rows;
  for (const CutInput& c : cuts) {
    CutRow row;
    row.type = c.type;
    row.rhs = c.rhs;
    row.columns = c.columns.data();
    row.values = c.values.data();
    row.count = static_cast<std::int32_t>(c.columns.size());
    row.origin = LpCut{-1, c.cut_type};
    rows.push_back(row);
  }
  append_cut_rows(lib, p, *pool, rows);
  return lib.err.return_code;
}

std::int32_t store_cuts(Library& lib, std::int32_t mode, std::int32_t ncuts, const std::int32_t* mtype,
                        const char* qrtype, const double* drhs, const std::int32_t* mstart, std::int32_t* mindex,
                        const std::int32_t* mcols, const double* dmatval) {
  const char* tag = "storecut";
  CutPool* pool = require_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  if (ncuts <= 0) return 0;
  if (missing(lib, tag, {qrtype, drhs, mstart, mindex})) return lib.err.return_code;
  const Problem& p = *lib.problem;
  const double tolerance = lib.controls.d(dcv::ZTOLDA);
  CutInput cut;
  for (std::int32_t k = 0; k < ncuts; ++k) {
    if (!read_cut(lib, p, tag, k, mtype, qrtype, drhs, mstart, mcols, dmatval, cut)) return lib.err.return_code;
    std::int32_t id = -1;
    switch (pool->store(cut, mode, tolerance, id)) {
      case StoreResult::kStored:
        mindex[k] = caller_entry(lib, id);
        break;
      case StoreResult::kElementsFull:
        report_argument_error(lib, kMessageCutElementSpaceFull, tag, {k});
        return lib.err.return_code;
      default:
        report_argument_error(lib, kMessageCutPoolFull, tag, {k});
        return lib.err.return_code;
    }
  }
  return 0;
}

std::int32_t store_bounds(Library& lib, std::int32_t nbnds, const char* qbtype, const std::int32_t* mcols,
                          const double* dbds, std::int32_t* mindex) {
  const char* tag = "storebnd";
  CutPool* pool = require_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  if (nbnds <= 0) return 0;
  if (missing(lib, tag, {qbtype, mcols, dbds, mindex})) return lib.err.return_code;
  const Problem& p = *lib.problem;
  const IndexBase base = current_index_base(lib);
  for (std::int32_t k = 0; k < nbnds; ++k) {
    if (qbtype[k] != 'L' && qbtype[k] != 'U') {
      report_character_error(lib, kMessageBadBoundType, tag, base.to_caller(k), qbtype[k]);
      return lib.err.return_code;
    }
    const std::int64_t j = base.to_internal(mcols[k]);
    if (j < 0 || j >= p.columns) {
      report_argument_error(lib, kMessageNotAColumn, tag, {mcols[k]});
      return lib.err.return_code;
    }
    double value = dbds[k];
    if (value <= -kInfinityThreshold) value = -kInfinity;
    if (value >= kInfinityThreshold) value = kInfinity;
    std::int32_t id = -1;
    if (pool->store_bound(qbtype[k], static_cast<std::int32_t>(j), value, id) != StoreResult::kStored) {
      report_argument_error(lib, kMessageCutPoolFull, tag, {k});
      return lib.err.return_code;
    }
    mindex[k] = caller_entry(lib, id);
  }
  return 0;
}

std::int32_t load_cuts(Library& lib, std::int32_t itype, std::int32_t interp, std::int32_t ncuts,
                       const std::int32_t* mindex) {
  const char* tag = "loadcuts";
  CutPool* pool = require_changeable_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  Problem& p = *lib.problem;
  std::vector<std::int32_t> ids;
  if (!read_entries(lib, *pool, tag, ncuts, mindex, ids)) return lib.err.return_code;
  // A cut already in the LP is not added a second time.
  const std::vector<std::int32_t> in_lp = lp_entries(*pool);
  std::vector<CutRow> rows;
  std::int64_t elements = 0;
  for (std::int32_t id : ids) {
    const PoolEntry& e = pool->entries[static_cast<std::size_t>(id)];
    if (e.bound || !passes_filter(e.cut_type, itype, interp)) continue;
    if (std::find(in_lp.begin(), in_lp.end(), id) != in_lp.end()) continue;
    bool twice = false;
    for (const CutRow& r : rows) twice = twice || r.origin.entry == id;
    if (twice) continue;
    rows.push_back(pool_cut_row(*pool, id));
    elements += rows.back().count;
  }
  if (!room_for(lib, p, tag, static_cast<std::int64_t>(rows.size()), elements)) return lib.err.return_code;
  append_cut_rows(lib, p, *pool, rows);
  return lib.err.return_code;
}

std::int32_t delete_cuts(Library& lib, std::int32_t ibasis, std::int32_t itype, std::int32_t interp, double delta,
                         std::int32_t ncuts, const std::int32_t* mindex) {
  const char* tag = "delcuts ";
  CutPool* pool = require_changeable_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  Problem& p = *lib.problem;
  const auto count = static_cast<std::int32_t>(pool->lp_cuts.size());
  const std::int32_t first = first_cut_row(p, *pool);
  const IndexBase base = current_index_base(lib);
  std::vector<std::int32_t> listed;
  if (ncuts < 0) {
    for (std::int32_t k = 0; k < count; ++k) listed.push_back(k);
  } else {
    if (ncuts > 0 && missing(lib, tag, {mindex})) return lib.err.return_code;
    for (std::int32_t k = 0; k < ncuts; ++k) {
      const std::int64_t c = base.to_internal(mindex[k]);
      if (c < 0 || c >= count) {
        report_argument_error(lib, kMessageRowIndex, tag, {base.to_caller(k), mindex[k]});
        return lib.err.return_code;
      }
      listed.push_back(static_cast<std::int32_t>(c));
    }
  }
  if (listed.empty()) return 0;
  std::vector<double> x;
  if (!solution_values(lib, p, x)) {
    report_error(lib, kRcInvalidCall, kMessageSolutionNotAvailable);
    return lib.err.return_code;
  }
  const EngineState& engine = *lib.engine;
  std::vector<bool> remove(static_cast<std::size_t>(count), false);
  for (std::int32_t c : listed) {
    const LpCut& cut = pool->lp_cuts[static_cast<std::size_t>(c)];
    if (!passes_filter(cut.cut_type, itype, interp)) continue;
    const auto v = static_cast<std::size_t>(first + c);
    const bool basic = (p.status[v] & status::kBasic) != 0;
    double slack = engine.basis.x[v];
    if (p.row_type[v] == row_type::kGreater) slack = -slack;
    if (basic) {
      remove[static_cast<std::size_t>(c)] = slack >= delta;
    } else {
      remove[static_cast<std::size_t>(c)] = ibasis == 0 && delta <= 0.0;
    }
  }
  remove_cut_rows(lib, p, *pool, remove);
  return lib.err.return_code;
}

std::int32_t drop_cuts(Library& lib, std::int32_t itype, std::int32_t interp, std::int32_t ncuts,
                       const std::int32_t* mindex) {
  const char* tag = "dropcuts";
  CutPool* pool = require_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  std::vector<std::int32_t> ids;
  if (!read_entries(lib, *pool, tag, ncuts, mindex, ids)) return lib.err.return_code;
  for (std::int32_t id : ids) {
    if (!pool->valid(id)) continue;
    const PoolEntry& e = pool->entries[static_cast<std::size_t>(id)];
    if (!e.bound && !passes_filter(e.cut_type, itype, interp)) continue;
    // Entries in an LP, named by a stored node or attached to the current node stay.
    if (pool->in_lp(id) || e.node_refs > 0) continue;
    if (std::find(pool->attached.begin(), pool->attached.end(), id) != pool->attached.end()) continue;
    pool->drop(id);
  }
  return 0;
}

std::int32_t get_cut_list(Library& lib, std::int32_t itype, std::int32_t interp, std::int32_t* ncuts, std::int32_t size,
                          std::int32_t* mindex) {
  CutPool* pool = require_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  std::int32_t n = 0;
  for (const LpCut& c : pool->lp_cuts) {
    if (!passes_filter(c.cut_type, itype, interp)) continue;
    if (n < size && mindex != nullptr) mindex[n] = caller_entry(lib, c.entry);
    ++n;
  }
  if (ncuts != nullptr) *ncuts = n;
  return 0;
}

std::int32_t get_violated_cuts(Library& lib, std::int32_t itype, std::int32_t interp, double delta, std::int32_t size,
                               std::int32_t* ncuts, std::int32_t* mindex, double* dviol) {
  CutPool* pool = require_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  const Problem& p = *lib.problem;
  std::vector<double> x;
  if (!solution_values(lib, p, x)) {
    report_error(lib, kRcInvalidCall, kMessageSolutionNotAvailable);
    return lib.err.return_code;
  }
  const double tol = delta + lib.controls.d(dcv::ZTOLDA);
  std::int32_t n = 0;
  for (std::size_t k = 0; k < pool->entries.size(); ++k) {
    const PoolEntry& e = pool->entries[k];
    if (!e.used || e.bound || !passes_filter(e.cut_type, itype, interp)) continue;
    const CoefficientRecord& rec = pool->records[static_cast<std::size_t>(e.record)];
    double a = 0.0;
    for (std::int32_t q = rec.start; q < rec.start + rec.count; ++q) {
      a += pool->element_value[static_cast<std::size_t>(q)] *
           x[static_cast<std::size_t>(pool->element_column[static_cast<std::size_t>(q)])];
    }
    const double d = a - e.rhs;
    const bool violated = (rec.type == row_type::kLess && d > tol) || (rec.type == row_type::kGreater && d < -tol) ||
                          (rec.type == row_type::kEqual && std::fabs(d) > tol);
    if (!violated) continue;
    if (n < size) {
      const double first = rec.count > 0 ? std::fabs(pool->element_value[static_cast<std::size_t>(rec.start)]) : 1.0;
      if (mindex != nullptr) mindex[n] = caller_entry(lib, static_cast<std::int32_t>(k));
      if (dviol != nullptr) dviol[n] = std::fabs(d) / (first > 0.0 ? first : 1.0);
    }
    ++n;
  }
  if (ncuts != nullptr) *ncuts = n;
  return 0;
}

std::int32_t get_cuts(Library& lib, const std::int32_t* mindex, std::int32_t ncuts, std::int32_t size, char* qrtype,
                      double* drhs, std::int32_t* mstart, std::int32_t* mcols, double* dmatval) {
  const char* tag = "getcuts ";
  CutPool* pool = require_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  if (ncuts <= 0) return 0;
  std::vector<std::int32_t> ids;
  if (!read_entries(lib, *pool, tag, ncuts, mindex, ids)) return lib.err.return_code;
  std::int64_t total = 0;
  for (std::int32_t id : ids) {
    const PoolEntry& e = pool->entries[static_cast<std::size_t>(id)];
    total += e.bound ? 1 : pool->records[static_cast<std::size_t>(e.record)].count;
  }
  if (total > size) {
    report_argument_error(lib, kMessageOutputTooSmall, tag, {total});
    return lib.err.return_code;
  }
  const IndexBase base = current_index_base(lib);
  std::int64_t q = 0;
  for (std::size_t k = 0; k < ids.size(); ++k) {
    const PoolEntry& e = pool->entries[static_cast<std::size_t>(ids[k])];
    if (mstart != nullptr) mstart[k] = static_cast<std::int32_t>(base.to_caller(q));
    if (e.bound) {
      // A bound entry reads as the one-element cut it amounts to.
      if (qrtype != nullptr) qrtype[k] = e.bound_kind == 'L' ? 'G' : 'L';
      if (drhs != nullptr) drhs[k] = e.value;
      if (mcols != nullptr) mcols[q] = static_cast<std::int32_t>(base.to_caller(e.column));
      if (dmatval != nullptr) dmatval[q] = 1.0;
      ++q;
      continue;
    }
    const CoefficientRecord& rec = pool->records[static_cast<std::size_t>(e.record)];
    if (qrtype != nullptr) qrtype[k] = rec.type == row_type::kLess ? 'L' : rec.type == row_type::kGreater ? 'G' : 'E';
    if (drhs != nullptr) drhs[k] = e.rhs;
    for (std::int32_t r = rec.start; r < rec.start + rec.count; ++r, ++q) {
      if (mcols != nullptr) {
        mcols[q] = static_cast<std::int32_t>(base.to_caller(pool->element_column[static_cast<std::size_t>(r)]));
      }
      if (dmatval != nullptr) dmatval[q] = pool->element_value[static_cast<std::size_t>(r)];
    }
  }
  if (mstart != nullptr) mstart[ids.size()] = static_cast<std::int32_t>(base.to_caller(q));
  return 0;
}

std::int32_t branch_cut(Library& lib, std::int32_t n, const std::int32_t* mindex) {
  const char* tag = "brnchcut";
  CutPool* pool = require_pool(lib);
  if (pool == nullptr) return lib.err.return_code;
  if (n <= 0) return 0;
  std::vector<std::int32_t> ids;
  if (!read_entries(lib, *pool, tag, n, mindex, ids)) return lib.err.return_code;
  for (std::int32_t id : ids) {
    if (std::find(pool->attached.begin(), pool->attached.end(), id) == pool->attached.end()) {
      pool->attached.push_back(id);
    }
  }
  return 0;
}

}  // namespace kqopt
