// The character stream of the LP-text reader: a file read through a 32768-byte buffer,
// or a text held in memory, handed out one character at a time with a few characters
// of look-ahead for keywords.
//
// Lines are not cut: a sum of terms may run over any number of lines and a line may be
// of any length, so the stream never holds more than its buffer. A Ctrl-Z (26) ends the
// input as the end of the file does. The stream counts line feeds and knows the line
// and 1-based column of the next character, which every message of the reader quotes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kqopt::input {

class LpSource {
 public:
  static constexpr std::size_t kBufferSize = 32768;
  static constexpr std::size_t kLookahead = 64;
  static constexpr int kEnd = -1;

  LpSource() = default;
  ~LpSource();
  LpSource(const LpSource&) = delete;
  LpSource& operator=(const LpSource&) = delete;

  [[nodiscard]] bool open_file(const std::string& path);
  // Reads from text, which must outlive the stream's use of it.
  void open_text(std::string_view text);

  // The next character (0..255), or kEnd.
  int peek() {
    if (position_ < end_) return value(position_);
    return peek_slow(0);
  }
  // The character k places ahead (k < kLookahead), or kEnd.
  int peek(std::size_t k) {
    if (position_ + k < end_) return value(position_ + k);
    return peek_slow(k);
  }
  // Consumes the next character (nothing at the end).
  void advance() {
    if (position_ >= end_ && peek_slow(0) == kEnd) return;
    if (data_[position_] == '\n') {
      ++line_;
      line_start_ = base_ + static_cast<std::int64_t>(position_) + 1;
    }
    ++position_;
  }
  bool at_end() { return peek() == kEnd; }
  bool read_error() const { return read_error_; }

  std::int64_t line() const { return line_; }
  std::int64_t column() const { return base_ + static_cast<std::int64_t>(position_) - line_start_ + 1; }

 private:
  int value(std::size_t at) const {
    auto c = static_cast<unsigned char>(data_[at]);
    return c == 26 ? kEnd : c;
  }
  // Refills the buffer so that k characters ahead are present when the input has them.
  int peek_slow(std::size_t k);

  const char* data_ = nullptr;
  std::size_t position_ = 0;
  std::size_t end_ = 0;
  std::int64_t base_ = 0;  // stream offset of data_[0]
  std::int64_t line_ = 1;
  std::int64_t line_start_ = 0;
  int fd_ = -1;
  bool file_end_ = true;
  bool read_error_ = false;
  std::unique_ptr<char[]> buffer_;
};

}  // namespace kqopt::input
