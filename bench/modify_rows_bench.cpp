// Adding and deleting rows: on a problem of 100,000 columns, R rows of 10 elements are
// added one call at a time and deleted again in one call, then added in one call and
// deleted again; each phase is timed, with the peak memory of the process after it.
// Running it for two values of R shows whether the cost grows with R alone.
//
// Usage: modify_rows_bench [ROWS] [--messages DIR]   (ROWS default 100000)
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kqopt.h"

namespace {

constexpr int32_t kColumns = 100000;
constexpr int32_t kPerRow = 10;
constexpr int32_t kNRXTRA = 4, kNMXTRA = 6;

double peak_megabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void quiet(const char*, int32_t, int32_t) {}

int32_t int_attribute(int32_t n) {
  int32_t v = 0;
  KQGETIPV(n, &v);
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  int32_t rows = 100000;
  std::string self(argv[0]);
  std::string messages = self.substr(0, self.find_last_of('/') + 1) + "../out";
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--messages") == 0 && k + 1 < argc) {
      messages = argv[++k];
    } else {
      rows = std::atoi(argv[k]);
    }
  }
  if (KQINITLZ(messages.c_str(), 0) != 0) {
    std::fprintf(stderr, "initialisation failed (message file in %s?)\n", messages.c_str());
    return 1;
  }
  KQDEFINEUOPENTRY(quiet);

  // One empty row and the columns, with room for the rows to come.
  KQSETICV(kNRXTRA, rows);
  KQSETICV(kNMXTRA, rows * kPerRow);
  {
    const char type = 'L';
    const double rhs = 1.0, range = 0.0;
    std::vector<double> obj(kColumns, 1.0), lower(kColumns, 0.0), upper(kColumns, 10.0);
    std::vector<int32_t> start(kColumns + 1, 0);
    if (KQLOADPROB("rows", kColumns, 1, &type, &rhs, &range, obj.data(), start.data(), nullptr, nullptr, nullptr,
                   lower.data(), upper.data()) != 0) {
      std::fprintf(stderr, "load failed\n");
      return 1;
    }
  }
  const double after_load = peak_megabytes();

  // The rows: 10 distinct columns each, spread by a fixed stride.
  std::vector<int32_t> columns(static_cast<std::size_t>(rows) * kPerRow);
  std::vector<double> values(columns.size());
  std::vector<int32_t> starts(static_cast<std::size_t>(rows) + 1);
  std::vector<char> types(static_cast<std::size_t>(rows), 'L');
  std::vector<double> rhs(static_cast<std::size_t>(rows), 10.0);
  for (int32_t i = 0; i < rows; ++i) {
    starts[static_cast<std::size_t>(i)] = i * kPerRow;
    for (int32_t k = 0; k < kPerRow; ++k) {
      const auto q = static_cast<std::size_t>(i) * kPerRow + static_cast<std::size_t>(k);
      columns[q] = static_cast<int32_t>((static_cast<int64_t>(i) * 7919 + static_cast<int64_t>(k) * 10007) % kColumns);
      values[q] = 1.0 + 0.125 * k;
    }
  }
  starts[static_cast<std::size_t>(rows)] = rows * kPerRow;
  std::vector<int32_t> added(static_cast<std::size_t>(rows));
  for (int32_t i = 0; i < rows; ++i) added[static_cast<std::size_t>(i)] = 1 + i;

  std::printf("rows,columns,phase,seconds,peak_mb\n");
  std::printf("%d,%d,load,0,%.1f\n", rows, kColumns, after_load);
  auto t = std::chrono::steady_clock::now();
  for (int32_t i = 0; i < rows; ++i) {
    const int32_t local[2] = {0, kPerRow};
    if (KQADDROWS(1, kPerRow, &types[0], &rhs[0], nullptr, local, &columns[static_cast<std::size_t>(i) * kPerRow],
                  &values[static_cast<std::size_t>(i) * kPerRow]) != 0) {
      std::fprintf(stderr, "adding row %d failed\n", i);
      return 1;
    }
  }
  std::printf("%d,%d,add one at a time,%.3f,%.1f\n", rows, kColumns, seconds_since(t), peak_megabytes());
  t = std::chrono::steady_clock::now();
  if (KQDELROWS(rows, added.data()) != 0) return 1;
  std::printf("%d,%d,delete in one call,%.3f,%.1f\n", rows, kColumns, seconds_since(t), peak_megabytes());
  t = std::chrono::steady_clock::now();
  if (KQADDROWS(rows, rows * kPerRow, types.data(), rhs.data(), nullptr, starts.data(), columns.data(),
                values.data()) != 0) {
    return 1;
  }
  std::printf("%d,%d,add in one call,%.3f,%.1f\n", rows, kColumns, seconds_since(t), peak_megabytes());
  const int32_t elements_added = int_attribute(1006);
  t = std::chrono::steady_clock::now();
  if (KQDELROWS(rows, added.data()) != 0) return 1;
  std::printf("%d,%d,delete in one call,%.3f,%.1f\n", rows, kColumns, seconds_since(t), peak_megabytes());
  std::printf("# elements after adding %d, rows left %d, spare rows %d\n", elements_added, int_attribute(1001),
              int_attribute(1019));
  KQFREEXO();
  return 0;
}
