// The LP-text reader: reads an algebraic LP text (objective, constraints as linear
// sums, bounds, general-integer and binary sections, "end") into an LpModel held in
// the reader's work area, then loads it into the library as the array loaders would.
//
// The text:
//   file        := sense objective constraints-keyword {constraint} {section} "end"
//   sense       := "maximize" | "maximum" | "max" | "minimize" | "minimum" | "min"
//   objective   := [label] sum
//   constraint  := [label] sum relation number          relation: < <= =< > >= => =
//   label       := name ":"
//   sum         := term {("+" | "-") term}     term: [sign] [number] name | [sign] number
//   section     := ("bounds" | "bound") {bound} | ("generals" | "general" | "gen" |
//                  "integers" | "integer" | "int") {name} | ("binaries" | "binary" | "bin") {name}
// Keywords are matched without regard to case as prefixes of the text ("maxim" is max
// followed by "im"); a backslash starts a comment to the end of the line. A number
// alone in a sum is a constant: in a constraint it moves to the right-hand side, in
// the objective it becomes the objective constant.
//
// Faults: a fatal one stops the read (nothing is loaded); any other skips the item it
// concerns and is counted, and the problem is loaded all the same, the read failing
// when the count exceeds IGNORE. Warnings (a word taken as "free", a bound taken as
// infinite, names too long to load, a constraint with no term that 0 satisfies) are
// not counted. Every message is followed by "(line.column):".
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kqopt {
struct Library;
}

namespace kqopt::input {

class LpSource;

enum class LpOutcome { kRead, kFailed };

struct LpResult {
  LpOutcome outcome = LpOutcome::kFailed;
  std::int64_t faults = 0;    // counted faults (not warnings)
  std::vector<int> messages;  // numbers of the messages printed, in order (first 10000)
  std::int64_t line = 0;      // line of the last message
};

// Reads the text from source and loads it. Returns the return code of KQINPUT (0 or
// 32); result, when given, tells what happened.
std::int32_t read_lp_text(Library& lib, LpSource& source, LpResult* result = nullptr);

}  // namespace kqopt::input
