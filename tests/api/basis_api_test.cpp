// The basis operations as a host uses them: only the public header and the shared
// library. Small literal LPs with bases worked out by hand for the edge cases, and
// round trips on netlib problems: the basis reloaded gives the optimum without an
// iteration, FTRAN and BTRAN agree with the basis and the prices, and the candidates
// of KQGETPIVOTS pass a brute-force ratio test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "kqopt.h"

namespace {

constexpr double kInf = 9.999999999999999e29;
constexpr double kFeasibilityTolerance = 1e-6;  // ZTOLZE default

std::vector<std::string> g_lines;
void capture(const char* text, int32_t length, int32_t) {
  if (text) g_lines.emplace_back(text, static_cast<std::size_t>(length));
}
bool printed(const std::string& text) {
  for (const auto& line : g_lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

int32_t int_attribute(int32_t n) {
  int32_t v = -1;
  EXPECT_EQ(KQGETIPV(n, &v), 0);
  return v;
}
double double_attribute(int32_t n) {
  double v = 0.0;
  EXPECT_EQ(KQGETDPV(n, &v), 0);
  return v;
}
int32_t error_number() { return int_attribute(1023); }

// Solution files go to a scratch directory of this process, never beside the data.
std::filesystem::path scratch_directory() {
  return std::filesystem::temp_directory_path() / ("kqopt-basis-api-" + std::to_string(::getpid()));
}
std::string scratch(const std::string& name) { return (scratch_directory() / name).string(); }

class BasisApi : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(scratch_directory());
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    KQDEFINEUOPENTRY(capture);
    g_lines.clear();
  }
  void TearDown() override {
    KQFREEXO();
    std::filesystem::remove_all(scratch_directory());
  }
};

// min -x - 2y + z
//   r0  L:  x + y      <= 4
//   r1  L:  x          <= 3
//   r2  G:  x + y + z  >= 1
//   0 <= x, y <= 10, z >= 0.
// Optimum y = 4, x = z = 0, objective -8, basis {y, s1, s2}.
struct SmallLp {
  char qrtype[3] = {'L', 'L', 'G'};
  double rhs[3] = {4.0, 3.0, 1.0};
  double obj[3] = {-1.0, -2.0, 1.0};
  int32_t mstart[4] = {0, 3, 5, 6};
  int32_t mrwind[6] = {0, 1, 2, 0, 2, 2};
  double dmatval[6] = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  double dlb[3] = {0.0, 0.0, 0.0};
  double dub[3] = {10.0, 10.0, 1.0e30};

  int32_t load() {
    const int32_t rc = KQLOADPROB("small", 3, 3, qrtype, rhs, nullptr, obj, mstart, nullptr, mrwind, dmatval, dlb, dub);
    KQSETPROB(scratch("small").c_str());
    return rc;
  }
};

// Row activities plus slacks against the right-hand sides of SmallLp.
void expect_rows_hold(const SmallLp& lp) {
  double x[3], slack[3];
  ASSERT_EQ(KQSOLUTION(x, slack, nullptr, nullptr), 0);
  for (int i = 0; i < 3; ++i) {
    double activity = slack[i];
    for (int j = 0; j < 3; ++j) {
      for (int k = lp.mstart[j]; k < lp.mstart[j + 1]; ++k) {
        if (lp.mrwind[k] == i) activity += lp.dmatval[k] * x[j];
      }
    }
    EXPECT_NEAR(activity, lp.rhs[i], 1e-12) << "row " << i;
  }
}

TEST_F(BasisApi, EveryOperationNeedsAProblem) {
  int32_t r[1] = {1}, c[1] = {0}, i = 0, basis[1];
  double vec[1] = {1.0}, x[1], objval = 0.0;
  EXPECT_EQ(KQLOADBASIS(r, c), 32);
  EXPECT_EQ(error_number(), 91);
  EXPECT_EQ(KQILOADBASIS(r, c), 32);
  EXPECT_EQ(KQIGETBASIS(r, c), 32);
  EXPECT_EQ(KQGETBASICPIV(basis), 32);
  EXPECT_EQ(error_number(), 91);
  EXPECT_EQ(KQFTRAN(vec), 32);
  EXPECT_EQ(KQBTRAN(vec), 32);
  EXPECT_EQ(KQIFTRAN(vec), 32);
  EXPECT_EQ(KQIBTRAN(vec), 32);
  EXPECT_EQ(KQGETINF(&i, &i, &i, &i, nullptr, nullptr, nullptr, nullptr), 32);
  EXPECT_EQ(KQGETUNB(&i), 32);
  EXPECT_EQ(KQPIVOT(0, 0), 32);
  EXPECT_EQ(KQGETPIVOTS(0, &i, x, &objval, &i, 1), 32);
  EXPECT_EQ(error_number(), 91);
  EXPECT_EQ(KQGETMAP(basis), 0);
  EXPECT_EQ(VNGETMAP(nullptr), 0);
}

TEST_F(BasisApi, LoadBasisRejectsBadCodesAndChangesNothing) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  int32_t before_r[3], before_c[3];
  ASSERT_EQ(KQIGETBASIS(before_r, before_c), 0);
  const int32_t bad_row[3] = {0, 3, 1};
  const int32_t good_row[3] = {0, 1, 1};
  const int32_t columns[3] = {1, 0, 0};
  const int32_t bad_column[3] = {1, 0, -1};
  g_lines.clear();
  EXPECT_EQ(KQLOADBASIS(bad_row, columns), 32);
  EXPECT_EQ(error_number(), 410);
  EXPECT_TRUE(printed("ldbasis"));
  EXPECT_EQ(KQILOADBASIS(good_row, bad_column), 32);
  EXPECT_EQ(error_number(), 411);
  EXPECT_EQ(KQLOADBASIS(nullptr, columns), 32);
  EXPECT_EQ(error_number(), 86);
  int32_t after_r[3], after_c[3];
  ASSERT_EQ(KQIGETBASIS(after_r, after_c), 0);
  EXPECT_TRUE(std::equal(before_r, before_r + 3, after_r));
  EXPECT_TRUE(std::equal(before_c, before_c + 3, after_c));
}

