// Test fixture support: a library state whose output callback records the lines.
#include "support/test_library.h"

#include <cstdlib>

#include "library/lifecycle.h"

namespace kqopt::test {

namespace {

// The output callback is a plain function pointer, so the capture goes through one
// sink per process; tests run one library at a time.
std::vector<CapturedLine> g_lines;
int g_flush_notices = 0;

void capture(const char* text, std::int32_t length, std::int32_t message_class) {
  if (text == nullptr) {
    ++g_flush_notices;
    return;
  }
  g_lines.push_back({std::string(text, static_cast<std::size_t>(length)), message_class});
}

}  // namespace

std::string message_directory() {
  const char* env = std::getenv("KQOPT_MSG_DIR");
  return env ? env : KQOPT_MSG_DIR;
}

TestLibrary::TestLibrary(std::int32_t memsize) : lib_(std::make_unique<Library>()) {
  g_lines.clear();
  g_flush_notices = 0;
  initialise(*lib_, message_directory().c_str(), memsize);
  lib_->callbacks.output = capture;
}

TestLibrary::~TestLibrary() { release(*lib_); }

const std::vector<CapturedLine>& TestLibrary::lines() const { return g_lines; }

std::vector<std::string> TestLibrary::texts() const {
  std::vector<std::string> result;
  for (const auto& line : g_lines) result.push_back(line.text);
  return result;
}

void TestLibrary::clear_lines() {
  g_lines.clear();
  g_flush_notices = 0;
}

int TestLibrary::flush_notices() const { return g_flush_notices; }

bool TestLibrary::printed(const std::string& text) const {
  for (const auto& line : g_lines) {
    if (line.text.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace kqopt::test
