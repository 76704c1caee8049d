// Message output: placement into the message line, flushing to the destinations,
// repeated-message suppression, quiet sections, the log file and error reports.
#include "frame/output.h"

#include <cstdio>
#include <cstring>
#include <iostream>

#include "frame/message_numbers.h"
#include "frame/real_field.h"
#include "library/library.h"

namespace kqopt {

namespace {

constexpr int kRepeatLimit = 22;

std::int32_t& ifpmsg(Library& lib) { return lib.controls.i(icv::IFPMSG); }

// Position at which the next value or text goes: the next '&' at or after the
// cursor, else the end of the line.
int insertion_position(const MessageOutput& out) {
  for (int p = out.cursor; p < out.length; ++p) {
    if (out.line[static_cast<std::size_t>(p)] == '&') return p;
  }
  return out.length;
}

void write_log_line(MessageOutput& out, const char* text, int length) {
  if (out.log_state == -1) return;
  if (out.log_state == 0) {
    out.log_file = out.log_name.empty() ? nullptr : std::fopen(out.log_name.c_str(), "a");
    out.log_state = out.log_file ? 2 : 1;
  }
  if (out.log_state == 2) {
    std::fwrite(text, 1, static_cast<std::size_t>(length), out.log_file);
    std::fputc('\n', out.log_file);
  }
}

// The callback may call the library back (retrievals, controls) and so print lines of
// its own: the line being emitted and the error state of the operation that prints
// come back when it returns.
void call_output_callback(Library& lib, const char* text, int length, int message_class) {
  MessageOutput& out = lib.out;
  const ErrorState running = lib.err;
  const auto line = out.line;
  const int line_length = out.length, cursor = out.cursor, line_class = out.current_class;
  lib.callbacks.output(text, length, message_class);
  lib.err = running;
  out.line = line;
  out.length = line_length;
  out.cursor = cursor;
  out.current_class = line_class;
}

void emit_piece(Library& lib, const char* text, int length, int message_class) {
  MessageOutput& out = lib.out;
  if (out.screen) {
    if (lib.callbacks.output) call_output_callback(lib, text, length, message_class);
    write_log_line(out, text, length);
  }
  if (out.print && out.print_file) {
    std::fwrite(text, 1, static_cast<std::size_t>(length), out.print_file);
    std::fputc('\n', out.print_file);
  }
}

void reset_line(MessageOutput& out) {
  out.length = 1;
  out.cursor = 1;
  out.current_class = 0;
}

// Places count characters at the insertion position; the field overwrites what is
// there. Characters past position 256 are dropped.
void place_field(Library& lib, const char* chars, int count) {
  MessageOutput& out = lib.out;
  if (out.length <= 0) return;
  int p = insertion_position(out);
  int end = p;
  for (int i = 0; i < count && end <= kLinePositions; ++i, ++end) out.line[static_cast<std::size_t>(end)] = chars[i];
  out.cursor = end;
  if (end > out.length) out.length = end;
}

void message_file_failed(Library& lib) {
  lib.out.line_unusable = true;
  emit_fixed_line(lib, "?2:error reading the message file", 4);
  lib.err.return_code = kRcFatal;
  lib.err.error_number = kMessageFileError;
}

void repeat_check(Library& lib, int n) {
  MessageOutput& out = lib.out;
  if (out.repeat_count >= kRepeatLimit) {
    ifpmsg(lib) = out.saved_ifpmsg;
    if (out.repeat_count > kRepeatLimit) {
      int suppressed = out.repeat_count - kRepeatLimit;
      out.repeat_count = 0;
      out.last_message = kMessageRepeatsSuppressed;
      print_message(lib, kMessageRepeatsSuppressed);
      put_integer(lib, suppressed, 6);
      flush_line(lib);
    }
  }
  out.last_message = n;
  out.repeat_count = 0;
}

void place_message(Library& lib, int n) {
  MessageOutput& out = lib.out;
  if (ifpmsg(lib) <= 0 || out.line_unusable || out.length <= 0) return;
  int message_class = 0;
  std::string text;
  if (!out.catalogue.is_open()) return;  // before initialisation nothing can be printed
  switch (out.catalogue.lookup(lib.units, n, message_class, text)) {
    case MessageCatalogue::Status::kMissing:
      return;
    case MessageCatalogue::Status::kReadError:
      message_file_failed(lib);
      return;
    case MessageCatalogue::Status::kOk:
      break;
  }
  int p = insertion_position(out);
  if (p == 1) {
    out.current_class = message_class;
    if ((message_class == 3 && lib.err.return_code == 0) || message_class > 3) lib.err.error_number = n;
  }
  out.cursor = p;
  int last_written = p - 1;
  for (char c : text) {
    out.line[static_cast<std::size_t>(p)] = c;
    last_written = p;
    if (p == kLinePositions) {
      // A full line goes out with its first 255 characters; the 256th starts the next.
      out.length = kLinePositions;
      int saved_class = out.current_class;
      flush_line(lib);
      out.current_class = saved_class;
      out.line[1] = c;
      p = 1;
      last_written = 1;
    }
    ++p;
  }
  if (last_written >= out.length) {
    out.length = last_written + 1;
    out.line[static_cast<std::size_t>(out.length)] = '\0';
  }
}

}  // namespace

void print_message(Library& lib, int n) {
  repeat_check(lib, n);
  place_message(lib, n);
}

void print_repeated_message(Library& lib, int n) {
  MessageOutput& out = lib.out;
  if (n == out.last_message) {
    ++out.repeat_count;
    if (out.repeat_count == kRepeatLimit) {
      out.saved_ifpmsg = ifpmsg(lib);
      ifpmsg(lib) = -1;
    }
    if (out.repeat_count >= kRepeatLimit) return;
  } else {
    repeat_check(lib, n);
  }
  place_message(lib, n);
}

void put_integer(Library& lib, std::int64_t value, int width) {
  if (ifpmsg(lib) <= 0) return;
  char buffer[32];
  int count = 0;
  switch (width) {
    case 2:
      count = std::snprintf(buffer, sizeof buffer, "%02lld", static_cast<long long>(value % 100));
      break;
    case 9: {
      char wide[32];
      int n = std::snprintf(wide, sizeof wide, "%12lld", static_cast<long long>(value));
      count = 9;
      std::memcpy(buffer, wide + n - 9, 9);
      break;
    }
    default:
      count = std::snprintf(buffer, sizeof buffer, "%*lld", width, static_cast<long long>(value));
      break;
  }
  place_field(lib, buffer, count);
}

void put_real(Library& lib, double value) {
  if (ifpmsg(lib) <= 0) return;
  RealField field = format_real_field(value, lib.out.display_threshold);
  place_field(lib, field.data(), kRealFieldWidth);
}

void put_real_single(Library& lib, float value) {
  if (ifpmsg(lib) <= 0) return;
  RealField field = format_real_field_single(value, static_cast<float>(lib.out.display_threshold));
  place_field(lib, field.data(), kRealFieldWidth);
}

void put_hex(Library& lib, std::uint32_t value) {
  if (ifpmsg(lib) <= 0) return;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buffer[8];
  for (int i = 7; i >= 0; --i, value >>= 4) buffer[i] = kDigits[value & 0xF];
  place_field(lib, buffer, 8);
}

void put_text(Library& lib, const char* text, int count) {
  if (ifpmsg(lib) <= 0 || text == nullptr || count <= 0) return;
  place_field(lib, text, count);
}

void put_string(Library& lib, const char* text) {
  if (text != nullptr) put_text(lib, text, static_cast<int>(std::strlen(text)));
}

void flush_line(Library& lib) {
  MessageOutput& out = lib.out;
  if (ifpmsg(lib) > 0 && out.length > 1) {
    if (out.line[1] == '.') {
      std::fputs("Press RETURN to continue or any other character to quit...", stdout);
      std::fflush(stdout);
      int c = std::getchar();
      if (c != '\n') lib.user_interrupt = 1;
    } else {
      out.line[static_cast<std::size_t>(out.length)] = '\0';
      int start = out.line[1] == '~' ? 2 : 1;
      // Each NUL-separated piece of the line is one output line.
      while (start <= out.length) {
        int end = start;
        while (end < out.length && out.line[static_cast<std::size_t>(end)] != '\0') ++end;
        emit_piece(lib, &out.line[static_cast<std::size_t>(start)], end - start, out.current_class);
        start = end + 1;
      }
    }
  }
  reset_line(out);
}

void set_destination(Library& lib, int mode) {
  MessageOutput& out = lib.out;
  switch (mode) {
    case 0:
      out.screen = true;
      out.print = false;
      break;
    case 1:
      out.screen = true;
      out.print = true;
      break;
    case 6:
      out.screen = false;
      out.print = true;
      break;
    case 5:
      reset_line(out);
      break;
    default:
      break;
  }
}

void begin_quiet(Library& lib) {
  lib.out.quiet_return_code = lib.err.return_code;
  lib.out.quiet_error_number = lib.err.error_number;
  --ifpmsg(lib);
}

void end_quiet(Library& lib) {
  bool outermost = ifpmsg(lib) == 0;
  ++ifpmsg(lib);
  if (outermost) {
    lib.err.return_code = lib.out.quiet_return_code;
    lib.err.error_number = lib.out.quiet_error_number;
  }
}

void flush_notice(Library& lib) {
  if (lib.callbacks.output) call_output_callback(lib, nullptr, 0, -1);
  MessageOutput& out = lib.out;
  if (out.log_state == 2) {
    close_log_file(out);
    out.log_state = 0;
  }
}

void emit_fixed_line(Library& lib, const char* text, int message_class) {
  emit_piece(lib, text, static_cast<int>(std::strlen(text)), message_class);
}

void close_log_file(MessageOutput& out) {
  if (out.log_file) std::fclose(out.log_file);
  out.log_file = nullptr;
}

void set_log_file(Library& lib, const char* name) {
  MessageOutput& out = lib.out;
  close_log_file(out);
  if (name == nullptr || name[0] == '\0') {
    out.log_name.clear();
    out.log_state = -1;
    return;
  }
  out.log_name.assign(name, strnlen(name, 199));
  out.log_state = 0;
}

void report_argument_error(Library& lib, int message, const char* tag, std::initializer_list<std::int64_t> values) {
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = message;
  if (values.size() > 0) lib.err.error_value = static_cast<std::int32_t>(*(values.end() - 1));
  print_message(lib, message);
  put_string(lib, tag);
  for (std::int64_t v : values) put_integer(lib, v, 6);
  flush_line(lib);
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = message;
}

void report_error(Library& lib, std::int32_t return_code, int message, std::initializer_list<std::int64_t> values) {
  lib.err.return_code = return_code;
  lib.err.error_number = message;
  print_message(lib, message);
  for (std::int64_t v : values) put_integer(lib, v, 6);
  flush_line(lib);
  lib.err.return_code = return_code;
  lib.err.error_number = message;
}

}  // namespace kqopt
