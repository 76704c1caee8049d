// INVERT driver: header check, factorisation, status repair, basic solution, and the
// growth and accuracy guards with their refactorisations.
#include "simplex/core/invert_driver.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kqopt {

namespace {

constexpr double kInfiniteBound = 1.0e29;
// Residual acceptance (a single-precision constant) and the absolute switch of the
// error measure.
const double kResidualAcceptance = static_cast<double>(1.0e-8f);
constexpr double kAbsoluteErrorSwitch = 1.0e-5;

bool finite_lower(double lower) { return lower > -kInfiniteBound; }
bool finite_upper(double upper) { return upper < kInfiniteBound; }

VariableStatus nonbasic_status(double lower, double upper) {
  if (finite_lower(lower)) return VariableStatus::at_lower;
  if (finite_upper(upper)) return VariableStatus::at_upper;
  return VariableStatus::at_zero;
}

// r -= a_v * x for variable v.
void subtract_column(const WorkingLp& lp, std::int32_t v, double x, std::vector<double>& r) {
  if (v < lp.rows) {
    r[static_cast<std::size_t>(v)] -= x;
    return;
  }
  const auto j = static_cast<std::size_t>(v - lp.rows);
  for (auto k = static_cast<std::size_t>(lp.column_start[j]); k < static_cast<std::size_t>(lp.column_start[j + 1]);
       ++k) {
    r[static_cast<std::size_t>(lp.row_index[k])] -= lp.value[k] * x;
  }
}

// Whether header lists m distinct variables, each with a basic status, and no other
// variable has one.
bool header_agrees(std::int32_t m, const SimplexBasis& basis, std::vector<std::uint8_t>& seen) {
  if (static_cast<std::int32_t>(basis.header.size()) != m) return false;
  const auto total = basis.status.size();
  seen.assign(total, 0);
  for (const std::int32_t v : basis.header) {
    if (v < 0 || static_cast<std::size_t>(v) >= total) return false;
    const auto vv = static_cast<std::size_t>(v);
    if (seen[vv] || basis.status[vv] != VariableStatus::basic) return false;
    seen[vv] = 1;
  }
  std::int32_t basic = 0;
  for (const VariableStatus s : basis.status) basic += s == VariableStatus::basic ? 1 : 0;
  return basic == m;
}

}  // namespace

void repair_basis_header(std::int32_t m, std::span<const double> lower, std::span<const double> upper,
                         SimplexBasis& basis, InvertReport& report) {
  std::vector<std::uint8_t> seen;
  if (header_agrees(m, basis, seen)) return;
  const auto total = static_cast<std::int32_t>(basis.status.size());
  basis.header.clear();
  for (std::int32_t v = 0; v < total; ++v) {
    const auto vv = static_cast<std::size_t>(v);
    if (basis.status[vv] != VariableStatus::basic) continue;
    if (static_cast<std::int32_t>(basis.header.size()) < m) {
      basis.header.push_back(v);
    } else {
      // Logicals come first, so only structurals can be surplus.
      basis.status[vv] = nonbasic_status(lower[vv], upper[vv]);
      ++report.surplus_made_nonbasic;
    }
  }
  for (std::int32_t i = 0; i < m && static_cast<std::int32_t>(basis.header.size()) < m; ++i) {
    const auto ii = static_cast<std::size_t>(i);
    if (basis.status[ii] == VariableStatus::basic) continue;
    basis.status[ii] = VariableStatus::basic;
    basis.header.push_back(i);
    ++report.logicals_made_basic;
  }
}

