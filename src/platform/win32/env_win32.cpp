#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/trace.h"
#include "platform/win32/win32_platform.h"

namespace wpl {
namespace {

std::string WithSeparator(std::string dir) {
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

// The process's own environment (a variable the host set with
// SetEnvironmentVariable is there; the C runtime's copy would miss it).
std::string Variable(const char* name) {
  // With no buffer the call gives the size the value needs, terminator included.
  if (DWORD need = GetEnvironmentVariableA(name, nullptr, 0); need > 1) {
    std::string value(need, '\0');
    DWORD n = GetEnvironmentVariableA(name, value.data(), need);
    if (n > 0 && n < need) return value.substr(0, n);
  }
  return {};
}

std::string DataDirectory() {
  if (std::string dir = Variable("W_PCLOG_DIR"); !dir.empty()) return WithSeparator(dir);
  // The folder of the host program: its own path up to the last separator.
  char buf[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return ".\\";
  std::string exe(buf, n);
  return exe.substr(0, exe.find_last_of("\\/") + 1);
}

}  // namespace

Env& ProcessEnv() {
  static SystemClock clock;
  static Win32SerialPorts serial;
  static Win32FileSystem files;
  static WindowsUi ui;
  // One Env a thread, as on POSIX: the data folder is read at every call (the
  // host may set W_PCLOG_DIR between calls), and a call on another thread
  // must not change it under a call that is running.
  thread_local Env env{&clock, &serial, &files, &ui, {}, &SystemSockets()};
  env.dataDir = DataDirectory();
  // W_PCLOG_TRACE is read at every call too, so a site can turn the wire
  // trace on and off without restarting the host.
  env.serial = &serial;
  env.sockets = &SystemSockets();
  ApplyTraceVariable(env, Variable("W_PCLOG_TRACE").c_str());
  return env;
}

}  // namespace wpl
