// The LP-text reader's name tables: one for rows, one for columns, each a hash table
// of 10001 buckets with chaining, held in the reader's work area.
//
// Hash of a name: the name blank-padded to at least 8 characters, read as 32-bit
// little-endian words (a trailing partial word padded with zero bytes), summed with
// 32-bit wrap-around and taken modulo 10001 as a non-negative number.
//
// Names are kept whole, so two long names that share a beginning stay two names. The
// table counts names longer than 8 characters (they cannot be loaded as 8-character
// names).
#pragma once

#include <cstdint>
#include <string_view>

#include "input/lp_work_area.h"

namespace kqopt::input {

class LpNameTable {
 public:
  static constexpr std::int32_t kBuckets = 10001;

  static std::int32_t hash(std::string_view name);

  // Index of name, or −1.
  std::int32_t find(std::string_view name) const;
  // Adds name as entry size() and returns its index, or −1 when the work area is
  // exhausted. Does not look for an existing entry (see find).
  std::int32_t add(LpWorkArea& area, std::string_view name);

  std::int32_t size() const { return static_cast<std::int32_t>(start_.size()); }
  std::string_view name(std::int32_t i) const {
    return {text_.data() + start_[static_cast<std::size_t>(i)],
            static_cast<std::size_t>(length_[static_cast<std::size_t>(i)])};
  }
  std::int32_t long_names() const { return long_names_; }
  std::size_t longest() const { return longest_; }

 private:
  LpArray<std::int32_t> heads_;  // kBuckets, −1 when empty
  LpArray<std::int32_t> next_;   // chain link per entry
  LpArray<std::int64_t> start_;  // offset of each name in text_
  LpArray<std::int32_t> length_;
  LpArray<char> text_;
  std::int32_t long_names_ = 0;
  std::size_t longest_ = 0;
};

}  // namespace kqopt::input
