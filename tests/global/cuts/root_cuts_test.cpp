// The top-node cut separators against enumeration: random rows over binary, general
// integer and continuous columns (some continuous columns under a variable upper bound
// x <= c·y) and random LP points; every cut a separator returns must hold at every
// vertex of the row's mixed-integer set, and must cut off the point it was asked about.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "global/cuts/root_cuts.h"
#include "problem/infinity.h"

namespace kqopt {
namespace {

struct Row {
  std::int32_t n = 0;
  std::vector<std::int32_t> columns;
  std::vector<double> values;
  double rhs = 0.0;
  std::vector<double> lower, upper;
  std::vector<char> integer;
  std::vector<std::int32_t> vub_column;
  std::vector<double> vub_coefficient;
};

Row make_row(std::mt19937& rng, bool knapsack) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Row r;
  r.n = knapsack ? uniform(3, 7) : uniform(3, 6);
  for (std::int32_t j = 0; j < r.n; ++j) {
    const int kind = knapsack ? (uniform(0, 5) == 0 ? 2 : 0) : uniform(0, 2);  // 0 binary, 1 integer, 2 continuous
    r.integer.push_back(kind != 2 ? 1 : 0);
    r.lower.push_back(kind == 1 ? uniform(-1, 1) : 0.0);
    r.upper.push_back(kind == 0 ? 1.0 : (kind == 1 ? r.lower.back() + uniform(1, 3) : uniform(1, 8) / 2.0));
    r.vub_column.push_back(-1);
    r.vub_coefficient.push_back(0.0);
    r.columns.push_back(j);
    const int magnitude = uniform(1, 9);
    r.values.push_back(knapsack && uniform(0, 4) != 0 ? magnitude : (uniform(0, 1) != 0 ? magnitude : -magnitude));
  }
  // Continuous columns under the binary before them (when there is one).
  for (std::int32_t j = 1; j < r.n; ++j) {
    const auto k = static_cast<std::size_t>(j);
    if (r.integer[k] || !r.integer[k - 1] || r.upper[k - 1] != 1.0 || r.lower[k - 1] != 0.0 || uniform(0, 1) == 0) {
      continue;
    }
    r.vub_column[k] = j - 1;
    r.vub_coefficient[k] = r.upper[k];
  }
  double high = 0.0;
  for (std::int32_t j = 0; j < r.n; ++j) {
    const auto k = static_cast<std::size_t>(j);
    high += r.values[k] > 0.0 ? r.values[k] * r.upper[k] : r.values[k] * r.lower[k];
  }
  r.rhs = std::floor(high * uniform(3, 7) / 10.0) + (uniform(0, 1) != 0 ? 0.5 : 0.0);
  return r;
}

// The largest value of the cut's left side minus its right side over the vertices of
// the set: integer columns at every whole value, continuous columns at their bounds (the
// variable bound in place of the upper bound) but at most one of them in between,
// where the row is tight.
double worst_violation(const Row& r, const SparseCut& cut) {
  const auto n = static_cast<std::size_t>(r.n);
  std::vector<double> x(n, 0.0);
  std::vector<double> coefficient(n, 0.0);
  for (std::size_t q = 0; q < cut.columns.size(); ++q)
    coefficient[static_cast<std::size_t>(cut.columns[q])] = cut.values[q];
  double worst = -kInfinity;
  std::vector<std::size_t> ints, conts;
  for (std::size_t k = 0; k < n; ++k) (r.integer[k] ? ints : conts).push_back(k);
  auto row_activity = [&]() {
    double a = 0.0;
    for (std::size_t k = 0; k < n; ++k) a += r.values[k] * x[k];
    return a;
  };
  auto check = [&]() {
    if (row_activity() > r.rhs + 1.0e-9) return;
    for (std::size_t k : conts) {
      const double cap = r.vub_column[k] >= 0
                             ? std::min(r.upper[k], r.vub_coefficient[k] * x[static_cast<std::size_t>(r.vub_column[k])])
                             : r.upper[k];
      if (x[k] < r.lower[k] - 1.0e-12 || x[k] > cap + 1.0e-9) return;
    }
    double lhs = 0.0;
    for (std::size_t k = 0; k < n; ++k) lhs += coefficient[k] * x[k];
    worst = std::max(worst, lhs - cut.rhs);
  };
  std::function<void(std::size_t)> over_integers = [&](std::size_t t) {
    if (t < ints.size()) {
      const std::size_t k = ints[t];
      for (double v = r.lower[k]; v <= r.upper[k] + 0.5; v += 1.0) {
        x[k] = v;
        over_integers(t + 1);
      }
      return;
    }
    // Continuous columns: each at its lower bound or cap, and then each in turn freed
    // to make the row tight.
    const std::size_t c = conts.size();
    for (std::size_t mask = 0; mask < (std::size_t{1} << c); ++mask) {
      for (std::size_t q = 0; q < c; ++q) {
        const std::size_t k = conts[q];
        const double cap =
            r.vub_column[k] >= 0
                ? std::min(r.upper[k], r.vub_coefficient[k] * x[static_cast<std::size_t>(r.vub_column[k])])
                : r.upper[k];
        x[k] = (mask >> q & 1) != 0 ? cap : r.lower[k];
      }
      check();
      for (std::size_t q = 0; q < c; ++q) {
        const std::size_t k = conts[q];
        const double held = x[k];
        if (r.values[k] != 0.0) {
          x[k] = held + (r.rhs - row_activity()) / r.values[k];
          check();
        }
        x[k] = held;
      }
    }
  };
  over_integers(0);
  return worst;
}

// A random point of the row's LP relaxation (the variable bounds held).
std::vector<double> lp_point(std::mt19937& rng, const Row& r) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> x(static_cast<std::size_t>(r.n));
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t k = 0; k < x.size(); ++k) x[k] = r.lower[k] + unit(rng) * (r.upper[k] - r.lower[k]);
    for (std::size_t k = 0; k < x.size(); ++k) {
      if (r.vub_column[k] >= 0)
        x[k] = std::min(x[k], r.vub_coefficient[k] * x[static_cast<std::size_t>(r.vub_column[k])]);
    }
    double a = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k) a += r.values[k] * x[k];
    if (a <= r.rhs) return x;
  }
  return {};
}

