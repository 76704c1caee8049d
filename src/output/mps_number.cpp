// The MPS writer's number forms; the rules are in mps_number.h.
#include "output/mps_number.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kqopt {

namespace {

// s.dddddEsdd; with a three-digit exponent, four decimals.
std::string exponent_form(double x) {
  char buffer[32];
  int n = std::snprintf(buffer, sizeof buffer, "%.5E", x);
  if (n > kMpsNumberWidth - (x < 0 ? 0 : 1)) n = std::snprintf(buffer, sizeof buffer, "%.4E", x);
  std::string out = x < 0 ? "" : " ";
  out.append(buffer, static_cast<std::size_t>(n));
  return out;
}

// Fixed point in at most 12 characters, or "" when it does not fit.
std::string fixed_form(double x) {
  const double magnitude = std::fabs(x);
  const int integer_digits = magnitude < 1.0 ? 0 : static_cast<int>(std::floor(std::log10(magnitude))) + 1;
  const int sign = x < 0 ? 1 : 0;
  // Rounding can add a digit ("0.99..." -> "1.0..."): fewer decimals are tried then.
  for (int decimals = kMpsNumberWidth - sign - 1 - integer_digits; decimals >= 0; --decimals) {
    char buffer[48];
    int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
    std::string text(buffer, static_cast<std::size_t>(n));
    const auto zero = static_cast<std::size_t>(sign);
    if (text.size() > zero + 1 && text[zero] == '0' && text[zero + 1] == '.') text.erase(zero, 1);
    if (text.size() <= static_cast<std::size_t>(kMpsNumberWidth)) return text;
  }
  return std::string();
}

std::uint64_t bits_of(double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

}  // namespace

std::string mps_normal_number(double x) {
  if (x == 0.0 || !std::isfinite(x)) return x == 0.0 ? "0.0" : exponent_form(x);
  const double magnitude = std::fabs(x);
  if (magnitude >= 0.1 && magnitude < 1.0e11) {
    std::string text = fixed_form(x);
    if (!text.empty()) return text;
  }
  return exponent_form(x);
}

std::string mps_full_number(double x) {
  if (x == 0.0) return "0.0";
  // Shortest scientific form that reads back exactly.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific);
  std::string sci(buffer, result.ptr);
  const std::size_t e = sci.find('e');
  std::string mantissa = sci.substr(0, e);
  const int exponent = std::atoi(sci.c_str() + e + 1);
  if (mantissa.find('.') == std::string::npos) mantissa += ".0";
  std::string out = x < 0 ? "" : " ";
  out += mantissa;
  if (exponent != 0) {
    out += exponent > 0 ? "E+" : "E-";
    out += std::to_string(exponent < 0 ? -exponent : exponent);
  }
  const std::size_t limit = x < 0 ? 23 : 24;
  if (out.size() > limit) {
    // Only a negative value with a three-digit exponent and 17 digits gets here.
    std::snprintf(buffer, sizeof buffer, "%.15E", x);
    std::string shorter(buffer);
    const std::size_t ee = shorter.find('E');
    const int ex = std::atoi(shorter.c_str() + ee + 1);
    std::string m = shorter.substr(0, ee);
    while (m.size() > 3 && m.back() == '0' && m[m.size() - 2] != '.') m.pop_back();
    out = m + (ex > 0 ? "E+" : "E-") + std::to_string(ex < 0 ? -ex : ex);
  }
  return out;
}

std::string mps_high_word(double x) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(bits_of(x) >> 32));
  return buffer;
}

std::string mps_low_word(double x) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(bits_of(x) & 0xFFFFFFFFu));
  return buffer;
}

}  // namespace kqopt
