// Sample bases for self-checks, tests and benchmarks.
#include "simplex/factor/factor_samples.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kqopt {

void SampleBasis::add_column(const std::vector<std::pair<std::int32_t, double>>& entries) {
  for (const auto& [i, v] : entries) {
    index.push_back(i);
    value.push_back(v);
  }
  start.push_back(static_cast<std::int32_t>(index.size()));
  ++n;
}

std::vector<double> SampleBasis::dense_column(std::int32_t variable) const {
  std::vector<double> a(static_cast<std::size_t>(m), 0.0);
  if (variable < m) {
    a[static_cast<std::size_t>(variable)] = 1.0;
    return a;
  }
  const std::int32_t j = variable - m;
  for (std::int32_t k = start[static_cast<std::size_t>(j)]; k < start[static_cast<std::size_t>(j + 1)]; ++k) {
    a[static_cast<std::size_t>(index[static_cast<std::size_t>(k)])] = value[static_cast<std::size_t>(k)];
  }
  return a;
}

double sample_value(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> magnitude(0.1, 10.0);
  return (rng() & 1U) ? magnitude(rng) : -magnitude(rng);
}

SampleBasis random_sample_basis(std::int32_t m, std::int32_t per_column, double logical_fraction, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  SampleBasis b;
  b.m = m;
  std::vector<std::int32_t> rows(static_cast<std::size_t>(m));
  std::iota(rows.begin(), rows.end(), 0);
  std::vector<std::pair<std::int32_t, double>> entries;
  for (std::int32_t j = 0; j < 2 * m; ++j) {
    const auto count = std::min<std::int32_t>(
        m, 1 + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(2 * per_column - 1)));
    entries.clear();
    for (std::int32_t k = 0; k < count; ++k) {
      const auto pick = k + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(m - k));
      std::swap(rows[static_cast<std::size_t>(k)], rows[static_cast<std::size_t>(pick)]);
      entries.emplace_back(rows[static_cast<std::size_t>(k)], sample_value(rng));
    }
    b.add_column(entries);
  }
  std::shuffle(rows.begin(), rows.end(), rng);
  std::vector<std::int32_t> columns(static_cast<std::size_t>(b.n));
  std::iota(columns.begin(), columns.end(), 0);
  std::shuffle(columns.begin(), columns.end(), rng);
  const auto logicals = static_cast<std::int32_t>(std::lround(logical_fraction * m));
  for (std::int32_t k = 0; k < logicals; ++k) b.header.push_back(rows[static_cast<std::size_t>(k)]);
  for (std::int32_t k = 0; static_cast<std::int32_t>(b.header.size()) < m; ++k) {
    b.header.push_back(m + columns[static_cast<std::size_t>(k)]);
  }
  return b;
}

SampleBasis structured_sample_basis(std::int32_t m, double logical_fraction, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  SampleBasis b;
  b.m = m;
  std::vector<std::int32_t> stamp(static_cast<std::size_t>(m), -1);
  std::vector<std::pair<std::int32_t, double>> entries;
  for (std::int32_t j = 0; j < 2 * m; ++j) {
    entries.clear();
    const auto add = [&](std::int32_t i, double v) {
      if (stamp[static_cast<std::size_t>(i)] == j) return;
      stamp[static_cast<std::size_t>(i)] = j;
      entries.emplace_back(i, v);
    };
    const std::int32_t d = j % m;
    add(d, unit(rng) < 0.5 ? 1.0 : sample_value(rng));
    if (unit(rng) < 0.4) add((d + 1) % m, -1.0);
    if (unit(rng) < 0.5) add((d + 1 + static_cast<std::int32_t>(rng() % 20)) % m, sample_value(rng));
    for (std::int32_t link = 0; link < std::min(m, 3); ++link) {
      if (unit(rng) < 0.15) add(link, sample_value(rng));
    }
    b.add_column(entries);
  }
  std::vector<std::int32_t> rows(static_cast<std::size_t>(m));
  std::iota(rows.begin(), rows.end(), 0);
  std::shuffle(rows.begin(), rows.end(), rng);
  b.header.resize(static_cast<std::size_t>(m));
  for (std::int32_t p = 0; p < m; ++p) b.header[static_cast<std::size_t>(p)] = m + p;
  const auto logicals = static_cast<std::int32_t>(std::lround(logical_fraction * m));
  for (std::int32_t k = 0; k < logicals; ++k) {
    const std::int32_t r = rows[static_cast<std::size_t>(k)];
    b.header[static_cast<std::size_t>(r)] = r;
  }
  return b;
}

}  // namespace kqopt
