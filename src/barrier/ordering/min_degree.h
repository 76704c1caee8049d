// Minimum-degree orderings of a symmetric structure on the quotient graph: the
// approximate minimum degree ordering (element absorption, mass elimination, aggressive
// absorption, supervariables) and the minimum-local-fill variant that picks, among the
// nodes of smallest degree, the one whose elimination creates the least fill. Nodes of
// very high degree are taken out of the graph and ordered last.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

namespace kqopt::barrier {

enum class MinDegreeRule { kApproximateDegree, kLocalFill };

struct MinDegreeStats {
  std::int32_t n = 0;
  std::int64_t edges = 0;  // off-diagonal pairs (num(edges)/2)
  std::int32_t max_degree = 0;
  double avg_degree = 0.0;
  double density_percent = 0.0;
  std::int32_t cutoff = 0;
  std::int32_t dense = 0;
  double saved = 0.0;  // the dense nodes' share of the total degree
  std::int32_t initial_nodes = 0;
  std::int32_t compressed_nodes = 0;
  std::int64_t garbage_collections = 0;
  double predicted_nnz_l = 0.0;  // strict lower triangle
  double predicted_flops = 0.0;
};

// Orders the graph of n nodes given by its adjacency (both directions, no self loops,
// no duplicates): node i's neighbours are adj[start[i] .. start[i+1]). Returns the
// elimination order: order[k] is the node eliminated k-th. `local_fill_candidates` is the
// parameter of the local-fill rule (25). With `log`, prints the statistics.
// Throws std::bad_alloc when memory is short.
std::vector<std::int32_t> min_degree_order(std::int32_t n, std::span<const std::int64_t> start,
                                           std::span<const std::int32_t> adj, MinDegreeRule rule,
                                           MinDegreeStats* stats = nullptr, std::FILE* log = nullptr,
                                           std::int32_t local_fill_candidates = 25);

}  // namespace kqopt::barrier
