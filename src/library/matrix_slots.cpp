// Matrix slots: saving, restoring, copying and deleting parked problems (see
// matrix_slots.h for the live and parked states of a slot).
//
// Invariant: a parked slot n holds its problem, state and one workspace charge under
// problem_array::kSavedSlotBase + n; a live slot holds nothing and is the current
// slot; at most one slot is live.
#include "library/matrix_slots.h"

#include "frame/message_numbers.h"
#include "library/library.h"
#include "library/lifecycle.h"
#include "problem/arrays.h"
#include "problem/charges.h"
#include "problem/load_steps.h"

namespace kqopt {

namespace {

int slot_charge_number(int n) { return problem_array::kSavedSlotBase + n; }

bool valid_slot(std::int32_t n) { return n >= 0 && n <= kMatrixSlots; }

// Moves the current problem and state into slot n, which becomes parked (an older
// parked copy there is replaced). The problem's array charges become one charge of the
// slot: the same bytes, so it always fits.
void park(Library& lib, int n) {
  std::unique_ptr<SavedMatrix>& slot = lib.slots[static_cast<std::size_t>(n)];
  if (!slot) slot = std::make_unique<SavedMatrix>();
  if (!slot->live && slot->problem) lib.workspace.release(slot_charge_number(n));
  slot->charges = lib.problem->charges;
  release_arrays(lib, *lib.problem);
  (void)lib.workspace.charge(slot_charge_number(n), slot->charges.total());
  slot->problem = std::move(lib.problem);
  slot->controls = lib.controls;
  slot->attributes = lib.attributes;
  slot->problem_name = lib.problem_name;
  slot->live = false;
  lib.controls.i(icv::IFMEM) = 0;
  clear_problem_counts(lib);
}

// Makes parked slot n live: its problem (with its per-array charges), controls,
// attributes and name become the library's.
void unpark(Library& lib, int n) {
  SavedMatrix& slot = *lib.slots[static_cast<std::size_t>(n)];
  lib.workspace.release(slot_charge_number(n));
  lib.problem = std::move(slot.problem);
  lib.problem->charges = slot.charges;
  (void)recharge_arrays(lib, *lib.problem);
  lib.controls = slot.controls;
  lib.attributes = slot.attributes;
  lib.problem_name = slot.problem_name;
  slot.live = true;
}

int lowest_free_slot(const Library& lib) {
  for (int n = 1; n <= kMatrixSlots; ++n) {
    if (!lib.slots[static_cast<std::size_t>(n)]) return n;
  }
  return 0;
}

}  // namespace

void bring_slot_up_to_date(Library& lib) {
  SavedMatrix* slot = lib.slots[static_cast<std::size_t>(lib.current_slot)].get();
  if (slot == nullptr || !slot->live) return;
  if (!lib.problem) {
    slot->live = false;
    return;
  }
  park(lib, lib.current_slot);
}

std::int32_t save_matrix(Library& lib, std::int32_t* slot_number) {
  lib.begin_operation();
  if (!lib.has_problem()) {
    if (slot_number) *slot_number = 0;
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  const int n = lib.current_slot;
  park(lib, n);
  if (slot_number) *slot_number = n;
  const int free_slot = lowest_free_slot(lib);
  if (free_slot == 0) {
    report_error(lib, kRcInvalidCall, kMessageSlotsFull);
    return lib.err.return_code;
  }
  lib.current_slot = free_slot;
  return 0;
}

std::int32_t restore_matrix(Library& lib, std::int32_t n) {
  lib.begin_operation();
  if (!valid_slot(n) || !lib.slots[static_cast<std::size_t>(n)]) {
    report_error(lib, kRcInvalidCall, kMessageBadSlot, {n});
    return lib.err.return_code;
  }
  SavedMatrix& target = *lib.slots[static_cast<std::size_t>(n)];
  if (n == lib.current_slot) {
    // The current slot: nothing to do, unless its copy is parked and no problem is
    // loaded (a save that found every slot in use), when it is brought back.
    if (target.live || lib.problem) return 0;
  } else {
    bring_slot_up_to_date(lib);
    if (lib.problem) release_arrays(lib, *lib.problem);
    lib.problem.reset();
  }
  unpark(lib, n);
  lib.current_slot = n;
  print_message(lib, kMessageRestored);
  put_string(lib, lib.problem_name.c_str());
  flush_line(lib);
  return 0;
}

std::int32_t copy_matrix(Library& lib, const char* name, std::int32_t* slot_number) {
  std::int32_t saved = 0;
  if (std::int32_t rc = save_matrix(lib, &saved); rc != 0) {
    if (slot_number) *slot_number = saved;
    return rc;
  }
  if (slot_number) *slot_number = saved;
  const SavedMatrix& slot = *lib.slots[static_cast<std::size_t>(saved)];
  auto copy = std::make_unique<Problem>(*slot.problem);
  copy->charges = slot.charges;
  if (!recharge_arrays(lib, *copy)) return lib.err.return_code;
  copy->serial = ++lib.problems_made;
  lib.problem = std::move(copy);
  lib.attributes = slot.attributes;
  lib.controls.i(icv::IFMEM) = slot.controls.i(icv::IFMEM);
  if (name != nullptr) set_problem_name(lib, name);
  return 0;
}

std::int32_t delete_matrix(Library& lib, std::int32_t n) {
  lib.begin_operation();
  if (!valid_slot(n)) {
    report_error(lib, kRcInvalidCall, kMessageBadSlot, {n});
    return lib.err.return_code;
  }
  std::unique_ptr<SavedMatrix>& slot = lib.slots[static_cast<std::size_t>(n)];
  if (!slot) return 0;
  if (!slot->live) lib.workspace.release(slot_charge_number(n));
  slot.reset();
  return 0;
}

}  // namespace kqopt
