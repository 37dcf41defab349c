#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// Runs `body` as an unprivileged user where the test runs as root (root writes anywhere), and
// returns whether it passed.
inline bool AsOrdinaryUser(const std::function<bool()>& body) {
  if (geteuid() != 0) return body();
  const pid_t child = ::fork();
  if (child == 0) {
    const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && body();
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}
