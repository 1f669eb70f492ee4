#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>

#include "platform/deadline.h"
#include "platform/full_write.h"
#include "platform/system.h"

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
    // The speed may be kept from before; everything else is set, whatever
    // the last program left in the port: records and templates are binary,
    // so XON/XOFF would swallow their 0x11 and 0x13, fNull their 0x00, and
    // abort-on-error would stall the port after one framing error; CTS/DSR
    // flow control and DSR sensitivity could hold or drop bytes. Should the
    // driver not report its settings, the line is still set: a port that
    // opens is used.
    bool ok = GetCommState(h_, &dcb) != 0;
    const DWORD keptBaud = ok ? dcb.BaudRate : CBR_57600;
    dcb = RawLine(config.baud.value_or(keptBaud), config.stopBits);
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
    return WriteFully(bytes, LineTime(bytes.size(), baud_, stopBits_) + kWriteMargin, writeSome,
                      MonotonicNow);
  }

  size_t Read(std::span<uint8_t> out) override {
    if (out.empty()) return 0;
    const Deadline deadline(kIdleRead);
    if (!lost_) {
      // Ask for what the driver already holds, or for one byte when it
      // holds nothing: the timeouts then end an idle read after about 10 ms
      // instead of 5 + 5n ms, and a read returns as soon as bytes are there.
      // With abort-on-error off, the status query and the read fail only
      // once the device is gone (a USB adapter pulled out; a pty whose far
      // end closed, under Wine, fails the query and reads as end of file),
      // and then they fail at once every time.
      DWORD errors = 0;
      COMSTAT status{};
      if (ClearCommError(h_, &errors, &status)) {
        const DWORD want = status.cbInQue > 0
                               ? static_cast<DWORD>(std::min<size_t>(status.cbInQue, out.size()))
                               : 1;
        DWORD got = 0;
        if (ReadFile(h_, out.data(), want, &got, nullptr)) return got;
      }
      lost_ = true;
    }
    // A read that brought nothing lasts its timeout even on a lost port, so
    // a caller that does not ask Lost() waits rather than spins.
    ::Sleep(static_cast<DWORD>(deadline.WaitMillis()));
    return 0;
  }

  bool Lost() const override { return lost_; }

 private:
  // 8 data bits, no parity, raw bytes both ways: binary, no flow control of
  // either kind, nothing stripped or replaced, errors not aborting reads,
  // DTR and RTS on (a modem and a converter powered from them see a host).
  static DCB RawLine(DWORD baud, int stopBits) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baud;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    return dcb;
  }

  // How long a read that finds nothing lasts: the 5 ms interval timeout
  // and the 5 ms total timeout of the one byte asked for.
  static constexpr Millis kIdleRead{2 * kTimeoutMs};

  HANDLE h_;
  uint32_t baud_ = 0;
  int stopBits_ = 1;
  bool lost_ = false;
};

}  // namespace

std::unique_ptr<SerialPort> SystemSerialPorts::Open(int number) {
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
