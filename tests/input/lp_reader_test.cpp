// The LP-text reader on small inline texts: one table of lexical and syntactic cases,
// each with the expected return code, messages and loaded problem; then the cases that
// need more than a table row (work area, names, the hash, huge and binary inputs).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "input/input_problem.h"
#include "input/lp_names.h"
#include "library/library.h"
#include "problem/problem.h"
#include "support/problem_text.h"
#include "support/test_library.h"

namespace kqopt::input {
namespace {

struct Case {
  const char* what;
  std::string text;
  std::int32_t rc;
  std::vector<int> messages;
  const char* objective;  // null: not compared (also rows and columns)
  const char* rows;
  const char* columns;
};

const std::string kEnd = "\nend\n";

std::vector<Case> cases() {
  return {
      // The frame: sense, objective, constraints keyword, end.
      {"minimal", "min\n obj: x\nst\n c1: x >= 1\nend\n", 0, {}, "1*x", "c1:G:1:1*x", "x:0:inf:C"},
      {"case of keywords",
       "MAXIMIZE x + 2y SUBJECT TO c: x + y <= 4 END",
       0,
       {},
       "1*x+2*y",
       "c:L:4:1*x+1*y",
       "x:0:inf:C y:0:inf:C"},
      {"maxim is max and im", "maxim\nst\nc: im <= 1\nend", 0, {}, "1*im", "c:L:1:1*im", "im:0:inf:C"},
      {"every sense word", "minimum x st c: x >= 2 end", 0, {}, "1*x", "c:G:2:1*x", nullptr},
      {"every constraints keyword: s.t.", "min x s.t. c: x >= 2 end", 0, {}, "1*x", "c:G:2:1*x", nullptr},
      {"st.", "min x st. c: x >= 2 end", 0, {}, "1*x", "c:G:2:1*x", nullptr},
      {"such that", "min x such that c: x >= 2 end", 0, {}, "1*x", "c:G:2:1*x", nullptr},
      {"subject to:", "min x subject to: c: x >= 2 end", 0, {}, "1*x", "c:G:2:1*x", nullptr},
      {"empty objective", "min\nst\n c: x + y >= 1\nend", 0, {}, "", "c:G:1:1*x+1*y", nullptr},
      {"empty labelled objective", "min\n cost:\nsubject to\n c: x >= 1\nend", 0, {}, "", "c:G:1:1*x", nullptr},
      // Lexical rules.
      {"comments and continuation",
       "\\ a model\nmax \\ sense\n obj: 3 x\n + 2\n y \\ more\nst\n c: x\n +\n y\n <=\n 4 \\ done\nend",
       0,
       {},
       "3*x+2*y",
       "c:L:4:1*x+1*y",
       nullptr},
      {"CRLF line ends", "min\r\n x\r\nst\r\n c: x >= 1\r\nend\r\n", 0, {}, "1*x", "c:G:1:1*x", nullptr},
      {"tabs", "min\tx\tst\tc:\tx\t>=\t1\tend", 0, {}, "1*x", "c:G:1:1*x", nullptr},
      {"name characters",
       "min\n a.b!\"#$% + &()/,;?@ + _`'{}|~9\nst\n c: _`'{}|~9 >= 1\nend",
       0,
       {},
       "1*a.b!\"#$%+1*&()/,;?@+1*_`'{}|~9",
       "c:G:1:1*_`'{}|~9",
       nullptr},
      {"numbers",
       "min\n 1.5 x + .25 y + 2e1 z + 3E-1 w + 4. v\nst\n c: x >= 1\nend",
       0,
       {},
       "1.5*x+0.25*y+20*z+0.29999999999999999*w+4*v",
       nullptr,
       nullptr},
      {"sign alone is a coefficient",
       "min\n - x + - y\nst\n c: - x - - y >= -1\nend",
       0,
       {},
       "-1*x-1*y",
       "c:G:-1:-1*x+1*y",
       nullptr},
      {"blanks after a sign", "min\n -   3 x\nst\n c: x >= -   2\nend", 0, {}, "-3*x", "c:G:-2:1*x", nullptr},
      {"coefficient touching the name", "min\n 3x + 2e1y\nst\n c: x >= 1\nend", 0, {}, "3*x+20*y", nullptr, nullptr},
      {"exponent without digits", "min\n 3ex\nst\n c: ex >= 1\nend", 32, {473}, "3*ex", nullptr, nullptr},
      {"1e400", "min\n x\nst\n c: 1e400 x + y >= 1\nend", 32, {479}, "1*x", "c:G:1:1*y", nullptr},
      {"1e-400 is 0", "min\n x\nst\n c: 1e-400 x + y >= 1\nend", 0, {}, "1*x", "c:G:1:1*y", nullptr},
      {"right-hand side 1e400", "min\n x\nst\n c: x >= 1e400\nend", 32, {479}, "1*x", "c:G:0:1*x", nullptr},
      // Constraints.
      {"every relation",
       "min x st a: x < 1\n b: x <= 2\n c: x > 3\n d: x >= 4\n e: x = 5\n f: x =< 6\n g: x => 7\nend",
       0,
       {},
       "1*x",
       "a:L:1:1*x b:L:2:1*x c:G:3:1*x d:G:4:1*x e:E:5:1*x f:L:6:1*x g:G:7:1*x",
       nullptr},
      {"unlabelled rows are numbered",
       "min x st x >= 1\n x <= 3\n named: x <= 4\n x >= 0\nend",
       0,
       {},
       "1*x",
       "C0000001:G:1:1*x C0000002:L:3:1*x named:L:4:1*x C0000004:G:0:1*x",
       nullptr},
      {"constants move to the right-hand side",
       "min x + 3\nst\n c: x + 2 - 1 >= 5\n d: 4 + x <= 10\nend",
       0,
       {},
       "1*x+K3",
       "c:G:4:1*x d:L:6:1*x",
       nullptr},
      {"repeated terms are summed",
       "min x st c: x + 2 y - 0.5 x + y >= 1\nend",
       0,
       {},
       "1*x",
       "c:G:1:0.5*x+3*y",
       "x:0:inf:C y:0:inf:C"},
      {"cancelling terms vanish", "min x + y st c: 3 x - 3 x + y >= 1\nend", 0, {}, "1*x+1*y", "c:G:1:1*y", nullptr},
      {"zero coefficient keeps the column",
       "min x st c: 0 z + x >= 1\nend",
       0,
       {},
       "1*x",
       "c:G:1:1*x",
       "x:0:inf:C z:0:inf:C"},
      {"column order is first appearance",
       "min z st c: y + x + z >= 1\nend",
       0,
       {},
       "1*z",
       "c:G:1:1*z+1*y+1*x",
       "z:0:inf:C y:0:inf:C x:0:inf:C"},
      {"relation without right-hand side",
       "min x st c: x >= \n d: x <= 3\nend",
       32,
       {457},
       "1*x",
       "c:G:0:1*x d:L:3:1*x",
       nullptr},
      {"right-hand side not a number",
       "min x st c: x >= y\nd: x <= 3\nend",
       32,
       {457, 459},
       "1*x",
       "c:G:0:1*x d:L:3:1*x",
       nullptr},
      {"no relation", "min x st c: x + y\n d: x <= 3\nend", 32, {459}, "1*x", "d:L:3:1*x", nullptr},
      {"sign without a term", "min x st c: x + >= 1\n d: x <= 3\nend", 32, {456, 458}, "1*x", "d:L:3:1*x", nullptr},
      {"no term, satisfied by 0", "min x st c: 0 x >= -1\nend", 0, {458}, "1*x", "", nullptr},
      {"no term, not satisfied by 0", "min x st c: 3 y - 3 y >= 1\nend", 32, {458}, "1*x", "", nullptr},
      {"stray character", "min x st c: x >= 1\n [ d: x <= 3\nend", 32, {480}, "1*x", "c:G:1:1*x d:L:3:1*x", nullptr},
      {"NUL byte",
       std::string("min x st c: x >= 1\n") + '\0' + " d: x <= 3\nend",
       32,
       {480},
       "1*x",
       "c:G:1:1*x d:L:3:1*x",
       nullptr},
      {"a label that begins with a section keyword",
       "min x st c: x >= 1\n integrity: x <= 3\nend",
       32,
       {456, 455},
       nullptr,
       nullptr,
       nullptr},
      {"a word that begins with end is no end",
       "min x st c: x >= 1\n ENDINVCT: x <= 3\nend",
       0,
       {},
       "1*x",
       "c:G:1:1*x ENDINVCT:L:3:1*x",
       nullptr},
      {"end ends the input", "min x st c: x >= 1\nEND\n anything ] at all", 0, {}, "1*x", "c:G:1:1*x", nullptr},
      // Bounds.
      {"bounds forms",
       "min a st c: a + b + c + d + e + f + g + h + i >= 1\nbounds\n a <= 4\n b >= -5\n c = 2\n d free\n"
       " -1 <= e <= 1\n 3 >= f >= -3\n 2 <= g\n 7 >= h\n i < 6\n i > 1" +
           kEnd,
       0,
       {},
       nullptr,
       nullptr,
       "a:0:4:C b:-5:inf:C c:2:2:C d:-inf:inf:C e:-1:1:C f:-3:3:C g:2:inf:C h:0:7:C i:1:6:C"},
      {"infinite bound forms",
       "min a st c: a + b + c + d + e >= 1\nbound\n -inf <= a <= 5\n b >= -infinity\n c <= +INF\n"
       " -Infinity <= d <= Inf\n e >= -1e30" +
           kEnd,
       0,
       {},
       nullptr,
       nullptr,
       "a:-inf:5:C b:-inf:inf:C c:0:inf:C d:-inf:inf:C e:-inf:inf:C"},
      {"free spelled otherwise",
       "min a st c: a >= 1\nbounds\n a fr" + kEnd,
       0,
       {462},
       nullptr,
       nullptr,
       "a:-inf:inf:C"},
      {"bound on no column",
       "min a st c: a >= 1\nbounds\n z <= 4\n a <= 3" + kEnd,
       32,
       {456},
       nullptr,
       nullptr,
       "a:0:3:C"},
      {"bound value not a number",
       "min a st c: a >= 1\nbounds\n a <= b\n a >= 1" + kEnd,
       32,
       {461, 456},
       nullptr,
       nullptr,
       "a:1:inf:C"},
      {"first value not a number",
       "min a st c: a + b >= 1\nbounds\n q <= a <= 3" + kEnd,
       0,
       {464},
       nullptr,
       nullptr,
       "a:-inf:3:C b:0:inf:C"},
      {"upper value not a number",
       "min a st c: a >= 1\nbounds\n 1 <= a <= q" + kEnd,
       32,
       {460, 456},
       nullptr,
       nullptr,
       "a:1:inf:C"},
      {"relations that do not match",
       "min a st c: a >= 1\nbounds\n 1 <= a >= 3" + kEnd,
       32,
       {465},
       nullptr,
       nullptr,
       "a:1:inf:C"},
      {"wrong bound statement",
       "min a st c: a >= 1\nbounds\n a 3\n" + kEnd,
       32,
       {463, 463},
       nullptr,
       nullptr,
       "a:0:inf:C"},
      {"sections repeat in any order",
       "min a st c: a + b >= 1\nbinaries\n b\nbounds\n a <= 3\ngenerals\n a\nbounds\n a >= 1" + kEnd,
       0,
       {},
       nullptr,
       "c:G:1:1*a+1*b",
       "a:1:3:I b:0:1:B"},
      // Integers and binaries.
      {"general with an upper bound stays general",
       "min x st c: x >= 1\nbounds\n x <= 10\ngenerals\n x" + kEnd,
       0,
       {},
       nullptr,
       nullptr,
       "x:0:10:I"},
      {"general without an upper bound is binary",
       "min x st c: x >= 1\ngenerals\n x" + kEnd,
       0,
       {},
       nullptr,
       nullptr,
       "x:0:1:B"},
      {"general before its bounds",
       "min x st c: x >= 1\ngen\n x\nbounds\n x <= 10" + kEnd,
       0,
       {},
       nullptr,
       nullptr,
       "x:0:10:I"},
      {"general keeps a negative lower bound",
       "min x st c: x >= -9\nbounds\n -5 <= x <= 5\nintegers\n x" + kEnd,
       0,
       {},
       nullptr,
       nullptr,
       "x:-5:5:I"},
      {"binaries", "min x + y st c: x + y >= 1\nbinary\n x y" + kEnd, 0, {}, nullptr, nullptr, "x:0:1:B y:0:1:B"},
      {"integer name no column, keyword follows",
       "min x st c: x >= 1\nint\n x q\nend",
       32,
       {456},
       nullptr,
       nullptr,
       "x:0:1:B"},
      {"integer name no column, name follows",
       "min x st c: x >= 1\nint\n q x\nend",
       32,
       {456, 455},
       nullptr,
       nullptr,
       nullptr},
      // Fatal faults: nothing is loaded.
      {"empty file", "", 32, {451}, nullptr, nullptr, nullptr},
      {"only comments", "\\ nothing\n  \n\\ here\n", 32, {451}, nullptr, nullptr, nullptr},
      {"no sense", "x + y\nst\nc: x >= 1\nend", 32, {452}, nullptr, nullptr, nullptr},
      {"bad objective", "min 3 x + * y\nst\nc: x >= 1\nend", 32, {456, 453}, nullptr, nullptr, nullptr},
      {"no constraints keyword", "min x\nc: x >= 1\nend", 32, {454}, nullptr, nullptr, nullptr},
      {"no end after constraints", "min x st c: x >= 1\n", 32, {455}, nullptr, nullptr, nullptr},
      {"no end inside a sum", "min x st c: x + y", 32, {472}, nullptr, nullptr, nullptr},
      {"no end after a sign", "min x st c: x +", 32, {472}, nullptr, nullptr, nullptr},
      {"no end in a bound", "min x st c: x >= 1\nbounds\n x <=", 32, {472}, nullptr, nullptr, nullptr},
      {"Ctrl-Z ends the file", "min x st c: x >= 1\n\x1a end\n", 32, {455}, nullptr, nullptr, nullptr},
  };
}

TEST(LpReader, Table) {
  test::TestLibrary t;
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.what);
    InputDiagnostics d;
    EXPECT_EQ(input_lp_text(t.lib(), c.text, &d), c.rc);
    EXPECT_EQ(d.messages, c.messages);
    if (c.rc == 32 && c.objective == nullptr && c.columns == nullptr) {
      EXPECT_FALSE(t->has_problem());
      continue;
    }
    ASSERT_TRUE(t->has_problem());
    test::ProblemText p = test::problem_text(t.lib());
    if (c.objective) {
      EXPECT_EQ(p.objective, c.objective);
    }
    if (c.rows) {
      EXPECT_EQ(p.rows, c.rows);
    }
    if (c.columns) {
      EXPECT_EQ(p.columns, c.columns);
    }
  }
}

