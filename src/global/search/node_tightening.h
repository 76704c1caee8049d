// Bound tightening of a node from its LP: reduced-cost fixing against the cutoff. The
// tightened bounds hold for the node's whole subtree, so the search hands them to both
// children with the branching bounds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "global/search/branching.h"

namespace kqopt {

struct Problem;

// The node LP as reduced-cost fixing reads it: values, reduced costs (the engine's
// minimising sense) and the node's bounds, all M + n in internal units.
struct OptimalNode {
  std::span<const double> x;
  std::span<const double> reduced_cost;
  std::span<const double> lower;
  std::span<const double> upper;
};

// Integer and binary columns nonbasic at a bound whose reduced cost d says that moving
// t units away from it costs d·t: no solution of the subtree better than the cutoff lies
// further than gap / |d| from the bound, so the far bound comes in to that distance
// (rounded down to whole units). gap is cutoff minus node objective in the engine's
// sense; slack widens it against the LP's tolerances. Appends one change per column
// tightened and returns their number.
std::int32_t reduced_cost_tightening(const Problem& p, const OptimalNode& node, double gap, double slack,
                                     double reduced_cost_tolerance, std::vector<BoundChange>& out);

}  // namespace kqopt
