// Basis files and range analysis over the shared Netlib problems of up to 1000 rows.
//
// Basis files: our own optimal basis written and read into a fresh load must solve in
// 0 iterations; CLP's optimal basis (clp -dualsimplex -basisOut, when clp is on the
// path), read with blank-separated fields (CLP does not keep the fixed columns), must
// solve in very few.
//
// Ranges, checked by re-solving: for a sample of basic columns the cost is set just
// inside and just outside each reported cost limit, for a sample of nonbasic columns
// the column is fixed just inside and just outside each reported activity limit, and
// the optimal basis reinstalled. Inside, it must still be optimal (0 iterations);
// outside, the solve must move away from it (some iteration, or infeasibility).
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/input_problem.h"
#include "library/lifecycle.h"
#include "output/basis_file.h"
#include "output/ranging/range_ascii.h"
#include "output/ranging/range_file.h"
#include "problem/problem.h"
#include "simplex/core/solution_units.h"
#include "simplex/driver/basis_loading.h"
#include "simplex/driver/lp_driver.h"
#include "support/shared_data.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

std::vector<std::string> problems_up_to(int max_rows) {
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
    // Problems without a published optimum (standgub) are checked all the same.
    if (fields.size() < 2) continue;
    if (std::stoi(fields[1]) <= max_rows) result.push_back(fields[0]);
  }
  return result;
}

