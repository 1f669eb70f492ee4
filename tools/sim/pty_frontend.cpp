#include "pty_frontend.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace wpl::sim {
namespace {

uint32_t BaudOf(speed_t s) {
  switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 1;  // a speed no terminal listens at
  }
}

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

Nanos MonotonicNow() {
  return std::chrono::duration_cast<Nanos>(std::chrono::steady_clock::now().time_since_epoch());
}

PtyFrontend::PtyFrontend(TerminalModel& model, std::string linkPath, std::FILE* log)
    : model_(model), link_(std::move(linkPath)), log_(log) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) Fail("posix_openpt");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) Fail("grantpt/unlockpt");
  const char* name = ::ptsname(master_);
  if (!name) Fail("ptsname");
  device_ = name;
  slave_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) Fail("open " + device_);
  // Raw from the start: an echoing line would hand the terminal its own bytes.
  termios tio{};
  ::tcgetattr(slave_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(slave_, TCSANOW, &tio);
  ::unlink(link_.c_str());
  if (::symlink(device_.c_str(), link_.c_str()) != 0) Fail("symlink " + link_);
}

PtyFrontend::~PtyFrontend() {
  ::unlink(link_.c_str());
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

LineState PtyFrontend::HostLine() const {
  termios tio{};
  if (::tcgetattr(slave_, &tio) != 0) return {1, 1};
  return {BaudOf(::cfgetospeed(&tio)), (tio.c_cflag & CSTOPB) ? 2 : 1};
}

void PtyFrontend::LogBytes(const uint8_t* bytes, size_t n, LineState line, Nanos now) {
  if (!log_) return;
  std::fprintf(log_, "%.6f %u %d", std::chrono::duration<double>(now).count(), line.baud,
               line.stopBits);
  for (size_t i = 0; i < n; ++i) std::fprintf(log_, " %02X", bytes[i]);
  std::fputc('\n', log_);
  std::fflush(log_);
}

void PtyFrontend::Run(const std::atomic<bool>& stop, const std::function<void()>& idle) {
  uint8_t buf[4096];
  while (!stop.load()) {
    if (idle) idle();
    Nanos now = MonotonicNow();
    // Send what is due; wait for host bytes until the next byte falls due.
    for (;;) {
      size_t n = model_.Transmit(buf, now);
      if (n == 0) break;
      size_t off = 0;
      while (off < n) {
        ssize_t w = ::write(master_, buf + off, n - off);
        if (w > 0) {
          off += static_cast<size_t>(w);
        } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
          break;
        }
      }
    }
    // Wake for the next byte due with sub-millisecond precision: a paced
    // terminal sends a byte every 174 us at 57600 baud.
    Nanos wait = Millis{50};
    if (auto due = model_.NextDue()) wait = std::clamp(*due - MonotonicNow(), Nanos{0}, wait);
    const timespec timeout{0, static_cast<long>(wait.count())};
    pollfd p{master_, POLLIN, 0};
    int r = ::ppoll(&p, 1, &timeout, nullptr);
    if (r <= 0 || !(p.revents & POLLIN)) continue;
    ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) continue;
    now = MonotonicNow();
    LineState line = HostLine();
    LogBytes(buf, static_cast<size_t>(n), line, now);
    model_.Receive(std::span(buf, static_cast<size_t>(n)), line, now);
  }
}

}  // namespace wpl::sim
