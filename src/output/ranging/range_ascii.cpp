// The ASCII range files; their layout is in range_ascii.h.
#include "output/ranging/range_ascii.h"

#include <cmath>
#include <cstdio>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "output/name_fields.h"
#include "problem/problem.h"

namespace kqopt {

namespace {

constexpr std::uint32_t kOutsideLimits = 0x40;
constexpr double kInfiniteFrom = 1.0e29;

std::string status_field(const RangeRecord& r, char status_character, std::size_t v, bool row) {
  if (status_character == '\0') return "??";
  const std::uint32_t word = r.status[v];
  if (word & kOutsideLimits) return "**";
  if (row && row_type_letter(r.type_or_count[v]) == 'E') return "EQ";
  if (word & status::kBasic) return "BS";
  if (word & status::kAtUpper) return "UL";
  return "LL";
}

// A row's right-hand side is the limit its slack is measured from: the lower limit of
// a G row, the upper limit of the others (0 when there is none, as for an N row).
double row_rhs(const RangeRecord& r, std::size_t v) {
  const double limit = row_type_letter(r.type_or_count[v]) == 'G' ? r.lower[v] : r.upper[v];
  return std::fabs(limit) >= kInfiniteFrom ? 0.0 : limit;
}

}  // namespace

bool name_matches_exact_mask(std::string_view name, std::string_view mask) {
  for (std::size_t i = 0; i < 8; ++i) {
    const char n = i < name.size() ? name[i] : ' ';
    const char m = i < mask.size() ? mask[i] : ' ';
    if (m != '?' && m != n) return false;
  }
  return true;
}

std::string ascii_range_records(const RangeRecord& r, const AsciiOptions& o) {
  bool any_field = false;
  for (char c : std::string_view("sntbac")) any_field = any_field || o.letter(c);
  auto wanted = [&](char c) { return !any_field || o.letter(c); };
  const char status_character = range_header(r).status_character;
  std::string out;
  std::string line;
  const std::size_t total = static_cast<std::size_t>(r.rows) + static_cast<std::size_t>(r.columns);
  for (std::size_t v = 0; v < total; ++v) {
    const bool row = v < static_cast<std::size_t>(r.rows);
    if (row && r.type_or_count[v] == 0) continue;  // spare row slot
    if (!name_matches_exact_mask(r.name[v], o.mask)) continue;
    const ReportedRange q = reported_range(r, v);
    line.clear();
    if (wanted('s')) ascii_integer_field(line, static_cast<std::int64_t>(v) + 1, 6);
    if (wanted('n')) ascii_text_field(line, r.name[v], 8);
    if (wanted('t')) {
      const char type = row ? row_type_letter(r.type_or_count[v]) : 'C';
      ascii_text_field(line, std::string_view(&type, 1), 1);
    }
    if (wanted('b')) ascii_text_field(line, status_field(r, status_character, v, row), 2);
    if (wanted('a')) ascii_real_field(line, q.activity, o.zero);
    // A row's slack is its right-hand side less its activity, as in the solution file.
    if (wanted('c')) ascii_real_field(line, row ? row_rhs(r, v) - q.activity : r.cost[v], o.zero);
    ascii_real_field(line, q.lower_activity, o.zero);
    ascii_real_field(line, q.lower_unit_cost, o.zero);
    ascii_real_field(line, q.upper_cost, o.zero);
    ascii_text_field(line, limiting_name(r, q.limiting1), 8);
    ascii_text_field(line, limiting_status(r, q.limiting1), 2);
    ascii_real_field(line, q.upper_activity, o.zero);
    ascii_real_field(line, q.upper_unit_cost, o.zero);
    ascii_real_field(line, q.lower_cost, o.zero);
    ascii_text_field(line, limiting_name(r, q.limiting2), 8);
    ascii_text_field(line, limiting_status(r, q.limiting2), 2);
    out += line;
    out += "\r\n";
  }
  return out;
}

std::int32_t write_ascii_ranges(Library& lib, const std::string& name) {
  lib.begin_operation();
  const std::string base = name.empty() ? lib.problem_name : name;
  RangeRecord record;
  const std::string file = base + ".rng";
  std::FILE* probe = std::fopen(file.c_str(), "rb");
  if (probe == nullptr) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  std::fclose(probe);
  if (!read_range_file(file, record)) {
    report_error(lib, kRcInvalidCall, kMessageFileFailed);
    return lib.err.return_code;
  }
  AsciiOptions options;
  options.letters = lib.options;
  options.mask = std::string(lib.controls.ccv[static_cast<std::size_t>(ccv::ASCMSK)].data(), kCharControlLength);
  options.zero = lib.controls.d(dcv::ZTOLPZ);
  if (!write_text_file(lib, base + ".hdr", ascii_header(range_header(record), options.zero))) {
    return lib.err.return_code;
  }
  if (write_text_file(lib, base + ".rsc", ascii_range_records(record, options)) && base == lib.problem_name) {
    warn_if_names_cut(lib, base + ".rsc");
  }
  return lib.err.return_code;
}

}  // namespace kqopt
