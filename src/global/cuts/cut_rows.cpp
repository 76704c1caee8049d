// Cut rows entering and leaving the LP (cut_rows.h).
#include "global/cuts/cut_rows.h"

#include <algorithm>
#include <string_view>

#include "library/library.h"
#include "problem/arrays.h"
#include "problem/charges.h"
#include "problem/infinity.h"
#include "problem/matrix.h"
#include "problem/modify/modify_steps.h"
#include "problem/problem.h"
#include "problem/units.h"

namespace kqopt {

namespace {
constexpr std::uint32_t kNeutral = static_cast<std::uint32_t>(status::kNeutralExponent) << status::kExponentShift;
}  // namespace

CutRow pool_cut_row(const CutPool& pool, std::int32_t entry) {
  const PoolEntry& e = pool.entries[static_cast<std::size_t>(entry)];
  const CoefficientRecord& rec = pool.records[static_cast<std::size_t>(e.record)];
  CutRow row;
  row.type = rec.type;
  row.rhs = e.rhs;
  row.columns = pool.element_column.data() + rec.start;
  row.values = pool.element_value.data() + rec.start;
  row.count = rec.count;
  row.origin = LpCut{entry, e.cut_type};
  return row;
}

std::int32_t first_cut_row(const Problem& p, const CutPool& pool) {
  return p.rows - static_cast<std::int32_t>(pool.lp_cuts.size());
}

std::vector<std::int32_t> lp_entries(const CutPool& pool) {
  std::vector<std::int32_t> out;
  out.reserve(pool.lp_cuts.size());
  for (const LpCut& c : pool.lp_cuts) out.push_back(c.entry);
  return out;
}

void publish_cut_rows(Library& lib, const CutPool& pool) {
  *lib.attributes.int_attribute(attr::kCutRows) = static_cast<std::int32_t>(pool.lp_cuts.size());
}

bool append_cut_rows(Library& lib, Problem& p, CutPool& pool, const std::vector<CutRow>& rows) {
  if (rows.empty()) return true;
  std::int64_t added = 0;
  for (const CutRow& row : rows) added += row.count;
  if (!ensure_row_copy(lib, p)) return false;
  RowMatrix& r = p.by_row;
  const std::int64_t total = static_cast<std::int64_t>(r.start[static_cast<std::size_t>(p.rows)]) + added;
  if (!charge_array(lib, p, problem_array::kRowWiseColumns, 4 * total) ||
      !charge_array(lib, p, problem_array::kRowWiseValues, 8 * total)) {
    return false;
  }
  r.start.resize(static_cast<std::size_t>(p.rows) + 1);
  r.column.resize(static_cast<std::size_t>(r.start.back()));
  r.value.resize(static_cast<std::size_t>(r.start.back()));
  std::int32_t placed = 0;
  for (const CutRow& row : rows) {
    const std::int32_t slot = p.rows;
    const auto v = static_cast<std::size_t>(slot);
    p.status[v] = status::kBasic | kNeutral;
    double lower = 0.0, upper = kInfinity;
    if (row.type == row_type::kGreater) {
      lower = -kInfinity;
      upper = 0.0;
    } else if (row.type == row_type::kEqual) {
      upper = 0.0;
    }
    set_row_logical(p, slot, row.type, lower, upper);
    p.rhs[v] = row.rhs;
    p.row_flags[v] = 0;
    if (p.names.has_storage()) {
      char name[kNameWordLength];
      default_name('V', static_cast<std::int64_t>(slot) + 1, name);
      p.names.set(slot, std::string_view(name, kNameWordLength));
    }
    for (std::int32_t k = 0; k < row.count; ++k) {
      const std::int32_t j = row.columns[k];
      r.column.push_back(j);
      r.value.push_back(scale_by(row.values[k], -element_shift(p, slot, j)));
    }
    placed += row.count;
    r.start.push_back(static_cast<std::int32_t>(r.column.size()));
    pool.lp_cuts.push_back(row.origin);
    if (row.origin.entry >= 0) {
      const PoolEntry& e = pool.entries[static_cast<std::size_t>(row.origin.entry)];
      ++pool.records[static_cast<std::size_t>(e.record)].in_lp;
    }
    ++p.rows;
    --p.spare_rows;
  }
  p.by_column.stale = true;
  p.spare_elements -= placed;
  after_change(lib, p, Change::kStructure);
  publish_cut_rows(lib, pool);
  return true;
}

void remove_cut_rows(Library& lib, Problem& p, CutPool& pool, const std::vector<bool>& remove) {
  if (std::find(remove.begin(), remove.end(), true) == remove.end()) return;
  if (!ensure_column_copy(lib, p)) return;
  const std::int32_t first = first_cut_row(p, pool);
  const std::int32_t before = p.rows;
  std::vector<std::int32_t> moved(static_cast<std::size_t>(before));
  std::int32_t kept = first;
  for (std::int32_t i = 0; i < before; ++i) {
    if (i < first) {
      moved[static_cast<std::size_t>(i)] = i;
    } else {
      moved[static_cast<std::size_t>(i)] = remove[static_cast<std::size_t>(i - first)] ? -1 : kept++;
    }
  }
  std::vector<LpCut> cuts;
  for (std::int32_t i = first; i < before; ++i) {
    const LpCut& c = pool.lp_cuts[static_cast<std::size_t>(i - first)];
    if (moved[static_cast<std::size_t>(i)] >= 0) {
      cuts.push_back(c);
    } else if (c.entry >= 0 && pool.valid(c.entry)) {
      --pool.records[static_cast<std::size_t>(pool.entries[static_cast<std::size_t>(c.entry)].record)].in_lp;
    }
  }
  compact_rows(lib, p, moved, kept);
  pool.lp_cuts = std::move(cuts);
  after_change(lib, p, Change::kStructure);
  publish_cut_rows(lib, pool);
}

bool set_lp_cuts(Library& lib, Problem& p, CutPool& pool, const std::vector<std::int32_t>& entries) {
  // The longest common prefix stays; the rest of the LP's cut rows go.
  std::size_t same = 0;
  while (same < pool.lp_cuts.size() && same < entries.size() && pool.lp_cuts[same].entry == entries[same]) ++same;
  if (same == pool.lp_cuts.size() && same == entries.size()) return true;
  std::vector<bool> remove(pool.lp_cuts.size(), false);
  for (std::size_t k = same; k < remove.size(); ++k) remove[k] = true;
  remove_cut_rows(lib, p, pool, remove);
  std::vector<CutRow> rows;
  std::int64_t elements = 0;
  for (std::size_t k = same; k < entries.size(); ++k) {
    if (!pool.valid(entries[k]) || pool.entries[static_cast<std::size_t>(entries[k])].bound) continue;
    CutRow row = pool_cut_row(pool, entries[k]);
    if (static_cast<std::int32_t>(rows.size()) >= p.spare_rows || elements + row.count > p.spare_elements) break;
    elements += row.count;
    rows.push_back(row);
  }
  return append_cut_rows(lib, p, pool, rows);
}

}  // namespace kqopt
