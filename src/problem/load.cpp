// Loading the linear part of a problem: the steps from the problem name to the
// right-hand sides (load.h tells the whole sequence).
//
// Invariant: the new problem is built aside and becomes the library's problem only in
// the finishing step, so a load that fails at any step leaves no partial problem: the
// previous problem is gone (it was discarded at step 2, or kept when step 2 refused the
// load) and the workspace holds no charge of the failed one. Elements are counted and
// checked in one pass before any is stored.
#include "problem/load.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "library/lifecycle.h"
#include "problem/arrays.h"
#include "problem/charges.h"
#include "problem/load_steps.h"

namespace kqopt {

namespace {

constexpr std::uint32_t kNeutral = static_cast<std::uint32_t>(status::kNeutralExponent) << status::kExponentShift;

// The capacity controls hold working values during a load; they get back their values
// when it ends, successfully or not.
class CapacityGuard {
 public:
  explicit CapacityGuard(Controls& c)
      : c_(c), rows_(c.i(icv::M_R)), columns_(c.i(icv::M_C)), elements_(c.i(icv::M_M)) {}
  ~CapacityGuard() {
    c_.i(icv::M_R) = rows_;
    c_.i(icv::M_C) = columns_;
    c_.i(icv::M_M) = elements_;
  }
  CapacityGuard(const CapacityGuard&) = delete;
  CapacityGuard& operator=(const CapacityGuard&) = delete;

 private:
  Controls& c_;
  std::int32_t rows_, columns_, elements_;
};

bool read_only(const Library& lib, int n) { return lib.controls.icv_access[static_cast<std::size_t>(n)] < 0; }

std::int32_t clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, -2147483647, 2147483647));
}

// Problem name record: attributes 3001 to 3004.
void store_name_record(Library& lib, const ProblemInput& in) {
  const std::string& name = lib.problem_name;
  std::size_t cut = name.find_last_of("\\/");
  std::string base = cut == std::string::npos ? name : name.substr(cut + 1);
  set_blank_padded(*lib.attributes.char_attribute(attr::kProblemName), base.c_str());
  set_blank_padded(*lib.attributes.char_attribute(attr::kBoundSetName), in.bound_set_name ? in.bound_set_name : "");
  set_blank_padded(*lib.attributes.char_attribute(attr::kRangeSetName), in.range_set_name ? in.range_set_name : "");
  set_blank_padded(*lib.attributes.char_attribute(attr::kRhsSetName), in.rhs_set_name ? in.rhs_set_name : "");
}

// Elements of caller column j: array offsets [begin, end).
struct ColumnSpan {
  std::int64_t begin;
  std::int64_t end;
};

// Everything the element pass needs about the rows.
struct RowPlan {
  std::int32_t given = 0;                // nrow
  std::vector<std::uint8_t> code;        // per caller row
  std::vector<std::int32_t> kept_index;  // per caller row, −1 dropped; empty: identity
  bool drop_free_row_elements = false;
  std::int32_t kept_row(std::int32_t caller_row) const {
    return kept_index.empty() ? caller_row : kept_index[static_cast<std::size_t>(caller_row)];
  }
};

class LinearLoader {
 public:
  LinearLoader(Library& lib, const ProblemInput& in, const LoadOptions& opt)
      : lib_(lib), in_(in), opt_(opt), index_{opt.index_base} {}

  std::int32_t run();
  // After an allocation failure: message 20 with the array being built, return code 1.
  std::int32_t out_of_memory() {
    report_error(lib_, kRcNoFit, kMessageNoWorkspace, {building_});
    return abandon();
  }

 private:
  std::int32_t fail_argument(int message, std::initializer_list<std::int64_t> values, const char* tag = nullptr) {
    report_argument_error(lib_, message, tag ? tag : opt_.tag, values);
    return abandon();
  }
  std::int32_t abandon() {
    if (problem_) release_arrays(lib_, *problem_);
    problem_.reset();
    clear_problem_counts(lib_);
    return lib_.err.return_code != 0 ? lib_.err.return_code : kRcInvalidCall;
  }
  bool charge(int number, std::int64_t bytes) {
    building_ = number;
    return charge_array(lib_, *problem_, number, bytes);
  }

