// The MPS reader on small inline files: a table of cases with the expected return
// code, the reader's messages, the fault count and the loaded model.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "input/input_problem.h"
#include "library/control_access.h"
#include "library/library.h"
#include "problem/problem.h"
#include "problem/units.h"
#include "support/test_library.h"

namespace kqopt::input {
namespace {

// A fixed-layout data line with fields at columns 2, 5, 15, 25, 40 and 50.
std::string F(const std::string& f1, const std::string& f2 = "", const std::string& f3 = "", const std::string& f4 = "",
              const std::string& f5 = "", const std::string& f6 = "") {
  std::string s(61, ' ');
  auto put = [&](std::size_t at, const std::string& text) { s.replace(at, text.size(), text); };
  put(1, f1);
  put(4, f2);
  put(14, f3);
  put(24, f4);
  put(39, f5);
  put(49, f6);
  s.resize(61);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s + "\n";
}

// Three constraints and three columns:
//   min  x1 + 2 x2 − x3 (+ constant 2.5 from the RHS of COST)
//   LIM1:  x1 + x2        ≤ 4
//   LIM2:  x1             ≥ 1
//   MYEQN:     − x2 + x3  = 7
//   0 ≤ x1 ≤ 4, −1 ≤ x2 ≤ 1, x3 ≥ 0
std::string head() { return "NAME          TESTLP\nROWS\n N  COST\n L  LIM1\n G  LIM2\n E  MYEQN\nCOLUMNS\n"; }
std::string columns() {
  return F("", "X1", "COST", "1.0", "LIM1", "1.0") + F("", "X1", "LIM2", "1.0") +
         F("", "X2", "COST", "2.0", "LIM1", "1.0") + F("", "X2", "MYEQN", "-1.0") +
         F("", "X3", "COST", "-1.0", "MYEQN", "1.0");
}
std::string rhs() {
  return "RHS\n" + F("", "RHS", "LIM1", "4.0", "LIM2", "1.0") + F("", "RHS", "MYEQN", "7.0") +
         F("", "RHS", "COST", "-2.5");
}
std::string bounds() {
  return "BOUNDS\n" + F("UP", "BND", "X1", "4.0") + F("LO", "BND", "X2", "-1.0") + F("UP", "BND", "X2", "1.0");
}
std::string base() { return head() + columns() + rhs() + bounds() + "ENDATA\n"; }

// Accessors on the loaded problem by name, values in the caller's units.
struct View {
  Library& lib;
  const Problem& p() const { return *lib.problem; }
  std::int32_t row(const std::string& name) const {
    for (std::int32_t i = 0; i < p().row_slots(); ++i) {
      if (p().names.trimmed(i) == name) return i;
    }
    ADD_FAILURE() << "no row " << name;
    return 0;
  }
  std::int32_t column(const std::string& name) const {
    for (std::int32_t j = 0; j < p().columns; ++j) {
      if (p().names.trimmed(p().column_variable(j)) == name) return j;
    }
    ADD_FAILURE() << "no column " << name;
    return 0;
  }
  std::size_t var(const std::string& column_name) const {
    return static_cast<std::size_t>(p().column_variable(column(column_name)));
  }
  double lower(const std::string& c) const {
    return scale_bound_by(p().lower[var(c)], column_bound_shift(p(), column(c)));
  }
  double upper(const std::string& c) const {
    return scale_bound_by(p().upper[var(c)], column_bound_shift(p(), column(c)));
  }
  std::uint32_t word(const std::string& c) const { return p().status[var(c)]; }
  double cost(const std::string& c) const {
    return scale_by(p().objective[static_cast<std::size_t>(column(c))], objective_shift(p(), column(c)));
  }
  // The row's activity limits [rhs − upper(logical), rhs − lower(logical)].
  std::pair<double, double> activity(const std::string& r) const {
    auto i = static_cast<std::size_t>(row(r));
    const int shift = row_shift(p(), row(r));
    const double rhs = scale_bound_by(p().rhs[i], shift);
    return {rhs - scale_bound_by(p().upper[i], shift), rhs - scale_bound_by(p().lower[i], shift)};
  }
  std::uint8_t type(const std::string& r) const { return p().row_type[static_cast<std::size_t>(row(r))]; }
  double coefficient(const std::string& c, const std::string& r) const {
    std::int32_t j = column(c), i = row(r);
    double sum = 0;
    for (std::int32_t q = p().by_column.start[static_cast<std::size_t>(j)];
         q < p().by_column.start[static_cast<std::size_t>(j) + 1]; ++q) {
      if (p().by_column.row[static_cast<std::size_t>(q)] == i) sum += p().by_column.value[static_cast<std::size_t>(q)];
    }
    return scale_by(sum, element_shift(p(), i, j));
  }
  const GlobalEntity* entity(const std::string& c) const {
    std::int32_t j = column(c);
    for (const GlobalEntity& e : p().entities) {
      if (!e.is_set() && e.reference == j) return &e;
    }
    return nullptr;
  }
  std::string control(int n) const { return lib.controls.c(n); }
};

constexpr double kInf = kInfinity;

struct Case {
  const char* name;
  std::string text;
  std::function<void(Library&)> setup;
  std::int32_t rc;
  std::vector<int> messages;  // the reader's messages
  std::int64_t faults;
  bool loaded;
  std::function<void(const View&)> check;
};

void run_case(const Case& c) {
  SCOPED_TRACE(c.name);
  test::TestLibrary t;
  t->controls.i(icv::PRNLVL) = 0;
  const Controls defaults = t->controls;
  if (c.setup) c.setup(t.lib());
  InputDiagnostics d;
  EXPECT_EQ(input_mps_text(t.lib(), c.text, &d), c.rc);
  EXPECT_EQ(t->err.return_code, c.rc);
  EXPECT_EQ(d.messages, c.messages);
  EXPECT_EQ(d.faults, c.faults);
  EXPECT_EQ(t->has_problem(), c.loaded);
  if (c.check && t->has_problem()) c.check(View{t.lib()});
  // The library stays usable: a good file loads after whatever came before.
  t->controls = defaults;
  EXPECT_EQ(input_mps_text(t.lib(), base()), 0);
  EXPECT_TRUE(t->has_problem());
}

void set_icv(Library& lib, int n, std::int32_t v) { ASSERT_EQ(set_int_control(lib, n, v), 0); }
void set_ccv(Library& lib, int n, const char* v) { ASSERT_EQ(set_char_control(lib, n, v), 0); }

TEST(MpsReader, BaseProblem) {
  run_case({"base", base(), nullptr, 0, {}, 0, true, [](const View& v) {
              const Problem& p = v.p();
              EXPECT_EQ(p.rows, 4);  // the N row stays a row of the model
              EXPECT_EQ(p.columns, 3);
              EXPECT_EQ(v.type("COST"), row_type::kFree);
              EXPECT_EQ(v.type("LIM1"), row_type::kLess);
              EXPECT_EQ(v.type("LIM2"), row_type::kGreater);
              EXPECT_EQ(v.type("MYEQN"), row_type::kEqual);
              EXPECT_EQ(v.activity("LIM1"), std::make_pair(4.0 - kInf, 4.0));
              EXPECT_EQ(v.activity("LIM2"), std::make_pair(1.0, 1.0 + kInf));
              EXPECT_EQ(v.activity("MYEQN"), std::make_pair(7.0, 7.0));
              EXPECT_EQ(v.cost("X1"), 1.0);
              EXPECT_EQ(v.cost("X2"), 2.0);
              EXPECT_EQ(v.cost("X3"), -1.0);
              // IFNRW 1 (the default): the objective row's coefficients are also in the matrix.
              EXPECT_EQ(v.coefficient("X2", "COST"), 2.0);
              EXPECT_EQ(v.coefficient("X2", "MYEQN"), -1.0);
              EXPECT_EQ(p.by_column.elements(), 8);
              EXPECT_EQ(p.objective_constant, 2.5);
              EXPECT_EQ(p.rhs[static_cast<std::size_t>(v.row("COST"))], 0.0);
              EXPECT_EQ(v.lower("X1"), 0.0);
              EXPECT_EQ(v.upper("X1"), 4.0);
              EXPECT_EQ(v.lower("X2"), -1.0);
              EXPECT_EQ(v.upper("X2"), 1.0);
              EXPECT_EQ(v.upper("X3"), kInf);
              EXPECT_EQ(v.word("X3") & (status::kFiniteLower | status::kFiniteUpper), status::kFiniteLower);
              EXPECT_TRUE(p.entities.empty());
              // The sets used and the objective row are written back into the controls.
              EXPECT_EQ(v.control(ccv::RHSNAM), "RHS");
              EXPECT_EQ(v.control(ccv::BNDNAM), "BND");
              EXPECT_EQ(v.control(ccv::RNGNAM), "");
              EXPECT_EQ(v.control(ccv::OBJNAM), "COST");
              char name[9];
              ASSERT_EQ(get_char_attribute(v.lib, 3001, name), 0);
              EXPECT_STREQ(name, "TESTLP");
              ASSERT_EQ(get_char_attribute(v.lib, 3004, name), 0);
              EXPECT_STREQ(name, "RHS");
            }});
}

TEST(MpsReader, IfnrwZeroKeepsTheObjectiveOutOfTheMatrix) {
  std::string text = "NAME\nROWS\n N  COST\n L  LIM1\n N  OTHER\n N  CONST\nCOLUMNS\n" +
                     F("", "X1", "COST", "1.0", "LIM1", "1.0") + F("", "X1", "OTHER", "3.0", "CONST", "5.0") +
                     "ENDATA\n";
  run_case({"IFNRW 0, OBCNAM",
            text,
            [](Library& lib) {
              set_icv(lib, icv::IFNRW, 0);
              set_ccv(lib, ccv::OBCNAM, "CONST");
            },
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.p().rows, 4);
              EXPECT_EQ(v.p().by_column.elements(), 2);  // LIM1 and the OBCNAM row
              EXPECT_EQ(v.coefficient("X1", "LIM1"), 1.0);
              EXPECT_EQ(v.coefficient("X1", "CONST"), 5.0);
              EXPECT_EQ(v.coefficient("X1", "OTHER"), 0.0);
              EXPECT_EQ(v.cost("X1"), 1.0);
            }});
  run_case({"IFNRW -1 removes the other N rows",
            text,
            [](Library& lib) {
              set_icv(lib, icv::IFNRW, -1);
              set_icv(lib, icv::NRXTRA, 1);
              set_ccv(lib, ccv::OBCNAM, "CONST");
            },
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.p().rows, 3);        // COST, LIM1, CONST
              EXPECT_EQ(v.p().spare_rows, 2);  // NRXTRA and OTHER
              EXPECT_EQ(v.coefficient("X1", "CONST"), 5.0);
              EXPECT_EQ(v.p().names.trimmed(3), "*******1");
              EXPECT_EQ(v.p().names.trimmed(4), "*******2");
            }});
  run_case({"OBJNAM chooses the objective row",
            text,
            [](Library& lib) { set_ccv(lib, ccv::OBJNAM, "OTHER"); },
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.cost("X1"), 3.0);
              EXPECT_EQ(v.control(ccv::OBJNAM), "OTHER");
            }});
  run_case({"OBJNAM names no N row",
            text,
            [](Library& lib) { set_ccv(lib, ccv::OBJNAM, "LIM1"); },
            32,
            {98},
            1,
            true,
            nullptr});
}

