// Index base and character argument errors (see index_base.h).
#include "problem/index_base.h"

#include "library/library.h"

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
