// The guard around every exported entry point (see entry_guard.h).
#include "api/entry_guard.h"
#include "frame/message_numbers.h"

#include "frame/output.h"
#include "simplex/core/engine_state.h"

namespace kqopt {

EntryScope::EntryScope(Library& lib, Entry entry) : lib_(lib) {
  if (lib.entry_depth > 0 && entry.access != Access::kReads && entry.access != Access::kCuts) {
    // The library is not reentrant: a running operation keeps references into the
    // problem and the engine that such a call would pull away under it.
    refused_ = true;
    lib.begin_operation();
    report_error(lib, kRcInvalidCall, kqopt::kMessageRefusedInCallback);
    return;
  }
  if (lib.entry_depth == 0) lib.entry_message_switch = lib.controls.i(icv::IFPMSG);
  ++lib.entry_depth;
}

EntryScope::~EntryScope() {
  if (!refused_) --lib_.entry_depth;
}

std::int32_t fail_entry(Library* lib, Entry entry, bool out_of_memory) noexcept {
  const std::int32_t code = out_of_memory ? entry.no_space_code : kRcInvalidCall;
  if (lib == nullptr) return code;
  Library& l = *lib;
  const int message = out_of_memory ? kqopt::kMessageNoWorkspace : kqopt::kMessageInternalError;
  if (l.entry_depth == 0) {
    // The operation may have stopped inside a quiet section, half-way through a
    // message line, or with the engine between two consistent states.
    l.controls.i(icv::IFPMSG) = l.entry_message_switch;
    set_destination(l, 5);
    if (entry.access != Access::kReads) {  // the engine may be half-way
      l.engine.reset();
    }
    if (entry.access == Access::kSolves) l.controls.i(icv::IFNBAS) = 0;
  }
  try {
    report_error(l, code, message);
  } catch (...) {
    // Not even the message could be made; the error state still tells.
  }
  l.err.return_code = code;
  l.err.error_number = message;
  return code;
}

}  // namespace kqopt
