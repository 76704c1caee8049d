// The library state: one object owns everything the library knows. The exported
// entry points use one process-wide instance; tests build their own.
#pragma once

#include <array>
#include <csignal>
#include <cstdint>
#include <memory>
#include <string>

#include "frame/error_state.h"
#include "frame/file_units.h"
#include "frame/output.h"
#include "library/callbacks.h"
#include "library/controls.h"
#include "library/workspace.h"

namespace kqopt {

struct Problem;
struct SavedMatrix;
struct EngineState;
struct GlobalSearch;
struct CutPool;

inline constexpr int kMatrixSlots = 64;
inline constexpr int kMaxProblemNameLength = 63;

// Where the library looks for its message file and start-up command file.
struct Directories {
  std::string primary;    // the caller's path, else the host executable's directory
  std::string secondary;  // TARKEN, or the executable's directory when a path is given
  std::string library;    // the directory of the shared library itself
};

// State of the command interpreter that outlives one line.
struct InterpreterState {
  std::string line;  // the current command line, blanks removed
  std::size_t read_position = 0;
  using LineSource = void (*)(char* buffer, std::int32_t* length);
  LineSource source = nullptr;
  int open_command_files = 0;
};

struct Library {
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  ErrorState err;
  Controls controls;
  Attributes attributes;
  MessageOutput out;
  FileUnits units;
  Workspace workspace;
  Callbacks callbacks;
  Directories dirs;
  InterpreterState interpreter;

  bool initialised = false;
  bool first_initialisation_done = false;
  std::int32_t memsize = 0;

  // Problem name: at most 63 characters; files are named <name>.<ext>.
  std::string problem_name = "$$$$$$$$";

  // 26 option letters recorded for one call.
  std::array<bool, 26> options{};
  bool option(char letter) const {
    return letter >= 'a' && letter <= 'z' && options[static_cast<std::size_t>(letter - 'a')];
  }

  // Set asynchronously by the console break handler and the page prompt.
  volatile std::sig_atomic_t user_interrupt = 0;
  bool take_interrupt() {
    bool was = user_interrupt != 0;
    user_interrupt = 0;
    return was;
  }

  // Outcome of the last linear optimisation, for the STOP exit code: 0 none run.
  int last_lp_outcome = 0;
  bool global_search_set_up = false;
  // True while a global search runs (its callbacks may call the library).
  bool global_search_active = false;

  // The current problem (null: none loaded) and the matrix slots 1..64.
  std::unique_ptr<Problem> problem;
  int current_slot = 1;
  std::array<std::unique_ptr<SavedMatrix>, kMatrixSlots + 1> slots;

  // The simplex engine's basis, factorisation and solution (null before the first
  // optimisation).
  std::unique_ptr<EngineState> engine;
  // The state of the global search (null before the first; it belongs to the problem
  // whose serial it holds).
  std::unique_ptr<GlobalSearch> global;
  // The cut pool (null unless IFCUTP was set when the problem was read; it belongs to
  // the problem whose serial it holds).
  std::unique_ptr<CutPool> cut_pool;
  // Serial numbers handed to problems as they are made (Problem::serial).
  std::uint64_t problems_made = 0;

  // Exported calls under way (more than one while a callback calls back), and the
  // message switch the outermost one found, for recovery after an exception.
  int entry_depth = 0;
  std::int32_t entry_message_switch = 1;

  // A problem counts as loaded once the finishing step of a load has accepted it.
  bool has_problem() const;
  // Begins an operation: clears the return code and the error number.
  void begin_operation() { err.clear(); }
};

// File name of the problem with a three-letter extension: "<name>.<ext>".
std::string problem_file_name(const Library& lib, const char* extension);

}  // namespace kqopt
