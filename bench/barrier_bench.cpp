// Benchmark of the normal-equations factor on the A A' of LP problems (objective rows
// left out) and of random matrices of growing size: fill of L with our minimum-degree
// order against SuiteSparse's AMD (both counted exactly on the same structure), ordering
// CPU time, numeric factorisation CPU time against CHOLMOD's supernodal factorisation
// given the same order (one thread), GFLOP/s and the factor's bytes per nonzero of L.
// SuiteSparse is optional: without it only our columns are printed.
//
// Usage: barrier_bench [--messages DIR] [--data DIR] [--random] [--no-cholmod] [--orderings] [--relax A,M,Z,W,WZ]
// [file.mps | name]...
//   name: a Netlib problem of the shared data directory (default: all of them);
//   --random: random matrices of 2000 to 32000 rows instead;
//   --relax: the supernode relaxation (always, medium, zero share, widest, wide zero share;
//   0,0,0,0,0 keeps the fundamental supernodes); --no-cholmod: no CHOLMOD factorisation;
//   --orderings: also the fill and flops of CHOLMOD's METIS and nested-dissection orders.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "barrier/cholesky/kkt_factor.h"
#include "barrier/ordering/aat_structure.h"
#include "barrier/ordering/symbolic.h"
#include "input/input_problem.h"
#include "library/library.h"
#include "library/lifecycle.h"
#include "problem/problem.h"

#ifdef KQOPT_HAVE_SUITESPARSE
#include <amd.h>
#include <cholmod.h>
#endif

namespace {

using kqopt::barrier::ColumnMatrixView;
using kqopt::barrier::KktFactor;

double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Csc {
  std::int32_t m = 0, n = 0;
  std::vector<std::int64_t> start{0};
  std::vector<std::int32_t> row;
  std::vector<double> value;
  ColumnMatrixView view() const { return {{m, n, start, row}, value}; }
};

bool load_problem(const std::string& path, const std::string& messages, Csc& a) {
  auto lib = std::make_unique<kqopt::Library>();
  if (kqopt::initialise(*lib, messages.c_str(), 0) != 0) return false;
  lib->callbacks.output = [](const char*, std::int32_t, std::int32_t) {};
  const bool ok = kqopt::input::input_problem(*lib, path.c_str()) == 0 || lib->has_problem();
  if (ok && lib->has_problem()) {
    const kqopt::Problem& p = *lib->problem;
    std::vector<std::int32_t> new_row(static_cast<std::size_t>(p.row_slots()), -1);
    for (std::int32_t i = 0; i < p.rows; ++i) {
      if (p.row_type[static_cast<std::size_t>(i)] != kqopt::row_type::kFree)
        new_row[static_cast<std::size_t>(i)] = a.m++;
    }
    const kqopt::ColumnMatrix& c = p.by_column;
    for (std::int32_t j = 0; j < p.columns; ++j) {
      for (std::int32_t q = c.start[static_cast<std::size_t>(j)]; q < c.start[static_cast<std::size_t>(j) + 1]; ++q) {
        const std::int32_t i = new_row[static_cast<std::size_t>(c.row[static_cast<std::size_t>(q)])];
        if (i < 0 || c.value[static_cast<std::size_t>(q)] == 0.0) continue;
        a.row.push_back(i);
        a.value.push_back(c.value[static_cast<std::size_t>(q)]);
      }
      a.start.push_back(static_cast<std::int64_t>(a.row.size()));
      ++a.n;
    }
  }
  kqopt::release(*lib);
  return ok && a.m > 0;
}

Csc random_matrix(std::int32_t m, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::int32_t> any_row(0, m - 1);
  std::uniform_int_distribution<std::int32_t> len(2, 6);
  std::uniform_real_distribution<double> val(0.5, 1.5);
  Csc a;
  a.m = m;
  auto column = [&](std::int32_t count, std::int32_t first) {
    std::set<std::int32_t> rows;
    rows.insert(first);
    // Mostly local entries, as LP rows that belong to a period or a region.
    std::uniform_int_distribution<std::int32_t> near(-40, 40);
    while (static_cast<std::int32_t>(rows.size()) < count) {
      const std::int32_t i = rng() % 8 == 0 ? any_row(rng) : std::clamp(first + near(rng), 0, m - 1);
      rows.insert(i);
    }
    for (const std::int32_t i : rows) {
      a.row.push_back(i);
      a.value.push_back(val(rng));
    }
    a.start.push_back(static_cast<std::int64_t>(a.row.size()));
    ++a.n;
  };
  for (std::int32_t k = 0; k < 2 * m; ++k) column(len(rng), k % m);
  return a;
}

std::vector<double> weights(std::int32_t n) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> e(-3.0, 3.0);
  std::vector<double> d(static_cast<std::size_t>(n));
  for (double& x : d) x = std::pow(10.0, e(rng));
  return d;
}