  bool read_row_types();
  void size_spares();
  bool check_column_capacity();
  bool count_elements();
  bool check_element_capacity();
  bool obtain_arrays();
  void store_rows();
  void store_columns();
  bool store_elements();
  void store_right_hand_sides();
  void store_records();
  void reserve_spare_room();
  ColumnSpan column_span(std::int32_t j) const;

  Library& lib_;
  const ProblemInput& in_;
  const LoadOptions& opt_;
  IndexBase index_;
  std::unique_ptr<Problem> problem_;
  RowPlan rows_;
  std::int64_t given_elements_ = 0;  // nnz of step 3
  std::int64_t faults_ = 0;
  int building_ = problem_array::kRowTypes;  // the array charged last
};

ColumnSpan LinearLoader::column_span(std::int32_t j) const {
  std::int64_t begin = index_.to_internal(in_.column_starts[j]);
  std::int64_t end = in_.column_lengths ? begin + in_.column_lengths[j] : index_.to_internal(in_.column_starts[j + 1]);
  return {begin, end};
}

// Step 2: row type codes; the kept rows and the row map.
bool LinearLoader::read_row_types() {
  Problem& p = *problem_;
  const std::int32_t nrow = in_.rows;
  rows_.given = nrow;
  rows_.code.resize(static_cast<std::size_t>(nrow));
  const std::int32_t ifnrw = lib_.controls.i(icv::IFNRW);
  const bool drop_free_rows = opt_.apply_ifnrw && ifnrw < 0;
  rows_.drop_free_row_elements = opt_.apply_ifnrw && ifnrw <= 0;
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < nrow; ++i) {
    std::uint8_t code = row_type::from_letter(in_.row_types[i]);
    if (code == 0) {
      report_character_error(lib_, kMessageRowType, opt_.tag, index_.to_caller(i), in_.row_types[i]);
      return false;
    }
    if (code == row_type::kRangedInput && in_.range == nullptr) {
      report_argument_error(lib_, kMessageMissingArgument, opt_.tag, {});
      return false;
    }
    rows_.code[static_cast<std::size_t>(i)] = code;
    if (!(drop_free_rows && code == row_type::kFree)) ++kept;
  }
  if (drop_free_rows && kept != nrow) {
    rows_.kept_index.resize(static_cast<std::size_t>(nrow));
    std::int32_t next = 0;
    for (std::int32_t i = 0; i < nrow; ++i) {
      rows_.kept_index[static_cast<std::size_t>(i)] =
          rows_.code[static_cast<std::size_t>(i)] == row_type::kFree ? -1 : next++;
    }
  }
  p.rows = kept;
  return true;
}

// Step 3, first half: the spare rows and columns, NMXTRA raised. Reads no array.
void LinearLoader::size_spares() {
  Problem& p = *problem_;
  Controls& c = lib_.controls;
  const std::int32_t nrxtra = std::max(c.i(icv::NRXTRA), 0);
  p.spare_rows = clamp32(static_cast<std::int64_t>(nrxtra) + (in_.rows - p.rows) + std::max(opt_.extra_spare_rows, 0));
  p.columns = in_.columns;
  p.spare_columns = std::max(c.i(icv::NCXTRA), 0);
  std::int64_t raised = 2 * static_cast<std::int64_t>(p.spare_rows) + p.spare_columns;
  if (c.i(icv::NMXTRA) < raised) c.i(icv::NMXTRA) = clamp32(raised);
  p.spare_elements = std::max(c.i(icv::NMXTRA), 0);
}

// Step 4, first half: the column capacity, checked before any array sized by the
// column count is read (mstart[ncol] included).
bool LinearLoader::check_column_capacity() {
  if (!opt_.check_capacities || !read_only(lib_, icv::M_C)) return true;
  const Controls& c = lib_.controls;
  const Problem& p = *problem_;
  const std::int64_t nrxtra = c.i(icv::NRXTRA), ncxtra = c.i(icv::NCXTRA);
  const std::int64_t capacity = c.i(icv::M_C);
  if (in_.rows + nrxtra + p.columns + ncxtra > capacity || p.rows + nrxtra + p.columns + ncxtra > capacity - 5) {
    report_error(lib_, kRcInvalidCall, kMessageTooManyColumns, {capacity});
    return false;
  }
  return true;
}

