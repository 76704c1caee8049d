// Matrix slots: up to 64 parked problems, each with its own three control tables
// (with access flags), attributes (the name record included) and problem name.
//
// Slot n holds a saved copy when slots[n] is set. The copy is either parked (its
// problem is inside the SavedMatrix) or live: after KQRESMAT(n) the library works on
// slot n's problem in place, so the current problem *is* the saved copy and "bringing
// the copy up to date" parks the current state back into the slot. A live copy holds
// no data of its own. Parked copies keep their workspace charges under one array
// number per slot; a live copy's arrays are charged as the current problem's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "library/controls.h"
#include "problem/problem.h"

namespace kqopt {

struct Library;

struct SavedMatrix {
  bool live = false;  // the library's current problem and state are this copy
  std::unique_ptr<Problem> problem;
  Controls controls;
  Attributes attributes;
  std::string problem_name;
  ProblemCharges charges;  // the per-array charges the problem had before it was parked
};

// KQSAVMAT: saves the current problem into the current slot; *slot receives its number
// (0 when there is no problem). The library then has no problem and the lowest slot
// without a saved copy becomes current (message 420 when all 64 are in use).
std::int32_t save_matrix(Library& lib, std::int32_t* slot);
// KQRESMAT: makes slot n current, restoring its problem, controls, attributes and name
// (message 398); message 421 for a slot outside 0..64 or without a saved copy.
std::int32_t restore_matrix(Library& lib, std::int32_t n);
// KQCPYMAT: as save_matrix, then continues with a copy of the saved problem in the new
// current slot, under the problem name `name`.
std::int32_t copy_matrix(Library& lib, const char* name, std::int32_t* slot);
// KQDELMAT: releases slot n's saved copy (nothing when it has none); 421 outside 0..64.
std::int32_t delete_matrix(Library& lib, std::int32_t n);

// When the current slot's copy is live, parks the current problem and state into it:
// the library is left without a problem. Used before a load replaces the problem.
void bring_slot_up_to_date(Library& lib);

}  // namespace kqopt
