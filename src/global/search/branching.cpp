// The branching choice: unsatisfied entities, degradation estimates, the chosen entity
// and its children.
#include "global/search/branching.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "global/search/pseudo_costs.h"
#include "problem/infinity.h"
#include "problem/problem.h"

namespace kqopt {

namespace {

// The members of set k in weight order (positions into Problem::sets.members).
std::vector<std::int32_t> members_in_weight_order(const Problem& p, std::int32_t k) {
  const std::int32_t first = p.sets.start[static_cast<std::size_t>(k)];
  const std::int32_t last = p.sets.start[static_cast<std::size_t>(k) + 1];
  std::vector<std::int32_t> order(static_cast<std::size_t>(last - first));
  std::iota(order.begin(), order.end(), first);
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    return p.sets.members[static_cast<std::size_t>(a)].weight < p.sets.members[static_cast<std::size_t>(b)].weight;
  });
  return order;
}

struct SetState {
  std::vector<std::int32_t> order;  // members in weight order
  std::int32_t f = -1;              // first and last nonzero member (positions in order)
  std::int32_t l = -1;
  double total = 0.0;    // S: sum of the nonzero values
  double average = 0.0;  // the weighted average weight
};

SetState examine_set(const Problem& p, const NodeView& node, const BranchSettings& s, std::int32_t k) {
  SetState st;
  st.order = members_in_weight_order(p, k);
  const std::int32_t mcount = static_cast<std::int32_t>(st.order.size());
  double weighted = 0.0;
  for (std::int32_t q = 0; q < mcount; ++q) {
    const SetMember& mem = p.sets.members[static_cast<std::size_t>(st.order[static_cast<std::size_t>(q)])];
    const double xv = node.x[static_cast<std::size_t>(p.column_variable(mem.column))];
    if (std::fabs(xv) <= s.zero_tolerance) continue;
    if (st.f < 0) st.f = q;
    st.l = q;
    st.total += xv;
    weighted += xv * mem.weight;
  }
  st.average = st.total != 0.0 ? static_cast<float>(weighted / st.total) : 0.0;
  return st;
}

bool set_satisfied(const SetState& st, EntityKind kind) {
  if (st.f < 0 || st.f == st.l) return true;
  return kind == EntityKind::kSet2 && st.l == st.f + 1;
}

// Degradation of replacing a set's contribution (A, C) by (A', C'), both held as
// per-row maps in dense work arrays (only the rows touched are read).
struct Contribution {
  std::vector<double> rows;  // M
  std::vector<std::int32_t> touched;
  double objective = 0.0;
  void clear() {
    for (std::int32_t i : touched) rows[static_cast<std::size_t>(i)] = 0.0;
    touched.clear();
    objective = 0.0;
  }
  void add_column(const Problem& p, std::span<const double> cost, std::int32_t j, double factor) {
    const ColumnMatrix& a = p.by_column;
    for (std::int32_t e = a.start[static_cast<std::size_t>(j)]; e < a.start[static_cast<std::size_t>(j) + 1]; ++e) {
      const auto i = static_cast<std::size_t>(a.row[static_cast<std::size_t>(e)]);
      if (rows[i] == 0.0) touched.push_back(static_cast<std::int32_t>(i));
      rows[i] += factor * a.value[static_cast<std::size_t>(e)];
      if (rows[i] == 0.0) rows[i] = 1.0e-300;  // stays listed
    }
    objective += factor * cost[static_cast<std::size_t>(p.column_variable(j))];
  }
};

double replacement_degradation(const Contribution& now, const Contribution& next, std::span<const float> up_price,
                               std::span<const float> down_price) {
  double d = std::max(0.0, next.objective - now.objective);
  auto row_part = [&](std::int32_t i) {
    const double delta = next.rows[static_cast<std::size_t>(i)] - now.rows[static_cast<std::size_t>(i)];
    if (delta > 0.0) return delta * up_price[static_cast<std::size_t>(i)];
    if (delta < 0.0) return delta * down_price[static_cast<std::size_t>(i)];
    return 0.0;
  };
  for (std::int32_t i : now.touched) d += row_part(i);
  // Rows only the replacement touches.
  for (std::int32_t i : next.touched) {
    if (now.rows[static_cast<std::size_t>(i)] == 0.0) d += row_part(i);
  }
  return d;
}

