// Writes go to "<target>.tmp<pid>-<n>" in the target's folder so that the final rename stays
// within one file system and is atomic.
#include "frame/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>

namespace kqopt {

bool ReplacingFile::open(const std::string& target) {
  abandon();
  failed_ = false;
  error_ = 0;
  target_ = target;
  // open(2) with mode 0666 lets the umask decide the permissions, as for a file
  // written in place; O_EXCL keeps two writers from sharing a temporary.
  static std::atomic<unsigned> counter{0};
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary_ = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error_ = errno;
    temporary_.clear();
    failed_ = true;
    return false;
  }
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    error_ = errno;
    ::close(fd);
    std::remove(temporary_.c_str());
    temporary_.clear();
    failed_ = true;
    return false;
  }
  return true;
}

bool ReplacingFile::write(const void* data, std::size_t size) {
  if (file_ == nullptr || failed_) return false;
  if (size > 0 && std::fwrite(data, 1, size, file_) != size) {
    error_ = errno;
    failed_ = true;
  }
  return !failed_;
}

bool ReplacingFile::printf(const char* format, ...) {
  if (file_ == nullptr || failed_) return false;
  va_list args;
  va_start(args, format);
  if (std::vfprintf(file_, format, args) < 0) {
    error_ = errno;
    failed_ = true;
  }
  va_end(args);
  return !failed_;
}

bool ReplacingFile::commit() {
  if (file_ == nullptr) return false;
  bool ok = !failed_ && std::fflush(file_) == 0 && std::ferror(file_) == 0;
  if (!ok && error_ == 0) error_ = errno;
  if (ok && ::fsync(::fileno(file_)) != 0) {
    error_ = errno;
    ok = false;
  }
  if (std::fclose(file_) != 0 && ok) {
    error_ = errno;
    ok = false;
  }
  file_ = nullptr;
  if (ok && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    error_ = errno;
    ok = false;
  }
  if (!ok) std::remove(temporary_.c_str());
  temporary_.clear();
  failed_ = !ok;
  return ok;
}

void ReplacingFile::abandon() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty()) {
    std::remove(temporary_.c_str());
    temporary_.clear();
  }
}

}  // namespace kqopt
