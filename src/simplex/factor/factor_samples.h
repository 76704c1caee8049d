// Sample bases for the factorisation's self-checks, tests and benchmarks: a
// structural matrix (CSC) with a basis header over it, made from a seed.
//
//   random_sample_basis      m rows, 2m columns of about per_column random
//                            entries each (magnitudes 0.1..10, random signs);
//                            a fraction of logicals on random rows, the rest
//                            random structurals. Often structurally singular.
//   structured_sample_basis  a staircase as LP bases from models often look:
//                            a diagonal of mostly unit entries, -1 links to
//                            the next row, a band of random entries and a few
//                            dense linking rows; columns 0..m-1 are basic,
//                            with a fraction replaced by logicals.
#pragma once

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "simplex/factor/factor.h"

namespace kqopt {

struct SampleBasis {
  std::int32_t m = 0;
  std::int32_t n = 0;
  std::vector<std::int32_t> start{0};  // n + 1
  std::vector<std::int32_t> index;
  std::vector<double> value;
  std::vector<std::int32_t> header;  // m variables

  BasisView view() const { return {m, n, start, index, value}; }
  // Appends a structural column given as (row, value) pairs.
  void add_column(const std::vector<std::pair<std::int32_t, double>>& entries);
  // The column of a variable (logical or structural) as a dense vector.
  std::vector<double> dense_column(std::int32_t variable) const;
};

// A value of magnitude 0.1..10 with a random sign.
double sample_value(std::mt19937_64& rng);

SampleBasis random_sample_basis(std::int32_t m, std::int32_t per_column, double logical_fraction, std::uint64_t seed);
SampleBasis structured_sample_basis(std::int32_t m, double logical_fraction, std::uint64_t seed);

}  // namespace kqopt
