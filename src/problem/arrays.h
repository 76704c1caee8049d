// Workspace array numbers of the problem: the one place that names them. A load
// charges each array to the workspace budget under its number (message 20 reports the
// number of an array that does not fit); saved matrix slots hold their problem's
// charges under one number per slot.
#pragma once

namespace kqopt::problem_array {

inline constexpr int kRowTypes = 1;     // M bytes
inline constexpr int kNames = 2;        // 8·k characters per variable
inline constexpr int kLowerBounds = 3;  // per variable and spare column
inline constexpr int kUpperBounds = 4;
inline constexpr int kStatusWords = 5;
inline constexpr int kRightHandSides = 6;  // M doubles
inline constexpr int kObjective = 7;       // per column and spare column
inline constexpr int kColumnStarts = 8;
inline constexpr int kElementRows = 9;  // elements + spare elements
inline constexpr int kElementValues = 10;
inline constexpr int kEntities = 11;  // entities + spare entities
inline constexpr int kSetMembers = 12;
inline constexpr int kDirectives = 13;     // priority word and two pseudo-costs per entity
inline constexpr int kRowWiseStarts = 14;  // the row-wise copy, charged when it is built
inline constexpr int kRowWiseColumns = 15;
inline constexpr int kRowWiseValues = 16;
inline constexpr int kReaderRecords = 17;  // deferred pairs and recursion records

inline constexpr int kLast = 17;

// Saved matrix slot s (1..64) is charged as one block under kSavedSlotBase + s.
inline constexpr int kSavedSlotBase = 100;

}  // namespace kqopt::problem_array
