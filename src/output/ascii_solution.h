// The ASCII solution files of KQTOASC (command TOASC): from the binary solution file
// "<name>.sol", a header file "<name>.hdr" of one line and a record file "<name>.asc"
// of one line per row and then per column whose name matches the mask ASCMSK.
//
// Text conventions: lines end with carriage return and line feed; fields are separated
// by commas; text is quoted and blank-padded to its width; integers are right-aligned in
// their width (a number with more digits keeps them all); reals take the 12-character
// normal form of the MPS writer, values not above ZTOLPZ in size written as 0.
//
// Records. Option letters choose the fields, in this order: s sequence (row i: i,
// column j: rows + j), n name, t type (N L G E, C for columns), b status (BS, UL, LL,
// ** outside its limits, EQ an equality row, ?? no solution status), a activity (rows:
// the right-hand side minus the slack, which is the activity a.x under the library's
// slack convention), c slack (rows) or cost (columns), l and u the limits (clamped to
// -1.0e9 and 1.0e9), d dual value or reduced cost, r the right-hand side (rows only),
// p the value of the analysis file "<name>.ana" (one double per variable), f the scale
// factor. No letter other than e and q: all but p and f. q leaves out records whose
// activity is not above ZTOLPZ in size; e converts the kept solutions so0, so1, ... into
// hd0/as0, hd1/as1, ... until one is missing.
//
// Mask: eight characters against the name's first eight; '?' matches anything, '+' an
// upper-case letter, '-' a lower-case letter, any other character itself.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/solution_codec.h"

namespace kqopt {

struct Library;

struct AsciiOptions {
  std::array<bool, 26> letters{};
  std::string mask = "????????";
  double zero = 1.0e-5;          // ZTOLPZ
  std::vector<double> analysis;  // per variable, for 'p'
  bool letter(char c) const { return letters[static_cast<std::size_t>(c - 'a')]; }
};

bool name_matches_mask(std::string_view name, std::string_view mask);

// The fields of a line, each after a comma unless it is the first: text quoted and
// blank-padded (cut) to width, an integer right-aligned in width, a real in the
// 12-character normal form (0.0 when not above zero in size).
void ascii_text_field(std::string& line, std::string_view text, std::size_t width);
void ascii_integer_field(std::string& line, std::int64_t value, int width);
void ascii_real_field(std::string& line, double value, double zero);
// N, L, G or E from a row's type word.
char row_type_letter(std::int32_t code);
// Writes contents beside file and renames it into place; on failure message 83 with
// the error and the name (return code 32), the previous file kept.
bool write_text_file(Library& lib, const std::string& file, const std::string& contents);

// The contents of the two files.
std::string ascii_header(const SolutionRecord& record, double zero);
std::string ascii_records(const SolutionRecord& record, const AsciiOptions& options);

// KQTOASC with the option letters already recorded in lib.options. A non-empty name
// replaces the problem name as the base of the files read and written. Return code:
// 0; 32 with message 91 (no solution file and no optimised problem), 122 (a solution
// file that cannot be read), 66, 67 or 64 (the analysis file of 'p'), 83 (a file
// that cannot be written: the previous one is kept).
std::int32_t write_ascii_solution(Library& lib, const std::string& name);

}  // namespace kqopt
