// Initialisation: the workspace budget, the capacities derived from it, and the
// messages printed on the first initialisation only.
#include <gtest/gtest.h>

#include "library/lifecycle.h"
#include "library/platform.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

TEST(Lifecycle, CapacitiesFollowTheWorkspace) {
  struct Case {
    std::int32_t memsize;
    std::int64_t workspace;
  };
  const Case cases[] = {{1000, 992}, {40000000, 40000000}, {16000015, 16000000}};
  for (const Case& c : cases) {
    Library lib;
    ASSERT_EQ(initialise(lib, test::message_directory().c_str(), c.memsize), 0);
    EXPECT_EQ(lib.workspace.size(), c.workspace);
    std::int64_t mxanod = c.workspace < 32000000 ? 8 * (c.workspace / 16) / 2000000 : 8;
    std::int64_t k = (c.workspace - 20 * mxanod - 1048576) / 296;
    EXPECT_EQ(lib.controls.i(icv::MXANOD), mxanod);
    EXPECT_EQ(lib.controls.i(icv::M_R), k - 1);
    EXPECT_EQ(lib.controls.i(icv::M_C), k);
    EXPECT_EQ(lib.controls.i(icv::NGEMAX), k);
    EXPECT_EQ(lib.controls.i(icv::M_M), 10 * k);
    EXPECT_EQ(lib.controls.i(icv::IFDBG), 1);
  }
}

TEST(Lifecycle, ZeroAndLargestMemsizeTakeWhatTheMachineGives) {
  for (std::int32_t memsize : {0, 2147483647}) {
    Library lib;
    ASSERT_EQ(initialise(lib, test::message_directory().c_str(), memsize), 0);
    EXPECT_GT(lib.workspace.size(), 0);
    EXPECT_EQ(lib.workspace.size() % 16, 0);
    EXPECT_LE(lib.workspace.size(), obtainable_memory());
    EXPECT_EQ(lib.workspace.used(), 0);
  }
}

TEST(Lifecycle, WorkspaceSizeMessageOnFirstInitialisationOnly) {
  test::TestLibrary t(1 << 20);
  EXPECT_TRUE(t->first_initialisation_done);
  t.clear_lines();
  ASSERT_EQ(initialise(t.lib(), test::message_directory().c_str(), 1 << 20), 0);
  t->callbacks.output = nullptr;  // initialise resets the callbacks
  EXPECT_TRUE(t.lines().empty());
}

TEST(Lifecycle, ReleaseAndInitialiseAgain) {
  Library lib;
  ASSERT_EQ(initialise(lib, test::message_directory().c_str(), 1 << 24), 0);
  lib.controls.i(icv::ITRLIM) = 5;
  release(lib);
  EXPECT_FALSE(lib.initialised);
  EXPECT_FALSE(lib.out.catalogue.is_open());
  ASSERT_EQ(initialise(lib, test::message_directory().c_str(), 1 << 24), 0);
  EXPECT_EQ(lib.controls.i(icv::ITRLIM), 2147483645);
}

}  // namespace
}  // namespace kqopt
