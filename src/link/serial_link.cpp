#include "link/serial_link.h"

#include "link/command_frame.h"

namespace wpl::link {
namespace {

constexpr uint32_t kFast = 57600;
constexpr uint32_t kSlow = 19200;

// What a port is opened with: speed (empty keeps the current one), stop bits
// and the pause that lets the line settle before the first byte.
std::unique_ptr<SerialPort> OpenConfigured(Env& env, int port, std::optional<uint32_t> baud,
                                           int stopBits, Millis settle) {
  auto p = env.serial->Open(port);
  if (!p) return nullptr;
  // A port that opens is used even when its configuration is refused.
  (void)p->Configure(LineConfig{baud, stopBits});
  env.clock->Sleep(settle);
  return p;
}

constexpr Millis kSettle{30};
constexpr Millis kModuleSettle{3};

}  // namespace

uint32_t AttemptSpeed(int32_t attempt) { return attempt % 2 == 0 ? kFast : kSlow; }

std::optional<uint32_t> SpeedForCode(int32_t code) {
  static constexpr uint32_t kSpeeds[] = {57600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};
  if (code < 0 || code > 7) return std::nullopt;
  return kSpeeds[code];
}

std::unique_ptr<SerialPort> OpenCommPort(Env& env, int port, int32_t attempt) {
  return OpenConfigured(env, port, AttemptSpeed(attempt), 1, kSettle);
}
std::unique_ptr<SerialPort> OpenCommPortTwoStop(Env& env, int port) {
  return OpenConfigured(env, port, kSlow, 2, kSettle);
}
std::unique_ptr<SerialPort> OpenModemPort(Env& env, int port) {
  return OpenConfigured(env, port, 9600, 1, kSettle);
}
std::unique_ptr<SerialPort> OpenCommPortAtSpeed(Env& env, int port, int32_t speedCode) {
  return OpenConfigured(env, port, SpeedForCode(speedCode), 1, kSettle);
}
std::unique_ptr<SerialPort> OpenModulePort(Env& env, int port) {
  return OpenConfigured(env, port, 9600, 1, kModuleSettle);
}

int NextPort(int port) { return port + 1 > 6 ? 1 : port + 1; }

void SendByte(SerialPort& port, uint8_t byte) { port.Write(std::span(&byte, 1)); }

void SendCommandFrame(SerialPort& port, uint8_t address, uint8_t command) {
  const auto frame = BuildCommandFrame(address, command);
  port.Write(std::span(frame.data(), kSignature.size()));
  for (size_t i = kSignature.size(); i < frame.size(); ++i) SendByte(port, frame[i]);
}

void SendParameterBlock(SerialPort& port, std::span<const uint8_t> payload) {
  const auto block = BuildParameterBlock(payload);
  port.Write(block);
}

bool WaitAck(Env& env, SerialPort& port, Millis limit) {
  uint8_t byte = 0;
  return ReadBytes(env, port, std::span(&byte, 1), 1, limit, LimitKind::kTotal) == 1 &&
         byte == kAck;
}

size_t ReadBytes(Env& env, SerialPort& port, std::span<uint8_t> out, size_t count, Millis limit,
                 LimitKind kind) {
  if (count > out.size()) count = out.size();
  size_t got = 0;
  Stopwatch watch(*env.clock);
  while (got < count) {
    size_t n = port.Read(out.subspan(got, count - got));
    if (n > 0) {
      got += n;
      if (kind == LimitKind::kSilence) watch.Restart();
      continue;
    }
    // A device that is gone will bring nothing more: no use waiting out the limit.
    if (port.Lost() || watch.Exceeded(limit)) break;
  }
  return got;
}

std::optional<CommandLink> RunCommandAttempts(Env& env, int32_t address, int32_t port,
                                              uint8_t command, Millis ackLimit) {
  int p = port;
  int32_t attempt = 0;
  int unopenable = 0;
  for (;;) {
    auto open = OpenCommPort(env, p, attempt);
    if (!open) {
      // Not an attempt: the scan moves on, but only so far.
      if (++unopenable >= kUnopenablePortLimit) return std::nullopt;
      p = NextPort(p);
      continue;
    }
    unopenable = 0;
    SendCommandFrame(*open, static_cast<uint8_t>(address), command);
    const bool acked = WaitAck(env, *open, ackLimit);
    ++attempt;
    if (acked) return CommandLink{std::move(open), p, AttemptSpeed(attempt - 1)};
    if (attempt > kLastAttempt) return std::nullopt;
    if (attempt % 2 == 0) p = NextPort(p);
    // The port closes here; the next attempt reopens it at its own speed.
  }
}

}  // namespace wpl::link
