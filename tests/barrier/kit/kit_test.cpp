// The interior-point kit: time formatting, the fatal reports and their unwinding to the
// guard, the pooled sparse matrix and the dense kernels' special cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "barrier/kit/clock.h"
#include "barrier/kit/dense_kernels.h"
#include "barrier/kit/fatal_error.h"
#include "barrier/kit/report.h"
#include "barrier/kit/sparse_matrix.h"
#include "barrier/kit/work_space.h"

namespace kqopt::barrier {
namespace {

std::string capture(void (*print)(std::FILE*)) {
  std::FILE* f = std::tmpfile();
  print(f);
  std::fflush(f);
  std::rewind(f);
  std::string s;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) s += static_cast<char>(c);
  std::fclose(f);
  return s;
}

template <typename F>
std::string fatal_report(F&& f, int* status = nullptr) {
  try {
    f();
  } catch (const BarrierFatal& e) {
    if (status != nullptr) *status = e.exit_status();
    return e.report();
  }
  return "no report";
}

TEST(BarrierClock, FormatsHundredths) {
  EXPECT_EQ(format_time(5), "0.05");
  EXPECT_EQ(format_time(250), "2.50");
  EXPECT_EQ(format_time(1200), "12.00");
  EXPECT_EQ(format_time(1234), "12.34");
  EXPECT_EQ(clock_now() % 100, 0);
}

TEST(BarrierReport, FixedLayouts) {
  EXPECT_EQ(capture([](std::FILE* f) { report::begin_section(f, "Setup"); }), "\n--- BEGIN Setup");
  EXPECT_EQ(capture([](std::FILE* f) { report::end_section(f, "Setup", 250); }), "\n--- END Setup [2.50]");
  EXPECT_EQ(capture([](std::FILE* f) { report::end_section(f, "Setup"); }), "\n--- END Setup");
  EXPECT_EQ(capture([](std::FILE* f) { report::name_int(f, -6, "dcol", 4, 12); }), "dcol  :   12");
  EXPECT_EQ(capture([](std::FILE* f) { report::name_real(f, 4, "x", 6, 2, 1.5); }), "   x:   1.50");
  EXPECT_EQ(capture([](std::FILE* f) { report::field(f, "Modul", "svector"); }), "\nModul           : svector");
}

TEST(BarrierFatal, ReportsCarryTheirFixedTexts) {
  int status = -1;
  EXPECT_EQ(fatal_report([] { fatal_error("kktfack", "kktfac_adasolve", "Wrong factor type"); }, &status),
            "\n*** ORBI fatal error.\nModul: kktfack\nProc.: kktfac_adasolve\nMes. : Wrong factor type"
            "\nContact your software supplier.\n");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(fatal_report([] { fatal_argument("prque", "pq_putp", 2, -4); }, &status),
            "\n*** ORBI fatal argument error.\nModul     : prque\nProc.     : pq_putp\nArg. num. : 2\nArg. val. : -4");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(fatal_report([] { fatal_kind("svector", "samx_transpose", FatalKind::kSpace); }),
            "\n*** ORBI fatal error.\nModul: svector\nProc.: samx_transpose\nType : Space error.");
  const std::string ws = fatal_report([] { check_work_area("homopt", "hom_init", false, 10, 12); });
  EXPECT_NE(ws.find("\nError type      : Work space"), std::string::npos) << ws;
  EXPECT_NE(ws.find("\nMes.            : Out of real workspace"), std::string::npos) << ws;
  EXPECT_NE(ws.find("\nSupply          : 10\nDemand          : 12"), std::string::npos) << ws;
  EXPECT_NE(ws.find("messeges and contact"), std::string::npos);
  EXPECT_EQ(fatal_report([] { blas_gemv('X', 1, 1, 1.0, nullptr, 1, nullptr, 0.0, nullptr); }),
            "\nBLAS error.\nProc.     : blas_gemv\nArgument  : 1");
}

// A fatal check deep inside unwinds to the guard: the report is printed, the code is 32
// and the process goes on.
TEST(BarrierFatal, GuardTurnsReportsIntoReturnCode32) {
  std::FILE* f = std::tmpfile();
  const std::int32_t rc = guard_barrier(f, 1, []() -> std::int32_t {
    ivec_swap(nullptr, -1, 0);
    return 0;
  });
  EXPECT_EQ(rc, kBarrierFatalCode);
  std::rewind(f);
  char buffer[256] = {};
  const std::size_t got = std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  EXPECT_NE(std::string(buffer, got).find("Negativ index"), std::string::npos);
  EXPECT_EQ(guard_barrier(nullptr, 1, []() -> std::int32_t { throw std::bad_alloc(); }), 1);
  EXPECT_EQ(guard_barrier(nullptr, 1, []() -> std::int32_t { return 0; }), 0);
}

TEST(BarrierWorkSpace, ZeroSizeAndZeroFill) {
  EXPECT_EQ(alloc_ints(0), nullptr);
  auto d = alloc_doubles(16);
  ASSERT_NE(d, nullptr);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(d[k], 0.0);
  free_space(d);
  EXPECT_EQ(d, nullptr);
}

TEST(BarrierSparseMatrix, PoolsTransposeAndProducts) {
  // A = [1 0 2; 0 3 0; 4 0 5] by columns.
  auto a = SparseMatrix::create(3);
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(a->attach_pools(5));
  const std::vector<std::vector<std::pair<int, double>>> cols = {
      {{2, 4.0}, {0, 1.0}}, {{1, 3.0}}, {{0, 2.0}, {2, 5.0}}};
  for (int j = 0; j < 3; ++j) {
    ASSERT_TRUE(a->vecalloc(j, static_cast<int>(cols[j].size())));
    SparseVectorView v = a->getai(j);
    for (std::size_t k = 0; k < cols[j].size(); ++k) {
      v.index[k] = cols[j][k].first;
      v.value[k] = cols[j][k].second;
    }
  }
  EXPECT_FALSE(a->vecalloc(0, 3));  // pool full
  EXPECT_TRUE(a->vecalloc(0, 2));   // fits its own slice
  auto at = SparseMatrix::create(1);
  samx_transpose(3, *a, *at);
  ASSERT_EQ(at->count(), 3);
  SparseVectorView r0 = at->getai(0);
  ASSERT_EQ(r0.length, 2);
  EXPECT_EQ(r0.index[0], 0);
  EXPECT_EQ(r0.index[1], 2);
  EXPECT_EQ(r0.value[1], 2.0);
  SparseVectorView r2 = at->getai(2);
  EXPECT_EQ(r2.index[0], 0);  // increasing
  EXPECT_EQ(r2.value[0], 4.0);
  std::vector<double> x = {1, 1, 1}, y(3, 0.0);
  a->gemv(1.0, x, y);
  EXPECT_EQ(y, (std::vector<double>{3, 3, 9}));
  std::fill(y.begin(), y.end(), 0.0);
  a->gemvv(2.0, x, y);
  EXPECT_EQ(y, (std::vector<double>{10, 6, 14}));
  std::vector<double> c(9, 0.0);
  a->gemm2(std::vector<double>{1, 1, 1}, 3, c);
  EXPECT_EQ(c[0], 5.0);   // 1 + 4
  EXPECT_EQ(c[2], 14.0);  // 1*4 + 2*5
  a->truncate(0, 1);
  EXPECT_EQ(a->getai(0).length, 1);
  EXPECT_NE(fatal_report([&] { a->truncate(0, 2); }).find("Arg. num. : 2"), std::string::npos);
}

TEST(BarrierSparseMatrix, VectorOnePastTheEndIsFatalArgumentTwo) {
  auto a = SparseMatrix::create(4);
  EXPECT_EQ(fatal_report([&] { a->getai(4); }),
            "\nrow=4\n*** ORBI fatal argument error.\nModul     : svector\nProc.     : samx_getai\nArg. num. : 2"
            "\nArg. val. : 4");
}

TEST(BarrierDenseKernels, ScaleSpecialCasesAndStrides) {
  std::vector<double> x = {1.0, -2.0, 3.0};
  rvec_scale(3, -1.0, x.data());
  EXPECT_EQ(x, (std::vector<double>{-1.0, 2.0, -3.0}));
  const std::vector<std::int32_t> mark = {1, 0, 1};
  rvec_scale(3, 0.0, x.data(), {}, mark.data());
  EXPECT_EQ(x, (std::vector<double>{0.0, 2.0, 0.0}));
  std::vector<double> nan = {std::nan("")};
  rvec_scale(1, 1.0, nan.data());  // untouched, not multiplied
  EXPECT_TRUE(std::isnan(nan[0]));
  const std::vector<std::int32_t> list = {0};
  EXPECT_NE(fatal_report([&] { rvec_scale(3, 2.0, x.data(), list, mark.data()); }), "no report");
  const double src[3] = {1, 2, 3};
  double dst[3] = {};
  rvec_copy(3, src, -1, dst, 1);
  EXPECT_EQ(dst[0], 3.0);
  EXPECT_EQ(dst[2], 1.0);
  const double m[4] = {1, 2, 3, 4};  // [1 3; 2 4]
  double y[2] = {1, 1};
  const double v[2] = {1, 1};
  blas_gemv('T', 2, 2, 1.0, m, 2, v, 2.0, y);
  EXPECT_EQ(y[0], 5.0);
  EXPECT_EQ(y[1], 9.0);
  std::vector<std::int32_t> keys = {2, 0, 2, 1}, head(3), next(4);
  ivec_buckets(4, keys.data(), 3, head.data(), next.data());
  EXPECT_EQ(head[2], 0);
  EXPECT_EQ(next[0], 2);
  std::vector<std::int32_t> moved = {0, 1, 2, 3};
  ivec_move(moved.data(), 0, 3);
  EXPECT_EQ(moved, (std::vector<std::int32_t>{1, 2, 3, 0}));
}

}  // namespace
}  // namespace kqopt::barrier
