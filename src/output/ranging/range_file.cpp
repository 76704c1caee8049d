// Writing the range file from the ranges of the optimal basis, and reading the
// reported quantities back from it.
#include "output/ranging/range_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/message_numbers.h"
#include "frame/replacing_file.h"
#include "library/library.h"
#include "output/solution_file.h"
#include "problem/index_base.h"
#include "problem/problem.h"
#include "simplex/driver/range_analysis.h"

namespace kqopt {

namespace {

constexpr std::size_t kHeaderBytes = 256;
constexpr std::size_t kItem = 8;
constexpr std::size_t kGroupBytes = 8 * kItem;
constexpr double kNone = 1.0e30;
constexpr double kInfiniteFrom = 1.0e29;

float single(double v) {
  if (v >= kInfiniteFrom) return static_cast<float>(kNone);
  if (v <= -kInfiniteFrom) return static_cast<float>(-kNone);
  return static_cast<float>(v);
}
// A stored single back as a double, 1.0e30 exactly for none.
double widen(float v) {
  if (v >= kInfiniteFrom) return kNone;
  if (v <= -kInfiniteFrom) return -kNone;
  return static_cast<double>(v);
}
double sum(double x, double change) {
  if (change >= kInfiniteFrom) return kNone;
  if (change <= -kInfiniteFrom) return -kNone;
  return x + change;
}

template <class T>
void put(std::vector<unsigned char>& bytes, std::size_t at, T value) {
  std::memcpy(&bytes[at], &value, sizeof value);
}
template <class T>
T get(std::span<const unsigned char> bytes, std::size_t at) {
  T value;
  std::memcpy(&value, &bytes[at], sizeof value);
  return value;
}

bool read_bytes(const std::string& file, std::vector<unsigned char>& bytes) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return false;
  unsigned char chunk[1 << 15];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool ok = std::ferror(in) == 0;
  std::fclose(in);
  return ok;
}

}  // namespace

std::vector<unsigned char> encode_ranges(const RangeRecord& r) {
  const std::size_t total = static_cast<std::size_t>(r.rows) + static_cast<std::size_t>(r.columns);
  std::vector<unsigned char> bytes(kHeaderBytes + total * kGroupBytes, 0);
  std::copy(r.header.begin(), r.header.end(), bytes.begin());
  for (std::size_t v = 0; v < total; ++v) {
    const std::size_t at = kHeaderBytes + v * kGroupBytes;
    std::memset(&bytes[at], ' ', kItem);
    std::memcpy(&bytes[at], r.name[v].data(), std::min(r.name[v].size(), kItem));
    put(bytes, at + 8, r.type_or_count[v]);
    put(bytes, at + 12, r.status[v]);
    put(bytes, at + 16, r.value[v]);
    put(bytes, at + 24, r.cost[v]);
    put(bytes, at + 32, r.lower[v]);
    put(bytes, at + 36, r.upper[v]);
    put(bytes, at + 40, r.r1[v]);
    put(bytes, at + 44, r.r2[v]);
    put(bytes, at + 48, r.l1[v]);
    put(bytes, at + 52, r.l2[v]);
    put(bytes, at + 56, r.reference1[v]);
    put(bytes, at + 58, r.reference2[v]);
  }
  return bytes;
}

bool decode_ranges(std::span<const unsigned char> bytes, RangeRecord& r) {
  if (bytes.size() < kHeaderBytes) return false;
  std::copy(bytes.begin(), bytes.begin() + kHeaderBytes, r.header.begin());
  r.rows = get<std::int32_t>(bytes, 8);
  r.columns = get<std::int32_t>(bytes, 12);
  r.maximise = bytes[2 * kItem + 5] == 2;
  if (r.rows < 0 || r.columns < 0) return false;
  const std::size_t total = static_cast<std::size_t>(r.rows) + static_cast<std::size_t>(r.columns);
  if ((bytes.size() - kHeaderBytes) / kGroupBytes < total) return false;
  r.name.resize(total);
  for (auto* v : {&r.type_or_count}) v->resize(total);
  r.status.resize(total);
  r.value.resize(total);
  r.cost.resize(total);
  for (auto* v : {&r.lower, &r.upper, &r.r1, &r.r2, &r.l1, &r.l2}) v->resize(total);
  r.reference1.resize(total);
  r.reference2.resize(total);
  for (std::size_t v = 0; v < total; ++v) {
    const std::size_t at = kHeaderBytes + v * kGroupBytes;
    r.name[v].assign(reinterpret_cast<const char*>(&bytes[at]), kItem);
    r.type_or_count[v] = get<std::int32_t>(bytes, at + 8);
    r.status[v] = get<std::uint32_t>(bytes, at + 12);
    r.value[v] = get<double>(bytes, at + 16);
    r.cost[v] = get<double>(bytes, at + 24);
    r.lower[v] = get<float>(bytes, at + 32);
    r.upper[v] = get<float>(bytes, at + 36);
    r.r1[v] = get<float>(bytes, at + 40);
    r.r2[v] = get<float>(bytes, at + 44);
    r.l1[v] = get<float>(bytes, at + 48);
    r.l2[v] = get<float>(bytes, at + 52);
    r.reference1[v] = get<std::int16_t>(bytes, at + 56);
    r.reference2[v] = get<std::int16_t>(bytes, at + 58);
  }
  return true;
}

