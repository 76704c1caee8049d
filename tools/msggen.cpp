// msggen: turns the readable message catalogue into the binary message file that the
// library reads at initialisation and, given a third path, into the header of named
// message numbers that the code uses. Usage: msggen catalogue.txt rb-opt.msg [header.h]
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "frame/catalogue_builder.h"

namespace {
// Rewrites the header only when its text changes, so that an edited message text does
// not recompile every file that names messages.
bool write_if_changed(const std::string& path, const std::string& text) {
  {
    std::ifstream old(path, std::ios::binary);
    if (old && std::string(std::istreambuf_iterator<char>(old), {}) == text) return true;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::cerr << "usage: msggen catalogue.txt rb-opt.msg [header.h]\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "msggen: cannot read " << argv[1] << "\n";
    return 1;
  }
  kqopt::CatalogueEntries entries;
  std::string error;
  if (!kqopt::parse_catalogue(in, entries, error) || !kqopt::write_catalogue(entries, argv[2], error)) {
    std::cerr << "msggen: " << argv[1] << ": " << error << "\n";
    return 1;
  }
  if (argc == 4) {
    std::string header = kqopt::message_numbers_header(entries, error);
    if (header.empty()) {
      std::cerr << "msggen: " << argv[1] << ": " << error << "\n";
      return 1;
    }
    if (!write_if_changed(argv[3], header)) {
      std::cerr << "msggen: cannot write " << argv[3] << "\n";
      return 1;
    }
  }
  return 0;
}
