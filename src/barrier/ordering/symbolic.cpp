// Symbolic factorisation (see symbolic.h).
#include "barrier/ordering/symbolic.h"

#include <algorithm>
#include <cmath>

namespace kqopt::barrier {
namespace {

inline std::size_t u(std::int32_t i) { return static_cast<std::size_t>(i); }

// Elimination tree of the structure permuted by iperm, with path compression.
std::vector<std::int32_t> elimination_tree(const Adjacency& g, std::span<const std::int32_t> perm,
                                           std::span<const std::int32_t> iperm) {
  const std::int32_t n = g.n;
  std::vector<std::int32_t> parent(u(n), -1), ancestor(u(n), -1);
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t old = perm[u(k)];
    for (std::int64_t p = g.start[u(old)]; p < g.start[u(old) + 1]; ++p) {
      std::int32_t r = iperm[u(g.adj[static_cast<std::size_t>(p)])];
      if (r >= k) continue;
      while (ancestor[u(r)] != -1 && ancestor[u(r)] != k) {
        const std::int32_t next = ancestor[u(r)];
        ancestor[u(r)] = k;
        r = next;
      }
      if (ancestor[u(r)] == -1) {
        ancestor[u(r)] = k;
        parent[u(r)] = k;
      }
    }
  }
  return parent;
}

// Column counts by row subtrees: row j of L is the union of the tree paths from its
// structure entries up to j.
std::vector<std::int32_t> column_counts(const Adjacency& g, std::span<const std::int32_t> perm,
                                        std::span<const std::int32_t> iperm, std::span<const std::int32_t> parent) {
  const std::int32_t n = g.n;
  std::vector<std::int32_t> count(u(n), 1), mark(u(n), -1);
  for (std::int32_t j = 0; j < n; ++j) {
    mark[u(j)] = j;
    const std::int32_t old = perm[u(j)];
    for (std::int64_t p = g.start[u(old)]; p < g.start[u(old) + 1]; ++p) {
      std::int32_t r = iperm[u(g.adj[static_cast<std::size_t>(p)])];
      if (r >= j) continue;
      while (mark[u(r)] != j) {
        ++count[u(r)];
        mark[u(r)] = j;
        r = parent[u(r)];
      }
    }
  }
  return count;
}

// Merges, bottom-up, each supernode into its parent when the parent starts right after
// it (in the postorder the last child precedes its parent) and the relaxation accepts
// the merged block. s.super_start holds the fundamental starts (without n) and becomes
// the relaxed ones; the trailing dense block takes no part.
void relax_supernodes(SymbolicFactor& s, const SupernodeRelaxation& relax) {
  const std::int32_t n = s.n;
  const std::int32_t ns = static_cast<std::int32_t>(s.super_start.size());
  if (ns < 2 || relax.always + relax.medium + relax.widest <= 0) return;
  // Per supernode, describing the merged block that ends with it: width, height (rows
  // of its first column) and explicit zeros.
  std::vector<std::int64_t> width(u(ns)), height(u(ns)), zeros(u(ns), 0);
  std::vector<std::int8_t> ends(u(ns), 1);
  for (std::int32_t sn = 0; sn < ns; ++sn) {
    const std::int32_t f = s.super_start[u(sn)];
    width[u(sn)] = (sn + 1 < ns ? s.super_start[u(sn) + 1] : n) - f;
    height[u(sn)] = s.colcount[u(f)];
  }
  for (std::int32_t sn = 0; sn + 1 < ns; ++sn) {
    const std::int32_t next_start = s.super_start[u(sn) + 1];
    if (next_start >= s.dense_start || s.parent[u(next_start - 1)] != next_start) continue;
    const std::int64_t wc = width[u(sn)], hc = height[u(sn)];
    const std::int64_t hp = height[u(sn) + 1];
    const std::int64_t w = wc + width[u(sn) + 1];
    const std::int64_t h = wc + hp;
    // The child's columns take every row of the parent's block.
    const std::int64_t z = zeros[u(sn)] + zeros[u(sn) + 1] + wc * (wc + hp - hc);
    const double entries = static_cast<double>(w) * static_cast<double>(h) - 0.5 * static_cast<double>(w * (w - 1));
    const double share = static_cast<double>(z) / entries;
    const bool take = z == zeros[u(sn)] + zeros[u(sn) + 1] || w <= relax.always ||
                      (w <= relax.medium && share <= relax.zero_share) ||
                      (w <= relax.widest && share <= relax.wide_zero_share);
    if (!take) continue;
    ends[u(sn)] = 0;
    width[u(sn) + 1] = w;
    height[u(sn) + 1] = h;
    zeros[u(sn) + 1] = z;
  }
  std::vector<std::int32_t> starts;
  for (std::int32_t sn = 0; sn < ns; ++sn) {
    if (sn == 0 || ends[u(sn) - 1]) starts.push_back(s.super_start[u(sn)]);
    if (ends[u(sn)]) s.explicit_zeros += zeros[u(sn)];
  }
  s.super_start.swap(starts);
}

}  // namespace

