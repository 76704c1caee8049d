// Message output: the message line, its placement rules and where a flushed line goes.
//
// The line has positions 1..256; `length` is one past the last character written
// (1 = empty) and `cursor` is where the next value is placed. Values and message texts
// go to the next '&' at or after the cursor, else to the end of the line. A flushed
// line goes to the output callback and the log file (screen switch) and to the print
// file (print switch). Messages are assembled only while IFPMSG is positive.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "frame/message_catalogue.h"

namespace kqopt {

struct Library;

using OutputCallback = void (*)(const char* text, std::int32_t length, std::int32_t message_class);

inline constexpr int kLinePositions = 256;

struct MessageOutput {
  std::array<char, kLinePositions + 2> line{};  // index = position; 0 unused
  int length = 1;
  int cursor = 1;
  int current_class = 0;
  bool line_unusable = false;  // set once the message file could not be read

  bool screen = true;
  bool print = false;
  std::FILE* print_file = nullptr;  // owned by the print-file writer

  std::string log_name;
  int log_state = -1;  // -1 no log, 0 open on next line, 1 open failed, 2 open
  std::FILE* log_file = nullptr;

  int last_message = 0;
  int repeat_count = 0;
  std::int32_t saved_ifpmsg = 0;
  std::int32_t quiet_return_code = 0;
  std::int32_t quiet_error_number = 0;

  double display_threshold = 1.0e-5;
  MessageCatalogue catalogue;
};

// Message placement and value fields.
void print_message(Library& lib, int n);
void print_repeated_message(Library& lib, int n);
void put_integer(Library& lib, std::int64_t value, int width);  // widths 12, 9, 6, 2
void put_real(Library& lib, double value);
void put_real_single(Library& lib, float value);
void put_hex(Library& lib, std::uint32_t value);
void put_text(Library& lib, const char* text, int count);
void put_string(Library& lib, const char* text);
void flush_line(Library& lib);
// 0 screen only; 1 screen and print file; 6 print file only; 5 discard the line.
void set_destination(Library& lib, int mode);

// Quiet sections save the error state and lower IFPMSG; the outermost end restores both.
void begin_quiet(Library& lib);
void end_quiet(Library& lib);

// Tells the output callback that a run of output is complete and closes the log file
// so that the caller can read it whole.
void flush_notice(Library& lib);

// Sends a fixed text straight to the screen destinations, outside the catalogue.
void emit_fixed_line(Library& lib, const char* text, int message_class);

// The log file: a name starts a new log (opened in append mode on the next line);
// null or empty closes it.
void set_log_file(Library& lib, const char* name);
void close_log_file(MessageOutput& out);

// Argument error: return code 32, the message, the routine tag and the values.
void report_argument_error(Library& lib, int message, const char* tag, std::initializer_list<std::int64_t> values);
// Sets return code and error number and prints the message with the values appended.
void report_error(Library& lib, std::int32_t return_code, int message, std::initializer_list<std::int64_t> values = {});

}  // namespace kqopt
