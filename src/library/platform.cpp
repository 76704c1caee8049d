// Linux implementations of the operating-system services.
#include "library/platform.h"

#include <dlfcn.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <vector>

namespace kqopt {

namespace {

std::string directory_of(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The console break handler needs somewhere to write; a signal handler can reach no
// other state. It points at the flag of the library that runs the command loop.
volatile std::sig_atomic_t* g_interrupt_flag = nullptr;

extern "C" void on_interrupt(int) {
  if (g_interrupt_flag) *g_interrupt_flag = 1;
}

}  // namespace

std::string executable_directory() {
  std::vector<char> buffer(4096);
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  return directory_of(std::string(buffer.data(), static_cast<std::size_t>(n)));
}

std::string library_directory() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&library_directory), &info) == 0 || info.dli_fname == nullptr) return {};
  return directory_of(info.dli_fname);
}

std::int64_t obtainable_memory() {
  struct sysinfo si {};
  if (::sysinfo(&si) != 0) return 0;
  const auto unit = static_cast<std::int64_t>(si.mem_unit);
  std::int64_t physical = static_cast<std::int64_t>(si.totalram) * unit;
  std::int64_t paging = static_cast<std::int64_t>(si.freeram + si.freeswap) * unit - 4096000;
  return paging < physical ? paging : physical;
}

void install_interrupt_handler(volatile std::sig_atomic_t* flag) {
  g_interrupt_flag = flag;
  struct sigaction action {};
  action.sa_handler = flag ? on_interrupt : SIG_DFL;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
}

std::int64_t cpu_time_centiseconds() { return static_cast<std::int64_t>(std::clock()) * 100 / CLOCKS_PER_SEC; }

std::int64_t elapsed_time_centiseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() / 10;
}

}  // namespace kqopt
