/* A cut manager written as a user of the library would write one, against the public
 * header and the shared library only: it separates extended cover inequalities of the
 * knapsack rows of a pure 0-1 problem at the top node and at every node of the search.
 * Runs a small knapsack and p0033 with and without the cuts: the optimum must be the
 * same and the search with cuts must solve fewer nodes. A cut that removes the known
 * optimum, added on purpose, must show up as a wrong answer. Prints the node counts;
 * exits non-zero on the first failure. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "kqopt.h"

#define CHECK(cond)                                                                                    \
  do {                                                                                                 \
    if (!(cond)) {                                                                                     \
      int32_t error_ = 0;                                                                              \
      KQGETIPV(1023, &error_);                                                                         \
      fprintf(stderr, "%s:%d: check failed: %s (error %d)\n", __FILE__, __LINE__, #cond, (int)error_); \
      exit(1);                                                                                         \
    }                                                                                                  \
  } while (0)

#define MAX_ROWS 64
#define MAX_COLS 64
#define MAX_ELS 512

/* The original rows as a <= b (G rows negated; E rows are left out), read before any cut. */
static int rows, cols;
static int row_start[MAX_ROWS + 1];
static int row_col[MAX_ELS];
static double row_val[MAX_ELS];
static double row_rhs[MAX_ROWS];
static int row_used[MAX_ROWS];
static int binary[MAX_COLS];

static int at_top;        /* the top-node manager is running */
static int pool_full;     /* the pool refused a cut */
static int use_pool;      /* top node: 1 store then load; 0 add straight to the LP */
static int cuts_added;    /* cuts this run put into an LP */
static int manager_calls; /* calls of either manager */
static int invalid_cut;   /* add the cut that removes the optimum at the top node */
static const double* optimum_x;

static void read_rows(void) {
  char types[MAX_ROWS];
  double rhs[MAX_ROWS], lower[MAX_COLS], upper[MAX_COLS];
  int32_t start[MAX_ROWS + 1], col[MAX_ELS], nels = 0, i, k;
  double val[MAX_ELS];
  CHECK(KQGETIPV(1001, &rows) == 0 && rows <= MAX_ROWS);
  CHECK(KQGETIPV(1002, &cols) == 0);
  {
    int32_t spare = 0;
    CHECK(KQGETIPV(1019, &spare) == 0);
    cols -= rows + spare;
  }
  CHECK(cols > 0 && cols <= MAX_COLS);
  CHECK(KQGETROWTYPE(types, 0, rows - 1) == 0);
  CHECK(KQGETRHS(rhs, 0, rows - 1) == 0);
  CHECK(KQGETROWS(start, col, val, MAX_ELS, &nels, 0, rows - 1) == 0 && nels <= MAX_ELS);
  CHECK(KQGETBDL(lower, 0, cols - 1) == 0 && KQGETBDU(upper, 0, cols - 1) == 0);
  for (k = 0; k < cols; ++k) binary[k] = lower[k] == 0.0 && upper[k] == 1.0;
  for (i = 0; i < rows; ++i) {
    double sign = types[i] == 'G' ? -1.0 : 1.0;
    row_used[i] = types[i] == 'L' || types[i] == 'G';
    row_rhs[i] = sign * rhs[i];
    row_start[i] = start[i];
    for (k = start[i]; k < start[i + 1]; ++k) {
      row_col[k] = col[k];
      row_val[k] = sign * val[k];
      if (!binary[col[k]]) row_used[i] = 0;
    }
  }
  row_start[rows] = start[rows];
}

/* Adds one cut, through the pool or straight into the LP. */
static void add_cut(int n, const int32_t* col, const double* val, double rhs) {
  char type = 'L';
  int32_t start[2] = {0, 0}, kind = 1, entry = 0;
  start[1] = n;
  if (use_pool || !at_top) {
    if (KQSTORECUTS(0, 1, &kind, &type, &rhs, start, &entry, col, val) != 0) {
      /* A full pool (419 entries, 424 elements) ends the separation, not the search. */
      int32_t error = 0;
      CHECK(KQGETIPV(1023, &error) == 0 && (error == 419 || error == 424));
      pool_full = 1;
      return;
    }
    CHECK(KQLOADCUTS(1, 1, 1, &entry) == 0);
  } else {
    CHECK(KQADDCUTS(1, &kind, &type, &rhs, start, col, val) == 0);
  }
  ++cuts_added;
}

/* Pool cuts the solution violates go back into the LP first; then the extended cover
 * inequalities violated by x, one per row at most. */
