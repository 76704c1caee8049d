// Basis changes: sequences of Forrest-Tomlin and product-form updates checked
// by residuals and against fresh factorisations, the consistency and growth
// tests with INVMIN, and the refactorisation rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "simplex/factor/factor.h"
#include "simplex/factor/factor_check.h"
#include "simplex/factor/factor_samples.h"

namespace kqopt {
namespace {

constexpr double kResidualLimit = 1e-12;

FactorSettings mode(std::int32_t ifftup) {
  FactorSettings s;
  s.ifftup = ifftup;
  return s;
}

// A factorised basis that changes like a simplex basis: a random nonbasic
// variable enters, a position with a large pivot leaves.
class BasisSequence {
 public:
  BasisSequence(SampleBasis basis, const FactorSettings& settings, std::uint64_t seed)
      : b_(std::move(basis)), s_(settings), rng_(seed), w_(b_.m) {
    f_.start_run(s_);
    refactorise();
  }

  void refactorise() {
    InvertReport report;
    ASSERT_EQ(f_.factorise(b_.view(), b_.header, s_, report), FactorStatus::ok);
    basic_.assign(static_cast<std::size_t>(b_.m + b_.n), 0);
    for (const std::int32_t v : b_.header) basic_[static_cast<std::size_t>(v)] = 1;
  }

  // FTRANs into w_ (spike kept) the column of the entering variable: of a few
  // random nonbasic variables the one with the smallest |alpha|, so that the
  // bases of the walk stay well conditioned. Updates lose accuracy in
  // proportion to |alpha| (the spike is only as exact as its FTRAN), which a
  // walk through ill-conditioned bases would measure instead of the update.
  std::int32_t load_entering() {
    std::int32_t best = -1;
    double best_size = 0.0;
    for (std::int32_t tries = 0; tries < 4; ++tries) {
      std::int32_t q = 0;
      do {
        q = static_cast<std::int32_t>(rng_() % static_cast<std::uint64_t>(b_.m + b_.n));
      } while (basic_[static_cast<std::size_t>(q)]);
      load(q);
      double size = 0.0;
      for (std::int32_t i = 0; i < b_.m; ++i) size = std::max(size, std::fabs(w_[i]));
      w_.clear();
      if (best < 0 || size < best_size) {
        best = q;
        best_size = size;
      }
    }
    load(best);
    return best;
  }
  void load(std::int32_t q) {
    const auto a = b_.dense_column(q);
    std::vector<std::int32_t> idx;
    std::vector<double> val;
    for (std::int32_t i = 0; i < b_.m; ++i) {
      if (a[static_cast<std::size_t>(i)] != 0.0) {
        idx.push_back(i);
        val.push_back(a[static_cast<std::size_t>(i)]);
      }
    }
    w_.load_sparse(idx, val);
    f_.ftran(w_, true);
  }

  // A position whose |alpha| is at least half the largest.
  std::int32_t choose_leaving() {
    double largest = 0.0;
    for (std::int32_t i = 0; i < b_.m; ++i) largest = std::max(largest, std::fabs(w_[i]));
    std::vector<std::int32_t> candidates;
    for (std::int32_t i = 0; i < b_.m; ++i) {
      if (std::fabs(w_[i]) >= 0.5 * largest) candidates.push_back(i);
    }
    return candidates[rng_() % candidates.size()];
  }

  // Applies the change of position p to q; refactorises when refused.
  UpdateStatus change(std::int32_t p, std::int32_t q, UpdateReport& report) {
    const UpdateStatus status = f_.update(p, w_, s_, report);
    w_.clear();
    if (status == UpdateStatus::done) {
      basic_[static_cast<std::size_t>(b_.header[static_cast<std::size_t>(p)])] = 0;
      basic_[static_cast<std::size_t>(q)] = 1;
      b_.header[static_cast<std::size_t>(p)] = q;
    } else {
      ++refused_;
      refactorise();
    }
    return status;
  }

  void random_change() {
    const std::int32_t q = load_entering();
    UpdateReport report;
    (void)change(choose_leaving(), q, report);
  }

  // Worst scaled residual of FTRAN and BTRAN on a few right-hand sides.
  double worst_residual() {
    double worst = 0.0;
    for (std::int32_t k = 0; k < 3; ++k) {
      const auto a = random_rhs(k);
      worst = std::max(worst, ftran_residual(b_.view(), b_.header, solve(a, false), a));
      worst = std::max(worst, btran_residual(b_.view(), b_.header, solve(a, true), a));
    }
    return worst;
  }

