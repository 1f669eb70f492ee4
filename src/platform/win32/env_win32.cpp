#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/system.h"

namespace wpl {

std::string EnvironmentVariable(const char* name) {
  // With no buffer the call gives the size the value needs, terminator included.
  if (DWORD need = GetEnvironmentVariableA(name, nullptr, 0); need > 1) {
    std::string value(need, '\0');
    DWORD n = GetEnvironmentVariableA(name, value.data(), need);
    if (n > 0 && n < need) return value.substr(0, n);
  }
  return {};
}

std::string ProgramDirectory() {
  // The host program's own path up to the last separator.
  char buf[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return {};
  const std::string exe(buf, n);
  return exe.substr(0, exe.find_last_of("\\/") + 1);
}

}  // namespace wpl
