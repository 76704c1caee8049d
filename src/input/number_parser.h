// The number parser shared by the text readers: reads one numeric field of a data line.
//
// Grammar (blanks anywhere in the field are skipped first):
//   field    := [sign] mantissa [exponent] | <empty>
//   mantissa := digits ["." [digits]] | "." digits
//   exponent := ("E" | "e" | "D" | "d") [sign] digits
// An empty (or all-blank) field reads as 0. Anything else is invalid, including a
// value beyond the range of a double; a value too small for a double reads as 0.
#pragma once

#include <string_view>

namespace kqopt::input {

enum class NumberStatus { kOk, kInvalid };

// Parses field into value (left unchanged when the field is invalid). The conversion
// is correctly rounded.
[[nodiscard]] NumberStatus parse_number(std::string_view field, double& value);

}  // namespace kqopt::input
