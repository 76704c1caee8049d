// The problem model: rows, columns, the column-wise matrix with its row-wise copy,
// bounds, names, status words, global entities, sets and their directives, as every
// subsystem sees them.
//
// The linear problem held is
//
//     minimise or maximise  c·x + objective_constant
//     subject to            a_i·x + s_i = rhs_i        (i = 1..m)
//                           l_v ≤ x_v ≤ u_v            (every variable v, logicals too)
//
// where s_i is the logical (slack) of row i and its bounds encode the row type.
//
// Numbering. The library numbers its variables 1..M + n: variable i (1 ≤ i ≤ m) is the
// logical of row i; m + 1..M (M = m + s) are spare row slots; column j (1 ≤ j ≤ n) is
// variable M + j. The arrays below are 0-based: per-variable arrays put variable v at
// index v − 1, so row i (0-based) is index i and column j (0-based) is index M + j.
// Spare row slots keep their place when rows are added, so M never changes after a
// load and a column's variable index stays M + j.
//
// Units. Values are stored in internal (scaled) units. The scale exponent e of each
// variable is the top byte of its status word (0 and 64 both mean unscaled); the
// factor is 2^(64 − e). With row factor R_i and column factor C_j the stored values are
//     a'_ij = a_ij·R_i·C_j,  c'_j = c_j·C_j,  l'_j = l_j / C_j,  u'_j = u_j / C_j,
//     rhs'_i = rhs_i·R_i, and the logical bounds of row i times R_i;
// ±infinity is never scaled. problem/units.h converts exactly between the two.
//
// Infinity: an input bound at or beyond ±1.0E29 means no bound and is stored as
// ±kInfinity (9.999999999999999E29); the finite-bound bits of the status word say
// which bounds are finite.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "problem/names.h"

namespace kqopt {

// Variable status word: flag bits below, scale exponent in the top byte. The simplex
// engine, crash and infeasibility analysis own further bits (0x004, 0x008, 0x020,
// 0x040, 0x100, 0x800, 0x08000, 0x10000, 0x100000).
namespace status {
inline constexpr std::uint32_t kFree = 0x00001;          // neither bound finite
inline constexpr std::uint32_t kBasic = 0x00002;         // every logical after a load
inline constexpr std::uint32_t kAtUpper = 0x00004;       // nonbasic at its upper bound
inline constexpr std::uint32_t kFixed = 0x00010;         // equality rows, spare row slots
inline constexpr std::uint32_t kGlobalEntity = 0x00080;  // the column is a global entity
inline constexpr std::uint32_t kFiniteLower = 0x00200;
inline constexpr std::uint32_t kFiniteUpper = 0x00400;
inline constexpr std::uint32_t kInteger = 0x01000;
inline constexpr std::uint32_t kBinary = 0x20000;
inline constexpr std::uint32_t kSemiContinuous = 0x40000;
inline constexpr std::uint32_t kPartialInteger = 0x80000;
inline constexpr std::uint32_t kEmptyColumn = 0x400000;  // marked by the file readers
inline constexpr std::uint32_t kEntityBits = kGlobalEntity | kInteger | kBinary | kSemiContinuous | kPartialInteger;

inline constexpr int kExponentShift = 24;
inline constexpr std::uint32_t kExponentMask = 0xFF000000u;
inline constexpr int kNeutralExponent = 64;

// The scale exponent of a status word, 0 read as the neutral 64.
inline int exponent(std::uint32_t word) {
  int e = static_cast<int>(word >> kExponentShift);
  return e == 0 ? kNeutralExponent : e;
}
inline std::uint32_t with_exponent(std::uint32_t word, int e) {
  return (word & ~kExponentMask) | (static_cast<std::uint32_t>(e) << kExponentShift);
}
}  // namespace status

// Row type codes (a bit each; the infeasibility analysis adds kFree to relax a row).
// A ranged row is stored as kLess with a finite logical upper bound |range|, so its
// activity lies in [rhs − |range|, rhs]. Spare row slots have no type.
namespace row_type {
inline constexpr std::uint8_t kSpare = 0;
inline constexpr std::uint8_t kEqual = 1;    // 'E': logical in [0, 0]
inline constexpr std::uint8_t kGreater = 2;  // 'G': logical in (−inf, 0]
inline constexpr std::uint8_t kLess = 4;     // 'L': logical in [0, +inf); 'R': [0, |range|]
inline constexpr std::uint8_t kFree = 8;     // 'N': logical free
// 'R' as given by a caller, before its range makes it an L row with a finite upper bound.
inline constexpr std::uint8_t kRangedInput = 16;

// The code of a row-type letter N, L, G, E or R; 0 for any other character.
inline std::uint8_t from_letter(char c) {
  switch (c) {
    case 'N':
      return kFree;
    case 'L':
      return kLess;
    case 'G':
      return kGreater;
    case 'E':
      return kEqual;
    case 'R':
      return kRangedInput;
    default:
      return 0;
  }
}
}  // namespace row_type

// Per-row flags kept by the loading side (Problem::row_flags) for scaling and the crash.
namespace row_flag {
inline constexpr std::uint8_t kNoScale = 1;             // the row keeps the neutral scale exponent 64
inline constexpr std::uint8_t kLogicalAtUpper = 2;      // nonbasic logical sits at its upper bound
inline constexpr std::uint8_t kNoNonnegativeCover = 4;  // crash cover pass: no column with an entry >= 0
inline constexpr std::uint8_t kLogicalBasic = 8;        // crash: the row's logical must be basic
}  // namespace row_flag

// Global entity kinds: the low four bits of an entity word.
enum class EntityKind : std::uint32_t {
  kInteger = 1,
  kSemiContinuous = 2,
  kBinary = 3,
  kPartialInteger = 4,  // the integer limit sits in the word from bit 4 upward
  kSet1 = 5,
  kSet2 = 6,
};

inline constexpr std::int32_t kDefaultPriorityWord = 8000;  // 16 × priority 500 + direction 0

// One entry of the global-entity list, with its branching directive.
struct GlobalEntity {
  std::uint32_t word = 0;                             // kind | (partial-integer limit << 4)
  std::int32_t reference = 0;                         // column j (0-based; variable M + j) or set index (0-based)
  double limit = 0.0;                                 // semi-continuous: the second number of an SC bound; else 0
  std::int32_t priority_word = kDefaultPriorityWord;  // 16 × priority + direction (0 none, 1 up, 2 down)
  float up_pseudo_cost = 0.0f;
  float down_pseudo_cost = 0.0f;

