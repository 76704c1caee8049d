// Problem retrieval: round trips of every array, the size/nels rules of the matrix
// reads, names, index lookup, row and column types, global entities, and values
// unscaled through the status-word exponents.
#include "problem/retrieval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "problem/add_names.h"
#include "problem/problem_fixtures.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

using test::LpArrays;
constexpr double kInf = 9.999999999999999e29;

TEST(Retrieval, VectorsRoundTrip) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  double v[3];
  ASSERT_EQ(get_objective(t.lib(), v, 0, 1, Units::kCaller), 0);
  EXPECT_EQ(v[0], 1.0);
  EXPECT_EQ(v[1], 2.0);
  ASSERT_EQ(get_rhs(t.lib(), v, 0, 2, Units::kCaller), 0);
  EXPECT_EQ(std::vector<double>(v, v + 3), (std::vector<double>{4.0, 1.0, 10.0}));
  ASSERT_EQ(get_range(t.lib(), v, 0, 2, Units::kCaller), 0);
  EXPECT_EQ(std::vector<double>(v, v + 3), (std::vector<double>{kInf, 0.0, 5.0}));
  ASSERT_EQ(get_lower_bounds(t.lib(), v, 0, 1, Units::kCaller), 0);
  EXPECT_EQ(std::vector<double>(v, v + 2), (std::vector<double>{0.0, -2.0}));
  ASSERT_EQ(get_upper_bounds(t.lib(), v, 0, 1, Units::kCaller), 0);
  EXPECT_EQ(std::vector<double>(v, v + 2), (std::vector<double>{kInf, 9.9e28}));
  char types[4] = {};
  ASSERT_EQ(get_row_types(t.lib(), types, 0, 2), 0);
  EXPECT_STREQ(types, "LGR");
  ASSERT_EQ(get_column_types(t.lib(), types, 0, 1), 0);
  EXPECT_EQ(std::string(types, 2), "CC");
}

TEST(Retrieval, RangeChecks) {
  struct Case {
    std::function<std::int32_t(Library&)> call;
    std::int32_t rc;
    std::int32_t error;
    std::int64_t value;
  };
  double v[8];
  char c[8];
  std::int32_t n = 0;
  const Case cases[] = {
      {[&](Library& l) { return get_objective(l, v, -1, 0, Units::kCaller); }, 32, 407, -1},
      {[&](Library& l) { return get_objective(l, v, 0, 2, Units::kCaller); }, 32, 407, 2},
      {[&](Library& l) { return get_upper_bounds(l, v, 0, 2, Units::kInternal); }, 32, 407, 2},
      {[&](Library& l) { return get_rhs(l, v, 0, 3, Units::kCaller); }, 32, 406, 3},
      {[&](Library& l) { return get_range(l, v, -3, 3, Units::kCaller); }, 32, 406, -3},
      {[&](Library& l) { return get_row_types(l, c, 2, 3); }, 32, 406, 3},
      {[&](Library& l) { return get_column_types(l, c, 0, 5); }, 32, 407, 5},
      {[&](Library& l) { return get_columns(l, nullptr, nullptr, nullptr, 0, &n, 0, 2, Units::kCaller); }, 32, 407, 2},
      {[&](Library& l) { return get_rows(l, nullptr, nullptr, nullptr, 0, &n, -1, 2, Units::kCaller); }, 32, 406, -1},
      {[&](Library& l) { return get_names(l, 1, nullptr, 0, 3); }, 32, 406, 3},
      {[&](Library& l) { return get_names(l, 2, nullptr, 0, 2); }, 32, 407, 2},
      {[&](Library& l) { return get_objective(l, nullptr, 0, 1, Units::kCaller); }, 32, 86, 0},
      {[&](Library& l) { return get_objective(l, nullptr, 1, 0, Units::kCaller); }, 0, 0, 0},
  };
  for (const Case& k : cases) {
    test::TestLibrary t;
    ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
    EXPECT_EQ(k.call(t.lib()), k.rc);
    EXPECT_EQ(t->err.error_number, k.error);
    if (k.error == 406 || k.error == 407) {
      EXPECT_EQ(t->err.error_value, k.value);
    }
  }
}

