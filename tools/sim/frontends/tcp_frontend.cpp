#include "tcp_frontend.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "link/ipv4_text.h"
#include "pty_frontend.h"

namespace wpl::sim {

struct TcpFrontend::Terminal {
  std::string address;
  TerminalModel* model = nullptr;
  NetworkFaults faults;
  int listener = -1;
  int connection = -1;
  std::unique_ptr<NetworkSession> session;
};

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

int Listen(const Ipv4Address& address, uint16_t port, const std::string& text) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) Fail("socket");
  // A restarted simulator must not wait for the last one's connections to
  // leave TIME_WAIT.
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  std::memcpy(&sa.sin_addr.s_addr, address.octets.data(), 4);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 8) != 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    Fail("listen on " + text + ":" + std::to_string(port));
  }
  return fd;
}

}  // namespace

TcpFrontend::TcpFrontend(std::FILE* log, uint16_t port) : log_(log), port_(port) {}

TcpFrontend::~TcpFrontend() {
  for (auto& t : terminals_) {
    t->session.reset();
    if (t->connection >= 0) ::close(t->connection);
    if (t->listener >= 0) ::close(t->listener);
  }
}

void TcpFrontend::Add(const std::string& address, TerminalModel& model, NetworkFaults faults) {
  const auto ip = link::ParseIpv4(address.c_str());
  // Tests and demos stay on this machine: only loopback addresses are served.
  if (!ip || ip->octets[0] != 127)
    throw std::runtime_error("not a loopback address (127.x.y.z): " + address);
  auto t = std::make_unique<Terminal>();
  t->address = address;
  t->model = &model;
  t->faults = std::move(faults);
  t->listener = Listen(*ip, port_, address);
  terminals_.push_back(std::move(t));
}

void TcpFrontend::Log(const Terminal& t, const char* what, const uint8_t* bytes, size_t n) {
  if (!log_) return;
  // One write a line: the pty front-end may share the log from its thread.
  char head[64];
  std::snprintf(head, sizeof head, "%.6f ", std::chrono::duration<double>(MonotonicNow()).count());
  std::string line = head + t.address + " " + what;
  for (size_t i = 0; i < n; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    line += hex;
  }
  line += '\n';
  std::fputs(line.c_str(), log_);
  std::fflush(log_);
}

void TcpFrontend::Accept(Terminal& t) {
  const int fd = ::accept4(t.listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  // A terminal answers a byte at a time; each answer goes out at once.
  const int on = 1;
  (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  t.connection = fd;
  t.session = std::make_unique<NetworkSession>(*t.model, t.faults, MonotonicNow());
  Log(t, "connected", nullptr, 0);
}

void TcpFrontend::Hangup(Terminal& t) {
  t.session.reset();
  ::close(t.connection);
  t.connection = -1;
  Log(t, "closed", nullptr, 0);
}

void TcpFrontend::ReadFrom(Terminal& t) {
  uint8_t buf[4096];
  const ssize_t n = ::recv(t.connection, buf, sizeof buf, 0);
  if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (n <= 0) {
    Hangup(t);  // the host closed, or the connection broke
    return;
  }
  Log(t, "rx", buf, static_cast<size_t>(n));
  t.session->Receive(std::span(buf, static_cast<size_t>(n)), MonotonicNow());
}

void TcpFrontend::SendDue(Terminal& t) {
  uint8_t buf[4096];
  for (;;) {
    const size_t n = t.session->Transmit(buf, MonotonicNow());
    if (n == 0) break;
    Log(t, "tx", buf, n);
    size_t off = 0;
    while (off < n) {
      const ssize_t w = ::send(t.connection, buf + off, n - off, MSG_NOSIGNAL);
      if (w > 0) {
        off += static_cast<size_t>(w);
      } else if (w < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd p{t.connection, POLLOUT, 0};
        ::poll(&p, 1, 50);
      } else {
        break;  // the host has gone; the read side notices
      }
    }
  }
}

void TcpFrontend::Run(const std::atomic<bool>& stop, const std::function<void()>& idle) {
  std::vector<pollfd> fds;
  while (!stop.load()) {
    if (idle) idle();
    int timeoutMs = 50;
    fds.clear();
    for (auto& t : terminals_) {
      if (t->session) {
        SendDue(*t);
        if (t->session->HungUp()) Hangup(*t);
      }
      if (t->session) {
        if (auto due = t->session->NextDue()) {
          const auto wait = std::chrono::ceil<Millis>(*due - MonotonicNow()).count();
          timeoutMs = std::min(timeoutMs, static_cast<int>(std::clamp<long long>(wait, 0, 50)));
        }
      }
      // One connection at a time: further hosts wait in the listen queue.
      fds.push_back({t->connection >= 0 ? t->connection : t->listener, POLLIN, 0});
    }
    const int r = ::poll(fds.data(), fds.size(), timeoutMs);
    if (r <= 0) continue;
    for (size_t i = 0; i < terminals_.size(); ++i) {
      Terminal& t = *terminals_[i];
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      if (fds[i].fd == t.listener) {
        Accept(t);
      } else {
        ReadFrom(t);
        if (t.session && t.session->HungUp()) Hangup(t);
      }
    }
  }
}

}  // namespace wpl::sim
