// Writing and reading the binary solution file: the record of a solve in the caller's
// units, and its bytes moved to and from the file.
#include "output/solution_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/message_numbers.h"
#include "frame/replacing_file.h"
#include "library/library.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/solution_units.h"

namespace kqopt {

bool write_solution_file(Library& lib) {
  const Problem& problem = *lib.problem;
  const EngineState& engine = *lib.engine;
  const double sense = lib.attributes.double_attribute(attr::kSenseMultiplier)[0];
  const double tol = lib.controls.d(dcv::ZTOLZE);
  const std::int32_t rows = problem.row_slots();
  const std::int32_t columns = problem.columns;
  const std::size_t total = static_cast<std::size_t>(rows) + static_cast<std::size_t>(columns);

  SolutionRecord r;
  // The name without its folder: the header holds eight characters.
  r.problem_name = lib.problem_name.substr(
      lib.problem_name.find_last_of("/\\") == std::string::npos ? 0 : lib.problem_name.find_last_of("/\\") + 1);
  r.rows = rows;
  r.columns = columns;
  r.status_character = engine.status_character;
  r.maximise = sense < 0;
  r.global = lib.global_search_set_up;
  r.iterations = lib.attributes.int_attribute(attr::kIterations)[0];
  r.primal_infeasibilities = lib.attributes.int_attribute(attr::kPrimalInfeasibilities)[0];
  r.objective = lib.attributes.double_attribute(attr::kObjectiveValue)[0];
  r.sum_infeasibilities = lib.attributes.double_attribute(attr::kSumPrimalInfeasibilities)[0];
  const std::int32_t objective_row = problem.named_objective_row();
  r.objective_row = objective_row + 1;
  r.objective_name.assign(8, ' ');
  if (objective_row >= 0) {
    std::vector<char> name(static_cast<std::size_t>(problem.names.width()));
    problem.names.copy_name(objective_row, name.data());
    r.objective_name.assign(name.data(), std::min<std::size_t>(name.size(), 8));
  }
  for (auto [set, attribute] : {std::pair{&r.rhs_set, attr::kRhsSetName}, std::pair{&r.bound_set, attr::kBoundSetName},
                                std::pair{&r.range_set, attr::kRangeSetName}}) {
    const auto* field = lib.attributes.char_attribute(attribute);
    set->assign(field->data(), field->size());
  }
  for (auto* column : {&r.value, &r.cost, &r.lower, &r.upper, &r.rhs, &r.dual}) column->assign(total, 0.0);
  r.name.resize(total);
  r.type_or_count.resize(total);
  r.status.resize(total);

  std::vector<char> name_buffer(static_cast<std::size_t>(problem.names.width()));
  for (std::size_t v = 0; v < total; ++v) {
    const auto vi = static_cast<std::int32_t>(v);
    problem.names.copy_name(vi, name_buffer.data());
    r.name[v].assign(name_buffer.data(), name_buffer.size());
    const bool is_row = vi < rows;
    const std::int32_t j = vi - rows;
    std::uint32_t word = problem.status[v];
    const double x = engine.basis.x[v];
    if (x < problem.lower[v] - tol || x > problem.upper[v] + tol) word |= 0x40;
    r.status[v] = (word & 0xFFFFu) | (static_cast<std::uint32_t>(status::exponent(word)) << 16);
    r.type_or_count[v] = is_row ? problem.row_type[v]
                                : problem.by_column.start[static_cast<std::size_t>(j) + 1] -
                                      problem.by_column.start[static_cast<std::size_t>(j)];
    r.value[v] = to_user_value(problem, vi, x);
    if (is_row) {
      // A row's limits are those of its activity a.x = rhs - s.
      const double rhs = to_user_value(problem, vi, problem.rhs[v]);
      const double lo = to_user_value(problem, vi, problem.lower[v]);
      const double up = to_user_value(problem, vi, problem.upper[v]);
      r.lower[v] = up >= kInfinity ? -kInfinity : rhs - up;
      r.upper[v] = lo <= -kInfinity ? kInfinity : rhs - lo;
      r.rhs[v] = rhs;
    } else {
      r.cost[v] = to_user_cost(problem, j, problem.objective[static_cast<std::size_t>(j)]);
      r.lower[v] = to_user_value(problem, vi, problem.lower[v]);
      r.upper[v] = to_user_value(problem, vi, problem.upper[v]);
    }
    const double dual = is_row ? engine.pi[v] : engine.reduced_cost[v];
    r.dual[v] = sense * (is_row ? to_user_price(problem, vi, dual) : to_user_reduced_cost(problem, vi, dual));
  }
  const std::vector<unsigned char> bytes = encode_solution(r);

  const std::string file = problem_file_name(lib, "sol");
  ReplacingFile out;
  const bool ok = out.open(file) && out.write(bytes.data(), bytes.size()) && out.commit();
  if (!ok) report_error(lib, kRcFileError, kMessageFileFailed);
  return ok;
}

bool read_solution_file(const Library& lib, SolutionRecord& record) {
  const std::string file = problem_file_name(lib, "sol");
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return false;
  std::vector<unsigned char> bytes;
  unsigned char chunk[1 << 15];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool ok = std::ferror(in) == 0 && decode_solution(bytes, record);
  std::fclose(in);
  return ok;
}

}  // namespace kqopt
