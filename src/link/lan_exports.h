// The network exports as data: for each, its command byte, what follows the
// frame, the shape in which its parameter block goes out and its pauses. The
// terminals' network firmware wants its bytes paced exactly as these rows
// say. A network export is its row (a setting's row also says how its payload
// is made from the host's values) and the one line of its export.
#pragma once
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "link/block_plan.h"
#include "link/setting_part.h"
#include "platform/clock.h"
#include "platform/fine_sleeps.h"

namespace wpl::link {

// What the host sends and awaits after connecting.
enum class LanExchange {
  kFrameOnly,  // the frame and nothing else: no reply is awaited
  kCommand,    // frame, ACK; then the block (if any) and a second ACK
  kOwn,        // the export runs its own exchange (downloads, fetch, voice)
};

// Which failure paths before a connection stands still take the closing pause.
enum class ClosingPause {
  kFromConnect,  // a failed connect (the socket is closed, then the pause)
  kFromSocket,   // also a socket that could not be created
  kEveryPath,    // also a failed start-up
};

// Pauses of the conversation. The pauses after freeing and after closing
// belong to every path that got past a successful connect; the closing pause
// alone to the earlier failures that `closingFrom` names.
struct LanPacing {
  Millis opening{0};       // before anything else
  Millis beforeNak{0};     // A: before the 0x15 that opens a block or asks for data
  Millis afterNak{0};      // B: after it (where the 0x15 goes alone)
  Millis afterSuccess{0};  // on success, before the buffers are freed
  Millis afterFreeing{0};  // before the socket is closed
  Millis afterClosing{0};  // after the socket is closed
  ClosingPause closingFrom = ClosingPause::kFromConnect;

  // Whether a pause is shorter than the system's timer step.
  constexpr bool NeedsFineSleeps() const {
    for (Millis p : {opening, beforeNak, afterNak, afterSuccess, afterFreeing, afterClosing})
      if (wpl::NeedsFineSleeps(p)) return true;
    return false;
  }

