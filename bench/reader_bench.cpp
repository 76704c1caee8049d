// Reader benchmark: reads problem files with KQINPUT's core (MPS or LP text by the
// extension), best CPU time of several reads each, with the loaded sizes.
//
// Usage: reader_bench [-r runs] [-m message-directory] FILE...
// (message directory default: ../out beside this program, where the build puts rb-opt.msg).
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "input/input_problem.h"
#include "library/library.h"
#include "library/lifecycle.h"
#include "problem/problem.h"

namespace {

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string messages = std::string(argv[0]);
  messages = messages.substr(0, messages.find_last_of('/') + 1) + "../out";
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "-m") == 0 && i + 1 < argc) {
      messages = argv[++i];
    } else {
      files.emplace_back(argv[i]);
    }
  }
  kqopt::Library lib;
  if (kqopt::initialise(lib, messages.c_str(), 0) != 0) {
    std::fprintf(stderr, "no message file in %s\n", messages.c_str());
    return 2;
  }
  lib.controls.i(kqopt::icv::IFPMSG) = 0;
  int status = 0;
  for (const std::string& file : files) {
    double best = 1e300;
    std::int32_t rc = 0;
    for (int r = 0; r < runs; ++r) {
      double start = cpu_seconds();
      rc = kqopt::input::input_problem(lib, file.c_str());
      double t = cpu_seconds() - start;
      if (t < best) best = t;
    }
    if (rc != 0 || !lib.has_problem()) status = 1;
    std::printf("%-40s rc %2d  rows %8d  columns %8d  elements %10zu  best CPU %.4f s of %d\n", file.c_str(), rc,
                lib.has_problem() ? lib.problem->rows : -1, lib.has_problem() ? lib.problem->columns : -1,
                lib.has_problem() ? lib.problem->by_column.row.size() : std::size_t{0}, best, runs);
  }
  return status;
}
