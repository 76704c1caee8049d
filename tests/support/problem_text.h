// The loaded problem as short text, read through the retrieval operations, for tests
// that compare problems: the objective, the rows and the columns, in the caller's units.
//
//   objective  "2*x+3*y" (then "+K" with the objective constant when it is not 0)
//   rows       "c1:L:4:1*x+1*y c2:..."   name, type, right-hand side, coefficients
//   columns    "x:0:inf:C y:-1:1:I ..."  name, lower, upper, type (C, I, B, S, P)
// Numbers print with %.17g, infinite bounds as inf and -inf.
#pragma once

#include <string>

namespace kqopt {
struct Library;
}

namespace kqopt::test {

struct ProblemText {
  std::string objective;
  std::string rows;
  std::string columns;
};

ProblemText problem_text(Library& lib);

}  // namespace kqopt::test
