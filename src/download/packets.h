// The packets of the block download: a header with the record count, data
// packets of up to 168 payload bytes (28 records), and an end packet with the
// total checksum. Checked and decoded by pure functions over the bytes that
// actually arrived; nothing is trusted beyond them.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace wpl::download {

// Host-to-terminal bytes of the transfer.
constexpr uint8_t kReady = 0x15;   // host ready; also "unexpected sequence" and end answer
constexpr uint8_t kResend = 0xF9;  // the packet just received was short or bad

constexpr size_t kHeaderSize = 8;
constexpr size_t kPacketOverhead = 6;  // start, seq, ~seq, len, ~len, checksum
constexpr size_t kMaxPayload = 168;
constexpr size_t kMaxDataPacket = kMaxPayload + kPacketOverhead;  // 174
constexpr size_t kEndPacketSize = 18;
constexpr size_t kReceiveBufferSize = 256;
constexpr size_t kRecordSize = 6;
constexpr std::array<uint8_t, 10> kEndPattern = {0x55, 0xAA, 0x55, 0xAA, 0x55,
                                                 0xAA, 0x55, 0xAA, 0x55, 0xAA};

// The record count of a header; type byte 3 adds 65536 where allowed.
enum class CountRule {
  kExtended,  // serial and network: type 3 means count + 65536
  kModem,     // type must be 2, no extension
};

// The record count of a valid header (sequence 0, complements, checksum of
// the count bytes), or nothing.
std::optional<uint32_t> ParseHeader(std::span<const uint8_t> b,
                                    CountRule rule = CountRule::kExtended);

// Whether bytes 1-4 carry a sequence number and a length with their
// complements (needs at least 5 bytes).
bool HeadIsConsistent(std::span<const uint8_t> b);

// A data or end packet as received: complements of bytes 1 and 3 hold, and
// the last byte is the sum of the bytes from offset 5 up to the one before it.
// Needs at least kPacketOverhead bytes.
bool PacketChecks(std::span<const uint8_t> b);

// The payload of a checked packet: the bytes from offset 5 up to the checksum.
inline std::span<const uint8_t> Payload(std::span<const uint8_t> b) {
  return b.subspan(5, b.size() - kPacketOverhead);
}

// The total checksum of a valid end packet with sequence number `expected`:
// all 18 bytes, checks as PacketChecks, the 0x55/0xAA pattern at 7..16.
std::optional<uint16_t> ParseEndPacket(std::span<const uint8_t> b, uint8_t expected);

// Building packets (terminal side; used by the simulator and the tests).
std::array<uint8_t, kHeaderSize> BuildHeader(uint32_t count, uint8_t start = 0x02);
// seq, payload (at most 255 bytes); the result has payload.size() + 6 bytes.
size_t BuildDataPacket(uint8_t seq, std::span<const uint8_t> payload, std::span<uint8_t> out,
                       uint8_t start = 0x02);
std::array<uint8_t, kEndPacketSize> BuildEndPacket(uint8_t seq, uint16_t total,
                                                   uint8_t start = 0x02);

}  // namespace wpl::download
