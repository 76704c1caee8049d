// Integer bucket priority queue (see priority_queue.h).
#include "barrier/ordering/priority_queue.h"

#include <algorithm>

#include "barrier/kit/fatal_error.h"

namespace kqopt::barrier {

void PriorityQueue::reset(std::int32_t n, std::int32_t max_priority) {
  n_ = n;
  max_priority_ = max_priority;
  head_.assign(static_cast<std::size_t>(max_priority) + 1, -1);
  priority_.assign(static_cast<std::size_t>(n), kAbsent);
  next_.assign(static_cast<std::size_t>(n), -1);
  prev_.assign(static_cast<std::size_t>(n), -1);
  min_priority_ = max_priority + 1;
  count_ = 0;
  cursor_ = -1;
}

void PriorityQueue::put(std::int32_t e, std::int32_t p) {
  if (e < 0 || e >= n_) fatal_argument("prque", "pq_putp", 2, e);
  if (p < 0 || p > max_priority_) fatal_argument("prque", "pq_putp", 3, p);
  if (contains(e)) remove(e);
  const auto ue = static_cast<std::size_t>(e);
  const std::int32_t h = head_[static_cast<std::size_t>(p)];
  next_[ue] = h;
  prev_[ue] = -1;
  if (h >= 0) prev_[static_cast<std::size_t>(h)] = e;
  head_[static_cast<std::size_t>(p)] = e;
  priority_[ue] = p;
  ++count_;
  min_priority_ = std::min(min_priority_, p);
}

void PriorityQueue::remove(std::int32_t e) {
  if (count_ <= 0) fatal_error("prque", "pq_remove", "Neg. ele");
  if (e < 0 || e >= n_) fatal_argument("prque", "pq_remove", 2, e);
  const auto ue = static_cast<std::size_t>(e);
  const std::int32_t p = priority_[ue];
  if (p == kAbsent) return;
  if (cursor_ == e) cursor_ = -1;
  const std::int32_t nx = next_[ue];
  const std::int32_t pv = prev_[ue];
  if (pv >= 0) {
    next_[static_cast<std::size_t>(pv)] = nx;
  } else {
    head_[static_cast<std::size_t>(p)] = nx;
  }
  if (nx >= 0) prev_[static_cast<std::size_t>(nx)] = pv;
  priority_[ue] = kAbsent;
  --count_;
}

bool PriorityQueue::to_min() {
  cursor_ = -1;
  if (count_ == 0) {
    min_priority_ = max_priority_ + 1;
    return false;
  }
  while (min_priority_ <= max_priority_ && head_[static_cast<std::size_t>(min_priority_)] < 0) ++min_priority_;
  cursor_ = head_[static_cast<std::size_t>(min_priority_)];
  return true;
}

bool PriorityQueue::to_priority(std::int32_t p) {
  if (p < 0 || p > max_priority_) fatal_argument("prque", "pq_top", 2, p);
  cursor_ = head_[static_cast<std::size_t>(p)];
  return cursor_ >= 0;
}

bool PriorityQueue::to_element(std::int32_t e) {
  if (e < 0 || e >= n_) fatal_argument("prque", "pq_toe", 2, e);
  cursor_ = contains(e) ? e : -1;
  return cursor_ >= 0;
}

bool PriorityQueue::step() {
  if (cursor_ < 0) return false;
  const auto uc = static_cast<std::size_t>(cursor_);
  if (next_[uc] >= 0) {
    cursor_ = next_[uc];
    return true;
  }
  for (std::int32_t p = priority_[uc] + 1; p <= max_priority_; ++p) {
    if (head_[static_cast<std::size_t>(p)] >= 0) {
      cursor_ = head_[static_cast<std::size_t>(p)];
      return true;
    }
  }
  cursor_ = -1;
  return false;
}

bool PriorityQueue::get(std::int32_t& e, std::int32_t& p) const {
  if (cursor_ < 0) return false;
  e = cursor_;
  p = priority_[static_cast<std::size_t>(cursor_)];
  return true;
}

}  // namespace kqopt::barrier
