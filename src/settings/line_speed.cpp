#include "settings/line_speed.h"

#include "link/serial_link.h"

namespace wpl::settings {
namespace {

// The answer to the request is awaited this long, counted from the request.
constexpr Millis kAnswerLimit{2000};

}  // namespace

std::array<uint8_t, kPreambleSize> SpeedPreamble() {
  std::array<uint8_t, kPreambleSize> p{};
  std::fill(p.begin(), p.begin() + kPreambleSize / 2, 'c');
  std::fill(p.begin() + kPreambleSize / 2, p.end(), 'j');
  return p;
}

std::array<uint8_t, kSpeedRequestSize> SpeedRequest(int32_t last,
                                                    std::span<const int32_t, 12> request) {
  std::array<uint8_t, kSpeedRequestSize> r{};
  for (size_t i = 0; i < request.size(); ++i) r[i] = static_cast<uint8_t>(request[i]);
  r.back() = static_cast<uint8_t>(last);
  return r;
}

SpeedResult SetBaudRate(Env& env, int32_t port, int32_t last,
                        std::span<const int32_t, 12> request) {
  const auto preamble = SpeedPreamble();
  const auto bytes = SpeedRequest(last, request);
  SpeedResult r;
  for (int32_t code : kSpeedScan) {
    auto open = link::OpenCommPortAtSpeed(env, port, code);
    if (!open) return r;  // this port only: no other is tried
    ++r.attempts;
    open->Write(preamble);
    open->Write(bytes);
    if (link::WaitAck(env, *open, kAnswerLimit)) {
      r.answered = true;
      r.baud = link::SpeedForCode(code).value_or(0);
      return r;
    }
    // The port closes here and reopens at the next speed.
  }
  return r;
}

}  // namespace wpl::settings
