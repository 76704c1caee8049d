// Basis factorisation: FTRAN/BTRAN accuracy on random and structured bases in
// both update modes, singular repair, header repair, edge cases, updates
// against fresh factorisations, and the refactorisation rule.
#include "simplex/factor/factor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "simplex/factor/factor_check.h"
#include "simplex/factor/factor_samples.h"

namespace kqopt {
namespace {

constexpr double kResidualLimit = 1e-12;

FactorSettings settings_for(std::int32_t ifftup) {
  FactorSettings s;
  s.ifftup = ifftup;
  return s;
}

// Loads a, sparse (nonzero list) or dense, and solves with the factor.
std::vector<double> solve(Factor& f, WorkVector& w, const std::vector<double>& a, bool sparse, bool transposed,
                          bool keep_spike = false) {
  if (sparse) {
    std::vector<std::int32_t> idx;
    std::vector<double> val;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != 0.0) {
        idx.push_back(static_cast<std::int32_t>(i));
        val.push_back(a[i]);
      }
    }
    w.load_sparse(idx, val);
  } else {
    w.load_dense(a);
  }
  if (transposed) {
    f.btran(w);
  } else {
    f.ftran(w, keep_spike);
  }
  std::vector<double> x(w.values().begin(), w.values().end());
  if (w.state() == WorkVectorState::sparse) {
    std::vector<std::uint8_t> listed(a.size(), 0);
    for (const std::int32_t i : w.nonzeros()) listed[static_cast<std::size_t>(i)] = 1;
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_TRUE(listed[i] || x[i] == 0.0) << "unlisted nonzero " << i;
  }
  w.clear();
  return x;
}

// Right-hand sides: unit vectors, nonbasic columns, sparse and dense random.
std::vector<std::vector<double>> right_hand_sides(const SampleBasis& b, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<std::vector<double>> rhs;
  const auto m = static_cast<std::size_t>(b.m);
  for (std::int32_t k = 0; k < 4; ++k) {
    std::vector<double> e(m, 0.0);
    e[rng() % m] = 1.0;
    rhs.push_back(e);
  }
  for (std::int32_t k = 0; k < 3; ++k) rhs.push_back(b.dense_column(b.m + static_cast<std::int32_t>(rng() % b.n)));
  std::vector<double> sparse(m, 0.0);
  for (std::int32_t k = 0; k < 3; ++k) sparse[rng() % m] = sample_value(rng);
  rhs.push_back(sparse);
  std::vector<double> dense(m);
  for (double& v : dense) v = sample_value(rng);
  rhs.push_back(dense);
  return rhs;
}

// Worst scaled FTRAN and BTRAN residuals over the right-hand sides, checking
// that the sparse and dense loads give the same answer.
std::pair<double, double> worst_residuals(Factor& f, const SampleBasis& b, std::uint64_t seed) {
  WorkVector w(b.m);
  double worst_f = 0.0;
  double worst_b = 0.0;
  for (const auto& a : right_hand_sides(b, seed)) {
    const auto x = solve(f, w, a, true, false);
    const auto x_dense = solve(f, w, a, false, false);
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(x[i], x_dense[i], 1e-12 * (1.0 + std::fabs(x[i])));
    worst_f = std::max(worst_f, ftran_residual(b.view(), b.header, x, a));
    const auto y = solve(f, w, a, true, true);
    const auto y_dense = solve(f, w, a, false, true);
    for (std::size_t i = 0; i < y.size(); ++i) {
      EXPECT_NEAR(y[i], y_dense[i], 1e-12 * (1.0 + std::fabs(y[i])));
    }
    worst_b = std::max(worst_b, btran_residual(b.view(), b.header, y, a));
  }
  return {worst_f, worst_b};
}

struct AccuracyCase {
  const char* name;
  std::int32_t m;
  std::int32_t per_column;  // 0: structured basis
  double logical_fraction;
};

TEST(Factor, SolvesRandomAndStructuredBasesAccurately) {
  const std::vector<AccuracyCase> cases = {
      {"one row", 1, 1, 0.0},
      {"tiny", 5, 2, 0.0},
      {"small", 30, 3, 0.2},
      {"medium sparse", 200, 3, 0.3},
      {"medium denser", 200, 8, 0.0},
      {"large", 1000, 4, 0.5},
      {"large all structural", 1000, 3, 0.0},
      {"structured", 500, 0, 0.2},
      {"structured large", 3000, 0, 0.1},
      // Nuclei that fill in and are finished as a dense block.
      {"dense", 80, 80, 0.0},
      {"half dense", 120, 40, 0.1},
      {"filling", 400, 12, 0.0},
  };
  for (const AccuracyCase& c : cases) {
    for (const std::int32_t ifftup : {1, 0}) {
      for (const std::uint64_t seed : {11U, 12U}) {
        SampleBasis b = c.per_column > 0 ? random_sample_basis(c.m, c.per_column, c.logical_fraction, seed)
                                         : structured_sample_basis(c.m, c.logical_fraction, seed);
        Factor f;
        InvertReport report;
        const FactorSettings s = settings_for(ifftup);
        f.start_run(s);
        ASSERT_EQ(f.factorise(b.view(), b.header, s, report), FactorStatus::ok) << c.name;
        const auto [rf, rb] = worst_residuals(f, b, seed + 100);
        EXPECT_LE(rf, kResidualLimit) << c.name << " ftran, ifftup " << ifftup;
        EXPECT_LE(rb, kResidualLimit) << c.name << " btran, ifftup " << ifftup;
        EXPECT_GE(report.factor_entries, c.m);
      }
    }
  }
}

