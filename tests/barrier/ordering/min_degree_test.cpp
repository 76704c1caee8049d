// Orderings and the symbolic factor against a brute-force elimination on small graphs:
// valid permutations, exact fill counts, supernode structures, and the quality of the
// minimum-degree orders against the natural one.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "barrier/ordering/aat_structure.h"
#include "barrier/ordering/min_degree.h"
#include "barrier/ordering/ordering_choice.h"
#include "barrier/ordering/symbolic.h"

namespace kqopt::barrier {
namespace {

Adjacency from_edges(std::int32_t n, const std::vector<std::pair<int, int>>& edges) {
  UpperStructure u;
  u.n = n;
  std::vector<std::set<int>> rows(static_cast<std::size_t>(n));
  for (auto [a, b] : edges) {
    if (a == b) continue;
    rows[static_cast<std::size_t>(std::min(a, b))].insert(std::max(a, b));
  }
  u.start.push_back(0);
  for (const auto& r : rows) {
    for (int k : r) u.index.push_back(k);
    u.start.push_back(static_cast<std::int64_t>(u.index.size()));
  }
  return symmetric_adjacency(u);
}

Adjacency random_graph(std::int32_t n, double p, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution coin(p);
  std::vector<std::pair<int, int>> edges;
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      if (coin(rng)) edges.emplace_back(i, j);
    }
  }
  return from_edges(n, edges);
}

Adjacency grid(std::int32_t k) {
  std::vector<std::pair<int, int>> edges;
  for (int i = 0; i < k; ++i) {
    for (int j = 0; j < k; ++j) {
      if (i + 1 < k) edges.emplace_back(i * k + j, (i + 1) * k + j);
      if (j + 1 < k) edges.emplace_back(i * k + j, i * k + j + 1);
    }
  }
  return from_edges(k * k, edges);
}

// Column structures of L by explicit elimination (positions).
std::vector<std::set<int>> brute_force_structure(const Adjacency& g, const std::vector<std::int32_t>& order) {
  const int n = g.n;
  std::vector<int> pos(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) pos[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])] = k;
  std::vector<std::set<int>> adj(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    for (auto p = g.start[static_cast<std::size_t>(i)]; p < g.start[static_cast<std::size_t>(i) + 1]; ++p) {
      adj[static_cast<std::size_t>(pos[static_cast<std::size_t>(i)])].insert(
          pos[static_cast<std::size_t>(g.adj[static_cast<std::size_t>(p)])]);
    }
  }
  std::vector<std::set<int>> col(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) {
    for (int i : adj[static_cast<std::size_t>(k)]) {
      if (i > k) col[static_cast<std::size_t>(k)].insert(i);
    }
    for (int i : col[static_cast<std::size_t>(k)]) {
      for (int j : col[static_cast<std::size_t>(k)]) {
        if (i != j) adj[static_cast<std::size_t>(i)].insert(j);
      }
    }
  }
  return col;
}

std::int64_t brute_force_nnz(const Adjacency& g, const std::vector<std::int32_t>& order) {
  std::int64_t total = g.n;
  for (const auto& c : brute_force_structure(g, order)) total += static_cast<std::int64_t>(c.size());
  return total;
}

void expect_permutation(const std::vector<std::int32_t>& order, std::int32_t n) {
  ASSERT_EQ(static_cast<std::int32_t>(order.size()), n);
  std::vector<std::int32_t> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  for (std::int32_t k = 0; k < n; ++k) ASSERT_EQ(sorted[static_cast<std::size_t>(k)], k);
}

struct GraphCase {
  std::int32_t n;
  double p;
  std::uint32_t seed;
};

class OrderingOnRandomGraphs : public ::testing::TestWithParam<GraphCase> {};

