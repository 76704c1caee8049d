// The presolve gate of the LP driver.
#include "simplex/driver/presolve_step.h"

#include "frame/message_numbers.h"
#include "frame/output.h"
#include "library/library.h"
#include "problem/infinity.h"
#include "problem/problem.h"
#include "simplex/driver/crash_step.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/prep/crash.h"

namespace kqopt {

bool presolve_selected(const Library& lib, bool resolve) {
  const Controls& c = lib.controls;
  // A basis in place (left by a solve or loaded) is a warm start on the problem as
  // loaded; presolving would throw it away.
  return !resolve && c.i(icv::IPRICE) != 0 && c.i(icv::IFPRES) != 0 && c.i(icv::IPSLCT) != 0 && c.i(icv::IFNBAS) == 0;
}

std::vector<ColumnKind> column_kinds(const Library& lib, const Problem& problem) {
  std::vector<ColumnKind> kinds;
  if (problem.entities.empty() || lib.option('l')) return kinds;
  kinds.assign(static_cast<std::size_t>(problem.columns), ColumnKind::continuous);
  for (const GlobalEntity& e : problem.entities) {
    if (e.is_set()) continue;
    const auto j = static_cast<std::size_t>(e.reference);
    if (j >= kinds.size()) continue;
    const EntityKind kind = e.kind();
    kinds[j] = (kind == EntityKind::kInteger || kind == EntityKind::kBinary) ? ColumnKind::integer : ColumnKind::frozen;
  }
  for (const SetMember& member : problem.sets.members) {
    const auto j = static_cast<std::size_t>(member.column);
    if (j < kinds.size()) kinds[j] = ColumnKind::frozen;
  }
  return kinds;
}

Presolved run_presolve(Library& lib, const Problem& problem, const WorkingLp& lp) {
  const Controls& c = lib.controls;
  PresolveSettings settings;
  const std::vector<ColumnKind> kinds = column_kinds(lib, problem);
  settings.select = static_cast<std::uint32_t>(c.i(icv::IPSLCT));
  if (kinds.empty()) settings.select |= presolve_bit::kNoEntities;
  settings.primal_sweeps = c.i(icv::NPPASS);
  settings.dual_sweeps = c.i(icv::NDPASS);
  settings.rounds = c.i(icv::NRPASS);
  settings.zero_tolerance = c.d(dcv::ZTOLDA);
  settings.infeasibility_tolerance = c.d(dcv::ZTOLIS);
  settings.feasibility_tolerance = c.d(dcv::ZTOLZE);
  settings.extra_elements = c.i(icv::NEXTRA);
  settings.elimination_fill = c.i(icv::IEFILL);
  settings.elimination_tolerance = c.d(dcv::ZTELIM);
  settings.cost_tolerance = c.d(dcv::ZTCOST);
  Presolved presolved = presolve_lp(lp, kinds, settings);
  if (presolved.outcome == PresolveOutcome::reduced && c.i(icv::IFMSG) != 0 && c.i(icv::IQUIET) != 1) {
    if (presolved.reduced_anything()) {
      print_message(lib, kMessagePresolveRemoved);
      put_integer(lib, presolved.rows_removed, 9);
      put_integer(lib, presolved.columns_removed, 9);
      put_integer(lib, presolved.elements_removed, 9);
    } else {
      print_message(lib, kMessagePresolveNoReductions);
    }
    flush_line(lib);
  }
  return presolved;
}

void crash_presolved(Library& lib, const Problem& loaded, const Presolved& presolved, double sense,
                     SimplexBasis& basis) {
  // The crash reads a problem model: one is made of the presolved LP, with the row
  // types, flags and status words of the rows and columns it keeps.
  const WorkingLp& lp = presolved.lp;
  Problem q;
  q.rows = lp.rows;
  q.columns = lp.columns;
  q.cost_scale = loaded.cost_scale;
  q.lower = lp.lower;
  q.upper = lp.upper;
  q.rhs = lp.rhs;
  q.by_column.start = lp.column_start;
  q.by_column.row = lp.row_index;
  q.by_column.value = lp.value;
  const auto total = static_cast<std::size_t>(lp.variables());
  q.status.assign(total, 0);
  for (std::int32_t r = 0; r < lp.rows; ++r) {
    const auto i = static_cast<std::size_t>(presolved.row_of[static_cast<std::size_t>(r)]);
    q.row_type.push_back(loaded.row_type[i]);
    q.row_flags.push_back(i < loaded.row_flags.size() ? loaded.row_flags[i] : 0);
    q.status[static_cast<std::size_t>(r)] = loaded.status[i];
  }
  for (std::int32_t k = 0; k < lp.columns; ++k) {
    const auto j = static_cast<std::size_t>(presolved.column_of[static_cast<std::size_t>(k)]);
    q.status[static_cast<std::size_t>(lp.rows + k)] = loaded.status[static_cast<std::size_t>(loaded.row_slots()) + j];
    q.objective.push_back(lp.cost[static_cast<std::size_t>(lp.rows + k)] / sense);
  }
  for (std::size_t v = 0; v < total; ++v) {
    std::uint32_t& w = q.status[v];
    w &= ~(status::kBasic | status::kAtUpper | status::kFree | status::kFiniteLower | status::kFiniteUpper);
    if (v < static_cast<std::size_t>(lp.rows)) w |= status::kBasic;
    if (q.lower[v] > -kInfinityThreshold) w |= status::kFiniteLower;
    if (q.upper[v] < kInfinityThreshold) w |= status::kFiniteUpper;
    if (q.lower[v] <= -kInfinityThreshold && q.upper[v] >= kInfinityThreshold) w |= status::kFree;
  }
  run_crash(lib, q);
  basis_from_status_words(q, lp, basis);
}

void finish_proved_by_presolve(Library& lib, const Presolved& presolved, std::int32_t row_slots) {
  const PresolveOutcome outcome = presolved.outcome;
  EngineState& engine = engine_of(lib);
  engine.has_solution = false;
  engine.factor_current = false;
  engine.problem_serial = lib.problem->serial;
  const bool infeasible = outcome == PresolveOutcome::infeasible;
  engine.status_character = infeasible ? 'N' : 'U';
  engine.unbounded_variable = presolved.unbounded_column >= 0 ? row_slots + presolved.unbounded_column : -1;
  const std::int32_t lp_status = infeasible ? 2 : 5;
  *lib.attributes.int_attribute(attr::kLpStatus) = lp_status;
  *lib.attributes.int_attribute(attr::kLpFinished) = 2;
  if (infeasible) lib.controls.i(icv::IFBIGM) = 0;
  lib.last_lp_outcome = lp_status;
}

}  // namespace kqopt
