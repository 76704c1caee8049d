// Field cutting for the MPS layouts.
#include "input/mps_fields.h"

#include <algorithm>
#include <cstring>

namespace kqopt::input {

FieldSpans spans_for(LineKind kind, MpsLayout layout, int name_width, int number_width) {
  FieldSpans s;
  const int extra = name_width - 8;  // 8·(k − 1)
  s.field[1] = {1, 2};
  if (layout == MpsLayout::kFixed) {
    s.field[2] = {4, 8};
    s.field[3] = {14, 8};
    s.field[4] = {24, number_width};
    s.field[5] = {39, 8};
    s.field[6] = {49, number_width};
    if (s.field[6].start + s.field[6].width > 61) s.field[6].width = 61 - s.field[6].start;
    s.second_entry_length = kind == LineKind::kSetsLine ? 40 : 50;
    if (kind == LineKind::kRows) {
      for (int i = 3; i <= 6; ++i) s.field[static_cast<std::size_t>(i)] = {0, 0};
      s.second_entry_length = 0;
    }
    return s;
  }
  switch (kind) {
    case LineKind::kRows:
      s.field[2] = {4, name_width};
      break;
    case LineKind::kColumnLine:
      s.field[2] = {4, name_width};
      s.field[3] = {14 + extra, name_width};
      s.field[4] = {24 + 2 * extra, number_width};
      s.field[5] = {39 + 2 * extra, name_width};
      s.field[6] = {s.field[5].start + name_width + 2, name_width};
      break;
    case LineKind::kSetLine:
    case LineKind::kSetsLine:
      s.field[2] = {4, 8};
      s.field[3] = {14, name_width};
      s.field[4] = {24 + extra, number_width};
      s.field[5] = {39 + extra, number_width};
      s.field[6] = {0, 0};
      break;
  }
  s.second_entry_length = 0;
  return s;
}

void cut_fixed_fields(std::string_view line, const FieldSpans& spans, LineFields& out) {
  const auto length = static_cast<int>(line.size());
  for (int i = 1; i <= 6; ++i) {
    const FieldSpan& f = spans.field[static_cast<std::size_t>(i)];
    if (f.width <= 0 || f.start >= length) {
      out.field[static_cast<std::size_t>(i)] = {};
      continue;
    }
    int width = f.start + f.width > length ? length - f.start : f.width;
    out.field[static_cast<std::size_t>(i)] =
        line.substr(static_cast<std::size_t>(f.start), static_cast<std::size_t>(width));
  }
  out.tokens = 0;
}

void split_free_fields(std::string_view line, int first_field, LineFields& out) {
  for (auto& f : out.field) f = {};
  out.tokens = 0;
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == n) break;
    std::size_t start = i;
    while (i < n && line[i] != ' ' && line[i] != '\t') ++i;
    int index = first_field + out.tokens;
    if (index <= 6) out.field[static_cast<std::size_t>(index)] = line.substr(start, i - start);
    ++out.tokens;
  }
}

bool gaps_blank(std::string_view line, const FieldSpans& spans, int until) {
  const int end = std::min(static_cast<int>(line.size()), until);
  auto blank = [&](int from, int to) {
    for (int p = from; p < to && p < end; ++p) {
      if (line[static_cast<std::size_t>(p)] != ' ') return false;
    }
    return true;
  };
  // The fields of the fixed layout are in order and do not overlap.
  int p = 1;
  for (int i = 1; i <= 6; ++i) {
    const FieldSpan& f = spans.field[static_cast<std::size_t>(i)];
    if (f.width <= 0) continue;
    if (!blank(p, f.start)) return false;
    p = std::max(p, f.start + f.width);
  }
  return blank(p, end);
}

bool pad_name(std::string_view text, int width, char* out) {
  text = trim_right(text);
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) {
    std::memcpy(out, text.data(), w);
    return false;
  }
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  std::memset(out + text.size(), ' ', w - text.size());
  return true;
}

bool is_blank(std::string_view text) {
  for (char c : text) {
    if (c != ' ') return false;
  }
  return true;
}

std::string_view trim_right(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return text.substr(0, n);
}

}  // namespace kqopt::input
