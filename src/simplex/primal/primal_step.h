// The steps of one primal simplex iteration after pricing, shared by the primal
// simplex run and the single pivots of the library interface (KQPIVOT, KQGETPIVOTS):
// transform the entering column, choose the leaving position by the ratio test,
// move the basic values along the column, and change the basis with its
// factorisation update.
//
// Maths. Entering variable q moves by theta >= 0 in direction d (+1 up, -1 down);
// with alpha = B^-1 a_q (indexed by basis position) the basic values follow
//     x_B(theta) = x_B - d * theta * alpha,
// so the basic variable in position p changes at rate delta_p = -d * alpha_p.
// Bounds are passed as spans of m + n working bounds (the run may widen them).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "simplex/core/simplex_basis.h"
#include "simplex/core/working_lp.h"
#include "simplex/factor/factor.h"

namespace kqopt {

enum class StepKind { pivot, flip, unbounded, rejected };

// Outcome of the ratio test.
struct Step {
  StepKind kind = StepKind::rejected;
  std::int32_t position = -1;  // leaving position for a pivot
  double theta = 0.0;          // step length >= 0 in the entering direction
  bool leaves_at_upper = false;
  bool shift_bound = false;  // the exact ratio was negative: move the bound to the value
};

struct RatioTestSettings {
  double feasibility_tolerance = 1.0e-6;     // ZTOLZE: bound relaxation of pass 1
  double pivot_tolerance = 1.0e-9;           // ZTOLPV: smallest |alpha_p| that limits the step
  double relative_pivot_tolerance = 1.0e-6;  // ZTOLRP: pivot acceptance relative to max |alpha|
  bool lenient = false;                      // accept any pivot above the absolute tolerance
};

// Scratch of the ratio test: the entries the relaxed pass found able to stop the step,
// with their exact ratios, so that the choice among them needs no second pass over the
// column. Sized to the rows by the first test that uses it.
struct RatioTestWork {
  std::vector<std::int32_t> position;
  std::vector<double> ratio;
  std::vector<double> size;
  std::vector<char> at_upper;
};

// alpha <- B^-1 a_q: loads the column of q (a structural's matrix column, e_q for a
// logical) and FTRANs it, keeping the spike for the update. Needs factor.valid().
void transform_entering_column(const WorkingLp& lp, Factor& factor, std::int32_t q, WorkVector& alpha);

// Two-pass ratio test with bound tolerances for q moving in direction (+1 / -1),
// alpha from transform_entering_column. Pass 1 finds the largest step theta1 that
// keeps every basic variable within its bounds relaxed by the feasibility tolerance
// (an infeasible basic variable is stopped by the bound it violates); pass 2 takes,
// among the positions whose exact ratio is at most theta1, the one with the largest
// |alpha| (ties: the smaller ratio). Reports
//   pivot     leaving position, exact step (negative ratios give 0 and shift_bound),
//   flip      q reaches its own other bound first (theta = its range),
//   unbounded no basic variable and no bound of q limits the step,
//   rejected  the pivot is small relative to max |alpha| (never when lenient).
// Entries with |alpha_p| below max(ZTOLPV, 1e-11 * max |alpha|) are ignored.
// Reads basis.header and basis.x.
[[nodiscard]] Step primal_ratio_test(const SimplexBasis& basis, std::span<const double> lower,
                                     std::span<const double> upper, const WorkVector& alpha, std::int32_t q,
                                     int direction, const RatioTestSettings& settings);
// The same with the caller's scratch (allocates only when it is smaller than the rows).
[[nodiscard]] Step primal_ratio_test(const SimplexBasis& basis, std::span<const double> lower,
                                     std::span<const double> upper, const WorkVector& alpha, std::int32_t q,
                                     int direction, const RatioTestSettings& settings, RatioTestWork& work);

// x_B <- x_B - direction * theta * alpha (the entering variable is the caller's).
void move_basic_values(SimplexBasis& basis, const WorkVector& alpha, int direction, double theta);

// Bound flip: q, nonbasic, goes to its other bound (status and value).
void flip_to_other_bound(SimplexBasis& basis, std::span<const double> lower, std::span<const double> upper,
                         std::int32_t q);

// Basis change of a pivot step: q becomes basic in step.position, the variable that
// was basic there nonbasic at the bound step names (at lower when it is fixed); the
// values are the caller's. The factorisation is updated unless a refactorisation is
// due or the update is refused; false then, and the caller refactorises. The header
// holds q in step.position either way.
[[nodiscard]] bool exchange_basis(SimplexBasis& basis, Factor& factor, const WorkVector& alpha, std::int32_t q,
                                  const Step& step, std::span<const double> lower, std::span<const double> upper,
                                  const FactorSettings& settings);

}  // namespace kqopt
