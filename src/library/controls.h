// The three control tables and their access flags, and the problem attributes.
//
// Controls are indexed by number (element 0 unused). Access flag: negative for a
// read-only control (-1 computed sizes, -2 fixed values), 0 not set since
// initialisation, positive once set (1 through the interface; each set from the
// command stream adds 1).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "library/control_table.h"

namespace kqopt {

struct Controls {
  std::array<std::int32_t, kIntControlCount + 1> icv{};
  std::array<double, kDoubleControlCount + 1> dcv{};
  std::array<std::array<char, kCharControlLength>, kCharControlCount + 1> ccv{};
  std::array<std::int32_t, kIntControlCount + 1> icv_access{};
  std::array<std::int32_t, kDoubleControlCount + 1> dcv_access{};
  std::array<std::int32_t, kCharControlCount + 1> ccv_access{};

  void set_defaults();

  std::int32_t& i(int n) { return icv[static_cast<std::size_t>(n)]; }
  std::int32_t i(int n) const { return icv[static_cast<std::size_t>(n)]; }
  double& d(int n) { return dcv[static_cast<std::size_t>(n)]; }
  double d(int n) const { return dcv[static_cast<std::size_t>(n)]; }
  // Character control n without its trailing blanks.
  std::string c(int n) const;
};

// Problem attributes written by the subsystems that maintain them. Integer attributes
// 1001..1026 and 3001..3005, double 2001..2008 and 4001..4005, character 3001..3005.
struct Attributes {
  std::array<std::int32_t, 26> int_1000{};                          // 1001..1026
  std::array<std::int32_t, 5> int_3000{};                           // 3001..3005
  std::array<double, 8> double_2000{};                              // 2001..2008
  std::array<double, 5> double_4000{};                              // 4001..4005
  std::array<std::array<char, kCharControlLength>, 5> char_3000{};  // 3001..3005

  Attributes();
  // Forgets what the last optimisation left (statuses, counts, objective, barrier
  // figures); the problem's own counts and names stay.
  void clear_solution();
  // Pointers to the stored attribute, or null when n is not a valid number.
  std::int32_t* int_attribute(int n);
  double* double_attribute(int n);
  std::array<char, kCharControlLength>* char_attribute(int n);
};

// Attribute numbers by name: integer, then double, then character attributes.
namespace attr {
inline constexpr int kRows = 1001;
inline constexpr int kLastColumn = 1002;
inline constexpr int kGlobalEntities = 1003;
inline constexpr int kSets = 1004;
inline constexpr int kSetMembers = 1005;
inline constexpr int kElements = 1006;
inline constexpr int kPrimalInfeasibilities = 1007;  // left by the last primal simplex run
inline constexpr int kDualInfeasibilities = 1008;    // found by its last pricing
inline constexpr int kIterations = 1009;
inline constexpr int kLpStatus = 1010;
inline constexpr int kLpFinished = 1011;  // 2 once an LP has ended with a terminal status
inline constexpr int kCutRows = 1012;
inline constexpr int kNodes = 1013;         // nodes of the global search so far
inline constexpr int kActiveNodes = 1014;   // nodes waiting in its active list
inline constexpr int kGlobalStatus = 1015;  // 3, 4 running (without, with a solution); 5, 6 finished
inline constexpr int kIncumbentNode = 1016; // the node count when the best solution was found
inline constexpr int kIntegerSolutions = 1017;
inline constexpr int kColumns = 1018;
inline constexpr int kSpareRows = 1019;
inline constexpr int kSpareColumns = 1020;
inline constexpr int kSpareElements = 1021;
inline constexpr int kUnsatisfiedEntities = 1022;  // recounted before each cut-manager call
inline constexpr int kErrorNumber = 1023;
inline constexpr int kReturnCode = 1025;
inline constexpr int kBarrierIteration = 3001;  // integer attributes of the last barrier run
inline constexpr int kBarrierProductNonzeros = 3002;
inline constexpr int kBarrierFactorNonzeros = 3003;
inline constexpr int kBarrierDenseColumns = 3004;
inline constexpr int kBarrierCrossover = 3005;

inline constexpr int kObjectiveValue = 2001;
inline constexpr int kSumPrimalInfeasibilities = 2002;
inline constexpr int kBestBound = 2003;          // best bound of the global search
inline constexpr int kIncumbentObjective = 2004; // its best integer solution (s·infinity: none)
inline constexpr int kPseudoCostFactor = 2007;
inline constexpr int kSenseMultiplier = 2008;
inline constexpr int kBarrierPrimalObjective = 4001;  // double attributes of the last logged barrier iteration
inline constexpr int kBarrierDualObjective = 4002;
inline constexpr int kBarrierPrimalInfeasibility = 4003;
inline constexpr int kBarrierDualInfeasibility = 4004;
inline constexpr int kBarrierGap = 4005;

inline constexpr int kProblemName = 3001;  // character attributes
inline constexpr int kBoundSetName = 3002;
inline constexpr int kRangeSetName = 3003;
inline constexpr int kRhsSetName = 3004;
}  // namespace attr

// Copies up to eight characters of text into a blank-padded field.
void set_blank_padded(std::array<char, kCharControlLength>& field, const char* text);
// The field without its trailing blanks.
std::string trim_blank_padded(const std::array<char, kCharControlLength>& field);

}  // namespace kqopt
