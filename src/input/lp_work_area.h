// The LP-text reader's work area: one budget of bytes, taken from the workspace when a
// read starts, from which every table of the read is carved by a bump allocator and
// given back in one step when the reader goes.
//
// Memory comes in chunks, so that a large budget costs nothing until it is used; a
// request beyond the budget (or one the system refuses) fails, and the reader turns
// that into its "not enough memory" message. LpArray is a growable array of trivially
// copyable values inside the work area: growing copies into a block twice the size and
// leaves the old block behind, which at most doubles what an array costs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace kqopt::input {

class LpWorkArea {
 public:
  explicit LpWorkArea(std::int64_t budget) : budget_(budget < 0 ? 0 : budget) {}
  ~LpWorkArea();
  LpWorkArea(const LpWorkArea&) = delete;
  LpWorkArea& operator=(const LpWorkArea&) = delete;

  // bytes aligned to 16, or null when the budget or the system cannot give them.
  void* allocate(std::size_t bytes);
  std::int64_t budget() const { return budget_; }
  std::int64_t used() const { return used_; }

 private:
  struct Chunk {
    Chunk* previous;
    std::size_t size;
  };
  static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
  static constexpr std::size_t kHeader = 16;

  std::int64_t budget_;
  std::int64_t used_ = 0;  // bytes of the chunks taken, counted against the budget
  Chunk* chunk_ = nullptr;
  char* next_ = nullptr;
  char* end_ = nullptr;
};

template <typename T>
class LpArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T& back() { return data_[size_ - 1]; }

  // False when the work area is exhausted.
  [[nodiscard]] bool push_back(LpWorkArea& area, const T& value) {
    if (size_ == capacity_ && !reserve(area, capacity_ == 0 ? 16 : 2 * capacity_)) return false;
    data_[size_++] = value;
    return true;
  }
  // Grows to n values, the new ones set to fill.
  [[nodiscard]] bool resize(LpWorkArea& area, std::size_t n, const T& fill) {
    if (n > capacity_ && !reserve(area, n > 2 * capacity_ ? n : 2 * capacity_)) return false;
    for (std::size_t i = size_; i < n; ++i) data_[i] = fill;
    size_ = n;
    return true;
  }
  void truncate(std::size_t n) {
    if (n < size_) size_ = n;
  }
  void clear() { size_ = 0; }
  [[nodiscard]] bool reserve(LpWorkArea& area, std::size_t n) {
    if (n <= capacity_) return true;
    if (n > SIZE_MAX / sizeof(T)) return false;
    auto* fresh = static_cast<T*>(area.allocate(n * sizeof(T)));
    if (fresh == nullptr) return false;
    if (size_ > 0) std::memcpy(static_cast<void*>(fresh), data_, size_ * sizeof(T));
    data_ = fresh;
    capacity_ = n;
    return true;
  }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace kqopt::input
