// Basis files "<name>.bss": the basis of the current problem written as text
// (KQBASISOUT) and read back as the start of the next solve (KQBASISIN). The text
// itself is basis_codec's.
#pragma once

#include <cstdint>
#include <string>

namespace kqopt {

struct Library;

// Option letters of both operations: t compact layout, c do nothing, z exchange XL and
// XU for equality rows.
struct BasisFileOptions {
  bool compact = false;
  bool skip = false;
  bool swap_equality = false;
};
BasisFileOptions basis_file_options(const char* letters);

// The file a name stands for: the problem name when it is null or empty, ".bss"
// appended when it has no extension.
std::string basis_file_name(const Library& lib, const char* name);

// Writes the current basis (as KQGETBASIS gives it). 91 no problem; 122 (return code
// 32) when the file cannot be written, the previous file then kept; 122 also when the
// compact layout cannot hold the counts.
std::int32_t write_basis_file(Library& lib, const char* name, BasisFileOptions options);

// Reads a basis and installs it for the next solve (IFNBAS <- 1). 91 no problem; 266
// during a global search; 122 when the file cannot be opened; 9, 176, 186 (return code
// 32, nothing installed) when it cannot be read; 4, 131, 132 noted per line, the rest
// of the file still read and installed.
std::int32_t read_basis_file(Library& lib, const char* name, BasisFileOptions options);

}  // namespace kqopt