  EntityKind kind() const { return static_cast<EntityKind>(word & 0xFu); }
  bool is_set() const { return kind() == EntityKind::kSet1 || kind() == EntityKind::kSet2; }
  std::int32_t partial_integer_limit() const { return static_cast<std::int32_t>(word >> 4); }
  std::int32_t priority() const { return priority_word / 16; }
  std::int32_t direction() const { return priority_word % 16; }
};

// Special ordered sets: set k (0-based) has members start[k]..start[k + 1] − 1.
struct SetMember {
  std::int32_t column = 0;   // 0-based column
  double weight = 0.0;       // reference weight (internal units)
  double upper_bound = 0.0;  // copy of the column's upper bound when the set was loaded
};
struct SpecialOrderedSets {
  std::vector<std::int32_t> start{0};  // count() + 1 entries
  std::vector<SetMember> members;
  std::vector<std::int32_t> reference_row;  // per set: 0-based row, or −1 (file readers)
  NameTable names{0, 1, 'S'};

  std::int32_t count() const { return static_cast<std::int32_t>(start.size()) - 1; }
};

// Column-wise matrix: column j's elements are start[j]..start[j + 1] − 1, in the order
// they were given; two elements of one column in the same row stay separate.
struct ColumnMatrix {
  std::vector<std::int32_t> start{0};  // n + 1 entries
  std::vector<std::int32_t> row;       // 0-based row of each element (0..m − 1)
  std::vector<double> value;           // a'_ij, internal units
  bool stale = false;                  // true when only the row-wise copy is current

