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
  // Returns the number of bytes written; 0 on error.
  virtual size_t Write(std::span<const uint8_t> bytes) = 0;
  // Returns as soon as at least one byte is there (up to out.size()), or
  // after about 5 ms with none. Errors read as "no byte".
  virtual size_t Read(std::span<uint8_t> out) = 0;
};

class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // Opens port `number` exclusively; nullptr when it is absent or held.
  virtual std::unique_ptr<SerialPort> Open(int number) = 0;
};

}  // namespace wpl
