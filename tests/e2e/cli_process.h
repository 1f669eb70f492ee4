// Runs the pclog CLI for a test.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <utility>

namespace wpl::e2e {

// Runs pclog with `args`; returns the exit status and what it printed on
// stdout (stderr is dropped).
inline std::pair<int, std::string> RunCli(const std::string& args) {
  std::string out;
  FILE* p = ::popen((std::string(PCLOG_CLI) + " " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return {-1, out};
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  const int status = ::pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace wpl::e2e
