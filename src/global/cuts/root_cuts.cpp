// Built-in top-node cuts: lifted covers, mixed-integer rounding (root_cuts.h).
#include "global/cuts/root_cuts.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "global/cuts/cut_pool.h"
#include "global/cuts/cut_rows.h"
#include "library/library.h"
#include "problem/infinity.h"
#include "problem/matrix.h"
#include "problem/problem.h"
#include "problem/units.h"
#include "simplex/core/engine_state.h"
#include "simplex/driver/lp_driver.h"

namespace kqopt {

namespace {

constexpr std::int32_t kLpOptimal = 1;
constexpr int kMaxRounds = 10;
// A cut's own type in the pool, so that a cut manager can tell them from its own.
constexpr std::int32_t kCoverCutType = 1 << 20;
constexpr std::int32_t kRoundingCutType = 1 << 21;

bool finite(double v) { return std::fabs(v) < kInfinity; }

// Adds v·x_j to a cut kept dense over the columns touched.
struct DenseRow {
  std::vector<double> value;
  std::vector<char> touched;
  std::vector<std::int32_t> list;
  void reset(std::size_t n) {
    value.assign(n, 0.0);
    touched.assign(n, 0);
    list.clear();
  }
  void add(std::int32_t j, double v) {
    const auto k = static_cast<std::size_t>(j);
    if (!touched[k]) {
      touched[k] = 1;
      list.push_back(j);
    }
    value[k] += v;
  }
  void clear() {
    for (std::int32_t j : list) {
      value[static_cast<std::size_t>(j)] = 0.0;
      touched[static_cast<std::size_t>(j)] = 0;
    }
    list.clear();
  }
};

// The cut from the dense row; a tiny coefficient is taken out at the bound that keeps
// the cut valid. False when that is impossible (an unbounded column).
bool finish_cut(DenseRow& row, double rhs, const SeparationColumns& d, SparseCut& cut) {
  std::sort(row.list.begin(), row.list.end());
  double largest = 0.0;
  for (std::int32_t j : row.list) largest = std::max(largest, std::fabs(row.value[static_cast<std::size_t>(j)]));
  cut.columns.clear();
  cut.values.clear();
  if (largest == 0.0) return false;
  for (std::int32_t j : row.list) {
    const auto k = static_cast<std::size_t>(j);
    const double v = row.value[k];
    if (std::fabs(v) > 1.0e-9 * largest) {
      cut.columns.push_back(j);
      cut.values.push_back(v);
      continue;
    }
    if (v == 0.0) continue;
    const double bound = v > 0.0 ? d.lower[k] : d.upper[k];
    if (!finite(bound)) return false;
    rhs -= v * bound;
  }
  cut.rhs = rhs;
  return !cut.columns.empty();
}

double activity(const SparseCut& cut, std::span<const double> x) {
  double a = 0.0;
  for (std::size_t k = 0; k < cut.columns.size(); ++k) a += cut.values[k] * x[static_cast<std::size_t>(cut.columns[k])];
  return a;
}

bool is_binary(const SeparationColumns& d, std::size_t k) {
  return d.integer[k] && d.lower[k] == 0.0 && d.upper[k] == 1.0;
}

}  // namespace

bool separate_cover(std::span<const std::int32_t> columns, std::span<const double> values, double rhs,
                    const SeparationColumns& d, double tolerance, SparseCut& cut) {
  struct Item {
    std::int32_t column;
    double weight;
    double x;  // value of the item (the complement for a negative coefficient)
    bool complemented;
  };
  std::vector<Item> items;
  double b = rhs;
  for (std::size_t q = 0; q < columns.size(); ++q) {
    const auto k = static_cast<std::size_t>(columns[q]);
    const double a = values[q];
    if (a == 0.0) continue;
    if (is_binary(d, k)) {
      if (a > 0.0) {
        items.push_back({columns[q], a, d.x[k], false});
      } else {
        b -= a;
        items.push_back({columns[q], -a, 1.0 - d.x[k], true});
      }
      continue;
    }
    const double bound = a > 0.0 ? d.lower[k] : d.upper[k];
    if (!finite(bound)) return false;
    b -= a * bound;
  }
  if (items.size() < 2 || b < 0.0) return false;
  // Greedy: the items closest to 1 per unit of weight first.
  std::vector<std::size_t> order(items.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t l, std::size_t r) {
    const double kl = (1.0 - items[l].x) / items[l].weight, kr = (1.0 - items[r].x) / items[r].weight;
    return kl != kr ? kl < kr : items[l].weight > items[r].weight;
  });
  const double margin = 1.0e-9 * std::max(1.0, std::fabs(b));
  std::vector<char> in_cover(items.size(), 0);
  double total = 0.0;
  std::vector<std::size_t> cover;
  for (std::size_t k : order) {
    if (total > b + margin) break;
    in_cover[k] = 1;
    cover.push_back(k);
    total += items[k].weight;
  }
  if (total <= b + margin) return false;
  // Minimal: drop the items of least value while the rest still exceeds b.
  std::sort(cover.begin(), cover.end(), [&](std::size_t l, std::size_t r) { return items[l].x < items[r].x; });
  std::vector<std::size_t> kept;
  for (std::size_t k : cover) {
    if (total - items[k].weight > b + margin) {
      total -= items[k].weight;
      in_cover[k] = 0;
    } else {
      kept.push_back(k);
    }
  }
  // Lifting: an item outside the cover that weighs at least the h heaviest of the cover
  // together gets coefficient h; with all such items at once the cut stays valid, since
  // their weights stand in for as many cover items as their coefficients sum to.
  std::vector<double> heaviest;
  for (std::size_t k : kept) heaviest.push_back(items[k].weight);
  std::sort(heaviest.begin(), heaviest.end(), std::greater<>());
  std::vector<double> mu(heaviest.size() + 1, 0.0);
  for (std::size_t h = 0; h < heaviest.size(); ++h) mu[h + 1] = mu[h] + heaviest[h];
  const double cover_rhs = static_cast<double>(kept.size()) - 1.0;
  std::vector<std::pair<std::int32_t, double>> terms;
  double cut_rhs = cover_rhs;
  auto add_term = [&](const Item& it, double coefficient) {
    if (it.complemented) {
      terms.emplace_back(it.column, -coefficient);
      cut_rhs -= coefficient;
    } else {
      terms.emplace_back(it.column, coefficient);
    }
  };
  double lhs = 0.0;
  for (std::size_t k = 0; k < items.size(); ++k) {
    double coefficient = 0.0;
    if (in_cover[k]) {
      coefficient = 1.0;
    } else {
      std::size_t h = 0;
      while (h + 1 < mu.size() && mu[h + 1] <= items[k].weight) ++h;
      coefficient = std::min(static_cast<double>(h), cover_rhs);
    }
    if (coefficient == 0.0) continue;
    lhs += coefficient * items[k].x;
    add_term(items[k], coefficient);
  }
  if (lhs - cover_rhs <= tolerance) return false;
  std::sort(terms.begin(), terms.end());
  cut.columns.clear();
  cut.values.clear();
  for (const auto& [j, v] : terms) {
    cut.columns.push_back(j);
    cut.values.push_back(v);
  }
  cut.rhs = cut_rhs;
  return true;
}

