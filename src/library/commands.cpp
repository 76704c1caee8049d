// Command handlers of the interpreter. Commands whose operations are not part of
// this build report that plainly instead of pretending to succeed.
#include "library/commands.h"

#include "frame/message_numbers.h"
#include "global/search.h"
#include "input/input_problem.h"
#include "library/interpreter.h"
#include "library/library.h"
#include "output/solution_print.h"
#include "simplex/driver/crash_step.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/driver/scaling_step.h"

namespace kqopt {

namespace {

CommandOutcome no_effect(Library&) { return CommandOutcome::kContinue; }

CommandOutcome not_available(Library& lib) {
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
  } else {
    report_error(lib, kRcInvalidCall, kMessageNotAvailable);
  }
  return CommandOutcome::kContinue;
}

CommandOutcome maximise(Library& lib) {
  optimise(lib, DriverMode::kMaximise);
  return CommandOutcome::kContinue;
}

CommandOutcome minimise(Library& lib) {
  optimise(lib, DriverMode::kMinimise);
  return CommandOutcome::kContinue;
}

CommandOutcome global_search(Library& lib) {
  lib.begin_operation();
  run_global_search(lib);
  return CommandOutcome::kContinue;
}

CommandOutcome crash(Library& lib) {
  crash_problem(lib);
  return CommandOutcome::kContinue;
}

CommandOutcome scale(Library& lib) {
  scale_problem(lib);
  return CommandOutcome::kContinue;
}

// INPUT [name]: reads a problem file; without a name, the one of the problem name.
CommandOutcome input_file(Library& lib) {
  std::string name = command_argument(lib);
  if (name.empty()) name = lib.problem_name;
  input::input_problem(lib, name.c_str());
  return CommandOutcome::kContinue;
}

CommandOutcome print_to_screen(Library& lib) {
  print_solution(lib, PrintDestination::kScreen);
  return CommandOutcome::kContinue;
}

CommandOutcome print_to_file(Library& lib) {
  print_solution(lib, PrintDestination::kPrintFile);
  return CommandOutcome::kContinue;
}

CommandOutcome quit(Library&) { return CommandOutcome::kQuit; }
CommandOutcome stop(Library&) { return CommandOutcome::kStop; }

CommandOutcome help(Library& lib) {
  print_message(lib, kMessageHelpHeading);
  print_message(lib, kMessageVersion);
  flush_line(lib);
  for (int n = kMessageFirstHelpLine; n <= MessageCatalogue::kMaxMessages; ++n) {
    print_message(lib, n);
    bool placed = lib.out.length > 1;
    flush_line(lib);
    if (!placed || lib.out.line_unusable) break;
  }
  return CommandOutcome::kContinue;
}

}  // namespace

const Command kCommands[kCommandCount] = {
    {"INPUT", input_file},
    {"CRASH", crash},
    {"MAXIM", maximise},
    {"MINIM", minimise},
    {"PRINT", print_to_screen},
    {"QUIT", quit},
    {"VOUT", no_effect},
    {"SIZE", no_effect},
    {"TOASC", not_available},
    {"BASISIN", not_available},
    {"BASISOUT", not_available},
    {"FPRINT", print_to_file},
    {"INVERT", not_available},
    {"OBJECTIVE", no_effect},
    {"GLOBAL", global_search},
    {"DIRECTIVES", not_available},
    {"ALTER", not_available},
    {"RANGE", not_available},
    {"MOLTIN", not_available},
    {"RPRINT", not_available},
    {"OMNIOUT", not_available},
    {"PROBLEM", not_available},
    {"SAVE", not_available},
    {"RESTORE", not_available},
    {"MPSXSOL", not_available},
    {"MPSXRNG", not_available},
    {"STOP", stop},
    {"RTOASC", not_available},
    {"HELP", help},
    {"USER", no_effect},
    {"ANALYSE", not_available},
    {"OUTPUT", not_available},
    {"RECURSE", not_available},
    {"PARAOBJ", not_available},
    {"FRPRINT", not_available},
    {"MVUB", not_available},
    {"?AXNB", not_available},
    {"?INNB", not_available},
    {"?AXGLOBAL", not_available},
    {"?INGLOBAL", not_available},
    {"GOAL", not_available},
    {"IIS", not_available},
    {"FIXGLOBAL", not_available},
    {"SCALE", scale},
};

int stop_exit_code(const Library& lib) {
  // After a global search: 67 and 68 while it can go on (without, with a solution), 69
  // and 70 once it has finished (without a solution, with a proven optimum).
  if (lib.global_search_set_up) {
    const std::int32_t status = lib.global ? lib.global->global_status : 0;
    return status >= kSearchRunningNoSolution && status <= kSearchFinishedWithSolution ? 64 + status : 67;
  }
  switch (lib.last_lp_outcome) {
    case 0:
      return 63;
    case 1:
      return 64;
    case 2:
      return 65;
    case 5:
      return 66;
    default:
      return 99;
  }
}

}  // namespace kqopt
