// The guard around every exported entry point: nothing thrown inside the library
// reaches the caller, and a call that would change the problem while another
// operation is running (from one of its callbacks) is refused.
//
// Out of memory ends the operation with message 20 and the entry's no-space return
// code (1 for the loads, 4 for the optimisers and the initialisation, 32 elsewhere); any other exception with
// message 437 and return code 32. Either way the library stays usable: the message
// switch and the message line are restored, and an interrupted optimisation drops
// the engine state so that the next solve starts afresh.
#pragma once

#include <cstdint>
#include <new>

#include "api/library_instance.h"

namespace kqopt {

enum class Access {
  kReads,    // leaves the problem as it is; allowed from callbacks
  kFactors,  // may refactorise the basis; allowed from callbacks (the engine refuses
             // while it runs); an exception drops the engine
  kChanges,  // changes the problem, the basis or the library: refused from callbacks
  kSolves,   // an optimisation: refused from callbacks; an exception drops the engine
  kCuts,     // changes the LP's cut rows: allowed from callbacks (the cut operations
             // refuse outside the cut managers); an exception drops the engine
};

struct Entry {
  Access access;
  std::int32_t no_space_code;
};

inline constexpr Entry kReads{Access::kReads, kRcInvalidCall};
inline constexpr Entry kFactors{Access::kFactors, kRcInvalidCall};
inline constexpr Entry kChanges{Access::kChanges, kRcInvalidCall};
inline constexpr Entry kStarts{Access::kChanges, kRcResource};
inline constexpr Entry kLoads{Access::kChanges, kRcNoFit};
inline constexpr Entry kSolves{Access::kSolves, kRcResource};
inline constexpr Entry kCutRows{Access::kCuts, kRcInvalidCall};

// Book-keeping of one guarded call: the nesting depth and what to restore after an
// exception.
class EntryScope {
 public:
  EntryScope(Library& lib, Entry entry);
  ~EntryScope();
  EntryScope(const EntryScope&) = delete;
  EntryScope& operator=(const EntryScope&) = delete;
  // True (after message 438 and return code 32) when the call must not run now.
  bool refused() const { return refused_; }

 private:
  Library& lib_;
  bool refused_ = false;
};

// Turns an exception caught by guarded() into the failure of the operation; lib is
// null when the library state itself could not be made.
std::int32_t fail_entry(Library* lib, Entry entry, bool out_of_memory) noexcept;

template <class Body>
std::int32_t guarded(Entry entry, Body&& body) noexcept {
  Library* lib = nullptr;
  try {
    lib = &the_library();
    EntryScope scope(*lib, entry);
    if (scope.refused()) return kRcInvalidCall;
    return body(*lib);
  } catch (const std::bad_alloc&) {
    return fail_entry(lib, entry, true);
  } catch (...) {
    return fail_entry(lib, entry, false);
  }
}

}  // namespace kqopt
