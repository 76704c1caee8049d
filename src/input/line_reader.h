// The line reader of the text readers, and the stack of open input files.
//
// A LineReader reads one file (or a text held in memory) through a 32768-byte buffer
// and hands out one line at a time: a line ends at a line feed, carriage returns are
// dropped, a Ctrl-Z (26) ends the input, and a line longer than 200 characters is cut
// there (the rest up to the line feed is skipped and the line is flagged as cut).
// No allocation happens per line: the line lives in the reader until the next call.
//
// InputFiles is the stack of open input files of one read operation: at most two
// readers, the top one being read. next_input_line() adds the library's side: it polls
// the user-interrupt flag before each line and prints the messages for a cut line (84)
// and a read error (67).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kqopt {
struct Library;
}

namespace kqopt::input {

class LineReader {
 public:
  static constexpr std::size_t kBufferSize = 32768;
  static constexpr std::size_t kMaxLineLength = 200;

  LineReader();
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Opens a file for reading. False when it cannot be opened or is not a file that can
  // be read as text (a directory, for instance).
  [[nodiscard]] bool open_file(const std::string& path);
  // Reads from text, which must outlive the reader's use of it.
  void open_text(std::string_view text);
  void close();
  bool is_open() const { return source_ != Source::kNone; }

  enum class Next { kLine, kEnd, kReadError };
  // Reads the next line. After kLine, line() holds it (without line feed and carriage
  // returns, at most 200 characters) and cut() tells whether it was longer.
  Next next();

  std::string_view line() const { return {line_.data(), length_}; }
  bool cut() const { return cut_; }
  // 1-based number of the line last returned.
  std::int64_t line_number() const { return line_number_; }

 private:
  enum class Source { kNone, kFile, kText };
  // Refills the buffer; false at the end of the input or on a read error.
  bool refill();

  Source source_ = Source::kNone;
  int fd_ = -1;
  std::string_view text_;
  std::size_t text_position_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::size_t position_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
  bool read_error_ = false;
  std::array<char, kMaxLineLength + 1> line_{};
  std::size_t length_ = 0;
  bool cut_ = false;
  std::int64_t line_number_ = 0;
};

class InputFiles {
 public:
  static constexpr int kMaxOpen = 2;

  enum class Open { kOk, kCannotOpen, kTooDeep };
  // Opens path (or a text) on top of the stack.
  [[nodiscard]] Open push_file(const std::string& path);
  [[nodiscard]] Open push_text(std::string_view text);
  // Closes the top reader.
  void pop();
  int depth() const { return depth_; }
  LineReader& top() { return *readers_[static_cast<std::size_t>(depth_ - 1)]; }

 private:
  LineReader* slot();
  std::array<std::unique_ptr<LineReader>, kMaxOpen> readers_;
  int depth_ = 0;
};

enum class LineResult { kLine, kEnd, kFailed, kInterrupted };

// Reads the next line of the top reader of files. Polls (and clears) the user-interrupt
// flag first: kInterrupted when it was set. A cut line prints message 84 with the line
// number and the line's first 72 characters, and is still returned. A read error
// prints message 67 with the line number and gives kFailed.
LineResult next_input_line(Library& lib, InputFiles& files);

// Prints the first 72 characters of a line as an output line of its own (the echo that
// follows every message about a faulty line). Control characters are shown as '?'.
void echo_line(Library& lib, std::string_view line);

// Places text from a file or a caller (a name, a line) into the message line. Text
// that would begin the line with '.' (the page prompt) or '~' (dropped on output) is
// preceded by a '~', so that it is shown as it is.
void put_file_text(Library& lib, std::string_view text);

// Prints message 66 (too many nested input files) or 85 (cannot open, with the name)
// for a failed push, and sets return code 32.
void report_open_failure(Library& lib, InputFiles::Open result, const std::string& name);

}  // namespace kqopt::input
