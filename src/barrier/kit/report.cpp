// Report helpers (see report.h).
#include "barrier/kit/report.h"

#include <string>

namespace kqopt::barrier::report {

void begin_section(std::FILE* out, const char* name) { std::fprintf(out, "\n--- BEGIN %s", name); }

void end_section(std::FILE* out, const char* name, Hundredths elapsed) {
  std::fprintf(out, "\n--- END %s", name);
  if (elapsed >= 0) std::fprintf(out, " [%s]", format_time(elapsed).c_str());
}

void name_int(std::FILE* out, int name_width, const char* name, int value_width, long long value) {
  std::fprintf(out, "%*s: %*lld", name_width, name, value_width, value);
}

void text_int(std::FILE* out, const char* text, int value_width, long long value) {
  std::fprintf(out, "%s%*lld", text, value_width, value);
}

void name_real(std::FILE* out, int name_width, const char* name, int value_width, int decimals, double value) {
  std::fprintf(out, "%*s: %*.*f", name_width, name, value_width, decimals, value);
}

void new_line(std::FILE* out) { std::fputs("\n", out); }
void heading(std::FILE* out, int width, const char* text) { std::fprintf(out, "\n%*s", width, text); }
void line(std::FILE* out, const char* text) { std::fprintf(out, "\n%s", text); }

void name_text(std::FILE* out, int name_width, const char* name, int text_width, const char* text) {
  std::fprintf(out, "%*s: %*s", name_width, name, text_width, text);
}

void text_text(std::FILE* out, const char* text, int width, const char* value) {
  std::fprintf(out, "%s: %*s", text, width, value);
}

void name_time(std::FILE* out, int name_width, const char* name, int text_width, Hundredths t) {
  name_text(out, name_width, name, text_width, format_time(t).c_str());
}

void field(std::FILE* out, const char* label, const char* value) {
  std::fprintf(out, "\n%-*s : %-s", 15, label, value);
}

}  // namespace kqopt::barrier::report
