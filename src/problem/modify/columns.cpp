// Column changes: adding columns into the spare columns, deleting columns, and
// changing bounds, objective coefficients and column types (global entities).
//
// Columns sit at the end of the column-wise matrix, so adding one appends its elements;
// deleting columns compacts the matrix and renumbers every record that names a column
// (entities, set members, deferred pairs, recursion records).
#include <algorithm>
#include <cmath>
#include <vector>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/infinity.h"
#include "problem/load_steps.h"
#include "problem/matrix.h"
#include "problem/modify/modify.h"
#include "problem/modify/modify_steps.h"
#include "problem/scale_exponents.h"
#include "problem/units.h"

namespace kqopt {

namespace {

// Reads and checks the column indices of a list (405 with the position and value).
bool read_column_list(Library& lib, const Problem& p, const char* tag, std::int32_t count, const std::int32_t* mindex,
                      std::vector<std::int32_t>& columns) {
  const IndexBase base = current_index_base(lib);
  columns.resize(static_cast<std::size_t>(count));
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t j = checked_index(base, mindex[k], p.columns);
    if (j < 0) {
      report_argument_error(lib, kMessageNotAColumn, tag, {base.to_caller(k), mindex[k]});
      return false;
    }
    columns[static_cast<std::size_t>(k)] = j;
  }
  return true;
}

struct NewColumn {
  int exponent = status::kNeutralExponent;
  std::size_t begin = 0;  // kept elements in NewColumns::rows / values
  std::size_t end = 0;
};
struct NewColumns {
  std::vector<NewColumn> columns;
  std::vector<std::int32_t> rows;
  std::vector<double> values;  // caller's units
};

bool read_new_columns(Library& lib, const Problem& p, std::int32_t newcol, std::int32_t newnz,
                      const std::int32_t* mstart, const std::int32_t* mrwind, const double* dmatval, NewColumns& out) {
  const char* tag = "addcol  ";
  if (newcol > p.spare_columns) {
    report_argument_error(lib, kMessageNoSpareColumns, tag, {newcol});
    return false;
  }
  const IndexBase base = current_index_base(lib);
  if (base.to_internal(mstart[0]) < 0) {
    report_argument_error(lib, kMessageRowIndex, tag, {base.to_caller(0), mstart[0]});
    return false;
  }
  for (std::int32_t j = 0; j < newcol; ++j) {
    if (mstart[j + 1] < mstart[j]) {
      report_argument_error(lib, kMessageRowIndex, tag, {base.to_caller(j + 1), mstart[j + 1]});
      return false;
    }
  }
  const std::int64_t given = static_cast<std::int64_t>(mstart[newcol]) - mstart[0];
  if (std::max<std::int64_t>(newnz, given) > p.spare_elements || newnz < 0) {
    report_argument_error(lib, kMessageNoSpareElements, tag, {std::max<std::int64_t>(newnz, given)});
    return false;
  }
  if (given > 0 && (mrwind == nullptr || dmatval == nullptr)) {
    report_argument_error(lib, kMessageMissingArgument, tag, {});
    return false;
  }
  const double drop = lib.controls.d(dcv::ZTOLDA);
  const bool scaled = lib.controls.i(icv::IFSCAL) != 0;
  out.columns.resize(static_cast<std::size_t>(newcol));
  std::vector<std::int32_t> seen;
  for (std::int32_t j = 0; j < newcol; ++j) {
    NewColumn& column = out.columns[static_cast<std::size_t>(j)];
    column.begin = out.rows.size();
    double sum_log2 = 0.0;
    for (std::int64_t q = base.to_internal(mstart[j]); q < base.to_internal(mstart[j + 1]); ++q) {
      const std::int32_t i = checked_index(base, mrwind[q], p.rows);
      if (i < 0) {
        report_argument_error(lib, kMessageRowIndex, tag, {base.to_caller(q), mrwind[q]});
        return false;
      }
      if (std::fabs(dmatval[q]) < drop) continue;
      out.rows.push_back(i);
      out.values.push_back(dmatval[q]);
      sum_log2 += std::log2(std::fabs(dmatval[q])) + status::kNeutralExponent - row_exponent(p, i);
    }
    column.end = out.rows.size();
    if (!scaled) continue;
    seen.assign(out.rows.begin() + static_cast<std::ptrdiff_t>(column.begin), out.rows.end());
    std::sort(seen.begin(), seen.end());
    const auto repeated = std::adjacent_find(seen.begin(), seen.end());
    if (repeated != seen.end()) {
      report_argument_error(lib, kMessageIndexRepeated, tag, {base.to_caller(j), base.to_caller(*repeated)});
      return false;
    }
    column.exponent = new_line_exponent(sum_log2, static_cast<std::int32_t>(column.end - column.begin));
  }
  return true;
}

// Entity list position of every column (−1: none).
std::vector<std::int32_t> entity_positions(const Problem& p) {
  std::vector<std::int32_t> at(static_cast<std::size_t>(p.columns), -1);
  for (std::size_t k = 0; k < p.entities.size(); ++k) {
    const GlobalEntity& e = p.entities[k];
    if (!e.is_set() && e.reference >= 0 && e.reference < p.columns) {
      at[static_cast<std::size_t>(e.reference)] = static_cast<std::int32_t>(k);
    }
  }
  return at;
}

}  // namespace

