// Loading from arrays: a table of load cases (valid and each error) with the expected
// return code, error number and what remains loaded, and the data-model edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "problem/problem_fixtures.h"
#include "problem/retrieval.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

using test::LpArrays;

// The warning printed for crossed bounds within IGNORE sets the error number only when
// the catalogue classes it as an error; such cases do not check it.
constexpr std::int32_t kAnyError = -1;

enum class Remains { kNothing, kPrevious, kNew };

struct LoadCase {
  const char* what;
  bool global;
  std::function<void(LpArrays&)> change_arrays;
  std::function<void(Library&)> change_library;
  std::int32_t rc;
  std::int32_t error;
  Remains remains;
};

std::int32_t loaded_columns(Library& lib) { return lib.has_problem() ? lib.problem->columns : -1; }

TEST(Load, TableOfCases) {
  auto none = [](LpArrays&) {};
  auto keep = [](Library&) {};
  const LoadCase cases[] = {
      {"valid linear problem", false, none, keep, 0, 0, Remains::kNew},
      {"valid global problem", true, [](LpArrays& a) { a = test::mip(); }, keep, 0, 0, Remains::kNew},
      {"rows beyond M_R (73)", false, none, [](Library& l) { l.controls.i(icv::M_R) = 2; }, 32, 73, Remains::kPrevious},
      {"rows with NRXTRA beyond M_R (73)", false, none,
       [](Library& l) {
         l.controls.i(icv::M_R) = 4;
         l.controls.i(icv::NRXTRA) = 2;
       },
       32, 73, Remains::kPrevious},
      {"bad row type (401)", false, [](LpArrays& a) { a.row_types[1] = 'X'; }, keep, 32, 401, Remains::kNothing},
      {"row index past the rows (402)", false, [](LpArrays& a) { a.rows[4] = 3; }, keep, 32, 402, Remains::kNothing},
      {"negative row index (402)", false, [](LpArrays& a) { a.rows[0] = -1; }, keep, 32, 402, Remains::kNothing},
      {"column starts running backwards (402)", false,
       [](LpArrays& a) {
         a.starts = {3, 0, 6};
       },
       keep, 32, 402, Remains::kNothing},
      {"negative column length (402)", false,
       [](LpArrays& a) {
         a.lengths = {3, -1};
       },
       keep, 32, 402, Remains::kNothing},
      {"rows and columns beyond M_C - 5 (120)", false, none, [](Library& l) { l.controls.i(icv::M_C) = 9; }, 32, 120,
       Remains::kNothing},
      {"elements beyond M_M (52)", false, none, [](Library& l) { l.controls.i(icv::M_M) = 5; }, 32, 52,
       Remains::kNothing},
      {"capacities settable: no check", false, none,
       [](Library& l) {
         l.controls.i(icv::M_M) = 5;
         l.controls.icv_access[icv::M_M] = 0;
       },
       0, 0, Remains::kNew},
      {"workspace too small (20)", false, none, [](Library& l) { l.workspace.reset(64); }, 1, 20, Remains::kNothing},
      {"lower above upper (29)", false, [](LpArrays& a) { a.lower[1] = 1.0e29; }, keep, 32, 29, Remains::kNothing},
      {"lower above upper within IGNORE", false, [](LpArrays& a) { a.lower[1] = 1.0e29; },
       [](Library& l) { l.controls.i(icv::IGNORE) = 1; }, 0, kAnyError, Remains::kNew},
      {"NaN coefficient (29)", false, [](LpArrays& a) { a.values[0] = std::nan(""); }, keep, 32, 29, Remains::kNothing},
      {"NaN bound (29)", false, [](LpArrays& a) { a.upper[0] = std::nan(""); }, keep, 32, 29, Remains::kNothing},
      {"problem without rows", false,
       [](LpArrays& a) {
         a.row_types.clear();
         a.rhs.clear();
         a.range.clear();
         a.rows.clear();
         a.values.clear();
         a.starts = {0, 0, 0};
       },
       keep, 0, 0, Remains::kNew},
      {"entities beyond NGEMAX (107)", true, [](LpArrays& a) { a = test::mip(); },
       [](Library& l) { l.controls.i(icv::NGEMAX) = 6; }, 32, 107, Remains::kNothing},
      {"bad entity kind (403)", true,
       [](LpArrays& a) {
         a = test::mip();
         a.entity_kinds[2] = 'Q';
       },
       keep, 32, 403, Remains::kNothing},
      {"bad set type (404)", true,
       [](LpArrays& a) {
         a = test::mip();
         a.set_types[1] = '3';
       },
       keep, 32, 404, Remains::kNothing},
      {"set member not a column (405)", true,
       [](LpArrays& a) {
         a = test::mip();
         a.set_columns[3] = 6;
       },
       keep, 32, 405, Remains::kNothing},
      {"entity column not a column (405)", true,
       [](LpArrays& a) {
         a = test::mip();
         a.entity_columns[0] = -1;
       },
       keep, 32, 405, Remains::kNothing},
      {"entity list does not fit (20)", true, [](LpArrays& a) { a = test::mip(); },
       [](Library& l) {
         l.workspace.reset(1000000);
         l.controls.i(icv::NGXTRA) = 1000000;
         l.controls.icv_access[icv::NGEMAX] = 0;
       },
       1, 20, Remains::kNothing},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    test::TestLibrary t;
    LpArrays previous = test::mip();
    ASSERT_EQ(test::load(t.lib(), previous, true), 0);
    LpArrays arrays;
    c.change_arrays(arrays);
    c.change_library(t.lib());
    const std::int32_t m_r = t->controls.i(icv::M_R), m_c = t->controls.i(icv::M_C), m_m = t->controls.i(icv::M_M);
    EXPECT_EQ(test::load(t.lib(), arrays, c.global), c.rc);
    if (c.error != kAnyError) {
      EXPECT_EQ(t->err.error_number, c.error);
    }
    switch (c.remains) {
      case Remains::kNothing:
        EXPECT_FALSE(t->has_problem());
        break;
      case Remains::kPrevious:
        EXPECT_EQ(loaded_columns(t.lib()), 6);
        break;
      case Remains::kNew:
        EXPECT_EQ(loaded_columns(t.lib()), static_cast<std::int32_t>(arrays.objective.size()));
        break;
    }
    // The capacities are the same after a load as before it.
    EXPECT_EQ(t->controls.i(icv::M_R), m_r);
    EXPECT_EQ(t->controls.i(icv::M_C), m_c);
    EXPECT_EQ(t->controls.i(icv::M_M), m_m);
    if (c.remains == Remains::kNothing) {
      EXPECT_EQ(*t->attributes.int_attribute(attr::kRows), 0);
      EXPECT_EQ(get_objective(t.lib(), nullptr, 0, 0, Units::kCaller), 32);
      EXPECT_EQ(t->err.error_number, 91);
    }
  }
}

