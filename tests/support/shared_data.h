// Where the runs over whole test sets find the public Netlib and MIPLIB 3 files: the
// folder named by the environment variable KQOPT_SHARED_DATA, else ../shared/data beside
// the repository. Runs skip, naming the folder, when it is absent.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kqopt::test {

inline std::string shared_data_dir() {
  const char* chosen = std::getenv("KQOPT_SHARED_DATA");
  return chosen != nullptr && *chosen != '\0' ? std::string(chosen) : std::string(KQOPT_SHARED_DATA_DEFAULT);
}

inline bool shared_data_present() { return std::filesystem::is_directory(shared_data_dir() + "/netlib"); }

}  // namespace kqopt::test

// Skips the current test when the test sets are not there.
#define KQOPT_REQUIRE_SHARED_DATA()                                                                       \
  do {                                                                                                    \
    if (!::kqopt::test::shared_data_present())                                                            \
      GTEST_SKIP() << "no test sets in " << ::kqopt::test::shared_data_dir() << " (set KQOPT_SHARED_DATA)"; \
  } while (false)
