// Minimum-degree orderings on the quotient graph (see min_degree.h).
//
// Every node is a variable (status 1), an element (2, a pivot whose clique is kept as
// the list of its variables), dense and postponed (3) or gone (0: absorbed element,
// variable merged into a supervariable or eliminated together with a pivot). A
// variable's list holds its elements first (elen of them) and then its variables. All
// lists live in one integer area, compacted in place when the free tail runs short.
#include "barrier/ordering/min_degree.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "barrier/kit/fatal_error.h"
#include "barrier/ordering/priority_queue.h"

namespace kqopt::barrier {
namespace {

constexpr std::int8_t kGone = 0;
constexpr std::int8_t kVariable = 1;
constexpr std::int8_t kElement = 2;
constexpr std::int8_t kDense = 3;

class QuotientGraph {
 public:
  QuotientGraph(std::int32_t n, std::span<const std::int64_t> start, std::span<const std::int32_t> adj,
                MinDegreeStats& stats, std::FILE* log)
      : n_(n), stats_(stats), log_(log) {
    setup(start, adj);
  }

  std::vector<std::int32_t> order(MinDegreeRule rule, std::int32_t candidates);

 private:
  std::size_t u(std::int32_t i) const { return static_cast<std::size_t>(i); }
  void setup(std::span<const std::int64_t> start, std::span<const std::int32_t> adj);
  void merge_indistinguishable();
  void bump_flag(std::int64_t by) { wflg_ += by; }
  void compact();
  void ensure_room(std::int64_t need);
  std::int32_t pick_local_fill(std::int32_t candidates);
  void eliminate(std::int32_t me);
  std::vector<std::int32_t> permutation();

