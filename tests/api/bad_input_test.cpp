// Bad input through the public header: inconsistent load arrays, controls at absurd
// values, bad name types and calls from callbacks that would change the problem. Each
// ends with its return code and message, and the library goes on working.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kqopt.h"

namespace {

std::vector<std::string> g_lines;

void capture(const char* text, int32_t length, int32_t) {
  if (text != nullptr) g_lines.emplace_back(text, static_cast<std::size_t>(length));
}

int32_t int_attribute(int32_t n) {
  int32_t v = -1;
  EXPECT_EQ(KQGETIPV(n, &v), 0);
  return v;
}

// The error number the previous call left.
int32_t error_number() { return int_attribute(1023); }

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-bad-input-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    std::filesystem::copy_file(std::filesystem::path(KQOPT_SOURCE_DIR) / "examples/afiro.mps", scratch_ / "afiro.mps");
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    KQDEFINEUOPENTRY(capture);
    g_lines.clear();
  }
  void TearDown() override {
    KQDEFINEILENTRY(nullptr);
    KQFREEXO();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }

  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

// Two rows, two columns: min -x - y, x + 2y <= 4, 3x + y <= 6; optimum -2.8.
struct SmallLp {
  std::vector<char> types{'L', 'L'};
  std::vector<double> rhs{4, 6}, obj{-1, -1}, lower{0, 0}, upper{1e30, 1e30}, values{1, 3, 2, 1};
  std::vector<int32_t> start{0, 2, 4}, rows{0, 1, 0, 1};

  int32_t load() const {
    return KQLOADPROB("small", 2, 2, types.data(), rhs.data(), nullptr, obj.data(), start.data(), nullptr, rows.data(),
                      values.data(), lower.data(), upper.data());
  }
};

void expect_small_lp_solves() {
  ASSERT_EQ(SmallLp().load(), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  double objective = 0;
  ASSERT_EQ(KQGETDPV(2001, &objective), 0);
  EXPECT_NEAR(objective, -2.8, 1e-9);
}

TEST_F(BadInput, ColumnStartsAreCheckedBeforeAnyElementIsRead) {
  // Exactly sized heap arrays, so that a read past them is caught under ASan.
  auto rows = std::make_unique<int32_t[]>(4);
  auto values = std::make_unique<double[]>(4);
  for (int k = 0; k < 4; ++k) {
    rows[k] = k % 2;
    values[k] = k + 1;
  }
  const char types[2] = {'L', 'L'};
  const double rhs[2] = {4, 6}, obj[3] = {-1, -1, 0}, lower[3] = {0, 0, 0}, upper[3] = {1e30, 1e30, 1e30};
  struct Case {
    std::vector<int32_t> start;
    const int32_t* lengths;
  };
  const int32_t negative_length[3] = {2, -1, 2};
  const int32_t fits[3] = {2, 0, 2};
  const std::vector<Case> cases = {
      {{0, 10, 2, 4}, nullptr},  // column 0 claims elements 0..9 of 4
      {{0, 2, 1, 4}, nullptr},   // starts run backwards
      {{-1, 2, 3, 4}, nullptr},  // a start before the first element
      {{0, 2, 2}, negative_length}, {{-3, 2, 2}, fits},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KQLOADPROB("x", 3, 2, types, rhs, nullptr, obj, c.start.data(), c.lengths, rows.get(), values.get(),
                         lower, upper),
              32);
    EXPECT_EQ(error_number(), 402);
  }
  expect_small_lp_solves();
}

TEST_F(BadInput, HugeColumnCountFailsTheCapacityCheckBeforeReadingStarts) {
  const SmallLp lp;
  for (const int32_t* lengths : {static_cast<const int32_t*>(nullptr), lp.start.data()}) {
    EXPECT_EQ(KQLOADPROB("x", INT32_MAX, 2, lp.types.data(), lp.rhs.data(), nullptr, lp.obj.data(), lp.start.data(),
                         lengths, lp.rows.data(), lp.values.data(), lp.lower.data(), lp.upper.data()),
              32);
    EXPECT_EQ(error_number(), 120);
  }
  expect_small_lp_solves();
}

