// Symbolic factorisation of a symmetric structure under a fill-reducing order: the
// elimination tree (postordered), the column counts of L, the supernode partition with
// the row indices of each supernode stored once, the trailing dense block and the panel
// widths of the cache partition.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "barrier/ordering/aat_structure.h"

namespace kqopt::barrier {

struct SymbolicFactor {
  std::int32_t n = 0;
  std::vector<std::int32_t> perm;      // perm[k]: original index of position k
  std::vector<std::int32_t> iperm;     // iperm[i]: position of original index i
  std::vector<std::int32_t> parent;    // elimination tree over positions, -1 at roots
  std::vector<std::int32_t> colcount;  // nonzeros of each column of L, diagonal included
  // Supernode s holds columns super_start[s] .. super_start[s+1]); its rows (its own
  // columns first, then increasing) are rows[row_start[s] .. row_start[s+1]); its values a
  // column-major block of height (row count) x width at value_start[s].
  std::vector<std::int32_t> super_start;
  std::vector<std::int32_t> super_of;  // per column
  std::vector<std::int64_t> row_start;
  std::vector<std::int32_t> rows;
  std::vector<std::int64_t> value_start;
  std::int32_t dense_start = 0;             // first column of the trailing dense block, n when none
  std::int64_t nnz_l = 0;                   // nonzeros of L, diagonal included (exact, before any dense block)
  double flops = 0.0;                       // of the exact structure
  std::int32_t fundamental_supernodes = 0;  // before relaxation
  std::int64_t explicit_zeros = 0;          // stored by the relaxed supernodes

  std::int32_t supernodes() const { return static_cast<std::int32_t>(super_start.size()) - 1; }
  std::int64_t stored_values() const { return value_start.empty() ? 0 : value_start.back(); }
};

// Relaxed supernodes: a supernode whose parent starts at the column after its last is
// merged into it when the merged block stays narrow and holds few explicit zeros, so
// that more of the factorisation runs through the wide-update kernel. A merge is taken
// when the merged width is at most `always` columns, or the explicit zeros of the merged
// block are at most `zero_share` of its stored entries for a width up to `medium`, or
// at most `wide_zero_share` up to `widest`. All zero: fundamental supernodes only.
struct SupernodeRelaxation {
  std::int32_t always = 0;
  std::int32_t medium = 0;
  double zero_share = 0.0;
  std::int32_t widest = 0;
  double wide_zero_share = 0.0;
};
// The relaxation the factorisations use.
inline constexpr SupernodeRelaxation kRelaxedSupernodes{8, 16, 0.5, 64, 0.1};

// g: the structure in original indices; order[k]: the node eliminated k-th. The order
// is refined by a postorder of its elimination tree (same fill). fill_threshold: the
// density from which the trailing part of L is stored as one dense block.
// Throws std::bad_alloc when memory is short.
SymbolicFactor symbolic_factor(const Adjacency& g, std::span<const std::int32_t> order, double fill_threshold = 1.0,
                               const SupernodeRelaxation& relax = {});

// Exact nonzeros of L (diagonal included) for the structure under an order, without
// building anything else (the orderings' quality measure).
std::int64_t factor_nonzeros(const Adjacency& g, std::span<const std::int32_t> order);

// Width of a panel of height h that fits, with its update, in `cache_doubles` doubles:
// floor(h + 1.5 - sqrt((h + 1.5)^2 - 2 Q)), h when the root is not real; at least 1;
// above 16 rounded down to a multiple of 16, from 9 to 15 down to 8.
std::int32_t panel_width(std::int64_t h, double cache_doubles);

}  // namespace kqopt::barrier
