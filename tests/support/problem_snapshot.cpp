// Snapshots of the loaded problem through the retrieval operations.
#include "support/problem_snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "library/control_access.h"
#include "problem/problem.h"
#include "problem/retrieval.h"

namespace kqopt::test {

namespace {
std::vector<std::string> names(Library& lib, std::int32_t type, std::int32_t count) {
  if (count == 0) return {};
  const std::size_t width = static_cast<std::size_t>(lib.problem->names.width()) + 1;
  std::vector<char> buffer(width * static_cast<std::size_t>(count));
  EXPECT_EQ(get_names(lib, type, buffer.data(), 0, count - 1), 0)
      << "error " << lib.err.error_number << " count " << count;
  std::vector<std::string> out;
  for (std::int32_t i = 0; i < count; ++i) out.emplace_back(&buffer[static_cast<std::size_t>(i) * width]);
  return out;
}
}  // namespace

bool take_snapshot(Library& lib, ProblemSnapshot& s) {
  lib.controls.i(icv::IFDBG) = 1;  // 0-based arrays, as the C entry points take them
  EXPECT_EQ(get_int_attribute(lib, attr::kRows, &s.rows), 0);
  EXPECT_EQ(get_int_attribute(lib, attr::kColumns, &s.columns), 0);
  const std::int32_t m = s.rows, n = s.columns;
  s.row_types.assign(static_cast<std::size_t>(m), ' ');
  s.column_types.assign(static_cast<std::size_t>(n), ' ');
  s.rhs.resize(static_cast<std::size_t>(m));
  s.range.resize(static_cast<std::size_t>(m));
  s.objective.resize(static_cast<std::size_t>(n));
  s.lower.resize(static_cast<std::size_t>(n));
  s.upper.resize(static_cast<std::size_t>(n));
  bool ok = true;
  if (m > 0) {
    ok = ok && get_row_types(lib, s.row_types.data(), 0, m - 1) == 0;
    ok = ok && get_rhs(lib, s.rhs.data(), 0, m - 1, Units::kCaller) == 0;
    ok = ok && get_range(lib, s.range.data(), 0, m - 1, Units::kCaller) == 0;
  }
  if (n > 0) {
    ok = ok && get_column_types(lib, s.column_types.data(), 0, n - 1) == 0;
    ok = ok && get_objective(lib, s.objective.data(), 0, n - 1, Units::kCaller) == 0;
    ok = ok && get_lower_bounds(lib, s.lower.data(), 0, n - 1, Units::kCaller) == 0;
    ok = ok && get_upper_bounds(lib, s.upper.data(), 0, n - 1, Units::kCaller) == 0;
    std::int32_t elements = 0;
    ok = ok && get_columns(lib, nullptr, nullptr, nullptr, 0, &elements, 0, n - 1, Units::kCaller) == 0;
    std::vector<std::int32_t> start(static_cast<std::size_t>(n) + 1), row(static_cast<std::size_t>(elements) + 1);
    std::vector<double> value(static_cast<std::size_t>(elements) + 1);
    ok = ok &&
         get_columns(lib, start.data(), row.data(), value.data(), elements, &elements, 0, n - 1, Units::kCaller) == 0;
    start[static_cast<std::size_t>(n)] = elements;
    s.starts = start;
    // The writer puts a column's entries in row order; the reader keeps file order.
    for (std::int32_t j = 0; j < n; ++j) {
      const auto b = static_cast<std::size_t>(start[static_cast<std::size_t>(j)]);
      const auto e = static_cast<std::size_t>(start[static_cast<std::size_t>(j) + 1]);
      std::vector<std::size_t> order(e - b);
      std::iota(order.begin(), order.end(), b);
      std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return row[x] < row[y]; });
      for (std::size_t q : order) {
        s.row_index.push_back(row[q]);
        s.values.push_back(value[q]);
      }
    }
  }
  s.row_names = names(lib, 1, m);
  s.column_names = names(lib, 2, n);
  ok = ok && get_global(lib, &s.entities, &s.sets, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) == 0;
  std::int32_t members = 0;
  EXPECT_EQ(get_int_attribute(lib, attr::kSetMembers, &members), 0);
  s.entity_types.assign(static_cast<std::size_t>(s.entities), ' ');
  s.entity_columns.resize(static_cast<std::size_t>(s.entities));
  s.entity_limits.resize(static_cast<std::size_t>(s.entities));
  s.set_types.assign(static_cast<std::size_t>(s.sets), ' ');
  s.set_starts.resize(static_cast<std::size_t>(s.sets) + 1);
  s.set_columns.resize(static_cast<std::size_t>(members) + 1);
  s.set_weights.resize(static_cast<std::size_t>(members) + 1);
  ok = ok &&
       get_global(lib, &s.entities, &s.sets, s.entity_types.data(), s.entity_columns.data(), s.entity_limits.data(),
                  s.set_types.data(), s.set_starts.data(), s.set_columns.data(), s.set_weights.data()) == 0;
  s.objective_constant = lib.problem->objective_constant;
  EXPECT_TRUE(ok);
  return ok;
}

}  // namespace kqopt::test

