// Large-page allocation: small and large arrays hold their values, large ones start on a
// 2 MB boundary.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "barrier/kit/large_pages.h"

namespace kqopt::barrier {
namespace {

TEST(LargePages, ArraysOfEverySizeHoldTheirValues) {
  for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{1000}, std::size_t{3} << 20}) {
    std::vector<double, LargePageAllocator<double>> v(n, 1.5);
    for (std::size_t i = 0; i < n; i += 4099) v[i] += static_cast<double>(i);
    for (std::size_t i = 0; i < n; i += 4099) EXPECT_EQ(v[i], 1.5 + static_cast<double>(i));
    if (n >= (std::size_t{1} << 20)) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(v.data()) % (std::uintptr_t{2} << 20), 0u) << n;
    }
  }
}

}  // namespace
}  // namespace kqopt::barrier
