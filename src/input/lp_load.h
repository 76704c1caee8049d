// Loading what the LP-text reader read: the arrays of the array loaders built in the
// work area, the load, then the row and column names.
#pragma once

#include <cstdint>

namespace kqopt {
struct Library;
}

namespace kqopt::input {

class LpWorkArea;
struct LpModel;
struct LpResult;

// Loads model as KQLOADPROB (KQLOADGLOBAL when columns are marked) with 0-based
// arrays, then names rows and columns as KQADDNAMES. The read's faults count against
// IGNORE. Returns the return code.
std::int32_t load_lp_model(Library& lib, LpWorkArea& area, const LpModel& model, LpResult& result);

}  // namespace kqopt::input
