// The line-speed setting. It sends no command frame: a 40-byte preamble and
// a 13-byte speed request go out on the host's port at one speed after the
// other, fastest first, until the terminal answers ACK at the speed it
// listens at. No other port is tried.
#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "platform/env.h"

namespace wpl::settings {

// Speed codes of the attempts: 57600, 38400, 19200, 9600, 4800, 2400, 1200,
// and 57600 again.
constexpr std::array<int32_t, 8> kSpeedScan = {7, 6, 5, 4, 3, 2, 1, 7};
constexpr size_t kPreambleSize = 40;
constexpr size_t kSpeedRequestSize = 13;

struct SpeedResult {
  bool answered = false;  // the terminal answered ACK
  int attempts = 0;       // speeds tried
  uint32_t baud = 0;      // the speed it answered at
};

// Twenty 'c', then twenty 'j'.
std::array<uint8_t, kPreambleSize> SpeedPreamble();
// The low bytes of the twelve request values, then the low byte of `last`.
std::array<uint8_t, kSpeedRequestSize> SpeedRequest(int32_t last,
                                                    std::span<const int32_t, 12> request);

SpeedResult SetBaudRate(Env& env, int32_t port, int32_t last, std::span<const int32_t, 12> request);

}  // namespace wpl::settings
