// scale_ratio: how far scaling brings the matrix entries together. For each MPS file it
// prints the ratio of the largest to the smallest absolute matrix entry (constraint
// rows only: N rows are left out) as loaded and as stored after scaling, then the
// geometric mean of both ratios over the files.
//
// usage: scale_ratio [-s IFSCAL] file.mps ...
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kqopt.h"

namespace {

// Largest over smallest |a_ij| of the loaded problem's constraint rows, in the
// caller's units (internal = false) or as stored (internal = true); 0 without entries.
double entry_ratio(bool internal) {
  int32_t rows = 0, last = 0, spare = 0;
  KQGETIPV(1001, &rows);
  KQGETIPV(1002, &last);
  KQGETIPV(1019, &spare);
  const int32_t columns = last - rows - spare;
  std::vector<char> types(static_cast<std::size_t>(rows) + 1);
  if (rows > 0) KQGETROWTYPE(types.data(), 0, rows - 1);
  int32_t nels = 0;
  if (columns <= 0) return 0.0;
  (internal ? KQIGETCOLS : KQGETCOLS)(nullptr, nullptr, nullptr, 0, &nels, 0, columns - 1);
  std::vector<int32_t> start(static_cast<std::size_t>(columns) + 1), row(static_cast<std::size_t>(nels) + 1);
  std::vector<double> value(static_cast<std::size_t>(nels) + 1);
  (internal ? KQIGETCOLS : KQGETCOLS)(start.data(), row.data(), value.data(), nels, &nels, 0, columns - 1);
  double largest = 0.0, smallest = HUGE_VAL;
  for (int32_t k = 0; k < nels; ++k) {
    if (types[static_cast<std::size_t>(row[static_cast<std::size_t>(k)])] == 'N') continue;
    const double a = std::fabs(value[static_cast<std::size_t>(k)]);
    if (a == 0.0) continue;
    largest = std::max(largest, a);
    smallest = std::min(smallest, a);
  }
  return largest > 0.0 ? largest / smallest : 0.0;
}

std::string problem_name(const std::string& path) {
  std::string base = path.substr(path.find_last_of('/') + 1);
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".mps") == 0) base.resize(base.size() - 4);
  return base;
}

}  // namespace

int main(int argc, char** argv) {
  int32_t ifscal = -1;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-s") == 0 && i + 1 < argc)
      ifscal = std::atoi(argv[++i]);
    else
      files.emplace_back(argv[i]);
  }
  std::printf("problem,ratio_loaded,ratio_scaled\n");
  double log_loaded = 0.0, log_scaled = 0.0;
  int counted = 0;
  for (const std::string& file : files) {
    if (KQINITLZ(nullptr, 0) != 0) {
      std::fprintf(stderr, "scale_ratio: the library could not start\n");
      return 1;
    }
    KQSETICV(35, 0);  // IFPMSG: no messages
    if (ifscal >= 0) KQSETICV(10, ifscal);
    const int32_t rc = KQINPUT(file.c_str());
    if (rc == 0 || rc == 32) {
      const double loaded = entry_ratio(false), scaled = entry_ratio(true);
      std::printf("%s,%.6g,%.6g\n", problem_name(file).c_str(), loaded, scaled);
      if (loaded > 0.0 && scaled > 0.0) {
        log_loaded += std::log(loaded);
        log_scaled += std::log(scaled);
        ++counted;
      }
    } else {
      std::printf("%s,error,error\n", problem_name(file).c_str());
    }
    KQFREEXO();
  }
  if (counted > 0) {
    std::printf("# geometric mean over %d problems: loaded %.6g, scaled %.6g\n", counted,
                std::exp(log_loaded / counted), std::exp(log_scaled / counted));
  }
  return 0;
}
