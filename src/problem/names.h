// Name tables: one fixed-width, blank-padded name of 8·k characters per entry
// (k = (NAMLEN + 7) / 8 at load, the "name words").
//
// Invariant: a table holds either no storage at all, in which case every entry has
// its default name, or exactly size() · 8k characters. Default names depend on the
// entry's position (VVVVVVV7 for position 7), so an operation that renumbers entries
// (deleting rows or columns) must call materialise() first.
//
// Default names: a two-letter prefix ("VV" for variables, "SS" for sets) followed by
// the 1-based number right-justified in six characters with leading blanks replaced by
// 'V': position 7 -> VVVVVVV7, 123 -> VVVVV123, set 1 -> SSVVVVV1. A number of seven
// or eight digits overwrites the prefix from the right (V1000000, 12345678); the
// remaining 8·(k − 1) characters are blanks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kqopt {

inline constexpr int kNameWordLength = 8;

// Name words for a NAMLEN value: (NAMLEN + 7) / 8, at least 1 and at most
// kMaxNameWordsForLength, so that a name width in characters always fits an int.
inline constexpr int kMaxNameWordsForLength = 2147483647 / (2 * kNameWordLength);
// The widest names a problem can hold: one message line (256 characters). A wider
// NAMLEN makes the names array of a load not fit.
inline constexpr int kMaxProblemNameWords = 32;
int name_words_for_length(std::int32_t namlen);

class NameTable {
 public:
  NameTable() = default;
  NameTable(std::int32_t count, int words, char prefix) { reset(count, words, prefix); }

  // Empties the table to `count` default names of 8·words characters.
  void reset(std::int32_t count, int words, char prefix);

  std::int32_t size() const { return count_; }
  int words() const { return words_; }
  int width() const { return words_ * kNameWordLength; }
  bool has_storage() const { return !storage_.empty(); }
  // Bytes the table occupies once every name is stored.
  std::int64_t full_bytes() const { return static_cast<std::int64_t>(count_) * width(); }

  // Writes the width() characters of entry i (0-based) into out; no NUL.
  void copy_name(std::int32_t i, char* out) const;
  // Entry i without its trailing blanks.
  std::string trimmed(std::int32_t i) const;
  // Stores text (at most width() characters; longer text is cut) as entry i, blank-padded.
  void set(std::int32_t i, std::string_view text);
  // Stores every default name explicitly (see the invariant above).
  void materialise();
  // Index of the first entry in [first, last) equal to the blank-padded key, or -1.
  std::int32_t find(std::string_view padded_key, std::int32_t first, std::int32_t last) const;
  // Appends `count` default-named entries (materialised when the table has storage).
  void append_default(std::int32_t count);
  // Keeps the first `count` entries (count <= size()).
  void truncate(std::int32_t count);

 private:
  void write_default(std::int32_t i, char* out) const;

  std::int32_t count_ = 0;
  int words_ = 1;
  char prefix_ = 'V';
  std::vector<char> storage_;
};

// The 8 characters of a default name: prefix twice, then `number` right-justified in
// six characters, leading blanks replaced by 'V' (see the file comment).
void default_name(char prefix, std::int64_t number, char out[kNameWordLength]);

}  // namespace kqopt
