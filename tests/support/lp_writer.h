// Writes the loaded problem as LP text, read through the retrieval operations: the
// converter of the round-trip tests (MPS file → loaded problem → LP text).
//
// Every column is named in the objective (with a zero coefficient where it has none),
// so the columns of the text appear in the problem's order. N rows other than the
// objective are left out; a ranged row becomes its lower side in place ("name >= rhs −
// range") and its upper side as an extra row at the end ("_U" + number); a row without
// coefficients is left out. Names that the text cannot carry (characters outside the
// name alphabet, a leading digit or '.', a leading section keyword) are replaced by
// "_R" / "_C" and a number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kqopt {
struct Library;
}

namespace kqopt::test {

struct LpRowOrigin {
  std::int32_t row;  // row of the problem the text row comes from
  char type;         // 'L', 'G' or 'E'
  double rhs;
};

struct LpText {
  std::string text;
  std::vector<LpRowOrigin> rows;  // the rows of the text, in order
  bool complete = true;           // false: entities or sets the text cannot carry
  std::int32_t renamed = 0;
};

LpText write_lp_text(Library& lib);

}  // namespace kqopt::test