std::int32_t panel_width(std::int64_t h, double cache_doubles) {
  const double a = static_cast<double>(h) + 1.5;
  const double disc = a * a - 2.0 * cache_doubles;
  std::int64_t w = disc >= 0.0 ? static_cast<std::int64_t>(std::floor(a - std::sqrt(disc))) : h;
  w = std::max<std::int64_t>(w, 1);
  if (w > 16) {
    w -= w % 16;
  } else if (w >= 9 && w <= 15) {
    w = 8;
  }
  return static_cast<std::int32_t>(std::min<std::int64_t>(w, 1 << 30));
}

std::int64_t factor_nonzeros(const Adjacency& g, std::span<const std::int32_t> order) {
  std::vector<std::int32_t> iperm(u(g.n));
  for (std::int32_t k = 0; k < g.n; ++k) iperm[u(order[u(k)])] = k;
  const std::vector<std::int32_t> parent = elimination_tree(g, order, iperm);
  const std::vector<std::int32_t> count = column_counts(g, order, iperm, parent);
  std::int64_t total = 0;
  for (const std::int32_t c : count) total += c;
  return total;
}

SymbolicFactor symbolic_factor(const Adjacency& g, std::span<const std::int32_t> order, double fill_threshold,
                               const SupernodeRelaxation& relax) {
  SymbolicFactor s;
  const std::int32_t n = g.n;
  s.n = n;
  std::vector<std::int32_t> iperm0(u(n));
  for (std::int32_t k = 0; k < n; ++k) iperm0[u(order[u(k)])] = k;
  const std::vector<std::int32_t> parent0 = elimination_tree(g, order, iperm0);

  // Postorder: chains of the tree become consecutive columns, so supernodes can form.
  std::vector<std::int32_t> head(u(n), -1), next(u(n), -1);
  for (std::int32_t k = n - 1; k >= 0; --k) {
    const std::int32_t p = parent0[u(k)];
    if (p >= 0) {
      next[u(k)] = head[u(p)];
      head[u(p)] = k;
    }
  }
  std::vector<std::int32_t> post;
  post.reserve(u(n));
  std::vector<std::int32_t> stack;
  for (std::int32_t root = 0; root < n; ++root) {
    if (parent0[u(root)] != -1) continue;
    stack.push_back(root);
    while (!stack.empty()) {
      const std::int32_t top = stack.back();
      const std::int32_t child = head[u(top)];
      if (child >= 0) {
        head[u(top)] = next[u(child)];
        stack.push_back(child);
      } else {
        stack.pop_back();
        post.push_back(top);
      }
    }
  }
  s.perm.resize(u(n));
  s.iperm.resize(u(n));
  std::vector<std::int32_t> new_of_old_position(u(n));
  for (std::int32_t k = 0; k < n; ++k) {
    s.perm[u(k)] = order[u(post[u(k)])];
    new_of_old_position[u(post[u(k)])] = k;
  }
  for (std::int32_t k = 0; k < n; ++k) s.iperm[u(s.perm[u(k)])] = k;
  s.parent.assign(u(n), -1);
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t p = parent0[u(post[u(k)])];
    s.parent[u(k)] = p < 0 ? -1 : new_of_old_position[u(p)];
  }
  s.colcount = column_counts(g, s.perm, s.iperm, s.parent);
  for (const std::int32_t c : s.colcount) {
    s.nnz_l += c;
    s.flops += static_cast<double>(c) * static_cast<double>(c);
  }

  // Fundamental supernodes.
  std::vector<std::int32_t> children(u(n), 0);
  for (std::int32_t k = 0; k < n; ++k) {
    if (s.parent[u(k)] >= 0) ++children[u(s.parent[u(k)])];
  }
  s.super_start.clear();
  for (std::int32_t k = 0; k < n; ++k) {
    const bool joins =
        k > 0 && s.parent[u(k - 1)] == k && s.colcount[u(k - 1)] == s.colcount[u(k)] + 1 && children[u(k)] == 1;
    if (!joins) s.super_start.push_back(k);
  }
  // Trailing dense block: the smallest supernode start from which L is dense enough.
  s.dense_start = n;
  {
    double stored = 0.0;
    std::size_t sn = s.super_start.size();
    std::int32_t best = n;
    for (std::int32_t k = n - 1; k >= 0; --k) {
      stored += s.colcount[u(k)];
      while (sn > 0 && s.super_start[sn - 1] > k) --sn;
      if (sn == 0 || s.super_start[sn - 1] != k) continue;
      const double order_k = static_cast<double>(n - k);
      const double triangle = order_k * (order_k + 1.0) / 2.0;
      if (stored >= fill_threshold * triangle && triangle <= 2.0 * stored) best = k;
    }
    if (best < n) {
      while (!s.super_start.empty() && s.super_start.back() > best) s.super_start.pop_back();
      s.dense_start = best;
    }
  }
  s.fundamental_supernodes = static_cast<std::int32_t>(s.super_start.size());
  relax_supernodes(s, relax);
  s.super_start.push_back(n);
  const std::int32_t ns = s.supernodes();
  s.super_of.resize(u(n));
  for (std::int32_t sn = 0; sn < ns; ++sn) {
    for (std::int32_t k = s.super_start[u(sn)]; k < s.super_start[u(sn) + 1]; ++k) s.super_of[u(k)] = sn;
  }

  // Row structure of each supernode: its columns' entries below it and its children's rows.
  std::vector<std::int32_t> child_head(u(ns), -1), child_next(u(ns), -1);
  for (std::int32_t sn = ns - 1; sn >= 0; --sn) {
    const std::int32_t last = s.super_start[u(sn) + 1] - 1;
    const std::int32_t p = s.parent[u(last)];
    if (p < 0) continue;
    const std::int32_t ps = s.super_of[u(p)];
    child_next[u(sn)] = child_head[u(ps)];
    child_head[u(ps)] = sn;
  }
  // A supernode's height is that of its first column (fundamental) or, relaxed, its
  // columns plus the rows below them of the block it ends with: at most its width plus
  // the height of its last column.
  std::int64_t total_rows = 0;
  for (std::int32_t sn = 0; sn < ns; ++sn) {
    const std::int32_t f = s.super_start[u(sn)];
    const std::int32_t l = s.super_start[u(sn) + 1];
    total_rows += f >= s.dense_start ? n - f : (l - 1 - f) + s.colcount[u(l - 1)];
  }
  s.rows.resize(static_cast<std::size_t>(total_rows));
  s.row_start.assign(u(ns) + 1, 0);
  s.value_start.assign(u(ns) + 1, 0);
  std::vector<std::int32_t> mark(u(n), -1);
  std::int64_t fill = 0;
  for (std::int32_t sn = 0; sn < ns; ++sn) {
    const std::int32_t f = s.super_start[u(sn)];
    const std::int32_t l = s.super_start[u(sn) + 1];
    const std::int64_t begin = fill;
    for (std::int32_t k = f; k < l; ++k) s.rows[static_cast<std::size_t>(fill++)] = k;
    if (f < s.dense_start) {
      for (std::int32_t k = f; k < l; ++k) {
        const std::int32_t old = s.perm[u(k)];
        for (std::int64_t p = g.start[u(old)]; p < g.start[u(old) + 1]; ++p) {
          const std::int32_t i = s.iperm[u(g.adj[static_cast<std::size_t>(p)])];
          if (i >= l && mark[u(i)] != sn) {
            mark[u(i)] = sn;
            s.rows[static_cast<std::size_t>(fill++)] = i;
          }
        }
      }
      for (std::int32_t c = child_head[u(sn)]; c >= 0; c = child_next[u(c)]) {
        for (std::int64_t p = s.row_start[u(c)]; p < s.row_start[u(c) + 1]; ++p) {
          const std::int32_t i = s.rows[static_cast<std::size_t>(p)];
          if (i >= l && mark[u(i)] != sn) {
            mark[u(i)] = sn;
            s.rows[static_cast<std::size_t>(fill++)] = i;
          }
        }
      }
      std::sort(s.rows.begin() + static_cast<std::ptrdiff_t>(begin + (l - f)),
                s.rows.begin() + static_cast<std::ptrdiff_t>(fill));
    } else {
      for (std::int32_t k = l; k < n; ++k) s.rows[static_cast<std::size_t>(fill++)] = k;
    }
    s.row_start[u(sn) + 1] = fill;
    const std::int64_t h = fill - begin;
    s.value_start[u(sn) + 1] = s.value_start[u(sn)] + h * (l - f);
  }
  s.rows.resize(static_cast<std::size_t>(fill));
  return s;
}

}  // namespace kqopt::barrier
