// The check of names against the eight-character fields; see name_fields.h.
#include "output/name_fields.h"

#include <vector>

#include "frame/message_numbers.h"
#include "frame/output.h"
#include "library/library.h"
#include "problem/problem.h"

namespace kqopt {

bool names_exceed_field(const Problem& problem) {
  const int width = problem.names.width();
  if (width <= kNameFieldWidth) return false;
  std::vector<char> name(static_cast<std::size_t>(width));
  const std::int32_t slots = problem.row_slots();
  for (std::int32_t v = 0; v < problem.variables(); ++v) {
    if (v >= problem.rows && v < slots) continue;  // spare rows have no names
    problem.names.copy_name(v, name.data());
    for (int c = kNameFieldWidth; c < width; ++c) {
      if (name[static_cast<std::size_t>(c)] != ' ') return true;
    }
  }
  return false;
}

void warn_if_names_cut(Library& lib, const std::string& file) {
  if (!lib.has_problem() || !names_exceed_field(*lib.problem)) return;
  print_message(lib, kMessageNamesCut);
  put_string(lib, file.c_str());
  flush_line(lib);
}

}  // namespace kqopt