bool can_be_zero(const NodeView& node, std::size_t v, double tol) {
  return node.lower[v] <= tol && node.upper[v] >= -tol;
}

// Children of a set split at member position d (in weight order); lower_window_ends
// is the last position kept by the down child, upper_window_starts the first kept by
// the up child.
void set_children(const Problem& p, const NodeView& node, const BranchSettings& s, const SetState& st,
                  std::int32_t last_down, std::int32_t first_up, BranchChoice& choice) {
  for (int dir = 0; dir < 2; ++dir) {
    choice.child[dir].clear();
    choice.child_infeasible[dir] = false;
  }
  const std::int32_t mcount = static_cast<std::int32_t>(st.order.size());
  for (std::int32_t q = 0; q < mcount; ++q) {
    const SetMember& mem = p.sets.members[static_cast<std::size_t>(st.order[static_cast<std::size_t>(q)])];
    const auto v = static_cast<std::size_t>(p.column_variable(mem.column));
    for (int dir = 0; dir < 2; ++dir) {
      const bool outside = dir == kDown ? q > last_down : q < first_up;
      if (!outside) continue;
      if (node.lower[v] == 0.0 && node.upper[v] == 0.0) continue;
      if (!can_be_zero(node, v, s.zero_tolerance)) choice.child_infeasible[dir] = true;
      choice.child[dir].push_back({static_cast<std::int32_t>(v), 0.0, 0.0});
    }
  }
}

// Splits set k: picks the member d, the first direction and the two windows.
void branch_set(const Problem& p, const NodeView& node, const BranchSettings& s, const GlobalEntity& e,
                const SetState& st, std::span<const float> up_price, std::span<const float> down_price,
                BranchChoice& choice) {
  const bool type1 = e.kind() == EntityKind::kSet1;
  const std::size_t rows = static_cast<std::size_t>(p.row_slots());
  Contribution now{std::vector<double>(rows, 0.0), {}, 0.0};
  Contribution next{std::vector<double>(rows, 0.0), {}, 0.0};
  for (std::int32_t q = st.f; q <= st.l; ++q) {
    const SetMember& mem = p.sets.members[static_cast<std::size_t>(st.order[static_cast<std::size_t>(q)])];
    const double xv = node.x[static_cast<std::size_t>(p.column_variable(mem.column))];
    if (std::fabs(xv) > s.zero_tolerance) now.add_column(p, node.cost, mem.column, xv);
  }
  const std::int32_t lo = type1 ? st.f : st.f + 1;
  const std::int32_t hi = type1 ? st.l : st.l - 1;
  std::int32_t d = lo;
  double best = -1.0e300;
  for (std::int32_t q = lo; q <= hi; ++q) {
    next.clear();
    const SetMember& mem = p.sets.members[static_cast<std::size_t>(st.order[static_cast<std::size_t>(q)])];
    next.add_column(p, node.cost, mem.column, 1.0);
    const double deg = replacement_degradation(now, next, up_price, down_price);
    if (deg >= best) {  // a later candidate wins a tie
      best = deg;
      d = q;
    }
  }
  const double wd = p.sets.members[static_cast<std::size_t>(st.order[static_cast<std::size_t>(d)])].weight;
  int first = type1 ? kUp : kDown;
  if (st.average > wd) first = 1 - first;
  if (type1) {
    // The split weight lies just below w_d (direction up) or just above it: d goes to
    // the up child in the first case and to the down child in the second.
    if (first == kUp) {
      set_children(p, node, s, st, d - 1, d, choice);
    } else {
      set_children(p, node, s, st, d, d + 1, choice);
    }
  } else {
    set_children(p, node, s, st, d, d, choice);
  }
  choice.first = first;
  choice.value = st.average;
}

