// The workspace budget: W bytes fixed at initialisation, against which every
// variable-size array of the problem and the engine is charged by array number.
//
// Arrays are ordinary heap storage; the budget only decides what fits, so that a
// large W costs nothing until it is used. Charges are rounded up to 16-byte granules.
#pragma once

#include <cstdint>
#include <map>

namespace kqopt {

class Workspace {
 public:
  static constexpr std::int64_t kGranule = 16;

  void reset(std::int64_t bytes) {
    size_ = bytes;
    used_ = 0;
    charges_.clear();
  }
  std::int64_t size() const { return size_; }
  std::int64_t used() const { return used_; }
  std::int64_t free_bytes() const { return size_ - used_; }

  // Charges (or re-charges) array `number` with `bytes`. Returns false, changing
  // nothing, when it does not fit.
  [[nodiscard]] bool charge(int number, std::int64_t bytes) {
    std::int64_t rounded = (bytes + kGranule - 1) / kGranule * kGranule;
    auto it = charges_.find(number);
    std::int64_t previous = it == charges_.end() ? 0 : it->second;
    if (rounded < 0 || used_ - previous + rounded > size_) return false;
    used_ += rounded - previous;
    charges_[number] = rounded;
    return true;
  }
  void release(int number) {
    auto it = charges_.find(number);
    if (it == charges_.end()) return;
    used_ -= it->second;
    charges_.erase(it);
  }
  void release_all() {
    used_ = 0;
    charges_.clear();
  }

 private:
  std::int64_t size_ = 0;
  std::int64_t used_ = 0;
  std::map<int, std::int64_t> charges_;
};

}  // namespace kqopt