  std::int32_t n_;
  MinDegreeStats& stats_;
  std::FILE* log_;
  std::vector<std::int32_t> iw_;
  std::int64_t pfree_ = 0;
  std::vector<std::int64_t> pe_;
  std::vector<std::int32_t> len_, elen_, nv_, degree_, parent_;
  std::vector<std::int8_t> state_;
  std::vector<std::int64_t> w_;
  std::int64_t wflg_ = 2;
  std::vector<std::int32_t> hash_head_, hash_next_;
  std::vector<std::uint32_t> hash_of_;
  std::vector<std::int32_t> elimination_;  // pivots and the variables eliminated with them
  std::vector<std::int32_t> dense_;
  PriorityQueue queue_;
  std::int32_t sparse_nodes_ = 0;
  std::int32_t eliminated_ = 0;  // weighted
};

void QuotientGraph::setup(std::span<const std::int64_t> start, std::span<const std::int32_t> adj) {
  const std::size_t n = u(n_);
  pe_.assign(n, 0);
  len_.assign(n, 0);
  elen_.assign(n, 0);
  nv_.assign(n, 1);
  degree_.assign(n, 0);
  parent_.assign(n, -1);
  state_.assign(n, kVariable);
  w_.assign(n, 1);
  hash_head_.assign(n, -1);
  hash_next_.assign(n, -1);
  hash_of_.assign(n, 0);

  std::int64_t total = 0;
  std::int32_t max_degree = 0;
  for (std::int32_t i = 0; i < n_; ++i) {
    const auto d = static_cast<std::int32_t>(start[u(i) + 1] - start[u(i)]);
    total += d;
    max_degree = std::max(max_degree, d);
  }
  const std::int64_t cutoff64 = std::min<std::int64_t>(n_, 5 * (total / std::max(n_, 1) + 1));
  const auto cutoff = static_cast<std::int32_t>(cutoff64);
  std::int64_t dense_degree = 0;
  for (std::int32_t i = 0; i < n_; ++i) {
    const auto d = static_cast<std::int32_t>(start[u(i) + 1] - start[u(i)]);
    if (d > cutoff) {
      state_[u(i)] = kDense;
      dense_.push_back(i);
      dense_degree += d;
    }
  }
  stats_.n = n_;
  stats_.edges = total / 2;
  stats_.max_degree = max_degree;
  stats_.avg_degree = n_ > 0 ? static_cast<double>(total) / n_ : 0.0;
  stats_.density_percent = n_ > 0 ? (static_cast<double>(total) + n_) * 100.0 / (static_cast<double>(n_) * n_) : 0.0;
  stats_.cutoff = cutoff;
  stats_.dense = static_cast<std::int32_t>(dense_.size());
  stats_.saved = total > 0 ? static_cast<double>(dense_degree) / static_cast<double>(total) : 0.0;

  std::int64_t kept = 0;
  for (std::int32_t i = 0; i < n_; ++i) {
    if (state_[u(i)] == kDense) continue;
    for (std::int64_t p = start[u(i)]; p < start[u(i) + 1]; ++p)
      kept += state_[u(adj[static_cast<std::size_t>(p)])] != kDense;
  }
  // The quotient graph never needs more than the original lists, plus the element under
  // construction; the slack keeps compactions rare.
  iw_.assign(static_cast<std::size_t>(kept + kept / 5 + 2 * static_cast<std::int64_t>(n_) + 16), 0);
  std::int64_t p = 0;
  for (std::int32_t i = 0; i < n_; ++i) {
    pe_[u(i)] = p;
    if (state_[u(i)] == kDense) continue;
    for (std::int64_t q = start[u(i)]; q < start[u(i) + 1]; ++q) {
      const std::int32_t j = adj[static_cast<std::size_t>(q)];
      if (state_[u(j)] != kDense) iw_[static_cast<std::size_t>(p++)] = j;
    }
    len_[u(i)] = static_cast<std::int32_t>(p - pe_[u(i)]);
    degree_[u(i)] = len_[u(i)];
  }
  pfree_ = p;
  sparse_nodes_ = n_ - static_cast<std::int32_t>(dense_.size());

  if (log_ != nullptr) {
    std::fprintf(log_, "\n%-12s: %-10d  %-12s: %-10lld", "n", n_, "num(edges)/2", static_cast<long long>(total / 2));
    std::fprintf(log_, "\n%-12s: %-10d  %-12s: %-10.2f", "max(deg)", max_degree, "avg(deg)", stats_.avg_degree);
    std::fprintf(log_, "\n%-12s: %-8.2f", "Density (%)", stats_.density_percent);
    std::fprintf(log_, "\n%-12s: %-10d  %-12s: %-10d", "cutoff", cutoff, "num(den)", stats_.dense);
    std::fprintf(log_, "  %-12s: %-10.2f", "Rel. saved", stats_.saved);
  }
  merge_indistinguishable();
}

// Nodes with the same closed neighbourhood become one supervariable.
void QuotientGraph::merge_indistinguishable() {
  std::int32_t nodes = 0;
  for (std::int32_t i = 0; i < n_; ++i) {
    if (state_[u(i)] != kVariable) continue;
    ++nodes;
    std::uint64_t h = static_cast<std::uint64_t>(i);
    for (std::int32_t k = 0; k < len_[u(i)]; ++k)
      h += static_cast<std::uint64_t>(iw_[static_cast<std::size_t>(pe_[u(i)] + k)]);
    hash_of_[u(i)] = static_cast<std::uint32_t>(h % static_cast<std::uint64_t>(n_));
    hash_next_[u(i)] = hash_head_[hash_of_[u(i)]];
    hash_head_[hash_of_[u(i)]] = i;
  }
  stats_.initial_nodes = nodes;
  std::int32_t merged = 0;
  for (std::int32_t b = 0; b < n_; ++b) {
    for (std::int32_t i = hash_head_[u(b)]; i >= 0; i = hash_next_[u(i)]) {
      if (nv_[u(i)] == 0) continue;
      bump_flag(1);
      w_[u(i)] = wflg_;
      for (std::int32_t k = 0; k < len_[u(i)]; ++k) w_[u(iw_[static_cast<std::size_t>(pe_[u(i)] + k)])] = wflg_;
      for (std::int32_t j = hash_next_[u(i)]; j >= 0; j = hash_next_[u(j)]) {
        if (nv_[u(j)] == 0 || len_[u(j)] != len_[u(i)] || w_[u(j)] != wflg_) continue;
        bool same = true;
        for (std::int32_t k = 0; k < len_[u(j)] && same; ++k)
          same = w_[u(iw_[static_cast<std::size_t>(pe_[u(j)] + k)])] == wflg_;
        if (!same) continue;
        nv_[u(i)] += nv_[u(j)];
        nv_[u(j)] = 0;
        state_[u(j)] = kGone;
        parent_[u(j)] = i;
        ++merged;
      }
    }
    hash_head_[u(b)] = -1;
  }
  std::fill(w_.begin(), w_.end(), 1);
  wflg_ = 2;
  // Lists keep only principal variables other than the node itself; degrees are weighted.
  for (std::int32_t i = 0; i < n_; ++i) {
    if (state_[u(i)] != kVariable) continue;
    std::int64_t q = pe_[u(i)];
    std::int32_t degree = 0;
    for (std::int32_t k = 0; k < len_[u(i)]; ++k) {
      const std::int32_t j = iw_[static_cast<std::size_t>(pe_[u(i)] + k)];
      if (j == i || nv_[u(j)] == 0) continue;
      iw_[static_cast<std::size_t>(q++)] = j;
      degree += nv_[u(j)];
    }
    len_[u(i)] = static_cast<std::int32_t>(q - pe_[u(i)]);
    degree_[u(i)] = degree;
  }
  stats_.compressed_nodes = nodes - merged;
  if (log_ != nullptr) {
    std::fprintf(log_, "\nInitial number of nodes: %-d", nodes);
    std::fprintf(log_, "\nCompressed number of nodes: %-d", nodes - merged);
  }
}

void QuotientGraph::compact() {
  ++stats_.garbage_collections;
  for (std::int32_t j = 0; j < n_; ++j) {
    const bool live = (state_[u(j)] == kVariable && nv_[u(j)] != 0) || state_[u(j)] == kElement;
    if (!live || len_[u(j)] == 0) continue;
    const auto p = static_cast<std::size_t>(pe_[u(j)]);
    pe_[u(j)] = iw_[p];
    iw_[p] = -j - 1;
  }
  std::int64_t dst = 0;
  for (std::int64_t src = 0; src < pfree_;) {
    const std::int32_t v = iw_[static_cast<std::size_t>(src)];
    if (v >= 0) {
      ++src;
      continue;
    }
    const std::int32_t j = -v - 1;
    const std::int32_t first = static_cast<std::int32_t>(pe_[u(j)]);
    pe_[u(j)] = dst;
    iw_[static_cast<std::size_t>(dst)] = first;
    for (std::int32_t k = 1; k < len_[u(j)]; ++k) {
      iw_[static_cast<std::size_t>(dst + k)] = iw_[static_cast<std::size_t>(src + k)];
    }
    dst += len_[u(j)];
    src += len_[u(j)];
  }
  pfree_ = dst;
}

void QuotientGraph::ensure_room(std::int64_t need) {
  if (pfree_ + need <= static_cast<std::int64_t>(iw_.size())) return;
  compact();
  if (pfree_ + need <= static_cast<std::int64_t>(iw_.size())) return;
  // Not expected (the live lists never outgrow the original graph), but growing is
  // sounder than failing.
  iw_.resize(static_cast<std::size_t>(pfree_ + need + static_cast<std::int64_t>(n_)));
}

// Among the nodes of smallest degree, the one whose elimination creates the least fill
// (estimated from the clique sizes of its elements).
std::int32_t QuotientGraph::pick_local_fill(std::int32_t candidates) {
  std::int32_t best = -1;
  std::int64_t best_score = 0;
  std::int32_t limit = 2 * candidates;
  std::int32_t seen = 0;
  std::int32_t e = -1, d = 0;
  if (!queue_.to_min()) return -1;
  while (seen < limit && queue_.get(e, d)) {
    if (d > 70) limit = std::min(limit, 5);
    const std::int64_t nvi = nv_[u(e)];
    std::int64_t score = static_cast<std::int64_t>(d) * (d - 1);
    for (std::int32_t k = 0; k < elen_[u(e)]; ++k) {
      const std::int32_t el = iw_[static_cast<std::size_t>(pe_[u(e)] + k)];
      if (w_[u(el)] == 0) continue;
      const std::int64_t c = degree_[u(el)] - nvi;
      if (c > 0) score -= c * (c - 1);
    }
    score = std::max<std::int64_t>(score, 0);
    if (best < 0 || score < best_score) {
      best = e;
      best_score = score;
    }
    ++seen;
    if (!queue_.step()) break;
  }
  return best;
}

void QuotientGraph::eliminate(std::int32_t me) {
  const auto ume = u(me);
  queue_.remove(me);
  const std::int32_t elenme = elen_[ume];
  std::int32_t nvpiv = nv_[ume];
  eliminated_ += nvpiv;
  elimination_.push_back(me);
  std::int32_t degme = 0;
  std::int64_t pme1, pme2;

  if (elenme == 0) {
    // No elements: the new element takes the pivot's own list in place.
    nv_[ume] = -nvpiv;
    pme1 = pe_[ume];
    pme2 = pme1;
    for (std::int32_t k = 0; k < len_[ume]; ++k) {
      const std::int32_t i = iw_[static_cast<std::size_t>(pe_[ume] + k)];
      if (nv_[u(i)] <= 0) continue;
      degme += nv_[u(i)];
      nv_[u(i)] = -nv_[u(i)];
      iw_[static_cast<std::size_t>(pme2++)] = i;
      queue_.remove(i);
    }
  } else {
    std::int64_t bound = len_[ume] - elenme;
    for (std::int32_t k = 0; k < elenme; ++k) {
      const std::int32_t e = iw_[static_cast<std::size_t>(pe_[ume] + k)];
      if (w_[u(e)] != 0) bound += len_[u(e)];
    }
    ensure_room(std::min<std::int64_t>(bound, sparse_nodes_));
    nv_[ume] = -nvpiv;
    pme1 = pfree_;
    pme2 = pme1;
    for (std::int32_t k = 0; k <= elenme; ++k) {
      std::int32_t e = me;
      std::int64_t p = pe_[ume] + elenme;
      std::int32_t length = len_[ume] - elenme;
      if (k < elenme) {
        e = iw_[static_cast<std::size_t>(pe_[ume] + k)];
        if (w_[u(e)] == 0) continue;
        p = pe_[u(e)];
        length = len_[u(e)];
      }
      for (std::int32_t q = 0; q < length; ++q) {
        const std::int32_t i = iw_[static_cast<std::size_t>(p + q)];
        if (nv_[u(i)] <= 0) continue;
        degme += nv_[u(i)];
        nv_[u(i)] = -nv_[u(i)];
        iw_[static_cast<std::size_t>(pme2++)] = i;
        queue_.remove(i);
      }
      if (e != me) {
        // Element absorption: e's clique is inside the new element.
        state_[u(e)] = kGone;
        parent_[u(e)] = me;
        w_[u(e)] = 0;
      }
    }
    pfree_ = pme2;
  }
  state_[ume] = kElement;
  pe_[ume] = pme1;
  len_[ume] = static_cast<std::int32_t>(pme2 - pme1);
  elen_[ume] = 0;
  w_[ume] = 1;

  // |Le \ Lme| for every element e next to the new one: w[e] - wflg.
  bump_flag(static_cast<std::int64_t>(n_) + 1);
  for (std::int64_t p = pme1; p < pme2; ++p) {
    const std::int32_t i = iw_[static_cast<std::size_t>(p)];
    const std::int64_t nvi = -nv_[u(i)];
    for (std::int32_t k = 0; k < elen_[u(i)]; ++k) {
      const std::int32_t e = iw_[static_cast<std::size_t>(pe_[u(i)] + k)];
      std::int64_t& we = w_[u(e)];
      if (we == 0) continue;
      we = we >= wflg_ ? we - nvi : degree_[u(e)] + wflg_ - nvi;
    }
  }

  // Degree update, list pruning, aggressive absorption and mass elimination.
  for (std::int64_t p = pme1; p < pme2; ++p) {
    const std::int32_t i = iw_[static_cast<std::size_t>(p)];
    const auto ui = u(i);
    const std::int64_t p1 = pe_[ui];
    const std::int64_t p2 = p1 + elen_[ui];
    const std::int64_t p4 = p1 + len_[ui];
    std::int64_t pn = p1;
    std::uint64_t hash = 0;
    std::int64_t deg = 0;
    for (std::int64_t q = p1; q < p2; ++q) {
      const std::int32_t e = iw_[static_cast<std::size_t>(q)];
      if (w_[u(e)] == 0) continue;
      const std::int64_t dext = w_[u(e)] - wflg_;
      if (dext > 0) {
        deg += dext;
        iw_[static_cast<std::size_t>(pn++)] = e;
        hash += static_cast<std::uint64_t>(e);
      } else {
        // Aggressive absorption: e's variables all lie in the new element.
        state_[u(e)] = kGone;
        parent_[u(e)] = me;
        w_[u(e)] = 0;
      }
    }
    const auto elen_new = static_cast<std::int32_t>(pn - p1);
    const std::int64_t p3 = pn;
    for (std::int64_t q = p2; q < p4; ++q) {
      const std::int32_t j = iw_[static_cast<std::size_t>(q)];
      if (nv_[u(j)] <= 0) continue;
      deg += nv_[u(j)];
      iw_[static_cast<std::size_t>(pn++)] = j;
      hash += static_cast<std::uint64_t>(j);
    }
    if (elen_new == 0 && pn == p3) {
      // Mass elimination: i is adjacent to the new element only.
      const std::int32_t nvi = -nv_[ui];
      degme -= nvi;
      nvpiv += nvi;
      eliminated_ += nvi;
      nv_[ui] = 0;
      state_[ui] = kGone;
      parent_[ui] = me;
      elimination_.push_back(i);
      continue;
    }
    degree_[ui] = static_cast<std::int32_t>(std::min<std::int64_t>(degree_[ui], deg));
    if (pn >= p4) fatal_error("amindeg", "mindeg_x1pivot", "Internal space");
    // The new element goes to the front of the element part.
    iw_[static_cast<std::size_t>(pn)] = iw_[static_cast<std::size_t>(p1 + elen_new)];
    iw_[static_cast<std::size_t>(p1 + elen_new)] = iw_[static_cast<std::size_t>(p1)];
    iw_[static_cast<std::size_t>(p1)] = me;
    len_[ui] = static_cast<std::int32_t>(pn - p1 + 1);
    elen_[ui] = elen_new + 1;
    const auto hv = static_cast<std::uint32_t>(hash % static_cast<std::uint64_t>(n_));
    hash_of_[ui] = hv;
    hash_next_[ui] = hash_head_[hv];
    hash_head_[hv] = i;
  }
  degree_[ume] = degme;

  // Supervariables: variables of the new element with identical lists merge.
  bump_flag(static_cast<std::int64_t>(n_) + 1);
  for (std::int64_t p = pme1; p < pme2; ++p) {
    const std::int32_t first = iw_[static_cast<std::size_t>(p)];
    if (nv_[u(first)] >= 0) continue;
    const std::uint32_t hv = hash_of_[u(first)];
    std::int32_t bucket = hash_head_[hv];
    if (bucket < 0) continue;
    hash_head_[hv] = -1;
    for (std::int32_t i = bucket; i >= 0; i = hash_next_[u(i)]) {
      if (nv_[u(i)] >= 0 || hash_next_[u(i)] < 0) continue;
      bump_flag(1);
      for (std::int32_t k = 0; k < len_[u(i)]; ++k) w_[u(iw_[static_cast<std::size_t>(pe_[u(i)] + k)])] = wflg_;
      std::int32_t prev = i;
      for (std::int32_t j = hash_next_[u(i)]; j >= 0; j = hash_next_[u(j)]) {
        bool same = nv_[u(j)] < 0 && len_[u(j)] == len_[u(i)] && elen_[u(j)] == elen_[u(i)];
        for (std::int32_t k = 0; k < len_[u(j)] && same; ++k) {
          same = w_[u(iw_[static_cast<std::size_t>(pe_[u(j)] + k)])] == wflg_;
        }
        if (!same) {
          prev = j;
          continue;
        }
        nv_[u(i)] += nv_[u(j)];
        nv_[u(j)] = 0;
        state_[u(j)] = kGone;
        parent_[u(j)] = i;
        hash_next_[u(prev)] = hash_next_[u(j)];
      }
    }
  }

  // New degrees into the queue; the element keeps only its live variables.
  const std::int32_t left = sparse_nodes_ - eliminated_;
  std::int64_t q = pme1;
  for (std::int64_t p = pme1; p < pme2; ++p) {
    const std::int32_t i = iw_[static_cast<std::size_t>(p)];
    const auto ui = u(i);
    if (nv_[ui] >= 0) continue;
    const std::int32_t nvi = -nv_[ui];
    nv_[ui] = nvi;
    const std::int32_t deg = std::max(0, std::min(degree_[ui] + degme - nvi, left - nvi));
    degree_[ui] = deg;
    queue_.put(i, deg);
    iw_[static_cast<std::size_t>(q++)] = i;
  }
  len_[ume] = static_cast<std::int32_t>(q - pme1);
  nv_[ume] = nvpiv;
  const double np = nvpiv, dm = degme;
  stats_.predicted_nnz_l += np * dm + np * (np - 1) / 2;
  stats_.predicted_flops += np * dm * dm + dm * np * (np - 1) + np * (np - 1) * (2 * np - 1) / 6;
  if (len_[ume] == 0) pe_[ume] = pfree_;
}

std::vector<std::int32_t> QuotientGraph::order(MinDegreeRule rule, std::int32_t candidates) {
  queue_.reset(n_, std::max(n_, 1));
  for (std::int32_t i = 0; i < n_; ++i) {
    if (state_[u(i)] == kVariable && nv_[u(i)] > 0) queue_.put(i, std::min(degree_[u(i)], n_));
  }
  while (eliminated_ < sparse_nodes_) {
    std::int32_t me = -1, d = 0;
    if (rule == MinDegreeRule::kLocalFill) {
      me = pick_local_fill(candidates);
    } else if (queue_.to_min()) {
      queue_.get(me, d);
    }
    if (me < 0) fatal_error("amindeg", "mindeg_aorder", "No nodes available");
    eliminate(me);
  }
  // Postponed dense nodes go last, sparsest first.
  std::stable_sort(dense_.begin(), dense_.end(),
                   [&](std::int32_t a, std::int32_t b) { return degree_[u(a)] < degree_[u(b)]; });
  const double nd = static_cast<double>(dense_.size());
  stats_.predicted_nnz_l += nd * (nd - 1) / 2;
  return permutation();
}

std::vector<std::int32_t> QuotientGraph::permutation() {
  // Variables merged into a supervariable follow the node that represents them.
  std::vector<std::int8_t> placed(u(n_), 0);
  for (const std::int32_t i : elimination_) placed[u(i)] = 1;
  std::vector<std::int32_t> head(u(n_), -1), next(u(n_), -1);
  for (std::int32_t j = n_ - 1; j >= 0; --j) {
    if (placed[u(j)] || state_[u(j)] == kDense) continue;
    std::int32_t r = parent_[u(j)];
    while (r >= 0 && !placed[u(r)]) r = parent_[u(r)];
    if (r < 0) fatal_error("amindeg", "mindeg_aorder", "p error");
    next[u(j)] = head[u(r)];
    head[u(r)] = j;
  }
  std::vector<std::int32_t> order;
  order.reserve(u(n_));
  for (const std::int32_t i : elimination_) {
    order.push_back(i);
    for (std::int32_t j = head[u(i)]; j >= 0; j = next[u(j)]) order.push_back(j);
  }
  for (const std::int32_t i : dense_) order.push_back(i);
  std::vector<std::int8_t> seen(u(n_), 0);
  if (static_cast<std::int32_t>(order.size()) != n_) fatal_error("amindeg", "mindeg_aorder", "p error");
  for (const std::int32_t i : order) {
    if (i < 0 || i >= n_ || seen[u(i)]) fatal_error("amindeg", "mindeg_aorder", "p error");
    seen[u(i)] = 1;
  }
  return order;
}

}  // namespace

std::vector<std::int32_t> min_degree_order(std::int32_t n, std::span<const std::int64_t> start,
                                           std::span<const std::int32_t> adj, MinDegreeRule rule, MinDegreeStats* stats,
                                           std::FILE* log, std::int32_t local_fill_candidates) {
  MinDegreeStats local;
  MinDegreeStats& s = stats != nullptr ? *stats : local;
  s = MinDegreeStats{};
  if (n <= 0) return {};
  QuotientGraph graph(n, start, adj, s, log);
  std::vector<std::int32_t> order = graph.order(rule, local_fill_candidates);
  if (log != nullptr) {
    std::fprintf(log, "\n%-10s: %-8d  %-10s:  %-10.2e", "nnz(L)", static_cast<int>(s.predicted_nnz_l), "flops",
                 s.predicted_flops);
  }
  return order;
}

}  // namespace kqopt::barrier
