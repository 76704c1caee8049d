// Changing the loaded problem through the public header: failed calls change nothing,
// random sequences of changes give exactly the problem a load of the same data gives
// (and its optimum), a kept basis makes the re-solve short, and the edge cases of each
// change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kqopt.h"

namespace {

constexpr double kInf = 9.999999999999999e29;
constexpr int32_t kNRXTRA = 4, kNCXTRA = 5, kNMXTRA = 6, kIFSCAL = 10, kIFDBG = 50, kNGXTRA = 51;
const std::string kDataDir = KQOPT_TEST_FILES_DIR;

std::vector<std::string> g_lines;
void capture(const char* text, int32_t length, int32_t) {
  if (text) g_lines.emplace_back(text, static_cast<std::size_t>(length));
}

int32_t int_attribute(int32_t n) {
  int32_t v = -1;
  EXPECT_EQ(KQGETIPV(n, &v), 0);
  return v;
}
double objective() {
  double v = 0.0;
  EXPECT_EQ(KQGETDPV(2001, &v), 0);
  return v;
}
int32_t error_number() { return int_attribute(1023); }

// The problem as a caller sees it (caller's units), in a form a load takes.
struct Model {
  std::vector<char> row_type;  // 'N', 'L', 'G', 'E', 'R'
  std::vector<double> rhs;
  std::vector<double> range;  // what KQGETRNG reports
  std::vector<std::string> row_name;
  std::vector<double> obj, lower, upper;
  std::vector<std::string> column_name;
  std::map<std::pair<int32_t, int32_t>, double> a;               // (column, row) -> value
  std::vector<std::vector<std::pair<int32_t, double>>> columns;  // as stored, by column
  double constant = 0.0;

  int32_t rows() const { return static_cast<int32_t>(row_type.size()); }
  int32_t cols() const { return static_cast<int32_t>(obj.size()); }
};

int32_t column_count() { return int_attribute(1002) - int_attribute(1001) - int_attribute(1019); }

std::vector<std::string> names(int32_t type, int32_t count) {
  std::vector<std::string> out;
  if (count == 0) return out;
  std::vector<char> buffer(static_cast<std::size_t>(count) * 9 + 16);
  EXPECT_EQ(KQGETNAMES(type, buffer.data(), 0, count - 1), 0);
  for (int32_t k = 0; k < count; ++k) out.emplace_back(buffer.data() + 9 * k);
  return out;
}

// Everything the retrieval operations tell about the loaded problem.
Model retrieve() {
  Model m;
  const int32_t rows = int_attribute(1001), cols = column_count();
  m.row_type.resize(static_cast<std::size_t>(rows));
  m.rhs.resize(static_cast<std::size_t>(rows));
  m.range.resize(static_cast<std::size_t>(rows));
  m.obj.resize(static_cast<std::size_t>(cols));
  m.lower.resize(static_cast<std::size_t>(cols));
  m.upper.resize(static_cast<std::size_t>(cols));
  if (rows > 0) {
    EXPECT_EQ(KQGETROWTYPE(m.row_type.data(), 0, rows - 1), 0);
    EXPECT_EQ(KQGETRHS(m.rhs.data(), 0, rows - 1), 0);
    EXPECT_EQ(KQGETRNG(m.range.data(), 0, rows - 1), 0);
  }
  if (cols > 0) {
    EXPECT_EQ(KQGETOBJ(m.obj.data(), 0, cols - 1), 0);
    EXPECT_EQ(KQGETBDL(m.lower.data(), 0, cols - 1), 0);
    EXPECT_EQ(KQGETBDU(m.upper.data(), 0, cols - 1), 0);
    int32_t nels = 0;
    EXPECT_EQ(KQGETCOLS(nullptr, nullptr, nullptr, 0, &nels, 0, cols - 1), 0);
    std::vector<int32_t> start(static_cast<std::size_t>(cols) + 1), row(static_cast<std::size_t>(nels) + 1);
    std::vector<double> value(static_cast<std::size_t>(nels) + 1);
    EXPECT_EQ(KQGETCOLS(start.data(), row.data(), value.data(), nels, &nels, 0, cols - 1), 0);
    m.columns.resize(static_cast<std::size_t>(cols));
    for (int32_t j = 0; j < cols; ++j) {
      for (int32_t q = start[static_cast<std::size_t>(j)]; q < start[static_cast<std::size_t>(j) + 1]; ++q) {
        m.columns[static_cast<std::size_t>(j)].emplace_back(row[static_cast<std::size_t>(q)],
                                                            value[static_cast<std::size_t>(q)]);
        m.a[{j, row[static_cast<std::size_t>(q)]}] = value[static_cast<std::size_t>(q)];
      }
      std::sort(m.columns[static_cast<std::size_t>(j)].begin(), m.columns[static_cast<std::size_t>(j)].end());
    }
  }
  m.row_name = names(1, rows);
  m.column_name = names(2, cols);
  return m;
}

// The same problem through the row-wise retrieval: row by row, in column order.
std::vector<std::vector<std::pair<int32_t, double>>> retrieve_rows() {
  const int32_t rows = int_attribute(1001);
  std::vector<std::vector<std::pair<int32_t, double>>> out(static_cast<std::size_t>(rows));
  if (rows == 0) return out;
  int32_t nels = 0;
  EXPECT_EQ(KQGETROWS(nullptr, nullptr, nullptr, 0, &nels, 0, rows - 1), 0);
  std::vector<int32_t> start(static_cast<std::size_t>(rows) + 1), col(static_cast<std::size_t>(nels) + 1);
  std::vector<double> value(static_cast<std::size_t>(nels) + 1);
  EXPECT_EQ(KQGETROWS(start.data(), col.data(), value.data(), nels, &nels, 0, rows - 1), 0);
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t q = start[static_cast<std::size_t>(i)]; q < start[static_cast<std::size_t>(i) + 1]; ++q) {
      out[static_cast<std::size_t>(i)].emplace_back(col[static_cast<std::size_t>(q)],
                                                    value[static_cast<std::size_t>(q)]);
    }
  }
  return out;
}

