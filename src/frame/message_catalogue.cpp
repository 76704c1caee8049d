// Message catalogue reading; layout in message_catalogue.h.
#include "frame/message_catalogue.h"

namespace kqopt {

bool MessageCatalogue::open(FileUnits& units, const std::string& path) {
  close(units);
  unit_ = units.open(path, kRecordLength, FileMode::kReadOnly);
  if (unit_ < 0) return false;
  index_ok_ = load_record(units, 1);
  if (index_ok_) {
    for (int n = 0; n < kMaxMessages; ++n) {
      index_[n] = static_cast<std::int16_t>(buffer_[2 * n] | (buffer_[2 * n + 1] << 8));
    }
  }
  return true;
}

void MessageCatalogue::close(FileUnits& units) {
  if (unit_ >= 0) units.close(unit_);
  unit_ = -1;
  index_ok_ = false;
  buffered_record_ = 0;
}

bool MessageCatalogue::load_record(FileUnits& units, int record) {
  if (buffered_record_ == record) return true;
  buffered_record_ = 0;
  if (units.seek_record(unit_, record) != 0) return false;
  if (units.read_record(unit_, buffer_.data()) != 0) return false;
  buffered_record_ = record;
  return true;
}

MessageCatalogue::Status MessageCatalogue::lookup(FileUnits& units, int n, int& message_class, std::string& text) {
  text.clear();
  if (unit_ < 0 || !index_ok_) return Status::kReadError;
  if (n < 1 || n > kMaxMessages) return Status::kMissing;
  int position = index_[n - 1];
  if (position <= kRecordLength) return Status::kMissing;

  // Walk the entry byte by byte from its 1-based file position, crossing records.
  int record = (position - 1) / kRecordLength + 1;
  int offset = (position - 1) % kRecordLength;
  auto next_byte = [&](unsigned char& byte) {
    if (offset == kRecordLength) {
      ++record;
      offset = 0;
    }
    if (!load_record(units, record)) return false;
    byte = buffer_[offset++];
    return true;
  };
  unsigned char lo = 0, hi = 0, cls = 0;
  if (!next_byte(lo) || !next_byte(hi)) return Status::kReadError;
  if (static_cast<std::int16_t>(lo | (hi << 8)) != n) return Status::kReadError;
  if (!next_byte(cls)) return Status::kReadError;
  message_class = static_cast<std::int8_t>(cls);
  for (;;) {
    unsigned char byte = 0;
    if (!next_byte(byte)) return Status::kReadError;
    if (byte == '\n') break;
    text.push_back(static_cast<char>(byte));
    if (text.size() > 4096) return Status::kReadError;
  }
  return Status::kOk;
}

}  // namespace kqopt
