// kqbench: solves a list of MPS files through the public API and prints, per problem,
// one CSV line (problem, status, objective, relative error against the reference,
// iterations, seconds), then a summary: solved count (status optimal and error at
// most 1e-6) and the shifted geometric mean of seconds (shift 1 s).
//
// usage: kqbench [-m p|d|b] [-r optimal.csv] [-t seconds] [-i n=v]... [--cpu] [--max] [--objective-line]
//                file.mps ...
//
// -i n=v sets integer control n to v before each problem is read (e.g. -i 10=0: IFSCAL 0);
// --cpu measures the seconds as processor time of this process instead of elapsed time;
// --objective-line adds a line "objective VALUE" per problem, the form that the peer
// comparison script reads.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kqopt.h"

namespace {

std::map<std::string, double> read_reference(const std::string& path) {
  std::map<std::string, double> reference;
  std::ifstream in(path);
  std::string line;
  int value_column = -1;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, ',')) fields.push_back(field);
    if (value_column < 0) {
      for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == "optimal_objective") value_column = static_cast<int>(i);
      }
      continue;
    }
    if (static_cast<int>(fields.size()) > value_column && !fields[static_cast<std::size_t>(value_column)].empty()) {
      reference[fields[0]] = std::strtod(fields[static_cast<std::size_t>(value_column)].c_str(), nullptr);
    }
  }
  return reference;
}

std::string problem_name(const std::string& path) {
  std::string base = path.substr(path.find_last_of('/') + 1);
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".mps") == 0) base.resize(base.size() - 4);
  return base;
}

const char* status_text(int32_t status) {
  switch (status) {
    case 1:
      return "optimal";
    case 2:
      return "infeasible";
    case 4:
      return "unfinished";
    case 5:
      return "unbounded";
    default:
      return "error";
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string method = "p";
  std::string reference_path;
  int time_limit = 0;
  bool maximise = false;
  bool cpu_time = false;
  bool objective_line = false;
  std::vector<std::string> files;
  std::vector<std::pair<int32_t, int32_t>> integer_controls;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-m") == 0 && i + 1 < argc)
      method = argv[++i];
    else if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc)
      reference_path = argv[++i];
    else if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc)
      time_limit = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "-i") == 0 && i + 1 < argc) {
      const char* setting = argv[++i];
      const char* equals = std::strchr(setting, '=');
      if (equals == nullptr) {
        std::fprintf(stderr, "kqbench: -i wants n=v, not %s\n", setting);
        return 1;
      }
      integer_controls.emplace_back(std::atoi(setting), std::atoi(equals + 1));
    } else if (std::strcmp(argv[i], "--cpu") == 0) {
      cpu_time = true;
    } else if (std::strcmp(argv[i], "--max") == 0) {
      maximise = true;
    } else if (std::strcmp(argv[i], "--objective-line") == 0) {
      objective_line = true;
    } else {
      files.emplace_back(argv[i]);
    }
  }
  const auto reference = reference_path.empty() ? std::map<std::string, double>{} : read_reference(reference_path);
  const std::string options = method == "p" ? "" : method;
  // Solution files go to a scratch directory, not beside the problem files.
  char scratch_template[] = "/tmp/kqbench-XXXXXX";
  const char* scratch = mkdtemp(scratch_template);
  if (scratch == nullptr) {
    std::fprintf(stderr, "kqbench: no scratch directory\n");
    return 1;
  }

  std::printf("problem,status,objective,relative_error,iterations,seconds\n");
  int solved = 0;
  double log_sum = 0.0;
  for (const std::string& file : files) {
    if (KQINITLZ(nullptr, 0) != 0) {
      std::fprintf(stderr, "kqbench: the library could not start\n");
      return 1;
    }
    KQSETICV(9, 0);   // ITRLOG: final line only
    KQSETICV(35, 0);  // IFPMSG: no messages
    if (time_limit > 0) KQSETICV(20, -time_limit);
    for (const auto& [control, value] : integer_controls) KQSETICV(control, value);
    const std::string name = problem_name(file);
    auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu_start = std::clock();
    int32_t rc = KQINPUT(file.c_str());
    int32_t status = 0, iterations = 0;
    double objective = 0.0;
    const std::string scratch_name = std::string(scratch) + "/" + name;
    KQSETPROB(scratch_name.c_str());
    if (rc == 0 || rc == 32) {
      rc = maximise ? KQMAXIM(options.c_str()) : KQMINIM(options.c_str());
      KQGETIPV(1010, &status);
      KQGETIPV(1009, &iterations);
      KQGETDPV(2001, &objective);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (cpu_time) seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    double error = NAN;
    auto it = reference.find(name);
    if (it != reference.end()) error = std::fabs(objective - it->second) / std::max(1.0, std::fabs(it->second));
    const bool ok = status == 1 && (it == reference.end() || error <= 1e-6);
    if (ok) ++solved;
    log_sum += std::log(seconds + 1.0);
    std::printf("%s,%s,%.10g,%.3g,%d,%.3f\n", name.c_str(), rc != 0 && status == 0 ? "error" : status_text(status),
                objective, error, iterations, seconds);
    if (objective_line && status == 1) std::printf("objective %.15g\n", objective);
    std::fflush(stdout);
    KQFREEXO();
    std::remove((scratch_name + ".sol").c_str());
  }
  rmdir(scratch);
  const double mean = files.empty() ? 0.0 : std::exp(log_sum / static_cast<double>(files.size())) - 1.0;
  std::printf("# solved %d of %zu, shifted geometric mean of seconds %.3f\n", solved, files.size(), mean);
  return 0;
}
