// Hashed name dictionary: chained buckets over entries stored in insertion order.
#include "input/name_dictionary.h"

#include <cstring>

namespace kqopt::input {

namespace {
constexpr std::size_t kInitialBuckets = 1021;
}

void NameDictionary::reset(int name_width, std::int64_t capacity) {
  width_ = name_width > 0 ? name_width : 8;
  capacity_ = capacity > 0 ? capacity : 0;
  counts_[0] = counts_[1] = 0;
  buckets_.assign(
      static_cast<std::size_t>(capacity_ < static_cast<std::int64_t>(kInitialBuckets) ? (capacity_ > 0 ? capacity_ : 1)
                                                                                      : kInitialBuckets),
      -1);
  next_.clear();
  hashes_.clear();
  kinds_.clear();
  numbers_.clear();
  names_.clear();
  entry_of_[0].clear();
  entry_of_[1].clear();
}

std::int32_t NameDictionary::hash(std::string_view name) {
  std::uint32_t h = 0;
  for (char c : name) {
    if (c == '*') continue;
    h = h * 10u + static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<unsigned char>(c)) - 48);
  }
  return static_cast<std::int32_t>(h);
}

std::uint32_t NameDictionary::bucket_of(std::int32_t h) const {
  std::uint32_t magnitude = h < 0 ? 0u - static_cast<std::uint32_t>(h) : static_cast<std::uint32_t>(h);
  return magnitude % static_cast<std::uint32_t>(buckets_.size());
}

int NameDictionary::find(NameKind kind, std::string_view name) const {
  if (name.size() != static_cast<std::size_t>(width_) || buckets_.empty()) return kNotFound;
  std::int32_t h = hash(name);
  for (std::int32_t e = buckets_[bucket_of(h)]; e >= 0; e = next_[static_cast<std::size_t>(e)]) {
    std::size_t i = static_cast<std::size_t>(e);
    if (hashes_[i] == h && kinds_[i] == kind &&
        std::memcmp(&names_[i * static_cast<std::size_t>(width_)], name.data(), name.size()) == 0) {
      return numbers_[i];
    }
  }
  return kNotFound;
}

NameDictionary::Insertion NameDictionary::insert(NameKind kind, std::string_view name) {
  if (name.size() != static_cast<std::size_t>(width_)) return {kNotFound, false};
  int existing = find(kind, name);
  if (existing != kNotFound) return {existing, true};
  if (size() >= capacity_) return {kNotFound, false};
  if (static_cast<std::size_t>(size()) >= buckets_.size() && static_cast<std::int64_t>(buckets_.size()) < capacity_) {
    grow_buckets();
  }
  std::int32_t h = hash(name);
  std::uint32_t b = bucket_of(h);
  auto entry = static_cast<std::int32_t>(kinds_.size());
  int k = static_cast<int>(kind);
  int number = counts_[k]++;
  next_.push_back(buckets_[b]);
  buckets_[b] = entry;
  hashes_.push_back(h);
  kinds_.push_back(kind);
  numbers_.push_back(number);
  names_.insert(names_.end(), name.begin(), name.end());
  entry_of_[k].push_back(entry);
  return {number, false};
}

std::string_view NameDictionary::name(NameKind kind, int number) const {
  const auto& entries = entry_of_[static_cast<int>(kind)];
  if (number < 0 || static_cast<std::size_t>(number) >= entries.size()) return {};
  std::size_t i = static_cast<std::size_t>(entries[static_cast<std::size_t>(number)]);
  return {&names_[i * static_cast<std::size_t>(width_)], static_cast<std::size_t>(width_)};
}

void NameDictionary::grow_buckets() {
  std::int64_t wanted = static_cast<std::int64_t>(buckets_.size()) * 2 + 1;
  if (wanted > capacity_) wanted = capacity_;
  buckets_.assign(static_cast<std::size_t>(wanted), -1);
  for (std::size_t i = 0; i < kinds_.size(); ++i) {
    std::uint32_t b = bucket_of(hashes_[i]);
    next_[i] = buckets_[b];
    buckets_[b] = static_cast<std::int32_t>(i);
  }
}

}  // namespace kqopt::input
