// One TCP connection to a terminal, as the terminal's network port serves it.
// The terminal (and what it holds) outlives its connections; a session adds
// what belongs to one connection: the bytes the terminal sends as soon as it
// stands, and the ways a connection can end badly. The TCP front-end and the
// tests' virtual sockets both drive terminals through it.
#pragma once
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "terminal_model.h"

namespace wpl::sim {

struct NetworkFaults {
  // Hang up instead of answering a frame addressed to the terminal.
  bool closeAfterFrame = false;
  // Hang up once this many bytes were sent on the connection (0: as soon as
  // it is accepted).
  std::optional<size_t> closeAfterSent;
  // Sent as soon as the connection stands, before anything is received.
  std::vector<uint8_t> greeting;
};

class NetworkSession {
 public:
  NetworkSession(TerminalModel& model, NetworkFaults faults, Nanos now);
  // What the terminal had queued for this connection is lost with it.
  ~NetworkSession();
  NetworkSession(const NetworkSession&) = delete;
  NetworkSession& operator=(const NetworkSession&) = delete;

  void Receive(std::span<const uint8_t> bytes, Nanos now);
  // Moves into `out` the bytes due by `now`; returns the count.
  size_t Transmit(std::span<uint8_t> out, Nanos now);
  std::optional<Nanos> NextDue() const;
  // The terminal has closed the connection: nothing more is sent or heard.
  bool HungUp() const { return hungUp_; }
  // Bytes sent on this connection so far.
  size_t sent() const { return sent_; }

 private:
  void CountSent(size_t n);

  TerminalModel& model_;
  NetworkFaults faults_;
  std::deque<uint8_t> greeting_;
  Nanos greetingDue_;
  size_t sent_ = 0;
  bool hungUp_ = false;
};

}  // namespace wpl::sim