// Every message carries the position where it was found.
TEST(LpReader, MessagesNameTheLineAndColumn) {
  test::TestLibrary t;
  EXPECT_EQ(input_lp_text(t.lib(), "min x\nst\n  c: x >= y\nend\n"), 32);
  EXPECT_TRUE(t.printed("Usually RHS are constant numbers but not here. Skipping. (3.11):"));
  EXPECT_EQ(input_lp_text(t.lib(), "min x\nst\n  c: x >= 1\n"), 32);
  EXPECT_TRUE(t.printed("A keyword was expected here. (4.1):"));
}

TEST(LpReader, FaultsWithinIgnoreSucceed) {
  test::TestLibrary t;
  t->controls.i(icv::IGNORE) = 2;
  InputDiagnostics d;
  const char* text = "min x st c: 1e400 x + x >= 1\nd: 2 x >= 1e400\nend";
  EXPECT_EQ(input_lp_text(t.lib(), text, &d), 0);
  EXPECT_EQ(d.faults, 2);
  EXPECT_EQ(test::problem_text(t.lib()).rows, "c:G:1:1*x d:G:0:2*x");
  t->controls.i(icv::IGNORE) = 1;
  EXPECT_EQ(input_lp_text(t.lib(), text, &d), 32);
  EXPECT_TRUE(t->has_problem());
}