// Step 3, second half: the element count the caller gives, after every column start
// and length has been checked against the others, so that no element outside the
// caller's arrays is ever read: with lengths, each start and length must not be
// negative; without, the starts must run from a start not below the arrays' first
// element up to mstart[ncol] without going backwards.
bool LinearLoader::count_elements() {
  given_elements_ = 0;
  const std::int32_t* starts = in_.column_starts;
  const std::int32_t* lengths = in_.column_lengths;
  for (std::int32_t j = 0; j < in_.columns; ++j) {
    const std::int64_t begin = index_.to_internal(starts[j]);
    if (lengths) {
      if (begin < 0 || lengths[j] < 0) {
        report_argument_error(lib_, kMessageRowIndex, opt_.tag,
                              {index_.to_caller(j), begin < 0 ? starts[j] : lengths[j]});
        return false;
      }
      given_elements_ += lengths[j];
    } else if (begin < 0 || index_.to_internal(starts[j + 1]) < begin) {
      report_argument_error(lib_, kMessageRowIndex, opt_.tag, {index_.to_caller(j), starts[j]});
      return false;
    }
  }
  if (!lengths && starts) given_elements_ = starts[in_.columns];
  if (given_elements_ > 0 && (in_.element_rows == nullptr || in_.element_values == nullptr)) {
    report_argument_error(lib_, kMessageMissingArgument, opt_.tag, {});
    return false;
  }
  return true;
}

// Step 4, second half: the element capacity.
bool LinearLoader::check_element_capacity() {
  if (!opt_.check_capacities) return true;
  const Controls& c = lib_.controls;
  if (read_only(lib_, icv::M_M) && static_cast<std::int64_t>(c.i(icv::NMXTRA)) + given_elements_ > c.i(icv::M_M)) {
    report_error(lib_, kRcInvalidCall, kMessageTooManyElements);
    return false;
  }
  return true;
}

// Step 7: the workspace charges of every array, spare capacity included.
bool LinearLoader::obtain_arrays() {
  const Problem& p = *problem_;
  const std::int64_t variables = static_cast<std::int64_t>(p.variables()) + p.spare_columns;
  const std::int64_t elements = std::max<std::int64_t>(given_elements_, 0) + p.spare_elements;
  const int words = name_words_for_length(lib_.controls.i(icv::NAMLEN));
  using namespace problem_array;
  if (words > kMaxProblemNameWords) {
    building_ = kNames;
    report_error(lib_, kRcNoFit, kMessageNoWorkspace, {kNames});
    return false;
  }
  const std::int64_t width = std::int64_t{words} * kNameWordLength;
  return charge(kRowTypes, p.row_slots()) && charge(kNames, variables * width) && charge(kLowerBounds, 8 * variables) &&
         charge(kUpperBounds, 8 * variables) && charge(kStatusWords, 4 * variables) &&
         charge(kRightHandSides, 8 * static_cast<std::int64_t>(p.row_slots())) &&
         charge(kObjective, 8 * (static_cast<std::int64_t>(p.columns) + p.spare_columns)) &&
         charge(kColumnStarts, 4 * (static_cast<std::int64_t>(p.columns) + p.spare_columns + 1)) &&
         charge(kElementRows, 4 * elements) && charge(kElementValues, 8 * elements) &&
         (in_.deferred_pairs.empty() && in_.recursion_records.empty()
              ? true
              : charge(kReaderRecords,
                       static_cast<std::int64_t>(in_.deferred_pairs.size() * sizeof(DeferredPair) +
                                                 in_.recursion_records.size() * sizeof(RecursionRecord))));
}

