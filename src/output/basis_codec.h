// The text of basis files, with no knowledge of the library state (basis_file.h moves
// it between a problem and a file).
//
// Status codes, rows and columns alike: 0 nonbasic at lower bound, 1 basic, 2 nonbasic
// at upper bound. A row's code is that of its logical s in a·x + s = rhs, so a logical
// at its lower bound leaves the row's activity at its upper limit: the MPS keywords,
// which name the activity's limit, read XU for a row code 0 and XL for a row code 2
// (exchanged for equality rows when asked).
//
// MPS basis layout: " XU " / " XL " / " UL " / " LL " in columns 1-4, the column name
// from column 5, the row name of an exchange from column 15 (after a column name wider
// than 8 characters, two blanks after it); an optional NAME line and ENDATA. Compact
// layout: the problem name (8), six blanks, rows (6 digits), six blanks, columns (6
// digits), then one character per row and then per column, 80 to a line: 3 basic, 2 at
// upper, 1 at lower.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kqopt {

// What the codec needs to know of the problem: names without trailing blanks and
// which statuses a variable can take.
struct BasisLayout {
  std::string problem_name;
  std::vector<std::string> row_names;
  std::vector<std::string> column_names;
  // Per row: the logical's lower and upper bounds are finite; the row is an equality.
  std::vector<std::uint8_t> row_bounds;
  std::vector<std::uint8_t> column_upper_finite;
};
namespace basis_row {
inline constexpr std::uint8_t kLowerFinite = 1;
inline constexpr std::uint8_t kUpperFinite = 2;
inline constexpr std::uint8_t kEquality = 4;
}  // namespace basis_row

// The MPS layout of the basis. name_line writes the NAME line; swap_equality exchanges
// XL and XU for equality rows. Basic columns are paired with nonbasic rows in order;
// with unequal counts the surplus of either is left out (the basis is not valid then).
std::string format_mps_basis(const BasisLayout& layout, std::span<const std::int32_t> rows,
                             std::span<const std::int32_t> columns, bool name_line, bool swap_equality);

// The compact layout; nothing when a count does not fit its six digits.
std::optional<std::string> format_compact_basis(const BasisLayout& layout, std::span<const std::int32_t> rows,
                                                std::span<const std::int32_t> columns);

// One remark of a read: the message number and the name it concerns.
struct BasisNote {
  int message = 0;
  std::string name;
};

struct BasisRead {
  int error = 0;  // 0, or the message that stopped the read (9, 176, 186)
  std::vector<std::int32_t> rows;
  std::vector<std::int32_t> columns;
  std::vector<BasisNote> notes;  // 4, 131, 132, in file order
};

// Reads the MPS layout starting from the slack basis. free_format cuts fields at blanks;
// otherwise names sit in the columns above (with names wider than 8 characters a field
// ends at two blanks). Unknown names and statuses at infinite bounds are noted and the
// line skipped (a refused row status leaves the row at a finite bound); any other
// unreadable line stops the read with message 9.
BasisRead parse_mps_basis(std::string_view text, const BasisLayout& layout, bool free_format, bool swap_equality);

// Reads the compact layout: 186 when the counts differ from the layout's, 176 when the
// characters run out, 9 when the first line has no counts.
BasisRead parse_compact_basis(std::string_view text, const BasisLayout& layout);

}  // namespace kqopt