ReportedRange reported_range(const RangeRecord& r, std::size_t v) {
  ReportedRange out;
  const bool is_row = v < static_cast<std::size_t>(r.rows);
  const std::uint32_t word = r.status[v] & 0xFFFFu;
  const bool basic = (word & status::kBasic) != 0;
  // A row's logical at its upper bound leaves the activity at its lower limit.
  const bool rests_low = ((word & status::kAtUpper) != 0) == is_row;
  const double lower = widen(r.lower[v]);
  const double upper = widen(r.upper[v]);
  double x = r.value[v];
  if (!basic) {
    x = rests_low ? lower : upper;
    if (std::fabs(x) >= kInfiniteFrom) x = 0.0;  // a free variable rests at zero
  }
  out.activity = x;
  out.lower_activity = sum(x, widen(r.r1[v]));
  out.upper_activity = sum(x, widen(r.r2[v]));
  out.limiting1 = r.reference1[v];
  out.limiting2 = r.reference2[v];
  const double c = r.cost[v];
  if (basic) {
    out.lower_unit_cost = widen(r.l1[v]);
    out.upper_unit_cost = widen(r.l2[v]);
    out.upper_cost = sum(c, widen(r.l1[v]));
    out.lower_cost = sum(c, -widen(r.l2[v]));
    return out;
  }
  const double d = r.value[v];
  out.lower_unit_cost = is_row ? d : -d;
  out.upper_unit_cost = is_row ? -d : d;
  // A fixed variable never leaves its value, whatever its cost.
  if (r.lower[v] == r.upper[v]) {
    out.upper_cost = kNone;
    out.lower_cost = -kNone;
    return out;
  }
  // The cost may move freely in the direction that makes the variable less attractive
  // and up to the reduced cost in the other.
  const bool free_upward = rests_low != r.maximise;
  out.upper_cost = free_upward ? kNone : c - d;
  out.lower_cost = free_upward ? c - d : -kNone;
  return out;
}

bool read_range_file(const Library& lib, RangeRecord& record) {
  return read_range_file(problem_file_name(lib, "rng"), record);
}

bool read_range_file(const std::string& file, RangeRecord& record) {
  std::vector<unsigned char> bytes;
  return read_bytes(file, bytes) && decode_ranges(bytes, record);
}

SolutionRecord range_header(const RangeRecord& record) {
  // The header alone, with counts of zero, decodes as a solution file of no variables.
  std::vector<unsigned char> bytes(record.header.begin(), record.header.end());
  std::memset(&bytes[8], 0, 8);
  SolutionRecord header;
  decode_solution(bytes, header);
  header.rows = record.rows;
  header.columns = record.columns;
  return header;
}

namespace {
bool names_variable(const RangeRecord& r, std::int32_t reference) {
  const std::int64_t k = reference < 0 ? -static_cast<std::int64_t>(reference) : reference;
  return k >= 1 && k <= static_cast<std::int64_t>(r.name.size());
}
}  // namespace

std::string limiting_name(const RangeRecord& r, std::int32_t reference) {
  if (!names_variable(r, reference)) return std::string(8, ' ');
  std::string name = r.name[static_cast<std::size_t>(reference < 0 ? -reference : reference) - 1];
  name.resize(8, ' ');
  return name;
}

