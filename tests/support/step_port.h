// A serial port whose far end hands out its bytes piece by piece and then
// falls silent, counting what the host writes: the far end of the tests and
// fuzz targets where no terminal model answers. It needs only the platform
// and the virtual clock, so the fuzz targets use it too.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "platform/env.h"
#include "virtual_clock.h"

namespace wpl::testing {

// `bytes`, at most `step` at a time.
class FixedSteps {
 public:
  FixedSteps(std::span<const uint8_t> bytes, size_t step) : bytes_(bytes), step_(step) {}
  size_t operator()(std::span<uint8_t> out) {
    const size_t n = std::min({out.size(), step_, bytes_.size() - pos_});
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
    pos_ += n;
    return n;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t step_, pos_ = 0;
};

// Bytes that cut themselves into pieces: the first byte of each piece says
// how long it is (1 to 64). A read with less room takes the head of the
// piece; the byte after it starts the next one.
class LengthLedPieces {
 public:
  explicit LengthLedPieces(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t operator()(std::span<uint8_t> out) {
    if (pos_ >= bytes_.size()) return 0;
    const size_t piece = 1 + bytes_[pos_++] % 64;
    const size_t n = std::min({piece, out.size(), bytes_.size() - pos_});
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
    pos_ += n;
    return n;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// The port over a source of the far end's bytes: a callable that copies its
// next piece (at most out.size() bytes) into `out` and says how long it was,
// 0 for silence.
template <class Pieces>
class StepPort : public SerialPort {
 public:
  StepPort(Pieces pieces, FakeClock& clock) : pieces_(std::move(pieces)), clock_(clock) {}
  bool Configure(const LineConfig&) override { return true; }
  size_t Write(std::span<const uint8_t> b) override {
    written += b.size();
    return b.size();
  }
  // Silence reads like a port's read timeout: 5 ms on the clock.
  size_t Read(std::span<uint8_t> out) override {
    const size_t n = pieces_(out);
    if (n == 0) {
      clock_.Sleep(Millis{5});
      return 0;
    }
    pos_ += n;
    return n;
  }
  // The bytes handed out so far.
  size_t pos() const { return pos_; }
  size_t written = 0;

 private:
  Pieces pieces_;
  FakeClock& clock_;
  size_t pos_ = 0;
};

}  // namespace wpl::testing
