#include "pty_frontend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
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

PtyFrontend::PtyFrontend(LinePeer& model, std::string linkPath, std::FILE* log, bool watchCloses)
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
  if (watchCloses) {
    // The settings stay with the pty while the master is open.
    opens_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (opens_ < 0 || ::inotify_add_watch(opens_, device_.c_str(), IN_OPEN) < 0)
      Fail("inotify " + device_);
    ::close(slave_);
    slave_ = -1;
  }
  ::unlink(link_.c_str());
  if (::symlink(device_.c_str(), link_.c_str()) != 0) Fail("symlink " + link_);
}

PtyFrontend::~PtyFrontend() {
  ::unlink(link_.c_str());
  if (opens_ >= 0) ::close(opens_);
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

LineState PtyFrontend::HostLine() const {
  // On the master the settings read are the slave's, the host's side.
  termios tio{};
  if (::tcgetattr(slave_ >= 0 ? slave_ : master_, &tio) != 0) return {1, 1};
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

void PtyFrontend::SendDue() {
  uint8_t buf[4096];
  const Nanos now = MonotonicNow();
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
}

bool PtyFrontend::ReadHost() {
  // The master blocks on reads: read only what poll says is there.
  pollfd p{master_, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) return false;
  uint8_t buf[4096];
  ssize_t n = ::read(master_, buf, sizeof buf);
  if (n <= 0) return false;
  const Nanos now = MonotonicNow();
  LineState line = HostLine();
  LogBytes(buf, static_cast<size_t>(n), line, now);
  model_.Receive(std::span(buf, static_cast<size_t>(n)), line, now);
  return true;
}

void PtyFrontend::Run(const std::atomic<bool>& stop, const std::function<void()>& idle) {
  while (!stop.load()) {
    if (idle) idle();
    // Send what is due; wait for host bytes until the next byte falls due.
    SendDue();
    // Wake for the next byte due with sub-millisecond precision: a paced
    // terminal sends a byte every 174 us at 57600 baud.
    Nanos wait = Millis{50};
    if (auto due = model_.NextDue()) wait = std::clamp(*due - MonotonicNow(), Nanos{0}, wait);
    const timespec timeout{0, static_cast<long>(wait.count())};
    // While nobody holds the other side the master reports a hang-up at
    // every poll: then only the opens are watched.
    const bool watchMaster = opens_ < 0 || hostHolds_;
    pollfd p[2] = {{master_, POLLIN, 0}, {opens_, POLLIN, 0}};
    const int r =
        ::ppoll(watchMaster ? p : p + 1, watchMaster ? (opens_ < 0 ? 1 : 2) : 1, &timeout, nullptr);
    if (r <= 0) continue;
    if (p[0].revents & POLLIN) ReadHost();
    if (opens_ >= 0 && (p[0].revents & POLLHUP)) {
      // The host's last open is closed: what it wrote before, then DTR.
      while (ReadHost()) {
      }
      hostHolds_ = false;
      model_.HostClosed(MonotonicNow());
    }
    // Opens announced after the close just seen belong to the next holder.
    if (opens_ >= 0 && (p[1].revents & POLLIN)) {
      alignas(inotify_event) char events[4096];
      while (::read(opens_, events, sizeof events) > 0) hostHolds_ = true;
    }
  }
}

}  // namespace wpl::sim
