// Operating-system services: where the executable and this library live, how much
// memory the machine can give, and the console break.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

namespace kqopt {

// Directory of the running executable, without a trailing separator ("" if unknown).
std::string executable_directory();
// Directory of the file holding this library's code ("" if unknown).
std::string library_directory();
// min(free memory and swap - 4,096,000, physical memory), in bytes.
std::int64_t obtainable_memory();
// Installs a SIGINT handler that sets *flag and stays installed; null removes it.
void install_interrupt_handler(volatile std::sig_atomic_t* flag);
// Processor time and elapsed time in hundredths of a second.
std::int64_t cpu_time_centiseconds();
std::int64_t elapsed_time_centiseconds();

}  // namespace kqopt
