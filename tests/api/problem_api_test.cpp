// The problem operations as a host uses them: only the public header and the shared
// library. Loads a small LP and a MIP with sets, reads every array back, and runs the
// documented edge cases, the index base, matrix slots and the workspace budget.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kqopt.h"

namespace {

constexpr double kInf = 9.999999999999999e29;

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

int32_t error_number() {
  int32_t v = -1;
  KQGETIPV(1023, &v);
  return v;
}
int32_t int_attribute(int32_t n) {
  int32_t v = -1;
  EXPECT_EQ(KQGETIPV(n, &v), 0);
  return v;
}

class ProblemApi : public ::testing::Test {
 protected:
  void SetUp() override { start(0); }
  void TearDown() override { KQFREEXO(); }
  void start(int32_t memsize) {
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, memsize), 0);
    KQDEFINEUOPENTRY(capture);
    g_lines.clear();
  }
};

// The small LP: rows L 4, G 1, R (rhs 10, range -5); two columns.
struct Lp {
  char qrtype[3] = {'L', 'G', 'R'};
  double rhs[3] = {4.0, 1.0, 10.0};
  double range[3] = {0.0, 0.0, -5.0};
  double obj[2] = {1.0, 2.0};
  int32_t mstart[3] = {0, 3, 6};
  int32_t mrwind[6] = {0, 1, 2, 0, 1, 2};
  double dmatval[6] = {1.0, 3.0, 1.0, 2.0, 5.0e-10, 1.0};
  double dlb[2] = {0.0, -2.0};
  double dub[2] = {1.0e29, 9.9e28};

  int32_t load(const char* name = "lp") {
    return KQLOADPROB(name, 2, 3, qrtype, rhs, range, obj, mstart, nullptr, mrwind, dmatval, dlb, dub);
  }
};

// The MIP: five rows, six columns, column entities I B S P (column 1 twice), two sets.
struct Mip {
  char qrtype[5] = {'N', 'L', 'L', 'E', 'G'};
  double rhs[5] = {0.0, 10.0, 8.0, 3.0, 1.0};
  double obj[6] = {1.0, -1.0, 2.0, 0.5, 3.0, 4.0};
  int32_t mstart[6] = {0, 2, 4, 5, 7, 8};
  int32_t mnel[6] = {2, 2, 1, 2, 1, 2};
  int32_t mrwind[10] = {0, 1, 1, 2, 3, 2, 4, 4, 1, 3};
  double dmatval[10] = {1.0, 2.0, 1.0, 1.0, 1.0, 4.0, 1.0, 1.0, 2.0, 1.0};
  double dlb[6] = {0.0, 0.0, 1.0, 0.0, 0.0, 0.0};
  double dub[6] = {10.0, 5.0, 6.0, 20.0, 1.0, 1.0};
  char qgtype[5] = {'I', 'B', 'S', 'P', 'B'};
  int32_t mgcols[5] = {0, 1, 2, 3, 1};
  int32_t mplim[5] = {0, 0, 0, 7, 0};
  char qstype[2] = {'1', '2'};
  int32_t msstart[3] = {0, 2, 5};
  int32_t mscols[5] = {4, 5, 0, 4, 5};
  double dref[5] = {1.0, 2.0, 1.0, 2.0, 3.0};

  int32_t load(const char* name = "mip") {
    return KQLOADGLOBAL(name, 6, 5, qrtype, rhs, nullptr, obj, mstart, mnel, mrwind, dmatval, dlb, dub, 5, 2, qgtype,
                        mgcols, mplim, qstype, msstart, mscols, dref);
  }
};

