// The ASCII solution files; their layout is in ascii_solution.h.
#include "output/ascii_solution.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/message_numbers.h"
#include "frame/replacing_file.h"
#include "library/library.h"
#include "output/mps_number.h"
#include "output/name_fields.h"
#include "output/solution_file.h"
#include "output/write_failure.h"
#include "problem/problem.h"

namespace kqopt {

namespace {

constexpr double kAsciiInfinity = 1.0e9;
constexpr std::uint32_t kOutsideLimits = 0x40;

std::string status_field(const SolutionRecord& r, std::size_t v, bool row) {
  if (r.status_character == '\0') return "??";
  const std::uint32_t word = r.status[v];
  if (word & kOutsideLimits) return "**";
  if (row && row_type_letter(r.type_or_count[v]) == 'E') return "EQ";
  if (word & status::kBasic) return "BS";
  if (word & status::kAtUpper) return "UL";
  return "LL";
}

double clamp_limit(double value) {
  if (value <= -kAsciiInfinity) return -kAsciiInfinity;
  if (value >= kAsciiInfinity) return kAsciiInfinity;
  return value;
}

bool read_record(const std::string& file, SolutionRecord& record) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return false;
  std::vector<unsigned char> bytes;
  unsigned char chunk[1 << 15];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool ok = std::ferror(in) == 0 && decode_solution(bytes, record);
  std::fclose(in);
  return ok;
}

// The analysis file: one double per variable. False (message given) when it cannot be
// opened, is too short or cannot be closed.
bool read_analysis(Library& lib, const std::string& file, std::size_t count, std::vector<double>& values) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) {
    report_error(lib, kRcInvalidCall, kMessageNestedTooDeep);
    return false;
  }
  values.assign(count, 0.0);
  const std::size_t got = count == 0 ? 0 : std::fread(values.data(), sizeof(double), count, in);
  const bool closed = std::fclose(in) == 0;
  if (got < count) {
    report_error(lib, kRcInvalidCall, kMessageReadError);
    return false;
  }
  if (!closed) {
    report_error(lib, kRcInvalidCall, kMessageCannotClose);
    return false;
  }
  return true;
}

}  // namespace

void ascii_text_field(std::string& line, std::string_view text, std::size_t width) {
  if (!line.empty()) line += ',';
  line += '"';
  const std::string_view cut = text.substr(0, std::min(text.size(), width));
  line += cut;
  line.append(width - cut.size(), ' ');
  line += '"';
}

void ascii_integer_field(std::string& line, std::int64_t value, int width) {
  if (!line.empty()) line += ',';
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%*lld", width, static_cast<long long>(value));
  line += buffer;
}

void ascii_real_field(std::string& line, double value, double zero) {
  if (!line.empty()) line += ',';
  std::string text = std::fabs(value) <= zero ? "0.0" : mps_normal_number(value);
  if (text.size() < kMpsNumberWidth) text.insert(0, kMpsNumberWidth - text.size(), ' ');
  line += text;
}

char row_type_letter(std::int32_t code) {
  if (code & row_type::kFree) return 'N';
  if (code & row_type::kEqual) return 'E';
  if (code & row_type::kGreater) return 'G';
  return 'L';
}

bool write_text_file(Library& lib, const std::string& file, const std::string& contents) {
  ReplacingFile out;
  const bool ok = out.open(file) && out.write(contents) && out.commit();
  if (!ok) report_write_failure(lib, out.error(), file);
  return ok;
}

bool name_matches_mask(std::string_view name, std::string_view mask) {
  for (std::size_t i = 0; i < 8; ++i) {
    const char n = i < name.size() ? name[i] : ' ';
    const char m = i < mask.size() ? mask[i] : ' ';
    if (m == '?') continue;
    if (m == '+') {
      if (n < 'A' || n > 'Z') return false;
    } else if (m == '-') {
      if (n < 'a' || n > 'z') return false;
    } else if (m != n) {
      return false;
    }
  }
  return true;
}

std::string ascii_header(const SolutionRecord& r, double zero) {
  std::string line;
  ascii_text_field(line, r.problem_name, 8);
  ascii_integer_field(line, r.rows, 4);
  ascii_integer_field(line, r.columns, 6);
  ascii_integer_field(line, r.objective_row, 4);
  ascii_text_field(line, std::string_view(&r.status_character, r.status_character == '\0' ? 0 : 1), 1);
  ascii_integer_field(line, r.maximise ? 2 : 1, 4);
  ascii_integer_field(line, r.iterations, 6);
  ascii_integer_field(line, r.primal_infeasibilities, 4);
  ascii_real_field(line, r.objective, zero);
  ascii_real_field(line, r.sum_infeasibilities, zero);
  ascii_text_field(line, r.objective_name, 8);
  ascii_text_field(line, r.rhs_set, 8);
  ascii_integer_field(line, r.global ? 1 : 0, 4);
  ascii_integer_field(line, 0, 4);
  line += "\r\n";
  return line;
}

