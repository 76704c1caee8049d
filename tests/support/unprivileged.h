// Running a check where folder permissions bind: as root, in a child process that has
// become the user nobody (root writes into any folder); otherwise in this process.
#pragma once

#include <functional>

namespace kqopt::test {

enum class Unprivileged { kPassed, kFailed, kUnavailable };

// Runs check (which must not use gtest assertions: a child's failures are not seen) and
// reports its result; kUnavailable when root cannot become nobody.
Unprivileged run_unprivileged(const std::function<bool()>& check);

}  // namespace kqopt::test
