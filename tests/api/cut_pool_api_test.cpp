// The cut pool through the public header: storing and sharing cuts, capacity and the
// refusals of every entry point, cuts in the LP kept from dropping and deleted from it,
// and the life of a pool cut in the search: loaded at one node, inherited by its
// subtree, taken out elsewhere and re-applied when the search comes back to the
// subtree after backtracking.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kqopt.h"

namespace {

int32_t int_attribute(int32_t n) {
  int32_t v = -1;
  EXPECT_EQ(KQGETIPV(n, &v), 0);
  return v;
}
int32_t last_error() { return int_attribute(1023); }

constexpr int kColumns = 14;

class CutPoolApi : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-cut-pool-api-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    ASSERT_EQ(KQSETICV(28, 0), 0);   // GPRINT
    ASSERT_EQ(KQSETICV(40, 1), 0);   // IFCUTP
    ASSERT_EQ(KQSETICV(4, 50), 0);   // NRXTRA
    ASSERT_EQ(KQSETICV(6, 800), 0);  // NMXTRA
  }
  void TearDown() override {
    KQFREEXO();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }

  // Two knapsack rows over 14 binaries, maximised: a search of about a hundred nodes.
  static void load() {
    static const double a[2][kColumns] = {{23, 31, 29, 44, 53, 38, 63, 85, 89, 82, 41, 47, 59, 71},
                                          {12, 44, 37, 19, 28, 61, 33, 24, 51, 40, 29, 58, 17, 36}};
    static const double c[kColumns] = {92, 57, 49, 68, 60, 43, 67, 84, 87, 72, 55, 61, 66, 79};
    const char types[] = {'L', 'L'};
    const double rhs[] = {260, 230};
    std::vector<int32_t> start, rows, columns;
    std::vector<double> values, lower(kColumns, 0.0), upper(kColumns, 1.0);
    std::vector<char> kinds(kColumns, 'B');
    for (int j = 0; j < kColumns; ++j) {
      start.push_back(2 * j);
      rows.insert(rows.end(), {0, 1});
      values.insert(values.end(), {a[0][j], a[1][j]});
      columns.push_back(j);
    }
    start.push_back(2 * kColumns);
    ASSERT_EQ(KQLOADGLOBAL("knap", kColumns, 2, types, rhs, nullptr, c, start.data(), nullptr, rows.data(),
                           values.data(), lower.data(), upper.data(), kColumns, 0, kinds.data(), columns.data(),
                           nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
  }

  // Stores one cut over the columns with the coefficients, returning its entry.
  static int32_t store(std::vector<int32_t> cols, std::vector<double> vals, char type, double rhs, int32_t mode = 0,
                       int32_t cut_type = 1, int32_t* rc = nullptr) {
    const int32_t start[] = {0, static_cast<int32_t>(cols.size())};
    int32_t entry = -1;
    const int32_t r = KQSTORECUTS(mode, 1, &cut_type, &type, &rhs, start, &entry, cols.data(), vals.data());
    if (rc != nullptr) {
      *rc = r;
    } else {
      EXPECT_EQ(r, 0);
    }
    return entry;
  }

  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

TEST_F(CutPoolApi, CutsStoredTwiceOrScaledShareTheirEntry) {
  load();
  const int32_t e = store({0, 3, 5}, {1, 2, 1}, 'L', 2);
  EXPECT_EQ(e, 1);                                    // entries count from 1 for the C entry points
  EXPECT_EQ(store({5, 0, 3}, {1, 1, 2}, 'L', 2), e);  // the same cut, columns in another order
  EXPECT_EQ(store({0, 3, 5}, {2, 4, 2}, 'L', 4), e);  // scaled by 2
  // Another right-hand side: a new entry on the same coefficients.
  const int32_t f = store({0, 3, 5}, {1, 2, 1}, 'L', 3);
  EXPECT_NE(f, e);
  // Mode 1 returns a stored cut that dominates; mode 2 matches only the same cut type.
  EXPECT_EQ(store({0, 3, 5}, {1, 2, 1}, 'L', 3.5, 1), e);
  EXPECT_NE(store({0, 3, 5}, {1, 2, 1}, 'L', 2, 2, 9), e);
  // Dropping one entry keeps the shared record for the other.
  ASSERT_EQ(KQDROPCUTS(0, -1, 1, &e), 0);
  char type = 0;
  double rhs = 0, vals[3];
  int32_t start[2], cols[3];
  ASSERT_EQ(KQGETCUTS(&f, 1, 3, &type, &rhs, start, cols, vals), 0);
  EXPECT_EQ(type, 'L');
  EXPECT_EQ(rhs, 3);
  EXPECT_EQ(start[1] - start[0], 3);
  EXPECT_EQ(cols[0], 0);
  EXPECT_EQ(cols[1], 3);
  EXPECT_EQ(vals[1], 2);
  EXPECT_EQ(KQGETCUTS(&e, 1, 3, &type, &rhs, start, cols, vals), 32);
  EXPECT_EQ(last_error(), 418);
  EXPECT_EQ(KQGETCUTS(&f, 1, 2, &type, &rhs, start, cols, vals), 32);
  EXPECT_EQ(last_error(), 417);
}

TEST_F(CutPoolApi, EveryBadArgumentGetsItsMessage) {
  load();
  int32_t rc = 0;
  store({0, 1}, {1, 1}, 'X', 1, 0, 1, &rc);
  EXPECT_EQ(rc, 32);
  EXPECT_EQ(last_error(), 401);
  store({0, 99}, {1, 1}, 'L', 1, 0, 1, &rc);
  EXPECT_EQ(rc, 32);
  EXPECT_EQ(last_error(), 405);
  store({2, 2}, {1, 1}, 'L', 1, 0, 1, &rc);
  EXPECT_EQ(rc, 32);
  EXPECT_EQ(last_error(), 423);
  const char kind = 'X';
  const int32_t col = 0;
  const double value = 1;
  int32_t entry = 0;
  EXPECT_EQ(KQSTOREBNDS(1, &kind, &col, &value, &entry), 32);
  EXPECT_EQ(last_error(), 416);
  const int32_t outside = 77;
  EXPECT_EQ(KQLOADCUTS(0, -1, 1, &outside), 32);
  EXPECT_EQ(last_error(), 418);
  EXPECT_EQ(KQDROPCUTS(0, -1, 1, &outside), 32);
  EXPECT_EQ(last_error(), 418);
  // Without the pool every cut operation is refused.
  ASSERT_EQ(KQSETICV(40, 0), 0);
  load();
  EXPECT_EQ(KQGETCNLIST(0, -1, &entry, 0, nullptr), 32);
  EXPECT_EQ(last_error(), 91);
}

TEST_F(CutPoolApi, FullPoolAndFullElementSpace) {
  load();
  // 100 coefficient records: the 101st distinct cut is refused.
  int32_t rc = 0;
  for (int k = 0; k < 100; ++k) {
    store({k % kColumns, (k / kColumns + k % kColumns + 1) % kColumns}, {1.0, 1.0 + k}, 'L', 1, 0, 1, &rc);
    ASSERT_EQ(rc, 0) << k;
  }
  store({0, 1}, {1.0, 1000.0}, 'L', 1, 0, 1, &rc);
  EXPECT_EQ(rc, 32);
  EXPECT_EQ(last_error(), 419);
  // A cut stored before still comes back.
  store({0, 1}, {1.0, 1.0}, 'L', 1, 0, 1, &rc);
  EXPECT_EQ(rc, 0);

  // 200 elements: fourteen-element cuts fill them at the fifteenth.
  load();
  std::vector<int32_t> all(kColumns);
  for (int j = 0; j < kColumns; ++j) all[static_cast<std::size_t>(j)] = j;
  for (int k = 0; k < 14; ++k) {
    std::vector<double> v(kColumns, 1.0);
    v[static_cast<std::size_t>(k)] = 2.0 + k;
    store(all, v, 'L', 1, 0, 1, &rc);
    ASSERT_EQ(rc, 0) << k;
  }
  store(all, std::vector<double>(kColumns, 3.0), 'G', 1, 0, 1, &rc);
  EXPECT_EQ(rc, 32);
  EXPECT_EQ(last_error(), 424);

  // 150 entries (1.5 per record), bound entries included: 50 bounds leave 100 cuts.
  load();
  std::vector<char> kinds(50, 'U');
  std::vector<int32_t> columns(50), entries(50);
  std::vector<double> values(50);
  for (int k = 0; k < 50; ++k) {
    columns[static_cast<std::size_t>(k)] = k % kColumns;
    values[static_cast<std::size_t>(k)] = 0.5 + k;
  }
  ASSERT_EQ(KQSTOREBNDS(50, kinds.data(), columns.data(), values.data(), entries.data()), 0);
  for (int k = 0; k < 100; ++k) {
    store({0, 1}, {1.0, 1.0}, 'L', 1.0 + k, 0, 1, &rc);  // one record shared by every entry
    ASSERT_EQ(rc, 0) << k;
  }
  store({0, 1}, {1.0, 1.0}, 'L', 500, 0, 1, &rc);
  EXPECT_EQ(rc, 32);
  EXPECT_EQ(last_error(), 419);
  const char kind = 'L';
  const int32_t column = 3;
  const double value = 0;
  int32_t entry = 0;
  EXPECT_EQ(KQSTOREBNDS(1, &kind, &column, &value, &entry), 32);
  EXPECT_EQ(last_error(), 419);
  // Dropping one entry makes room for another.
  ASSERT_EQ(KQDROPCUTS(0, -1, 1, &entries[0]), 0);
  EXPECT_EQ(KQSTOREBNDS(1, &kind, &column, &value, &entry), 0);
}

TEST_F(CutPoolApi, CapacitiesAreReadOnly) {
  int32_t value = 0;
  ASSERT_EQ(KQGETICV(38, &value), 0);  // MXCPOL
  EXPECT_EQ(value, 100);
  ASSERT_EQ(KQGETICV(39, &value), 0);  // MXCPEL
  EXPECT_EQ(value, 200);
  EXPECT_EQ(KQSETICV(38, 5), 32);
  EXPECT_EQ(last_error(), 180);
  ASSERT_EQ(KQGETICV(38, &value), 0);
  EXPECT_EQ(value, 100);
}

TEST_F(CutPoolApi, CutsAddedDirectlyNeedSpareRowsAndElements) {
  ASSERT_EQ(KQSETICV(4, 3), 0);   // NRXTRA
  ASSERT_EQ(KQSETICV(6, 20), 0);  // NMXTRA
  load();
  ASSERT_EQ(KQMAXIM(""), 0);
  // Four valid cuts of seven elements each: half the columns sum to at most 7.
  std::vector<int32_t> cols;
  std::vector<double> vals;
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < 7; ++j) {
      cols.push_back(j + 7 * (k % 2));
      vals.push_back(1.0);
    }
  }
  const int32_t types[] = {1, 1, 1, 1};
  const char rows[] = {'L', 'L', 'L', 'L'};
  const double rhs[] = {7, 7, 7, 7};
  const int32_t start[] = {0, 7, 14, 21, 28};
  EXPECT_EQ(KQADDCUTS(4, types, rows, rhs, start, cols.data(), vals.data()), 32);
  EXPECT_EQ(last_error(), 413);
  EXPECT_EQ(KQADDCUTS(3, types, rows, rhs, start, cols.data(), vals.data()), 32);  // 21 elements
  EXPECT_EQ(last_error(), 415);
  EXPECT_EQ(int_attribute(1012), 0);
  ASSERT_EQ(KQADDCUTS(2, types, rows, rhs, start, cols.data(), vals.data()), 0);
  EXPECT_EQ(int_attribute(1012), 2);
  EXPECT_EQ(int_attribute(1019), 1);
  EXPECT_EQ(int_attribute(1021), 6);
  EXPECT_EQ(KQADDCUTS(1, types, rows, rhs, start, cols.data(), vals.data()), 32);
  EXPECT_EQ(last_error(), 415);
  int32_t count = 0, listed[2] = {-1, -1};
  ASSERT_EQ(KQGETCNLIST(0, -1, &count, 2, listed), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(listed[0], 0);  // added directly, not from the pool
  EXPECT_EQ(listed[1], 0);
  // The new rows' slacks are basic: the LP re-solves from a valid basis to the same
  // optimum, as the cuts do not bind.
  double relaxation = 0;
  ASSERT_EQ(KQGETDPV(2001, &relaxation), 0);
  ASSERT_EQ(KQMAXIM("d"), 0);
  double again = 0;
  ASSERT_EQ(KQGETDPV(2001, &again), 0);
  EXPECT_NEAR(again, relaxation, 1e-9);
}

TEST_F(CutPoolApi, CutsInTheLpStayInThePoolUntilDeletedFromIt) {
  load();
  ASSERT_EQ(KQMAXIM(""), 0);
  double relaxation = 0;
  ASSERT_EQ(KQGETDPV(2001, &relaxation), 0);
  const int32_t rows_before = int_attribute(1001);
  // Over the two largest values of the relaxation, x_a + x_b <= 1 cuts it off; the
  // same over the two smallest with right-hand side 2 does not.
  std::vector<double> x(kColumns);
  ASSERT_EQ(KQSOLUTION(x.data(), nullptr, nullptr, nullptr), 0);
  std::vector<int32_t> order(kColumns);
  for (int j = 0; j < kColumns; ++j) order[static_cast<std::size_t>(j)] = j;
  std::sort(order.begin(), order.end(),
            [&](int32_t p, int32_t q) { return x[static_cast<std::size_t>(p)] > x[static_cast<std::size_t>(q)]; });
  ASSERT_GT(x[static_cast<std::size_t>(order[0])] + x[static_cast<std::size_t>(order[1])], 1.5);
  const int32_t tight = store({order[0], order[1]}, {1, 1}, 'L', 1);
  const int32_t loose = store({order[12], order[13]}, {1, 1}, 'L', 2);
  const int32_t both[] = {tight, loose};
  ASSERT_EQ(KQLOADCUTS(0, -1, 2, both), 0);
  EXPECT_EQ(int_attribute(1012), 2);
  EXPECT_EQ(int_attribute(1001), rows_before + 2);
  int32_t count = -1;
  ASSERT_EQ(KQGETCNLIST(0, -1, &count, 0, nullptr), 0);  // size 0: the count only
  EXPECT_EQ(count, 2);
  // The LP changed since it was solved: no deletion.
  EXPECT_EQ(KQDELCUTS(0, 0, -1, 0.0, -1, nullptr), 32);
  EXPECT_EQ(last_error(), 422);
  ASSERT_EQ(KQMAXIM(""), 0);
  double with_cuts = 0;
  ASSERT_EQ(KQGETDPV(2001, &with_cuts), 0);
  // Slacks and prices come for the problem's rows only: the cut rows stay out.
  double slack[3] = {0, 0, -12345}, dual[3] = {0, 0, -12345};
  ASSERT_EQ(KQSOLUTION(nullptr, slack, dual, nullptr), 0);
  EXPECT_EQ(slack[2], -12345);
  EXPECT_EQ(dual[2], -12345);
  EXPECT_LT(with_cuts, relaxation - 1e-6);
  // The basis covers every row of the LP, cut rows included: the tight cut binds, the
  // loose one has slack.
  std::vector<int32_t> rstatus(static_cast<std::size_t>(rows_before) + 3, -7);
  ASSERT_EQ(KQGETBASIS(rstatus.data(), nullptr), 0);
  EXPECT_NE(rstatus[static_cast<std::size_t>(rows_before)], 1);
  EXPECT_EQ(rstatus[static_cast<std::size_t>(rows_before) + 1], 1);
  EXPECT_EQ(rstatus[static_cast<std::size_t>(rows_before) + 2], -7);
  // Dropping the whole pool keeps what the LP holds.
  ASSERT_EQ(KQDROPCUTS(0, -1, -1, nullptr), 0);
  char type;
  double rhs, vals[2];
  int32_t start[2], cols[2];
  EXPECT_EQ(KQGETCUTS(&tight, 1, 2, &type, &rhs, start, cols, vals), 0);
  EXPECT_EQ(KQGETCUTS(&loose, 1, 2, &type, &rhs, start, cols, vals), 0);
  // Deleting with a positive tolerance takes only the cut with slack: the loose one.
  ASSERT_EQ(KQDELCUTS(1, 0, -1, 1e-6, -1, nullptr), 0);
  int32_t listed[4] = {0, 0, 0, 0};
  ASSERT_EQ(KQGETCNLIST(0, -1, &count, 4, listed), 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(listed[0], tight);
  ASSERT_EQ(KQDROPCUTS(0, -1, -1, nullptr), 0);
  EXPECT_EQ(KQGETCUTS(&loose, 1, 2, &type, &rhs, start, cols, vals), 32);
  EXPECT_EQ(KQGETCUTS(&tight, 1, 2, &type, &rhs, start, cols, vals), 0);
  // The binding cut goes only with the basis flag 0 and no positive tolerance.
  ASSERT_EQ(KQMAXIM(""), 0);
  ASSERT_EQ(KQDELCUTS(1, 0, -1, 0.0, -1, nullptr), 0);
  EXPECT_EQ(int_attribute(1012), 1);
  const int32_t position = 0;
  ASSERT_EQ(KQDELCUTS(0, 0, -1, 0.0, 1, &position), 0);
  EXPECT_EQ(int_attribute(1012), 0);
  EXPECT_EQ(int_attribute(1001), rows_before);
  ASSERT_EQ(KQDROPCUTS(0, -1, -1, nullptr), 0);
  EXPECT_EQ(KQGETCUTS(&tight, 1, 2, &type, &rhs, start, cols, vals), 32);
  ASSERT_EQ(KQMAXIM(""), 0);
  double again = 0;
  ASSERT_EQ(KQGETDPV(2001, &again), 0);
  EXPECT_NEAR(again, relaxation, 1e-9);
}

// What the node cut manager saw at each node.
struct NodeSeen {
  std::vector<double> lower, upper;
  bool has_cut = false;
  bool after_selection = false;
};
std::vector<NodeSeen> g_nodes;
std::vector<double> g_root_lower, g_root_upper, g_marked_lower, g_marked_upper;
int32_t g_cut = -1;
bool g_selected = false;
int g_manager_calls = 0;

void on_select(int32_t*) { g_selected = true; }

int32_t node_manager() {
  ++g_manager_calls;
  NodeSeen seen;
  seen.lower.resize(kColumns);
  seen.upper.resize(kColumns);
  EXPECT_EQ(KQGETBDL(seen.lower.data(), 0, kColumns - 1), 0);
  EXPECT_EQ(KQGETBDU(seen.upper.data(), 0, kColumns - 1), 0);
  seen.after_selection = g_selected;
  g_selected = false;
  if (g_cut < 0 && seen.upper != g_root_upper) {
    // The first node below the root: a valid cut, never binding, loaded here only.
    std::vector<int32_t> cols(kColumns);
    std::vector<double> vals(kColumns, 1.0);
    for (int j = 0; j < kColumns; ++j) cols[static_cast<std::size_t>(j)] = j;
    const int32_t start[] = {0, kColumns};
    const int32_t type = 7;
    const char row = 'L';
    const double rhs = kColumns;
    EXPECT_EQ(KQSTORECUTS(0, 1, &type, &row, &rhs, start, &g_cut, cols.data(), vals.data()), 0);
    EXPECT_EQ(KQLOADCUTS(7, 1, 1, &g_cut), 0);
    g_marked_lower = seen.lower;
    g_marked_upper = seen.upper;
  }
  int32_t count = 0;
  int32_t entries[8];
  EXPECT_EQ(KQGETCNLIST(7, 1, &count, 8, entries), 0);
  seen.has_cut = count == 1 && entries[0] == g_cut;
  EXPECT_EQ(int_attribute(1012), count);
  g_nodes.push_back(seen);
  return 0;
}

bool inside_marked(const NodeSeen& n) {
  for (int j = 0; j < kColumns; ++j) {
    if (n.lower[static_cast<std::size_t>(j)] < g_marked_lower[static_cast<std::size_t>(j)] ||
        n.upper[static_cast<std::size_t>(j)] > g_marked_upper[static_cast<std::size_t>(j)]) {
      return false;
    }
  }
  return true;
}

TEST_F(CutPoolApi, ANodeCutFollowsItsSubtreeThroughBacktracking) {
  load();
  g_nodes.clear();
  g_cut = -1;
  g_selected = false;
  g_manager_calls = 0;
  g_root_lower.assign(kColumns, 0.0);
  g_root_upper.assign(kColumns, 1.0);
  ASSERT_EQ(KQDEFINECMENTRY(node_manager), 0);
  ASSERT_EQ(KQDEFINEUSNENTRY(on_select), 0);
  // Every node from the active list (NDSEL1 2): the subtrees interleave.
  ASSERT_EQ(KQSETICV(26, 2), 0);
  ASSERT_EQ(KQMAXIM("g"), 0);
  ASSERT_GE(g_cut, 1);
  EXPECT_EQ(int_attribute(1015), 6);
  double best = 0;
  ASSERT_EQ(KQGETDPV(2004, &best), 0);
  EXPECT_NEAR(best, 424.0, 1e-9);
  int inside = 0, outside = 0, restored = 0;
  bool marked_seen = false;
  for (const NodeSeen& n : g_nodes) {
    if (!marked_seen) {
      marked_seen = n.upper == g_marked_upper && n.lower == g_marked_lower;
      if (!marked_seen) {
        EXPECT_FALSE(n.has_cut);
        continue;
      }
    }
    const bool in = inside_marked(n);
    EXPECT_EQ(n.has_cut, in);
    inside += in ? 1 : 0;
    outside += in ? 0 : 1;
    restored += in && n.after_selection ? 1 : 0;
  }
  // The cut went out for the rest of the tree and came back for stored nodes of the
  // subtree taken up after backtracking.
  EXPECT_GT(outside, 0);
  EXPECT_GT(inside, 1);
  EXPECT_GT(restored, 0);
  // The pool entry is held by no LP after the search (only the root's cuts stay).
  EXPECT_EQ(int_attribute(1012), 0);
  ASSERT_EQ(KQDROPCUTS(0, -1, -1, nullptr), 0);
  char type;
  double rhs;
  int32_t start[2];
  std::vector<int32_t> cols(kColumns);
  std::vector<double> vals(kColumns);
  EXPECT_EQ(KQGETCUTS(&g_cut, 1, kColumns, &type, &rhs, start, cols.data(), vals.data()), 32);
  ASSERT_EQ(KQDEFINECMENTRY(nullptr), 0);
  ASSERT_EQ(KQDEFINEUSNENTRY(nullptr), 0);
}

int g_cut_manager_calls = 0;
int32_t counting_manager() {
  ++g_cut_manager_calls;
  return 0;
}

TEST_F(CutPoolApi, WithoutThePoolTheCutManagersAreNeverCalled) {
  ASSERT_EQ(KQSETICV(40, 0), 0);
  load();
  g_cut_manager_calls = 0;
  ASSERT_EQ(KQDEFINETCMENTRY(counting_manager), 0);
  ASSERT_EQ(KQDEFINECMENTRY(counting_manager), 0);
  ASSERT_EQ(KQMAXIM("g"), 0);
  EXPECT_EQ(g_cut_manager_calls, 0);
  ASSERT_EQ(KQSETICV(40, 1), 0);
  load();
  ASSERT_EQ(KQMAXIM("g"), 0);
  EXPECT_GT(g_cut_manager_calls, 1);
  ASSERT_EQ(KQDEFINETCMENTRY(nullptr), 0);
  ASSERT_EQ(KQDEFINECMENTRY(nullptr), 0);
}

// KQBRANCHCUT at the root: every later node is in its subtree and must carry both the
// bound entry (x0 <= 0) and the cut; the search then finds the optimum with x0 = 0.
int32_t g_bound_entry = -1, g_branch_cut = -1;
int g_nodes_after_root = 0, g_nodes_carrying = 0;
int32_t branching_manager() {
  if (g_bound_entry < 0) {
    const char kind = 'U';
    const int32_t column = 0;
    const double value = 0;
    EXPECT_EQ(KQSTOREBNDS(1, &kind, &column, &value, &g_bound_entry), 0);
    const int32_t cols[] = {1, 2}, start[] = {0, 2}, type = 5;
    const double vals[] = {1, 1}, rhs = 2;
    const char row = 'L';
    EXPECT_EQ(KQSTORECUTS(0, 1, &type, &row, &rhs, start, &g_branch_cut, cols, vals), 0);
    const int32_t both[] = {g_bound_entry, g_branch_cut};
    EXPECT_EQ(KQBRANCHCUT(2, both), 0);
    return 0;
  }
  ++g_nodes_after_root;
  double upper = -1;
  EXPECT_EQ(KQGETBDU(&upper, 0, 0), 0);
  int32_t count = 0, entries[4];
  EXPECT_EQ(KQGETCNLIST(5, 1, &count, 4, entries), 0);
  if (upper == 0.0 && count == 1 && entries[0] == g_branch_cut) ++g_nodes_carrying;
  return 0;
}

TEST_F(CutPoolApi, EntriesAttachedToANodeReachItsWholeSubtree) {
  // The optimum with x0 fixed at 0, for reference.
  load();
  const int32_t column = 0;
  const char kind = 'U';
  const double zero = 0;
  ASSERT_EQ(KQCHGBDS(1, &column, &kind, &zero), 0);
  ASSERT_EQ(KQMAXIM("g"), 0);
  double expected = 0;
  ASSERT_EQ(KQGETDPV(2004, &expected), 0);
  EXPECT_LT(expected, 424.0 - 1e-6);  // x0 is in every optimum

  load();
  g_bound_entry = g_branch_cut = -1;
  g_nodes_after_root = g_nodes_carrying = 0;
  ASSERT_EQ(KQDEFINECMENTRY(branching_manager), 0);
  ASSERT_EQ(KQMAXIM("g"), 0);
  ASSERT_EQ(KQDEFINECMENTRY(nullptr), 0);
  EXPECT_GT(g_nodes_after_root, 2);
  EXPECT_EQ(g_nodes_carrying, g_nodes_after_root);
  double best = 0;
  ASSERT_EQ(KQGETDPV(2004, &best), 0);
  EXPECT_NEAR(best, expected, 1e-9);
}

// The initialisation and termination managers, and the unsatisfied count each round sees.
int g_init_calls = 0, g_end_calls = 0, g_top_calls = 0;
int32_t g_top_unsatisfied = -1, g_top_fractional = -1;
void on_init() { ++g_init_calls; }
void on_end() { ++g_end_calls; }
int32_t top_manager() {
  ++g_top_calls;
  std::vector<double> x(kColumns);
  EXPECT_EQ(KQSOLUTION(x.data(), nullptr, nullptr, nullptr), 0);
  g_top_fractional = 0;
  for (double v : x) g_top_fractional += std::fabs(v - std::round(v)) > 0.0005 ? 1 : 0;
  g_top_unsatisfied = int_attribute(1022);
  return 0;
}

TEST_F(CutPoolApi, InitialisationAndTerminationManagers) {
  g_init_calls = g_end_calls = g_top_calls = 0;
  ASSERT_EQ(KQDEFINECMIENTRY(on_init), 0);
  ASSERT_EQ(KQDEFINECMSENTRY(on_end), 0);
  ASSERT_EQ(KQDEFINETCMENTRY(top_manager), 0);
  load();
  ASSERT_EQ(KQMAXIM("l"), 0);  // a pure LP: no cut work at all
  EXPECT_EQ(g_init_calls + g_end_calls + g_top_calls, 0);
  ASSERT_EQ(KQMAXIM("g"), 0);
  EXPECT_EQ(g_init_calls, 1);
  EXPECT_EQ(g_top_calls, 1);
  EXPECT_EQ(g_end_calls, 1);
  EXPECT_GT(g_top_fractional, 0);
  EXPECT_EQ(g_top_unsatisfied, g_top_fractional);
  ASSERT_EQ(KQMAXIM("g"), 0);
  EXPECT_EQ(g_init_calls, 1);  // once per problem
  EXPECT_EQ(g_end_calls, 2);
  load();  // a new problem replaces one whose search used the pool
  EXPECT_EQ(g_end_calls, 3);
  ASSERT_EQ(KQDEFINECMIENTRY(nullptr), 0);
  ASSERT_EQ(KQDEFINECMSENTRY(nullptr), 0);
  ASSERT_EQ(KQDEFINETCMENTRY(nullptr), 0);
}

}  // namespace
