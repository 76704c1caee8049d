// Setting the engine up from the problem model and the controls.
#include "simplex/driver/engine_setup.h"

#include <memory>
#include <utility>

#include "library/library.h"
#include "problem/problem.h"
#include "simplex/core/merged_columns.h"

namespace kqopt {

EngineState& engine_of(Library& lib) {
  if (!lib.engine) lib.engine = std::make_unique<EngineState>();
  return *lib.engine;
}

void build_working_lp(const Problem& problem, double sense, WorkingLp& lp) {
  lp.rows = problem.row_slots();
  lp.columns = problem.columns;
  // Elements repeated in a column stay separate in the model; the engine sees their sum.
  const ColumnMatrix& a = problem.by_column;
  if (has_repeated_rows(lp.rows, a.start, a.row)) {
    MergedColumns merged;
    merge_repeated_rows(lp.rows, a.start, a.row, a.value, merged);
    lp.column_start = std::move(merged.start);
    lp.row_index = std::move(merged.row_index);
    lp.value = std::move(merged.value);
  } else {
    lp.column_start = a.start;
    lp.row_index = a.row;
    lp.value = a.value;
  }
  // Each column in increasing row order, whatever order its elements were loaded in, so
  // that the same problem loaded in another order solves the same way to the last bit.
  lp.build_row_copy();
  std::vector<std::int32_t> next(lp.column_start.begin(), lp.column_start.end() - 1);
  for (std::int32_t i = 0; i < lp.rows; ++i) {
    for (std::int32_t k = lp.row_start[static_cast<std::size_t>(i)]; k < lp.row_start[static_cast<std::size_t>(i) + 1];
         ++k) {
      const auto slot =
          static_cast<std::size_t>(next[static_cast<std::size_t>(lp.column_index[static_cast<std::size_t>(k)])]++);
      lp.row_index[slot] = i;
      lp.value[slot] = lp.row_value[static_cast<std::size_t>(k)];
    }
  }
  lp.lower = problem.lower;
  lp.upper = problem.upper;
  lp.rhs = problem.rhs;
  lp.cost.assign(static_cast<std::size_t>(lp.variables()), 0.0);
  for (std::int32_t j = 0; j < lp.columns; ++j) {
    lp.cost[static_cast<std::size_t>(lp.rows + j)] = sense * problem.objective[static_cast<std::size_t>(j)];
  }
  lp.build_row_copy();
}

void basis_from_status_words(const Problem& problem, const WorkingLp& lp, SimplexBasis& basis) {
  const auto total = static_cast<std::size_t>(lp.variables());
  basis.status.assign(total, VariableStatus::at_lower);
  basis.x.assign(total, 0.0);
  basis.header.clear();
  for (std::size_t v = 0; v < total; ++v) {
    const std::uint32_t word = problem.status[v];
    if (word & status::kBasic) {
      basis.status[v] = VariableStatus::basic;
      basis.header.push_back(static_cast<std::int32_t>(v));
    } else if (word & status::kAtUpper) {
      basis.status[v] = VariableStatus::at_upper;
    } else {
      basis.status[v] = default_nonbasic_status(lp.lower[v], lp.upper[v]);
      if (basis.status[v] == VariableStatus::at_upper && lp.lower[v] > -kInfinity)
        basis.status[v] = VariableStatus::at_lower;
    }
  }
  // INVERT repairs a header of the wrong size; give it exactly m entries to work on.
  for (std::int32_t i = 0; static_cast<std::int32_t>(basis.header.size()) < lp.rows && i < lp.rows; ++i) {
    if (basis.status[static_cast<std::size_t>(i)] != VariableStatus::basic) {
      basis.status[static_cast<std::size_t>(i)] = VariableStatus::basic;
      basis.header.push_back(i);
    }
  }
  while (static_cast<std::int32_t>(basis.header.size()) > lp.rows) {
    const auto v = static_cast<std::size_t>(basis.header.back());
    basis.header.pop_back();
    basis.status[v] = default_nonbasic_status(lp.lower[v], lp.upper[v]);
  }
  basis.index_positions(lp.variables());
  basis.place_nonbasic(lp);
}

void basis_to_status_words(const SimplexBasis& basis, Problem& problem) {
  for (std::size_t v = 0; v < basis.status.size(); ++v) {
    std::uint32_t word = problem.status[v] & ~(status::kBasic | status::kAtUpper);
    if (basis.status[v] == VariableStatus::basic) word |= status::kBasic;
    if (basis.status[v] == VariableStatus::at_upper) word |= status::kAtUpper;
    problem.status[v] = word;
  }
}

PrimalSettings primal_settings(const Library& lib) {
  const Controls& c = lib.controls;
  PrimalSettings s;
  s.feasibility_tolerance = c.d(dcv::ZTOLZE);
  s.optimality_tolerance = c.d(dcv::ZTCOST);
  s.closing_tolerance = 0.01 * s.optimality_tolerance;
  s.reduced_cost_agreement = c.d(dcv::ZTOLDJ);
  s.pivot_tolerance = c.d(dcv::ZTOLPV);
  s.relative_pivot_tolerance = c.d(dcv::ZTOLRP);
  s.short_step = c.d(dcv::ZTSHFT);
  s.perturbation_step = c.d(dcv::ZPETRB);
  s.perturb = c.i(icv::IPETRB) != 0;
  const bool bigm_set = c.icv_access[icv::IFBIGM] > 0;
  s.composite = bigm_set && c.i(icv::IFBIGM) != 0;
  s.big_m = c.d(dcv::BIGM);
  if (bigm_set && c.i(icv::IFBIGM) == 0 && c.dcv_access[dcv::BIGM] <= 0) s.big_m = c.d(dcv::INFWGT);
  s.infeasibility_weight = c.d(dcv::INFWGT);
  s.iteration_limit = c.i(icv::ITRLIM);
  // IPRICE 0 asks for the plainest pricing: every reduced cost from the prices, the
  // largest one enters.
  s.pricing_weights = c.i(icv::IPRICE) != 0;
  // IPHSF 1 or more keeps every reduced cost carried (full pricing) even on wide problems.
  s.partial_pricing = c.i(icv::IPHSF) <= 0;
  s.candidate_factor = c.d(dcv::RCAND);
  s.factor.invfrq = c.i(icv::INVFRQ);
  s.factor.invmin = c.i(icv::INVMIN);
  s.factor.ifftup = c.i(icv::IFFTUP);
  s.factor.ifmsg = c.i(icv::IFMSG);
  s.factor.ztolri = c.d(dcv::ZTOLRI);
  s.factor.zteta = c.d(dcv::ZTETA);
  s.factor.ztolft = c.d(dcv::ZTOLFT);
  s.factor.ztolmx = c.d(dcv::ZTOLMX);
  s.factor.workspace_bytes = lib.workspace.free_bytes();
  return s;
}

}  // namespace kqopt