std::int32_t add_columns(Library& lib, std::int32_t newcol, std::int32_t newnz, const double* objx,
                         const std::int32_t* mstart, const std::int32_t* mrwind, const double* dmatval,
                         const double* bdl, const double* bdu) {
  const char* tag = "addcol  ";
  Problem* problem = begin_change(lib, Refuse::kWhenSearching);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageColumnRange, newcol, {objx, mstart, bdl, bdu})) return lib.err.return_code;
  if (newcol == 0) return 0;
  NewColumns in;
  if (!read_new_columns(lib, p, newcol, newnz, mstart, mrwind, dmatval, in)) return lib.err.return_code;
  if (!ensure_column_copy(lib, p)) return lib.err.return_code;
  column_matrix_changed(lib, p);

  ColumnMatrix& a = p.by_column;
  for (std::int32_t k = 0; k < newcol; ++k) {
    const NewColumn& column = in.columns[static_cast<std::size_t>(k)];
    const std::int32_t j = p.columns;
    p.status.push_back(status::with_exponent(0, column.exponent));
    p.lower.push_back(0.0);
    p.upper.push_back(0.0);
    p.objective.push_back(0.0);
    p.names.append_default(1);
    ++p.columns;
    --p.spare_columns;
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    const int shift = -column_bound_shift(p, j);
    p.lower[v] = stored_bound(bdl[k], shift);
    p.upper[v] = stored_bound(bdu[k], shift);
    // Nonbasic at a finite bound (the upper one when only that is finite).
    p.status[v] = with_bound_bits(p.status[v], p.lower[v], p.upper[v]);
    p.objective[static_cast<std::size_t>(j)] = scale_by(objx[k], -objective_shift(p, j));
    for (std::size_t q = column.begin; q < column.end; ++q) {
      const std::int32_t i = in.rows[q];
      a.row.push_back(i);
      a.value.push_back(scale_by(in.values[q], -element_shift(p, i, j)));
    }
    a.start.push_back(static_cast<std::int32_t>(a.row.size()));
  }
  p.spare_elements -= static_cast<std::int32_t>(in.rows.size());
  p.cost_scale = compute_cost_scale(p);
  after_change(lib, p, Change::kStructure);
  return 0;
}