// Step 8: rows, then spare row slots: names, logical bounds and status words.
void LinearLoader::store_rows() {
  Problem& p = *problem_;
  const std::int32_t slots = p.row_slots();
  p.row_type.assign(static_cast<std::size_t>(slots), row_type::kSpare);
  p.row_flags.assign(static_cast<std::size_t>(slots), 0);
  for (std::int32_t i = 0; i < rows_.given; ++i) {
    const std::int32_t r = rows_.kept_row(i);
    if (r < 0) continue;
    const auto v = static_cast<std::size_t>(r);
    std::uint8_t code = rows_.code[static_cast<std::size_t>(i)];
    std::uint32_t word = 0;
    switch (code) {
      case row_type::kFree:
        p.lower[v] = -kInfinity;
        p.upper[v] = kInfinity;
        word = status::kFree;
        break;
      case row_type::kLess:
        p.lower[v] = 0.0;
        p.upper[v] = kInfinity;
        word = status::kFiniteLower;
        break;
      case row_type::kGreater:
        p.lower[v] = -kInfinity;
        p.upper[v] = 0.0;
        word = status::kFiniteUpper;
        break;
      case row_type::kEqual:
        p.lower[v] = 0.0;
        p.upper[v] = 0.0;
        word = status::kFiniteLower | status::kFiniteUpper | status::kFixed;
        break;
      default: {  // ranged: an L row whose logical has the finite upper bound |range|
        const double width = std::fabs(in_.range[i]);
        if (std::isnan(width)) ++faults_;
        code = row_type::kLess;
        p.lower[v] = 0.0;
        word = status::kFiniteLower;
        if (width < kInfinityThreshold || std::isnan(width)) {
          p.upper[v] = width;
          word |= status::kFiniteUpper;
        } else {
          p.upper[v] = kInfinity;
        }
      }
    }
    p.row_type[v] = code;
    p.status[v] = word | status::kBasic | kNeutral;
    if (in_.row_names) p.names.set(r, name_record(in_.row_names, in_.name_chars, i));
  }
  for (std::int32_t r = p.rows; r < slots; ++r) {
    const auto v = static_cast<std::size_t>(r);
    if (opt_.spare_row_kind == SpareRowKind::kEmptyLess) {
      p.row_type[v] = row_type::kLess;
      p.lower[v] = 0.0;
      p.upper[v] = kInfinity;
      p.status[v] = status::kFiniteLower | status::kBasic | kNeutral;
    } else {
      p.lower[v] = 0.0;
      p.upper[v] = 0.0;
      p.status[v] = status::kFixed | kNeutral;
    }
    if (in_.spare_row_names) p.names.set(r, name_record(in_.spare_row_names, in_.name_chars, r - p.rows));
  }
}

// Step 9: columns: names, bounds by the infinity rule, status words, objective.
void LinearLoader::store_columns() {
  Problem& p = *problem_;
  p.objective.resize(static_cast<std::size_t>(p.columns));
  const std::int32_t first = p.row_slots();
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const auto v = static_cast<std::size_t>(first + j);
    const double lower = in_.lower[j], upper = in_.upper[j], cost = in_.objective[j];
    std::uint32_t word = kNeutral;
    if (std::isnan(lower) || lower == HUGE_VAL) ++faults_;
    if (std::isnan(upper) || upper == -HUGE_VAL) ++faults_;
    if (!std::isfinite(cost)) ++faults_;
    if (lower > -kInfinityThreshold) {
      p.lower[v] = lower;
      word |= status::kFiniteLower;
    } else {
      p.lower[v] = -kInfinity;
    }
    if (upper < kInfinityThreshold) {
      p.upper[v] = upper;
      word |= status::kFiniteUpper;
    } else {
      p.upper[v] = kInfinity;
    }
    if ((word & (status::kFiniteLower | status::kFiniteUpper)) == 0) word |= status::kFree;
    p.status[v] = word;
    p.objective[static_cast<std::size_t>(j)] = cost;
    if (in_.column_names) p.names.set(first + j, name_record(in_.column_names, in_.name_chars, j));
  }
}

