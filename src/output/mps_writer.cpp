// The problem writer; the file's layout and the option letters are in mps_writer.h.
#include "output/mps_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/message_numbers.h"
#include "frame/replacing_file.h"
#include "library/library.h"
#include "output/mps_number.h"
#include "output/write_failure.h"
#include "problem/matrix.h"
#include "problem/problem.h"
#include "problem/units.h"

namespace kqopt {

namespace {

constexpr char kNoObjectiveName[] = "**OBJ***";
constexpr double kWrittenInfinity = 1.0e30;

enum class NumberForm { kNormal, kFull, kHex };
// Where field 3 and field 4 lie: COLUMNS lines shift both with the name width, the set
// lines of RHS, RANGES, BOUNDS and SETS only the number.
enum class LineKind { kColumns, kSetLine };

struct Entry {
  std::string name;
  double value;
};

// "VVVVVV12": the number written over the right end of eight fill characters.
std::string generated_name(char fill, std::int64_t number) {
  std::string name(8, fill);
  const std::string digits = std::to_string(number);
  const std::size_t n = std::min<std::size_t>(digits.size(), 8);
  name.replace(8 - n, n, digits.substr(digits.size() - n));
  return name;
}

class MpsWriter {
 public:
  MpsWriter(Library& lib, Problem& p, ReplacingFile& out) : lib_(lib), p_(p), out_(out) {
    form_ = lib.option('x') ? NumberForm::kHex : lib.option('p') ? NumberForm::kFull : NumberForm::kNormal;
    internal_ = lib.option('n');
    generated_ = lib.option('s');
    compact_ = lib.option('c');
    zero_ = lib.controls.d(dcv::ZTOLZE);
    objective_row_ = p.named_objective_row();
    name_width_ = generated_ ? 8 : written_name_width();
    extra_ = name_width_ - 8;
    one_per_line_ = lib.option('o') || form_ != NumberForm::kNormal || extra_ > 0;
  }

  bool run() {
    left_out_.assign(static_cast<std::size_t>(p_.columns), false);
    rhs_shift_.assign(static_cast<std::size_t>(p_.rows), 0.0);
    constant_ = p_.objective_constant;
    if (compact_) leave_out_fixed_columns();
    name_line();
    rows();
    columns();
    sets();
    rhs();
    ranges();
    bounds();
    line_ = "ENDATA";
    emit();
    return flush();
  }

 private:
  // Eight characters unless a name uses more of its room.
  int written_name_width() const {
    const int width = p_.names.width();
    if (width <= 8) return 8;
    std::vector<char> name(static_cast<std::size_t>(width));
    const std::int32_t slots = p_.row_slots();
    for (std::int32_t v = 0; v < p_.variables(); ++v) {
      if (v >= p_.rows && v < slots) continue;
      p_.names.copy_name(v, name.data());
      for (int c = 8; c < width; ++c) {
        if (name[static_cast<std::size_t>(c)] != ' ') return width;
      }
    }
    return 8;
  }

  std::string variable_name(std::int32_t v) const {
    std::string name(static_cast<std::size_t>(p_.names.width()), ' ');
    p_.names.copy_name(v, name.data());
    name.resize(static_cast<std::size_t>(name_width_), ' ');
    return name;
  }
  std::string row_name(std::int32_t i) const { return generated_ ? generated_name('V', i + 1) : variable_name(i); }
  std::string column_name(std::int32_t j) const {
    return generated_ ? generated_name('V', j + 1) : variable_name(p_.column_variable(j));
  }
  std::string objective_name() const { return objective_row_ >= 0 ? row_name(objective_row_) : kNoObjectiveName; }

  // Values in the caller's units unless 'n'.
  double cost(std::int32_t j) const {
    const double c = p_.objective[static_cast<std::size_t>(j)];
    return internal_ ? c : scale_by(c, objective_shift(p_, j));
  }
  double element(std::int32_t i, std::int32_t j, double a) const {
    return internal_ ? a : scale_by(a, element_shift(p_, i, j));
  }
  double bound(std::int32_t j, double b) const {
    const double v = internal_ ? b : scale_bound_by(b, column_bound_shift(p_, j));
    return std::fabs(v) <= zero_ ? 0.0 : v;
  }
  double lower(std::int32_t j) const { return bound(j, p_.lower[static_cast<std::size_t>(p_.column_variable(j))]); }
  double upper(std::int32_t j) const { return bound(j, p_.upper[static_cast<std::size_t>(p_.column_variable(j))]); }
  double row_value(std::int32_t i, double b) const { return internal_ ? b : scale_bound_by(b, row_shift(p_, i)); }

