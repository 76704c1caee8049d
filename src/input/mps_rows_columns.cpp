// The sections ROWS, COLUMNS, RHS and RANGES of the MPS reader, with the closing steps
// of ROWS (spare rows) and COLUMNS (the last column's check, spare columns, and the
// removal of N rows for IFNRW < 0).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "frame/message_numbers.h"
#include "input/mps_reader_state.h"
#include "library/library.h"

namespace kqopt::input {

// ---------------------------------------------------------------------------------
// ROWS

void MpsReader::rows_line() {
  char type;
  if (layout_ == MpsLayout::kFree) {
    split_free_fields(line_, 1, fields_);
    type = fields_.field[1].empty() ? ' ' : fields_.field[1][0];
    if (fields_.tokens != 2) {
      unrecognised_line();
      return;
    }
  } else {
    if (!cut_fields(LineKind::kRows, 1)) return;
    type = line_.size() > 1 ? line_[1] : ' ';
    if (type == ' ' && line_.size() > 2) type = line_[2];
  }
  if (type >= 'a' && type <= 'z') type = static_cast<char>(type - 'a' + 'A');
  char name[kMaxNameWidth];
  if (!take_name(fields_.field[2], name)) return;
  if ((type != 'N' && type != 'L' && type != 'G' && type != 'E') || is_blank(name_view(name))) {
    unrecognised_line();
    return;
  }
  if (file_rows_ >= row_limit_) {
    fatal(kMessageTooManyRows);
    put_integer(lib_, row_limit_, 12);
    end_report(true);
    return;
  }
  NameDictionary::Insertion inserted = dictionary_.insert(NameKind::kRow, name_view(name));
  if (inserted.number == NameDictionary::kNotFound) {
    dictionary_full();
    return;
  }
  if (inserted.existed) {
    report(kMessageDuplicateRow, kLineFault);
    put_name(name_view(name));
    end_report(true);
    return;
  }
  std::int32_t r = file_rows_++;
  row_type_.push_back(type);
  rhs_.push_back(0.0);
  range_value_.push_back(0.0);
  has_range_.push_back(0);
  removed_.push_back(0);
  if (type == 'N') {
    if (constant_selected_ && constant_row_ < 0 &&
        std::memcmp(name, constant_select_.data(), static_cast<std::size_t>(width_)) == 0) {
      constant_row_ = r;
    } else if (objective_row_ < 0) {
      if (!objective_selected_ || std::memcmp(name, objective_select_.data(), static_cast<std::size_t>(width_)) == 0) {
        objective_row_ = r;
      }
    }
  }
}

void MpsReader::close_rows() {
  if (rows_closed_) return;
  rows_closed_ = true;
  if (objective_selected_ && objective_row_ < 0) {
    // The objective row that OBJNAM asks for is not among the N rows.
    report(kMessageUnknownRow, kLineFault);
    put_name(name_view(objective_select_.data()));
    end_report(false);
  }
  // Spare rows: generated names, skipping any that a row already has, once they are
  // known to fit.
  if (!stop_ && file_rows_ + static_cast<std::int64_t>(spare_rows_) > row_capacity_) {
    fatal(kMessageTooManyRows);
    put_integer(lib_, row_limit_, 12);
    end_report(false);
    return;
  }
  for (std::int32_t i = 0; i < spare_rows_ && !stop_; ++i) add_spare_name(NameKind::kRow);
}

bool MpsReader::add_spare_name(NameKind kind) {
  char name[kMaxNameWidth];
  int& counter = spare_name_counter_[static_cast<int>(kind)];
  do {
    spare_name(++counter, width_, name);
  } while (dictionary_.find(kind, name_view(name)) != NameDictionary::kNotFound);
  if (dictionary_.insert(kind, name_view(name)).number == NameDictionary::kNotFound) {
    dictionary_full();
    return false;
  }
  if (kind == NameKind::kRow) model_.spare_row_names.insert(model_.spare_row_names.end(), name, name + width_);
  return true;
}

// ---------------------------------------------------------------------------------
// COLUMNS

void MpsReader::columns_line() {
  if (!cut_fields(LineKind::kColumnLine, 2)) return;
  // A marker line: 'MARKER' in field 3, the keyword in field 5 (the marker keywords
  // stay in columns 15 and 40 in the wide layout; in the free layout the keyword is
  // the token after 'MARKER').
  std::string_view marker_field;
  std::string_view keyword;
  if (layout_ == MpsLayout::kFree) {
    marker_field = fields_.field[3];
    keyword = fields_.field[4];
  } else {
    marker_field =
        line_.size() > 14 ? line_.substr(14, std::min<std::size_t>(line_.size() - 14, 8)) : std::string_view();
    keyword = line_.size() > 39 ? line_.substr(39, std::min<std::size_t>(line_.size() - 39, 8)) : std::string_view();
  }
  if (marker_field == "'MARKER'") {
    marker_line(keyword);
    return;
  }

  if (layout_ == MpsLayout::kFree && fields_.tokens > 5) {
    unrecognised_line();
    return;
  }
  char name[kMaxNameWidth];
  if (!take_name(fields_.field[2], name)) return;
  if (is_blank(name_view(name))) {
    unrecognised_line();
    return;
  }
  if (current_column_ < 0 || std::memcmp(name, current_name_.data(), static_cast<std::size_t>(width_)) != 0) {
    if (!start_column(name_view(name))) return;
  } else if (skipping_column_) {
    report(kMessageNotContiguous, kLineFault);
    put_name(name_view(name));
    end_report(true);
    return;
  }

  const int pairs = second_entry(LineKind::kColumnLine) ? 2 : 1;
  for (int p = 0; p < pairs; ++p) {
    std::string_view row_field = fields_.field[p == 0 ? 3 : 5];
    std::string_view value_field = fields_.field[p == 0 ? 4 : 6];
    if (is_blank(row_field) && is_blank(value_field)) continue;  // a column without entries
    char row_name[kMaxNameWidth];
    if (!take_name(row_field, row_name)) return;
    std::int32_t r = find_row(name_view(row_name));
    if (r < 0) {
      report(kMessageUnknownRow, kLineFault);
      put_name(name_view(row_name));
      put_name(name_view(name));
      end_report(true);
      continue;
    }
    double value = 0;
    if (!take_number(value_field, value)) return;
    add_coefficient(r, value);
    if (stop_) return;
  }
}

void MpsReader::marker_line(std::string_view keyword) {
  char padded[8];
  pad_name(keyword.substr(0, std::min<std::size_t>(keyword.size(), 8)), 8, padded);
  std::string_view word(padded, 8);
  bool fits = keyword.size() <= 8 && (in_integer_block_ ? word == "'INTEND'" : word == "'INTORG'");
  if (!fits) {
    report(kMessageBadMarker, kLineFault);
    end_report(true);
    return;
  }
  in_integer_block_ = !in_integer_block_;
}

bool MpsReader::start_column(std::string_view name) {
  end_column();
  std::memcpy(current_name_.data(), name.data(), name.size());
  if (dictionary_.find(NameKind::kColumn, name) != NameDictionary::kNotFound) {
    // The column had lines before: its entries must be contiguous. Its lines are
    // skipped until another column starts.
    current_column_ = std::max<std::int32_t>(current_column_, 0);
    skipping_column_ = true;
    report(kMessageNotContiguous, kLineFault);
    put_name(name);
    end_report(true);
    return false;
  }
  if (model_.columns() >= column_limit_) {
    fatal(kMessageTooManyColumns);
    put_integer(lib_, column_limit_, 12);
    end_report(true);
    return false;
  }
  NameDictionary::Insertion inserted = dictionary_.insert(NameKind::kColumn, name);
  if (inserted.number == NameDictionary::kNotFound) {
    dictionary_full();
    return false;
  }
  // Column numbers of the dictionary and of the model agree: spare column names are
  // entered only once COLUMNS is closed.
  if (inserted.number != model_.columns()) {
    fatal(kMessageTooManyColumns);
    end_report(true);
    return false;
  }
  skipping_column_ = false;
  current_column_ = inserted.number;
  model_.cost.push_back(0.0);
  model_.lower.push_back(0.0);
  model_.upper.push_back(in_integer_block_ ? 1.0 : kInfinity);
  model_.column_empty.push_back(0);
  column_entity_.push_back(-1);
  integer_block_.push_back(in_integer_block_ ? 1 : 0);
  if (in_integer_block_) {
    if (!entity_room(name)) return false;
    add_entity('I', current_column_, 0, 0.0);
  }
  return true;
}

// Closes the current column: its element run ends, and a column without elements and
// with zero cost is reported empty.
void MpsReader::end_column() {
  if (current_column_ < 0 || skipping_column_) return;
  const auto j = static_cast<std::size_t>(current_column_);
  if (model_.column_start.size() > j + 1) return;  // closed already
  model_.column_start.push_back(static_cast<std::int32_t>(model_.element_row.size()));
  if (model_.column_start[j + 1] == model_.column_start[j] && model_.cost[j] == 0.0) {
    model_.column_empty[j] = 1;
    report(kMessageEmptyColumn, kLineFault);
    put_name(column_name(current_column_));
    end_report(false);
  }
}

void MpsReader::add_coefficient(std::int32_t row, double value) {
  if (std::fabs(value) <= drop_tolerance_) return;
  const std::int32_t j = current_column_;
  bool to_matrix = true;
  if (row == objective_row_) {
    model_.cost[static_cast<std::size_t>(j)] += value;
    to_matrix = ifnrw_ > 0;
  } else if (row_type_[static_cast<std::size_t>(row)] == 'N' && row != constant_row_ && ifnrw_ <= 0) {
    dropped_.push_back({row, j, value});
    to_matrix = false;
  }
  if (!to_matrix) return;
  if (static_cast<std::int64_t>(model_.element_row.size()) >= element_limit_) {
    fatal(kMessageTooManyElements);
    put_integer(lib_, element_limit_, 12);
    end_report(true);
    return;
  }
  model_.element_row.push_back(row);
  model_.element_value.push_back(value);
}

void MpsReader::close_columns() {
  if (columns_closed_) return;
  columns_closed_ = true;
  end_column();
  if (stop_) return;
  // Spare columns: their names are reserved in the dictionary, once they are known
  // to fit.
  if (model_.columns() + static_cast<std::int64_t>(spare_columns_) > column_limit_) {
    fatal(kMessageTooManyColumns);
    put_integer(lib_, column_limit_, 12);
    end_report(true);
    return;
  }
  for (std::int32_t i = 0; i < spare_columns_; ++i) {
    if (!add_spare_name(NameKind::kColumn)) return;
  }
  if (ifnrw_ < 0) {
    // N rows other than the objective and OBCNAM rows leave the model; their places
    // become spare rows.
    for (std::int32_t r = 0; r < file_rows_; ++r) {
      if (row_type_[static_cast<std::size_t>(r)] == 'N' && r != objective_row_ && r != constant_row_) {
        removed_[static_cast<std::size_t>(r)] = 1;
        ++removed_rows_;
      }
    }
    for (std::int32_t i = 0; i < removed_rows_; ++i) {
      if (!add_spare_name(NameKind::kRow)) return;
    }
  }
}

// ---------------------------------------------------------------------------------
// RHS and RANGES

// Cuts the fields of an RHS or RANGES line and decides whether it belongs to the set
// in use. False when the line is to be skipped (reported or not).
bool MpsReader::set_line_fields(SetChoice& choice, bool check_columns, SetName& set) {
  if (layout_ == MpsLayout::kFree) {
    split_free_fields(line_, 2, fields_);
    // A line with an even number of tokens has no set name.
    if (fields_.tokens % 2 == 0) split_free_fields(line_, 3, fields_);
    if (fields_.tokens > 5) {
      unrecognised_line();
      return false;
    }
  } else {
    if (!cut_fields(LineKind::kSetLine, 2)) return false;
  }
  if (!take_set_name(fields_.field[2], set)) return false;
  if (check_columns) {
    if (!last_checked_valid_ || last_checked_set_ != set) {
      char padded[kMaxNameWidth];
      pad_name(std::string_view(set.data(), set.size()), width_, padded);
      last_checked_set_ = set;
      last_checked_valid_ = true;
      last_checked_is_column_ = !is_blank(std::string_view(set.data(), set.size())) &&
                                find_column(name_view(padded)) != NameDictionary::kNotFound;
    }
    if (last_checked_is_column_) {
      report(kMessageNotContiguous, kLineFault);
      put_set_name(set);
      end_report(true);
      return false;
    }
  }
  return choose_set(choice, set);
}

void MpsReader::rhs_line() {
  SetName set;
  if (!set_line_fields(rhs_choice_, true, set)) return;
  const int pairs = second_entry(LineKind::kSetLine) ? 2 : 1;
  for (int p = 0; p < pairs; ++p) {
    std::int32_t r = 0;
    double value = 0;
    switch (row_entry(p, set, r, value)) {
      case Entry::kStop:
        return;
      case Entry::kSkip:
        continue;
      case Entry::kOk:
        break;
    }
    if (std::fabs(value) <= zero_tolerance_) continue;
    rhs_[static_cast<std::size_t>(r)] = value;
  }
}

void MpsReader::ranges_line() {
  SetName set;
  if (!set_line_fields(range_choice_, true, set)) return;
  const int pairs = second_entry(LineKind::kSetLine) ? 2 : 1;
  for (int p = 0; p < pairs; ++p) {
    std::int32_t r = 0;
    double value = 0;
    switch (row_entry(p, set, r, value)) {
      case Entry::kStop:
        return;
      case Entry::kSkip:
        continue;
      case Entry::kOk:
        break;
    }
    // A range on a free row means nothing and is left out.
    if (row_type_[static_cast<std::size_t>(r)] == 'N') continue;
    range_value_[static_cast<std::size_t>(r)] = value;
    has_range_[static_cast<std::size_t>(r)] = 1;
  }
}

bool MpsReader::second_entry(LineKind kind) const {
  if (layout_ == MpsLayout::kFree) return !fields_.field[5].empty();
  int from = spans_[static_cast<std::size_t>(kind)].second_entry_length;
  return from > 0 && static_cast<int>(line_.size()) >= from;
}

// Entry p (0: fields 3 and 4, 1: fields 5 and 6) of an RHS or RANGES line: the row and
// the value. A blank entry, an unknown row (message 98) and a removed N row are
// skipped; an invalid number stops the line.
MpsReader::Entry MpsReader::row_entry(int p, const SetName& set, std::int32_t& row, double& value) {
  std::string_view row_field = fields_.field[p == 0 ? 3 : 5];
  std::string_view value_field = fields_.field[p == 0 ? 4 : 6];
  if (is_blank(row_field) && is_blank(value_field)) return Entry::kSkip;
  char row_name[kMaxNameWidth];
  if (!take_name(row_field, row_name)) return Entry::kStop;
  row = find_row(name_view(row_name));
  if (row == kRemovedRow) return Entry::kSkip;
  if (row < 0) {
    report(kMessageUnknownRow, kLineFault);
    put_name(name_view(row_name));
    put_set_name(set);
    end_report(true);
    return Entry::kSkip;
  }
  if (!take_number(value_field, value)) return Entry::kStop;
  return Entry::kOk;
}

}  // namespace kqopt::input