// Step 10: elements. A counting pass checks every row index and counts the kept
// elements of each column into the column starts; only then are the elements stored.
bool LinearLoader::store_elements() {
  Problem& p = *problem_;
  ColumnMatrix& a = p.by_column;
  const double drop = lib_.controls.d(dcv::ZTOLDA);
  const std::int32_t nrow = rows_.given;
  a.start.assign(static_cast<std::size_t>(p.columns) + 1, 0);
  auto kept = [&](std::int32_t caller_row, double value) {
    if (std::fabs(value) < drop) return false;
    return !(rows_.drop_free_row_elements && rows_.code[static_cast<std::size_t>(caller_row)] == row_type::kFree);
  };
  std::int64_t total = 0;
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const ColumnSpan span = column_span(j);  // checked by count_elements()
    std::int32_t count = 0;
    for (std::int64_t q = span.begin; q < span.end; ++q) {
      const std::int64_t r = index_.to_internal(in_.element_rows[q]);
      if (r < 0 || r >= nrow) {
        report_argument_error(lib_, kMessageRowIndex, opt_.tag, {index_.to_caller(q), in_.element_rows[q]});
        return false;
      }
      const double value = in_.element_values[q];
      if (!std::isfinite(value)) ++faults_;
      if (kept(static_cast<std::int32_t>(r), value)) ++count;
    }
    total += count;
    if (total > 2147483647) {
      report_error(lib_, kRcInvalidCall, kMessageTooManyElements);
      return false;
    }
    a.start[static_cast<std::size_t>(j) + 1] = static_cast<std::int32_t>(total);
  }
  a.row.resize(static_cast<std::size_t>(total));
  a.value.resize(static_cast<std::size_t>(total));
  std::size_t out = 0;
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const ColumnSpan span = column_span(j);
    for (std::int64_t q = span.begin; q < span.end; ++q) {
      const auto caller_row = static_cast<std::int32_t>(index_.to_internal(in_.element_rows[q]));
      const double value = in_.element_values[q];
      if (!kept(caller_row, value)) continue;
      a.row[out] = rows_.kept_row(caller_row);
      a.value[out] = value;
      ++out;
    }
  }
  a.stale = false;
  p.by_row.stale = true;
  return true;
}

// The spare columns and elements are charged already: the arrays get room for them
// too, so that adding columns and elements later never moves them.
void LinearLoader::reserve_spare_room() {
  Problem& p = *problem_;
  const auto variables = static_cast<std::size_t>(p.variables()) + static_cast<std::size_t>(p.spare_columns);
  const auto columns = static_cast<std::size_t>(p.columns) + static_cast<std::size_t>(p.spare_columns);
  const auto elements =
      static_cast<std::size_t>(p.by_column.elements()) + static_cast<std::size_t>(std::max(p.spare_elements, 0));
  p.status.reserve(variables);
  p.lower.reserve(variables);
  p.upper.reserve(variables);
  p.objective.reserve(columns);
  p.by_column.start.reserve(columns + 1);
  p.by_column.row.reserve(elements);
  p.by_column.value.reserve(elements);
}

// Step 11: right-hand sides of the kept rows; spare slots get 0.
void LinearLoader::store_right_hand_sides() {
  Problem& p = *problem_;
  p.rhs.assign(static_cast<std::size_t>(p.row_slots()), 0.0);
  for (std::int32_t i = 0; i < rows_.given; ++i) {
    const std::int32_t r = rows_.kept_row(i);
    if (r < 0) continue;
    if (!std::isfinite(in_.rhs[i])) ++faults_;
    p.rhs[static_cast<std::size_t>(r)] = in_.rhs[i];
  }
}

void LinearLoader::store_records() {
  Problem& p = *problem_;
  p.objective_constant = in_.objective_constant;
  p.deferred_pairs.assign(in_.deferred_pairs.begin(), in_.deferred_pairs.end());
  p.recursion_records.assign(in_.recursion_records.begin(), in_.recursion_records.end());
}

