// The settings exports: one command frame, at most one parameter block, and
// the terminal's ACK. Each is its row of the serial or the network table
// plus how its payload is made from the host's value arguments (those after
// the address and port, or after the IP text). The library gives the values
// no meaning: it sends their low bytes, or a 16-bit number high byte first.
#pragma once
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "link/serial_command.h"
#include "platform/env.h"

namespace wpl::settings {

using Payload = std::vector<uint8_t>;
using PayloadOf = Payload (*)(std::span<const int32_t> values);

// The low byte of each value, in argument order.
Payload LowBytes(std::span<const int32_t> values);
// One 16-bit number: bits 8-15, then bits 0-7; higher bits are dropped.
Payload HighLow(std::span<const int32_t> values);
// The serial open-or-closed flag: exactly 1 opens (0x55), anything else 0x00.
Payload OpenCloseFlag(std::span<const int32_t> values);
// Card numbers (cards.cpp): each value as a 16-bit number, high byte first.
Payload HighLowEach(std::span<const int32_t> values);
// The lock number: operation 0x01, then the 16-bit number; clearing it: 0x00.
Payload LockNumber(std::span<const int32_t> values);
Payload ClearLockNumber(std::span<const int32_t> values);

struct Setting {
  std::string_view name;  // the export, and its row in the serial or network table
  bool network;
  int values;  // value arguments
  PayloadOf payload = nullptr;
};

inline constexpr Setting kSettings[] = {
    // Clock, identity and line.
    {"_SETTIME", false, 7, LowBytes},
    {"_LANSETTIME", true, 7, LowBytes},
    {"_SETMACHINEID", false, 1, LowBytes},
    {"_SETPASSWORD", false, 1, HighLow},
    {"_LANANSWER", true, 1, LowBytes},
    // Users.
    {"_ENABLEALL", false, 0},
    {"_DISABLEALL", false, 0},
    {"_ENABLEPERSON", false, 1, HighLow},
    {"_DISABLEPERSON", false, 1, HighLow},
    {"_RESTORE", false, 0},
    {"_RESTOREALL", false, 0},
    {"_LANENABLEALL", true, 0},
    {"_LANDISABLEALL", true, 0},
    {"_LANENABLEPERSON", true, 1, HighLow},
    {"_LANDISABLEPERSON", true, 1, HighLow},
    {"_LANRESTOREALL", true, 0},
    // Door and bell. The network open-or-closed value goes as it is: a host
    // that wants what the serial flag 1 does passes 0x55.
    {"_SETOPENMODE", false, 1, LowBytes},
    {"_LANSETOPENMODE", true, 1, LowBytes},
    {"_SETOPENTIME", false, 1, LowBytes},
    {"_LANSETOPENTIME", true, 1, LowBytes},
    {"_SETOPENCLOSE", false, 1, OpenCloseFlag},
    {"_LANSETOPENCLOSE", true, 1, LowBytes},
    {"_SETBELL", false, 3, LowBytes},
    // Card numbers. The card-or-number mode and the card wait time go out
    // exactly as the door's opening mode and time do, under the same commands.
    {"_SETSN", false, 2, HighLowEach},
    {"_LANSETSN", true, 2, HighLowEach},
    {"_DELSN", false, 1, HighLow},
    {"_LANDELSN", true, 1, HighLow},
    {"_SETSNORCARD", false, 1, LowBytes},
    {"_SETCARDWAITTIME", false, 1, LowBytes},
    {"_SETLOCKNUM", false, 1, LockNumber},
    {"_DELLOCKNUM", false, 0, ClearLockNumber},
};

// The setting of an export by name, for a run-time name (tools, tests);
// nullptr when there is none.
const Setting* FindSetting(std::string_view name);

// The same at compile time: an unknown name does not compile.
consteval const Setting& SettingRow(std::string_view name) {
  for (const Setting& s : kSettings)
    if (s.name == name) return s;
  throw std::invalid_argument("no setting of that name");
}

// The payload of a setting for the host's values (as many as it takes).
Payload PayloadFor(const Setting& setting, std::span<const int32_t> values);

// A serial setting from the terminal `address`, the scan starting at `port`.
link::SerialResult RunSerialSetting(Env& env, const Setting& setting, int32_t address, int32_t port,
                                    std::span<const int32_t> values);
// A network setting: 0 acknowledged, 1 failed.
int32_t RunLanSetting(Env& env, const Setting& setting, const char* ip,
                      std::span<const int32_t> values);

}  // namespace wpl::settings
