// Crossover: from an interior solution to a basis the simplex can finish from. The basis
// is guessed from the interior point (variables far from their bounds against their
// reduced costs first), factorised with dependent columns replaced by logicals, and
// every variable left strictly between its bounds outside the basis (a superbasic) is
// pushed: it moves, the basic values following, towards the bound its reduced cost
// prefers until it reaches that bound or a basic variable reaches one and leaves the
// basis in its place. Then the dual pushes: a basic variable on a bound whose interior
// reduced cost is not zero has its reduced cost driven to zero along its row of B^-1,
// the reduced costs of the nonbasic variables following, until it is zero or a nonbasic
// reduced cost reaches zero first and that variable takes its place (a degenerate
// exchange: no value moves). What the pushes leave in primal or dual infeasibility is
// the simplex clean-up's work.
#pragma once

#include <cstdint>
#include <span>

#include "simplex/core/simplex_basis.h"
#include "simplex/core/working_lp.h"
#include "simplex/factor/factor.h"

namespace kqopt::barrier {

struct CrossoverStats {
  std::int32_t superbasics = 0;       // nonbasic and strictly inside their bounds after the guess
  std::int32_t primal_pushes = 0;     // superbasics moved to a bound
  std::int32_t basis_changes = 0;     // pushes stopped by a basic variable (exchanges)
  std::int32_t unpushed = 0;          // free superbasics with no blocking variable either way
  std::int32_t dual_superbasics = 0;  // basic variables with a nonzero interior reduced cost
  std::int32_t dual_pushes = 0;
  std::int32_t dual_exchanges = 0;
  std::int32_t refactorisations = 0;
  std::int32_t logicals_for_dependent = 0;
};

enum class CrossoverEnd { ok, factor_failed, stopped };

// x: the interior values of all m + n variables, reduced_cost their reduced costs.
// On ok: basis (header, statuses, positions, x with nonbasic variables on their bounds
// and x_B) and factor describe the basis for the simplex.
// stopped: settings.stop asked to stop (the time limit or an interrupt), between pushes or
// inside an INVERT; basis and factor then hold no usable basis.
// basic_first: variables the guess takes into the basis before any other, the logicals of
// rows the interior method found dependent (their prices are zero, so the basis's prices
// can match the interior ones).
CrossoverEnd crossover(const WorkingLp& lp, std::span<const double> x, std::span<const double> reduced_cost,
                       SimplexBasis& basis, Factor& factor, const FactorSettings& settings, CrossoverStats& stats,
                       std::span<const std::int32_t> basic_first = {});

}  // namespace kqopt::barrier
