// Applying scale exponents to the stored problem, and the scaling step of a load.
//
// A change of exponents is done as two multiplications by table factors: the current
// factors are taken out (every exponent then reads 64) and the new ones put in. A row
// multiplier f_i and a column multiplier g_j act as
//     rhs_i, row bounds, row values ·f_i     c_j ·g_j     column bounds, values, set
//     weights /g_j     a_ij ·f_i·g_j     prices /f_i     reduced costs of columns ·g_j
//     deferred pair factor ·g_second/g_first
// so that taking out uses f = 1/R, g = 1/C and putting in f = R, g = C. Infinite bounds
// and right-hand sides stay infinite.
#include "problem/scale_exponents.h"

#include <algorithm>
#include <cmath>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/infinity.h"
#include "simplex/core/merged_columns.h"
#include "simplex/prep/scaling_factors.h"

namespace kqopt {

namespace {

constexpr double kHalfRootTwo = 0.70710678118654752440;

double times_bound(double v, double f) { return std::fabs(v) == kInfinity ? v : v * f; }

void print_sweeps(Library& lib, const ScalingSweeps& sweeps) {
  if (lib.controls.i(icv::IFMSG) == 0) return;
  for (double change : sweeps.largest_change) {
    print_message(lib, sweeps.mean ? kMessageMeanSweep : kMessageExtremeSweep);
    put_real_single(lib, static_cast<float>(change));
    flush_line(lib);
  }
}

ScaleExponents neutral_exponents(const Problem& p) {
  ScaleExponents e;
  e.row.assign(static_cast<std::size_t>(p.row_slots()), status::kNeutralExponent);
  e.column.assign(static_cast<std::size_t>(p.columns), status::kNeutralExponent);
  return e;
}

}  // namespace

ScaleMultipliers removing_multipliers(const Problem& p) {
  ScaleMultipliers m;
  const std::int32_t slots = p.row_slots();
  m.row.resize(static_cast<std::size_t>(slots));
  m.column.resize(static_cast<std::size_t>(p.columns));
  for (std::int32_t i = 0; i < slots; ++i) {
    m.row[static_cast<std::size_t>(i)] = inverse_scale_factor(status::exponent(p.status[static_cast<std::size_t>(i)]));
  }
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    m.column[static_cast<std::size_t>(j)] = inverse_scale_factor(status::exponent(p.status[v]));
  }
  return m;
}

ScaleMultipliers multipliers_of(const ScaleExponents& e) {
  ScaleMultipliers m;
  m.row.reserve(e.row.size());
  m.column.reserve(e.column.size());
  for (int k : e.row) m.row.push_back(scale_factor(k));
  for (int k : e.column) m.column.push_back(scale_factor(k));
  return m;
}

void multiply_problem(Problem& p, const ScaleMultipliers& m) {
  const std::int32_t slots = p.row_slots();
  for (std::int32_t i = 0; i < slots; ++i) {
    const auto v = static_cast<std::size_t>(i);
    const double f = m.row[v];
    if (f == 1.0) continue;
    p.rhs[v] = times_bound(p.rhs[v], f);
    p.lower[v] = times_bound(p.lower[v], f);
    p.upper[v] = times_bound(p.upper[v], f);
  }
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    const double g = m.column[jj];
    if (g == 1.0) continue;
    const double reciprocal = 1.0 / g;  // exact: g is a power of two
    p.objective[jj] *= g;
    p.lower[v] = times_bound(p.lower[v], reciprocal);
    p.upper[v] = times_bound(p.upper[v], reciprocal);
  }
  ColumnMatrix& a = p.by_column;
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const double g = m.column[static_cast<std::size_t>(j)];
    for (std::int32_t k = a.start[static_cast<std::size_t>(j)]; k < a.start[static_cast<std::size_t>(j) + 1]; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      a.value[kk] = a.value[kk] * m.row[static_cast<std::size_t>(a.row[kk])] * g;
    }
  }
  RowMatrix& r = p.by_row;
  if (!r.stale) {
    // The copy may cover only the rows up to the last kept one (problem.h).
    const auto covered = static_cast<std::int32_t>(r.start.size()) - 1;
    for (std::int32_t i = 0; i < std::min(slots, covered); ++i) {
      const double f = m.row[static_cast<std::size_t>(i)];
      for (std::int32_t k = r.start[static_cast<std::size_t>(i)]; k < r.start[static_cast<std::size_t>(i) + 1]; ++k) {
        const auto kk = static_cast<std::size_t>(k);
        r.value[kk] = r.value[kk] * f * m.column[static_cast<std::size_t>(r.column[kk])];
      }
    }
  }
  // Entity records refer to columns and scale like the column's values.
  for (SetMember& member : p.sets.members) {
    const double reciprocal = 1.0 / m.column[static_cast<std::size_t>(member.column)];
    member.weight *= reciprocal;
    member.upper_bound = times_bound(member.upper_bound, reciprocal);
  }
  for (GlobalEntity& entity : p.entities) {
    if (entity.is_set() || entity.kind() != EntityKind::kSemiContinuous) continue;
    entity.limit = times_bound(entity.limit, 1.0 / m.column[static_cast<std::size_t>(entity.reference)]);
  }
  for (DeferredPair& pair : p.deferred_pairs) {
    pair.factor = pair.factor * m.column[static_cast<std::size_t>(pair.second_column)] /
                  m.column[static_cast<std::size_t>(pair.first_column)];
  }
}

