// The link to a fingerprint module: the port opened at 9600, one module
// packet out, the reply header and data part in, each under a silence limit,
// and the closing marker of a terminal that lent its line to its module.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "fingerprint/module_packet.h"
#include "platform/env.h"

namespace wpl::fingerprint {

// What the module answered, or why not. Each call has a buffer of its own,
// so calls on different ports may run side by side.
struct ModuleBuffer {
  std::array<uint8_t, kModuleBufferSize> bytes{};
  std::span<uint8_t, kModulePacketSize> Header() {
    return std::span(bytes).first<kModulePacketSize>();
  }
  std::span<uint8_t> Data(size_t length) {
    return std::span(bytes).subspan(kModulePacketSize, length);
  }
};

enum class ReplyOutcome {
  kDone,
  kNoHeader,   // fewer than 12 header bytes before the silence limit
  kTooLong,    // a data part longer than the buffer holds: refused unread
  kShortData,  // fewer data bytes than announced before the silence limit
};

struct ModuleReply {
  ReplyOutcome outcome = ReplyOutcome::kNoHeader;
  ReplyHeader header;
  std::span<const uint8_t> data;  // in the buffer, after the header
  bool ok() const { return outcome == ReplyOutcome::kDone; }
};

// Silence limits of the module link.
constexpr Millis kHeaderSilence{6000};
constexpr Millis kDataSilence{3000};

// Ports tried for a module that the host names directly: its own, then the
// following ones, once each.
constexpr int kModulePortSearch = 6;
// A port the terminal answered on is reopened as the module link this many
// times, kReopenPause apart, and never exchanged for another: a module
// command (delete-all, say) must not reach another device.
constexpr int kModuleReopenTries = 3;
constexpr Millis kReopenPause{100};

// OpenModulePort on `port`, then on the ports after it, one pass at most.
std::unique_ptr<SerialPort> FindModulePort(Env& env, int port);
// OpenModulePort on `port` only, a few tries.
std::unique_ptr<SerialPort> ReopenModulePort(Env& env, int port);

// Writes the 12 bytes in one write.
void SendModulePacket(SerialPort& port, const ModulePacket& packet);

// Receives the header (silence `headerLimit`) and, when `dataLimit` is
// given, the data part it announces. The data part is never read past the
// buffer.
ModuleReply ReceiveReply(Env& env, SerialPort& port, ModuleBuffer& buffer, Millis headerLimit,
                         std::optional<Millis> dataLimit);

// Receives 4 bytes into the start of the buffer (silence `limit`): true for
// 06 15 06 15. The status byte of the header is left as it was.
bool ReceiveClosingMarker(Env& env, SerialPort& port, ModuleBuffer& buffer, Millis limit);

// The whole conversation with a module named directly: open (searching the
// ports), send, receive, close. The status byte, or nothing on failure.
std::optional<uint8_t> ModuleCommand(Env& env, int32_t port, uint8_t command,
                                     const ModuleParams& params);

}  // namespace wpl::fingerprint