bool column_unsatisfied(const Problem& p, const NodeView& node, const BranchSettings& s, const GlobalEntity& e,
                        double& value, double& fraction) {
  const auto v = static_cast<std::size_t>(p.column_variable(e.reference));
  const double xv = node.x[v];
  const double t = s.integer_tolerance;
  value = xv;
  switch (e.kind()) {
    case EntityKind::kSemiContinuous: {
      const double u = std::max(t, 2.0 * s.zero_tolerance);
      const double limit = e.limit;
      fraction = limit > 0.0 ? xv / limit : 0.0;
      return u < xv && u < limit - xv;
    }
    case EntityKind::kPartialInteger:
      if (xv >= static_cast<double>(e.partial_integer_limit())) return false;
      [[fallthrough]];
    case EntityKind::kInteger:
    case EntityKind::kBinary:
    default:
      fraction = xv - std::trunc(xv);
      if (fraction < 0.0) fraction += 1.0;  // the distance above the floor
      return std::fabs(xv - std::round(xv)) > t;
  }
}

void column_children(const Problem& p, const NodeView& node, const GlobalEntity& e, BranchChoice& choice) {
  const auto v = static_cast<std::size_t>(p.column_variable(e.reference));
  const double xv = node.x[v];
  for (int dir = 0; dir < 2; ++dir) {
    choice.child[dir].clear();
    choice.child_infeasible[dir] = false;
  }
  const double lo = node.lower[v];
  const double up = node.upper[v];
  if (e.kind() == EntityKind::kSemiContinuous) {
    choice.child[kDown].push_back({static_cast<std::int32_t>(v), std::min(lo, 0.0), 0.0});
    choice.child[kUp].push_back({static_cast<std::int32_t>(v), std::max(lo, e.limit), up});
    if (lo > 0.0) choice.child_infeasible[kDown] = true;
    if (e.limit > up) choice.child_infeasible[kUp] = true;
    return;
  }
  const double k = std::floor(xv);
  choice.child[kDown].push_back({static_cast<std::int32_t>(v), lo, k});
  choice.child[kUp].push_back({static_cast<std::int32_t>(v), k + 1.0, up});
  if (k < lo) choice.child_infeasible[kDown] = true;
  if (k + 1.0 > up) choice.child_infeasible[kUp] = true;
}

}  // namespace

void row_prices(const Problem& p, const NodeView& node, const BranchSettings& s, std::vector<float>& up,
                std::vector<float>& down) {
  const auto rows = static_cast<std::size_t>(p.row_slots());
  up.assign(rows, 0.0f);
  down.assign(rows, 0.0f);
  for (std::size_t i = 0; i < rows && i < node.pi.size(); ++i) {
    // The engine's price is the rate at which the objective falls as the row's
    // activity a_i·x rises; the estimates want the rate at which it grows.
    double pi = -node.pi[i];
    if (std::fabs(pi) < s.price_tolerance) pi = 0.0;
    const double p_up = node.lower[i] > -kInfinityThreshold ? s.price_floor : 0.0;
    const double p_down = node.upper[i] < kInfinityThreshold ? -s.price_floor : 0.0;
    up[i] = static_cast<float>(std::max(pi, p_up));
    down[i] = static_cast<float>(std::min(pi, p_down));
  }
}

void column_estimates(const Problem& p, std::span<const double> cost, std::span<const float> up_price,
                      std::span<const float> down_price, std::int32_t j, float& up, float& down) {
  const auto c = static_cast<float>(cost[static_cast<std::size_t>(p.column_variable(j))]);
  float u = std::max(c, 0.0f);
  float d = std::min(c, 0.0f);
  const ColumnMatrix& a = p.by_column;
  for (std::int32_t e = a.start[static_cast<std::size_t>(j)]; e < a.start[static_cast<std::size_t>(j) + 1]; ++e) {
    const auto i = static_cast<std::size_t>(a.row[static_cast<std::size_t>(e)]);
    const auto v = static_cast<float>(a.value[static_cast<std::size_t>(e)]);
    if (v >= 0.0f) {
      u += v * up_price[i];
      d += v * down_price[i];
    } else {
      u += v * down_price[i];
      d += v * up_price[i];
    }
  }
  up = u;
  down = -d;
}

