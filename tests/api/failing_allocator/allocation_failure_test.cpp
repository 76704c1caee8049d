// Out of memory at every single allocation of a read, a load from arrays and a solve:
// each run ends with a return code and message 20 (never an exception or an abort),
// leaks nothing, and the next load and solve work.
//
// This executable replaces the global operator new: once armed, the k-th request
// throws std::bad_alloc, and the sweep tries every k that the operation makes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kqopt.h"

namespace {

bool g_armed = false;
long g_requests = 0;
long g_fail_at = 0;  // 0: never

void* allocate(std::size_t size, std::size_t alignment, bool nothrow) {
  if (g_armed && ++g_requests == g_fail_at) {
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  if (size == 0) size = 1;
  void* p = alignment > alignof(std::max_align_t)
                ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                : std::malloc(size);
  if (p == nullptr && !nothrow) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n, 0, false); }
void* operator new[](std::size_t n) { return allocate(n, 0, false); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0, true); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0, true); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a), false); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a), false); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

int32_t int_attribute(int32_t n) {
  int32_t v = -1;
  KQGETIPV(n, &v);
  return v;
}

double objective() {
  double v = 0;
  KQGETDPV(2001, &v);
  return v;
}

// min -x - y, x + 2y <= 4, 3x + y <= 6: optimum -2.8.
int32_t load_small() {
  const char types[2] = {'L', 'L'};
  const double rhs[2] = {4, 6}, obj[2] = {-1, -1}, lower[2] = {0, 0}, upper[2] = {1e30, 1e30}, values[4] = {1, 3, 2, 1};
  const int32_t start[3] = {0, 2, 4}, rows[4] = {0, 1, 0, 1};
  return KQLOADPROB("small", 2, 2, types, rhs, nullptr, obj, start, nullptr, rows, values, lower, upper);
}

class AllocationFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    scratch_ = std::filesystem::temp_directory_path() / ("kqopt-alloc-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    std::filesystem::current_path(scratch_);
    std::filesystem::copy_file(std::filesystem::path(KQOPT_SOURCE_DIR) / "examples/afiro.mps", scratch_ / "afiro.mps");
    ASSERT_EQ(KQINITLZ(KQOPT_MSG_DIR, 0), 0);
    ASSERT_EQ(KQSETICV(35, 0), 0);  // IFPMSG: no output
  }
  void TearDown() override {
    KQFREEXO();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }

  // Runs `operation` once failing no request, to count them, then once failing each
  // request in turn; `prepare` runs unarmed before every run.
  void sweep(const std::function<void()>& prepare, const std::function<int32_t()>& operation,
             const std::function<void()>& check_success) {
    prepare();
    g_requests = 0;
    g_fail_at = 0;
    g_armed = true;
    const int32_t clean = operation();
    g_armed = false;
    ASSERT_EQ(clean, 0);
    check_success();
    const long requests = g_requests;
    ASSERT_GT(requests, 0);
    int failed = 0;
    for (long k = 1; k <= requests; ++k) {
      prepare();
      g_requests = 0;
      g_fail_at = k;
      g_armed = true;
      const int32_t rc = operation();
      g_armed = false;
      g_fail_at = 0;
      if (rc != 0) {
        ++failed;
        EXPECT_TRUE(rc == 1 || rc == 4 || rc == 32) << "k=" << k << " rc=" << rc;
        EXPECT_EQ(int_attribute(1023), 20) << "k=" << k;
      }
      // The library goes on: a load and a solve after the failure.
      ASSERT_EQ(load_small(), 0) << "k=" << k;
      ASSERT_EQ(KQMINIM(""), 0) << "k=" << k;
      ASSERT_NEAR(objective(), -2.8, 1e-9) << "k=" << k;
    }
    EXPECT_GT(failed, 0);
    RecordProperty("requests", static_cast<int>(requests));
  }

  std::filesystem::path previous_;
  std::filesystem::path scratch_;
};

TEST_F(AllocationFailure, ReadingAFile) {
  sweep([] {}, [] { return KQINPUT("afiro"); },
        [] {
          ASSERT_EQ(KQMINIM(""), 0);
          EXPECT_NEAR(objective(), -464.7531428571, 1e-6);
        });
}

TEST_F(AllocationFailure, LoadingFromArrays) {
  sweep([] {}, load_small,
        [] {
          ASSERT_EQ(KQMINIM(""), 0);
          EXPECT_NEAR(objective(), -2.8, 1e-9);
        });
}

TEST_F(AllocationFailure, Solving) {
  sweep([] { ASSERT_EQ(KQINPUT("afiro"), 0); }, [] { return KQMINIM(""); },
        [] { EXPECT_NEAR(objective(), -464.7531428571, 1e-6); });
}

}  // namespace
