// Matrix slots: up to 64 parked problems, each with its own controls, attributes
// and name.
#pragma once

#include <memory>
#include <string>

#include "library/controls.h"
#include "problem/problem.h"

namespace kqopt {

struct SavedMatrix {
  std::unique_ptr<Problem> problem;
  Controls controls;
  Attributes attributes;
  std::string problem_name;
};

}  // namespace kqopt
