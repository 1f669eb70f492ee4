#include "download/packets.h"

#include <algorithm>

#include "link/command_frame.h"

namespace wpl::download {

using link::Checksum8;
using link::Complement;

std::optional<uint32_t> ParseHeader(std::span<const uint8_t> b, CountRule rule) {
  if (b.size() < kHeaderSize) return std::nullopt;
  if (b[2] != Complement(b[1]) || b[4] != Complement(b[3]) || b[1] != 0) return std::nullopt;
  if (b[7] != static_cast<uint8_t>(b[5] + b[6])) return std::nullopt;
  if (rule == CountRule::kModem && b[3] != 2) return std::nullopt;
  uint32_t count = b[5] * 256u + b[6];
  if (rule == CountRule::kExtended && b[3] == 3) count += 65536;
  return count;
}

bool HeadIsConsistent(std::span<const uint8_t> b) {
  return b.size() >= 5 && b[2] == Complement(b[1]) && b[4] == Complement(b[3]);
}

bool PacketChecks(std::span<const uint8_t> b) {
  if (b.size() < kPacketOverhead || !HeadIsConsistent(b)) return false;
  return Checksum8(Payload(b)) == b.back();
}

std::optional<uint16_t> ParseEndPacket(std::span<const uint8_t> b, uint8_t expected) {
  if (b.size() != kEndPacketSize || !PacketChecks(b) || b[1] != expected) return std::nullopt;
  if (!std::equal(kEndPattern.begin(), kEndPattern.end(), b.begin() + 7)) return std::nullopt;
  return static_cast<uint16_t>(b[5] * 256 + b[6]);
}

std::array<uint8_t, kHeaderSize> BuildHeader(uint32_t count, uint8_t start) {
  const uint8_t type = count >= 65536 ? 3 : 2;
  const auto hi = static_cast<uint8_t>(count >> 8), lo = static_cast<uint8_t>(count);
  return {start, 0x00, 0xFF, type, Complement(type), hi, lo, static_cast<uint8_t>(hi + lo)};
}

size_t BuildDataPacket(uint8_t seq, std::span<const uint8_t> payload, std::span<uint8_t> out,
                       uint8_t start) {
  const auto n = static_cast<uint8_t>(payload.size());
  out[0] = start;
  out[1] = seq;
  out[2] = Complement(seq);
  out[3] = n;
  out[4] = Complement(n);
  std::copy(payload.begin(), payload.end(), out.begin() + 5);
  out[5 + payload.size()] = Checksum8(payload);
  return payload.size() + kPacketOverhead;
}

std::array<uint8_t, kEndPacketSize> BuildEndPacket(uint8_t seq, uint16_t total, uint8_t start) {
  std::array<uint8_t, kEndPacketSize> p{};
  p[0] = start;
  p[1] = seq;
  p[2] = Complement(seq);
  p[3] = 12;
  p[4] = Complement(12);
  p[5] = static_cast<uint8_t>(total >> 8);
  p[6] = static_cast<uint8_t>(total);
  std::copy(kEndPattern.begin(), kEndPattern.end(), p.begin() + 7);
  p[17] = Checksum8(std::span(p).subspan(5, 12));
  return p;
}

}  // namespace wpl::download