static int separate(void) {
  double x[MAX_COLS];
  int i, added = 0;
  if (use_pool || !at_top) {
    int32_t entries[256], count = 0;
    double violation[256];
    CHECK(KQGETCPLIST(0, -1, 1e-4, 256, &count, entries, violation) == 0);
    if (count > 256) count = 256;
    if (count > 0) {
      CHECK(KQLOADCUTS(0, -1, count, entries) == 0);
      cuts_added += count;
      return count;
    }
  }
  if (pool_full) return 0;
  CHECK(KQSOLUTION(x, NULL, NULL, NULL) == 0);
  for (i = 0; i < rows; ++i) {
    int n = 0, k, m, in_cover[MAX_COLS], order[MAX_COLS], cover_size = 0;
    double w[MAX_COLS], y[MAX_COLS], b = row_rhs[i], total = 0.0, maxw = 0.0, lhs = 0.0;
    int32_t cut_col[MAX_COLS];
    double cut_val[MAX_COLS], cut_rhs;
    int negatives = 0;
    if (!row_used[i]) continue;
    /* Complement the columns of negative coefficients: w y <= b with w > 0. */
    for (k = row_start[i]; k < row_start[i + 1]; ++k) {
      int j = row_col[k];
      double a = row_val[k];
      if (a == 0.0) continue;
      order[n] = k;
      w[n] = fabs(a);
      y[n] = a > 0 ? x[j] : 1.0 - x[j];
      if (a < 0) b -= a;
      total += w[n];
      in_cover[n] = 0;
      ++n;
    }
    if (total <= b + 1e-9) continue;
    /* Greedy cover: the largest y first. */
    {
      double sum = 0.0;
      while (sum <= b + 1e-9) {
        int best = -1;
        for (m = 0; m < n; ++m) {
          if (!in_cover[m] && (best < 0 || y[m] > y[best] || (y[m] == y[best] && w[m] > w[best]))) best = m;
        }
        in_cover[best] = 1;
        sum += w[best];
      }
      /* Minimal: drop the smallest y while it stays a cover. */
      for (;;) {
        int drop = -1;
        for (m = 0; m < n; ++m) {
          if (in_cover[m] && sum - w[m] > b + 1e-9 && (drop < 0 || y[m] < y[drop])) drop = m;
        }
        if (drop < 0) break;
        in_cover[drop] = 0;
        sum -= w[drop];
      }
    }
    for (m = 0; m < n; ++m) {
      if (in_cover[m]) {
        ++cover_size;
        if (w[m] > maxw) maxw = w[m];
      }
    }
    /* Extended cover: every item at least as heavy as the cover's heaviest. */
    for (m = 0; m < n; ++m) {
      if (!in_cover[m] && w[m] < maxw) continue;
      lhs += y[m];
    }
    if (lhs <= cover_size - 1 + 1e-4) continue;
    k = 0;
    negatives = 0;
    for (m = 0; m < n; ++m) {
      int j = row_col[order[m]];
      if (!in_cover[m] && w[m] < maxw) continue;
      cut_col[k] = j;
      cut_val[k] = row_val[order[m]] > 0 ? 1.0 : -1.0;
      if (row_val[order[m]] < 0) ++negatives;
      ++k;
    }
    cut_rhs = cover_size - 1 - negatives;
    add_cut(k, cut_col, cut_val, cut_rhs);
    ++added;
  }
  return added;
}

static int32_t top_manager(void) {
  int32_t again;
  ++manager_calls;
  if (invalid_cut) {
    /* The support of the optimum may not all be 1: the optimum is cut off. */
    int32_t col[MAX_COLS];
    double val[MAX_COLS];
    int j, n = 0;
    for (j = 0; j < cols; ++j) {
      if (optimum_x[j] > 0.5) {
        col[n] = j;
        val[n] = 1.0;
        ++n;
      }
    }
    invalid_cut = 0;
    at_top = 1;
    add_cut(n, col, val, n - 1.0);
    at_top = 0;
    return 1;
  }
  at_top = 1;
  again = separate() > 0;
  at_top = 0;
  return again;
}

static int32_t node_manager(void) {
  ++manager_calls;
  return separate() > 0;
}

struct Run {
  double objective;
  int32_t nodes;
  int32_t status;
};

/* Solves the loaded problem (minimise or maximise) with the search, cuts on or off. */
static struct Run solve(int maximise, int with_cuts) {
  struct Run r;
  cuts_added = 0;
  manager_calls = 0;
  pool_full = 0;
  read_rows();
  CHECK(KQDEFINETCMENTRY(with_cuts ? top_manager : NULL) == 0);
  CHECK(KQDEFINECMENTRY(with_cuts ? node_manager : NULL) == 0);
  CHECK((maximise ? KQMAXIM("g") : KQMINIM("g")) == 0);
  CHECK(KQGETDPV(2004, &r.objective) == 0);
  CHECK(KQGETIPV(1013, &r.nodes) == 0);
  CHECK(KQGETIPV(1015, &r.status) == 0);
  return r;
}

static void settings(void) {
  CHECK(KQSETICV(28, 0) == 0);   /* GPRINT: no search log */
  CHECK(KQSETICV(40, 1) == 0);   /* IFCUTP: the pool */
  CHECK(KQSETICV(4, 300) == 0);  /* NRXTRA: spare rows for cuts */
  CHECK(KQSETICV(6, 6000) == 0); /* NMXTRA: spare elements */
}