TEST(Load, MissingArraysAreArgumentErrors) {
  const std::function<void(ProblemInput&)> removals[] = {
      [](ProblemInput& in) { in.rhs = nullptr; },          [](ProblemInput& in) { in.row_types = nullptr; },
      [](ProblemInput& in) { in.objective = nullptr; },    [](ProblemInput& in) { in.lower = nullptr; },
      [](ProblemInput& in) { in.upper = nullptr; },        [](ProblemInput& in) { in.column_starts = nullptr; },
      [](ProblemInput& in) { in.element_rows = nullptr; }, [](ProblemInput& in) { in.range = nullptr; },
  };
  for (const auto& remove : removals) {
    test::TestLibrary t;
    LpArrays a;
    ProblemInput in = a.input();
    remove(in);
    EXPECT_EQ(load_from_arrays(t.lib(), in, false), 32);
    EXPECT_EQ(t->err.error_number, 86);
    EXPECT_FALSE(t->has_problem());
  }
  // Ranges are needed only when some row is ranged.
  test::TestLibrary t;
  LpArrays a;
  a.row_types[2] = 'E';
  ProblemInput in = a.input();
  in.range = nullptr;
  EXPECT_EQ(load_from_arrays(t.lib(), in, false), 0);
}

TEST(Load, NegativeCountsAreArgumentErrors) {
  test::TestLibrary t;
  LpArrays a;
  ProblemInput in = a.input();
  in.rows = -1;
  EXPECT_EQ(load_from_arrays(t.lib(), in, false), 32);
  EXPECT_EQ(t->err.error_number, 406);
  in = a.input();
  in.columns = -2;
  EXPECT_EQ(load_from_arrays(t.lib(), in, false), 32);
  EXPECT_EQ(t->err.error_number, 407);
}

