// Building the binary message file from catalogue entries; used by the build-time
// generator and by tests that need a catalogue of their own.
//
// Source lines:  <number> <class> "<text>"   ('#' starts a comment line). The text
// runs from the first to the last double quote, so trailing blanks survive editors.
#pragma once

#include <istream>
#include <map>
#include <string>
#include <vector>

namespace kqopt {

struct CatalogueEntry {
  int message_class = 0;
  std::string text;
};

using CatalogueEntries = std::map<int, CatalogueEntry>;

// Parses catalogue source; on failure returns false with a message in error.
bool parse_catalogue(std::istream& in, CatalogueEntries& entries, std::string& error);

// Lays the entries out as a message file. Fails (returns an empty vector and sets
// error) when an entry would start beyond position 32767.
std::vector<unsigned char> build_catalogue(const CatalogueEntries& entries, std::string& error);

// Writes a message file; returns false on an I/O or layout failure.
bool write_catalogue(const CatalogueEntries& entries, const std::string& path, std::string& error);

}  // namespace kqopt
