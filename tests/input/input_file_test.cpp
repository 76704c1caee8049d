// KQINPUT on files: name resolution, files that cannot be read, the LP-text case, the
// interpreter's INPUT command, and what happens to the previous problem.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "input/input_problem.h"
#include "library/interpreter.h"
#include "library/library.h"
#include "problem/problem.h"
#include "support/test_library.h"

namespace kqopt::input {
namespace {

namespace fs = std::filesystem;

const char* kSmall =
    "NAME          SMALL\n"
    "ROWS\n"
    " N  COST\n"
    " L  LIM1\n"
    "COLUMNS\n"
    "    X1        COST               1.0   LIM1               1.0\n"
    "RHS\n"
    "    RHS       LIM1               4.0\n"
    "ENDATA\n";

// A scratch directory of the test, removed afterwards.
class Scratch {
 public:
  Scratch() {
    path_ =
        fs::temp_directory_path() / ("kqopt-input-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }
  std::string file(const std::string& name, const std::string& text = kSmall) const {
    std::string p = (path_ / name).string();
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  std::string path(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

TEST(InputFile, Extensions) {
  struct Case {
    const char* name;
    const char* extension;
    const char* stem;
  };
  const Case cases[] = {
      {"afiro", "", "afiro"},
      {"afiro.mps", "mps", "afiro"},
      {"pilot.ja.mps", "mps", "pilot.ja"},
      {"pilot.ja", "ja", "pilot"},
      {"dir.d/afiro", "", "dir.d/afiro"},
      {"dir.d\\afiro", "", "dir.d\\afiro"},
      {"c:\\data.v1\\pilot.we.mps", "mps", "c:\\data.v1\\pilot.we"},
      {"model.lp", "lp", "model"},
      {"./afiro", "", "./afiro"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(file_extension(c.name), c.extension) << c.name;
    EXPECT_EQ(without_extension(c.name), c.stem) << c.name;
  }
}

TEST(InputFile, ResolutionOrder) {
  Scratch s;
  s.file("both.mps");
  s.file("both.mat");
  s.file("only.mps");
  s.file("text.lp", "minimize\n x\nend\n");
  ResolvedInput r = resolve_input_file(s.path("both"));
  EXPECT_TRUE(r.found);
  EXPECT_EQ(r.path, s.path("both.mat"));
  r = resolve_input_file(s.path("only"));
  EXPECT_EQ(r.path, s.path("only.mps"));
  EXPECT_EQ(r.format, InputFormat::kMps);
  r = resolve_input_file(s.path("text"));
  EXPECT_EQ(r.path, s.path("text.lp"));
  EXPECT_EQ(r.format, InputFormat::kLpText);
  r = resolve_input_file(s.path("none"));
  EXPECT_FALSE(r.found);
  EXPECT_EQ(r.path, s.path("none.mat"));
  r = resolve_input_file(s.path("only.mps"));
  EXPECT_TRUE(r.found);
  EXPECT_EQ(r.format, InputFormat::kMps);
}

TEST(InputFile, LoadsAndNamesTheProblem) {
  Scratch s;
  s.file("small.mps");
  test::TestLibrary t;
  EXPECT_EQ(input_problem(t.lib(), s.path("small").c_str()), 0);
  EXPECT_TRUE(t->has_problem());
  EXPECT_EQ(t->problem_name.substr(t->problem_name.size() - 5), "small");
  EXPECT_EQ(input_problem(t.lib(), s.path("small.mps").c_str()), 0);
  EXPECT_EQ(t->problem_name.substr(t->problem_name.size() - 5), "small");
  // A name with a dot of its own before the extension mps, as pilot.ja.mps of Netlib.
  const std::string afiro = std::string(KQOPT_TEST_FILES_DIR) + "/netlib/afiro.mps";
  ASSERT_EQ(input_problem(t.lib(), afiro.c_str()), 0);
  const auto rows = t->problem->rows;
  EXPECT_GT(rows, 20);
  const std::string dotted = s.path("afiro.ja.mps");
  fs::copy_file(afiro, dotted);
  EXPECT_EQ(input_problem(t.lib(), dotted.c_str()), 0);
  EXPECT_EQ(t->problem->rows, rows);
  EXPECT_EQ(t->problem_name.substr(t->problem_name.size() - 8), "afiro.ja");
}

TEST(InputFile, FilesThatCannotBeRead) {
  Scratch s;
  s.file("good.mps");
  fs::create_directories(s.path("folder.mps"));
  fs::create_directories(s.path("plain.mat"));
  std::string locked = s.file("locked.mps");
  ::chmod(locked.c_str(), 0);
  s.file("model.lp", "minimize\n x\nst\n c: x >= 1\nend\n");

  test::TestLibrary t;
  ASSERT_EQ(input_problem(t.lib(), s.path("good.mps").c_str()), 0);
  struct Case {
    std::string name;
    std::int32_t rc;
    std::int32_t error;
  };
  std::vector<Case> cases = {
      {s.path("missing"), 32, 85}, {s.path("missing.mps"), 32, 85}, {s.path("folder.mps"), 32, 85},
      {s.path("model.lp"), 0, 0},  {s.path("model"), 0, 0},         {"", 32, 85},
  };
  // A directory is passed over when the extensions are tried.
  s.file("plain.mps");
  cases.push_back({s.path("plain"), 0, 0});
  if (::geteuid() != 0) cases.push_back({locked, 32, 85});  // root reads it anyway
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(input_problem(t.lib(), c.name.c_str()), c.rc);
    EXPECT_EQ(t->err.error_number, c.error);
    // A file that does not open leaves the current problem alone.
    EXPECT_TRUE(t->has_problem());
  }
}

TEST(InputFile, AFailedReadLeavesNoProblem) {
  Scratch s;
  std::string good = s.file("good.mps");
  std::string text(kSmall);
  std::string truncated = s.file("truncated.mps", text.substr(0, text.find("RHS")));
  test::TestLibrary t;
  ASSERT_EQ(input_problem(t.lib(), good.c_str()), 0);
  EXPECT_EQ(input_problem(t.lib(), truncated.c_str()), 32);
  EXPECT_EQ(t->err.error_number, 152);
  EXPECT_FALSE(t->has_problem());
  EXPECT_EQ(input_problem(t.lib(), good.c_str()), 0);
  EXPECT_TRUE(t->has_problem());
  // The same for an LP text without its constraints keyword.
  std::string broken = s.file("broken.lp", "minimize\n x\nend\n");
  EXPECT_EQ(input_problem(t.lib(), broken.c_str()), 32);
  EXPECT_EQ(t->err.error_number, 454);
  EXPECT_FALSE(t->has_problem());
}

TEST(InputFile, InterpreterCommand) {
  Scratch s;
  s.file("cmd.mps");
  test::TestLibrary t;
  int exit_code = 0;
  EXPECT_FALSE(run_command_line(t.lib(), "INPUT" + s.path("cmd"), exit_code));
  EXPECT_EQ(t->err.return_code, 0);
  EXPECT_TRUE(t->has_problem());
  // Without a name, the problem name gives the file.
  EXPECT_FALSE(run_command_line(t.lib(), "INPUT", exit_code));
  EXPECT_EQ(t->err.return_code, 0);
  EXPECT_FALSE(run_command_line(t.lib(), "INPUT" + s.path("nothing"), exit_code));
  EXPECT_EQ(t->err.return_code, 32);
}

TEST(InputFile, EndOfReadNotice) {
  Scratch s;
  s.file("notice.mps");
  test::TestLibrary t;
  t.clear_lines();
  ASSERT_EQ(input_problem(t.lib(), s.path("notice").c_str()), 0);
  EXPECT_GE(t.flush_notices(), 1);
}

}  // namespace
}  // namespace kqopt::input
