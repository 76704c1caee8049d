// The directives file reader (directives_file.h).
#include "input/directives_file.h"

#include <cmath>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "frame/message_numbers.h"
#include "input/line_reader.h"
#include "input/mps_fields.h"
#include "input/number_parser.h"
#include "library/library.h"
#include "problem/names.h"
#include "problem/problem.h"

namespace kqopt {

namespace {

using input::InputFiles;
using input::LineResult;

// '?' matches one character, '*' the rest of the name.
bool matches(std::string_view pattern, std::string_view name) {
  std::size_t k = 0;
  for (; k < pattern.size(); ++k) {
    if (pattern[k] == '*') return true;
    if (k >= name.size()) return false;
    if (pattern[k] != '?' && pattern[k] != name[k]) return false;
  }
  return k == name.size();
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string_view field(std::string_view line, std::size_t start, std::size_t width) {
  if (start >= line.size()) return {};
  return line.substr(start, width);
}

class DirectivesReader {
 public:
  explicit DirectivesReader(Library& lib) : lib_(lib), p_(*lib.problem) {}

  std::int32_t read(const std::string& path) {
    if (files_.push_file(path) != InputFiles::Open::kOk) {
      report_error(lib_, kRcInvalidCall, kMessageRequiredFileMissing);
      return lib_.err.return_code;
    }
    reset_entities();
    build_names();
    const bool free_layout = lib_.controls.i(icv::FREFMT) != 0;
    const int words = name_words_for_length(lib_.controls.i(icv::NAMLEN));
    const std::size_t name_width = 8 * static_cast<std::size_t>(words);
    while (true) {
      const LineResult next = input::next_input_line(lib_, files_);
      if (next == LineResult::kEnd || next == LineResult::kInterrupted) break;
      if (next == LineResult::kFailed) {
        print_message(lib_, kMessageInputReadError);
        flush_line(lib_);
        break;
      }
      const std::string_view line = files_.top().line();
      if (input::is_blank(line) || line.front() == '*') continue;
      std::string_view type, name, value;
      if (free_layout) {
        input::LineFields f;
        input::split_free_fields(line, 1, f);
        type = f.field[1];
        name = f.field[2];
        value = f.field[3];
      } else {
        type = trim(field(line, 0, 4));
        name = trim(field(line, 4, name_width));
        value = field(line, 24 + 8 * static_cast<std::size_t>(words - 1), 24);
      }
      if (!directive(line, type, name, value)) break;
    }
    files_.pop();
    return lib_.err.return_code;
  }

 private:
  void reset_entities() {
    const auto cost = static_cast<float>(lib_.controls.d(dcv::RTOLPS) * p_.cost_scale);
    for (GlobalEntity& e : p_.entities) {
      e.priority_word = kDefaultPriorityWord;
      e.up_pseudo_cost = cost;
      e.down_pseudo_cost = cost;
    }
  }

  void build_names() {
    names_.clear();
    by_name_.clear();
    for (const GlobalEntity& e : p_.entities) {
      std::string name =
          e.is_set() ? p_.sets.names.trimmed(e.reference) : p_.names.trimmed(p_.column_variable(e.reference));
      names_.push_back(name);
      by_name_.emplace(std::move(name), static_cast<std::int32_t>(names_.size()) - 1);
    }
  }

  void warn_with_name(int message, std::string_view text, std::string_view line) {
    print_message(lib_, message);
    input::put_file_text(lib_, text);
    flush_line(lib_);
    input::echo_line(lib_, line);
  }

  // False when reading must stop.
  bool directive(std::string_view line, std::string_view type, std::string_view name, std::string_view value) {
    enum class Kind { kPriority, kUp, kDown, kUpCost, kDownCost };
    Kind kind;
    if (type == "PR") {
      kind = Kind::kPriority;
    } else if (type == "UP") {
      kind = Kind::kUp;
    } else if (type == "DN") {
      kind = Kind::kDown;
    } else if (type == "PU") {
      kind = Kind::kUpCost;
    } else if (type == "PD") {
      kind = Kind::kDownCost;
    } else {
      warn_with_name(kMessageUnknownDirective, type.substr(0, 2), line);
      return true;
    }
    double v = 0.0;
    if (input::parse_number(value, v) != input::NumberStatus::kOk) {
      print_message(lib_, kMessageBadNumber);
      flush_line(lib_);
      input::echo_line(lib_, line);
      return false;
    }
    std::vector<std::int32_t> targets;
    if (name.find_first_of("?*") != std::string_view::npos) {
      for (std::size_t k = 0; k < names_.size(); ++k) {
        if (matches(name, names_[k])) targets.push_back(static_cast<std::int32_t>(k));
      }
    } else {
      const auto range = by_name_.equal_range(std::string(name));
      for (auto it = range.first; it != range.second; ++it) targets.push_back(it->second);
    }
    if (targets.empty()) {
      warn_with_name(kMessageNoSuchEntity, name, line);
      return true;
    }
    std::int32_t priority = 0;
    if (kind == Kind::kPriority) {
      const double rounded = std::nearbyint(v);
      if (!(rounded >= 0.0 && rounded <= 1000.0)) {
        print_message(lib_, kMessagePriority);
        input::put_file_text(lib_, name);
        put_real(lib_, v);
        flush_line(lib_);
        input::echo_line(lib_, line);
        return true;
      }
      priority = static_cast<std::int32_t>(rounded);
    }
    for (std::int32_t k : targets) {
      GlobalEntity& e = p_.entities[static_cast<std::size_t>(k)];
      switch (kind) {
        case Kind::kPriority:
          e.priority_word = 16 * priority + e.direction();
          break;
        case Kind::kUp:
          e.priority_word = 16 * e.priority() + 1;
          break;
        case Kind::kDown:
          e.priority_word = 16 * e.priority() + 2;
          break;
        case Kind::kUpCost:
          e.up_pseudo_cost = static_cast<float>(v);
          break;
        case Kind::kDownCost:
          e.down_pseudo_cost = static_cast<float>(v);
          break;
      }
    }
    return true;
  }

  Library& lib_;
  Problem& p_;
  InputFiles files_;
  std::vector<std::string> names_;
  std::unordered_multimap<std::string, std::int32_t> by_name_;
};

}  // namespace

std::int32_t read_directives_file(Library& lib, const char* name) {
  lib.begin_operation();
  if (!lib.has_problem() || lib.problem->entities.empty()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  // Presolve works on a copy, so the loaded problem is only held in another form while
  // the search runs.
  if (lib.global_search_active) {
    report_error(lib, kRcInvalidCall, kMessageDirectivesNotNow);
    return lib.err.return_code;
  }
  std::string path = name != nullptr && *name != '\0' ? std::string(name) : lib.problem_name;
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) path += ".dir";
  DirectivesReader reader(lib);
  return reader.read(path);
}

}  // namespace kqopt
