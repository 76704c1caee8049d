// The active-node list of the global search and the records of its nodes.
//
// The list is small and searched at every node selection: per slot the node number
// (0: free), the depth, the estimate and the degradation in single precision, and the
// node's bound (its parent's LP objective) in double precision, so that discarding a
// node against the cutoff never loses a solution better than the cutoff by rounding.
// Free slots form a list threaded through a next-free index. The bulky part of a node,
// its bound changes and starting basis, lives in a record per slot that is encoded into
// 32-bit words (the basis packed 16 variables to a word) and held outside the library's
// workspace; the list grows by doubling when it is full.
#pragma once

#include <cstdint>
#include <vector>

#include "global/search/branching.h"

namespace kqopt {

struct NodeSlot {
  std::int32_t node = 0;  // 0: free
  std::int32_t depth = 0;
  float estimate = 0.0f;
  float degradation = 0.0f;
  double bound = 0.0;
  std::int32_t next_free = -1;
};

// What a node carries from its parent: its bounds relative to the original ones and
// the basis it starts from, plus the header words the search log and the dive read.
struct NodeRecord {
  std::int32_t node = 0;
  std::int32_t parent = 0;
  std::int32_t depth = 0;
  double estimate = 0.0;
  double bound = 0.0;
  std::vector<BoundChange> changes;  // every variable whose bounds differ from the original
  std::vector<std::uint32_t> basis;  // 2 bits per variable: 0 at lower, 1 basic, 2 at upper
};

// Packs and unpacks the basis of the status words' basic and at-upper bits.
std::vector<std::uint32_t> pack_basis(const std::vector<std::uint32_t>& status_words);
void unpack_basis(const std::vector<std::uint32_t>& packed, std::vector<std::uint32_t>& status_words);

class NodeStore {
 public:
  void reset(std::int32_t capacity);
  std::int32_t capacity() const { return static_cast<std::int32_t>(slots_.size()); }
  std::int32_t active() const { return active_; }
  // The highest slot index in use plus one (the scan length).
  std::int32_t length() const { return length_; }
  const NodeSlot& slot(std::int32_t k) const { return slots_[static_cast<std::size_t>(k)]; }

  // Stores a node; doubles the capacity first when no slot is free (grew is then set).
  // Returns the slot.
  std::int32_t put(const NodeRecord& record, float estimate, float degradation, bool& grew);
  // Reads the record of slot k and frees the slot.
  NodeRecord take(std::int32_t k);
  // Frees slot k without reading it.
  void drop(std::int32_t k);
  // The slot holding node number, or -1.
  std::int32_t find(std::int32_t node) const;
  // Bytes held by the records (for the memory report).
  std::int64_t record_bytes() const { return record_bytes_; }

 private:
  void grow();
  std::vector<NodeSlot> slots_;
  std::vector<std::vector<std::uint32_t>> records_;
  std::int32_t free_head_ = -1;
  std::int32_t active_ = 0;
  std::int32_t length_ = 0;
  std::int64_t record_bytes_ = 0;
};

}  // namespace kqopt
