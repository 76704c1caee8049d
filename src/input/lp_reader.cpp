// The LP-text reader's parser: the grammar of lp_reader.h over the character stream,
// into an LpModel, with the reader's messages and its recovery from faulty items.
#include "input/lp_reader.h"

#include <cstdio>

#include "frame/output.h"
#include "input/lp_load.h"
#include "frame/message_numbers.h"
#include "input/lp_model.h"
#include "input/lp_source.h"
#include "input/number_parser.h"
#include "library/library.h"
#include "problem/load.h"

namespace kqopt::input {

namespace {

constexpr std::size_t kMaxRecordedMessages = 10000;

struct Keyword {
  const char* text;  // lower case
  std::size_t length;
};

template <std::size_t N>
constexpr Keyword kw(const char (&text)[N]) {
  return {text, N - 1};
}

constexpr Keyword kSenses[] = {kw("maximize"), kw("maximum"), kw("max"), kw("minimize"), kw("minimum"), kw("min")};
// "st." before "st": in the order "st", "s.t.", "st." the last could never match.
constexpr Keyword kSubjectTo[] = {kw("subject to:"), kw("subject to"), kw("such that"),
                                  kw("st."),         kw("st"),         kw("s.t.")};
enum class Section { kConstraints, kBounds, kGenerals, kBinaries, kEnd };
constexpr Keyword kSections[] = {kw("end"),      kw("bounds"),  kw("bound"), kw("generals"), kw("general"), kw("gen"),
                                 kw("integers"), kw("integer"), kw("int"),   kw("binaries"), kw("binary"),  kw("bin")};
constexpr Section kSectionOf[] = {Section::kEnd,      Section::kBounds,   Section::kBounds,   Section::kGenerals,
                                  Section::kGenerals, Section::kGenerals, Section::kGenerals, Section::kGenerals,
                                  Section::kGenerals, Section::kBinaries, Section::kBinaries, Section::kBinaries};
constexpr Keyword kInfinities[] = {kw("infinity"), kw("inf")};

bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
int lower_case(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }
bool is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// The characters besides letters that may start a name ('.' may only continue one).
constexpr bool name_symbol(int c) {
  switch (c) {
    case '!':
    case '"':
    case '#':
    case '$':
    case '%':
    case '&':
    case '(':
    case ')':
    case '/':
    case ',':
    case ';':
    case '?':
    case '@':
    case '_':
    case '`':
    case '\'':
    case '{':
    case '}':
    case '|':
    case '~':
      return true;
    default:
      return false;
  }
}
bool is_name_start(int c) { return is_letter(c) || name_symbol(c); }
bool is_name_char(int c) { return is_letter(c) || is_digit(c) || name_symbol(c) || c == '.'; }
// Characters that can begin nothing of the grammar.
bool is_stray(int c) {
  return c != LpSource::kEnd && !is_space(c) && !is_name_char(c) && c != '\\' && c != '+' && c != '-' && c != '<' &&
         c != '>' && c != '=' && c != ':';
}

bool is_infinity(std::string_view word) {
  for (const Keyword& k : kInfinities) {
    if (word.size() != k.length) continue;
    std::size_t i = 0;
    while (i < k.length && lower_case(static_cast<unsigned char>(word[i])) == k.text[i]) ++i;
    if (i == k.length) return true;
  }
  return false;
}

enum class Relation { kNone, kLess, kGreater, kEqual };

enum class ValueKind { kNone, kNumber, kInfinite, kBad };
struct Value {
  ValueKind kind = ValueKind::kNone;
  double number = 0.0;
  bool negative = false;
};

class LpParser {
 public:
  LpParser(Library& lib, LpSource& in, LpWorkArea& area, LpModel& model, LpResult& result)
      : lib_(lib), in_(in), area_(area), m_(model), result_(result) {}

  // Parses the whole text. True when "end" was reached.
  bool parse();

 private:
  // Messages
  void message(int n, bool counted);
  void fatal(int n);
  bool memory(bool ok) {
    if (!ok && !stop_) fatal(kMessageLpOutOfMemory);
    return ok;
  }
  // A fatal end of the input: a read error, or the end where more was needed.
  void end_of_input(int n) { fatal(in_.read_error() ? kMessageReadError : n); }