void expect_same(const Model& x, const Model& y, const std::string& where) {
  SCOPED_TRACE(where);
  EXPECT_EQ(x.row_type, y.row_type);
  EXPECT_EQ(x.rhs, y.rhs);
  EXPECT_EQ(x.range, y.range);
  EXPECT_EQ(x.row_name, y.row_name);
  EXPECT_EQ(x.obj, y.obj);
  EXPECT_EQ(x.lower, y.lower);
  EXPECT_EQ(x.upper, y.upper);
  EXPECT_EQ(x.column_name, y.column_name);
  EXPECT_EQ(x.columns, y.columns);
}

// Loads m with the given spare capacity; names through KQADDNAMES.
int32_t load(const Model& m, int32_t spare_rows = 0, int32_t spare_cols = 0, int32_t spare_elements = 0) {
  EXPECT_EQ(KQSETICV(kNRXTRA, spare_rows), 0);
  EXPECT_EQ(KQSETICV(kNCXTRA, spare_cols), 0);
  EXPECT_EQ(KQSETICV(kNMXTRA, spare_elements), 0);
  std::vector<int32_t> start{0}, rows;
  std::vector<double> values, range(m.range);
  for (int32_t j = 0; j < m.cols(); ++j) {
    for (const auto& [i, v] : m.columns[static_cast<std::size_t>(j)]) {
      rows.push_back(i);
      values.push_back(v);
    }
    start.push_back(static_cast<int32_t>(rows.size()));
  }
  const int32_t rc =
      KQLOADPROB("modified", m.cols(), m.rows(), m.row_type.data(), m.rhs.data(), range.data(), m.obj.data(),
                 start.data(), nullptr, rows.data(), values.data(), m.lower.data(), m.upper.data());
  if (rc != 0) return rc;
  auto join = [](const std::vector<std::string>& list) {
    std::string all;
    for (const std::string& s : list) all += s + '\0';
    return all;
  };
  if (m.rows() > 0) {
    EXPECT_EQ(KQADDNAMES(1, join(m.row_name).data(), 0, m.rows() - 1), 0);
  }
  if (m.cols() > 0) {
    EXPECT_EQ(KQADDNAMES(2, join(m.column_name).data(), 0, m.cols() - 1), 0);
  }
  if (m.constant != 0.0) {
    const int32_t minus_one = -1;
    EXPECT_EQ(KQCHGOBJ(1, &minus_one, &m.constant), 0);
  }
  return 0;
}

Model afiro() {
  EXPECT_EQ(KQINPUT((kDataDir + "/netlib/afiro").c_str()), 0);
  KQSETPROB("afiro");
  return retrieve();
}

class ModifyApi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    KQDEFINEUOPENTRY(capture);
    g_lines.clear();
  }
  void TearDown() override { KQFREEXO(); }
};

// ---- Failed calls ---------------------------------------------------------------------

struct Failure {
  const char* name;
  std::function<int32_t()> call;
  int32_t message;
};