TEST(MpsReader, Ranges) {
  std::string text = "NAME\nROWS\n N  OBJ\n L  RL\n G  RG\n E  RE1\n E  RE2\n E  RE3\nCOLUMNS\n" +
                     F("", "X", "RL", "1", "RG", "1") + F("", "X", "RE1", "1", "RE2", "1") + F("", "X", "RE3", "1") +
                     "RHS\n" + F("", "RHS", "RL", "10", "RG", "10") + F("", "RHS", "RE1", "10", "RE2", "10") +
                     F("", "RHS", "RE3", "10") + "RANGES\n" + F("", "RNG", "RL", "-4", "RG", "4") +
                     F("", "RNG", "RE1", "3", "RE2", "-3") + F("", "RNG", "RE3", "0") + "ENDATA\n";
  run_case({"ranges", text, nullptr, 0, {}, 0, true, [](const View& v) {
              EXPECT_EQ(v.activity("RL"), std::make_pair(6.0, 10.0));
              EXPECT_EQ(v.activity("RG"), std::make_pair(10.0, 14.0));
              EXPECT_EQ(v.activity("RE1"), std::make_pair(10.0, 13.0));
              EXPECT_EQ(v.activity("RE2"), std::make_pair(7.0, 10.0));
              // A range of 0 on an E row leaves it an equality.
              EXPECT_EQ(v.type("RE3"), row_type::kEqual);
              EXPECT_EQ(v.activity("RE3"), std::make_pair(10.0, 10.0));
              EXPECT_EQ(v.control(ccv::RNGNAM), "RNG");
            }});
}

