// Pseudo-costs learnt from the children the search solves.
#include "global/search/pseudo_costs.h"

#include <algorithm>

namespace kqopt {

void LearntPseudoCosts::reset(std::size_t entities) {
  for (int dir = 0; dir < 2; ++dir) {
    sum_[dir].assign(entities, 0.0);
    count_[dir].assign(entities, 0);
    total_[dir] = 0.0;
    observations_[dir] = 0;
    entities_seen_[dir] = 0;
  }
}

void LearntPseudoCosts::record(std::int32_t e, int dir, double distance, double gain) {
  if (e < 0 || static_cast<std::size_t>(e) >= sum_[dir].size() || !(distance > 1.0e-6)) return;
  const double unit = std::max(gain, 0.0) / distance;
  if (!(unit < 1.0e30)) return;
  const auto k = static_cast<std::size_t>(e);
  // The all-entity mean is a mean of the entities' means, so that an entity branched on
  // often does not stand for the others.
  if (count_[dir][k] > 0) total_[dir] -= sum_[dir][k] / count_[dir][k];
  if (count_[dir][k] == 0) ++entities_seen_[dir];
  sum_[dir][k] += unit;
  ++count_[dir][k];
  total_[dir] += sum_[dir][k] / count_[dir][k];
  ++observations_[dir];
}

bool LearntPseudoCosts::per_unit(std::int32_t e, int dir, double& cost) const {
  if (e >= 0 && static_cast<std::size_t>(e) < sum_[dir].size()) {
    const auto k = static_cast<std::size_t>(e);
    if (count_[dir][k] > 0) {
      cost = sum_[dir][k] / count_[dir][k];
      return true;
    }
  }
  if (entities_seen_[dir] == 0) return false;
  cost = total_[dir] / static_cast<double>(entities_seen_[dir]);
  return true;
}

std::int32_t LearntPseudoCosts::count(std::int32_t e, int dir) const {
  if (e < 0 || static_cast<std::size_t>(e) >= count_[dir].size()) return 0;
  return count_[dir][static_cast<std::size_t>(e)];
}

}  // namespace kqopt
