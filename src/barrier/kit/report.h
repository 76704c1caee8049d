// Report helpers of the interior-point library: the fixed layouts of its section
// headers and name/value lines. Widths are the caller's; negative aligns left.
#pragma once

#include <cstdio>

#include "barrier/kit/clock.h"

namespace kqopt::barrier::report {

void begin_section(std::FILE* out, const char* name);
// elapsed < 0: no time shown.
void end_section(std::FILE* out, const char* name, Hundredths elapsed = -1);
void name_int(std::FILE* out, int name_width, const char* name, int value_width, long long value);
void text_int(std::FILE* out, const char* text, int value_width, long long value);
void name_real(std::FILE* out, int name_width, const char* name, int value_width, int decimals, double value);
void new_line(std::FILE* out);
void heading(std::FILE* out, int width, const char* text);
void line(std::FILE* out, const char* text);
void name_text(std::FILE* out, int name_width, const char* name, int text_width, const char* text);
void text_text(std::FILE* out, const char* text, int width, const char* value);
void name_time(std::FILE* out, int name_width, const char* name, int text_width, Hundredths t);
void field(std::FILE* out, const char* label, const char* value);

}  // namespace kqopt::barrier::report
