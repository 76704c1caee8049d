// The report of a file that could not be written whole: the message with the system's
// error number and the file's name, and return code 32. Writers build their files
// beside the old ones and replace them only when complete, so the report also tells
// the caller that the previous file is still in place.
#pragma once

#include <string>

namespace kqopt {

struct Library;

void report_write_failure(Library& lib, int error, const std::string& file);

}  // namespace kqopt
