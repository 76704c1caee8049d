// msggen: turns the readable message catalogue into the binary message file.
//
// Source lines:  <number> <class> "<text>"   ('#' starts a comment line)
// The text runs from the first to the last double quote of the line, so trailing
// blanks survive editors. Output layout: records of 1024 bytes; record 1 holds 512
// little-endian int16 entries, entry n the 1-based file position of message n (0 when
// absent); each message is stored at an odd 1-based position (an even byte offset)
// as int16 number, int8 class, the text, and a line feed. Every entry must start at a
// position that fits in an int16. The file is padded to whole records.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRecordLength = 1024;
constexpr int kMaxMessages = 512;

struct Entry {
  int message_class;
  std::string text;
};

bool parse_catalogue(std::istream& in, std::map<int, Entry>& entries) {
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
      std::cerr << "msggen: line " << line_number << ": text must be quoted\n";
      return false;
    }
    std::istringstream head(line.substr(0, open));
    int number = 0, message_class = 0;
    if (!(head >> number >> message_class) || number < 1 || number > kMaxMessages ||
        message_class < -128 || message_class > 127) {
      std::cerr << "msggen: line " << line_number << ": bad number or class\n";
      return false;
    }
    std::string text = line.substr(open + 1, close - open - 1);
    if (text.find('\n') != std::string::npos) return false;
    if (!entries.emplace(number, Entry{message_class, text}).second) {
      std::cerr << "msggen: line " << line_number << ": message " << number << " defined twice\n";
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: msggen catalogue.txt rb-opt.msg\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "msggen: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::map<int, Entry> entries;
  if (!parse_catalogue(in, entries)) return 1;

  std::vector<unsigned char> file(kRecordLength, 0);
  for (const auto& [number, entry] : entries) {
    if (file.size() % 2 != 0) file.push_back(' ');
    std::size_t position = file.size() + 1;
    if (position > 32767) {
      std::cerr << "msggen: message " << number << " starts beyond position 32767\n";
      return 1;
    }
    file[2 * (number - 1)] = static_cast<unsigned char>(position & 0xff);
    file[2 * (number - 1) + 1] = static_cast<unsigned char>(position >> 8);
    file.push_back(static_cast<unsigned char>(number & 0xff));
    file.push_back(static_cast<unsigned char>((number >> 8) & 0xff));
    file.push_back(static_cast<unsigned char>(static_cast<std::int8_t>(entry.message_class)));
    file.insert(file.end(), entry.text.begin(), entry.text.end());
    file.push_back('\n');
  }
  while (file.size() % kRecordLength != 0) file.push_back(0);

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) {
    std::cerr << "msggen: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
