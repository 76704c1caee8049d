// The MPS reader: reads the sections of an MPS file (fixed, wide or free layout) into
// an MpsModel, the problem as the file gives it, ready for the loader.
//
// The reader counts faults and keeps going: a fault of one line weighs 1, an invalid
// number 10000 + 1, an integer bound beyond INTMAX 10000. Faults of capacity (rows,
// columns, elements, global entities beyond their limits) end the read at once, as do
// a full name dictionary, an input failure, an interrupt and the end of the file
// before ENDATA. Every message about a faulty line is followed by the line's first 72
// characters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "problem/problem.h"

namespace kqopt {
struct Library;
}

namespace kqopt::input {

class InputFiles;

// The problem as read. Rows are the kept rows in file order (N rows that IFNRW < 0
// removes are gone, and counted in extra_spare_rows); columns are in file order. All
// indices are 0-based. Names are name_width characters each, blank-padded.
struct MpsModel {
  std::string problem_name;  // from the NAME line, at most 8 characters
  int name_width = 8;        // 8·k

  // Rows: type 'N', 'L', 'G', 'E' or 'R' (ranged: activity in [rhs − range, rhs]).
  std::vector<char> row_type;
  std::vector<double> rhs;    // the objective row's entry is 0: see objective_constant
  std::vector<double> range;  // |range| for 'R' rows, else 0
  std::vector<char> row_names;
  std::int32_t objective_row = -1;  // the N row whose coefficients form the objective
  std::int32_t constant_row = -1;   // the N row named OBCNAM, kept in the matrix
  double objective_constant = 0.0;  // minus the objective row's right-hand side

  // Spare rows: NRXTRA slots plus the N rows removed, with generated names.
  std::int32_t extra_spare_rows = 0;
  std::vector<char> spare_row_names;

  // Columns and the column-wise matrix (column j: column_start[j]..column_start[j+1]−1).
  std::vector<double> cost;
  std::vector<double> lower;
  std::vector<double> upper;
  std::vector<char> column_names;
  std::vector<std::uint8_t> column_empty;  // 1: no element and zero cost (message 16)
  std::vector<std::int32_t> column_start{0};
  std::vector<std::int32_t> element_row;
  std::vector<double> element_value;

  // Column entities in order of declaration: kind 'I', 'B', 'S' or 'P'.
  std::vector<char> entity_kind;
  std::vector<std::int32_t> entity_column;
  std::vector<std::int32_t> entity_limit;  // partial-integer limit
  std::vector<double> entity_sc_limit;     // semi-continuous second number

  // Special ordered sets: type '1' or '2', members set_start[k]..set_start[k+1]−1
  // sorted by ascending weight, the reference row or −1, the set's name.
  std::vector<char> set_type;
  std::vector<std::int32_t> set_start{0};
  std::vector<std::int32_t> set_column;
  std::vector<double> set_weight;
  std::vector<std::int32_t> set_reference_row;
  std::vector<char> set_names;

  std::vector<DeferredPair> mvub;
  // Recursion records: row is the 0-based row; columns[0] the 0-based column j;
  // columns[1], columns[2] the variables a and b as 0-based variable indices of the
  // loaded problem (row i → i, column j → M + j, M = rows + spare rows), −1 when
  // absent; values[0] is v (1.0 when zero or missing), values[1] the tolerance of CV.
  std::vector<RecursionRecord> recursion;

  // The sets that were read (8 characters, blank-padded) and the objective row's name.
  std::string rhs_set = "        ";
  std::string range_set = "        ";
  std::string bound_set = "        ";
  std::string objective_name = "        ";

  std::int32_t rows() const { return static_cast<std::int32_t>(row_type.size()); }
  std::int32_t columns() const { return static_cast<std::int32_t>(cost.size()); }
};

enum class MpsOutcome {
  kRead,            // ENDATA reached: the model is complete (faults may have been counted)
  kFailed,          // a fatal fault, an input failure, an interrupt, or no ENDATA
  kDictionaryFull,  // the name dictionary overflowed (message 114)
};

struct MpsResult {
  MpsOutcome outcome = MpsOutcome::kFailed;
  std::int64_t faults = 0;    // weighted fault count
  std::int64_t lines = 0;     // lines read
  std::vector<int> messages;  // numbers of the messages printed, in order (first 10000)
};

// Reads the MPS file open at the top of files into model. Reads the controls FREFMT,
// NAMLEN, LENDBL, IFNRW, INTMAX, NRXTRA, NCXTRA, NMXTRA, NGXTRA, M_R, M_C, M_M, NGEMAX,
// NRCRMX, PRNLVL, ZTOLDA, ZTOLZE and the character controls RHSNAM, OBJNAM, RNGNAM,
// BNDNAM (each used as a selector only when the caller set it) and OBCNAM.
MpsResult read_mps(Library& lib, InputFiles& files, MpsModel& model);

}  // namespace kqopt::input