TEST(MpsReader, RightHandSideSets) {
  std::string text = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "OBJ", "1", "R1", "1") + "RHS\n" +
                     F("", "FIRST", "R1", "5") + F("", "SECOND", "R1", "9") + F("", "FIRST", "OBJ", "2") + "ENDATA\n";
  run_case({"the second set is skipped", text, nullptr, 0, {}, 0, true, [](const View& v) {
              EXPECT_EQ(v.activity("R1").second, 5.0);
              EXPECT_EQ(v.p().objective_constant, -2.0);
              EXPECT_EQ(v.control(ccv::RHSNAM), "FIRST");
            }});
  run_case({"RHSNAM chooses",
            text,
            [](Library& lib) { set_ccv(lib, ccv::RHSNAM, "SECOND"); },
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.activity("R1").second, 9.0);
              EXPECT_EQ(v.p().objective_constant, 0.0);
              EXPECT_EQ(v.control(ccv::RHSNAM), "SECOND");
            }});
  // A set name that is a column's name (a column line in the wrong section) is reported.
  std::string misplaced = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "OBJ", "1", "R1", "1") + "RHS\n" +
                          F("", "X", "R1", "5") + F("", "RHS", "R1", "3") + "ENDATA\n";
  run_case({"set name equal to a column name", misplaced, nullptr, 32, {97}, 1, true, [](const View& v) {
              EXPECT_EQ(v.activity("R1").second, 3.0);
            }});
}

// Names that the reader writes back do not choose the sets of the next file.
TEST(MpsReader, WrittenBackNamesDoNotChooseForTheNextFile) {
  test::TestLibrary t;
  std::string first = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "OBJ", "1", "R1", "1") + "RHS\n" +
                      F("", "AAA", "R1", "5") + "ENDATA\n";
  std::string second = "NAME\nROWS\n N  COST\n L  R1\nCOLUMNS\n" + F("", "X", "COST", "3", "R1", "1") + "RHS\n" +
                       F("", "BBB", "R1", "7") + "ENDATA\n";
  ASSERT_EQ(input_mps_text(t.lib(), first), 0);
  EXPECT_EQ(t->controls.c(ccv::RHSNAM), "AAA");
  ASSERT_EQ(input_mps_text(t.lib(), second), 0);
  View v{t.lib()};
  EXPECT_EQ(v.activity("R1").second, 7.0);
  EXPECT_EQ(v.cost("X"), 3.0);
  EXPECT_EQ(t->controls.c(ccv::RHSNAM), "BBB");
  EXPECT_EQ(t->controls.c(ccv::OBJNAM), "COST");
}

