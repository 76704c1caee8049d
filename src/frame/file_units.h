// File units: twenty numbered slots through which the library reads and writes its
// record-oriented files (message file, work files, solution and save files).
//
// A unit has a fixed record length. Records are numbered from 1; record r lies in
// segment (r - 1) / records_per_segment, where segment 0 is the named file itself
// and segment s >= 1 is the file "<name>.<s>", opened on first use with the unit's
// mode. A unit has at most kMaxSegments segments.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kqopt {

enum class FileMode { kReadOnly, kReadWrite, kCreate };

class FileUnits {
 public:
  static constexpr int kUnitCount = 20;
  static constexpr int kMaxSegments = 50;
  static constexpr std::size_t kMaxNameLength = 128;

  FileUnits() = default;
  FileUnits(const FileUnits&) = delete;
  FileUnits& operator=(const FileUnits&) = delete;
  ~FileUnits() { close_all(); }

  // Opens name in the first free unit. Returns the unit number (0-based) or -1.
  int open(const std::string& name, int record_length, FileMode mode);

  // Positions the unit at record r (1-based). Returns 0 on success, 1 on failure.
  int seek_record(int unit, std::int64_t record);
  // Transfer one record at the current record position and advance it.
  // Result 0 on success, 1 on failure, or minus the byte count of a short transfer.
  int read_record(int unit, void* buffer);
  int write_record(int unit, const void* buffer);

  // Unformatted transfer of count bytes at the current byte position of the
  // current segment. Result as for records.
  int read(int unit, void* buffer, std::size_t count);
  int write(int unit, const void* buffer, std::size_t count);

  int rewind(int unit);
  int position_at_end(int unit);
  std::int64_t tell(int unit) const;

  void close(int unit);
  void close_all();

  bool is_open(int unit) const;
  // Lets a test reach segment files without writing gigabytes.
  void set_records_per_segment(int unit, std::int64_t records);

  // Deletes name and its segment files name.1 .. name.49. Returns 0 when the base
  // file was removed.
  static int delete_file(const std::string& name);
  static int rename_file(const std::string& old_name, const std::string& new_name);

 private:
  struct Unit {
    bool open = false;
    std::string name;
    FileMode mode = FileMode::kReadOnly;
    int record_length = 0;
    std::int64_t records_per_segment = 0;
    std::int64_t current_record = 1;
    int current_segment = 0;
    std::array<int, kMaxSegments> fds{};
  };

  bool valid(int unit) const { return unit >= 0 && unit < kUnitCount && units_[unit].open; }
  int segment_fd(Unit& u, int segment);

  std::array<Unit, kUnitCount> units_{};
};

}  // namespace kqopt
