// The bytes of the binary solution file "<problem>.sol": the record a solve leaves and
// its encoding, with no knowledge of the library state (solution_file.h fills the
// record from a solve and moves the bytes to and from the file).
//
// Layout: 8-byte items. A header of 32 items (1 problem name; 2 rows, columns;
// 3 objective row, then status character, sense code (1 min, 2 max), global flag,
// 0; 4 iterations, primal infeasibilities; 8 reserved byte, format byte, writer
// byte, version / 100, then an integer; 9 objective; 10 sum of infeasibilities;
// 11 objective row name; 12 right-hand-side set; 13 bound set; 23 range set; the
// rest reserved), then 8 items per row slot and then per column: name; type word
// (rows) or element count (columns) with the status word (low 16 bits, scale
// exponent above, 0x40 when outside its bounds by more than ZTOLZE); activity
// (columns) or slack (rows); objective coefficient (columns) or 0; lower and upper
// limit (of the activity a.x = rhs - slack for rows, of the value for columns); the
// right-hand side (rows) or 0; reduced cost (columns) or dual value (rows). Values
// in user units.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kqopt {

struct SolutionRecord {
  std::string problem_name;
  std::int32_t rows = 0;
  std::int32_t columns = 0;
  char status_character = 'Z';
  bool maximise = false;
  bool global = false;
  std::int32_t iterations = 0;
  std::int32_t primal_infeasibilities = 0;
  double objective = 0.0;
  double sum_infeasibilities = 0.0;
  std::int32_t objective_row = 0;             // 1-based; 0 when the objective has no row
  std::string objective_name;                 // blank-padded to 8
  std::string rhs_set, bound_set, range_set;  // rhs_set is read back too; blank-padded to 8
  // Per variable, rows first: name, type word (rows) or element count (columns),
  // status word as stored (low 16 bits the status, the scale exponent above; a read
  // keeps the low 16 bits), slack (rows) or activity (columns), objective coefficient
  // (columns), activity limits (rows) or bounds (columns), right-hand side (rows),
  // dual value (rows) or reduced cost (columns).
  std::vector<std::string> name;
  std::vector<std::int32_t> type_or_count;
  std::vector<std::uint32_t> status;
  std::vector<double> value;
  std::vector<double> cost;
  std::vector<double> lower;
  std::vector<double> upper;
  std::vector<double> rhs;  // rows
  std::vector<double> dual;
  // Filled by a read: the scale exponent kept above the status (64 when neutral).
  std::vector<std::int32_t> scale_exponent;
};

// The file's bytes for record; every per-variable vector holds rows + columns entries.
std::vector<unsigned char> encode_solution(const SolutionRecord& record);

// Fills record from the bytes of a file; false when they are too short for the header
// or for the counts it gives.
bool decode_solution(std::span<const unsigned char> bytes, SolutionRecord& record);

}  // namespace kqopt