TEST_F(ProblemApi, LinearProblemReadsBack) {
  Lp lp;
  ASSERT_EQ(lp.load(), 0);
  EXPECT_EQ(int_attribute(1001), 3);
  EXPECT_EQ(int_attribute(1002), 5);
  EXPECT_EQ(int_attribute(1006), 5);  // 5.0E-10 dropped and not counted
  EXPECT_EQ(int_attribute(1018), 2);
  double v[3];
  ASSERT_EQ(KQGETOBJ(v, 0, 1), 0);
  EXPECT_EQ(v[1], 2.0);
  ASSERT_EQ(KQGETRHS(v, 0, 2), 0);
  EXPECT_EQ(v[2], 10.0);
  ASSERT_EQ(KQGETRNG(v, 0, 2), 0);
  EXPECT_EQ(v[0], kInf);
  EXPECT_EQ(v[1], 0.0);
  EXPECT_EQ(v[2], 5.0);  // range -5 with rhs 10: activity in [5, 10]
  ASSERT_EQ(KQGETBDL(v, 0, 1), 0);
  EXPECT_EQ(v[1], -2.0);
  ASSERT_EQ(KQGETBDU(v, 0, 1), 0);
  EXPECT_EQ(v[0], kInf);    // 1.0E29 is infinite
  EXPECT_EQ(v[1], 9.9e28);  // 9.9E28 is finite
  char types[4] = {};
  ASSERT_EQ(KQGETROWTYPE(types, 0, 2), 0);
  EXPECT_STREQ(types, "LGR");
  ASSERT_EQ(KQGETCOLTYPE(types, 0, 1), 0);
  EXPECT_EQ(std::string(types, 2), "CC");
  char names[2 * 9];
  ASSERT_EQ(KQGETNAMES(2, names, 0, 1), 0);
  EXPECT_STREQ(names, "VVVVVVV4");
  EXPECT_STREQ(names + 9, "VVVVVVV5");
  int32_t mstart[3], mrwind[5], nels = 0;
  double dmatval[5];
  ASSERT_EQ(KQGETCOLS(mstart, mrwind, dmatval, 5, &nels, 0, 1), 0);
  EXPECT_EQ(nels, 5);
  EXPECT_EQ(std::vector<int32_t>(mstart, mstart + 3), (std::vector<int32_t>{0, 3, 5}));
  EXPECT_EQ(std::vector<int32_t>(mrwind, mrwind + 5), (std::vector<int32_t>{0, 1, 2, 0, 2}));
  EXPECT_EQ(std::vector<double>(dmatval, dmatval + 5), (std::vector<double>{1, 3, 1, 2, 1}));
  int32_t rstart[4], mclind[5];
  ASSERT_EQ(KQGETROWS(rstart, mclind, dmatval, 5, &nels, 0, 2), 0);
  EXPECT_EQ(std::vector<int32_t>(rstart, rstart + 4), (std::vector<int32_t>{0, 2, 3, 5}));
  EXPECT_EQ(std::vector<int32_t>(mclind, mclind + 5), (std::vector<int32_t>{0, 1, 0, 0, 1}));
  // The internal forms equal the plain ones once the scaling is taken away.
  ASSERT_EQ(KQSETICV(10, 0), 0);  // IFSCAL
  ASSERT_EQ(KQSCALE(), 0);
  double w[3];
  ASSERT_EQ(KQIGETRHS(w, 0, 2), 0);
  ASSERT_EQ(KQGETRHS(v, 0, 2), 0);
  EXPECT_EQ(std::memcmp(v, w, sizeof v), 0);
  ASSERT_EQ(KQIGETCOLS(mstart, mrwind, dmatval, 5, &nels, 0, 1), 0);
  EXPECT_EQ(dmatval[3], 2.0);
  char record[9];
  ASSERT_EQ(KQGETCPV(3001, record), 0);
  EXPECT_STREQ(record, "lp");
  ASSERT_EQ(KQGETCPV(3004, record), 0);
  EXPECT_STREQ(record, "RHS00001");
}

TEST_F(ProblemApi, GetColsWithSizeZeroAndShortSize) {
  Lp lp;
  ASSERT_EQ(lp.load(), 0);
  int32_t mstart[3] = {-1, -1, -1}, mrwind[5] = {-1, -1, -1, -1, -1}, nels = 0;
  double dmatval[5] = {};
  ASSERT_EQ(KQGETCOLS(nullptr, nullptr, nullptr, 0, &nels, 0, 1), 0);
  EXPECT_EQ(nels, 5);
  ASSERT_EQ(KQGETCOLS(mstart, mrwind, dmatval, 4, &nels, 0, 1), 0);
  EXPECT_EQ(nels, 5);
  EXPECT_EQ(std::vector<int32_t>(mstart, mstart + 3), (std::vector<int32_t>{0, 3, -1}));
  EXPECT_EQ(std::vector<int32_t>(mrwind, mrwind + 5), (std::vector<int32_t>{0, 1, 2, 0, -1}));
}

