// The round-trip tests' LP-text writer.
#include "support/lp_writer.h"

#include <cmath>
#include <cstdio>
#include <set>

#include "library/library.h"
#include "problem/problem.h"
#include "problem/retrieval.h"

namespace kqopt::test {

namespace {

bool letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool symbol(char c) {
  for (const char* s = "!\"#$%&()/,;?@_`'{}|~"; *s; ++s) {
    if (c == *s) return true;
  }
  return false;
}
bool digit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool usable(const std::string& name) {
  if (name.empty() || !(letter(name[0]) || symbol(name[0]))) return false;
  for (char c : name) {
    if (!(letter(c) || digit(c) || symbol(c) || c == '.')) return false;
  }
  for (const char* word : {"end", "bound", "gen", "int", "bin"}) {
    std::size_t i = 0;
    while (word[i] != '\0' && i < name.size() && lower(name[i]) == word[i]) ++i;
    if (word[i] == '\0') return false;
  }
  return true;
}

std::vector<std::string> names(Library& lib, int type, std::int32_t count, char prefix, std::int32_t& renamed) {
  std::vector<std::string> out(static_cast<std::size_t>(count));
  if (count == 0) return out;
  int width = 8 * ((lib.controls.i(icv::NAMLEN) + 7) / 8);
  std::vector<char> buffer(static_cast<std::size_t>(count) * static_cast<std::size_t>(width + 1) + 1);
  get_names(lib, type, buffer.data(), 0, count - 1);
  std::set<std::string> seen;
  for (std::int32_t i = 0; i < count; ++i) {
    std::string s(buffer.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(width + 1));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (!usable(s) || !seen.insert(s).second) {
      char generated[16];
      std::snprintf(generated, sizeof generated, "_%c%06d", prefix, i);
      s = generated;
      ++renamed;
    }
    out[static_cast<std::size_t>(i)] = s;
  }
  return out;
}

std::string number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

// " + 3 x" / " - 3 x", lines broken every few terms.
void term(std::string& out, double value, const std::string& name, int& on_line) {
  if (on_line == 6) {
    out += "\n   ";
    on_line = 0;
  }
  out += value < 0 ? " - " : " + ";
  out += number(value < 0 ? -value : value);
  out += " ";
  out += name;
  ++on_line;
}

}  // namespace

LpText write_lp_text(Library& lib) {
  LpText lp;
  const std::int32_t m = lib.problem->rows;
  const std::int32_t n = lib.problem->columns;
  std::vector<std::string> row_name = names(lib, 1, m, 'R', lp.renamed);
  std::vector<std::string> column_name = names(lib, 2, n, 'C', lp.renamed);
  std::vector<double> cost(static_cast<std::size_t>(n) + 1), lo(cost), up(cost);
  std::vector<char> column_type(static_cast<std::size_t>(n) + 1);
  if (n > 0) {
    get_objective(lib, cost.data(), 0, n - 1, Units::kCaller);
    get_lower_bounds(lib, lo.data(), 0, n - 1, Units::kCaller);
    get_upper_bounds(lib, up.data(), 0, n - 1, Units::kCaller);
    get_column_types(lib, column_type.data(), 0, n - 1);
  }
  std::int32_t entities = 0, sets = 0;
  get_global(lib, &entities, &sets, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (sets > 0) lp.complete = false;

  std::string& out = lp.text;
  out += "\\ written from the loaded problem\nminimize\n obj:";
  int on_line = 0;
  for (std::int32_t j = 0; j < n; ++j)
    term(out, cost[static_cast<std::size_t>(j)], column_name[static_cast<std::size_t>(j)], on_line);
  if (lib.problem->objective_constant != 0.0) {
    out += lib.problem->objective_constant < 0 ? " - " : " + ";
    out += number(std::abs(lib.problem->objective_constant));
  }
  out += "\nsubject to\n";

  std::vector<double> rhs(static_cast<std::size_t>(m) + 1), range(rhs);
  std::vector<char> type(static_cast<std::size_t>(m) + 1);
  std::vector<std::int32_t> start(static_cast<std::size_t>(m) + 1);
  std::int32_t elements = 0;
  if (m > 0) {
    get_rhs(lib, rhs.data(), 0, m - 1, Units::kCaller);
    get_range(lib, range.data(), 0, m - 1, Units::kCaller);
    get_row_types(lib, type.data(), 0, m - 1);
    get_rows(lib, start.data(), nullptr, nullptr, 0, &elements, 0, m - 1, Units::kCaller);
  }
  std::vector<std::int32_t> column(static_cast<std::size_t>(elements) + 1);
  std::vector<double> value(static_cast<std::size_t>(elements) + 1);
  if (m > 0) get_rows(lib, start.data(), column.data(), value.data(), elements, &elements, 0, m - 1, Units::kCaller);

  auto write_row = [&](std::int32_t i, const std::string& name, char t, double b) {
    out += " " + name + ":";
    on_line = 0;
    for (std::int32_t e = start[static_cast<std::size_t>(i)]; e < start[static_cast<std::size_t>(i) + 1]; ++e) {
      term(out, value[static_cast<std::size_t>(e)],
           column_name[static_cast<std::size_t>(column[static_cast<std::size_t>(e)])], on_line);
    }
    out += t == 'L' ? " <= " : t == 'G' ? " >= " : " = ";
    out += number(b) + "\n";
    lp.rows.push_back({i, t, b});
  };
  std::vector<std::int32_t> ranged;
  for (std::int32_t i = 0; i < m; ++i) {
    auto k = static_cast<std::size_t>(i);
    if (type[k] == 'N' || start[k] == start[k + 1]) continue;
    if (type[k] == 'R') {
      write_row(i, row_name[k], 'G', rhs[k] - range[k]);
      ranged.push_back(i);
    } else {
      write_row(i, row_name[k], type[k], rhs[k]);
    }
  }
  for (std::int32_t i : ranged) {
    char name[16];
    std::snprintf(name, sizeof name, "_U%06d", i);
    write_row(i, name, 'L', rhs[static_cast<std::size_t>(i)]);
  }

  std::string generals, binaries, bounds;
  for (std::int32_t j = 0; j < n; ++j) {
    auto k = static_cast<std::size_t>(j);
    const std::string& x = column_name[k];
    char t = column_type[k];
    if (t == 'B') {
      binaries += " " + x + "\n";
      if (lo[k] == 0.0 && up[k] == 1.0) continue;
    } else if (t == 'I') {
      generals += " " + x + "\n";
    } else if (t != 'C') {
      lp.complete = false;
    }
    bool lower_default = lo[k] == 0.0;
    bool upper_infinite = up[k] >= 1e29;
    // An integer column without an upper bound: a finite-looking infinity keeps it general.
    std::string upper = upper_infinite ? (t == 'I' ? "1e30" : "inf") : number(up[k]);
    if (lo[k] == up[k]) {
      bounds += " " + x + " = " + number(lo[k]) + "\n";
    } else if (lo[k] <= -1e29 && upper_infinite && t != 'I') {
      bounds += " " + x + " free\n";
    } else if (lo[k] <= -1e29) {
      bounds += " -inf <= " + x + " <= " + upper + "\n";
    } else if (!lower_default && (!upper_infinite || t == 'I')) {
      bounds += " " + number(lo[k]) + " <= " + x + " <= " + upper + "\n";
    } else if (!lower_default) {
      bounds += " " + x + " >= " + number(lo[k]) + "\n";
    } else if (!upper_infinite || t == 'I') {
      bounds += " " + x + " <= " + upper + "\n";
    }
  }
  if (!generals.empty()) out += "generals\n" + generals;
  if (!binaries.empty()) out += "binaries\n" + binaries;
  if (!bounds.empty()) out += "bounds\n" + bounds;
  out += "end\n";
  return lp;
}

}  // namespace kqopt::test
