// The settings exports: one command frame, at most one parameter block, and
// the terminal's ACK. Each is its row of the serial or the network table, and
// the row's setting part says how the payload is made from the host's value
// arguments (link/setting_part.h). This file gathers those rows into the
// table the exports, pclog and the tests look settings up in.
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
#include "link/setting_part.h"
#include "platform/env.h"

namespace wpl::settings {

using link::ClearLockNumber;
using link::HighLow;
using link::HighLowEach;
using link::kByte;
using link::kNumber;
using link::LockNumber;
using link::LowBytes;
using link::OpenCloseFlag;
using link::Payload;
using link::PayloadOf;
using link::ValueRange;

// A setting as the exports and pclog see it: its row's setting part, the
// export's name and the row it came from.
struct Setting : link::SettingPart {
  std::string_view name;
  // The row it is part of: one of the two.
  const link::SerialExport* serial = nullptr;
  const link::LanExport* lan = nullptr;

  constexpr bool network() const { return lan != nullptr; }
};

namespace settings_detail {

// The two tables gathered from the rows: the settings (a row with a pclog
// command) and the value queries (a serial row that awaits the value reply).
enum class Kind { kSetting, kValueQuery };

constexpr bool Is(Kind kind, const link::SerialExport& row) {
  const bool query =
      row.final == link::SerialFinal::kValue || row.final == link::SerialFinal::kAckValue;
  return kind == Kind::kSetting ? !row.setting.cli.empty() : query;
}
constexpr bool Is(Kind kind, const link::LanExport& row) {
  return kind == Kind::kSetting && !row.setting.cli.empty();
}

template <typename Row>
constexpr Setting Of(const Row& row) {
  Setting s;
  static_cast<link::SettingPart&>(s) = row.setting;
  s.name = row.name;
  return s;
}

template <Kind kind>
consteval size_t Count() {
  size_t n = 0;
  for (const auto& row : link::kSerialExports) n += Is(kind, row);
  for (const auto& row : link::kLanExports) n += Is(kind, row);
  return n;
}

// The rows of a kind, serial ones first, each with a pointer to its row.
template <Kind kind>
consteval std::array<Setting, Count<kind>()> Gathered() {
  std::array<Setting, Count<kind>()> out{};
  size_t n = 0;
  for (const auto& row : link::kSerialExports)
    if (Is(kind, row)) {
      out[n] = Of(row);
      out[n++].serial = &row;
    }
  for (const auto& row : link::kLanExports)
    if (Is(kind, row)) {
      out[n] = Of(row);
      out[n++].lan = &row;
    }
  return out;
}

// A row that says how to make a payload is a setting or a value query: a
// setting part on any other row is a mistake, and does not compile.
consteval bool NoStraySettingParts() {
  const auto stray = [](const auto& row) {
    const link::SettingPart& p = row.setting;
    return (p.values > 0 || p.payload || !p.about.empty()) && !Is(Kind::kSetting, row) &&
           !Is(Kind::kValueQuery, row);
  };
  for (const auto& row : link::kSerialExports)
    if (stray(row) || (Is(Kind::kSetting, row) && Is(Kind::kValueQuery, row))) return false;
  for (const auto& row : link::kLanExports)
    if (stray(row)) return false;
  return true;
}
static_assert(NoStraySettingParts(), "a setting part on a row that is no setting");

// Each setting checked with its row as the table is made: a network row that
// is not an acknowledged command, a block of data without a payload (or a
// payload without one), or values without a range does not compile. (Each
// name is once in its table, and the two tables share none.)
template <size_t N>
consteval std::array<Setting, N> AgreeWithRows(std::array<Setting, N> rows) {
  for (const Setting& s : rows) {
    // A block of data exactly when there is a payload (a 0x15 alone is a
    // request and carries none).
    const link::BlockShape block = s.lan ? s.lan->block : s.serial->block;
    const bool data = block != link::BlockShape::kNone && block != link::BlockShape::kNakOnly;
    if (data != (s.payload != nullptr))
      throw std::invalid_argument("a block exactly when there is a payload");
    if (s.lan && s.lan->exchange != link::LanExchange::kCommand)
      throw std::invalid_argument("a network setting is an acknowledged command");
    if ((s.values > 0) != (s.range.max > 0)) throw std::invalid_argument("values need a range");
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
      if (rows[j].cli != s.cli) continue;
      first = false;
      if (rows[j].network() == s.network() || rows[j].values != s.values ||
          rows[j].range.max != s.range.max)
        throw std::invalid_argument("one serial and one network form alike");
    }
    if (s.cli.empty() || first == s.about.empty() ||
        (s.values > 0 && first == s.valuesAbout.empty()))
      throw std::invalid_argument("captions on the first form of a command");
  }
  return rows;
}

template <size_t N>
consteval std::array<Setting, N> Checked(std::array<Setting, N> rows) {
  return Commands(AgreeWithRows(rows));
}

}  // namespace settings_detail

// Every setting, from the rows of the two tables.
inline constexpr auto kSettings =
    settings_detail::Checked(settings_detail::Gathered<settings_detail::Kind::kSetting>());

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
