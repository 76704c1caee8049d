// Benchmark of the basis factorisation on sample bases: INVERT time and fill,
// FTRAN/BTRAN of a unit vector and of a structural column (hypersparse path
// against a full pass), how FTRAN time grows with the nonzeros of its result,
// and the cost of updates in both modes. Prints one table per basis.
//
// Usage: factor_bench [rows...]   (default 1000 10000)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "simplex/factor.h"
#include "simplex/factor_samples.h"

namespace {

using kqopt::Factor;
using kqopt::FactorSettings;
using kqopt::SampleBasis;
using kqopt::WorkVector;
using Clock = std::chrono::steady_clock;

double microseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Loads variable v's column into w, with its nonzero list or as a dense vector.
void load_variable(const SampleBasis& b, std::int32_t v, WorkVector& w, bool listed) {
  if (v < b.m) {
    w.set_unit(v);
  } else {
    const auto j = static_cast<std::size_t>(v - b.m);
    const auto first = static_cast<std::size_t>(b.start[j]);
    const auto count = static_cast<std::size_t>(b.start[j + 1] - b.start[j]);
    w.load_sparse({b.index.data() + first, count}, {b.value.data() + first, count});
  }
  if (!listed) w.mark_dense();
}

struct SolveTiming {
  double listed_us = 0.0;  // right-hand side with its nonzero list
  double dense_us = 0.0;   // the same right-hand side marked dense: full passes
};

// Mean time of FTRAN or BTRAN over the variables given, best of three rounds
// (the machine may be shared).
SolveTiming time_solves(Factor& f, const SampleBasis& b, const std::vector<std::int32_t>& variables,
                        bool transposed) {
  WorkVector w(b.m);
  SolveTiming t{1e300, 1e300};
  for (std::int32_t round = 0; round < 3; ++round) {
    for (const bool listed : {true, false}) {
      const Clock::time_point start = Clock::now();
      for (const std::int32_t v : variables) {
        load_variable(b, v, w, listed);
        if (transposed) {
          f.btran(w);
        } else {
          f.ftran(w);
        }
        w.clear();
      }
      double& best = listed ? t.listed_us : t.dense_us;
      best = std::min(best, microseconds_since(start) / static_cast<double>(variables.size()));
    }
  }
  return t;
}

void run(const std::string& name, SampleBasis b, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  FactorSettings settings;
  settings.workspace_bytes = std::int64_t{1} << 30;
  Factor f;
  f.start_run(settings);

  // INVERT: best of a few.
  double invert_us = 1e300;
  kqopt::InvertReport report;
  std::vector<std::int32_t> header;
  for (std::int32_t rep = 0; rep < 5; ++rep) {
    header = b.header;
    report = kqopt::InvertReport{};
    const Clock::time_point start = Clock::now();
    if (f.factorise(b.view(), header, settings, report) != kqopt::FactorStatus::ok) {
      std::printf("%s: factorisation failed\n", name.c_str());
      return;
    }
    invert_us = std::min(invert_us, microseconds_since(start));
  }
  b.header = header;
  std::int32_t replaced = 0;
  for (const std::int32_t c : report.columns_replaced) replaced += c;

  std::vector<std::int32_t> units(2000);
  for (auto& v : units) v = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(b.m));
  std::vector<std::int32_t> columns(2000);
  for (auto& v : columns)
    v = b.m + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(b.n));
  const SolveTiming ftran_unit = time_solves(f, b, units, false);
  const SolveTiming ftran_column = time_solves(f, b, columns, false);
  const SolveTiming btran_unit = time_solves(f, b, units, true);
  const SolveTiming btran_column = time_solves(f, b, columns, true);

  std::printf(
      "\n%s: m = %d, basis entries %lld, logicals %d, row singletons %d, column singletons %d, "
      "nucleus %d,"
      " replaced %d\n",
      name.c_str(), b.m, static_cast<long long>(report.basis_entries),
      report.dump_at_exit.logicals_pivoted, report.row_singletons, report.column_singletons,
      report.nucleus_pivots, replaced);
  std::printf(
      "  INVERT %10.1f us   factor entries %lld   fill %.2f   L etas %d   U entries %lld\n",
      invert_us, static_cast<long long>(report.factor_entries),
      static_cast<double>(report.factor_entries) / static_cast<double>(report.basis_entries),
      report.dump_at_exit.column_etas, static_cast<long long>(report.dump_at_exit.row_file_length));
  std::printf("  %-22s %12s %12s %8s\n", "solve (mean)", "listed us", "full pass us", "ratio");
  const auto line = [](const char* what, const SolveTiming& t) {
    std::printf("  %-22s %12.2f %12.2f %8.1f\n", what, t.listed_us, t.dense_us,
                t.dense_us / t.listed_us);
  };
  line("FTRAN unit vector", ftran_unit);
  line("FTRAN column", ftran_column);
  line("BTRAN unit vector", btran_unit);
  line("BTRAN column", btran_column);

  // FTRAN time against the nonzeros of the result (unit vectors, listed).
  struct Bucket {
    std::int32_t upto;
    std::int32_t count = 0;
    double total_us = 0.0;
  };
  std::vector<Bucket> buckets = {{1}, {10}, {100}, {1000}, {10000}, {1 << 30}};
  WorkVector w(b.m);
  for (std::int32_t r = 0; r < std::min(b.m, 3000); ++r) {
    const std::int32_t row = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(b.m));
    const Clock::time_point start = Clock::now();
    for (std::int32_t k = 0; k < 5; ++k) {
      w.set_unit(row);
      f.ftran(w);
    }
    const double us = microseconds_since(start) / 5.0;
    w.sparsify(settings.zteta);
    const std::int32_t nnz = w.nonzero_count();
    w.clear();
    for (Bucket& bucket : buckets) {
      if (nnz <= bucket.upto) {
        ++bucket.count;
        bucket.total_us += us;
        break;
      }
    }
  }
  std::printf("  FTRAN unit vector by result nonzeros:");
  std::int32_t low = 0;
  for (const Bucket& bucket : buckets) {
    if (bucket.count > 0) {
      std::printf("  [%d..%s] %d x %.2f us", low + 1,
                  bucket.upto == (1 << 30) ? "" : std::to_string(bucket.upto).c_str(), bucket.count,
                  bucket.total_us / bucket.count);
    }
    low = bucket.upto;
  }
  std::printf("\n");

  // 100 updates in each mode: mean update time and FTRAN of a column after them.
  for (const std::int32_t ifftup : {1, 0}) {
    FactorSettings s = settings;
    s.ifftup = ifftup;
    s.invmin = 1 << 30;
    Factor g;
    g.start_run(s);
    std::vector<std::int32_t> h = b.header;
    kqopt::InvertReport r;
    if (g.factorise(b.view(), h, s, r) != kqopt::FactorStatus::ok) continue;
    std::vector<std::uint8_t> basic(static_cast<std::size_t>(b.m + b.n), 0);
    for (const std::int32_t v : h) basic[static_cast<std::size_t>(v)] = 1;
    double update_us = 0.0;
    std::int32_t updates = 0;
    for (std::int32_t k = 0; k < 100; ++k) {
      std::int32_t q = 0;
      do {
        q = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(b.m + b.n));
      } while (basic[static_cast<std::size_t>(q)]);
      load_variable(b, q, w, true);
      g.ftran(w, true);
      std::int32_t p = 0;
      double best = 0.0;
      for (std::int32_t i = 0; i < b.m; ++i) {
        if (std::fabs(w[i]) > best) {
          best = std::fabs(w[i]);
          p = i;
        }
      }
      kqopt::UpdateReport ur;
      const Clock::time_point start = Clock::now();
      const kqopt::UpdateStatus st = g.update(p, w, s, ur);
      update_us += microseconds_since(start);
      w.clear();
      if (st != kqopt::UpdateStatus::done) break;
      basic[static_cast<std::size_t>(h[static_cast<std::size_t>(p)])] = 0;
      basic[static_cast<std::size_t>(q)] = 1;
      h[static_cast<std::size_t>(p)] = q;
      ++updates;
    }
    SampleBasis updated = b;
    updated.header = h;
    const SolveTiming after = time_solves(g, updated, columns, false);
    std::printf(
        "  %s: %d updates, %.2f us each; FTRAN column after them %.2f us (listed), %.2f us (full);"
        " factor entries %lld\n",
        ifftup ? "Forrest-Tomlin" : "product form", updates, update_us / std::max(updates, 1),
        after.listed_us, after.dense_us, static_cast<long long>(g.factor_entries()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::int32_t> sizes;
  for (int k = 1; k < argc; ++k) sizes.push_back(std::atoi(argv[k]));
  if (sizes.empty()) sizes = {1000, 10000};
  for (const std::int32_t m : sizes) {
    run("random, 3 per column, 30% logicals", kqopt::random_sample_basis(m, 3, 0.3, 1), 2);
    run("random, 4 per column, no logicals", kqopt::random_sample_basis(m, 4, 0.0, 3), 4);
    run("structured, 20% logicals", kqopt::structured_sample_basis(m, 0.2, 5), 6);
  }
  return 0;
}
