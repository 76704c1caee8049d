// The active-node list and its node records.
#include "global/search/node_store.h"

#include <algorithm>
#include <cstring>

#include "problem/problem.h"

namespace kqopt {

namespace {

constexpr std::size_t kHeaderWords = 8;

void put_double(std::vector<std::uint32_t>& w, double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  w.push_back(static_cast<std::uint32_t>(bits));
  w.push_back(static_cast<std::uint32_t>(bits >> 32));
}

double get_double(const std::vector<std::uint32_t>& w, std::size_t& at) {
  const std::uint64_t bits = static_cast<std::uint64_t>(w[at]) | (static_cast<std::uint64_t>(w[at + 1]) << 32);
  at += 2;
  double v = 0.0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::vector<std::uint32_t> encode(const NodeRecord& r) {
  std::vector<std::uint32_t> w;
  w.reserve(kHeaderWords + 5 * r.changes.size() + r.basis.size());
  w.push_back(static_cast<std::uint32_t>(r.node));
  w.push_back(static_cast<std::uint32_t>(r.parent));
  w.push_back(static_cast<std::uint32_t>(r.depth));
  put_double(w, r.estimate);
  put_double(w, r.bound);
  w.push_back(static_cast<std::uint32_t>(r.changes.size()));
  for (const BoundChange& c : r.changes) {
    w.push_back(static_cast<std::uint32_t>(c.variable));
    put_double(w, c.lower);
    put_double(w, c.upper);
  }
  w.insert(w.end(), r.basis.begin(), r.basis.end());
  return w;
}

NodeRecord decode(const std::vector<std::uint32_t>& w) {
  NodeRecord r;
  std::size_t at = 0;
  r.node = static_cast<std::int32_t>(w[at++]);
  r.parent = static_cast<std::int32_t>(w[at++]);
  r.depth = static_cast<std::int32_t>(w[at++]);
  r.estimate = get_double(w, at);
  r.bound = get_double(w, at);
  const std::size_t count = w[at++];
  r.changes.resize(count);
  for (BoundChange& c : r.changes) {
    c.variable = static_cast<std::int32_t>(w[at++]);
    c.lower = get_double(w, at);
    c.upper = get_double(w, at);
  }
  r.basis.assign(w.begin() + static_cast<std::ptrdiff_t>(at), w.end());
  return r;
}

}  // namespace

std::vector<std::uint32_t> pack_basis(const std::vector<std::uint32_t>& status_words) {
  std::vector<std::uint32_t> packed((status_words.size() + 15) / 16, 0u);
  for (std::size_t v = 0; v < status_words.size(); ++v) {
    std::uint32_t code = 0;
    if (status_words[v] & status::kBasic) {
      code = 1;
    } else if (status_words[v] & status::kAtUpper) {
      code = 2;
    }
    packed[v / 16] |= code << (2 * (v % 16));
  }
  return packed;
}

void unpack_basis(const std::vector<std::uint32_t>& packed, std::vector<std::uint32_t>& status_words) {
  for (std::size_t v = 0; v < status_words.size() && v / 16 < packed.size(); ++v) {
    const std::uint32_t code = (packed[v / 16] >> (2 * (v % 16))) & 3u;
    std::uint32_t word = status_words[v] & ~(status::kBasic | status::kAtUpper);
    if (code == 1) word |= status::kBasic;
    if (code == 2) word |= status::kAtUpper;
    status_words[v] = word;
  }
}

void NodeStore::reset(std::int32_t capacity) {
  slots_.assign(static_cast<std::size_t>(std::max(capacity, 1)), NodeSlot{});
  records_.assign(slots_.size(), {});
  for (std::size_t k = 0; k < slots_.size(); ++k) {
    slots_[k].next_free = k + 1 < slots_.size() ? static_cast<std::int32_t>(k + 1) : -1;
  }
  free_head_ = 0;
  active_ = 0;
  length_ = 0;
  record_bytes_ = 0;
}

void NodeStore::grow() {
  const std::size_t old = slots_.size();
  slots_.resize(2 * old);
  records_.resize(2 * old);
  for (std::size_t k = old; k < slots_.size(); ++k) {
    slots_[k] = NodeSlot{};
    slots_[k].next_free = k + 1 < slots_.size() ? static_cast<std::int32_t>(k + 1) : free_head_;
  }
  free_head_ = static_cast<std::int32_t>(old);
}

std::int32_t NodeStore::put(const NodeRecord& record, float estimate, float degradation, bool& grew) {
  grew = false;
  if (free_head_ < 0) {
    grow();
    grew = true;
  }
  const std::int32_t k = free_head_;
  NodeSlot& s = slots_[static_cast<std::size_t>(k)];
  free_head_ = s.next_free;
  s.node = record.node;
  s.depth = record.depth;
  s.estimate = estimate;
  s.degradation = degradation;
  s.bound = record.bound;
  s.next_free = -1;
  records_[static_cast<std::size_t>(k)] = encode(record);
  record_bytes_ += static_cast<std::int64_t>(records_[static_cast<std::size_t>(k)].size() * 4);
  ++active_;
  if (k + 1 > length_) length_ = k + 1;
  return k;
}

NodeRecord NodeStore::take(std::int32_t k) {
  NodeRecord r = decode(records_[static_cast<std::size_t>(k)]);
  drop(k);
  return r;
}

void NodeStore::drop(std::int32_t k) {
  NodeSlot& s = slots_[static_cast<std::size_t>(k)];
  if (s.node == 0) return;
  s.node = 0;
  s.next_free = free_head_;
  free_head_ = k;
  record_bytes_ -= static_cast<std::int64_t>(records_[static_cast<std::size_t>(k)].size() * 4);
  std::vector<std::uint32_t>().swap(records_[static_cast<std::size_t>(k)]);
  --active_;
  while (length_ > 0 && slots_[static_cast<std::size_t>(length_ - 1)].node == 0) --length_;
}

std::int32_t NodeStore::find(std::int32_t node) const {
  for (std::int32_t k = 0; k < length_; ++k) {
    if (slots_[static_cast<std::size_t>(k)].node == node) return k;
  }
  return -1;
}

}  // namespace kqopt
