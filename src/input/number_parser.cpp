// Numeric fields: a syntax check that also removes blanks and normalises the exponent
// letter, then a correctly rounded conversion.
#include "input/number_parser.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

namespace kqopt::input {

namespace {

constexpr std::size_t kStackDigits = 256;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Copies the non-blank characters of field into out (without a leading '+', with the
// exponent letter as 'e'), checking the grammar on the way. Returns the number of
// characters written, 0 for an empty field, or -1 when the field is invalid.
long normalise(std::string_view field, char* out) {
  enum class State { kStart, kSign, kIntDigits, kPoint, kFracDigits, kExpLetter, kExpSign, kExpDigits };
  State state = State::kStart;
  bool mantissa_digits = false;
  long n = 0;
  for (char c : field) {
    if (c == ' ') continue;
    switch (state) {
      case State::kStart:
        if (c == '+' || c == '-') {
          if (c == '-') out[n++] = c;
          state = State::kSign;
          continue;
        }
        [[fallthrough]];
      case State::kSign:
      case State::kIntDigits:
        if (is_digit(c)) {
          out[n++] = c;
          mantissa_digits = true;
          state = State::kIntDigits;
        } else if (c == '.') {
          out[n++] = c;
          state = State::kPoint;
        } else if (state == State::kIntDigits && (c == 'E' || c == 'e' || c == 'D' || c == 'd')) {
          out[n++] = 'e';
          state = State::kExpLetter;
        } else {
          return -1;
        }
        break;
      case State::kPoint:
      case State::kFracDigits:
        if (is_digit(c)) {
          out[n++] = c;
          mantissa_digits = true;
          state = State::kFracDigits;
        } else if (mantissa_digits && (c == 'E' || c == 'e' || c == 'D' || c == 'd')) {
          out[n++] = 'e';
          state = State::kExpLetter;
        } else {
          return -1;
        }
        break;
      case State::kExpLetter:
        if (c == '+' || c == '-') {
          out[n++] = c;
          state = State::kExpSign;
          break;
        }
        [[fallthrough]];
      case State::kExpSign:
      case State::kExpDigits:
        if (!is_digit(c)) return -1;
        out[n++] = c;
        state = State::kExpDigits;
        break;
    }
  }
  switch (state) {
    case State::kStart:
      return 0;
    case State::kIntDigits:
    case State::kFracDigits:
    case State::kExpDigits:
      return n;
    case State::kPoint:
      return mantissa_digits ? n : -1;
    default:
      return -1;
  }
}

NumberStatus convert(const char* text, long length, double& value) {
  double parsed = 0;
  auto [end, error] = std::from_chars(text, text + length, parsed, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // Either overflow (invalid) or underflow (reads as 0 or a subnormal): strtod tells.
    std::string copy(text, static_cast<std::size_t>(length));
    parsed = std::strtod(copy.c_str(), nullptr);
    if (std::isinf(parsed)) return NumberStatus::kInvalid;
  } else if (error != std::errc() || end != text + length) {
    return NumberStatus::kInvalid;
  }
  value = parsed;
  return NumberStatus::kOk;
}

}  // namespace

NumberStatus parse_number(std::string_view field, double& value) {
  if (field.size() < kStackDigits) {
    char buffer[kStackDigits];
    long n = normalise(field, buffer);
    if (n < 0) return NumberStatus::kInvalid;
    if (n == 0) {
      value = 0;
      return NumberStatus::kOk;
    }
    return convert(buffer, n, value);
  }
  std::string buffer(field.size(), '\0');
  long n = normalise(field, buffer.data());
  if (n < 0) return NumberStatus::kInvalid;
  if (n == 0) {
    value = 0;
    return NumberStatus::kOk;
  }
  return convert(buffer.data(), n, value);
}

}  // namespace kqopt::input
