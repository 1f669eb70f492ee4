#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/posix_platform.h"

namespace wpl {
namespace {

// The read timeout of the line: a read with nothing to deliver returns after
// this long, like a port whose interval and total timeouts are all 5 ms.
constexpr int kReadTimeoutMs = 5;

speed_t SpeedCode(uint32_t baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
  }
}

int MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

// Waits for `events` on fd for at most timeoutMs, restarting after signals
// with the time that is left.
bool PollFor(int fd, short events, int timeoutMs) {
  const int deadline = MonotonicMs() + timeoutMs;
  for (;;) {
    pollfd p{fd, events, 0};
    int left = deadline - MonotonicMs();
    if (left < 0) left = 0;
    int r = ::poll(&p, 1, left);
    if (r > 0) return (p.revents & events) != 0;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

class PosixSerialPort : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd) {}
  ~PosixSerialPort() override { ::close(fd_); }

  bool Configure(const LineConfig& config) override {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return false;
    // Raw bytes both ways; hardware flow control is left as the port had it.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    if (config.stopBits == 2) tio.c_cflag |= CSTOPB;
    // Reads are bounded by poll(), never by VTIME.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    bool ok = true;
    if (config.baud) {
      speed_t s = SpeedCode(*config.baud);
      if (s == B0) {
        ok = false;
      } else {
        cfsetispeed(&tio, s);
        cfsetospeed(&tio, s);
      }
    }
    return tcsetattr(fd_, TCSANOW, &tio) == 0 && ok;
  }

  size_t Write(std::span<const uint8_t> bytes) override {
    size_t done = 0;
    // Like a write total timeout of 5 ms + 5 ms per byte.
    const int budget = kReadTimeoutMs + kReadTimeoutMs * static_cast<int>(bytes.size());
    const int deadline = MonotonicMs() + budget;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) break;
      int left = deadline - MonotonicMs();
      if (left <= 0 || !PollFor(fd_, POLLOUT, left)) break;
    }
    return done;
  }

  size_t Read(std::span<uint8_t> out) override {
    if (out.empty()) return 0;
    if (!PollFor(fd_, POLLIN, kReadTimeoutMs)) return 0;
    for (;;) {
      ssize_t n = ::read(fd_, out.data(), out.size());
      if (n > 0) return static_cast<size_t>(n);
      if (n < 0 && errno == EINTR) continue;
      return 0;
    }
  }

 private:
  int fd_;
};

}  // namespace

std::string PosixSerialPorts::DevicePath(int number) {
  std::string var = "W_PCLOG_COM" + std::to_string(number);
  if (const char* mapped = std::getenv(var.c_str()); mapped && *mapped) return mapped;
  return "/dev/ttyS" + std::to_string(number - 1);
}

std::unique_ptr<SerialPort> PosixSerialPorts::Open(int number) {
  if (number < 0) return nullptr;
  std::string path = DevicePath(number);
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // Exclusive use: TIOCEXCL does not stop root, an advisory lock held by every
  // opener of this library does.
  if (!isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  // A freshly opened port starts with empty queues, as a serial driver's do:
  // nothing that arrived while the port was closed is delivered.
  ::tcflush(fd, TCIOFLUSH);
  return std::make_unique<PosixSerialPort>(fd);
}

}  // namespace wpl
