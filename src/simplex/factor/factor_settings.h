// Settings that steer the basis factorisation, and the reports and statuses
// its operations return. The caller fills FactorSettings from the control
// table; the kernels never print: the driver prints the messages named below
// from the report fields.
#pragma once

#include <cstdint>
#include <vector>

namespace kqopt {

struct FactorSettings {
  std::int32_t invfrq = -1;  // INVFRQ: > 0 refactorise every INVFRQ updates; <= 0 by the fill rule
  std::int32_t invmin = 6;   // INVMIN: updates before codes 2 and 4 may stop an update
  std::int32_t ifftup = 1;   // IFFTUP: 1 Forrest-Tomlin updates, 0 product-form column etas
  std::int32_t ifmsg = 0;    // IFMSG: diagnostic level (>= 10: dumps 8, 103-105 at INVERT)
  double ztolri = 0.01;      // ZTOLRI: relative pivot threshold u at the start of a run
  double zteta = 1.0e-13;    // ZTETA: drop tolerance for fill, updates and the work vector
  double ztolft = 1.0e-7;    // ZTOLFT: Forrest-Tomlin consistency tolerance
  double ztolmx = 2.6e7;     // ZTOLMX: Forrest-Tomlin growth limit
  // Free workspace in bytes available to INVERT (work arrays and factor file).
  std::int64_t workspace_bytes = std::int64_t{64} << 20;
};

// Outcome of INVERT. Maps to return codes in the driver.
enum class [[nodiscard]] FactorStatus{
    ok,
    workspace_exhausted,  // message 20 with workspace_needed; return code 4
    factor_file_full,     // message 102, dump 103-105; return code 32
    internal_error,       // message 102, dump 103-105; return code 32 (also an inconsistent basis view)
};

// Outcome of UPDATE; the values are the update codes the simplex loops test.
enum class [[nodiscard]] UpdateStatus : std::int32_t{
    done = 0,
    factor_file_full = 1,  // refactorise (message 19 when no update since INVERT)
    growth_failed = 2,     // refactorise
    inconsistent = 4,      // refactorise
};

// Layout counters printed by messages 103 (first three), 104 (next four) and
// 105 (file size; also message 8 when IFMSG >= 10).
struct FactorDump {
  std::int32_t logicals_pivoted = 0;  // 103: logicals pivoted at once
  std::int32_t column_etas = 0;       // 103: column etas of L
  std::int32_t update_etas = 0;       // 103: update etas (row etas or product-form etas)
  std::int64_t front_length = 0;      // 104: front part in use
  std::int64_t row_file_length = 0;   // 104: entries of the row-wise U
  std::int64_t factor_entries = 0;    // 104: entries of the factorisation
  std::int64_t back_length = 0;       // 104: back part in use
  std::int64_t file_size = 0;         // 105 and 8: L
};

struct InvertReport {
  // Message 140: the basis header was repaired (printed once when either is nonzero).
  std::int32_t surplus_made_nonbasic = 0;
  std::int32_t logicals_made_basic = 0;
  // Message 101: one entry per singular pass, the number of columns replaced.
  std::vector<std::int32_t> columns_replaced;
  // Message 20: bytes the work arrays needed when status is workspace_exhausted.
  std::int64_t workspace_needed = 0;
  // Control NCMPR: add this many compactions.
  std::int32_t compactions = 0;
  // Accuracy check (no message): residual measure, doubtful mark, retry made.
  double residual_measure = 0.0;
  bool doubtful = false;
  bool retried_with_larger_threshold = false;
  // Element growth of the elimination: the largest |entry| of the active submatrix as
  // loaded, and the largest |entry| any elimination step left in it. The driver's
  // growth guard compares the two (message 144 when it refactorises).
  double largest_active_entry = 0.0;
  double largest_created_entry = 0.0;
  double element_growth() const {
    return largest_active_entry > 0.0 ? largest_created_entry / largest_active_entry : 0.0;
  }
  bool growth_refactorised = false;
  double growth_seen = 0.0;      // the growth that made the driver refactorise
  double pivot_threshold = 0.0;  // u of the factorisation the driver kept
  // Messages 103-105: at entry and exit (IFMSG >= 10), exit also at failure (102).
  FactorDump dump_at_entry;
  FactorDump dump_at_exit;
  // Statistics of the last factorisation (diagnostics only).
  std::int32_t row_singletons = 0;
  std::int32_t column_singletons = 0;
  std::int32_t nucleus_pivots = 0;
  std::int32_t dropped_entries = 0;
  std::int64_t basis_entries = 0;   // nonzeros of B, logicals included
  std::int64_t factor_entries = 0;  // entries of L and U, diagonal included
};

struct UpdateReport {
  std::int32_t updates_since_invert = 0;  // before this update (message 19 when 0 and code 1)
  // Message 148 (IFMSG > 6): alpha and 1000 * (alpha - delta).
  bool inconsistent = false;
  double alpha = 0.0;
  double delta = 0.0;  // new diagonal relative to the old one; equals alpha in exact arithmetic
  // Message 149 (IFMSG != 0): g_r * g_s / (ZTOLMX * |delta|), or 1e30 when |delta| < ZTETA.
  bool growth_failed = false;
  double growth_ratio = 0.0;
  double row_eta_max = 0.0;  // g_r: largest multiplier of the row eta
  double spike_max = 0.0;    // g_s: largest entry of the spike
  // Control NCMPR: add this many compactions.
  std::int32_t compactions = 0;
};

}  // namespace kqopt
