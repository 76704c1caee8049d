// Formatting and parsing the two basis file layouts.
#include "output/basis_codec.h"

#include <charconv>
#include <cstdio>
#include <unordered_map>

#include "frame/message_numbers.h"

namespace kqopt {

namespace {

constexpr std::int32_t kLower = 0;
constexpr std::int32_t kBasic = 1;
constexpr std::int32_t kUpper = 2;
constexpr int kCompactLineLength = 80;
constexpr std::int64_t kCompactCountLimit = 999999;

bool is_equality(const BasisLayout& layout, std::size_t i) {
  return (layout.row_bounds[i] & basis_row::kEquality) != 0;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// Fixed layout field: up to `width` characters from `start`, trailing blanks removed.
std::string_view fixed_field(std::string_view line, std::size_t start, std::size_t width) {
  if (start >= line.size()) return {};
  std::string_view f = line.substr(start, width);
  while (!f.empty() && (f.back() == ' ' || f.back() == '\r')) f.remove_suffix(1);
  return f;
}

// Wide fixed layout: a name runs until two blanks (or the end of the line).
std::string_view wide_field(std::string_view line, std::size_t& start) {
  if (start >= line.size()) return {};
  std::size_t end = line.find("  ", start);
  if (end == std::string_view::npos) end = line.size();
  std::string_view f = line.substr(start, end - start);
  start = end;
  while (start < line.size() && line[start] == ' ') ++start;
  while (!f.empty() && f.back() == '\r') f.remove_suffix(1);
  return f;
}

struct Fields {
  std::string_view code, first, second;
};

Fields split_line(std::string_view line, bool free_format, bool wide) {
  Fields f;
  if (free_format) {
    std::string_view* out[] = {&f.code, &f.first, &f.second};
    std::size_t k = 0;
    std::size_t p = 0;
    while (k < 3) {
      while (p < line.size() && (line[p] == ' ' || line[p] == '\t' || line[p] == '\r')) ++p;
      if (p >= line.size()) break;
      const std::size_t b = p;
      while (p < line.size() && line[p] != ' ' && line[p] != '\t' && line[p] != '\r') ++p;
      *out[k++] = line.substr(b, p - b);
    }
    return f;
  }
  f.code = trim(line.substr(0, std::min<std::size_t>(4, line.size())));
  if (!wide) {
    f.first = fixed_field(line, 4, 8);
    f.second = fixed_field(line, 14, 8);
    return f;
  }
  std::size_t p = 4;
  f.first = wide_field(line, p);
  f.second = wide_field(line, p);
  return f;
}

using NameIndex = std::unordered_map<std::string_view, std::int32_t>;

NameIndex index_names(const std::vector<std::string>& names) {
  NameIndex index;
  index.reserve(names.size());
  for (std::size_t k = 0; k < names.size(); ++k) index.emplace(names[k], static_cast<std::int32_t>(k));
  return index;
}

// The finite bound a refused row status falls back to (lower when both or neither are).
std::int32_t default_row_code(std::uint8_t bounds) {
  return (bounds & basis_row::kUpperFinite) && !(bounds & basis_row::kLowerFinite) ? kUpper : kLower;
}

}  // namespace

std::string format_mps_basis(const BasisLayout& layout, std::span<const std::int32_t> rows,
                             std::span<const std::int32_t> columns, bool name_line, bool swap_equality) {
  std::string text;
  if (name_line) {
    text += "NAME          ";
    text += layout.problem_name;
    text += '\n';
  }
  for (std::size_t j = 0; j < columns.size(); ++j) {
    if (columns[j] == kUpper) text += " UL " + layout.column_names[j] + '\n';
  }
  std::size_t i = 0;
  for (std::size_t j = 0; j < columns.size(); ++j) {
    if (columns[j] != kBasic) continue;
    while (i < rows.size() && rows[i] == kBasic) ++i;
    if (i == rows.size()) break;
    const bool activity_upper = (rows[i] == kLower) != (swap_equality && is_equality(layout, i));
    std::string name = layout.column_names[j];
    name.resize(std::max<std::size_t>(name.size(), 8), ' ');
    text += activity_upper ? " XU " : " XL ";
    text += name;
    text += "  ";
    text += layout.row_names[i];
    text += '\n';
    ++i;
  }
  text += "ENDATA\n";
  return text;
}

std::optional<std::string> format_compact_basis(const BasisLayout& layout, std::span<const std::int32_t> rows,
                                                std::span<const std::int32_t> columns) {
  if (static_cast<std::int64_t>(rows.size()) > kCompactCountLimit ||
      static_cast<std::int64_t>(columns.size()) > kCompactCountLimit) {
    return std::nullopt;
  }
  std::string name = layout.problem_name.substr(0, 8);
  name.resize(8, ' ');
  char counts[40];
  std::snprintf(counts, sizeof counts, "      %6d      %6d\n", static_cast<int>(rows.size()),
                static_cast<int>(columns.size()));
  std::string text = name + counts;
  int on_line = 0;
  auto put = [&](std::int32_t code) {
    text += code == kBasic ? '3' : code == kUpper ? '2' : '1';
    if (++on_line == kCompactLineLength) {
      text += '\n';
      on_line = 0;
    }
  };
  for (std::int32_t c : rows) put(c);
  for (std::int32_t c : columns) put(c);
  if (on_line > 0) text += '\n';
  return text;
}

BasisRead parse_mps_basis(std::string_view text, const BasisLayout& layout, bool free_format, bool swap_equality) {
  BasisRead read;
  read.rows.assign(layout.row_names.size(), kBasic);
  read.columns.assign(layout.column_names.size(), kLower);
  const NameIndex row_index = index_names(layout.row_names);
  const NameIndex column_index = index_names(layout.column_names);
  bool wide = false;
  for (const auto& n : layout.row_names) wide = wide || n.size() > 8;
  for (const auto& n : layout.column_names) wide = wide || n.size() > 8;

  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (trim(line).empty() || line.front() == '*') continue;
    if (line.starts_with("NAME")) continue;
    if (line.starts_with("ENDATA")) break;
    const Fields f = split_line(line, free_format, wide);
    const bool exchange = f.code == "XU" || f.code == "XL";
    if (!exchange && f.code != "UL" && f.code != "LL") {
      read.error = kMessageInputReadError;
      return read;
    }
    auto column = column_index.find(f.first);
    if (column == column_index.end()) {
      read.notes.push_back({kMessageBasisUnknownColumn, std::string(f.first)});
      continue;
    }
    const auto j = static_cast<std::size_t>(column->second);
    if (!exchange) {
      if (f.code == "UL") {
        if (!layout.column_upper_finite[j]) {
          read.notes.push_back({kMessageBasisInfiniteBound, std::string(f.first)});
          continue;
        }
        read.columns[j] = kUpper;
      } else {
        read.columns[j] = kLower;
      }
      continue;
    }
    auto row = row_index.find(f.second);
    if (row == row_index.end()) {
      read.notes.push_back({kMessageBasisUnknownRow, std::string(f.second)});
      continue;
    }
    const auto i = static_cast<std::size_t>(row->second);
    const bool activity_upper = (f.code == "XU") != (swap_equality && is_equality(layout, i));
    // The activity's upper limit is the logical's lower bound.
    std::int32_t code = activity_upper ? kLower : kUpper;
    const std::uint8_t needed = activity_upper ? basis_row::kLowerFinite : basis_row::kUpperFinite;
    if ((layout.row_bounds[i] & needed) == 0) {
      read.notes.push_back({kMessageBasisInfiniteBound, std::string(f.second)});
      code = default_row_code(layout.row_bounds[i]);
    }
    read.columns[j] = kBasic;
    read.rows[i] = code;
  }
  return read;
}

BasisRead parse_compact_basis(std::string_view text, const BasisLayout& layout) {
  BasisRead read;
  const std::size_t m = layout.row_names.size();
  const std::size_t n = layout.column_names.size();
  std::size_t end = text.find('\n');
  if (end == std::string_view::npos) end = text.size();
  std::string_view first = text.substr(0, end);
  // The counts follow the 8-character name.
  std::string_view counts = first.size() > 8 ? first.substr(8) : std::string_view{};
  long long values[2] = {-1, -1};
  for (long long& value : values) {
    counts = trim(counts);
    auto [stop, ec] = std::from_chars(counts.data(), counts.data() + counts.size(), value);
    if (ec != std::errc{}) {
      read.error = kMessageInputReadError;
      return read;
    }
    counts.remove_prefix(static_cast<std::size_t>(stop - counts.data()));
  }
  if (values[0] != static_cast<long long>(m) || values[1] != static_cast<long long>(n)) {
    read.error = kMessageBasisFileSize;
    return read;
  }
  read.rows.resize(m);
  read.columns.resize(n);
  std::size_t v = 0;
  for (std::size_t p = end + 1; p < text.size() && v < m + n; ++p) {
    const char c = text[p];
    if (c == '\n' || c == '\r') continue;
    const std::int32_t code = c == '3' ? kBasic : c == '2' ? kUpper : kLower;
    if (v < m) {
      read.rows[v] = code;
    } else {
      read.columns[v - m] = code;
    }
    ++v;
  }
  if (v < m + n) read.error = kMessageBasisFileShort;
  return read;
}

}  // namespace kqopt