TEST_F(BadInput, SetStartsAreCheckedBeforeAnyMemberIsRead) {
  const SmallLp lp;
  auto members = std::make_unique<int32_t[]>(2);
  auto weights = std::make_unique<double[]>(2);
  members[0] = 0;
  members[1] = 1;
  weights[0] = 1;
  weights[1] = 2;
  const char set_types[2] = {'1', '1'};
  const int32_t set_starts[3] = {0, 9, 2};
  EXPECT_EQ(KQLOADGLOBAL("x", 2, 2, lp.types.data(), lp.rhs.data(), nullptr, lp.obj.data(), lp.start.data(), nullptr,
                         lp.rows.data(), lp.values.data(), lp.lower.data(), lp.upper.data(), 0, 2, nullptr, nullptr,
                         nullptr, set_types, set_starts, members.get(), weights.get()),
            32);
  EXPECT_EQ(error_number(), 405);
}

TEST_F(BadInput, IndexBaseIsZeroOrOne) {
  EXPECT_EQ(KQSETICV(50, INT32_MAX), 32);
  EXPECT_EQ(error_number(), 439);
  EXPECT_EQ(KQSETICV(50, -1), 32);
  EXPECT_EQ(KQSETICV(50, 2), 32);
  int32_t base = -1;
  ASSERT_EQ(KQGETICV(50, &base), 0);
  EXPECT_EQ(base, 1);
  expect_small_lp_solves();
}

TEST_F(BadInput, HugeNameLengthDoesNotFit) {
  ASSERT_EQ(KQSETICV(71, INT32_MAX), 0);
  EXPECT_NE(KQINPUT("afiro"), 0);
  EXPECT_EQ(error_number(), 20);
  EXPECT_EQ(SmallLp().load(), 1);
  EXPECT_EQ(error_number(), 20);
  ASSERT_EQ(KQSETICV(71, 256), 0);
  ASSERT_EQ(SmallLp().load(), 0);
  ASSERT_EQ(KQSETICV(71, 8), 0);
  ASSERT_EQ(KQINPUT("afiro"), 0);
  ASSERT_EQ(KQMINIM(""), 0);
}

TEST_F(BadInput, HugeSpareCountsFailTheCapacityChecksWithoutNegativeFigures) {
  struct Case {
    int32_t control;
    int32_t message;
  };
  for (const Case c : {Case{4, 73}, Case{5, 120}}) {
    SCOPED_TRACE(c.control);
    ASSERT_EQ(KQSETICV(c.control, INT32_MAX), 0);
    g_lines.clear();
    EXPECT_NE(KQINPUT("afiro"), 0);
    EXPECT_EQ(error_number(), c.message);
    for (const std::string& line : g_lines) EXPECT_EQ(line.find('-'), std::string::npos) << line;
    EXPECT_EQ(SmallLp().load(), 32);
    EXPECT_EQ(error_number(), c.message);
    ASSERT_EQ(KQSETICV(c.control, 0), 0);
    ASSERT_EQ(KQSETICV(6, 0), 0);  // NMXTRA, which the load raised
  }
  expect_small_lp_solves();
}

TEST_F(BadInput, ToleranceControlsRefuseNonFiniteAndNegativeValues) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  // ZTOLDA, ZTOLPV, ZTOLZE, ZTOLPZ, ZTOLST, ZTOLDJ, TOLPIV, CTOLX
  for (int32_t n : {1, 2, 3, 4, 5, 49, 25, 30}) {
    double before = 0;
    ASSERT_EQ(KQGETDCV(n, &before), 0);
    for (double bad : {nan, inf, -inf, -1e-9}) {
      EXPECT_EQ(KQSETDCV(n, bad), 32) << n << " " << bad;
      EXPECT_EQ(error_number(), 439);
      double after = 0;
      ASSERT_EQ(KQGETDCV(n, &after), 0);
      EXPECT_EQ(after, before) << n;
    }
    EXPECT_EQ(KQSETDCV(n, 0.0), 0) << n;
    EXPECT_EQ(KQSETDCV(n, before), 0) << n;
  }
  // A cutoff or a target may be negative, but must be a number.
  EXPECT_EQ(KQSETDCV(13, -5.0), 0);
  EXPECT_EQ(KQSETDCV(13, nan), 32);
  ASSERT_EQ(KQINPUT("afiro"), 0);
  ASSERT_EQ(KQMINIM(""), 0);
  EXPECT_EQ(int_attribute(1010), 1);
}