TEST(LpReader, NamesTooLongAreNotLoaded) {
  test::TestLibrary t;
  InputDiagnostics d;
  EXPECT_EQ(input_lp_text(t.lib(), "min x st longrowname: x123456789 + x >= 1\nend", &d), 0);
  EXPECT_EQ(d.messages, (std::vector<int>{467, 468}));
  ASSERT_TRUE(t->has_problem());
  EXPECT_EQ(t->problem->columns, 2);
  // Long names are kept whole: two names that share their first 16 characters differ.
  EXPECT_EQ(input_lp_text(t.lib(), "min abcdefghijklmnopq1 + abcdefghijklmnopq2 st c: abcdefghijklmnopq1 >= 1\nend"),
            0);
  EXPECT_EQ(t->problem->columns, 2);
  // With NAMLEN 16 names of 16 characters load.
  t->controls.i(icv::NAMLEN) = 16;
  EXPECT_EQ(input_lp_text(t.lib(), "min x st longrowname: x123456789 + x >= 1\nend", &d), 0);
  EXPECT_TRUE(d.messages.empty());
  EXPECT_EQ(test::problem_text(t.lib()).rows, "longrowname:G:1:1*x+1*x123456789");
}

TEST(LpReader, NameHash) {
  // The padded name as little-endian words, summed, modulo 10001.
  // "x" is "x" and seven blanks: 0x20202078 + 0x20202020.
  EXPECT_EQ(LpNameTable::hash("x"), 4880);
  // 0x64636261 + 0x68676665 + 0x00000069 passes 2^31: a negative sum, taken as non-negative.
  EXPECT_EQ(LpNameTable::hash("abcdefghi"), 447);
  EXPECT_EQ(LpNameTable::hash(std::string(8, '\xff')), 9999);  // −2
}

