// What the simplex engine keeps between optimisations: the working LP of the last
// run, its basis and factorisation, and the solution in internal units.
//
// Working variables are numbered like the problem's variables: row slot i is
// variable i, column j is variable M + j, so no map is needed between the two.
#pragma once

#include <cstdint>
#include <vector>

#include "simplex/core/simplex_basis.h"
#include "simplex/core/working_lp.h"
#include "simplex/factor/factor.h"

namespace kqopt {

struct EngineState {
  WorkingLp lp;
  SimplexBasis basis;
  Factor factor;
  bool factor_current = false;  // the factorisation belongs to basis.header

  // Solution of the last optimisation, internal units, sense applied (the engine
  // minimises sigma * c).
  bool has_solution = false;
  std::uint64_t problem_serial = 0;  // the problem the solution belongs to
  bool running = false;              // an optimisation is under way
  std::vector<double> pi;            // m row prices
  std::vector<double> reduced_cost;  // m + n
  char status_character = 'Z';
  std::int32_t unbounded_variable = -1;
  bool primal_infeasibilities_left = false;

  // The problem whose status words hold a basis installed by KQLOADBASIS (0: none);
  // the basis is then read from memory rather than from the solution file.
  std::uint64_t basis_serial = 0;

  // Benchmark instrumentation: with time_steps set, the seconds the last LP solve spent
  // in each step of its iterations (in the order of PrimalStepKind).
  bool time_steps = false;
  std::vector<double> step_seconds;

  // Presolve of the last optimisation (all 0 when it did not presolve): what it
  // removed, and the iterations of the primal clean-up on the problem as loaded.
  bool presolved = false;
  std::int32_t presolve_rows_removed = 0;
  std::int32_t presolve_columns_removed = 0;
  std::int64_t presolve_elements_removed = 0;
  std::int32_t presolve_free_rows_removed = 0;  // of the rows removed, those free as loaded
  std::int64_t presolve_free_row_elements_removed = 0;
  std::int64_t cleanup_iterations = 0;
  // Benchmark figures of the last barrier run: its iterations and the crossover's primal and dual pushes.
  std::int32_t barrier_iterations = 0;
  std::int32_t crossover_pushes = 0;
  std::int32_t crossover_dual_pushes = 0;
};

}  // namespace kqopt
