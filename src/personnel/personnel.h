// The personnel tables of a terminal: display names by person number, voice
// prompt entries, and the card-only list. Each operation is one command
// exchange, serial or network, whose row in the command tables gives its
// pauses and waits; this file builds the payloads and runs the rows. The
// library gives the values no meaning: person numbers and 16-bit values go
// high byte first, the others by their low byte.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/lan_connection.h"
#include "link/serial_command.h"
#include "platform/env.h"

namespace wpl::personnel {

using Text = std::span<const uint8_t>;
using Payload = std::vector<uint8_t>;

// A name goes whole or not at all: N = L + 2 must fit the block's length
// byte, and a cut name would be another name.
constexpr size_t kMaxNameBytes = 253;
// The voice text area holds 100 bytes, the text and its zero.
constexpr size_t kMaxVoiceText = 99;
constexpr size_t kVoiceValues = 13;
// The fixed part of a voice entry: the thirteen values in 16 bytes, and L.
constexpr size_t kVoiceHead = 17;

using VoiceValues = std::span<const int32_t, kVoiceValues>;

bool NameFits(Text name);
bool VoiceTextFits(Text text);

// Person number high, low, then the name's bytes.
Payload NamePayload(int32_t person, Text name);
// First person number high, low, second high, low.
Payload ChangePayload(int32_t first, int32_t second);
// The thirteen values (2, 3 and 5 as 16-bit numbers), L, and the L bytes of
// the text area: the text up to its first zero, that zero, then 0xFF.
Payload VoicePayload(VoiceValues values, Text text);
// A 16-bit number high byte first: the voice number of a deletion (0: all).
Payload HighLow(int32_t value);

// The card-only list's operations: the first payload byte of command 0x03.
enum class CardOnlyOp : uint8_t { kAdd = 0x00, kRemove = 0x01, kClear = 0x02 };
Payload CardOnlyPayload(CardOnlyOp op, int32_t person);

// Serial: the terminal `address`, the scan starting at `port`. A name or a
// text that does not fit fails (kUnanswered) before any port is opened.
link::SerialResult SendName(Env& env, int32_t address, int32_t port, int32_t person, Text name);
link::SerialResult ChangeNameId(Env& env, int32_t address, int32_t port, int32_t first,
                                int32_t second);
link::SerialResult DeleteAllNames(Env& env, int32_t address, int32_t port);
link::SerialResult SendVoice(Env& env, int32_t address, int32_t port, VoiceValues values,
                             Text text);
link::SerialResult DeleteVoice(Env& env, int32_t address, int32_t port, int32_t voice);
link::SerialResult DeleteAllVoices(Env& env, int32_t address, int32_t port);
link::SerialResult CardOnly(Env& env, int32_t address, int32_t port, CardOnlyOp op,
                            int32_t person = 0);

// Network: the terminal's address as text. A name that does not fit fails
// (kNoConnection) before any connection is made.
link::LanResult LanSendName(Env& env, const char* ip, int32_t person, Text name);
link::LanResult LanChangeNameId(Env& env, const char* ip, int32_t first, int32_t second);
link::LanResult LanDeleteAllNames(Env& env, const char* ip);
link::LanResult LanDeleteVoice(Env& env, const char* ip, int32_t voice);
link::LanResult LanDeleteAllVoices(Env& env, const char* ip);
// The network voice load: the terminal greets each connection with 8 bytes
// before it hears anything. The greeting number (the first four bytes, high
// byte first) when the entry was acknowledged.
std::optional<uint32_t> LanSendVoice(Env& env, const char* ip, VoiceValues values, Text text);

}  // namespace wpl::personnel