TEST(LpReader, WorkAreaFromTheWorkspace) {
  // A small workspace leaves too small a work area for many long names.
  test::TestLibrary t(1 << 20);  // 1 MB
  std::string text = "min x st c: x";
  for (int i = 0; i < 20000; ++i) text += " + a_rather_long_column_name_" + std::to_string(i);
  text += " >= 1\nend\n";
  InputDiagnostics d;
  EXPECT_EQ(input_lp_text(t.lib(), text, &d), 32);
  EXPECT_EQ(d.messages, (std::vector<int>{471}));
  EXPECT_FALSE(t->has_problem());
  test::TestLibrary big;
  EXPECT_EQ(input_lp_text(big.lib(), text, &d), 0);
}

// Read from a file, keywords and names that straddle the 32768-byte buffer are whole.
TEST(LpReader, TokensAcrossTheFileBuffer) {
  test::TestLibrary t;
  std::string path = testing::TempDir() + "lp_reader_buffer_" + std::to_string(::getpid()) + ".lp";
  for (std::size_t shift = 0; shift < 12; ++shift) {
    SCOPED_TRACE(shift);
    std::string text = "min x + name_yyy\n\\";
    text.append(32768 - 5 - shift - text.size(), '-');
    text += "\nsubject to\n c: x + name_yyy >= 1\nbounds\n -infinity <= x <= 4\nend\n";
    std::ofstream(path, std::ios::binary) << text;
    ASSERT_EQ(input_problem(t.lib(), path.c_str()), 0);
    test::ProblemText p = test::problem_text(t.lib());
    EXPECT_EQ(p.rows, "c:G:1:1*x+1*name_yyy");
    EXPECT_EQ(p.columns, "x:-inf:4:C name_yyy:0:inf:C");
  }
  std::remove(path.c_str());
}

