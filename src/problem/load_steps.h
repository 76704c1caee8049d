// Steps of a load shared between load.cpp (the linear part), load_global.cpp (global
// entities and directives) and load_finish.cpp (the finishing step).
#pragma once

#include <cstdint>
#include <memory>

#include "problem/index_base.h"
#include "problem/load.h"

namespace kqopt {

struct LoadContext {
  Library& lib;
  const ProblemInput& input;
  const LoadOptions& options;
  IndexBase index;
  Problem& problem;
  std::int64_t faults = 0;  // non-finite or contradictory data found on the way
};

// Global steps 1 to 6 of a global load: entity list, sets, column entities, counts and
// default directives. Returns the return code (0, 1 or 32).
std::int32_t load_global_entities(LoadContext& context);

// Every entity of p gets the default directive: priority 500, no direction, both
// pseudo-costs RTOLPS × attribute 2007.
void set_default_directives(Library& lib, Problem& p);

// The finishing step: counts the faults of the data on top of `faults`, prepares the
// derived copies, and makes p the current problem, scaled as IFSCAL says and marked
// loaded unless the faults exceed IGNORE (message 29, return code 32). Returns the
// return code.
std::int32_t finish_load(Library& lib, std::unique_ptr<Problem> p, std::int64_t faults, const LoadOptions& options);

// Clears the problem counts (attributes 1001 to 1006, 1019 to 1021).
void clear_problem_counts(Library& lib);

// A name record of `chars` characters (cut at a NUL) as a view.
std::string_view name_record(const char* names, std::int32_t chars, std::int64_t index);

}  // namespace kqopt
