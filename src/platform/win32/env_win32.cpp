#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace wpl {
namespace {

std::string WithSeparator(std::string dir) {
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

std::string DataDirectory() {
  // With no buffer the call gives the size the value needs, terminator included.
  if (DWORD need = GetEnvironmentVariableA("W_PCLOG_DIR", nullptr, 0); need > 1) {
    std::string dir(need, '\0');
    DWORD n = GetEnvironmentVariableA("W_PCLOG_DIR", dir.data(), need);
    if (n > 0 && n < need) return WithSeparator(dir.substr(0, n));
  }
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
  return env;
}

}  // namespace wpl