TEST_P(OrderingOnRandomGraphs, PermutationsFillAndSupernodesAreExact) {
  const GraphCase c = GetParam();
  const Adjacency g = random_graph(c.n, c.p, c.seed);
  std::vector<std::int32_t> natural(static_cast<std::size_t>(c.n));
  std::iota(natural.begin(), natural.end(), 0);
  for (const MinDegreeRule rule : {MinDegreeRule::kApproximateDegree, MinDegreeRule::kLocalFill}) {
    const std::vector<std::int32_t> order = min_degree_order(g.n, g.start, g.adj, rule);
    expect_permutation(order, c.n);
    const std::int64_t nnz = factor_nonzeros(g, order);
    EXPECT_EQ(nnz, brute_force_nnz(g, order));
    EXPECT_LE(nnz, brute_force_nnz(g, natural));

    const SymbolicFactor s = symbolic_factor(g, order);
    EXPECT_EQ(s.nnz_l, nnz);  // the postorder keeps the fill
    const auto structure = brute_force_structure(g, s.perm);
    for (std::int32_t sn = 0; sn < s.supernodes(); ++sn) {
      const std::int32_t f = s.super_start[static_cast<std::size_t>(sn)];
      const std::int32_t l = s.super_start[static_cast<std::size_t>(sn) + 1];
      std::set<int> rows(s.rows.begin() + s.row_start[static_cast<std::size_t>(sn)],
                         s.rows.begin() + s.row_start[static_cast<std::size_t>(sn) + 1]);
      for (std::int32_t k = f; k < l; ++k) {
        std::set<int> expected = structure[static_cast<std::size_t>(k)];
        for (int i = k; i < l; ++i) expected.insert(i);
        std::set<int> got;
        for (int i : rows) {
          if (i >= k) got.insert(i);
        }
        ASSERT_EQ(got, expected) << "column " << k;
      }
    }
  }
}

