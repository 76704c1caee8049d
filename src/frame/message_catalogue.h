// The message catalogue: random access to the numbered texts of the message file.
//
// Record 1 (1024 bytes) holds 512 little-endian int16 positions, entry n the 1-based
// file position of message n's entry; an entry is an int16 number, an int8 class and
// the text up to a line feed, and may run across record boundaries. One record is
// buffered at a time.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "frame/file_units.h"

namespace kqopt {

// The error number of a message file that is missing, unreadable or of the wrong
// version. It has no text: the file that would hold it is the one at fault.
inline constexpr int kMessageFileError = 278;

class MessageCatalogue {
 public:
  static constexpr int kRecordLength = 1024;
  static constexpr int kMaxMessages = 512;

  enum class Status { kOk, kMissing, kReadError };

  // Opens the file on a unit of units and reads the index. Returns false when the
  // file cannot be opened (read errors of the index show as kReadError later).
  bool open(FileUnits& units, const std::string& path);
  void close(FileUnits& units);
  bool is_open() const { return unit_ >= 0; }

  // Reads message n: its class byte and text (without the line feed). kMissing when
  // the catalogue has no entry for n; kReadError when a record cannot be read or the
  // stored number does not match.
  Status lookup(FileUnits& units, int n, int& message_class, std::string& text);

 private:
  bool load_record(FileUnits& units, int record);  // record is 1-based

  int unit_ = -1;
  bool index_ok_ = false;
  std::array<std::int16_t, kMaxMessages> index_{};
  std::array<unsigned char, kRecordLength> buffer_{};
  int buffered_record_ = 0;
};

}  // namespace kqopt
