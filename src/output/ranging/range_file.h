// The range file "<problem>.rng": the ranges of an optimal basis kept on disk, and
// the quantities the caller reads from it (KQRANGE, KQCOLRANGE, KQROWRANGE).
//
// Layout: 8-byte items. The solution file's 32-item header unchanged, then 8 items per
// row slot and then per column: 1 name; 2 type word (rows) or element count (columns)
// and status word, as in the solution file; 3 a basic variable's activity (a row's
// a.x), else its reduced cost (dual value for a row); 4 objective coefficient (0 for
// rows); 5 lower and upper activity limit (single precision); 6 the activity changes
// r1 <= 0 and r2 >= 0 to the lower and upper activity limits; 7 for a basic variable
// how far its cost may rise (l1) and fall (l2), both >= 0, else 0; 8 the references of
// the variables limiting the move down and up, 16-bit (1-based variable number over
// the row slots and columns, negative when that variable is at or reaches its upper
// activity limit, 0 for none), the rest 0. Values in user units; 1.0e30 for none.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "output/solution_codec.h"

namespace kqopt {

struct Library;

struct RangeRecord {
  std::array<unsigned char, 256> header{};
  std::int32_t rows = 0;  // row slots
  std::int32_t columns = 0;
  bool maximise = false;
  std::vector<std::string> name;
  std::vector<std::int32_t> type_or_count;
  std::vector<std::uint32_t> status;
  std::vector<double> value;  // item 3
  std::vector<double> cost;
  std::vector<float> lower, upper, r1, r2, l1, l2;
  std::vector<std::int16_t> reference1, reference2;
};

std::vector<unsigned char> encode_ranges(const RangeRecord& record);
// False when the bytes are too short for the header or the counts it gives.
bool decode_ranges(std::span<const unsigned char> bytes, RangeRecord& record);

// The quantities of one variable as reported: activity limits, unit costs, cost limits
// (1.0e30 for none) and the two limiting variables. A basic variable's cost limits are
// its cost plus l1 and minus l2; a nonbasic one's cost may move without limit in the
// direction that makes it less attractive and by its reduced cost in the other, and a
// fixed nonbasic one's without limit either way (it never leaves its value).
struct ReportedRange {
  double activity = 0.0;
  double lower_activity = 0.0, upper_activity = 0.0;
  double lower_unit_cost = 0.0, upper_unit_cost = 0.0;
  double upper_cost = 0.0, lower_cost = 0.0;
  std::int32_t limiting1 = 0, limiting2 = 0;
};
ReportedRange reported_range(const RangeRecord& record, std::size_t v);

// KQRANGE: ranges the optimal basis and writes the range file (errors 91, 11, 179;
// 122 with return code 32 when the file cannot be written).
std::int32_t write_range_file(Library& lib);

// KQCOLRANGE / KQROWRANGE: per column (upper activity, lower activity, upper unit cost,
// lower unit cost, upper cost limit, lower cost limit) and per kept row (the first
// four) from the range file; null arrays are skipped. 91 no problem; 122 (return code
// 32) when the file cannot be read or belongs to a problem of another size.
std::int32_t column_ranges(Library& lib, std::array<double*, 6> arrays);
std::int32_t row_ranges(Library& lib, std::array<double*, 4> arrays);

// Reads the problem's range file; false when it cannot be opened or read.
bool read_range_file(const Library& lib, RangeRecord& record);
// The same from a named file.
bool read_range_file(const std::string& file, RangeRecord& record);

// The solution header the range file copies, decoded (no per-variable items).
SolutionRecord range_header(const RangeRecord& record);
// The name and status ("LL", "UL") of the variable a limiting reference names; blanks
// for 0 or a reference outside the record.
std::string limiting_name(const RangeRecord& record, std::int32_t reference);
std::string limiting_status(const RangeRecord& record, std::int32_t reference);

}  // namespace kqopt