TEST(Load, RowIndexErrorReportsPositionAndIndex) {
  test::TestLibrary t;
  LpArrays a;
  a.rows[4] = 7;
  ASSERT_EQ(test::load(t.lib(), a), 32);
  EXPECT_EQ(t->err.error_value, 7);
  EXPECT_TRUE(t.printed("loadprob     4     7"));
}

TEST(Load, BadRowTypeReportsPositionAndCharacter) {
  test::TestLibrary t;
  LpArrays a;
  a.row_types[2] = 'x';
  ASSERT_EQ(test::load(t.lib(), a), 32);
  EXPECT_TRUE(t.printed("loadprob     2 x"));
}

TEST(Load, WorkspaceFailureLeavesTheLibraryUsable) {
  test::TestLibrary t;
  LpArrays big = test::mip();
  ASSERT_EQ(test::load(t.lib(), big, true), 0);
  const std::int64_t needed = t->workspace.used();
  t->workspace.reset(needed - 16);
  ASSERT_EQ(test::load(t.lib(), big, true), 1);
  EXPECT_EQ(t->err.error_number, 20);
  EXPECT_EQ(t->workspace.used(), 0);
  LpArrays small;
  EXPECT_EQ(test::load(t.lib(), small), 0);
  EXPECT_TRUE(t->has_problem());
}

TEST(Load, DataModel) {
  test::TestLibrary t;
  t->controls.i(icv::IFSCAL) = 0;  // stored values are the loaded ones
  LpArrays a;
  ASSERT_EQ(test::load(t.lib(), a), 0);
  const Problem& p = *t->problem;
  ASSERT_EQ(p.rows, 3);
  ASSERT_EQ(p.spare_rows, 0);
  ASSERT_EQ(p.columns, 2);
  // Logicals: L [0, inf), G (-inf, 0], R stored as L with upper |range|; all basic.
  EXPECT_EQ(p.row_type[0], row_type::kLess);
  EXPECT_EQ(p.row_type[1], row_type::kGreater);
  EXPECT_EQ(p.row_type[2], row_type::kLess);
  EXPECT_EQ(p.lower[2], 0.0);
  EXPECT_EQ(p.upper[2], 5.0);
  EXPECT_EQ(p.rhs[2], 10.0);
  EXPECT_EQ(p.upper[0], 9.999999999999999e29);
  EXPECT_EQ(p.lower[1], -9.999999999999999e29);
  EXPECT_EQ(p.status[0] & 0xFFFFFFu, status::kFiniteLower | status::kBasic);
  EXPECT_EQ(p.status[1] & 0xFFFFFFu, status::kFiniteUpper | status::kBasic);
  EXPECT_EQ(p.status[2] & 0xFFFFFFu, status::kFiniteLower | status::kFiniteUpper | status::kBasic);
  // Every variable unscaled (IFSCAL = 0): exponent 64 in the top byte.
  for (std::uint32_t word : p.status) EXPECT_EQ(word >> 24, 64u);
  // Columns: 1.0E29 is infinite, 9.9E28 finite.
  EXPECT_EQ(p.upper[3], 9.999999999999999e29);
  EXPECT_EQ(p.status[3] & 0xFFFFFFu, status::kFiniteLower);
  EXPECT_EQ(p.upper[4], 9.9e28);
  EXPECT_EQ(p.status[4] & 0xFFFFFFu, status::kFiniteLower | status::kFiniteUpper);
  // The element 5.0E-10 is dropped and not counted.
  EXPECT_EQ(p.by_column.start, (std::vector<std::int32_t>{0, 3, 5}));
  EXPECT_EQ(p.by_column.row, (std::vector<std::int32_t>{0, 1, 2, 0, 2}));
  EXPECT_EQ(*t->attributes.int_attribute(attr::kElements), 5);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kRows), 3);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kLastColumn), 5);
  EXPECT_EQ(*t->attributes.double_attribute(attr::kPseudoCostFactor), 1.0);
  // Default names, columns numbered by their internal position.
  EXPECT_EQ(p.names.trimmed(0), "VVVVVVV1");
  EXPECT_EQ(p.names.trimmed(3), "VVVVVVV4");
  EXPECT_EQ(p.names.trimmed(4), "VVVVVVV5");
  EXPECT_EQ(t->controls.i(icv::IFMEM), 1);
  // Name record.
  EXPECT_EQ(trim_blank_padded(*t->attributes.char_attribute(3001)), "smalllp");
  EXPECT_EQ(trim_blank_padded(*t->attributes.char_attribute(3002)), "BND00001");
  EXPECT_EQ(trim_blank_padded(*t->attributes.char_attribute(3003)), "");
  EXPECT_EQ(trim_blank_padded(*t->attributes.char_attribute(3004)), "RHS00001");
  EXPECT_EQ(t->problem_name, "smalllp");
}

