// Benchmark of the basis factorisation: INVERT time and fill, FTRAN/BTRAN of a
// unit vector and of a structural column (hypersparse path against a full
// pass), how FTRAN time grows with the nonzeros of its result, the residuals of
// the solves, and the cost of updates in both modes. Prints one table per basis.
//
// The bases are sample bases of a given number of rows, or bases over the
// matrix of an MPS file:
//   optimal  the basis our primal simplex ends with (optimal, or wherever it
//            stood when the time limit stopped it: the table says which);
//   crash    the all-logical basis with structurals swapped in greedily,
//            sparsest columns first (triangular, see crash_basis);
//   random   half the positions given to random structurals, logicals in the
//            rest (INVERT replaces what is dependent).
//
// Usage: factor_bench [--time-limit SECONDS] [--messages DIR] [rows | file.mps]...
//   rows: sample bases of that many rows (default, without arguments: 1000 10000);
//   file.mps: the three bases above over that problem; the solve stops after
//   SECONDS of CPU time (control MAXTIM, default 60). DIR holds rb-opt.msg
//   (default: ../out beside this program).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "input/input_problem.h"
#include "library/library.h"
#include "library/lifecycle.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/factor/factor.h"
#include "simplex/factor/factor_check.h"
#include "simplex/factor/factor_samples.h"

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
SolveTiming time_solves(Factor& f, const SampleBasis& b, const std::vector<std::int32_t>& variables, bool transposed) {
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

// Worst scaled FTRAN and BTRAN residuals over the columns of the variables given.
std::pair<double, double> worst_residuals(Factor& f, const SampleBasis& b, const std::vector<std::int32_t>& variables) {
  WorkVector w(b.m);
  double worst_ftran = 0.0;
  double worst_btran = 0.0;
  for (const std::int32_t v : variables) {
    const std::vector<double> a = b.dense_column(v);
    for (const bool transposed : {false, true}) {
      load_variable(b, v, w, true);
      if (transposed) {
        f.btran(w);
      } else {
        f.ftran(w);
      }
      const std::vector<double> x(w.values().begin(), w.values().end());
      w.clear();
      if (transposed) {
        worst_btran = std::max(worst_btran, kqopt::btran_residual(b.view(), b.header, x, a));
      } else {
        worst_ftran = std::max(worst_ftran, kqopt::ftran_residual(b.view(), b.header, x, a));
      }
    }
  }
  return {worst_ftran, worst_btran};
}

// FTRAN time (listed right-hand sides) by the number of nonzeros of the result.
void print_ftran_by_result_size(Factor& f, const SampleBasis& b, const std::vector<std::int32_t>& units,
                                const std::vector<std::int32_t>& columns, double zteta, double full_pass_us) {
  struct Bucket {
    std::int32_t upto;
    std::int32_t count = 0;
    double total_us = 0.0;
    double total_nonzeros = 0.0;
  };
  std::vector<Bucket> buckets = {{1}, {10}, {100}, {1000}, {10000}, {1 << 30}};
  WorkVector w(b.m);
  std::vector<std::int32_t> variables(units.begin(), units.begin() + std::min<std::size_t>(units.size(), 2000));
  variables.insert(variables.end(), columns.begin(), columns.begin() + std::min<std::size_t>(columns.size(), 1000));
  for (const std::int32_t v : variables) {
    double us = 1e300;
    for (std::int32_t k = 0; k < 3; ++k) {
      load_variable(b, v, w, true);
      const Clock::time_point start = Clock::now();
      f.ftran(w);
      us = std::min(us, microseconds_since(start));
      if (k < 2) w.clear();
    }
    w.sparsify(zteta);
    const std::int32_t nnz = w.nonzero_count();
    w.clear();
    for (Bucket& bucket : buckets) {
      if (nnz <= bucket.upto) {
        ++bucket.count;
        bucket.total_us += us;
        bucket.total_nonzeros += nnz;
        break;
      }
    }
  }
  std::printf("  FTRAN by result nonzeros (unit vectors and columns, listed; full pass %.2f us):\n", full_pass_us);
  std::printf("    %-14s %7s %12s %12s %12s\n", "result nnz", "solves", "mean nnz", "mean us", "vs full pass");
  std::int32_t low = 0;
  for (const Bucket& bucket : buckets) {
    if (bucket.count > 0) {
      const std::string range = bucket.upto == 1 ? std::string("1")
                                : bucket.upto == (1 << 30)
                                    ? std::to_string(low + 1) + "-"
                                    : std::to_string(low + 1) + "-" + std::to_string(bucket.upto);
      const double mean_us = bucket.total_us / bucket.count;
      std::printf("    %-14s %7d %12.1f %12.2f %11.2fx\n", range.c_str(), bucket.count,
                  bucket.total_nonzeros / bucket.count, mean_us, mean_us / full_pass_us);
    }
    low = bucket.upto;
  }
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

  std::vector<std::uint8_t> basic(static_cast<std::size_t>(b.m + b.n), 0);
  for (const std::int32_t v : b.header) basic[static_cast<std::size_t>(v)] = 1;
  std::vector<std::int32_t> nonbasic_columns;
  for (std::int32_t j = 0; j < b.n; ++j) {
    if (!basic[static_cast<std::size_t>(b.m + j)]) nonbasic_columns.push_back(b.m + j);
  }
  if (nonbasic_columns.empty()) {
    for (std::int32_t j = 0; j < b.n; ++j) nonbasic_columns.push_back(b.m + j);
  }
  std::vector<std::int32_t> units(2000);
  for (auto& v : units) v = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(b.m));
  std::vector<std::int32_t> columns(2000);
  for (auto& v : columns) v = nonbasic_columns[rng() % nonbasic_columns.size()];
  const SolveTiming ftran_unit = time_solves(f, b, units, false);
  const SolveTiming ftran_column = time_solves(f, b, columns, false);
  const SolveTiming btran_unit = time_solves(f, b, units, true);
  const SolveTiming btran_column = time_solves(f, b, columns, true);
  std::vector<std::int32_t> checked(columns.begin(), columns.begin() + 20);
  checked.insert(checked.end(), units.begin(), units.begin() + 20);
  const auto [ftran_residual, btran_residual] = worst_residuals(f, b, checked);

  std::printf(
      "\n%s: m = %d, basis entries %lld, logicals %d, row singletons %d, column singletons %d, "
      "nucleus %d, replaced %d\n",
      name.c_str(), b.m, static_cast<long long>(report.basis_entries), report.dump_at_exit.logicals_pivoted,
      report.row_singletons, report.column_singletons, report.nucleus_pivots, replaced);
  std::printf("  INVERT %10.1f us   factor entries %lld   fill %.2f   L etas %d   U entries %lld\n", invert_us,
              static_cast<long long>(report.factor_entries),
              static_cast<double>(report.factor_entries) / static_cast<double>(report.basis_entries),
              report.dump_at_exit.column_etas, static_cast<long long>(report.dump_at_exit.row_file_length));
  std::printf("  worst scaled residual over 40 solves: FTRAN %.1e  BTRAN %.1e\n", ftran_residual, btran_residual);
  std::printf("  %-22s %12s %12s %8s\n", "solve (mean)", "listed us", "full pass us", "ratio");
  const auto line = [](const char* what, const SolveTiming& t) {
    std::printf("  %-22s %12.2f %12.2f %8.1f\n", what, t.listed_us, t.dense_us, t.dense_us / t.listed_us);
  };
  line("FTRAN unit vector", ftran_unit);
  line("FTRAN column", ftran_column);
  line("BTRAN unit vector", btran_unit);
  line("BTRAN column", btran_column);
  print_ftran_by_result_size(f, b, units, columns, settings.zteta, ftran_unit.dense_us);

  // 100 updates in each mode: mean update time and FTRAN of a column after them.
  // Of four random nonbasic variables the one whose FTRAN'd column has the
  // smallest largest entry enters, at the position of that entry, so that the
  // walk keeps clear of nearly singular bases (as the factor tests do).
  WorkVector w(b.m);
  for (const std::int32_t ifftup : {1, 0}) {
    FactorSettings s = settings;
    s.ifftup = ifftup;
    s.invmin = 1 << 30;
    Factor g;
    g.start_run(s);
    std::vector<std::int32_t> h = b.header;
    kqopt::InvertReport r;
    if (g.factorise(b.view(), h, s, r) != kqopt::FactorStatus::ok) continue;
    std::vector<std::uint8_t> in_basis(static_cast<std::size_t>(b.m + b.n), 0);
    for (const std::int32_t v : h) in_basis[static_cast<std::size_t>(v)] = 1;
    double update_us = 0.0;
    std::int32_t updates = 0;
    std::int32_t flagged = 0;  // past the growth or consistency test (stored all the same)
    for (std::int32_t k = 0; k < 100; ++k) {
      std::int32_t q = -1;
      double smallest = 0.0;
      for (std::int32_t tries = 0; tries < 4; ++tries) {
        std::int32_t v = 0;
        do {
          v = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(b.m + b.n));
        } while (in_basis[static_cast<std::size_t>(v)]);
        load_variable(b, v, w, true);
        g.ftran(w);
        double largest = 0.0;
        for (std::int32_t i = 0; i < b.m; ++i) largest = std::max(largest, std::fabs(w[i]));
        w.clear();
        if (largest > 0.0 && (q < 0 || largest < smallest)) {
          q = v;
          smallest = largest;
        }
      }
      if (q < 0) continue;
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
      if (ur.growth_failed || ur.inconsistent) ++flagged;
      in_basis[static_cast<std::size_t>(h[static_cast<std::size_t>(p)])] = 0;
      in_basis[static_cast<std::size_t>(q)] = 1;
      h[static_cast<std::size_t>(p)] = q;
      ++updates;
    }
    SampleBasis updated = b;
    updated.header = h;
    const SolveTiming after = time_solves(g, updated, columns, false);
    const auto [rf, rb] = worst_residuals(g, updated, checked);
    std::printf(
        "  %s: %d updates (%d past the growth or consistency test), %.2f us each; FTRAN column"
        " after them %.2f us (listed), %.2f us (full); factor entries %lld; residuals %.1e / "
        "%.1e\n",
        ifftup ? "Forrest-Tomlin" : "product form", updates, flagged, update_us / std::max(updates, 1), after.listed_us,
        after.dense_us, static_cast<long long>(g.factor_entries()), rf, rb);
  }
}

