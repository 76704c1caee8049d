// The global part of a load: the entity list with its sets and column entities, the
// entity counts and the default directives.
//
// Invariant on return 0: every column named by an entity carries the global-entity bit
// and exactly one kind bit, each column appears at most once among the column
// entities, set k's entity has reference k, and attributes 1003 to 1005 count the
// entries, the sets and the set members.
#include <algorithm>
#include <cmath>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/arrays.h"
#include "problem/charges.h"
#include "problem/load_steps.h"
#include "problem/units.h"

namespace kqopt {

namespace {

constexpr std::int64_t kEntityBytes = 16;     // word, reference, limit
constexpr std::int64_t kDirectiveBytes = 12;  // priority word, two single-precision costs
constexpr std::int64_t kMemberBytes = 20;     // column, weight, upper-bound copy

// Entity kind of an input letter (the file readers may also pass the codes 1..4).
std::uint32_t entity_kind(char c) {
  switch (c) {
    case 'I':
    case 1:
      return static_cast<std::uint32_t>(EntityKind::kInteger);
    case 'S':
    case 2:
      return static_cast<std::uint32_t>(EntityKind::kSemiContinuous);
    case 'B':
    case 3:
      return static_cast<std::uint32_t>(EntityKind::kBinary);
    case 'P':
    case 4:
      return static_cast<std::uint32_t>(EntityKind::kPartialInteger);
    default:
      return 0;
  }
}

std::uint32_t set_kind(char c) {
  switch (c) {
    case '1':
      return static_cast<std::uint32_t>(EntityKind::kSet1);
    case '2':
      return static_cast<std::uint32_t>(EntityKind::kSet2);
    default:
      return 0;
  }
}

bool read_only(const Library& lib, int n) { return lib.controls.icv_access[static_cast<std::size_t>(n)] < 0; }

class GlobalLoader {
 public:
  explicit GlobalLoader(LoadContext& context)
      : c_(context), lib_(context.lib), in_(context.input), p_(context.problem), tag_(context.options.global_tag) {}

  std::int32_t run();

 private:
  bool check_arguments();
  bool add_sets();
  bool add_column_entities();
  // 0-based column of caller column index c, or −1 when c denotes no column.
  std::int32_t column_of(std::int64_t c) const {
    std::int64_t j = c_.index.to_internal(c);
    return j >= 0 && j < p_.columns ? static_cast<std::int32_t>(j) : -1;
  }

