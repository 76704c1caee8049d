// The barrier method as a step of the LP driver: the interior-point method on the
// engine's working LP, its log, limits and callbacks, its statuses turned into the
// engine's, and either the interior solution as the result or the crossover basis
// from which the simplex finishes.
#pragma once

#include <cstdint>

#include "simplex/primal/primal_simplex.h"

namespace kqopt {

struct Library;

enum class BarrierNext {
  done,     // the result is set (LP status, attributes, solution, messages)
  simplex,  // engine.basis and engine.factor hold the crossover basis: finish with the simplex
};

struct BarrierFigures {
  std::int32_t iterations = 0;
  std::int32_t pushes = 0;
  std::int32_t dual_pushes = 0;
  std::int32_t superbasics = 0;
  std::int32_t exchanges = 0;
  bool crossover = false;
};

// Needs engine.lp built for the current problem with the sense applied. cutoff is in the
// engine's minimising units (has_cutoff false: none). Leaves the return code in lib.err.
BarrierNext run_barrier(Library& lib, double sense, bool has_cutoff, double cutoff, const PrimalSettings& settings,
                        BarrierFigures& figures);

}  // namespace kqopt