std::string limiting_status(const RangeRecord& r, std::int32_t reference) {
  if (!names_variable(r, reference)) return "  ";
  return reference < 0 ? "UL" : "LL";
}

std::int32_t write_range_file(Library& lib) {
  VariableRanges ranges;
  if (range_analysis(lib, ranges) != 0) return lib.err.return_code;
  // The header and the per-variable solution items come from a fresh solution file.
  SolutionRecord solution;
  if (!write_solution_file(lib)) return lib.err.return_code;
  if (!read_solution_file(lib, solution)) {
    report_error(lib, kRcInvalidCall, kMessageFileFailed);
    return lib.err.return_code;
  }
  RangeRecord r;
  const std::vector<unsigned char> solution_bytes = encode_solution(solution);
  std::copy(solution_bytes.begin(), solution_bytes.begin() + kHeaderBytes, r.header.begin());
  r.rows = solution.rows;
  r.columns = solution.columns;
  const std::size_t total = static_cast<std::size_t>(r.rows) + static_cast<std::size_t>(r.columns);
  r.name = solution.name;
  r.type_or_count = solution.type_or_count;
  r.status = solution.status;
  r.cost = solution.cost;
  r.value.resize(total);
  for (auto* v : {&r.lower, &r.upper, &r.r1, &r.r2, &r.l1, &r.l2}) v->resize(total);
  r.reference1.resize(total);
  r.reference2.resize(total);
  for (std::size_t v = 0; v < total; ++v) {
    r.value[v] = ranges.basic[v] ? ranges.activity[v] : solution.dual[v];
    r.lower[v] = single(solution.lower[v]);
    r.upper[v] = single(solution.upper[v]);
    r.r1[v] = single(ranges.lower_change[v]);
    r.r2[v] = single(ranges.upper_change[v]);
    r.l1[v] = ranges.basic[v] ? single(ranges.cost_up[v]) : 0.0f;
    r.l2[v] = ranges.basic[v] ? single(ranges.cost_down[v]) : 0.0f;
    r.reference1[v] = static_cast<std::int16_t>(ranges.lower_reference[v]);
    r.reference2[v] = static_cast<std::int16_t>(ranges.upper_reference[v]);
  }
  const std::vector<unsigned char> bytes = encode_ranges(r);
  ReplacingFile out;
  if (!(out.open(problem_file_name(lib, "rng")) && out.write(bytes.data(), bytes.size()) && out.commit())) {
    report_error(lib, kRcInvalidCall, kMessageFileFailed);
  }
  return lib.err.return_code;
}

namespace {

bool load_ranges(Library& lib, RangeRecord& record) {
  lib.begin_operation();
  if (!require_problem(lib)) return false;
  if (!read_range_file(lib, record) || record.rows != lib.problem->row_slots() ||
      record.columns != lib.problem->columns) {
    report_error(lib, kRcInvalidCall, kMessageFileFailed);
    return false;
  }
  return true;
}

}  // namespace

std::int32_t column_ranges(Library& lib, std::array<double*, 6> a) {
  RangeRecord record;
  if (!load_ranges(lib, record)) return lib.err.return_code;
  for (std::int32_t j = 0; j < record.columns; ++j) {
    const ReportedRange q = reported_range(record, static_cast<std::size_t>(record.rows + j));
    const double values[6] = {q.upper_activity,  q.lower_activity, q.upper_unit_cost,
                              q.lower_unit_cost, q.upper_cost,     q.lower_cost};
    for (int k = 0; k < 6; ++k) {
      if (a[static_cast<std::size_t>(k)] != nullptr) a[static_cast<std::size_t>(k)][j] = values[k];
    }
  }
  return lib.err.return_code;
}

std::int32_t row_ranges(Library& lib, std::array<double*, 4> a) {
  RangeRecord record;
  if (!load_ranges(lib, record)) return lib.err.return_code;
  for (std::int32_t i = 0; i < lib.problem->rows; ++i) {
    const ReportedRange q = reported_range(record, static_cast<std::size_t>(i));
    const double values[4] = {q.upper_activity, q.lower_activity, q.upper_unit_cost, q.lower_unit_cost};
    for (int k = 0; k < 4; ++k) {
      if (a[static_cast<std::size_t>(k)] != nullptr) a[static_cast<std::size_t>(k)][i] = values[k];
    }
  }
  return lib.err.return_code;
}

}  // namespace kqopt
