// The infeasibility analysis on Netlib problems made infeasible by one change: a
// right-hand side moved past the largest (smallest) activity its row can reach, or a
// column's lower bound lifted past the largest value the column can take. The changed
// row or column must be in a reported set (the problem was feasible before), and every
// set is checked on its own by a fresh library. One line per run gives the size, the
// sets, the members and the seconds.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "iis_check.h"
#include "kqopt.h"
#include "support/shared_data.h"

namespace {

using iis_check::Lp;
using iis_check::Set;

std::vector<std::string> g_lines;

void capture(const char* text, int32_t length, int32_t) {
  if (text != nullptr) g_lines.emplace_back(text, static_cast<std::size_t>(length));
}

// The problems, each run twice (a right-hand side and a bound changed), chosen to keep
// the default runs within a few seconds of processor time.
const char* const kProblems[] = {"afiro",  "sc50a", "sc50b", "adlittle", "blend",  "sc105",  "scagr7", "share2b",
                                 "recipe", "kb2",   "lotfi", "boeing2",  "scfxm1", "25fv47", "ganges"};

// More problems on demand (KQOPT_IIS_PROBLEMS, "all" for this list): sizes up to
// 4000 rows, and sets of up to 3300 members whose check takes minutes one member at a
// time. The analysis seconds printed for them are the figures of the worst cases.
const char* const kLongerProblems[] = {"stocfor1", "israel", "sc205",  "vtp.base", "e226",   "bandm",  "ship04s",
                                       "degen2",   "bnl1",   "pilot4", "ship08l",  "d2q06c", "czprob", "maros"};

// Worst processor seconds of one analysis that the runs accept: a bound on the whole,
// so that no analysis runs unbounded (MAXTIM is set to it as well, on its default
// clock, processor time; elapsed time on a shared machine says little).
constexpr int kLimitSeconds = 120;

void init() {
  ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
  KQDEFINEUOPENTRY(capture);
  KQSETICV(35, 0);  // IFPMSG: quiet until the analysis
  g_lines.clear();
}

class IisNetlib : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    KQOPT_REQUIRE_SHARED_DATA();
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-iis-netlib-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    init();
  }
  void TearDown() override {
    if (scratch_.empty()) return;
    KQFREEXO();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }
  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

// The largest value of the objective `weights` over the rows and bounds of lp, or NaN
// when unbounded or infeasible.
double largest(const Lp& lp, const std::vector<double>& weights) {
  Lp probe = lp;
  probe.cost = weights;
  if (iis_check::load(probe, "probe") != 0 || KQMAXIM("") != 0) return NAN;
  int32_t status = 0;
  double value = 0.0;
  KQGETIPV(1010, &status);
  KQGETDPV(2001, &value);
  return status == 1 ? value : NAN;
}

// The activity weights of row i (per column).
std::vector<double> row_weights(const Lp& lp, int32_t i, double sign) {
  std::vector<double> w(static_cast<std::size_t>(lp.columns()), 0.0);
  for (int32_t j = 0; j < lp.columns(); ++j) {
    for (int32_t k = lp.start[j]; k < lp.start[j + 1]; ++k) {
      if (lp.row[k] == i) w[j] += sign * lp.value[k];
    }
  }
  return w;
}

double beyond(double v) { return v + std::max(1.0, 1.0e-3 * std::fabs(v)); }

struct Change {
  bool row = true;
  int32_t index = -1;
  std::string text;
};

// A right-hand side moved past what its row can reach: the first row (from the middle
// of the list onwards) whose activity is bounded in the direction of its inequality.
bool change_rhs(Lp& lp, Change& change) {
  const int32_t m = lp.rows();
  for (int32_t t = 0; t < m; ++t) {
    const int32_t i = (m / 2 + t) % m;
    const char type = lp.types[i];
    if (type != 'L' && type != 'G' && type != 'E') continue;
    // L: a.x <= b becomes impossible once b lies below the least activity.
    const double sign = type == 'L' ? -1.0 : 1.0;
    // The row itself set aside: an equality would pin its own activity.
    Lp free_row = lp;
    free_row.types[i] = 'N';
    const double v = largest(free_row, row_weights(lp, i, sign));
    if (std::isnan(v)) continue;
    const double old = lp.rhs[i];
    lp.rhs[i] = sign * beyond(v);
    change = {true, i,
              "rhs of row " + std::to_string(i) + " " + std::to_string(old) + " -> " + std::to_string(lp.rhs[i])};
    return true;
  }
  return false;
}

// A lower bound lifted past the largest value its column can take.
bool change_bound(Lp& lp, Change& change) {
  const int32_t n = lp.columns();
  for (int32_t t = 0; t < n; ++t) {
    const int32_t j = (n / 3 + t) % n;
    // Only a column without an upper bound: the new lower bound is the only change.
    if (lp.start[j + 1] == lp.start[j] || lp.upper[j] < 1.0e29) continue;
    std::vector<double> w(static_cast<std::size_t>(n), 0.0);
    w[j] = 1.0;
    const double v = largest(lp, w);
    if (std::isnan(v)) continue;
    const double old = lp.lower[j];
    lp.lower[j] = beyond(v);
    change = {false, j,
              "lower bound of column " + std::to_string(j) + " " + std::to_string(old) + " -> " +
                  std::to_string(lp.lower[j])};
    return true;
  }
  return false;
}

