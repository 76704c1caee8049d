// Presolve in the mode for global entities over the shared MIPLIB 3 problems: no
// integer column is substituted out or left with fractional bounds, no integer column is
// fixed at a fractional value, and the LP relaxation of the presolved problem, mapped
// back, is not above the integer optimum (so no integer-feasible optimum was cut off)
// nor below the relaxation of the problem as loaded. It may be above the catalogue's LP
// relaxation: integer bounds rounded inward cut off fractional points (egout's binaries
// pushed to 1 by singleton rows). One line per problem gives the figures.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "problem/problem.h"
#include "simplex/driver/engine_setup.h"
#include "simplex/driver/presolve_step.h"
#include "simplex/primal/primal_simplex.h"
#include "support/quiet_observer.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

struct Reference {
  std::string name;
  double optimum = 0.0;
  double relaxation = 0.0;
};

std::vector<Reference> miplib_problems() {
  std::vector<Reference> result;
  std::ifstream csv(test::shared_data_dir() + "/miplib3/optimal.csv");
  std::string line;
  std::vector<std::string> header;
  while (std::getline(csv, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, ',')) fields.push_back(field);
    if (header.empty()) {
      header = fields;
      continue;
    }
    Reference r;
    for (std::size_t k = 0; k < fields.size() && k < header.size(); ++k) {
      if (header[k] == "name") r.name = fields[k];
      if (header[k] == "optimal_objective" && !fields[k].empty()) r.optimum = std::stod(fields[k]);
      if (header[k] == "lp_relaxation" && !fields[k].empty()) r.relaxation = std::stod(fields[k]);
    }
    if (!r.name.empty()) result.push_back(r);
  }
  return result;
}

using test::QuietObserver;

struct Relaxation {
  LpOutcome outcome = LpOutcome::optimal;
  SimplexBasis basis;
  std::vector<double> pi;
  std::vector<double> d;
};

Relaxation solve(const WorkingLp& lp, const PrimalSettings& settings) {
  Relaxation s;
  s.basis.set_all_logical(lp);
  Factor factor;
  QuietObserver observer;
  factor.start_run(settings.factor);
  s.outcome = primal_simplex(lp, s.basis, factor, settings, observer).outcome;
  if (factor.valid()) compute_duals(lp, s.basis, factor, s.pi, s.d);
  return s;
}

double objective(const WorkingLp& lp, const std::vector<double>& x) {
  double z = 0.0;
  for (std::int32_t v = 0; v < lp.variables(); ++v)
    z += lp.cost[static_cast<std::size_t>(v)] * x[static_cast<std::size_t>(v)];
  return z;
}

bool integral(double v) { return std::fabs(v) >= 1.0e15 || std::fabs(v - std::round(v)) <= 1.0e-9; }

class MiplibPresolve : public ::testing::TestWithParam<Reference> {};

TEST_P(MiplibPresolve, KeepsIntegerPoints) {
  KQOPT_REQUIRE_SHARED_DATA();
  const Reference& r = GetParam();
  const auto previous = std::filesystem::current_path();
  const auto scratch = std::filesystem::temp_directory_path() / ("kqopt-presolve-mip-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  std::filesystem::current_path(scratch);

  test::TestLibrary t;
  const std::string path = test::shared_data_dir() + "/miplib3/" + r.name + ".mps";
  ASSERT_EQ(input::input_problem(t.lib(), path.c_str()), 0) << r.name;
  const Problem& problem = *t->problem;
  WorkingLp lp;
  build_working_lp(problem, 1.0, lp);
  lp.build_row_copy();
  const std::vector<ColumnKind> kinds = column_kinds(t.lib(), problem);
  ASSERT_EQ(static_cast<std::int32_t>(kinds.size()), lp.columns) << r.name;
  const Presolved p = run_presolve(t.lib(), problem, lp);
  ASSERT_EQ(p.outcome, PresolveOutcome::reduced) << r.name;

  // Integer columns: kept with integral bounds, or removed at an integral value.
  std::vector<std::uint8_t> kept(static_cast<std::size_t>(lp.columns), 0);
  for (std::int32_t k = 0; k < p.lp.columns; ++k) {
    const std::int32_t j = p.column_of[static_cast<std::size_t>(k)];
    kept[static_cast<std::size_t>(j)] = 1;
    if (kinds[static_cast<std::size_t>(j)] != ColumnKind::integer) continue;
    const auto v = static_cast<std::size_t>(p.lp.rows + k);
    EXPECT_TRUE(integral(p.lp.lower[v]) && integral(p.lp.upper[v])) << r.name << " column " << j;
  }
  for (const Reduction& red : p.stack) {
    if (red.column < 0 || kinds[static_cast<std::size_t>(red.column)] != ColumnKind::integer) continue;
    // Only fixed at a value or bounded by a singleton row, never substituted or merged.
    EXPECT_TRUE(red.kind == ReductionKind::fixed_column || red.kind == ReductionKind::singleton_row)
        << r.name << " integer column " << red.column;
    if (red.kind == ReductionKind::fixed_column) {
      EXPECT_TRUE(integral(red.value)) << r.name << " column " << red.column;
    }
  }
  for (std::size_t k = 0; k < p.forced_column.size(); ++k) {
    if (kinds[static_cast<std::size_t>(p.forced_column[k])] != ColumnKind::integer) continue;
    EXPECT_TRUE(integral(p.forced_value[k])) << r.name << " column " << p.forced_column[k];
  }

  // The relaxation of the presolved problem, undone onto the loaded one.
  const PrimalSettings settings = primal_settings(t.lib());
  const Relaxation reduced = solve(p.lp, settings);
  ASSERT_EQ(reduced.outcome, LpOutcome::optimal) << r.name;
  SimplexBasis full;
  std::vector<double> pi;
  std::vector<double> d;
  postsolve_lp(lp, p, reduced.basis, reduced.pi, reduced.d, full, pi, d);
  const double presolved_value = objective(lp, full.x);
  const Relaxation loaded = solve(lp, settings);
  ASSERT_EQ(loaded.outcome, LpOutcome::optimal) << r.name;
  const double loaded_value = objective(lp, loaded.basis.x);
  const double tol = 1.0e-6 * std::max(1.0, std::fabs(r.optimum));
  EXPECT_LE(presolved_value, r.optimum + tol) << r.name;
  EXPECT_GE(presolved_value, loaded_value - tol) << r.name;
  std::printf(
      "miplib presolve %-9s removed %6d rows %6d columns  relaxation %-16.9g loaded %-16.9g catalogue %-16.9g"
      "  optimum %-16.9g\n",
      r.name.c_str(), p.rows_removed, p.columns_removed, presolved_value, loaded_value, r.relaxation, r.optimum);

  std::filesystem::current_path(previous);
  std::filesystem::remove_all(scratch);
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(MiplibPresolve);
INSTANTIATE_TEST_SUITE_P(Miplib3, MiplibPresolve, ::testing::ValuesIn(miplib_problems()),
                         [](const ::testing::TestParamInfo<Reference>& info) { return info.param.name; });

}  // namespace
}  // namespace kqopt
