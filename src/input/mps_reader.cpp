// The MPS reader's driver: set-up from the controls, the line loop, section headers,
// fault reporting, the NAME line, and ENDATA, which settles the rows (ranges, removed
// N rows) and the names into the model.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "frame/message_numbers.h"
#include "input/mps_reader_state.h"
#include "input/number_parser.h"
#include "library/library.h"
#include "problem/names.h"

namespace kqopt::input {

namespace {

constexpr std::size_t kMaxRecordedMessages = 10000;

struct HeaderWord {
  const char* first4;  // the first four characters of the line
  const char* word;    // the whole keyword the header must begin with
  MpsReader::Section section;
  int kind;  // 0 a data section, 1 NAME, 2 ENDATA
};

constexpr HeaderWord kHeaders[] = {
    {"NAME", "NAME", MpsReader::Section::kNone, 1},       {"ROWS", "ROWS", MpsReader::Section::kRows, 0},
    {"COLU", "COLUMNS", MpsReader::Section::kColumns, 0}, {"RHS ", "RHS", MpsReader::Section::kRhs, 0},
    {"ENDA", "ENDATA", MpsReader::Section::kNone, 2},     {"BOUN", "BOUNDS", MpsReader::Section::kBounds, 0},
    {"SETS", "SETS", MpsReader::Section::kSets, 0},       {"RANG", "RANGES", MpsReader::Section::kRanges, 0},
    {"RECU", "RECURSE", MpsReader::Section::kRecurse, 0}, {"MVUB", "MVUB", MpsReader::Section::kMvub, 0},
};

std::string_view trim_line(std::string_view line) {
  std::size_t n = line.size();
  while (n > 0 && (line[n - 1] == ' ' || line[n - 1] == '\t')) --n;
  return line.substr(0, n);
}

// A character control as an 8-character name, and whether it selects anything: only a
// value the caller set (access flag positive) and that is not blank.
bool selector(const Controls& c, int n, SetName& out) {
  const auto& value = c.ccv[static_cast<std::size_t>(n)];
  std::memcpy(out.data(), value.data(), out.size());
  return c.ccv_access[static_cast<std::size_t>(n)] > 0 && !is_blank(std::string_view(out.data(), out.size()));
}

}  // namespace

void spare_name(int number, int width, char* out) {
  std::memset(out, ' ', static_cast<std::size_t>(width));
  std::memset(out, '*', 8);
  char digits[16];
  int n = 0;
  for (unsigned v = static_cast<unsigned>(number); v > 0 && n < 8; v /= 10)
    digits[n++] = static_cast<char>('0' + v % 10);
  for (int i = 0; i < n; ++i) out[7 - i] = digits[i];
}

MpsReader::MpsReader(Library& lib, InputFiles& files, MpsModel& model, MpsResult& result)
    : lib_(lib), files_(files), model_(model), result_(result) {}

// ---------------------------------------------------------------------------------
// Set-up and the line loop

void MpsReader::set_up() {
  const Controls& c = lib_.controls;
  int words = std::clamp(name_words_for_length(c.i(icv::NAMLEN)), 1, kMaxNameWords);
  width_ = 8 * words;
  number_width_ = std::clamp(c.i(icv::LENDBL), 1, static_cast<std::int32_t>(LineReader::kMaxLineLength));
  if (c.i(icv::FREFMT) != 0) {
    layout_ = MpsLayout::kFree;
  } else if (words > 1 || number_width_ > 12) {
    layout_ = MpsLayout::kWide;
  } else {
    layout_ = MpsLayout::kFixed;
  }
  for (LineKind kind : {LineKind::kRows, LineKind::kColumnLine, LineKind::kSetLine, LineKind::kSetsLine}) {
    spans_[static_cast<std::size_t>(kind)] = spans_for(kind, layout_, width_, number_width_);
  }
  ifnrw_ = c.i(icv::IFNRW);
  intmax_ = c.i(icv::INTMAX);
  spare_rows_ = std::max(0, c.i(icv::NRXTRA));
  spare_columns_ = std::max(0, c.i(icv::NCXTRA));
  std::int64_t max_rows = c.i(icv::M_R);
  std::int64_t max_columns = c.i(icv::M_C);
  // Rows and columns share one index space.
  if (max_columns <= max_rows) max_columns += max_rows;
  // Spare counts beyond a capacity leave no room at all, never a negative limit.
  row_capacity_ = max_rows;
  row_limit_ = std::max<std::int64_t>(max_rows - spare_rows_, 0);
  column_limit_ = max_columns;
  element_limit_ = std::max<std::int64_t>(static_cast<std::int64_t>(c.i(icv::M_M)) - std::max(0, c.i(icv::NMXTRA)), 0);
  entity_limit_ =
      std::max<std::int64_t>(static_cast<std::int64_t>(c.i(icv::NGEMAX)) - std::max(0, c.i(icv::NGXTRA)), 0);
  recursion_limit_ = c.i(icv::NRCRMX);
  echo_comments_ = c.i(icv::PRNLVL) != 0;
  drop_tolerance_ = c.d(dcv::ZTOLDA);
  zero_tolerance_ = c.d(dcv::ZTOLZE);
  dictionary_.reset(width_, max_columns + 4);

  SetName name;
  if (selector(c, ccv::RHSNAM, name)) rhs_choice_ = {true, name};
  if (selector(c, ccv::RNGNAM, name)) range_choice_ = {true, name};
  if (selector(c, ccv::BNDNAM, name)) bound_choice_ = {true, name};
  if (selector(c, ccv::OBJNAM, name)) {
    objective_selected_ = true;
    pad_name(std::string_view(name.data(), name.size()), width_, objective_select_.data());
  }
  // OBCNAM is only ever read, never written back: its value is used as it stands.
  const auto& obc = c.ccv[ccv::OBCNAM];
  if (!is_blank(std::string_view(obc.data(), obc.size()))) {
    constant_selected_ = true;
    pad_name(std::string_view(obc.data(), obc.size()), width_, constant_select_.data());
  }
  model_ = MpsModel{};
  model_.name_width = width_;
}

void MpsReader::run() {
  set_up();
  while (!stop_) {
    LineResult next = next_input_line(lib_, files_);
    if (next != LineResult::kLine) {
      // The end of the file (or an input failure, or an interrupt) before ENDATA.
      report(kMessageEndBeforeEndata, 0);
      end_report(false);
      result_.outcome = MpsOutcome::kFailed;
      return;
    }
    ++result_.lines;
    if (files_.top().cut() && result_.messages.size() < kMaxRecordedMessages) {
      result_.messages.push_back(kMessageLineTooLong);  // printed by the line reader
    }
    line_ = trim_line(files_.top().line());
    line_number_ = files_.top().line_number();
    if (line_.empty()) continue;
    char first = line_[0];
    if (first == '*') {
      if (echo_comments_) echo_line(lib_, line_);
      continue;
    }
    if (first != ' ' && !(layout_ == MpsLayout::kFree && first == '\t')) {
      header();
      if (ended_) break;
      continue;
    }
    data_line();
  }
  if (stop_) return;
  finish();
}

// ---------------------------------------------------------------------------------
// Reporting

void MpsReader::report(int message, std::int64_t weight) {
  result_.faults += weight;
  if (result_.messages.size() < kMaxRecordedMessages) result_.messages.push_back(message);
  print_repeated_message(lib_, message);
}

void MpsReader::put_name(std::string_view name) { put_file_text(lib_, name); }

void MpsReader::put_set_name(const SetName& name) { put_file_text(lib_, std::string_view(name.data(), name.size())); }

void MpsReader::put_line_number() { put_integer(lib_, line_number_, 6); }

void MpsReader::end_report(bool echo) {
  flush_line(lib_);
  if (echo) echo_line(lib_, line_);
}

void MpsReader::unrecognised_line() {
  report(kMessageUnrecognised, kLineFault);
  put_line_number();
  end_report(true);
}

void MpsReader::invalid_number() {
  report(kMessageUnrecognised, kInvalidNumberFault);
  put_line_number();
  end_report(true);
}

void MpsReader::fatal(int message) {
  report(message, kFatalFault);
  stop_ = true;
  result_.outcome = MpsOutcome::kFailed;
}

void MpsReader::dictionary_full() {
  report(kMessageDictionaryFull, 0);
  put_line_number();
  end_report(true);
  stop_ = true;
  result_.outcome = MpsOutcome::kDictionaryFull;
}

// ---------------------------------------------------------------------------------
// Fields

bool MpsReader::cut_fields(LineKind kind, int first_free_field, int checked_columns) {
  if (layout_ == MpsLayout::kFree) {
    split_free_fields(line_, first_free_field, fields_);
    return true;
  }
  const FieldSpans& spans = spans_[static_cast<std::size_t>(kind)];
  cut_fixed_fields(line_, spans, fields_);
  if (layout_ == MpsLayout::kFixed && !gaps_blank(line_, spans, checked_columns)) {
    unrecognised_line();
    return false;
  }
  return true;
}

bool MpsReader::take_name(std::string_view field, char* out) {
  if (pad_name(field, width_, out)) return true;
  unrecognised_line();
  return false;
}

bool MpsReader::take_set_name(std::string_view field, SetName& out) {
  if (pad_name(field, 8, out.data())) return true;
  unrecognised_line();
  return false;
}

bool MpsReader::take_number(std::string_view field, double& value) {
  if (parse_number(field, value) == NumberStatus::kOk) return true;
  invalid_number();
  return false;
}

std::int32_t MpsReader::find_row(std::string_view name) const {
  int r = dictionary_.find(NameKind::kRow, name);
  if (r < 0 || r >= file_rows_) return kUnknownRow;
  if (removed_[static_cast<std::size_t>(r)]) return kRemovedRow;
  return r;
}

bool MpsReader::choose_set(SetChoice& choice, const SetName& name) {
  if (!choice.chosen) {
    choice.chosen = true;
    choice.name = name;
  }
  return choice.name == name;
}

// ---------------------------------------------------------------------------------
// Section headers

bool MpsReader::header() {
  char head[8];
  std::size_t n = std::min<std::size_t>(line_.size(), 8);
  std::memset(head, ' ', sizeof head);
  std::memcpy(head, line_.data(), n);
  const HeaderWord* found = nullptr;
  for (const HeaderWord& h : kHeaders) {
    if (std::memcmp(head, h.first4, 4) == 0 && line_.size() >= std::strlen(h.word) &&
        line_.compare(0, std::strlen(h.word), h.word) == 0) {
      found = &h;
      break;
    }
  }
  if (found == nullptr) {
    leave_section();
    unrecognised_line();
    section_ = Section::kSkip;
    return !stop_;
  }
  leave_section();
  if (stop_) return false;
  if (found->kind == 1) {
    if (rows_started_) {
      unrecognised_line();
      section_ = Section::kSkip;
      return true;
    }
    name_line();
    section_ = Section::kNone;
    return true;
  }
  if (found->kind == 2) {
    close_rows();
    close_columns();
    ended_ = !stop_;
    return !stop_;
  }
  Section next = found->section;
  // ROWS comes first and COLUMNS once: a late or repeated header is out of place.
  if ((next == Section::kRows && rows_started_) || (next == Section::kColumns && columns_started_)) {
    unrecognised_line();
    section_ = Section::kSkip;
    return true;
  }
  if (next == Section::kRows) {
    rows_started_ = true;
  } else {
    close_rows();
    if (next == Section::kColumns) {
      columns_started_ = true;
    } else if (columns_started_) {
      close_columns();
    }
  }
  if (next == Section::kMvub) mvub_ordinal_ = 0;
  section_ = next;
  return !stop_;
}

void MpsReader::leave_section() {
  switch (section_) {
    case Section::kRows:
      close_rows();
      break;
    case Section::kColumns:
      close_columns();
      break;
    case Section::kSets:
      close_sets();
      break;
    default:
      break;
  }
}

void MpsReader::data_line() {
  switch (section_) {
    case Section::kRows:
      rows_line();
      break;
    case Section::kColumns:
      columns_line();
      break;
    case Section::kRhs:
      rhs_line();
      break;
    case Section::kRanges:
      ranges_line();
      break;
    case Section::kBounds:
      bounds_line();
      break;
    case Section::kSets:
      sets_line();
      break;
    case Section::kMvub:
      mvub_line();
      break;
    case Section::kRecurse:
      recurse_line();
      break;
    case Section::kSkip:
      break;  // the lines of an unrecognised section
    case Section::kNone:
      unrecognised_line();
      break;
  }
}

// ---------------------------------------------------------------------------------
// NAME

void MpsReader::name_line() {
  std::string_view name;
  if (layout_ == MpsLayout::kFree) {
    split_free_fields(line_, 1, fields_);
    name = fields_.field[2];
  } else if (line_.size() > 4) {
    // The name starts in column 15; a line that has it earlier gives its first word.
    std::string_view rest = line_.substr(4);
    std::size_t first = rest.find_first_not_of(' ');
    if (first != std::string_view::npos && first + 4 < 14) {
      name = rest.substr(first);
    } else if (line_.size() > 14) {
      name = line_.substr(14);
    }
  }
  name = name.substr(0, std::min<std::size_t>(name.size(), 8));
  model_.problem_name.assign(trim_right(name));
  print_message(lib_, kMessageProblemName);
  put_file_text(lib_, model_.problem_name);
  flush_line(lib_);
}

// ---------------------------------------------------------------------------------
// ENDATA: rows settled into the model, names, the objective constant, set names.

void MpsReader::finish() {
  std::vector<std::int32_t> kept(static_cast<std::size_t>(file_rows_), -1);
  const std::size_t w = static_cast<std::size_t>(width_);
  for (std::int32_t r = 0; r < file_rows_; ++r) {
    const auto i = static_cast<std::size_t>(r);
    if (removed_[i]) continue;
    kept[i] = model_.rows();
    char type = row_type_[i];
    double rhs = rhs_[i];
    double range = 0.0;
    if (has_range_[i]) {
      // L: [rhs − |R|, rhs]; G: [rhs, rhs + |R|]; E: [rhs, rhs + R] for R > 0,
      // [rhs + R, rhs] for R < 0, unchanged for R = 0. An infinite range leaves one side open.
      double r_value = range_value_[i];
      double width = std::fabs(r_value);
      bool infinite = width >= kInfinityThreshold;
      if (type == 'L') {
        if (!infinite) {
          type = 'R';
          range = width;
        }
      } else if (type == 'G') {
        if (!infinite) {
          type = 'R';
          range = width;
          rhs += width;
        }
      } else if (type == 'E' && r_value != 0.0) {
        if (infinite) {
          type = r_value > 0 ? 'G' : 'L';
        } else {
          type = 'R';
          range = width;
          if (r_value > 0) rhs += r_value;
        }
      }
    }
    if (r == objective_row_) {
      model_.objective_constant = rhs == 0.0 ? 0.0 : -rhs;
      rhs = 0.0;
    }
    model_.row_type.push_back(type);
    model_.rhs.push_back(rhs);
    model_.range.push_back(range);
    std::string_view name = row_name(r);
    model_.row_names.insert(model_.row_names.end(), name.begin(), name.end());
  }
  model_.extra_spare_rows = removed_rows_;
  model_.objective_row = objective_row_ >= 0 ? kept[static_cast<std::size_t>(objective_row_)] : -1;
  model_.constant_row = constant_row_ >= 0 ? kept[static_cast<std::size_t>(constant_row_)] : -1;
  if (removed_rows_ > 0) {
    for (std::int32_t& r : model_.element_row) r = kept[static_cast<std::size_t>(r)];
    for (std::int32_t& r : model_.set_reference_row) {
      if (r >= 0) r = kept[static_cast<std::size_t>(r)];
    }
    for (RecursionRecord& rec : model_.recursion) {
      if (rec.row >= 0) rec.row = kept[static_cast<std::size_t>(rec.row)];
    }
  }
  // Recursion variables: rows stand for their logicals, columns follow the row slots.
  const std::int32_t row_slots = model_.rows() + spare_rows_ + removed_rows_;
  for (RecursionRecord& rec : model_.recursion) {
    for (std::size_t v = 1; v < 3; ++v) {
      std::int32_t code = rec.columns[v];
      if (code >= 0) {
        rec.columns[v] = row_slots + code;
      } else if (code <= -2) {
        std::int32_t row = -code - 2;
        rec.columns[v] = kept[static_cast<std::size_t>(row)];
      }
    }
  }
  model_.column_names.reserve(static_cast<std::size_t>(model_.columns()) * w);
  for (std::int32_t j = 0; j < model_.columns(); ++j) {
    std::string_view name = column_name(j);
    model_.column_names.insert(model_.column_names.end(), name.begin(), name.end());
  }
  auto set_name_string = [](const SetChoice& c) {
    return c.chosen ? std::string(c.name.data(), c.name.size()) : std::string(8, ' ');
  };
  model_.rhs_set = set_name_string(rhs_choice_);
  model_.range_set = set_name_string(range_choice_);
  model_.bound_set = set_name_string(bound_choice_);
  if (objective_row_ >= 0) {
    model_.objective_name.assign(row_name(objective_row_).substr(0, 8));
  }
  result_.outcome = MpsOutcome::kRead;
}

MpsResult read_mps(Library& lib, InputFiles& files, MpsModel& model) {
  MpsResult result;
  MpsReader reader(lib, files, model, result);
  reader.run();
  return result;
}

}  // namespace kqopt::input
