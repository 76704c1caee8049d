// INVERT driver: header from the status words, factorisation, status repair,
// basic values and the accuracy check with its one retry.
#include "simplex/core/factor_invert.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

namespace kqopt {

namespace {

constexpr double kInfiniteBound = 1.0e29;
// Residual acceptance and the absolute switch of the error measure.
const double kResidualAcceptance = static_cast<double>(1.0e-8f);
constexpr double kAbsoluteErrorSwitch = 1.0e-5;
constexpr double kRaisedThreshold = 0.15;
constexpr double kRetryThresholdLimit = 0.01;

// r -= a_v * x for variable v.
void subtract_column(const BasisView& basis, std::int32_t v, double x, std::span<double> r) {
  const std::int32_t m = basis.rows;
  if (v < m) {
    r[static_cast<std::size_t>(v)] -= x;
    return;
  }
  const std::int32_t j = v - m;
  for (std::int32_t k = basis.column_start[static_cast<std::size_t>(j)];
       k < basis.column_start[static_cast<std::size_t>(j + 1)]; ++k) {
    r[static_cast<std::size_t>(basis.row_index[static_cast<std::size_t>(k)])] -=
        basis.value[static_cast<std::size_t>(k)] * x;
  }
}

}  // namespace

double nonbasic_value(std::uint32_t status, double lower, double upper) {
  if (status & kStatusAtUpper) return upper;
  if (status & kStatusFree) return 0.0;
  if (lower > -kInfiniteBound) return lower;
  return upper < kInfiniteBound ? upper : 0.0;
}

void build_basis_header(std::span<std::uint32_t> status, std::int32_t m, std::span<std::int32_t> header,
                        InvertReport& report) {
  const auto total = static_cast<std::int32_t>(status.size());
  std::int32_t count = 0;
  for (std::int32_t v = 0; v < total; ++v) {
    std::uint32_t& word = status[static_cast<std::size_t>(v)];
    if (!(word & kStatusBasic)) continue;
    if (count < m) {
      header[static_cast<std::size_t>(count++)] = v;
    } else {
      word &= ~kStatusBasic;  // only structurals can be surplus: logicals come first
      ++report.surplus_made_nonbasic;
    }
  }
  for (std::int32_t i = 0; i < m && count < m; ++i) {
    std::uint32_t& word = status[static_cast<std::size_t>(i)];
    if (word & kStatusBasic) continue;
    word = (word | kStatusBasic) & ~kStatusAtUpper;
    header[static_cast<std::size_t>(count++)] = i;
    ++report.logicals_made_basic;
  }
}

double compute_basic_values(Factor& factor, const BasisView& basis, const BasisState& state, WorkVector& work) {
  const std::int32_t m = basis.rows;
  const std::int32_t total = m + basis.columns;

  // b - sum of the nonbasic columns at their values.
  std::vector<double> rest(state.rhs.begin(), state.rhs.end());
  for (std::int32_t v = 0; v < total; ++v) {
    const std::uint32_t word = state.status[static_cast<std::size_t>(v)];
    if (word & kStatusBasic) continue;
    const double x =
        nonbasic_value(word, state.lower[static_cast<std::size_t>(v)], state.upper[static_cast<std::size_t>(v)]);
    if (x != 0.0) subtract_column(basis, v, x, rest);
  }
  work.load_dense(rest);
  factor.ftran(work);
  const std::span<const double> x = work.values();
  std::copy(x.begin(), x.end(), state.x_basic.begin());

  // Residual of the basic part.
  for (std::int32_t p = 0; p < m; ++p) {
    subtract_column(basis, state.header[static_cast<std::size_t>(p)], state.x_basic[static_cast<std::size_t>(p)], rest);
  }
  double largest = 0.0;
  for (const double r : rest) largest = std::max(largest, std::fabs(r));
  work.clear();
  return largest;
}

FactorStatus invert(Factor& factor, const BasisView& basis, const BasisState& state, const FactorSettings& settings,
                    InvertReport& report) {
  const std::int32_t m = basis.rows;
  const std::int32_t total = m + basis.columns;
  assert(static_cast<std::int32_t>(state.status.size()) == total);
  WorkVector work(m);
  std::vector<std::int32_t> before(static_cast<std::size_t>(m));
  std::vector<std::uint8_t> in_basis(static_cast<std::size_t>(total));

  for (;;) {
    build_basis_header(state.status, m, state.header, report);
    std::copy(state.header.begin(), state.header.end(), before.begin());
    const FactorStatus status = factor.factorise(basis, state.header, settings, report);
    if (status != FactorStatus::ok) return status;

    // Carry the singular repair into the status words.
    std::fill(in_basis.begin(), in_basis.end(), 0);
    for (const std::int32_t v : state.header) in_basis[static_cast<std::size_t>(v)] = 1;
    for (const std::int32_t v : before) {
      if (in_basis[static_cast<std::size_t>(v)]) continue;
      std::uint32_t& word = state.status[static_cast<std::size_t>(v)];
      word &= ~(kStatusBasic | kStatusAtUpper);
      if ((word & kStatusFiniteUpper) && !(word & kStatusFiniteLower)) word |= kStatusAtUpper;
    }
    for (const std::int32_t v : state.header) {
      std::uint32_t& word = state.status[static_cast<std::size_t>(v)];
      word = (word | kStatusBasic) & ~kStatusAtUpper;
    }

    // Basic values and the accuracy check.
    const double e = compute_basic_values(factor, basis, state, work);
    double d = 0.0;
    for (std::int32_t p = 0; p < m; ++p) {
      if (state.status[static_cast<std::size_t>(state.header[static_cast<std::size_t>(p)])] & kStatusFree) continue;
      d = std::max(d, std::fabs(state.x_basic[static_cast<std::size_t>(p)]));
    }
    report.residual_measure = e <= kAbsoluteErrorSwitch ? e / (d + 0.001) : e;
    if (report.residual_measure < kResidualAcceptance) break;
    factor.mark_doubtful();
    report.doubtful = true;
    if (factor.pivot_threshold() > kRetryThresholdLimit) break;
    factor.set_pivot_threshold(kRaisedThreshold);
    report.retried_with_larger_threshold = true;
  }
  return FactorStatus::ok;
}

}  // namespace kqopt
