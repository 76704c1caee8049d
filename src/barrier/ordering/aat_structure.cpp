// The structure of A_s A_s' (see aat_structure.h).
#include "barrier/ordering/aat_structure.h"

#include <new>

#include "barrier/kit/fatal_error.h"

namespace kqopt::barrier {
namespace {

struct RowPattern {
  std::vector<std::int64_t> start;
  std::vector<std::int32_t> column;
};

// Row lists of the kept columns of length at least 2.
RowPattern kept_rows(const PatternView& a, std::span<const std::int8_t> mask) {
  RowPattern r;
  r.start.assign(static_cast<std::size_t>(a.m) + 1, 0);
  auto kept = [&](std::int32_t j) {
    return (mask.empty() || mask[static_cast<std::size_t>(j)] != 0) &&
           a.start[static_cast<std::size_t>(j) + 1] - a.start[static_cast<std::size_t>(j)] > 1;
  };
  for (std::int32_t j = 0; j < a.n; ++j) {
    if (!kept(j)) continue;
    for (std::int64_t p = a.start[static_cast<std::size_t>(j)]; p < a.start[static_cast<std::size_t>(j) + 1]; ++p) {
      const std::int32_t i = a.row[static_cast<std::size_t>(p)];
      if (i < 0 || i >= a.m) fatal_kind("ordmat", "ordmat_nnzaat", FatalKind::kIndex);
      ++r.start[static_cast<std::size_t>(i) + 1];
    }
  }
  for (std::int32_t i = 0; i < a.m; ++i)
    r.start[static_cast<std::size_t>(i) + 1] += r.start[static_cast<std::size_t>(i)];
  r.column.resize(static_cast<std::size_t>(r.start.back()));
  std::vector<std::int64_t> fill(r.start.begin(), r.start.end() - 1);
  for (std::int32_t j = 0; j < a.n; ++j) {
    if (!kept(j)) continue;
    for (std::int64_t p = a.start[static_cast<std::size_t>(j)]; p < a.start[static_cast<std::size_t>(j) + 1]; ++p) {
      r.column[static_cast<std::size_t>(fill[static_cast<std::size_t>(a.row[static_cast<std::size_t>(p)])]++)] = j;
    }
  }
  return r;
}

// Walks row i's neighbours above i; f(k) for each, once.
template <typename F>
void for_upper_neighbours(const PatternView& a, const RowPattern& r, std::int32_t i, std::vector<std::int32_t>& mark,
                          F&& f) {
  mark[static_cast<std::size_t>(i)] = i;
  for (std::int64_t p = r.start[static_cast<std::size_t>(i)]; p < r.start[static_cast<std::size_t>(i) + 1]; ++p) {
    const std::int32_t j = r.column[static_cast<std::size_t>(p)];
    for (std::int64_t q = a.start[static_cast<std::size_t>(j)]; q < a.start[static_cast<std::size_t>(j) + 1]; ++q) {
      const std::int32_t k = a.row[static_cast<std::size_t>(q)];
      if (k > i && mark[static_cast<std::size_t>(k)] != i) {
        mark[static_cast<std::size_t>(k)] = i;
        f(k);
      }
    }
  }
}

}  // namespace

UpperStructure aat_upper_structure(const PatternView& a, std::span<const std::int8_t> mask) {
  const RowPattern r = kept_rows(a, mask);
  UpperStructure u;
  u.n = a.m;
  u.start.assign(static_cast<std::size_t>(a.m) + 1, 0);
  std::vector<std::int32_t> mark(static_cast<std::size_t>(a.m), -1);
  for (std::int32_t i = 0; i < a.m; ++i) {
    for_upper_neighbours(a, r, i, mark, [&](std::int32_t k) { u.index.push_back(k); });
    u.start[static_cast<std::size_t>(i) + 1] = static_cast<std::int64_t>(u.index.size());
  }
  return u;
}

std::int64_t ordmat_nnzaat(const PatternView& a, std::span<const std::int8_t> mask) {
  try {
    const RowPattern r = kept_rows(a, mask);
    std::vector<std::int32_t> mark(static_cast<std::size_t>(a.m), -1);
    std::int64_t count = 0;
    for (std::int32_t i = 0; i < a.m; ++i) for_upper_neighbours(a, r, i, mark, [&](std::int32_t) { ++count; });
    return count;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

Adjacency symmetric_adjacency(const UpperStructure& upper) {
  Adjacency g;
  g.n = upper.n;
  const auto n = static_cast<std::size_t>(upper.n);
  g.start.assign(n + 1, 0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::int64_t p = upper.start[i]; p < upper.start[i + 1]; ++p) {
      ++g.start[i + 1];
      ++g.start[static_cast<std::size_t>(upper.index[static_cast<std::size_t>(p)]) + 1];
    }
  }
  for (std::size_t i = 0; i < n; ++i) g.start[i + 1] += g.start[i];
  g.adj.resize(static_cast<std::size_t>(g.start[n]));
  std::vector<std::int64_t> fill(g.start.begin(), g.start.end() - 1);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::int64_t p = upper.start[i]; p < upper.start[i + 1]; ++p) {
      const auto k = static_cast<std::size_t>(upper.index[static_cast<std::size_t>(p)]);
      g.adj[static_cast<std::size_t>(fill[i]++)] = static_cast<std::int32_t>(k);
      g.adj[static_cast<std::size_t>(fill[k]++)] = static_cast<std::int32_t>(i);
    }
  }
  return g;
}

}  // namespace kqopt::barrier