TEST(Retrieval, NoProblemGives91) {
  test::TestLibrary t;
  double v[2];
  std::int32_t n = 0;
  for (std::int32_t rc : {get_objective(t.lib(), v, 0, 0, Units::kCaller), get_rhs(t.lib(), v, 0, 0, Units::kInternal),
                          get_columns(t.lib(), nullptr, nullptr, nullptr, 0, &n, 0, 0, Units::kCaller),
                          get_global(t.lib(), &n, &n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
                          get_index(t.lib(), 1, "R", &n)}) {
    EXPECT_EQ(rc, 32);
    EXPECT_EQ(t->err.error_number, 91);
  }
}

TEST(Retrieval, ColumnsWithSizeRules) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  std::int32_t start[3] = {-7, -7, -7}, row[5] = {-7, -7, -7, -7, -7}, nels = -1;
  double value[5] = {};
  // Size 0 only counts.
  ASSERT_EQ(get_columns(t.lib(), start, row, value, 0, &nels, 0, 1, Units::kCaller), 0);
  EXPECT_EQ(nels, 5);
  EXPECT_EQ(start[0], -7);
  // Full copy.
  ASSERT_EQ(get_columns(t.lib(), start, row, value, 5, &nels, 0, 1, Units::kCaller), 0);
  EXPECT_EQ(std::vector<std::int32_t>(start, start + 3), (std::vector<std::int32_t>{0, 3, 5}));
  EXPECT_EQ(std::vector<std::int32_t>(row, row + 5), (std::vector<std::int32_t>{0, 1, 2, 0, 2}));
  EXPECT_EQ(std::vector<double>(value, value + 5), (std::vector<double>{1.0, 3.0, 1.0, 2.0, 1.0}));
  // Size 4: the copy stops inside column 1, whose start entry was written; no end entry.
  std::int32_t short_start[3] = {-7, -7, -7}, short_row[5] = {-7, -7, -7, -7, -7};
  ASSERT_EQ(get_columns(t.lib(), short_start, short_row, value, 4, &nels, 0, 1, Units::kCaller), 0);
  EXPECT_EQ(nels, 5);
  EXPECT_EQ(std::vector<std::int32_t>(short_start, short_start + 3), (std::vector<std::int32_t>{0, 3, -7}));
  EXPECT_EQ(std::vector<std::int32_t>(short_row, short_row + 5), (std::vector<std::int32_t>{0, 1, 2, 0, -7}));
  // Size 3: column 1 stops at its first element but has its entry.
  std::int32_t third_start[3] = {-7, -7, -7};
  ASSERT_EQ(get_columns(t.lib(), third_start, short_row, value, 3, &nels, 0, 1, Units::kCaller), 0);
  EXPECT_EQ(std::vector<std::int32_t>(third_start, third_start + 3), (std::vector<std::int32_t>{0, 3, -7}));
  // A sub-range.
  ASSERT_EQ(get_columns(t.lib(), start, row, value, 5, &nels, 1, 1, Units::kCaller), 0);
  EXPECT_EQ(nels, 2);
  EXPECT_EQ(start[0], 0);
  EXPECT_EQ(start[1], 2);
  EXPECT_EQ(row[1], 2);
}

TEST(Retrieval, RowsWithSizeRules) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  std::int32_t start[4] = {-7, -7, -7, -7}, column[5] = {-7, -7, -7, -7, -7}, nels = -1;
  double value[5] = {};
  ASSERT_EQ(get_rows(t.lib(), start, column, value, 0, &nels, 0, 2, Units::kCaller), 0);
  EXPECT_EQ(nels, 5);
  ASSERT_EQ(get_rows(t.lib(), start, column, value, 5, &nels, 0, 2, Units::kCaller), 0);
  EXPECT_EQ(std::vector<std::int32_t>(start, start + 4), (std::vector<std::int32_t>{0, 2, 3, 5}));
  EXPECT_EQ(std::vector<std::int32_t>(column, column + 5), (std::vector<std::int32_t>{0, 1, 0, 0, 1}));
  EXPECT_EQ(std::vector<double>(value, value + 5), (std::vector<double>{1.0, 2.0, 3.0, 1.0, 1.0}));
  // Size 4: the copy stops inside row 2, which gets no entry.
  std::int32_t short_start[4] = {-7, -7, -7, -7};
  ASSERT_EQ(get_rows(t.lib(), short_start, column, value, 4, &nels, 0, 2, Units::kCaller), 0);
  EXPECT_EQ(nels, 5);
  EXPECT_EQ(std::vector<std::int32_t>(short_start, short_start + 4), (std::vector<std::int32_t>{0, 2, -7, -7}));
}

