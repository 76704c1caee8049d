// Bad problem data through the public header: columns that list a row more than once
// (kept as loaded by the model, solved as their sum), and faulty data let through by a
// raised IGNORE (a NaN, crossed bounds), which must never end "optimal".
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kqopt.h"

namespace {

std::vector<std::string> g_lines;

void capture(const char* text, int32_t length, int32_t) {
  if (text != nullptr) g_lines.emplace_back(text, static_cast<std::size_t>(length));
}

bool printed(const std::string& text) {
  for (const auto& line : g_lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

int32_t int_attribute(int32_t n) {
  int32_t v = -1;
  EXPECT_EQ(KQGETIPV(n, &v), 0);
  return v;
}

double objective() {
  double v = 0;
  EXPECT_EQ(KQGETDPV(2001, &v), 0);
  return v;
}

// The linear problem as the public arrays hold it.
struct Lp {
  int32_t m = 0, n = 0;
  std::vector<char> types;
  std::vector<double> rhs, range, obj, lower, upper;
  std::vector<int32_t> start, rows;
  std::vector<double> values;

  int32_t load(const char* name) const {
    return KQLOADPROB(name, n, m, types.data(), rhs.data(), range.data(), obj.data(), start.data(), nullptr,
                      rows.data(), values.data(), lower.data(), upper.data());
  }
};

Lp current_problem() {
  Lp lp;
  lp.m = int_attribute(1001);
  lp.n = int_attribute(1018);
  lp.types.resize(static_cast<std::size_t>(lp.m) + 1);
  lp.rhs.resize(lp.m);
  lp.range.resize(lp.m);
  lp.obj.resize(lp.n);
  lp.lower.resize(lp.n);
  lp.upper.resize(lp.n);
  lp.start.resize(static_cast<std::size_t>(lp.n) + 1);
  EXPECT_EQ(KQGETROWTYPE(lp.types.data(), 0, lp.m - 1), 0);
  EXPECT_EQ(KQGETRHS(lp.rhs.data(), 0, lp.m - 1), 0);
  EXPECT_EQ(KQGETRNG(lp.range.data(), 0, lp.m - 1), 0);
  EXPECT_EQ(KQGETOBJ(lp.obj.data(), 0, lp.n - 1), 0);
  EXPECT_EQ(KQGETBDL(lp.lower.data(), 0, lp.n - 1), 0);
  EXPECT_EQ(KQGETBDU(lp.upper.data(), 0, lp.n - 1), 0);
  int32_t nels = 0;
  EXPECT_EQ(KQGETCOLS(lp.start.data(), nullptr, nullptr, 0, &nels, 0, lp.n - 1), 0);
  lp.rows.resize(static_cast<std::size_t>(nels));
  lp.values.resize(static_cast<std::size_t>(nels));
  EXPECT_EQ(KQGETCOLS(lp.start.data(), lp.rows.data(), lp.values.data(), nels, &nels, 0, lp.n - 1), 0);
  return lp;
}

// Each column's repeated rows summed into one element at the first one's place; sums
// of exactly zero dropped.
Lp summed(const Lp& in) {
  Lp out = in;
  out.rows.clear();
  out.values.clear();
  out.start.assign(1, 0);
  for (int32_t j = 0; j < in.n; ++j) {
    const std::size_t first = out.rows.size();
    for (int32_t k = in.start[j]; k < in.start[j + 1]; ++k) {
      bool merged = false;
      for (std::size_t t = first; t < out.rows.size(); ++t) {
        if (out.rows[t] == in.rows[k]) {
          out.values[t] += in.values[k];
          merged = true;
        }
      }
      if (!merged) {
        out.rows.push_back(in.rows[k]);
        out.values.push_back(in.values[k]);
      }
    }
    for (std::size_t t = out.rows.size(); t-- > first;) {
      if (out.values[t] == 0.0) {
        out.rows.erase(out.rows.begin() + static_cast<std::ptrdiff_t>(t));
        out.values.erase(out.values.begin() + static_cast<std::ptrdiff_t>(t));
      }
    }
    out.start.push_back(static_cast<int32_t>(out.rows.size()));
  }
  return out;
}

// Every element split into two halves (exact), given in reverse order, and a pair that
// cancels (+1, -1) in a row the column does not hold.
Lp split(const Lp& in) {
  Lp out = in;
  out.rows.clear();
  out.values.clear();
  out.start.assign(1, 0);
  for (int32_t j = 0; j < in.n; ++j) {
    for (int32_t k = in.start[j + 1]; k-- > in.start[j];) {
      out.rows.push_back(in.rows[k]);
      out.values.push_back(0.5 * in.values[k]);
    }
    for (int32_t k = in.start[j]; k < in.start[j + 1]; ++k) {
      out.rows.push_back(in.rows[k]);
      out.values.push_back(0.5 * in.values[k]);
    }
    for (int32_t i = 0; i < in.m; ++i) {
      bool held = false;
      for (int32_t k = in.start[j]; k < in.start[j + 1]; ++k) held = held || in.rows[k] == i;
      if (held || in.types[i] == 'N') continue;
      out.rows.insert(out.rows.end(), {i, i});
      out.values.insert(out.values.end(), {1.0, -1.0});
      break;
    }
    out.start.push_back(static_cast<int32_t>(out.rows.size()));
  }
  return out;
}

struct Solved {
  int32_t status = 0;
  double objective = 0.0;
  int32_t iterations = 0;
  std::vector<int32_t> rstatus, cstatus;
};

Solved minimise(const Lp& shape) {
  Solved s;
  EXPECT_EQ(KQMINIM(""), 0);
  s.status = int_attribute(1010);
  s.objective = objective();
  s.iterations = int_attribute(1009);
  s.rstatus.resize(shape.m);
  s.cstatus.resize(shape.n);
  EXPECT_EQ(KQGETBASIS(s.rstatus.data(), s.cstatus.data()), 0);
  return s;
}

class BadDataApi : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-bad-data-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    KQDEFINEUOPENTRY(capture);
    g_lines.clear();
  }
  void TearDown() override {
    KQFREEXO();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }

  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

const std::string kReproDir = std::string(KQOPT_SOURCE_DIR) + "/tests/data/repro/";

// Each reproducer, read as it is (its repeated COLUMNS lines kept as separate elements),
// solves to the optimum and basis of its summed problem, and so does a version with every
// element split in two and cancelling pairs added. The model gives the elements back as
// loaded.
class RepeatedElements : public BadDataApi, public ::testing::WithParamInterface<const char*> {};

TEST_P(RepeatedElements, SolveLikeTheirSum) {
  // The mod008 copy also has BOUNDS lines moved into COLUMNS, faults the reader counts.
  ASSERT_EQ(KQSETICV(29, 1000), 0);  // IGNORE
  ASSERT_EQ(KQINPUT((kReproDir + GetParam()).c_str()), 0);
  KQSETPROB("repro");
  const Lp as_read = current_problem();
  const Lp sum = summed(as_read);
  ASSERT_LT(sum.rows.size(), as_read.rows.size()) << "the file holds no repeated element";
  const Solved read = minimise(as_read);
  ASSERT_EQ(read.status, 1);
  EXPECT_TRUE(printed("Optimal"));

  ASSERT_EQ(sum.load("summed"), 0);
  const Solved reference = minimise(sum);
  ASSERT_EQ(reference.status, 1);
  EXPECT_NEAR(read.objective, reference.objective, 1e-9 * (1.0 + std::fabs(reference.objective)));
  EXPECT_EQ(read.rstatus, reference.rstatus);
  EXPECT_EQ(read.cstatus, reference.cstatus);

  const Lp halves = split(sum);
  ASSERT_EQ(halves.load("split"), 0);
  // Retrieval gives the elements back as loaded.
  int32_t nels = 0;
  ASSERT_EQ(KQGETCOLS(nullptr, nullptr, nullptr, 0, &nels, 0, halves.n - 1), 0);
  EXPECT_EQ(nels, static_cast<int32_t>(halves.rows.size()));
  const Solved split_solved = minimise(halves);
  ASSERT_EQ(split_solved.status, 1);
  EXPECT_EQ(split_solved.objective, reference.objective);
  EXPECT_EQ(split_solved.iterations, reference.iterations);
  EXPECT_EQ(split_solved.rstatus, reference.rstatus);
  EXPECT_EQ(split_solved.cstatus, reference.cstatus);
}

INSTANTIATE_TEST_SUITE_P(Reproducers, RepeatedElements,
                         ::testing::Values("afiro_dup_line33", "afiro_dup_line36",
                                           "mod008_dup_elements_heap_overflow"));

// A small LP whose data the tests spoil: min -x - y, x + 2y <= 4, 3x + y <= 6, x, y in [0, 3].
Lp small_lp() {
  Lp lp;
  lp.m = 2;
  lp.n = 2;
  lp.types = {'L', 'L', '\0'};
  lp.rhs = {4, 6};
  lp.range = {0, 0};
  lp.obj = {-1, -1};
  lp.lower = {0, 0};
  lp.upper = {3, 3};
  lp.start = {0, 2, 4};
  lp.rows = {0, 1, 0, 1};
  lp.values = {1, 3, 2, 1};
  return lp;
}

TEST_F(BadDataApi, NanCostLetThroughIsRefusedNotOptimal) {
  ASSERT_EQ(KQSETICV(29, 100), 0);  // IGNORE
  Lp lp = small_lp();
  lp.obj[1] = std::numeric_limits<double>::quiet_NaN();
  ASSERT_EQ(lp.load("nancost"), 0);
  g_lines.clear();
  EXPECT_EQ(KQMINIM(""), 32);
  EXPECT_NE(int_attribute(1010), 1);
  EXPECT_TRUE(printed("NaN"));
  EXPECT_TRUE(printed("VVVVVVV4"));
  EXPECT_FALSE(printed("Optimal"));

  // A NaN in the matrix likewise; the next sound problem solves.
  lp = small_lp();
  lp.values[2] = std::numeric_limits<double>::quiet_NaN();
  ASSERT_EQ(lp.load("nanmatrix"), 0);
  EXPECT_EQ(KQMINIM(""), 32);
  EXPECT_NE(int_attribute(1010), 1);
  ASSERT_EQ(small_lp().load("sound"), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  EXPECT_EQ(int_attribute(1010), 1);
  EXPECT_NEAR(objective(), -2.8, 1e-9);
}

TEST_F(BadDataApi, CrossedBoundsLetThroughEndInfeasible) {
  ASSERT_EQ(KQSETICV(29, 100), 0);  // IGNORE
  Lp lp = small_lp();
  lp.lower[0] = 2.5;
  lp.upper[0] = 1.0;
  ASSERT_EQ(lp.load("crossed"), 0);
  g_lines.clear();
  EXPECT_EQ(KQMINIM(""), 0);
  EXPECT_EQ(int_attribute(1010), 2);
  EXPECT_TRUE(printed("Lower bound above upper bound"));
  EXPECT_TRUE(printed("VVVVVVV3"));
  EXPECT_TRUE(printed("infeasible"));
  EXPECT_FALSE(printed("Optimal"));
  EXPECT_EQ(KQMAXIM(""), 0);
  EXPECT_EQ(int_attribute(1010), 2);
}

}  // namespace