/* max c.x  s.t.  a.x <= b (two knapsack rows), x binary. */
#define KN 14
static const double ka[2][KN] = {{23, 31, 29, 44, 53, 38, 63, 85, 89, 82, 41, 47, 59, 71},
                                 {12, 44, 37, 19, 28, 61, 33, 24, 51, 40, 29, 58, 17, 36}};
static const double kc[KN] = {92, 57, 49, 68, 60, 43, 67, 84, 87, 72, 55, 61, 66, 79};
static const double kb[2] = {260, 230};
static double knapsack_x[KN];

static double knapsack_optimum(void) {
  double best = -1.0;
  long s, limit = 1L << KN;
  int j;
  for (s = 0; s < limit; ++s) {
    double w0 = 0, w1 = 0, v = 0;
    for (j = 0; j < KN; ++j) {
      if (s & (1L << j)) {
        w0 += ka[0][j];
        w1 += ka[1][j];
        v += kc[j];
      }
    }
    if (w0 <= kb[0] && w1 <= kb[1] && v > best) {
      best = v;
      for (j = 0; j < KN; ++j) knapsack_x[j] = (s & (1L << j)) ? 1.0 : 0.0;
    }
  }
  return best;
}

static void load_knapsack(void) {
  char types[2] = {'L', 'L'}, kinds[KN];
  int32_t start[KN + 1], rowi[2 * KN], gcols[KN];
  double vals[2 * KN], lower[KN], upper[KN];
  int j;
  settings();
  for (j = 0; j < KN; ++j) {
    start[j] = 2 * j;
    rowi[2 * j] = 0;
    rowi[2 * j + 1] = 1;
    vals[2 * j] = ka[0][j];
    vals[2 * j + 1] = ka[1][j];
    lower[j] = 0;
    upper[j] = 1;
    kinds[j] = 'B';
    gcols[j] = j;
  }
  start[KN] = 2 * KN;
  /* IFINTP without propagation through the rows: on two knapsack rows it finds at the
   * nodes much of what the covers add, and the check is about the covers. */
  CHECK(KQSETICV(78, 5) == 0);
  CHECK(KQLOADGLOBAL("knapsack", KN, 2, types, kb, NULL, kc, start, NULL, rowi, vals, lower, upper, KN, 0, kinds, gcols,
                     NULL, NULL, NULL, NULL, NULL) == 0);
}

static void load_p0033(const char* file) {
  settings();
  CHECK(KQINPUT(file) == 0);
  CHECK(KQSETPROB("p0033") == 0);
}

int main(void) {
  char scratch[] = "/tmp/kqopt-cut-manager-XXXXXX";
  char file[1024];
  struct Run plain, cut, pooled, wrong;
  double best;
  CHECK(mkdtemp(scratch) != NULL && chdir(scratch) == 0);
  CHECK(KQINITLZ(KQOPT_MSG_DIR, 0) == 0);

  best = knapsack_optimum();
  load_knapsack();
  plain = solve(1, 0);
  load_knapsack();
  use_pool = 0;
  cut = solve(1, 1);
  load_knapsack();
  use_pool = 1;
  pooled = solve(1, 1);
  printf("knapsack: optimum %.0f; nodes without cuts %d, with cuts added %d (%d cuts), through the pool %d\n", best,
         plain.nodes, cut.nodes, cuts_added, pooled.nodes);
  CHECK(plain.status == 6 && cut.status == 6 && pooled.status == 6);
  CHECK(fabs(plain.objective - best) < 1e-6);
  CHECK(fabs(cut.objective - best) < 1e-6);
  CHECK(fabs(pooled.objective - best) < 1e-6);
  CHECK(cuts_added > 0);
  CHECK(cut.nodes < plain.nodes && pooled.nodes < plain.nodes);

  /* The check above can fail: a cut that removes the optimum gives a worse answer. */
  load_knapsack();
  invalid_cut = 1;
  optimum_x = knapsack_x;
  wrong = solve(1, 1);
  printf("knapsack with an invalid cut: %.0f (optimum %.0f)\n", wrong.objective, best);
  CHECK(wrong.status == 6 && wrong.objective < best - 0.5);

  snprintf(file, sizeof file, "%s/miplib3/p0033.mps", KQOPT_TEST_FILES_DIR);
  load_p0033(file);
  plain = solve(0, 0);
  load_p0033(file);
  use_pool = 1;
  cut = solve(0, 1);
  printf("p0033: nodes without cuts %d (objective %.2f), with cuts %d (objective %.2f, %d cuts)\n", plain.nodes,
         plain.objective, cut.nodes, cut.objective, cuts_added);
  CHECK(plain.status == 6 && cut.status == 6);
  CHECK(fabs(plain.objective - 3089.0) < 1e-6 && fabs(cut.objective - 3089.0) < 1e-6);
  CHECK(cut.nodes < plain.nodes);

  KQFREEXO();
  CHECK(chdir("/") == 0);
  {
    char command[1100];
    snprintf(command, sizeof command, "rm -rf '%s'", scratch);
    CHECK(system(command) == 0);
  }
  return 0;
}