void choose_branch(const Problem& p, const NodeView& node, const BranchSettings& s, BranchChoice& choice) {
  choice = BranchChoice{};
  std::vector<float> up_price;
  std::vector<float> down_price;
  bool prices_made = false;
  std::int32_t best_priority = 1100;
  double best_score = 0.0;
  const std::int32_t count = static_cast<std::int32_t>(p.entities.size());
  for (std::int32_t k = 0; k < count; ++k) {
    const GlobalEntity& e = p.entities[static_cast<std::size_t>(k)];
    double up = 0.0;
    double down = 0.0;
    double value = 0.0;
    SetState st;
    if (e.is_set()) {
      st = examine_set(p, node, s, e.reference);
      if (set_satisfied(st, e.kind())) continue;
      if (!prices_made) {
        row_prices(p, node, s, up_price, down_price);
        prices_made = true;
      }
      // Estimates from moving the whole value to the neighbours of the average.
      const std::int32_t mcount = static_cast<std::int32_t>(st.order.size());
      std::int32_t r = st.l;
      for (std::int32_t q = st.f; q <= st.l; ++q) {
        if (p.sets.members[static_cast<std::size_t>(st.order[static_cast<std::size_t>(q)])].weight > st.average) {
          r = q;
          break;
        }
      }
      if (r <= 0) r = std::min(1, mcount - 1);
      const std::size_t rows = static_cast<std::size_t>(p.row_slots());
      Contribution now{std::vector<double>(rows, 0.0), {}, 0.0};
      Contribution next{std::vector<double>(rows, 0.0), {}, 0.0};
      for (std::int32_t q = st.f; q <= st.l; ++q) {
        const SetMember& mem = p.sets.members[static_cast<std::size_t>(st.order[static_cast<std::size_t>(q)])];
        const double xv = node.x[static_cast<std::size_t>(p.column_variable(mem.column))];
        if (std::fabs(xv) > s.zero_tolerance) now.add_column(p, node.cost, mem.column, xv);
      }
      const SetMember& left = p.sets.members[static_cast<std::size_t>(st.order[static_cast<std::size_t>(r - 1)])];
      const SetMember& right = p.sets.members[static_cast<std::size_t>(st.order[static_cast<std::size_t>(r)])];
      if (e.kind() == EntityKind::kSet1) {
        next.add_column(p, node.cost, left.column, st.total);
        up = replacement_degradation(now, next, up_price, down_price);
        next.clear();
        next.add_column(p, node.cost, right.column, st.total);
        down = replacement_degradation(now, next, up_price, down_price);
        if (s.criterion < 1) std::swap(up, down);
      } else {
        const double span = right.weight - left.weight;
        const double u = span != 0.0 ? (st.average - left.weight) / span : 0.5;
        next.add_column(p, node.cost, left.column, 1.0 - u);
        next.add_column(p, node.cost, right.column, u);
        up = down = replacement_degradation(now, next, up_price, down_price);
      }
      value = st.average;
      const double score = std::min(up, down);
      ++choice.unsatisfied;
      choice.estimate_increment += score * s.pseudo;
      const double branch_score = score;
      if (e.priority() < best_priority || (e.priority() == best_priority && branch_score > best_score)) {
        best_priority = e.priority();
        best_score = branch_score;
        choice.entity = k;
        choice.value = value;
        choice.up_estimate = up;
        choice.down_estimate = down;
      }
      continue;
    }
    double fraction = 0.0;
    if (!column_unsatisfied(p, node, s, e, value, fraction)) continue;
    if (!prices_made) {
      row_prices(p, node, s, up_price, down_price);
      prices_made = true;
    }
    float u_unit = 0.0f;
    float d_unit = 0.0f;
    column_estimates(p, node.cost, up_price, down_price, e.reference, u_unit, d_unit);
    // d_unit is -D of the degradation formula.
    up = (1.0 - fraction) * (static_cast<double>(u_unit) + e.up_pseudo_cost);
    down = fraction * (static_cast<double>(d_unit) + e.down_pseudo_cost);
    double score = std::min(up, down);
    if (e.kind() == EntityKind::kSemiContinuous) {
      if (s.semi_continuous_weight != 0) {
        up *= e.limit;
        down *= e.limit;
        score = std::min(up, down);
      } else {
        score *= e.limit;
      }
    }
    ++choice.unsatisfied;
    choice.estimate_increment += score * s.pseudo;
    double branch_score = std::abs(s.criterion) == 1 ? std::min(up, down) : up + down;
    if (s.learnt != nullptr && e.kind() != EntityKind::kSemiContinuous) {
      // Learnt costs rank better than the one-pivot estimates: the geometric mean of the
      // two expected rises, which favours entities that move the bound both ways and
      // stays in objective units beside the estimates of the other entities.
      double unit_down = 0.0;
      double unit_up = 0.0;
      if (s.learnt->per_unit(k, kDown, unit_down) && s.learnt->per_unit(k, kUp, unit_up)) {
        const double floor = 1.0e-6;
        branch_score = std::sqrt(std::max(fraction * unit_down, floor) * std::max((1.0 - fraction) * unit_up, floor));
      }
    }
    if (e.priority() < best_priority || (e.priority() == best_priority && branch_score > best_score)) {
      best_priority = e.priority();
      best_score = branch_score;
      choice.entity = k;
      choice.value = value;
      choice.up_estimate = up;
      choice.down_estimate = down;
    }
  }
  if (choice.entity < 0) return;
  const GlobalEntity& e = p.entities[static_cast<std::size_t>(choice.entity)];
  if (e.is_set()) {
    const SetState st = examine_set(p, node, s, e.reference);
    branch_set(p, node, s, e, st, up_price, down_price, choice);
    return;
  }
  if (e.direction() == 2) choice.up_estimate += s.direction_bonus;
  if (e.direction() == 1) choice.down_estimate += s.direction_bonus;
  choice.first = choice.up_estimate <= choice.down_estimate ? kUp : kDown;
  if (s.criterion < 0) choice.first = 1 - choice.first;
  column_children(p, node, e, choice);
}

