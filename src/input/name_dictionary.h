// The name dictionary of the text readers: row names and column names in one hash
// table with chaining.
//
// Every name is 8·k characters, blank-padded (k name words, from NAMLEN). An entry
// holds its kind (row or column), its number within that kind (0, 1, 2, ... in order
// of insertion) and its name; a lookup matches only entries of the kind asked for, so
// a row and a column may share a name. The table takes at most `capacity` entries
// (the readers use M_C + 4); an insert beyond that reports overflow.
//
// Hash: each character c of the 8·k, '*' skipped, is taken as a decimal digit,
// h = h·10 + (c − 48) in 32-bit arithmetic with wrap-around; the bucket is |h| modulo
// the number of buckets. The bucket array starts small and doubles as entries arrive
// (never beyond the capacity), so a large capacity costs nothing until it is used and
// chains stay short.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kqopt::input {

enum class NameKind : std::uint8_t { kRow = 0, kColumn = 1 };

class NameDictionary {
 public:
  static constexpr int kNotFound = -1;

  // Empties the table; names will be `name_width` characters (a positive multiple of 8)
  // and at most `capacity` entries fit.
  void reset(int name_width, std::int64_t capacity);

  int name_width() const { return width_; }
  std::int64_t size() const { return static_cast<std::int64_t>(kinds_.size()); }
  int count(NameKind kind) const { return counts_[static_cast<int>(kind)]; }

  // name must have exactly name_width() characters.
  // Returns the number of the entry of that kind and name, or kNotFound.
  int find(NameKind kind, std::string_view name) const;

  struct Insertion {
    int number;    // the entry's number within its kind; kNotFound when the table is full
    bool existed;  // true when the name was already present
  };
  // Inserts name unless an entry of that kind already has it.
  Insertion insert(NameKind kind, std::string_view name);

  // The name of entry `number` of `kind` (name_width() characters).
  std::string_view name(NameKind kind, int number) const;

  // The decimal-digit hash of a name (before the modulo).
  static std::int32_t hash(std::string_view name);

 private:
  void grow_buckets();
  std::uint32_t bucket_of(std::int32_t h) const;

  int width_ = 8;
  std::int64_t capacity_ = 0;
  int counts_[2] = {0, 0};
  std::vector<std::int32_t> buckets_;  // first entry of each chain, -1 for none
  std::vector<std::int32_t> next_;     // next entry in the chain, -1 at the end
  std::vector<std::int32_t> hashes_;   // hash of each entry, kept for regrowing
  std::vector<NameKind> kinds_;
  std::vector<std::int32_t> numbers_;      // number within its kind
  std::vector<char> names_;                // width_ characters per entry
  std::vector<std::int32_t> entry_of_[2];  // entry index by kind and number
};

}  // namespace kqopt::input
