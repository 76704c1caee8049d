// Warm against cold re-solves after one bound change: each Netlib problem up to a row
// limit is solved, the bound of the column with the largest optimal value is moved to
// half that value (cutting the optimum off), and the problem is solved again from the
// kept basis (dual simplex, and with --primal the primal too) and from scratch.
//
// Usage: modify_warm_bench DATA_DIR [--max-rows N] [--primal] [--only NAME] [--messages DIR]
// DATA_DIR holds netlib/optimal.csv and the MPS files. One CSV line per problem:
// name, rows, iterations of the first solve, of the warm dual re-solve (and warm
// primal), of the cold re-solve, the LP status after the change (1 optimal, 2
// infeasible) and the relative difference of the two optima.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kqopt.h"

namespace {

int32_t int_attribute(int32_t n) {
  int32_t v = 0;
  KQGETIPV(n, &v);
  return v;
}
double objective() {
  double v = 0.0;
  KQGETDPV(2001, &v);
  return v;
}
void quiet(const char*, int32_t, int32_t) {}

struct Change {
  int32_t column = -1;
  char type = 'U';
  double value = 0.0;
};

bool read_problem(const std::string& file) {
  if (KQINPUT(file.c_str()) != 0) return false;
  KQSETPROB("warmbench");
  return true;
}

// The bound change that cuts off the optimum just found.
Change choose_change() {
  const int32_t rows = int_attribute(1001);
  const int32_t cols = int_attribute(1002) - rows - int_attribute(1019);
  std::vector<double> x(static_cast<std::size_t>(cols));
  Change c;
  if (cols == 0 || KQSOLUTION(x.data(), nullptr, nullptr, nullptr) != 0) return c;
  double best = 1.0e-7;
  for (int32_t j = 0; j < cols; ++j) {
    if (std::fabs(x[static_cast<std::size_t>(j)]) > best) {
      best = std::fabs(x[static_cast<std::size_t>(j)]);
      c.column = j;
    }
  }
  if (c.column >= 0) {
    const double v = x[static_cast<std::size_t>(c.column)];
    c.type = v > 0.0 ? 'U' : 'L';
    c.value = v / 2.0;
  }
  return c;
}

struct Run {
  int32_t status = 0;
  int32_t iterations = 0;
  double objective = 0.0;
};
Run solve(const char* options) {
  Run r;
  KQMINIM(options);
  r.status = int_attribute(1010);
  r.iterations = int_attribute(1009);
  r.objective = objective();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DATA_DIR [--max-rows N] [--primal] [--messages DIR]\n", argv[0]);
    return 2;
  }
  const std::string data = argv[1];
  int max_rows = 1000;
  bool primal = false;
  std::string only;
  std::string self(argv[0]);
  std::string messages = self.substr(0, self.find_last_of('/') + 1) + "../out";
  for (int k = 2; k < argc; ++k) {
    if (std::strcmp(argv[k], "--max-rows") == 0 && k + 1 < argc) max_rows = std::atoi(argv[++k]);
    if (std::strcmp(argv[k], "--primal") == 0) primal = true;
    if (std::strcmp(argv[k], "--only") == 0 && k + 1 < argc) only = argv[++k];
    if (std::strcmp(argv[k], "--messages") == 0 && k + 1 < argc) messages = argv[++k];
  }
  if (KQINITLZ(messages.c_str(), 0) != 0) {
    std::fprintf(stderr, "initialisation failed (message file in %s?)\n", messages.c_str());
    return 1;
  }
  KQDEFINEUOPENTRY(quiet);
  std::ifstream csv(data + "/netlib/optimal.csv");
  std::string line;
  std::printf("name,rows,first,warm_dual,%scold,status,rel_diff\n", primal ? "warm_primal," : "");
  long long warm_total = 0, primal_total = 0, cold_total = 0;
  double log_warm = 0.0, log_cold = 0.0;
  int count = 0, agree = 0;
  bool header = true;
  while (std::getline(csv, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (header) {
      header = false;
      continue;
    }
    std::stringstream fields(line);
    std::string name, rows_text;
    std::getline(fields, name, ',');
    std::getline(fields, rows_text, ',');
    if (std::atoi(rows_text.c_str()) > max_rows || (!only.empty() && name != only)) continue;
    const std::string file = data + "/netlib/" + name + ".mps";
    if (!std::ifstream(file).good() || !read_problem(file)) continue;
    const Run first = solve(nullptr);
    if (first.status != 1) continue;
    const Change change = choose_change();
    if (change.column < 0) continue;
    KQCHGBDS(1, &change.column, &change.type, &change.value);
    const Run warm = solve("d");
    Run warm_primal;
    if (primal) {
      read_problem(file);
      solve(nullptr);
      KQCHGBDS(1, &change.column, &change.type, &change.value);
      warm_primal = solve(nullptr);
    }
    read_problem(file);
    KQCHGBDS(1, &change.column, &change.type, &change.value);
    const Run cold = solve(nullptr);
    const bool both = warm.status == cold.status;
    const double diff = std::fabs(warm.objective - cold.objective) / std::max(1.0, std::fabs(cold.objective));
    if (both && (warm.status != 1 || diff <= 1e-9)) ++agree;
    std::printf("%s,%s,%d,%d,", name.c_str(), rows_text.c_str(), first.iterations, warm.iterations);
    if (primal) std::printf("%d,", warm_primal.iterations);
    std::printf("%d,%d,%.2e%s\n", cold.iterations, cold.status, diff, both ? "" : " (status differs)");
    std::fflush(stdout);
    warm_total += warm.iterations;
    primal_total += warm_primal.iterations;
    cold_total += cold.iterations;
    log_warm += std::log(warm.iterations + 1.0);
    log_cold += std::log(cold.iterations + 1.0);
    ++count;
  }
  if (count > 0) {
    std::printf("# problems %d, agreeing %d; iterations warm dual %lld", count, agree, warm_total);
    if (primal) std::printf(", warm primal %lld", primal_total);
    std::printf(", cold %lld; geometric means (shift 1) warm %.1f cold %.1f\n", cold_total,
                std::exp(log_warm / count) - 1.0, std::exp(log_cold / count) - 1.0);
  }
  KQFREEXO();
  return 0;
}