bool branch_on(const Problem& p, const NodeView& node, const BranchSettings& s, std::int32_t entity, int first,
               BranchChoice& choice) {
  if (entity < 0 || entity >= static_cast<std::int32_t>(p.entities.size())) return false;
  const GlobalEntity& e = p.entities[static_cast<std::size_t>(entity)];
  if (e.is_set()) {
    const SetState st = examine_set(p, node, s, e.reference);
    if (set_satisfied(st, e.kind())) return false;
    std::vector<float> up_price;
    std::vector<float> down_price;
    row_prices(p, node, s, up_price, down_price);
    branch_set(p, node, s, e, st, up_price, down_price, choice);
    choice.entity = entity;
    choice.first = first;
    return true;
  }
  double value = 0.0;
  double fraction = 0.0;
  if (!column_unsatisfied(p, node, s, e, value, fraction)) return false;
  choice.entity = entity;
  choice.value = value;
  choice.first = first;
  column_children(p, node, e, choice);
  return true;
}

std::int32_t count_unsatisfied(const Problem& p, const NodeView& node, const BranchSettings& s) {
  std::int32_t count = 0;
  for (const GlobalEntity& e : p.entities) {
    if (e.is_set()) {
      if (!set_satisfied(examine_set(p, node, s, e.reference), e.kind())) ++count;
      continue;
    }
    double value = 0.0, fraction = 0.0;
    if (column_unsatisfied(p, node, s, e, value, fraction)) ++count;
  }
  return count;
}

}  // namespace kqopt
