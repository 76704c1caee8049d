// The cut pool's records, entries and elements (cut_pool.h).
#include "global/cuts/cut_pool.h"

#include <cmath>

#include "library/library.h"
#include "problem/problem.h"

namespace kqopt {

namespace {

std::int64_t hash_of(const CutInput& cut) {
  std::int64_t h = cut.type + static_cast<std::int64_t>(cut.columns.size());
  for (std::int32_t j : cut.columns) h += j;
  return h;
}

}  // namespace

bool passes_filter(std::int32_t cut_type, std::int32_t filter_type, std::int32_t interpretation) {
  switch (interpretation) {
    case 1:
      return cut_type == filter_type;
    case 2:
      return (cut_type & filter_type) != 0;
    case 3:
      return (cut_type & filter_type) == filter_type;
    default:
      return true;
  }
}

bool CutPool::in_lp(std::int32_t entry) const {
  const PoolEntry& e = entries[static_cast<std::size_t>(entry)];
  return !e.bound && e.record >= 0 && records[static_cast<std::size_t>(e.record)].in_lp > 0;
}

StoreResult CutPool::store(const CutInput& cut, std::int32_t mode, double tolerance, std::int32_t& entry) {
  const std::int64_t hash = hash_of(cut);
  const auto count = static_cast<std::int32_t>(cut.columns.size());
  const double scale = count > 0 ? std::fabs(cut.values[0]) : 1.0;
  const double norm = scale > 0.0 ? scale : 1.0;
  const double rhs = cut.rhs / norm;
  std::int32_t record = -1;
  for (std::size_t r = 0; r < records.size() && record < 0; ++r) {
    const CoefficientRecord& rec = records[r];
    if (!rec.used || rec.hash != hash || rec.type != cut.type || rec.count != count) continue;
    const double other = count > 0 ? std::fabs(element_value[static_cast<std::size_t>(rec.start)]) : 1.0;
    const double other_norm = other > 0.0 ? other : 1.0;
    bool same = true;
    for (std::int32_t k = 0; k < count && same; ++k) {
      const auto q = static_cast<std::size_t>(rec.start + k);
      same = element_column[q] == cut.columns[static_cast<std::size_t>(k)] &&
             std::fabs(element_value[q] / other_norm - cut.values[static_cast<std::size_t>(k)] / norm) <= tolerance;
    }
    if (same) record = static_cast<std::int32_t>(r);
  }
  if (record >= 0) {
    const CoefficientRecord& rec = records[static_cast<std::size_t>(record)];
    const double other = count > 0 ? std::fabs(element_value[static_cast<std::size_t>(rec.start)]) : 1.0;
    const double other_norm = other > 0.0 ? other : 1.0;
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const PoolEntry& e = entries[k];
      if (!e.used || e.bound || e.record != record) continue;
      if (mode == 2 && e.cut_type != cut.cut_type) continue;
      const double stored = e.rhs / other_norm;
      bool match = std::fabs(stored - rhs) <= tolerance;
      if (!match && mode == 1) {
        match = (cut.type == 4 && stored <= rhs) || (cut.type == 2 && stored >= rhs);
      }
      if (match) {
        entry = static_cast<std::int32_t>(k);
        return StoreResult::kStored;
      }
    }
  }
  if (entries_used >= max_entries()) return StoreResult::kPointersFull;
  if (record < 0) {
    if (records_used >= max_records) return StoreResult::kRecordsFull;
    if (static_cast<std::int64_t>(element_column.size()) + count > max_elements) return StoreResult::kElementsFull;
    CoefficientRecord rec;
    rec.used = true;
    rec.type = cut.type;
    rec.count = count;
    rec.start = static_cast<std::int32_t>(element_column.size());
    rec.hash = hash;
    element_column.insert(element_column.end(), cut.columns.begin(), cut.columns.end());
    element_value.insert(element_value.end(), cut.values.begin(), cut.values.end());
    if (free_record >= 0) {
      record = free_record;
      free_record = records[static_cast<std::size_t>(record)].next_free;
      records[static_cast<std::size_t>(record)] = rec;
    } else {
      record = static_cast<std::int32_t>(records.size());
      records.push_back(rec);
    }
    ++records_used;
  }
  PoolEntry e;
  e.used = true;
  e.cut_type = cut.cut_type;
  e.record = record;
  e.rhs = cut.rhs;
  ++records[static_cast<std::size_t>(record)].pointers;
  entry = -1;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].used) {
      entry = static_cast<std::int32_t>(k);
      break;
    }
  }
  if (entry < 0) {
    entry = static_cast<std::int32_t>(entries.size());
    entries.push_back(e);
  } else {
    entries[static_cast<std::size_t>(entry)] = e;
  }
  ++entries_used;
  return StoreResult::kStored;
}