  // The pauses around the block's 0x15, as the block plan takes them.
  constexpr BlockPacing Block() const { return {.beforeNak = beforeNak, .afterNak = afterNak}; }
};

// How long a receive may wait with nothing arriving before the exchange is
// refused. The terminal answers a frame at once; 10 s leaves room for a busy
// terminal and is the longest acknowledgement wait of the ordinary serial
// commands. Exports whose serial twins give the terminal longer get that.
constexpr Millis kLanSilenceLimit{10'000};

// How long the connection may take to stand. A terminal on the site's network
// answers at once; 10 s still covers a SYN repeated two or three times on a
// lossy line. Without a limit, an address where nothing answers holds the call
// for as long as the system repeats its SYN (minutes on Linux).
constexpr Millis kLanConnectLimit{10'000};

struct LanExport {
  std::string_view name;
  uint8_t command;
  LanExchange exchange;
  BlockShape block;
  LanPacing pacing;
  // Success is reported only once this has passed since the ACK.
  Millis hold{0};
  Millis silenceLimit = kLanSilenceLimit;
  Millis connectLimit = kLanConnectLimit;
  // A settings export's values and payload, and its pclog command.
  SettingPart setting{};
};

namespace lan_detail {
using enum LanExchange;
using enum BlockShape;
using enum ClosingPause;
using namespace std::chrono_literals;
}  // namespace lan_detail

// One row per network export. The downloads, the real-time fetch and the
// voice load run exchanges of their own after the first ACK; their rows hold
// their pauses all the same (A is the pause before the 0x15 that asks for the
// data, the closing pause their ending pause).
inline constexpr auto kLanExports = [] {
  using namespace lan_detail;
  // clang-format off
  return std::to_array<LanExport>({
      {.name = "_LANDOWNLOAD", .command = 0x01, .exchange = kOwn, .block = kNone,
       .pacing = {.beforeNak = 20ms, .afterClosing = 2000ms}},
      {.name = "_LANMANYDOWNLOAD", .command = 0x01, .exchange = kOwn, .block = kNone,
       .pacing = {.afterClosing = 1000ms, .closingFrom = kEveryPath}},
      {.name = "_LANDOWNLOADADDR", .command = 0x01, .exchange = kOwn, .block = kNone,
       .pacing = {.afterClosing = 1000ms, .closingFrom = kEveryPath}},
      {.name = "_LANSETTIME", .command = 0x02, .exchange = kCommand, .block = kWhole,
       .setting = {.cli = "set-time", .values = 7, .payload = LowBytes, .range = kByte}},
      {.name = "_LANANSWER", .command = 0x03, .exchange = kCommand, .block = kWhole,
       .setting = {.cli = "answer", .values = 1, .payload = LowBytes, .range = kByte,
                   .about = "Send the one-byte value of command 0x03", .valuesAbout = "The value"}},
      {.name = "_LANDELETEALLNAME", .command = 0x05, .exchange = kCommand, .block = kNone},
      // The open-or-closed value goes as it is: a host that wants what the
      // serial flag 1 does passes 0x55.
      {.name = "_LANSETOPENCLOSE", .command = 0x06, .exchange = kCommand, .block = kSplit,
       .pacing = {.opening = 1ms, .beforeNak = 3ms, .afterNak = 2ms, .afterSuccess = 1ms,
       .afterFreeing = 1ms, .afterClosing = 25ms},
       .setting = {.cli = "set-open-close", .values = 1, .payload = LowBytes, .range = kByte}},
      {.name = "_LANCHANGENAMEID", .command = 0x06, .exchange = kCommand, .block = kHeadThenBytes},
      {.name = "_LANENABLEALL", .command = 0x08, .exchange = kCommand, .block = kNone,
       .hold = 2000ms, .silenceLimit = 30s,
       .setting = {.cli = "enable-all"}},
      {.name = "_LANDISABLEALL", .command = 0x09, .exchange = kCommand, .block = kNone,
       .hold = 3000ms, .silenceLimit = 40s,
       .setting = {.cli = "disable-all"}},
      {.name = "_LANENABLEPERSON", .command = 0x0A, .exchange = kCommand, .block = kNakThenRest,
       .pacing = {.opening = 1ms, .beforeNak = 10ms, .afterNak = 1ms, .afterSuccess = 1ms,
       .afterFreeing = 1ms, .afterClosing = 25ms}, .silenceLimit = 180s,
       .setting = {.cli = "enable-person", .values = 1, .payload = HighLow, .range = kNumber}},
      {.name = "_LANDISABLEPERSON", .command = 0x0B, .exchange = kCommand, .block = kNakThenRest,
       .pacing = {.opening = 1ms, .beforeNak = 10ms, .afterNak = 1ms, .afterSuccess = 1ms,
       .afterFreeing = 1ms, .afterClosing = 1ms}, .silenceLimit = 60s,
       .setting = {.cli = "disable-person", .values = 1, .payload = HighLow, .range = kNumber}},
      {.name = "_LANDELETE", .command = 0x0D, .exchange = kFrameOnly, .block = kNone},
      {.name = "_LANSENDNAME", .command = 0x0E, .exchange = kCommand, .block = kSplit,
       .pacing = {.opening = 1ms, .beforeNak = 5ms, .afterNak = 1ms, .afterSuccess = 1ms,
       .afterFreeing = 1ms, .afterClosing = 25ms, .closingFrom = kEveryPath}},
      {.name = "_LANRESTOREALL", .command = 0x0F, .exchange = kCommand, .block = kNone,
       .setting = {.cli = "restore-all"}},
      {.name = "_LANSETSN", .command = 0x10, .exchange = kCommand, .block = kSplit,
       .pacing = {.opening = 1ms, .beforeNak = 10ms, .afterNak = 1ms, .afterSuccess = 1ms,
       .afterFreeing = 1ms, .afterClosing = 25ms},
       .setting = {.cli = "set-sn", .values = 2, .payload = HighLowEach, .range = kNumber}},
      {.name = "_LANDELSN", .command = 0x11, .exchange = kCommand, .block = kSplit,
       .pacing = {.opening = 1ms, .beforeNak = 10ms, .afterNak = 2ms, .afterSuccess = 1ms,
       .afterFreeing = 1ms, .afterClosing = 25ms},
       .setting = {.cli = "del-sn", .values = 1, .payload = HighLow, .range = kNumber}},
      {.name = "_LANSETOPENMODE", .command = 0x13, .exchange = kCommand, .block = kSplit,
       .pacing = {.opening = 1ms, .beforeNak = 10ms, .afterNak = 2ms, .afterSuccess = 1ms,
       .afterFreeing = 1ms, .afterClosing = 25ms},
       .setting = {.cli = "set-open-mode", .values = 1, .payload = LowBytes, .range = kByte}},
      {.name = "_LANSETOPENTIME", .command = 0x14, .exchange = kCommand, .block = kSplit,
       .pacing = {.opening = 1ms, .beforeNak = 10ms, .afterNak = 2ms, .afterSuccess = 1ms,
       .afterFreeing = 1ms, .afterClosing = 25ms},
       .setting = {.cli = "set-open-time", .values = 1, .payload = LowBytes, .range = kByte}},
      {.name = "_LANSENDVOICE", .command = 0x14, .exchange = kOwn, .block = kHeadThenBytes,
       .pacing = {.afterClosing = 25ms, .closingFrom = kFromSocket}},
      {.name = "_LANDELVOICE", .command = 0x15, .exchange = kCommand, .block = kHeadThenBytes},
      {.name = "_LANDELALLVOICE", .command = 0x15, .exchange = kCommand, .block = kHeadThenBytes},
      {.name = "_LANREALDOWNLOAD", .command = 0x17, .exchange = kOwn, .block = kNone,
       .pacing = {.opening = 1ms, .beforeNak = 20ms, .afterNak = 10ms, .afterSuccess = 1ms,
       .afterFreeing = 1ms, .afterClosing = 25ms}},
  });
}();
// clang-format on

// Each name once, and every name a network export's.
static_assert([] {
  for (size_t i = 0; i < kLanExports.size(); ++i) {
    if (!kLanExports[i].name.starts_with("_LAN")) return false;
    for (size_t j = i + 1; j < kLanExports.size(); ++j)
      if (kLanExports[i].name == kLanExports[j].name) return false;
  }
  return true;
}());

// The row of an export by name. Used in constant expressions, an unknown
// name does not compile.
constexpr const LanExport& LanRow(std::string_view name) {
  for (const LanExport& row : kLanExports)
    if (row.name == name) return row;
  throw std::invalid_argument("no network export of that name");
}

}  // namespace wpl::link
