// The LP-text reader's character stream: opening, and refilling the buffer.
#include "input/lp_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kqopt::input {

LpSource::~LpSource() {
  if (fd_ >= 0) ::close(fd_);
}

bool LpSource::open_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  buffer_ = std::make_unique<char[]>(kBufferSize + kLookahead);
  data_ = buffer_.get();
  position_ = end_ = 0;
  base_ = 0;
  line_ = 1;
  line_start_ = 0;
  file_end_ = false;
  read_error_ = false;
  return true;
}

void LpSource::open_text(std::string_view text) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  data_ = text.data();
  position_ = 0;
  end_ = text.size();
  base_ = 0;
  line_ = 1;
  line_start_ = 0;
  file_end_ = true;
  read_error_ = false;
}

int LpSource::peek_slow(std::size_t k) {
  while (position_ + k >= end_ && !file_end_) {
    // Keep the characters not yet consumed, then fill the rest of the buffer.
    std::size_t kept = end_ - position_;
    if (kept > 0 && position_ > 0) std::memmove(buffer_.get(), buffer_.get() + position_, kept);
    base_ += static_cast<std::int64_t>(position_);
    position_ = 0;
    end_ = kept;
    ssize_t n;
    do {
      n = ::read(fd_, buffer_.get() + end_, kBufferSize + kLookahead - end_);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      read_error_ = true;
      file_end_ = true;
    } else if (n == 0) {
      file_end_ = true;
    } else {
      end_ += static_cast<std::size_t>(n);
    }
  }
  if (position_ + k >= end_) return kEnd;
  // A Ctrl-Z before the character asked for ends the input there.
  for (std::size_t i = 0; i < k; ++i) {
    if (data_[position_ + i] == 26) return kEnd;
  }
  return value(position_ + k);
}

}  // namespace kqopt::input
