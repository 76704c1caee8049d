// The crash's driver-level side: settings from the controls, the report, and the
// CRASH command (crash_step.h).
#include "simplex/driver/crash_step.h"

#include "frame/message_numbers.h"
#include "library/library.h"
#include "problem/matrix.h"
#include "problem/scale_exponents.h"
#include "simplex/core/engine_state.h"
#include "simplex/prep/crash.h"

namespace kqopt {

namespace {

CrashSettings settings_from(Library& lib, const Problem& p) {
  const Controls& c = lib.controls;
  CrashSettings s;
  s.icrash = c.i(icv::ICRASH);
  s.pcrash = c.d(dcv::PCRASH);
  s.ztcr = c.d(dcv::ZTCR);
  s.ztolri = c.d(dcv::ZTOLRI);
  s.ztolze = c.d(dcv::ZTOLZE);
  s.ztolpv = c.d(dcv::ZTOLPV);
  s.penalty = scaled_penalty(p, c.d(dcv::PENLTY));
  s.big_m = phase_one_weight(p, c.d(dcv::BIGM));
  s.ssv009 = c.i(icv::SSV009);
  const double sense = *lib.attributes.double_attribute(attr::kSenseMultiplier);
  s.sense = sense == 0.0 ? 1.0 : sense;
  return s;
}

void print_report(Library& lib, const CrashReport& report) {
  const bool detail = lib.controls.i(icv::IFMSG) != 0;
  if (detail && report.screened) {
    print_message(lib, kMessageScreening);
    put_integer(lib, report.rejected_elements, 9);
    put_integer(lib, report.excluded_columns, 9);
    flush_line(lib);
  }
  if (detail && report.cover_pass) {
    print_message(lib, kMessageCoverPass);
    put_integer(lib, report.freed_columns, 9);
    put_integer(lib, report.structurals_after_cover, 9);
    put_integer(lib, report.two_element_columns, 9);
    flush_line(lib);
  }
  for (const CrashPass& pass : detail ? report.passes : std::vector<CrashPass>{}) {
    print_message(lib, kMessageTriangularPass);
    put_integer(lib, pass.pass, 6);
    put_integer(lib, pass.basic, 9);
    put_integer(lib, pass.structurals, 9);
    put_integer(lib, pass.next_threshold, 9);
    put_integer(lib, pass.deferred, 9);
    flush_line(lib);
  }
  if (report.ran) {
    print_message(lib, kMessageCrashDone);
    put_integer(lib, report.structurals, 9);
    flush_line(lib);
  }
}

}  // namespace

void run_crash(Library& lib, Problem& p) {
  const CrashReport report = crash_basis(p, settings_from(lib, p));
  print_report(lib, report);
  lib.controls.i(icv::IFNBAS) = 1;
}

std::int32_t crash_problem(Library& lib) {
  lib.begin_operation();
  if (!lib.has_problem()) {
    report_error(lib, kRcInvalidCall, kMessageNoProblem);
  } else if (lib.global_search_active || (lib.engine && lib.engine->running)) {
    report_error(lib, kRcInvalidCall, kMessageNotWhilePresolvedOrSearching);
  } else if (ensure_column_copy(lib, *lib.problem)) {
    run_crash(lib, *lib.problem);
  }
  flush_notice(lib);
  return lib.err.return_code;
}

}  // namespace kqopt
