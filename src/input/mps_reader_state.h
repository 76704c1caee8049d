// The state of one MPS read, shared by the section parsers (mps_reader.cpp for the
// driver, NAME and ENDATA; mps_rows_columns.cpp for ROWS, COLUMNS, RHS and RANGES;
// mps_bounds.cpp for BOUNDS; mps_sets.cpp for SETS, MVUB and RECURSE). Internal to
// the reader.
//
// Rows are numbered in file order while reading (the dictionary's row numbers; spare
// rows follow the file's rows there). Columns are numbered in file order. The model's
// row arrays, ranges and the removal of N rows for IFNRW < 0 are settled at ENDATA.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "input/line_reader.h"
#include "input/mps_fields.h"
#include "input/mps_reader.h"
#include "input/name_dictionary.h"

namespace kqopt::input {

inline constexpr int kMaxNameWords = 25;  // 200 characters: a line holds no more
inline constexpr int kMaxNameWidth = 8 * kMaxNameWords;

// Fault weights.
inline constexpr std::int64_t kLineFault = 1;
inline constexpr std::int64_t kFatalFault = 10000;
inline constexpr std::int64_t kInvalidNumberFault = 10001;

using SetName = std::array<char, 8>;

// A set selected by a control (RHSNAM, RNGNAM, BNDNAM), or the first set seen.
struct SetChoice {
  bool chosen = false;
  SetName name{};
};

class MpsReader {
 public:
  MpsReader(Library& lib, InputFiles& files, MpsModel& model, MpsResult& result);
  void run();

  enum class Section { kNone, kRows, kColumns, kRhs, kRanges, kBounds, kSets, kMvub, kRecurse, kSkip };

  // --- driver (mps_reader.cpp) ---
  void set_up();
  bool header();  // false when reading must stop
  void data_line();
  void leave_section();
  void close_rows();
  void close_columns();
  // Enters the next free generated name of kind (spare row names go to the model too).
  bool add_spare_name(NameKind kind);
  void finish();

  // --- reporting ---
  void report(int message, std::int64_t weight);
  void put_name(std::string_view name);
  void put_set_name(const SetName& name);
  void put_line_number();
  void end_report(bool echo);
  void unrecognised_line();  // 153 with the line number, weight 1
  void invalid_number();     // 153 with the line number, weight 10001
  void fatal(int message);   // weight 10000; ends the read
  void dictionary_full();    // 114; ends the read with return code 16

  // --- fields ---
  // Cuts the fields of the current line (free layout: tokens from first_free_field on).
  // In the fixed layout, a non-blank character between the fields within the first
  // checked_columns columns makes the line unrecognised (reported; false).
  bool cut_fields(LineKind kind, int first_free_field, int checked_columns = 61);
  // Copies a name field into out (W characters); reports a free-layout token longer
  // than a name as an unrecognised line and returns false.
  bool take_name(std::string_view field, char* out);
  bool take_set_name(std::string_view field, SetName& out);
  // Parses a numeric field; reports an invalid number and returns false.
  bool take_number(std::string_view field, double& value);
  std::string_view name_view(const char* buffer) const { return {buffer, static_cast<std::size_t>(width_)}; }

  // --- lookups ---
  // File row number of a row name, kUnknownRow (spare rows included) or kRemovedRow
  // (an N row that IFNRW < 0 removed).
  static constexpr std::int32_t kUnknownRow = -1;
  static constexpr std::int32_t kRemovedRow = -2;
  std::int32_t find_row(std::string_view name) const;
  // Column number of a column name, or -1 (unknown, or the name of a spare column).
  std::int32_t find_column(std::string_view name) const {
    int j = dictionary_.find(NameKind::kColumn, name);
    return j < model_.columns() ? j : -1;
  }
  bool choose_set(SetChoice& choice, const SetName& name);
  std::string_view column_name(std::int32_t j) const { return dictionary_.name(NameKind::kColumn, j); }
  std::string_view row_name(std::int32_t r) const { return dictionary_.name(NameKind::kRow, r); }