StoreResult CutPool::store_bound(char kind, std::int32_t column, double value, std::int32_t& entry) {
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const PoolEntry& e = entries[k];
    if (e.used && e.bound && e.bound_kind == kind && e.column == column && e.value == value) {
      entry = static_cast<std::int32_t>(k);
      return StoreResult::kStored;
    }
  }
  // A bound entry takes one of the entry places away from the cuts.
  if (entries_used >= max_entries()) return StoreResult::kPointersFull;
  PoolEntry e;
  e.used = true;
  e.bound = true;
  e.bound_kind = kind;
  e.column = column;
  e.value = value;
  entry = -1;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].used) {
      entry = static_cast<std::int32_t>(k);
      break;
    }
  }
  if (entry < 0) {
    entry = static_cast<std::int32_t>(entries.size());
    entries.push_back(e);
  } else {
    entries[static_cast<std::size_t>(entry)] = e;
  }
  ++entries_used;
  ++bound_entries;
  return StoreResult::kStored;
}

void CutPool::drop(std::int32_t entry) {
  PoolEntry& e = entries[static_cast<std::size_t>(entry)];
  if (!e.used) return;
  e.used = false;
  --entries_used;
  if (e.bound) {
    --bound_entries;
    return;
  }
  CoefficientRecord& rec = records[static_cast<std::size_t>(e.record)];
  if (--rec.pointers > 0) return;
  // The last entry of the record: its elements leave and the rest move down.
  const auto begin = static_cast<std::ptrdiff_t>(rec.start);
  const auto end = begin + rec.count;
  element_column.erase(element_column.begin() + begin, element_column.begin() + end);
  element_value.erase(element_value.begin() + begin, element_value.begin() + end);
  for (CoefficientRecord& other : records) {
    if (other.used && other.start > rec.start) other.start -= rec.count;
  }
  rec = CoefficientRecord{};
  rec.next_free = free_record;
  free_record = e.record;
  --records_used;
}

std::vector<std::int32_t> encode_entries(const std::vector<std::int32_t>& ids) {
  std::vector<std::int32_t> out;
  std::size_t k = 0;
  while (k < ids.size()) {
    out.push_back(ids[k] + 1);
    std::size_t run = k + 1;
    while (run < ids.size() && ids[run] == ids[run - 1] + 1) ++run;
    if (run - k > 1) out.push_back(-static_cast<std::int32_t>(run - k - 1));
    k = run;
  }
  return out;
}

std::vector<std::int32_t> decode_entries(const std::vector<std::int32_t>& encoded) {
  std::vector<std::int32_t> out;
  for (std::int32_t w : encoded) {
    if (w > 0) {
      out.push_back(w - 1);
    } else if (!out.empty()) {
      const std::int32_t last = out.back();
      for (std::int32_t k = 1; k <= -w; ++k) out.push_back(last + k);
    }
  }
  return out;
}

CutPool* cut_pool(Library& lib) {
  if (!lib.cut_pool || !lib.problem || lib.cut_pool->problem_serial != lib.problem->serial) return nullptr;
  return lib.cut_pool.get();
}

std::int32_t cut_rows_in_lp(const Library& lib) {
  if (!lib.cut_pool || !lib.problem || lib.cut_pool->problem_serial != lib.problem->serial) return 0;
  return static_cast<std::int32_t>(lib.cut_pool->lp_cuts.size());
}

}  // namespace kqopt
