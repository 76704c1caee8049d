// The LP-text reader's name tables: hashing, lookup and insertion.
#include "input/lp_names.h"

#include <cstring>

namespace kqopt::input {

std::int32_t LpNameTable::hash(std::string_view name) {
  std::uint32_t sum = 0;
  std::size_t padded = name.size() < 8 ? 8 : name.size();
  for (std::size_t at = 0; at < padded; at += 4) {
    std::uint32_t word = 0;
    for (std::size_t b = 0; b < 4 && at + b < padded; ++b) {
      auto c = static_cast<unsigned char>(at + b < name.size() ? name[at + b] : ' ');
      word |= static_cast<std::uint32_t>(c) << (8 * b);
    }
    sum += word;
  }
  auto r = static_cast<std::int32_t>(static_cast<std::int32_t>(sum) % kBuckets);
  return r < 0 ? r + kBuckets : r;
}

std::int32_t LpNameTable::find(std::string_view name) const {
  if (heads_.empty()) return -1;
  for (std::int32_t i = heads_[static_cast<std::size_t>(hash(name))]; i >= 0; i = next_[static_cast<std::size_t>(i)]) {
    auto k = static_cast<std::size_t>(i);
    if (static_cast<std::size_t>(length_[k]) == name.size() &&
        std::memcmp(text_.data() + start_[k], name.data(), name.size()) == 0) {
      return i;
    }
  }
  return -1;
}

std::int32_t LpNameTable::add(LpWorkArea& area, std::string_view name) {
  if (heads_.empty() && !heads_.resize(area, kBuckets, -1)) return -1;
  if (name.size() > INT32_MAX || size() == INT32_MAX) return -1;
  std::int32_t h = hash(name);
  std::size_t offset = text_.size();
  if (!text_.resize(area, offset + name.size(), ' ')) return -1;
  if (!name.empty()) std::memcpy(text_.data() + offset, name.data(), name.size());
  std::int32_t index = size();
  if (!start_.push_back(area, static_cast<std::int64_t>(offset)) ||
      !length_.push_back(area, static_cast<std::int32_t>(name.size())) ||
      !next_.push_back(area, heads_[static_cast<std::size_t>(h)])) {
    return -1;
  }
  heads_[static_cast<std::size_t>(h)] = index;
  if (name.size() > 8) ++long_names_;
  if (name.size() > longest_) longest_ = name.size();
  return index;
}

}  // namespace kqopt::input
