// The crash on netlib problems: the basis the LP driver crashes factorises without a
// column replaced (message 101) or a header repaired (140), for the default type and
// others.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "input/input_problem.h"
#include "library/library.h"
#include "simplex/driver/lp_driver.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

constexpr const char* kCrashDone = "Crash basis: structural columns brought in:";

TEST(Crash, EveryCrashBasisFactorisesOnNetlibProblems) {
  KQOPT_REQUIRE_SHARED_DATA();
  const std::string directory = test::shared_data_dir() + "/netlib/";
  const auto scratch = std::filesystem::temp_directory_path() / ("kqcrash" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  const char* problems[] = {"afiro",  "sc50a",    "adlittle", "share2b", "scagr7", "israel", "stocfor1", "boeing2",
                            "bore3d", "vtp.base", "e226",     "ship04s", "grow7",  "lotfi",  "capri"};
  for (const char* name : problems) {
    for (std::int32_t icrash : {2, 1, 3, 4, 8, 2 + 16, 2 + 32, -2}) {
      SCOPED_TRACE(std::string(name) + ", ICRASH " + std::to_string(icrash));
      test::TestLibrary t;
      t->controls.i(icv::ICRASH) = icrash;
      t->controls.i(icv::ITRLIM) = 0;
      ASSERT_EQ(input::input_problem(t.lib(), (directory + name + ".mps").c_str()), 0);
      t->problem_name = (scratch / name).string();
      t.clear_lines();
      EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
      EXPECT_TRUE(t.printed(kCrashDone));
      EXPECT_FALSE(t.printed("Singular basis"));
      EXPECT_FALSE(t.printed("wrong number of basic variables"));
    }
  }
  std::filesystem::remove_all(scratch);
}

}  // namespace
}  // namespace kqopt
