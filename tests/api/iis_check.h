// Checking infeasible sets through the public header: an LP held in the caller's
// arrays, the sets read back from the printed report, and each set solved on its own
// by a freshly initialised library.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "kqopt.h"

namespace iis_check {

inline constexpr double kFree = 1.0e30;

// min 0 subject to the rows and bounds; elements column-wise.
struct Lp {
  std::vector<char> types;  // 'N', 'L', 'G', 'E', 'R'
  std::vector<double> rhs;
  std::vector<double> range;
  std::vector<double> cost;
  std::vector<int32_t> start{0};
  std::vector<int32_t> row;
  std::vector<double> value;
  std::vector<double> lower;
  std::vector<double> upper;

  int32_t rows() const { return static_cast<int32_t>(types.size()); }
  int32_t columns() const { return static_cast<int32_t>(lower.size()); }
};

// Rows of a dense matrix, one string of row types, bounds per column.
inline Lp dense(const std::vector<std::vector<double>>& a, const std::string& types, const std::vector<double>& rhs,
                const std::vector<double>& range, const std::vector<double>& lower, const std::vector<double>& upper) {
  Lp lp;
  lp.types.assign(types.begin(), types.end());
  lp.rhs = rhs;
  lp.range = range.empty() ? std::vector<double>(rhs.size(), 0.0) : range;
  lp.lower = lower;
  lp.upper = upper;
  lp.cost.assign(lower.size(), 0.0);
  for (std::size_t j = 0; j < lower.size(); ++j) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i][j] != 0.0) {
        lp.row.push_back(static_cast<int32_t>(i));
        lp.value.push_back(a[i][j]);
      }
    }
    lp.start.push_back(static_cast<int32_t>(lp.row.size()));
  }
  return lp;
}

inline int32_t load(const Lp& lp, const char* name) {
  std::vector<char> types(lp.types);
  types.push_back('\0');
  return KQLOADPROB(name, lp.columns(), lp.rows(), types.data(), lp.rhs.data(), lp.range.data(), lp.cost.data(),
                    lp.start.data(), nullptr, lp.row.data(), lp.value.data(), lp.lower.data(), lp.upper.data());
}

// The loaded problem in the caller's units (0-based indices).
inline bool read_loaded(Lp& lp) {
  int32_t m = 0, n = 0;
  if (KQGETIPV(1001, &m) != 0 || KQGETIPV(1018, &n) != 0) return false;
  lp.types.assign(static_cast<std::size_t>(m) + 1, '\0');
  lp.rhs.assign(static_cast<std::size_t>(m), 0.0);
  lp.range.assign(static_cast<std::size_t>(m), 0.0);
  lp.cost.assign(static_cast<std::size_t>(n), 0.0);
  lp.lower.assign(static_cast<std::size_t>(n), 0.0);
  lp.upper.assign(static_cast<std::size_t>(n), 0.0);
  lp.start.assign(static_cast<std::size_t>(n) + 1, 0);
  int32_t elements = 0;
  if (KQGETROWTYPE(lp.types.data(), 0, m - 1) != 0 || KQGETRHS(lp.rhs.data(), 0, m - 1) != 0 ||
      KQGETRNG(lp.range.data(), 0, m - 1) != 0 || KQGETBDL(lp.lower.data(), 0, n - 1) != 0 ||
      KQGETBDU(lp.upper.data(), 0, n - 1) != 0 ||
      KQGETCOLS(lp.start.data(), nullptr, nullptr, 0, &elements, 0, n - 1) != 0) {
    return false;
  }
  lp.row.assign(static_cast<std::size_t>(elements), 0);
  lp.value.assign(static_cast<std::size_t>(elements), 0.0);
  if (KQGETCOLS(lp.start.data(), lp.row.data(), lp.value.data(), elements, &elements, 0, n - 1) != 0) return false;
  lp.types.pop_back();
  return true;
}

// One set as printed: rows and columns (0-based), and which members were marked.
struct Member {
  bool row = true;
  int32_t index = 0;
  bool marked = false;
};
using Set = std::vector<Member>;

