// The steps of a diving heuristic: from an LP solution, which integer column a dive
// bounds next and which way, so that a short sequence of re-solves reaches an integer
// solution long before the tree would. A column whose rounding in some direction can
// break no row (no lock that way) is left to be rounded at the end: when every
// fractional column is such a column, one step rounds them all.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "global/search/branching.h"

namespace kqopt {

struct Problem;

// Per column, how many of the rows 0..rows − 1 a move down (up) could violate.
struct RoundingLocks {
  std::vector<std::int32_t> down;
  std::vector<std::int32_t> up;
};

// The locks of every column over the rows 0..rows − 1 (the problem's own rows, below
// any cut rows) with the row limits of the bounds given (M + n, internal units).
RoundingLocks rounding_locks(const Problem& p, std::int32_t rows, std::span<const double> lower,
                             std::span<const double> upper);

enum class DiveStepKind {
  kIntegral,  // no integer column is fractional
  kBound,     // bound one column (changes holds one entry)
  kRound,     // every fractional column rounds without a lock: changes fixes them all
};

struct DiveStep {
  DiveStepKind kind = DiveStepKind::kIntegral;
  std::vector<BoundChange> changes;  // the step's bound changes (variables M + j)
  std::vector<BoundChange> other;    // for kBound: the opposite bound of the same column
};

// The next step of a dive at the LP solution x (M + n values) within the bounds given.
// Integer, binary and partial-integer columns below their limit take part; other
// entities are left to the caller. With a guide (the values of an incumbent, M + n, or
// empty) a column moves toward its value there; else toward the nearer whole number,
// and the column chosen is the one nearest to a whole number.
DiveStep next_dive_step(const Problem& p, std::span<const double> x, std::span<const double> lower,
                        std::span<const double> upper, const RoundingLocks& locks, double tolerance,
                        std::span<const double> guide);

}  // namespace kqopt
