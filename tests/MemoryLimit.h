#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

// Address-space limits cannot be set under AddressSanitizer, which reserves terabytes up front.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
inline constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
inline constexpr bool kAddressSanitizer = false;
#endif

// Runs `body` in a child process that may take `budget` bytes of address space beyond what it
// has, and returns what the body returned (or how the child died).
inline std::string WithinMemory(long long budget, const std::function<std::string()>& body) {
  int result[2];
  if (::pipe(result) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(result[0]);
    std::ifstream statm("/proc/self/statm");
    long long pages = 0;
    statm >> pages;
    const rlimit limit{static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE) + budget),
                       RLIM_INFINITY};
    ::setrlimit(RLIMIT_AS, &limit);
    const std::string outcome = body();
    [[maybe_unused]] const ssize_t n = ::write(result[1], outcome.data(), outcome.size());
    ::_exit(0);
  }
  ::close(result[1]);
  std::string outcome;
  char buffer[256];
  for (ssize_t n; (n = ::read(result[0], buffer, sizeof buffer)) > 0;) outcome.append(buffer, n);
  ::close(result[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return outcome.empty() ? "died with status " + std::to_string(status) : outcome;
}
