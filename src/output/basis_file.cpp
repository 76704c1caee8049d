// Moving a basis between the current problem and a basis file.
#include "output/basis_file.h"

#include <cstdio>
#include <vector>

#include "frame/message_numbers.h"
#include "frame/replacing_file.h"
#include "library/library.h"
#include "output/basis_codec.h"
#include "output/solution_file.h"
#include "problem/index_base.h"
#include "problem/infinity.h"
#include "problem/problem.h"
#include "simplex/driver/basis_loading.h"
#include "simplex/driver/engine_current.h"

namespace kqopt {

namespace {

std::int32_t code_of(std::uint32_t word) {
  if (word & status::kBasic) return 1;
  return (word & status::kAtUpper) ? 2 : 0;
}

BasisLayout layout_of(const Library& lib) {
  const Problem& p = *lib.problem;
  BasisLayout layout;
  layout.problem_name = lib.problem_name;
  layout.row_names.resize(static_cast<std::size_t>(p.rows));
  layout.row_bounds.resize(static_cast<std::size_t>(p.rows));
  for (std::int32_t i = 0; i < p.rows; ++i) {
    const auto ii = static_cast<std::size_t>(i);
    layout.row_names[ii] = p.names.trimmed(i);
    std::uint8_t b = 0;
    if (p.lower[ii] > -kInfinity) b |= basis_row::kLowerFinite;
    if (p.upper[ii] < kInfinity) b |= basis_row::kUpperFinite;
    if (p.row_type[ii] == row_type::kEqual) b |= basis_row::kEquality;
    layout.row_bounds[ii] = b;
  }
  layout.column_names.resize(static_cast<std::size_t>(p.columns));
  layout.column_upper_finite.resize(static_cast<std::size_t>(p.columns));
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const std::int32_t v = p.column_variable(j);
    layout.column_names[static_cast<std::size_t>(j)] = p.names.trimmed(v);
    layout.column_upper_finite[static_cast<std::size_t>(j)] = p.upper[static_cast<std::size_t>(v)] < kInfinity;
  }
  return layout;
}

// The basis the last solve left (in memory, else in the solution file), else the one
// the status words hold since the load.
void current_basis(const Library& lib, std::vector<std::int32_t>& rows, std::vector<std::int32_t>& columns) {
  const Problem& p = *lib.problem;
  const std::int32_t slots = p.row_slots();
  rows.resize(static_cast<std::size_t>(p.rows));
  columns.resize(static_cast<std::size_t>(p.columns));
  SolutionRecord record;
  const bool from_file = !basis_in_memory(lib) && lib.engine != nullptr && read_solution_file(lib, record) &&
                         record.rows == slots && record.columns == p.columns;
  const std::vector<std::uint32_t>& words = from_file ? record.status : p.status;
  for (std::int32_t i = 0; i < p.rows; ++i)
    rows[static_cast<std::size_t>(i)] = code_of(words[static_cast<std::size_t>(i)]);
  for (std::int32_t j = 0; j < p.columns; ++j) {
    columns[static_cast<std::size_t>(j)] = code_of(words[static_cast<std::size_t>(slots + j)]);
  }
}

bool read_whole_file(const std::string& file, std::string& text) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return false;
  char chunk[1 << 15];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) text.append(chunk, got);
  const bool ok = std::ferror(in) == 0;
  std::fclose(in);
  return ok;
}

}  // namespace

BasisFileOptions basis_file_options(const char* letters) {
  BasisFileOptions o;
  for (const char* c = letters; c != nullptr && *c != '\0'; ++c) {
    o.compact = o.compact || *c == 't';
    o.skip = o.skip || *c == 'c';
    o.swap_equality = o.swap_equality || *c == 'z';
  }
  return o;
}

std::string basis_file_name(const Library& lib, const char* name) {
  std::string file = (name == nullptr || *name == '\0') ? lib.problem_name : std::string(name);
  const std::size_t slash = file.rfind('/');
  const std::size_t dot = file.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) file += ".bss";
  return file;
}

std::int32_t write_basis_file(Library& lib, const char* name, BasisFileOptions options) {
  lib.begin_operation();
  if (!require_problem(lib) || options.skip) return lib.err.return_code;
  std::vector<std::int32_t> rows, columns;
  current_basis(lib, rows, columns);
  const BasisLayout layout = layout_of(lib);
  std::string text;
  if (options.compact) {
    auto compact = format_compact_basis(layout, rows, columns);
    if (!compact) {
      report_error(lib, kRcInvalidCall, kMessageFileFailed);
      return lib.err.return_code;
    }
    text = std::move(*compact);
  } else {
    text = format_mps_basis(layout, rows, columns, lib.controls.i(icv::IFBSNM) != 0, options.swap_equality);
  }
  ReplacingFile out;
  if (!(out.open(basis_file_name(lib, name)) && out.write(text) && out.commit())) {
    report_error(lib, kRcInvalidCall, kMessageFileFailed);
  }
  return lib.err.return_code;
}

std::int32_t read_basis_file(Library& lib, const char* name, BasisFileOptions options) {
  lib.begin_operation();
  if (!require_problem(lib) || options.skip) return lib.err.return_code;
  if (lib.global_search_active) {
    report_error(lib, kRcInvalidCall, kMessageRefused);
    return lib.err.return_code;
  }
  if (engine_busy(lib, true)) return lib.err.return_code;
  std::string text;
  if (!read_whole_file(basis_file_name(lib, name), text)) {
    report_error(lib, kRcInvalidCall, kMessageFileFailed);
    return lib.err.return_code;
  }
  const BasisLayout layout = layout_of(lib);
  const BasisRead read = options.compact
                             ? parse_compact_basis(text, layout)
                             : parse_mps_basis(text, layout, lib.controls.i(icv::FREFMT) != 0, options.swap_equality);
  for (const BasisNote& note : read.notes) {
    print_message(lib, note.message);
    put_string(lib, note.name.c_str());
    flush_line(lib);
    lib.err.error_number = note.message;
  }
  if (read.error != 0) {
    report_error(lib, kRcInvalidCall, read.error);
    return lib.err.return_code;
  }
  install_basis(lib, read.rows.data(), read.columns.data());
  return lib.err.return_code;
}

}  // namespace kqopt