TEST_F(BasisApi, SurplusBasicColumnsBecomeNonbasicAtLower) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  // One row nonbasic leaves one position: the first basic column takes it.
  const int32_t rows[3] = {1, 0, 1};
  const int32_t columns[3] = {1, 1, 2};
  ASSERT_EQ(KQLOADBASIS(rows, columns), 0);
  int32_t r[3], c[3];
  ASSERT_EQ(KQIGETBASIS(r, c), 0);
  EXPECT_EQ(r[0], 1);
  EXPECT_EQ(r[1], 0);
  EXPECT_EQ(r[2], 1);
  EXPECT_EQ(c[0], 1);
  EXPECT_EQ(c[1], 0);  // no position left: at lower
  EXPECT_EQ(c[2], 2);
  // The same from KQGETBASIS: the loaded basis is in memory.
  ASSERT_EQ(KQGETBASIS(r, c), 0);
  EXPECT_EQ(c[1], 0);
  EXPECT_EQ(c[2], 2);
}

TEST_F(BasisApi, LoadedOptimalBasisNeedsNoIteration) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  // Presolve alone solves this LP; the cold solve that iterates is made without it.
  ASSERT_EQ(KQSETICV(77, 0), 0);  // IPSLCT
  ASSERT_EQ(KQMINIM(""), 0);
  EXPECT_NEAR(double_attribute(2001), -8.0, 1e-12);
  EXPECT_GT(int_attribute(1009), 0);
  int32_t r[3], c[3];
  ASSERT_EQ(KQGETBASIS(r, c), 0);
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQLOADBASIS(r, c), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  EXPECT_EQ(int_attribute(1009), 0);
  EXPECT_NEAR(double_attribute(2001), -8.0, 1e-12);
}

TEST_F(BasisApi, BasicPositionsOnlyWithACurrentFactorisation) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  int32_t basis[3] = {-5, -5, -5};
  g_lines.clear();
  EXPECT_EQ(KQGETBASICPIV(basis), 32);
  EXPECT_EQ(error_number(), 422);
  EXPECT_TRUE(g_lines.empty());
  EXPECT_EQ(basis[0], -5);

  ASSERT_EQ(KQMINIM(""), 0);
  ASSERT_EQ(KQGETBASICPIV(basis), 0);
  std::set<int32_t> basic(basis, basis + 3);
  EXPECT_EQ(basic, (std::set<int32_t>{1, 2, 4}));  // s1, s2 and y (column 1 = M + 1)

  const int32_t r[3] = {1, 1, 1}, c[3] = {0, 0, 0};
  ASSERT_EQ(KQLOADBASIS(r, c), 0);
  EXPECT_EQ(KQGETBASICPIV(basis), 32);
  EXPECT_EQ(error_number(), 422);
  double vec[3] = {1.0, 2.0, 3.0};
  ASSERT_EQ(KQFTRAN(vec), 0);  // factorises the loaded basis
  EXPECT_EQ(vec[1], 2.0);      // all-logical: B = I
  ASSERT_EQ(KQGETBASICPIV(basis), 0);
  EXPECT_EQ(basis[0], 0);
  EXPECT_EQ(basis[2], 2);
}

