// The barrier over the shared Netlib set: every problem of up to 2000 rows must end
// optimal after the crossover and the simplex clean-up, with the published objective to
// 1e-6 relative; and problems of up to 300 rows and 3000 columns made infeasible by one
// raised lower bound (the dual simplex confirming the infeasibility) must end
// infeasible, never optimal.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "problem/problem.h"
#include "simplex/driver/lp_driver.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

struct Reference {
  std::string name;
  int rows = 0;
  double objective = 0.0;
  int columns = 0;
};

// Names the problem in test listings, rather than the bytes of the struct.
void PrintTo(const Reference& r, std::ostream* os) { *os << r.name; }

std::vector<Reference> problems(int max_rows, int max_columns = 1 << 30) {
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
    if (fields.size() < 5 || fields[4].empty()) continue;
    Reference r{fields[0], std::stoi(fields[1]), std::stod(fields[4]), std::stoi(fields[2])};
    if (r.rows <= max_rows && r.columns <= max_columns) result.push_back(r);
  }
  return result;
}

std::string test_name(const ::testing::TestParamInfo<Reference>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

// Solution files go next to the problem name: each run works in a scratch directory.
class Scratch {
 public:
  Scratch() : previous_(std::filesystem::current_path()) {
    dir_ = std::filesystem::temp_directory_path() / ("kqopt-barrier-netlib-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  ~Scratch() {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }

 private:
  std::filesystem::path previous_, dir_;
};

void choose_barrier(Library& lib, bool on) {
  lib.options.fill(false);
  if (on) lib.options[static_cast<std::size_t>('b' - 'a')] = true;
}

void choose_dual(Library& lib) {
  lib.options.fill(false);
  lib.options[static_cast<std::size_t>('d' - 'a')] = true;
}

class NetlibBarrier : public ::testing::TestWithParam<Reference> {};

TEST_P(NetlibBarrier, CrossoverReachesThePublishedObjective) {
  const Reference& r = GetParam();
  Scratch scratch;
  test::TestLibrary t;
  t->controls.i(icv::ITRLOG) = 0;
  t->controls.i(icv::IQUIET) = 1;
  const std::string path = test::shared_data_dir() + "/netlib/" + r.name + ".mps";
  ASSERT_EQ(input::input_problem(t.lib(), path.c_str()), 0) << r.name;
  set_problem_name(t.lib(), r.name.c_str());
  choose_barrier(t.lib(), true);
  EXPECT_EQ(run_lp_driver(t.lib(), DriverMode::kMinimise), 0) << r.name;
  EXPECT_EQ(*t->attributes.int_attribute(attr::kLpStatus), 1) << r.name;
  EXPECT_EQ(*t->attributes.int_attribute(attr::kBarrierCrossover), 1) << r.name;
  const double objective = *t->attributes.double_attribute(attr::kObjectiveValue);
  EXPECT_LE(std::fabs(objective - r.objective), 1e-6 * std::max(1.0, std::fabs(r.objective))) << r.name;
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(NetlibBarrier);
INSTANTIATE_TEST_SUITE_P(UpTo2000Rows, NetlibBarrier, ::testing::ValuesIn(problems(2000)), test_name);

class NetlibBarrierInfeasible : public ::testing::TestWithParam<Reference> {};

// Raises the lower bound of one column without an upper bound far beyond its range; the
// first such column (of the first six) that the dual simplex finds infeasible is kept.
TEST_P(NetlibBarrierInfeasible, OneRaisedBoundGivesInfeasibleNeverOptimal) {
  const Reference& r = GetParam();
  Scratch scratch;
  const std::string path = test::shared_data_dir() + "/netlib/" + r.name + ".mps";
  int tried = 0;
  for (std::int32_t j = 0; tried < 6; ++j) {
    test::TestLibrary t;
    t->controls.i(icv::ITRLOG) = 0;
    t->controls.i(icv::IQUIET) = 1;
    ASSERT_EQ(input::input_problem(t.lib(), path.c_str()), 0) << r.name;
    set_problem_name(t.lib(), r.name.c_str());
    Problem& p = *t->problem;
    if (j >= p.columns) break;
    const std::size_t v = static_cast<std::size_t>(p.row_slots() + j);
    if (p.upper[v] < 1.0e29 || p.lower[v] <= -1.0e29) continue;
    ++tried;
    p.lower[v] = 1.0e6;
    choose_dual(t.lib());
    ASSERT_EQ(run_lp_driver(t.lib(), DriverMode::kMinimise), 0);
    if (*t->attributes.int_attribute(attr::kLpStatus) != 2) continue;
    t->controls.i(icv::IFNBAS) = 0;
    choose_barrier(t.lib(), true);
    ASSERT_EQ(run_lp_driver(t.lib(), DriverMode::kMinimise), 0) << r.name << " column " << j;
    EXPECT_EQ(*t->attributes.int_attribute(attr::kLpStatus), 2) << r.name << " column " << j;
    return;
  }
  GTEST_SKIP() << "no raised bound made " << r.name << " infeasible";
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(NetlibBarrierInfeasible);
INSTANTIATE_TEST_SUITE_P(UpTo300Rows, NetlibBarrierInfeasible, ::testing::ValuesIn(problems(300, 3000)), test_name);

}  // namespace
}  // namespace kqopt
