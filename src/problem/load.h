// Loading a problem into the library: the one path shared by the array entry points
// (KQLOADPROB, KQLOADGLOBAL) and the file readers.
//
// load_problem() runs every step: problem name, capacity checks, discarding the
// previous problem (a saved copy in the current matrix slot is brought up to date
// first), workspace charges, rows, columns, elements, right-hand sides, then for a
// global load the sets and column entities with default directives, and finally the
// finishing step. It returns the return code (0, 1 no fit, 32 invalid call) and leaves
// the messages and the error state of the library behind it.
//
// Note for the file readers
// -------------------------
// * Arrays: fill a ProblemInput with 0-based arrays and leave LoadOptions::index_base
//   at 1 (the value IFDBG has after KQINITLZ: caller index + 1 = internal position).
// * Rows: pass the kept rows only (N rows you keep included) with
//   LoadOptions::apply_ifnrw = false; the loader then stores every element you give, N
//   rows included. Put rows you removed for IFNRW < 0 into extra_spare_rows.
//   apply_ifnrw = true is the array loaders' rule: IFNRW ≤ 0 drops elements in N rows,
//   IFNRW < 0 also drops the N rows themselves (their positions become spare slots;
//   element row indices keep referring to the caller's row positions).
// * Spare rows: NRXTRA slots follow the kept rows. With spare_row_kind = kEmptyLess
//   they are empty L rows (logical basic in [0, +inf)), else fixed slots without a type.
//   spare_row_names names them (else default names). Spare columns are not created:
//   NCXTRA is reserved capacity (attribute 1020); pass spare columns you want visible
//   as ordinary empty columns.
// * Names: row_names / column_names / spare_row_names hold one record of name_chars
//   characters per entry (blank-padded or NUL-terminated; cut at 8·k characters,
//   k = (NAMLEN + 7) / 8). Null means default names (VVVVVVV7 style).
// * Entities: entity_kinds takes 'I', 'S', 'B', 'P' and also the numeric kinds 1..4;
//   entity_limits gives the partial-integer limit, semi_continuous_limits the SC
//   second number (null: 0). The loader sets bounds only for binaries (upper 1): set
//   the bounds of integer, SC and PI columns in lower/upper yourself. A column listed
//   twice is skipped with message 261. sets_first = false keeps declaration order
//   (column entities, then sets) instead of the array loaders' sets-first order.
// * Capacity: check_capacities = false skips messages 73/120/52/107 (do your own).
// * Faults: put your error count into prior_faults; the finishing step adds its own
//   (columns with lower > upper get message 18; non-finite data) and fails the load
//   with message 29 and return code 32 when the total exceeds IGNORE. With
//   keep_loaded_over_ignore the problem stays loaded all the same.
// * Other records: objective_constant, deferred_pairs (MVUB), recursion_records and the
//   set names of the name record (attributes 3002 to 3004) are taken as given.
#pragma once

#include <cstdint>
#include <span>

#include "problem/problem.h"

namespace kqopt {

struct Library;

enum class SpareRowKind { kSlot, kEmptyLess };

struct ProblemInput {
  const char* problem_name = nullptr;  // used when not empty

  std::int32_t rows = 0;     // nrow
  std::int32_t columns = 0;  // ncol

  const char* row_types = nullptr;               // [rows]: 'N', 'L', 'G', 'E', 'R'
  const double* rhs = nullptr;                   // [rows]
  const double* range = nullptr;                 // [rows], read only for 'R' rows
  const double* objective = nullptr;             // [columns]
  const std::int32_t* column_starts = nullptr;   // [columns + 1], or [columns] with lengths
  const std::int32_t* column_lengths = nullptr;  // [columns] or null
  const std::int32_t* element_rows = nullptr;    // row index of each element
  const double* element_values = nullptr;        // value of each element
  const double* lower = nullptr;                 // [columns]
  const double* upper = nullptr;                 // [columns]

  // Optional names: one record of name_chars characters per entry.
  const char* row_names = nullptr;        // [rows]
  const char* column_names = nullptr;     // [columns]
  const char* spare_row_names = nullptr;  // [NRXTRA + extra_spare_rows]
  std::int32_t name_chars = 0;

  // Global entities (LoadOptions::global).
  std::int32_t entity_count = 0;
  const char* entity_kinds = nullptr;  // [entity_count]
  const std::int32_t* entity_columns = nullptr;
  const std::int32_t* entity_limits = nullptr;     // read for partial integers
  const double* semi_continuous_limits = nullptr;  // may be null
  std::int32_t set_count = 0;
  const char* set_types = nullptr;           // [set_count]: '1' or '2'
  const std::int32_t* set_starts = nullptr;  // [set_count + 1]
  const std::int32_t* set_columns = nullptr;
  const double* set_weights = nullptr;
  const char* set_names = nullptr;                   // [set_count] records, or null
  const std::int32_t* set_reference_rows = nullptr;  // [set_count], 0-based, −1 none; or null

  double objective_constant = 0.0;
  std::span<const DeferredPair> deferred_pairs;
  std::span<const RecursionRecord> recursion_records;
  const char* bound_set_name = "BND00001";
  const char* range_set_name = "";
  const char* rhs_set_name = "RHS00001";
};

struct LoadOptions {
  const char* tag = "loadprob";         // routine tag of argument errors in the LP part
  const char* global_tag = "ldglobal";  // ... and in the global part
  std::int32_t index_base = 1;          // IFDBG: caller index + index_base = 1-based position
  bool global = false;                  // run the global steps
  bool apply_ifnrw = true;
  std::int32_t extra_spare_rows = 0;
  SpareRowKind spare_row_kind = SpareRowKind::kSlot;
  bool check_capacities = true;
  bool sets_first = true;
  std::int64_t prior_faults = 0;
  bool keep_loaded_over_ignore = false;
};

// Runs every step of a load (file comment). Returns the return code.
std::int32_t load_problem(Library& lib, const ProblemInput& input, const LoadOptions& options);

// KQLOADPROB / KQLOADGLOBAL: clears the error state, then loads with the index base
// IFDBG, the routine tags "loadprob" and "ldglobal" and the array loaders' rules.
std::int32_t load_from_arrays(Library& lib, const ProblemInput& input, bool global);

// Discards the current problem: a saved copy in the current slot is brought up to date
// first, then the problem's workspace charges are released and the problem counts
// (attributes 1001 to 1006, 1019 to 1021) are cleared.
void discard_problem(Library& lib);

}  // namespace kqopt
