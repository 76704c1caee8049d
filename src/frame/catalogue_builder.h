// Building the binary message file from catalogue entries; used by the build-time
// generator and by tests that need a catalogue of their own.
//
// Source lines:  <number> <class> [<Name>] "<text>"   ('#' starts a comment line).
// The text runs from the first to the last double quote, so trailing blanks survive
// editors. The name is what code calls the message (kMessage<Name>); the library's
// own catalogue names every message, small catalogues built by tests need not.
#pragma once

#include <istream>
#include <map>
#include <string>
#include <vector>

namespace kqopt {

struct CatalogueEntry {
  int message_class = 0;
  std::string text;
  std::string name{};  // empty when the source line gives none
};

using CatalogueEntries = std::map<int, CatalogueEntry>;

// Parses catalogue source; on failure returns false with a message in error.
bool parse_catalogue(std::istream& in, CatalogueEntries& entries, std::string& error);

// Lays the entries out as a message file. Fails (returns an empty vector and sets
// error) when an entry would start beyond position 32767.
std::vector<unsigned char> build_catalogue(const CatalogueEntries& entries, std::string& error);

// Writes a message file; returns false on an I/O or layout failure.
bool write_catalogue(const CatalogueEntries& entries, const std::string& path, std::string& error);

// The C++ header of named message numbers: one `inline constexpr int kMessage<Name> = n;`
// per entry. Fails (returns an empty string and sets error) when an entry has no name.
std::string message_numbers_header(const CatalogueEntries& entries, std::string& error);

}  // namespace kqopt
