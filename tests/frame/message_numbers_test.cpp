// The named message numbers: the generated constants carry the numbers that hosts see
// as error numbers, and the catalogue source keeps names unique and well formed.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "frame/catalogue_builder.h"
#include "frame/message_catalogue.h"
#include "frame/message_numbers.h"

namespace kqopt {
namespace {

struct NamedNumber {
  const char* name;
  int constant;
  int number;  // the documented error or message number
};

// A representative set: argument and state errors, load failures, the LP's closing
// messages, the interpreter's and the frame's own numbers.
const NamedNumber kDocumentedMessages[] = {
    {"Version", kMessageVersion, 1},
    {"BoundsCross", kMessageBoundsCross, 18},
    {"NoWorkspace", kMessageNoWorkspace, 20},
    {"UnknownLine", kMessageUnknownLine, 21},
    {"DataFaults", kMessageDataFaults, 29},
    {"TooManyElements", kMessageTooManyElements, 52},
    {"NestedTooDeep", kMessageNestedTooDeep, 66},
    {"Capacities", kMessageCapacities, 68},
    {"TooManyRows", kMessageTooManyRows, 73},
    {"Priority", kMessagePriority, 76},
    {"LineTooLong", kMessageLineTooLong, 84},
    {"CannotOpen", kMessageCannotOpen, 85},
    {"MissingArgument", kMessageMissingArgument, 86},
    {"Stopped", kMessageStopped, 87},
    {"IterationLimit", kMessageIterationLimit, 88},
    {"NoProblem", kMessageNoProblem, 91},
    {"Infeasible", kMessageInfeasible, 92},
    {"Optimal", kMessageOptimal, 94},
    {"ProblemName", kMessageProblemName, 96},
    {"Singular", kMessageSingular, 101},
    {"FactorFailed", kMessageFactorFailed, 102},
    {"TooManyEntities", kMessageTooManyEntities, 107},
    {"DictionaryFull", kMessageDictionaryFull, 114},
    {"TooManyColumns", kMessageTooManyColumns, 120},
    {"FileFailed", kMessageFileFailed, 122},
    {"HeaderRepaired", kMessageHeaderRepaired, 140},
    {"ReadOnly", kMessageReadOnly, 180},
    {"WorkspaceNotObtained", kMessageWorkspaceNotObtained, 192},
    {"AlreadyEntity", kMessageAlreadyEntity, 261},
    {"RepeatsSuppressed", kMessageRepeatsSuppressed, 265},
    {"NotWhilePresolvedOrSearching", kMessageNotWhilePresolvedOrSearching, 268},
    {"BadNumber", kMessageBadNumber, 314},
    {"SolutionFileMissing", kMessageSolutionFileMissing, 387},
    {"Direction", kMessageDirection, 409},
    {"OutOfRange", kMessageOutOfRange, 412},
    {"SlotsFull", kMessageSlotsFull, 420},
    {"BadSlot", kMessageBadSlot, 421},
    {"BadEntering", kMessageBadEntering, 425},
    {"BadLeaving", kMessageBadLeaving, 426},
    {"WorkspaceSize", kMessageWorkspaceSize, 433},
};

TEST(MessageNumbers, NamesCarryTheDocumentedNumbers) {
  for (const NamedNumber& m : kDocumentedMessages) EXPECT_EQ(m.constant, m.number) << m.name;
  // Not in the catalogue (the message file itself is at fault), still an error number.
  EXPECT_EQ(kMessageFileError, 278);
}

TEST(MessageNumbers, LibraryCatalogueNamesEveryMessageOnce) {
  std::ifstream in(std::string(KQOPT_SOURCE_DIR) + "/src/frame/messages.txt");
  ASSERT_TRUE(in);
  CatalogueEntries entries;
  std::string error;
  ASSERT_TRUE(parse_catalogue(in, entries, error)) << error;
  std::map<std::string, int> by_name;
  for (const auto& [number, entry] : entries) {
    EXPECT_FALSE(entry.name.empty()) << "message " << number;
    by_name[entry.name] = number;
  }
  EXPECT_EQ(by_name.size(), entries.size());
  for (const NamedNumber& m : kDocumentedMessages) EXPECT_EQ(by_name[m.name], m.number) << m.name;
}

TEST(MessageNumbers, CatalogueSourceRejectsBadNames) {
  struct Case {
    const char* source;
    bool accepted;
  };
  const Case cases[] = {
      {"7 2 Fine \"text\"\n", true},       {"7 2 \"unnamed text\"\n", true},
      {"7 2 lowerCase \"text\"\n", false}, {"7 2 Two Words \"text\"\n", false},
      {"7 2 Bad-Name \"text\"\n", false},  {"7 2 Same \"a\"\n8 2 Same \"b\"\n", false},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.source);
    CatalogueEntries entries;
    std::string error;
    EXPECT_EQ(parse_catalogue(in, entries, error), c.accepted) << c.source << error;
  }
}

TEST(MessageNumbers, HeaderNeedsEveryName) {
  std::string error;
  std::string header = message_numbers_header({{7, {2, "a", "Seven"}}, {9, {2, "b", "Nine"}}}, error);
  EXPECT_NE(header.find("inline constexpr int kMessageSeven = 7;"), std::string::npos);
  EXPECT_NE(header.find("inline constexpr int kMessageNine = 9;"), std::string::npos);
  EXPECT_TRUE(message_numbers_header({{7, {2, "a", "Seven"}}, {9, {2, "b", ""}}}, error).empty());
  EXPECT_NE(error.find("9"), std::string::npos);
}

}  // namespace
}  // namespace kqopt
