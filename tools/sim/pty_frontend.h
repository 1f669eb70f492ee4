// Puts a TerminalModel behind a pseudo-terminal: the host opens the pty's
// device (through a symlink) as if it were a serial port.
#pragma once
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>

#include "terminal_model.h"

namespace wpl::sim {

class PtyFrontend {
 public:
  // Creates the pty and links its device at `linkPath` (replacing a stale
  // link). Throws std::runtime_error on failure.
  PtyFrontend(TerminalModel& model, std::string linkPath, std::FILE* log);
  ~PtyFrontend();
  PtyFrontend(const PtyFrontend&) = delete;
  PtyFrontend& operator=(const PtyFrontend&) = delete;

  const std::string& devicePath() const { return device_; }
  // Serves the line until `stop` becomes true, calling `idle` (on this
  // thread) at least every 50 ms.
  void Run(const std::atomic<bool>& stop, const std::function<void()>& idle = {});

 private:
  LineState HostLine() const;
  void LogBytes(const uint8_t* bytes, size_t n, LineState line, Nanos now);

  TerminalModel& model_;
  std::string link_;
  std::string device_;
  std::FILE* log_;
  int master_ = -1;
  int slave_ = -1;  // held open so the line outlives the host's opens
};

Nanos MonotonicNow();

}  // namespace wpl::sim
