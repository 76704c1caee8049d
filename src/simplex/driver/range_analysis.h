// Sensitivity of an optimal basis: how far each nonbasic variable's activity can move
// before a basic variable reaches a bound (activity ranging), and how far each basic
// variable's cost can move before a reduced cost changes sign (cost ranging).
//
// The ratio tests take spans in the engine's frame (it minimises; a nonbasic variable
// moves away from its bound by t >= 0 after its column is negated at an upper bound);
// range_analysis() turns them into the caller's frame: activities in user units (a
// row's activity is a.x = rhs - s, so a row moves opposite to its logical), costs in
// the user's objective sense.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kqopt {

struct Library;

// One side of a ratio test: the step and the position that stops it (-1: none), and
// whether that basic variable reaches its upper bound.
struct RatioLimit {
  double step = 0.0;
  std::int32_t position = -1;
  bool at_upper = false;
};

// Ratio test of alpha = B^-1 a_j (sign applied) over the basic values xb with bounds
// lb, ub by position, x_B(p) moving by -alpha_p * t. Positions with skip[p] set and
// |alpha_p| <= pivot_tolerance are left out. increase: the smallest t >= 0, decrease
// the largest t <= 0 (+-infinity when nothing limits); strict comparison, so the
// earliest position wins a tie.
void activity_ratio_test(std::span<const double> alpha, std::span<const double> xb, std::span<const double> lb,
                         std::span<const double> ub, std::span<const std::uint8_t> skip, double pivot_tolerance,
                         double infinity, RatioLimit& increase, RatioLimit& decrease);

// Cost ranging contribution of one nonbasic variable j with reduced cost dj >= 0 (sign
// applied) and column alpha: for alpha_p > tolerance the cost of the variable basic in
// p may rise by at most dj / alpha_p, for alpha_p < -tolerance fall by at most
// dj / alpha_p (<= 0). Tightens up[p] / down[p] and names j as the entering variable.
void cost_ratio_update(std::span<const double> alpha, double dj, std::int32_t j, double pivot_tolerance,
                       std::span<double> up, std::span<std::int32_t> up_entering, std::span<double> down,
                       std::span<std::int32_t> down_entering);

// Ranges of every variable (rows slots first, then columns), in the caller's frame.
// References are 1-based variable numbers over the row slots and columns, negative
// when the limiting variable is at (or reaches) its upper limit (a row's upper
// activity limit), 0 for none.
struct VariableRanges {
  std::vector<std::uint8_t> basic;
  std::vector<double> activity;               // a basic variable's activity, else the limit it rests at
  std::vector<double> lower_change;           // <= 0: lower activity limit = activity + lower_change
  std::vector<double> upper_change;           // >= 0
  std::vector<std::int32_t> lower_reference;  // stops the move down
  std::vector<std::int32_t> upper_reference;  // stops the move up
  std::vector<double> cost_up;                // basic: how far the cost may rise (>= 0)
  std::vector<double> cost_down;              // basic: how far it may fall (>= 0)
};

// The most variables (row slots and columns) ranging takes: references are 16-bit.
inline constexpr std::int32_t kMaxRangingVariables = 32000;

// Computes the ranges of the optimal basis of the current problem. Errors: 91 no
// problem; 11 no optimal LP solution; 179 too many variables; the factorisation's.
std::int32_t range_analysis(Library& lib, VariableRanges& ranges);

}  // namespace kqopt
