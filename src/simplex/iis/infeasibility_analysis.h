// The infeasibility analysis behind KQIISCON and the command IIS: irreducible
// infeasible sets of rows and column bounds of the loaded LP, found by relaxing and
// restoring them and re-solving with the primal simplex, printed set by set; once the
// sets found leave a feasible rest, the members whose removal alone restores
// feasibility are marked. The objective is cleared for the analysis, so the problem is
// discarded when it ends.
#pragma once

#include <cstdint>

namespace kqopt {

struct Library;

// The option letters f (print file "<problem>.iis") and o (the optimiser's own output)
// are read from lib.options and cleared. Returns the return code: 32 with message 91
// when no problem is loaded, with message 340 for a bad NIIS and with message 80 when
// the print file cannot be opened; 4 with message 20 when a work array does not fit.
// A feasible problem prints message 330 and returns 0; a re-solve stopped by the time
// limit or a console break ends the analysis without the report (message 87).
std::int32_t analyse_infeasibility(Library& lib);

}  // namespace kqopt