// The all-logical basis with structurals swapped in greedily, sparsest columns
// first: a column comes in on the row of its largest entry among the rows no
// structural has touched yet, if that entry is at least a tenth of the
// column's largest; every row of the column is then touched. Each structural
// has entries only in its own row, the rows of earlier structurals and rows
// that keep their logicals, so the basis is triangular. Fixed columns stay out.
std::vector<std::int32_t> crash_basis(const SampleBasis& b, const std::vector<std::uint8_t>& fixed) {
  std::vector<std::int32_t> header(static_cast<std::size_t>(b.m));
  std::iota(header.begin(), header.end(), 0);
  std::vector<std::int32_t> order(static_cast<std::size_t>(b.n));
  std::iota(order.begin(), order.end(), 0);
  const auto count = [&](std::int32_t j) {
    return b.start[static_cast<std::size_t>(j + 1)] - b.start[static_cast<std::size_t>(j)];
  };
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t x, std::int32_t y) { return count(x) < count(y); });
  std::vector<std::uint8_t> touched(static_cast<std::size_t>(b.m), 0);
  for (const std::int32_t j : order) {
    if (fixed[static_cast<std::size_t>(j)] || count(j) == 0) continue;
    double column_max = 0.0;
    double best = 0.0;
    std::int32_t row = -1;
    for (std::int32_t k = b.start[static_cast<std::size_t>(j)]; k < b.start[static_cast<std::size_t>(j + 1)]; ++k) {
      const double a = std::fabs(b.value[static_cast<std::size_t>(k)]);
      const std::int32_t i = b.index[static_cast<std::size_t>(k)];
      column_max = std::max(column_max, a);
      if (!touched[static_cast<std::size_t>(i)] && a > best) {
        best = a;
        row = i;
      }
    }
    if (row < 0 || best < 0.1 * column_max) continue;
    header[static_cast<std::size_t>(row)] = b.m + j;
    for (std::int32_t k = b.start[static_cast<std::size_t>(j)]; k < b.start[static_cast<std::size_t>(j + 1)]; ++k) {
      touched[static_cast<std::size_t>(b.index[static_cast<std::size_t>(k)])] = 1;
    }
  }
  return header;
}