TEST(MpsReader, Bounds) {
  std::string text = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "C1", "R1", "1") + F("", "C2", "R1", "1") +
                     F("", "C3", "R1", "1") + F("", "C4", "R1", "1") + F("", "C5", "R1", "1") + F("", "C6", "R1", "1") +
                     F("", "C7", "R1", "1") + F("", "C8", "R1", "1") + F("", "C9", "R1", "1") +
                     F("", "C10", "R1", "1") + F("", "C11", "R1", "1") + "BOUNDS\n" + F("UP", "B", "C1", "3.5") +
                     F("LO", "B", "C1", "-1e30") + F("FX", "B", "C2", "2") + F("FR", "B", "C3") + F("PL", "B", "C4") +
                     F("UI", "B", "C5", "7.4") + F("UP", "B", "C6", "10") + F("LI", "B", "C6", "2") +
                     F("BV", "B", "C7") + F("SC", "B", "C8", "12", "3.5") + F("SC", "B", "C9", "6") +
                     F("PI", "B", "C10", "4") + F("UP", "B", "C11", "1e30") + F("UP", "OTHER", "C11", "1") + "ENDATA\n";
  run_case({"the ten types", text, nullptr, 0, {}, 0, true, [](const View& v) {
              EXPECT_EQ(v.lower("C1"), -kInf);
              EXPECT_EQ(v.upper("C1"), 3.5);
              EXPECT_EQ(v.lower("C2"), 2.0);
              EXPECT_EQ(v.upper("C2"), 2.0);
              EXPECT_EQ(v.lower("C3"), -kInf);
              EXPECT_EQ(v.upper("C3"), kInf);
              EXPECT_NE(v.word("C3") & status::kFree, 0u);
              EXPECT_EQ(v.upper("C4"), kInf);
              ASSERT_NE(v.entity("C5"), nullptr);
              EXPECT_EQ(v.entity("C5")->kind(), EntityKind::kInteger);
              EXPECT_EQ(v.upper("C5"), 7.0);
              // LI keeps an upper bound given before it.
              EXPECT_EQ(v.lower("C6"), 2.0);
              EXPECT_EQ(v.upper("C6"), 10.0);
              EXPECT_EQ(v.entity("C6")->kind(), EntityKind::kInteger);
              EXPECT_EQ(v.entity("C7")->kind(), EntityKind::kBinary);
              EXPECT_EQ(v.upper("C7"), 1.0);
              EXPECT_NE(v.word("C7") & status::kBinary, 0u);
              EXPECT_EQ(v.entity("C8")->kind(), EntityKind::kSemiContinuous);
              EXPECT_EQ(v.entity("C8")->limit, 3.5);
              EXPECT_EQ(v.upper("C8"), 12.0);
              EXPECT_EQ(v.entity("C9")->limit, 1.0);
              EXPECT_EQ(v.entity("C10")->kind(), EntityKind::kPartialInteger);
              EXPECT_EQ(v.entity("C10")->word, 4u + 16u * 4u);
              EXPECT_EQ(v.upper("C11"), kInf);  // the OTHER set is not read
              EXPECT_EQ(v.p().entities.size(), 6u);
              EXPECT_EQ(v.control(ccv::BNDNAM), "B");
            }});
  std::string li_alone = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "C1", "R1", "1") + "BOUNDS\n" +
                         F("LI", "B", "C1", "-3") + "ENDATA\n";
  run_case({"LI alone", li_alone, nullptr, 0, {}, 0, true, [](const View& v) {
              EXPECT_EQ(v.lower("C1"), -3.0);
              EXPECT_EQ(v.upper("C1"), 2147483645.0);
            }});
}

