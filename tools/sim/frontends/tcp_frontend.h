// Puts TerminalModels behind TCP: each terminal listens on port 1024 of its
// own loopback address (127.x.y.z), serves one connection at a time, and stays
// the same terminal across connections (what it holds persists).
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/lan_connection.h"
#include "network_session.h"
#include "terminal_model.h"

namespace wpl::sim {

using link::kTerminalPort;

class TcpFrontend {
 public:
  explicit TcpFrontend(std::FILE* log, uint16_t port = kTerminalPort);
  ~TcpFrontend();
  TcpFrontend(const TcpFrontend&) = delete;
  TcpFrontend& operator=(const TcpFrontend&) = delete;

  // Listens for `model` on the port at `address`, which must be a loopback
  // address in dotted-decimal form. Throws std::runtime_error otherwise, or
  // when the address cannot be bound.
  void Add(const std::string& address, TerminalModel& model, NetworkFaults faults = {});
  // Serves every terminal until `stop` becomes true, calling `idle` (on
  // this thread) at least every 50 ms.
  void Run(const std::atomic<bool>& stop, const std::function<void()>& idle = {});

 private:
  struct Terminal;
  void Accept(Terminal& t);
  void Hangup(Terminal& t);
  void ReadFrom(Terminal& t);
  void SendDue(Terminal& t);
  void Log(const Terminal& t, const char* what, const uint8_t* bytes, size_t n);

  std::FILE* log_;
  uint16_t port_;
  std::vector<std::unique_ptr<Terminal>> terminals_;
};

}  // namespace wpl::sim
