#include "platform/deadline.h"
#include "platform/system.h"
#include "platform/trace.h"

namespace wpl {
namespace {

// A folder named by the host, with the separator the file names are joined
// with. '/' ends a folder on both systems.
std::string WithSeparator(std::string dir, char separator) {
  if (dir.back() != separator && dir.back() != '/') dir += separator;
  return dir;
}

}  // namespace

Nanos SystemClock::Now() { return MonotonicNow(); }

Env ProcessEnv() {
  // The services are stateless and shared by every call; what a call reads
  // afresh is its own: the data folder (the host may set W_PCLOG_DIR between
  // calls, and a call on another thread must not change it under a call
  // that is running) and W_PCLOG_TRACE (so a site can turn the wire trace on
  // and off without restarting the host).
  static SystemClock clock;
  static SystemSerialPorts serial;
  static SystemFileSystem files;
  static SystemUi ui;
  Env env{&clock, &serial, &files, &ui, {}, &SystemSockets()};
  if (std::string dir = EnvironmentVariable("W_PCLOG_DIR"); !dir.empty())
    env.dataDir = WithSeparator(std::move(dir), files.Separator());
  else if (std::string exe = ProgramDirectory(); !exe.empty())
    env.dataDir = std::move(exe);
  else
    env.dataDir = std::string(".") + files.Separator();
  ApplyTraceVariable(env, EnvironmentVariable("W_PCLOG_TRACE").c_str());
  return env;
}

}  // namespace wpl