  LoadContext& c_;
  Library& lib_;
  const ProblemInput& in_;
  Problem& p_;
  const char* tag_;
};

bool GlobalLoader::check_arguments() {
  if (in_.entity_count < 0) {
    report_argument_error(lib_, kMessageEntityKind, tag_, {in_.entity_count});
    return false;
  }
  if (in_.set_count < 0) {
    report_argument_error(lib_, kMessageSetType, tag_, {in_.set_count});
    return false;
  }
  if ((in_.entity_count > 0 && (in_.entity_kinds == nullptr || in_.entity_columns == nullptr)) ||
      (in_.set_count > 0 && (in_.set_types == nullptr || in_.set_starts == nullptr))) {
    report_argument_error(lib_, kMessageMissingArgument, tag_, {});
    return false;
  }
  // Set starts: from a start not below the arrays' first element up to
  // msstart[nsets] without going backwards, checked before any member is read.
  for (std::int32_t k = 0; k < in_.set_count; ++k) {
    const std::int64_t begin = c_.index.to_internal(in_.set_starts[k]);
    if (begin < 0 || c_.index.to_internal(in_.set_starts[k + 1]) < begin) {
      report_argument_error(lib_, kMessageNotAColumn, tag_, {c_.index.to_caller(k), in_.set_starts[k + 1]});
      return false;
    }
  }
  // Set types first, then entity kinds.
  for (std::int32_t k = 0; k < in_.set_count; ++k) {
    if (set_kind(in_.set_types[k]) == 0) {
      report_character_error(lib_, kMessageSetType, tag_, c_.index.to_caller(k), in_.set_types[k]);
      return false;
    }
  }
  for (std::int32_t i = 0; i < in_.entity_count; ++i) {
    const std::uint32_t kind = entity_kind(in_.entity_kinds[i]);
    if (kind == 0) {
      report_character_error(lib_, kMessageEntityKind, tag_, c_.index.to_caller(i), in_.entity_kinds[i]);
      return false;
    }
    if (kind == static_cast<std::uint32_t>(EntityKind::kPartialInteger) && in_.entity_limits == nullptr) {
      report_argument_error(lib_, kMessageMissingArgument, tag_, {});
      return false;
    }
  }
  return true;
}

// Sets: name, members (column, weight, copy of the column's upper bound).
bool GlobalLoader::add_sets() {
  SpecialOrderedSets& sets = p_.sets;
  const std::int32_t nsets = in_.set_count;
  std::int64_t members = 0;
  if (nsets > 0) {
    members = c_.index.to_internal(in_.set_starts[nsets]) - c_.index.to_internal(in_.set_starts[0]);
    if (members > 0 && (in_.set_columns == nullptr || in_.set_weights == nullptr)) {
      report_argument_error(lib_, kMessageMissingArgument, tag_, {});
      return false;
    }
  }
  if (!charge_array(lib_, p_, problem_array::kSetMembers, kMemberBytes * std::max<std::int64_t>(members, 0)))
    return false;
  sets.start.assign(1, 0);
  sets.members.clear();
  sets.members.reserve(static_cast<std::size_t>(std::max<std::int64_t>(members, 0)));
  sets.reference_row.assign(static_cast<std::size_t>(nsets), -1);
  sets.names.reset(nsets, p_.names.words(), 'S');
  for (std::int32_t k = 0; k < nsets; ++k) {
    const std::int64_t begin = c_.index.to_internal(in_.set_starts[k]);
    const std::int64_t end = c_.index.to_internal(in_.set_starts[k + 1]);
    if (begin < 0 || end < begin) {
      report_argument_error(lib_, kMessageNotAColumn, tag_, {c_.index.to_caller(k), in_.set_starts[k + 1]});
      return false;
    }
    for (std::int64_t q = begin; q < end; ++q) {
      const std::int32_t j = column_of(in_.set_columns[q]);
      if (j < 0) {
        report_argument_error(lib_, kMessageNotAColumn, tag_, {c_.index.to_caller(q), in_.set_columns[q]});
        return false;
      }
      const double weight = in_.set_weights[q];
      if (!std::isfinite(weight)) ++c_.faults;
      const std::size_t v = static_cast<std::size_t>(p_.column_variable(j));
      sets.members.push_back({j, scale_by(weight, -column_bound_shift(p_, j)), p_.upper[v]});
    }
    sets.start.push_back(static_cast<std::int32_t>(sets.members.size()));
    if (in_.set_names) sets.names.set(k, name_record(in_.set_names, in_.name_chars, k));
    if (in_.set_reference_rows) sets.reference_row[static_cast<std::size_t>(k)] = in_.set_reference_rows[k];
    GlobalEntity e;
    e.word = set_kind(in_.set_types[k]);
    e.reference = k;
    p_.entities.push_back(e);
  }
  return true;
}

// Column entities in the given order; a column already an entity is skipped (261).
bool GlobalLoader::add_column_entities() {
  for (std::int32_t i = 0; i < in_.entity_count; ++i) {
    const std::int32_t j = column_of(in_.entity_columns[i]);
    if (j < 0) {
      report_argument_error(lib_, kMessageNotAColumn, tag_, {c_.index.to_caller(i), in_.entity_columns[i]});
      return false;
    }
    const std::size_t v = static_cast<std::size_t>(p_.column_variable(j));
    std::uint32_t& word = p_.status[v];
    if ((word & status::kGlobalEntity) != 0) {
      print_repeated_message(lib_, kMessageAlreadyEntity);
      put_string(lib_, p_.names.trimmed(static_cast<std::int32_t>(v)).c_str());
      flush_line(lib_);
      continue;
    }
    GlobalEntity e;
    e.word = entity_kind(in_.entity_kinds[i]);
    e.reference = j;
    word |= status::kGlobalEntity;
    switch (e.kind()) {
      case EntityKind::kInteger:
        word |= status::kInteger;
        break;
      case EntityKind::kSemiContinuous:
        word |= status::kSemiContinuous;
        if (in_.semi_continuous_limits)
          e.limit = scale_bound_by(in_.semi_continuous_limits[i], -column_bound_shift(p_, j));
        break;
      case EntityKind::kBinary:
        word |= status::kBinary | status::kFiniteUpper;
        word &= ~status::kFree;
        p_.upper[v] = scale_bound_by(1.0, -column_bound_shift(p_, j));
        break;
      default:
        word |= status::kPartialInteger;
        e.word |= (static_cast<std::uint32_t>(in_.entity_limits[i]) & 0x0FFFFFFFu) << 4;
        break;
    }
    p_.entities.push_back(e);
  }
  return true;
}

std::int32_t GlobalLoader::run() {
  const Controls& c = lib_.controls;
  const std::int64_t requested = static_cast<std::int64_t>(std::max(in_.entity_count, 0)) + std::max(in_.set_count, 0) +
                                 std::max(c.i(icv::NGXTRA), 0);
  // Step 1: the entity capacity.
  if (c_.options.check_capacities && read_only(lib_, icv::NGEMAX) && requested > c.i(icv::NGEMAX)) {
    report_error(lib_, kRcInvalidCall, kMessageTooManyEntities, {c.i(icv::NGEMAX) - c_.index.base});
    return lib_.err.return_code;
  }
  if (!check_arguments()) return lib_.err.return_code;
  // Step 2: the entity list.
  if (!charge_array(lib_, p_, problem_array::kEntities, kEntityBytes * requested)) return lib_.err.return_code;
  p_.spare_entities = std::max(c.i(icv::NGXTRA), 0);
  p_.entities.clear();
  p_.entities.reserve(static_cast<std::size_t>(requested - p_.spare_entities));
  // Steps 3 to 5: sets and column entities, in the order the options ask for.
  if (c_.options.sets_first) {
    if (!add_sets() || !add_column_entities()) return lib_.err.return_code;
  } else {
    if (!add_column_entities() || !add_sets()) return lib_.err.return_code;
  }
  // Step 6: counts and default directives.
  Attributes& at = lib_.attributes;
  *at.int_attribute(attr::kGlobalEntities) = static_cast<std::int32_t>(p_.entities.size());
  *at.int_attribute(attr::kSets) = p_.sets.count();
  *at.int_attribute(attr::kSetMembers) = static_cast<std::int32_t>(p_.sets.members.size());
  if (!charge_array(lib_, p_, problem_array::kDirectives, kDirectiveBytes * requested)) return lib_.err.return_code;
  set_default_directives(lib_, p_);
  return 0;
}

}  // namespace

void set_default_directives(Library& lib, Problem& p) {
  const double factor = *lib.attributes.double_attribute(attr::kPseudoCostFactor);
  const auto cost = static_cast<float>(lib.controls.d(dcv::RTOLPS) * factor);
  for (GlobalEntity& e : p.entities) {
    e.priority_word = kDefaultPriorityWord;
    e.up_pseudo_cost = cost;
    e.down_pseudo_cost = cost;
  }
}

std::int32_t load_global_entities(LoadContext& context) {
  GlobalLoader loader(context);
  return loader.run();
}

}  // namespace kqopt