TEST_F(ModifyApi, FailedCallsChangeNothing) {
  const int32_t r0 = 0, r1 = 1, c0 = 0, c1 = 1, bad = 999, minus = -2;
  const int32_t two_rows[2] = {r0, bad}, two_cols[2] = {c1, bad};
  const double v2[2] = {1.0, 2.0};
  const int32_t start2[3] = {0, 1, 2}, start1[2] = {0, 2};
  const int32_t cols_ok_bad[2] = {0, 999}, rows_ok_bad[2] = {0, 999}, dup_cols[2] = {3, 3}, dup_rows[2] = {2, 2};
  const double rhs2[2] = {5.0, 6.0}, zero2[2] = {0.0, 0.0}, big2[2] = {1.0e30, 1.0e30};
  const double rhs11[11] = {};
  const int32_t start11[12] = {};
  const std::vector<Failure> table = {
      {"addrows type", [&] { return KQADDROWS(2, 2, "LX", rhs2, zero2, start2, cols_ok_bad, v2); }, 401},
      {"addrows column", [&] { return KQADDROWS(2, 2, "LG", rhs2, zero2, start2, cols_ok_bad, v2); }, 405},
      {"addrows rows", [&] { return KQADDROWS(11, 0, "LLLLLLLLLLL", rhs11, rhs11, start11, nullptr, nullptr); }, 413},
      {"addrows elements", [&] { return KQADDROWS(1, 500, "L", rhs2, zero2, start1, dup_cols, v2); }, 415},
      {"addrows repeated", [&] { return KQADDROWS(1, 2, "L", rhs2, zero2, start1, dup_cols, v2); }, 423},
      {"delrows", [&] { return KQDELROWS(2, two_rows); }, 402},
      {"delrows negative", [&] { return KQDELROWS(1, &minus); }, 402},
      {"addcols row", [&] { return KQADDCOLS(1, 2, v2, start1, rows_ok_bad, v2, zero2, big2); }, 402},
      {"addcols columns", [&] { return KQADDCOLS(11, 0, rhs11, start11, nullptr, nullptr, rhs11, rhs11); }, 414},
      {"addcols repeated", [&] { return KQADDCOLS(1, 2, v2, start1, dup_rows, v2, zero2, big2); }, 423},
      {"delcols", [&] { return KQDELCOLS(2, two_cols); }, 405},
      {"chgbds column", [&] { return KQCHGBDS(2, two_cols, "LU", v2); }, 405},
      {"chgbds type",
       [&] {
         const int32_t both[2] = {c0, c1};
         return KQCHGBDS(2, both, "BX", v2);
       },
       416},
      {"chgobj", [&] { return KQCHGOBJ(2, two_cols, v2); }, 405},
      {"chgrhs", [&] { return KQCHGRHS(2, two_rows, v2); }, 402},
      {"chgrng", [&] { return KQCHGRNG(2, two_rows, v2); }, 402},
      {"chgrowtype row", [&] { return KQCHGROWTYPE(2, two_rows, "EE"); }, 402},
      {"chgrowtype type",
       [&] {
         const int32_t both[2] = {r0, r1};
         return KQCHGROWTYPE(2, both, "EQ");
       },
       401},
      {"chgcoltype column", [&] { return KQCHGCOLTYPE(2, two_cols, "II"); }, 405},
      {"chgcoltype type",
       [&] {
         const int32_t both[2] = {c0, c1};
         return KQCHGCOLTYPE(2, both, "IX");
       },
       427},
      {"chgcoltype slots",
       [&] {
         const int32_t both[2] = {c0, c1};
         return KQCHGCOLTYPE(2, both, "IB");
       },
       428},
      {"chgcof row", [&] { return KQCHGCOF(bad, c0, 1.0); }, 402},
      {"chgcof column", [&] { return KQCHGCOF(r0, bad, 1.0); }, 405},
      {"chgmcof column",
       [&] {
         const int32_t rows[2] = {r0, r1}, cols[2] = {c0, bad};
         return KQCHGMCOF(2, rows, cols, v2);
       },
       405},
      {"chgmcof row",
       [&] {
         const int32_t rows[2] = {r1, bad}, cols[2] = {c0, c1};
         return KQCHGMCOF(2, rows, cols, v2);
       },
       402},
  };
  Model base = afiro();
  ASSERT_EQ(KQSETICV(kIFSCAL, 1), 0);
  ASSERT_EQ(KQSETICV(kNGXTRA, 1), 0);
  ASSERT_EQ(load(base, 10, 10, 20), 0);
  const Model before = retrieve();
  const auto rows_before = retrieve_rows();
  const int32_t spare_elements = int_attribute(1021);
  for (const Failure& f : table) {
    SCOPED_TRACE(f.name);
    g_lines.clear();
    EXPECT_EQ(f.call(), 32);
    EXPECT_EQ(error_number(), f.message);
    expect_same(retrieve(), before, f.name);
    EXPECT_EQ(retrieve_rows(), rows_before);
    EXPECT_EQ(int_attribute(1021), spare_elements);
    EXPECT_EQ(int_attribute(1003), 0);
  }
  // Without spare elements a new coefficient does not fit; an existing one changes.
  ASSERT_EQ(load(base, 0, 0, 0), 0);
  const Model tight = retrieve();
  int32_t empty_row = 0;
  while (std::any_of(tight.columns[0].begin(), tight.columns[0].end(),
                     [&](const auto& e) { return e.first == empty_row; })) {
    ++empty_row;
  }
  EXPECT_EQ(KQCHGCOF(empty_row, 0, 1.0), 32);
  EXPECT_EQ(error_number(), 415);
  expect_same(retrieve(), tight, "chgcof no spare");
  const auto& first = tight.columns[0].front();
  EXPECT_EQ(KQCHGCOF(first.first, 0, 2.5), 0);
  EXPECT_EQ(retrieve().columns[0].front().second, 2.5);
}

TEST_F(ModifyApi, EveryChangeNeedsAProblem) {
  const int32_t i = 0;
  const double v = 1.0;
  const std::vector<std::function<int32_t()>> calls = {
      [&] { return KQADDROWS(0, 0, "", nullptr, nullptr, &i, nullptr, nullptr); },
      [&] { return KQDELROWS(1, &i); },
      [&] { return KQADDCOLS(0, 0, nullptr, &i, nullptr, nullptr, nullptr, nullptr); },
      [&] { return KQDELCOLS(1, &i); },
      [&] { return KQCHGBDS(1, &i, "U", &v); },
      [&] { return KQCHGOBJ(1, &i, &v); },
      [&] { return KQCHGRHS(1, &i, &v); },
      [&] { return KQCHGRNG(1, &i, &v); },
      [&] { return KQCHGROWTYPE(1, &i, "L"); },
      [&] { return KQCHGCOLTYPE(1, &i, "I"); },
      [&] { return KQCHGCOF(0, 0, 1.0); },
      [&] { return KQCHGMCOF(1, &i, &i, &v); },
  };
  for (std::size_t k = 0; k < calls.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(calls[k](), 32);
    EXPECT_EQ(error_number(), 91);
  }
}

// ---- Random sequences against a load of the same data ---------------------------------

std::string default_name(int64_t number) {
  std::string digits = std::to_string(number);
  if (digits.size() >= 8) return digits.substr(digits.size() - 8);
  return std::string(8 - digits.size(), 'V') + digits;
}

// Applies random changes to the library and to the model by hand. Each change is
// tried on a copy of the model first and made only when the point x (an optimum of the
// problem at the start, 0 in new columns) stays feasible, and bounds stay finite, so
// that the problem keeps an optimum to compare.
class RandomChanges {
 public:
  RandomChanges(Model& m, std::vector<double> x, uint32_t seed, int32_t row_slots)
      : m_(m), x_(std::move(x)), rng_(seed), row_slots_(row_slots) {}

  int made() const { return made_; }

