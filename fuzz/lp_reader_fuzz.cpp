// libFuzzer target for the LP-text reader: reads the input as an `lp` file through the
// same path as KQINPUT and checks the loaded problem's invariants.
//
// The first byte chooses the settings (bit 0 NAMLEN 16, bit 1 IGNORE 1000, bit 2 a
// workspace of 256 KiB so that the work area runs out, bit 3 spare rows); the rest is
// the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "input/input_problem.h"
#include "library/library.h"
#include "library/lifecycle.h"
#include "problem/load.h"
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

void check_problem(const kqopt::Problem& p) {
  using kqopt::kInfinity;
  check(p.rows >= 0 && p.columns >= 0 && p.spare_rows >= 0);
  const auto variables = static_cast<std::size_t>(p.variables());
  check(p.status.size() == variables && p.lower.size() == variables && p.upper.size() == variables);
  check(p.row_type.size() == static_cast<std::size_t>(p.row_slots()));
  check(p.objective.size() == static_cast<std::size_t>(p.columns));
  const kqopt::ColumnMatrix& a = p.by_column;
  check(a.start.size() == static_cast<std::size_t>(p.columns) + 1 && a.start.front() == 0);
  for (std::size_t j = 0; j + 1 < a.start.size(); ++j) {
    check(a.start[j] <= a.start[j + 1]);
    // One element per row and column, none of them zero.
    for (std::int32_t e = a.start[j]; e + 1 < a.start[j + 1]; ++e) {
      check(a.row[static_cast<std::size_t>(e)] < a.row[static_cast<std::size_t>(e) + 1]);
    }
  }
  check(a.row.size() == static_cast<std::size_t>(a.start.back()) && a.value.size() == a.row.size());
  for (std::int32_t r : a.row) check(r >= 0 && r < p.rows);
  for (double v : a.value) check(v != 0.0);
  for (std::size_t v = 0; v < variables; ++v) check(p.lower[v] >= -kInfinity && p.upper[v] <= kInfinity);
  for (const kqopt::GlobalEntity& e : p.entities) check(!e.is_set() && e.reference >= 0 && e.reference < p.columns);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  kqopt::Library& lib = fuzz_library();
  kqopt::Controls& c = lib.controls;
  const kqopt::Controls defaults = c;
  const std::int64_t workspace = lib.workspace.size();
  const std::uint8_t options = data[0];
  if (options & 1) c.i(kqopt::icv::NAMLEN) = 16;
  if (options & 2) c.i(kqopt::icv::IGNORE) = 1000;
  if (options & 4) lib.workspace.reset(256 * 1024);
  if (options & 8) c.i(kqopt::icv::NRXTRA) = 2;

  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::int32_t rc = kqopt::input::input_lp_text(lib, text);
  check(rc == 0 || rc == 32);
  check(rc != 0 || lib.has_problem());
  if (lib.problem) check_problem(*lib.problem);

  kqopt::discard_problem(lib);
  if (options & 4) lib.workspace.reset(workspace);
  c = defaults;
  return 0;
}