std::int32_t LinearLoader::run() {
  // Step 1: the problem name.
  if (in_.problem_name != nullptr && in_.problem_name[0] != '\0') set_problem_name(lib_, in_.problem_name);
  CapacityGuard capacities(lib_.controls);
  Controls& c = lib_.controls;

  // Arguments that no step could survive.
  if (in_.rows < 0) return fail_argument(kMessageRowRange, {in_.rows});
  if (in_.columns < 0) return fail_argument(kMessageColumnRange, {in_.columns});
  if ((in_.rows > 0 && (in_.row_types == nullptr || in_.rhs == nullptr)) ||
      (in_.columns > 0 &&
       (in_.objective == nullptr || in_.lower == nullptr || in_.upper == nullptr || in_.column_starts == nullptr))) {
    return fail_argument(kMessageMissingArgument, {});
  }

  // Step 2: the row capacity, checked before anything changes; then the previous
  // problem goes.
  if (opt_.check_capacities && read_only(lib_, icv::M_R) &&
      static_cast<std::int64_t>(in_.rows) + c.i(icv::NRXTRA) > c.i(icv::M_R)) {
    report_error(lib_, kRcInvalidCall, kMessageTooManyRows, {c.i(icv::M_R)});
    return kRcInvalidCall;
  }
  discard_problem(lib_);
  problem_ = std::make_unique<Problem>();
  if (!charge(problem_array::kRowTypes, static_cast<std::int64_t>(in_.rows) + std::max(c.i(icv::NRXTRA), 0))) {
    return abandon();
  }
  if (!read_row_types()) return abandon();

  // Steps 3 to 6: sizes, capacities, working values, name record.
  size_spares();
  if (!check_column_capacity() || !count_elements() || !check_element_capacity()) return abandon();
  Problem& p = *problem_;
  c.i(icv::M_R) = clamp32(static_cast<std::int64_t>(p.rows) + c.i(icv::NRXTRA));
  c.i(icv::M_M) = clamp32(2 * (static_cast<std::int64_t>(p.rows) + c.i(icv::NRXTRA) + p.columns) + c.i(icv::NMXTRA) +
                          given_elements_);
  Attributes& at = lib_.attributes;
  *at.int_attribute(attr::kRows) = p.rows;
  *at.int_attribute(attr::kLastColumn) = p.variables();
  *at.int_attribute(attr::kSpareRows) = p.spare_rows;
  *at.int_attribute(attr::kSpareColumns) = p.spare_columns;
  *at.int_attribute(attr::kSpareElements) = p.spare_elements;
  *at.int_attribute(attr::kGlobalEntities) = 0;
  *at.int_attribute(attr::kSets) = 0;
  *at.int_attribute(attr::kSetMembers) = 0;
  *at.double_attribute(attr::kPseudoCostFactor) = 1.0;
  store_name_record(lib_, in_);

  // Step 7: the arrays.
  if (!obtain_arrays()) return abandon();
  const auto variables = static_cast<std::size_t>(p.variables());
  p.status.assign(variables, 0);
  p.lower.resize(variables);
  p.upper.resize(variables);
  p.names.reset(p.variables(), name_words_for_length(c.i(icv::NAMLEN)), 'V');

  // Steps 8 to 11.
  store_rows();
  store_columns();
  if (!store_elements()) return abandon();
  store_right_hand_sides();
  store_records();
  reserve_spare_room();
  *at.int_attribute(attr::kElements) = p.by_column.elements();

  LoadContext context{lib_, in_, opt_, index_, p, faults_};
  if (opt_.global) {
    if (std::int32_t rc = load_global_entities(context); rc != 0) return abandon();
  } else {
    p.spare_entities = std::max(c.i(icv::NGXTRA), 0);
  }
  return finish_load(lib_, std::move(problem_), context.faults, opt_);
}

}  // namespace

std::string_view name_record(const char* names, std::int32_t chars, std::int64_t index) {
  if (names == nullptr || chars <= 0) return {};
  const char* record = names + index * chars;
  return std::string_view(record, strnlen(record, static_cast<std::size_t>(chars)));
}

std::int32_t load_problem(Library& lib, const ProblemInput& input, const LoadOptions& options) {
  LinearLoader loader(lib, input, options);
  try {
    return loader.run();
  } catch (const std::bad_alloc&) {
    // The budget said yes but the machine said no: report it as a workspace failure.
    return loader.out_of_memory();
  }
}

std::int32_t load_from_arrays(Library& lib, const ProblemInput& input, bool global) {
  lib.begin_operation();
  LoadOptions options;
  options.index_base = lib.controls.i(icv::IFDBG);
  options.global = global;
  return load_problem(lib, input, options);
}

}  // namespace kqopt
