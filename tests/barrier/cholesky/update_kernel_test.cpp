// The rank-k update kernel against a plain triple loop, over shapes that exercise the
// 8-row tiles, the row and column remainders and depths beyond one packing chunk, and
// sizes large enough for the packed path with its partial tiles on the diagonal.
#include "barrier/cholesky/update_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kqopt::barrier {
namespace {

struct Shape {
  std::int32_t nr, nc, k;
};

TEST(UpdateKernel, MatchesTheDefinitionAndLeavesTheUpperPartAlone) {
  const Shape shapes[] = {{1, 1, 1},     {4, 4, 3},   {13, 4, 5},      {12, 8, 1},     {37, 11, 7},
                          {64, 64, 300}, {9, 6, 600}, {300, 200, 270}, {530, 517, 30}, {700, 13, 600}};
  for (const Shape& s : shapes) {
    const std::int64_t lda = s.nr + 3, ldc = s.nr + 2;
    std::vector<double> a(static_cast<std::size_t>(lda * s.k)), dd(static_cast<std::size_t>(s.k));
    for (std::size_t q = 0; q < a.size(); ++q) a[q] = std::sin(0.37 * static_cast<double>(q) + 1.0);
    for (std::int32_t p = 0; p < s.k; ++p) dd[static_cast<std::size_t>(p)] = p % 5 == 3 ? 0.0 : 1.0 + 0.25 * p;
    std::vector<double> c(static_cast<std::size_t>(ldc * s.nc));
    for (std::size_t q = 0; q < c.size(); ++q) c[q] = std::cos(0.11 * static_cast<double>(q));
    std::vector<double> expected = c;
    for (std::int32_t j = 0; j < s.nc; ++j) {
      for (std::int32_t i = j; i < s.nr; ++i) {
        double sum = 0.0;
        for (std::int32_t p = 0; p < s.k; ++p) sum += a[i + p * lda] * dd[p] * a[j + p * lda];
        expected[i + j * ldc] -= sum;
      }
    }
    ldl_update_subtract(s.nr, s.nc, s.k, a.data(), lda, dd.data(), c.data(), ldc);
    for (std::int32_t j = 0; j < s.nc; ++j) {
      for (std::int64_t i = 0; i < ldc; ++i) {
        const std::size_t q = static_cast<std::size_t>(i + j * ldc);
        EXPECT_NEAR(c[q], expected[q], 1.0e-12 * (1.0 + s.k)) << s.nr << "x" << s.nc << "x" << s.k << " at " << i;
      }
    }
  }
}

TEST(UpdateKernel, ScatterPutsEachSumAtItsMappedPlace) {
  const Shape shapes[] = {{13, 5, 4}, {400, 150, 300}};
  for (const Shape& s : shapes) {
    const std::int64_t lda = s.nr + 1, ldc = 2 * s.nr + 3;
    std::vector<double> a(static_cast<std::size_t>(lda * s.k)), dd(static_cast<std::size_t>(s.k));
    for (std::size_t q = 0; q < a.size(); ++q) a[q] = std::sin(0.29 * static_cast<double>(q) + 0.5);
    for (std::int32_t p = 0; p < s.k; ++p) dd[static_cast<std::size_t>(p)] = 0.5 + 0.125 * (p % 7);
    std::vector<std::int32_t> rows(static_cast<std::size_t>(s.nr)), cols(static_cast<std::size_t>(s.nc));
    for (std::int32_t i = 0; i < s.nr; ++i) rows[static_cast<std::size_t>(i)] = 2 * i + 1;
    for (std::int32_t j = 0; j < s.nc; ++j) cols[static_cast<std::size_t>(j)] = s.nc - 1 - j;
    std::vector<double> c(static_cast<std::size_t>(ldc * s.nc), 1.0);
    std::vector<double> expected = c;
    for (std::int32_t j = 0; j < s.nc; ++j) {
      for (std::int32_t i = j; i < s.nr; ++i) {
        double sum = 0.0;
        for (std::int32_t p = 0; p < s.k; ++p) sum += a[i + p * lda] * dd[p] * a[j + p * lda];
        expected[static_cast<std::size_t>(rows[i] + cols[j] * ldc)] -= sum;
      }
    }
    ldl_update_scatter(s.nr, s.nc, s.k, a.data(), lda, dd.data(), rows.data(), cols.data(), c.data(), ldc);
    for (std::size_t q = 0; q < c.size(); ++q) {
      EXPECT_NEAR(c[q], expected[q], 1.0e-12 * (1.0 + s.k)) << s.nr << "x" << s.nc << "x" << s.k << " at " << q;
    }
  }
}

}  // namespace
}  // namespace kqopt::barrier
