// The normal-equations factor on the A A' of every shared Netlib problem (objective rows
// left out): residual of a consistent system with weights over six orders of magnitude,
// with the dense columns kept in and split off. Skips when the data directory is absent.
// Run alone with  kqopt_instance_tests --gtest_filter='BarrierNetlib*'
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "barrier/cholesky/kkt_factor.h"
#include "barrier/cholesky/normal_matrix_fixtures.h"
#include "input/input_problem.h"
#include "library/control_access.h"
#include "library/library.h"
#include "problem/problem.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt::barrier {
namespace {

// The constraint matrix of the loaded problem, N rows removed.
bool load_constraints(const std::string& path, test::CscMatrix& a) {
  kqopt::test::TestLibrary t;
  t->controls.i(icv::PRNLVL) = 0;
  input::input_problem(t.lib(), path.c_str());
  if (!t->has_problem()) return false;
  const Problem& p = *t->problem;
  std::vector<std::int32_t> new_row(static_cast<std::size_t>(p.row_slots()), -1);
  a = test::CscMatrix{};
  for (std::int32_t i = 0; i < p.rows; ++i) {
    if (p.row_type[static_cast<std::size_t>(i)] != row_type::kFree) new_row[static_cast<std::size_t>(i)] = a.m++;
  }
  const ColumnMatrix& c = p.by_column;
  for (std::int32_t j = 0; j < p.columns; ++j) {
    std::vector<std::pair<std::int32_t, double>> entries;
    for (std::int32_t q = c.start[static_cast<std::size_t>(j)]; q < c.start[static_cast<std::size_t>(j) + 1]; ++q) {
      const std::int32_t i = new_row[static_cast<std::size_t>(c.row[static_cast<std::size_t>(q)])];
      if (i >= 0 && c.value[static_cast<std::size_t>(q)] != 0.0)
        entries.emplace_back(i, c.value[static_cast<std::size_t>(q)]);
    }
    a.add_column(entries);
  }
  return true;
}

TEST(BarrierNetlib, ResidualOfTheNormalEquations) {
  KQOPT_REQUIRE_SHARED_DATA();
  const std::filesystem::path dir = std::filesystem::path(kqopt::test::shared_data_dir()) / "netlib";
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (e.path().extension() == ".mps") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  std::int32_t checked = 0;
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    test::CscMatrix a;
    ASSERT_TRUE(load_constraints(file.string(), a));
    const std::vector<double> d = test::weights(a.n, -3.0, 3.0, 7);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> val(-1.0, 1.0);
    std::vector<double> x0(static_cast<std::size_t>(a.m)), b(static_cast<std::size_t>(a.m), 0.0);
    for (double& v : x0) v = val(rng);
    // b = A D A' x0: a consistent right-hand side, also where A has dependent rows.
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
    for (const std::int32_t threshold : {0, 40}) {
      auto kkt = KktFactor::create(a.m, a.n, 0);
      kkt->set_dense_threshold(threshold);
      ASSERT_EQ(kkt->autosetup(a.view()), kKktOk);
      ASSERT_EQ(kkt->numfac(d), kKktOk);
      std::vector<double> x(static_cast<std::size_t>(a.m));
      kkt->solve(b, x);
      const double residual = test::relative_residual(a.view(), d, {}, x, b);
      EXPECT_LE(residual, 1e-12) << "dense threshold " << threshold << " dense columns " << kkt->stats().dense_columns
                                 << " dropped " << kkt->stats().dropped;
    }
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace kqopt::barrier
