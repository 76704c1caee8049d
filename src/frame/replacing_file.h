// A file written beside its target and renamed over it only when every byte has been
// written and flushed: a full disk, a size limit or an unwritable folder leaves the
// previous file as it was and the failure is reported to the caller.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace kqopt {

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  // An uncommitted file is abandoned: its temporary is removed, the target untouched.
  ~ReplacingFile() { abandon(); }

  // Creates the temporary beside target. False when that is impossible.
  bool open(const std::string& target);

  // Appends bytes; after the first failure every later call fails too.
  bool write(const void* data, std::size_t size);
  bool write(std::string_view text) { return write(text.data(), text.size()); }
  bool printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Flushes, closes and renames over the target. False (and the target kept) when any
  // write, the flush or the rename failed.
  bool commit();
  void abandon();

  bool is_open() const { return file_ != nullptr; }
  bool failed() const { return failed_; }
  // errno of the first failure (0 when none was recorded).
  int error() const { return error_; }
  // The open stream, for writers that print through a FILE* of their own; a failure
  // there is found by commit().
  std::FILE* stream() const { return file_; }

 private:
  std::FILE* file_ = nullptr;
  std::string target_;
  std::string temporary_;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace kqopt
