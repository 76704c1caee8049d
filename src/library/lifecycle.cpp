// Library initialisation and release.
#include "library/lifecycle.h"

#include <cstdlib>
#include <cstring>

#include "frame/message_numbers.h"
#include "global/cuts/cut_pool.h"
#include "library/library.h"
#include "library/matrix_slots.h"
#include "library/platform.h"
#include "simplex/core/engine_state.h"

namespace kqopt {

namespace {

constexpr const char* kMessageFileName = "rb-opt.msg";
constexpr const char* kVersionString = "10.63 ";

std::string join_path(const std::string& directory, const char* file) {
  if (directory.empty()) return file;
  return directory.back() == '/' ? directory + file : directory + "/" + file;
}

void set_up_directories(Library& lib, const char* path) {
  const char* tarken = std::getenv("TARKEN");
  lib.dirs.secondary = tarken ? tarken : "";
  lib.dirs.primary = executable_directory();
  lib.dirs.library = library_directory();
  if (path != nullptr && path[0] != '\0') {
    if (lib.dirs.secondary.empty()) lib.dirs.secondary = lib.dirs.primary;
    lib.dirs.primary = path;
  } else if (!lib.dirs.secondary.empty()) {
    std::swap(lib.dirs.primary, lib.dirs.secondary);
  }
}

enum class MessageFileOutcome { kOk, kNotFound, kWrongVersion, kUnreadable };

MessageFileOutcome open_message_file(Library& lib) {
  MessageCatalogue& catalogue = lib.out.catalogue;
  bool opened = false;
  for (const std::string* dir : {&lib.dirs.primary, &lib.dirs.secondary, &lib.dirs.library}) {
    if (dir != &lib.dirs.primary && dir->empty()) continue;
    if (catalogue.open(lib.units, join_path(*dir, kMessageFileName))) {
      opened = true;
      break;
    }
  }
  if (!opened) return MessageFileOutcome::kNotFound;
  int message_class = 0;
  std::string version;
  if (catalogue.lookup(lib.units, 1, message_class, version) != MessageCatalogue::Status::kOk) {
    return MessageFileOutcome::kUnreadable;
  }
  version.resize(6, ' ');
  for (int i = 0; i < 6; ++i) {
    if (version[i] == kVersionString[i]) continue;
    bool plausible = version[i] == ' ' || (version[i] >= '0' && version[i] <= '9');
    if (i == 0 && !plausible) return MessageFileOutcome::kUnreadable;
    return MessageFileOutcome::kWrongVersion;
  }
  return MessageFileOutcome::kOk;
}

void set_capacities(Library& lib, std::int64_t w) {
  Controls& c = lib.controls;
  std::int64_t mxanod = 8;
  if (w < 32000000) mxanod = 8 * (w / 16) / 2000000;
  std::int64_t k = (w - 20 * mxanod - 1048576) / 296;
  auto clamp = [](std::int64_t v) {
    return static_cast<std::int32_t>(v > 2147483647 ? 2147483647 : (v < -2147483647 ? -2147483647 : v));
  };
  c.i(icv::MXANOD) = clamp(mxanod);
  c.i(icv::M_R) = clamp(k - 1);
  c.i(icv::M_C) = clamp(k);
  c.i(icv::NGEMAX) = clamp(k);
  c.i(icv::M_M) = clamp(10 * k);
}

}  // namespace

std::int32_t initialise(Library& lib, const char* path, std::int32_t memsize) {
  lib.memsize = memsize;
  set_up_directories(lib, path);
  lib.err = ErrorState{};
  lib.problem.reset();
  lib.engine.reset();
  // Nothing read back after a fresh start may describe a problem of the previous run.
  lib.attributes = Attributes{};
  lib.out.catalogue.close(lib.units);
  lib.out.line_unusable = false;
  lib.out.length = 1;
  lib.out.cursor = 1;
  lib.out.display_threshold = 1.0e-5;
  lib.callbacks = Callbacks{};
  lib.interpreter.source = nullptr;
  lib.controls.set_defaults();

  begin_quiet(lib);
  MessageFileOutcome outcome = open_message_file(lib);
  end_quiet(lib);
  switch (outcome) {
    case MessageFileOutcome::kOk:
      break;
    case MessageFileOutcome::kNotFound:
      emit_fixed_line(lib, "?0:error - message file not found", 4);
      emit_fixed_line(lib, "check environment variable TARKEN set correctly", 4);
      break;
    case MessageFileOutcome::kWrongVersion:
      emit_fixed_line(lib, "?1:wrong version of message file", 4);
      break;
    case MessageFileOutcome::kUnreadable:
      emit_fixed_line(lib, "?2:error reading the message file", 4);
      break;
  }
  if (outcome != MessageFileOutcome::kOk) {
    lib.out.catalogue.close(lib.units);
    lib.err.return_code = kRcFatal;
    lib.err.error_number = kMessageFileError;
    return lib.err.return_code;
  }

  // The workspace is a budget: nothing is committed until arrays are charged to it.
  std::int64_t w = memsize == 2147483647 ? 0 : memsize;
  w = w / 16 * 16;
  if (w == 0) w = obtainable_memory() / 16 * 16;
  if (w <= 0) {
    report_error(lib, kRcResource, kMessageWorkspaceNotObtained);
    return lib.err.return_code;
  }
  lib.workspace.reset(w);
  if (!lib.first_initialisation_done) {
    lib.first_initialisation_done = true;
    print_message(lib, kMessageWorkspaceSize);
    put_integer(lib, w, 12);
    flush_line(lib);
  }

  set_capacities(lib, w);
  const Controls& c = lib.controls;
  for (auto [check, violated] :
       {std::pair{1, c.i(icv::M_C) < c.i(icv::M_R)}, std::pair{6, c.i(icv::M_C) < c.i(icv::NGEMAX)}}) {
    if (violated) {
      report_error(lib, kRcFatal, kMessageCapacities, {1, check});
    }
  }
  if (lib.err.return_code != 0) return lib.err.return_code;

  lib.initialised = true;
  lib.last_lp_outcome = 0;
  lib.global_search_set_up = false;
  lib.controls.i(icv::IFDBG) = 1;
  flush_notice(lib);
  return lib.err.return_code;
}

void release(Library& lib) {
  lib.out.catalogue.close(lib.units);
  lib.units.close_all();
  lib.problem.reset();
  lib.engine.reset();
  lib.cut_pool.reset();  // its cuts belong to the problem just released
  lib.attributes = Attributes{};
  for (auto& slot : lib.slots) slot.reset();
  lib.current_slot = 1;
  lib.workspace.reset(0);
  lib.initialised = false;
}

void set_problem_name(Library& lib, const char* name) {
  lib.problem_name.assign(name, strnlen(name, kMaxProblemNameLength));
  lib.interpreter.line.clear();
  lib.interpreter.read_position = 0;
}

}  // namespace kqopt