TEST_F(ProblemApi, GlobalProblemReadsBack) {
  Mip mip;
  ASSERT_EQ(mip.load(), 0);
  EXPECT_TRUE(printed("VVVVVVV7"));   // column 1 twice: message 261 with its name
  EXPECT_EQ(int_attribute(1003), 6);  // counted once
  EXPECT_EQ(int_attribute(1004), 2);
  EXPECT_EQ(int_attribute(1005), 5);
  int32_t ngents, nsets, mgcols[4], msstart[3], mscols[5];
  char qgtype[4], qstype[2];
  double dlim[4], dref[5];
  ASSERT_EQ(KQGETGLOBAL(&ngents, &nsets, qgtype, mgcols, dlim, qstype, msstart, mscols, dref), 0);
  EXPECT_EQ(ngents, 4);
  EXPECT_EQ(nsets, 2);
  EXPECT_EQ(std::string(qgtype, 4), "IBSP");
  EXPECT_EQ(std::vector<int32_t>(mgcols, mgcols + 4), (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(dlim[3], 7.0);
  EXPECT_EQ(std::string(qstype, 2), "12");
  EXPECT_EQ(std::vector<int32_t>(msstart, msstart + 3), (std::vector<int32_t>{0, 2, 5}));
  EXPECT_EQ(std::vector<int32_t>(mscols, mscols + 5), (std::vector<int32_t>{4, 5, 0, 4, 5}));
  EXPECT_EQ(std::vector<double>(dref, dref + 5), (std::vector<double>{1, 2, 1, 2, 3}));
  double dub[6];
  ASSERT_EQ(KQGETBDU(dub, 0, 5), 0);
  EXPECT_EQ(dub[1], 1.0);  // binary on upper bound 5 ends with 1
  char ctype[6];
  ASSERT_EQ(KQGETCOLTYPE(ctype, 0, 5), 0);
  EXPECT_EQ(std::string(ctype, 6), "IBSPCC");
  double obj[6];
  ASSERT_EQ(KQGETOBJ(obj, 0, 5), 0);
  EXPECT_EQ(std::memcmp(obj, mip.obj, sizeof obj), 0);
  int32_t mstart[7], mrwind[10], nels;
  double dmatval[10];
  ASSERT_EQ(KQGETCOLS(mstart, mrwind, dmatval, 10, &nels, 0, 5), 0);
  EXPECT_EQ(std::memcmp(mrwind, mip.mrwind, sizeof mrwind), 0);
  EXPECT_EQ(std::memcmp(dmatval, mip.dmatval, sizeof dmatval), 0);
  // Directives: defaults, then priority 2000 replaced by 500 with message 76.
  int32_t ndir, mcols[6], mpri[6];
  char qbr[6];
  double dupc[6], ddpc[6];
  ASSERT_EQ(KQGETDIR(&ndir, mcols, mpri, qbr, dupc, ddpc), 0);
  EXPECT_EQ(ndir, 6);
  EXPECT_EQ(std::vector<int32_t>(mcols, mcols + 6), (std::vector<int32_t>{-1, -2, 0, 1, 2, 3}));
  EXPECT_EQ(mpri[0], 500);
  EXPECT_EQ(dupc[0], static_cast<double>(0.01f));
  const int32_t dcols[] = {2, -1};
  const int32_t dpri[] = {2000, 30};
  const char dqbr[] = {'D', 'U'};
  g_lines.clear();
  ASSERT_EQ(KQLOADDIR(2, dcols, dpri, dqbr, nullptr, nullptr), 0);
  EXPECT_TRUE(printed("2000"));
  ASSERT_EQ(KQGETDIR(&ndir, mcols, mpri, qbr, dupc, ddpc), 0);
  EXPECT_EQ(mpri[4], 500);
  EXPECT_EQ(qbr[4], 'D');
  EXPECT_EQ(mpri[0], 30);
  EXPECT_EQ(qbr[0], 'U');
}

TEST_F(ProblemApi, NamesAndIndex) {
  Lp lp;
  ASSERT_EQ(lp.load(), 0);
  ASSERT_EQ(KQADDNAMES(2, "X\0Y", 0, 1), 0);
  int32_t index = -5;
  ASSERT_EQ(KQGETINDEX(2, "Y", &index), 0);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(KQGETINDEX(1, "Y", &index), 0);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(KQADDNAMES(1, "NINECHARS", 0, 0), 32);
  EXPECT_EQ(error_number(), 408);
  EXPECT_EQ(KQADDNAMES(1, "A", 0, 3), 32);
  EXPECT_EQ(error_number(), 406);
}

TEST_F(ProblemApi, LoadErrors) {
  Lp lp;
  lp.qrtype[1] = 'Q';
  EXPECT_EQ(lp.load(), 32);
  EXPECT_EQ(error_number(), 401);
  lp.qrtype[1] = 'G';
  lp.mrwind[2] = 3;
  EXPECT_EQ(lp.load(), 32);
  EXPECT_EQ(error_number(), 402);
  double v;
  EXPECT_EQ(KQGETOBJ(&v, 0, 0), 32);  // no partial problem was left behind
  EXPECT_EQ(error_number(), 91);
  Mip mip;
  mip.qgtype[0] = 'X';
  EXPECT_EQ(mip.load(), 32);
  EXPECT_EQ(error_number(), 403);
  mip.qgtype[0] = 'I';
  mip.qstype[0] = 'A';
  EXPECT_EQ(mip.load(), 32);
  EXPECT_EQ(error_number(), 404);
  mip.qstype[0] = '1';
  mip.mscols[0] = 6;
  EXPECT_EQ(mip.load(), 32);
  EXPECT_EQ(error_number(), 405);
}

TEST_F(ProblemApi, IndexBaseZeroTakesOneBasedIndices) {
  ASSERT_EQ(KQSETICV(50, 0), 0);
  Lp lp;
  for (auto& s : lp.mstart) ++s;
  for (auto& r : lp.mrwind) ++r;
  ASSERT_EQ(lp.load(), 0);
  double v[2];
  EXPECT_EQ(KQGETOBJ(v, 0, 1), 32);
  EXPECT_EQ(error_number(), 407);
  ASSERT_EQ(KQGETOBJ(v, 1, 2), 0);
  EXPECT_EQ(v[1], 2.0);
  int32_t mstart[3], mrwind[5], nels;
  double dmatval[5];
  ASSERT_EQ(KQGETCOLS(mstart, mrwind, dmatval, 5, &nels, 1, 2), 0);
  EXPECT_EQ(std::vector<int32_t>(mstart, mstart + 3), (std::vector<int32_t>{1, 4, 6}));
  EXPECT_EQ(std::vector<int32_t>(mrwind, mrwind + 5), (std::vector<int32_t>{1, 2, 3, 1, 3}));
  int32_t index = 0;
  ASSERT_EQ(KQGETINDEX(1, "VVVVVVV3", &index), 0);
  EXPECT_EQ(index, 3);
  ASSERT_EQ(KQADDNAMES(2, "FIRST", 1, 1), 0);
  ASSERT_EQ(KQGETINDEX(2, "FIRST", &index), 0);
  EXPECT_EQ(index, 1);
  Mip mip;
  for (auto& s : mip.mstart) ++s;
  for (auto& r : mip.mrwind) ++r;
  for (auto& c : mip.mgcols) ++c;
  for (auto& s : mip.msstart) ++s;
  for (auto& c : mip.mscols) ++c;
  ASSERT_EQ(mip.load(), 0);
  int32_t ngents, nsets, mgcols[4], msstart[3], mscols[5];
  ASSERT_EQ(KQGETGLOBAL(&ngents, &nsets, nullptr, mgcols, nullptr, nullptr, msstart, mscols, nullptr), 0);
  EXPECT_EQ(std::vector<int32_t>(mgcols, mgcols + 4), (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(std::vector<int32_t>(msstart, msstart + 3), (std::vector<int32_t>{1, 3, 6}));
  EXPECT_EQ(std::vector<int32_t>(mscols, mscols + 5), (std::vector<int32_t>{5, 6, 1, 5, 6}));
  const int32_t dcols[] = {1};
  const int32_t dpri[] = {12};
  ASSERT_EQ(KQLOADDIR(1, dcols, dpri, nullptr, nullptr, nullptr), 0);
  int32_t mcols[6], mpri[6], ndir;
  ASSERT_EQ(KQGETDIR(&ndir, mcols, mpri, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(mcols[2], 1);
  EXPECT_EQ(mpri[2], 12);
}

TEST_F(ProblemApi, MatrixSlots) {
  Lp lp;
  ASSERT_EQ(lp.load("first"), 0);
  ASSERT_EQ(KQSETICV(7, 1234), 0);
  int32_t n = 0;
  ASSERT_EQ(KQSAVMAT(&n), 0);
  EXPECT_EQ(n, 1);
  double v[2];
  EXPECT_EQ(KQGETOBJ(v, 0, 1), 32);
  EXPECT_EQ(error_number(), 91);
  ASSERT_EQ(KQSETICV(7, 99), 0);
  ASSERT_EQ(KQSETPROB("other"), 0);
  ASSERT_EQ(KQRESMAT(n), 0);
  ASSERT_EQ(KQGETOBJ(v, 0, 1), 0);
  EXPECT_EQ(v[1], 2.0);
  char name[65];
  ASSERT_EQ(KQGETPROB(name), 0);
  EXPECT_STREQ(name, "first");
  int32_t itrlim = 0;
  ASSERT_EQ(KQGETICV(7, &itrlim), 0);
  EXPECT_EQ(itrlim, 1234);
  EXPECT_EQ(KQDELMAT(65), 32);
  EXPECT_EQ(error_number(), 421);
  int32_t copy = 0;
  ASSERT_EQ(KQCPYMAT("second", &copy), 0);
  EXPECT_EQ(copy, 1);
  ASSERT_EQ(KQGETPROB(name), 0);
  EXPECT_STREQ(name, "second");
  ASSERT_EQ(KQGETOBJ(v, 0, 1), 0);
  EXPECT_EQ(KQDELMAT(copy), 0);
  EXPECT_EQ(KQRESMAT(copy), 32);
  EXPECT_EQ(error_number(), 421);
}

// A problem with ncol columns of per_column elements each over nrow rows.
struct Generated {
  std::vector<char> qrtype;
  std::vector<double> rhs, obj, dlb, dub, dmatval;
  std::vector<int32_t> mstart, mrwind;
  Generated(int32_t nrow, int32_t ncol, int32_t per_column)
      : qrtype(static_cast<std::size_t>(nrow), 'L'),
        rhs(static_cast<std::size_t>(nrow), 1.0),
        obj(static_cast<std::size_t>(ncol), 1.0),
        dlb(static_cast<std::size_t>(ncol), 0.0),
        dub(static_cast<std::size_t>(ncol), 1.0) {
    for (int32_t j = 0; j < ncol; ++j) {
      mstart.push_back(static_cast<int32_t>(mrwind.size()));
      for (int32_t k = 0; k < per_column; ++k) {
        mrwind.push_back((j + k * 7) % nrow);
        dmatval.push_back(1.0 + k);
      }
    }
    mstart.push_back(static_cast<int32_t>(mrwind.size()));
  }
  int32_t load() {
    return KQLOADPROB("gen", static_cast<int32_t>(obj.size()), static_cast<int32_t>(rhs.size()), qrtype.data(),
                      rhs.data(), nullptr, obj.data(), mstart.data(), nullptr, mrwind.data(), dmatval.data(),
                      dlb.data(), dub.data());
  }
};

TEST_F(ProblemApi, LoadThatDoesNotFitLeavesTheLibraryUsable) {
  KQFREEXO();
  start(4000000);
  Generated big(100, 3000, 30);
  ASSERT_EQ(big.load(), 0);
  int32_t n = 0;
  ASSERT_EQ(KQSAVMAT(&n), 0);
  ASSERT_EQ(big.load(), 0);
  ASSERT_EQ(KQSAVMAT(&n), 0);
  ASSERT_EQ(big.load(), 0);
  ASSERT_EQ(KQSAVMAT(&n), 0);
  g_lines.clear();
  EXPECT_EQ(big.load(), 1);  // the fourth copy does not fit beside three saved ones
  EXPECT_EQ(error_number(), 20);
  EXPECT_FALSE(g_lines.empty());  // message 20 with the number of the array
  Generated small(100, 300, 10);
  EXPECT_EQ(small.load(), 0);
  double v;
  EXPECT_EQ(KQGETOBJ(&v, 299, 299), 0);
  ASSERT_EQ(KQDELMAT(1), 0);
  EXPECT_EQ(big.load(), 0);
}

}  // namespace
