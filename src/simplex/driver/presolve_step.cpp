// The presolve gate of the LP driver.
#include "simplex/driver/presolve_step.h"

#include "frame/message_numbers.h"
#include "frame/output.h"
#include "library/library.h"
#include "problem/problem.h"
#include "simplex/driver/engine_setup.h"

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

void finish_proved_by_presolve(Library& lib, PresolveOutcome outcome) {
  EngineState& engine = engine_of(lib);
  engine.has_solution = false;
  engine.factor_current = false;
  const bool infeasible = outcome == PresolveOutcome::infeasible;
  engine.status_character = infeasible ? 'N' : 'U';
  engine.unbounded_variable = -1;
  const std::int32_t lp_status = infeasible ? 2 : 5;
  *lib.attributes.int_attribute(attr::kLpStatus) = lp_status;
  *lib.attributes.int_attribute(attr::kLpFinished) = 2;
  if (infeasible) lib.controls.i(icv::IFBIGM) = 0;
  lib.last_lp_outcome = lp_status;
}

}  // namespace kqopt
