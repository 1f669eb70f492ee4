#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/deadline.h"
#include "platform/posix/poll_until.h"
#include "platform/socket.h"

namespace wpl {
namespace {

using posix::PollUntil;

class PosixSocket : public Socket {
 public:
  explicit PosixSocket(int fd) : fd_(fd) {}
  ~PosixSocket() override { ::close(fd_); }

  bool Connect(Ipv4Address address, uint16_t port, Millis limit) override {
    const Deadline deadline(limit);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    std::memcpy(&sa.sin_addr.s_addr, address.octets.data(), 4);
    // Non-blocking for the connect alone, so that its wait has our limit and
    // not the system's; the exchange itself uses blocking calls bounded by
    // poll().
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) < 0) return false;
    bool connected = ::connect(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    const int e = errno;
    // EINTR: the connect goes on in the background, like EINPROGRESS.
    if (!connected && (e == EINPROGRESS || e == EINTR)) connected = Established(deadline);
    return ::fcntl(fd_, F_SETFL, flags) == 0 && connected;
  }

  int64_t Send(std::span<const uint8_t> bytes) override {
    for (;;) {
      // No SIGPIPE when the terminal has gone: the error comes back as -1.
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n >= 0) return n;
      if (errno != EINTR) return -1;
    }
  }

  ReceiveResult Receive(std::span<uint8_t> out, Millis limit) override {
    if (out.empty()) return {ReceiveStatus::kBytes, 0};
    const Deadline deadline(limit);
    for (;;) {
      const int ready = PollUntil(fd_, POLLIN, deadline);
      if (ready == 0) return {ReceiveStatus::kTimedOut, 0};
      if (ready < 0) return {ReceiveStatus::kError, 0};
      const ssize_t n = ::recv(fd_, out.data(), out.size(), 0);
      if (n > 0) return {ReceiveStatus::kBytes, static_cast<size_t>(n)};
      if (n == 0) return {ReceiveStatus::kClosed, 0};
      const int e = errno;
      if (e != EINTR && e != EAGAIN && e != EWOULDBLOCK) return {ReceiveStatus::kError, 0};
    }
  }

 private:
  // Waits for a connect in progress until the deadline and reads its outcome.
  bool Established(const Deadline& deadline) {
    if (PollUntil(fd_, POLLOUT, deadline) <= 0) return false;
    int error = 0;
    socklen_t len = sizeof error;
    return ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
  }

  int fd_;
};

class PosixSockets : public Sockets {
 public:
  bool Startup() override { return true; }  // nothing to start on POSIX

  std::unique_ptr<Socket> Create() override {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    // Every send goes out as it is made: the terminals want their paced
    // pieces (a lone 0x15, then single bytes) apart. With Nagle's rule a
    // piece would wait for the ACK of the one before, which the terminal
    // delays, 40 ms a piece.
    const int on = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return std::make_unique<PosixSocket>(fd);
  }
};

}  // namespace

Sockets& SystemSockets() {
  static PosixSockets sockets;
  return sockets;
}

}  // namespace wpl