TEST(Load, NameRecordTakesTheNameAfterTheLastSeparator) {
  test::TestLibrary t;
  LpArrays a;
  a.name = "dir\\sub/averylongname";
  ASSERT_EQ(test::load(t.lib(), a), 0);
  EXPECT_EQ(trim_blank_padded(*t->attributes.char_attribute(3001)), "averylon");
  a.name = "";
  ASSERT_EQ(test::load(t.lib(), a), 0);
  EXPECT_EQ(t->problem_name, "dir\\sub/averylongname");
}

TEST(Load, ColumnLengthsMayLeaveGaps) {
  test::TestLibrary t;
  t->controls.i(icv::IFSCAL) = 0;  // stored values are the loaded ones
  LpArrays a;
  a.starts = {4, 0};  // column 0 at 4..6, column 1 at 0..1; mstart[ncol] is not read
  a.lengths = {3, 2};
  a.rows = {0, 2, 9, 9, 0, 1, 2};
  a.values = {2.0, 1.0, 0.0, 0.0, 1.0, 3.0, 1.0};
  ASSERT_EQ(test::load(t.lib(), a), 0);
  const ColumnMatrix& m = t->problem->by_column;
  EXPECT_EQ(m.start, (std::vector<std::int32_t>{0, 3, 5}));
  EXPECT_EQ(m.row, (std::vector<std::int32_t>{0, 1, 2, 0, 2}));
  EXPECT_EQ(m.value, (std::vector<double>{1.0, 3.0, 1.0, 2.0, 1.0}));
}

TEST(Load, DuplicateElementsStaySeparate) {
  test::TestLibrary t;
  LpArrays a;
  a.rows = {0, 0, 2, 0, 1, 2};
  ASSERT_EQ(test::load(t.lib(), a), 0);
  EXPECT_EQ(t->problem->by_column.row, (std::vector<std::int32_t>{0, 0, 2, 0, 2}));
}

TEST(Load, IndexBaseZeroTakesOneBasedIndices) {
  test::TestLibrary t;
  t->controls.i(icv::IFDBG) = 0;
  LpArrays a;
  for (auto& s : a.starts) ++s;
  for (auto& r : a.rows) ++r;
  ASSERT_EQ(test::load(t.lib(), a), 0);
  EXPECT_EQ(t->problem->by_column.row, (std::vector<std::int32_t>{0, 1, 2, 0, 2}));
  a.rows[0] = 0;  // row 0 does not exist with 1-based indices
  ASSERT_EQ(test::load(t.lib(), a), 32);
  EXPECT_EQ(t->err.error_number, 402);
  EXPECT_TRUE(t.printed("loadprob     1     0"));  // the position is quoted 1-based
}

TEST(Load, SpareCapacityAndAttributes) {
  test::TestLibrary t;
  t->controls.i(icv::NRXTRA) = 2;
  t->controls.i(icv::NCXTRA) = 3;
  t->controls.i(icv::NMXTRA) = 1;
  t->controls.i(icv::NGXTRA) = 4;
  LpArrays a;
  ASSERT_EQ(test::load(t.lib(), a), 0);
  const Problem& p = *t->problem;
  EXPECT_EQ(p.spare_rows, 2);
  EXPECT_EQ(t->controls.i(icv::NMXTRA), 2 * 2 + 3);  // raised, and the raise stays
  EXPECT_EQ(*t->attributes.int_attribute(attr::kSpareRows), 2);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kSpareColumns), 3);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kSpareElements), 7);
  EXPECT_EQ(*t->attributes.int_attribute(attr::kLastColumn), 3 + 2 + 2);
  EXPECT_EQ(p.spare_entities, 4);
  // Spare slots: fixed, no type, not basic; the columns come after them.
  EXPECT_EQ(p.status[3] & 0xFFFFFFu, status::kFixed);
  EXPECT_EQ(p.row_type[4], row_type::kSpare);
  EXPECT_EQ(p.names.trimmed(p.column_variable(0)), "VVVVVVV6");
}

