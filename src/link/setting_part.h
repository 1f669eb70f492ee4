// What a settings export adds to the row of its conversation: how many value
// arguments the host gives (those after the address and port, or after the
// IP text), how the block's payload is made from them, the range the terminal
// takes, and the pclog command that runs it. The library gives the values no
// meaning: it sends their low bytes, or a 16-bit number high byte first.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace wpl::link {

using Payload = std::vector<uint8_t>;
using PayloadOf = Payload (*)(std::span<const int32_t> values);

// The low byte of each value, in argument order.
Payload LowBytes(std::span<const int32_t> values);
// One 16-bit number: bits 8-15, then bits 0-7; higher bits are dropped.
Payload HighLow(std::span<const int32_t> values);
// The serial open-or-closed flag: exactly 1 opens (0x55), anything else 0x00.
Payload OpenCloseFlag(std::span<const int32_t> values);
// Card numbers: each value as a 16-bit number, high byte first.
Payload HighLowEach(std::span<const int32_t> values);
// The lock number: operation 0x01, then the 16-bit number; clearing it: 0x00.
Payload LockNumber(std::span<const int32_t> values);
Payload ClearLockNumber(std::span<const int32_t> values);

// What the host may give for each value argument: the range the terminal
// takes (the library itself sends whatever it is given).
struct ValueRange {
  int64_t min = 0, max = 0;
};
inline constexpr ValueRange kByte{0, 255};
inline constexpr ValueRange kNumber{0, 65535};

// A serial export and its network twin share a `cli` command: pclog makes one
// command of the two, captioned by the first of them. A row without a `cli`
// is no setting (the value queries have their own pclog commands).
struct SettingPart {
  std::string_view cli{};
  int values = 0;  // value arguments
  PayloadOf payload = nullptr;
  ValueRange range{};
  std::string_view about{};        // what the command does
  std::string_view valuesAbout{};  // what its values are
};

}  // namespace wpl::link