TEST(Factor, AllLogicalBasisSolvesAsIdentity) {
  SampleBasis b = random_sample_basis(50, 3, 1.0, 5);
  Factor f;
  InvertReport report;
  const FactorSettings s;
  ASSERT_EQ(f.factorise(b.view(), b.header, s, report), FactorStatus::ok);
  EXPECT_EQ(report.nucleus_pivots, 0);
  EXPECT_EQ(report.dump_at_exit.logicals_pivoted, 50);
  EXPECT_EQ(report.dump_at_exit.column_etas, 0);
  EXPECT_EQ(report.dump_at_exit.factor_entries, 50);
  EXPECT_EQ(report.dump_at_exit.file_size,
            FactorFile::entries_for_budget(s.workspace_bytes - Factor::work_array_bytes(50)));
  EXPECT_LE(report.dump_at_exit.front_length + report.dump_at_exit.back_length, report.dump_at_exit.file_size);
  for (std::int32_t p = 0; p < 50; ++p) EXPECT_EQ(b.header[static_cast<std::size_t>(p)], p);
  WorkVector w(50);
  std::vector<double> a(50);
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<double>(i) - 7.5;
  EXPECT_EQ(solve(f, w, a, false, false), a);
  EXPECT_EQ(solve(f, w, a, true, true), a);
}

TEST(Factor, IdenticalColumnsGiveOneReplacement) {
  // Columns 0 and 1 are identical; column 2 independent.
  SampleBasis b;
  b.m = 3;
  b.add_column({{0, 2.0}, {1, 1.0}});
  b.add_column({{0, 2.0}, {1, 1.0}});
  b.add_column({{1, 3.0}, {2, 1.0}});
  b.header = {3, 4, 5};
  Factor f;
  InvertReport report;
  const FactorSettings s;
  f.start_run(s);
  ASSERT_EQ(f.factorise(b.view(), b.header, s, report), FactorStatus::ok);
  ASSERT_EQ(report.columns_replaced, std::vector<std::int32_t>{1});
  ASSERT_EQ(f.rejected_variables().size(), 1U);
  EXPECT_TRUE(f.rejected_variables()[0] == 3 || f.rejected_variables()[0] == 4);
  EXPECT_EQ(f.rejected_count(), 1);
  // One logical has come in; the repaired basis factorises without trouble.
  const auto logicals = std::count_if(b.header.begin(), b.header.end(), [](std::int32_t v) { return v < 3; });
  EXPECT_EQ(logicals, 1);
  InvertReport again;
  ASSERT_EQ(f.factorise(b.view(), b.header, s, again), FactorStatus::ok);
  EXPECT_TRUE(again.columns_replaced.empty());
  const auto [rf, rb] = worst_residuals(f, b, 3);
  EXPECT_LE(rf, kResidualLimit);
  EXPECT_LE(rb, kResidualLimit);
}

TEST(Factor, RankDeficientBasesAreRepaired) {
  struct Case {
    const char* name;
    std::int32_t m;
    std::int32_t dependent;  // columns made combinations of others
    std::int32_t ifftup;
    std::int32_t per_column;
  };
  const std::vector<Case> cases = {{"one", 20, 1, 1, 3},      {"several", 200, 7, 1, 3}, {"several pf", 200, 7, 0, 3},
                                   {"many", 1000, 40, 1, 3},  {"dense", 90, 5, 1, 90},   {"dense pf", 90, 5, 0, 90},
                                   {"filling", 300, 6, 1, 15}};
  for (const Case& c : cases) {
    std::mt19937_64 rng(77);
    SampleBasis b = random_sample_basis(c.m, c.per_column, 0.1, 78);
    // Append combinations of two basic structural columns with small integer
    // weights, and swap them into the basis in place of other structurals.
    std::vector<std::int32_t> structural_positions;
    for (std::int32_t p = 0; p < c.m; ++p) {
      if (b.header[static_cast<std::size_t>(p)] >= c.m) structural_positions.push_back(p);
    }
    std::shuffle(structural_positions.begin(), structural_positions.end(), rng);
    for (std::int32_t k = 0; k < c.dependent; ++k) {
      const auto u = b.dense_column(b.header[static_cast<std::size_t>(structural_positions[3 * k])]);
      const auto v = b.dense_column(b.header[static_cast<std::size_t>(structural_positions[3 * k + 1])]);
      std::vector<std::pair<std::int32_t, double>> entries;
      for (std::int32_t i = 0; i < c.m; ++i) {
        const double x = 2.0 * u[static_cast<std::size_t>(i)] - 3.0 * v[static_cast<std::size_t>(i)];
        if (x != 0.0) entries.emplace_back(i, x);
      }
      b.add_column(entries);
      b.header[static_cast<std::size_t>(structural_positions[3 * k + 2])] = c.m + b.n - 1;
    }
    Factor f;
    InvertReport report;
    const FactorSettings s = settings_for(c.ifftup);
    f.start_run(s);
    ASSERT_EQ(f.factorise(b.view(), b.header, s, report), FactorStatus::ok) << c.name;
    const std::int32_t replaced = std::accumulate(report.columns_replaced.begin(), report.columns_replaced.end(), 0);
    EXPECT_GE(replaced, c.dependent) << c.name;
    EXPECT_EQ(f.rejected_count(), replaced);
    std::vector<std::int32_t> sorted = b.header;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "header repeats a variable";
    const auto [rf, rb] = worst_residuals(f, b, 9);
    EXPECT_LE(rf, kResidualLimit) << c.name;
    EXPECT_LE(rb, kResidualLimit) << c.name;
  }
}

