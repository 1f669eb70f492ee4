// For fuzz targets: a clock that moves only when slept on, and a port that
// hands out a peer's bytes a few at a time and then falls silent, counting
// what the host writes.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/env.h"

namespace wpl::testing {

class StepClock : public Clock {
 public:
  Nanos Now() override { return now; }
  void Sleep(Millis d) override { now += d; }
  LocalTime Local() override { return {}; }
  Nanos now{0};
};

class StepPort : public SerialPort {
 public:
  StepPort(std::span<const uint8_t> bytes, size_t step, StepClock& clock)
      : bytes_(bytes), step_(step), clock_(clock) {}
  bool Configure(const LineConfig&) override { return true; }
  size_t Write(std::span<const uint8_t> b) override {
    written += b.size();
    return b.size();
  }
  // Silence reads like a port's read timeout: 5 ms on the clock.
  size_t Read(std::span<uint8_t> out) override {
    const size_t n = std::min({out.size(), step_, bytes_.size() - pos_});
    if (n == 0) {
      clock_.Sleep(Millis{5});
      return 0;
    }
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
    pos_ += n;
    return n;
  }
  size_t pos() const { return pos_; }
  size_t written = 0;

 private:
  std::span<const uint8_t> bytes_;
  size_t step_, pos_ = 0;
  StepClock& clock_;
};

}  // namespace wpl::testing
