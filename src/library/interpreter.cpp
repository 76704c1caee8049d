// The command loop.
#include "library/interpreter.h"

#include <cstring>
#include <fstream>
#include <vector>

#include "frame/message_numbers.h"
#include "library/commands.h"
#include "library/control_access.h"
#include "library/library.h"
#include "library/platform.h"

namespace kqopt {

namespace {
constexpr int kMaxCommandFiles = 2;
constexpr std::int32_t kStoppingCodes = kRcNoFit | kRcFileError | kRcResource | kRcFatal | kRcInputError;
constexpr const char* kStartupFile = "rb-opt.ini";

struct LineSources {
  std::vector<std::FILE*> command_files;  // innermost last
  CommandLineSource source = nullptr;
  std::FILE* in = nullptr;
  std::FILE* prompt = nullptr;
};

bool read_file_line(std::FILE* file, std::string& line) {
  line.clear();
  int c = 0;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < 4096) line.push_back(static_cast<char>(c));
  }
  if (!any) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > kCommandLineLength) line.resize(kCommandLineLength);
  return true;
}

enum class ReadResult { kLine, kEndOfInput };

ReadResult next_line(LineSources& sources, std::string& line) {
  while (!sources.command_files.empty()) {
    if (read_file_line(sources.command_files.back(), line)) return ReadResult::kLine;
    std::fclose(sources.command_files.back());
    sources.command_files.pop_back();
  }
  if (sources.source != nullptr) {
    char buffer[kCommandLineLength + 1] = {};
    std::int32_t length = 0;
    sources.source(buffer, &length);
    if (length >= 0) {
      if (length > static_cast<std::int32_t>(kCommandLineLength)) length = kCommandLineLength;
      line.assign(buffer, strnlen(buffer, static_cast<std::size_t>(length)));
      return ReadResult::kLine;
    }
    sources.source = nullptr;  // the caller's lines are exhausted; standard input takes over
  }
  if (sources.prompt) {
    std::fputc('>', sources.prompt);
    std::fflush(sources.prompt);
  }
  return read_file_line(sources.in, line) ? ReadResult::kLine : ReadResult::kEndOfInput;
}

bool open_command_file(Library& lib, LineSources& sources, const std::string& name, bool report) {
  if (sources.command_files.size() >= kMaxCommandFiles) {
    if (report) {
      print_message(lib, kMessageNestedTooDeep);
      flush_line(lib);
    }
    return false;
  }
  std::FILE* file = std::fopen(name.c_str(), "r");
  if (file == nullptr) {
    if (report) {
      print_message(lib, kMessageCannotOpen);
      put_string(lib, name.c_str());
      flush_line(lib);
    }
    return false;
  }
  sources.command_files.push_back(file);
  return true;
}

bool command_matches(const char* name, const std::string& line) {
  std::size_t length = std::strlen(name);
  if (length > line.size()) return false;
  for (std::size_t i = 0; i < length; ++i) {
    char want = name[i];
    char got = line[i];
    if (got != want && !(want >= 'A' && want <= 'Z' && got == want - 'A' + 'a')) return false;
  }
  return true;
}

}  // namespace

std::string normalise_command_line(Library& lib, const std::string& raw) {
  lib.options.fill(false);
  std::string line;
  bool quoted = false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == '-' && i > 0 && raw[i - 1] == ' ' && i + 1 < raw.size() && raw[i + 1] >= 'a' &&
        raw[i + 1] <= 'z') {
      // Option letters run up to the next blank.
      for (++i; i < raw.size() && raw[i] != ' '; ++i) {
        if (raw[i] >= 'a' && raw[i] <= 'z') lib.options[static_cast<std::size_t>(raw[i] - 'a')] = true;
      }
      continue;
    }
    if (!quoted && (c == ' ' || c == '\t')) continue;
    line.push_back(c);
  }
  return line;
}

std::string command_argument(const Library& lib) {
  const std::string& line = lib.interpreter.line;
  return lib.interpreter.read_position < line.size() ? line.substr(lib.interpreter.read_position) : std::string();
}

bool run_command_line(Library& lib, const std::string& line, int& exit_code) {
  lib.interpreter.line = line;
  lib.interpreter.read_position = 0;
  if (line.empty()) return false;
  for (const Command& command : kCommands) {
    if (!command_matches(command.name, line)) continue;
    lib.interpreter.read_position = std::strlen(command.name);
    CommandOutcome outcome = command.run(lib);
    lib.options.fill(false);
    if (outcome == CommandOutcome::kQuit) {
      exit_code = 0;
      return true;
    }
    if (outcome == CommandOutcome::kStop) {
      exit_code = stop_exit_code(lib);
      return true;
    }
    return false;
  }
  if (handle_control_line(lib, line) == ControlLineResult::kNotAControl) {
    print_message(lib, kMessageUnknownLine);
    flush_line(lib);
  }
  return false;
}

int run_interpreter(Library& lib, CommandLineSource source, std::FILE* in, std::FILE* prompt) {
  lib.user_interrupt = 0;
  install_interrupt_handler(&lib.user_interrupt);
  LineSources sources;
  sources.source = source;
  sources.in = in;
  sources.prompt = prompt;
  lib.interpreter.source = source;

  begin_quiet(lib);
  if (!open_command_file(lib, sources, kStartupFile, false) && !lib.dirs.primary.empty()) {
    open_command_file(lib, sources, lib.dirs.primary + "/" + kStartupFile, false);
  }
  end_quiet(lib);

  int exit_code = 0;
  while ((lib.err.return_code & kStoppingCodes) == 0) {
    lib.err.return_code = 0;
    std::string raw;
    if (next_line(sources, raw) == ReadResult::kEndOfInput) {
      std::fputs("?EOF on read: fatal\n", stdout);
      std::fflush(stdout);
      exit_code = 16;
      break;
    }
    lib.user_interrupt = 0;
    std::string line = normalise_command_line(lib, raw);
    if (!line.empty() && line[0] == '@') {
      open_command_file(lib, sources, line.substr(1), true);
      continue;
    }
    if (run_command_line(lib, line, exit_code)) break;
    exit_code = lib.err.return_code;
  }
  for (std::FILE* file : sources.command_files) std::fclose(file);
  install_interrupt_handler(nullptr);
  return exit_code;
}

}  // namespace kqopt
