// Fatal-error reports of the interior-point library (see fatal_error.h).
#include "barrier/kit/fatal_error.h"

#include <cstdarg>
#include <new>

namespace kqopt::barrier {
namespace {

void append(std::string& s, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  s += buffer;
}

void field(std::string& s, const char* label, const char* value) { append(s, "\n%-*s : %-s", 15, label, value); }

const char* kRecordNotice = "\nPlease record the messeges and contact your software supplier.";

}  // namespace

void fatal_error(const char* module, const char* proc, const char* message) {
  std::string s = "\n*** ORBI fatal error.";
  append(s, "\nModul: %-s", module);
  append(s, "\nProc.: %-s", proc);
  append(s, "\nMes. : %-s", message);
  s += "\nContact your software supplier.";
  s += "\n";
  throw BarrierFatal(std::move(s), 1);
}

void fatal_argument(const char* module, const char* proc, unsigned arg_num, long long arg_value,
                    const std::string& prefix) {
  std::string s = prefix + "\n*** ORBI fatal argument error.";
  append(s, "\nModul     : %-s", module);
  append(s, "\nProc.     : %-s", proc);
  append(s, "\nArg. num. : %-u", arg_num);
  append(s, "\nArg. val. : %-lld", arg_value);
  throw BarrierFatal(std::move(s), 0);
}

void fatal_kind(const char* module, const char* proc, FatalKind kind) {
  std::string s = "\n*** ORBI fatal error.";
  append(s, "\nModul: %-s", module);
  append(s, "\nProc.: %-s", proc);
  s += "\nType : ";
  s += kind == FatalKind::kIndex ? "Index error." : kind == FatalKind::kSpace ? "Space error." : "Unknown.";
  throw BarrierFatal(std::move(s), 0);
}

void fatal_argument_fields(const char* module, const char* proc, unsigned arg_num) {
  std::string s = "\n*** ORBI fatal error.";
  field(s, "Modul", module);
  field(s, "Proc.", proc);
  field(s, "Error type", "Argument");
  char number[32];
  std::snprintf(number, sizeof number, "%-u", arg_num);
  field(s, "Arg. num.", number);
  s += kRecordNotice;
  throw BarrierFatal(std::move(s), 0);
}

void fatal_work_space(const char* module, const char* proc, bool integer_area, long long supply, long long demand) {
  std::string s = "\n*** ORBI fatal error.";
  field(s, "Modul", module);
  field(s, "Proc.", proc);
  field(s, "Error type", "Work space");
  field(s, "Mes.", integer_area ? "Out of integer workspace" : "Out of real workspace");
  char number[32];
  std::snprintf(number, sizeof number, "%lld", supply);
  field(s, "Supply", number);
  std::snprintf(number, sizeof number, "%lld", demand);
  field(s, "Demand", number);
  s += kRecordNotice;
  throw BarrierFatal(std::move(s), 0);
}

void fatal_blas(const char* kernel, unsigned arg_num) {
  std::string s = "\nBLAS error.";
  append(s, "\nProc.     : %-s", kernel);
  append(s, "\nArgument  : %-d", static_cast<int>(arg_num));
  throw BarrierFatal(std::move(s), 1);
}

}  // namespace kqopt::barrier
