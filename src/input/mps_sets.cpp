// The SETS, MVUB and RECURSE sections.
//
// SETS: a header (" S1 " or " S2 " in columns 1–4, the set name, optionally a
// reference row) opens a special ordered set; member lines name the set again and
// give columns with weights, or take each weight from the column's coefficient in the
// reference row. Leaving the section sorts every set's members by ascending weight.
#include <algorithm>
#include <cstring>
#include <numeric>

#include "frame/message_numbers.h"
#include "input/mps_reader_state.h"
#include "input/number_parser.h"
#include "library/library.h"

namespace kqopt::input {

namespace {

struct RecursionCode {
  const char* text;
  bool column, row, value, first_variable, second_variable, row_only;
};

// Field use per code: column j in field 2, row i in field 3, a value in field 4,
// variables a and b in fields 5 and 6; NE and NL name a row in field 2.
constexpr RecursionCode kRecursionCodes[] = {
    {"DV", true, true, true, true, true, false},     {"MU", true, true, true, true, true, false},
    {"CL", true, true, true, true, false, false},    {"BX", true, true, false, true, false, false},
    {"CV", true, false, true, false, false, false},  {"NE", false, false, false, false, false, true},
    {"NL", false, false, false, false, false, true}, {"SB", true, false, false, true, false, false},
};

}  // namespace

// ---------------------------------------------------------------------------------
// SETS

double MpsReader::column_coefficient(std::int32_t column, std::int32_t row) const {
  const auto j = static_cast<std::size_t>(column);
  if (row == objective_row_) return model_.cost[j];
  double sum = 0.0;
  for (std::int32_t p = model_.column_start[j]; p < model_.column_start[j + 1]; ++p) {
    if (model_.element_row[static_cast<std::size_t>(p)] == row)
      sum += model_.element_value[static_cast<std::size_t>(p)];
  }
  if (row_type_[static_cast<std::size_t>(row)] == 'N') {
    for (const DroppedCoefficient& d : dropped_) {
      if (d.row == row && d.column == column) sum += d.value;
    }
  }
  return sum;
}

void MpsReader::sets_line() {
  bool is_header = false;
  bool bad = false;
  if (layout_ == MpsLayout::kFree) {
    split_free_fields(line_, 1, fields_);
    std::string_view first = fields_.field[1];
    SetName first_name;
    bool current = current_set_ >= 0 && pad_name(first, 8, first_name.data()) && first_name == current_set_name_;
    is_header = (first == "S1" || first == "S2") && !current;
    if (is_header) {
      bad = fields_.tokens > 3;
    } else {
      split_free_fields(line_, 2, fields_);
      bad = fields_.tokens > 5;
    }
  } else {
    char code[4] = {' ', ' ', ' ', ' '};
    for (std::size_t i = 0; i < 4 && i < line_.size(); ++i) code[i] = line_[i];
    std::string_view head(code, 4);
    is_header = head == " S1 " || head == " S2 ";
    bad = !is_header && head != "    ";
  }
  if (bad) {
    report(kMessageBadSetsLine, kLineFault);
    end_report(true);
    return;
  }
  if (layout_ != MpsLayout::kFree && !cut_fields(LineKind::kSetsLine, 1)) return;
  SetName set;
  if (!take_set_name(fields_.field[2], set)) return;

  if (is_header) {
    current_set_ = -1;
    current_set_name_ = set;
    std::int32_t reference = -1;
    if (!is_blank(fields_.field[3])) {
      char row_name[kMaxNameWidth];
      if (!take_name(fields_.field[3], row_name)) return;
      reference = find_row(name_view(row_name));
      if (reference < 0) {
        report(kMessageBadSetsLine, kLineFault);
        end_report(true);
        return;
      }
    }
    char padded[kMaxNameWidth];
    pad_name(std::string_view(set.data(), set.size()), width_, padded);
    if (!entity_room(name_view(padded))) return;
    bool type1 = layout_ == MpsLayout::kFree ? fields_.field[1] == "S1" : line_[2] == '1';
    model_.set_type.push_back(type1 ? '1' : '2');
    model_.set_reference_row.push_back(reference);
    model_.set_names.insert(model_.set_names.end(), padded, padded + width_);
    model_.set_start.push_back(static_cast<std::int32_t>(model_.set_column.size()));
    current_set_ = static_cast<std::int32_t>(model_.set_type.size()) - 1;
    return;
  }

  if (current_set_ < 0 || set != current_set_name_) {
    report(kMessageBadSetsLine, kLineFault);
    end_report(true);
    return;
  }
  const std::int32_t reference = model_.set_reference_row[static_cast<std::size_t>(current_set_)];
  const int entries = second_entry(LineKind::kSetsLine) ? 2 : 1;
  for (int p = 0; p < entries; ++p) {
    std::string_view column_field = fields_.field[p == 0 ? 3 : 5];
    std::string_view weight_field = fields_.field[p == 0 ? 4 : 6];
    if (p == 1 && is_blank(column_field) && is_blank(weight_field)) continue;
    char column_name[kMaxNameWidth];
    if (!take_name(column_field, column_name)) return;
    std::int32_t j = find_column(name_view(column_name));
    if (j < 0) {
      report(kMessageBadSetsLine, kLineFault);
      end_report(true);
      continue;
    }
    double weight = 0;
    if (reference >= 0) {
      weight = column_coefficient(j, reference);
    } else if (!take_number(weight_field, weight)) {
      return;
    }
    model_.set_column.push_back(j);
    model_.set_weight.push_back(weight);
    model_.set_start.back() = static_cast<std::int32_t>(model_.set_column.size());
  }
}

void MpsReader::close_sets() {
  std::vector<std::int32_t> order;
  std::vector<std::int32_t> columns;
  std::vector<double> weights;
  for (std::size_t k = 0; k + 1 < model_.set_start.size(); ++k) {
    const auto first = static_cast<std::size_t>(model_.set_start[k]);
    const auto last = static_cast<std::size_t>(model_.set_start[k + 1]);
    order.resize(last - first);
    std::iota(order.begin(), order.end(), static_cast<std::int32_t>(first));
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
      return model_.set_weight[static_cast<std::size_t>(a)] < model_.set_weight[static_cast<std::size_t>(b)];
    });
    columns.clear();
    weights.clear();
    for (std::int32_t p : order) {
      columns.push_back(model_.set_column[static_cast<std::size_t>(p)]);
      weights.push_back(model_.set_weight[static_cast<std::size_t>(p)]);
    }
    std::copy(columns.begin(), columns.end(), model_.set_column.begin() + static_cast<std::ptrdiff_t>(first));
    std::copy(weights.begin(), weights.end(), model_.set_weight.begin() + static_cast<std::ptrdiff_t>(first));
  }
}

