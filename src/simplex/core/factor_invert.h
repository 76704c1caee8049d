// INVERT as the simplex runs it: the basis header built from the variable
// status words (with the repair of message 140), the factorisation (with the
// singular repair of message 101 carried back into the status words), the
// basic values x_B = B^-1 (b - sum over nonbasic j of a_j x_j), and the
// accuracy check that marks the factorisation doubtful and, once per run,
// refactorises with the pivot threshold raised to 0.15.
//
// Variables are numbered as in factor.h: logicals 0..m-1, structurals m..m+n-1.
// The caller recomputes the primal infeasibilities and the objective after a
// successful INVERT.
#pragma once

#include <cstdint>
#include <span>

#include "simplex/factor/factor.h"

namespace kqopt {

// Bits of the variable status word read and written here.
inline constexpr std::uint32_t kStatusFree = 0x001;  // neither bound finite
inline constexpr std::uint32_t kStatusBasic = 0x002;
inline constexpr std::uint32_t kStatusAtUpper = 0x004;  // nonbasic at its upper bound
inline constexpr std::uint32_t kStatusFiniteLower = 0x200;
inline constexpr std::uint32_t kStatusFiniteUpper = 0x400;

// What INVERT reads and writes besides the matrix. Spans of m + n entries
// (status, lower, upper) or m entries (rhs, header, x_basic).
struct BasisState {
  std::span<std::uint32_t> status;
  std::span<const double> lower;
  std::span<const double> upper;
  std::span<const double> rhs;     // b of A x + s = b
  std::span<std::int32_t> header;  // written: variable basic in each position
  std::span<double> x_basic;       // written: value of each basic variable
};

// Basis header from the status words: basic logicals in row order, then basic
// structurals in index order. Surplus structurals (beyond m) are made
// nonbasic; missing ones are made up by the logicals of nonbasic rows, taken
// in row order (basic bit set, at-upper bit cleared). Counts for message 140
// go to the report.
void build_basis_header(std::span<std::uint32_t> status, std::int32_t m, std::span<std::int32_t> header,
                        InvertReport& report);

// Value of a nonbasic variable: its upper bound when the at-upper bit is set,
// zero when it is free, its lower bound otherwise (the finite bound, or zero,
// when that bound is infinite).
double nonbasic_value(std::uint32_t status, double lower, double upper);

// Full INVERT. On success the header, x_basic and the status words describe
// the factorised basis and report.residual_measure the accuracy reached.
// Failures as for Factor::factorise.
FactorStatus invert(Factor& factor, const BasisView& basis, const BasisState& state, const FactorSettings& settings,
                    InvertReport& report);

// x_B = B^-1 (b - sum of nonbasic a_j x_j) with the current factorisation;
// work has m entries. Returns max |r_i| for r = b - A x over all variables.
double compute_basic_values(Factor& factor, const BasisView& basis, const BasisState& state, WorkVector& work);

}  // namespace kqopt
