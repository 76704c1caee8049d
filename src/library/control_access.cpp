// Control and attribute access by number and by name.
#include "library/control_access.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "frame/message_numbers.h"
#include "library/library.h"

namespace kqopt {

namespace {

bool valid_number(int n, int count) { return n >= 1 && n <= count; }

// Values that no reader of a control can work with. The index base is 0 or 1; every
// double must be a number, and tolerances (names beginning with Z or holding TOL)
// must not be negative.
bool int_value_allowed(int n, std::int32_t value) { return n != icv::IFDBG || value == 0 || value == 1; }

bool double_value_allowed(int n, double value) {
  if (!std::isfinite(value)) return false;
  const std::string_view name = kDoubleControls[n - 1].name;
  const bool tolerance = name.starts_with('Z') || name.find("TOL") != std::string_view::npos;
  return !(tolerance && value < 0.0);
}

void report_bad_value(Library& lib, const char* tag, int n) { report_argument_error(lib, kMessageControlValue, tag, {n}); }

void report_read_only(Library& lib) {
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = kMessageReadOnly;
  print_message(lib, kMessageReadOnly);
  flush_line(lib);
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = kMessageReadOnly;
}

void copy_trimmed(const std::array<char, kCharControlLength>& field, char* value) {
  std::string text = trim_blank_padded(field);
  std::memcpy(value, text.c_str(), text.size() + 1);
}

// A name matches when it is a prefix of the line, its upper-case letters also
// matching lower-case ones in the line.
bool name_matches(const char* name, const std::string& line) {
  std::size_t length = std::strlen(name);
  if (length == 0 || length > line.size()) return false;
  for (std::size_t i = 0; i < length; ++i) {
    char want = name[i];
    char got = line[i];
    if (got == want) continue;
    if (want >= 'A' && want <= 'Z' && got == want - 'A' + 'a') continue;
    return false;
  }
  return true;
}

enum class Table { kChar, kDouble, kInt };

struct Match {
  Table table;
  int number;
  std::size_t name_length;
};

bool find_control(const std::string& line, Match& match) {
  for (int n = 1; n <= kCharControlCount; ++n) {
    if (name_matches(kCharControls[n - 1].name, line)) {
      match = {Table::kChar, n, std::strlen(kCharControls[n - 1].name)};
      return true;
    }
  }
  for (int n = 1; n <= kDoubleControlCount; ++n) {
    if (name_matches(kDoubleControls[n - 1].name, line)) {
      match = {Table::kDouble, n, std::strlen(kDoubleControls[n - 1].name)};
      return true;
    }
  }
  for (int n = 1; n <= kIntControlCount; ++n) {
    if (name_matches(kIntControls[n - 1].name, line)) {
      match = {Table::kInt, n, std::strlen(kIntControls[n - 1].name)};
      return true;
    }
  }
  return false;
}

bool parse_double(const std::string& text, double& value) {
  if (text.empty()) return false;
  std::string normalised = text;
  for (char& c : normalised) {
    if (c == 'd' || c == 'D') c = 'E';
  }
  errno = 0;
  char* end = nullptr;
  value = std::strtod(normalised.c_str(), &end);
  return end == normalised.c_str() + normalised.size() && errno != ERANGE;
}

bool parse_int(const std::string& text, std::int32_t& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (end != text.c_str() + text.size() || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

void print_control_value(Library& lib, const Match& match) {
  Controls& c = lib.controls;
  switch (match.table) {
    case Table::kDouble:
      put_real(lib, c.d(match.number));
      break;
    case Table::kInt:
      put_integer(lib, c.i(match.number), 12);
      break;
    case Table::kChar: {
      put_text(lib, "'", 1);
      put_text(lib, c.ccv[static_cast<std::size_t>(match.number)].data(), kCharControlLength);
      put_text(lib, "'", 1);
      break;
    }
  }
  flush_line(lib);
}

void apply_control_setting(Library& lib, const Match& match, const std::string& text) {
  Controls& c = lib.controls;
  const auto n = static_cast<std::size_t>(match.number);
  switch (match.table) {
    case Table::kChar: {
      if (c.ccv_access[n] < 0) {
        report_read_only(lib);
        return;
      }
      auto& field = c.ccv[n];
      field.fill(' ');
      // The first character is the opening quote; copy up to the closing one.
      for (std::size_t i = 1, k = 0; i < text.size() && text[i] != '\'' && k < field.size(); ++i, ++k) {
        field[k] = text[i];
      }
      ++c.ccv_access[n];
      return;
    }
    case Table::kDouble: {
      double value = 0;
      if (!parse_double(text, value)) {
        print_message(lib, kMessageBadNumber);
        flush_line(lib);
        return;
      }
      if (c.dcv_access[n] < 0) {
        report_read_only(lib);
        return;
      }
      if (!double_value_allowed(match.number, value)) {
        report_bad_value(lib, "setdcv  ", match.number);
        return;
      }
      c.dcv[n] = value;
      ++c.dcv_access[n];
      return;
    }
    case Table::kInt: {
      std::int32_t value = 0;
      if (!parse_int(text, value)) {
        print_message(lib, kMessageBadNumber);
        flush_line(lib);
        return;
      }
      // A read-only control typed with its current value is accepted like a settable one.
      if (c.icv_access[n] < 0 && value != c.icv[n]) {
        report_read_only(lib);
        return;
      }
      if (!int_value_allowed(match.number, value)) {
        report_bad_value(lib, "seticv  ", match.number);
        return;
      }
      c.icv[n] = value;
      ++c.icv_access[n];
      return;
    }
  }
}

}  // namespace

std::int32_t set_int_control(Library& lib, int n, std::int32_t value) {
  lib.begin_operation();
  if (!valid_number(n, kIntControlCount)) {
    report_argument_error(lib, kMessageOutOfRange, "seticv  ", {n});
  } else if (lib.controls.icv_access[static_cast<std::size_t>(n)] < 0) {
    report_read_only(lib);
  } else if (!int_value_allowed(n, value)) {
    report_bad_value(lib, "seticv  ", n);
  } else {
    lib.controls.icv_access[static_cast<std::size_t>(n)] = 1;
    lib.controls.icv[static_cast<std::size_t>(n)] = value;
  }
  return lib.err.return_code;
}

std::int32_t set_double_control(Library& lib, int n, double value) {
  lib.begin_operation();
  if (!valid_number(n, kDoubleControlCount)) {
    report_argument_error(lib, kMessageOutOfRange, "setdcv  ", {n});
  } else if (lib.controls.dcv_access[static_cast<std::size_t>(n)] < 0) {
    report_read_only(lib);
  } else if (!double_value_allowed(n, value)) {
    report_bad_value(lib, "setdcv  ", n);
  } else {
    lib.controls.dcv_access[static_cast<std::size_t>(n)] = 1;
    lib.controls.dcv[static_cast<std::size_t>(n)] = value;
  }
  return lib.err.return_code;
}

std::int32_t set_char_control(Library& lib, int n, const char* value) {
  lib.begin_operation();
  if (!valid_number(n, kCharControlCount)) {
    report_argument_error(lib, kMessageOutOfRange, "setccv  ", {n});
  } else if (lib.controls.ccv_access[static_cast<std::size_t>(n)] < 0) {
    report_read_only(lib);
  } else {
    lib.controls.ccv_access[static_cast<std::size_t>(n)] = 1;
    set_blank_padded(lib.controls.ccv[static_cast<std::size_t>(n)], value);
  }
  return lib.err.return_code;
}

std::int32_t get_int_control(Library& lib, int n, std::int32_t* value) {
  lib.begin_operation();
  if (!valid_number(n, kIntControlCount)) {
    report_argument_error(lib, kMessageOutOfRange, "geticv  ", {n});
  } else {
    *value = lib.controls.icv[static_cast<std::size_t>(n)];
  }
  return lib.err.return_code;
}

std::int32_t get_double_control(Library& lib, int n, double* value) {
  lib.begin_operation();
  if (!valid_number(n, kDoubleControlCount)) {
    report_argument_error(lib, kMessageOutOfRange, "getdcv  ", {n});
  } else {
    *value = lib.controls.dcv[static_cast<std::size_t>(n)];
  }
  return lib.err.return_code;
}

std::int32_t get_char_control(Library& lib, int n, char* value) {
  lib.begin_operation();
  if (!valid_number(n, kCharControlCount)) {
    report_argument_error(lib, kMessageOutOfRange, "getccv  ", {n});
  } else {
    copy_trimmed(lib.controls.ccv[static_cast<std::size_t>(n)], value);
  }
  return lib.err.return_code;
}

std::int32_t get_int_attribute(Library& lib, int n, std::int32_t* value) {
  // The error state of the previous operation becomes readable as 1023 and 1025.
  Attributes& a = lib.attributes;
  *a.int_attribute(attr::kErrorNumber) = lib.err.error_number;
  *a.int_attribute(attr::kReturnCode) = lib.err.return_code;
  *a.int_attribute(attr::kColumns) =
      *a.int_attribute(attr::kLastColumn) - *a.int_attribute(attr::kRows) - *a.int_attribute(attr::kSpareRows);
  lib.begin_operation();
  std::int32_t* stored = a.int_attribute(n);
  if (stored == nullptr) {
    report_argument_error(lib, kMessageOutOfRange, "getipv  ", {n});
  } else {
    *value = *stored;
  }
  return lib.err.return_code;
}

std::int32_t get_double_attribute(Library& lib, int n, double* value) {
  lib.begin_operation();
  double* stored = lib.attributes.double_attribute(n);
  if (stored == nullptr) {
    report_argument_error(lib, kMessageOutOfRange, "getdpv  ", {n});
  } else {
    *value = *stored;
  }
  return lib.err.return_code;
}

std::int32_t get_char_attribute(Library& lib, int n, char* value) {
  lib.begin_operation();
  auto* stored = lib.attributes.char_attribute(n);
  if (stored == nullptr) {
    report_argument_error(lib, kMessageOutOfRange, "getcpv  ", {n});
  } else {
    copy_trimmed(*stored, value);
  }
  return lib.err.return_code;
}

ControlLineResult handle_control_line(Library& lib, const std::string& line) {
  Match match{};
  if (!find_control(line, match)) return ControlLineResult::kNotAControl;
  if (line.size() > match.name_length && line[match.name_length] != '=') return ControlLineResult::kNotAControl;
  if (line.size() == match.name_length) {
    lib.out.display_threshold = 0.0;
    print_control_value(lib, match);
  } else {
    apply_control_setting(lib, match, line.substr(match.name_length + 1));
  }
  lib.out.display_threshold = lib.controls.d(dcv::ZTOLPZ);
  return ControlLineResult::kHandled;
}

}  // namespace kqopt
