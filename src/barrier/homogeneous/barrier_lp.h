// The interior-point method's own copy of the LP and the way back to the engine's
// variables. The engine's form is [I A] x = rhs with bounds on all m + n variables (row
// logicals first); the method wants  minimise c'x  subject to  A x = b  with every
// variable nonnegative, nonnegative with an upper bound (x + xu = u), or free. So:
//   - a row whose logical has no finite bound constrains nothing and is dropped;
//   - a variable whose bounds are within the fixing tolerance is fixed and moves into
//     the right-hand side and the objective constant (an equality row is a row whose
//     logical is fixed at zero);
//   - every other variable becomes a column, shifted by its finite lower bound, or
//     mirrored at its upper bound when only that one is finite.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kqopt::barrier {

// The engine's LP as spans (internal units, costs with the sense applied).
struct EngineLpView {
  std::int32_t m = 0;
  std::int32_t n = 0;
  std::span<const std::int32_t> column_start;  // n + 1
  std::span<const std::int32_t> row_index;
  std::span<const double> value;
  std::span<const double> cost;   // m + n
  std::span<const double> lower;  // m + n
  std::span<const double> upper;  // m + n
  std::span<const double> rhs;    // m
};

enum class ColumnKind : std::int8_t { nonnegative = 0, bounded = 1, free = 2 };

struct BarrierLp {
  std::int32_t m = 0;  // kept rows
  std::int32_t n = 0;  // columns
  std::vector<std::int64_t> start;
  std::vector<std::int32_t> row;
  std::vector<double> value;
  std::vector<double> b, c, u;  // u: upper bound of bounded columns, 0 otherwise
  std::vector<ColumnKind> kind;
  double constant = 0.0;  // the fixed variables' share of the objective

  // Way back: column k is engine variable source[k] = shift[k] + sign[k] * x_k.
  std::vector<std::int32_t> source;
  std::vector<double> shift;
  std::vector<double> sign;
  std::vector<std::int32_t> kept_row;  // engine row -> kept row, or -1 when dropped
  std::vector<double> fixed_value;     // per engine variable: its value when fixed
  std::vector<std::int8_t> fixed;      // per engine variable

  std::int32_t free_columns() const;
  std::int32_t bounded_columns() const;
};

bool is_infinite_bound(double v);

// Throws std::bad_alloc when memory is short.
BarrierLp build_barrier_lp(const EngineLpView& lp, double fixing_tolerance);

// The engine's values from the method's: x (n) to all m + n engine variables (dropped
// rows' logicals from their rows), y (kept rows) to the m row prices, and the reduced
// costs cost - [I A]' pi of every engine variable.
void recover_engine_solution(const EngineLpView& lp, const BarrierLp& blp, std::span<const double> x,
                             std::span<const double> y, std::span<double> engine_x, std::span<double> pi,
                             std::span<double> reduced_cost);

}  // namespace kqopt::barrier
