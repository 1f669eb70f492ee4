#include <winsock2.h>

#include <algorithm>
#include <cstring>

#include "platform/deadline.h"
#include "platform/socket.h"

namespace wpl {
namespace {

// The time left to a deadline, as select() takes it.
timeval TimeLeft(const Deadline& deadline) {
  const int left = deadline.WaitMillis();
  return {static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
}

class Win32Socket : public Socket {
 public:
  explicit Win32Socket(SOCKET s) : s_(s) {}
  ~Win32Socket() override { ::closesocket(s_); }

  bool Connect(Ipv4Address address, uint16_t port, Millis limit) override {
    const Deadline deadline(limit);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = ::htons(port);
    std::memcpy(&sa.sin_addr.s_addr, address.octets.data(), 4);
    // Non-blocking for the connect alone, so that its wait has our limit and
    // not the system's; the exchange itself uses blocking calls bounded by
    // select().
    u_long nonBlocking = 1;
    if (::ioctlsocket(s_, FIONBIO, &nonBlocking) != 0) return false;
    bool connected = ::connect(s_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    if (!connected && ::WSAGetLastError() == WSAEWOULDBLOCK) connected = Established(deadline);
    u_long blocking = 0;
    return ::ioctlsocket(s_, FIONBIO, &blocking) == 0 && connected;
  }

  int64_t Send(std::span<const uint8_t> bytes) override {
    const int n =
        ::send(s_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0);
    return n == SOCKET_ERROR ? -1 : n;
  }

  ReceiveResult Receive(std::span<uint8_t> out, Millis limit) override {
    if (out.empty()) return {ReceiveStatus::kBytes, 0};
    const Deadline deadline(limit);
    for (;;) {
      // A Winsock fd_set is a counted array of sockets, not a bit mask: one
      // socket always fits, whatever its value.
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(s_, &readable);
      timeval tv = TimeLeft(deadline);
      const int ready = ::select(0, &readable, nullptr, nullptr, &tv);
      if (ready == 0) return {ReceiveStatus::kTimedOut, 0};
      if (ready == SOCKET_ERROR) {
        if (::WSAGetLastError() == WSAEINTR) continue;
        return {ReceiveStatus::kError, 0};
      }
      const int room = static_cast<int>(std::min<size_t>(out.size(), 1 << 30));
      const int n = ::recv(s_, reinterpret_cast<char*>(out.data()), room, 0);
      if (n > 0) return {ReceiveStatus::kBytes, static_cast<size_t>(n)};
      if (n == 0) return {ReceiveStatus::kClosed, 0};
      const int e = ::WSAGetLastError();
      if (e != WSAEINTR && e != WSAEWOULDBLOCK) return {ReceiveStatus::kError, 0};
    }
  }

 private:
  // Waits for a connect in progress until the deadline: Winsock reports its
  // success as writable, its failure in the exception set.
  bool Established(const Deadline& deadline) {
    for (;;) {
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(s_, &writable);
      FD_SET(s_, &failed);
      timeval tv = TimeLeft(deadline);
      const int ready = ::select(0, nullptr, &writable, &failed, &tv);
      if (ready == SOCKET_ERROR && ::WSAGetLastError() == WSAEINTR) continue;
      if (ready <= 0 || FD_ISSET(s_, &failed)) return false;
      int error = 0;
      int len = sizeof error;
      return ::getsockopt(s_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) == 0 &&
             error == 0;
    }
  }

  SOCKET s_;
};

class Win32Sockets : public Sockets {
 public:
  // Version 2.0 (low byte 2, high byte 0), at every call. There is no
  // matching WSACleanup: the library stays started for the life of the host,
  // so a call never pulls sockets away from another one.
  bool Startup() override {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 0), &data) == 0;
  }

  std::unique_ptr<Socket> Create() override {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return nullptr;
    // Every send goes out as it is made (see the POSIX sockets: the paced
    // pieces must not wait for the ACK of the one before).
    const BOOL on = TRUE;
    (void)::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return std::make_unique<Win32Socket>(s);
  }
};

}  // namespace

Sockets& SystemSockets() {
  static Win32Sockets sockets;
  return sockets;
}

}  // namespace wpl