std::string ascii_records(const SolutionRecord& r, const AsciiOptions& o) {
  bool any_field = false;
  for (char c : std::string_view("sntbacludrpf")) any_field = any_field || o.letter(c);
  auto wanted = [&](char c) { return any_field ? o.letter(c) : (c != 'p' && c != 'f'); };
  const bool skip_small = o.letter('q');
  std::string out;
  std::string line;
  const std::size_t total = static_cast<std::size_t>(r.rows) + static_cast<std::size_t>(r.columns);
  for (std::size_t v = 0; v < total; ++v) {
    const bool row = v < static_cast<std::size_t>(r.rows);
    // Row slots without a type are spares and hold nothing.
    if (row && r.type_or_count[v] == 0) continue;
    if (!name_matches_mask(r.name[v], o.mask)) continue;
    const double activity = row ? r.rhs[v] - r.value[v] : r.value[v];
    if (skip_small && std::fabs(activity) <= o.zero) continue;
    line.clear();
    if (wanted('s')) ascii_integer_field(line, static_cast<std::int64_t>(v) + 1, 6);
    if (wanted('n')) ascii_text_field(line, r.name[v], 8);
    if (wanted('t')) {
      const char type = row ? row_type_letter(r.type_or_count[v]) : 'C';
      ascii_text_field(line, std::string_view(&type, 1), 1);
    }
    if (wanted('b')) ascii_text_field(line, status_field(r, v, row), 2);
    if (wanted('a')) ascii_real_field(line, activity, o.zero);
    if (wanted('c')) ascii_real_field(line, row ? r.value[v] : r.cost[v], o.zero);
    if (wanted('l')) ascii_real_field(line, clamp_limit(r.lower[v]), o.zero);
    if (wanted('u')) ascii_real_field(line, clamp_limit(r.upper[v]), o.zero);
    if (wanted('d')) ascii_real_field(line, r.dual[v], o.zero);
    if (wanted('r') && row) ascii_real_field(line, r.rhs[v], o.zero);
    if (wanted('p')) ascii_real_field(line, v < o.analysis.size() ? o.analysis[v] : 0.0, o.zero);
    if (wanted('f')) {
      const std::int32_t e = v < r.scale_exponent.size() ? r.scale_exponent[v] : 64;
      ascii_real_field(line, std::ldexp(1.0, 64 - e), o.zero);
    }
    out += line;
    out += "\r\n";
  }
  return out;
}

std::int32_t write_ascii_solution(Library& lib, const std::string& name) {
  lib.begin_operation();
  const std::string base = name.empty() ? lib.problem_name : name;
  auto file = [&](const std::string& extension) { return base + "." + extension; };

  SolutionRecord record;
  if (!read_record(file("sol"), record)) {
    // The solution in memory is written first when there is one.
    std::FILE* probe = std::fopen(file("sol").c_str(), "rb");
    const bool exists = probe != nullptr;
    if (probe != nullptr) std::fclose(probe);
    if (exists) {
      report_error(lib, kRcInvalidCall, kMessageFileFailed);
      return lib.err.return_code;
    }
    const bool optimised = lib.has_problem() && lib.engine != nullptr && lib.last_lp_outcome != 0;
    if (!optimised || base != lib.problem_name) {
      report_error(lib, kRcInvalidCall, kMessageNoProblem);
      return lib.err.return_code;
    }
    if (!write_solution_file(lib)) return lib.err.return_code;
    if (!read_record(file("sol"), record)) {
      report_error(lib, kRcInvalidCall, kMessageFileFailed);
      return lib.err.return_code;
    }
  }

  AsciiOptions options;
  options.letters = lib.options;
  options.mask = std::string(lib.controls.ccv[static_cast<std::size_t>(ccv::ASCMSK)].data(), kCharControlLength);
  options.zero = lib.controls.d(dcv::ZTOLPZ);
  const std::size_t variables = static_cast<std::size_t>(record.rows) + static_cast<std::size_t>(record.columns);
  if (options.letter('p') && !read_analysis(lib, file("ana"), variables, options.analysis)) {
    return lib.err.return_code;
  }
  if (!write_text_file(lib, file("hdr"), ascii_header(record, options.zero)) ||
      !write_text_file(lib, file("asc"), ascii_records(record, options))) {
    return lib.err.return_code;
  }
  if (base == lib.problem_name) warn_if_names_cut(lib, file("asc"));
  if (!options.letter('e')) return lib.err.return_code;
  // Kept solutions: so0 into hd0 and as0, so1 into hd1 and as1, ... until one is missing.
  for (int k = 0; k <= 9; ++k) {
    const std::string digit(1, static_cast<char>('0' + k));
    SolutionRecord kept;
    std::FILE* probe = std::fopen(file("so" + digit).c_str(), "rb");
    if (probe == nullptr) break;
    std::fclose(probe);
    if (!read_record(file("so" + digit), kept)) {
      report_error(lib, kRcInvalidCall, kMessageFileFailed);
      return lib.err.return_code;
    }
    if (!write_text_file(lib, file("hd" + digit), ascii_header(kept, options.zero)) ||
        !write_text_file(lib, file("as" + digit), ascii_records(kept, options))) {
      return lib.err.return_code;
    }
  }
  return lib.err.return_code;
}

}  // namespace kqopt
