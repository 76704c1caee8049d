// Message file layout: records of 1024 bytes; record 1 holds 512 little-endian int16
// entries, entry n the 1-based file position of message n (0 when absent); each
// message sits at an odd 1-based position (an even byte offset) as int16 number,
// int8 class, the text and a line feed. The file is padded to whole records.
#include "frame/catalogue_builder.h"

#include <cstdint>
#include <fstream>
#include <sstream>

namespace kqopt {

namespace {
constexpr int kRecordLength = 1024;
constexpr int kMaxMessages = 512;
constexpr std::size_t kMaxPosition = 32767;
}  // namespace

bool parse_catalogue(std::istream& in, CatalogueEntries& entries, std::string& error) {
  std::string line;
  int line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::size_t open = line.find('"');
    std::size_t close = line.rfind('"');
    if (open == std::string::npos || close == open) {
      error = "line " + std::to_string(line_number) + ": the text must be quoted";
      return false;
    }
    std::istringstream head(line.substr(0, open));
    int number = 0, message_class = 0;
    if (!(head >> number >> message_class) || number < 1 || number > kMaxMessages || message_class < -128 ||
        message_class > 127) {
      error = "line " + std::to_string(line_number) + ": bad number or class";
      return false;
    }
    if (!entries.emplace(number, CatalogueEntry{message_class, line.substr(open + 1, close - open - 1)}).second) {
      error = "line " + std::to_string(line_number) + ": message " + std::to_string(number) + " defined twice";
      return false;
    }
  }
  return true;
}

std::vector<unsigned char> build_catalogue(const CatalogueEntries& entries, std::string& error) {
  std::vector<unsigned char> file(kRecordLength, 0);
  for (const auto& [number, entry] : entries) {
    if (number < 1 || number > kMaxMessages) {
      error = "message number " + std::to_string(number) + " outside 1..512";
      return {};
    }
    if (file.size() % 2 != 0) file.push_back(' ');
    std::size_t position = file.size() + 1;
    if (position > kMaxPosition) {
      error = "message " + std::to_string(number) + " starts beyond position 32767";
      return {};
    }
    file[2 * static_cast<std::size_t>(number - 1)] = static_cast<unsigned char>(position & 0xff);
    file[2 * static_cast<std::size_t>(number - 1) + 1] = static_cast<unsigned char>(position >> 8);
    file.push_back(static_cast<unsigned char>(number & 0xff));
    file.push_back(static_cast<unsigned char>((number >> 8) & 0xff));
    file.push_back(static_cast<unsigned char>(static_cast<std::int8_t>(entry.message_class)));
    file.insert(file.end(), entry.text.begin(), entry.text.end());
    file.push_back('\n');
  }
  while (file.size() % kRecordLength != 0) file.push_back(0);
  return file;
}

bool write_catalogue(const CatalogueEntries& entries, const std::string& path, std::string& error) {
  std::vector<unsigned char> file = build_catalogue(entries, error);
  if (file.empty()) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace kqopt
