// Presolve over the Netlib problems of up to 1000 rows: the optimum with presolve equals
// the one without to 1e-6 relative; the solution left on the problem as loaded after
// postsolve and clean-up is complementary (every nonbasic reduced cost of the sign of
// its bound, values within bounds); the clean-up iterations are recorded per problem.
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
#include "simplex/core/engine_state.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/lp_driver.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

std::vector<std::string> problems(int max_rows) {
  std::vector<std::string> result;
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
    if (std::stoi(fields[1]) <= max_rows) result.push_back(fields[0]);
  }
  return result;
}

struct Outcome {
  std::int32_t status = 0;
  double objective = 0.0;
};

Outcome solve(const std::string& name, bool presolve, std::int64_t* cleanup) {
  test::TestLibrary t;
  t->controls.i(icv::ITRLOG) = 0;
  if (!presolve) t->controls.i(icv::IPSLCT) = 0;
  const std::string path = test::shared_data_dir() + "/netlib/" + name + ".mps";
  EXPECT_EQ(input::input_problem(t.lib(), path.c_str()), 0) << name;
  set_problem_name(t.lib(), name.c_str());
  EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0) << name;
  Outcome run{*t->attributes.int_attribute(attr::kLpStatus), *t->attributes.double_attribute(attr::kObjectiveValue)};
  const EngineState& engine = engine_of(t.lib());
  EXPECT_EQ(engine.presolved, presolve) << name;
  if (presolve && run.status == 1) {
    *cleanup = engine.cleanup_iterations;
    const WorkingLp& lp = engine.lp;
    std::int32_t wrong = 0;
    for (std::int32_t v = 0; v < lp.variables(); ++v) {
      const auto vv = static_cast<std::size_t>(v);
      const double scale = 1.0 + std::fabs(lp.cost[vv]);
      const double d = engine.reduced_cost[vv];
      const VariableStatus s = engine.basis.status[vv];
      if (lp.lower[vv] == lp.upper[vv]) continue;
      if ((s == VariableStatus::at_lower && d < -1e-6 * scale) || (s == VariableStatus::at_upper && d > 1e-6 * scale) ||
          (s == VariableStatus::basic && std::fabs(d) > 1e-6 * scale) ||
          (s == VariableStatus::at_zero && std::fabs(d) > 1e-6 * scale)) {
        ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << name << ": reduced costs of the wrong sign";
  }
  return run;
}

class NetlibPresolve : public ::testing::TestWithParam<std::string> {};

TEST_P(NetlibPresolve, SameOptimumAndComplementarySolution) {
  const std::string& name = GetParam();
  const auto previous = std::filesystem::current_path();
  const auto scratch = std::filesystem::temp_directory_path() / ("kqopt-presolve-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  std::filesystem::current_path(scratch);

  std::int64_t cleanup = -1;
  const Outcome on = solve(name, true, &cleanup);
  const Outcome off = solve(name, false, nullptr);
  EXPECT_EQ(on.status, 1) << name;
  EXPECT_EQ(off.status, 1) << name;
  EXPECT_LE(std::fabs(on.objective - off.objective), 1e-6 * std::max(1.0, std::fabs(off.objective))) << name;
  RecordProperty("cleanup_iterations", std::to_string(cleanup));
  std::printf("%s clean-up iterations %lld\n", name.c_str(), static_cast<long long>(cleanup));

  std::filesystem::current_path(previous);
  std::filesystem::remove_all(scratch);
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(NetlibPresolve);
INSTANTIATE_TEST_SUITE_P(UpTo1000Rows, NetlibPresolve, ::testing::ValuesIn(problems(1000)),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace kqopt