TEST(MpsReader, IntegerBlocks) {
  std::string text = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X0", "R1", "1") +
                     F("", "MARKER", "'MARKER'", "", "'INTORG'") + F("", "Y1", "R1", "1") + F("", "Y2", "R1", "1") +
                     F("", "Y3", "R1", "1") + F("", "Y4", "R1", "1") + F("", "Y5", "R1", "1") +
                     F("", "MARKER", "'MARKER'", "", "'INTEND'") + F("", "X6", "R1", "1") + "BOUNDS\n" +
                     F("UP", "B", "Y2", "1") + F("UP", "B", "Y3", "5") + F("UI", "B", "Y4", "9") + F("PL", "B", "Y5") +
                     F("SC", "B", "Y1", "3") + "ENDATA\n";
  run_case({"integer block", text, nullptr, 0, {261}, 0, true, [](const View& v) {
              // Without a bound an integer-block column is [0, 1].
              EXPECT_EQ(v.entity("Y1")->kind(), EntityKind::kInteger);
              EXPECT_EQ(v.upper("Y1"), 1.0);
              EXPECT_NE(v.word("Y1") & status::kInteger, 0u);
              EXPECT_EQ(v.entity("Y2")->kind(), EntityKind::kBinary);
              EXPECT_EQ(v.entity("Y3")->kind(), EntityKind::kInteger);
              EXPECT_EQ(v.upper("Y3"), 5.0);
              EXPECT_EQ(v.upper("Y4"), 9.0);  // UI on an integer column sets its bound
              EXPECT_EQ(v.upper("Y5"), kInf);
              EXPECT_EQ(v.entity("X0"), nullptr);
              EXPECT_EQ(v.entity("X6"), nullptr);
              EXPECT_EQ(v.upper("X6"), kInf);
              std::int32_t integers = 0;
              for (const GlobalEntity& e : v.p().entities)
                integers += e.kind() == EntityKind::kInteger || e.kind() == EntityKind::kBinary;
              EXPECT_EQ(integers, 5);
            }});
  std::string bad_marker = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "MARKER", "'MARKER'", "", "'INTEND'") +
                           F("", "X", "R1", "1") + "ENDATA\n";
  run_case({"bad marker", bad_marker, nullptr, 32, {151}, 1, true, nullptr});
  std::string beyond = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "M1", "'MARKER'", "", "'INTORG'") +
                       F("", "X", "R1", "1") + "BOUNDS\n" + F("UP", "B", "X", "3e9") + "ENDATA\n";
  run_case({"integer bound beyond INTMAX", beyond, nullptr, 32, {106}, 10000, false, nullptr});
}

TEST(MpsReader, EdgeCasesOfTheDialect) {
  std::string negative_up = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "R1", "1") + "BOUNDS\n" +
                            F("UP", "B", "X", "-2") + "ENDATA\n";
  // The lower bound stays 0: 18 and 29 at ENDATA (printed by the finishing step).
  run_case({"negative UP", negative_up, nullptr, 32, {}, 0, false, nullptr});
  std::string empty = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "R1", "1") + F("", "EMPTY", "R1", "0.0") +
                      F("", "Z", "R1", "1") + "ENDATA\n";
  run_case({"empty column", empty, nullptr, 32, {16}, 1, true, [](const View& v) {
              EXPECT_NE(v.word("EMPTY") & status::kEmptyColumn, 0u);
            }});
  run_case({"empty column within IGNORE",
            empty,
            [](Library& lib) { set_icv(lib, icv::IGNORE, 1); },
            0,
            {16},
            1,
            true,
            nullptr});
  std::string numbers = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "R1", "1.5E 3") + "ENDATA\n";
  run_case({"blanks inside a number", numbers, nullptr, 0, {}, 0, true, [](const View& v) {
              EXPECT_EQ(v.coefficient("X", "R1"), 1500.0);
            }});
  std::string comma =
      "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "OBJ", "1") + F("", "X", "R1", "1,5") + "ENDATA\n";
  run_case({"1,5 is invalid", comma, nullptr, 32, {153}, 10001, false, nullptr});
  std::string mi =
      "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "R1", "1") + "BOUNDS\n" + F("MI", "B", "X") + "ENDATA\n";
  run_case(
      {"MI is not a bound type", mi, nullptr, 32, {153}, 1, true, [](const View& v) { EXPECT_EQ(v.lower("X"), 0.0); }});
  std::string row_type_col3 =
      "NAME\nROWS\n  N OBJ\n  e R1\n  l R2\nCOLUMNS\n" + F("", "X", "R1", "1", "R2", "2") + "ENDATA\n";
  run_case({"row type in column 3, lower case", row_type_col3, nullptr, 0, {}, 0, true, [](const View& v) {
              EXPECT_EQ(v.type("R1"), row_type::kEqual);
              EXPECT_EQ(v.type("R2"), row_type::kLess);
            }});
  std::string blanks = "* a comment\n\nNAME          BL\r\nROWS\r\n N  OBJ\r\n\r\n L  R 1\nCOLUMNS\n" +
                       F("", "X 1", "R 1", "2") + "RHS\n" + F("", "", "R 1", "4") + "ENDATA\n" + std::string("\x1a") +
                       "garbage after Ctrl-Z\n";
  run_case({"comments, blank lines, CR, names with blanks, blank set name",
            blanks,
            nullptr,
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.coefficient("X 1", "R 1"), 2.0);
              EXPECT_EQ(v.activity("R 1").second, 4.0);
            }});
  // A name or number running past its field in the fixed layout would be cut silently.
  std::string spill = "NAME\nROWS\n N  OBJ\n L  R1\n L  LONGROWNAME\nCOLUMNS\n    COLUMN001 R1           1\n" +
                      F("", "X", "R1", "1.2345678901234") + F("", "Y", "R1", "1") + "ENDATA\n";
  run_case({"fields running into the gaps", spill, nullptr, 32, {153, 153, 153}, 3, true, [](const View& v) {
              EXPECT_EQ(v.p().columns, 1);
            }});
  std::string after_endata = base() + "IMPORTANCES\n garbage\n";
  run_case({"reading stops at ENDATA", after_endata, nullptr, 0, {}, 0, true, nullptr});
  std::string objective_only = "NAME\nROWS\n N  OBJ\nCOLUMNS\n" + F("", "X", "OBJ", "1") + "ENDATA\n";
  run_case({"a column with only a cost is not empty",
            objective_only,
            [](Library& lib) { set_icv(lib, icv::IFNRW, 0); },
            0,
            {},
            0,
            true,
            nullptr});
}