  void step() {
    Model trial = m_;
    std::vector<double> x = x_;
    std::function<int32_t()> call;
    switch (pick(0, 11)) {
      case 0:
        call = add_rows(trial);
        break;
      case 1:
        if (m_.rows() <= 10) return;
        call = delete_rows(trial);
        break;
      case 2:
        call = add_columns(trial, x);
        break;
      case 3:
        if (m_.cols() <= 10) return;
        call = delete_columns(trial, x);
        break;
      case 4:
      case 11:
        call = change_bounds(trial);
        break;
      case 5:
        call = change_objective(trial);
        break;
      case 6:
        call = change_rhs(trial);
        break;
      case 7:
        call = change_range(trial);
        break;
      case 8:
        call = change_row_type(trial);
        break;
      case 9:
        call = change_coefficient(trial);
        break;
      default:
        call = change_coefficients(trial);
        break;
    }
    if (!feasible(trial, x)) return;
    ASSERT_EQ(call(), 0);
    m_ = std::move(trial);
    x_ = std::move(x);
    ++made_;
  }

  // Finite upper bounds on every column, so that no cost makes the problem unbounded.
  void bound_columns() {
    for (int32_t j = 0; j < m_.cols(); ++j) {
      if (m_.upper[static_cast<std::size_t>(j)] < 1.0e29) continue;
      const double u = std::ceil(x_[static_cast<std::size_t>(j)]) + 100.0;
      const char type = 'U';
      ASSERT_EQ(KQCHGBDS(1, &j, &type, &u), 0);
      m_.upper[static_cast<std::size_t>(j)] = u;
    }
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  double value(double lo, double hi) {
    // Values with few significant bits keep the model's arithmetic exact.
    return std::round(std::uniform_real_distribution<double>(lo, hi)(rng_) * 8.0) / 8.0;
  }
  double nonzero() {
    double v = 0.0;
    while (v == 0.0) v = value(-4.0, 4.0);
    return v;
  }
  std::vector<int32_t> distinct(int32_t count, int32_t limit) {
    std::vector<int32_t> all(static_cast<std::size_t>(limit));
    for (int32_t k = 0; k < limit; ++k) all[static_cast<std::size_t>(k)] = k;
    std::shuffle(all.begin(), all.end(), rng_);
    all.resize(static_cast<std::size_t>(std::min(count, limit)));
    return all;
  }
  static void set_element(Model& m, int32_t i, int32_t j, double v) {
    auto& column = m.columns[static_cast<std::size_t>(j)];
    auto it = std::find_if(column.begin(), column.end(), [&](const auto& e) { return e.first == i; });
    if (std::fabs(v) < 1.0e-12) {
      if (it != column.end()) column.erase(it);
      return;
    }
    if (it != column.end()) {
      it->second = v;
    } else {
      column.emplace_back(i, v);
      std::sort(column.begin(), column.end());
    }
  }
  static std::vector<double> activities(const Model& m, const std::vector<double>& x) {
    std::vector<double> act(static_cast<std::size_t>(m.rows()), 0.0);
    for (int32_t j = 0; j < m.cols(); ++j) {
      for (const auto& [i, v] : m.columns[static_cast<std::size_t>(j)]) {
        act[static_cast<std::size_t>(i)] += v * x[static_cast<std::size_t>(j)];
      }
    }
    return act;
  }
  static bool feasible(const Model& m, const std::vector<double>& x) {
    for (int32_t j = 0; j < m.cols(); ++j) {
      const auto jj = static_cast<std::size_t>(j);
      if (x[jj] < m.lower[jj] - 1e-9 || x[jj] > m.upper[jj] + 1e-9 || m.upper[jj] >= 1.0e29) return false;
    }
    const std::vector<double> act = activities(m, x);
    for (int32_t i = 0; i < m.rows(); ++i) {
      const auto ii = static_cast<std::size_t>(i);
      const double b = m.rhs[ii], a = act[ii], tol = 1e-7 * (1.0 + std::fabs(b));
      switch (m.row_type[ii]) {
        case 'L':
          if (a > b + tol) return false;
          break;
        case 'G':
          if (a < b - tol) return false;
          break;
        case 'E':
          if (std::fabs(a - b) > tol) return false;
          break;
        case 'R':
          if (a > b + tol || a < b - m.range[ii] - tol) return false;
          break;
        default:
          break;
      }
    }
    return true;
  }
  double activity(const Model& m, int32_t i) const { return activities(m, x_)[static_cast<std::size_t>(i)]; }

  std::function<int32_t()> add_rows(Model& m) {
    const int32_t count = pick(1, 3);
    std::string types;
    std::vector<double> rhs, range;
    std::vector<int32_t> start{0}, cols;
    std::vector<double> values;
    for (int32_t k = 0; k < count; ++k) {
      const char type = "NLGRLGE"[pick(0, 6)];
      double act = 0.0;
      for (int32_t j : distinct(pick(0, 5), m.cols())) {
        cols.push_back(j);
        values.push_back(nonzero());
        act += values.back() * x_[static_cast<std::size_t>(j)];
      }
      start.push_back(static_cast<int32_t>(cols.size()));
      types += type;
      const double slack = value(0.0, 20.0);
      rhs.push_back(type == 'G' ? act - slack : type == 'E' ? act : act + slack);
      range.push_back(type == 'R' ? (pick(0, 1) ? 1.0 : -1.0) * (slack + value(0.0, 20.0)) : 0.0);
    }
    for (int32_t k = 0; k < count; ++k) {
      const int32_t i = m.rows();
      const char type = types[static_cast<std::size_t>(k)];
      m.row_type.push_back(type);
      m.rhs.push_back(rhs[static_cast<std::size_t>(k)]);
      m.range.push_back(type == 'R'                  ? std::fabs(range[static_cast<std::size_t>(k)])
                        : type == 'G' || type == 'E' ? 0.0
                                                     : kInf);
      m.row_name.push_back(default_name(i + 1));
      for (int32_t q = start[static_cast<std::size_t>(k)]; q < start[static_cast<std::size_t>(k) + 1]; ++q) {
        set_element(m, i, cols[static_cast<std::size_t>(q)], values[static_cast<std::size_t>(q)]);
      }
    }
    return [=] {
      return KQADDROWS(count, static_cast<int32_t>(cols.size()), types.data(), rhs.data(), range.data(), start.data(),
                       cols.data(), values.data());
    };
  }

  std::function<int32_t()> delete_rows(Model& m) {
    std::vector<int32_t> gone = distinct(pick(1, 3), m.rows());
    std::vector<int32_t> order = gone;
    std::sort(order.rbegin(), order.rend());
    for (int32_t i : order) {
      const auto at = static_cast<std::ptrdiff_t>(i);
      m.row_type.erase(m.row_type.begin() + at);
      m.rhs.erase(m.rhs.begin() + at);
      m.range.erase(m.range.begin() + at);
      m.row_name.erase(m.row_name.begin() + at);
      for (auto& column : m.columns) {
        std::erase_if(column, [&](const auto& e) { return e.first == i; });
        for (auto& e : column) e.first -= e.first > i ? 1 : 0;
      }
    }
    return [=] { return KQDELROWS(static_cast<int32_t>(gone.size()), gone.data()); };
  }

  std::function<int32_t()> add_columns(Model& m, std::vector<double>& x) {
    const int32_t count = pick(1, 2);
    std::vector<double> obj, lower, upper;
    std::vector<int32_t> start{0}, rows;
    std::vector<double> values;
    for (int32_t k = 0; k < count; ++k) {
      obj.push_back(value(-2.0, 2.0));
      lower.push_back(pick(0, 2) == 0 ? -value(0.0, 5.0) : 0.0);
      upper.push_back(value(2.0, 50.0));
      for (int32_t i : distinct(pick(0, 4), m.rows())) {
        rows.push_back(i);
        values.push_back(nonzero());
      }
      start.push_back(static_cast<int32_t>(rows.size()));
    }
    for (int32_t k = 0; k < count; ++k) {
      const int32_t j = m.cols();
      m.obj.push_back(obj[static_cast<std::size_t>(k)]);
      m.lower.push_back(lower[static_cast<std::size_t>(k)]);
      m.upper.push_back(upper[static_cast<std::size_t>(k)]);
      m.column_name.push_back(default_name(static_cast<int64_t>(row_slots_) + j + 1));
      m.columns.emplace_back();
      x.push_back(0.0);
      for (int32_t q = start[static_cast<std::size_t>(k)]; q < start[static_cast<std::size_t>(k) + 1]; ++q) {
        set_element(m, rows[static_cast<std::size_t>(q)], j, values[static_cast<std::size_t>(q)]);
      }
    }
    return [=] {
      return KQADDCOLS(count, static_cast<int32_t>(rows.size()), obj.data(), start.data(), rows.data(), values.data(),
                       lower.data(), upper.data());
    };
  }

  std::function<int32_t()> delete_columns(Model& m, std::vector<double>& x) {
    std::vector<int32_t> gone = distinct(pick(1, 2), m.cols());
    std::vector<int32_t> order = gone;
    std::sort(order.rbegin(), order.rend());
    for (int32_t j : order) {
      const auto at = static_cast<std::ptrdiff_t>(j);
      m.obj.erase(m.obj.begin() + at);
      m.lower.erase(m.lower.begin() + at);
      m.upper.erase(m.upper.begin() + at);
      m.column_name.erase(m.column_name.begin() + at);
      m.columns.erase(m.columns.begin() + at);
      x.erase(x.begin() + at);
    }
    return [=] { return KQDELCOLS(static_cast<int32_t>(gone.size()), gone.data()); };
  }

  std::function<int32_t()> change_bounds(Model& m) {
    const int32_t j = pick(0, m.cols() - 1);
    const auto jj = static_cast<std::size_t>(j);
    const char type = "LUB"[pick(0, 2)];
    const double xj = x_[jj];
    const double v = type == 'L'   ? std::floor(xj) - value(0.0, 3.0)
                     : type == 'U' ? std::ceil(xj) + value(0.0, 3.0)
                                   : xj;
    if (type != 'U') m.lower[jj] = v;
    if (type != 'L') m.upper[jj] = v;
    return [=] { return KQCHGBDS(1, &j, &type, &v); };
  }

  std::function<int32_t()> change_objective(Model& m) {
    const int32_t j = pick(0, 6) == 0 ? -1 : pick(0, m.cols() - 1);
    const double v = value(-3.0, 3.0);
    if (j < 0) {
      m.constant = v;
    } else {
      m.obj[static_cast<std::size_t>(j)] = v;
    }
    return [=] { return KQCHGOBJ(1, &j, &v); };
  }

  std::function<int32_t()> change_rhs(Model& m) {
    const int32_t i = pick(0, m.rows() - 1);
    const double v = std::round(activity(m, i)) + value(-20.0, 20.0);
    m.rhs[static_cast<std::size_t>(i)] = v;
    return [=] { return KQCHGRHS(1, &i, &v); };
  }

  // The rules of a range change on the model's (type, rhs, range).
  std::function<int32_t()> change_range(Model& m) {
    const int32_t i = pick(0, m.rows() - 1);
    const auto ii = static_cast<std::size_t>(i);
    const double choices[5] = {value(0.0, 50.0), -value(0.125, 50.0), -1.0e30, 1.0e30, 0.0};
    const double given = choices[pick(0, 4)];
    auto call = [=] { return KQCHGRNG(1, &i, &given); };
    double r = given;
    char& type = m.row_type[ii];
    double& b = m.rhs[ii];
    double& width = m.range[ii];
    if (type == 'N') return call;
    if (type == 'G') {
      if (r <= -1.0e29) return call;
      r = -r;
    } else if (type == 'E') {
      if (r == 0.0) return call;
      width = 0.0;
    }
    // An L row (ranged or not) with the value r.
    if (r >= 0.0 && r < 1.0e29) {
      type = 'R';
      width = r;
    } else if (r >= 1.0e29) {
      type = 'L';
      width = kInf;
    } else if (r > -1.0e29) {
      b += -r;
      type = 'R';
      width = -r;
    } else {
      if (width < kInf && width != 0.0 && type == 'R') b -= width;
      type = 'G';
      width = 0.0;
    }
    return call;
  }

  std::function<int32_t()> change_row_type(Model& m) {
    const int32_t i = pick(0, m.rows() - 1);
    const auto ii = static_cast<std::size_t>(i);
    const char type = "LRGEN"[pick(0, 4)];
    switch (type) {
      case 'G':
        if (m.row_type[ii] == 'R' && m.range[ii] != 0.0) m.rhs[ii] -= m.range[ii];
        m.row_type[ii] = 'G';
        m.range[ii] = 0.0;
        break;
      case 'E':
        m.row_type[ii] = 'E';
        m.range[ii] = 0.0;
        break;
      case 'N':
        m.row_type[ii] = 'N';
        m.range[ii] = kInf;
        break;
      default:
        m.row_type[ii] = 'L';
        m.range[ii] = kInf;
        break;
    }
    return [=] { return KQCHGROWTYPE(1, &i, &type); };
  }

  std::function<int32_t()> change_coefficient(Model& m) {
    const int32_t i = pick(0, m.rows() - 1), j = pick(0, m.cols() - 1);
    const double v = pick(0, 5) == 0 ? 0.0 : nonzero();
    set_element(m, i, j, v);
    return [=] { return KQCHGCOF(i, j, v); };
  }

  std::function<int32_t()> change_coefficients(Model& m) {
    const int32_t count = pick(1, 6);
    std::vector<int32_t> rows, cols;
    std::vector<double> values;
    for (int32_t k = 0; k < count; ++k) {
      rows.push_back(pick(0, m.rows() - 1));
      cols.push_back(pick(0, m.cols() - 1));
      values.push_back(pick(0, 5) == 0 ? 0.0 : nonzero());
      set_element(m, rows.back(), cols.back(), values.back());
    }
    return [=] { return KQCHGMCOF(count, rows.data(), cols.data(), values.data()); };
  }

  Model& m_;
  std::vector<double> x_;
  std::mt19937 rng_;
  int32_t row_slots_;
  int made_ = 0;
};

struct Solve {
  int32_t status;
  double objective;
};
Solve minimise(const char* options) {
  EXPECT_EQ(KQMINIM(options), 0);
  return {int_attribute(1010), objective()};
}

class ModifyEquivalence : public ModifyApi, public ::testing::WithParamInterface<std::tuple<uint32_t, int32_t>> {};

TEST_P(ModifyEquivalence, RandomChangesGiveTheLoadedProblem) {
  const auto [seed, scaling] = GetParam();
  Model m = afiro();
  ASSERT_EQ(KQSETICV(kIFSCAL, scaling), 0);
  const int32_t spare_rows = 400, spare_cols = 300;
  ASSERT_EQ(load(m, spare_rows, spare_cols, 4000), 0);
  m = retrieve();
  ASSERT_EQ(minimise(nullptr).status, 1);
  std::vector<double> x(static_cast<std::size_t>(m.cols()));
  ASSERT_EQ(KQSOLUTION(x.data(), nullptr, nullptr, nullptr), 0);
  RandomChanges changes(m, x, seed, m.rows() + spare_rows);
  changes.bound_columns();
  std::mt19937 length(seed);
  const int wanted = std::uniform_int_distribution<int>(50, 200)(length);
  int solves = 0;
  for (int tries = 0; changes.made() < wanted && tries < 20 * wanted; ++tries) {
    const int before = changes.made();
    changes.step();
    if (HasFatalFailure()) return;
    // Solves on the way leave a basis for the changes after them to keep.
    if (changes.made() != before && changes.made() % 40 == 0) {
      EXPECT_EQ(minimise(++solves % 2 == 0 ? "d" : nullptr).status, 1);
    }
  }
  EXPECT_EQ(changes.made(), wanted);
  const Model changed = retrieve();
  const auto changed_rows = retrieve_rows();
  const Solve warm = minimise(nullptr);

  ASSERT_EQ(load(m, 0, 0, 0), 0);
  expect_same(retrieve(), changed, "seed " + std::to_string(seed));
  EXPECT_EQ(retrieve_rows(), changed_rows);
  const Solve cold = minimise(nullptr);
  EXPECT_EQ(warm.status, 1);
  EXPECT_EQ(cold.status, 1);
  EXPECT_NEAR(warm.objective, cold.objective, 1e-9 * std::max(1.0, std::fabs(cold.objective)));
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModifyEquivalence,
                         ::testing::Combine(::testing::Values(1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u),
                                            ::testing::Values(0, 1)));

// ---- Warm re-solves -------------------------------------------------------------------

TEST_F(ModifyApi, OneChangeAfterAnOptimumReSolvesInFewIterations) {
  struct Case {
    const char* name;
    std::function<void()> change;
    const char* options;
  };
  const int32_t column = 1, row = 2;
  const std::vector<Case> table = {
      {"bound cutting the optimum off",
       [&] {
         // The column with the largest value gets half of it as its upper bound.
         std::vector<double> x(static_cast<std::size_t>(column_count()));
         ASSERT_EQ(KQSOLUTION(x.data(), nullptr, nullptr, nullptr), 0);
         const auto largest = static_cast<int32_t>(std::max_element(x.begin(), x.end()) - x.begin());
         const double half = x[static_cast<std::size_t>(largest)] / 2.0;
         ASSERT_GT(half, 0.0);
         ASSERT_EQ(KQCHGBDS(1, &largest, "U", &half), 0);
       },
       "d"},
      {"cost",
       [&] {
         const double v = -0.3;
         ASSERT_EQ(KQCHGOBJ(1, &column, &v), 0);
       },
       nullptr},
      {"rhs",
       [&] {
         const double v = 10.0;
         ASSERT_EQ(KQCHGRHS(1, &row, &v), 0);
       },
       "d"},
      {"new row",
       [&] {
         const int32_t start[2] = {0, 2}, cols[2] = {0, 1};
         const double values[2] = {1.0, 1.0}, rhs = 50.0;
         ASSERT_EQ(KQADDROWS(1, 2, "L", &rhs, nullptr, start, cols, values), 0);
       },
       "d"},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.name);
    Model m = afiro();
    ASSERT_EQ(load(m, 5, 5, 20), 0);
    minimise(nullptr);
    const int32_t cold_first = int_attribute(1009);
    c.change();
    const Solve warm = minimise(c.options);
    const int32_t warm_iterations = int_attribute(1009);
    const Model changed = retrieve();
    ASSERT_EQ(load(changed, 0, 0, 0), 0);
    const Solve cold = minimise(nullptr);
    EXPECT_EQ(warm.status, 1);
    EXPECT_EQ(cold.status, 1);
    EXPECT_NEAR(warm.objective, cold.objective, 1e-9 * std::fabs(cold.objective));
    EXPECT_LE(warm_iterations, 5) << "first solve " << cold_first;
  }
}

