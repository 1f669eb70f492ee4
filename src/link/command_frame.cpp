#include "link/command_frame.h"

#include <stdexcept>

namespace wpl::link {

std::array<uint8_t, kFrameSize> BuildCommandFrame(uint8_t address, uint8_t command) {
  std::array<uint8_t, kFrameSize> frame{};
  std::copy(kSignature.begin(), kSignature.end(), frame.begin());
  frame[10] = address;
  frame[11] = Complement(address);
  frame[12] = command;
  frame[13] = Complement(command);
  return frame;
}

uint8_t Checksum8(std::span<const uint8_t> bytes) {
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  return static_cast<uint8_t>(sum);
}

std::vector<uint8_t> BuildParameterBlock(std::span<const uint8_t> payload) {
  if (payload.size() > 0xFF) throw std::length_error("parameter block payload above 255 bytes");
  const auto n = static_cast<uint8_t>(payload.size());
  std::vector<uint8_t> block{kNak, 0x01, n, Complement(n)};
  block.insert(block.end(), payload.begin(), payload.end());
  block.push_back(Checksum8(payload));
  return block;
}

}  // namespace wpl::link
