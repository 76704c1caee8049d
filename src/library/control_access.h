// Reading and setting controls and reading problem attributes, by number and (for
// the command interpreter) by name.
#pragma once

#include <cstdint>
#include <string>

namespace kqopt {

struct Library;

std::int32_t set_int_control(Library& lib, int n, std::int32_t value);
std::int32_t set_double_control(Library& lib, int n, double value);
std::int32_t set_char_control(Library& lib, int n, const char* value);
std::int32_t get_int_control(Library& lib, int n, std::int32_t* value);
std::int32_t get_double_control(Library& lib, int n, double* value);
std::int32_t get_char_control(Library& lib, int n, char* value);  // at least 9 bytes
std::int32_t get_int_attribute(Library& lib, int n, std::int32_t* value);
std::int32_t get_double_attribute(Library& lib, int n, double* value);
std::int32_t get_char_attribute(Library& lib, int n, char* value);  // at least 9 bytes

enum class ControlLineResult { kNotAControl, kHandled };

// Tries `line` (blanks already removed) as a control query "NAME" or a setting
// "NAME=value". Prints the value of a query; applies a setting with the access rules
// of the command stream.
ControlLineResult handle_control_line(Library& lib, const std::string& line);

}  // namespace kqopt
