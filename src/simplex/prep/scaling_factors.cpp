// Choosing the scale exponents (scaling.h gives the families IFSCAL selects).
//
// Scales are kept in log2 units as the amount divided out of a line: row i is divided
// by 2^r_i and column j by 2^c_j, so the scaled entry has log2 |a'_ij| = l_ij − r_i − c_j
// with l_ij = log2 |a_ij|, and the exponent byte is k = trunc(s + 64), clamped to 1..127
// (factor 2^(64 − k) ≈ 2^−s).
//
//   largest entry   r_i = round(max_j (l_ij − c_j)), computed exactly from the binary
//                   exponent, so the largest scaled entry of the line lies in [√½, √2);
//   logarithmic     r_i = round((max_j (l_ij − c_j) + min_j (l_ij − c_j)) / 2), the power
//   single pass     of two nearest the geometric mean of the line's extremes;
//   extreme value   the same midpoint without rounding, rows then columns per sweep;
//   mean            r_i = mean_j (l_ij − c_j), c_j = mean_i (l_ij − r_i) per sweep.
// Columns the same way with the rows' scales. Held lines keep scale 0; ignored rows
// (free rows) get their own scale but are left out of the column computations.
#include <algorithm>
#include <cmath>

#include "simplex/prep/scaling_factors.h"

namespace kqopt {

namespace {

constexpr int kMaxShift = 63;  // |64 − k| for k in 1..127
constexpr int kExtremeSweeps = 4;
constexpr int kMeanSweeps = 10;
constexpr double kStopChange = 1.0;  // below one power of two no exponent would change
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kHalfRootTwo = 0.70710678118654752440;

int clamp_shift(long long s) { return static_cast<int>(std::clamp<long long>(s, -kMaxShift, kMaxShift)); }

class ExponentComputation {
 public:
  explicit ExponentComputation(const ScalingInput& in)
      : in_(in),
        row_scale_(static_cast<std::size_t>(in.rows), 0.0),
        column_scale_(static_cast<std::size_t>(in.columns), 0.0),
        usable_(in.value.size(), 0),
        log_(in.value.size(), 0.0) {
    for (std::size_t k = 0; k < in.value.size(); ++k) {
      const double a = std::fabs(in.value[k]);
      if (!(a > 0.0) || !std::isfinite(a)) continue;
      usable_[k] = 1;
      log_[k] = std::log2(a);
    }
  }

  void largest_entry_rows();
  void largest_entry_columns();
  void midpoint_rows(bool round_to_integer);
  double midpoint_columns(bool round_to_integer);  // returns the largest change
  void mean_sweeps(ScalingSweeps& sweeps);

  ScaleExponents exponents() const;

 private:
  bool row_held(std::size_t i) const { return in_.row_held[i] != 0; }
  bool row_ignored(std::size_t i) const { return in_.row_ignored[i] != 0; }
  bool column_held(std::size_t j) const { return in_.column_held[j] != 0; }
  std::size_t begin(std::size_t j) const { return static_cast<std::size_t>(in_.column_start[j]); }
  std::size_t end(std::size_t j) const { return static_cast<std::size_t>(in_.column_start[j + 1]); }
  std::size_t row_of(std::size_t k) const { return static_cast<std::size_t>(in_.row_index[k]); }

