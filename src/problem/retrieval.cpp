// Problem retrieval: vectors, matrix columns and rows, names, types and the global
// entities of the loaded problem, in the caller's units or as stored.
//
// Invariant: nothing here changes the problem, except that the row-wise copy is built
// (and charged) when KQGETROWS first needs it.
#include "problem/retrieval.h"

#include <cstring>
#include <string>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/index_base.h"
#include "problem/matrix.h"

namespace kqopt {

namespace {

const char* pick(Units units, const char* caller_tag, const char* internal_tag) {
  return units == Units::kCaller ? caller_tag : internal_tag;
}

// The common frame of a range read: problem, range, output array.
bool begin_range_read(Library& lib, Axis axis, const char* tag, const void* out, std::int32_t first, std::int32_t last,
                      IndexRange& range) {
  lib.begin_operation();
  if (!require_problem(lib) || !convert_range(lib, axis, tag, first, last, range)) return false;
  return !(range.size() > 0 && reject_null(lib, out, tag));
}

enum class ColumnValue { kObjective, kLower, kUpper };

std::int32_t read_column_values(Library& lib, double* out, std::int32_t first, std::int32_t last, Units units,
                                ColumnValue what, const char* tag) {
  IndexRange range;
  if (!begin_range_read(lib, Axis::kColumns, tag, out, first, last, range)) return lib.err.return_code;
  const Problem& p = *lib.problem;
  for (std::int32_t j = range.first; j <= range.last; ++j) {
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    double value = 0.0;
    switch (what) {
      case ColumnValue::kObjective:
        value = p.objective[static_cast<std::size_t>(j)];
        if (units == Units::kCaller) value = scale_by(value, objective_shift(p, j));
        break;
      case ColumnValue::kLower:
      case ColumnValue::kUpper:
        value = what == ColumnValue::kLower ? p.lower[v] : p.upper[v];
        if (units == Units::kCaller) value = scale_bound_by(value, column_bound_shift(p, j));
        break;
    }
    *out++ = value;
  }
  return 0;
}

std::int32_t read_row_values(Library& lib, double* out, std::int32_t first, std::int32_t last, Units units,
                             bool range_values, const char* tag) {
  IndexRange range;
  if (!begin_range_read(lib, Axis::kRows, tag, out, first, last, range)) return lib.err.return_code;
  const Problem& p = *lib.problem;
  for (std::int32_t i = range.first; i <= range.last; ++i) {
    double value = range_values ? p.upper[static_cast<std::size_t>(i)] : p.rhs[static_cast<std::size_t>(i)];
    if (units == Units::kCaller) value = scale_bound_by(value, row_shift(p, i));
    *out++ = value;
  }
  return 0;
}

// Blank-padded key of `width` characters; false when the name is longer than that
// and its excess is not all blanks (no stored name can match it).
bool padded_key(const char* name, std::size_t width, std::string& key) {
  std::string text(name);
  if (text.size() > width) {
    if (text.find_first_not_of(' ', width) != std::string::npos) return false;
    text.resize(width);
  }
  text.resize(width, ' ');
  key = std::move(text);
  return true;
}

}  // namespace

std::int32_t get_objective(Library& lib, double* obj, std::int32_t first, std::int32_t last, Units units) {
  return read_column_values(lib, obj, first, last, units, ColumnValue::kObjective, pick(units, "getobj  ", "igetobj "));
}
std::int32_t get_lower_bounds(Library& lib, double* bounds, std::int32_t first, std::int32_t last, Units units) {
  return read_column_values(lib, bounds, first, last, units, ColumnValue::kLower, pick(units, "getbdl  ", "igetbdl "));
}
std::int32_t get_upper_bounds(Library& lib, double* bounds, std::int32_t first, std::int32_t last, Units units) {
  return read_column_values(lib, bounds, first, last, units, ColumnValue::kUpper, pick(units, "getbdu  ", "igetbdu "));
}
std::int32_t get_rhs(Library& lib, double* rhs, std::int32_t first, std::int32_t last, Units units) {
  return read_row_values(lib, rhs, first, last, units, false, pick(units, "getrhs  ", "igetrhs "));
}
std::int32_t get_range(Library& lib, double* range, std::int32_t first, std::int32_t last, Units units) {
  return read_row_values(lib, range, first, last, units, true, pick(units, "getrng  ", "igetrng "));
}

namespace {

// The checks KQGETCOLS and KQGETROWS share: a problem, a valid range, a count to
// receive and, when anything is to be copied, the three arrays.
bool check_matrix_request(Library& lib, Axis axis, const char* tag, std::int32_t first, std::int32_t last,
                          std::int32_t size, const std::int32_t* nels, const std::int32_t* starts,
                          const std::int32_t* indices, const double* values, IndexRange& range) {
  lib.begin_operation();
  if (!require_problem(lib) || !convert_range(lib, axis, tag, first, last, range)) return false;
  if (reject_null(lib, nels, tag)) return false;
  return !(size > 0 &&
           (reject_null(lib, starts, tag) || reject_null(lib, indices, tag) || reject_null(lib, values, tag)));
}

}  // namespace

// KQGETCOLS: a column's start entry is written before its elements, so the column at
// which the copy stops has its entry; the end entry follows only a complete copy.
std::int32_t get_columns(Library& lib, std::int32_t* mstart, std::int32_t* mrwind, double* dmatval, std::int32_t size,
                         std::int32_t* nels, std::int32_t first, std::int32_t last, Units units) {
  const char* tag = pick(units, "getcols ", "igetcols");
  IndexRange range;
  if (!check_matrix_request(lib, Axis::kColumns, tag, first, last, size, nels, mstart, mrwind, dmatval, range)) {
    return lib.err.return_code;
  }
  Problem& p = *lib.problem;
  if (!ensure_column_copy(lib, p)) return lib.err.return_code;
  const ColumnMatrix& a = p.by_column;
  const IndexBase index = current_index_base(lib);
  const std::int32_t total = range.size() > 0 ? a.start[static_cast<std::size_t>(range.last) + 1] -
                                                    a.start[static_cast<std::size_t>(range.first)]
                                              : 0;
  *nels = total;
  if (size <= 0) return 0;
  std::int32_t count = 0;
  for (std::int32_t j = range.first; j <= range.last; ++j) {
    mstart[j - range.first] = static_cast<std::int32_t>(index.to_caller(count));
    for (std::int32_t q = a.start[static_cast<std::size_t>(j)]; q < a.start[static_cast<std::size_t>(j) + 1]; ++q) {
      if (count + 1 > size) return 0;
      const std::int32_t i = a.row[static_cast<std::size_t>(q)];
      double value = a.value[static_cast<std::size_t>(q)];
      if (units == Units::kCaller) value = scale_by(value, element_shift(p, i, j));
      mrwind[count] = static_cast<std::int32_t>(index.to_caller(i));
      dmatval[count] = value;
      ++count;
    }
  }
  mstart[range.size()] = static_cast<std::int32_t>(index.to_caller(count));
  return 0;
}

// KQGETROWS: a row's start entry is written after its elements, so the row at which
// the copy stops has none.
std::int32_t get_rows(Library& lib, std::int32_t* mstart, std::int32_t* mclind, double* dmatval, std::int32_t size,
                      std::int32_t* nels, std::int32_t first, std::int32_t last, Units units) {
  const char* tag = pick(units, "getrows ", "igetrows");
  IndexRange range;
  if (!check_matrix_request(lib, Axis::kRows, tag, first, last, size, nels, mstart, mclind, dmatval, range)) {
    return lib.err.return_code;
  }
  Problem& p = *lib.problem;
  if (!ensure_row_copy(lib, p)) return lib.err.return_code;
  const RowMatrix& a = p.by_row;
  const IndexBase index = current_index_base(lib);
  const std::int32_t total = range.size() > 0 ? a.start[static_cast<std::size_t>(range.last) + 1] -
                                                    a.start[static_cast<std::size_t>(range.first)]
                                              : 0;
  *nels = total;
  if (size <= 0) return 0;
  std::int32_t count = 0;
  for (std::int32_t i = range.first; i <= range.last; ++i) {
    const std::int32_t row_start = count;
    for (std::int32_t q = a.start[static_cast<std::size_t>(i)]; q < a.start[static_cast<std::size_t>(i) + 1]; ++q) {
      if (count + 1 > size) return 0;
      const std::int32_t j = a.column[static_cast<std::size_t>(q)];
      double value = a.value[static_cast<std::size_t>(q)];
      if (units == Units::kCaller) value = scale_by(value, element_shift(p, i, j));
      mclind[count] = static_cast<std::int32_t>(index.to_caller(j));
      dmatval[count] = value;
      ++count;
    }
    mstart[i - range.first] = static_cast<std::int32_t>(index.to_caller(row_start));
  }
  mstart[range.size()] = static_cast<std::int32_t>(index.to_caller(count));
  return 0;
}

std::int32_t get_names(Library& lib, std::int32_t type, char* names, std::int32_t first, std::int32_t last) {
  const char* tag = "getnames";
  lib.begin_operation();
  if (!require_problem(lib)) return lib.err.return_code;
  if (type != 1 && type != 2) {
    report_argument_error(lib, kMessageNameType, tag, {type});
    return lib.err.return_code;
  }
  IndexRange range;
  const Axis axis = type == 1 ? Axis::kRows : Axis::kColumns;
  if (!convert_range(lib, axis, tag, first, last, range)) return lib.err.return_code;
  if (range.size() > 0 && reject_null(lib, names, tag)) return lib.err.return_code;
  const Problem& p = *lib.problem;
  const std::size_t width =
      static_cast<std::size_t>(name_words_for_length(lib.controls.i(icv::NAMLEN))) * kNameWordLength;
  const std::size_t stored = static_cast<std::size_t>(p.names.width());
  std::string field(stored, ' ');
  const std::int32_t offset = type == 1 ? 0 : p.row_slots();
  for (std::int32_t k = range.first; k <= range.last; ++k) {
    p.names.copy_name(offset + k, field.data());
    const std::size_t copied = std::min(width, stored);
    std::memcpy(names, field.data(), copied);
    std::memset(names + copied, ' ', width - copied);
    names[width] = '\0';
    names += width + 1;
  }
  return 0;
}

std::int32_t get_index(Library& lib, std::int32_t type, const char* name, std::int32_t* index) {
  const char* tag = "getindex";
  lib.begin_operation();
  if (!require_problem(lib)) return lib.err.return_code;
  if (type != 1 && type != 2) {
    report_argument_error(lib, kMessageNameType, tag, {type});
    return lib.err.return_code;
  }
  if (reject_null(lib, name, tag) || reject_null(lib, index, tag)) return lib.err.return_code;
  const Problem& p = *lib.problem;
  *index = -1;
  std::string key;
  if (!padded_key(name, static_cast<std::size_t>(p.names.width()), key)) return 0;
  const std::int32_t first = type == 1 ? 0 : p.row_slots();
  const std::int32_t end = type == 1 ? p.rows : p.row_slots() + p.columns;
  const std::int32_t found = p.names.find(key, first, end);
  if (found >= 0) *index = static_cast<std::int32_t>(current_index_base(lib).to_caller(found - first));
  return 0;
}

std::int32_t get_row_types(Library& lib, char* types, std::int32_t first, std::int32_t last) {
  IndexRange range;
  if (!begin_range_read(lib, Axis::kRows, "getrowtype", types, first, last, range)) return lib.err.return_code;
  const Problem& p = *lib.problem;
  for (std::int32_t i = range.first; i <= range.last; ++i) {
    const std::uint8_t code = p.row_type[static_cast<std::size_t>(i)];
    char c = 'N';
    if (code & row_type::kFree) {
      c = 'N';
    } else if (code & row_type::kEqual) {
      c = 'E';
    } else if (code & row_type::kGreater) {
      c = 'G';
    } else if (code & row_type::kLess) {
      c = p.upper[static_cast<std::size_t>(i)] < kInfinity ? 'R' : 'L';
    }
    *types++ = c;
  }
  return 0;
}

std::int32_t get_column_types(Library& lib, char* types, std::int32_t first, std::int32_t last) {
  IndexRange range;
  if (!begin_range_read(lib, Axis::kColumns, "getcoltype", types, first, last, range)) return lib.err.return_code;
  const Problem& p = *lib.problem;
  for (std::int32_t j = range.first; j <= range.last; ++j) {
    const std::uint32_t word = p.status[static_cast<std::size_t>(p.column_variable(j))];
    char c = 'C';
    if (word & status::kInteger) {
      c = 'I';
    } else if (word & status::kBinary) {
      c = 'B';
    } else if (word & status::kSemiContinuous) {
      c = 'S';
    } else if (word & status::kPartialInteger) {
      c = 'P';
    }
    *types++ = c;
  }
  return 0;
}

std::int32_t get_global(Library& lib, std::int32_t* ngents, std::int32_t* nsets, char* qgtype, std::int32_t* mgcols,
                        double* dlim, char* qstype, std::int32_t* msstart, std::int32_t* mscols, double* dref) {
  lib.begin_operation();
  if (!require_problem(lib)) return lib.err.return_code;
  const Problem& p = *lib.problem;
  const IndexBase index = current_index_base(lib);
  if (ngents) *ngents = p.column_entity_count();
  if (nsets) *nsets = p.sets.count();
  std::int32_t column_entity = 0, set = 0, member = 0;
  for (const GlobalEntity& e : p.entities) {
    if (e.is_set()) {
      const std::int32_t k = e.reference;
      if (qstype) qstype[set] = e.kind() == EntityKind::kSet1 ? '1' : '2';
      if (msstart) msstart[set] = static_cast<std::int32_t>(index.to_caller(member));
      for (std::int32_t q = p.sets.start[static_cast<std::size_t>(k)];
           q < p.sets.start[static_cast<std::size_t>(k) + 1]; ++q) {
        const SetMember& m = p.sets.members[static_cast<std::size_t>(q)];
        if (mscols) mscols[member] = static_cast<std::int32_t>(index.to_caller(m.column));
        if (dref) dref[member] = scale_by(m.weight, column_bound_shift(p, m.column));
        ++member;
      }
      ++set;
      continue;
    }
    const std::int32_t j = e.reference;
    char kind = 'I';
    double limit = 0.0;
    switch (e.kind()) {
      case EntityKind::kSemiContinuous:
        kind = 'S';
        limit = scale_bound_by(e.limit, column_bound_shift(p, j));
        break;
      case EntityKind::kBinary:
        kind = 'B';
        break;
      case EntityKind::kPartialInteger:
        kind = 'P';
        limit = e.partial_integer_limit();
        break;
      default:
        break;
    }
    if (qgtype) qgtype[column_entity] = kind;
    if (mgcols) mgcols[column_entity] = static_cast<std::int32_t>(index.to_caller(j));
    if (dlim) dlim[column_entity] = limit;
    ++column_entity;
  }
  if (msstart) msstart[set] = static_cast<std::int32_t>(index.to_caller(member));
  return 0;
}

}  // namespace kqopt