  bool fixed_column(std::int32_t j) const {
    const auto v = static_cast<std::size_t>(p_.column_variable(j));
    return (p_.status[v] & status::kFixed) != 0 || p_.lower[v] == p_.upper[v];
  }

  // 'c': a fixed column outside every set leaves the file; its value moves into the
  // right-hand sides and the objective constant.
  void leave_out_fixed_columns() {
    std::vector<bool> in_set(static_cast<std::size_t>(p_.columns), false);
    for (const SetMember& m : p_.sets.members) in_set[static_cast<std::size_t>(m.column)] = true;
    for (std::int32_t j = 0; j < p_.columns; ++j) {
      if (in_set[static_cast<std::size_t>(j)] || !fixed_column(j)) continue;
      const double value = lower(j);
      left_out_[static_cast<std::size_t>(j)] = true;
      constant_ += cost(j) * value;
      const ColumnMatrix& a = p_.by_column;
      for (std::int32_t q = a.start[static_cast<std::size_t>(j)]; q < a.start[static_cast<std::size_t>(j) + 1]; ++q) {
        const std::int32_t i = a.row[static_cast<std::size_t>(q)];
        if (i == objective_row_ || i >= p_.rows) continue;
        rhs_shift_[static_cast<std::size_t>(i)] += element(i, j, a.value[static_cast<std::size_t>(q)]) * value;
      }
    }
  }

  // Line assembly: text placed at a 0-based column; a field that would run into the
  // previous one is set off by a blank instead.
  void place(std::size_t column, std::string_view text) {
    if (line_.size() <= column) {
      line_.resize(column, ' ');
    } else {
      line_ += ' ';
    }
    line_ += text;
  }
  void place_number(std::size_t column, double value) {
    switch (form_) {
      case NumberForm::kNormal: {
        std::string text = mps_normal_number(value);
        if (text.size() < kMpsNumberWidth) text.insert(0, kMpsNumberWidth - text.size(), ' ');
        place(column, text);
        break;
      }
      case NumberForm::kFull:
        place(column, mps_full_number(value));
        break;
      case NumberForm::kHex:
        place(column, mps_high_word(value));
        place(column + 8, mps_low_word(value));
        place(column + 17, mps_full_number(value));
        break;
    }
  }
  void emit() {
    while (!line_.empty() && line_.back() == ' ') line_.pop_back();
    buffer_ += line_;
    buffer_ += '\n';
    line_.clear();
    if (!collecting_ && buffer_.size() >= (1u << 20)) flush();
  }
  bool flush() {
    const bool ok = out_.write(buffer_);
    buffer_.clear();
    return ok;
  }
  void header(const char* text) {
    line_ = text;
    emit();
  }

  std::size_t name3_column(LineKind kind) const {
    return static_cast<std::size_t>(14 + (kind == LineKind::kColumns ? extra_ : 0));
  }
  std::size_t number_column(LineKind kind) const {
    return static_cast<std::size_t>(24 + (kind == LineKind::kColumns ? 2 * extra_ : extra_));
  }

  // Data lines of (name, value) pairs after field 2: two to a line in the normal form.
  void entry_lines(LineKind kind, const std::string& field2, const std::vector<Entry>& entries) {
    const std::size_t per_line = one_per_line_ ? 1 : 2;
    for (std::size_t e = 0; e < entries.size(); e += per_line) {
      place(4, field2);
      place(name3_column(kind), entries[e].name);
      place_number(number_column(kind), entries[e].value);
      if (e + 1 < entries.size() && per_line == 2) {
        place(39, entries[e + 1].name);
        place_number(49, entries[e + 1].value);
      }
      emit();
    }
  }

  void name_line() {
    std::string name = lib_.problem_name;
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    line_ = "NAME";
    if (!name.empty()) place(14, name);
    emit();
  }