  const ScalingInput& in_;
  std::vector<double> row_scale_;
  std::vector<double> column_scale_;
  std::vector<char> usable_;
  std::vector<double> log_;
};

// Largest-entry scales are integers: the largest |a_ij|·2^−c_j of the line, m·2^e with m
// in [0.5, 1), is divided by the power of two nearest it, 2^e or 2^(e−1).
long long nearest_power(double largest) {
  int e = 0;
  const double m = std::frexp(largest, &e);
  return m >= kHalfRootTwo ? e : e - 1;
}

void ExponentComputation::largest_entry_rows() {
  std::vector<double> best(row_scale_.size(), 0.0);
  for (std::size_t j = 0; j < column_scale_.size(); ++j) {
    const int c = static_cast<int>(column_scale_[j]);
    for (std::size_t k = begin(j); k < end(j); ++k) {
      if (!usable_[k]) continue;
      const std::size_t i = row_of(k);
      best[i] = std::max(best[i], std::ldexp(std::fabs(in_.value[k]), -c));
    }
  }
  for (std::size_t i = 0; i < row_scale_.size(); ++i) {
    if (row_held(i)) continue;
    row_scale_[i] = best[i] > 0.0 ? clamp_shift(nearest_power(best[i])) : 0.0;
  }
}

void ExponentComputation::largest_entry_columns() {
  for (std::size_t j = 0; j < column_scale_.size(); ++j) {
    if (column_held(j)) continue;
    double best = 0.0;
    for (std::size_t k = begin(j); k < end(j); ++k) {
      const std::size_t i = row_of(k);
      if (!usable_[k] || row_ignored(i)) continue;
      best = std::max(best, std::ldexp(std::fabs(in_.value[k]), -static_cast<int>(row_scale_[i])));
    }
    column_scale_[j] = best > 0.0 ? clamp_shift(nearest_power(best)) : 0.0;
  }
}

void ExponentComputation::midpoint_rows(bool round_to_integer) {
  std::vector<double> high(row_scale_.size(), -HUGE_VAL);
  std::vector<double> low(row_scale_.size(), HUGE_VAL);
  for (std::size_t j = 0; j < column_scale_.size(); ++j) {
    for (std::size_t k = begin(j); k < end(j); ++k) {
      if (!usable_[k]) continue;
      const std::size_t i = row_of(k);
      const double t = log_[k] - column_scale_[j];
      high[i] = std::max(high[i], t);
      low[i] = std::min(low[i], t);
    }
  }
  for (std::size_t i = 0; i < row_scale_.size(); ++i) {
    if (row_held(i)) continue;
    if (high[i] < low[i]) {
      row_scale_[i] = 0.0;
      continue;
    }
    const double s = 0.5 * (high[i] + low[i]);
    row_scale_[i] = round_to_integer ? clamp_shift(std::llround(s)) : s;
  }
}

double ExponentComputation::midpoint_columns(bool round_to_integer) {
  double largest_change = 0.0;
  for (std::size_t j = 0; j < column_scale_.size(); ++j) {
    if (column_held(j)) continue;
    double high = -HUGE_VAL, low = HUGE_VAL;
    for (std::size_t k = begin(j); k < end(j); ++k) {
      const std::size_t i = row_of(k);
      if (!usable_[k] || row_ignored(i)) continue;
      const double t = log_[k] - row_scale_[i];
      high = std::max(high, t);
      low = std::min(low, t);
    }
    double s = 0.0;
    if (high >= low) {
      s = 0.5 * (high + low);
      if (round_to_integer) s = clamp_shift(std::llround(s));
    }
    largest_change = std::max(largest_change, std::fabs(s - column_scale_[j]));
    column_scale_[j] = s;
  }
  return largest_change;
}

void ExponentComputation::mean_sweeps(ScalingSweeps& sweeps) {
  // Counts and sums of log2 |a_ij|, per row over all its entries and per column over
  // its entries in rows that take part, gathered once.
  const std::size_t m = row_scale_.size(), n = column_scale_.size();
  std::vector<double> row_sum(m, 0.0), column_sum(n, 0.0);
  std::vector<std::int32_t> row_count(m, 0), column_count(n, 0);
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t k = begin(j); k < end(j); ++k) {
      if (!usable_[k]) continue;
      const std::size_t i = row_of(k);
      row_sum[i] += log_[k];
      ++row_count[i];
      if (row_ignored(i)) continue;
      column_sum[j] += log_[k];
      ++column_count[j];
    }
  }
  std::vector<double> accumulated(m);
  for (int sweep = 0; sweep < kMeanSweeps; ++sweep) {
    // Rows from the current column scales.
    std::fill(accumulated.begin(), accumulated.end(), 0.0);
    for (std::size_t j = 0; j < n; ++j) {
      for (std::size_t k = begin(j); k < end(j); ++k) {
        if (usable_[k]) accumulated[row_of(k)] += column_scale_[j];
      }
    }
    for (std::size_t i = 0; i < m; ++i) {
      if (row_held(i)) continue;
      row_scale_[i] = row_count[i] > 0 ? (row_sum[i] - accumulated[i]) / row_count[i] : 0.0;
    }
    // Columns from the new row scales.
    double largest_change = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
      if (column_held(j)) continue;
      double s = 0.0;
      if (column_count[j] > 0) {
        double rows_part = 0.0;
        for (std::size_t k = begin(j); k < end(j); ++k) {
          const std::size_t i = row_of(k);
          if (usable_[k] && !row_ignored(i)) rows_part += row_scale_[i];
        }
        s = (column_sum[j] - rows_part) / column_count[j];
      }
      largest_change = std::max(largest_change, std::fabs(s - column_scale_[j]));
      column_scale_[j] = s;
    }
    sweeps.largest_change.push_back(largest_change * kLn2);
    if (largest_change < kStopChange) break;
  }
}

int exponent_of(double scale) {
  const double t = std::trunc(scale + 64.0);
  if (!(t >= kMinScaleExponent)) return std::isnan(t) ? 64 : kMinScaleExponent;
  return t > kMaxScaleExponent ? kMaxScaleExponent : static_cast<int>(t);
}

ScaleExponents ExponentComputation::exponents() const {
  ScaleExponents e;
  e.row.resize(row_scale_.size());
  e.column.resize(column_scale_.size());
  for (std::size_t i = 0; i < row_scale_.size(); ++i) e.row[i] = row_held(i) ? 64 : exponent_of(row_scale_[i]);
  for (std::size_t j = 0; j < column_scale_.size(); ++j) {
    e.column[j] = column_held(j) ? 64 : exponent_of(column_scale_[j]);
  }
  return e;
}

}  // namespace

ScaleExponents compute_scale_exponents(const ScalingInput& input, std::int32_t ifscal, ScalingSweeps& sweeps) {
  using namespace scaling_bit;
  ExponentComputation run(input);
  sweeps = ScalingSweeps{};
  if (ifscal & kExtremeValue) {
    for (int sweep = 0; sweep < kExtremeSweeps; ++sweep) {
      run.midpoint_rows(false);
      const double change = run.midpoint_columns(false);
      sweeps.largest_change.push_back(change * kLn2);
      if (change < kStopChange) break;
    }
  } else if (ifscal & kMean) {
    sweeps.mean = true;
    run.mean_sweeps(sweeps);
  } else if (ifscal & kLargestRowsFirst) {
    if (ifscal & kFirstPass) run.largest_entry_rows();
    if (ifscal & kSecondPass) run.largest_entry_columns();
    if (ifscal & kFurtherPass) run.largest_entry_rows();
  } else if (ifscal & kLargestColumnsFirst) {
    if (ifscal & kFirstPass) run.largest_entry_columns();
    if (ifscal & kSecondPass) run.largest_entry_rows();
    if (ifscal & kFurtherPass) run.largest_entry_columns();
  } else {
    if (ifscal & kFirstPass) run.midpoint_rows(true);
    if (ifscal & kSecondPass) run.midpoint_columns(true);
    if (ifscal & kFurtherPass) run.midpoint_rows(true);
  }
  return run.exponents();
}

}  // namespace kqopt