TEST(Load, FreeRowsFollowIfnrw) {
  struct Case {
    std::int32_t ifnrw;
    std::int32_t rows;
    std::int32_t spare;
    std::vector<std::int32_t> element_rows;
  };
  // Rows N, L, N, G; column 0 has one element in each row.
  const Case cases[] = {{1, 4, 0, {0, 1, 2, 3}}, {0, 4, 0, {1, 3}}, {-1, 2, 2, {0, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ifnrw);
    test::TestLibrary t;
    t->controls.i(icv::IFNRW) = c.ifnrw;
    t->controls.i(icv::IFSCAL) = 0;  // stored values are the loaded ones
    LpArrays a;
    a.row_types = {'N', 'L', 'N', 'G'};
    a.rhs = {0, 1, 0, 2};
    a.range = {0, 0, 0, 0};
    a.objective = {1.0};
    a.starts = {0, 4};
    a.rows = {0, 1, 2, 3};
    a.values = {1, 2, 3, 4};
    a.lower = {0};
    a.upper = {1};
    ASSERT_EQ(test::load(t.lib(), a), 0);
    EXPECT_EQ(t->problem->rows, c.rows);
    EXPECT_EQ(t->problem->spare_rows, c.spare);
    EXPECT_EQ(t->problem->by_column.row, c.element_rows);
    if (c.ifnrw < 0) {
      EXPECT_EQ(t->problem->rhs[1], 2.0);  // the G row is row 1 now
      EXPECT_EQ(t->problem->row_type[1], row_type::kGreater);
    }
  }
}

TEST(Load, RangedRowWithInfiniteRangeIsAnLRow) {
  test::TestLibrary t;
  LpArrays a;
  a.range[2] = -2.0e29;
  ASSERT_EQ(test::load(t.lib(), a), 0);
  char types[3];
  ASSERT_EQ(get_row_types(t.lib(), types, 0, 2), 0);
  EXPECT_EQ(std::string(types, 3), "LGL");
}

TEST(Load, SemiContinuousLimitAndEntityOrderFromReaders) {
  test::TestLibrary t;
  LpArrays a = test::mip();
  std::vector<double> limits{0.0, 0.0, 2.5, 0.0, 0.0};
  ProblemInput in = a.input();
  in.semi_continuous_limits = limits.data();
  LoadOptions options;
  options.global = true;
  options.sets_first = false;
  options.apply_ifnrw = false;
  ASSERT_EQ(load_problem(t.lib(), in, options), 0);
  const Problem& p = *t->problem;
  ASSERT_EQ(p.entities.size(), 6u);
  EXPECT_EQ(p.entities[0].kind(), EntityKind::kInteger);
  EXPECT_EQ(p.entities[2].limit, 2.5);
  EXPECT_EQ(p.entities[4].kind(), EntityKind::kSet1);
  EXPECT_EQ(p.entities[5].reference, 1);
}

TEST(Load, ReaderNamesAndFaults) {
  test::TestLibrary t;
  t->controls.i(icv::NRXTRA) = 1;
  LpArrays a;
  const char row_names[] = "R1\0\0\0\0\0\0COST    LIMIT   ";
  const char column_names[] = "X       Y       ";
  const char spare_names[] = "*******1";
  ProblemInput in = a.input();
  in.row_names = row_names;
  in.column_names = column_names;
  in.spare_row_names = spare_names;
  in.name_chars = 8;
  LoadOptions options;
  options.spare_row_kind = SpareRowKind::kEmptyLess;
  options.prior_faults = 1;
  options.keep_loaded_over_ignore = true;
  EXPECT_EQ(load_problem(t.lib(), in, options), 32);
  EXPECT_EQ(t->err.error_number, 29);
  ASSERT_TRUE(t->has_problem());
  const Problem& p = *t->problem;
  EXPECT_EQ(p.names.trimmed(0), "R1");
  EXPECT_EQ(p.names.trimmed(2), "LIMIT");
  EXPECT_EQ(p.names.trimmed(3), "*******1");
  EXPECT_EQ(p.names.trimmed(5), "Y");
  EXPECT_EQ(p.row_type[3], row_type::kLess);
  EXPECT_EQ(p.status[3] & 0xFFFFFFu, status::kFiniteLower | status::kBasic);
}

}  // namespace
}  // namespace kqopt