std::int32_t delete_columns(Library& lib, std::int32_t ncols, const std::int32_t* mindex) {
  const char* tag = "delcol  ";
  Problem* problem = begin_change(lib, Refuse::kWhenSearchingOrRunning);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageColumnRange, ncols, {mindex})) return lib.err.return_code;
  const IndexBase base = current_index_base(lib);
  std::vector<std::int32_t> moved(static_cast<std::size_t>(p.columns), 0);
  for (std::int32_t k = 0; k < ncols; ++k) {
    const std::int32_t j = checked_index(base, mindex[k], p.columns);
    if (j < 0) {
      report_argument_error(lib, kMessageNotAColumn, tag, {mindex[k]});
      return lib.err.return_code;
    }
    moved[static_cast<std::size_t>(j)] = -1;
  }
  if (ncols == 0) return 0;
  if (!ensure_column_copy(lib, p)) return lib.err.return_code;
  const std::int32_t before = p.columns;
  std::int32_t kept = 0;
  for (std::int32_t j = 0; j < before; ++j) {
    if (moved[static_cast<std::size_t>(j)] == 0) moved[static_cast<std::size_t>(j)] = kept++;
  }

  // Elements and per-column data move down in one pass.
  ColumnMatrix& a = p.by_column;
  p.names.materialise();
  std::vector<char> name(static_cast<std::size_t>(p.names.width()));
  std::int32_t out = 0;
  for (std::int32_t j = 0; j < before; ++j) {
    const std::int32_t to = moved[static_cast<std::size_t>(j)];
    const std::int32_t begin = a.start[static_cast<std::size_t>(j)], end = a.start[static_cast<std::size_t>(j) + 1];
    if (to < 0) continue;
    a.start[static_cast<std::size_t>(to)] = out;
    for (std::int32_t q = begin; q < end; ++q, ++out) {
      a.row[static_cast<std::size_t>(out)] = a.row[static_cast<std::size_t>(q)];
      a.value[static_cast<std::size_t>(out)] = a.value[static_cast<std::size_t>(q)];
    }
    if (to == j) continue;
    const auto s = static_cast<std::size_t>(p.column_variable(j)), d = static_cast<std::size_t>(p.column_variable(to));
    p.status[d] = p.status[s];
    p.lower[d] = p.lower[s];
    p.upper[d] = p.upper[s];
    p.objective[static_cast<std::size_t>(to)] = p.objective[static_cast<std::size_t>(j)];
    p.names.copy_name(p.column_variable(j), name.data());
    p.names.set(p.column_variable(to), std::string_view(name.data(), name.size()));
  }
  const std::int32_t freed = a.start.back() - out;
  a.start.resize(static_cast<std::size_t>(kept) + 1);
  a.start.back() = out;
  a.row.resize(static_cast<std::size_t>(out));
  a.value.resize(static_cast<std::size_t>(out));
  const auto variables = static_cast<std::size_t>(p.row_slots() + kept);
  p.status.resize(variables);
  p.lower.resize(variables);
  p.upper.resize(variables);
  p.objective.resize(static_cast<std::size_t>(kept));
  p.names.truncate(static_cast<std::int32_t>(variables));
  column_matrix_changed(lib, p);

  // Records that name columns follow them; those of deleted columns go.
  auto renumber = [&](std::int32_t j) { return j >= 0 && j < before ? moved[static_cast<std::size_t>(j)] : j; };
  std::size_t left = 0;
  for (const GlobalEntity& e : p.entities) {
    if (e.is_set()) {
      p.entities[left++] = e;
    } else if (renumber(e.reference) >= 0) {
      GlobalEntity kept_entity = e;
      kept_entity.reference = renumber(e.reference);
      p.entities[left++] = kept_entity;
    }
  }
  p.spare_entities += static_cast<std::int32_t>(p.entities.size() - left);
  p.entities.resize(left);
  SpecialOrderedSets& sets = p.sets;
  std::size_t member_out = 0;
  for (std::int32_t s = 0; s < sets.count(); ++s) {
    const std::int32_t begin = sets.start[static_cast<std::size_t>(s)],
                       end = sets.start[static_cast<std::size_t>(s) + 1];
    sets.start[static_cast<std::size_t>(s)] = static_cast<std::int32_t>(member_out);
    for (std::int32_t q = begin; q < end; ++q) {
      SetMember member = sets.members[static_cast<std::size_t>(q)];
      member.column = renumber(member.column);
      if (member.column >= 0) sets.members[member_out++] = member;
    }
  }
  sets.start.back() = static_cast<std::int32_t>(member_out);
  sets.members.resize(member_out);
  std::size_t pairs = 0;
  for (DeferredPair pair : p.deferred_pairs) {
    pair.first_column = renumber(pair.first_column);
    pair.second_column = renumber(pair.second_column);
    if (pair.first_column >= 0 && pair.second_column >= 0) p.deferred_pairs[pairs++] = pair;
  }
  p.deferred_pairs.resize(pairs);
  for (RecursionRecord& record : p.recursion_records) {
    for (std::int32_t& j : record.columns) j = renumber(j);
  }
  p.columns = kept;
  p.spare_columns += before - kept;
  p.spare_elements += freed;
  p.cost_scale = compute_cost_scale(p);
  after_change(lib, p, Change::kStructure);
  return 0;
}

