// Attribute numbers by name agree with the documented numbering, and every named
// attribute is one that the attribute store accepts under its kind.
#include <gtest/gtest.h>

#include "library/controls.h"

namespace kqopt {
namespace {

enum class Kind { kInteger, kDouble, kCharacter };

struct NamedAttribute {
  const char* name;
  int constant;
  int number;
  Kind kind;
};

const NamedAttribute kDocumentedAttributes[] = {
    {"rows", attr::kRows, 1001, Kind::kInteger},
    {"last column", attr::kLastColumn, 1002, Kind::kInteger},
    {"global entities", attr::kGlobalEntities, 1003, Kind::kInteger},
    {"sets", attr::kSets, 1004, Kind::kInteger},
    {"set members", attr::kSetMembers, 1005, Kind::kInteger},
    {"elements", attr::kElements, 1006, Kind::kInteger},
    {"primal infeasibilities", attr::kPrimalInfeasibilities, 1007, Kind::kInteger},
    {"dual infeasibilities", attr::kDualInfeasibilities, 1008, Kind::kInteger},
    {"iterations", attr::kIterations, 1009, Kind::kInteger},
    {"LP status", attr::kLpStatus, 1010, Kind::kInteger},
    {"LP finished", attr::kLpFinished, 1011, Kind::kInteger},
    {"cut rows", attr::kCutRows, 1012, Kind::kInteger},
    {"integer solutions", attr::kIntegerSolutions, 1017, Kind::kInteger},
    {"columns", attr::kColumns, 1018, Kind::kInteger},
    {"spare rows", attr::kSpareRows, 1019, Kind::kInteger},
    {"spare columns", attr::kSpareColumns, 1020, Kind::kInteger},
    {"spare elements", attr::kSpareElements, 1021, Kind::kInteger},
    {"error number", attr::kErrorNumber, 1023, Kind::kInteger},
    {"return code", attr::kReturnCode, 1025, Kind::kInteger},
    {"barrier iteration", attr::kBarrierIteration, 3001, Kind::kInteger},
    {"barrier crossover", attr::kBarrierCrossover, 3005, Kind::kInteger},
    {"objective", attr::kObjectiveValue, 2001, Kind::kDouble},
    {"sum of infeasibilities", attr::kSumPrimalInfeasibilities, 2002, Kind::kDouble},
    {"pseudo-cost factor", attr::kPseudoCostFactor, 2007, Kind::kDouble},
    {"sense multiplier", attr::kSenseMultiplier, 2008, Kind::kDouble},
    {"barrier primal objective", attr::kBarrierPrimalObjective, 4001, Kind::kDouble},
    {"barrier gap", attr::kBarrierGap, 4005, Kind::kDouble},
    {"problem name", attr::kProblemName, 3001, Kind::kCharacter},
    {"bound set", attr::kBoundSetName, 3002, Kind::kCharacter},
    {"range set", attr::kRangeSetName, 3003, Kind::kCharacter},
    {"right-hand-side set", attr::kRhsSetName, 3004, Kind::kCharacter},
};

TEST(AttributeNumbers, NamesCarryTheDocumentedNumbers) {
  Attributes store;
  for (const NamedAttribute& a : kDocumentedAttributes) {
    EXPECT_EQ(a.constant, a.number) << a.name;
    bool stored = a.kind == Kind::kInteger  ? store.int_attribute(a.constant) != nullptr
                  : a.kind == Kind::kDouble ? store.double_attribute(a.constant) != nullptr
                                            : store.char_attribute(a.constant) != nullptr;
    EXPECT_TRUE(stored) << a.name;
  }
}

}  // namespace
}  // namespace kqopt
