// The bytes every command to a terminal is made of: the 14-byte command frame
// and the parameter block that follows it when the command carries data.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace wpl::link {

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kCan = 0x18;

constexpr std::array<uint8_t, 10> kSignature = {'K', 'O', 'R', 'V', 'A', 'N', 'E', 'M', 'Z', 'T'};
constexpr size_t kFrameSize = 14;

// Serial command bytes.
namespace cmd {
constexpr uint8_t kTestCom = 0x00;
constexpr uint8_t kDownload = 0x01;
constexpr uint8_t kClearRecords = 0x0D;
}  // namespace cmd

constexpr uint8_t Complement(uint8_t b) { return static_cast<uint8_t>(0xFF - b); }

// Signature, address, 255 - address, command, 255 - command.
std::array<uint8_t, kFrameSize> BuildCommandFrame(uint8_t address, uint8_t command);

// Sum of the bytes modulo 256.
uint8_t Checksum8(std::span<const uint8_t> bytes);

// 0x15, 0x01, N, 255 - N, the N payload bytes, their sum modulo 256.
// The length byte allows at most 255 payload bytes.
std::vector<uint8_t> BuildParameterBlock(std::span<const uint8_t> payload);

}  // namespace wpl::link
