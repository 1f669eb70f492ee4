// TCP client sockets as the network exports need them: start the socket
// library, create a stream socket, connect to an IPv4 address and port, send,
// and receive with a silence limit so that a peer that stops talking can never
// hold a call for ever. Connecting has a limit too: an address where nothing
// answers would otherwise hold the call for as long as the system keeps
// repeating its SYN (about 2 minutes on Linux, 21 s on Windows).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/clock.h"

namespace wpl {

// An IPv4 address, most significant octet first (127.0.0.1 is {127, 0, 0, 1}).
struct Ipv4Address {
  std::array<uint8_t, 4> octets{};
  friend bool operator==(const Ipv4Address&, const Ipv4Address&) = default;
  friend auto operator<=>(const Ipv4Address&, const Ipv4Address&) = default;
};

enum class ReceiveStatus {
  kBytes,     // `count` bytes were stored
  kClosed,    // the peer closed the connection
  kError,     // the connection failed
  kTimedOut,  // nothing arrived within the limit
};

struct ReceiveResult {
  ReceiveStatus status = ReceiveStatus::kError;
  size_t count = 0;
};

// One connection. Destroying it closes the socket.
class Socket {
 public:
  virtual ~Socket() = default;
  // Connects within `limit`: true when the connection stands, false when it
  // was refused, failed or did not stand in time. The socket is blocking
  // again afterwards.
  virtual bool Connect(Ipv4Address address, uint16_t port, Millis limit) = 0;
  // One send of all the bytes: the count the system took, or -1 on error.
  virtual int64_t Send(std::span<const uint8_t> bytes) = 0;
  // Waits at most `limit` for bytes and stores what has arrived, up to
  // out.size(). Never writes past out.
  virtual ReceiveResult Receive(std::span<uint8_t> out, Millis limit) = 0;
};

class Sockets {
 public:
  virtual ~Sockets() = default;
  // Starts the socket library for this call; it is never shut down again, so
  // calls one after another need no clean-up between them.
  virtual bool Startup() = 0;
  // A fresh IPv4 stream socket, or nullptr.
  virtual std::unique_ptr<Socket> Create() = 0;
};

// The system's sockets (POSIX or Winsock, by the file that is built).
Sockets& SystemSockets();

}  // namespace wpl