TEST_P(OrderingOnRandomGraphs, RelaxedSupernodesHoldTheStructureAndCountTheirZeros) {
  const GraphCase c = GetParam();
  const Adjacency g = random_graph(c.n, c.p, c.seed);
  const std::vector<std::int32_t> order = min_degree_order(g.n, g.start, g.adj, MinDegreeRule::kApproximateDegree);
  const SymbolicFactor fundamental = symbolic_factor(g, order);
  const std::set<std::int32_t> fundamental_starts(fundamental.super_start.begin(), fundamental.super_start.end());
  const auto structure = brute_force_structure(g, fundamental.perm);
  const SupernodeRelaxation every_merge{1 << 20, 0, 0.0, 0, 0.0};
  for (const SupernodeRelaxation& relax : {kRelaxedSupernodes, every_merge}) {
    const SymbolicFactor s = symbolic_factor(g, order, 1.0, relax);
    EXPECT_EQ(s.perm, fundamental.perm);
    EXPECT_EQ(s.nnz_l, fundamental.nnz_l);
    EXPECT_EQ(s.fundamental_supernodes, fundamental.supernodes());
    EXPECT_LE(s.supernodes(), fundamental.supernodes());
    std::int64_t stored = 0;
    for (std::int32_t sn = 0; sn < s.supernodes(); ++sn) {
      const std::int32_t f = s.super_start[static_cast<std::size_t>(sn)];
      const std::int32_t l = s.super_start[static_cast<std::size_t>(sn) + 1];
      ASSERT_EQ(fundamental_starts.count(f), 1u) << "supernode " << sn;
      if (relax.always > c.n && l < s.dense_start) {  // the trailing dense block takes no merge
        EXPECT_NE(s.parent[static_cast<std::size_t>(l) - 1], l) << "supernode " << sn << " not merged";
      }
      const auto begin = s.rows.begin() + s.row_start[static_cast<std::size_t>(sn)];
      const auto end = s.rows.begin() + s.row_start[static_cast<std::size_t>(sn) + 1];
      const std::int64_t h = end - begin;
      for (std::int32_t k = f; k < l; ++k) ASSERT_EQ(begin[k - f], k);
      ASSERT_TRUE(std::is_sorted(begin, end));
      ASSERT_EQ(std::adjacent_find(begin, end), end);
      const std::set<int> rows(begin, end);
      for (std::int32_t k = f; k < l; ++k) {
        for (const int i : structure[static_cast<std::size_t>(k)]) ASSERT_EQ(rows.count(i), 1u) << "column " << k;
      }
      // Every row below the block is in the structure of its last column.
      for (auto it = begin + (l - f); it != end; ++it) {
        ASSERT_EQ(structure[static_cast<std::size_t>(l) - 1].count(*it), 1u) << "supernode " << sn;
      }
      const std::int64_t w = l - f;
      stored += w * h - w * (w - 1) / 2;
      EXPECT_EQ(s.value_start[static_cast<std::size_t>(sn) + 1] - s.value_start[static_cast<std::size_t>(sn)], w * h);
    }
    EXPECT_EQ(stored - s.nnz_l, s.explicit_zeros);
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, OrderingOnRandomGraphs,
                         ::testing::Values(GraphCase{30, 0.08, 1}, GraphCase{60, 0.05, 2}, GraphCase{80, 0.03, 3},
                                           GraphCase{100, 0.02, 4}, GraphCase{50, 0.2, 5}, GraphCase{120, 0.01, 6},
                                           GraphCase{200, 0.015, 7}));

TEST(BarrierOrdering, NoEdgesKeepsTheNaturalOrder) {
  const Adjacency g = from_edges(5, {});
  const std::vector<std::int32_t> order = order_structure(g, 0);
  EXPECT_EQ(order, (std::vector<std::int32_t>{0, 1, 2, 3, 4}));
}

TEST(BarrierOrdering, HubAboveTheCutoffGoesLast) {
  // A path of 40 nodes plus node 0 joined to all: its degree exceeds 5 x (avg + 1).
  std::vector<std::pair<int, int>> edges;
  for (int i = 1; i + 1 < 41; ++i) edges.emplace_back(i, i + 1);
  for (int i = 1; i < 41; ++i) edges.emplace_back(0, i);
  const Adjacency g = from_edges(41, edges);
  MinDegreeStats stats;
  const std::vector<std::int32_t> order =
      min_degree_order(g.n, g.start, g.adj, MinDegreeRule::kApproximateDegree, &stats);
  EXPECT_EQ(order.back(), 0);
  EXPECT_EQ(stats.dense, 1);
}

TEST(BarrierOrdering, MethodsOfTheOrderingCodes) {
  EXPECT_EQ(ordering_method(0), 5);
  EXPECT_EQ(ordering_method(1), 2);
  EXPECT_EQ(ordering_method(2), 4);
  EXPECT_EQ(ordering_method(3), 1);
  EXPECT_EQ(ordering_method(4), 6);
  EXPECT_EQ(ordering_method(9), 3);
  EXPECT_EQ(ordering_kind(ordering_method(0)), OrderingKind::kApproximateMinDegree);
  EXPECT_EQ(ordering_kind(ordering_method(1)), OrderingKind::kNatural);
  EXPECT_EQ(ordering_kind(ordering_method(2)), OrderingKind::kMinLocalFill);
}

// On a 30 x 30 grid minimum degree is far below the natural band (nested-dissection-like
// fill); the figures bound the orders from above, not a particular count.
TEST(BarrierOrdering, GridFillFarBelowTheNaturalOrder) {
  const Adjacency g = grid(30);
  std::vector<std::int32_t> natural(900);
  std::iota(natural.begin(), natural.end(), 0);
  const std::int64_t band = factor_nonzeros(g, natural);
  const std::int64_t amd = factor_nonzeros(g, order_structure(g, 0));
  const std::int64_t amf = factor_nonzeros(g, order_structure(g, 2));
  EXPECT_LT(amd, band * 2 / 3);
  EXPECT_LT(amf, band * 2 / 3);
}

TEST(BarrierSymbolic, PanelWidths) {
  EXPECT_EQ(panel_width(7, 1.0e9), 7);  // no real root: the whole height
  EXPECT_EQ(panel_width(10, 1.0e9), 8);
  EXPECT_EQ(panel_width(1000, 10.0), 1);
  EXPECT_EQ(panel_width(1000, 20000.0) % 16, 0);
  EXPECT_EQ(panel_width(1000, 12000.0), 8);  // 12 rounds down to 8
}

TEST(BarrierSymbolic, NonzerosOfAATCountedOnce) {
  // A = columns {0,1}, {1,2}, {0}, {0,1}: A A' couples 0-1 and 1-2 only.
  const std::vector<std::int64_t> start = {0, 2, 4, 5, 7};
  const std::vector<std::int32_t> row = {0, 1, 1, 2, 0, 0, 1};
  const PatternView a{3, 4, start, row};
  EXPECT_EQ(ordmat_nnzaat(a), 2);
  const std::vector<std::int8_t> mask = {0, 1, 1, 0};
  EXPECT_EQ(ordmat_nnzaat(a, mask), 1);
}

}  // namespace
}  // namespace kqopt::barrier
