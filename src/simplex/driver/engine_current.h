// Bringing the engine up to the current problem and basis for the operations that
// work on the basis between optimisations: FTRAN and BTRAN entry points, single
// pivots, infeasibility lists.
//
// The engine is current for the problem when engine.problem_serial is its serial and
// engine.factor_current holds: engine.lp is then the working LP of the problem,
// engine.basis the basis of its status words, the factorisation belongs to
// engine.basis.header and engine.basis.x holds the basic values.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;
struct EngineState;
struct InvertReport;

inline constexpr int kMessageNotNow = 422;

// The objective sense multiplier of the engine's costs (double attribute 2008; 1
// before the first optimisation has set it).
double engine_sense(Library& lib);

// True when an optimisation is under way; the engine's arrays then belong to it and
// nothing else may change or refactorise them (message 422 reported when report).
bool engine_busy(Library& lib, bool report);

// True when the factorisation in memory belongs to the current problem's basis.
bool factor_is_current(const Library& lib);

// True when the status words of the current problem hold a basis the engine found,
// or one loaded by KQLOADBASIS; false when only the solution file can tell.
bool basis_in_memory(const Library& lib);

// Makes the engine current (see above): when it is not, the column-wise matrix is
// brought up to date, the working LP built, the basis taken from the status words,
// factorised (messages 140 and 101 for repairs, which go back into the status words)
// and the basic values computed. Returns false with the error set when the
// factorisation fails (message 20, return code 4; message 102, return code 32) or
// the matrix copy does not fit (message 20, return code 1).
[[nodiscard]] bool make_engine_current(Library& lib);

// INVERT of engine.basis.header as it stands (after a basis change whose update
// was refused), with the repairs and the basic values as above. Needs the engine to
// hold the current problem's working LP.
[[nodiscard]] bool refactorise_engine(Library& lib);

// The messages of one INVERT: 140 when the header was repaired, 101 per singular
// pass with the columns replaced, 144 when element growth made it refactorise.
void report_invert(Library& lib, const InvertReport& report);

// Recomputes x_B, the row prices and the reduced costs of the current basis from the
// factorisation and keeps them as the solution in memory (objective attribute 2001
// too). Needs make_engine_current().
void refresh_solution(Library& lib);

}  // namespace kqopt
