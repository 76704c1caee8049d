// Name tables and default names (see names.h for the layout and the invariant).
#include "problem/names.h"

#include <algorithm>
#include <cstring>

namespace kqopt {

int name_words_for_length(std::int32_t namlen) {
  const std::int64_t words = (static_cast<std::int64_t>(namlen) + 7) / kNameWordLength;
  return static_cast<int>(std::clamp<std::int64_t>(words, 1, kMaxNameWordsForLength));
}

void default_name(char prefix, std::int64_t number, char out[kNameWordLength]) {
  out[0] = prefix;
  out[1] = prefix;
  for (int p = 2; p < kNameWordLength; ++p) out[p] = 'V';
  std::uint64_t rest = number < 0 ? 0 : static_cast<std::uint64_t>(number);
  int p = kNameWordLength - 1;
  do {
    out[p--] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0 && p >= 0);
}

void NameTable::reset(std::int32_t count, int words, char prefix) {
  count_ = count < 0 ? 0 : count;
  words_ = words < 1 ? 1 : words;
  prefix_ = prefix;
  storage_.clear();
  storage_.shrink_to_fit();
}

void NameTable::write_default(std::int32_t i, char* out) const {
  default_name(prefix_, static_cast<std::int64_t>(i) + 1, out);
  std::memset(out + kNameWordLength, ' ', static_cast<std::size_t>(width() - kNameWordLength));
}

void NameTable::copy_name(std::int32_t i, char* out) const {
  if (storage_.empty()) {
    write_default(i, out);
    return;
  }
  std::memcpy(out, storage_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(width()),
              static_cast<std::size_t>(width()));
}

std::string NameTable::trimmed(std::int32_t i) const {
  std::string name(static_cast<std::size_t>(width()), ' ');
  copy_name(i, name.data());
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

void NameTable::materialise() {
  if (!storage_.empty() || count_ == 0) return;
  storage_.resize(static_cast<std::size_t>(full_bytes()));
  for (std::int32_t i = 0; i < count_; ++i) {
    write_default(i, storage_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(width()));
  }
}

void NameTable::set(std::int32_t i, std::string_view text) {
  materialise();
  char* field = storage_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(width());
  std::size_t length = std::min(text.size(), static_cast<std::size_t>(width()));
  std::memcpy(field, text.data(), length);
  std::memset(field + length, ' ', static_cast<std::size_t>(width()) - length);
}

std::int32_t NameTable::find(std::string_view padded_key, std::int32_t first, std::int32_t last) const {
  if (padded_key.size() != static_cast<std::size_t>(width())) return -1;
  std::string candidate(static_cast<std::size_t>(width()), ' ');
  for (std::int32_t i = std::max(first, 0); i < std::min(last, count_); ++i) {
    const char* name = candidate.data();
    if (storage_.empty()) {
      copy_name(i, candidate.data());
    } else {
      name = storage_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(width());
    }
    if (std::memcmp(name, padded_key.data(), padded_key.size()) == 0) return i;
  }
  return -1;
}

void NameTable::append_default(std::int32_t count) {
  if (count <= 0) return;
  std::int32_t old = count_;
  count_ += count;
  if (storage_.empty()) return;
  storage_.resize(static_cast<std::size_t>(full_bytes()));
  for (std::int32_t i = old; i < count_; ++i) {
    write_default(i, storage_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(width()));
  }
}

void NameTable::truncate(std::int32_t count) {
  if (count < 0 || count >= count_) return;
  count_ = count;
  if (!storage_.empty()) storage_.resize(static_cast<std::size_t>(full_bytes()));
}

}  // namespace kqopt