  void rows() {
    header("ROWS");
    if (objective_row_ < 0) {
      line_ = " N  ";
      line_ += kNoObjectiveName;
      emit();
    }
    for (std::int32_t i = 0; i < p_.rows; ++i) {
      const std::uint8_t code = p_.row_type[static_cast<std::size_t>(i)];
      const char* type = (code & row_type::kFree)      ? " N"
                         : (code & row_type::kEqual)   ? " E"
                         : (code & row_type::kGreater) ? " G"
                                                       : " L";
      line_ = type;
      place(4, row_name(i));
      emit();
    }
  }

  void columns() {
    header("COLUMNS");
    const ColumnMatrix& a = p_.by_column;
    std::vector<std::pair<std::int32_t, double>> column;
    std::vector<Entry> entries;
    const std::string objective = objective_name();
    for (std::int32_t j = 0; j < p_.columns; ++j) {
      if (left_out_[static_cast<std::size_t>(j)]) continue;
      column.clear();
      for (std::int32_t q = a.start[static_cast<std::size_t>(j)]; q < a.start[static_cast<std::size_t>(j) + 1]; ++q) {
        const std::int32_t i = a.row[static_cast<std::size_t>(q)];
        if (i == objective_row_ || i >= p_.rows) continue;
        column.emplace_back(i, a.value[static_cast<std::size_t>(q)]);
      }
      std::stable_sort(column.begin(), column.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
      entries.clear();
      const double c = cost(j);
      // A column with neither cost nor entries would vanish from the file.
      if (c != 0.0 || column.empty()) entries.push_back({objective, c});
      for (const auto& [i, value] : column) entries.push_back({row_name(i), element(i, j, value)});
      entry_lines(LineKind::kColumns, column_name(j), entries);
    }
  }

  void sets() {
    const std::int32_t count = p_.sets.count();
    if (count == 0) return;
    std::vector<char> type(static_cast<std::size_t>(count), '1');
    for (const GlobalEntity& e : p_.entities) {
      if (e.is_set() && e.reference >= 0 && e.reference < count) {
        type[static_cast<std::size_t>(e.reference)] = e.kind() == EntityKind::kSet2 ? '2' : '1';
      }
    }
    header("SETS");
    std::vector<Entry> entries;
    for (std::int32_t k = 0; k < count; ++k) {
      const std::string name = generated_name('S', k + 1);
      line_ = " S";
      line_ += type[static_cast<std::size_t>(k)];
      place(4, name);
      emit();
      entries.clear();
      for (std::int32_t q = p_.sets.start[static_cast<std::size_t>(k)];
           q < p_.sets.start[static_cast<std::size_t>(k) + 1]; ++q) {
        const SetMember& m = p_.sets.members[static_cast<std::size_t>(q)];
        const double weight = internal_ ? m.weight : scale_by(m.weight, column_bound_shift(p_, m.column));
        entries.push_back({column_name(m.column), weight});
      }
      entry_lines(LineKind::kSetLine, name, entries);
    }
  }

  std::string set_name(int control, const char* fallback) const {
    std::string name = lib_.controls.c(control);
    return name.empty() ? std::string(fallback) : name;
  }

  void rhs() {
    header("RHS");
    std::vector<Entry> entries;
    if (objective_row_ < 0 && constant_ != 0.0) entries.push_back({kNoObjectiveName, -constant_});
    for (std::int32_t i = 0; i < p_.rows; ++i) {
      double value = 0.0;
      if (i == objective_row_) {
        value = -constant_;
      } else {
        value = row_value(i, p_.rhs[static_cast<std::size_t>(i)]) - rhs_shift_[static_cast<std::size_t>(i)];
        if (std::fabs(value) <= zero_) value = 0.0;
      }
      if (value != 0.0) entries.push_back({row_name(i), value});
    }
    entry_lines(LineKind::kSetLine, set_name(ccv::RHSNAM, "RHS00001"), entries);
  }

  void ranges() {
    std::vector<Entry> entries;
    for (std::int32_t i = 0; i < p_.rows; ++i) {
      const auto v = static_cast<std::size_t>(i);
      if ((p_.row_type[v] & (row_type::kFree | row_type::kEqual | row_type::kGreater)) != 0) continue;
      if (p_.upper[v] >= kInfinity) continue;
      entries.push_back({row_name(i), row_value(i, p_.upper[v])});
    }
    if (entries.empty()) return;
    header("RANGES");
    entry_lines(LineKind::kSetLine, set_name(ccv::RNGNAM, "RNG00001"), entries);
  }

  void bound_line(const char* type, const std::string& set, const std::string& column, double value, bool number,
                  double second = 1.0) {
    line_ = type;
    place(4, set);
    place(name3_column(LineKind::kSetLine), column);
    if (number) place_number(number_column(LineKind::kSetLine), value);
    if (second != 1.0)
      place(static_cast<std::size_t>(39 + extra_),
            form_ == NumberForm::kNormal ? mps_normal_number(second) : mps_full_number(second));
    emit();
  }

  void bounds() {
    std::vector<const GlobalEntity*> entity(static_cast<std::size_t>(p_.columns), nullptr);
    for (const GlobalEntity& e : p_.entities) {
      if (!e.is_set() && e.reference >= 0 && e.reference < p_.columns)
        entity[static_cast<std::size_t>(e.reference)] = &e;
    }
    const std::string set = set_name(ccv::BNDNAM, "BOUND001");
    // The lines are collected first: the section is written only when it has any.
    if (!flush()) return;
    collecting_ = true;
    bool any = false;
    auto limit = [](double b) { return std::fabs(b) >= kInfinityThreshold ? std::copysign(kWrittenInfinity, b) : b; };
    for (std::int32_t j = 0; j < p_.columns; ++j) {
      if (left_out_[static_cast<std::size_t>(j)]) continue;
      const double l = lower(j), u = upper(j);
      const std::string name = column_name(j);
      const std::size_t before = buffer_.size();
      // Bounds the reader holds once the entity line is read.
      double l0 = 0.0, u0 = kInfinity;
      if (const GlobalEntity* e = entity[static_cast<std::size_t>(j)]) {
        switch (e->kind()) {
          case EntityKind::kInteger:
            bound_line(" UI", set, name, limit(u), true);
            u0 = u;
            break;
          case EntityKind::kBinary:
            bound_line(" BV", set, name, 1.0, true);
            u0 = 1.0;
            break;
          case EntityKind::kSemiContinuous: {
            const double second = internal_ ? e->limit : scale_bound_by(e->limit, column_bound_shift(p_, j));
            bound_line(" SC", set, name, limit(u), true, second > 0 ? second : 1.0);
            u0 = u;
            break;
          }
          case EntityKind::kPartialInteger:
            bound_line(" PI", set, name, e->partial_integer_limit(), true);
            break;
          default:
            break;
        }
        if (l == u) {
          if (l0 != l || u0 != u) bound_line(" FX", set, name, l, true);
        } else {
          if (l != l0) bound_line(" LO", set, name, limit(l), true);
          if (u != u0) bound_line(" UP", set, name, limit(u), true);
        }
      } else if (l == u) {
        bound_line(" FX", set, name, l, true);
      } else if (l <= -kInfinityThreshold && u >= kInfinityThreshold) {
        bound_line(" FR", set, name, 0.0, false);
      } else {
        if (l != 0.0) bound_line(" LO", set, name, limit(l), true);
        if (u < kInfinityThreshold) bound_line(" UP", set, name, u, true);
      }
      any = any || buffer_.size() != before;
    }
    collecting_ = false;
    if (any) {
      std::string section = std::move(buffer_);
      buffer_.clear();
      header("BOUNDS");
      buffer_ += section;
    }
  }

  Library& lib_;
  Problem& p_;
  ReplacingFile& out_;
  NumberForm form_ = NumberForm::kNormal;
  bool internal_ = false, generated_ = false, compact_ = false, one_per_line_ = false;
  bool collecting_ = false;
  double zero_ = 0.0;
  std::int32_t objective_row_ = -1;
  int name_width_ = 8;
  int extra_ = 0;
  double constant_ = 0.0;
  std::vector<bool> left_out_;
  std::vector<double> rhs_shift_;
  std::string line_;
  std::string buffer_;
};

}  // namespace

std::int32_t write_problem_file(Library& lib) {
  lib.begin_operation();
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  Problem& p = *lib.problem;
  if (!ensure_column_copy(lib, p)) return lib.err.return_code;
  const std::string file = problem_file_name(lib, "mat");
  ReplacingFile out;
  bool ok = out.open(file);
  if (ok) {
    MpsWriter writer(lib, p, out);
    ok = writer.run();
    ok = out.commit() && ok;
  }
  if (!ok) report_write_failure(lib, out.error(), file);
  return lib.err.return_code;
}

}  // namespace kqopt