// ---------------------------------------------------------------------------------
// MVUB: x_first ≤ −value · x_second, stored as (first, second, −value).

void MpsReader::mvub_line() {
  ++mvub_ordinal_;
  if (layout_ == MpsLayout::kFree) {
    split_free_fields(line_, 1, fields_);
    // Without the code field the line has three tokens.
    if (fields_.tokens == 3) split_free_fields(line_, 2, fields_);
    if (fields_.tokens > 4) {
      unrecognised_line();
      return;
    }
  } else {
    if (!cut_fields(LineKind::kColumnLine, 1)) return;
  }
  char first[kMaxNameWidth];
  char second[kMaxNameWidth];
  if (!take_name(fields_.field[2], first) || !take_name(fields_.field[3], second)) return;
  std::int32_t a = find_column(name_view(first));
  std::int32_t b = find_column(name_view(second));
  if (a < 0 || b < 0) {
    report(kMessageMvubNotColumn, kLineFault);
    put_integer(lib_, mvub_ordinal_, 6);
    end_report(true);
    return;
  }
  double value = 0;
  if (!take_number(fields_.field[4], value)) return;
  model_.mvub.push_back({a, b, -value});
}

// ---------------------------------------------------------------------------------
// RECURSE: records for the recursion, stored with names resolved. While reading, a
// variable is kept as a column number (≥ 0) or as −(row + 2); ENDATA turns it into a
// variable index of the loaded problem.

void MpsReader::recurse_line() {
  std::string_view code;
  if (layout_ == MpsLayout::kFree) {
    split_free_fields(line_, 1, fields_);
    code = fields_.field[1];
  } else {
    code = line_.size() >= 4 && line_[0] == ' ' && line_[3] == ' ' ? line_.substr(1, 2) : std::string_view();
    if (!cut_fields(LineKind::kColumnLine, 1)) return;
  }
  const RecursionCode* use = nullptr;
  for (const RecursionCode& c : kRecursionCodes) {
    if (code == c.text) use = &c;
  }
  if (use == nullptr || static_cast<std::int64_t>(model_.recursion.size()) >= recursion_limit_) {
    unrecognised_line();
    return;
  }
  if (static_cast<std::int64_t>(model_.element_row.size() + model_.recursion.size()) >= element_limit_) {
    fatal(kMessageTooManyElements);
    put_integer(lib_, element_limit_, 12);
    end_report(true);
    return;
  }
  RecursionRecord record;
  record.code = {' ', use->text[0], use->text[1], ' '};
  record.values = {1.0f, 0.0f};
  char name[kMaxNameWidth];
  auto name_of = [&](int field) {
    std::string_view f = fields_.field[static_cast<std::size_t>(field)];
    return take_name(f.substr(0, std::min<std::size_t>(f.size(), static_cast<std::size_t>(width_))), name);
  };
  if (use->row_only) {
    if (!name_of(2)) return;
    record.row = find_row(name_view(name));
    if (record.row < 0) {
      unrecognised_line();
      return;
    }
  }
  if (use->column) {
    if (!name_of(2)) return;
    record.columns[0] = find_column(name_view(name));
    if (record.columns[0] < 0) {
      report(kMessageUnknownColumn, kLineFault);
      put_name(name_view(name));
      end_report(true);
      return;
    }
    if (code == "SB" && column_entity_[static_cast<std::size_t>(record.columns[0])] >= 0) {
      report(kMessageRecursionOnEntity, kLineFault);
      put_name(name_view(name));
      end_report(true);
      return;
    }
  }
  if (use->row) {
    if (!name_of(3)) return;
    record.row = find_row(name_view(name));
    if (record.row < 0) {
      report(kMessageUnknownRow, kLineFault);
      put_name(name_view(name));
      put_name(column_name(record.columns[0]));
      end_report(true);
      return;
    }
  }
  if (use->value) {
    double value = 0;
    if (!take_number(fields_.field[4], value)) return;
    if (code == "CV") {
      record.values[1] = static_cast<float>(value);
    } else if (value != 0.0) {
      record.values[0] = static_cast<float>(value);
    }
  }
  for (int v = 0; v < 2; ++v) {
    bool wanted = v == 0 ? use->first_variable : use->second_variable;
    if (!wanted) continue;
    if (!name_of(5 + v)) return;
    std::int32_t column = find_column(name_view(name));
    std::int32_t row = column < 0 ? find_row(name_view(name)) : -1;
    if (column < 0 && row < 0) {
      unrecognised_line();
      return;
    }
    record.columns[static_cast<std::size_t>(1 + v)] = column >= 0 ? column : -(row + 2);
  }
  model_.recursion.push_back(record);
}

}  // namespace kqopt::input
