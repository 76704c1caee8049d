// The problem writer over the shared test sets: every Netlib and MIPLIB 3 problem,
// written and read back, is the same problem through the retrieval operations (bit for
// bit in the full-precision form, as printed in the normal form) and, up to 300 rows,
// solves to the same optimum (the LP relaxation for MIPLIB). When glpsol and clp are
// installed, they read every written file too. Run alone with
//   kqopt_instance_tests --gtest_filter='MpsRoundTrip*'
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "input/input_problem.h"
#include "library/control_access.h"
#include "library/library.h"
#include "output/mps_writer.h"
#include "problem/problem.h"
#include "simplex/driver/lp_driver.h"
#include "support/problem_snapshot.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kSolvedRows = 300;

std::vector<std::string> instances(const std::string& set) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(test::shared_data_dir() + "/" + set)) {
    if (entry.path().extension() == ".mps") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool tool_present(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The full-precision form is read in the wide fixed layout (numbers of 24 characters
// from column 25), which also takes the names with blanks of a few Netlib files.
struct Form {
  const char* options;
  bool wide_numbers;
  test::WrittenValue written;
};

struct Tally {
  int problems = 0, mismatched = 0, solved = 0, same_optimum = 0, glpsol_ok = 0, clp_ok = 0, tool_runs = 0;
  int default_read = 0, default_refused = 0;
};

// True when some data line of an MPS file has a number running past column 36, the end
// of the 12-character field of the default layout.
bool has_wide_number(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != ' ' || line.size() <= 36) continue;
    if (line.find("'MARKER'") != std::string::npos) continue;
    if (line.substr(36, 3).find_first_not_of(' ') != std::string::npos) return true;
  }
  return false;
}

double solve(Library& lib) {
  EXPECT_EQ(optimise(lib, DriverMode::kMinimise), 0);
  return *lib.attributes.double_attribute(attr::kObjectiveValue);
}

void round_trip(const std::string& set, const std::string& name, const Form& form, const fs::path& folder,
                Tally& tally) {
  SCOPED_TRACE(set + "/" + name + " options '" + form.options + "'");
  test::TestLibrary original;
  original->controls.i(icv::PRNLVL) = 0;
  const std::string source = test::shared_data_dir() + "/" + set + "/" + name + ".mps";
  const std::int32_t rc = input::input_problem(original.lib(), source.c_str());
  ASSERT_TRUE(original->has_problem()) << rc;
  test::ProblemSnapshot before;
  ASSERT_TRUE(test::take_snapshot(original.lib(), before));

  original->problem_name = (folder / name).string();
  for (const char* c = form.options; *c; ++c) original->options[static_cast<std::size_t>(*c - 'a')] = true;
  ASSERT_EQ(write_problem_file(original.lib()), 0);
  original->options.fill(false);
  const std::string written = (folder / name).string() + ".mat";

  test::TestLibrary copy;
  copy->controls.i(icv::PRNLVL) = 0;
  if (form.wide_numbers) copy->controls.i(icv::LENDBL) = 24;
  // The original's reads leave the set and objective names in the controls.
  for (int c : {ccv::RHSNAM, ccv::RNGNAM, ccv::BNDNAM, ccv::OBJNAM}) {
    copy->controls.ccv[static_cast<std::size_t>(c)] = original->controls.ccv[static_cast<std::size_t>(c)];
  }
  EXPECT_EQ(input::input_problem(copy.lib(), written.c_str()), rc);
  ASSERT_TRUE(copy->has_problem());
  test::ProblemSnapshot after;
  ASSERT_TRUE(test::take_snapshot(copy.lib(), after));
  ++tally.problems;
  if (test::expect_same_problem(before, after, form.written, original->controls.d(dcv::ZTOLZE)) != 0) {
    ++tally.mismatched;
  }

  if (form.wide_numbers) {
    // With the default controls (12-character numbers) a full-precision file whose
    // numbers all fit is the same problem bit for bit; one with a wider number is
    // refused with its line reported, never read with the number cut short.
    test::TestLibrary plain;
    plain->controls.i(icv::PRNLVL) = 0;
    for (int c : {ccv::RHSNAM, ccv::RNGNAM, ccv::BNDNAM, ccv::OBJNAM}) {
      plain->controls.ccv[static_cast<std::size_t>(c)] = original->controls.ccv[static_cast<std::size_t>(c)];
    }
    const std::int32_t plain_rc = input::input_problem(plain.lib(), written.c_str());
    if (has_wide_number(written)) {
      EXPECT_NE(plain_rc, 0) << "a number wider than its field was read";
      ++tally.default_refused;
    } else {
      EXPECT_EQ(plain_rc, rc);
      test::ProblemSnapshot plain_after;
      if (plain->has_problem() && test::take_snapshot(plain.lib(), plain_after) &&
          test::expect_same_problem(before, plain_after, test::exact_value, original->controls.d(dcv::ZTOLZE)) == 0) {
        ++tally.default_read;
      }
    }
  }

  bool blank_in_name = false;
  for (const auto* names : {&before.row_names, &before.column_names}) {
    for (const std::string& n : *names) blank_in_name = blank_in_name || n.find(' ') < n.find_last_not_of(' ');
  }
  // Free MPS, which glpsol needs for numbers wider than 12, has no room for such names.
  if (tool_present("glpsol") && !(form.wide_numbers && blank_in_name)) {
    ++tally.tool_runs;
    const std::string command =
        std::string("glpsol --check ") + (form.wide_numbers ? "--freemps " : "--mps ") + written + " >/dev/null 2>&1";
    const bool ok = std::system(command.c_str()) == 0;
    EXPECT_TRUE(ok) << command;
    tally.glpsol_ok += ok ? 1 : 0;
  }
  if (tool_present("clp")) {
    const std::string command = "clp -import " + written + " -quit 2>&1 | grep -qi 'error\\|unable\\|bad'";
    const bool ok = std::system(command.c_str()) != 0;
    EXPECT_TRUE(ok) << command;
    tally.clp_ok += ok ? 1 : 0;
  }

  if (before.rows <= kSolvedRows) {
    original->problem_name = (folder / (name + "-a")).string();
    copy->problem_name = (folder / (name + "-b")).string();
    const double expected = solve(original.lib());
    const double got = solve(copy.lib());
    ++tally.solved;
    // The full-precision file is the same problem; only the order of a column's entries
    // (by row in the file) can change the last bits of the optimum.
    const double tolerance = (form.written == test::exact_value ? 1e-12 : 1e-6) * std::max(1.0, std::fabs(expected));
    EXPECT_LE(std::fabs(expected - got), tolerance) << expected << " vs " << got;
    if (std::fabs(expected - got) <= tolerance) ++tally.same_optimum;
  }
  fs::remove(written);
}

void run_set(const std::string& set) {
  KQOPT_REQUIRE_SHARED_DATA();
  const fs::path folder = fs::temp_directory_path() / ("kqopt-mps-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const Form forms[] = {{"", false, test::normal_form_value}, {"p", true, test::exact_value}};
  for (const Form& form : forms) {
    Tally tally;
    for (const std::string& name : instances(set)) round_trip(set, name, form, folder, tally);
    std::printf(
        "%s, options '%s': %d problems, %d with differences; %d solved, %d with the same optimum; "
        "glpsol read %d of %d, clp %d; with the default controls %d read the same, %d refused\n",
        set.c_str(), form.options, tally.problems, tally.mismatched, tally.solved, tally.same_optimum, tally.glpsol_ok,
        tally.tool_runs, tally.clp_ok, tally.default_read, tally.default_refused);
  }
  fs::remove_all(folder);
}

TEST(MpsRoundTrip, Netlib) { run_set("netlib"); }
TEST(MpsRoundTrip, Miplib3) { run_set("miplib3"); }

}  // namespace
}  // namespace kqopt
