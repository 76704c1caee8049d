// Fatal errors of the interior-point library: the reports of broken invariants and bad
// arguments. A reporter composes its fixed report and unwinds to the top of the
// barrier (guard_barrier), which prints the report and turns it into return code 32;
// the host process and the library state survive.
#pragma once

#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

namespace kqopt::barrier {

class BarrierFatal : public std::exception {
 public:
  BarrierFatal(std::string report, int exit_status) : report_(std::move(report)), exit_status_(exit_status) {}
  const char* what() const noexcept override { return report_.c_str(); }
  const std::string& report() const { return report_; }
  // The status the report carries (1 for internal checks, 0 for argument errors).
  int exit_status() const { return exit_status_; }

 private:
  std::string report_;
  int exit_status_;
};

enum class FatalKind { kIndex = 0, kSpace = 1, kUnknown = 2 };

// "\n*** ORBI fatal error." with module, procedure and message; status 1.
[[noreturn]] void fatal_error(const char* module, const char* proc, const char* message);
// "\n*** ORBI fatal argument error." with the argument's number and value; status 0.
// prefix (optional) is printed before the report, as the sparse matrix's "\nrow=%d".
[[noreturn]] void fatal_argument(const char* module, const char* proc, unsigned arg_num, long long arg_value,
                                 const std::string& prefix = {});
// The kind form: "Index error.", "Space error." or "Unknown."; status 0.
[[noreturn]] void fatal_kind(const char* module, const char* proc, FatalKind kind);
// The labelled-field argument error; status 0.
[[noreturn]] void fatal_argument_fields(const char* module, const char* proc, unsigned arg_num);
// A caller's work area smaller than the demand; status 0.
[[noreturn]] void fatal_work_space(const char* module, const char* proc, bool integer_area, long long supply,
                                   long long demand);
// A bad argument of a dense kernel: "\nBLAS error." with the kernel and argument number.
[[noreturn]] void fatal_blas(const char* kernel, unsigned arg_num);

// Barrier return codes of a guarded run.
inline constexpr std::int32_t kBarrierFatalCode = 32;

// Runs body (returning an int32 code). A fatal report is printed to out and gives 32;
// lack of memory gives out_of_memory_code. Nothing else is caught: everything the body
// raises is a fatal report or an allocation failure.
template <typename Body>
std::int32_t guard_barrier(std::FILE* out, std::int32_t out_of_memory_code, Body&& body) {
  try {
    return body();
  } catch (const BarrierFatal& e) {
    if (out != nullptr) {
      std::fputs(e.report().c_str(), out);
      std::fflush(out);
    }
    return kBarrierFatalCode;
  } catch (const std::bad_alloc&) {
    return out_of_memory_code;
  }
}

}  // namespace kqopt::barrier
