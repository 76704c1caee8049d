// Large-page allocation (see large_pages.h).
#include "barrier/kit/large_pages.h"

#include <sys/mman.h>

#include <cstdlib>

namespace kqopt::barrier {
namespace {
constexpr std::size_t kLargePage = std::size_t{2} << 20;
}  // namespace

void* allocate_large(std::size_t bytes) {
  if (bytes == 0) bytes = sizeof(double);
  if (bytes < 2 * kLargePage) {
    void* p = std::malloc(bytes);
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }
  const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
  void* p = std::aligned_alloc(kLargePage, rounded);
  if (p == nullptr) throw std::bad_alloc();
  // Only advice: without large pages the memory works as ordinary pages.
  (void)madvise(p, rounded, MADV_HUGEPAGE);
  return p;
}

void free_large(void* p) noexcept { std::free(p); }

}  // namespace kqopt::barrier
