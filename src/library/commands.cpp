// Command handlers of the interpreter. Commands whose operations are not part of
// this build report that plainly instead of pretending to succeed.
#include "library/commands.h"

#include "frame/message_numbers.h"
#include "global/search/search.h"
#include "input/directives_file.h"
#include "input/input_problem.h"
#include "library/interpreter.h"
#include "library/library.h"
#include "output/ascii_solution.h"
#include "output/basis_file.h"
#include "output/mps_writer.h"
#include "output/ranging/range_ascii.h"
#include "output/ranging/range_file.h"
#include "output/ranging/range_print.h"
#include "output/solution_print.h"
#include "simplex/driver/crash_step.h"
#include "simplex/driver/lp_driver.h"
#include "simplex/driver/scaling_step.h"
#include "simplex/iis/infeasibility_analysis.h"

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

// DIRECTIVES [name]: reads a directives file; without a name, the problem's.
CommandOutcome directives(Library& lib) {
  std::string name = command_argument(lib);
  if (name.empty()) name = lib.problem_name;
  read_directives_file(lib, name.c_str());
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

CommandOutcome infeasibility_analysis(Library& lib) {
  analyse_infeasibility(lib);
  return CommandOutcome::kContinue;
}

// The option letters of the line as a string, for the operations that take one.
std::string line_options(const Library& lib) {
  std::string letters;
  for (char c = 'a'; c <= 'z'; ++c) {
    if (lib.option(c)) letters += c;
  }
  return letters;
}

CommandOutcome basis_in(Library& lib) {
  read_basis_file(lib, command_argument(lib).c_str(), basis_file_options(line_options(lib).c_str()));
  return CommandOutcome::kContinue;
}

CommandOutcome basis_out(Library& lib) {
  write_basis_file(lib, command_argument(lib).c_str(), basis_file_options(line_options(lib).c_str()));
  return CommandOutcome::kContinue;
}

CommandOutcome range(Library& lib) {
  lib.begin_operation();
  write_range_file(lib);
  return CommandOutcome::kContinue;
}

// OUTPUT [-letters]: writes the problem as an MPS file.
CommandOutcome output_problem(Library& lib) {
  write_problem_file(lib);
  return CommandOutcome::kContinue;
}

// TOASC [name] [-letters]: the ASCII solution files.
CommandOutcome to_ascii(Library& lib) {
  write_ascii_solution(lib, command_argument(lib));
  return CommandOutcome::kContinue;
}

// RPRINT / FRPRINT: the ranges on the screen / into the print file.
CommandOutcome ranges_to_screen(Library& lib) {
  print_ranges(lib, PrintDestination::kScreen);
  return CommandOutcome::kContinue;
}
CommandOutcome ranges_to_file(Library& lib) {
  print_ranges(lib, PrintDestination::kPrintFile);
  return CommandOutcome::kContinue;
}

// RTOASC [name] [-letters]: the ASCII range files.
CommandOutcome ranges_to_ascii(Library& lib) {
  write_ascii_ranges(lib, command_argument(lib));
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
    {"TOASC", to_ascii},
    {"BASISIN", basis_in},
    {"BASISOUT", basis_out},
    {"FPRINT", print_to_file},
    {"INVERT", not_available},
    {"OBJECTIVE", no_effect},
    {"GLOBAL", global_search},
    {"DIRECTIVES", directives},
    {"ALTER", not_available},
    {"RANGE", range},
    {"MOLTIN", not_available},
    {"RPRINT", ranges_to_screen},
    {"OMNIOUT", not_available},
    {"PROBLEM", not_available},
    {"SAVE", not_available},
    {"RESTORE", not_available},
    {"MPSXSOL", not_available},
    {"MPSXRNG", not_available},
    {"STOP", stop},
    {"RTOASC", ranges_to_ascii},
    {"HELP", help},
    {"USER", no_effect},
    {"ANALYSE", not_available},
    {"OUTPUT", output_problem},
    {"RECURSE", not_available},
    {"PARAOBJ", not_available},
    {"FRPRINT", ranges_to_file},
    {"MVUB", not_available},
    {"?AXNB", not_available},
    {"?INNB", not_available},
    {"?AXGLOBAL", not_available},
    {"?INGLOBAL", not_available},
    {"GOAL", not_available},
    {"IIS", infeasibility_analysis},
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