struct Row {
  std::string name;
  std::int32_t m = 0;
  std::int64_t nnz_aat = 0;
  std::int64_t ours_l = 0, amd_l = 0;
  double ours_order = 0.0, amd_order = 0.0;
  double ours_factor = 0.0, cholmod_factor = 0.0;
  double flops = 0.0;
  double bytes_per_l = 0.0;
  std::int32_t supernodes = 0, fundamental = 0;
  double zero_share = 0.0;  // explicit zeros over stored entries of L
  double solve = 0.0;       // CPU seconds of one solve
};

kqopt::barrier::SupernodeRelaxation relaxation = kqopt::barrier::kRelaxedSupernodes;
bool with_cholmod = true;
bool compare_orderings = false;

constexpr int kRepeats = 3;
constexpr double kShift = 1.0e-6;

Row run(const std::string& name, const Csc& a) {
  Row r;
  r.name = name;
  r.m = a.m;
  const std::vector<double> d = weights(a.n);
  // The same small diagonal shift for both factorisations: A A' of an LP with dependent
  // rows is singular, and CHOLMOD stops at the first zero pivot.
  const std::vector<double> shift(static_cast<std::size_t>(a.m), kShift);
  auto kkt = KktFactor::create(a.m, a.n, 1);
  kkt->set_dense_threshold(0);
  kkt->set_supernode_relaxation(relaxation);
  if (kkt->adasetup(a.view()) != 0) return r;
  r.nnz_aat = kkt->stats().nnz_aat;
  r.ours_l = kkt->stats().nnz_l;
  r.ours_order = kkt->stats().ordering_seconds;
  r.supernodes = kkt->stats().supernodes;
  r.ours_factor = 1e300;
  for (int k = 0; k < kRepeats; ++k) {
    const double t0 = cpu_now();
    kkt->numfac(d, shift);
    r.ours_factor = std::min(r.ours_factor, cpu_now() - t0);
  }
  r.bytes_per_l = static_cast<double>(kkt->stored_bytes()) / static_cast<double>(std::max<std::int64_t>(r.ours_l, 1));
  r.flops = kkt->cholesky()->symbolic().flops;
  r.fundamental = kkt->cholesky()->symbolic().fundamental_supernodes;
  r.zero_share = static_cast<double>(kkt->cholesky()->symbolic().explicit_zeros) /
                 static_cast<double>(std::max<std::int64_t>(r.ours_l + kkt->cholesky()->symbolic().explicit_zeros, 1));
  {
    std::vector<double> b(static_cast<std::size_t>(a.m)), x(b.size());
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = 1.0 + static_cast<double>(i % 7);
    constexpr int kSolves = 10;
    const double t0 = cpu_now();
    for (int k = 0; k < kSolves; ++k) kkt->solve(b, x);
    r.solve = (cpu_now() - t0) / kSolves;
  }
#ifdef KQOPT_HAVE_SUITESPARSE
  // AMD on the pattern of A A' (off-diagonal, both triangles).
  const kqopt::barrier::UpperStructure upper = kqopt::barrier::aat_upper_structure(a.view().pattern);
  const kqopt::barrier::Adjacency g = kqopt::barrier::symmetric_adjacency(upper);
  std::vector<std::int32_t> ap(g.start.begin(), g.start.end());
  std::vector<std::int32_t> perm(static_cast<std::size_t>(a.m));
  double control[AMD_CONTROL], info[AMD_INFO];
  amd_defaults(control);
  const double t0 = cpu_now();
  amd_order(a.m, ap.data(), g.adj.data(), perm.data(), control, info);
  r.amd_order = cpu_now() - t0;
  r.amd_l = kqopt::barrier::factor_nonzeros(g, perm);

  // CHOLMOD: supernodal L L' of (A D^1/2)(A D^1/2)' with our order, numeric part timed.
  cholmod_common common;
  cholmod_start(&common);
  common.nmethods = 1;
  common.method[0].ordering = CHOLMOD_GIVEN;
  common.postorder = 1;
  common.supernodal = CHOLMOD_SUPERNODAL;
  common.print = 0;
  cholmod_sparse* s = cholmod_allocate_sparse(static_cast<size_t>(a.m), static_cast<size_t>(a.n),
                                              static_cast<size_t>(a.start.back()), 0, 1, 0, CHOLMOD_REAL, &common);
  auto* sp = static_cast<int*>(s->p);
  auto* si = static_cast<int*>(s->i);
  auto* sx = static_cast<double*>(s->x);
  for (std::int32_t j = 0; j <= a.n; ++j) sp[j] = static_cast<int>(a.start[static_cast<std::size_t>(j)]);
  for (std::int32_t j = 0; j < a.n; ++j) {
    const double scale = std::sqrt(d[static_cast<std::size_t>(j)]);
    for (auto p = a.start[static_cast<std::size_t>(j)]; p < a.start[static_cast<std::size_t>(j) + 1]; ++p) {
      si[p] = a.row[static_cast<std::size_t>(p)];
      sx[p] = a.value[static_cast<std::size_t>(p)] * scale;
    }
  }
  const std::vector<std::int32_t>& ours = kkt->cholesky()->symbolic().perm;
  std::vector<int> given(ours.begin(), ours.end());
  if (compare_orderings) {
    // Fill and flops of the graph-partitioning orders CHOLMOD offers, on the same structure.
    std::printf("%-10s orderings nnz(L) / flops: ours %lld %.3e, AMD %lld %.3e", name.c_str(),
                static_cast<long long>(r.ours_l), r.flops, static_cast<long long>(r.amd_l),
                kqopt::barrier::symbolic_factor(g, perm).flops);
    for (const int method : {CHOLMOD_METIS, CHOLMOD_NESDIS}) {
      common.nmethods = 1;
      common.method[0].ordering = method;
      const double t2 = cpu_now();
      cholmod_factor* lm = cholmod_analyze(s, &common);
      const double seconds = cpu_now() - t2;
      if (lm == nullptr) continue;
      const auto* p = static_cast<const int*>(lm->Perm);
      const std::vector<std::int32_t> order(p, p + a.m);
      const kqopt::barrier::SymbolicFactor sf = kqopt::barrier::symbolic_factor(g, order);
      std::printf(", %s %lld %.3e (%.2f s)", method == CHOLMOD_METIS ? "METIS" : "NESDIS",
                  static_cast<long long>(sf.nnz_l), sf.flops, seconds);
      cholmod_free_factor(&lm, &common);
    }
    std::printf("\n");
    common.nmethods = 1;
    common.method[0].ordering = CHOLMOD_GIVEN;
  }
  cholmod_factor* l = with_cholmod ? cholmod_analyze_p(s, given.data(), nullptr, 0, &common) : nullptr;
  r.cholmod_factor = 1e300;
  for (int k = 0; k < kRepeats && l != nullptr; ++k) {
    const double t1 = cpu_now();
    double beta[2] = {kShift, 0.0};
    cholmod_factorize_p(s, beta, nullptr, 0, l, &common);
    r.cholmod_factor = std::min(r.cholmod_factor, cpu_now() - t1);
  }
  if (!with_cholmod) {
    r.cholmod_factor = 0.0;
  } else if (l == nullptr || common.status != CHOLMOD_OK || l->minor < l->n) {
    std::fprintf(stderr, "%s: CHOLMOD status %d, stopped at column %ld\n", name.c_str(), common.status,
                 l != nullptr ? static_cast<long>(l->minor) : -1L);
    r.cholmod_factor = 0.0;
  }
  cholmod_free_factor(&l, &common);
  cholmod_free_sparse(&s, &common);
  cholmod_finish(&common);
#endif
  return r;
}

