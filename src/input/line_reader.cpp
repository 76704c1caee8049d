// Buffered line reading for the text readers.
#include "input/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "frame/message_numbers.h"
#include "library/library.h"

namespace kqopt::input {

namespace {

constexpr char kCtrlZ = 26;
constexpr std::size_t kEchoLength = 72;

}  // namespace

LineReader::LineReader() : buffer_(new char[kBufferSize]) {}

LineReader::~LineReader() { close(); }

bool LineReader::open_file(const std::string& path) {
  close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  // Only regular files: a directory cannot be read, and a device or pipe could block
  // or never end.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  source_ = Source::kFile;
  return true;
}

void LineReader::open_text(std::string_view text) {
  close();
  text_ = text;
  text_position_ = 0;
  source_ = Source::kText;
}

void LineReader::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  source_ = Source::kNone;
  text_ = {};
  text_position_ = 0;
  position_ = end_ = 0;
  at_end_ = read_error_ = false;
  length_ = 0;
  cut_ = false;
  line_number_ = 0;
}

bool LineReader::refill() {
  position_ = end_ = 0;
  if (at_end_) return false;
  if (source_ == Source::kText) {
    std::size_t n = text_.size() - text_position_;
    if (n > kBufferSize) n = kBufferSize;
    std::memcpy(buffer_.get(), text_.data() + text_position_, n);
    text_position_ += n;
    end_ = n;
  } else {
    ssize_t n;
    do {
      n = ::read(fd_, buffer_.get(), kBufferSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      read_error_ = true;
      at_end_ = true;
      return false;
    }
    end_ = static_cast<std::size_t>(n);
  }
  if (end_ == 0) {
    at_end_ = true;
    return false;
  }
  return true;
}

LineReader::Next LineReader::next() {
  length_ = 0;
  cut_ = false;
  if (source_ == Source::kNone) return Next::kEnd;
  bool started = false;
  for (;;) {
    if (position_ == end_ && !refill()) {
      if (read_error_) return Next::kReadError;
      if (!started) return Next::kEnd;
      ++line_number_;
      return Next::kLine;
    }
    const char* chunk = buffer_.get() + position_;
    std::size_t available = end_ - position_;
    const void* feed = std::memchr(chunk, '\n', available);
    std::size_t count = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - chunk) : available;
    started = true;
    for (std::size_t i = 0; i < count; ++i) {
      char c = chunk[i];
      if (c == '\r') continue;
      if (c == kCtrlZ) {
        // The rest of the input is ignored; what came before on this line is a line.
        at_end_ = true;
        position_ = end_;
        if (length_ == 0 && !cut_) return Next::kEnd;
        ++line_number_;
        return Next::kLine;
      }
      if (length_ < kMaxLineLength) {
        line_[length_++] = c;
      } else {
        cut_ = true;
      }
    }
    if (feed) {
      position_ += count + 1;
      ++line_number_;
      return Next::kLine;
    }
    position_ = end_;
  }
}

InputFiles::Open InputFiles::push_file(const std::string& path) {
  LineReader* reader = slot();
  if (reader == nullptr) return Open::kTooDeep;
  if (!reader->open_file(path)) return Open::kCannotOpen;
  ++depth_;
  return Open::kOk;
}

InputFiles::Open InputFiles::push_text(std::string_view text) {
  LineReader* reader = slot();
  if (reader == nullptr) return Open::kTooDeep;
  reader->open_text(text);
  ++depth_;
  return Open::kOk;
}

void InputFiles::pop() {
  if (depth_ == 0) return;
  --depth_;
  readers_[static_cast<std::size_t>(depth_)]->close();
}

LineReader* InputFiles::slot() {
  if (depth_ >= kMaxOpen) return nullptr;
  auto& reader = readers_[static_cast<std::size_t>(depth_)];
  if (!reader) reader = std::make_unique<LineReader>();
  return reader.get();
}

LineResult next_input_line(Library& lib, InputFiles& files) {
  if (lib.take_interrupt()) return LineResult::kInterrupted;
  if (files.depth() == 0) return LineResult::kEnd;
  LineReader& reader = files.top();
  switch (reader.next()) {
    case LineReader::Next::kEnd:
      return LineResult::kEnd;
    case LineReader::Next::kReadError:
      print_message(lib, kMessageReadError);
      put_integer(lib, reader.line_number() + 1, 6);
      flush_line(lib);
      return LineResult::kFailed;
    case LineReader::Next::kLine:
      break;
  }
  if (reader.cut()) {
    print_repeated_message(lib, kMessageLineTooLong);
    put_integer(lib, reader.line_number(), 6);
    flush_line(lib);
    echo_line(lib, reader.line());
  }
  return LineResult::kLine;
}

void echo_line(Library& lib, std::string_view line) {
  char text[kEchoLength];
  std::size_t n = line.size() < kEchoLength ? line.size() : kEchoLength;
  for (std::size_t i = 0; i < n; ++i) {
    auto c = static_cast<unsigned char>(line[i]);
    text[i] = (c < 32 && c != '\t') || c == 127 ? '?' : static_cast<char>(c);
  }
  if (n == 0) return;
  put_file_text(lib, std::string_view(text, n));
  flush_line(lib);
}

void put_file_text(Library& lib, std::string_view text) {
  if (text.empty()) return;
  if (lib.out.length == 1 && (text[0] == '.' || text[0] == '~')) put_text(lib, "~", 1);
  put_text(lib, text.data(), static_cast<int>(text.size() < 250 ? text.size() : 250));
}

void report_open_failure(Library& lib, InputFiles::Open result, const std::string& name) {
  if (result == InputFiles::Open::kTooDeep) {
    report_error(lib, kRcInvalidCall, kMessageNestedTooDeep);
    return;
  }
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = kMessageCannotOpen;
  print_message(lib, kMessageCannotOpen);
  put_file_text(lib, name);
  flush_line(lib);
  lib.err.return_code = kRcInvalidCall;
  lib.err.error_number = kMessageCannotOpen;
}

}  // namespace kqopt::input
