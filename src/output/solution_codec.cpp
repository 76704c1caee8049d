// Encoding and decoding the solution file's bytes; the layout is in solution_codec.h.
#include "output/solution_codec.h"

#include <algorithm>
#include <cstring>

namespace kqopt {

namespace {
constexpr std::size_t kHeaderItems = 32;
constexpr std::size_t kItemsPerVariable = 8;
constexpr std::size_t kItem = 8;

struct Items {
  std::vector<unsigned char> bytes;
  void put_name(std::size_t item, const std::string& text) {
    std::memset(&bytes[item * kItem], ' ', kItem);
    std::memcpy(&bytes[item * kItem], text.data(), std::min(text.size(), kItem));
  }
  void put_ints(std::size_t item, std::int32_t a, std::int32_t b) {
    std::memcpy(&bytes[item * kItem], &a, 4);
    std::memcpy(&bytes[item * kItem + 4], &b, 4);
  }
  void put_real(std::size_t item, double v) { std::memcpy(&bytes[item * kItem], &v, kItem); }
};

}  // namespace

std::vector<unsigned char> encode_solution(const SolutionRecord& r) {
  const std::size_t total = static_cast<std::size_t>(r.rows) + static_cast<std::size_t>(r.columns);
  Items items;
  items.bytes.assign((kHeaderItems + total * kItemsPerVariable) * kItem, 0);
  items.put_name(0, r.problem_name);
  items.put_ints(1, r.rows, r.columns);
  std::memcpy(&items.bytes[2 * kItem], &r.objective_row, 4);
  items.bytes[2 * kItem + 4] = static_cast<unsigned char>(r.status_character);
  items.bytes[2 * kItem + 5] = r.maximise ? 2 : 1;
  items.bytes[2 * kItem + 6] = r.global ? 1 : 0;
  items.put_ints(3, r.iterations, r.primal_infeasibilities);
  items.bytes[7 * kItem + 1] = 1;
  items.bytes[7 * kItem + 3] = 10;
  items.put_real(8, r.objective);
  items.put_real(9, r.sum_infeasibilities);
  items.put_name(10, r.objective_name);
  items.put_name(11, r.rhs_set);
  items.put_name(12, r.bound_set);
  items.put_name(22, r.range_set);
  for (std::size_t v = 0; v < total; ++v) {
    const std::size_t base = kHeaderItems + v * kItemsPerVariable;
    items.put_name(base, r.name[v]);
    items.put_ints(base + 1, r.type_or_count[v], static_cast<std::int32_t>(r.status[v]));
    items.put_real(base + 2, r.value[v]);
    items.put_real(base + 3, r.cost[v]);
    items.put_real(base + 4, r.lower[v]);
    items.put_real(base + 5, r.upper[v]);
    items.put_real(base + 6, r.rhs[v]);
    items.put_real(base + 7, r.dual[v]);
  }
  return std::move(items.bytes);
}

bool decode_solution(std::span<const unsigned char> bytes, SolutionRecord& r) {
  if (bytes.size() < kHeaderItems * kItem) return false;
  const unsigned char* header = bytes.data();
  r.problem_name.assign(reinterpret_cast<const char*>(header), kItem);
  while (!r.problem_name.empty() && r.problem_name.back() == ' ') r.problem_name.pop_back();
  std::memcpy(&r.rows, header + kItem, 4);
  std::memcpy(&r.columns, header + kItem + 4, 4);
  std::memcpy(&r.objective_row, header + 2 * kItem, 4);
  r.status_character = static_cast<char>(header[2 * kItem + 4]);
  r.maximise = header[2 * kItem + 5] == 2;
  r.global = header[2 * kItem + 6] == 1;
  std::memcpy(&r.iterations, header + 3 * kItem, 4);
  std::memcpy(&r.primal_infeasibilities, header + 3 * kItem + 4, 4);
  std::memcpy(&r.objective, header + 8 * kItem, kItem);
  std::memcpy(&r.sum_infeasibilities, header + 9 * kItem, kItem);
  r.objective_name.assign(reinterpret_cast<const char*>(header + 10 * kItem), kItem);
  r.rhs_set.assign(reinterpret_cast<const char*>(header + 11 * kItem), kItem);
  // The counts must agree with the length before anything is sized by them.
  if (r.rows < 0 || r.columns < 0) return false;
  const std::size_t total = static_cast<std::size_t>(r.rows) + static_cast<std::size_t>(r.columns);
  if ((bytes.size() - kHeaderItems * kItem) / (kItemsPerVariable * kItem) < total) return false;
  for (auto* column : {&r.value, &r.cost, &r.lower, &r.upper, &r.rhs, &r.dual}) column->resize(total);
  r.name.resize(total);
  r.type_or_count.resize(total);
  r.status.resize(total);
  r.scale_exponent.resize(total);
  for (std::size_t v = 0; v < total; ++v) {
    const unsigned char* group = header + (kHeaderItems + v * kItemsPerVariable) * kItem;
    r.name[v].assign(reinterpret_cast<const char*>(group), kItem);
    std::uint32_t packed = 0;
    std::memcpy(&r.type_or_count[v], group + kItem, 4);
    std::memcpy(&packed, group + kItem + 4, 4);
    r.status[v] = packed & 0xFFFFu;
    r.scale_exponent[v] = (packed >> 16) == 0 ? 64 : static_cast<std::int32_t>(packed >> 16);
    std::memcpy(&r.value[v], group + 2 * kItem, kItem);
    std::memcpy(&r.cost[v], group + 3 * kItem, kItem);
    std::memcpy(&r.lower[v], group + 4 * kItem, kItem);
    std::memcpy(&r.upper[v], group + 5 * kItem, kItem);
    std::memcpy(&r.rhs[v], group + 6 * kItem, kItem);
    std::memcpy(&r.dual[v], group + 7 * kItem, kItem);
  }
  return true;
}

}  // namespace kqopt
