// The choice of fill-reducing ordering (see ordering_choice.h).
#include "barrier/ordering/ordering_choice.h"

#include <numeric>

namespace kqopt::barrier {

std::int32_t ordering_method(std::int32_t code) {
  switch (code) {
    case 3:
      return 1;
    case 1:
      return 2;
    case 2:
      return 4;
    case 0:
      return 5;
    case 4:
      return 6;
    default:
      return 3;
  }
}

OrderingKind ordering_kind(std::int32_t method) {
  if (method == 1 || method == 5 || method == 6) return OrderingKind::kApproximateMinDegree;
  if (method == 4) return OrderingKind::kMinLocalFill;
  return OrderingKind::kNatural;
}

std::vector<std::int32_t> order_structure(const Adjacency& g, std::int32_t code, MinDegreeStats* stats,
                                          std::FILE* log) {
  const OrderingKind kind = ordering_kind(ordering_method(code));
  if (kind == OrderingKind::kNatural || g.adj.empty()) {
    std::vector<std::int32_t> order(static_cast<std::size_t>(g.n));
    std::iota(order.begin(), order.end(), 0);
    return order;
  }
  if (log != nullptr) std::fprintf(log, "\n--- BEGIN %s", "Approximate min. degree");
  std::vector<std::int32_t> order = min_degree_order(
      g.n, g.start, g.adj,
      kind == OrderingKind::kMinLocalFill ? MinDegreeRule::kLocalFill : MinDegreeRule::kApproximateDegree, stats, log);
  if (log != nullptr) std::fprintf(log, "\n--- END %s", "Approximate min. degree");
  return order;
}

}  // namespace kqopt::barrier
