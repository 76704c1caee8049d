// File units on POSIX descriptors; see file_units.h for the record and segment model.
#include "frame/file_units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kqopt {

namespace {

int open_flags(FileMode mode) {
  switch (mode) {
    case FileMode::kReadOnly:
      return O_RDONLY;
    case FileMode::kReadWrite:
      return O_RDWR;
    case FileMode::kCreate:
      return O_RDWR | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}

std::string segment_name(const std::string& name, int segment) {
  return segment == 0 ? name : name + "." + std::to_string(segment);
}

// Full transfers survive signals and partial reads; the result is the byte count.
long transfer(int fd, void* buffer, std::size_t count, bool reading) {
  std::size_t done = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t n = reading ? ::read(fd, bytes + done, count - done) : ::write(fd, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<long>(done);
}

int transfer_result(long done, std::size_t count) {
  if (done == static_cast<long>(count)) return 0;
  if (done <= 0) return 1;
  return static_cast<int>(-done);
}

}  // namespace

int FileUnits::open(const std::string& name, int record_length, FileMode mode) {
  if (record_length <= 0 || name.empty() || name.size() > kMaxNameLength) return -1;
  for (int i = 0; i < kUnitCount; ++i) {
    Unit& u = units_[i];
    if (u.open) continue;
    int fd = ::open(name.c_str(), open_flags(mode) | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(fd);
      return -1;
    }
    u = Unit{};
    u.open = true;
    u.name = name;
    u.mode = mode;
    u.record_length = record_length;
    u.records_per_segment = 2147483647 / record_length;
    u.fds.fill(-1);
    u.fds[0] = fd;
    return i;
  }
  return -1;
}

int FileUnits::segment_fd(Unit& u, int segment) {
  if (segment < 0 || segment >= kMaxSegments) return -1;
  if (u.fds[segment] < 0) {
    // Later segments of a file opened for reading and writing are created on demand.
    int flags = open_flags(u.mode);
    if (u.mode == FileMode::kReadWrite) flags |= O_CREAT;
    u.fds[segment] = ::open(segment_name(u.name, segment).c_str(), flags | O_CLOEXEC, 0600);
  }
  return u.fds[segment];
}

int FileUnits::seek_record(int unit, std::int64_t record) {
  if (!valid(unit) || record < 1) return 1;
  Unit& u = units_[unit];
  std::int64_t segment = (record - 1) / u.records_per_segment;
  if (segment >= kMaxSegments) return 1;
  int fd = segment_fd(u, static_cast<int>(segment));
  if (fd < 0) return 1;
  off_t offset = static_cast<off_t>((record - 1) % u.records_per_segment) * u.record_length;
  if (::lseek(fd, offset, SEEK_SET) < 0) return 1;
  u.current_record = record;
  u.current_segment = static_cast<int>(segment);
  return 0;
}

int FileUnits::read_record(int unit, void* buffer) {
  if (!valid(unit)) return 1;
  Unit& u = units_[unit];
  if (seek_record(unit, u.current_record) != 0) return 1;
  long done = transfer(u.fds[u.current_segment], buffer, static_cast<std::size_t>(u.record_length), true);
  if (done == u.record_length) ++u.current_record;
  return transfer_result(done, static_cast<std::size_t>(u.record_length));
}

int FileUnits::write_record(int unit, const void* buffer) {
  if (!valid(unit)) return 1;
  Unit& u = units_[unit];
  if (seek_record(unit, u.current_record) != 0) return 1;
  long done =
      transfer(u.fds[u.current_segment], const_cast<void*>(buffer), static_cast<std::size_t>(u.record_length), false);
  if (done == u.record_length) ++u.current_record;
  return transfer_result(done, static_cast<std::size_t>(u.record_length));
}

int FileUnits::read(int unit, void* buffer, std::size_t count) {
  if (!valid(unit)) return 1;
  Unit& u = units_[unit];
  return transfer_result(transfer(u.fds[u.current_segment], buffer, count, true), count);
}

int FileUnits::write(int unit, const void* buffer, std::size_t count) {
  if (!valid(unit)) return 1;
  Unit& u = units_[unit];
  return transfer_result(transfer(u.fds[u.current_segment], const_cast<void*>(buffer), count, false), count);
}

int FileUnits::rewind(int unit) { return seek_record(unit, 1); }

int FileUnits::position_at_end(int unit) {
  if (!valid(unit)) return 1;
  Unit& u = units_[unit];
  return ::lseek(u.fds[u.current_segment], 0, SEEK_END) < 0 ? 1 : 0;
}

std::int64_t FileUnits::tell(int unit) const {
  if (!valid(unit)) return -1;
  const Unit& u = units_[unit];
  return static_cast<std::int64_t>(::lseek(u.fds[u.current_segment], 0, SEEK_CUR));
}

void FileUnits::close(int unit) {
  if (unit < 0 || unit >= kUnitCount || !units_[unit].open) return;
  for (int& fd : units_[unit].fds) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  units_[unit].open = false;
}

void FileUnits::close_all() {
  for (int i = 0; i < kUnitCount; ++i) close(i);
}

bool FileUnits::is_open(int unit) const { return valid(unit); }

void FileUnits::set_records_per_segment(int unit, std::int64_t records) {
  if (valid(unit) && records > 0) units_[unit].records_per_segment = records;
}

int FileUnits::delete_file(const std::string& name) {
  int result = std::remove(name.c_str()) == 0 ? 0 : 1;
  for (int s = 1; s < kMaxSegments; ++s) std::remove(segment_name(name, s).c_str());
  return result;
}

int FileUnits::rename_file(const std::string& old_name, const std::string& new_name) {
  return std::rename(old_name.c_str(), new_name.c_str()) == 0 ? 0 : 1;
}

}  // namespace kqopt