std::int32_t change_bounds(Library& lib, std::int32_t nbnds, const std::int32_t* mindex, const char* qbtype,
                           const double* bnd) {
  const char* tag = "chgbds  ";
  Problem* problem = begin_change(lib, Refuse::kNever);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageColumnRange, nbnds, {mindex, qbtype, bnd})) return lib.err.return_code;
  std::vector<std::int32_t> columns;
  if (!read_column_list(lib, p, tag, nbnds, mindex, columns)) return lib.err.return_code;
  const IndexBase base = current_index_base(lib);
  for (std::int32_t k = 0; k < nbnds; ++k) {
    if (qbtype[k] != 'U' && qbtype[k] != 'L' && qbtype[k] != 'B') {
      report_character_error(lib, kMessageBadBoundType, tag, base.to_caller(k), qbtype[k]);
      return lib.err.return_code;
    }
  }
  const double tolerance = lib.controls.d(dcv::ZTOLDA);
  auto replace = [&](double& stored, double value) {
    if (std::fabs(value - stored) >= tolerance) stored = value;
  };
  for (std::int32_t k = 0; k < nbnds; ++k) {
    const std::int32_t j = columns[static_cast<std::size_t>(k)];
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    const double value = stored_bound(bnd[k], -column_bound_shift(p, j));
    if (qbtype[k] != 'U') replace(p.lower[v], value);
    if (qbtype[k] != 'L') replace(p.upper[v], value);
    // A column whose bounds meet stays in the optimisation at that value, so its
    // objective contribution reaches the objective through the solution.
    p.status[v] = with_bound_bits(p.status[v], p.lower[v], p.upper[v]);
  }
  after_change(lib, p, Change::kValues);
  return 0;
}

std::int32_t change_objective(Library& lib, std::int32_t ncols, const std::int32_t* mindex, const double* obj) {
  const char* tag = "chgobj  ";
  Problem* problem = begin_change(lib, Refuse::kNever);
  if (problem == nullptr) return lib.err.return_code;
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageColumnRange, ncols, {mindex, obj})) return lib.err.return_code;
  const IndexBase base = current_index_base(lib);
  std::vector<std::int32_t> columns(static_cast<std::size_t>(ncols));
  for (std::int32_t k = 0; k < ncols; ++k) {
    // The literal −1, whatever the index base, names the objective constant.
    const std::int32_t j = mindex[k] == -1 ? -1 : checked_index(base, mindex[k], p.columns);
    if (j < 0 && mindex[k] != -1) {
      report_argument_error(lib, kMessageNotAColumn, tag, {base.to_caller(k), mindex[k]});
      return lib.err.return_code;
    }
    columns[static_cast<std::size_t>(k)] = j;
  }
  for (std::int32_t k = 0; k < ncols; ++k) {
    const std::int32_t j = columns[static_cast<std::size_t>(k)];
    if (j < 0) {
      // Held as the amount added to the objective: the constant term of the objective
      // row's right-hand side, negated.
      p.objective_constant = obj[k];
    } else {
      p.objective[static_cast<std::size_t>(j)] = scale_by(obj[k], -objective_shift(p, j));
    }
  }
  after_change(lib, p, Change::kObjective);
  return 0;
}

