// Command-line handling: blank removal, option letters, command matching.
#include <gtest/gtest.h>

#include "library/interpreter.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

TEST(Interpreter, NormalisesLines) {
  struct Case {
    const char* raw;
    const char* line;
    const char* options;
  };
  const Case cases[] = {
      {"MAXIM -gd", "MAXIM", "dg"},
      {"MINIM -g -b", "MINIM", "bg"},
      {"ITRLIM = -5", "ITRLIM=-5", ""},
      {"RHSNAM = 'A B'", "RHSNAM='A B'", ""},
      {"INPUT my-file", "INPUTmy-file", ""},
      {"X -5", "X-5", ""},
      {"  QUIT  ", "QUIT", ""},
  };
  for (const Case& c : cases) {
    test::TestLibrary t;
    EXPECT_EQ(normalise_command_line(t.lib(), c.raw), c.line) << c.raw;
    std::string options;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
      if (t->option(letter)) options.push_back(letter);
    }
    EXPECT_EQ(options, c.options) << c.raw;
  }
}

TEST(Interpreter, CommandsEndTheLoopOrContinue) {
  struct Case {
    const char* line;
    bool ends;
    int exit_code;
  };
  const Case cases[] = {
      {"QUIT", true, 0}, {"quit", true, 0}, {"STOP", true, 63}, {"VOUT", false, 0}, {"QUI", false, 0}};
  for (const Case& c : cases) {
    test::TestLibrary t;
    int exit_code = -1;
    EXPECT_EQ(run_command_line(t.lib(), c.line, exit_code), c.ends) << c.line;
    if (c.ends) {
      EXPECT_EQ(exit_code, c.exit_code) << c.line;
    }
  }
}

TEST(Interpreter, CommandsNeedingAProblemSayThereIsNone) {
  test::TestLibrary t;
  int exit_code = 0;
  EXPECT_FALSE(run_command_line(t.lib(), "MINIM", exit_code));
  EXPECT_EQ(t->err.return_code, 32);
  EXPECT_EQ(t->err.error_number, 91);
}

TEST(Interpreter, UnknownLineIsReportedAndTheLoopGoesOn) {
  test::TestLibrary t;
  int exit_code = 0;
  EXPECT_FALSE(run_command_line(t.lib(), "NOSUCHTHING", exit_code));
  EXPECT_EQ(t->err.return_code, 0);
}

TEST(Interpreter, CommandArgumentIsTheRestOfTheLine) {
  test::TestLibrary t;
  int exit_code = 0;
  run_command_line(t.lib(), "VOUTsomething", exit_code);
  EXPECT_EQ(command_argument(t.lib()), "something");
}

}  // namespace
}  // namespace kqopt
