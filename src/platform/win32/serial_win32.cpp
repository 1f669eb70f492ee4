#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>

#include "platform/full_write.h"
#include "platform/win32/win32_platform.h"

namespace wpl {
namespace {

// Driver queues and timeouts every opener sets. With all five timeouts at
// 5 ms a read of n bytes ends after at most 5 + 5n ms.
constexpr DWORD kQueueBytes = 1024;
constexpr DWORD kTimeoutMs = 5;

class Win32SerialPort : public SerialPort {
 public:
  explicit Win32SerialPort(HANDLE h) : h_(h) {}
  // Closing the port lowers DTR, so a modem on the line hangs up.
  ~Win32SerialPort() override { CloseHandle(h_); }

  bool Configure(const LineConfig& config) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    // Flow control and special characters stay as the port has them. Should
    // the driver not report its settings, the line is still set: a port
    // that opens is used.
    bool ok = GetCommState(h_, &dcb) != 0;
    if (!ok) {
      dcb = DCB{};
      dcb.DCBlength = sizeof dcb;
      dcb.fBinary = TRUE;
    }
    if (config.baud) dcb.BaudRate = *config.baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = config.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    ok = SetCommState(h_, &dcb) != 0 && ok;
    baud_ = dcb.BaudRate;
    stopBits_ = config.stopBits;
    ok = SetupComm(h_, kQueueBytes, kQueueBytes) != 0 && ok;
    COMMTIMEOUTS timeouts{kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs};
    ok = SetCommTimeouts(h_, &timeouts) != 0 && ok;
    return ok;
  }

  size_t Write(std::span<const uint8_t> bytes) override {
    // Each WriteFile ends after its 5 ms + 5 ms a byte with what the driver
    // took; the rest is written again while the line drains.
    auto writeSome = [this](std::span<const uint8_t> rest) -> int64_t {
      DWORD written = 0;
      if (!WriteFile(h_, rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr))
        return -1;
      return written;
    };
    auto now = [] { return SystemClock().Now(); };
    return WriteFully(bytes, LineTime(bytes.size(), baud_, stopBits_) + kWriteMargin, writeSome,
                      now);
  }

  size_t Read(std::span<uint8_t> out) override {
    if (out.empty()) return 0;
    // Ask for what the driver already holds, or for one byte when it holds
    // nothing: the timeouts then end an idle read after about 10 ms instead
    // of 5 + 5n ms, and a read returns as soon as bytes are there.
    DWORD want = 1;
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(h_, &errors, &status) && status.cbInQue > 0)
      want = static_cast<DWORD>(std::min<size_t>(status.cbInQue, out.size()));
    DWORD got = 0;
    if (!ReadFile(h_, out.data(), want, &got, nullptr)) return 0;
    return got;
  }

 private:
  HANDLE h_;
  uint32_t baud_ = 0;
  int stopBits_ = 1;
};

}  // namespace

std::unique_ptr<SerialPort> Win32SerialPorts::Open(int number) {
  // "com" and one character, 48 + N. Only digits name a port: any other
  // character would make a different device or path name.
  if (number < 0 || number > 9) return nullptr;
  const char name[] = {'c', 'o', 'm', static_cast<char>(48 + number), '\0'};
  // Exclusive (no sharing): a port held by another program fails to open.
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32SerialPort>(h);
}

}  // namespace wpl
