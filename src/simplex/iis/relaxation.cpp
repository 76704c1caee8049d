// Relaxing and restoring variables of the problem model (see relaxation.h).
#include "simplex/iis/relaxation.h"

#include "problem/infinity.h"
#include "problem/problem.h"

namespace kqopt {

namespace {
constexpr std::uint32_t kKeptBits = status::kFree | status::kFixed;
}

Relaxation::Relaxation(Problem& p)
    : p_(p), lower_(p.lower), upper_(p.upper), words_(p.status), row_types_(p.row_type), objective_(p.objective) {}

bool Relaxation::relaxed(std::int32_t v) const {
  return (p_.status[static_cast<std::size_t>(v)] & iis_flag::kRelaxed) != 0;
}

bool Relaxation::originally_free(std::int32_t v) const {
  return (words_[static_cast<std::size_t>(v)] & status::kFree) != 0;
}

void Relaxation::relax(std::int32_t v) {
  const auto vv = static_cast<std::size_t>(v);
  std::uint32_t& word = p_.status[vv];
  if (word & iis_flag::kRelaxed) return;
  word = (word | iis_flag::kRelaxed | status::kFree) & ~(status::kAtUpper | status::kFixed);
  p_.lower[vv] = -kInfinity;
  p_.upper[vv] = kInfinity;
  if (v < p_.row_slots()) p_.row_type[vv] |= row_type::kFree;
}

void Relaxation::restore(std::int32_t v) {
  const auto vv = static_cast<std::size_t>(v);
  std::uint32_t& word = p_.status[vv];
  if (!(word & iis_flag::kRelaxed)) return;
  word = (word & ~(iis_flag::kRelaxed | kKeptBits)) | (words_[vv] & kKeptBits);
  p_.lower[vv] = lower_[vv];
  p_.upper[vv] = upper_[vv];
  if (v < p_.row_slots()) p_.row_type[vv] = row_types_[vv];
  if (!(word & status::kBasic) && !(p_.lower[vv] > -kInfinity) && p_.upper[vv] < kInfinity) word |= status::kAtUpper;
}

void Relaxation::restore_problem() {
  for (std::int32_t v = 0; v < p_.variables(); ++v) {
    restore(v);
    p_.status[static_cast<std::size_t>(v)] &= ~(iis_flag::kMember | iis_flag::kRelaxed);
  }
  p_.objective = objective_;
}

}  // namespace kqopt
