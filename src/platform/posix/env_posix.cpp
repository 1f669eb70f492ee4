#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/posix/posix_platform.h"
#include "platform/trace.h"

namespace wpl {
namespace {

std::string DataDirectory() {
  if (const char* dir = std::getenv("W_PCLOG_DIR"); dir && *dir) {
    std::string d = dir;
    if (d.back() != '/') d += '/';
    return d;
  }
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "./";
  std::string exe(path, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace

Env& ProcessEnv() {
  static SystemClock clock;
  static PosixSerialPorts serial;
  static PosixFileSystem files;
  static ConsoleUi ui;
  // One Env a thread: the services are stateless and shared, but the data
  // folder is read at every call (the host may set W_PCLOG_DIR between
  // calls), and a call on another thread must not change it under a call
  // that is running.
  thread_local Env env{&clock, &serial, &files, &ui, {}, &SystemSockets()};
  env.dataDir = DataDirectory();
  // W_PCLOG_TRACE is read at every call too, so a site can turn the wire
  // trace on and off without restarting the host.
  env.serial = &serial;
  env.sockets = &SystemSockets();
  ApplyTraceVariable(env, std::getenv("W_PCLOG_TRACE"));
  return env;
}

}  // namespace wpl