TEST(MpsReader, FaultsOfLines) {
  std::string text = "NAME\nROWS\n N  OBJ\n L  R1\n L  R1\n X  R2\nCOLUMNS\n" + F("", "X", "R1", "1", "NOROW", "2") +
                     F("", "Y", "R1", "1") + F("", "X", "R1", "3") + "RHS\n" + F("", "RHS", "NOROW", "1") + "BOUNDS\n" +
                     F("UP", "B", "NOCOL", "1") + "MVUB\n" + F("", "X", "NOCOL", "1") + F("", "X", "Y", "2") +
                     "ENDATA\n";
  // 111 duplicate row, 153 bad row type, 98 unknown row in COLUMNS, 97 non-contiguous,
  // 98 unknown row in RHS, 6 unknown column, 95 MVUB.
  run_case({"faults of lines", text, nullptr, 32, {111, 153, 98, 97, 98, 6, 95}, 7, true, [](const View& v) {
              EXPECT_EQ(v.coefficient("X", "R1"), 1.0);
              ASSERT_EQ(v.p().deferred_pairs.size(), 1u);
              EXPECT_EQ(v.p().deferred_pairs[0].factor, -2.0);
            }});
  run_case({"faults within IGNORE",
            text,
            [](Library& lib) { set_icv(lib, icv::IGNORE, 7); },
            0,
            {111, 153, 98, 97, 98, 6, 95},
            7,
            true,
            nullptr});
  std::string section = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "R1", "1") +
                        "OBJSENSE\n    MAX\nROWS\n L  R2\n" + "ENDATA\n";
  run_case({"unknown and misplaced sections", section, nullptr, 32, {153, 153}, 2, true, nullptr});
}

TEST(MpsReader, Sets) {
  std::string text = "NAME\nROWS\n N  OBJ\n L  R1\n N  REF\nCOLUMNS\n" + F("", "A", "R1", "1", "REF", "3") +
                     F("", "B", "R1", "1", "REF", "1") + F("", "C", "R1", "1", "REF", "2") + "SETS\n" +
                     F("S1", "SOS1") + F("", "SOS1", "A", "5", "B", "2") + F("", "SOS1", "C", "9") +
                     F("S2", "SOS2", "REF") + F("", "SOS2", "A", "", "B") + F("", "SOS2", "C") +
                     F("", "SOS1", "A", "1") + F("", "SOS2", "NOCOL") + "ENDATA\n";
  run_case({"sets", text, nullptr, 32, {77, 77}, 2, true, [](const View& v) {
              const SpecialOrderedSets& s = v.p().sets;
              ASSERT_EQ(s.count(), 2);
              EXPECT_EQ(s.names.trimmed(0), "SOS1");
              // Members sorted by weight: B (2), A (5), C (9).
              ASSERT_EQ(s.start[1], 3);
              EXPECT_EQ(s.members[0].column, v.column("B"));
              EXPECT_EQ(s.members[1].column, v.column("A"));
              EXPECT_EQ(s.members[2].column, v.column("C"));
              // Weights from the reference row: B (1), C (2), A (3).
              EXPECT_EQ(s.reference_row[1], v.row("REF"));
              EXPECT_EQ(s.members[3].column, v.column("B"));
              EXPECT_EQ(s.members[4].column, v.column("C"));
              EXPECT_EQ(s.members[5].column, v.column("A"));
              EXPECT_EQ(s.members[5].weight, 3.0);
              std::int32_t sets = 0;
              for (const GlobalEntity& e : v.p().entities) sets += e.is_set();
              EXPECT_EQ(sets, 2);
            }});
  run_case({"reference weights with IFNRW 0",
            text,
            [](Library& lib) { set_icv(lib, icv::IFNRW, 0); },
            32,
            {77, 77},
            2,
            true,
            [](const View& v) { EXPECT_EQ(v.p().sets.members[5].weight, 3.0); }});
}

TEST(MpsReader, Recursion) {
  std::string text = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "X", "R1", "1") + F("", "Y", "R1", "1") +
                     F("", "M1", "'MARKER'", "", "'INTORG'") + F("", "Z", "R1", "1") +
                     F("", "M2", "'MARKER'", "", "'INTEND'") + "RECURSE\n" + F("DV", "X", "R1", "2", "Y", "R1") +
                     F("CV", "Y", "", "0.01") + F("NE", "R1") + F("SB", "Z", "", "", "X") + F("XX", "X") + "ENDATA\n";
  run_case({"recursion records",
            text,
            [](Library& lib) { set_icv(lib, icv::NRCRMX, 10); },
            32,
            {199, 153},
            2,
            true,
            [](const View& v) {
              const auto& records = v.p().recursion_records;
              ASSERT_EQ(records.size(), 3u);
              EXPECT_EQ(std::string(records[0].code.data(), 4), " DV ");
              EXPECT_EQ(records[0].columns[0], v.column("X"));
              EXPECT_EQ(records[0].row, v.row("R1"));
              EXPECT_EQ(records[0].columns[1], v.p().column_variable(v.column("Y")));
              EXPECT_EQ(records[0].columns[2], v.row("R1"));
              EXPECT_EQ(records[0].values[0], 2.0f);
              EXPECT_EQ(records[1].values[1], 0.01f);
              EXPECT_EQ(records[2].row, v.row("R1"));
            }});
}

