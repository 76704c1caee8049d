// INVERT driver: header repair from the statuses, singular repair carried into the
// statuses, basic values, the accuracy retry, the growth guard, and columns that list a
// row twice refused by the factorisation instead of aborting.
#include "simplex/core/invert_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "simplex/factor/factor_check.h"
#include "simplex/factor/factor_samples.h"

namespace kqopt {
namespace {

constexpr double kResidualLimit = 1e-12;

// A working LP over a sample basis: bounds [0, 1] everywhere, rhs of the given scale,
// the sample's header basic and everything else at its lower bound.
struct TestLp {
  WorkingLp lp;
  SimplexBasis basis;

  TestLp(const SampleBasis& b, double rhs_scale) {
    lp.rows = b.m;
    lp.columns = b.n;
    lp.column_start = b.start;
    lp.row_index = b.index;
    lp.value = b.value;
    const auto total = static_cast<std::size_t>(b.m + b.n);
    lp.cost.assign(total, 0.0);
    lp.lower.assign(total, 0.0);
    lp.upper.assign(total, 1.0);
    lp.rhs.resize(static_cast<std::size_t>(b.m));
    for (std::int32_t i = 0; i < b.m; ++i) lp.rhs[static_cast<std::size_t>(i)] = rhs_scale * (1.0 + i % 7);
    basis.header = b.header;
    basis.status.assign(total, VariableStatus::at_lower);
    basis.x.assign(total, 0.0);
    for (const std::int32_t v : b.header) basis.status[static_cast<std::size_t>(v)] = VariableStatus::basic;
  }
  FactorStatus invert(Factor& f, const FactorSettings& s, InvertReport& report) {
    return invert_basis(lp, lp.lower, lp.upper, basis, f, s, report);
  }
  std::int64_t basic_count() const {
    return std::count(basis.status.begin(), basis.status.end(), VariableStatus::basic);
  }
};

TEST(InvertDriver, SurplusBasicsAreMadeNonbasic) {
  SampleBasis b = random_sample_basis(40, 3, 0.5, 21);
  TestLp t(b, 1.0);
  // Two more structurals marked basic than there are rows.
  std::int32_t extra = 0;
  for (std::int32_t v = b.m + b.n - 1; extra < 2; --v) {
    if (t.basis.status[static_cast<std::size_t>(v)] != VariableStatus::basic) {
      t.basis.status[static_cast<std::size_t>(v)] = VariableStatus::basic;
      ++extra;
    }
  }
  Factor f;
  InvertReport report;
  const FactorSettings s;
  f.start_run(s);
  ASSERT_EQ(t.invert(f, s, report), FactorStatus::ok);
  EXPECT_EQ(report.surplus_made_nonbasic, 2);
  EXPECT_EQ(report.logicals_made_basic, 0);
  EXPECT_EQ(t.basic_count(), b.m);
  EXPECT_EQ(static_cast<std::int32_t>(t.basis.header.size()), b.m);
}

TEST(InvertDriver, MissingBasicsAreMadeUpByLogicals) {
  SampleBasis b = random_sample_basis(40, 3, 0.0, 22);
  TestLp t(b, 1.0);
  t.basis.status[static_cast<std::size_t>(b.header[0])] = VariableStatus::at_lower;
  t.basis.status[static_cast<std::size_t>(b.header[1])] = VariableStatus::at_upper;
  Factor f;
  InvertReport report;
  const FactorSettings s;
  f.start_run(s);
  ASSERT_EQ(t.invert(f, s, report), FactorStatus::ok);
  EXPECT_EQ(report.logicals_made_basic, 2);
  EXPECT_EQ(t.basis.status[0], VariableStatus::basic);
  EXPECT_EQ(t.basic_count(), b.m);
}

TEST(InvertDriver, ComputesBasicValuesAndRepairsStatuses) {
  SampleBasis b;
  b.m = 3;
  b.add_column({{0, 1.0}, {1, 1.0}});
  b.add_column({{0, 1.0}, {1, 1.0}});  // identical: one is rejected
  b.add_column({{2, 2.0}});
  b.add_column({{0, 1.0}, {2, 1.0}});  // nonbasic at its upper bound
  b.header = {3, 4, 5};
  TestLp t(b, 1.0);
  // Variables 3 and 4 only have a finite upper bound.
  for (const std::size_t v : {3u, 4u}) t.lp.lower[v] = -1e30;
  t.basis.status[6] = VariableStatus::at_upper;
  Factor f;
  InvertReport report;
  const FactorSettings s;
  f.start_run(s);
  ASSERT_EQ(t.invert(f, s, report), FactorStatus::ok);
  EXPECT_EQ(report.columns_replaced, std::vector<std::int32_t>{1});
  const std::int32_t rejected = f.rejected_variables()[0];
  EXPECT_EQ(t.basis.status[static_cast<std::size_t>(rejected)], VariableStatus::at_upper);
  EXPECT_EQ(t.basis.x[static_cast<std::size_t>(rejected)], 1.0);
  EXPECT_EQ(t.basis.position[static_cast<std::size_t>(rejected)], -1);
  // b - a_6 * 1 - (rejected column at its upper bound 1) = B x_B.
  std::vector<double> rest = t.lp.rhs;
  for (const auto& [i, v] : std::vector<std::pair<int, double>>{{0, 1.0}, {2, 1.0}, {0, 1.0}, {1, 1.0}}) {
    rest[static_cast<std::size_t>(i)] -= v;
  }
  std::vector<double> xb(3);
  for (std::size_t p = 0; p < 3; ++p) xb[p] = t.basis.x[static_cast<std::size_t>(t.basis.header[p])];
  EXPECT_LE(ftran_residual(b.view(), t.basis.header, xb, rest), kResidualLimit);
  EXPECT_FALSE(report.doubtful);
  EXPECT_LT(report.residual_measure, 1e-8);
}

TEST(InvertDriver, InaccurateSolutionRetriesOnceWithLargerThreshold) {
  // Right-hand sides of 1e14 leave absolute residuals far above 1e-8.
  SampleBasis b = random_sample_basis(60, 6, 0.0, 31);
  TestLp t(b, 1e14);
  Factor f;
  FactorSettings s;
  f.start_run(s);
  InvertReport report;
  ASSERT_EQ(t.invert(f, s, report), FactorStatus::ok);
  EXPECT_TRUE(report.doubtful);
  EXPECT_TRUE(report.retried_with_larger_threshold);
  EXPECT_EQ(f.pivot_threshold(), 0.15);
  EXPECT_TRUE(f.doubtful());
  // The threshold stays raised for the run: no second retry.
  InvertReport again;
  ASSERT_EQ(t.invert(f, s, again), FactorStatus::ok);
  EXPECT_FALSE(again.retried_with_larger_threshold);
  // A new run starts from ZTOLRI with the mark cleared.
  f.start_run(s);
  EXPECT_EQ(f.pivot_threshold(), 0.01);
  EXPECT_FALSE(f.doubtful());
}

// A cycle of 2 x 2 steps: row i holds delta in column i and 1 in column i + 1 (the
// last row wraps to column 0). Every row and column has two entries, so all of it is
// nucleus and every pivot costs the same; delta passes the threshold test at u = 0.01
// and each elimination multiplies the fill carried along the last row by 1 / delta.
SampleBasis growth_cycle(std::int32_t m, double delta) {
  SampleBasis b;
  b.m = m;
  for (std::int32_t j = 0; j < m; ++j) {
    const std::int32_t above = (j + m - 1) % m;  // the row whose off-diagonal 1 is in column j
    b.add_column({{j, delta}, {above, 1.0}});    // delta first: the pivot search meets it first
  }
  for (std::int32_t j = 0; j < m; ++j) b.header.push_back(m + j);
  return b;
}

TEST(InvertDriver, GrowthGuardRefactorisesWithSaferThreshold) {
  const SampleBasis b = growth_cycle(12, 0.02);
  // The factorisation alone at u = 0.01 shows the growth.
  {
    Factor f;
    FactorSettings s;
    f.start_run(s);
    InvertReport report;
    std::vector<std::int32_t> header = b.header;
    ASSERT_EQ(f.factorise(b.view(), header, s, report), FactorStatus::ok);
    EXPECT_EQ(report.largest_active_entry, 1.0);
    EXPECT_GT(report.element_growth(), kGrowthLimit);
  }
  TestLp t(b, 1.0);
  Factor f;
  FactorSettings s;
  f.start_run(s);
  InvertReport report;
  ASSERT_EQ(t.invert(f, s, report), FactorStatus::ok);
  EXPECT_TRUE(report.growth_refactorised);
  EXPECT_GT(report.growth_seen, kGrowthLimit);
  EXPECT_EQ(report.pivot_threshold, kGrowthThreshold);
  EXPECT_LE(report.element_growth(), 100.0);
  EXPECT_LT(report.residual_measure, 1e-12);
  EXPECT_TRUE(report.columns_replaced.empty());
}

TEST(InvertDriver, ColumnListingARowTwiceIsRefusedNotTrusted) {
  SampleBasis b;
  b.m = 3;
  b.add_column({{0, 1.0}, {1, 2.0}, {0, 3.0}});
  b.add_column({{1, 1.0}, {2, 1.0}});
  b.add_column({{2, 4.0}, {0, 1.0}});
  b.header = {3, 4, 5};
  Factor f;
  FactorSettings s;
  f.start_run(s);
  InvertReport report;
  std::vector<std::int32_t> header = b.header;
  EXPECT_EQ(f.factorise(b.view(), header, s, report), FactorStatus::internal_error);
  EXPECT_FALSE(f.valid());
  // A row index out of range likewise.
  b.index[1] = 7;
  b.index[2] = 1;
  header = b.header;
  EXPECT_EQ(f.factorise(b.view(), header, s, report), FactorStatus::internal_error);
}

}  // namespace
}  // namespace kqopt
