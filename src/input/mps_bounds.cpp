// The BOUNDS section: the ten bound types and the global entities they declare.
//
// Integer columns (an integer block's columns and UI, LI and BV columns) take their
// upper bound rounded to an integer; UP 1 on one makes it binary. A bound value at or
// beyond ±1.0E29 means no bound, for integer columns too. A column that is already a
// global entity of another kind keeps it: UI, LI, BV, SC and PI on it are ignored with
// message 261.
#include <cmath>

#include "frame/message_numbers.h"
#include "input/mps_reader_state.h"
#include "input/number_parser.h"
#include "library/library.h"

namespace kqopt::input {

namespace {

enum class BoundType { kUp, kLo, kFx, kFr, kPl, kUi, kLi, kBv, kSc, kPi, kNone };

struct BoundWord {
  const char* text;
  BoundType type;
};

constexpr BoundWord kBoundTypes[] = {
    {"UP", BoundType::kUp}, {"LO", BoundType::kLo}, {"FX", BoundType::kFx}, {"FR", BoundType::kFr},
    {"PL", BoundType::kPl}, {"UI", BoundType::kUi}, {"LI", BoundType::kLi}, {"BV", BoundType::kBv},
    {"SC", BoundType::kSc}, {"PI", BoundType::kPi},
};

BoundType bound_type(std::string_view code) {
  for (const BoundWord& b : kBoundTypes) {
    if (code == b.text) return b.type;
  }
  return BoundType::kNone;
}

bool takes_value(BoundType type) { return type != BoundType::kFr && type != BoundType::kPl && type != BoundType::kBv; }

bool is_integer_kind(char kind) { return kind == 'I' || kind == 'B'; }

// The largest partial-integer limit that fits the entity word (4 + 16·n).
constexpr double kMaxPartialIntegerLimit = 134217727.0;

}  // namespace

bool MpsReader::entity_room(std::string_view name) {
  if (static_cast<std::int64_t>(model_.entity_kind.size() + model_.set_type.size()) < entity_limit_) return true;
  fatal(kMessageTooManyEntities);
  put_name(name);
  end_report(true);
  return false;
}

void MpsReader::add_entity(char kind, std::int32_t column, std::int32_t limit, double sc_limit) {
  column_entity_[static_cast<std::size_t>(column)] = static_cast<std::int32_t>(model_.entity_kind.size());
  model_.entity_kind.push_back(kind);
  model_.entity_column.push_back(column);
  model_.entity_limit.push_back(limit);
  model_.entity_sc_limit.push_back(sc_limit);
}

void MpsReader::bounds_line() {
  BoundType type = BoundType::kNone;
  if (layout_ == MpsLayout::kFree) {
    split_free_fields(line_, 1, fields_);
    type = bound_type(fields_.field[1]);
    // Without a set name the line has one token fewer.
    int without_set = takes_value(type) ? 3 : 2;
    if (fields_.tokens == without_set) {
      for (int i = 6; i > 2; --i)
        fields_.field[static_cast<std::size_t>(i)] = fields_.field[static_cast<std::size_t>(i - 1)];
      fields_.field[2] = {};
    }
    if (fields_.tokens > (type == BoundType::kSc ? 5 : 4)) type = BoundType::kNone;
  } else {
    char code[4] = {' ', ' ', ' ', ' '};
    for (std::size_t i = 0; i < 4 && i < line_.size(); ++i) code[i] = line_[i];
    if (code[0] == ' ' && code[3] == ' ') type = bound_type(std::string_view(code + 1, 2));
    // The SC bound's second number may fill columns 40 to 51.
    if (!cut_fields(LineKind::kSetLine, 1, 39)) return;
  }
  if (type == BoundType::kNone) {
    unrecognised_line();
    return;
  }
  SetName set;
  if (!take_set_name(fields_.field[2], set)) return;
  if (!choose_set(bound_choice_, set)) return;
  char name[kMaxNameWidth];
  if (!take_name(fields_.field[3], name)) return;
  std::int32_t j = find_column(name_view(name));
  if (j < 0) {
    report(kMessageUnknownColumn, kLineFault);
    put_name(name_view(name));
    end_report(true);
    return;
  }
  double value = 0;
  if (takes_value(type) && !take_number(fields_.field[4], value)) return;

  const auto c = static_cast<std::size_t>(j);
  double& lower = model_.lower[c];
  double& upper = model_.upper[c];
  std::int32_t e = column_entity_[c];
  char kind = e >= 0 ? model_.entity_kind[static_cast<std::size_t>(e)] : '\0';
  const double intmax = intmax_;

  auto beyond_intmax = [&] {
    report(kMessageIntegerBeyondIntmax, kFatalFault);
    put_name(name_view(name));
    end_report(true);
  };
  auto already_entity = [&] {
    report(kMessageAlreadyEntity, 0);
    put_name(name_view(name));
    end_report(true);
  };
  auto set_kind = [&](char k) { model_.entity_kind[static_cast<std::size_t>(column_entity_[c])] = k; };

  switch (type) {
    case BoundType::kLo:
      lower = value <= -kInfinityThreshold ? -kInfinity : value;
      break;
    case BoundType::kUp:
      if (value >= kInfinityThreshold) {
        upper = kInfinity;
        if (kind == 'B') set_kind('I');
      } else if (is_integer_kind(kind)) {
        double n = std::round(value);
        if (n > intmax) {
          beyond_intmax();
          return;
        }
        upper = n;
        set_kind(n == 1.0 ? 'B' : 'I');
      } else {
        upper = value <= -kInfinityThreshold ? -kInfinity : value;
      }
      break;
    case BoundType::kFx:
      lower = upper = value;
      break;
    case BoundType::kFr:
      lower = -kInfinity;
      upper = kInfinity;
      break;
    case BoundType::kPl:
      // "Plus infinity": also for an integer-block column, whose default is 1.
      upper = kInfinity;
      if (kind == 'B') set_kind('I');
      break;
    case BoundType::kUi: {
      double n = value >= kInfinityThreshold ? kInfinity : std::round(value);
      if (n != kInfinity && n > intmax) {
        beyond_intmax();
        return;
      }
      if (e >= 0 && !is_integer_kind(kind)) {
        already_entity();
        return;
      }
      if (e < 0) {
        if (!entity_room(name_view(name))) return;
        add_entity('I', j, 0, 0.0);
      }
      set_kind('I');
      upper = n;
      break;
    }
    case BoundType::kLi: {
      double n = value <= -kInfinityThreshold ? -kInfinity : std::round(value);
      if (n != -kInfinity && n < -intmax) {
        beyond_intmax();
        return;
      }
      if (e >= 0 && !is_integer_kind(kind)) {
        already_entity();
        return;
      }
      lower = n;
      if (e < 0) {
        if (!entity_room(name_view(name))) return;
        add_entity('I', j, 0, 0.0);
        // An open upper bound becomes INTMAX; one given earlier stays.
        if (upper >= kInfinityThreshold) upper = intmax;
      }
      break;
    }
    case BoundType::kBv:
      if (e >= 0 && !is_integer_kind(kind)) {
        already_entity();
        return;
      }
      if (e < 0) {
        if (!entity_room(name_view(name))) return;
        add_entity('B', j, 0, 0.0);
      }
      set_kind('B');
      upper = 1.0;
      break;
    case BoundType::kSc: {
      if (e >= 0) {
        already_entity();
        return;
      }
      // The second number, from column 40 (shifted with the name length).
      double limit = 1.0;
      std::string_view second;
      if (layout_ == MpsLayout::kFree) {
        second = fields_.field[5];
      } else {
        const FieldSpan& f5 = spans_[static_cast<std::size_t>(LineKind::kSetLine)].field[5];
        int start = layout_ == MpsLayout::kFixed ? 39 : f5.start;
        if (static_cast<int>(line_.size()) > start) {
          second = line_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(number_width_));
        }
      }
      double given = 0;
      if (!is_blank(second) && parse_number(second, given) == NumberStatus::kOk && given > 0) limit = given;
      if (!entity_room(name_view(name))) return;
      add_entity('S', j, 0, limit);
      upper = value >= kInfinityThreshold ? kInfinity : value;
      break;
    }
    case BoundType::kPi: {
      double n = std::round(value);
      if (!(n >= 0) || n > intmax || n > kMaxPartialIntegerLimit) {
        beyond_intmax();
        return;
      }
      if (e >= 0) {
        already_entity();
        return;
      }
      if (!entity_room(name_view(name))) return;
      add_entity('P', j, static_cast<std::int32_t>(n), 0.0);
      break;
    }
    case BoundType::kNone:
      break;
  }
}

}  // namespace kqopt::input