TEST(Factor, EmptyRowAndDuplicateLogicalAreRepaired) {
  // Row 2 has no entry in the basic columns and its logical is not basic;
  // logical 0 is listed twice.
  SampleBasis b;
  b.m = 4;
  b.add_column({{1, 1.0}, {3, 2.0}});
  b.add_column({{3, 1.0}});
  b.header = {0, 0, 4, 5};
  Factor f;
  InvertReport report;
  const FactorSettings s;
  ASSERT_EQ(f.factorise(b.view(), b.header, s, report), FactorStatus::ok);
  EXPECT_EQ(report.columns_replaced, std::vector<std::int32_t>{1});
  const auto [rf, rb] = worst_residuals(f, b, 4);
  EXPECT_LE(rf, kResidualLimit);
  EXPECT_LE(rb, kResidualLimit);
}

TEST(Factor, RowWithTinyMaximumIsStillPivoted) {
  // A dense 3 x 3 nucleus whose middle row has entries far below 1e-6.
  SampleBasis b;
  b.m = 3;
  b.add_column({{0, 4.0}, {1, 3e-9}, {2, 1.0}});
  b.add_column({{0, 1.0}, {1, 5e-9}, {2, 3.0}});
  b.add_column({{0, 2.0}, {1, 1e-9}, {2, 5.0}});
  b.header = {3, 4, 5};
  Factor f;
  InvertReport report;
  const FactorSettings s;
  f.start_run(s);
  ASSERT_EQ(f.factorise(b.view(), b.header, s, report), FactorStatus::ok);
  EXPECT_TRUE(report.columns_replaced.empty());
  EXPECT_EQ(report.nucleus_pivots, 3);
  const auto [rf, rb] = worst_residuals(f, b, 2);
  EXPECT_LE(rf, kResidualLimit);
  EXPECT_LE(rb, kResidualLimit);
}

TEST(Factor, WorkspaceBudgetBoundsTheFile) {
  SampleBasis b = random_sample_basis(300, 4, 0.0, 41);
  Factor f;
  FactorSettings s;
  InvertReport report;
  s.workspace_bytes = 1000;
  std::vector<std::int32_t> header = b.header;
  EXPECT_EQ(f.factorise(b.view(), header, s, report), FactorStatus::workspace_exhausted);
  EXPECT_GT(report.workspace_needed, 1000);
  EXPECT_FALSE(f.valid());

  // Just above the work arrays: the file cannot hold the basis.
  s.workspace_bytes = report.workspace_needed + 2000;
  header = b.header;
  InvertReport small;
  EXPECT_EQ(f.factorise(b.view(), header, s, small), FactorStatus::factor_file_full);
  EXPECT_GT(small.dump_at_exit.file_size, 0);

  // Search the smallest budget that works: there the file must compact.
  std::int64_t budget = s.workspace_bytes;
  InvertReport tight;
  for (;; budget += 4000) {
    s.workspace_bytes = budget;
    header = b.header;
    tight = InvertReport{};
    if (f.factorise(b.view(), header, s, tight) == FactorStatus::ok) break;
  }
  EXPECT_GT(tight.compactions, 0);
  b.header = header;
  const auto [rf, rb] = worst_residuals(f, b, 5);
  EXPECT_LE(rf, kResidualLimit);
  EXPECT_LE(rb, kResidualLimit);

  // A huge budget is only touched as far as it is used.
  s.workspace_bytes = std::int64_t{24} << 30;
  header = b.header;
  InvertReport big;
  ASSERT_EQ(f.factorise(b.view(), header, s, big), FactorStatus::ok);
  EXPECT_GT(big.dump_at_exit.file_size, std::int64_t{1} << 30);
  EXPECT_LT(f.bytes_committed(), std::int64_t{16} << 20);
}

}  // namespace
}  // namespace kqopt
