// The serial command exchange: port openers, the command frame on the wire,
// the acknowledgement wait, the parameter block, and the attempt and port-scan
// loop that finds a terminal whose speed and port the host does not know.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/env.h"

namespace wpl::link {

// Openers. Each returns nullptr where the protocol's openers give the
// failure value 4: the port is absent or held by another program.
std::unique_ptr<SerialPort> OpenCommPort(Env& env, int port, int32_t attempt);
std::unique_ptr<SerialPort> OpenCommPortTwoStop(Env& env, int port);
std::unique_ptr<SerialPort> OpenModemPort(Env& env, int port);
std::unique_ptr<SerialPort> OpenCommPortAtSpeed(Env& env, int port, int32_t speedCode);
std::unique_ptr<SerialPort> OpenModulePort(Env& env, int port);

// Speed of OpenCommPort for an attempt: 57600 on even attempts, 19200 on odd
// ones (mathematical parity, so -1 is odd).
uint32_t AttemptSpeed(int32_t attempt);
// Speed of OpenCommPortAtSpeed for a code; empty keeps the port's speed.
std::optional<uint32_t> SpeedForCode(int32_t code);

// The port after p in the scan: p + 1, or 1 past 6.
int NextPort(int port);

// Writes the 14-byte frame as five writes: the signature, then four bytes.
void SendCommandFrame(SerialPort& port, uint8_t address, uint8_t command);
// Writes the parameter block for the payload in one write.
void SendParameterBlock(SerialPort& port, std::span<const uint8_t> payload);
void SendByte(SerialPort& port, uint8_t byte);

// True when the first byte to arrive within the limit (a total limit, ended
// only once strictly exceeded) is ACK; any other byte fails at once.
bool WaitAck(Env& env, SerialPort& port, Millis limit);

enum class LimitKind {
  kSilence,  // restarted whenever bytes arrive
  kTotal,    // counted from the start of the read
};

// Reads until `count` bytes are in `out` (asking only for what is missing) or
// the limit has passed. Returns the bytes received; never writes past
// out.size().
size_t ReadBytes(Env& env, SerialPort& port, std::span<uint8_t> out, size_t count, Millis limit,
                 LimitKind kind = LimitKind::kSilence);

struct CommandLink {
  std::unique_ptr<SerialPort> port;
  int portNumber = 0;
  uint32_t baud = 0;  // the speed of the attempt that was acknowledged
};

// Consecutive ports that fail to open before a scan gives up. Six covers
// every port of the scan once, so a single port that opens keeps it going.
constexpr int kUnopenablePortLimit = 6;
constexpr int32_t kLastAttempt = 8;

// Opens, sends the frame and waits for ACK, at most nine attempts: 57600 then
// 19200 on each port, the next port after every second failed attempt. A
// port that fails to open moves the scan on without counting an attempt; six
// such ports in a row end the scan. On success the port is left open.
std::optional<CommandLink> RunCommandAttempts(Env& env, int32_t address, int32_t port,
                                              uint8_t command, Millis ackLimit);

}  // namespace wpl::link
