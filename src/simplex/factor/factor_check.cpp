// Products with the basis matrix and the scaled FTRAN/BTRAN residuals.
#include "simplex/factor/factor_check.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kqopt {

namespace {

double norm_inf(std::span<const double> v) {
  double n = 0.0;
  for (const double x : v) n = std::max(n, std::fabs(x));
  return n;
}

double scaled_residual(std::span<const double> product, std::span<const double> target, double norm_b,
                       double norm_solution) {
  double e = 0.0;
  for (std::size_t i = 0; i < product.size(); ++i) e = std::max(e, std::fabs(product[i] - target[i]));
  const double scale = norm_b * norm_solution + norm_inf(target);
  return scale > 0.0 ? e / scale : e;
}

}  // namespace

void multiply_basis(const BasisView& basis, std::span<const std::int32_t> header, std::span<const double> x,
                    std::span<double> out) {
  const std::int32_t m = basis.rows;
  std::fill(out.begin(), out.end(), 0.0);
  for (std::int32_t p = 0; p < m; ++p) {
    const double xp = x[static_cast<std::size_t>(p)];
    const std::int32_t v = header[static_cast<std::size_t>(p)];
    if (xp == 0.0) continue;
    if (v < m) {
      out[static_cast<std::size_t>(v)] += xp;
      continue;
    }
    for (std::int32_t k = basis.column_start[static_cast<std::size_t>(v - m)];
         k < basis.column_start[static_cast<std::size_t>(v - m + 1)]; ++k) {
      out[static_cast<std::size_t>(basis.row_index[static_cast<std::size_t>(k)])] +=
          basis.value[static_cast<std::size_t>(k)] * xp;
    }
  }
}

void multiply_basis_transposed(const BasisView& basis, std::span<const std::int32_t> header, std::span<const double> y,
                               std::span<double> out) {
  const std::int32_t m = basis.rows;
  for (std::int32_t p = 0; p < m; ++p) {
    const std::int32_t v = header[static_cast<std::size_t>(p)];
    double sum = 0.0;
    if (v < m) {
      sum = y[static_cast<std::size_t>(v)];
    } else {
      for (std::int32_t k = basis.column_start[static_cast<std::size_t>(v - m)];
           k < basis.column_start[static_cast<std::size_t>(v - m + 1)]; ++k) {
        sum += basis.value[static_cast<std::size_t>(k)] *
               y[static_cast<std::size_t>(basis.row_index[static_cast<std::size_t>(k)])];
      }
    }
    out[static_cast<std::size_t>(p)] = sum;
  }
}

double basis_norm_inf(const BasisView& basis, std::span<const std::int32_t> header) {
  const std::int32_t m = basis.rows;
  std::vector<double> row_sum(static_cast<std::size_t>(m), 0.0);
  for (std::int32_t p = 0; p < m; ++p) {
    const std::int32_t v = header[static_cast<std::size_t>(p)];
    if (v < m) {
      row_sum[static_cast<std::size_t>(v)] += 1.0;
      continue;
    }
    for (std::int32_t k = basis.column_start[static_cast<std::size_t>(v - m)];
         k < basis.column_start[static_cast<std::size_t>(v - m + 1)]; ++k) {
      row_sum[static_cast<std::size_t>(basis.row_index[static_cast<std::size_t>(k)])] +=
          std::fabs(basis.value[static_cast<std::size_t>(k)]);
    }
  }
  return norm_inf(row_sum);
}

double ftran_residual(const BasisView& basis, std::span<const std::int32_t> header, std::span<const double> x,
                      std::span<const double> a) {
  std::vector<double> product(static_cast<std::size_t>(basis.rows));
  multiply_basis(basis, header, x, product);
  return scaled_residual(product, a, basis_norm_inf(basis, header), norm_inf(x));
}

double btran_residual(const BasisView& basis, std::span<const std::int32_t> header, std::span<const double> y,
                      std::span<const double> c) {
  std::vector<double> product(static_cast<std::size_t>(basis.rows));
  multiply_basis_transposed(basis, header, y, product);
  return scaled_residual(product, c, basis_norm_inf(basis, header), norm_inf(y));
}

}  // namespace kqopt
