// A fresh, initialised library state for a test, with every output line captured.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/library.h"

namespace kqopt::test {

struct CapturedLine {
  std::string text;
  int message_class;
};

class TestLibrary {
 public:
  // memsize 0: what the machine can give; the message file comes from the build tree.
  explicit TestLibrary(std::int32_t memsize = 0);
  ~TestLibrary();

  Library& lib() { return *lib_; }
  Library* operator->() { return lib_.get(); }
  const std::vector<CapturedLine>& lines() const;
  std::vector<std::string> texts() const;
  void clear_lines();
  int flush_notices() const;
  // True when some captured line contains text.
  bool printed(const std::string& text) const;

 private:
  std::unique_ptr<Library> lib_;
};

// Directory holding rb-opt.msg in the build tree.
std::string message_directory();

}  // namespace kqopt::test