#include <cmath>

#include "input/number_parser.h"
#include "output/mps_number.h"
#include "problem/infinity.h"

namespace kqopt::test {

double exact_value(double v) { return v; }

double normal_form_value(double v) {
  double out = 0.0;
  EXPECT_EQ(input::parse_number(mps_normal_number(v), out), input::NumberStatus::kOk);
  return out;
}

int expect_same_problem(const ProblemSnapshot& a, const ProblemSnapshot& b, WrittenValue written, double zero) {
  int mismatches = 0;
  auto same = [&](double original, double read, bool zeroed, const char* what, std::size_t k) {
    double expected = original;
    if (std::fabs(expected) < kInfinityThreshold) {
      if (zeroed && std::fabs(expected) <= zero) expected = 0.0;
      expected = written(expected);
    }
    if (expected == read || (std::fabs(expected) >= kInfinityThreshold && std::fabs(read) >= kInfinityThreshold &&
                             (expected > 0) == (read > 0))) {
      return;
    }
    if (++mismatches <= 5) {
      ADD_FAILURE() << what << " " << k << ": " << original << " written as " << expected << ", read " << read;
    }
  };
  EXPECT_EQ(a.rows, b.rows);
  EXPECT_EQ(a.columns, b.columns);
  if (a.rows != b.rows || a.columns != b.columns) return 1;
  EXPECT_EQ(a.row_types, b.row_types);
  EXPECT_EQ(a.column_types, b.column_types);
  EXPECT_EQ(a.row_names, b.row_names);
  EXPECT_EQ(a.column_names, b.column_names);
  EXPECT_EQ(a.starts, b.starts);
  EXPECT_EQ(a.row_index, b.row_index);
  EXPECT_EQ(a.entities, b.entities);
  EXPECT_EQ(a.sets, b.sets);
  EXPECT_EQ(a.entity_types, b.entity_types);
  EXPECT_EQ(a.entity_columns, b.entity_columns);
  EXPECT_EQ(a.set_types, b.set_types);
  EXPECT_EQ(a.set_starts, b.set_starts);
  EXPECT_EQ(a.set_columns, b.set_columns);
  if (a.row_types != b.row_types || a.starts != b.starts || a.row_index != b.row_index ||
      a.set_columns != b.set_columns || a.entity_types != b.entity_types) {
    return mismatches + 1;
  }
  for (std::size_t i = 0; i < a.rhs.size(); ++i) {
    same(a.rhs[i], b.rhs[i], true, "rhs", i);
    same(a.range[i], b.range[i], false, "range", i);
  }
  for (std::size_t j = 0; j < a.objective.size(); ++j) {
    same(a.objective[j], b.objective[j], false, "cost", j);
    same(a.lower[j], b.lower[j], true, "lower", j);
    same(a.upper[j], b.upper[j], true, "upper", j);
  }
  for (std::size_t q = 0; q < a.values.size(); ++q) same(a.values[q], b.values[q], false, "element", q);
  for (std::size_t e = 0; e < a.entity_limits.size(); ++e) {
    const bool partial = a.entity_types[e] == 'P';
    if (partial) {
      EXPECT_EQ(a.entity_limits[e], b.entity_limits[e]);
    } else {
      same(a.entity_limits[e], b.entity_limits[e], false, "entity limit", e);
    }
  }
  for (std::size_t q = 0; q < a.set_weights.size(); ++q) same(a.set_weights[q], b.set_weights[q], false, "weight", q);
  same(a.objective_constant, b.objective_constant, false, "objective constant", 0);
  return mismatches;
}

}  // namespace kqopt::test
