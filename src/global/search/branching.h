// The branching choice of one node: which global entities its LP solution leaves
// unsatisfied, how much each is estimated to cost when forced either way, which one the
// node branches on and in which direction first, and the column bound changes that make
// its two children. Every value here is in internal units with the objective sense
// applied (the engine minimises), so a degradation is never negative in intent.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kqopt {

struct Problem;
class LearntPseudoCosts;

// A bound change of one variable (index in the problem's 0-based variable numbering).
struct BoundChange {
  std::int32_t variable = 0;
  double lower = 0.0;
  double upper = 0.0;
};

// The node LP as the choice reads it.
struct NodeView {
  std::span<const double> x;      // M + n values
  std::span<const double> pi;     // M row prices of the engine (d = c - pi^T a)
  std::span<const double> lower;  // M + n bounds of the node
  std::span<const double> upper;
  std::span<const double> cost;  // M + n costs of the engine (sense applied)
};

struct BranchSettings {
  double integer_tolerance = 0.0005;         // ZTOLIS
  double zero_tolerance = 1.0e-6;            // ZTOLZE
  double price_tolerance = 1.0e-13;          // ZTETA
  double price_floor = 0.01;                 // RTOLPS times the objective scale
  double pseudo = 1.0;                       // PSEUDO
  double direction_bonus = 1.0e18;           // PSTCST
  double set_tolerance = 0.001;              // ZTOLST
  std::int32_t criterion = 1;                // KCRITM
  std::int32_t semi_continuous_weight = 10;  // SSV010
  // Pseudo-costs the search has learnt (null: none); they rank integer entities of equal
  // priority once both directions have been observed.
  const LearntPseudoCosts* learnt = nullptr;
};

// Direction codes of a branch: the down branch lowers an upper bound (for a set: keeps
// the members of lower weight), the up branch raises a lower bound.
inline constexpr int kDown = 0;
inline constexpr int kUp = 1;

struct BranchChoice {
  std::int32_t unsatisfied = 0;  // 0: the node is integer feasible
  std::int32_t entity = -1;      // index into Problem::entities
  double value = 0.0;            // the entity's value (a set: the weighted average)
  int first = kUp;               // the branch taken first
  double up_estimate = 0.0;      // degradation estimates of the chosen entity
  double down_estimate = 0.0;
  double estimate_increment = 0.0;    // sum of estimate score times PSEUDO
  std::vector<BoundChange> child[2];  // by direction code
  bool child_infeasible[2] = {false, false};
};

// Row prices for the degradation estimates (Data model of the branching choice).
void row_prices(const Problem& p, const NodeView& node, const BranchSettings& s, std::vector<float>& up,
                std::vector<float>& down);

// Per-unit up and down degradation of column j (0-based): max(c, 0) + sum a·price and
// -(min(c, 0) + sum a·price), summed in single precision.
void column_estimates(const Problem& p, std::span<const double> cost, std::span<const float> up_price,
                      std::span<const float> down_price, std::int32_t j, float& up, float& down);

// Scans the entities and fills choice; the children's bound changes are those of the
// chosen entity (not merged with the node's own changes).
void choose_branch(const Problem& p, const NodeView& node, const BranchSettings& s, BranchChoice& choice);

// The children of an entity named by the caller (a branching callback) with the given
// direction: fills choice.entity, first, value, child and child_infeasible. False when
// the entity is satisfied (nothing to branch on).
bool branch_on(const Problem& p, const NodeView& node, const BranchSettings& s, std::int32_t entity, int first,
               BranchChoice& choice);

// The number of entities the node's LP solution leaves unsatisfied (only node.x is read).
std::int32_t count_unsatisfied(const Problem& p, const NodeView& node, const BranchSettings& s);

}  // namespace kqopt