  // --- sections ---
  void name_line();
  void rows_line();
  void columns_line();
  void marker_line(std::string_view keyword);
  bool start_column(std::string_view name);
  void end_column();
  void add_coefficient(std::int32_t row, double value);
  void rhs_line();
  void ranges_line();
  enum class Entry { kOk, kSkip, kStop };
  Entry row_entry(int p, const SetName& set, std::int32_t& row, double& value);
  // True when fields 5 and 6 of the current line hold a second entry.
  bool second_entry(LineKind kind) const;
  bool set_line_fields(SetChoice& choice, bool check_columns, SetName& set);
  void bounds_line();  // mps_bounds.cpp
  void sets_line();    // mps_sets.cpp
  void close_sets();
  void mvub_line();
  void recurse_line();

  // --- entities ---
  void add_entity(char kind, std::int32_t column, std::int32_t limit, double sc_limit);
  bool entity_room(std::string_view name);  // 107 when the list is full
  double column_coefficient(std::int32_t column, std::int32_t row) const;

  Library& lib_;
  InputFiles& files_;
  MpsModel& model_;
  MpsResult& result_;

  // Settings from the controls.
  MpsLayout layout_ = MpsLayout::kFixed;
  int width_ = 8;          // 8·k
  int number_width_ = 12;  // LENDBL
  std::int32_t ifnrw_ = 1;
  std::int32_t intmax_ = 0;
  std::int64_t row_capacity_ = 0;  // M_R: file rows and spare rows together
  std::int64_t row_limit_ = 0;
  std::int64_t column_limit_ = 0;
  std::int64_t element_limit_ = 0;
  std::int64_t entity_limit_ = 0;
  std::int64_t recursion_limit_ = 0;
  std::int32_t spare_rows_ = 0;
  std::int32_t spare_columns_ = 0;
  bool echo_comments_ = false;
  double drop_tolerance_ = 0;  // ZTOLDA
  double zero_tolerance_ = 0;  // ZTOLZE
  SetChoice rhs_choice_, range_choice_, bound_choice_;
  bool objective_selected_ = false;  // OBJNAM chooses the objective row
  std::array<char, kMaxNameWidth> objective_select_{};
  bool constant_selected_ = false;  // OBCNAM names the constant row
  std::array<char, kMaxNameWidth> constant_select_{};

  NameDictionary dictionary_;

  // The current line.
  std::string_view line_;
  std::int64_t line_number_ = 0;
  LineFields fields_;
  std::array<FieldSpans, 4> spans_{};  // by LineKind

  Section section_ = Section::kNone;
  bool stop_ = false;
  bool ended_ = false;
  bool rows_started_ = false, rows_closed_ = false;
  bool columns_started_ = false, columns_closed_ = false;

  // Rows by file number.
  std::int32_t file_rows_ = 0;
  std::vector<char> row_type_;
  std::vector<double> rhs_;
  std::vector<double> range_value_;
  std::vector<std::uint8_t> has_range_;
  std::vector<std::uint8_t> removed_;  // N rows removed for IFNRW < 0
  std::int32_t objective_row_ = -1;
  std::int32_t constant_row_ = -1;
  std::int32_t removed_rows_ = 0;
  int spare_name_counter_[2] = {0, 0};  // by NameKind

  // Columns.
  std::int32_t current_column_ = -1;
  std::array<char, kMaxNameWidth> current_name_{};
  bool skipping_column_ = false;  // a non-contiguous column's lines are being skipped
  bool in_integer_block_ = false;
  std::vector<std::int32_t> column_entity_;  // index into the entity arrays, or -1
  std::vector<std::uint8_t> integer_block_;  // declared inside an integer block
  // Coefficients in N rows that are not stored (IFNRW ≤ 0), kept for SETS reference rows.
  struct DroppedCoefficient {
    std::int32_t row, column;
    double value;
  };
  std::vector<DroppedCoefficient> dropped_;

  // RHS and RANGES: the last set name checked against the column names.
  SetName last_checked_set_{};
  bool last_checked_valid_ = false;
  bool last_checked_is_column_ = false;

  // SETS.
  std::int32_t current_set_ = -1;
  SetName current_set_name_{};

  std::int64_t mvub_ordinal_ = 0;
};

// Fills a generated spare name: eight '*' with the number right-aligned over the last
// positions, blank-padded to width.
void spare_name(int number, int width, char* out);

}  // namespace kqopt::input
