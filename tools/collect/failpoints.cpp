#include "failpoints.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace collect {

std::function<void(const char*, const std::string&)> Failpoints::hook;

void Failpoints::Step(const char* name, const std::string& terminal) {
  if (hook) return hook(name, terminal);
  const char* crash = std::getenv("PCLOG_COLLECT_CRASH");
  if (crash && std::string(crash) == name) ::_exit(86);
}

bool Failpoints::Fails(const char* name) {
  const char* fail = std::getenv("PCLOG_COLLECT_FAIL");
  if (!fail) return false;
  std::stringstream list(fail);
  for (std::string item; std::getline(list, item, ',');)
    if (item == name) return true;
  return false;
}

}  // namespace collect