TEST(TopNodeCuts, EveryCutHoldsAtEveryVertexOfTheRowsSet) {
  std::mt19937 rng(2026);
  int covers = 0, roundings = 0;
  for (int trial = 0; trial < 600; ++trial) {
    const bool knapsack = trial % 2 == 0;
    const Row r = make_row(rng, knapsack);
    const std::vector<double> x = lp_point(rng, r);
    if (x.empty()) continue;
    SeparationColumns data{r.lower, r.upper, x, r.integer, r.vub_column, r.vub_coefficient};
    SparseCut cut;
    SCOPED_TRACE("trial " + std::to_string(trial));
    if (separate_cover(r.columns, r.values, r.rhs, data, 1.0e-6, cut)) {
      ++covers;
      EXPECT_LE(worst_violation(r, cut), 1.0e-9);
      double lhs = 0.0;
      for (std::size_t q = 0; q < cut.columns.size(); ++q)
        lhs += cut.values[q] * x[static_cast<std::size_t>(cut.columns[q])];
      EXPECT_GT(lhs, cut.rhs);
    }
    if (separate_rounding(r.columns, r.values, r.rhs, data, 1.0e-6, cut)) {
      ++roundings;
      EXPECT_LE(worst_violation(r, cut), 1.0e-7 * std::max(1.0, std::fabs(cut.rhs)));
      double lhs = 0.0;
      for (std::size_t q = 0; q < cut.columns.size(); ++q)
        lhs += cut.values[q] * x[static_cast<std::size_t>(cut.columns[q])];
      EXPECT_GT(lhs, cut.rhs);
    }
  }
  // The trials must reach both separators often enough to mean something.
  EXPECT_GE(covers, 30);
  EXPECT_GE(roundings, 30);
}

}  // namespace
}  // namespace kqopt
