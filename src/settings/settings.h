// The settings exports: one command frame, at most one parameter block, and
// the terminal's ACK. Each is its row of the serial or the network table
// plus how its payload is made from the host's value arguments (those after
// the address and port, or after the IP text). The library gives the values
// no meaning: it sends their low bytes, or a 16-bit number high byte first.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "link/lan_connection.h"
#include "link/lan_exports.h"
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

// What the host may give for each value argument: the range the terminal
// takes (the library itself sends whatever it is given).
struct ValueRange {
  int64_t min = 0, max = 0;
};
inline constexpr ValueRange kByte{0, 255};
inline constexpr ValueRange kNumber{0, 65535};

// A setting is its export's row in the serial or the network table (found
// when the table is made: a name with no row does not compile), how many
// values it takes and how its payload is made from them. A serial export and
// its network twin share a `command`: the CLI makes one command of the two,
// captioned by the first of them.
struct Setting {
  std::string_view name;  // the export
  std::string_view command;
  int values = 0;  // value arguments
  PayloadOf payload = nullptr;
  ValueRange range{};
  std::string_view about{};        // what the command does
  std::string_view valuesAbout{};  // what its values are
  // Filled in from `name`.
  const link::SerialExport* serial = nullptr;
  const link::LanExport* lan = nullptr;

  constexpr bool network() const { return lan != nullptr; }
};

namespace settings_detail {

constexpr const link::SerialExport* FindSerial(std::string_view name) {
  for (const link::SerialExport& row : link::kSerialExports)
    if (row.name == name) return &row;
  return nullptr;
}
constexpr const link::LanExport* FindLan(std::string_view name) {
  for (const link::LanExport& row : link::kLanExports)
    if (row.name == name) return &row;
  return nullptr;
}

// Each setting joined to its row, checked as the table is made: a setting
// without a row or listed twice, a network row that is not an acknowledged
// command, a block of data without a payload (or a payload without one), or
// values without a range does not compile.
template <size_t N>
consteval std::array<Setting, N> Joined(std::array<Setting, N> rows) {
  for (size_t i = 0; i < N; ++i) {
    Setting& s = rows[i];
    s.serial = FindSerial(s.name);
    s.lan = FindLan(s.name);
    if (!s.serial == !s.lan) throw std::invalid_argument("a setting needs its one row");
    // A block of data exactly when there is a payload (a 0x15 alone is a
    // request and carries none).
    const link::BlockShape block = s.lan ? s.lan->block : s.serial->block;
    const bool data = block != link::BlockShape::kNone && block != link::BlockShape::kNakOnly;
    if (data != (s.payload != nullptr))
      throw std::invalid_argument("a block exactly when there is a payload");
    if (s.lan && s.lan->exchange != link::LanExchange::kCommand)
      throw std::invalid_argument("a network setting is an acknowledged command");
    if ((s.values > 0) != (s.range.max > 0)) throw std::invalid_argument("values need a range");
    for (size_t j = 0; j < i; ++j)
      if (rows[j].name == s.name) throw std::invalid_argument("a setting is listed once");
  }
  return rows;
}

// The commands of the CLI: a serial and a network form of one command take
// the same values, and the first of them carries its captions.
template <size_t N>
consteval std::array<Setting, N> Commands(std::array<Setting, N> rows) {
  for (size_t i = 0; i < N; ++i) {
    const Setting& s = rows[i];
    bool first = true;
    for (size_t j = 0; j < i; ++j) {
      if (rows[j].command != s.command) continue;
      first = false;
      if (rows[j].network() == s.network() || rows[j].values != s.values ||
          rows[j].range.max != s.range.max)
        throw std::invalid_argument("one serial and one network form alike");
    }
    if (s.command.empty() || first == s.about.empty() ||
        (s.values > 0 && first == s.valuesAbout.empty()))
      throw std::invalid_argument("captions on the first form of a command");
  }
  return rows;
}

template <size_t N>
consteval std::array<Setting, N> Checked(std::array<Setting, N> rows) {
  return Commands(Joined(rows));
}

}  // namespace settings_detail