TEST(Retrieval, IndexBaseZeroReturnsOneBasedIndices) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  t->controls.i(icv::IFDBG) = 0;
  std::int32_t start[3], row[5], nels = 0, index = 0;
  double value[5], v[2];
  ASSERT_EQ(get_columns(t.lib(), start, row, value, 5, &nels, 1, 2, Units::kCaller), 0);
  EXPECT_EQ(std::vector<std::int32_t>(start, start + 3), (std::vector<std::int32_t>{1, 4, 6}));
  EXPECT_EQ(std::vector<std::int32_t>(row, row + 5), (std::vector<std::int32_t>{1, 2, 3, 1, 3}));
  EXPECT_EQ(get_objective(t.lib(), v, 0, 1, Units::kCaller), 32);
  EXPECT_EQ(t->err.error_value, 0);
  ASSERT_EQ(get_objective(t.lib(), v, 2, 2, Units::kCaller), 0);
  EXPECT_EQ(v[0], 2.0);
  ASSERT_EQ(get_index(t.lib(), 2, "VVVVVVV5", &index), 0);
  EXPECT_EQ(index, 2);
}

TEST(Retrieval, NamesAndIndex) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  char names[3 * 9];
  ASSERT_EQ(get_names(t.lib(), 2, names, 0, 1), 0);
  EXPECT_STREQ(names, "VVVVVVV4");
  EXPECT_STREQ(names + 9, "VVVVVVV5");
  ASSERT_EQ(add_names(t.lib(), 1, "CAP\0DEMAND\0BALANCE", 0, 2), 0);
  ASSERT_EQ(get_names(t.lib(), 1, names, 0, 2), 0);
  EXPECT_STREQ(names, "CAP     ");
  EXPECT_STREQ(names + 9, "DEMAND  ");
  EXPECT_STREQ(names + 18, "BALANCE ");
  std::int32_t index = 5;
  ASSERT_EQ(get_index(t.lib(), 1, "DEMAND", &index), 0);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(get_index(t.lib(), 1, "NOSUCH", &index), 0);
  EXPECT_EQ(index, -1);
  ASSERT_EQ(get_index(t.lib(), 2, "CAP", &index), 0);  // rows and columns apart
  EXPECT_EQ(index, -1);
  ASSERT_EQ(get_index(t.lib(), 1, "BALANCE   ", &index), 0);  // trailing blanks beyond 8
  EXPECT_EQ(index, 2);
  ASSERT_EQ(get_index(t.lib(), 1, "BALANCEXX", &index), 0);
  EXPECT_EQ(index, -1);
}

TEST(Retrieval, LongNames) {
  test::TestLibrary t;
  t->controls.i(icv::NAMLEN) = 16;
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  ASSERT_EQ(add_names(t.lib(), 2, "A_SIXTEEN_CHARS_\0B", 0, 1), 0);
  char names[2 * 17];
  ASSERT_EQ(get_names(t.lib(), 2, names, 0, 1), 0);
  EXPECT_STREQ(names, "A_SIXTEEN_CHARS_");
  EXPECT_STREQ(names + 17, "B               ");
  EXPECT_EQ(add_names(t.lib(), 2, "SEVENTEEN_CHARS_X", 0, 0), 32);
  EXPECT_EQ(t->err.error_number, 408);
}

