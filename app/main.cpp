// kqopt: the host program. Initialises the library with its own directory and runs
// the command interpreter; command-line arguments are run as command lines before
// standard input, so that `kqopt "INPUT afiro" MINIM QUIT` works.
//
// Memory: `-m BYTES` or the environment variable KQOPT_MEMSIZE sets the workspace
// budget; 0 (the default) takes what the machine can give.
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "kqopt.h"

namespace {

std::vector<std::string> g_argument_lines;
std::size_t g_next_argument = 0;

void print_line(const char* text, int32_t length, int32_t) {
  if (text == nullptr) {
    std::fflush(stdout);
    return;
  }
  std::fwrite(text, 1, static_cast<std::size_t>(length), stdout);
  std::fputc('\n', stdout);
}

void argument_lines(char* buffer, int32_t* length) {
  if (g_next_argument >= g_argument_lines.size()) {
    *length = -1;
    return;
  }
  const std::string& line = g_argument_lines[g_next_argument++];
  std::size_t n = line.size() < 132 ? line.size() : 132;
  std::memcpy(buffer, line.data(), n);
  *length = static_cast<int32_t>(n);
}

std::string own_directory(const char* argv0) {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string(argv0);
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

int32_t parse_memsize(const char* text) {
  char* end = nullptr;
  long long value = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 2147483647) {
    std::fprintf(stderr, "kqopt: memory size must be 0..2147483647 bytes, not '%s'\n", text);
    std::exit(2);
  }
  return static_cast<int32_t>(value);
}

// The host's own work before the library starts: the memory budget, the command lines
// and the library's directory.
int run_host(int argc, char** argv) {
  int32_t memsize = 0;
  if (const char* env = std::getenv("KQOPT_MEMSIZE")) memsize = parse_memsize(env);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-m") == 0 && i + 1 < argc) {
      memsize = parse_memsize(argv[++i]);
    } else {
      g_argument_lines.emplace_back(argv[i]);
    }
  }
  std::string directory = own_directory(argv[0]);
  int32_t rc = KQINITLZ(directory.c_str(), memsize);
  if (rc != 0) {
    std::fprintf(stderr, "kqopt: the library could not start (return code %d)\n", rc);
    return rc;
  }
  KQDEFINEUOPENTRY(print_line);
  return KQCONTROL(g_argument_lines.empty() ? nullptr : argument_lines);
}

}  // namespace

// Out of memory before the library runs ends the host with a message, like any other
// failure to start, never with an abort.
int main(int argc, char** argv) {
  // A write past the file-size limit should fail and be reported, not end the host.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    return run_host(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("kqopt: not enough memory to start\n", stderr);
  } catch (...) {
    std::fputs("kqopt: could not start\n", stderr);
  }
  return 4;
}
