// The crash: a starting basis for the primal simplex when no basis exists.
//
// It looks for a nonsingular, nearly triangular basis that holds as many structural
// columns as the limits allow, each pivoting on an entry that is large within its
// column, so that the first INVERT is cheap and phase 1 short. Every row is covered by
// exactly one basic variable: its own logical or the structural that pivots on it. A
// structural covers an uncovered row only when every other uncovered row it touches is
// covered by its logical at the same time, so in the order the crash covers the rows the
// basis is triangular and nonsingular.
//
// Control ICRASH (default 2): with f = |ICRASH| the type is t = f & 7 (negative when
// ICRASH is), type 0 gives the all-logical basis; bit 8 of f is the tight option, 16 the
// cover option, 32 the free option. The crash writes the basic and at-upper bits of the
// status words and the marks below; INVERT rebuilds the basis header from the words.
//
// Rows whose logical must stay basic: row_flag::kLogicalBasic, and also free (N) rows and
// spare row slots, which no structural can usefully cover. Elements in free rows take no
// part in the crash.
#pragma once

#include <cstdint>
#include <vector>

#include "problem/problem.h"

namespace kqopt {

// Status-word bits of the crash besides kBasic and kAtUpper.
namespace crash_mark {
// A two-element column held back by the screening: kept out of the simplex's pricing
// until its first pricing pass that rebuilds the candidate set (release_crash_marks).
inline constexpr std::uint32_t kHeldBack = 0x008;
inline constexpr std::uint32_t kExcluded = 0x020;        // during the crash only
inline constexpr std::uint32_t kTreatedFree = 0x100000;  // with status::kFree: freed by the cover and free pass
}  // namespace crash_mark

struct CrashSettings {
  std::int32_t icrash = 2;  // ICRASH
  double pcrash = 0.3;      // PCRASH: limit on structurals, a fraction of the rows
  double ztcr = 0.995;      // ZTCR: acceptance ratio of an element within its column
  double ztolri = 0.01;     // ZTOLRI (tight option)
  double ztolze = 1.0e-6;   // ZTOLZE
  double ztolpv = 1.0e-9;   // ZTOLPV
  double penalty = 0.0;     // PENLTY in the units of the stored costs
  double big_m = 1024.0;    // BIGM in the units of the stored costs
  std::int32_t ssv009 = 9;  // SSV009: number of classes + 10 (type 7)
  double sense = 1.0;       // σ, double attribute 2008
};

struct CrashPass {
  std::int32_t pass = 0;
  std::int32_t basic = 0;        // rows covered after the pass
  std::int32_t structurals = 0;  // brought in so far
  std::int32_t next_threshold = 0;
  std::int32_t deferred = 0;
};

struct CrashReport {
  bool ran = false;        // a type other than 0: message 121 is due
  double ratio = 0.0;      // ρ: acceptance ratio of an element within its column
  std::int64_t limit = 0;  // L: most structurals brought in
  bool screened = false;
  std::int32_t rejected_elements = 0;
  std::int32_t excluded_columns = 0;
  bool cover_pass = false;
  std::int32_t freed_columns = 0;
  std::int32_t structurals_after_cover = 0;
  std::int32_t two_element_columns = 0;
  std::vector<CrashPass> passes;
  std::int32_t structurals = 0;  // brought in, in all
  bool held_back = false;        // some column carries crash_mark::kHeldBack
};

// Kernel: builds the crash basis of p into p.status (needs a current column-wise
// matrix). Changes nothing else of p. Never fails: a column whose pivot would not be
// acceptable is excluded, and rows left over get their logicals.
CrashReport crash_basis(Problem& p, const CrashSettings& settings);

// Takes away what the crash left for the start of the simplex: the held-back marks
// (the primal's first pricing pass rebuilds the whole candidate set), and the
// treated-as-free marks (the primal keeps every column's true bounds). Returns true when
// any mark was found.
bool release_crash_marks(Problem& p);

}  // namespace kqopt
