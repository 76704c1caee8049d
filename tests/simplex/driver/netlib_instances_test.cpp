// The Netlib problems of up to 300 rows, solved with default controls: each must end
// optimal with the published objective to 1e-6 relative (1e-6 absolute near zero).
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "simplex/driver/lp_driver.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

struct Reference {
  std::string name;
  int rows = 0;
  double objective = 0.0;
};

std::vector<Reference> small_problems(int max_rows) {
  std::vector<Reference> result;
  std::ifstream in(test::shared_data_dir() + "/netlib/optimal.csv");
  std::string line;
  bool header = true;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (header) {
      header = false;
      continue;
    }
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, ',')) fields.push_back(field);
    if (fields.size() < 5 || fields[4].empty()) continue;  // no published value
    Reference r{fields[0], std::stoi(fields[1]), std::stod(fields[4])};
    if (r.rows <= max_rows) result.push_back(r);
  }
  return result;
}

class NetlibSmall : public ::testing::TestWithParam<Reference> {};

TEST_P(NetlibSmall, MinimisesToThePublishedObjective) {
  const Reference& r = GetParam();
  // The solution file goes next to the problem name: work in a scratch directory.
  const auto previous = std::filesystem::current_path();
  const auto scratch = std::filesystem::temp_directory_path() / ("kqopt-netlib-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  std::filesystem::current_path(scratch);

  test::TestLibrary t;
  t->controls.i(icv::ITRLOG) = 0;
  const std::string path = test::shared_data_dir() + "/netlib/" + r.name + ".mps";
  ASSERT_EQ(input::input_problem(t.lib(), path.c_str()), 0) << r.name;
  set_problem_name(t.lib(), r.name.c_str());  // write the solution file here, not beside the data
  EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0) << r.name;
  EXPECT_EQ(*t->attributes.int_attribute(attr::kLpStatus), 1) << r.name;
  const double objective = *t->attributes.double_attribute(attr::kObjectiveValue);
  EXPECT_LE(std::fabs(objective - r.objective), 1e-6 * std::max(1.0, std::fabs(r.objective))) << r.name;

  std::filesystem::current_path(previous);
  std::filesystem::remove_all(scratch);
}

// Without the test sets there is nothing to instantiate; the run is then empty, not failed.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(NetlibSmall);
INSTANTIATE_TEST_SUITE_P(UpTo300Rows, NetlibSmall, ::testing::ValuesIn(small_problems(300)),
                         [](const ::testing::TestParamInfo<Reference>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// A feasibility tolerance near the rounding of the data: on pilot.ja phase 1 and phase 2
// once undid each other for over a million iterations. The run must end, and only
// with an answer it can stand by.
TEST(NetlibTightTolerances, PrimalEndsInsteadOfCycling) {
  KQOPT_REQUIRE_SHARED_DATA();
  const auto previous = std::filesystem::current_path();
  const auto scratch = std::filesystem::temp_directory_path() / ("kqopt-tight-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  std::filesystem::current_path(scratch);

  test::TestLibrary t;
  t->controls.i(icv::ITRLOG) = 0;
  const std::string path = test::shared_data_dir() + "/netlib/pilot.ja.mps";
  ASSERT_EQ(input::input_problem(t.lib(), path.c_str()), 0);
  set_problem_name(t.lib(), "pilot_ja");
  t->controls.d(dcv::ZTOLZE) = 1e-10;
  t->controls.d(dcv::ZTCOST) = 1e-10;
  t->controls.i(icv::ITRLIM) = 200000;  // far above what ending takes; a cycle reaches it
  optimise(t.lib(), DriverMode::kMinimise);
  EXPECT_LT(*t->attributes.int_attribute(attr::kIterations), 200000);
  const std::int32_t status = *t->attributes.int_attribute(attr::kLpStatus);
  if (status == 1) {
    EXPECT_NEAR(*t->attributes.double_attribute(attr::kObjectiveValue), -6113.1364656, 1e-6 * 6113.1364656);
  } else {
    EXPECT_EQ(status, 4);
  }
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(scratch);
}

}  // namespace
}  // namespace kqopt
