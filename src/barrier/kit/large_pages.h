// Allocator for the few large arrays of the interior-point library (the values of the
// Cholesky factor). Arrays of several megabytes are placed on 2 MB boundaries and the
// kernel is asked to back them with large pages: first touching a factor of a hundred
// megabytes page by page costs as much as a factorisation, and the factor's scattered
// updates miss the translation cache less.
#pragma once

#include <cstddef>
#include <new>

namespace kqopt::barrier {

void* allocate_large(std::size_t bytes);  // throws std::bad_alloc
void free_large(void* p) noexcept;

template <typename T>
struct LargePageAllocator {
  using value_type = T;
  LargePageAllocator() = default;
  template <typename U>
  LargePageAllocator(const LargePageAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(allocate_large(n * sizeof(T))); }
  void deallocate(T* p, std::size_t) noexcept { free_large(p); }
  template <typename U>
  bool operator==(const LargePageAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace kqopt::barrier
