// Construction and destruction of the library state.
#include "library/library.h"

#include "global/cuts/cut_pool.h"
#include "global/search/search.h"
#include "library/matrix_slots.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"

namespace kqopt {

Library::Library() { controls.set_defaults(); }

Library::~Library() { close_log_file(out); }

bool Library::has_problem() const { return problem != nullptr && problem->loaded; }

std::string problem_file_name(const Library& lib, const char* extension) { return lib.problem_name + "." + extension; }

}  // namespace kqopt
