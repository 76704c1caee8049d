// Scale exponents applied to the stored problem: the factor table, the change of the
// stored values from one set of exponents to another, and the scaling step of a load.
//
// Each variable keeps its scale exponent k (1..127; 64, or 0, is neutral) in the top
// byte of its status word; the factor is 2^(64 − k): R_i for the logical of row i, C_j
// for column j. The problem is stored scaled (problem.h):
//
//     a'_ij = a_ij·R_i·C_j   c'_j = c_j·C_j   l'_j = l_j / C_j   u'_j = u_j / C_j
//     rhs'_i = rhs_i·R_i and the logical bounds of row i times R_i
//
// and every solver works on the stored values; units.h and simplex/core/solution_units.h
// turn them back into the caller's units. Factors are powers of two, so scaling and
// unscaling are exact (outside the subnormal range) and ±infinity is never touched. Which
// exponents to take is computed by a kernel (simplex/prep/scaling_factors.h).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "problem/problem.h"

namespace kqopt {

struct Library;

inline constexpr int kMinScaleExponent = 1;
inline constexpr int kMaxScaleExponent = 127;

// The table 2^(t − 64) for t = 1..127 (entry 0 unused). The factor 2^(64 − k) of exponent
// k is entry 128 − k, its reciprocal entry k.
inline constexpr std::array<double, 128> kPowersOfTwo = [] {
  std::array<double, 128> table{};
  double up = 1.0, down = 1.0;
  table[64] = 1.0;
  for (int d = 1; d <= 63; ++d) {
    up *= 2.0;
    down /= 2.0;
    table[static_cast<std::size_t>(64 + d)] = up;
    table[static_cast<std::size_t>(64 - d)] = down;
  }
  return table;
}();
// 2^(64 − k) and 2^(k − 64); k must lie in 1..127.
inline double scale_factor(int k) { return kPowersOfTwo[static_cast<std::size_t>(128 - k)]; }
inline double inverse_scale_factor(int k) { return kPowersOfTwo[static_cast<std::size_t>(k)]; }

struct ScaleExponents {
  std::vector<int> row;     // [rows], each in 1..127
  std::vector<int> column;  // [columns]
};

// A row multiplier f_i per row slot and a column multiplier g_j per column: what a change
// of exponents does to the stored values (scale_exponents.cpp gives the rules).
struct ScaleMultipliers {
  std::vector<double> row;     // f_i, M entries
  std::vector<double> column;  // g_j, n entries
};

// The multipliers that take the factors of p's current exponents out, and those that
// put the exponents e in.
ScaleMultipliers removing_multipliers(const Problem& p);
ScaleMultipliers multipliers_of(const ScaleExponents& e);
// Multiplies every stored value of p (bounds, costs, matrix copies, entity records).
void multiply_problem(Problem& p, const ScaleMultipliers& m);
// Records e in the status words (null: every exponent neutral).
void set_scale_exponents(Problem& p, const ScaleExponents* e);

// Converts every stored value of p from the current exponents to `next` and records
// `next` (the problem alone: a solution held for p is the caller's to convert).
void apply_scale_exponents(Problem& p, const ScaleExponents& next);

// The exponents that IFSCAL selects for p, whose exponents must be neutral, with
// messages 30 / 31 when IFMSG ≠ 0; the neutral set when IFSCAL is 0.
ScaleExponents choose_scale_exponents(Library& lib, const Problem& p);

// The scaling step of a load: the current scale is removed, the exponents IFSCAL selects
// are applied, then the cost scale is set. p must have a current column-wise matrix and
// no solution held for it.
void scale_loaded_problem(Library& lib, Problem& p);

// The power of two nearest the largest |c'_j| (1 when every cost is zero): the unit in
// which the phase-1 weight BIGM and the penalty PENLTY are read.
double compute_cost_scale(const Problem& p);

// BIGM, INFWGT and PENLTY in the units of the stored costs.
inline double phase_one_weight(const Problem& p, double weight) { return weight * p.cost_scale; }
inline double scaled_penalty(const Problem& p, double penalty) { return penalty * p.cost_scale; }

}  // namespace kqopt