class Scratch {
 public:
  explicit Scratch(const std::string& tag) {
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() / ("kqopt-" + tag + "-" + std::to_string(::getpid()));
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

bool load(test::TestLibrary& t, const std::string& name) {
  t->controls.i(icv::ITRLOG) = 0;
  const std::string path = test::shared_data_dir() + "/netlib/" + name + ".mps";
  if (input::input_problem(t.lib(), path.c_str()) != 0) return false;
  set_problem_name(t.lib(), name.c_str());
  return true;
}

std::int32_t iterations(test::TestLibrary& t) { return *t->attributes.int_attribute(attr::kIterations); }
std::int32_t lp_status(test::TestLibrary& t) { return *t->attributes.int_attribute(attr::kLpStatus); }

TEST(BasisFileInstances, OwnAndClpBasesRestartTheSolve) {
  KQOPT_REQUIRE_SHARED_DATA();
  Scratch scratch("basis-instances");
  const bool have_clp = std::system("clp -quit > /dev/null 2>&1") == 0;
  int problems = 0, own_zero = 0, clp_read = 0, clp_zero = 0, clp_few = 0;
  std::string report;
  for (const std::string& name : problems_up_to(1000)) {
    test::TestLibrary first;
    if (!load(first, name)) {
      report += " " + name + "(not read)";
      continue;
    }
    ASSERT_EQ(optimise(first.lib(), DriverMode::kMinimise), 0) << name;
    if (lp_status(first) != 1) {
      report += " " + name + "(not optimal here)";
      continue;
    }
    ++problems;
    ASSERT_EQ(write_basis_file(first.lib(), "own.bss", {}), 0) << name;

    test::TestLibrary again;
    ASSERT_TRUE(load(again, name));
    ASSERT_EQ(read_basis_file(again.lib(), "own.bss", {}), 0) << name;
    ASSERT_EQ(optimise(again.lib(), DriverMode::kMinimise), 0);
    const int own = iterations(again);
    EXPECT_EQ(own, 0) << name;
    own_zero += own == 0 && lp_status(again) == 1;

    if (!have_clp) continue;
    const std::string path = test::shared_data_dir() + "/netlib/" + name + ".mps";
    std::filesystem::remove("clp.bas");
    const std::string command = "clp " + path + " -dualsimplex -basisOut clp.bas > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists("clp.bas")) continue;
    test::TestLibrary peer;
    ASSERT_TRUE(load(peer, name));
    // CLP puts the row name at column 20 and a value after it: blank-separated fields.
    peer->controls.i(icv::FREFMT) = 1;
    if (read_basis_file(peer.lib(), "clp.bas", {}) != 0 || peer->err.error_number != 0) {
      report += " " + name + "(read error " + std::to_string(peer->err.error_number) + ")";
      continue;
    }
    ++clp_read;
    ASSERT_EQ(optimise(peer.lib(), DriverMode::kMinimise), 0);
    const int its = iterations(peer);
    clp_zero += its == 0;
    clp_few += its > 0 && its <= 10;
    if (its > 0) report += " " + name + "(" + std::to_string(its) + ")";
  }
  std::printf("basis files: %d optimal problems; own basis read back solved in 0 iterations: %d\n", problems, own_zero);
  if (have_clp) {
    std::printf("clp bases: %d read cleanly; 0 iterations: %d; 1-10 iterations: %d; others:%s\n", clp_read, clp_zero,
                clp_few, report.c_str());
    EXPECT_GE(clp_zero + clp_few, clp_read * 9 / 10);
  } else {
    std::printf("clp not on the path: CLP bases not checked\n");
  }
  EXPECT_EQ(own_zero, problems);
}

// The outcome of a solve from the optimal basis after one change.
enum class Outcome { kStays, kMoves };

struct RangeProbe {
  test::TestLibrary& t;
  std::vector<std::int32_t> rows, columns;  // the optimal basis

  Outcome solve() {
    install_basis(t.lib(), rows.data(), columns.data());
    EXPECT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
    return iterations(t) == 0 && lp_status(t) == 1 ? Outcome::kStays : Outcome::kMoves;
  }
  Outcome with_cost(std::int32_t j, double user_cost) {
    Problem& p = *t->problem;
    const auto jj = static_cast<std::size_t>(j);
    const double saved = p.objective[jj];
    p.objective[jj] = scale_by(user_cost, -objective_shift(p, j));
    const Outcome o = solve();
    p.objective[jj] = saved;
    return o;
  }
  Outcome with_value(std::int32_t j, double user_value) {
    Problem& p = *t->problem;
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    const double lo = p.lower[v], up = p.upper[v];
    p.lower[v] = p.upper[v] = to_internal_value(p, static_cast<std::int32_t>(v), user_value);
    const Outcome o = solve();
    p.lower[v] = lo;
    p.upper[v] = up;
    return o;
  }
};

// Steps around a limit: inside by a fraction of the distance from the current value,
// outside by a small multiple of the tolerances.
double outside_step(double limit, double current) {
  return 1e-5 * std::max({1.0, std::fabs(limit), std::fabs(current)});
}
constexpr double kProbeTolerance = 1e-10;

TEST(RangeInstances, LimitsAgreeWithResolves) {
  KQOPT_REQUIRE_SHARED_DATA();
  Scratch scratch("range-instances");
  constexpr int kSample = 6;
  int problems = 0, checks = 0, agree = 0;
  std::string disagreements, unsteady;
  for (const std::string& name : problems_up_to(1000)) {
    test::TestLibrary t;
    if (!load(t, name)) {
      disagreements += " " + name + "(not read)";
      continue;
    }
    // Tolerances well below the steps, so that a step past a limit is seen as one.
    t->controls.d(dcv::ZTOLZE) = kProbeTolerance;
    t->controls.d(dcv::ZTCOST) = kProbeTolerance;
    ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
    if (lp_status(t) != 1) continue;
    if (write_range_file(t.lib()) != 0) {
      ADD_FAILURE() << name << " ranging failed " << t->err.error_number;
      continue;
    }
    ++problems;
    RangeRecord record;
    ASSERT_TRUE(read_range_file(t.lib(), record));
    RangeProbe probe{t, {}, {}};
    probe.rows.resize(static_cast<std::size_t>(t->problem->rows));
    probe.columns.resize(static_cast<std::size_t>(t->problem->columns));
    ASSERT_EQ(get_internal_basis(t.lib(), probe.rows.data(), probe.columns.data()), 0);
    t->controls.i(icv::ITRLIM) = 50;
    // Under the tight tolerances the optimal basis must first be seen as optimal unchanged.
    if (probe.solve() != Outcome::kStays) {
      unsteady += " " + name;
      continue;
    }

    std::vector<std::int32_t> basic, nonbasic;
    for (std::int32_t j = 0; j < record.columns; ++j) {
      (probe.columns[static_cast<std::size_t>(j)] == 1 ? basic : nonbasic).push_back(j);
    }
    auto sample = [&](const std::vector<std::int32_t>& from) {
      std::vector<std::int32_t> s;
      for (int k = 0; k < kSample && !from.empty(); ++k) {
        s.push_back(from[from.size() * static_cast<std::size_t>(k) / kSample]);
      }
      s.erase(std::unique(s.begin(), s.end()), s.end());
      return s;
    };
    auto check = [&](bool ok, const std::string& what) {
      ++checks;
      agree += ok;
      if (!ok) disagreements += " " + name + ":" + what;
    };
    for (std::int32_t j : sample(basic)) {
      const std::size_t v = static_cast<std::size_t>(record.rows + j);
      const ReportedRange q = reported_range(record, v);
      const double c = record.cost[v];
      for (int side = 0; side < 2; ++side) {
        const double limit = side == 0 ? q.upper_cost : q.lower_cost;
        if (std::fabs(limit) >= 1e29) continue;
        const double dir = side == 0 ? 1.0 : -1.0;
        const double out = outside_step(limit, c);
        std::string tag = "c";  // built in steps: GCC 12 warns wrongly about "..." + std::string
        tag += std::to_string(j);
        tag += side == 0 ? "+" : "-";
        if (std::fabs(limit - c) > 4 * out) {
          check(probe.with_cost(j, limit - dir * std::min(out, 0.5 * std::fabs(limit - c))) == Outcome::kStays,
                tag + "in");
        }
        check(probe.with_cost(j, limit + dir * out) == Outcome::kMoves, tag + "out");
      }
    }
    for (std::int32_t j : sample(nonbasic)) {
      const std::size_t v = static_cast<std::size_t>(record.rows + j);
      const ReportedRange q = reported_range(record, v);
      const std::int32_t own = static_cast<std::int32_t>(v) + 1;
      for (int side = 0; side < 2; ++side) {
        const double limit = side == 0 ? q.upper_activity : q.lower_activity;
        const std::int32_t ref = side == 0 ? q.limiting2 : q.limiting1;
        if (std::fabs(limit) >= 1e29 || std::abs(ref) == own) continue;
        const double dir = side == 0 ? 1.0 : -1.0;
        const double out = outside_step(limit, q.activity);
        std::string tag = "x";  // built in steps: GCC 12 warns wrongly about "..." + std::string
        tag += std::to_string(j);
        tag += side == 0 ? "+" : "-";
        if (std::fabs(limit - q.activity) > 4 * out) {
          check(
              probe.with_value(j, limit - dir * std::min(out, 0.5 * std::fabs(limit - q.activity))) == Outcome::kStays,
              tag + "in");
        }
        check(probe.with_value(j, limit + dir * out) == Outcome::kMoves, tag + "out");
      }
    }
  }
  std::printf(
      "ranging: %d problems, %d re-solve checks, %d agree; disagreements:%s\nnot optimal again unchanged (left "
      "out):%s\n",
      problems, checks, agree, disagreements.c_str(), unsteady.c_str());
  EXPECT_GE(agree, checks * 95 / 100);
}

// One column of GLPK's sensitivity report: status, objective coefficient range and
// activity range (lower, upper), "." read as 0 and +-Inf as +-1e30.
struct GlpkColumn {
  std::string status;
  double cost_low = 0, cost_high = 0, activity_low = 0, activity_high = 0;
};

double glpk_number(const std::string& token) {
  if (token == ".") return 0.0;
  if (token == "+Inf") return 1e30;
  if (token == "-Inf") return -1e30;
  return std::strtod(token.c_str(), nullptr);
}

std::vector<std::string> tokens(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string t;
  while (ss >> t) out.push_back(t);
  return out;
}

// Rows (statuses only) and columns of a --ranges report, in report order.
struct GlpkReport {
  std::vector<std::string> row_status;
  std::vector<std::pair<std::string, GlpkColumn>> columns;
};

GlpkReport glpk_report(const std::string& file) {
  GlpkReport report;
  std::ifstream in(file);
  std::string line;
  int section = 0;  // 1 rows, 2 columns
  while (std::getline(in, line)) {
    if (line.find("Row name") != std::string::npos) section = 1;
    if (line.find("Column name") != std::string::npos) section = 2;
    if (section == 0) continue;
    const auto first = tokens(line);
    // Line 1: No. name St activity ... [variable]; line 2 below it.
    if (first.size() < 9 || first[0].find_first_not_of("0123456789") != std::string::npos) continue;
    std::string second_line;
    if (!std::getline(in, second_line)) break;
    const auto second = tokens(second_line);
    if (second.size() < 5) continue;
    if (section == 1) {
      report.row_status.push_back(first[2]);
      continue;
    }
    GlpkColumn c;
    c.status = first[2];
    c.activity_low = glpk_number(first[6]);
    c.cost_low = glpk_number(first[7]);
    c.activity_high = glpk_number(second[2]);
    c.cost_high = glpk_number(second[3]);
    report.columns.emplace_back(first[1], c);
  }
  return report;
}

bool close(double a, double b) {
  if (std::fabs(a) >= 1e29 || std::fabs(b) >= 1e29) return (a >= 1e29) == (b >= 1e29) && (a <= -1e29) == (b <= -1e29);
  return std::fabs(a - b) <= 1e-4 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

// GLPK's report where the two definitions agree: the cost range of a basic column, and
// for a nonbasic one the cost range and the activity limit on the side away from its
// bound. Compared only where both end in the same optimal basis.
TEST(RangeInstances, AgreeWithGlpkWhereTheDefinitionsMeet) {
  KQOPT_REQUIRE_SHARED_DATA();
  if (std::system("glpsol --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "glpsol not on the path";
  Scratch scratch("range-glpk");
  int problems = 0, same_basis = 0, compared = 0, agree = 0, other_status = 0;
  std::string disagreements, other_basis;
  for (const std::string& name : problems_up_to(1000)) {
    test::TestLibrary t;
    if (!load(t, name)) {
      other_basis += " " + name + "(not read)";
      continue;
    }
    ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
    if (lp_status(t) != 1) {
      other_basis += " " + name + "(not optimal)";
      continue;
    }
    const std::string path = test::shared_data_dir() + "/netlib/" + name + ".mps";
    std::filesystem::remove("glpk.txt");
    if (std::system(("glpsol --mps " + path + " --ranges glpk.txt > /dev/null 2>&1").c_str()) != 0) {
      other_basis += " " + name + "(glpsol failed)";
      continue;
    }
    ++problems;
    const GlpkReport report = glpk_report("glpk.txt");
    const auto& glpk = report.columns;
    // Ranges belong to a basis, and degenerate problems have many optimal ones: start
    // from GLPK's (its report gives every status; GLPK leaves out the objective row)
    // and range that one.
    const Problem& p = *t->problem;
    std::vector<std::int32_t> rows(static_cast<std::size_t>(p.rows), 1), columns;
    std::size_t k = 0;
    bool fits = glpk.size() == static_cast<std::size_t>(p.columns);
    for (std::int32_t i = 0; fits && i < p.rows; ++i) {
      if (p.row_type[static_cast<std::size_t>(i)] == row_type::kFree) continue;
      if (k == report.row_status.size()) {
        fits = false;
        break;
      }
      const std::string& st = report.row_status[k++];
      // A row at its lower activity has its logical at the upper bound.
      rows[static_cast<std::size_t>(i)] = st == "BS" ? 1 : st == "NL" ? 2 : 0;
    }
    fits = fits && k == report.row_status.size();
    for (const auto& c : glpk) columns.push_back(c.second.status == "BS" ? 1 : c.second.status == "NU" ? 2 : 0);
    if (!fits) {
      other_basis += " " + name + "(rows)";
      continue;
    }
    install_basis(t.lib(), rows.data(), columns.data());
    ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
    if (lp_status(t) != 1 || iterations(t) != 0 || write_range_file(t.lib()) != 0) {
      other_basis += " " + name + "(" + std::to_string(iterations(t)) + " iterations)";
      continue;
    }
    ++same_basis;
    RangeRecord record;
    ASSERT_TRUE(read_range_file(t.lib(), record));
    for (std::int32_t j = 0; j < record.columns && static_cast<std::size_t>(j) < glpk.size(); ++j) {
      const std::size_t v = static_cast<std::size_t>(record.rows + j);
      const GlpkColumn& g = glpk[static_cast<std::size_t>(j)].second;
      const std::uint32_t word = record.status[v];
      const std::string ours = (word & status::kBasic) ? "BS" : (word & status::kAtUpper) ? "NU" : "NL";
      const bool fixed = g.status == "NS";
      if (ours != g.status && !(fixed && ours != "BS")) {
        ++other_status;
        continue;
      }
      const ReportedRange q = reported_range(record, v);
      bool ok = close(q.lower_cost, g.cost_low) && close(q.upper_cost, g.cost_high);
      if (ours == "NL" && !fixed && std::abs(q.limiting2) != static_cast<std::int32_t>(v) + 1) {
        ok = ok && close(q.upper_activity, g.activity_high);
      }
      if (ours == "NU" && !fixed && std::abs(q.limiting1) != static_cast<std::int32_t>(v) + 1) {
        ok = ok && close(q.lower_activity, g.activity_low);
      }
      ++compared;
      agree += ok;
      if (!ok && disagreements.size() < 4000) {
        char text[200];
        std::snprintf(text, sizeof text, " %s:%s(%s cost %g..%g vs %g..%g act %g..%g vs %g..%g)", name.c_str(),
                      glpk[static_cast<std::size_t>(j)].first.c_str(), ours.c_str(), q.lower_cost, q.upper_cost,
                      g.cost_low, g.cost_high, q.lower_activity, q.upper_activity, g.activity_low, g.activity_high);
        disagreements += text;
      }
    }
  }
  std::printf(
      "glpk: %d problems, %d started from GLPK's optimal basis without an iteration, %d columns compared (%d left out: "
      "other status), %d agree; "
      "disagreements:%s\nleft out:%s\n",
      problems, same_basis, compared, other_status, agree, disagreements.c_str(), other_basis.c_str());
  EXPECT_GE(agree, compared * 9 / 10);
}

// The ASCII range file (KQRTOASC) of every problem read back field by field: its
// limits, unit costs and cost limits are the arrays' values to the six significant
// digits of the 12-character form.
TEST(RangeInstances, AsciiRangeFileGivesTheArraysValues) {
  KQOPT_REQUIRE_SHARED_DATA();
  Scratch scratch("range-ascii");
  int problems = 0;
  long fields = 0, agree = 0;
  std::string disagreements;
  for (const std::string& name : problems_up_to(1000)) {
    test::TestLibrary t;
    if (!load(t, name) || optimise(t.lib(), DriverMode::kMinimise) != 0 || lp_status(t) != 1 ||
        write_range_file(t.lib()) != 0) {
      continue;
    }
    ASSERT_EQ(write_ascii_ranges(t.lib(), ""), 0) << name;
    const auto m = static_cast<std::size_t>(t->problem->rows);
    const auto n = static_cast<std::size_t>(t->problem->columns);
    std::vector<std::vector<double>> col(6, std::vector<double>(n)), row(4, std::vector<double>(m));
    ASSERT_EQ(column_ranges(t.lib(),
                            {col[0].data(), col[1].data(), col[2].data(), col[3].data(), col[4].data(), col[5].data()}),
              0);
    ASSERT_EQ(row_ranges(t.lib(), {row[0].data(), row[1].data(), row[2].data(), row[3].data()}), 0);
    std::ifstream in(name + ".rsc", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::size_t at = 0, k = 0;
    ++problems;
    while (at < text.size()) {
      const std::size_t end = text.find("\r\n", at);
      ASSERT_NE(end, std::string::npos) << name;
      // Fields split at commas outside quotes (recipe has commas in its names).
      std::vector<std::string> f(1);
      bool quoted = false;
      for (std::size_t c = at; c < end; ++c) {
        if (text[c] == '"') quoted = !quoted;
        if (text[c] == ',' && !quoted) {
          f.emplace_back();
        } else {
          f.back() += text[c];
        }
      }
      at = end + 2;
      ASSERT_EQ(f.size(), 16u) << name << " line " << k;
      const bool is_row = k < m;
      const std::size_t i = is_row ? k : k - m;
      const double expected[6] = {is_row ? row[1][i] : col[1][i], is_row ? row[3][i] : col[3][i],
                                  is_row ? 0.0 : col[4][i],       is_row ? row[0][i] : col[0][i],
                                  is_row ? row[2][i] : col[2][i], is_row ? 0.0 : col[5][i]};
      const std::size_t position[6] = {6, 7, 8, 11, 12, 13};
      for (int q = 0; q < 6; ++q) {
        if (is_row && (q == 2 || q == 5)) continue;  // no cost limits for rows in the arrays
        const double printed = std::stod(f[position[q]]);
        const double tol = std::max(1.0e-5, 1.0e-5 * std::fabs(expected[q]));
        ++fields;
        if (std::fabs(printed - expected[q]) <= tol) {
          ++agree;
        } else if (disagreements.size() < 400) {
          disagreements += " " + name + ":" + std::to_string(k) + "/" + std::to_string(q);
        }
      }
      ++k;
    }
    EXPECT_EQ(k, m + n) << name;
  }
  std::printf("ASCII range files: %d problems, %ld of %ld values agree with the arrays%s\n", problems, agree, fields,
              disagreements.c_str());
  EXPECT_EQ(agree, fields) << disagreements;
  EXPECT_GE(problems, 60);
}

}  // namespace
}  // namespace kqopt
