#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/deadline.h"
#include "platform/full_write.h"
#include "platform/posix/poll_until.h"
#include "platform/system.h"

namespace wpl {
namespace {

// The read timeout of the line: a read with nothing to deliver returns after
// this long, like a port whose interval and total timeouts are all 5 ms.
constexpr Millis kReadTimeout{5};

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

uint32_t BaudOf(speed_t code) {
  for (uint32_t baud : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u})
    if (SpeedCode(baud) == code) return baud;
  return 0;
}

// What a read's errno says about the device: these mean it is gone (a USB
// adapter pulled out, the far end of a pty closed), not that it is idle.
bool DeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

class PosixSerialPort : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd) {}
  ~PosixSerialPort() override { ::close(fd_); }

  bool Configure(const LineConfig& config) override {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return false;
    // Raw bytes both ways; hardware flow control is left as the port had it.
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    // HUPCL: closing the port drops DTR, so a modem on the line hangs up (no
    // hang-up command is ever sent), as closing a port does on Windows.
    tio.c_cflag |= CS8 | CREAD | CLOCAL | HUPCL;
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
    ok = tcsetattr(fd_, TCSANOW, &tio) == 0 && ok;
    baud_ = BaudOf(cfgetospeed(&tio));
    stopBits_ = config.stopBits;
    return ok;
  }

  size_t Write(std::span<const uint8_t> bytes) override {
    // The driver takes what fits its queue; the rest goes as the line drains.
    auto writeSome = [this](std::span<const uint8_t> rest) -> int64_t {
      for (;;) {
        const ssize_t n = ::write(fd_, rest.data(), rest.size());
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return -1;
        // Full: wait a moment for room rather than spin.
        return posix::PollUntil(fd_, POLLOUT, Deadline(kReadTimeout)) < 0 ? -1 : 0;
      }
    };
    return WriteFully(bytes, LineTime(bytes.size(), baud_, stopBits_) + kWriteMargin, writeSome,
                      MonotonicNow);
  }

  size_t Read(std::span<uint8_t> out) override {
    if (out.empty()) return 0;
    const Deadline deadline(kReadTimeout);
    if (!lost_) {
      const int revents = posix::PollUntil(fd_, POLLIN, deadline);
      if (revents > 0 && (revents & POLLIN)) {
        for (;;) {
          const ssize_t n = ::read(fd_, out.data(), out.size());
          if (n > 0) return static_cast<size_t>(n);
          if (n < 0 && errno == EINTR) continue;
          if (n < 0 && DeviceGone(errno)) lost_ = true;
          break;
        }
      }
      // A hang-up or an error and nothing to read: poll will say so at once
      // from now on (a pty whose far end closed reads as end of file).
      if (revents > 0 && (revents & (POLLHUP | POLLERR | POLLNVAL))) lost_ = true;
    }
    // A read that brought nothing lasts its timeout even on a lost port, so
    // a caller that does not ask Lost() waits rather than spins.
    if (lost_) std::this_thread::sleep_for(std::chrono::milliseconds(deadline.WaitMillis()));
    return 0;
  }

  bool Lost() const override { return lost_; }

 private:
  int fd_;
  uint32_t baud_ = 0;
  int stopBits_ = 1;
  bool lost_ = false;
};

// Port N is the device named by W_PCLOG_COM<N>, else /dev/ttyS<N-1>.
std::string DevicePath(int number) {
  const std::string mapped = EnvironmentVariable(("W_PCLOG_COM" + std::to_string(number)).c_str());
  return mapped.empty() ? "/dev/ttyS" + std::to_string(number - 1) : mapped;
}

}  // namespace

std::unique_ptr<SerialPort> SystemSerialPorts::Open(int number) {
  if (number < 0) return nullptr;
  const std::string path = DevicePath(number);
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
