// Writing and reading the binary solution file; the layout is in solution_file.h.
#include "output/solution_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/problem.h"
#include "simplex/core/engine_state.h"
#include "simplex/core/solution_units.h"

namespace kqopt {

namespace {
constexpr int kHeaderItems = 32;
constexpr int kItemsPerVariable = 8;
constexpr std::size_t kItem = 8;

struct Items {
  std::vector<unsigned char> bytes;
  void put_name(std::size_t item, const char* text, std::size_t length) {
    std::memset(&bytes[item * kItem], ' ', kItem);
    std::memcpy(&bytes[item * kItem], text, std::min(length, kItem));
  }
  void put_ints(std::size_t item, std::int32_t a, std::int32_t b) {
    std::memcpy(&bytes[item * kItem], &a, 4);
    std::memcpy(&bytes[item * kItem + 4], &b, 4);
  }
  void put_real(std::size_t item, double v) { std::memcpy(&bytes[item * kItem], &v, kItem); }
};

}  // namespace

bool write_solution_file(Library& lib) {
  const Problem& problem = *lib.problem;
  const EngineState& engine = *lib.engine;
  const double sense = lib.attributes.double_attribute(attr::kSenseMultiplier)[0];
  const double tol = lib.controls.d(dcv::ZTOLZE);
  const std::int32_t rows = problem.row_slots();
  const std::int32_t columns = problem.columns;
  const std::size_t total = static_cast<std::size_t>(rows) + static_cast<std::size_t>(columns);

  Items items;
  items.bytes.assign((kHeaderItems + total * kItemsPerVariable) * kItem, 0);
  const std::string& name = lib.problem_name;
  items.put_name(0, name.data(), name.size());
  items.put_ints(1, rows, columns);
  items.put_ints(2, 0, 0);
  items.bytes[2 * kItem + 4] = static_cast<unsigned char>(engine.status_character);
  items.bytes[2 * kItem + 5] = sense < 0 ? 2 : 1;
  items.bytes[2 * kItem + 6] = lib.global_search_set_up ? 1 : 0;
  items.put_ints(3, lib.attributes.int_attribute(attr::kIterations)[0],
                 lib.attributes.int_attribute(attr::kPrimalInfeasibilities)[0]);
  items.bytes[7 * kItem + 1] = 1;
  items.bytes[7 * kItem + 3] = 10;
  items.put_real(8, lib.attributes.double_attribute(attr::kObjectiveValue)[0]);
  items.put_real(9, lib.attributes.double_attribute(attr::kSumPrimalInfeasibilities)[0]);
  for (int item : {10, 11, 12, 22}) items.put_name(static_cast<std::size_t>(item), "        ", 8);
  for (auto [item, attribute] :
       {std::pair{11, attr::kRhsSetName}, std::pair{12, attr::kBoundSetName}, std::pair{22, attr::kRangeSetName}}) {
    const auto* field = lib.attributes.char_attribute(attribute);
    items.put_name(static_cast<std::size_t>(item), field->data(), field->size());
  }

  std::vector<char> name_buffer(static_cast<std::size_t>(problem.names.width()));
  for (std::size_t v = 0; v < total; ++v) {
    const std::size_t base = kHeaderItems + v * kItemsPerVariable;
    const auto vi = static_cast<std::int32_t>(v);
    problem.names.copy_name(vi, name_buffer.data());
    items.put_name(base, name_buffer.data(), name_buffer.size());
    const bool is_row = vi < rows;
    const std::int32_t j = vi - rows;
    std::uint32_t word = problem.status[v];
    const double x = engine.basis.x[v];
    if (x < problem.lower[v] - tol || x > problem.upper[v] + tol) word |= 0x40;
    const std::uint32_t packed = (word & 0xFFFFu) | (static_cast<std::uint32_t>(status::exponent(word)) << 16);
    const std::int32_t count_or_type = is_row ? problem.row_type[v]
                                              : problem.by_column.start[static_cast<std::size_t>(j) + 1] -
                                                    problem.by_column.start[static_cast<std::size_t>(j)];
    items.put_ints(base + 1, count_or_type, static_cast<std::int32_t>(packed));
    items.put_real(base + 2, to_user_value(problem, vi, x));
    items.put_real(base + 3, is_row ? 0.0 : to_user_cost(problem, j, problem.objective[static_cast<std::size_t>(j)]));
    if (is_row) {
      // A row's limits are those of its activity a.x = rhs - s.
      const double rhs = to_user_value(problem, vi, problem.rhs[v]);
      const double lo = to_user_value(problem, vi, problem.lower[v]);
      const double up = to_user_value(problem, vi, problem.upper[v]);
      items.put_real(base + 4, up >= kInfinity ? -kInfinity : rhs - up);
      items.put_real(base + 5, lo <= -kInfinity ? kInfinity : rhs - lo);
      items.put_real(base + 6, rhs);
    } else {
      items.put_real(base + 4, to_user_value(problem, vi, problem.lower[v]));
      items.put_real(base + 5, to_user_value(problem, vi, problem.upper[v]));
    }
    const double dual = is_row ? engine.pi[v] : engine.reduced_cost[v];
    items.put_real(base + 7,
                   sense * (is_row ? to_user_price(problem, vi, dual) : to_user_reduced_cost(problem, vi, dual)));
  }

  const std::string file = problem_file_name(lib, "sol");
  std::FILE* out = std::fopen(file.c_str(), "wb");
  bool ok = out != nullptr && std::fwrite(items.bytes.data(), 1, items.bytes.size(), out) == items.bytes.size();
  if (out != nullptr && std::fclose(out) != 0) ok = false;
  if (!ok) report_error(lib, kRcFileError, kMessageFileFailed);
  return ok;
}

bool read_solution_file(const Library& lib, SolutionRecord& record) {
  const std::string file = problem_file_name(lib, "sol");
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return false;
  std::fseek(in, 0, SEEK_END);
  const long size = std::ftell(in);
  std::rewind(in);
  unsigned char header[kHeaderItems * kItem];
  bool ok = size >= static_cast<long>(sizeof header) && std::fread(header, 1, sizeof header, in) == sizeof header;
  if (ok) {
    record.problem_name.assign(reinterpret_cast<const char*>(header), kItem);
    while (!record.problem_name.empty() && record.problem_name.back() == ' ') record.problem_name.pop_back();
    std::memcpy(&record.rows, header + kItem, 4);
    std::memcpy(&record.columns, header + kItem + 4, 4);
    record.status_character = static_cast<char>(header[2 * kItem + 4]);
    record.maximise = header[2 * kItem + 5] == 2;
    std::memcpy(&record.iterations, header + 3 * kItem, 4);
    std::memcpy(&record.objective, header + 8 * kItem, kItem);
    // The counts must agree with the file's length before anything is sized by them.
    const long long total = static_cast<long long>(record.rows) + record.columns;
    ok = record.rows >= 0 && record.columns >= 0 &&
         static_cast<long long>(size) >=
             static_cast<long long>(sizeof header) + total * kItemsPerVariable * static_cast<long long>(kItem);
  }
  if (ok) {
    const auto total = static_cast<std::size_t>(record.rows) + static_cast<std::size_t>(record.columns);
    for (auto* column : {&record.value, &record.cost, &record.lower, &record.upper, &record.rhs, &record.dual})
      column->resize(total);
    record.name.resize(total);
    record.type_or_count.resize(total);
    record.status.resize(total);
    unsigned char group[kItemsPerVariable * kItem];
    for (std::size_t v = 0; ok && v < total; ++v) {
      ok = std::fread(group, 1, sizeof group, in) == sizeof group;
      if (!ok) break;
      record.name[v].assign(reinterpret_cast<const char*>(group), kItem);
      std::uint32_t packed = 0;
      std::memcpy(&record.type_or_count[v], group + kItem, 4);
      std::memcpy(&packed, group + kItem + 4, 4);
      record.status[v] = packed & 0xFFFFu;
      std::memcpy(&record.value[v], group + 2 * kItem, kItem);
      std::memcpy(&record.cost[v], group + 3 * kItem, kItem);
      std::memcpy(&record.lower[v], group + 4 * kItem, kItem);
      std::memcpy(&record.upper[v], group + 5 * kItem, kItem);
      std::memcpy(&record.rhs[v], group + 6 * kItem, kItem);
      std::memcpy(&record.dual[v], group + 7 * kItem, kItem);
    }
  }
  std::fclose(in);
  return ok;
}

}  // namespace kqopt
