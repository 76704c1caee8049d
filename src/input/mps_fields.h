// Fields of MPS data lines in the three layouts.
//
// Fixed layout (name words k = 1 and numeric width LENDBL ≤ 12), 1-based columns:
//   field 1: 2–3 (a code), field 2: 5–12, field 3: 15–22, field 4: 25–36 (a number),
//   field 5: 40–47, field 6: 50–61 (a number); characters after column 61 are ignored.
// Wide layout (k > 1 or LENDBL > 12): one entry per line, name fields 8·k wide.
//   Column lines (COLUMNS, MVUB, RECURSE): name at column 5, second name at
//   15 + 8(k−1), value at 25 + 16(k−1).
//   Set lines (RHS, RANGES, BOUNDS, SETS): set name in 5–12, name at column 15,
//   value at 25 + 8(k−1), a second number (SC bounds) at 40 + 8(k−1).
// Free layout: the line is split at blanks (and tabs) into tokens, which are the
//   fields in order, starting at field 1 or at field 2 depending on the line kind.
//
// FieldSpan and LineFields work on string_views into the line: no copying.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kqopt::input {

enum class MpsLayout { kFixed, kWide, kFree };

struct FieldSpan {
  int start = 0;  // 0-based character position
  int width = 0;
};

// The spans of fields 1..6 (index 0 unused) for one kind of line, and the line length
// from which fields 5 and 6 hold a second entry (0: never).
struct FieldSpans {
  std::array<FieldSpan, 7> field{};
  int second_entry_length = 0;
};

enum class LineKind {
  kRows,        // field 1 type, field 2 name
  kColumnLine,  // COLUMNS, MVUB, RECURSE
  kSetLine,     // RHS, RANGES, BOUNDS, SETS members
  kSetsLine,    // SETS (a second entry from column 40 in the fixed layout)
};

// Spans of a line kind for the fixed or wide layout. name_width is 8·k.
FieldSpans spans_for(LineKind kind, MpsLayout layout, int name_width, int number_width);

// The fields of one data line.
struct LineFields {
  std::array<std::string_view, 7> field{};  // 1..6; empty when absent
  int tokens = 0;                           // free layout: the number of tokens
};

// Cuts the fields of a fixed or wide line.
void cut_fixed_fields(std::string_view line, const FieldSpans& spans, LineFields& out);
// Splits a free-layout line into tokens placed from field `first_field` on. Tokens
// beyond field 6 are counted but not kept.
void split_free_fields(std::string_view line, int first_field, LineFields& out);

// True when every character of line from position 1 up to `until` (0-based, exclusive)
// that lies outside the fields is blank. In the fixed layout a name or number that
// runs past its field would otherwise be cut silently.
bool gaps_blank(std::string_view line, const FieldSpans& spans, int until);

// Copies text into out (width characters), blank-padded; false when text has more
// than width characters after its trailing blanks are dropped.
bool pad_name(std::string_view text, int width, char* out);

// True when text holds only blanks (or is empty).
bool is_blank(std::string_view text);

// Drops trailing blanks.
std::string_view trim_right(std::string_view text);

}  // namespace kqopt::input