  std::vector<double> random_rhs(std::int32_t kind) {
    std::vector<double> a(static_cast<std::size_t>(b_.m), 0.0);
    if (kind == 0) {
      a[rng_() % a.size()] = 1.0;
    } else if (kind == 1) {
      for (std::int32_t k = 0; k < 3; ++k) a[rng_() % a.size()] = sample_value(rng_);
    } else {
      for (double& v : a) v = sample_value(rng_);
    }
    return a;
  }

  std::vector<double> solve(const std::vector<double>& a, bool transposed) {
    // Right-hand sides with few nonzeros go in with their list (hypersparse).
    std::vector<std::int32_t> idx;
    std::vector<double> val;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != 0.0) {
        idx.push_back(static_cast<std::int32_t>(i));
        val.push_back(a[i]);
      }
    }
    if (idx.size() * 4 < a.size()) {
      w_.load_sparse(idx, val);
    } else {
      w_.load_dense(a);
    }
    if (transposed) {
      f_.btran(w_);
    } else {
      f_.ftran(w_);
    }
    std::vector<double> x(w_.values().begin(), w_.values().end());
    w_.clear();
    return x;
  }

  // Largest difference of x = B^-1 a, by variable, between this factor and a
  // fresh one, relative to |x|; -1 when the fresh one set columns aside.
  double difference_from_fresh(const std::vector<double>& a) {
    const auto x = solve(a, false);
    std::vector<std::int32_t> header = b_.header;
    Factor fresh;
    fresh.start_run(s_);
    InvertReport report;
    EXPECT_EQ(fresh.factorise(b_.view(), header, s_, report), FactorStatus::ok);
    if (!report.columns_replaced.empty()) return -1.0;
    WorkVector w(b_.m);
    w.load_dense(a);
    fresh.ftran(w);
    std::vector<double> by_variable(static_cast<std::size_t>(b_.m + b_.n), 0.0);
    for (std::int32_t p = 0; p < b_.m; ++p)
      by_variable[static_cast<std::size_t>(header[static_cast<std::size_t>(p)])] = w[p];
    double diff = 0.0;
    double scale = 0.0;
    for (std::int32_t p = 0; p < b_.m; ++p) {
      const double fresh_value = by_variable[static_cast<std::size_t>(b_.header[static_cast<std::size_t>(p)])];
      diff = std::max(diff, std::fabs(x[static_cast<std::size_t>(p)] - fresh_value));
      scale = std::max(scale, std::fabs(fresh_value));
    }
    return diff / std::max(scale, 1.0);
  }

  SampleBasis b_;
  FactorSettings s_;
  Factor f_;
  std::mt19937_64 rng_;
  WorkVector w_;
  std::vector<std::uint8_t> basic_;
  std::int32_t refused_ = 0;
};

struct SequenceCase {
  const char* name;
  std::int32_t m;
  std::int32_t per_column;  // 0: structured basis
  double logical_fraction;
  double ztolri;  // relative pivot threshold u of the run
  std::uint64_t seed;
};

TEST(FactorUpdate, HundredUpdatesMatchFreshFactorisations) {
  const std::vector<SequenceCase> cases = {
      {"all logical start", 60, 3, 1.0, 0.01, 7},
      {"random", 200, 3, 0.3, 0.01, 7},
      {"random large", 1000, 4, 0.5, 0.01, 7},
      {"random large, other seed", 1000, 4, 0.5, 0.01, 8},
      {"random all structural", 1000, 4, 0.0, 0.01, 7},
      {"random denser", 300, 6, 0.2, 0.01, 9},
      // Fills in: the nucleus is finished as a dense block, whose U the updates change.
      {"random dense tail", 200, 24, 0.1, 0.01, 11},
      {"structured", 1000, 0, 0.2, 0.01, 7},
      {"structured all structural", 2000, 0, 0.0, 0.01, 7},
  };
  for (const SequenceCase& c : cases) {
    for (const std::int32_t ifftup : {1, 0}) {
      SampleBasis b = c.per_column > 0 ? random_sample_basis(c.m, c.per_column, c.logical_fraction, c.seed)
                                       : structured_sample_basis(c.m, c.logical_fraction, c.seed);
      FactorSettings s;
      s.ifftup = ifftup;
      s.ztolri = c.ztolri;
      s.invmin = 1000;  // refuse nothing: every update is stored
      BasisSequence seq(std::move(b), s, c.seed + 1);
      double worst = 0.0;
      std::int32_t compared = 0;
      for (std::int32_t k = 1; k <= 100; ++k) {
        seq.random_change();
        worst = std::max(worst, seq.worst_residual());
        if (k % 20 != 0) continue;
        const double difference = seq.difference_from_fresh(seq.random_rhs(2));
        if (difference < 0.0) continue;
        EXPECT_LE(difference, 1e-9) << c.name << " update " << k;
        ++compared;
      }
      EXPECT_GT(compared, 0) << c.name;
      EXPECT_LE(worst, kResidualLimit) << c.name << " ifftup " << ifftup;
      EXPECT_EQ(seq.refused_, 0) << c.name;
      EXPECT_EQ(seq.f_.updates_since_invert(), 100) << c.name;
    }
  }
}

