// Integer bucket priority queue: elements 0..n-1 with priorities 0..P, constant-time
// put, remove and priority change, and a minimum search that only moves upwards from
// the last minimum. A cursor walks the buckets in increasing priority. Used by the
// orderings and by the crossover's crash.
#pragma once

#include <cstdint>
#include <vector>

namespace kqopt::barrier {

class PriorityQueue {
 public:
  PriorityQueue() = default;
  // Throws std::bad_alloc when memory is short.
  PriorityQueue(std::int32_t n, std::int32_t max_priority) { reset(n, max_priority); }
  void reset(std::int32_t n, std::int32_t max_priority);

  // Puts e at priority p (removing it first when present): it goes to the front of the
  // bucket. Out-of-range element or priority: fatal argument report.
  void put(std::int32_t e, std::int32_t p);
  // Removes e when present; removing from an empty queue is fatal "Neg. ele".
  void remove(std::int32_t e);
  void increase(std::int32_t e, std::int32_t by) { put(e, priority_[static_cast<std::size_t>(e)] + by); }
  void decrease(std::int32_t e, std::int32_t by) { put(e, priority_[static_cast<std::size_t>(e)] - by); }

  bool contains(std::int32_t e) const { return priority_[static_cast<std::size_t>(e)] != kAbsent; }
  std::int32_t priority(std::int32_t e) const { return priority_[static_cast<std::size_t>(e)]; }
  std::int32_t size() const { return count_; }
  std::int32_t max_priority() const { return max_priority_; }

  // Cursor on the first element of the smallest priority; false when empty.
  bool to_min();
  // Cursor on the first element of priority p; false when that bucket is empty.
  bool to_priority(std::int32_t p);
  // Cursor on element e (which must be present).
  bool to_element(std::int32_t e);
  // Next element of the bucket, else the first of the next nonempty higher bucket;
  // false at the end.
  bool step();
  // Element and priority under the cursor; false when the cursor is at the end.
  bool get(std::int32_t& e, std::int32_t& p) const;

 private:
  static constexpr std::int32_t kAbsent = -1;
  std::int32_t n_ = 0;
  std::int32_t max_priority_ = 0;
  std::vector<std::int32_t> head_;      // per priority
  std::vector<std::int32_t> priority_;  // per element, kAbsent when not present
  std::vector<std::int32_t> next_;
  std::vector<std::int32_t> prev_;
  std::int32_t min_priority_ = 0;  // no element below this
  std::int32_t count_ = 0;
  std::int32_t cursor_ = -1;
};

}  // namespace kqopt::barrier
