// libFuzzer target for the MPS reader: reads the input as an MPS file through the same
// path as KQINPUT and checks the loaded problem's invariants.
//
// The first byte chooses the settings (bit 0 free layout, bit 1 NAMLEN 16, bit 2 LENDBL
// 15, bits 3-4 IFNRW 1/0/-1, bit 5 spare rows and columns, bit 6 small capacities,
// bit 7 IGNORE 1000); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "input/input_problem.h"
#include "library/library.h"
#include "library/lifecycle.h"
#include "problem/problem.h"

namespace {

kqopt::Library& fuzz_library() {
  static kqopt::Library* lib = [] {
    auto* l = new kqopt::Library();
    const char* dir = std::getenv("KQOPT_MSG_DIR");
    if (kqopt::initialise(*l, dir ? dir : KQOPT_MSG_DIR, 0) != 0) std::abort();
    return l;
  }();
  return *lib;
}

void check(bool condition) {
  if (!condition) __builtin_trap();
}

// What every loaded problem must satisfy, whatever the file held.
void check_problem(const kqopt::Problem& p) {
  using kqopt::kInfinity;
  check(p.rows >= 0 && p.columns >= 0 && p.spare_rows >= 0);
  const auto variables = static_cast<std::size_t>(p.variables());
  check(p.status.size() == variables && p.lower.size() == variables && p.upper.size() == variables);
  check(p.row_type.size() == static_cast<std::size_t>(p.row_slots()));
  check(p.rhs.size() == static_cast<std::size_t>(p.row_slots()));
  check(p.objective.size() == static_cast<std::size_t>(p.columns));
  const kqopt::ColumnMatrix& a = p.by_column;
  check(a.start.size() == static_cast<std::size_t>(p.columns) + 1 && a.start.front() == 0);
  for (std::size_t j = 0; j + 1 < a.start.size(); ++j) check(a.start[j] <= a.start[j + 1]);
  check(a.row.size() == static_cast<std::size_t>(a.start.back()) && a.value.size() == a.row.size());
  for (std::int32_t r : a.row) check(r >= 0 && r < p.rows);
  for (std::size_t v = 0; v < variables; ++v) {
    check(p.lower[v] >= -kInfinity && p.upper[v] <= kInfinity);
  }
  for (const kqopt::GlobalEntity& e : p.entities) {
    if (e.is_set()) {
      check(e.reference >= 0 && e.reference < p.sets.count());
    } else {
      check(e.reference >= 0 && e.reference < p.columns);
    }
  }
  for (const kqopt::SetMember& m : p.sets.members) check(m.column >= 0 && m.column < p.columns);
  for (std::int32_t r : p.sets.reference_row) check(r >= -1 && r < p.rows);
  for (const kqopt::DeferredPair& d : p.deferred_pairs) {
    check(d.first_column >= 0 && d.first_column < p.columns && d.second_column >= 0 && d.second_column < p.columns);
  }
  for (const kqopt::RecursionRecord& rec : p.recursion_records) {
    check(rec.row >= -1 && rec.row < p.rows);
    check(rec.columns[0] >= -1 && rec.columns[0] < p.columns);
    for (std::size_t k = 1; k < 3; ++k) check(rec.columns[k] >= -1 && rec.columns[k] < p.variables());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  kqopt::Library& lib = fuzz_library();
  kqopt::Controls& c = lib.controls;
  const kqopt::Controls defaults = c;
  const std::uint8_t options = data[0];
  c.i(kqopt::icv::PRNLVL) = 1;
  c.i(kqopt::icv::FREFMT) = options & 1;
  if (options & 2) c.i(kqopt::icv::NAMLEN) = 16;
  if (options & 4) c.i(kqopt::icv::LENDBL) = 15;
  const int ifnrw[4] = {1, 0, -1, 1};
  c.i(kqopt::icv::IFNRW) = ifnrw[(options >> 3) & 3];
  if (options & 32) {
    c.i(kqopt::icv::NRXTRA) = 2;
    c.i(kqopt::icv::NCXTRA) = 3;
  }
  if (options & 64) {
    c.i(kqopt::icv::M_R) = 20;
    c.i(kqopt::icv::M_C) = 25;
    c.i(kqopt::icv::M_M) = 60;
    c.i(kqopt::icv::NGEMAX) = 6;
  }
  if (options & 128) c.i(kqopt::icv::IGNORE) = 1000;
  c.i(kqopt::icv::NRCRMX) = 20;

  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::int32_t rc = kqopt::input::input_mps_text(lib, text);
  check(rc == 0 || rc == 16 || rc == 32);
  check(rc != 0 || lib.has_problem());
  if (lib.problem) check_problem(*lib.problem);

  // The capacities are what they were; the next input starts from the defaults.
  check(c.i(kqopt::icv::M_R) == (options & 64 ? 20 : defaults.i(kqopt::icv::M_R)));
  c = defaults;
  return 0;
}