// The sets of the report among the captured lines; row_slots is the number of row
// slots of the problem (the combined index of column j is row_slots + j).
inline std::vector<Set> parse_report(const std::vector<std::string>& lines, int32_t row_slots) {
  std::vector<Set> sets;
  bool in_report = false;
  for (const std::string& line : lines) {
    if (line.find("Irreducible infeasible sets") != std::string::npos) in_report = true;
    if (!in_report) continue;
    if (line.rfind("Infeasible set", 0) == 0) {
      sets.emplace_back();
      continue;
    }
    if (sets.empty() || line.size() < 6 || line.rfind("Flag", 0) == 0 || line.rfind("----", 0) == 0) continue;
    long number = 0;
    if (std::sscanf(line.c_str() + 5, "%ld", &number) != 1) continue;
    Member member;
    member.marked = line[2] == '*';
    member.row = number < row_slots;
    member.index = static_cast<int32_t>(member.row ? number : number - row_slots);
    sets.back().push_back(member);
  }
  return sets;
}

// The LP of the set: its rows (the others of type N), its columns' bounds (the other
// columns free), without the member `skip` (-1: none).
inline Lp restricted(const Lp& lp, const Set& set, int skip) {
  Lp r = lp;
  std::vector<bool> keep_row(static_cast<std::size_t>(lp.rows()), false);
  std::vector<bool> keep_column(static_cast<std::size_t>(lp.columns()), false);
  for (std::size_t k = 0; k < set.size(); ++k) {
    if (static_cast<int>(k) == skip) continue;
    (set[k].row ? keep_row : keep_column)[static_cast<std::size_t>(set[k].index)] = true;
  }
  for (int32_t i = 0; i < lp.rows(); ++i) {
    if (!keep_row[static_cast<std::size_t>(i)]) r.types[static_cast<std::size_t>(i)] = 'N';
  }
  for (int32_t j = 0; j < lp.columns(); ++j) {
    if (!keep_column[static_cast<std::size_t>(j)]) {
      r.lower[static_cast<std::size_t>(j)] = -kFree;
      r.upper[static_cast<std::size_t>(j)] = kFree;
    }
  }
  r.cost.assign(r.cost.size(), 0.0);
  return r;
}

// LP status of lp minimised by a freshly initialised library (0 when the load or the
// solve failed).
inline int32_t fresh_status(const Lp& lp, const char* message_dir,
                            std::initializer_list<std::pair<int32_t, int32_t>> controls = {}) {
  KQFREEXO();
  if (KQINITLZ(message_dir, 0) != 0) return 0;
  KQSETICV(35, 0);  // IFPMSG: no messages
  for (const auto& [number, value] : controls) KQSETICV(number, value);
  if (load(lp, "iischeck") != 0) return 0;
  if (KQMINIM("") != 0) return 0;
  int32_t status = 0;
  KQGETIPV(1010, &status);
  return status;
}

// Irreducibility of one set: infeasible (status 2) as a whole, feasible (1) without any
// one member. Returns an empty string when it holds, else what failed.
inline std::string check_set(const Lp& lp, const Set& set, const char* message_dir) {
  if (set.empty()) return "empty set";
  const int32_t whole = fresh_status(restricted(lp, set, -1), message_dir);
  if (whole != 2) return "the set alone has LP status " + std::to_string(whole);
  for (std::size_t k = 0; k < set.size(); ++k) {
    const int32_t without = fresh_status(restricted(lp, set, static_cast<int>(k)), message_dir);
    if (without != 1) {
      // What the solve says without presolve (IFPRES 0) and without scaling (IFSCAL 0)
      // tells a tolerance at the edge from a member that is not needed.
      const Lp r = restricted(lp, set, static_cast<int>(k));
      return std::string("without ") + (set[k].row ? "row " : "column ") + std::to_string(set[k].index) +
             " the LP status is " + std::to_string(without) + " (no presolve " +
             std::to_string(fresh_status(r, message_dir, {{11, 0}})) + ", no scaling " +
             std::to_string(fresh_status(r, message_dir, {{10, 0}})) + ", neither " +
             std::to_string(fresh_status(r, message_dir, {{10, 0}, {11, 0}})) + ")";
    }
  }
  return {};
}

}  // namespace iis_check