// clang-format off
inline constexpr auto kSettings = settings_detail::Checked(std::to_array<Setting>({
    // Clock, identity and line.
    {.name = "_SETTIME", .command = "set-time", .values = 7, .payload = LowBytes, .range = kByte,
     .about = "Set the terminal's clock: seven bytes as the terminal reads them",
     .valuesAbout = "The seven clock bytes, sent as given"},
    {.name = "_LANSETTIME", .command = "set-time", .values = 7, .payload = LowBytes,
     .range = kByte},
    {.name = "_SETMACHINEID", .command = "set-machine-id", .values = 1, .payload = LowBytes,
     .range = kByte, .about = "Set the terminal's machine number",
     .valuesAbout = "The machine number"},
    {.name = "_SETPASSWORD", .command = "set-password", .values = 1, .payload = HighLow,
     .range = kNumber, .about = "Set the terminal's password",
     .valuesAbout = "The password, 0..65535"},
    {.name = "_LANANSWER", .command = "answer", .values = 1, .payload = LowBytes, .range = kByte,
     .about = "Send the one-byte value of command 0x03", .valuesAbout = "The value"},
    // Users.
    {.name = "_ENABLEALL", .command = "enable-all", .about = "Enable every enrolled user"},
    {.name = "_DISABLEALL", .command = "disable-all", .about = "Disable every enrolled user"},
    {.name = "_ENABLEPERSON", .command = "enable-person", .values = 1, .payload = HighLow,
     .range = kNumber, .about = "Enable one user", .valuesAbout = "The person number, 0..65535"},
    {.name = "_DISABLEPERSON", .command = "disable-person", .values = 1, .payload = HighLow,
     .range = kNumber, .about = "Disable one user", .valuesAbout = "The person number, 0..65535"},
    {.name = "_RESTORE", .command = "restore", .about = "Send the restore command (0x0C)"},
    {.name = "_RESTOREALL", .command = "restore-all",
     .about = "Send the restore-all command (0x0F)"},
    {.name = "_LANENABLEALL", .command = "enable-all"},
    {.name = "_LANDISABLEALL", .command = "disable-all"},
    {.name = "_LANENABLEPERSON", .command = "enable-person", .values = 1, .payload = HighLow,
     .range = kNumber},
    {.name = "_LANDISABLEPERSON", .command = "disable-person", .values = 1, .payload = HighLow,
     .range = kNumber},
    {.name = "_LANRESTOREALL", .command = "restore-all"},
    // Door and bell. The network open-or-closed value goes as it is: a host
    // that wants what the serial flag 1 does passes 0x55.
    {.name = "_SETOPENMODE", .command = "set-open-mode", .values = 1, .payload = LowBytes,
     .range = kByte, .about = "Set the door opening mode", .valuesAbout = "The mode byte"},
    {.name = "_LANSETOPENMODE", .command = "set-open-mode", .values = 1, .payload = LowBytes,
     .range = kByte},
    {.name = "_SETOPENTIME", .command = "set-open-time", .values = 1, .payload = LowBytes,
     .range = kByte, .about = "Set the door opening time", .valuesAbout = "The time byte"},
    {.name = "_LANSETOPENTIME", .command = "set-open-time", .values = 1, .payload = LowBytes,
     .range = kByte},
    {.name = "_SETOPENCLOSE", .command = "set-open-close", .values = 1, .payload = OpenCloseFlag,
     .range = kByte,
     .about = "Set the door open or closed (serial: 1 opens; network: the byte as given)",
     .valuesAbout = "Serial: 1 opens, 0 closes; network: 0x55 opens"},
    {.name = "_LANSETOPENCLOSE", .command = "set-open-close", .values = 1, .payload = LowBytes,
     .range = kByte},
    {.name = "_SETBELL", .command = "set-bell", .values = 3, .payload = LowBytes, .range = kByte,
     .about = "Set the bell: three bytes", .valuesAbout = "The three bell bytes"},
    // Card numbers. The card-or-number mode and the card wait time go out
    // exactly as the door's opening mode and time do, under the same commands.
    {.name = "_SETSN", .command = "set-sn", .values = 2, .payload = HighLowEach, .range = kNumber,
     .about = "File an SN number with a second number",
     .valuesAbout = "The SN number and the number filed with it"},
    {.name = "_LANSETSN", .command = "set-sn", .values = 2, .payload = HighLowEach,
     .range = kNumber},
    {.name = "_DELSN", .command = "del-sn", .values = 1, .payload = HighLow, .range = kNumber,
     .about = "Delete an SN number", .valuesAbout = "The SN number"},
    {.name = "_LANDELSN", .command = "del-sn", .values = 1, .payload = HighLow, .range = kNumber},
    {.name = "_SETSNORCARD", .command = "set-sn-or-card", .values = 1, .payload = LowBytes,
     .range = kByte, .about = "Choose between SN and card", .valuesAbout = "The mode byte"},
    {.name = "_SETCARDWAITTIME", .command = "set-card-wait-time", .values = 1,
     .payload = LowBytes, .range = kByte, .about = "Set the card wait time",
     .valuesAbout = "The wait byte"},
    {.name = "_SETLOCKNUM", .command = "set-lock-number", .values = 1, .payload = LockNumber,
     .range = kNumber, .about = "Set the lock number", .valuesAbout = "The lock number"},
    {.name = "_DELLOCKNUM", .command = "del-lock-number", .payload = ClearLockNumber,
     .about = "Clear the lock number"},
}));
// clang-format on

// The setting of an export by name, for a run-time name (tests);
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
// A network setting.
link::LanResult RunLanSetting(Env& env, const Setting& setting, const char* ip,
                              std::span<const int32_t> values);

}  // namespace wpl::settings