void set_scale_exponents(Problem& p, const ScaleExponents* e) {
  const std::int32_t slots = p.row_slots();
  for (std::int32_t i = 0; i < slots; ++i) {
    const auto v = static_cast<std::size_t>(i);
    p.status[v] = status::with_exponent(p.status[v], e ? e->row[v] : status::kNeutralExponent);
  }
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    p.status[v] =
        status::with_exponent(p.status[v], e ? e->column[static_cast<std::size_t>(j)] : status::kNeutralExponent);
  }
}

void apply_scale_exponents(Problem& p, const ScaleExponents& next) {
  multiply_problem(p, removing_multipliers(p));
  set_scale_exponents(p, nullptr);
  multiply_problem(p, multipliers_of(next));
  set_scale_exponents(p, &next);
}

ScaleExponents choose_scale_exponents(Library& lib, const Problem& p) {
  const std::int32_t ifscal = lib.controls.i(icv::IFSCAL);
  if (ifscal == 0) return neutral_exponents(p);
  // The exponents are computed from the problem in the caller's units.
  const std::size_t slots = static_cast<std::size_t>(p.row_slots());
  std::vector<std::uint8_t> row_held(slots), row_ignored(slots), column_held(static_cast<std::size_t>(p.columns));
  for (std::size_t i = 0; i < slots; ++i) {
    row_held[i] = (p.row_flags[i] & row_flag::kNoScale) != 0;
    row_ignored[i] = p.row_type[i] == row_type::kFree;
  }
  for (std::int32_t j = 0; j < p.columns; ++j) {
    column_held[static_cast<std::size_t>(j)] =
        (p.status[static_cast<std::size_t>(p.column_variable(j))] & status::kGlobalEntity) != 0;
  }
  ScalingInput input;
  input.rows = p.row_slots();
  input.columns = p.columns;
  // Repeated elements of a column count once, as their sum, as the engine sees them.
  MergedColumns merged;
  const ColumnMatrix& a = p.by_column;
  const bool repeated = has_repeated_rows(p.row_slots(), a.start, a.row);
  if (repeated) merge_repeated_rows(p.row_slots(), a.start, a.row, a.value, merged);
  input.column_start = repeated ? std::span<const std::int32_t>(merged.start) : a.start;
  input.row_index = repeated ? std::span<const std::int32_t>(merged.row_index) : a.row;
  input.value = repeated ? std::span<const double>(merged.value) : a.value;
  input.row_held = row_held;
  input.row_ignored = row_ignored;
  input.column_held = column_held;
  ScalingSweeps sweeps;
  ScaleExponents next = compute_scale_exponents(input, ifscal, sweeps);
  print_sweeps(lib, sweeps);
  return next;
}

void scale_loaded_problem(Library& lib, Problem& p) {
  if (lib.controls.i(icv::IFSCAL) != 0) apply_scale_exponents(p, neutral_exponents(p));
  apply_scale_exponents(p, choose_scale_exponents(lib, p));
  p.cost_scale = compute_cost_scale(p);
}

double compute_cost_scale(const Problem& p) {
  double largest = 0.0;
  for (double c : p.objective) {
    if (std::isfinite(c)) largest = std::max(largest, std::fabs(c));
  }
  if (largest == 0.0) return 1.0;
  int e = 0;
  const double f = std::frexp(largest, &e);  // largest = f·2^e, f in [0.5, 1)
  return std::ldexp(1.0, f >= kHalfRootTwo ? e : e - 1);
}

}  // namespace kqopt