TEST(MpsReader, WideLayout) {
  // NAMLEN 16: one entry per line; COLUMNS value at column 41, RHS/RANGES/BOUNDS value at 33.
  auto wide = [](std::size_t at1, const std::string& a, std::size_t at2, const std::string& b, std::size_t at3,
                 const std::string& c) {
    std::string s(60, ' ');
    s.replace(at1, a.size(), a);
    s.replace(at2, b.size(), b);
    s.replace(at3, c.size(), c);
    while (s.back() == ' ') s.pop_back();
    return s + "\n";
  };
  std::string text = "NAME          WIDE\nROWS\n N  OBJECTIVE-ROW-1\n L  A-LONG-ROW-NAME\nCOLUMNS\n" +
                     wide(4, "COLUMN-NUMBER-01", 22, "OBJECTIVE-ROW-1", 40, "2.5") +
                     wide(4, "COLUMN-NUMBER-01", 22, "A-LONG-ROW-NAME", 40, "1.0") + "RHS\n" +
                     wide(4, "RHS", 14, "A-LONG-ROW-NAME", 32, "8") + "BOUNDS\n" + " UP" +
                     wide(4, "BND", 14, "COLUMN-NUMBER-01", 32, "6").substr(3) + "ENDATA\n";
  run_case({"NAMLEN 16",
            text,
            [](Library& lib) { set_icv(lib, icv::NAMLEN, 16); },
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.cost("COLUMN-NUMBER-01"), 2.5);
              EXPECT_EQ(v.coefficient("COLUMN-NUMBER-01", "A-LONG-ROW-NAME"), 1.0);
              EXPECT_EQ(v.activity("A-LONG-ROW-NAME").second, 8.0);
              EXPECT_EQ(v.upper("COLUMN-NUMBER-01"), 6.0);
            }});
}

TEST(MpsReader, FreeLayout) {
  std::string text =
      "NAME FREE\nROWS\n N obj\n L c1\n G c2\nCOLUMNS\n x obj 1 c1 2\n x c2 -1.5e1\n"
      " MARKER 'MARKER' 'INTORG'\n y obj 3 c1 1\n MARKER 'MARKER' 'INTEND'\n"
      "RHS\n rhs c1 10 c2 -20\n c2 -30\nRANGES\n rng c1 4\nBOUNDS\n UP bnd x 4\n LO bnd x -1\n BV bnd y\n"
      "SETS\n S1 s1\n s1 x 1 y 2\nENDATA\n";
  run_case({"free layout",
            text,
            [](Library& lib) { set_icv(lib, icv::FREFMT, 1); },
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.coefficient("x", "c2"), -15.0);
              EXPECT_EQ(v.activity("c1"), std::make_pair(6.0, 10.0));
              // The line without a set name belongs to another (blank) set.
              EXPECT_EQ(v.activity("c2").first, -20.0);
              EXPECT_EQ(v.upper("x"), 4.0);
              EXPECT_EQ(v.lower("x"), -1.0);
              EXPECT_EQ(v.entity("y")->kind(), EntityKind::kBinary);
              EXPECT_EQ(v.p().sets.count(), 1);
              EXPECT_EQ(v.control(ccv::RHSNAM), "rhs");
            }});
  std::string no_set_names =
      "NAME\nROWS\n N obj\n L c1\nCOLUMNS\n x obj 1 c1 2\n y c1 1\nRHS\n c1 10\nBOUNDS\n UP x 4\n FR y\nENDATA\n";
  run_case({"free layout without set names",
            no_set_names,
            [](Library& lib) { set_icv(lib, icv::FREFMT, 1); },
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.activity("c1").second, 10.0);
              EXPECT_EQ(v.upper("x"), 4.0);
              EXPECT_EQ(v.lower("y"), -kInf);
            }});
  std::string too_long = "NAME\nROWS\n N obj\n L a-name-longer-than-8\nCOLUMNS\n x obj 1\nENDATA\n";
  run_case({"free-layout name too long",
            too_long,
            [](Library& lib) { set_icv(lib, icv::FREFMT, 1); },
            32,
            {153},
            1,
            true,
            nullptr});
}

TEST(MpsReader, SpareRowsAndColumns) {
  std::string text = "NAME\nROWS\n N  OBJ\n L  *******1\nCOLUMNS\n" + F("", "X", "*******1", "1") + "ENDATA\n";
  run_case({"spare names skip a used one",
            text,
            [](Library& lib) {
              set_icv(lib, icv::NRXTRA, 2);
              set_icv(lib, icv::NCXTRA, 3);
            },
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.p().rows, 2);
              EXPECT_EQ(v.p().spare_rows, 2);
              EXPECT_EQ(v.p().spare_columns, 3);
              EXPECT_EQ(v.p().names.trimmed(2), "*******2");
              EXPECT_EQ(v.p().names.trimmed(3), "*******3");
              EXPECT_EQ(v.p().row_type[2], row_type::kLess);
            }});
}

