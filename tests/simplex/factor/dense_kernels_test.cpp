// The dense block's axpy must give the plain loop's bits whichever build of it the
// processor runs: same product, same difference, no fused multiply-add.
#include "simplex/factor/dense_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace kqopt {
namespace {

// Lengths below, at and past the vector widths, starting off any alignment. Half the
// entries of y are close to a[i] * s, where the difference cancels and a fused
// multiply-add (which keeps the product unrounded) gives other bits.
TEST(DenseKernels, AxpyGivesThePlainLoopsBits) {
  std::mt19937_64 random(20240613);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-3, 3);
  const auto draw = [&] { return std::ldexp(mantissa(random), exponent(random)); };
  for (const std::int32_t n : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 64, 199}) {
    for (const std::int32_t offset : {0, 1, 3}) {
      std::vector<double> a(static_cast<std::size_t>(n + offset));
      std::vector<double> y(a.size());
      for (double& v : a) v = draw();
      const double s = draw();
      for (std::size_t i = 0; i < y.size(); ++i) y[i] = i % 2 == 0 ? draw() : a[i] * s * (1.0 + 1e-9 * mantissa(random));
      std::vector<double> expected = y;
      for (std::int32_t i = 0; i < n; ++i) {
        const volatile double product = a[static_cast<std::size_t>(offset + i)] * s;
        expected[static_cast<std::size_t>(offset + i)] -= product;
      }
      dense_axpy(y.data() + offset, a.data() + offset, n, s);
      for (std::size_t i = 0; i < y.size(); ++i) {
        std::uint64_t got = 0;
        std::uint64_t want = 0;
        std::memcpy(&got, &y[i], sizeof got);
        std::memcpy(&want, &expected[i], sizeof want);
        EXPECT_EQ(got, want) << "n=" << n << " offset=" << offset << " i=" << i;
      }
    }
  }
}

}  // namespace
}  // namespace kqopt
