// Running a check as an unprivileged user; see unprivileged.h.
#include "support/unprivileged.h"

#include <sys/wait.h>
#include <unistd.h>

namespace kqopt::test {

namespace {
constexpr uid_t kNobody = 65534;
constexpr int kCannotSwitch = 77;
}  // namespace

Unprivileged run_unprivileged(const std::function<bool()>& check) {
  if (::geteuid() != 0) return check() ? Unprivileged::kPassed : Unprivileged::kFailed;
  const pid_t child = ::fork();
  if (child < 0) return Unprivileged::kUnavailable;
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(kCannotSwitch);
    ::_exit(check() ? 0 : 1);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return Unprivileged::kFailed;
  if (WEXITSTATUS(status) == kCannotSwitch) return Unprivileged::kUnavailable;
  return WEXITSTATUS(status) == 0 ? Unprivileged::kPassed : Unprivileged::kFailed;
}

}  // namespace kqopt::test
