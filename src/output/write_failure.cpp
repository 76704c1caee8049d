// The report of a failed write; see write_failure.h.
#include "output/write_failure.h"

#include "frame/message_numbers.h"
#include "frame/output.h"
#include "library/library.h"

namespace kqopt {

void report_write_failure(Library& lib, int error, const std::string& file) {
  print_message(lib, kMessageFatalWriteError);
  put_integer(lib, error, 6);
  put_string(lib, (" " + file).c_str());
  flush_line(lib);
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = kMessageFatalWriteError;
}

}  // namespace kqopt
