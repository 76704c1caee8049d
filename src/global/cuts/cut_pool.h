// The cut pool: cuts kept apart from the LP so that a cut found at one node can be
// applied again elsewhere in the tree.
//
// Coefficient records hold a cut's row type and elements (caller's units); pool entries
// are what the caller sees: a cut entry names a record and carries its own cut type and
// right-hand side, so cuts that differ only in those share one record; a bound entry
// holds a column bound. Records of equal hash (sum of the columns, the type code and the
// element count) are compared for proportional coefficients when a cut is stored, so a
// cut stored twice, or scaled, comes back as the entry it already has.
//
// Entry ids are 0-based slots here; the entry points turn them into the caller's
// numbering. The pool belongs to the problem whose serial it holds.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace kqopt {

struct Library;

struct CoefficientRecord {
  bool used = false;
  std::uint8_t type = 0;  // 4 L, 2 G, 1 E
  std::int32_t count = 0;
  std::int32_t start = 0;  // first element
  std::int64_t hash = 0;
  std::int32_t pointers = 0;  // entries sharing it
  std::int32_t in_lp = 0;     // cut rows of the LP made from it
  std::int32_t next_free = -1;
};

struct PoolEntry {
  bool used = false;
  bool bound = false;
  std::int32_t cut_type = 0;
  std::int32_t record = -1;  // cut entries
  double rhs = 0.0;
  char bound_kind = 'L';  // bound entries: L lower, U upper
  std::int32_t column = -1;
  double value = 0.0;
  std::int32_t node_refs = 0;  // stored nodes whose cut list names it
};

// A cut row of the LP: the pool entry it came from (-1: added directly) and its type.
struct LpCut {
  std::int32_t entry = -1;
  std::int32_t cut_type = 0;
};

// One cut as given by the caller, elements sorted by column.
struct CutInput {
  std::uint8_t type = 0;
  std::int32_t cut_type = 0;
  double rhs = 0.0;
  std::vector<std::int32_t> columns;
  std::vector<double> values;
};

enum class StoreResult { kStored, kRecordsFull, kPointersFull, kElementsFull };

struct CutPool {
  std::uint64_t problem_serial = 0;
  std::int32_t max_records = 100;   // MXCPOL
  std::int32_t max_elements = 200;  // MXCPEL

  std::vector<CoefficientRecord> records;
  std::int32_t free_record = -1;
  std::int32_t records_used = 0;
  std::vector<std::int32_t> element_column;  // compact: records' elements back to back
  std::vector<double> element_value;
  std::vector<PoolEntry> entries;
  std::int32_t entries_used = 0;
  std::int32_t bound_entries = 0;

  // The cut rows at the end of the problem's rows, in row order.
  std::vector<LpCut> lp_cuts;

  // Per node number, the pool entries its LP is to hold (run-length encoded), and the
  // entries KQBRANCHCUT attached to the node being processed.
  std::map<std::int32_t, std::vector<std::int32_t>> node_lists;
  std::vector<std::int32_t> attached;
  // The LP's cut entries when the search started (kept by the solution it returns).
  std::vector<std::int32_t> root_cuts;

  bool in_cut_manager = false;  // a cut manager is running: it may change the LP
  bool initialised = false;     // the initialisation callback has run
  bool used_by_search = false;

  // Entries of both kinds: the cut entries may number 1.5 times the records less the
  // bound entries.
  std::int32_t max_entries() const { return max_records + max_records / 2; }

  // Stores one cut (mode 0, 1 or 2 as KQSTORECUTS); entry receives its id.
  StoreResult store(const CutInput& cut, std::int32_t mode, double tolerance, std::int32_t& entry);
  // Stores a bound entry; an identical one is returned instead.
  StoreResult store_bound(char kind, std::int32_t column, double value, std::int32_t& entry);
  // Frees an entry (and its record when no other entry shares it). Callers check that
  // the entry is in no LP.
  void drop(std::int32_t entry);
  bool valid(std::int32_t entry) const {
    return entry >= 0 && entry < static_cast<std::int32_t>(entries.size()) &&
           entries[static_cast<std::size_t>(entry)].used;
  }
  // True when the entry's record is in the LP.
  bool in_lp(std::int32_t entry) const;
};

// Cut type filter: interpretation 1 equal, 2 any bit, 3 all bits, other: every cut.
bool passes_filter(std::int32_t cut_type, std::int32_t filter_type, std::int32_t interpretation);

// Run-length form of a list of entry ids (ascending runs of consecutive ids folded).
std::vector<std::int32_t> encode_entries(const std::vector<std::int32_t>& ids);
std::vector<std::int32_t> decode_entries(const std::vector<std::int32_t>& encoded);

// The pool of the current problem, or null.
CutPool* cut_pool(Library& lib);
// The cut rows at the end of the current problem's rows (integer attribute 1012).
std::int32_t cut_rows_in_lp(const Library& lib);

}  // namespace kqopt