TEST_F(BasisApi, SolvesOfTheSmallLpInBothSenses) {
  SmallLp lp;
  for (bool maximise : {false, true}) {
    // Maximising the negated objective reaches the same basis.
    if (maximise) {
      for (double& c : lp.obj) c = -c;
    }
    ASSERT_EQ(lp.load(), 0);
    ASSERT_EQ(maximise ? KQMAXIM("") : KQMINIM(""), 0);
    ASSERT_EQ(int_attribute(1010), 1);
    EXPECT_NEAR(double_attribute(2001), maximise ? 8.0 : -8.0, 1e-12);
    int32_t basis[3];
    ASSERT_EQ(KQGETBASICPIV(basis), 0);
    double dual[3], y[3];
    ASSERT_EQ(KQSOLUTION(nullptr, nullptr, dual, nullptr), 0);
    for (int p = 0; p < 3; ++p) y[p] = basis[p] >= 3 ? lp.obj[basis[p] - 3] : 0.0;
    ASSERT_EQ(KQBTRAN(y), 0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(y[i], dual[i], 1e-12) << maximise << " row " << i;
    for (int p = 0; p < 3; ++p) {
      if (basis[p] < 3) continue;
      const int32_t j = basis[p] - 3;
      double column[3] = {0.0, 0.0, 0.0};
      for (int k = lp.mstart[j]; k < lp.mstart[j + 1]; ++k) column[lp.mrwind[k]] = lp.dmatval[k];
      ASSERT_EQ(KQIFTRAN(column), 0);
      for (int q = 0; q < 3; ++q) EXPECT_NEAR(column[q], q == p ? 1.0 : 0.0, 1e-12);
    }
  }
}

struct InfeasibilityCase {
  int32_t rows[3];
  int32_t columns[3];
  std::vector<int32_t> mx, mslack, mdual, mdj;
};

TEST_F(BasisApi, InfeasibilitiesOfDeliberatelyWrongBases) {
  // Worked by hand for SmallLp (z stays at 0 and is dual feasible throughout):
  //  A  basic s1, s2, x; y = 0: x = 4, s1 = -1 (L row below 0); pi = (-1, 0, 0),
  //     d_y = -1 at lower.
  //  B  basic s0, s1, x; s2 = 0 at its upper bound: x = 1; pi = (0, 0, -1),
  //     the logical's d = 1 at upper, d_y = -1 at lower.
  //  C  basic s1, s2, x; y = 10 at upper: x = -6 below 0; pi = (-1, 0, 0), d_y = -1
  //     at upper is fine.
  const std::vector<InfeasibilityCase> cases = {
      {{0, 1, 1}, {1, 0, 0}, {}, {1}, {}, {1}},
      {{1, 1, 2}, {1, 0, 0}, {}, {}, {2}, {1}},
      {{0, 1, 1}, {1, 2, 0}, {0}, {}, {}, {}},
  };
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  for (const InfeasibilityCase& c : cases) {
    ASSERT_EQ(KQLOADBASIS(c.rows, c.columns), 0);
    int32_t npv = -1, nps = -1, nds = -1, ndv = -1;
    int32_t mx[3], mslack[3], mdual[3], mdj[3];
    ASSERT_EQ(KQGETINF(&npv, &nps, &nds, &ndv, mx, mslack, mdual, mdj), 0);
    EXPECT_EQ(std::vector<int32_t>(mx, mx + npv), c.mx);
    EXPECT_EQ(std::vector<int32_t>(mslack, mslack + nps), c.mslack);
    EXPECT_EQ(std::vector<int32_t>(mdual, mdual + nds), c.mdual);
    EXPECT_EQ(std::vector<int32_t>(mdj, mdj + ndv), c.mdj);
    // The recomputed solution is the one in memory now.
    expect_rows_hold(lp);
  }
  // Counts alone.
  int32_t npv = -1, nps = -1, nds = -1, ndv = -1;
  ASSERT_EQ(KQGETINF(&npv, &nps, &nds, &ndv, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(npv, 1);
  EXPECT_EQ(nps + nds + ndv, 0);
  // Back to the optimum: nothing to list.
  ASSERT_EQ(KQMINIM(""), 0);
  ASSERT_EQ(KQGETINF(&npv, &nps, &nds, &ndv, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(npv + nps + nds + ndv, 0);
}

TEST_F(BasisApi, InfeasibilitiesFromTheSolutionFile) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  // A fresh load has no basis in memory: the solution file of the solve tells.
  ASSERT_EQ(lp.load(), 0);
  int32_t npv = -1, nps = -1, nds = -1, ndv = -1;
  ASSERT_EQ(KQGETINF(&npv, &nps, &nds, &ndv, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(npv + nps + nds + ndv, 0);
  // Without one: message 122, return code 2.
  KQSETPROB(scratch("never_solved").c_str());
  std::filesystem::remove(scratch("never_solved") + ".sol");
  EXPECT_EQ(KQGETINF(&npv, &nps, &nds, &ndv, nullptr, nullptr, nullptr, nullptr), 2);
  EXPECT_EQ(error_number(), 122);
}

TEST_F(BasisApi, UnboundedColumnThenMinusOneAfterAnOptimum) {
  // min -x s.t. x - y <= 1, x, y >= 0: unbounded along y once x is basic. Spare rows
  // do not count in this index: rows first, then the columns.
  char qrtype[1] = {'L'};
  double rhs[1] = {1.0}, obj[2] = {-1.0, 0.0};
  int32_t mstart[3] = {0, 1, 2}, mrwind[2] = {0, 0};
  double dmatval[2] = {1.0, -1.0}, dlb[2] = {0.0, 0.0}, dub[2] = {1e30, 1e30};
  int32_t j = -7;
  for (int32_t spare_rows : {0, 2}) {
    ASSERT_EQ(KQSETICV(4, spare_rows), 0);  // NRXTRA
    ASSERT_EQ(KQLOADPROB("ray", 2, 1, qrtype, rhs, nullptr, obj, mstart, nullptr, mrwind, dmatval, dlb, dub), 0);
    KQSETPROB(scratch("ray").c_str());
    ASSERT_EQ(KQMINIM(""), 0);
    ASSERT_EQ(int_attribute(1010), 5);
    ASSERT_EQ(KQGETUNB(&j), 0);
    EXPECT_EQ(j, 1 + 1);  // one row, then column 1
  }
  EXPECT_EQ(KQGETUNB(nullptr), 32);

  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  ASSERT_EQ(KQGETUNB(&j), 0);
  EXPECT_EQ(j, -1);
}

TEST_F(BasisApi, PivotInEqualsOutMovesABoxedColumnToItsOtherBound) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  const int32_t x_index = 3 + 0;  // column 0 after the three rows
  ASSERT_EQ(KQPIVOT(x_index, x_index), 0);
  int32_t r[3], c[3];
  ASSERT_EQ(KQGETBASIS(r, c), 0);
  EXPECT_EQ(c[0], 2);
  double x[3];
  ASSERT_EQ(KQSOLUTION(x, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(x[0], 10.0);
  EXPECT_NEAR(x[1], -6.0, 1e-12);  // y, basic in row 0, follows
  expect_rows_hold(lp);
  EXPECT_NEAR(double_attribute(2001), -10.0 + 12.0, 1e-12);
  // And back.
  ASSERT_EQ(KQPIVOT(x_index, x_index), 0);
  ASSERT_EQ(KQGETBASIS(r, c), 0);
  EXPECT_EQ(c[0], 0);
  EXPECT_NEAR(double_attribute(2001), -8.0, 1e-12);
  // z has no upper bound to go to.
  EXPECT_EQ(KQPIVOT(3 + 2, 3 + 2), 32);
  EXPECT_EQ(error_number(), 426);
}

TEST_F(BasisApi, PivotChecksItsVariables) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  // y (4) is basic, 7 names no variable.
  EXPECT_EQ(KQPIVOT(4, 1), 32);
  EXPECT_EQ(error_number(), 425);
  EXPECT_EQ(KQPIVOT(7, 1), 32);
  EXPECT_EQ(error_number(), 425);
  EXPECT_EQ(KQPIVOT(-1, 1), 32);
  EXPECT_EQ(error_number(), 425);
  // z enters; s0 is nonbasic, and s1's entry in z's column is zero.
  EXPECT_EQ(KQPIVOT(5, 0), 32);
  EXPECT_EQ(error_number(), 426);
  EXPECT_EQ(KQPIVOT(5, 1), 32);
  EXPECT_EQ(error_number(), 426);
  EXPECT_EQ(KQPIVOT(5, 9), 32);
  EXPECT_EQ(error_number(), 426);
  int32_t npiv = 0;
  double objval = 0.0;
  EXPECT_EQ(KQGETPIVOTS(4, nullptr, nullptr, &objval, &npiv, 5), 32);
  EXPECT_EQ(error_number(), 425);
}

TEST_F(BasisApi, PivotExchangesAndReoptimises) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  // z enters and s2 leaves: s2 falls, has no lower bound, and stops at its upper 0.
  ASSERT_EQ(KQPIVOT(5, 2), 0);
  int32_t r[3], c[3];
  ASSERT_EQ(KQGETBASIS(r, c), 0);
  EXPECT_EQ(r[2], 2);
  EXPECT_EQ(c[2], 1);
  double x[3];
  ASSERT_EQ(KQSOLUTION(x, nullptr, nullptr, nullptr), 0);
  EXPECT_NEAR(x[2], -3.0, 1e-12);
  expect_rows_hold(lp);
  int32_t basis[3];
  ASSERT_EQ(KQGETBASICPIV(basis), 0);
  EXPECT_EQ(std::set<int32_t>(basis, basis + 3), (std::set<int32_t>{1, 4, 5}));
  int32_t npv = 0, nps = 0, nds = 0, ndv = 0, mx[3];
  ASSERT_EQ(KQGETINF(&npv, &nps, &nds, &ndv, mx, nullptr, nullptr, nullptr), 0);
  ASSERT_EQ(npv, 1);
  EXPECT_EQ(mx[0], 2);
  ASSERT_EQ(KQMINIM(""), 0);
  EXPECT_NEAR(double_attribute(2001), -8.0, 1e-12);
}

TEST_F(BasisApi, PivotCandidatesOfTheSmallLp) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  // x enters upward: y (row 0, pivot 1) falls to 0 at step 4, s1 to 0 at step 3;
  // x's own range is 10. s1 limits first.
  int32_t outlist[4] = {-9, -9, -9, -9}, npiv = -1;
  double values[6], objval = 0.0;
  ASSERT_EQ(KQGETPIVOTS(3, outlist, values, &objval, &npiv, 4), 0);
  // y at step 4 is outside the window of s1: 4 * 1 is not below 3 + ZTOLZE.
  ASSERT_EQ(npiv, 1);
  EXPECT_EQ(outlist[0], 1);
  EXPECT_EQ(outlist[1], -9);
  EXPECT_NEAR(objval, -8.0 + 1.0 * 3.0, 1e-12);  // d_x = -1 + 2 = 1
  EXPECT_NEAR(values[3], 3.0, 1e-12);
  EXPECT_NEAR(values[4], 1.0, 1e-12);
  EXPECT_NEAR(values[1], 0.0, 1e-12);
  // maxpiv 0: the step is reported, no candidate.
  ASSERT_EQ(KQGETPIVOTS(3, outlist, nullptr, &objval, &npiv, 0), 0);
  EXPECT_EQ(npiv, 0);
  // z up: s2 has no lower bound, nothing limits z: unbounded, nothing written.
  objval = 123.0;
  ASSERT_EQ(KQGETPIVOTS(5, outlist, values, &objval, &npiv, 4), 0);
  EXPECT_EQ(npiv, 0);
  EXPECT_EQ(objval, 123.0);
  // The basis is unchanged.
  int32_t r[3], c[3];
  ASSERT_EQ(KQGETBASIS(r, c), 0);
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(c[1], 1);

  // With x <= 2, x reaches its own upper bound before s1 reaches 0: x itself is
  // listed, and the list ends there.
  lp.dub[0] = 2.0;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  ASSERT_EQ(KQGETPIVOTS(3, outlist, values, &objval, &npiv, 4), 0);
  ASSERT_EQ(npiv, 1);
  EXPECT_EQ(outlist[0], 3);
  EXPECT_NEAR(objval, -8.0 + 2.0, 1e-12);
  EXPECT_EQ(values[3], 2.0);
  EXPECT_NEAR(values[1], 1.0, 1e-12);
}

TEST_F(BasisApi, SpareRowSlotsShiftTheColumnsOfTheCombinedIndex) {
  // Two spare rows: M = 5, so column j is 5 + j for the pivots and the basis positions,
  // while KQGETUNB and the solves count only the three kept rows.
  ASSERT_EQ(KQSETICV(4, 2), 0);  // NRXTRA
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(int_attribute(1002), 5 + 3);
  ASSERT_EQ(KQMINIM(""), 0);
  EXPECT_NEAR(double_attribute(2001), -8.0, 1e-12);
  int32_t basis[3];
  ASSERT_EQ(KQGETBASICPIV(basis), 0);
  EXPECT_EQ(std::set<int32_t>(basis, basis + 3), (std::set<int32_t>{1, 2, 5 + 1}));
  double y[3], dual[3];
  for (int p = 0; p < 3; ++p) y[p] = basis[p] >= 5 ? lp.obj[basis[p] - 5] : 0.0;
  ASSERT_EQ(KQBTRAN(y), 0);
  ASSERT_EQ(KQSOLUTION(nullptr, nullptr, dual, nullptr), 0);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(y[i], dual[i], 1e-12);
  // x (5 + 0) flips to its upper bound; 3 would name a spare slot's logical, basic.
  EXPECT_EQ(KQPIVOT(3, 3), 32);
  EXPECT_EQ(error_number(), 425);
  ASSERT_EQ(KQPIVOT(5, 5), 0);
  int32_t r[3], c[3];
  ASSERT_EQ(KQGETBASIS(r, c), 0);
  EXPECT_EQ(c[0], 2);
  expect_rows_hold(lp);
  int32_t outlist[2], npiv = 0;
  double values[8], objval = 0.0;
  ASSERT_EQ(KQGETPIVOTS(5 + 2, outlist, values, &objval, &npiv, 2), 0);
  EXPECT_EQ(npiv, 0);  // z up: nothing stops it
  ASSERT_EQ(KQPIVOT(5, 5), 0);
  ASSERT_EQ(KQGETPIVOTS(5, outlist, values, &objval, &npiv, 2), 0);
  ASSERT_EQ(npiv, 1);
  EXPECT_EQ(outlist[0], 1);  // s1, as without spare rows
  EXPECT_NEAR(values[5], 3.0, 1e-12);
}

TEST_F(BasisApi, MapIsTheIdentity) {
  SmallLp lp;
  ASSERT_EQ(lp.load(), 0);
  const int32_t entries = int_attribute(1002);
  std::vector<int32_t> map(static_cast<std::size_t>(entries), -1);
  ASSERT_EQ(KQGETMAP(map.data()), 0);
  for (int32_t v = 0; v < entries; ++v) EXPECT_EQ(map[static_cast<std::size_t>(v)], v);
  std::fill(map.begin(), map.end(), -1);
  ASSERT_EQ(VNGETMAP(map.data()), 0);
  EXPECT_EQ(map.back(), entries - 1);
}

// ---- netlib round trips --------------------------------------------------------------

class NetlibBasis : public BasisApi, public ::testing::WithParamInterface<const char*> {
 protected:
  void read() {
    const std::string path = std::string(KQOPT_TEST_FILES_DIR) + "/netlib/" + GetParam() + ".mps";
    ASSERT_EQ(KQINPUT(path.c_str()), 0);
    KQSETPROB(scratch(GetParam()).c_str());
    KQSETICV(35, 0);  // IFPMSG: quiet
    m_ = int_attribute(1001);
    n_ = int_attribute(1018);
    slots_ = int_attribute(1002) - n_;
  }
  // Dense column j of the matrix, by row.
  std::vector<double> column(int32_t j) {
    std::vector<int32_t> start(2), rows(static_cast<std::size_t>(m_));
    std::vector<double> values(static_cast<std::size_t>(m_)), dense(static_cast<std::size_t>(m_), 0.0);
    int32_t nels = 0;
    EXPECT_EQ(KQGETCOLS(start.data(), rows.data(), values.data(), m_, &nels, j, j), 0);
    for (int32_t e = 0; e < nels; ++e) dense[static_cast<std::size_t>(rows[e])] += values[e];
    return dense;
  }

  int32_t m_ = 0, n_ = 0, slots_ = 0;
};

TEST_P(NetlibBasis, ReloadedBasisSolvesWithoutIterations) {
  read();
  ASSERT_EQ(KQMINIM(""), 0);
  ASSERT_EQ(int_attribute(1010), 1);
  const double objective = double_attribute(2001);
  std::vector<int32_t> r(static_cast<std::size_t>(m_)), c(static_cast<std::size_t>(n_));
  ASSERT_EQ(KQGETBASIS(r.data(), c.data()), 0);
  read();
  ASSERT_EQ(KQLOADBASIS(r.data(), c.data()), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  EXPECT_EQ(int_attribute(1010), 1);
  EXPECT_EQ(int_attribute(1009), 0);
  EXPECT_NEAR(double_attribute(2001), objective, 1e-9 * std::max(1.0, std::fabs(objective)));
}

TEST_P(NetlibBasis, FtranAndBtranMatchTheBasisAndThePrices) {
  read();
  ASSERT_EQ(KQMINIM(""), 0);
  std::vector<int32_t> basis(static_cast<std::size_t>(m_));
  ASSERT_EQ(KQGETBASICPIV(basis.data()), 0);
  std::vector<double> cost(static_cast<std::size_t>(n_)), dual(static_cast<std::size_t>(m_));
  ASSERT_EQ(KQGETOBJ(cost.data(), 0, n_ - 1), 0);
  ASSERT_EQ(KQSOLUTION(nullptr, nullptr, dual.data(), nullptr), 0);

  std::vector<double> y(static_cast<std::size_t>(m_));
  for (int32_t p = 0; p < m_; ++p) {
    const int32_t v = basis[static_cast<std::size_t>(p)];
    y[static_cast<std::size_t>(p)] = v >= slots_ ? cost[static_cast<std::size_t>(v - slots_)] : 0.0;
  }
  ASSERT_EQ(KQBTRAN(y.data()), 0);
  for (int32_t i = 0; i < m_; ++i) {
    const double d = dual[static_cast<std::size_t>(i)];
    EXPECT_NEAR(y[static_cast<std::size_t>(i)], d, 1e-9 * std::max(1.0, std::fabs(d))) << "row " << i;
  }
  for (int32_t p = 0; p < m_; ++p) {
    const int32_t v = basis[static_cast<std::size_t>(p)];
    if (v < slots_) continue;
    std::vector<double> a = column(v - slots_);
    ASSERT_EQ(KQFTRAN(a.data()), 0);
    for (int32_t q = 0; q < m_; ++q) {
      EXPECT_NEAR(a[static_cast<std::size_t>(q)], q == p ? 1.0 : 0.0, 1e-9) << "column " << v - slots_;
    }
  }
}

// Brute-force check of KQGETPIVOTS at the basis in memory, for the first `count`
// nonbasic columns: every candidate's step (its exact ratio) leaves no other basic
// variable outside its bounds by more than ZTOLZE, later candidates stay within the
// window of the first, and the values and objective after the step are those of
// moving along the FTRAN column.
void check_candidates(int32_t m, int32_t n, int32_t slots, int count) {
  std::vector<int32_t> rstatus(static_cast<std::size_t>(m)), cstatus(static_cast<std::size_t>(n));
  ASSERT_EQ(KQIGETBASIS(rstatus.data(), cstatus.data()), 0);
  // Bounds of every variable by internal number; logicals from the row types.
  std::vector<double> lower(static_cast<std::size_t>(slots + n)), upper(lower.size());
  std::vector<char> types(static_cast<std::size_t>(m));
  std::vector<double> ranges(static_cast<std::size_t>(m));
  ASSERT_EQ(KQGETROWTYPE(types.data(), 0, m - 1), 0);
  ASSERT_EQ(KQGETRNG(ranges.data(), 0, m - 1), 0);
  for (int32_t i = 0; i < m; ++i) {
    const char t = types[static_cast<std::size_t>(i)];
    lower[static_cast<std::size_t>(i)] = (t == 'G' || t == 'N') ? -kInf : 0.0;
    upper[static_cast<std::size_t>(i)] = ranges[static_cast<std::size_t>(i)];
  }
  ASSERT_EQ(KQGETBDL(lower.data() + slots, 0, n - 1), 0);
  ASSERT_EQ(KQGETBDU(upper.data() + slots, 0, n - 1), 0);

  int checked = 0;
  for (int32_t j = 0; j < n && checked < count; ++j) {
    if (cstatus[static_cast<std::size_t>(j)] == 1) continue;
    ++checked;
    const int32_t in = slots + j;
    std::vector<int32_t> outlist(8, -1);
    std::vector<double> after(static_cast<std::size_t>(slots + n));
    double objval = 0.0;
    int32_t npiv = -1;
    ASSERT_EQ(KQGETPIVOTS(in, outlist.data(), after.data(), &objval, &npiv, 8), 0);

    std::vector<double> x(static_cast<std::size_t>(n)), slack(static_cast<std::size_t>(m)),
        dj(static_cast<std::size_t>(n));
    ASSERT_EQ(KQSOLUTION(x.data(), slack.data(), nullptr, dj.data()), 0);
    std::vector<double> value(static_cast<std::size_t>(slots + n), 0.0);
    std::copy(slack.begin(), slack.end(), value.begin());
    std::copy(x.begin(), x.end(), value.begin() + slots);
    std::vector<int32_t> basis(static_cast<std::size_t>(m));
    ASSERT_EQ(KQGETBASICPIV(basis.data()), 0);
    // The FTRAN column of the entering variable, read from the matrix.
    std::vector<int32_t> start(2), rows(static_cast<std::size_t>(m));
    std::vector<double> entries(static_cast<std::size_t>(m)), alpha(static_cast<std::size_t>(m), 0.0);
    int32_t nels = 0;
    ASSERT_EQ(KQGETCOLS(start.data(), rows.data(), entries.data(), m, &nels, j, j), 0);
    for (int32_t e = 0; e < nels; ++e) alpha[static_cast<std::size_t>(rows[e])] += entries[e];
    ASSERT_EQ(KQFTRAN(alpha.data()), 0);

    const int direction = cstatus[static_cast<std::size_t>(j)] == 2 ? -1 : 1;
    const auto ju = static_cast<std::size_t>(in);
    const double own_range = upper[ju] - lower[ju];
    // Exact ratio of position p: the step at which its variable reaches the bound it
    // moves towards (for a variable outside its bounds, the bound it violates when it
    // moves towards it), infinite when there is none.
    auto outside = [&](std::size_t v) {
      return value[v] < lower[v] - kFeasibilityTolerance || value[v] > upper[v] + kFeasibilityTolerance;
    };
    auto ratio = [&](int32_t p) {
      const double a = alpha[static_cast<std::size_t>(p)];
      const auto v = static_cast<std::size_t>(basis[static_cast<std::size_t>(p)]);
      const double rate = -direction * a;
      if (std::fabs(a) < 1e-9) return kInf;
      if (value[v] < lower[v] - kFeasibilityTolerance) return rate > 0.0 ? (lower[v] - value[v]) / rate : kInf;
      if (value[v] > upper[v] + kFeasibilityTolerance) return rate < 0.0 ? (value[v] - upper[v]) / -rate : kInf;
      if (rate < 0.0) return lower[v] <= -kInf ? kInf : (value[v] - lower[v]) / -rate;
      return upper[v] >= kInf ? kInf : (upper[v] - value[v]) / rate;
    };
    auto position_of = [&](int32_t v) {
      return static_cast<int32_t>(std::find(basis.begin(), basis.end(), v) - basis.begin());
    };
    // Largest amount by which a feasible basic variable (not set aside) passes a bound.
    auto worst_violation = [&](double step, const std::set<int32_t>& set_aside) {
      double worst = 0.0;
      for (int32_t p = 0; p < m; ++p) {
        const auto v = static_cast<std::size_t>(basis[static_cast<std::size_t>(p)]);
        if (set_aside.count(static_cast<int32_t>(v)) || outside(v)) continue;
        const double moved = value[v] - direction * step * alpha[static_cast<std::size_t>(p)];
        worst = std::max(worst, std::max(lower[v] - moved, moved - upper[v]));
      }
      return worst;
    };
    double min_ratio = own_range < kInf / 2 ? own_range : kInf;
    for (int32_t p = 0; p < m; ++p) min_ratio = std::min(min_ratio, ratio(p));
    if (min_ratio >= kInf) {
      EXPECT_EQ(npiv, 0) << "column " << j;
      continue;
    }
    ASSERT_GE(npiv, 1) << "column " << j;
    std::set<int32_t> listed;
    double first_step = 0.0, window = 0.0;
    for (int32_t k = 0; k < npiv; ++k) {
      const int32_t v = outlist[static_cast<std::size_t>(k)];
      const double step = v == in ? own_range : ratio(position_of(v));
      EXPECT_GE(step, min_ratio - 1e-9) << "column " << j << " candidate " << v;
      EXPECT_LE(worst_violation(std::max(step, 0.0), listed), kFeasibilityTolerance * (1 + 1e-6) + 1e-9)
          << "column " << j << " candidate " << v;
      if (k == 0) {
        first_step = std::max(step, 0.0);
        if (v != in) {
          const double a = std::fabs(alpha[static_cast<std::size_t>(position_of(v))]);
          window = std::max(step, 0.0) * a + kFeasibilityTolerance;
          // Later candidates: step times the first pivot below the window.
          for (int32_t later = 1; later < npiv; ++later) {
            const int32_t w = outlist[static_cast<std::size_t>(later)];
            const double s = w == in ? own_range : std::max(ratio(position_of(w)), 0.0);
            EXPECT_LT(s * a, window + 1e-9) << "column " << j << " candidate " << w;
          }
        }
      }
      listed.insert(v);
    }
    EXPECT_NEAR(objval, double_attribute(2001) + dj[static_cast<std::size_t>(j)] * direction * first_step,
                1e-7 * std::max(1.0, std::fabs(objval)));
    for (int32_t p = 0; p < m; ++p) {
      const auto v = static_cast<std::size_t>(basis[static_cast<std::size_t>(p)]);
      const double expected = value[v] - direction * first_step * alpha[static_cast<std::size_t>(p)];
      EXPECT_NEAR(after[v], expected, 1e-7 * std::max(1.0, std::fabs(expected)));
    }
    EXPECT_NEAR(after[ju], value[ju] + direction * first_step, 1e-9 * std::max(1.0, std::fabs(after[ju])));
  }
  EXPECT_GT(checked, 0);
}

TEST_P(NetlibBasis, PivotCandidatesPassABruteForceRatioTest) {
  read();
  // At the all-logical start (degenerate, many ties) and at the optimum.
  check_candidates(m_, n_, slots_, 25);
  ASSERT_EQ(KQMINIM(""), 0);
  check_candidates(m_, n_, slots_, 25);
}

TEST_P(NetlibBasis, PivotsFollowedByAnOptimisation) {
  read();
  ASSERT_EQ(KQMINIM(""), 0);
  const double objective = double_attribute(2001);
  // A few pivots on the first candidates; each changes the basis as announced.
  int pivots = 0;
  std::vector<int32_t> r(static_cast<std::size_t>(m_)), c(static_cast<std::size_t>(n_));
  for (int32_t j = 0; j < n_ && pivots < 5; ++j) {
    ASSERT_EQ(KQGETBASIS(r.data(), c.data()), 0);
    if (c[static_cast<std::size_t>(j)] == 1) continue;
    int32_t out = -1, npiv = 0;
    double objval = 0.0;
    ASSERT_EQ(KQGETPIVOTS(slots_ + j, &out, nullptr, &objval, &npiv, 1), 0);
    if (npiv == 0) continue;
    ASSERT_EQ(KQPIVOT(slots_ + j, out), 0);
    EXPECT_NEAR(double_attribute(2001), objval, 1e-7 * std::max(1.0, std::fabs(objval)));
    ASSERT_EQ(KQGETBASIS(r.data(), c.data()), 0);
    if (out != slots_ + j) {
      EXPECT_EQ(c[static_cast<std::size_t>(j)], 1);
      const int32_t left = out < slots_ ? r[static_cast<std::size_t>(out)] : c[static_cast<std::size_t>(out - slots_)];
      EXPECT_NE(left, 1);
    }
    ++pivots;
  }
  EXPECT_GT(pivots, 0);
  ASSERT_EQ(KQMINIM(""), 0);
  EXPECT_EQ(int_attribute(1010), 1);
  EXPECT_NEAR(double_attribute(2001), objective, 1e-9 * std::max(1.0, std::fabs(objective)));
}

INSTANTIATE_TEST_SUITE_P(Netlib, NetlibBasis, ::testing::Values("afiro", "sc50a", "adlittle"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
