#include "failpoints.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace collect {

std::function<void(const char*, const std::string&)> Failpoints::hook;

namespace {
// Read once: the conversations' threads then never read the environment.
const std::string& Variable(const char* name) {
  static const std::string crash = [] {
    const char* v = std::getenv("PCLOG_COLLECT_CRASH");
    return std::string(v ? v : "");
  }();
  static const std::string fail = [] {
    const char* v = std::getenv("PCLOG_COLLECT_FAIL");
    return std::string(v ? v : "");
  }();
  return std::string(name) == "crash" ? crash : fail;
}
}  // namespace

void Failpoints::Step(const char* name, const std::string& terminal) {
  if (hook) return hook(name, terminal);
  const std::string& crash = Variable("crash");
  if (!crash.empty() && crash == name) ::_exit(86);
}

bool Failpoints::Fails(const char* name) {
  const std::string& fail = Variable("fail");
  if (fail.empty()) return false;
  std::stringstream list(fail);
  for (std::string item; std::getline(list, item, ',');)
    if (item == name) return true;
  return false;
}

}  // namespace collect
