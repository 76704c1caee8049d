// KQADDNAMES (see add_names.h). Names are stored blank-padded to the width the problem
// was loaded with; the check against 8·k characters uses that width too.
#include "problem/add_names.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/index_base.h"
#include "problem/problem.h"

namespace kqopt {

namespace {
constexpr const char* kTag = "addnames";
}  // namespace

std::int32_t add_names(Library& lib, std::int32_t type, const char* names, std::int32_t first, std::int32_t last) {
  lib.begin_operation();
  if (!require_problem(lib)) return lib.err.return_code;
  if (type != 1 && type != 2) {
    report_argument_error(lib, kMessageNameType, kTag, {type});
    return lib.err.return_code;
  }
  IndexRange range;
  if (!convert_range(lib, type == 1 ? Axis::kRows : Axis::kColumns, kTag, first, last, range))
    return lib.err.return_code;
  if (range.size() == 0) return 0;
  if (reject_null(lib, names, kTag)) return lib.err.return_code;
  Problem& p = *lib.problem;
  const std::size_t width = static_cast<std::size_t>(p.names.width());
  // Check every name first, so that a bad one leaves the names as they were.
  std::vector<std::string_view> taken;
  taken.reserve(static_cast<std::size_t>(range.size()));
  std::size_t position = 0;
  for (std::int32_t k = 0; k < range.size(); ++k) {
    const char* name = names + position;
    const std::size_t length = std::strlen(name);
    if (length > width) {
      report_argument_error(lib, kMessageNameTooLong, kTag,
                            {current_index_base(lib).to_caller(static_cast<std::int64_t>(position))});
      return lib.err.return_code;
    }
    taken.emplace_back(name, length);
    position += length + 1;
  }
  const std::int32_t offset = type == 1 ? 0 : p.row_slots();
  for (std::int32_t k = 0; k < range.size(); ++k)
    p.names.set(offset + range.first + k, taken[static_cast<std::size_t>(k)]);
  return 0;
}

}  // namespace kqopt