bool separate_rounding(std::span<const std::int32_t> columns, std::span<const double> values, double rhs,
                       const SeparationColumns& d, double tolerance, SparseCut& cut) {
  // Continuous columns become s >= 0 by their nearest bound or variable upper bound; the
  // integer columns, with what the variable bounds add to them, are then put at their
  // nearest bound as z >= 0.
  enum class Via : std::uint8_t { kLower, kUpper, kVariableUpper };
  struct Continuous {
    std::int32_t column;
    double coefficient;  // on s
    double s;
    Via via;
  };
  std::vector<Continuous> continuous;
  std::vector<std::pair<std::int32_t, double>> integers;
  double beta = rhs;
  auto add_integer = [&](std::int32_t j, double a) {
    for (auto& [c, v] : integers) {
      if (c == j) {
        v += a;
        return;
      }
    }
    integers.emplace_back(j, a);
  };
  for (std::size_t q = 0; q < columns.size(); ++q) {
    const auto k = static_cast<std::size_t>(columns[q]);
    const double a = values[q];
    if (a == 0.0) continue;
    if (d.integer[k]) {
      add_integer(columns[q], a);
      continue;
    }
    const double to_lower = finite(d.lower[k]) ? d.x[k] - d.lower[k] : kInfinity;
    const double to_upper = finite(d.upper[k]) ? d.upper[k] - d.x[k] : kInfinity;
    double to_vub = kInfinity;
    const std::int32_t y = d.vub_column[k];
    if (y >= 0) to_vub = d.vub_coefficient[k] * d.x[static_cast<std::size_t>(y)] - d.x[k];
    if (to_vub <= to_lower && to_vub <= to_upper && to_vub < kInfinity) {
      // a·x = a·c·y − a·s with s = c·y − x >= 0.
      add_integer(y, a * d.vub_coefficient[k]);
      continuous.push_back({columns[q], -a, std::max(0.0, to_vub), Via::kVariableUpper});
    } else if (to_lower <= to_upper && to_lower < kInfinity) {
      beta -= a * d.lower[k];
      continuous.push_back({columns[q], a, std::max(0.0, to_lower), Via::kLower});
    } else if (to_upper < kInfinity) {
      beta -= a * d.upper[k];
      continuous.push_back({columns[q], -a, std::max(0.0, to_upper), Via::kUpper});
    } else {
      return false;
    }
  }
  struct Integer {
    std::int32_t column;
    double coefficient;  // on z
    double z;
    double range;
    bool from_upper;
  };
  std::vector<Integer> z;
  for (const auto& [j, a] : integers) {
    const auto k = static_cast<std::size_t>(j);
    if (a == 0.0) continue;
    const bool lower_ok = finite(d.lower[k]), upper_ok = finite(d.upper[k]);
    if (!lower_ok && !upper_ok) return false;
    const bool from_upper = !lower_ok || (upper_ok && d.upper[k] - d.x[k] < d.x[k] - d.lower[k]);
    const double range = lower_ok && upper_ok ? d.upper[k] - d.lower[k] : kInfinity;
    if (from_upper) {
      beta -= a * d.upper[k];
      z.push_back({j, -a, std::max(0.0, d.upper[k] - d.x[k]), range, true});
    } else {
      beta -= a * d.lower[k];
      z.push_back({j, a, std::max(0.0, d.x[k] - d.lower[k]), range, false});
    }
  }
  if (z.empty()) return false;
  // Divisors: the coefficients of integer columns strictly inside their range.
  std::vector<double> divisors;
  for (const Integer& t : z) {
    if (t.z <= 1.0e-6 || t.z >= t.range - 1.0e-6) continue;
    const double delta = std::fabs(t.coefficient);
    if (delta < 1.0e-6) continue;
    bool seen = false;
    for (double v : divisors) seen = seen || std::fabs(v - delta) <= 1.0e-9 * delta;
    if (!seen) divisors.push_back(delta);
    if (divisors.size() >= 8) break;
  }
  if (divisors.empty()) return false;
  double best_efficacy = 0.0, best_delta = 0.0;
  auto efficacy_of = [&](double delta) {
    const double scaled = beta / delta;
    if (std::fabs(scaled) > 1.0e9) return 0.0;
    const double f0 = scaled - std::floor(scaled);
    if (f0 < 0.01 || f0 > 0.99) return 0.0;
    double lhs = 0.0, norm = 0.0;
    for (const Integer& t : z) {
      const double a = t.coefficient / delta;
      const double fa = a - std::floor(a);
      const double g = std::floor(a) + std::max(fa - f0, 0.0) / (1.0 - f0);
      lhs += g * t.z;
      norm += g * g;
    }
    for (const Continuous& c : continuous) {
      if (c.coefficient >= 0.0) continue;
      const double g = c.coefficient / (delta * (1.0 - f0));
      lhs += g * c.s;
      norm += g * g;
    }
    if (norm <= 0.0) return 0.0;
    return (lhs - std::floor(scaled)) / std::sqrt(norm);
  };
  for (double delta : divisors) {
    const double e = efficacy_of(delta);
    if (e > best_efficacy) {
      best_efficacy = e;
      best_delta = delta;
    }
  }
  if (best_delta > 0.0) {
    const double base = best_delta;
    for (double factor : {0.5, 0.25, 0.125}) {
      const double e = efficacy_of(base * factor);
      if (e > best_efficacy) {
        best_efficacy = e;
        best_delta = base * factor;
      }
    }
  }
  if (best_efficacy <= 1.0e-4) return false;
  // The cut in the columns: z and s are put back.
  const double delta = best_delta;
  const double scaled = beta / delta;
  const double f0 = scaled - std::floor(scaled);
  double cut_rhs = std::floor(scaled);
  DenseRow row;
  row.reset(d.x.size());
  for (const Integer& t : z) {
    const double a = t.coefficient / delta;
    const double fa = a - std::floor(a);
    const double g = std::floor(a) + std::max(fa - f0, 0.0) / (1.0 - f0);
    if (g == 0.0) continue;
    const auto k = static_cast<std::size_t>(t.column);
    if (t.from_upper) {
      row.add(t.column, -g);
      cut_rhs -= g * d.upper[k];
    } else {
      row.add(t.column, g);
      cut_rhs += g * d.lower[k];
    }
  }
  for (const Continuous& c : continuous) {
    if (c.coefficient >= 0.0) continue;
    const double g = c.coefficient / (delta * (1.0 - f0));
    const auto k = static_cast<std::size_t>(c.column);
    switch (c.via) {
      case Via::kLower:
        row.add(c.column, g);
        cut_rhs += g * d.lower[k];
        break;
      case Via::kUpper:
        row.add(c.column, -g);
        cut_rhs -= g * d.upper[k];
        break;
      case Via::kVariableUpper:
        row.add(d.vub_column[k], g * d.vub_coefficient[k]);
        row.add(c.column, -g);
        break;
    }
  }
  if (!finish_cut(row, cut_rhs, d, cut)) return false;
  return activity(cut, d.x) - cut.rhs > tolerance * std::max(1.0, std::fabs(cut.rhs));
}

