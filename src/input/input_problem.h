// Reading a problem file: KQINPUT's core. Resolves the file name, reads the file with
// the MPS reader (or, for `lp` files, the LP-text reader), and loads what was read
// through the problem loader, so that a problem from a file and one from arrays are
// the same to the rest of the library.
//
// File name resolution: a name with an extension (text after the last '.' that
// follows the last '/' or '\') is opened as given, `lp` going to the LP-text reader
// and any other extension to the MPS reader; a name without one is tried with `mat`,
// `mps` and `lp` appended, in this order. When nothing opens: message 85 with the
// first name tried, return code 32, and the current problem is left as it was.
//
// The problem name becomes the given name without its extension.
//
// Return codes: 0 success; 16 the name dictionary overflowed (message 114); 32 the
// file could not be opened or read, a fault of capacity, a file without ENDATA, more
// faults than IGNORE, a fatal fault of an `lp` file (lp_reader.h). When the read fails before the load, no problem is
// loaded afterwards. When it reaches ENDATA with only faults of single lines (weight below 10000) beyond IGNORE, the
// problem is loaded all the same and the code is 32.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kqopt {
struct Library;
}

namespace kqopt::input {

enum class InputFormat { kMps, kLpText };

struct ResolvedInput {
  bool found = false;
  std::string path;  // the file that opened (or the first name tried)
  InputFormat format = InputFormat::kMps;
};

// The extension of a file name ("" when none): the text after the last '.' that
// follows the last '/' or '\'.
std::string_view file_extension(std::string_view name);
// The name without its extension and the dot.
std::string_view without_extension(std::string_view name);

// Finds the file to read for name (see above). Does not print.
ResolvedInput resolve_input_file(std::string_view name);

// What a read did, for tests and tools.
struct InputDiagnostics {
  std::vector<int> messages;  // numbers of the reader's messages, in order
  std::int64_t faults = 0;    // weighted fault count
  std::int64_t lines = 0;     // lines read
};

// KQINPUT: reads and loads the problem file `name` (not null). Returns the return code.
std::int32_t input_problem(Library& lib, const char* name, InputDiagnostics* diagnostics = nullptr);

// Reads MPS text held in memory as if it were a file, and loads it (tests, fuzzing).
std::int32_t input_mps_text(Library& lib, std::string_view text, InputDiagnostics* diagnostics = nullptr);
// The same for LP text.
std::int32_t input_lp_text(Library& lib, std::string_view text, InputDiagnostics* diagnostics = nullptr);

}  // namespace kqopt::input