TEST_F(BadInput, NameTypeOtherThanRowsOrColumnsIsABadArgument) {
  ASSERT_EQ(SmallLp().load(), 0);
  char names[32] = "a";
  int32_t index = 0;
  EXPECT_EQ(KQADDNAMES(3, names, 0, 0), 32);
  EXPECT_EQ(error_number(), 440);
  EXPECT_EQ(KQGETNAMES(0, names, 0, 0), 32);
  EXPECT_EQ(error_number(), 440);
  EXPECT_EQ(KQGETINDEX(-1, "a", &index), 32);
  EXPECT_EQ(error_number(), 440);
}

// Calls from callbacks: what each attempt returned and the error number it left.
struct CallbackCalls {
  int calls = 0;
  int32_t load_rc = -1, load_error = -1, read_rc = -1, iterations = -1;
};
CallbackCalls g_calls;

int32_t reload_from_log() {
  if (g_calls.calls++ > 0) return 0;
  g_calls.load_rc = KQINPUT("afiro");
  g_calls.load_error = error_number();
  g_calls.read_rc = KQGETIPV(1009, &g_calls.iterations);
  return 0;
}

TEST_F(BadInput, ProblemChangesFromTheIterationLogAreRefusedAndTheSolveFinishes) {
  ASSERT_EQ(KQINPUT("afiro"), 0);
  g_calls = {};
  ASSERT_EQ(KQSETICV(9, 1), 0);
  KQDEFINEILENTRY(reload_from_log);
  EXPECT_EQ(KQMINIM(""), 0);
  KQDEFINEILENTRY(nullptr);
  EXPECT_EQ(g_calls.load_rc, 32);
  EXPECT_EQ(g_calls.load_error, 438);
  EXPECT_EQ(g_calls.read_rc, 0);
  EXPECT_GE(g_calls.iterations, 0);
  EXPECT_EQ(int_attribute(1010), 1);
  double objective = 0;
  ASSERT_EQ(KQGETDPV(2001, &objective), 0);
  EXPECT_NEAR(objective, -464.7531428571, 1e-6);
  // Afterwards the same call works.
  ASSERT_EQ(KQINPUT("afiro"), 0);
  ASSERT_EQ(KQMINIM(""), 0);
}

int32_t g_output_load_rc = -1;
int32_t g_output_solve_rc = -1;
void load_from_output(const char* text, int32_t length, int32_t message_class) {
  capture(text, length, message_class);
  if (text == nullptr || g_output_load_rc != -1) return;
  g_output_load_rc = -2;  // the refusal prints a line, which comes back here
  g_output_load_rc = SmallLp().load();
  g_output_solve_rc = KQMINIM("");
}

TEST_F(BadInput, LoadsAndSolvesFromTheOutputCallbackAreRefusedDuringARead) {
  g_output_load_rc = g_output_solve_rc = -1;
  KQDEFINEUOPENTRY(load_from_output);
  EXPECT_EQ(KQINPUT("afiro"), 0);
  KQDEFINEUOPENTRY(capture);
  EXPECT_EQ(g_output_load_rc, 32);
  EXPECT_EQ(g_output_solve_rc, 32);
  ASSERT_EQ(KQMINIM(""), 0);
  EXPECT_EQ(int_attribute(1010), 1);
}

}  // namespace