TEST(FactorUpdate, BothModesGiveTheSameSolves) {
  SampleBasis b = structured_sample_basis(400, 0.3, 17);
  BasisSequence ft(b, mode(1), 3);
  BasisSequence pf(b, mode(0), 3);
  ft.s_.invmin = pf.s_.invmin = 1000;
  for (std::int32_t k = 0; k < 60; ++k) {
    const std::int32_t q = ft.load_entering();
    pf.load(q);
    const std::int32_t p = ft.choose_leaving();
    UpdateReport report;
    ASSERT_EQ(ft.change(p, q, report), UpdateStatus::done);
    ASSERT_EQ(pf.change(p, q, report), UpdateStatus::done);
    const auto a = ft.random_rhs(2);
    for (const bool transposed : {false, true}) {
      const auto x = ft.solve(a, transposed);
      const auto y = pf.solve(a, transposed);
      double scale = 1.0;
      for (const double v : x) scale = std::max(scale, std::fabs(v));
      for (std::size_t i = 0; i < x.size(); ++i) ASSERT_NEAR(x[i], y[i], 1e-10 * scale);
    }
  }
}

TEST(FactorUpdate, InconsistentPivotStopsOnlyAfterInvmin) {
  BasisSequence seq(random_sample_basis(120, 3, 0.4, 23), mode(1), 5);
  ASSERT_EQ(seq.s_.invmin, 6);
  for (std::int32_t k = 0; k < 8; ++k) {
    const std::int32_t q = seq.load_entering();
    const std::int32_t p = seq.choose_leaving();
    seq.w_.values()[static_cast<std::size_t>(p)] *= 1.5;  // a wrong alpha
    UpdateReport report;
    const std::int32_t before = seq.f_.updates_since_invert();
    const UpdateStatus status = seq.change(p, q, report);
    EXPECT_TRUE(report.inconsistent);
    EXPECT_NEAR(report.alpha / report.delta, 1.5, 1e-9);
    if (before < 6) {
      EXPECT_EQ(status, UpdateStatus::done) << k;
    } else {
      EXPECT_EQ(status, UpdateStatus::inconsistent) << k;
      break;
    }
    EXPECT_LE(seq.worst_residual(), kResidualLimit);
  }
  EXPECT_EQ(seq.refused_, 1);
}

TEST(FactorUpdate, VanishingPivotIsRefusedAndLeavesTheFactorIntact) {
  for (const std::int32_t ifftup : {1, 0}) {
    SampleBasis b = structured_sample_basis(100, 0.0, 29);
    // A new column equal to the basic column of variable header[0]: entering it
    // anywhere but at that position gives a zero pivot.
    b.add_column([&] {
      std::vector<std::pair<std::int32_t, double>> entries;
      const auto a = b.dense_column(b.header[0]);
      for (std::int32_t i = 0; i < b.m; ++i) {
        if (a[static_cast<std::size_t>(i)] != 0.0) entries.emplace_back(i, a[static_cast<std::size_t>(i)]);
      }
      return entries;
    }());
    const std::int32_t twin = b.m + b.n - 1;
    const std::int32_t original = b.header[0];
    BasisSequence seq(std::move(b), mode(ifftup), 31);
    seq.load(twin);
    std::int32_t p = 0;
    while (seq.b_.header[static_cast<std::size_t>(p)] == original || seq.w_[p] != 0.0) ++p;
    UpdateReport report;
    const UpdateStatus status = seq.f_.update(p, seq.w_, seq.s_, report);
    seq.w_.clear();
    EXPECT_EQ(status, UpdateStatus::growth_failed) << ifftup;
    EXPECT_TRUE(report.growth_failed);
    EXPECT_EQ(report.growth_ratio, 1e30);
    EXPECT_EQ(seq.f_.updates_since_invert(), 0);
    EXPECT_LE(seq.worst_residual(), kResidualLimit);
  }
}

