// Work-space allocation (see work_space.h).
#include "barrier/kit/work_space.h"

#include <new>

#include "barrier/kit/fatal_error.h"

namespace kqopt::barrier {
namespace {

template <typename T>
std::unique_ptr<T[]> alloc_zeroed(std::int64_t n) {
  if (n <= 0) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(n)]());
}

}  // namespace

std::unique_ptr<std::int32_t[]> alloc_ints(std::int64_t n) { return alloc_zeroed<std::int32_t>(n); }
std::unique_ptr<double[]> alloc_doubles(std::int64_t n) { return alloc_zeroed<double>(n); }

void check_work_area(const char* module, const char* proc, bool integer_area, std::int64_t supply,
                     std::int64_t demand) {
  if (supply < demand) fatal_work_space(module, proc, integer_area, supply, demand);
}

}  // namespace kqopt::barrier
