// Reduced-cost fixing at a node of the global search.
#include "global/search/node_tightening.h"

#include <cmath>

#include "problem/infinity.h"
#include "problem/problem.h"

namespace kqopt {

std::int32_t reduced_cost_tightening(const Problem& p, const OptimalNode& node, double gap, double slack,
                                     double reduced_cost_tolerance, std::vector<BoundChange>& out) {
  if (!(gap >= 0.0) || !std::isfinite(gap)) return 0;
  // The bound z + d·t holds exactly only when every other reduced cost has the sign of
  // its bound; a wrong-signed one (the dual's tolerance, its perturbation taken away)
  // can lower the objective by at most |d| times its range, which the room allows for.
  // A wrong-signed one with an infinite range leaves no bound at all.
  double loss = 0.0;
  const std::size_t total = node.x.size();
  for (std::size_t v = 0; v < total; ++v) {
    const double d = node.reduced_cost[v];
    if (d == 0.0) continue;
    const double lo = node.lower[v];
    const double up = node.upper[v];
    const double xv = node.x[v];
    const bool at_lower = lo > -kInfinityThreshold && std::fabs(xv - lo) <= 1.0e-9;
    const bool at_upper = up < kInfinityThreshold && std::fabs(xv - up) <= 1.0e-9;
    if (at_lower && at_upper) continue;  // fixed: it cannot move
    const bool wrong = at_lower ? d < 0.0 : at_upper ? d > 0.0 : std::fabs(d) > 1.0e-9;
    if (!wrong) continue;
    const double range = up - lo;
    if (!(range < kInfinityThreshold)) {
      if (std::fabs(d) > 1.0e-12) return 0;
      continue;
    }
    loss += std::fabs(d) * range;
  }
  const double room = gap + slack + loss;
  std::int32_t count = 0;
  for (const GlobalEntity& e : p.entities) {
    const EntityKind kind = e.kind();
    if (kind != EntityKind::kInteger && kind != EntityKind::kBinary) continue;
    const auto v = static_cast<std::size_t>(p.column_variable(e.reference));
    const double lo = node.lower[v];
    const double up = node.upper[v];
    if (lo >= up) continue;
    const double d = node.reduced_cost[v];
    const double xv = node.x[v];
    // A hair above the whole units a tolerance-sized error could cost.
    if (d > reduced_cost_tolerance && lo > -kInfinityThreshold && std::fabs(xv - lo) <= 1.0e-9) {
      const double reach = std::floor(room / d + 1.0e-6);
      if (lo + reach < up) {
        out.push_back({static_cast<std::int32_t>(v), lo, lo + reach});
        ++count;
      }
    } else if (d < -reduced_cost_tolerance && up < kInfinityThreshold && std::fabs(xv - up) <= 1.0e-9) {
      const double reach = std::floor(room / -d + 1.0e-6);
      if (up - reach > lo) {
        out.push_back({static_cast<std::int32_t>(v), up - reach, up});
        ++count;
      }
    }
  }
  return count;
}

}  // namespace kqopt
