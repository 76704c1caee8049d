// The command interpreter: reads command lines, removes blanks and option letters,
// and runs commands or control lines until a return code stops it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kqopt {

struct Library;

using CommandLineSource = void (*)(char* buffer, std::int32_t* length);

inline constexpr std::size_t kCommandLineLength = 132;

// Runs the command loop and returns the exit code the host process should end with.
// Lines come from open command files first, then from source (a negative length
// from source hands over to `in` for good), else from `in` with the prompt '>' on
// `prompt`. End of input gives "?EOF on read: fatal" and exit code 16.
int run_interpreter(Library& lib, CommandLineSource source, std::FILE* in, std::FILE* prompt);

// Normalises one typed line: blanks outside single quotes are removed and lower-case
// letters after a " -" are recorded as option letters.
std::string normalise_command_line(Library& lib, const std::string& raw);

// Runs one normalised line. Returns true when the line ends the process (QUIT, STOP)
// and sets exit_code.
bool run_command_line(Library& lib, const std::string& line, int& exit_code);

// The argument text after the command name on the current line.
std::string command_argument(const Library& lib);

}  // namespace kqopt
