// Index base and character argument errors (see index_base.h).
#include "problem/index_base.h"

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/problem.h"

namespace kqopt {

IndexBase current_index_base(const Library& lib) { return IndexBase{lib.controls.i(icv::IFDBG)}; }

void report_character_error(Library& lib, int message, const char* tag, std::int64_t position, char c) {
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = message;
  lib.err.error_value = static_cast<std::int32_t>(position);
  print_message(lib, message);
  put_string(lib, tag);
  put_integer(lib, position, 6);
  put_text(lib, " ", 1);
  put_text(lib, &c, 1);
  flush_line(lib);
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = message;
}

}  // namespace kqopt

namespace kqopt {

namespace {}  // namespace

bool require_problem(Library& lib) {
  if (lib.has_problem()) return true;
  report_error(lib, kRcInvalidCall, kMessageNoProblem);
  return false;
}

bool convert_range(Library& lib, Axis axis, const char* tag, std::int32_t first, std::int32_t last, IndexRange& range) {
  const IndexBase index = current_index_base(lib);
  const Problem& p = *lib.problem;
  const std::int64_t count = axis == Axis::kRows ? p.rows : p.columns;
  const int message = axis == Axis::kRows ? kMessageRowRange : kMessageColumnRange;
  const std::int64_t f = index.to_internal(first), l = index.to_internal(last);
  if (f < 0) {
    report_argument_error(lib, message, tag, {first});
    return false;
  }
  if (l >= count) {
    report_argument_error(lib, message, tag, {last});
    return false;
  }
  range.first = static_cast<std::int32_t>(f);
  range.last = static_cast<std::int32_t>(l);
  return true;
}

bool reject_null(Library& lib, const void* pointer, const char* tag) {
  if (pointer != nullptr) return false;
  report_argument_error(lib, kMessageMissingArgument, tag, {});
  return true;
}

}  // namespace kqopt
