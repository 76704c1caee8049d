// The loaded problem as short text, through the retrieval operations.
#include "support/problem_text.h"

#include <cstdio>
#include <vector>

#include "library/library.h"
#include "problem/problem.h"
#include "problem/retrieval.h"

namespace kqopt::test {

namespace {

std::string number(double v) {
  if (v >= 1e29) return "inf";
  if (v <= -1e29) return "-inf";
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string trimmed(const char* name) {
  std::string s(name);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::vector<std::string> names(Library& lib, int type, std::int32_t count) {
  std::vector<std::string> out;
  if (count == 0) return out;
  int width = 8 * ((lib.controls.i(icv::NAMLEN) + 7) / 8);
  std::vector<char> buffer(static_cast<std::size_t>(count) * static_cast<std::size_t>(width + 1) + 1);
  if (get_names(lib, type, buffer.data(), 0, count - 1) != 0)
    return std::vector<std::string>(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    out.push_back(trimmed(buffer.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(width + 1)));
  }
  return out;
}

}  // namespace

ProblemText problem_text(Library& lib) {
  ProblemText t;
  if (!lib.has_problem()) return t;
  const std::int32_t m = lib.problem->rows;
  const std::int32_t n = lib.problem->columns;
  std::vector<std::string> row_names = names(lib, 1, m);
  std::vector<std::string> column_names = names(lib, 2, n);

  std::vector<double> cost(static_cast<std::size_t>(n) + 1), lower(cost), upper(cost);
  std::vector<char> column_type(static_cast<std::size_t>(n) + 1);
  if (n > 0) {
    get_objective(lib, cost.data(), 0, n - 1, Units::kCaller);
    get_lower_bounds(lib, lower.data(), 0, n - 1, Units::kCaller);
    get_upper_bounds(lib, upper.data(), 0, n - 1, Units::kCaller);
    get_column_types(lib, column_type.data(), 0, n - 1);
  }
  for (std::int32_t j = 0; j < n; ++j) {
    auto k = static_cast<std::size_t>(j);
    if (cost[k] != 0.0) {
      if (!t.objective.empty() && cost[k] > 0) t.objective += "+";
      t.objective += number(cost[k]) + "*" + column_names[k];
    }
    if (!t.columns.empty()) t.columns += " ";
    t.columns += column_names[k] + ":" + number(lower[k]) + ":" + number(upper[k]) + ":" + column_type[k];
  }
  if (lib.problem->objective_constant != 0.0) t.objective += "+K" + number(lib.problem->objective_constant);

  if (m > 0) {
    std::vector<double> rhs(static_cast<std::size_t>(m));
    std::vector<char> type(static_cast<std::size_t>(m));
    get_rhs(lib, rhs.data(), 0, m - 1, Units::kCaller);
    get_row_types(lib, type.data(), 0, m - 1);
    std::int32_t elements = 0;
    std::vector<std::int32_t> start(static_cast<std::size_t>(m) + 1);
    get_rows(lib, start.data(), nullptr, nullptr, 0, &elements, 0, m - 1, Units::kCaller);
    std::vector<std::int32_t> column(static_cast<std::size_t>(elements) + 1);
    std::vector<double> value(static_cast<std::size_t>(elements) + 1);
    get_rows(lib, start.data(), column.data(), value.data(), elements, &elements, 0, m - 1, Units::kCaller);
    for (std::int32_t i = 0; i < m; ++i) {
      auto k = static_cast<std::size_t>(i);
      if (!t.rows.empty()) t.rows += " ";
      t.rows += row_names[k] + ":" + type[k] + ":" + number(rhs[k]) + ":";
      for (std::int32_t e = start[k]; e < start[k + 1]; ++e) {
        auto at = static_cast<std::size_t>(e);
        if (e > start[k] && value[at] > 0) t.rows += "+";
        t.rows += number(value[at]) + "*" + column_names[static_cast<std::size_t>(column[at])];
      }
    }
  }
  return t;
}

}  // namespace kqopt::test
