// Workspace charges of the problem's arrays (see charges.h).
#include "problem/charges.h"

#include "frame/message_numbers.h"
#include "library/library.h"

namespace kqopt {

namespace {

std::int64_t rounded(std::int64_t bytes) {
  if (bytes < 0) bytes = 0;
  return (bytes + Workspace::kGranule - 1) / Workspace::kGranule * Workspace::kGranule;
}
}  // namespace

bool charge_array(Library& lib, Problem& p, int number, std::int64_t bytes) {
  std::int64_t amount = rounded(bytes);
  if (!lib.workspace.charge(number, amount)) {
    report_error(lib, kRcNoFit, kMessageNoWorkspace, {number});
    return false;
  }
  for (auto& entry : p.charges.arrays) {
    if (entry.first == number) {
      entry.second = amount;
      return true;
    }
  }
  p.charges.arrays.emplace_back(number, amount);
  return true;
}

void release_array(Library& lib, Problem& p, int number) {
  auto& arrays = p.charges.arrays;
  for (std::size_t k = 0; k < arrays.size(); ++k) {
    if (arrays[k].first != number) continue;
    lib.workspace.release(number);
    arrays.erase(arrays.begin() + static_cast<std::ptrdiff_t>(k));
    return;
  }
}

void release_arrays(Library& lib, Problem& p) {
  for (const auto& entry : p.charges.arrays) lib.workspace.release(entry.first);
  p.charges.arrays.clear();
}

bool recharge_arrays(Library& lib, Problem& p) {
  for (std::size_t k = 0; k < p.charges.arrays.size(); ++k) {
    const auto& entry = p.charges.arrays[k];
    if (lib.workspace.charge(entry.first, entry.second)) continue;
    for (std::size_t undo = 0; undo < k; ++undo) lib.workspace.release(p.charges.arrays[undo].first);
    report_error(lib, kRcNoFit, kMessageNoWorkspace, {entry.first});
    return false;
  }
  return true;
}

}  // namespace kqopt