bool builtin_top_node_cuts(Library& lib) {
  const std::int32_t bits = lib.controls.i(icv::IFINTP) & (kKnapsackCoverBit | kMixedIntegerRoundingBit);
  CutPool* pool = cut_pool(lib);
  if (bits == 0 || pool == nullptr || !lib.problem) return true;
  Problem& p = *lib.problem;
  const auto n = static_cast<std::size_t>(p.columns);
  std::vector<char> integer(n, 0);
  for (const GlobalEntity& e : p.entities) {
    if (e.is_set()) continue;
    if (e.kind() == EntityKind::kInteger || e.kind() == EntityKind::kBinary) {
      integer[static_cast<std::size_t>(e.reference)] = 1;
    }
  }
  std::vector<double> lower(n), upper(n), x(n), vub_coefficient(n, 0.0);
  std::vector<std::int32_t> vub_column(n, -1);
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    lower[static_cast<std::size_t>(j)] = scale_bound_by(p.lower[v], column_bound_shift(p, j));
    upper[static_cast<std::size_t>(j)] = scale_bound_by(p.upper[v], column_bound_shift(p, j));
  }
  // The problem's rows in the caller's units, as a x <= b forms.
  struct Form {
    std::int32_t row;
    double sign;
    double rhs;
  };
  if (!ensure_row_copy(lib, p)) return false;
  const std::int32_t rows = first_cut_row(p, *pool);
  std::vector<Form> forms;
  std::vector<std::int32_t> start{0};
  std::vector<std::int32_t> column;
  std::vector<double> value;
  for (std::int32_t i = 0; i < rows; ++i) {
    const auto r = static_cast<std::size_t>(i);
    const std::uint8_t type = p.row_type[r];
    if (type == row_type::kFree) continue;
    const double b = scale_bound_by(p.rhs[r], row_shift(p, i));
    const std::int32_t first = static_cast<std::int32_t>(column.size());
    for (std::int32_t q = p.by_row.start[r]; q < p.by_row.start[r + 1]; ++q) {
      const std::int32_t j = p.by_row.column[static_cast<std::size_t>(q)];
      column.push_back(j);
      value.push_back(scale_by(p.by_row.value[static_cast<std::size_t>(q)], element_shift(p, i, j)));
    }
    start.push_back(static_cast<std::int32_t>(column.size()));
    const std::int32_t index = static_cast<std::int32_t>(start.size()) - 2;
    (void)first;
    if (type == row_type::kLess || type == row_type::kEqual) forms.push_back({index, 1.0, b});
    if (type == row_type::kGreater || type == row_type::kEqual) forms.push_back({index, -1.0, -b});
    if (type == row_type::kLess) {
      const double range = scale_bound_by(p.upper[r], row_shift(p, i));
      if (finite(range)) forms.push_back({index, -1.0, -(b - range)});
    }
    // x <= c·y: a continuous column and a binary one, rhs 0.
    if (start[static_cast<std::size_t>(index) + 1] - start[static_cast<std::size_t>(index)] == 2 && b == 0.0 &&
        type != row_type::kEqual) {
      const std::size_t q = static_cast<std::size_t>(start[static_cast<std::size_t>(index)]);
      for (int t = 0; t < 2; ++t) {
        const std::size_t cx = q + static_cast<std::size_t>(t), cy = q + static_cast<std::size_t>(1 - t);
        const auto jx = static_cast<std::size_t>(column[cx]), jy = static_cast<std::size_t>(column[cy]);
        const double sign = type == row_type::kLess ? 1.0 : -1.0;
        const double ax = sign * value[cx], ay = sign * value[cy];
        if (integer[jx] || !integer[jy] || upper[jy] != 1.0 || lower[jy] != 0.0) continue;
        if (ax > 0.0 && ay < 0.0 && vub_column[jx] < 0) {
          vub_column[jx] = column[cy];
          vub_coefficient[jx] = -ay / ax;
        }
      }
    }
  }
  SeparationColumns data{lower, upper, x, integer, vub_column, vub_coefficient};
  // The LP grows by at most half its rows in cuts (and by what room is left).
  const std::int32_t budget = std::max<std::int32_t>(20, rows / 2);
  std::int32_t added_total = 0;
  double previous = *lib.attributes.double_attribute(attr::kObjectiveValue);
  std::vector<double> scratch_values;
  for (int round = 0; round < kMaxRounds; ++round) {
    if (*lib.attributes.int_attribute(attr::kLpStatus) != kLpOptimal) break;
    if (!lib.engine || !lib.engine->has_solution) break;
    for (std::int32_t j = 0; j < p.columns; ++j) {
      x[static_cast<std::size_t>(j)] =
          scale_by(lib.engine->basis.x[static_cast<std::size_t>(p.column_variable(j))], column_bound_shift(p, j));
    }
    struct Candidate {
      double efficacy;
      SparseCut cut;
      std::int32_t type;
    };
    std::vector<Candidate> found;
    SparseCut cut;
    for (const Form& f : forms) {
      const auto r = static_cast<std::size_t>(f.row);
      const std::span<const std::int32_t> cols(column.data() + start[r],
                                               static_cast<std::size_t>(start[r + 1] - start[r]));
      scratch_values.assign(value.begin() + start[r], value.begin() + start[r + 1]);
      for (double& v : scratch_values) v *= f.sign;
      const std::span<const double> vals(scratch_values);
      auto keep = [&](std::int32_t type) {
        double norm = 0.0;
        for (double v : cut.values) norm += v * v;
        const double e = (activity(cut, x) - cut.rhs) / std::sqrt(norm);
        if (e > 1.0e-4) found.push_back({e, cut, type});
      };
      if ((bits & kKnapsackCoverBit) != 0 && separate_cover(cols, vals, f.rhs, data, 1.0e-4, cut)) {
        keep(kCoverCutType);
      }
      if ((bits & kMixedIntegerRoundingBit) != 0 && separate_rounding(cols, vals, f.rhs, data, 1.0e-6, cut)) {
        keep(kRoundingCutType);
      }
    }
    if (found.empty()) break;
    std::sort(found.begin(), found.end(),
              [](const Candidate& l, const Candidate& r) { return l.efficacy > r.efficacy; });
    std::vector<CutRow> rows_to_add;
    std::int64_t elements = 0;
    const double ztolda = lib.controls.d(dcv::ZTOLDA);
    std::vector<std::int32_t> ids;
    for (Candidate& c : found) {
      if (added_total + static_cast<std::int32_t>(ids.size()) >= budget) break;
      if (static_cast<std::int32_t>(ids.size()) >= p.spare_rows) break;
      if (elements + static_cast<std::int64_t>(c.cut.columns.size()) > p.spare_elements) break;
      CutInput in;
      in.type = row_type::kLess;
      in.cut_type = c.type;
      in.rhs = c.cut.rhs;
      in.columns = c.cut.columns;
      in.values = c.cut.values;
      std::int32_t id = -1;
      if (pool->store(in, 0, ztolda, id) != StoreResult::kStored) break;
      if (pool->in_lp(id) || std::find(ids.begin(), ids.end(), id) != ids.end()) continue;
      ids.push_back(id);
      elements += static_cast<std::int64_t>(c.cut.columns.size());
    }
    if (ids.empty()) break;
    for (std::int32_t id : ids) rows_to_add.push_back(pool_cut_row(*pool, id));
    if (!append_cut_rows(lib, p, *pool, rows_to_add)) return false;
    added_total += static_cast<std::int32_t>(ids.size());
    if (!ensure_column_copy(lib, p)) return false;
    run_lp_driver(lib, DriverMode::kResolve);
    if (lib.err.return_code != 0) return false;
    const double z = *lib.attributes.double_attribute(attr::kObjectiveValue);
    // A round that hardly moves the bound ends them.
    if (std::fabs(z - previous) <= 1.0e-5 * std::max(1.0, std::fabs(z))) break;
    previous = z;
    if (added_total >= budget) break;
    if (!ensure_row_copy(lib, p)) return false;
  }
  return ensure_column_copy(lib, p);
}

}  // namespace kqopt