TEST(FactorUpdate, SolvesBetweenFtranAndUpdateKeepTheSpike) {
  BasisSequence seq(random_sample_basis(150, 3, 0.3, 61), mode(1), 62);
  WorkVector other(seq.b_.m);
  for (std::int32_t k = 0; k < 20; ++k) {
    const std::int32_t q = seq.load_entering();
    const std::int32_t p = seq.choose_leaving();
    other.set_unit(k % seq.b_.m);
    seq.f_.ftran(other);
    other.clear();
    other.set_unit((k + 1) % seq.b_.m);
    seq.f_.btran(other);
    other.clear();
    UpdateReport report;
    ASSERT_EQ(seq.change(p, q, report), UpdateStatus::done);
    ASSERT_LE(seq.worst_residual(), kResidualLimit);
  }
}

// In a file with little room the updates compact the front and finally run
// out of space (code 1), leaving the factorisation of the old basis intact.
TEST(FactorUpdate, FullFileCompactsThenRefusesCleanly) {
  for (const std::int32_t ifftup : {1, 0}) {
    const SampleBasis b = structured_sample_basis(300, 0.2, 51);
    FactorSettings s = mode(ifftup);
    s.invmin = 1000;
    // The smallest budget that factorises, plus a little room.
    for (s.workspace_bytes = 100000;; s.workspace_bytes += 2000) {
      std::vector<std::int32_t> header = b.header;
      Factor probe;
      InvertReport report;
      if (probe.factorise(b.view(), header, s, report) == FactorStatus::ok) break;
    }
    s.workspace_bytes += 40000;
    BasisSequence seq(b, s, 52);
    std::int32_t compactions = 0;
    bool full = false;
    for (std::int32_t k = 0; k < 2000 && !full; ++k) {
      const std::int32_t q = seq.load_entering();
      const std::int32_t p = seq.choose_leaving();
      UpdateReport report;
      const UpdateStatus status = seq.f_.update(p, seq.w_, s, report);
      seq.w_.clear();
      compactions += report.compactions;
      if (status == UpdateStatus::done) {
        seq.basic_[static_cast<std::size_t>(seq.b_.header[static_cast<std::size_t>(p)])] = 0;
        seq.basic_[static_cast<std::size_t>(q)] = 1;
        seq.b_.header[static_cast<std::size_t>(p)] = q;
      } else {
        ASSERT_EQ(status, UpdateStatus::factor_file_full) << ifftup;
        full = true;
      }
      ASSERT_TRUE(seq.f_.valid());
      ASSERT_LE(seq.worst_residual(), kResidualLimit) << ifftup << " update " << k;
    }
    EXPECT_TRUE(full) << ifftup;
    if (ifftup == 1) {
      EXPECT_GT(compactions, 0);
    }
  }
}

TEST(FactorUpdate, RefactorisationRule) {
  // INVFRQ > 0: every INVFRQ updates; INVFRQ = 1 before every update.
  for (const std::int32_t invfrq : {1, 4}) {
    BasisSequence seq(random_sample_basis(100, 3, 0.5, 41), mode(1), 2);
    seq.s_.invfrq = invfrq;
    for (std::int32_t k = 0; k < invfrq; ++k) {
      EXPECT_EQ(seq.f_.refactor_due(seq.s_), k + 1 >= invfrq) << invfrq << " " << k;
      seq.random_change();
    }
  }
  // Doubtful factorisations are renewed after 74 updates; otherwise the fill
  // rule decides, later.
  for (const bool doubtful : {true, false}) {
    BasisSequence seq(structured_sample_basis(3000, 0.3, 43), mode(1), 4);
    seq.s_.invmin = 1000;
    if (doubtful) seq.f_.mark_doubtful();
    EXPECT_FALSE(seq.f_.refactor_due(seq.s_));
    std::int32_t k = 0;
    while (!seq.f_.refactor_due(seq.s_) && k < 5000) {
      seq.random_change();
      ++k;
    }
    if (doubtful) {
      EXPECT_EQ(k, 74);
    } else {
      EXPECT_GT(k, 74);
      EXPECT_LT(k, 5000);
    }
    EXPECT_EQ(seq.refused_, 0);
  }
}

}  // namespace
}  // namespace kqopt
