// Pseudo-costs learnt during the search: per column entity and direction, the mean rise
// of the node objective per unit of the branching move, observed on children whose LP
// was solved. The branching choice reads them in place of the row-price degradation
// estimates once the search has observed enough; before that the estimates decide.
#pragma once

#include <cstdint>
#include <vector>

namespace kqopt {

class LearntPseudoCosts {
 public:
  void reset(std::size_t entities);
  // One child of entity e, moved distance units in direction dir (kDown or kUp), whose
  // objective rose by gain (engine sense; negative rises count as 0).
  void record(std::int32_t e, int dir, double distance, double gain);
  // Per-unit cost of entity e in direction dir: its own mean, else the mean over the
  // entities observed in that direction. False when nothing was observed that way.
  bool per_unit(std::int32_t e, int dir, double& cost) const;
  // The observations of entity e in direction dir.
  std::int32_t count(std::int32_t e, int dir) const;

 private:
  std::vector<double> sum_[2];
  std::vector<std::int32_t> count_[2];
  double total_[2] = {0.0, 0.0};
  std::int64_t observations_[2] = {0, 0};
  std::int64_t entities_seen_[2] = {0, 0};
};

}  // namespace kqopt