// Half the positions hold random structurals, the rest their logicals.
std::vector<std::int32_t> random_basis(const SampleBasis& b, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<std::int32_t> header(static_cast<std::size_t>(b.m));
  std::iota(header.begin(), header.end(), 0);
  std::vector<std::int32_t> rows(header);
  std::vector<std::int32_t> columns(static_cast<std::size_t>(b.n));
  std::iota(columns.begin(), columns.end(), 0);
  std::shuffle(rows.begin(), rows.end(), rng);
  std::shuffle(columns.begin(), columns.end(), rng);
  const std::int32_t structurals = std::min(b.m / 2, b.n);
  for (std::int32_t k = 0; k < structurals; ++k) {
    header[static_cast<std::size_t>(rows[static_cast<std::size_t>(k)])] = b.m + columns[static_cast<std::size_t>(k)];
  }
  return header;
}

void discard_output(const char*, std::int32_t, std::int32_t) {}

// Reads an MPS file, solves it (minimise) within the time limit and runs the
// benchmark on the optimal (or last), crash and random bases over its matrix.
bool run_problem(const std::string& path, const std::string& messages, std::int32_t time_limit) {
  auto lib = std::make_unique<kqopt::Library>();
  if (kqopt::initialise(*lib, messages.c_str(), 0) != 0) {
    std::fprintf(stderr, "initialisation failed (message file in %s?)\n", messages.c_str());
    return false;
  }
  lib->callbacks.output = discard_output;
  const std::string name = std::filesystem::path(path).stem().string();
  if (kqopt::input::input_problem(*lib, path.c_str()) != 0) {
    std::fprintf(stderr, "%s: cannot read\n", path.c_str());
    kqopt::release(*lib);
    return false;
  }
  // The solution file goes to a scratch directory, not beside the problem.
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / ("kqopt-factor-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  kqopt::set_problem_name(*lib, (scratch / name).string().c_str());
  lib->controls.i(kqopt::icv::ITRLOG) = 0;
  lib->controls.i(kqopt::icv::MAXTIM) = -time_limit;

  const kqopt::Problem& problem = *lib->problem;
  SampleBasis b;
  b.m = problem.row_slots();
  b.n = problem.columns;
  b.start = problem.by_column.start;
  b.index = problem.by_column.row;
  b.value = problem.by_column.value;
  std::vector<std::uint8_t> fixed(static_cast<std::size_t>(b.n), 0);
  for (std::int32_t j = 0; j < b.n; ++j) {
    const auto v = static_cast<std::size_t>(problem.column_variable(j));
    fixed[static_cast<std::size_t>(j)] = problem.lower[v] == problem.upper[v];
  }

  const Clock::time_point start = Clock::now();
  const std::int32_t rc = kqopt::optimise(*lib, kqopt::DriverMode::kMinimise);
  const double seconds = microseconds_since(start) * 1e-6;
  const std::int32_t lp_status = *lib->attributes.int_attribute(kqopt::attr::kLpStatus);
  const std::int32_t iterations = *lib->attributes.int_attribute(kqopt::attr::kIterations);
  const bool have_basis = lib->engine && static_cast<std::int32_t>(lib->engine->basis.header.size()) == b.m;
  std::printf(
      "\n==== %s: %d rows, %d columns, %d entries; primal simplex: %s after %d iterations, %.1f "
      "s%s\n",
      name.c_str(), b.m, b.n, b.start.back(),
      lp_status == 1   ? "optimal"
      : lp_status == 4 ? "stopped (time limit)"
                       : "ended",
      iterations, seconds, rc != 0 ? " (nonzero return code)" : "");
  if (have_basis) {
    SampleBasis optimal = b;
    optimal.header = lib->engine->basis.header;
    run(name + (lp_status == 1 ? ", optimal basis" : ", basis at the time limit"), std::move(optimal), 11);
  }
  kqopt::release(*lib);
  std::filesystem::remove_all(scratch);

  SampleBasis crash = b;
  crash.header = crash_basis(b, fixed);
  const auto structurals =
      std::count_if(crash.header.begin(), crash.header.end(), [&](std::int32_t v) { return v >= b.m; });
  run(name + ", crash basis (" + std::to_string(structurals) + " structurals)", std::move(crash), 12);
  SampleBasis random = b;
  random.header = random_basis(b, 13);
  run(name + ", random basis", std::move(random), 14);
  return true;
}

std::string default_message_directory(const char* argv0) {
  const std::string self(argv0);
  const std::size_t cut = self.find_last_of('/');
  const std::string dir = cut == std::string::npos ? "." : self.substr(0, cut);
  return dir + "/../out";
}

}  // namespace

int main(int argc, char** argv) {
  std::string messages = default_message_directory(argv[0]);
  std::int32_t time_limit = 60;
  std::vector<std::string> targets;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--time-limit" && k + 1 < argc) {
      time_limit = std::atoi(argv[++k]);
    } else if (arg == "--messages" && k + 1 < argc) {
      messages = argv[++k];
    } else {
      targets.push_back(arg);
    }
  }
  if (targets.empty()) targets = {"1000", "10000"};
  for (const std::string& target : targets) {
    if (target.find_first_not_of("0123456789") == std::string::npos) {
      const std::int32_t m = std::atoi(target.c_str());
      run("random, 3 per column, 30% logicals", kqopt::random_sample_basis(m, 3, 0.3, 1), 2);
      run("random, 4 per column, no logicals", kqopt::random_sample_basis(m, 4, 0.0, 3), 4);
      run("structured, 20% logicals", kqopt::structured_sample_basis(m, 0.2, 5), 6);
    } else if (!run_problem(target, messages, time_limit)) {
      return 1;
    }
  }
  return 0;
}
