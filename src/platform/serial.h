// Serial ports as the protocol needs them: 8 data bits, no parity, a speed and
// one or two stop bits; byte-stream reads that return within a few
// milliseconds when nothing arrives.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace wpl {

struct LineConfig {
  std::optional<uint32_t> baud;  // empty: keep the port's current speed
  int stopBits = 1;              // 1 or 2
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Applies 8N1/8N2 at the given speed. Failures are reported but the
  // protocol ignores them: a port that opened is used.
  virtual bool Configure(const LineConfig& config) = 0;
  // Writes every byte, going on while the line drains for as long as it
  // needs for them; returns the bytes written, fewer on a failed write.
  virtual size_t Write(std::span<const uint8_t> bytes) = 0;
  // Returns as soon as at least one byte is there (up to out.size()), or
  // after about 5 ms with none. Errors read as "no byte".
  virtual size_t Read(std::span<uint8_t> out) = 0;
  // The device is gone (unplugged, or the far end of a pty closed): no byte
  // will ever arrive, so a wait on it can end at once.
  virtual bool Lost() const { return false; }
};

class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // Opens port `number` exclusively; nullptr when it is absent or held.
  virtual std::unique_ptr<SerialPort> Open(int number) = 0;
};

}  // namespace wpl