std::int32_t change_column_types(Library& lib, std::int32_t ncols, const std::int32_t* mindex, const char* qctype) {
  const char* tag = "chgcoltype";
  Problem* problem = begin_change(lib, Refuse::kNever);
  if (problem == nullptr) return lib.err.return_code;
  if (lib.global_search_active) {
    report_error(lib, kRcInvalidCall, kMessageColumnTypesDuringSearch);
    return lib.err.return_code;
  }
  Problem& p = *problem;
  if (reject_count(lib, tag, kMessageColumnRange, ncols, {mindex, qctype})) return lib.err.return_code;
  std::vector<std::int32_t> columns;
  if (!read_column_list(lib, p, tag, ncols, mindex, columns)) return lib.err.return_code;
  const IndexBase base = current_index_base(lib);
  for (std::int32_t k = 0; k < ncols; ++k) {
    if (qctype[k] != 'C' && qctype[k] != 'I' && qctype[k] != 'B') {
      report_character_error(lib, kMessageBadColumnType, tag, base.to_caller(k), qctype[k]);
      return lib.err.return_code;
    }
  }
  // The entity list must agree with the status words, and new entities need slots:
  // the list is played through on the side before anything changes.
  std::vector<std::int32_t> position = entity_positions(p);
  std::vector<char> entity(static_cast<std::size_t>(p.columns), 0);
  for (std::int32_t k = 0; k < ncols; ++k) {
    const auto j = static_cast<std::size_t>(columns[static_cast<std::size_t>(k)]);
    const bool marked = (p.status[static_cast<std::size_t>(p.column_variable(static_cast<std::int32_t>(j)))] &
                         status::kGlobalEntity) != 0;
    if (marked && position[j] < 0) {
      report_error(lib, kRcInvalidCall, kMessageEntityListMismatch);
      return lib.err.return_code;
    }
    entity[j] = position[j] >= 0 ? 1 : 0;
  }
  std::int32_t slots = p.spare_entities;
  std::vector<char> becomes(static_cast<std::size_t>(p.columns), 0);  // 1: entity, 2: not, after the call
  for (std::int32_t k = 0; k < ncols; ++k) {
    const auto j = static_cast<std::size_t>(columns[static_cast<std::size_t>(k)]);
    const bool now = becomes[j] == 0 ? entity[j] != 0 : becomes[j] == 1;
    const bool next = qctype[k] != 'C';
    if (next && !now && --slots < 0) {
      report_error(lib, kRcInvalidCall, kMessageNoEntitySlot);
      return lib.err.return_code;
    }
    if (!next && now) ++slots;
    becomes[j] = next ? 1 : 2;
  }

  // Columns that become entities lose their scale.
  bool rescaled = false;
  ScaleMultipliers neutral;
  neutral.row.assign(static_cast<std::size_t>(p.row_slots()), 1.0);
  neutral.column.assign(static_cast<std::size_t>(p.columns), 1.0);
  for (std::int32_t j = 0; j < p.columns; ++j) {
    const int e = column_exponent(p, j);
    if (becomes[static_cast<std::size_t>(j)] == 1 && e != status::kNeutralExponent) {
      neutral.column[static_cast<std::size_t>(j)] = inverse_scale_factor(e);
      rescaled = true;
    }
  }
  if (rescaled) {
    if (!ensure_column_copy(lib, p)) return lib.err.return_code;
    multiply_problem(p, neutral);
    for (std::int32_t j = 0; j < p.columns; ++j) {
      if (neutral.column[static_cast<std::size_t>(j)] == 1.0) continue;
      std::uint32_t& word = p.status[static_cast<std::size_t>(p.column_variable(j))];
      word = status::with_exponent(word, status::kNeutralExponent);
    }
    p.cost_scale = compute_cost_scale(p);
  }

  const double factor = *lib.attributes.double_attribute(attr::kPseudoCostFactor);
  const auto pseudo_cost = static_cast<float>(lib.controls.d(dcv::RTOLPS) * factor);
  for (std::int32_t k = 0; k < ncols; ++k) {
    const std::int32_t j = columns[static_cast<std::size_t>(k)];
    const auto v = static_cast<std::size_t>(p.column_variable(j));
    std::uint32_t& word = p.status[v];
    auto found = std::find_if(p.entities.begin(), p.entities.end(),
                              [&](const GlobalEntity& e) { return !e.is_set() && e.reference == j; });
    word &= ~status::kEntityBits;
    if (qctype[k] == 'C') {
      if (found != p.entities.end()) {
        p.entities.erase(found);
        ++p.spare_entities;
      }
      continue;
    }
    const EntityKind kind = qctype[k] == 'I' ? EntityKind::kInteger : EntityKind::kBinary;
    if (found == p.entities.end()) {
      GlobalEntity e;
      e.reference = j;
      e.up_pseudo_cost = pseudo_cost;
      e.down_pseudo_cost = pseudo_cost;
      p.entities.push_back(e);
      --p.spare_entities;
      found = p.entities.end() - 1;
    }
    found->word = static_cast<std::uint32_t>(kind);
    found->limit = 0.0;
    word |= status::kGlobalEntity | (kind == EntityKind::kInteger ? status::kInteger : status::kBinary);
    if (kind == EntityKind::kBinary) p.upper[v] = 1.0;  // the column's scale is neutral now
    word = with_bound_bits(word, p.lower[v], p.upper[v]);
  }
  after_change(lib, p, rescaled ? Change::kStructure : Change::kValues);
  return 0;
}

}  // namespace kqopt
