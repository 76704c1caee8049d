// The normal-equations factor on random matrices: residuals for weights over six orders
// of magnitude with and without dense columns split off, ill-conditioned weights, dropped
// pivots of zero rows, a structure without off-diagonal entries and the dense-column
// threshold.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "barrier/cholesky/kkt_factor.h"
#include "barrier/cholesky/normal_matrix_fixtures.h"
#include "barrier/kit/fatal_error.h"

namespace kqopt::barrier {
namespace {

using test::CscMatrix;

struct SolveRun {
  double residual = 0.0;
  bool finite = true;
  std::int32_t dense = 0;
  std::int32_t dropped = 0;
};

SolveRun factor_and_solve(const CscMatrix& a, const std::vector<double>& d, std::int32_t dense_threshold,
                          std::int32_t ordering, std::uint32_t seed, const std::vector<double>& r = {}) {
  SolveRun run;
  auto kkt = KktFactor::create(a.m, a.n, 0);
  EXPECT_NE(kkt, nullptr);
  kkt->set_dense_threshold(dense_threshold);
  kkt->set_ordering(ordering);
  kkt->set_cache_size(64);  // small panels, so that the blocked paths run
  EXPECT_EQ(kkt->autosetup(a.view()), kKktOk);
  EXPECT_EQ(kkt->numfac(d, r), kKktOk);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<double> b(static_cast<std::size_t>(a.m)), x(static_cast<std::size_t>(a.m));
  for (double& v : b) v = val(rng);
  kkt->solve(b, x);
  for (const double v : x) run.finite = run.finite && std::isfinite(v);
  run.residual = test::relative_residual(a.view(), d, r, x, b);
  run.dense = kkt->stats().dense_columns;
  run.dropped = kkt->stats().dropped;
  return run;
}

struct RandomCase {
  std::int32_t m, extra, max_len, long_columns;
  std::uint32_t seed;
};

class NormalEquationsOnRandomMatrices : public ::testing::TestWithParam<RandomCase> {};

TEST_P(NormalEquationsOnRandomMatrices, ResidualWithAndWithoutDenseColumns) {
  const RandomCase c = GetParam();
  const CscMatrix a = test::random_matrix(c.m, c.extra, c.max_len, c.long_columns, c.seed);
  const std::vector<double> d = test::weights(a.n, -3.0, 3.0, c.seed + 100);
  for (const std::int32_t ordering : {0, 1, 2}) {
    const SolveRun plain = factor_and_solve(a, d, 0, ordering, c.seed);
    EXPECT_TRUE(plain.finite);
    EXPECT_LE(plain.residual, 1e-12) << "ordering " << ordering;
    EXPECT_EQ(plain.dense, 0);
  }
  const SolveRun split = factor_and_solve(a, d, 21, 0, c.seed);
  EXPECT_TRUE(split.finite);
  EXPECT_LE(split.residual, 1e-12);
  if (c.long_columns > 0) {
    EXPECT_GE(split.dense, 1);
  }
}

// Several right-hand sides in one pass give each the solution a solve of its own gives,
// with the dense columns in the factor and split off (where each goes its own way).
TEST_P(NormalEquationsOnRandomMatrices, SeveralRightHandSidesAtOnce) {
  const RandomCase c = GetParam();
  const CscMatrix a = test::random_matrix(c.m, c.extra, c.max_len, c.long_columns, c.seed);
  const std::vector<double> d = test::weights(a.n, -3.0, 3.0, c.seed + 200);
  constexpr std::int32_t kCount = 3;
  const auto m = static_cast<std::size_t>(a.m);
  std::mt19937 rng(c.seed);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<double> b(kCount * m), x(kCount * m), one(m);
  for (double& v : b) v = val(rng);
  for (const std::int32_t dense_threshold : {0, 21}) {
    auto kkt = KktFactor::create(a.m, a.n, 0);
    kkt->set_dense_threshold(dense_threshold);
    kkt->set_cache_size(64);
    ASSERT_EQ(kkt->autosetup(a.view()), kKktOk);
    ASSERT_EQ(kkt->numfac(d), kKktOk);
    kkt->solve_multiple(kCount, b, x);
    for (std::size_t k = 0; k < kCount; ++k) {
      const std::vector<double> bk(b.begin() + static_cast<std::ptrdiff_t>(k * m),
                                   b.begin() + static_cast<std::ptrdiff_t>((k + 1) * m));
      const std::vector<double> xk(x.begin() + static_cast<std::ptrdiff_t>(k * m),
                                   x.begin() + static_cast<std::ptrdiff_t>((k + 1) * m));
      kkt->solve(bk, one);
      EXPECT_EQ(xk, one) << "right-hand side " << k << ", dense threshold " << dense_threshold;
      EXPECT_LE(test::relative_residual(a.view(), d, {}, xk, bk), 1e-12);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, NormalEquationsOnRandomMatrices,
                         ::testing::Values(RandomCase{50, 40, 4, 0, 11}, RandomCase{200, 300, 6, 3, 12},
                                           RandomCase{400, 500, 8, 5, 13}, RandomCase{300, 100, 20, 2, 14},
                                           RandomCase{600, 1200, 5, 8, 15}, RandomCase{150, 600, 12, 0, 16}));

TEST(BarrierNormalEquations, IllConditionedWeightsGiveNoNaN) {
  for (const std::uint32_t seed : {21u, 22u, 23u}) {
    const CscMatrix a = test::random_matrix(300, 400, 6, 3, seed);
    const std::vector<double> d = test::weights(a.n, -12.0, 12.0, seed + 7);
    for (const std::int32_t threshold : {0, 21}) {
      const SolveRun run = factor_and_solve(a, d, threshold, 0, seed);
      EXPECT_TRUE(run.finite) << seed;
      // Dropped pivots solve a nearby matrix: the residual stays small, not at rounding level.
      EXPECT_LE(run.residual, 1e-8) << seed << " threshold " << threshold;
    }
  }
}

TEST(BarrierNormalEquations, ZeroRowPivotIsDroppedNotFailed) {
  // Row 1 has no entries: its pivot is zero, replaced by max(a(kk), 1) = 1.
  CscMatrix a;
  a.m = 3;
  a.add_column({{0, 1.0}, {2, 2.0}});
  a.add_column({{0, 1.0}});
  a.add_column({{2, 3.0}});
  auto kkt = KktFactor::create(3, 3, 1);
  ASSERT_EQ(kkt->adasetup(a.view()), kKktOk);
  ASSERT_EQ(kkt->numfac(std::vector<double>{1.0, 1.0, 1.0}), kKktOk);
  EXPECT_EQ(kkt->stats().dropped, 1);
  std::vector<double> b = {1.0, 5.0, 1.0}, x(3);
  kkt->solve(b, x);
  EXPECT_EQ(x[1], 5.0);
  for (const double v : x) EXPECT_TRUE(std::isfinite(v));
}

TEST(BarrierNormalEquations, NoOffDiagonalStructureSolvesByDivision) {
  CscMatrix a;
  a.m = 4;
  for (std::int32_t i = 0; i < 4; ++i) a.add_column({{i, 2.0}});
  auto kkt = KktFactor::create(4, 4, 1);
  ASSERT_EQ(kkt->adasetup(a.view()), kKktOk);
  EXPECT_EQ(kkt->stats().nnz_aat, 0);
  EXPECT_EQ(kkt->stats().nnz_l, 4);
  ASSERT_EQ(kkt->numfac(std::vector<double>{1.0, 2.0, 3.0, 4.0}), kKktOk);
  std::vector<double> b = {4.0, 8.0, 12.0, 16.0}, x(4);
  kkt->solve(b, x);
  for (const double v : x) EXPECT_DOUBLE_EQ(v, 1.0);
}

TEST(BarrierNormalEquations, ThresholdsAndStatuses) {
  const CscMatrix a = test::random_matrix(200, 200, 4, 4, 31);
  auto kkt = KktFactor::create(200, a.n, 1);
  kkt->set_dense_threshold(5);  // acts as 20
  ASSERT_EQ(kkt->adasetup(a.view()), kKktOk);
  EXPECT_EQ(kkt->stats().dense_columns, 4);
  auto plain = KktFactor::create(200, a.n, 1);
  ASSERT_EQ(plain->adasetup(a.view()), kKktOk);
  EXPECT_EQ(plain->stats().dense_columns, 0);
  auto wrong = KktFactor::create(201, a.n, 1);
  EXPECT_EQ(wrong->adasetup(a.view()), kKktDimensionMismatch);
  CscMatrix bad = a;
  bad.row[3] = 200;
  auto out = KktFactor::create(200, a.n, 1);
  EXPECT_EQ(out->adasetup(bad.view()), kKktIndexOutOfRange);
  auto lu = KktFactor::create(200, a.n, 4);
  std::vector<double> b(200, 1.0), x(200);
  EXPECT_EQ(guard_barrier(nullptr, 1,
                          [&]() -> std::int32_t {
                            lu->solve(b, x);
                            return 0;
                          }),
            kBarrierFatalCode);
}

// Parallel columns are folded into their head: the result is the same matrix.
TEST(BarrierNormalEquations, ParallelColumnsAreFoldedIntoOne) {
  CscMatrix a = test::random_matrix(100, 80, 5, 0, 41);
  const std::int32_t base = a.n;
  for (std::int32_t j = 0; j < 20; ++j) {
    std::vector<std::pair<std::int32_t, double>> entries;
    for (auto p = a.start[static_cast<std::size_t>(j + 100)]; p < a.start[static_cast<std::size_t>(j + 101)]; ++p) {
      entries.emplace_back(a.row[static_cast<std::size_t>(p)], -3.0 * a.value[static_cast<std::size_t>(p)]);
    }
    a.add_column(entries);
  }
  ASSERT_EQ(a.n, base + 20);
  const std::vector<double> d = test::weights(a.n, -3.0, 3.0, 42);
  auto kkt = KktFactor::create(a.m, a.n, 1);
  ASSERT_EQ(kkt->adasetup(a.view()), kKktOk);
  EXPECT_GE(kkt->stats().grouped_columns, 20);
  ASSERT_EQ(kkt->numfac(d), kKktOk);
  std::vector<double> b(100, 1.0), x(100);
  kkt->solve(b, x);
  EXPECT_LE(test::relative_residual(a.view(), d, {}, x, b), 1e-12);
}

}  // namespace
}  // namespace kqopt::barrier

namespace kqopt::barrier {
namespace {

// Rows in pairs reached by one sparse column each: without its three long columns the
// sparse part is singular, and the split is abandoned at the first factorisation.
TEST(BarrierNormalEquations, SplitLeavingTheSparsePartSingularIsAbandoned) {
  CscMatrix a;
  a.m = 60;
  for (std::int32_t i = 0; i < 30; ++i) a.add_column({{2 * i, 1.0}, {2 * i + 1, 2.0}});
  std::mt19937 rng(9);
  for (std::int32_t k = 0; k < 3; ++k) {
    std::vector<std::pair<std::int32_t, double>> entries;
    for (std::int32_t i = k; i < 60; i += 2) entries.emplace_back(i, 1.0 + 0.1 * (rng() % 7));
    a.add_column(entries);
  }
  auto kkt = KktFactor::create(a.m, a.n, 1);
  kkt->set_dense_threshold(20);
  ASSERT_EQ(kkt->adasetup(a.view()), kKktOk);
  EXPECT_EQ(kkt->stats().dense_columns, 3);
  const std::vector<double> d = test::weights(a.n, -2.0, 2.0, 3);
  ASSERT_EQ(kkt->numfac(d), kKktOk);
  EXPECT_EQ(kkt->stats().dense_columns, 0);
  // A consistent right-hand side: b = M x0.
  std::vector<double> x0(60), b(60, 0.0), x(60);
  for (std::int32_t i = 0; i < 60; ++i) x0[static_cast<std::size_t>(i)] = std::sin(i + 1.0);
  for (std::int32_t j = 0; j < a.n; ++j) {
    double dot = 0.0;
    for (auto p = a.start[static_cast<std::size_t>(j)]; p < a.start[static_cast<std::size_t>(j) + 1]; ++p) {
      dot += a.value[static_cast<std::size_t>(p)] * x0[static_cast<std::size_t>(a.row[static_cast<std::size_t>(p)])];
    }
    for (auto p = a.start[static_cast<std::size_t>(j)]; p < a.start[static_cast<std::size_t>(j) + 1]; ++p) {
      b[static_cast<std::size_t>(a.row[static_cast<std::size_t>(p)])] +=
          d[static_cast<std::size_t>(j)] * dot * a.value[static_cast<std::size_t>(p)];
    }
  }
  kkt->solve(b, x);
  EXPECT_LE(test::relative_residual(a.view(), d, {}, x, b), 1e-12);
}

}  // namespace
}  // namespace kqopt::barrier

namespace kqopt::barrier {
namespace {

// A with two rows that are sums of others: the factor that drops their pivots solves the
// system of the rows kept as a factor of those rows alone does, and is zero at the others.
TEST(BarrierNormalEquations, KeptRowsSolveMatchesTheFactorOfThoseRows) {
  const CscMatrix base = test::random_matrix(60, 80, 5, 0, 7);
  CscMatrix a;
  a.m = base.m + 2;
  for (std::int32_t j = 0; j < base.n; ++j) {
    std::vector<std::pair<std::int32_t, double>> entries;
    double r0 = 0.0, r1 = 0.0;
    for (std::int64_t k = base.start[static_cast<std::size_t>(j)]; k < base.start[static_cast<std::size_t>(j) + 1]; ++k) {
      const std::int32_t i = base.row[static_cast<std::size_t>(k)];
      const double v = base.value[static_cast<std::size_t>(k)];
      entries.emplace_back(i, v);
      if (i < 10) r0 += v;
      if (i % 7 == 3) r1 += 2.0 * v;
    }
    if (r0 != 0.0) entries.emplace_back(base.m, r0);
    if (r1 != 0.0) entries.emplace_back(base.m + 1, r1);
    a.add_column(entries);
  }
  const std::vector<double> ones(static_cast<std::size_t>(a.n), 1.0);
  auto full = KktFactor::create(a.m, a.n, 0);
  full->set_cache_size(64);
  ASSERT_EQ(full->autosetup(a.view()), kKktOk);
  full->set_pivot_tolerance(1.0e-9);
  ASSERT_EQ(full->numfac(ones), kKktOk);
  ASSERT_EQ(full->stats().dropped, 2);
  std::vector<bool> dropped(static_cast<std::size_t>(a.m), false);
  const SymbolicFactor& s = full->cholesky()->symbolic();
  for (std::int32_t k = 0; k < a.m; ++k) {
    if (full->cholesky()->dropped_at(k)) dropped[static_cast<std::size_t>(s.perm[static_cast<std::size_t>(k)])] = true;
  }
  // The rows kept, as a matrix of their own.
  std::vector<std::int32_t> map(static_cast<std::size_t>(a.m), -1);
  CscMatrix kept;
  for (std::int32_t i = 0; i < a.m; ++i) {
    if (!dropped[static_cast<std::size_t>(i)]) map[static_cast<std::size_t>(i)] = kept.m++;
  }
  for (std::int32_t j = 0; j < a.n; ++j) {
    std::vector<std::pair<std::int32_t, double>> entries;
    for (std::int64_t k = a.start[static_cast<std::size_t>(j)]; k < a.start[static_cast<std::size_t>(j) + 1]; ++k) {
      const std::int32_t i = map[static_cast<std::size_t>(a.row[static_cast<std::size_t>(k)])];
      if (i >= 0) entries.emplace_back(i, a.value[static_cast<std::size_t>(k)]);
    }
    kept.add_column(entries);
  }
  auto reduced = KktFactor::create(kept.m, kept.n, 0);
  ASSERT_EQ(reduced->autosetup(kept.view()), kKktOk);
  ASSERT_EQ(reduced->numfac(ones), kKktOk);
  ASSERT_EQ(reduced->stats().dropped, 0);

  std::mt19937 rng(11);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<double> b(static_cast<std::size_t>(a.m)), x(static_cast<std::size_t>(a.m));
  for (double& v : b) v = val(rng);
  ASSERT_TRUE(full->solve_kept_rows(b, x));
  std::vector<double> bk(static_cast<std::size_t>(kept.m)), xk(static_cast<std::size_t>(kept.m));
  for (std::int32_t i = 0; i < a.m; ++i) {
    if (map[static_cast<std::size_t>(i)] >= 0) bk[static_cast<std::size_t>(map[static_cast<std::size_t>(i)])] = b[static_cast<std::size_t>(i)];
  }
  reduced->solve(bk, xk);
  for (std::int32_t i = 0; i < a.m; ++i) {
    const std::int32_t r = map[static_cast<std::size_t>(i)];
    if (r < 0) {
      EXPECT_EQ(x[static_cast<std::size_t>(i)], 0.0) << i;
    } else {
      EXPECT_NEAR(x[static_cast<std::size_t>(i)], xk[static_cast<std::size_t>(r)], 1.0e-9 * (1.0 + std::fabs(xk[static_cast<std::size_t>(r)]))) << i;
    }
  }
}

}  // namespace
}  // namespace kqopt::barrier
