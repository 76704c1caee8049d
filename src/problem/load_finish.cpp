// The finishing step shared by every load (scaling included), and discarding a problem.
//
// Invariant: after finish_load the library's problem is either marked loaded with the
// capacity of its data, or absent (its charges given back); the problem counts
// (attributes 1001 to 1006, 1019 to 1021) describe the current problem, zero when none.
#include <cmath>

#include "frame/message_numbers.h"
#include "global/cuts/cut_rounds.h"
#include "library/library.h"
#include "library/matrix_slots.h"
#include "problem/charges.h"
#include "problem/load_steps.h"
#include "problem/matrix.h"
#include "problem/scale_exponents.h"

namespace kqopt {

namespace {
constexpr std::int32_t kLoadedFlag = 1;  // integer control 42 once a problem is loaded

// Columns whose lower bound lies above the upper bound: message 18 with the name each.
std::int64_t count_crossed_bounds(Library& lib, const Problem& p) {
  std::int64_t faults = 0;
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    if (!(p.lower[v] > p.upper[v])) continue;
    ++faults;
    print_repeated_message(lib, kMessageBoundsCross);
    put_string(lib, p.names.trimmed(static_cast<std::int32_t>(v)).c_str());
    flush_line(lib);
  }
  return faults;
}

}  // namespace

void clear_problem_counts(Library& lib) {
  Attributes& at = lib.attributes;
  for (int n : {attr::kRows, attr::kLastColumn, attr::kGlobalEntities, attr::kSets, attr::kSetMembers, attr::kElements,
                attr::kSpareRows, attr::kSpareColumns, attr::kSpareElements}) {
    *at.int_attribute(n) = 0;
  }
}

void discard_problem(Library& lib) {
  bring_slot_up_to_date(lib);
  if (lib.problem) release_arrays(lib, *lib.problem);
  lib.problem.reset();
  lib.controls.i(icv::IFMEM) = 0;
  clear_problem_counts(lib);
  lib.attributes.clear_solution();
  // A new problem ends the global search of the old one.
  lib.global_search_set_up = false;
}

std::int32_t finish_load(Library& lib, std::unique_ptr<Problem> p, std::int64_t faults, const LoadOptions& options) {
  faults += std::max<std::int64_t>(options.prior_faults, 0);
  faults += count_crossed_bounds(lib, *p);
  // The derived copies: the row-wise copy is built when first asked for.
  p->by_row.stale = true;
  p->serial = ++lib.problems_made;
  lib.problem = std::move(p);
  // The statuses of the last optimisation belonged to the problem this one replaces.
  lib.attributes.clear_solution();
  const bool over = faults > lib.controls.i(icv::IGNORE);
  if (over) {
    report_error(lib, kRcInvalidCall, kMessageDataFaults);
    if (!options.keep_loaded_over_ignore) {
      release_arrays(lib, *lib.problem);
      lib.problem.reset();
      clear_problem_counts(lib);
      return kRcInvalidCall;
    }
  }
  // The loaded values become the stored (scaled) ones. The basis of the problem before
  // is gone with it: the next optimisation crashes a new one.
  scale_loaded_problem(lib, *lib.problem);
  lib.problem->loaded = true;
  lib.controls.i(icv::IFMEM) = kLoadedFlag;
  lib.controls.i(icv::IFNBAS) = 0;
  prepare_cut_pool(lib);
  return over ? kRcInvalidCall : kOk;
}

}  // namespace kqopt
