// KQINPUT: file name resolution, the reader, the control write-back and the load.
#include "input/input_problem.h"

#include <cstring>

#include "frame/message_numbers.h"
#include "input/line_reader.h"
#include "input/lp_reader.h"
#include "input/lp_source.h"
#include "input/mps_reader.h"
#include "library/library.h"
#include "library/lifecycle.h"
#include "problem/load.h"

namespace kqopt::input {

namespace {
constexpr std::int64_t kFatalWeight = 10000;

constexpr const char* kExtensions[] = {"mat", "mps", "lp"};

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

template <typename T>
const T* data_or_empty(const std::vector<T>& v) {
  static const T kNone{};
  return v.empty() ? &kNone : v.data();
}

// Writes an 8-character name into a character control, leaving its access flag alone:
// the value reports what was read, it is not a choice the caller made.
void write_back(Library& lib, int n, std::string_view name) {
  auto& value = lib.controls.ccv[static_cast<std::size_t>(n)];
  value.fill(' ');
  std::memcpy(value.data(), name.data(), name.size() < value.size() ? name.size() : value.size());
}

std::string trimmed(const std::string& s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

// Loads what the MPS reader read. Returns the return code.
std::int32_t load_model(Library& lib, const MpsModel& model, std::int64_t faults) {
  ProblemInput in;
  in.problem_name = nullptr;  // the problem name stays the file's
  in.rows = model.rows();
  in.columns = model.columns();
  in.row_types = data_or_empty(model.row_type);
  in.rhs = data_or_empty(model.rhs);
  in.range = data_or_empty(model.range);
  in.objective = data_or_empty(model.cost);
  in.column_starts = data_or_empty(model.column_start);
  in.column_lengths = nullptr;
  in.element_rows = data_or_empty(model.element_row);
  in.element_values = data_or_empty(model.element_value);
  in.lower = data_or_empty(model.lower);
  in.upper = data_or_empty(model.upper);
  in.row_names = data_or_empty(model.row_names);
  in.column_names = data_or_empty(model.column_names);
  in.spare_row_names = model.spare_row_names.empty() ? nullptr : model.spare_row_names.data();
  in.name_chars = model.name_width;

  in.entity_count = static_cast<std::int32_t>(model.entity_kind.size());
  in.entity_kinds = data_or_empty(model.entity_kind);
  in.entity_columns = data_or_empty(model.entity_column);
  in.entity_limits = data_or_empty(model.entity_limit);
  in.semi_continuous_limits = data_or_empty(model.entity_sc_limit);
  in.set_count = static_cast<std::int32_t>(model.set_type.size());
  in.set_types = data_or_empty(model.set_type);
  in.set_starts = data_or_empty(model.set_start);
  in.set_columns = data_or_empty(model.set_column);
  in.set_weights = data_or_empty(model.set_weight);
  in.set_names = data_or_empty(model.set_names);
  in.set_reference_rows = data_or_empty(model.set_reference_row);

  in.objective_constant = model.objective_constant;
  in.deferred_pairs = model.mvub;
  in.recursion_records = model.recursion;
  std::string bound_set = trimmed(model.bound_set);
  std::string range_set = trimmed(model.range_set);
  std::string rhs_set = trimmed(model.rhs_set);
  in.bound_set_name = bound_set.c_str();
  in.range_set_name = range_set.c_str();
  in.rhs_set_name = rhs_set.c_str();

  LoadOptions options;
  options.tag = "input   ";
  options.global_tag = "input   ";
  options.index_base = 1;
  options.global = in.entity_count > 0 || in.set_count > 0;
  options.apply_ifnrw = false;
  options.extra_spare_rows = model.extra_spare_rows;
  options.spare_row_kind = SpareRowKind::kEmptyLess;
  options.check_capacities = false;
  options.sets_first = false;
  options.prior_faults = faults;
  // Faults of single lines leave a problem to look at; invalid numbers, integer bounds
  // beyond INTMAX and crossed bounds (message 18, counted by the loader) do not.
  bool crossed = false;
  for (std::int32_t j = 0; j < model.columns() && !crossed; ++j) {
    crossed = model.lower[static_cast<std::size_t>(j)] > model.upper[static_cast<std::size_t>(j)];
  }
  options.keep_loaded_over_ignore = faults < kFatalWeight && !crossed;
  std::int32_t rc = load_problem(lib, in, options);
  // KQINPUT reports a problem that does not fit (message 20) as a failed read.
  if (rc == kRcNoFit) {
    rc = kRcInvalidCall;
    lib.err.return_code = rc;
  }

  if (lib.problem && lib.problem->loaded) {
    Problem& p = *lib.problem;
    p.objective_row = model.objective_row;
    for (std::int32_t j = 0; j < model.columns(); ++j) {
      if (model.column_empty[static_cast<std::size_t>(j)]) {
        p.status[static_cast<std::size_t>(p.column_variable(j))] |= status::kEmptyColumn;
      }
    }
    if (!model.problem_name.empty()) set_blank_padded(lib.attributes.char_3000[0], model.problem_name.c_str());
  }
  return rc;
}

// Reads the MPS file on top of files and loads it.
std::int32_t read_and_load(Library& lib, InputFiles& files, InputDiagnostics* diagnostics) {
  MpsModel model;
  MpsResult result = read_mps(lib, files, model);
  files.pop();
  if (diagnostics) {
    diagnostics->messages = result.messages;
    diagnostics->faults = result.faults;
    diagnostics->lines = result.lines;
  }
  switch (result.outcome) {
    case MpsOutcome::kDictionaryFull:
      discard_problem(lib);
      lib.err.return_code = kRcInputError;
      lib.err.error_number = kMessageDictionaryFull;
      return lib.err.return_code;
    case MpsOutcome::kFailed: {
      int last = result.messages.empty() ? 0 : result.messages.back();
      discard_problem(lib);
      lib.err.return_code = kRcInvalidCall;
      if (last != 0) lib.err.error_number = last;
      return lib.err.return_code;
    }
    case MpsOutcome::kRead:
      break;
  }
  write_back(lib, ccv::RHSNAM, model.rhs_set);
  write_back(lib, ccv::RNGNAM, model.range_set);
  write_back(lib, ccv::BNDNAM, model.bound_set);
  write_back(lib, ccv::OBJNAM, model.objective_name);
  return load_model(lib, model, result.faults);
}

// Reads the LP text of source and loads it.
std::int32_t read_lp_and_load(Library& lib, LpSource& source, InputDiagnostics* diagnostics) {
  LpResult result;
  std::int32_t rc = read_lp_text(lib, source, &result);
  if (diagnostics) {
    diagnostics->messages = result.messages;
    diagnostics->faults = result.faults;
    diagnostics->lines = source.line();
  }
  return rc;
}

}  // namespace

namespace {
// Position of the dot that starts the extension, or npos.
std::size_t extension_dot(std::string_view name) {
  std::size_t slash = name.find_last_of("/\\");
  std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::string_view::npos;
  return dot;
}
}  // namespace

std::string_view file_extension(std::string_view name) {
  std::size_t dot = extension_dot(name);
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string_view without_extension(std::string_view name) { return name.substr(0, extension_dot(name)); }

ResolvedInput resolve_input_file(std::string_view name) {
  ResolvedInput resolved;
  std::size_t dot = extension_dot(name);
  bool has_extension = dot != std::string_view::npos;
  LineReader probe;
  if (has_extension) {
    resolved.path.assign(name);
    resolved.format = equals_ignoring_case(name.substr(dot + 1), "lp") ? InputFormat::kLpText : InputFormat::kMps;
    resolved.found = probe.open_file(resolved.path);
    return resolved;
  }
  for (const char* extension : kExtensions) {
    std::string path = std::string(name) + "." + extension;
    if (probe.open_file(path)) {
      resolved.found = true;
      resolved.path = path;
      resolved.format = std::strcmp(extension, "lp") == 0 ? InputFormat::kLpText : InputFormat::kMps;
      return resolved;
    }
  }
  resolved.path = std::string(name) + ".mat";
  return resolved;
}

std::int32_t input_problem(Library& lib, const char* name, InputDiagnostics* diagnostics) {
  lib.begin_operation();
  std::string given(name);
  std::string problem_name(without_extension(given));
  set_problem_name(lib, problem_name.c_str());

  ResolvedInput resolved = resolve_input_file(given);
  if (!resolved.found) {
    report_open_failure(lib, InputFiles::Open::kCannotOpen, resolved.path);
    flush_notice(lib);
    return lib.err.return_code;
  }
  if (resolved.format == InputFormat::kLpText) {
    LpSource source;
    if (!source.open_file(resolved.path)) {
      report_open_failure(lib, InputFiles::Open::kCannotOpen, resolved.path);
      flush_notice(lib);
      return lib.err.return_code;
    }
    std::int32_t rc = read_lp_and_load(lib, source, diagnostics);
    flush_notice(lib);
    return rc;
  }
  InputFiles files;
  InputFiles::Open opened = files.push_file(resolved.path);
  if (opened != InputFiles::Open::kOk) {
    // The file went away since it was found, or the stack is full.
    report_open_failure(lib, opened, resolved.path);
    flush_notice(lib);
    return lib.err.return_code;
  }
  std::int32_t rc = read_and_load(lib, files, diagnostics);
  flush_notice(lib);
  return rc;
}

std::int32_t input_mps_text(Library& lib, std::string_view text, InputDiagnostics* diagnostics) {
  lib.begin_operation();
  InputFiles files;
  if (files.push_text(text) != InputFiles::Open::kOk) return kRcInvalidCall;
  std::int32_t rc = read_and_load(lib, files, diagnostics);
  flush_notice(lib);
  return rc;
}

}  // namespace kqopt::input

namespace kqopt::input {

std::int32_t input_lp_text(Library& lib, std::string_view text, InputDiagnostics* diagnostics) {
  lib.begin_operation();
  LpSource source;
  source.open_text(text);
  std::int32_t rc = read_lp_and_load(lib, source, diagnostics);
  flush_notice(lib);
  return rc;
}

}  // namespace kqopt::input