double compute_basic_solution(const WorkingLp& lp, SimplexBasis& basis, Factor& factor, WorkVector& work) {
  const std::int32_t m = lp.rows;
  std::vector<double> rest(lp.rhs.begin(), lp.rhs.end());
  for (std::int32_t v = 0; v < lp.variables(); ++v) {
    const auto vv = static_cast<std::size_t>(v);
    if (basis.status[vv] == VariableStatus::basic) continue;
    if (basis.x[vv] != 0.0) subtract_column(lp, v, basis.x[vv], rest);
  }
  work.load_dense(rest);
  factor.ftran(work);
  const double* xb = work.values().data();
  for (std::int32_t p = 0; p < m; ++p)
    basis.x[static_cast<std::size_t>(basis.header[static_cast<std::size_t>(p)])] = xb[p];
  work.clear();
  for (std::int32_t p = 0; p < m; ++p) {
    const std::int32_t v = basis.header[static_cast<std::size_t>(p)];
    subtract_column(lp, v, basis.x[static_cast<std::size_t>(v)], rest);
  }
  double largest = 0.0;
  for (const double r : rest) largest = std::max(largest, std::fabs(r));
  return largest;
}

FactorStatus invert_basis(const WorkingLp& lp, std::span<const double> lower, std::span<const double> upper,
                          SimplexBasis& basis, Factor& factor, const FactorSettings& settings, InvertReport& report) {
  const std::int32_t m = lp.rows;
  const std::int32_t total = lp.variables();
  repair_basis_header(m, lower, upper, basis, report);
  WorkVector work(m);

  for (;;) {
    const FactorStatus status = factor.factorise(lp.basis_view(), basis.header, settings, report);
    if (status != FactorStatus::ok) return status;
    report.pivot_threshold = factor.pivot_threshold();

    // Columns replaced as dependent leave the basis for a bound; the logicals that took
    // their positions come in.
    for (std::int32_t v = 0; v < total; ++v) {
      const auto vv = static_cast<std::size_t>(v);
      if (basis.status[vv] == VariableStatus::basic) basis.status[vv] = nonbasic_status(lower[vv], upper[vv]);
    }
    for (const std::int32_t v : basis.header) basis.status[static_cast<std::size_t>(v)] = VariableStatus::basic;
    basis.index_positions(total);
    for (std::int32_t v = 0; v < total; ++v) {
      const auto vv = static_cast<std::size_t>(v);
      switch (basis.status[vv]) {
        case VariableStatus::basic:
          break;
        case VariableStatus::at_lower:
          if (finite_lower(lower[vv])) {
            basis.x[vv] = lower[vv];
            break;
          }
          basis.status[vv] = nonbasic_status(lower[vv], upper[vv]);
          basis.x[vv] = basis.status[vv] == VariableStatus::at_upper ? upper[vv] : 0.0;
          break;
        case VariableStatus::at_upper:
          if (finite_upper(upper[vv])) {
            basis.x[vv] = upper[vv];
            break;
          }
          basis.status[vv] = nonbasic_status(lower[vv], upper[vv]);
          basis.x[vv] = basis.status[vv] == VariableStatus::at_lower ? lower[vv] : 0.0;
          break;
        case VariableStatus::at_zero:
          basis.x[vv] = 0.0;
          break;
      }
    }

    // Growth guard: judged on the factors alone, before any solve with them.
    const double growth = report.element_growth();
    if (growth > kGrowthLimit && factor.pivot_threshold() < kGrowthThreshold) {
      report.growth_refactorised = true;
      report.growth_seen = std::max(report.growth_seen, growth);
      factor.set_pivot_threshold(kGrowthThreshold);
      continue;
    }

    // Accuracy guard.
    const double e = compute_basic_solution(lp, basis, factor, work);
    double d = 0.0;
    for (const std::int32_t v : basis.header) {
      const auto vv = static_cast<std::size_t>(v);
      if (!finite_lower(lower[vv]) && !finite_upper(upper[vv])) continue;
      d = std::max(d, std::fabs(basis.x[vv]));
    }
    report.residual_measure = e <= kAbsoluteErrorSwitch ? e / (d + 0.001) : e;
    if (report.residual_measure < kResidualAcceptance) break;
    factor.mark_doubtful();
    report.doubtful = true;
    if (factor.pivot_threshold() >= kAccuracyThreshold) break;
    factor.set_pivot_threshold(kAccuracyThreshold);
    report.retried_with_larger_threshold = true;
  }
  return FactorStatus::ok;
}

}  // namespace kqopt
