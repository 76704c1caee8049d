// The interpreter's command table: names in table order and their handlers.
#pragma once

#include <string>

namespace kqopt {

struct Library;

enum class CommandOutcome { kContinue, kQuit, kStop };

struct Command {
  const char* name;
  CommandOutcome (*run)(Library& lib);
};

inline constexpr int kCommandCount = 44;
extern const Command kCommands[kCommandCount];

// The exit code of STOP, from the outcome of the last optimisation.
int stop_exit_code(const Library& lib);

}  // namespace kqopt