  std::int32_t elements() const { return start.back(); }
};

// Row-wise copy: row i's elements are start[i]..start[i + 1] − 1, in increasing column
// order (elements of one column in their stored order). start covers all M row slots
// when built; after rows are added it may cover only the slots up to the last kept row,
// the empty spare slots after them being implied.
struct RowMatrix {
  std::vector<std::int32_t> start;   // M + 1 entries once built (see above)
  std::vector<std::int32_t> column;  // 0-based column of each element
  std::vector<double> value;
  bool stale = true;  // rebuilt from the column-wise matrix on demand
};

// MVUB section of the file readers: x_first ≤ factor · x_second with factor = −value,
// held in internal units (factor' = factor·C_second / C_first).
struct DeferredPair {
  std::int32_t first_column = 0;
  std::int32_t second_column = 0;
  double factor = 0.0;
};

// RECURSE section of the file readers (meaning of the fields: the recursion Part).
struct RecursionRecord {
  std::array<char, 4> code{};  // " DV ", " MU ", ...
  std::int32_t row = -1;
  std::array<std::int32_t, 3> columns{-1, -1, -1};
  std::array<float, 2> values{};
};

// Workspace charges of the arrays of one problem, by array number (problem/arrays.h).
struct ProblemCharges {
  std::vector<std::pair<int, std::int64_t>> arrays;
  std::int64_t total() const {
    std::int64_t sum = 0;
    for (const auto& a : arrays) sum += a.second;
    return sum;
  }
};

struct Problem {
  // Sizes: m kept rows, s spare row slots (M = m + s), n columns; the spare columns,
  // elements and entities reserved at load (NCXTRA, NMXTRA raised, NGXTRA).
  std::int32_t rows = 0;
  std::int32_t spare_rows = 0;
  std::int32_t columns = 0;
  std::int32_t spare_columns = 0;
  std::int32_t spare_elements = 0;
  std::int32_t spare_entities = 0;

  std::int32_t row_slots() const { return rows + spare_rows; }      // M
  std::int32_t variables() const { return row_slots() + columns; }  // M + n
  std::int32_t column_variable(std::int32_t j) const { return row_slots() + j; }

  // Per variable (M + n entries): status word, bounds (internal units), names.
  std::vector<std::uint32_t> status;
  std::vector<double> lower;
  std::vector<double> upper;
  NameTable names;

  // Per row slot (M entries): type code, right-hand side (internal units) and the flags
  // kept for the crash and scaling (0 after an array load).
  std::vector<std::uint8_t> row_type;
  std::vector<double> rhs;
  std::vector<std::uint8_t> row_flags;

  // Per column (n entries): objective coefficient c'_j.
  std::vector<double> objective;
  double objective_constant = 0.0;  // caller's units
  // Power of two near the largest |c'_j|, set when the problem is scaled: the phase-1
  // weight BIGM and the penalty PENLTY are read relative to it (problem/scale_exponents.h).
  double cost_scale = 1.0;

  ColumnMatrix by_column;
  RowMatrix by_row;

  // Global entities in list order (sets and columns), and the sets' members.
  std::vector<GlobalEntity> entities;
  SpecialOrderedSets sets;

  std::vector<DeferredPair> deferred_pairs;
  std::vector<RecursionRecord> recursion_records;

  // The N row whose coefficients form the objective (0-based), or -1 when the objective
  // came without a row (arrays, LP text). Set by the file readers; the writers name it.
  std::int32_t objective_row = -1;
  // objective_row when it still names a free row of the problem, else -1.
  std::int32_t named_objective_row() const {
    return objective_row >= 0 && objective_row < rows &&
                   (row_type[static_cast<std::size_t>(objective_row)] & row_type::kFree) != 0
               ? objective_row
               : -1;
  }

  // Set by the finishing step of a load: operations that need a problem see it only
  // then.
  bool loaded = false;
  // Distinguishes this problem from every other one the library has held, so that a
  // solution kept elsewhere can tell whether it still belongs to the current problem.
  std::uint64_t serial = 0;
  ProblemCharges charges;

  std::int32_t elements() const {
    return by_column.stale ? (by_row.start.empty() ? 0 : by_row.start.back()) : by_column.elements();
  }
  std::int32_t column_entity_count() const {
    std::int32_t count = 0;
    for (const GlobalEntity& e : entities) count += e.is_set() ? 0 : 1;
    return count;
  }
};

}  // namespace kqopt