// ---- Edge cases -----------------------------------------------------------------------

TEST_F(ModifyApi, EdgeCases) {
  // max x0 + 2 x1 + 3 x2:  x0 + x1 + x2 <= 10 (L), x0 - x1 = 1 (E), x1 + x2 >= 2 (G);
  // 0 <= x <= 4; x2 integer.
  auto load_small = [] {
    const char types[3] = {'L', 'E', 'G'};
    const double rhs[3] = {10.0, 1.0, 2.0}, obj[3] = {1.0, 2.0, 3.0};
    const int32_t start[4] = {0, 2, 5, 7}, rows[7] = {0, 1, 0, 1, 2, 0, 2};
    const double values[7] = {1.0, 1.0, 1.0, -1.0, 1.0, 1.0, 1.0};
    const double lower[3] = {0.0, 0.0, 0.0}, upper[3] = {4.0, 4.0, 4.0};
    const char kinds[1] = {'I'};
    const int32_t entity_columns[1] = {2};
    return KQLOADGLOBAL("edge", 3, 3, types, rhs, nullptr, obj, start, nullptr, rows, values, lower, upper, 1, 0, kinds,
                        entity_columns, nullptr, nullptr, nullptr, nullptr, nullptr);
  };
  struct Case {
    const char* name;
    int32_t spare_rows;
    std::function<void()> run;
  };
  auto row_type = [](int32_t i) {
    char t = '?';
    EXPECT_EQ(KQGETROWTYPE(&t, i, i), 0);
    return t;
  };
  auto get = [](int32_t (*f)(double*, int32_t, int32_t), int32_t i) {
    double v = 0.0;
    EXPECT_EQ(f(&v, i, i), 0);
    return v;
  };
  const int32_t r0 = 0, r1 = 1, r2 = 2, c2 = 2;
  const std::vector<Case> table = {
      {"no spare rows", 0,
       [&] {
         const int32_t start[2] = {0, 0};
         const double rhs = 1.0;
         EXPECT_EQ(KQADDROWS(1, 0, "L", &rhs, nullptr, start, nullptr, nullptr), 32);
         EXPECT_EQ(error_number(), 413);
       }},
      {"objective constant", 2,
       [&] {
         const double before = (KQMAXIM(nullptr), objective());
         const int32_t minus_one = -1;
         const double five = 5.0;
         ASSERT_EQ(KQCHGOBJ(1, &minus_one, &five), 0);
         EXPECT_DOUBLE_EQ((KQMAXIM(nullptr), objective()), before + 5.0);
         // Whatever the index base.
         ASSERT_EQ(KQSETICV(kIFDBG, 0), 0);
         const double seven = 7.0;
         ASSERT_EQ(KQCHGOBJ(1, &minus_one, &seven), 0);
         ASSERT_EQ(KQSETICV(kIFDBG, 1), 0);
         EXPECT_DOUBLE_EQ((KQMAXIM(nullptr), objective()), before + 7.0);
       }},
      {"fixing an integer column", 2,
       [&] {
         const double three = 3.0;
         ASSERT_EQ(KQCHGBDS(1, &c2, "B", &three), 0);
         EXPECT_EQ(get(KQGETBDL, 2), 3.0);
         EXPECT_EQ(get(KQGETBDU, 2), 3.0);
         char t = '?';
         EXPECT_EQ(KQGETCOLTYPE(&t, 2, 2), 0);
         EXPECT_EQ(t, 'I');
         KQMAXIM(nullptr);
         // x2 = 3 gives 9; then x0 + x1 <= 7, x0 - x1 = 1: x0 = 4, x1 = 3 -> 4 + 6.
         EXPECT_DOUBLE_EQ(objective(), 9.0 + 10.0);
         const double four = 4.0;
         ASSERT_EQ(KQCHGBDS(1, &c2, "U", &four), 0);
         KQMAXIM(nullptr);
         EXPECT_DOUBLE_EQ(objective(), 20.5);
       }},
      {"bounds at 1e29 mean none", 2,
       [&] {
         const int32_t both[2] = {0, 0};
         const double values[2] = {1.0e29, -1.0e30};
         ASSERT_EQ(KQCHGBDS(2, both, "UL", values), 0);
         EXPECT_EQ(get(KQGETBDU, 0), kInf);
         EXPECT_EQ(get(KQGETBDL, 0), -kInf);
         const double finite = 9.0e28;
         ASSERT_EQ(KQCHGBDS(1, both, "U", &finite), 0);
         EXPECT_EQ(get(KQGETBDU, 0), 9.0e28);
       }},
      {"R on an E row", 2,
       [&] {
         ASSERT_EQ(KQCHGROWTYPE(1, &r1, "R"), 0);
         EXPECT_EQ(row_type(1), 'L');
         EXPECT_EQ(get(KQGETRNG, 1), kInf);
         const double two = 2.0;
         ASSERT_EQ(KQCHGRNG(1, &r1, &two), 0);
         EXPECT_EQ(row_type(1), 'R');
         EXPECT_EQ(get(KQGETRNG, 1), 2.0);
         EXPECT_EQ(get(KQGETRHS, 1), 1.0);
       }},
      {"range on an E row", 2,
       [&] {
         const double zero = 0.0, minus_three = -3.0;
         ASSERT_EQ(KQCHGRNG(1, &r1, &zero), 0);
         EXPECT_EQ(row_type(1), 'E');
         ASSERT_EQ(KQCHGRNG(1, &r1, &minus_three), 0);  // activity in [1, 4]
         EXPECT_EQ(row_type(1), 'R');
         EXPECT_EQ(get(KQGETRHS, 1), 4.0);
         EXPECT_EQ(get(KQGETRNG, 1), 3.0);
       }},
      {"ranges at or below -1e29", 2,
       [&] {
         const double huge = -1.0e29, three = 3.0;
         ASSERT_EQ(KQCHGRNG(1, &r2, &huge), 0);  // a G row stays as it is
         EXPECT_EQ(row_type(2), 'G');
         EXPECT_EQ(get(KQGETRHS, 2), 2.0);
         ASSERT_EQ(KQCHGRNG(1, &r0, &three), 0);  // L: activity in [7, 10]
         EXPECT_EQ(row_type(0), 'R');
         ASSERT_EQ(KQCHGRNG(1, &r0, &huge), 0);  // becomes G, keeping its lower limit 7
         EXPECT_EQ(row_type(0), 'G');
         EXPECT_EQ(get(KQGETRHS, 0), 7.0);
         ASSERT_EQ(KQCHGRNG(1, &r2, &three), 0);  // G: activity in [2, 5]
         EXPECT_EQ(row_type(2), 'R');
         EXPECT_EQ(get(KQGETRHS, 2), 5.0);
         EXPECT_EQ(get(KQGETRNG, 2), 3.0);
       }},
      {"G on a ranged row", 2,
       [&] {
         const double three = 3.0;
         ASSERT_EQ(KQCHGRNG(1, &r0, &three), 0);
         ASSERT_EQ(KQCHGROWTYPE(1, &r0, "G"), 0);
         EXPECT_EQ(get(KQGETRHS, 0), 7.0);
         EXPECT_EQ(row_type(0), 'G');
       }},
      {"column types", 2,
       [&] {
         const int32_t c0 = 0;
         ASSERT_EQ(KQCHGCOLTYPE(1, &c0, "B"), 0);
         EXPECT_EQ(int_attribute(1003), 2);
         EXPECT_EQ(get(KQGETBDU, 0), 1.0);
         ASSERT_EQ(KQCHGCOLTYPE(1, &c2, "C"), 0);
         EXPECT_EQ(int_attribute(1003), 1);
         char t[3] = {};
         EXPECT_EQ(KQGETCOLTYPE(t, 0, 2), 0);
         EXPECT_EQ(std::string(t, 3), "BCC");
         // A deleted entity column leaves the entity list.
         ASSERT_EQ(KQDELCOLS(1, &c0), 0);
         EXPECT_EQ(int_attribute(1003), 0);
       }},
      {"basis kept across changes", 2,
       [&] {
         KQMAXIM(nullptr);
         int32_t rows_before[3], cols_before[3], rows_after[4], cols_after[3];
         ASSERT_EQ(KQGETBASIS(rows_before, cols_before), 0);
         const int32_t start[2] = {0, 2}, cols[2] = {0, 2};
         const double values[2] = {1.0, 1.0}, rhs = 100.0;
         ASSERT_EQ(KQADDROWS(1, 2, "L", &rhs, nullptr, start, cols, values), 0);
         ASSERT_EQ(KQGETBASIS(rows_after, cols_after), 0);
         EXPECT_TRUE(std::equal(rows_before, rows_before + 3, rows_after));
         EXPECT_TRUE(std::equal(cols_before, cols_before + 3, cols_after));
         EXPECT_EQ(rows_after[3], 1);
         KQMAXIM("d");
         EXPECT_EQ(int_attribute(1009), 0);
         EXPECT_DOUBLE_EQ(objective(), 20.5);
       }},
      {"deleted rows free their slots", 2,
       [&] {
         ASSERT_EQ(KQDELROWS(1, &r1), 0);
         EXPECT_EQ(int_attribute(1001), 2);
         EXPECT_EQ(int_attribute(1019), 3);
         EXPECT_EQ(int_attribute(1006), 5);
         EXPECT_EQ(names(1, 2), (std::vector<std::string>{"VVVVVVV1", "VVVVVVV3"}));
         EXPECT_EQ(row_type(1), 'G');
       }},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(KQSETICV(kNRXTRA, c.spare_rows), 0);
    ASSERT_EQ(KQSETICV(kNCXTRA, 0), 0);
    ASSERT_EQ(KQSETICV(kNMXTRA, 0), 0);
    ASSERT_EQ(KQSETICV(kNGXTRA, 2), 0);
    ASSERT_EQ(load_small(), 0);
    c.run();
  }
}

}  // namespace