TEST(MpsReader, Capacities) {
  std::string rows = "NAME\nROWS\n N  OBJ\n L  R1\n L  R2\n L  R3\nCOLUMNS\n" + F("", "X", "R1", "1") + "ENDATA\n";
  run_case({"rows", rows, [](Library& lib) { lib.controls.i(icv::M_R) = 3; }, 32, {73}, 10000, false, nullptr});
  std::string many_columns = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "A", "R1", "1") + F("", "B", "R1", "1") +
                             F("", "C", "R1", "1") + "ENDATA\n";
  std::string four_columns = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "A", "R1", "1") + F("", "B", "R1", "1") +
                             F("", "C", "R1", "1") + F("", "D", "R1", "1") + "ENDATA\n";
  run_case({"columns",
            many_columns,
            [](Library& lib) {
              lib.controls.i(icv::M_R) = 2;
              lib.controls.i(icv::M_C) = 2;  // not above M_R: raised to M_C + M_R = 4
            },
            0,
            {},
            0,
            true,
            nullptr});
  run_case({"columns beyond M_C",
            four_columns,
            [](Library& lib) {
              lib.controls.i(icv::M_R) = 2;
              lib.controls.i(icv::M_C) = 3;
            },
            32,
            {120},
            10000,
            false,
            nullptr});
  run_case(
      {"elements", many_columns, [](Library& lib) { lib.controls.i(icv::M_M) = 2; }, 32, {52}, 10000, false, nullptr});
  std::string entities = "NAME\nROWS\n N  OBJ\n L  R1\nCOLUMNS\n" + F("", "A", "R1", "1") + F("", "B", "R1", "1") +
                         "BOUNDS\n" + F("BV", "B", "A") + F("BV", "B", "B") + "ENDATA\n";
  run_case(
      {"entities", entities, [](Library& lib) { lib.controls.i(icv::NGEMAX) = 1; }, 32, {107}, 10000, false, nullptr});
  // Eight rows and eight columns into a table of M_C + 4 = 15 names.
  std::string names = "NAME\nROWS\n N  OBJ\n";
  for (int i = 1; i < 8; ++i) names += " L  R" + std::to_string(i) + "\n";
  names += "COLUMNS\n";
  for (int j = 1; j <= 8; ++j) names += F("", "C" + std::to_string(j), "R1", "1");
  names += "ENDATA\n";
  run_case({"name dictionary",
            names,
            [](Library& lib) {
              lib.controls.i(icv::M_R) = 10;
              lib.controls.i(icv::M_C) = 11;
            },
            16,
            {114},
            0,
            false,
            nullptr});
}

// Regressions found by fuzzing.
TEST(MpsReader, FuzzFindings) {
  // A section before COLUMNS, with spare columns: the spare names come after the columns.
  std::string early = "NAME\nROWS\n N  OBJ\n L  R1\nRHS\n" + F("", "RHS", "R1", "2") + "COLUMNS\n" +
                      F("", "MARKER", "'MARKER'", "", "'INTORG'") + F("", "X", "R1", "1") + "ENDATA\n";
  run_case({"RHS before COLUMNS",
            early,
            [](Library& lib) { set_icv(lib, icv::NCXTRA, 3); },
            0,
            {},
            0,
            true,
            [](const View& v) {
              EXPECT_EQ(v.activity("R1").second, 2.0);
              EXPECT_EQ(v.entity("X")->kind(), EntityKind::kInteger);
            }});
  // A line that begins with '.' is echoed as it is, without the page prompt.
  test::TestLibrary t;
  InputDiagnostics d;
  EXPECT_EQ(input_mps_text(t.lib(), ".NOT A HEADER\n" + base(), &d), 32);
  EXPECT_EQ(d.messages, std::vector<int>{153});
  EXPECT_EQ(t->user_interrupt, 0);
  bool echoed = false;
  for (const std::string& line : t.texts()) echoed = echoed || line == ".NOT A HEADER";
  EXPECT_TRUE(echoed);
}

TEST(MpsReader, MalformedInput) {
  run_case({"no ENDATA", head() + columns(), nullptr, 32, {152}, 0, false, nullptr});
  run_case({"interrupted", base(), [](Library& lib) { lib.user_interrupt = 1; }, 32, {152}, 0, false, nullptr});
  run_case({"empty", "", nullptr, 32, {152}, 0, false, nullptr});
  run_case({"data before any section", "    X  Y  1\nENDATA\n", nullptr, 32, {153}, 1, true, nullptr});
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
  test::TestLibrary t;
  InputDiagnostics d;
  EXPECT_EQ(input_mps_text(t.lib(), garbage, &d), 32);
  EXPECT_FALSE(t->has_problem());
  // A million-character line is cut at 200 (message 84) and read on.
  std::string long_line = head() + "    X1        LIM1         1.0" + std::string(1000000, ' ') + "9\n" + "ENDATA\n";
  run_case({"long line", long_line, nullptr, 0, {84}, 0, true, [](const View& v) {
              EXPECT_EQ(v.coefficient("X1", "LIM1"), 1.0);
            }});
}

}  // namespace
}  // namespace kqopt::input