void run(const char* problem, bool rhs) {
  const std::string file = kqopt::test::shared_data_dir() + "/netlib/" + problem + ".mps";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "no " << file;
  ASSERT_EQ(KQINPUT(file.c_str()), 0);
  Lp lp;
  ASSERT_TRUE(iis_check::read_loaded(lp));
  Change change;
  ASSERT_TRUE(rhs ? change_rhs(lp, change) : change_bound(lp, change)) << "no change makes it infeasible";

  ASSERT_EQ(iis_check::load(lp, "iisrun"), 0);
  int32_t last = 0;
  KQGETIPV(1002, &last);
  KQSETICV(20, -kLimitSeconds);  // MAXTIM
  KQSETICV(35, 1);
  g_lines.clear();
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpu_start = std::clock();
  ASSERT_EQ(KQIISCON(), 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  const std::vector<Set> sets = iis_check::parse_report(g_lines, last - lp.columns());

  std::size_t members = 0;
  bool change_found = false;
  for (const Set& s : sets) {
    members += s.size();
    for (const auto& m : s) change_found = change_found || (m.row == change.row && m.index == change.index);
  }
  const auto nonzeros = static_cast<int32_t>(lp.row.size());
  std::printf("[ iis      ] %-9s %-5s rows %5d cols %5d nonzeros %6d sets %2zu members %4zu seconds %7.3f cpu %7.3f\n",
              problem, rhs ? "rhs" : "bound", lp.rows(), lp.columns(), nonzeros, sets.size(), members, seconds,
              cpu_seconds);
  if (sets.empty()) {
    for (const auto& l : g_lines) std::printf("%s\n", l.c_str());
  }
  ASSERT_FALSE(sets.empty()) << change.text;
  EXPECT_TRUE(change_found) << change.text;
  EXPECT_LT(cpu_seconds, kLimitSeconds);
  const std::clock_t check_start = std::clock();
  std::size_t checked = 0;
  for (const Set& s : sets) {
    std::string what;
    for (const auto& m : s) what += (m.row ? " r" : " c") + std::to_string(m.index);
    const std::string failure = iis_check::check_set(lp, s, KQOPT_MSG_DIR);
    checked += failure.empty() ? 1 : 0;
    EXPECT_EQ(failure, "") << change.text << "; set" << what;
  }
  std::printf(
      "[ iis      ] %-9s %-5s own check: %zu of %zu sets infeasible and irreducible, %zu fresh solves, cpu %.3f\n",
      problem, rhs ? "rhs" : "bound", checked, sets.size(), members + sets.size(),
      static_cast<double>(std::clock() - check_start) / CLOCKS_PER_SEC);
  init();
}

TEST_P(IisNetlib, RightHandSideChanged) { run(GetParam(), true); }
TEST_P(IisNetlib, LowerBoundChanged) { run(GetParam(), false); }

std::string test_name(const ::testing::TestParamInfo<const char*>& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (c == '.') c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Netlib, IisNetlib, ::testing::ValuesIn(kProblems), test_name);

// A negative MAXTIM bounds the whole analysis, not each re-solve: with one second and
// a pause of more than that while the first member is printed, the next re-solve stops,
// and the analysis ends without the report, the problem discarded.
bool g_pause_on_member = false;

void capture_pausing(const char* text, int32_t length, int32_t kind) {
  capture(text, length, kind);
  if (g_pause_on_member && text != nullptr &&
      std::string(text, length).find("in infeasible set") != std::string::npos) {
    g_pause_on_member = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  }
}

TEST_F(IisNetlib, TimeLimitBoundsTheWholeAnalysis) {
  const Lp lp = iis_check::dense({{1, 0}, {1, 0}, {0, 1}, {0, 1}}, "LGLG", {1, 2, 1, 2}, {},
                                 {-iis_check::kFree, -iis_check::kFree}, {iis_check::kFree, iis_check::kFree});
  ASSERT_EQ(iis_check::load(lp, "paused"), 0);
  KQSETICV(20, -1);  // MAXTIM
  KQSETICV(133, 0);  // CPUTIME: elapsed time, which the pause counts
  KQSETICV(35, 1);
  KQDEFINEUOPENTRY(capture_pausing);
  g_pause_on_member = true;
  g_lines.clear();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(KQIISCON(), 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  bool stopped = false;
  bool report = false;
  for (const auto& l : g_lines) {
    stopped = stopped || l.find("LP stopped") != std::string::npos;
    report = report || l.find("Irreducible infeasible sets") != std::string::npos;
  }
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(report);
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(KQMINIM(""), 32);
  int32_t maxtim = 0;
  KQGETICV(20, &maxtim);
  EXPECT_EQ(maxtim, -1);
}

// More problems on demand: KQOPT_IIS_PROBLEMS="czprob,maros" runs them as well, "all"
// the longer list.
std::vector<const char*> extra_problems() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    const char* list = std::getenv("KQOPT_IIS_PROBLEMS");
    const std::string all = list != nullptr ? list : "";
    for (std::size_t at = 0; at < all.size();) {
      const std::size_t comma = std::min(all.find(',', at), all.size());
      const std::string name = all.substr(at, comma - at);
      if (name == "all") {
        out.insert(out.end(), std::begin(kLongerProblems), std::end(kLongerProblems));
      } else if (!name.empty()) {
        out.push_back(name);
      }
      at = comma + 1;
    }
    return out;
  }();
  std::vector<const char*> out;
  for (const std::string& n : names) out.push_back(n.c_str());
  return out;
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(IisNetlibExtra);
class IisNetlibExtra : public IisNetlib {};
TEST_P(IisNetlibExtra, RightHandSideChanged) { run(GetParam(), true); }
TEST_P(IisNetlibExtra, LowerBoundChanged) { run(GetParam(), false); }
INSTANTIATE_TEST_SUITE_P(OnDemand, IisNetlibExtra, ::testing::ValuesIn(extra_problems()), test_name);

}  // namespace
