// Work space of the interior-point library: zero-filled allocations that report lack of
// memory as an empty result (never an exception), and the size check of a work area a
// caller hands over.
#pragma once

#include <cstdint>
#include <memory>

namespace kqopt::barrier {

// n zero-filled elements; empty for n <= 0 and on lack of memory.
std::unique_ptr<std::int32_t[]> alloc_ints(std::int64_t n);
std::unique_ptr<double[]> alloc_doubles(std::int64_t n);

template <typename T>
void free_space(std::unique_ptr<T[]>& p) {
  p.reset();
}

// A caller's area of `supply` words for a demand of `demand`: a shortfall is a fatal
// work-space report naming module and procedure.
void check_work_area(const char* module, const char* proc, bool integer_area, std::int64_t supply, std::int64_t demand);

}  // namespace kqopt::barrier