  // Lexical level
  void skip_space();
  int match(const Keyword* table, std::size_t count, bool whole_word);
  std::string_view read_name(LpArray<char>& into);
  ValueKind read_unsigned(double& value);
  Value read_value();
  Relation read_relation();
  void skip_stray();

  // Grammar
  bool objective();
  bool sum(std::int32_t row, std::string_view pending, double& constant);
  void constraint();
  void bound_entry();
  void name_entry(char kind);
  Section section_keyword();
  int section_ahead();

  // Model
  std::int32_t column(std::string_view name);
  bool add_term(std::int32_t row, std::int32_t column, double value);
  void settle_row(std::size_t mark);
  void drop_terms(std::size_t mark);
  void finish_marks();

  Library& lib_;
  LpSource& in_;
  LpWorkArea& area_;
  LpModel& m_;
  LpResult& result_;
  bool stop_ = false;
  LpArray<char> name_;          // the name last read
  LpArray<char> label_;         // a label, or the first name of a sum
  LpArray<char> number_;        // the characters of the number last read
  LpArray<std::int32_t> slot_;  // per column: its term in the row being settled, or −1
  char generated_[16] = {};
};

// ---------------------------------------------------------------------------------
// Messages

void LpParser::message(int n, bool counted) {
  if (counted) ++result_.faults;
  if (result_.messages.size() < kMaxRecordedMessages) result_.messages.push_back(n);
  result_.line = in_.line();
  print_repeated_message(lib_, n);
  char position[48];
  int length = std::snprintf(position, sizeof position, "(%lld.%lld):", static_cast<long long>(in_.line()),
                             static_cast<long long>(in_.column()));
  put_text(lib_, position, length);
  flush_line(lib_);
}

void LpParser::fatal(int n) {
  message(n, false);
  stop_ = true;
  result_.outcome = LpOutcome::kFailed;
}

// ---------------------------------------------------------------------------------
// Lexical level

void LpParser::skip_space() {
  for (;;) {
    int c = in_.peek();
    if (c == '\n') {
      in_.advance();
      // The interrupt flag is polled once a line, as the line reader does.
      if (lib_.take_interrupt()) {
        stop_ = true;
        result_.outcome = LpOutcome::kFailed;
        return;
      }
    } else if (is_space(c)) {
      in_.advance();
    } else if (c == '\\') {
      while ((c = in_.peek()) != LpSource::kEnd && c != '\n') in_.advance();
    } else {
      return;
    }
  }
}

// The first keyword of table that the text at the current position begins with (case
// ignored), consumed; −1 when none. With whole_word the keyword must not be followed by
// a character of a name, and nothing is consumed.
int LpParser::match(const Keyword* table, std::size_t count, bool whole_word) {
  for (std::size_t k = 0; k < count; ++k) {
    const Keyword& word = table[k];
    std::size_t i = 0;
    while (i < word.length && lower_case(in_.peek(i)) == word.text[i]) ++i;
    if (i < word.length) continue;
    if (whole_word) {
      if (is_name_char(in_.peek(word.length))) continue;
      return static_cast<int>(k);
    }
    for (i = 0; i < word.length; ++i) in_.advance();
    return static_cast<int>(k);
  }
  return -1;
}

std::string_view LpParser::read_name(LpArray<char>& into) {
  into.clear();
  for (int c = in_.peek(); is_name_char(c); c = in_.peek()) {
    if (!memory(into.push_back(area_, static_cast<char>(c)))) return {};
    in_.advance();
  }
  return {into.data(), into.size()};
}

// digits [. digits] [(e|E) [sign] digits], or . digits [...]. kNone when the text does
// not begin a number; kBad (message given) when the value is beyond a double's range.
ValueKind LpParser::read_unsigned(double& value) {
  int c = in_.peek();
  if (!is_digit(c) && !(c == '.' && is_digit(in_.peek(1)))) return ValueKind::kNone;
  number_.clear();
  auto take = [&] {
    bool ok = memory(number_.push_back(area_, static_cast<char>(in_.peek())));
    in_.advance();
    return ok;
  };
  while (is_digit(in_.peek())) {
    if (!take()) return ValueKind::kBad;
  }
  if (in_.peek() == '.') {
    if (!take()) return ValueKind::kBad;
    while (is_digit(in_.peek())) {
      if (!take()) return ValueKind::kBad;
    }
  }
  c = in_.peek();
  if (c == 'e' || c == 'E') {
    std::size_t k = (in_.peek(1) == '+' || in_.peek(1) == '-') ? 2 : 1;
    if (is_digit(in_.peek(k))) {
      for (std::size_t i = 0; i < k; ++i) {
        if (!take()) return ValueKind::kBad;
      }
      while (is_digit(in_.peek())) {
        if (!take()) return ValueKind::kBad;
      }
    } else {
      // The letter stays: it may begin a name ("3elephant" is 3 and "elephant").
      message(kMessageLpExponentExpected, true);
    }
  }
  if (parse_number(std::string_view(number_.data(), number_.size()), value) != NumberStatus::kOk) {
    message(kMessageLpNumberOutOfRange, true);
    return ValueKind::kBad;
  }
  return ValueKind::kNumber;
}

// [sign [blanks]] (number | "infinity" | "inf"). A sign followed by neither is consumed.
Value LpParser::read_value() {
  Value v;
  int c = in_.peek();
  if (c == '+' || c == '-') {
    v.negative = c == '-';
    in_.advance();
    skip_space();
  }
  v.kind = read_unsigned(v.number);
  if (v.kind == ValueKind::kNumber && v.negative) v.number = -v.number;
  if (v.kind == ValueKind::kNone && match(kInfinities, 2, true) >= 0) {
    match(kInfinities, 2, false);
    v.kind = ValueKind::kInfinite;
  }
  return v;
}

Relation LpParser::read_relation() {
  int c = in_.peek();
  if (c == '<' || c == '>') {
    in_.advance();
    if (in_.peek() == '=') in_.advance();
    return c == '<' ? Relation::kLess : Relation::kGreater;
  }
  if (c == '=') {
    in_.advance();
    c = in_.peek();
    if (c == '<' || c == '>') {
      in_.advance();
      return c == '<' ? Relation::kLess : Relation::kGreater;
    }
    return Relation::kEqual;
  }
  return Relation::kNone;
}

// Skips a run of characters that begin nothing (at least one character), with a message.
void LpParser::skip_stray() {
  message(kMessageLpCharacterNotAllowed, true);
  in_.advance();
  while (is_stray(in_.peek())) in_.advance();
}

// ---------------------------------------------------------------------------------
// Model

std::int32_t LpParser::column(std::string_view name) {
  std::int32_t j = m_.column_names.find(name);
  if (j >= 0) return j;
  j = m_.column_names.add(area_, name);
  if (!memory(j >= 0 && m_.lower.push_back(area_, 0.0) && m_.upper.push_back(area_, kLpInfinity) &&
              m_.mark.push_back(area_, 0) && slot_.push_back(area_, -1))) {
    return -1;
  }
  return j;
}

bool LpParser::add_term(std::int32_t row, std::int32_t j, double value) {
  if (value == 0.0) return true;  // the column exists; the term does not
  return memory(m_.term_row.push_back(area_, row) && m_.term_column.push_back(area_, j) &&
                m_.term_value.push_back(area_, value));
}

// Adds up the terms of one column in the row whose terms start at mark and removes the
// terms whose total is 0.
void LpParser::settle_row(std::size_t mark) {
  std::size_t end = m_.term_row.size();
  std::size_t kept = mark;
  for (std::size_t t = mark; t < end; ++t) {
    auto j = static_cast<std::size_t>(m_.term_column[t]);
    std::int32_t s = slot_[j];
    if (s >= 0) {
      m_.term_value[static_cast<std::size_t>(s)] += m_.term_value[t];
    } else {
      slot_[j] = static_cast<std::int32_t>(kept);
      m_.term_row[kept] = m_.term_row[t];
      m_.term_column[kept] = m_.term_column[t];
      m_.term_value[kept] = m_.term_value[t];
      ++kept;
    }
  }
  std::size_t nonzero = mark;
  for (std::size_t t = mark; t < kept; ++t) {
    slot_[static_cast<std::size_t>(m_.term_column[t])] = -1;
    if (m_.term_value[t] == 0.0) continue;
    m_.term_row[nonzero] = m_.term_row[t];
    m_.term_column[nonzero] = m_.term_column[t];
    m_.term_value[nonzero] = m_.term_value[t];
    ++nonzero;
  }
  drop_terms(nonzero);
}

void LpParser::drop_terms(std::size_t mark) {
  m_.term_row.truncate(mark);
  m_.term_column.truncate(mark);
  m_.term_value.truncate(mark);
}

// A general integer that has no bound above and the default bound below is binary;
// decided once the whole file is read, so that the order of the sections does not
// matter and no bound the file gives is lost.
void LpParser::finish_marks() {
  for (std::int32_t j = 0; j < m_.columns(); ++j) {
    auto k = static_cast<std::size_t>(j);
    if (m_.mark[k] == 0) continue;
    ++m_.marked;
    if (m_.mark[k] == 'I' && m_.upper[k] == kLpInfinity && m_.lower[k] == 0.0) {
      m_.mark[k] = 'B';
      m_.upper[k] = 1.0;
    }
  }
}

// ---------------------------------------------------------------------------------
// Grammar

bool LpParser::parse() {
  skip_space();
  if (stop_) return false;
  if (in_.at_end()) {
    if (in_.read_error()) {
      fatal(kMessageReadError);
    } else {
      fatal(kMessageLpEmptyFile);
    }
    return false;
  }
  if (!memory(m_.row_type.push_back(area_, 'N') && m_.rhs.push_back(area_, 0.0) && m_.row_name.push_back(area_, -1))) {
    return false;
  }
  if (!objective()) return false;

  Section section = Section::kConstraints;
  while (!stop_) {
    skip_space();
    if (stop_) break;
    if (in_.at_end()) {
      end_of_input(kMessageLpExpectingKeyword);
      break;
    }
    Section next = section_keyword();
    if (next == Section::kEnd) {
      finish_marks();
      result_.outcome = LpOutcome::kRead;
      return true;
    }
    if (next != Section::kConstraints) {
      section = next;
      continue;
    }
    switch (section) {
      case Section::kConstraints:
        constraint();
        break;
      case Section::kBounds:
        bound_entry();
        break;
      case Section::kGenerals:
        name_entry('I');
        break;
      case Section::kBinaries:
        name_entry('B');
        break;
      case Section::kEnd:
        break;
    }
  }
  return false;
}

// kConstraints when no section keyword begins here. "end" must end its word: taken as a
// prefix it would end the input silently at a row such as "ENDINVCT:" and load the
// problem without the rest of the file; the other keywords keep their prefix rule.
Section LpParser::section_keyword() {
  int k = section_ahead();
  if (k < 0) return Section::kConstraints;
  auto index = static_cast<std::size_t>(k);
  for (std::size_t i = 0; i < kSections[index].length; ++i) in_.advance();
  return kSectionOf[index];
}

// The section keyword that begins here (not consumed), or −1.
int LpParser::section_ahead() {
  if (match(kSections, 1, true) >= 0) return 0;
  for (std::size_t k = 1; k < std::size(kSections); ++k) {
    const Keyword& word = kSections[k];
    std::size_t i = 0;
    while (i < word.length && lower_case(in_.peek(i)) == word.text[i]) ++i;
    if (i == word.length) return static_cast<int>(k);
  }
  return -1;
}

bool LpParser::objective() {
  if (match(kSenses, std::size(kSenses), false) < 0) {
    fatal(kMessageLpExpectingSense);
    return false;
  }
  skip_space();
  if (stop_) return false;
  std::string_view pending;
  // An objective without terms: the constraints keyword follows at once.
  bool empty = match(kSubjectTo, std::size(kSubjectTo), true) >= 0;
  if (!empty && is_name_start(in_.peek())) {
    std::string_view name = read_name(label_);
    if (stop_) return false;
    skip_space();
    if (stop_) return false;
    if (in_.peek() == ':') {
      in_.advance();
      skip_space();
      if (stop_) return false;
      empty = match(kSubjectTo, std::size(kSubjectTo), true) >= 0;
    } else {
      pending = name;
    }
  }
  double constant = 0.0;
  if (!empty && !sum(0, pending, constant)) {
    if (!stop_) fatal(in_.at_end() ? kMessageLpUnexpectedEnd : kMessageLpBadObjective);
    return false;
  }
  settle_row(0);
  m_.objective_constant = constant;
  skip_space();
  if (stop_) return false;
  if (match(kSubjectTo, std::size(kSubjectTo), false) < 0) {
    if (in_.at_end()) {
      end_of_input(kMessageLpUnexpectedEnd);
    } else {
      fatal(kMessageLpExpectingSubjectTo);
    }
    return false;
  }
  return true;
}

// A sum of terms into row; a name already read (pending) is its first term. Constants
// add to constant. False, with the message given, when a term is malformed.
bool LpParser::sum(std::int32_t row, std::string_view pending, double& constant) {
  bool first = true;
  if (!pending.empty()) {
    std::int32_t j = column(pending);
    if (j < 0 || !add_term(row, j, 1.0)) return false;
    first = false;
  }
  for (;;) {
    skip_space();
    if (stop_) return false;
    int c = in_.peek();
    double sign = 1.0;
    bool signed_term = false;
    while (c == '+' || c == '-') {
      if (c == '-') sign = -sign;
      signed_term = true;
      in_.advance();
      skip_space();
      if (stop_) return false;
      c = in_.peek();
    }
    if (!signed_term && !first) return true;
    double coefficient = 1.0;
    ValueKind number = read_unsigned(coefficient);
    if (stop_) return false;
    if (number != ValueKind::kNone) {
      skip_space();
      if (stop_) return false;
      c = in_.peek();
    }
    // The objective's last term may be a constant that the constraints keyword follows.
    bool keyword_follows = row == 0 && number != ValueKind::kNone && is_name_start(c) &&
                           match(kSubjectTo, std::size(kSubjectTo), true) >= 0;
    if (is_name_start(c) && !keyword_follows) {
      std::string_view name = read_name(name_);
      if (stop_) return false;
      std::int32_t j = column(name);
      if (j < 0) return false;
      // A term whose coefficient is out of range is left out (message given).
      if (number != ValueKind::kBad && !add_term(row, j, sign * coefficient)) return false;
    } else if (number == ValueKind::kNumber) {
      constant += sign * coefficient;
    } else if (number == ValueKind::kBad) {
      // Left out, message given.
    } else if (signed_term) {
      if (in_.at_end()) {
        end_of_input(kMessageLpUnexpectedEnd);
      } else {
        message(kMessageLpExpectingVariable, true);
      }
      return false;
    } else {
      return true;  // no term at all
    }
    first = false;
  }
}

void LpParser::constraint() {
  std::int64_t line = in_.line();
  std::int64_t column_at = in_.column();
  auto moved = [&] { return in_.line() != line || in_.column() != column_at; };
  std::string_view pending;
  bool labelled = false;
  if (is_name_start(in_.peek())) {
    std::string_view name = read_name(label_);
    if (stop_) return;
    skip_space();
    if (stop_) return;
    if (in_.peek() == ':') {
      in_.advance();
      labelled = true;
    } else {
      pending = name;
    }
  }
  std::size_t mark = m_.term_row.size();
  std::int32_t row = m_.rows();
  double constant = 0.0;
  if (!sum(row, pending, constant)) {
    drop_terms(mark);
    return;
  }
  skip_space();
  if (stop_) return;
  if (in_.at_end()) {
    end_of_input(kMessageLpUnexpectedEnd);
    return;
  }
  Relation relation = read_relation();
  if (relation == Relation::kNone) {
    settle_row(mark);
    drop_terms(mark);
    if (!moved()) {
      skip_stray();
    } else {
      message(kMessageLpConstraintUnconstrained, true);
    }
    return;
  }
  skip_space();
  if (stop_) return;
  if (in_.at_end()) {
    settle_row(mark);
    drop_terms(mark);
    end_of_input(kMessageLpUnexpectedEnd);
    return;
  }
  double rhs = 0.0;
  Value v = read_value();
  if (stop_) return;
  if (v.kind == ValueKind::kNumber) {
    rhs = v.number;
  } else if (v.kind == ValueKind::kInfinite) {
    rhs = v.negative ? -kLpInfinity : kLpInfinity;
  } else if (v.kind == ValueKind::kNone) {
    message(kMessageLpRhsNotConstant, true);
  }
  settle_row(mark);
  rhs -= constant;
  char type = relation == Relation::kLess ? 'L' : relation == Relation::kGreater ? 'G' : 'E';
  if (m_.term_row.size() == mark) {
    // Without terms the row reads 0 (relation) rhs: dropping it changes nothing when 0
    // satisfies it; otherwise the file states something infeasible, which is a fault.
    bool holds = type == 'L' ? 0.0 <= rhs : type == 'G' ? 0.0 >= rhs : rhs == 0.0;
    message(kMessageLpConstraintNoTerm, !holds);
    return;
  }
  std::string_view name;
  if (labelled) {
    name = std::string_view(label_.data(), label_.size());
  } else {
    int n = std::snprintf(generated_, sizeof generated_, "C%07d", row);
    name = std::string_view(generated_, static_cast<std::size_t>(n));
  }
  std::int32_t entry = m_.row_names.add(area_, name);
  memory(entry >= 0 && m_.row_type.push_back(area_, type) && m_.rhs.push_back(area_, rhs) &&
         m_.row_name.push_back(area_, entry));
}

void LpParser::bound_entry() {
  int c = in_.peek();
  std::int32_t j = -1;
  Value first;
  bool name_first = false;
  bool unknown_name = false;  // the entry begins with a name that is no column
  if (is_name_start(c)) {
    std::string_view name = read_name(name_);
    if (stop_) return;
    j = m_.column_names.find(name);
    name_first = j >= 0;
    if (j < 0 && is_infinity(name)) {
      first.kind = ValueKind::kInfinite;
    } else if (j < 0) {
      unknown_name = true;
    }
  } else if (c == '+' || c == '-' || is_digit(c) || (c == '.' && is_digit(in_.peek(1)))) {
    first = read_value();
    if (stop_) return;
    if (first.kind == ValueKind::kNone && in_.at_end()) {
      end_of_input(kMessageLpUnexpectedEnd);
      return;
    }
  } else {
    skip_stray();
    return;
  }
  skip_space();
  if (stop_) return;
  if (in_.at_end()) {
    end_of_input(kMessageLpUnexpectedEnd);
    return;
  }

  if (name_first) {
    auto k = static_cast<std::size_t>(j);
    Relation relation = read_relation();
    if (relation == Relation::kNone) {
      c = in_.peek();
      if (c == 'f' || c == 'F') {
        std::string_view word = read_name(name_);
        if (stop_) return;
        if (!(word.size() == 4 && lower_case(word[1]) == 'r' && lower_case(word[2]) == 'e' &&
              lower_case(word[3]) == 'e')) {
          message(kMessageLpFreeAssumed, false);
        }
        m_.lower[k] = -kLpInfinity;
        m_.upper[k] = kLpInfinity;
      } else {
        message(kMessageLpBadBound, true);
      }
      return;
    }
    skip_space();
    if (stop_) return;
    Value v = read_value();
    if (stop_) return;
    if (v.kind == ValueKind::kNone) {
      if (in_.at_end()) {
        end_of_input(kMessageLpUnexpectedEnd);
      } else {
        message(kMessageLpBoundNotConstant, true);
      }
      return;
    }
    if (v.kind == ValueKind::kBad) return;
    bool infinite = v.kind == ValueKind::kInfinite;
    if (relation == Relation::kLess) {
      m_.upper[k] = infinite ? kLpInfinity : v.number;
    } else if (relation == Relation::kGreater) {
      m_.lower[k] = infinite ? -kLpInfinity : v.number;
    } else {
      m_.lower[k] = infinite ? -kLpInfinity : v.number;
      m_.upper[k] = infinite ? kLpInfinity : v.number;
    }
    return;
  }

  // value (relation) name [(relation) value]
  Relation relation = read_relation();
  if (relation == Relation::kNone) {
    if (unknown_name) {
      message(kMessageLpExpectingVariable, true);
    } else {
      message(kMessageLpBadBound, true);
    }
    return;
  }
  skip_space();
  if (stop_) return;
  if (!is_name_start(in_.peek())) {
    if (in_.at_end()) {
      end_of_input(kMessageLpUnexpectedEnd);
      return;
    }
    // "x <= 5" with x no column: the value follows; skip it with the entry.
    message(kMessageLpExpectingVariable, true);
    read_value();
    return;
  }
  std::string_view name = read_name(name_);
  if (stop_) return;
  j = m_.column_names.find(name);
  if (first.kind == ValueKind::kNone) {
    message(kMessageLpLowerBoundNotConstant, false);
    first.kind = ValueKind::kInfinite;
  }
  if (j < 0) message(kMessageLpExpectingVariable, true);
  // A first value is a lower bound before '<', an upper one before '>'.
  auto bound_of = [](const Value& v, bool lower) {
    if (v.kind == ValueKind::kInfinite) return lower ? -kLpInfinity : kLpInfinity;
    return v.number;
  };
  if (j >= 0 && first.kind != ValueKind::kBad) {
    auto k = static_cast<std::size_t>(j);
    if (relation == Relation::kLess) {
      m_.lower[k] = bound_of(first, true);
    } else if (relation == Relation::kGreater) {
      m_.upper[k] = bound_of(first, false);
    } else {
      m_.lower[k] = bound_of(first, true);
      m_.upper[k] = bound_of(first, false);
    }
  }
  skip_space();
  if (stop_) return;
  c = in_.peek();
  if (c != '<' && c != '>' && c != '=') return;
  Relation second = read_relation();
  skip_space();
  if (stop_) return;
  if (second != relation || relation == Relation::kEqual) {
    message(kMessageLpLessExpected, true);
    read_value();
    return;
  }
  Value v = read_value();
  if (stop_) return;
  if (v.kind == ValueKind::kNone) {
    if (in_.at_end()) {
      end_of_input(kMessageLpUnexpectedEnd);
    } else {
      message(kMessageLpUpperBoundNotConstant, true);
    }
    return;
  }
  if (j < 0 || v.kind == ValueKind::kBad) return;
  auto k = static_cast<std::size_t>(j);
  if (relation == Relation::kLess) {
    m_.upper[k] = bound_of(v, false);
  } else {
    m_.lower[k] = bound_of(v, true);
  }
}

// One name of a generals (kind 'I') or binaries ('B') section.
void LpParser::name_entry(char kind) {
  if (!is_name_start(in_.peek())) {
    skip_stray();
    return;
  }
  std::string_view name = read_name(name_);
  if (stop_) return;
  std::int32_t j = m_.column_names.find(name);
  if (j < 0) {
    message(kMessageLpExpectingVariable, true);
    skip_space();
    if (stop_) return;
    // Only a section keyword may follow a name that is not a column.
    if (section_ahead() < 0) {
      if (in_.at_end()) {
        end_of_input(kMessageLpExpectingKeyword);
      } else {
        fatal(kMessageLpExpectingKeyword);
      }
    }
    return;
  }
  auto k = static_cast<std::size_t>(j);
  m_.mark[k] = kind;
  if (kind == 'B') {
    m_.lower[k] = 0.0;
    m_.upper[k] = 1.0;
  }
}

}  // namespace

std::int32_t read_lp_text(Library& lib, LpSource& source, LpResult* result) {
  LpResult local;
  LpResult& r = result ? *result : local;
  r = LpResult{};
  // Half of the free workspace: the upper half of what the loaded data leaves.
  LpWorkArea area(lib.workspace.free_bytes() / 2);
  LpModel model;
  LpParser parser(lib, source, area, model, r);
  if (!parser.parse()) {
    discard_problem(lib);
    lib.err.return_code = kRcInvalidCall;
    if (!r.messages.empty()) lib.err.error_number = r.messages.back();
    return lib.err.return_code;
  }
  return load_lp_model(lib, area, model, r);
}

}  // namespace kqopt::input
