// Installing a caller's basis in the status words, and the basis as held.
#include "simplex/driver/basis_loading.h"

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/index_base.h"
#include "simplex/driver/engine_current.h"
#include "simplex/driver/engine_setup.h"

namespace kqopt {

namespace {
constexpr const char* kTag = "ldbasis ";

bool valid_code(std::int32_t code) { return code >= 0 && code <= 2; }

std::uint32_t with_code(std::uint32_t word, bool basic, bool at_upper) {
  word &= ~(status::kBasic | status::kAtUpper);
  if (basic) word |= status::kBasic;
  if (at_upper) word |= status::kAtUpper;
  return word;
}

std::int32_t basis_code(std::uint32_t word) {
  if (word & status::kBasic) return 1;
  return (word & status::kAtUpper) ? 2 : 0;
}

}  // namespace

std::int32_t load_basis(Library& lib, const std::int32_t* rstatus, const std::int32_t* cstatus, Units units) {
  lib.begin_operation();
  if (!require_problem(lib)) return lib.err.return_code;
  if (units == Units::kCaller && lib.global_search_active) {
    report_error(lib, kRcInvalidCall, kMessageRefused);
    return lib.err.return_code;
  }
  if (engine_busy(lib, true) || reject_null(lib, rstatus, kTag) || reject_null(lib, cstatus, kTag)) {
    return lib.err.return_code;
  }
  Problem& problem = *lib.problem;
  const IndexBase index = current_index_base(lib);
  const std::int32_t m = problem.rows;
  const std::int32_t n = problem.columns;
  // Every code is checked before anything changes.
  for (std::int32_t i = 0; i < m; ++i) {
    if (!valid_code(rstatus[i])) {
      report_argument_error(lib, kMessageBadRowStatus, kTag, {index.to_caller(i), rstatus[i]});
      return lib.err.return_code;
    }
  }
  for (std::int32_t j = 0; j < n; ++j) {
    if (!valid_code(cstatus[j])) {
      report_argument_error(lib, kMessageBadColumnStatus, kTag, {index.to_caller(j), cstatus[j]});
      return lib.err.return_code;
    }
  }

  install_basis(lib, rstatus, cstatus);
  return lib.err.return_code;
}

void install_basis(Library& lib, const std::int32_t* rstatus, const std::int32_t* cstatus) {
  Problem& problem = *lib.problem;
  const std::int32_t m = problem.rows;
  const std::int32_t n = problem.columns;
  // Rows keep their own positions; the positions of nonbasic rows are the empty ones
  // that basic columns fill in column order.
  std::int32_t empty_positions = 0;
  for (std::int32_t i = 0; i < m; ++i) {
    auto& word = problem.status[static_cast<std::size_t>(i)];
    word = with_code(word, rstatus[i] == 1, rstatus[i] == 2);
    if (rstatus[i] != 1) ++empty_positions;
  }
  for (std::int32_t j = 0; j < n; ++j) {
    auto& word = problem.status[static_cast<std::size_t>(problem.column_variable(j))];
    bool basic = cstatus[j] == 1;
    if (basic) {
      if (empty_positions > 0) {
        --empty_positions;
      } else {
        basic = false;  // no position left: nonbasic at lower
      }
    }
    word = with_code(word, basic, cstatus[j] == 2);
  }

  lib.controls.i(icv::IFNBAS) = 1;
  EngineState& engine = engine_of(lib);
  engine.factor_current = false;
  engine.has_solution = false;
  engine.basis_serial = problem.serial;
}

std::int32_t get_internal_basis(Library& lib, std::int32_t* rstatus, std::int32_t* cstatus) {
  lib.begin_operation();
  if (!require_problem(lib)) return lib.err.return_code;
  const Problem& problem = *lib.problem;
  for (std::int32_t i = 0; rstatus != nullptr && i < problem.rows; ++i) {
    rstatus[i] = basis_code(problem.status[static_cast<std::size_t>(i)]);
  }
  for (std::int32_t j = 0; cstatus != nullptr && j < problem.columns; ++j) {
    cstatus[j] = basis_code(problem.status[static_cast<std::size_t>(problem.column_variable(j))]);
  }
  return lib.err.return_code;
}

std::int32_t get_basic_positions(Library& lib, std::int32_t* basis) {
  lib.begin_operation();
  if (!require_problem(lib) || reject_null(lib, basis, "getbspiv")) return lib.err.return_code;
  if (!factor_is_current(lib)) {
    lib.err.return_code = kRcInvalidCall;
    lib.err.error_number = kMessageSolutionNotAvailable;
    return lib.err.return_code;
  }
  const IndexBase index = current_index_base(lib);
  const auto& header = lib.engine->basis.header;
  for (std::int32_t p = 0; p < lib.problem->rows; ++p) {
    basis[p] = static_cast<std::int32_t>(index.to_caller(header[static_cast<std::size_t>(p)]));
  }
  return lib.err.return_code;
}

std::int32_t get_presolve_map(Library& lib, std::int32_t* map) {
  lib.begin_operation();
  if (!lib.has_problem() || map == nullptr) return 0;
  const IndexBase index = current_index_base(lib);
  for (std::int32_t v = 0; v < lib.problem->variables(); ++v) map[v] = static_cast<std::int32_t>(index.to_caller(v));
  return 0;
}

}  // namespace kqopt