void print_header() {
  std::printf("%-10s %7s %9s %10s %10s %6s %8s %8s %8s %8s %6s %7s %6s %6s %6s %6s %8s\n", "problem", "m", "nnz(AA')",
              "nnz(L)", "AMD nnz", "ratio", "ord s", "AMD s", "fac s", "CHOL s", "fratio", "GFLOP/s", "B/nzL", "snodes",
              "fund", "zero%", "solve s");
}

void print_row(const Row& r) {
  const double ratio = r.amd_l > 0 ? static_cast<double>(r.ours_l) / static_cast<double>(r.amd_l) : 0.0;
  const double fratio = r.cholmod_factor > 0 ? r.ours_factor / r.cholmod_factor : 0.0;
  std::printf("%-10s %7d %9lld %10lld %10lld %6.3f %8.4f %8.4f %8.4f %8.4f %6.2f %7.2f %6.1f %6d %6d %6.2f %8.5f\n",
              r.name.c_str(), r.m, static_cast<long long>(r.nnz_aat), static_cast<long long>(r.ours_l),
              static_cast<long long>(r.amd_l), ratio, r.ours_order, r.amd_order, r.ours_factor, r.cholmod_factor,
              fratio, r.flops / std::max(r.ours_factor, 1e-9) * 1e-9, r.bytes_per_l, r.supernodes, r.fundamental,
              100.0 * r.zero_share, r.solve);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string messages = (std::filesystem::path(argv[0]).parent_path() / ".." / "out").string();
  std::vector<std::string> targets;
  bool random = false;
  std::filesystem::path data = KQOPT_DATA_DIR;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--messages" && k + 1 < argc) {
      messages = argv[++k];
    } else if (arg == "--data" && k + 1 < argc) {
      data = argv[++k];
    } else if (arg == "--relax" && k + 1 < argc) {
      auto& x = relaxation;
      if (std::sscanf(argv[++k], "%d,%d,%lf,%d,%lf", &x.always, &x.medium, &x.zero_share, &x.widest,
                      &x.wide_zero_share) != 5) {
        std::fprintf(stderr, "--relax wants five numbers\n");
        return 1;
      }
    } else if (arg == "--orderings") {
      compare_orderings = true;
    } else if (arg == "--no-cholmod") {
      with_cholmod = false;
    } else if (arg == "--random") {
      random = true;
    } else {
      targets.push_back(arg);
    }
  }
  const std::filesystem::path netlib = data / "netlib";
  std::vector<Row> rows;
  print_header();
  if (random) {
    for (const std::int32_t m : {2000, 4000, 8000, 16000, 32000}) {
      rows.push_back(run("rand" + std::to_string(m), random_matrix(m, static_cast<std::uint32_t>(m))));
      print_row(rows.back());
    }
  } else {
    if (targets.empty()) {
      for (const auto& e : std::filesystem::directory_iterator(netlib)) {
        if (e.path().extension() == ".mps") targets.push_back(e.path().string());
      }
      std::sort(targets.begin(), targets.end());
    }
    for (std::string t : targets) {
      if (t.find('/') == std::string::npos && t.find('.') == std::string::npos) t = (netlib / (t + ".mps")).string();
      Csc a;
      if (!load_problem(t, messages, a)) {
        std::fprintf(stderr, "cannot load %s\n", t.c_str());
        continue;
      }
      rows.push_back(run(std::filesystem::path(t).stem().string(), a));
      print_row(rows.back());
    }
  }
  double log_ratio = 0.0, worst = 0.0, log_fratio = 0.0;
  int counted = 0, fcounted = 0;
  for (const Row& r : rows) {
    if (r.amd_l > 0) {
      const double ratio = static_cast<double>(r.ours_l) / static_cast<double>(r.amd_l);
      log_ratio += std::log(ratio);
      worst = std::max(worst, ratio);
      ++counted;
    }
    if (r.cholmod_factor > 1e-3) {
      log_fratio += std::log(r.ours_factor / r.cholmod_factor);
      ++fcounted;
    }
  }
  if (counted > 0) {
    std::printf("nnz(L) ratio to AMD: geometric mean %.4f, largest %.4f over %d problems\n",
                std::exp(log_ratio / counted), worst, counted);
  }
  if (fcounted > 0) {
    std::printf("factor time ratio to CHOLMOD (cases above 1 ms): geometric mean %.3f over %d\n",
                std::exp(log_fratio / fcounted), fcounted);
  }
  return 0;
}
