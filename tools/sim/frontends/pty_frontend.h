// Puts a terminal (or a modem) behind a pseudo-terminal: the host opens the
// pty's device (through a symlink) as if it were a serial port.
#pragma once
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>

#include "line_peer.h"

namespace wpl::sim {

class PtyFrontend {
 public:
  // Creates the pty and links its device at `linkPath` (replacing a stale
  // link). Throws std::runtime_error on failure. With `watchCloses` the
  // peer hears when the host's last open of the line is closed, as a modem
  // sees DTR drop: the front-end then keeps no open of its own, so that the
  // pty reports the host's last close.
  PtyFrontend(LinePeer& model, std::string linkPath, std::FILE* log, bool watchCloses = false);
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
  void SendDue();
  // Reads what the host sent, if anything; false when nothing was there.
  bool ReadHost();

  LinePeer& model_;
  std::string link_;
  std::string device_;
  std::FILE* log_;
  int master_ = -1;
  int slave_ = -1;  // held open so the line outlives the host's opens
  // Watching closes: opens of the device are announced here, and the host
  // holds the line from its open until the pty reports the other side closed.
  int opens_ = -1;
  bool hostHolds_ = false;
};

Nanos MonotonicNow();

}  // namespace wpl::sim