TEST(LpReader, HugeAndBinaryInputs) {
  test::TestLibrary t;
  // 100 MB on one line: a sum of 100000 terms, each followed by a thousand blanks.
  std::string line = "min x st c: x";
  line.reserve(101u << 20);
  const std::string blanks(1000, ' ');
  for (int i = 0; line.size() < (100u << 20) - 64; ++i) line += " + 1.0 y" + std::to_string(i % 100000) + blanks;
  line += " >= 1 end";
  InputDiagnostics d;
  EXPECT_EQ(input_lp_text(t.lib(), line, &d), 0);
  EXPECT_EQ(t->problem->columns, 100001);
  // A 100 MB line of one character that begins nothing.
  std::string stray(100u << 20, '*');
  EXPECT_EQ(input_lp_text(t.lib(), "min x st " + stray, &d), 32);
  EXPECT_EQ(d.messages, (std::vector<int>{480, 455}));
  // Binary garbage: every byte value, repeated.
  std::string garbage;
  for (int r = 0; r < 64; ++r) {
    for (int b = 255; b >= 0; --b) garbage += static_cast<char>((b * 37 + r) & 255);
  }
  EXPECT_EQ(input_lp_text(t.lib(), garbage, &d), 32);
  EXPECT_EQ(input_lp_text(t.lib(), "min x st " + garbage, &d), 32);
}

}  // namespace
}  // namespace kqopt::input
