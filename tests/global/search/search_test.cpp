// The global search against brute force: small problems of every entity kind, made
// from seeds, whose optimum the test finds by enumerating the entities' discrete
// choices and solving the LP of each choice; every branching and node-selection rule
// must reach it. Also the limits, resumption, the cutoff, the growing node list,
// node deletion from a callback and the estimate of KQGETEST.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "global/search/search.h"
#include "library/control_access.h"
#include "library/library.h"
#include "problem/load.h"
#include "problem/problem.h"
#include "simplex/driver/lp_driver.h"
#include "support/test_library.h"

namespace kqopt {
namespace {

struct Entity {
  char kind;  // 'I', 'B', 'P', 'S'
  std::int32_t column;
  double limit = 0.0;  // P: integer limit; S: the semi-continuous limit
};

struct Set {
  char type;  // '1' or '2'
  std::vector<std::int32_t> columns;
};

struct Model {
  std::int32_t n = 0;
  std::vector<char> row_types;
  std::vector<double> rhs;
  std::vector<std::vector<double>> a;  // rows x n
  std::vector<double> obj, lower, upper;
  std::vector<Entity> entities;
  std::vector<Set> sets;
  bool maximise = false;
};

// Loads m (entities and sets when global) into the library.
void load(Library& lib, const Model& m, bool global) {
  const auto rows = static_cast<std::int32_t>(m.row_types.size());
  std::vector<std::int32_t> starts{0};
  std::vector<std::int32_t> element_rows;
  std::vector<double> values;
  for (std::int32_t j = 0; j < m.n; ++j) {
    for (std::int32_t i = 0; i < rows; ++i) {
      const double v = m.a[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
      if (v == 0.0) continue;
      element_rows.push_back(i);
      values.push_back(v);
    }
    starts.push_back(static_cast<std::int32_t>(values.size()));
  }
  std::vector<char> kinds;
  std::vector<std::int32_t> columns;
  std::vector<std::int32_t> limits;
  std::vector<double> sc_limits;
  for (const Entity& e : m.entities) {
    kinds.push_back(e.kind);
    columns.push_back(e.column);
    limits.push_back(static_cast<std::int32_t>(e.limit));
    sc_limits.push_back(e.limit);
  }
  std::vector<char> set_types;
  std::vector<std::int32_t> set_starts{0};
  std::vector<std::int32_t> set_columns;
  std::vector<double> weights;
  for (const Set& s : m.sets) {
    set_types.push_back(s.type);
    for (std::size_t k = 0; k < s.columns.size(); ++k) {
      set_columns.push_back(s.columns[k]);
      weights.push_back(static_cast<double>(k + 1));
    }
    set_starts.push_back(static_cast<std::int32_t>(set_columns.size()));
  }
  ProblemInput in;
  in.problem_name = "bbtest";
  in.rows = rows;
  in.columns = m.n;
  in.row_types = m.row_types.data();
  in.rhs = m.rhs.data();
  in.objective = m.obj.data();
  in.column_starts = starts.data();
  in.element_rows = element_rows.data();
  in.element_values = values.data();
  in.lower = m.lower.data();
  in.upper = m.upper.data();
  LoadOptions options;
  if (global) {
    options.global = true;
    options.sets_first = false;
    in.entity_count = static_cast<std::int32_t>(kinds.size());
    in.entity_kinds = kinds.data();
    in.entity_columns = columns.data();
    in.entity_limits = limits.data();
    in.semi_continuous_limits = sc_limits.data();
    in.set_count = static_cast<std::int32_t>(set_types.size());
    in.set_types = set_types.data();
    in.set_starts = set_starts.data();
    in.set_columns = set_columns.data();
    in.set_weights = weights.data();
  }
  ASSERT_EQ(load_problem(lib, in, options), 0);
}

DriverMode mode_of(const Model& m) { return m.maximise ? DriverMode::kMaximise : DriverMode::kMinimise; }

// The optimum by enumeration: every combination of the entities' discrete choices
// becomes column bounds, and the LP of each is solved. Returns false when none is
// feasible.
bool brute_force(const Model& m, double& best) {
  std::vector<std::vector<std::pair<double, double>>> choices;  // per entity and set: column bound options
  std::vector<std::vector<std::vector<std::pair<std::int32_t, std::pair<double, double>>>>> alternatives;
  for (const Entity& e : m.entities) {
    const auto j = static_cast<std::size_t>(e.column);
    std::vector<std::vector<std::pair<std::int32_t, std::pair<double, double>>>> alt;
    const double lo = m.lower[j];
    const double up = e.kind == 'B' ? 1.0 : m.upper[j];
    if (e.kind == 'S') {
      alt.push_back({{e.column, {0.0, 0.0}}});
      if (e.limit <= up) alt.push_back({{e.column, {e.limit, up}}});
    } else {
      const double top = e.kind == 'P' ? std::min(up, e.limit - 1.0) : up;
      for (double v = lo; v <= top; v += 1.0) alt.push_back({{e.column, {v, v}}});
      if (e.kind == 'P' && e.limit <= up) alt.push_back({{e.column, {e.limit, up}}});
    }
    alternatives.push_back(alt);
  }
  for (const Set& s : m.sets) {
    std::vector<std::vector<std::pair<std::int32_t, std::pair<double, double>>>> alt;
    const std::size_t count = s.columns.size();
    const std::size_t width = s.type == '1' ? 1 : 2;
    for (std::size_t k = 0; k + width <= count; ++k) {
      std::vector<std::pair<std::int32_t, std::pair<double, double>>> fix;
      for (std::size_t q = 0; q < count; ++q) {
        if (q >= k && q < k + width) continue;
        fix.push_back({s.columns[q], {0.0, 0.0}});
      }
      alt.push_back(fix);
    }
    alternatives.push_back(alt);
  }
  std::vector<std::size_t> pick(alternatives.size(), 0);
  bool found = false;
  test::TestLibrary t;
  set_int_control(t.lib(), icv::ITRLOG, 0);
  const double sense = m.maximise ? -1.0 : 1.0;
  while (true) {
    Model leaf = m;
    leaf.entities.clear();
    leaf.sets.clear();
    for (const Entity& e : m.entities) {
      if (e.kind == 'B') leaf.upper[static_cast<std::size_t>(e.column)] = 1.0;
    }
    bool crossing = false;
    for (std::size_t k = 0; k < alternatives.size(); ++k) {
      for (const auto& [col, b] : alternatives[k][pick[k]]) {
        auto& lo = leaf.lower[static_cast<std::size_t>(col)];
        auto& up = leaf.upper[static_cast<std::size_t>(col)];
        lo = std::max(lo, b.first);
        up = std::min(up, b.second);
        if (lo > up) crossing = true;
      }
    }
    if (!crossing) {
      load(t.lib(), leaf, false);
      optimise(t.lib(), mode_of(m));
      std::int32_t status = 0;
      get_int_attribute(t.lib(), attr::kLpStatus, &status);
      if (status == 1) {
        double z = 0.0;
        get_double_attribute(t.lib(), attr::kObjectiveValue, &z);
        if (!found || sense * z < sense * best) best = z;
        found = true;
      }
    }
    std::size_t k = 0;
    while (k < pick.size() && ++pick[k] == alternatives[k].size()) pick[k++] = 0;
    if (k == pick.size()) break;
  }
  return found;
}

// Random small problems of one family.
Model make_model(const std::string& family, unsigned seed) {
  std::mt19937 rng(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Model m;
  auto rows_of = [&](std::int32_t rows, std::int32_t n, char type, int lo, int hi, int rlo, int rhi) {
    m.n = n;
    for (std::int32_t i = 0; i < rows; ++i) {
      m.row_types.push_back(type);
      m.rhs.push_back(uniform(rlo, rhi) + 0.5 * uniform(0, 1));
      std::vector<double> row(static_cast<std::size_t>(n));
      for (double& v : row) v = uniform(lo, hi);
      m.a.push_back(row);
    }
  };
  if (family == "integer" || family == "binary" || family == "partial") {
    const std::int32_t n = family == "binary" ? 6 : 4;
    rows_of(3, n, 'L', -1, 6, 6, 14);
    for (std::int32_t j = 0; j < n; ++j) {
      m.obj.push_back(-uniform(1, 9));
      m.lower.push_back(0.0);
      m.upper.push_back(family == "binary" ? 1.0 : 4.0);
      if (family == "integer") m.entities.push_back({'I', j});
      if (family == "binary") m.entities.push_back({'B', j});
      if (family == "partial" && j < 3) m.entities.push_back({'P', j, static_cast<double>(uniform(2, 3))});
    }
    // A covering row keeps the optimum away from the trivial corner now and then.
    m.row_types.push_back('G');
    m.rhs.push_back(uniform(1, 3) + 0.5);
    m.a.push_back(std::vector<double>(static_cast<std::size_t>(n), 1.0));
    m.maximise = seed % 2 == 1;
    if (m.maximise) {
      for (double& c : m.obj) c = -c;
    }
  } else if (family == "semicontinuous") {
    const std::int32_t n = 4;
    rows_of(2, n, 'G', 1, 4, 2, 6);
    for (std::int32_t j = 0; j < n; ++j) {
      m.obj.push_back(uniform(1, 9) + 0.25 * uniform(0, 3));
      m.lower.push_back(0.0);
      m.upper.push_back(5.0);
      if (j < 3) m.entities.push_back({'S', j, 1.5 + 0.5 * uniform(0, 4)});
    }
  } else if (family == "sos1") {
    const std::int32_t n = 5;
    rows_of(2, n, 'L', 1, 5, 6, 12);
    for (std::int32_t j = 0; j < n; ++j) {
      m.obj.push_back(-uniform(2, 9));
      m.lower.push_back(0.0);
      m.upper.push_back(3.0);
    }
    m.sets.push_back({'1', {0, 1, 2, 3}});
    m.maximise = seed % 2 == 1;
    if (m.maximise) {
      for (double& c : m.obj) c = -c;
    }
  } else if (family == "sos2") {
    // A piecewise-linear cost: lambda over 6 breakpoints, sum 1, the point
    // sum k·lambda_k at least t; costs chosen nonconvex so that the relaxation mixes
    // breakpoints that are not neighbours.
    const std::int32_t n = 6;
    m.n = n;
    m.row_types = {'E', 'G'};
    m.rhs = {1.0, 1.5 + 0.5 * uniform(0, 5)};
    m.a = {std::vector<double>(n, 1.0), std::vector<double>(n)};
    for (std::int32_t j = 0; j < n; ++j) {
      m.a[1][static_cast<std::size_t>(j)] = j;
      m.obj.push_back(uniform(0, 12));
      m.lower.push_back(0.0);
      m.upper.push_back(1.0);
    }
    m.sets.push_back({'2', {0, 1, 2, 3, 4, 5}});
  }
  return m;
}

class GlobalSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    // Every solve writes its solution file (synced to disk): a memory file system, where
    // there is one, keeps the hundreds of small solves quick.
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    scratch_ = base / ("kqopt-global-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }
  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

struct Result {
  std::int32_t status = 0;
  double objective = 0.0;
  double bound = 0.0;
  std::int32_t nodes = 0;
  std::int32_t solutions = 0;
};

Result read_result(Library& lib) {
  Result r;
  get_int_attribute(lib, attr::kGlobalStatus, &r.status);
  get_int_attribute(lib, attr::kNodes, &r.nodes);
  get_int_attribute(lib, attr::kIntegerSolutions, &r.solutions);
  get_double_attribute(lib, attr::kIncumbentObjective, &r.objective);
  get_double_attribute(lib, attr::kBestBound, &r.bound);
  return r;
}

using Setup = std::function<void(Library&)>;

// Solves m with the global search; an infeasible relaxation gives status 0 (the
// search refuses to start, message 11).
Result solve(const Model& m, const Setup& setup) {
  test::TestLibrary t;
  set_int_control(t.lib(), icv::GPRINT, 0);
  load(t.lib(), m, true);
  if (setup) setup(t.lib());
  EXPECT_EQ(optimise(t.lib(), mode_of(m)), 0);
  if (*t->attributes.int_attribute(attr::kLpStatus) == 2) {
    EXPECT_EQ(run_global_search(t.lib()), kRcInvalidCall);
    EXPECT_EQ(t->err.error_number, 11);
    return Result{};
  }
  EXPECT_EQ(run_global_search(t.lib()), 0);
  return read_result(t.lib());
}

struct Rule {
  const char* name;
  Setup setup;
};

const std::vector<Rule>& rules() {
  static const std::vector<Rule> kRules = {
      {"default", nullptr},
      {"always select (NDSEL1 2)", [](Library& lib) { set_int_control(lib, icv::NDSEL1, 2); }},
      {"deepest (NDSEL1 3)", [](Library& lib) { set_int_control(lib, icv::NDSEL1, 3); }},
      {"bound then estimate (NDSEL1 4)",
       [](Library& lib) {
         set_int_control(lib, icv::NDSEL1, 4);
         set_int_control(lib, icv::MAXNBF, 3);
       }},
      {"by estimate (NDSEL2 1)", [](Library& lib) { set_int_control(lib, icv::NDSEL2, 1); }},
      {"target (NDSEL2 2)", [](Library& lib) { set_int_control(lib, icv::NDSEL2, 2); }},
      {"down first (KCRITM -1)", [](Library& lib) { set_int_control(lib, icv::KCRITM, -1); }},
      {"sum score (KCRITM 2)", [](Library& lib) { set_int_control(lib, icv::KCRITM, 2); }},
      {"dive criterion (CRITRN 1)", [](Library& lib) { set_double_control(lib, dcv::CRITRN, 1.0); }},
      {"local cutoff (IFCUTOFF 1)",
       [](Library& lib) {
         set_int_control(lib, icv::IFCUTOFF, 1);
         set_int_control(lib, icv::PRCUTOFF, 10);
       }},
      {"priorities and directions",
       [](Library& lib) {
         // The last entity most important, directions alternating.
         auto& entities = lib.problem->entities;
         for (std::size_t k = 0; k < entities.size(); ++k) {
           entities[k].priority_word = static_cast<std::int32_t>(16 * (900 - 10 * k) + (k % 2 == 0 ? 1 : 2));
         }
       }},
      {"node list of 2 slots", [](Library& lib) { set_int_control(lib, icv::MXANOD, 2); }},
      {"no reduced-cost fixing (IFINTP 0)", [](Library& lib) { set_int_control(lib, icv::IFINTP, 0); }},
      {"no diving heuristic (IFINTP 15)", [](Library& lib) { set_int_control(lib, icv::IFINTP, 15); }},
  };
  return kRules;
}

TEST_F(GlobalSearchTest, EveryEntityKindAndRuleReachesTheEnumeratedOptimum) {
  for (const std::string family : {"integer", "binary", "partial", "semicontinuous", "sos1", "sos2"}) {
    // Trees, not just relaxations that happen to be integral.
    std::int32_t branched_runs = 0;
    for (unsigned seed = 1; seed <= 5; ++seed) {
      const Model m = make_model(family, seed);
      double best = 0.0;
      const bool feasible = brute_force(m, best);
      for (const Rule& rule : rules()) {
        SCOPED_TRACE(family + " seed " + std::to_string(seed) + " rule " + rule.name);
        const Result r = solve(m, rule.setup);
        if (!feasible) {
          EXPECT_TRUE(r.status == kSearchFinishedNoSolution || r.status == 0) << r.status;
          continue;
        }
        ASSERT_EQ(r.status, kSearchFinishedWithSolution);
        EXPECT_NEAR(r.objective, best, 1.0e-6 * std::max(1.0, std::fabs(best)));
        EXPECT_NEAR(r.bound, r.objective, 1.0e-9 * std::max(1.0, std::fabs(best)));
        if (r.nodes > 1) ++branched_runs;
      }
    }
    EXPECT_GE(branched_runs, 2 * static_cast<std::int32_t>(rules().size())) << family;
  }
}

// A problem with a tree of some size: 8 general integers under 4 knapsack rows.
Model larger_model() {
  Model m;
  std::mt19937 rng(77);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  m.n = 8;
  for (int i = 0; i < 4; ++i) {
    m.row_types.push_back('L');
    m.rhs.push_back(uniform(20, 40) + 0.5);
    std::vector<double> row(8);
    for (double& v : row) v = uniform(2, 11);
    m.a.push_back(row);
  }
  for (int j = 0; j < 8; ++j) {
    m.obj.push_back(-uniform(5, 20));
    m.lower.push_back(0.0);
    m.upper.push_back(5.0);
    m.entities.push_back({'I', j});
  }
  return m;
}

std::int32_t g_nodes_seen = 0;
void count_optimal(std::int32_t*) { ++g_nodes_seen; }
void count_infeasible() { ++g_nodes_seen; }
void count_cutoff(std::int32_t) { ++g_nodes_seen; }

TEST_F(GlobalSearchTest, StoppedByTheNodeLimitAndResumedReachesTheSameOptimum) {
  const Model m = larger_model();
  const Result whole = solve(m, nullptr);
  ASSERT_EQ(whole.status, kSearchFinishedWithSolution);
  ASSERT_GT(whole.nodes, 20);

  test::TestLibrary t;
  load(t.lib(), m, true);
  t->callbacks.optimal_node = count_optimal;
  t->callbacks.infeasible_node = count_infeasible;
  t->callbacks.cutoff_node = count_cutoff;
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  set_int_control(t.lib(), icv::MAXNOD, 10);
  g_nodes_seen = 0;
  ASSERT_EQ(run_global_search(t.lib()), 0);
  const Result first = read_result(t.lib());
  EXPECT_TRUE(t.printed("node limit"));
  EXPECT_TRUE(first.status == kSearchRunningNoSolution || first.status == kSearchRunningWithSolution);
  EXPECT_GE(first.nodes, 10);
  EXPECT_EQ(first.nodes, g_nodes_seen);
  // Incumbent and bound bracket the optimum.
  if (first.solutions > 0) {
    EXPECT_GE(first.objective, whole.objective - 1.0e-9);
  }
  EXPECT_LE(first.bound, whole.objective + 1.0e-9);

  set_int_control(t.lib(), icv::MAXNOD, 100000000);
  g_nodes_seen = 0;
  ASSERT_EQ(run_global_search(t.lib()), 0);
  const Result second = read_result(t.lib());
  EXPECT_EQ(second.status, kSearchFinishedWithSolution);
  EXPECT_NEAR(second.objective, whole.objective, 1.0e-9);
  EXPECT_EQ(second.nodes, first.nodes + g_nodes_seen);
  // The solution left in memory is the incumbent's.
  double z = 0.0;
  get_double_attribute(t.lib(), attr::kObjectiveValue, &z);
  EXPECT_NEAR(z, whole.objective, 1.0e-9);
}

// The default rule reads the best-bound node from a heap; a local cutoff too loose ever
// to pass a node over makes the selection scan the list by the same rule. Both must walk
// the same tree.
TEST_F(GlobalSearchTest, BoundHeapChoosesTheNodesTheScanChooses) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE(seed);
    Model m = larger_model();
    if (seed > 1) m = make_model("integer", seed);
    const Result heap = solve(m, nullptr);
    const Result scan = solve(m, [](Library& lib) {
      set_int_control(lib, icv::IFCUTOFF, 1);
      set_int_control(lib, icv::PRCUTOFF, 100000000);
    });
    EXPECT_EQ(heap.status, scan.status);
    if (seed == 1) {
      EXPECT_GT(heap.nodes, 20);
    }
    EXPECT_EQ(heap.nodes, scan.nodes);
    EXPECT_EQ(heap.solutions, scan.solutions);
    EXPECT_DOUBLE_EQ(heap.objective, scan.objective);
  }
}

// A console break during the search (raised here from a node callback) stops it after
// the node in hand; the next call goes on to the same optimum.
Library* g_break_lib = nullptr;
std::int32_t g_break_after = 0;
void break_after_some_nodes(std::int32_t*) {
  if (--g_break_after == 0) g_break_lib->user_interrupt = 1;
}

TEST_F(GlobalSearchTest, InterruptedByTheConsoleBreakAndResumed) {
  const Model m = larger_model();
  const Result whole = solve(m, nullptr);
  test::TestLibrary t;
  load(t.lib(), m, true);
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  g_break_lib = &t.lib();
  g_break_after = 5;
  t->callbacks.optimal_node = break_after_some_nodes;
  t.clear_lines();
  ASSERT_EQ(run_global_search(t.lib()), 0);
  const Result first = read_result(t.lib());
  EXPECT_TRUE(first.status == kSearchRunningNoSolution || first.status == kSearchRunningWithSolution);
  EXPECT_TRUE(t.printed("did not finish"));
  EXPECT_LT(first.nodes, whole.nodes);
  t->callbacks.optimal_node = nullptr;
  ASSERT_EQ(run_global_search(t.lib()), 0);
  const Result second = read_result(t.lib());
  EXPECT_EQ(second.status, kSearchFinishedWithSolution);
  EXPECT_NEAR(second.objective, whole.objective, 1.0e-9);
}

TEST_F(GlobalSearchTest, SolutionLimitStopsAfterTheFirstSolutionAndResumes) {
  const Model m = larger_model();
  const Result whole = solve(m, nullptr);
  test::TestLibrary t;
  set_int_control(t.lib(), icv::GPRINT, 0);
  load(t.lib(), m, true);
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  set_int_control(t.lib(), icv::MAXSOL, 1);
  ASSERT_EQ(run_global_search(t.lib()), 0);
  Result r = read_result(t.lib());
  EXPECT_EQ(r.solutions, 1);
  EXPECT_EQ(r.status, kSearchRunningWithSolution);
  EXPECT_TRUE(t.printed("solution limit"));
  set_int_control(t.lib(), icv::MAXSOL, 0);
  ASSERT_EQ(run_global_search(t.lib()), 0);
  r = read_result(t.lib());
  EXPECT_EQ(r.status, kSearchFinishedWithSolution);
  EXPECT_NEAR(r.objective, whole.objective, 1.0e-9);
}

TEST_F(GlobalSearchTest, EarlierSolutionsAreKeptInNumberedFiles) {
  test::TestLibrary t;
  set_int_control(t.lib(), icv::GPRINT, 0);
  load(t.lib(), larger_model(), true);
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  set_int_control(t.lib(), icv::IPKEEP, 3);
  set_int_control(t.lib(), icv::KCRITM, -1);  // the worse branch first: several solutions
  // Without propagation through the rows and the diving heuristic (bit 8), which would
  // find the optimum too soon.
  set_int_control(t.lib(), icv::IFINTP, 5 | 8);
  std::filesystem::remove("bbtest.sol");
  ASSERT_EQ(run_global_search(t.lib()), 0);
  const Result r = read_result(t.lib());
  ASSERT_GE(r.solutions, 3) << "the test wants a search that improves its solution twice";
  EXPECT_TRUE(std::filesystem::exists("bbtest.sol"));
  EXPECT_TRUE(std::filesystem::exists("bbtest.so0"));
  EXPECT_TRUE(std::filesystem::exists("bbtest.so1"));
  EXPECT_FALSE(std::filesystem::exists("bbtest.so2"));  // IPKEEP - 1 files in turn
}

// The dive from the first node finds a solution before any other node is solved; bit 8
// of IFINTP keeps it out. Both searches end at the same optimum.
TEST_F(GlobalSearchTest, TheDivingHeuristicGivesTheFirstSolutionAtTheFirstNode) {
  const Model m = larger_model();
  std::int64_t dives[2] = {0, 0};
  double objective[2] = {0.0, 0.0};
  for (int off = 0; off < 2; ++off) {
    test::TestLibrary t;
    set_int_control(t.lib(), icv::GPRINT, 0);
    load(t.lib(), m, true);
    if (off == 1) set_int_control(t.lib(), icv::IFINTP, 7 | 8);
    ASSERT_EQ(optimise(t.lib(), mode_of(m)), 0);
    ASSERT_EQ(run_global_search(t.lib()), 0);
    const Result r = read_result(t.lib());
    ASSERT_EQ(r.status, kSearchFinishedWithSolution);
    const GlobalSearch* st = current_search(t.lib());
    ASSERT_NE(st, nullptr);
    dives[off] = st->heuristic_dives;
    objective[off] = r.objective;
    if (off == 0) {
      EXPECT_GE(st->heuristic_solutions, 1);
      EXPECT_GE(st->heuristic_iterations, 1);
    }
  }
  EXPECT_GE(dives[0], 1);
  EXPECT_EQ(dives[1], 0);
  EXPECT_NEAR(objective[0], objective[1], 1.0e-9 * std::max(1.0, std::fabs(objective[1])));
}

// Probing (IFINTP bit 4): x = 1 leaves y + z <= 0 in the first row, which the second
// row refutes, so x is fixed at 0 before the first node and its LP is integral.
TEST_F(GlobalSearchTest, ProbingFixesABinaryTheRowsRefute) {
  Model m;
  m.n = 3;
  m.row_types = {'L', 'G'};
  m.rhs = {2.0, 1.0};
  m.a = {{2.0, 1.0, 1.0}, {0.0, 1.0, 1.0}};
  m.obj = {-3.0, -1.0, -1.0};
  m.lower = {0.0, 0.0, 0.0};
  m.upper = {1.0, 1.0, 1.0};
  m.entities = {{'B', 0}, {'B', 1}, {'B', 2}};
  double best = 0.0;
  ASSERT_TRUE(brute_force(m, best));
  for (const std::int32_t ifintp : {7, 3}) {
    SCOPED_TRACE("IFINTP " + std::to_string(ifintp));
    test::TestLibrary t;
    load(t.lib(), m, true);
    set_int_control(t.lib(), icv::IFINTP, ifintp);
    ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
    t.clear_lines();
    ASSERT_EQ(run_global_search(t.lib()), 0);
    const Result r = read_result(t.lib());
    ASSERT_EQ(r.status, kSearchFinishedWithSolution);
    EXPECT_NEAR(r.objective, best, 1.0e-9);
    const GlobalSearch* st = current_search(t.lib());
    ASSERT_NE(st, nullptr);
    if (ifintp == 7) {
      EXPECT_TRUE(t.printed("Probing binary entities"));
      EXPECT_GE(st->probing_fixings, 1);
      EXPECT_EQ(r.nodes, 1);
    } else {
      EXPECT_FALSE(t.printed("Probing binary entities"));
      EXPECT_EQ(st->probing_fixings, 0);
    }
  }
}

TEST_F(GlobalSearchTest, FirstSolutionActionStopsWithoutTheReport) {
  test::TestLibrary t;
  load(t.lib(), larger_model(), true);
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  set_int_control(t.lib(), icv::IPACTN, 2);
  t.clear_lines();
  ASSERT_EQ(run_global_search(t.lib()), 0);
  const Result r = read_result(t.lib());
  EXPECT_EQ(r.solutions, 1);
  EXPECT_EQ(r.status, kSearchRunningWithSolution);
  EXPECT_FALSE(t.printed("Best integer solution"));
}

TEST_F(GlobalSearchTest, AnUnbeatableCutoffDiscardsEveryNode) {
  const Model m = larger_model();
  const Result whole = solve(m, nullptr);
  test::TestLibrary t;
  load(t.lib(), m, true);
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  set_double_control(t.lib(), dcv::CUTOFF, whole.objective - 1.0);
  ASSERT_EQ(run_global_search(t.lib()), 0);
  const Result r = read_result(t.lib());
  EXPECT_EQ(r.status, kSearchFinishedNoSolution);
  EXPECT_TRUE(t.printed("no integer solution exists"));
}

TEST_F(GlobalSearchTest, AnInfeasibleProblemEndsWithoutASolution) {
  // 2x + 2y = 3 has no integer solution.
  Model m;
  m.n = 2;
  m.row_types = {'E'};
  m.rhs = {3.0};
  m.a = {{2.0, 2.0}};
  m.obj = {1.0, 1.0};
  m.lower = {0.0, 0.0};
  m.upper = {5.0, 5.0};
  m.entities = {{'I', 0}, {'I', 1}};
  const Result r = solve(m, nullptr);
  EXPECT_EQ(r.status, kSearchFinishedNoSolution);
  EXPECT_EQ(r.solutions, 0);
}

TEST_F(GlobalSearchTest, RefusesWithoutAnOptimalRelaxation) {
  test::TestLibrary t;
  EXPECT_EQ(run_global_search(t.lib()), kRcInvalidCall);
  EXPECT_EQ(t->err.error_number, 91);
  load(t.lib(), larger_model(), true);
  EXPECT_EQ(run_global_search(t.lib()), kRcInvalidCall);
  EXPECT_EQ(t->err.error_number, 91);
}

// Deletes the first node the search offers (from the node-selection callback, which
// may name another node): the search goes on with the nodes left.
Library* g_lib = nullptr;
std::int32_t g_deleted = 0;
void delete_first(std::int32_t* node) {
  if (g_deleted == 0 && *node > 1) {
    g_deleted = *node;
    EXPECT_EQ(delete_node(*g_lib, *node, 1), 0);
    EXPECT_EQ(delete_node(*g_lib, *node, 1), kRcInvalidCall);  // gone
  }
}

TEST_F(GlobalSearchTest, DeletedNodeIsNotFoundAgain) {
  test::TestLibrary t;
  set_int_control(t.lib(), icv::GPRINT, 0);
  load(t.lib(), larger_model(), true);
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  EXPECT_EQ(delete_node(t.lib(), 2, 1), kRcInvalidCall);  // no search running
  t->begin_operation();
  g_lib = &t.lib();
  g_deleted = 0;
  t->callbacks.select_node = delete_first;
  ASSERT_EQ(run_global_search(t.lib()), 0);
  EXPECT_GT(g_deleted, 1);
  const Result r = read_result(t.lib());
  EXPECT_TRUE(r.status == kSearchFinishedWithSolution || r.status == kSearchFinishedNoSolution);
}

TEST_F(GlobalSearchTest, EstimateOfAColumnFromTheRowPrices) {
  // min -3x - 2y  s.t.  x + y <= 4 (binding, price 2 for y's direction), bounds [0, 3].
  Model m;
  m.n = 2;
  m.row_types = {'L'};
  m.rhs = {4.0};
  m.a = {{1.0, 1.0}};
  m.obj = {-3.0, -2.0};
  m.lower = {0.0, 0.0};
  m.upper = {3.0, 3.0};
  m.entities = {{'I', 0}, {'I', 1}};
  test::TestLibrary t;
  load(t.lib(), m, true);
  ASSERT_EQ(optimise(t.lib(), DriverMode::kMinimise), 0);
  double up = 0.0;
  double down = 0.0;
  ASSERT_EQ(get_estimate(t.lib(), 1, &up, &down), 0);
  // Column y: cost -2; the row's price is 2 (a unit of the row is worth 2). Up price
  // max(2, RTOLPS) = 2; the slack has no finite upper bound, so the down price is
  // min(2, 0) = 0. up = max(-2, 0) + 1·2 = 2; down = -(min(-2, 0) + 1·0) = 2.
  EXPECT_NEAR(up, 2.0, 1.0e-6);
  EXPECT_NEAR(down, 2.0, 1.0e-6);
  EXPECT_EQ(get_estimate(t.lib(), 2, &up, &down), kRcInvalidCall);
  EXPECT_EQ(t->err.error_number, 405);
}

// Fixed charges: flows x_k <= u_k·y_k with y_k binary meet a demand at the least cost
// of flows and openings; the variable upper bounds are what the rounding cuts work on.
Model fixed_charge_model(unsigned seed) {
  std::mt19937 rng(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Model m;
  const std::int32_t k = 4;
  m.n = 2 * k;
  std::vector<double> demand(static_cast<std::size_t>(m.n), 0.0);
  for (std::int32_t j = 0; j < k; ++j) {
    const double u = uniform(4, 12);
    std::vector<double> row(static_cast<std::size_t>(m.n), 0.0);
    row[static_cast<std::size_t>(j)] = 1.0;
    row[static_cast<std::size_t>(k + j)] = -u;
    m.a.push_back(row);
    m.row_types.push_back('L');
    m.rhs.push_back(0.0);
    demand[static_cast<std::size_t>(j)] = 1.0;
  }
  m.a.push_back(demand);
  m.row_types.push_back('G');
  m.rhs.push_back(uniform(9, 20) + 0.5 * uniform(0, 1));
  for (std::int32_t j = 0; j < k; ++j) {
    m.obj.push_back(uniform(1, 4));
    m.lower.push_back(0.0);
    m.upper.push_back(1.0e30);
  }
  for (std::int32_t j = 0; j < k; ++j) {
    m.obj.push_back(uniform(10, 40));
    m.lower.push_back(0.0);
    m.upper.push_back(1.0);
    m.entities.push_back({'B', k + j});
  }
  return m;
}

// With the top-node covers and rounding cuts on (room reserved at load) every problem
// keeps its enumerated optimum, and the cuts do enter the LP.
TEST_F(GlobalSearchTest, TopNodeCutsKeepTheEnumeratedOptimum) {
  std::int32_t runs_with_cuts = 0;
  std::vector<std::pair<std::string, Model>> models;
  for (const std::string family : {"integer", "binary", "partial", "semicontinuous", "sos1", "sos2"}) {
    for (unsigned seed = 1; seed <= 5; ++seed)
      models.emplace_back(family + " " + std::to_string(seed), make_model(family, seed));
  }
  for (unsigned seed = 1; seed <= 8; ++seed)
    models.emplace_back("fixed charge " + std::to_string(seed), fixed_charge_model(seed));
  for (const auto& [name, m] : models) {
    SCOPED_TRACE(name);
    double best = 0.0;
    const bool feasible = brute_force(m, best);
    test::TestLibrary t;
    set_int_control(t.lib(), icv::GPRINT, 0);
    set_int_control(t.lib(), icv::IFCUTP, 1);
    set_int_control(t.lib(), icv::NRXTRA, 50);
    set_int_control(t.lib(), icv::NMXTRA, 1000);
    set_int_control(t.lib(), icv::IFINTP, 7 | 16 | 32);
    load(t.lib(), m, true);
    EXPECT_EQ(optimise(t.lib(), mode_of(m)), 0);
    if (*t->attributes.int_attribute(attr::kCutRows) > 0) ++runs_with_cuts;
    if (*t->attributes.int_attribute(attr::kLpStatus) != 1) {
      EXPECT_FALSE(feasible);
      continue;
    }
    EXPECT_EQ(run_global_search(t.lib()), 0);
    const Result r = read_result(t.lib());
    if (!feasible) {
      EXPECT_EQ(r.status, kSearchFinishedNoSolution);
      continue;
    }
    ASSERT_EQ(r.status, kSearchFinishedWithSolution);
    EXPECT_NEAR(r.objective, best, 1.0e-6 * std::max(1.0, std::fabs(best)));
  }
  EXPECT_GE(runs_with_cuts, 10);
}

}  // namespace
}  // namespace kqopt
