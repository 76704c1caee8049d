// msggen: turns the readable message catalogue into the binary message file that the
// library reads at initialisation. Usage: msggen catalogue.txt rb-opt.msg
#include <fstream>
#include <iostream>
#include <string>

#include "frame/catalogue_builder.h"

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
  kqopt::CatalogueEntries entries;
  std::string error;
  if (!kqopt::parse_catalogue(in, entries, error) || !kqopt::write_catalogue(entries, argv[2], error)) {
    std::cerr << "msggen: " << argv[1] << ": " << error << "\n";
    return 1;
  }
  return 0;
}
