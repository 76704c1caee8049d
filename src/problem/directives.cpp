// Loading and reading branching directives (see directives.h).
//
// Invariant: every entity's priority word is 16 × p + d with p in 0..1000 and d in
// 0..2; a failed call leaves the directives it had already applied.
#include "problem/directives.h"

#include <vector>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/index_base.h"
#include "problem/problem.h"

namespace kqopt {

namespace {

constexpr const char* kTag = "loaddir ";
constexpr std::int32_t kDefaultPriority = 500;
constexpr std::int32_t kMaxPriority = 1000;

// Directive values read from the caller's arrays at one position.
struct Directive {
  std::int32_t priority = kDefaultPriority;
  std::int32_t direction = 0;
  const double* up = nullptr;
  const double* down = nullptr;
};

class DirectiveLoader {
 public:
  DirectiveLoader(Library& lib, const std::int32_t* mpri, const char* qbr, const double* dupc, const double* ddpc)
      : lib_(lib),
        p_(*lib.problem),
        index_(current_index_base(lib)),
        mpri_(mpri),
        qbr_(qbr),
        dupc_(dupc),
        ddpc_(ddpc) {}

  // Reads position k of the arrays; false after error 409.
  bool read(std::int32_t k, Directive& d) {
    d = Directive{};
    if (mpri_) {
      d.priority = mpri_[k];
      if (d.priority < 0 || d.priority > kMaxPriority) {
        print_message(lib_, kMessagePriority);
        put_integer(lib_, d.priority, 12);
        flush_line(lib_);
        d.priority = kDefaultPriority;
      }
    }
    if (qbr_) {
      switch (qbr_[k]) {
        case 'U':
          d.direction = 1;
          break;
        case 'D':
          d.direction = 2;
          break;
        case 'N':
          d.direction = 0;
          break;
        default:
          report_character_error(lib_, kMessageDirection, kTag, index_.to_caller(k), qbr_[k]);
          return false;
      }
    }
    if (dupc_) d.up = dupc_ + k;
    if (ddpc_) d.down = ddpc_ + k;
    return true;
  }

  void apply(const Directive& d, GlobalEntity& e) const {
    e.priority_word = 16 * d.priority + d.direction;
    if (d.up) e.up_pseudo_cost = static_cast<float>(*d.up);
    if (d.down) e.down_pseudo_cost = static_cast<float>(*d.down);
  }

  // Entity named by mcols value c: its index in the list, −1 after warning 247 (skip),
  // −2 after error 405.
  std::int32_t entity_of(std::int32_t c) {
    if (c < 0) {
      const std::int32_t set = -c - 1;
      const std::int32_t e = set < p_.sets.count() ? set_entity(set) : -1;
      if (e < 0) warn_not_entity(nullptr, c);
      return e;
    }
    const std::int64_t j = index_.to_internal(c);
    if (j < 0 || j >= p_.columns) {
      report_argument_error(lib_, kMessageNotAColumn, kTag, {c});
      return -2;
    }
    const std::int32_t e = column_entity(static_cast<std::int32_t>(j));
    if (e < 0) warn_not_entity(&j, c);
    return e;
  }

 private:
  void warn_not_entity(const std::int64_t* column, std::int32_t value) {
    print_repeated_message(lib_, kMessageNotAnEntity);
    if (column) {
      put_string(lib_, p_.names.trimmed(p_.column_variable(static_cast<std::int32_t>(*column))).c_str());
    } else {
      put_integer(lib_, value, 12);
    }
    flush_line(lib_);
  }
  std::int32_t column_entity(std::int32_t j) {
    if (column_map_.empty()) {
      column_map_.assign(static_cast<std::size_t>(p_.columns), -1);
      for (std::size_t e = 0; e < p_.entities.size(); ++e) {
        if (!p_.entities[e].is_set())
          column_map_[static_cast<std::size_t>(p_.entities[e].reference)] = static_cast<std::int32_t>(e);
      }
    }
    return column_map_[static_cast<std::size_t>(j)];
  }
  std::int32_t set_entity(std::int32_t set) const {
    for (std::size_t e = 0; e < p_.entities.size(); ++e) {
      if (p_.entities[e].is_set() && p_.entities[e].reference == set) return static_cast<std::int32_t>(e);
    }
    return -1;
  }

  Library& lib_;
  Problem& p_;
  IndexBase index_;
  const std::int32_t* mpri_;
  const char* qbr_;
  const double* dupc_;
  const double* ddpc_;
  std::vector<std::int32_t> column_map_;
};

}  // namespace

std::int32_t load_directives(Library& lib, DirectiveEntry entry, std::int32_t ndir, const std::int32_t* mcols,
                             const std::int32_t* mpri, const char* qbr, const double* dupc, const double* ddpc) {
  lib.begin_operation();
  if (!lib.has_problem() || lib.problem->entities.empty()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
    return lib.err.return_code;
  }
  if (entry == DirectiveEntry::kPlain && lib.global_search_active) {
    report_error(lib, kRcInvalidCall, kMessageDirectivesNotNow);
    return lib.err.return_code;
  }
  Problem& p = *lib.problem;
  DirectiveLoader loader(lib, mpri, qbr, dupc, ddpc);
  Directive d;
  if (ndir < 0) {
    if (!loader.read(0, d)) return lib.err.return_code;
    for (GlobalEntity& e : p.entities) loader.apply(d, e);
    return 0;
  }
  const std::int32_t count = static_cast<std::int32_t>(p.entities.size());
  for (std::int32_t i = 0; i < ndir; ++i) {
    std::int32_t e = i;
    if (mcols) {
      e = loader.entity_of(mcols[i]);
      if (e == -2) return lib.err.return_code;
      if (e < 0) continue;
    } else if (i >= count) {
      break;
    }
    if (!loader.read(i, d)) return lib.err.return_code;
    loader.apply(d, p.entities[static_cast<std::size_t>(e)]);
  }
  return 0;
}

std::int32_t get_directives(Library& lib, std::int32_t* ndir, std::int32_t* mcols, std::int32_t* mpri, char* qbr,
                            double* dupc, double* ddpc) {
  lib.begin_operation();
  if (!require_problem(lib)) return lib.err.return_code;
  const Problem& p = *lib.problem;
  const IndexBase index = current_index_base(lib);
  if (ndir) *ndir = static_cast<std::int32_t>(p.entities.size());
  std::size_t k = 0;
  for (const GlobalEntity& e : p.entities) {
    if (mcols) mcols[k] = e.is_set() ? -(e.reference + 1) : static_cast<std::int32_t>(index.to_caller(e.reference));
    if (mpri) mpri[k] = e.priority();
    if (qbr) qbr[k] = e.direction() == 1 ? 'U' : (e.direction() == 2 ? 'D' : 'N');
    if (dupc) dupc[k] = e.up_pseudo_cost;
    if (ddpc) ddpc[k] = e.down_pseudo_cost;
    ++k;
  }
  return 0;
}

}  // namespace kqopt
