// What sits at the far end of a host's serial line: a terminal, or a modem
// with terminals behind it. Driven by bytes and timestamps only, so the same
// peer answers in virtual time in the unit tests and in real time behind a
// pty.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace wpl::sim {

using Nanos = std::chrono::nanoseconds;
using Millis = std::chrono::milliseconds;

// The host's side of the line when bytes cross it. baud 0 stands for a
// network connection, where speeds do not apply.
struct LineState {
  uint32_t baud = 0;
  int stopBits = 1;
};

class LinePeer {
 public:
  virtual ~LinePeer() = default;
  // Bytes from the host, sent with `line` at time `now`.
  virtual void Receive(std::span<const uint8_t> bytes, LineState line, Nanos now) = 0;
  // Moves into `out` the bytes due for sending by `now`; returns the count.
  virtual size_t Transmit(std::span<uint8_t> out, Nanos now) = 0;
  // When the next byte is due, if any is queued.
  virtual std::optional<Nanos> NextDue() const = 0;
  // Whether the host, listening with `line`, reads the peer's bytes as sent.
  virtual bool Accepts(LineState line) const = 0;
  // The host closed its port: DTR drops.
  virtual void HostClosed(Nanos now) = 0;
};

}  // namespace wpl::sim
