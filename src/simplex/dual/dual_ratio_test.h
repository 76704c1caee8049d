// The dual ratio test with long steps: the choice of the entering variable along the
// leaving row, passing the breakpoints of boxed variables while the dual objective
// still improves.
//
// Maths. With the duals moving by theta >= 0 along the leaving row, the reduced cost of
// nonbasic j becomes d_j - theta * a_j, with a_j = s * alpha_pj (s = -1 when the leaving
// variable goes to its lower bound, +1 to its upper). A variable at its lower bound
// (d_j >= 0) meets zero when a_j > 0, one at its upper bound (d_j <= 0) when a_j < 0, a
// free one (d_j = 0) at once. The dual objective rises at the rate `slope` (the primal
// infeasibility of the leaving variable) and, after the breakpoint of boxed j, at
// slope - |a_j| (u_j - l_j): j then flips to its other bound and the step goes on. The
// step stops at the first breakpoint after which the slope would turn negative, or at
// a non-boxed variable. Breakpoints are taken in groups (Harris): the group of a pass is
// every candidate whose exact ratio is within the smallest ratio relaxed by the dual
// feasibility tolerance, and the entering variable is the group's largest |a_j|.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "simplex/core/simplex_basis.h"

namespace kqopt {

struct DualRatioSettings {
  double dual_feasibility_tolerance = 1.0e-7;  // relaxation of the reduced costs' signs
  double pivot_tolerance = 1.0e-7;             // smallest |alpha_pj| that can enter
  // A slope at or below this counts as spent: the leaving variable would end within
  // the primal feasibility tolerance of its bound.
  double slope_tolerance = 1.0e-6;
  bool long_steps = true;  // pass boxed breakpoints
};

struct DualRatio {
  std::int32_t entering = -1;       // -1: no breakpoint ends the step (the dual is unbounded)
  double theta = 0.0;               // d_q / a_q, the dual step (may be slightly negative)
  double alpha = 0.0;               // alpha_pq (unsigned: the pivot row's own entry)
  std::vector<std::int32_t> flips;  // boxed variables passed: they go to their other bound
};

// Scratch of the ratio test, sized once for m + n variables.
struct DualRatioWork {
  std::vector<std::int32_t> candidate;
  std::vector<double> signed_alpha;
  // A test that passes many groups of breakpoints goes through the rest in the order
  // of their exact ratios (see dual_ratio_test.cpp).
  std::vector<std::int32_t> order;
  std::vector<double> exact;
  std::vector<double> relaxed;
  std::vector<double> suffix_min;
  void reserve(std::int32_t variables) {
    const auto n = static_cast<std::size_t>(variables);
    candidate.resize(n);
    signed_alpha.resize(n);
    order.resize(n);
    exact.resize(n);
    relaxed.resize(n);
    suffix_min.resize(n + 1);
  }
};

// row_index lists the nonbasic variables with an entry alpha_pj in the dense array
// row_value (m + n). direction = s above; slope > 0. Fixed variables never stop the
// step. result.flips is cleared and filled (its capacity is reused).
void dual_ratio_test(std::span<const std::int32_t> row_index, std::span<const double> row_value,
                     std::span<const double> reduced_cost, std::span<const VariableStatus> status,
                     std::span<const double> lower, std::span<const double> upper, int direction, double slope,
                     const DualRatioSettings& settings, DualRatioWork& work, DualRatio& result);

}  // namespace kqopt
