// Activity and cost ranging of the optimal basis, from one FTRAN per nonbasic variable.
#include "simplex/driver/range_analysis.h"

#include <cmath>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/index_base.h"
#include "problem/infinity.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/solution_units.h"
#include "simplex/driver/engine_current.h"

namespace kqopt {

void activity_ratio_test(std::span<const double> alpha, std::span<const double> xb, std::span<const double> lb,
                         std::span<const double> ub, std::span<const std::uint8_t> skip, double pivot_tolerance,
                         double infinity, RatioLimit& increase, RatioLimit& decrease) {
  increase = {infinity, -1, false};
  decrease = {-infinity, -1, false};
  for (std::size_t p = 0; p < alpha.size(); ++p) {
    const double a = alpha[p];
    if (skip[p] || std::fabs(a) <= pivot_tolerance) continue;
    // Moving t up drives x_B(p) towards the bound on the side of a's sign.
    const double up_bound = a > 0 ? lb[p] : ub[p];
    const double down_bound = a > 0 ? ub[p] : lb[p];
    if (std::fabs(up_bound) < infinity) {
      const double t = (xb[p] - up_bound) / a;
      if (t < increase.step) increase = {t < 0 ? 0.0 : t, static_cast<std::int32_t>(p), a < 0};
    }
    if (std::fabs(down_bound) < infinity) {
      const double t = (xb[p] - down_bound) / a;
      if (t > decrease.step) decrease = {t > 0 ? 0.0 : t, static_cast<std::int32_t>(p), a > 0};
    }
  }
}

void cost_ratio_update(std::span<const double> alpha, double dj, std::int32_t j, double pivot_tolerance,
                       std::span<double> up, std::span<std::int32_t> up_entering, std::span<double> down,
                       std::span<std::int32_t> down_entering) {
  const double d = dj > 0 ? dj : 0.0;  // a slightly negative reduced cost is optimal within tolerance
  for (std::size_t p = 0; p < alpha.size(); ++p) {
    const double a = alpha[p];
    if (a > pivot_tolerance) {
      if (d < up[p] * a) {
        up[p] = d / a;
        up_entering[p] = j;
      }
    } else if (a < -pivot_tolerance) {
      if (d < down[p] * a) {
        down[p] = d / a;
        down_entering[p] = j;
      }
    }
  }
}

namespace {

constexpr std::int32_t kLpOptimal = 1;  // LP status attribute

bool solved_to_optimality(Library& lib) {
  const EngineState* engine = lib.engine.get();
  return engine != nullptr && engine->has_solution && engine->problem_serial == lib.problem->serial &&
         *lib.attributes.int_attribute(attr::kLpStatus) == kLpOptimal;
}

// Variable number of reference: 1-based, negative at the upper activity limit (for a
// row the logical's lower bound).
std::int32_t reference(std::int32_t v, bool logical_at_upper, std::int32_t rows) {
  const bool upper_activity = logical_at_upper != (v < rows);
  return upper_activity ? -(v + 1) : v + 1;
}

double user_step(const Problem& p, std::int32_t v, double step) {
  if (std::fabs(step) >= kInfinity) return step > 0 ? kInfinity : -kInfinity;
  return scale_by(step, value_shift(p, v));
}

double user_cost_step(const Problem& p, std::int32_t v, double step) {
  if (std::fabs(step) >= kInfinity) return step > 0 ? kInfinity : -kInfinity;
  return scale_by(step, reduced_cost_shift(p, v));
}

}  // namespace

std::int32_t range_analysis(Library& lib, VariableRanges& out) {
  if (!require_problem(lib)) return lib.err.return_code;
  if (!solved_to_optimality(lib)) {
    report_error(lib, kRcInvalidCall, kMessageNeedsOptimalLp);
    return lib.err.return_code;
  }
  if (lib.problem->variables() > kMaxRangingVariables) {
    report_error(lib, kRcInvalidCall, kMessageTooManyForRanging);
    return lib.err.return_code;
  }
  if (engine_busy(lib, true) || !make_engine_current(lib)) return lib.err.return_code;
  refresh_solution(lib);

  const Problem& problem = *lib.problem;
  EngineState& engine = *lib.engine;
  const WorkingLp& lp = engine.lp;
  const SimplexBasis& basis = engine.basis;
  const std::int32_t m = lp.rows;
  const std::int32_t total = lp.variables();
  const auto mm = static_cast<std::size_t>(m);
  const double tolerance = lib.controls.d(dcv::ZTOLPV);
  const double sense = engine_sense(lib);

  std::vector<double> xb(mm), lb(mm), ub(mm);
  std::vector<std::uint8_t> skip(mm);
  for (std::size_t p = 0; p < mm; ++p) {
    const auto v = static_cast<std::size_t>(basis.header[p]);
    xb[p] = basis.x[v];
    lb[p] = lp.lower[v];
    ub[p] = lp.upper[v];
    skip[p] = v < mm && problem.row_type[v] == row_type::kSpare;
  }
  std::vector<double> up(mm, kInfinity), down(mm, -kInfinity), up_move(mm, 0.0), down_move(mm, 0.0);
  std::vector<std::int32_t> up_entering(mm, -1), down_entering(mm, -1);

  const auto nt = static_cast<std::size_t>(total);
  out.basic.assign(nt, 0);
  out.activity.assign(nt, 0.0);
  out.lower_change.assign(nt, 0.0);
  out.upper_change.assign(nt, 0.0);
  out.lower_reference.assign(nt, 0);
  out.upper_reference.assign(nt, 0);
  out.cost_up.assign(nt, 0.0);
  out.cost_down.assign(nt, 0.0);

  WorkVector work(m);
  std::vector<double> alpha(mm);
  std::vector<double> column(mm, 0.0);
  for (std::int32_t j = 0; j < total; ++j) {
    const auto jj = static_cast<std::size_t>(j);
    if (basis.status[jj] == VariableStatus::basic) continue;
    if (j < m && problem.row_type[jj] == row_type::kSpare) continue;
    const bool at_upper = basis.status[jj] == VariableStatus::at_upper;
    const double sign = at_upper ? -1.0 : 1.0;
    std::fill(column.begin(), column.end(), 0.0);
    if (j < m) {
      column[jj] = 1.0;
    } else {
      const auto c = static_cast<std::size_t>(j - m);
      for (std::int32_t k = lp.column_start[c]; k < lp.column_start[c + 1]; ++k) {
        column[static_cast<std::size_t>(lp.row_index[static_cast<std::size_t>(k)])] +=
            lp.value[static_cast<std::size_t>(k)];
      }
    }
    work.load_dense(column);
    engine.factor.ftran(work);
    const auto values = work.values();
    for (std::size_t p = 0; p < mm; ++p) alpha[p] = sign * values[p];

    RatioLimit increase, decrease;
    activity_ratio_test(alpha, xb, lb, ub, skip, tolerance, kInfinity, increase, decrease);
    std::int32_t inc_ref = increase.position < 0 ? 0
                                                 : reference(basis.header[static_cast<std::size_t>(increase.position)],
                                                             increase.at_upper, m);
    const std::int32_t dec_ref =
        decrease.position < 0
            ? 0
            : reference(basis.header[static_cast<std::size_t>(decrease.position)], decrease.at_upper, m);
    const double width = lp.upper[jj] - lp.lower[jj];
    const bool fixed_column = j >= m && width == 0.0;
    if (!fixed_column && width < kInfinity && std::fabs(lp.lower[jj]) < kInfinity && width < increase.step) {
      increase.step = width;
      inc_ref = reference(j, !at_upper, m);  // it reaches its other bound
    }

    // A fixed variable never enters, whatever its reduced cost; a free one may enter
    // moving either way.
    if (lp.lower[jj] != lp.upper[jj]) {
      cost_ratio_update(alpha, sign * engine.reduced_cost[jj], j, tolerance, up, up_entering, down, down_entering);
      if (lp.lower[jj] <= -kInfinity && lp.upper[jj] >= kInfinity) {
        for (double& a : alpha) a = -a;
        cost_ratio_update(alpha, -engine.reduced_cost[jj], j, tolerance, up, up_entering, down, down_entering);
        for (double& a : alpha) a = -a;
      }
    }
    for (std::size_t p = 0; p < mm; ++p) {
      const double move =
          increase.step >= kInfinity ? (alpha[p] > 0 ? -kInfinity : kInfinity) : -alpha[p] * increase.step;
      if (up_entering[p] == j) up_move[p] = move;
      if (down_entering[p] == j) down_move[p] = move;
    }

    // The variable's own move in activity terms: a column at its upper bound and a
    // row's logical at its lower one move the activity down as t grows.
    const bool activity_down = at_upper != (j < m);
    const double inc_user = user_step(problem, j, increase.step);
    const double dec_user = user_step(problem, j, decrease.step);
    if (!activity_down) {
      out.upper_change[jj] = inc_user;
      out.upper_reference[jj] = inc_ref;
      out.lower_change[jj] = dec_user;
      out.lower_reference[jj] = dec_ref;
    } else {
      out.lower_change[jj] = -inc_user;
      out.lower_reference[jj] = inc_ref;
      out.upper_change[jj] = -dec_user;
      out.upper_reference[jj] = dec_ref;
    }
  }

  // Basic variables: the cost room of their positions and the activity they reach when
  // the entering variable at the cost limit comes in.
  for (std::size_t p = 0; p < mm; ++p) {
    const std::int32_t v = basis.header[p];
    const auto vv = static_cast<std::size_t>(v);
    if (skip[p]) continue;
    out.basic[vv] = 1;
    const double flip = v < m ? -1.0 : 1.0;  // a row's activity moves against its logical
    // Engine cost rises with the user's cost for a column of a minimisation.
    const double rise = sense * flip;
    const double up_user = user_cost_step(problem, v, up[p]);
    const double down_user = -user_cost_step(problem, v, down[p]);
    out.cost_up[vv] = rise > 0 ? up_user : down_user;
    out.cost_down[vv] = rise > 0 ? down_user : up_user;
    auto entering_reference = [&](std::int32_t e) {
      if (e < 0) return 0;
      return reference(e, basis.status[static_cast<std::size_t>(e)] == VariableStatus::at_upper, m);
    };
    const double moves[2] = {flip * user_step(problem, v, up_move[p]), flip * user_step(problem, v, down_move[p])};
    const std::int32_t refs[2] = {entering_reference(up_entering[p]), entering_reference(down_entering[p])};
    for (int k = 0; k < 2; ++k) {
      if (refs[k] == 0) continue;
      if (moves[k] <= 0) {
        out.lower_change[vv] = moves[k];
        out.lower_reference[vv] = refs[k];
      } else {
        out.upper_change[vv] = moves[k];
        out.upper_reference[vv] = refs[k];
      }
    }
  }

  // Activities in the caller's units: a row's is rhs - s.
  for (std::int32_t v = 0; v < total; ++v) {
    const auto vv = static_cast<std::size_t>(v);
    double value = to_user_value(problem, v, basis.x[vv]);
    if (v < m) value = to_user_value(problem, v, problem.rhs[vv]) - value;
    out.activity[vv] = value;
  }
  return lib.err.return_code;
}

}  // namespace kqopt