TEST(Retrieval, AddNamesChecksEveryNameFirst) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  EXPECT_EQ(add_names(t.lib(), 1, "OK\0TOOLONGNAME\0C", 0, 2), 32);
  EXPECT_EQ(t->err.error_number, 408);
  EXPECT_EQ(t->err.error_value, 3);  // the long name starts at character 3
  EXPECT_EQ(t->problem->names.trimmed(0), "VVVVVVV1");
  EXPECT_EQ(add_names(t.lib(), 1, "A", 2, 3), 32);
  EXPECT_EQ(t->err.error_number, 406);
  EXPECT_EQ(add_names(t.lib(), 2, "A", -1, 0), 32);
  EXPECT_EQ(t->err.error_number, 407);
  EXPECT_EQ(add_names(t.lib(), 2, "A", 1, 0), 0);  // last < first: nothing happens
  EXPECT_EQ(add_names(t.lib(), 2, nullptr, 0, 0), 32);
  EXPECT_EQ(t->err.error_number, 86);
  test::TestLibrary empty;
  EXPECT_EQ(add_names(empty.lib(), 1, "A", 0, 0), 32);
  EXPECT_EQ(empty->err.error_number, 91);
}

TEST(Retrieval, GlobalEntitiesRoundTrip) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), test::mip(), true), 0);
  EXPECT_TRUE(t.printed("VVVVVVV7"));  // column 1 listed twice: message 261 with its name
  EXPECT_EQ(*t->attributes.int_attribute(attr::kGlobalEntities), 6);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kSets), 2);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kSetMembers), 5);
  std::int32_t ngents = 0, nsets = 0, mgcols[4], msstart[3], mscols[5];
  char qgtype[4], qstype[2];
  double dlim[4], dref[5];
  ASSERT_EQ(get_global(t.lib(), &ngents, &nsets, qgtype, mgcols, dlim, qstype, msstart, mscols, dref), 0);
  EXPECT_EQ(ngents, 4);
  EXPECT_EQ(nsets, 2);
  EXPECT_EQ(std::string(qgtype, 4), "IBSP");
  EXPECT_EQ(std::vector<std::int32_t>(mgcols, mgcols + 4), (std::vector<std::int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(std::vector<double>(dlim, dlim + 4), (std::vector<double>{0, 0, 0, 7}));
  EXPECT_EQ(std::string(qstype, 2), "12");
  EXPECT_EQ(std::vector<std::int32_t>(msstart, msstart + 3), (std::vector<std::int32_t>{0, 2, 5}));
  EXPECT_EQ(std::vector<std::int32_t>(mscols, mscols + 5), (std::vector<std::int32_t>{4, 5, 0, 4, 5}));
  EXPECT_EQ(std::vector<double>(dref, dref + 5), (std::vector<double>{1, 2, 1, 2, 3}));
  // Null arrays are skipped.
  ASSERT_EQ(get_global(t.lib(), &ngents, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  // The binary on upper bound 5 ends with upper bound 1; column types follow the bits.
  double upper[6];
  ASSERT_EQ(get_upper_bounds(t.lib(), upper, 0, 5, Units::kCaller), 0);
  EXPECT_EQ(upper[1], 1.0);
  char types[6];
  ASSERT_EQ(get_column_types(t.lib(), types, 0, 5), 0);
  EXPECT_EQ(std::string(types, 6), "IBSPCC");
  const Problem& p = *t->problem;
  EXPECT_EQ(p.entities[0].kind(), EntityKind::kSet1);
  EXPECT_EQ(p.entities[5].word, 4u + 16u * 7u);
  EXPECT_EQ(p.status[static_cast<std::size_t>(p.column_variable(3))] & 0xFFFFFFu,
            status::kGlobalEntity | status::kPartialInteger | status::kFiniteLower | status::kFiniteUpper);
  EXPECT_EQ(p.sets.names.trimmed(1), "SSVVVVV2");
  EXPECT_EQ(p.sets.members[0].upper_bound, 1.0);
}

TEST(Retrieval, ValuesAreUnscaledThroughTheExponents) {
  test::TestLibrary t;
  t->controls.i(icv::IFSCAL) = 0;  // the exponents below are set by hand
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  // Scale as the scaling step would: row 2 by R = 2^3 (exponent 61), column 1 by
  // C = 2^-2 (exponent 66). Stored: a' = a R C, c' = c C, l' = l / C, rhs' = rhs R.
  Problem& p = *t->problem;
  const std::size_t col1 = static_cast<std::size_t>(p.column_variable(1));
  p.status[2] = status::with_exponent(p.status[2], 61);
  p.status[col1] = status::with_exponent(p.status[col1], 66);
  p.rhs[2] *= 8.0;
  p.upper[2] *= 8.0;
  p.objective[1] *= 0.25;
  p.lower[col1] /= 0.25;
  p.upper[col1] /= 0.25;
  p.by_column.value[2] *= 8.0;         // row 2, column 0
  p.by_column.value[4] *= 8.0 * 0.25;  // row 2, column 1
  p.by_column.value[3] *= 0.25;        // row 0, column 1
  double v[3];
  ASSERT_EQ(get_rhs(t.lib(), v, 2, 2, Units::kCaller), 0);
  EXPECT_EQ(v[0], 10.0);
  ASSERT_EQ(get_rhs(t.lib(), v, 2, 2, Units::kInternal), 0);
  EXPECT_EQ(v[0], 80.0);
  ASSERT_EQ(get_range(t.lib(), v, 0, 2, Units::kCaller), 0);
  EXPECT_EQ(v[0], kInf);
  EXPECT_EQ(v[2], 5.0);
  ASSERT_EQ(get_objective(t.lib(), v, 1, 1, Units::kCaller), 0);
  EXPECT_EQ(v[0], 2.0);
  ASSERT_EQ(get_lower_bounds(t.lib(), v, 1, 1, Units::kCaller), 0);
  EXPECT_EQ(v[0], -2.0);
  ASSERT_EQ(get_lower_bounds(t.lib(), v, 1, 1, Units::kInternal), 0);
  EXPECT_EQ(v[0], -8.0);
  ASSERT_EQ(get_upper_bounds(t.lib(), v, 1, 1, Units::kCaller), 0);
  EXPECT_EQ(v[0], 9.9e28);
  std::int32_t start[3], row[5], nels;
  double value[5];
  ASSERT_EQ(get_columns(t.lib(), start, row, value, 5, &nels, 0, 1, Units::kCaller), 0);
  EXPECT_EQ(std::vector<double>(value, value + 5), (std::vector<double>{1.0, 3.0, 1.0, 2.0, 1.0}));
  ASSERT_EQ(get_columns(t.lib(), start, row, value, 5, &nels, 0, 1, Units::kInternal), 0);
  EXPECT_EQ(std::vector<double>(value, value + 5), (std::vector<double>{1.0, 3.0, 8.0, 0.5, 2.0}));
  ASSERT_EQ(get_rows(t.lib(), start, row, value, 5, &nels, 2, 2, Units::kCaller), 0);
  EXPECT_EQ(std::vector<double>(value, value + 2), (std::vector<double>{1.0, 1.0}));
}

TEST(Retrieval, RowCopyIsChargedAndRebuiltWhenStale) {
  test::TestLibrary t;
  ASSERT_EQ(test::load(t.lib(), LpArrays{}), 0);
  const std::int64_t before = t->workspace.used();
  std::int32_t nels = 0;
  ASSERT_EQ(get_rows(t.lib(), nullptr, nullptr, nullptr, 0, &nels, 0, 2, Units::kCaller), 0);
  EXPECT_GT(t->workspace.used(), before);
  EXPECT_FALSE(t->problem->by_row.stale);
  t->workspace.reset(16);
  t->problem->by_row.stale = true;
  t->problem->charges.arrays.clear();
  EXPECT_EQ(get_rows(t.lib(), nullptr, nullptr, nullptr, 0, &nels, 0, 2, Units::kCaller), 1);
  EXPECT_EQ(t->err.error_number, 20);
}

}  // namespace
}  // namespace kqopt
