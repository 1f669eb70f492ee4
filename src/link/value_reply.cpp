#include "link/value_reply.h"

#include <array>

#include "link/command_frame.h"
#include "link/serial_link.h"

namespace wpl::link {

ValueReplyCheck CheckValueReply(std::span<const uint8_t> r) {
  if (r.size() < kValueReplySize) return ValueReplyCheck::kShort;
  if (r[1] != Complement(r[2])) return ValueReplyCheck::kBlockComplement;
  if (r[3] != Complement(r[4])) return ValueReplyCheck::kLengthComplement;
  if (r[1] != 0x00) return ValueReplyCheck::kBlockNumber;
  if (r[3] != 0x02) return ValueReplyCheck::kLength;
  if (r[7] != Checksum8(r.subspan(5, 2))) return ValueReplyCheck::kChecksum;
  return ValueReplyCheck::kOk;
}

std::optional<uint16_t> ParseValueReply(std::span<const uint8_t> r) {
  if (CheckValueReply(r) != ValueReplyCheck::kOk) return std::nullopt;
  return static_cast<uint16_t>(r[5] << 8 | r[6]);
}

std::optional<uint16_t> ReadValueReply(Env& env, SerialPort& port) {
  std::array<uint8_t, kValueReplySize> reply{};
  const size_t got = ReadBytes(env, port, reply, reply.size(), kValueReplySilence);
  const auto value = ParseValueReply(std::span(reply.data(), got));
  if (value) SendByte(port, kAck);
  return value;
}

}  // namespace wpl::link
