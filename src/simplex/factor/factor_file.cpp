// Factor file: sizing from the budget, line placement, compaction, back records.
#include "simplex/factor/factor_file.h"

#include <algorithm>
#include <cassert>

namespace kqopt {

namespace {

// Grows v to at least size elements, doubling its capacity but never past limit.
template <class T>
void grow_to(std::vector<T>& v, FilePos size, FilePos limit) {
  const auto need = static_cast<std::size_t>(size);
  if (need <= v.size()) return;
  if (need > v.capacity()) {
    const std::size_t doubled = std::max<std::size_t>(need, 2 * v.capacity());
    v.reserve(std::min(doubled, static_cast<std::size_t>(std::max(limit, size))));
  }
  v.resize(need);
}

// Extra room given to a line that moves, so that it can grow again in place.
std::int32_t elbow_room(std::int32_t len) { return std::max<std::int32_t>(4, len / 4); }

}  // namespace

FilePos FactorFile::entries_for_budget(std::int64_t free_bytes) {
  if (free_bytes < 448) return 0;
  return 20 * ((free_bytes - 48) / 400);
}

void FactorFile::reset(FilePos capacity, std::int32_t line_count) {
  capacity_ = capacity;
  front_end_ = 0;
  back_used_ = 0;
  compactions_ = 0;
  const auto n = static_cast<std::size_t>(line_count);
  // Lines added later (row etas of updates) seldom need the arrays to grow.
  for (auto* v : {&len_, &cap_, &prev_, &next_}) v->reserve(n + 512);
  start_.reserve(n + 512);
  start_.assign(n, 0);
  len_.assign(n, 0);
  cap_.assign(n, 0);
  prev_.assign(n, -1);
  next_.assign(n, -1);
  head_ = tail_ = -1;
}

std::int64_t FactorFile::bytes_committed() const {
  const auto entries = static_cast<std::int64_t>(front_idx_.capacity() + back_idx_.capacity());
  return entries * static_cast<std::int64_t>(sizeof(std::int32_t) + sizeof(double));
}

std::int32_t FactorFile::add_line() {
  start_.push_back(0);
  len_.push_back(0);
  cap_.push_back(0);
  prev_.push_back(-1);
  next_.push_back(-1);
  return static_cast<std::int32_t>(len_.size()) - 1;
}

void FactorFile::unlink(std::int32_t id) {
  const auto i = static_cast<std::size_t>(id);
  if (prev_[i] >= 0)
    next_[static_cast<std::size_t>(prev_[i])] = next_[i];
  else
    head_ = next_[i];
  if (next_[i] >= 0)
    prev_[static_cast<std::size_t>(next_[i])] = prev_[i];
  else
    tail_ = prev_[i];
  prev_[i] = next_[i] = -1;
}

void FactorFile::link_at_tail(std::int32_t id) {
  const auto i = static_cast<std::size_t>(id);
  prev_[i] = tail_;
  next_[i] = -1;
  if (tail_ >= 0)
    next_[static_cast<std::size_t>(tail_)] = id;
  else
    head_ = id;
  tail_ = id;
}

void FactorFile::ensure_front_physical(FilePos size) {
  grow_to(front_idx_, size, capacity_);
  grow_to(front_val_, size, capacity_);
}

void FactorFile::release_line(std::int32_t id) {
  const auto i = static_cast<std::size_t>(id);
  if (cap_[i] > 0) {
    if (id == tail_) front_end_ = start_[i];  // give the tail's space back at once
    unlink(id);
  }
  len_[i] = 0;
  cap_[i] = 0;
}

FilePos FactorFile::gap_needed(std::int32_t id, std::int32_t extra) const {
  const auto i = static_cast<std::size_t>(id);
  const std::int32_t need = len_[i] + extra;
  if (need <= cap_[i]) return 0;
  return need + elbow_room(need);  // a move, even for the last line: others may follow it first
}

bool FactorFile::reserve_line(std::int32_t id, std::int32_t extra, bool elbow) {
  const auto i = static_cast<std::size_t>(id);
  const std::int32_t need = len_[i] + extra;
  if (need <= cap_[i]) return true;

  // The last line grows in place.
  if (id == tail_ && cap_[i] > 0) {
    const FilePos end = start_[i] + need;
    if (end <= front_limit()) {
      const FilePos with_room = elbow ? std::min(end + elbow_room(need), front_limit()) : end;
      ensure_front_physical(with_room);
      front_end_ = with_room;
      cap_[i] = static_cast<std::int32_t>(with_room - start_[i]);
      return true;
    }
  }

  // Otherwise the line moves to the end of the front.
  FilePos room = elbow ? need + elbow_room(need) : need;
  if (front_end_ + room > front_limit()) room = need;
  if (front_end_ + room > front_limit()) {
    // Close the lines up and rotate this one to the end, where it grows in place.
    compact();
    if (cap_[i] > 0 && id != tail_) rotate_to_tail(id);
    if (cap_[i] > 0) {
      if (start_[i] + need > front_limit()) return false;
      ensure_front_physical(start_[i] + need);
      front_end_ = start_[i] + need;
      cap_[i] = need;
      return true;
    }
    if (front_end_ + need > front_limit()) return false;
    room = need;
  }
  ensure_front_physical(front_end_ + room);
  const FilePos from = start_[i];
  const FilePos to = front_end_;
  std::copy_n(front_idx_.begin() + from, len_[i], front_idx_.begin() + to);
  std::copy_n(front_val_.begin() + from, len_[i], front_val_.begin() + to);
  if (cap_[i] > 0) unlink(id);
  link_at_tail(id);
  start_[i] = to;
  cap_[i] = static_cast<std::int32_t>(room);
  front_end_ = to + room;
  return true;
}

void FactorFile::compact() {
  FilePos write = 0;
  std::int32_t id = head_;
  while (id >= 0) {
    const auto i = static_cast<std::size_t>(id);
    const std::int32_t following = next_[i];
    if (len_[i] == 0) {
      unlink(id);
      cap_[i] = 0;
    } else {
      if (start_[i] != write) {
        std::copy_n(front_idx_.begin() + start_[i], len_[i], front_idx_.begin() + write);
        std::copy_n(front_val_.begin() + start_[i], len_[i], front_val_.begin() + write);
        start_[i] = write;
      }
      cap_[i] = len_[i];
      write += len_[i];
    }
    id = following;
  }
  front_end_ = write;
  ++compactions_;
}

void FactorFile::rotate_to_tail(std::int32_t id) {
  // Lines are contiguous after compact(): move [start(id), front_end) left by
  // len(id) and put the line behind it, without a second copy of the data.
  const auto i = static_cast<std::size_t>(id);
  const FilePos from = start_[i];
  const std::int32_t n = len_[i];
  std::rotate(front_idx_.begin() + from, front_idx_.begin() + from + n, front_idx_.begin() + front_end_);
  std::rotate(front_val_.begin() + from, front_val_.begin() + from + n, front_val_.begin() + front_end_);
  for (std::int32_t k = next_[i]; k >= 0; k = next_[static_cast<std::size_t>(k)]) {
    start_[static_cast<std::size_t>(k)] -= n;
  }
  unlink(id);
  link_at_tail(id);
  start_[i] = front_end_ - n;
}

bool FactorFile::reserve_back(FilePos n) {
  if (n > free_entries()) {
    compact();
    if (n > free_entries()) return false;
  }
  grow_to(back_idx_, back_used_ + n, capacity_);
  grow_to(back_val_, back_used_ + n, capacity_);
  return true;
}

}  // namespace kqopt
