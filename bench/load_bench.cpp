// Load benchmark: 10^6 columns and 5·10^6 elements through the array loader, timed,
// with the peak memory of the process before and after the load compared with the
// bytes of the arrays passed in.
//
// Usage: load_bench [message-directory] (default: ../out beside this program, where
// the build puts rb-opt.msg).
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "library/library.h"
#include "library/lifecycle.h"
#include "problem/load.h"

namespace {

constexpr std::int32_t kColumns = 1000000;
constexpr std::int32_t kRows = 200000;
constexpr std::int32_t kPerColumn = 5;

double peak_megabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double resident_megabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

std::string default_message_directory(const char* argv0) {
  std::string self(argv0);
  std::size_t cut = self.find_last_of('/');
  std::string dir = cut == std::string::npos ? "." : self.substr(0, cut);
  return dir + "/../out";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string messages = argc > 1 ? argv[1] : default_message_directory(argv[0]);
  auto lib = std::make_unique<kqopt::Library>();
  if (kqopt::initialise(*lib, messages.c_str(), 0) != 0) {
    std::fprintf(stderr, "initialisation failed (message file in %s?)\n", messages.c_str());
    return 1;
  }

  // The caller's arrays, built at their exact sizes.
  std::vector<char> qrtype(kRows, 'L');
  std::vector<double> rhs(kRows, 1.0), obj(kColumns), dlb(kColumns, 0.0), dub(kColumns, 10.0);
  std::vector<std::int32_t> mstart(static_cast<std::size_t>(kColumns) + 1);
  const std::size_t nnz = static_cast<std::size_t>(kColumns) * kPerColumn;
  std::vector<std::int32_t> mrwind(nnz);
  std::vector<double> dmatval(nnz);
  std::uint64_t state = 12345;
  for (std::int32_t j = 0; j < kColumns; ++j) {
    obj[static_cast<std::size_t>(j)] = 1.0 + j % 7;
    mstart[static_cast<std::size_t>(j)] = j * kPerColumn;
    for (std::int32_t k = 0; k < kPerColumn; ++k) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      const std::size_t p = static_cast<std::size_t>(j) * kPerColumn + static_cast<std::size_t>(k);
      mrwind[p] = static_cast<std::int32_t>((state >> 33) % kRows);
      dmatval[p] = 1.0 + static_cast<double>((state >> 20) % 1000) / 100.0;
    }
  }
  mstart[kColumns] = static_cast<std::int32_t>(nnz);
  const double caller_bytes =
      static_cast<double>(qrtype.size() + rhs.size() * 8 + obj.size() * 8 + dlb.size() * 8 + dub.size() * 8 +
                          mstart.size() * 4 + mrwind.size() * 4 + dmatval.size() * 8);
  const double caller_mb = caller_bytes / (1024.0 * 1024.0);

  const double resident_before = resident_megabytes();
  const double peak_before = peak_megabytes();

  kqopt::ProblemInput in;
  in.problem_name = "loadbench";
  in.rows = kRows;
  in.columns = kColumns;
  in.row_types = qrtype.data();
  in.rhs = rhs.data();
  in.objective = obj.data();
  in.column_starts = mstart.data();
  in.element_rows = mrwind.data();
  in.element_values = dmatval.data();
  in.lower = dlb.data();
  in.upper = dub.data();

  const auto start = std::chrono::steady_clock::now();
  const std::int32_t rc = kqopt::load_from_arrays(*lib, in, false);
  const auto stop = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(stop - start).count();
  const double peak_after = peak_megabytes();

  std::printf("load of %d columns, %d rows, %zu elements: return code %d\n", kColumns, kRows, nnz, rc);
  std::printf("  time                          %8.3f s\n", seconds);
  std::printf("  caller arrays                 %8.1f MB\n", caller_mb);
  std::printf("  process resident before load  %8.1f MB\n", resident_before);
  std::printf("  process peak before load      %8.1f MB\n", peak_before);
  std::printf("  process peak after load       %8.1f MB (%.2f x caller arrays)\n", peak_after, peak_after / caller_mb);
  std::printf("  peak added by the load        %8.1f MB (%.2f x caller arrays)\n", peak_after - resident_before,
              (peak_after - resident_before) / caller_mb);
  std::printf("  elements kept (attribute 1006) %d\n", *lib->attributes.int_attribute(kqopt::attr::kElements));
  kqopt::release(*lib);
  return rc == 0 ? 0 : 1;
}
