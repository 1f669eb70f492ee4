// The value reply with which a terminal answers the SN queries: eight bytes
// after the handshake, checked, acknowledged with 0x06 and returned as a
// 16-bit value.
//
//   byte 0  lead byte (any value)
//   byte 1  block number, 0x00        byte 2  its complement
//   byte 3  payload length, 0x02      byte 4  its complement
//   byte 5  value, bits 8-15          byte 6  value, bits 0-7
//   byte 7  (byte 5 + byte 6) modulo 256
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/env.h"

namespace wpl::link {

constexpr size_t kValueReplySize = 8;
// The reply may come in pieces; it fails once this long passes without a byte.
constexpr Millis kValueReplySilence{10'000};
// What the queries return on any failure. A terminal whose true value is
// 65535 cannot be told from a failure.
constexpr uint16_t kNoValue = 0xFFFF;

// The checks in the order the terminal's reply is judged; the first that
// fails names the fault.
enum class ValueReplyCheck {
  kOk,
  kShort,             // fewer than 8 bytes came
  kBlockComplement,   // byte 1 != 255 - byte 2
  kLengthComplement,  // byte 3 != 255 - byte 4
  kBlockNumber,       // byte 1 != 0x00
  kLength,            // byte 3 != 0x02
  kChecksum,          // byte 7 != byte 5 + byte 6
};

// Judges the bytes received (any count; only the first 8 are looked at).
ValueReplyCheck CheckValueReply(std::span<const uint8_t> reply);
// The value of a reply that passes every check.
std::optional<uint16_t> ParseValueReply(std::span<const uint8_t> reply);

// Reads the reply (each read asking for every byte still missing), judges it
// and, when it is good, answers 0x06. A failed reply gets no answer.
std::optional<uint16_t> ReadValueReply(Env& env, SerialPort& port);

}  // namespace wpl::link
