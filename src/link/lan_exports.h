// The network exports as data: for each, its command byte, what follows the
// frame, the shape in which its parameter block goes out and its pauses. The
// terminals' network firmware wants its bytes paced exactly as these rows
// say; a network export is its row plus the code that builds its payload.
#pragma once
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "link/block_plan.h"
#include "platform/clock.h"

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

// Pauses in milliseconds. The pauses after freeing and after closing belong
// to every path that got past a successful connect; the closing pause alone
// to the earlier failures that `closingFrom` names.
struct LanPacing {
  int openingMs = 0;       // before anything else
  int beforeNakMs = 0;     // A: before the 0x15 that opens a block or asks for data
  int afterNakMs = 0;      // B: after it (where the 0x15 goes alone)
  int afterSuccessMs = 0;  // on success, before the buffers are freed
  int afterFreeingMs = 0;  // before the socket is closed
  int afterClosingMs = 0;  // after the socket is closed
  ClosingPause closingFrom = ClosingPause::kFromConnect;
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
};

namespace lan_detail {
using enum LanExchange;
using enum BlockShape;
using enum ClosingPause;
constexpr LanPacing kNoPauses{};
constexpr LanPacing Paced(int opening, int a, int b, int success, int freeing, int closing,
                          ClosingPause from = kFromConnect) {
  return {opening, a, b, success, freeing, closing, from};
}
}  // namespace lan_detail

// One row per network export. The downloads, the real-time fetch and the
// voice load run exchanges of their own after the first ACK; their rows hold
// their pauses all the same (A is the pause before the 0x15 that asks for the
// data, the closing pause their ending pause).
inline constexpr auto kLanExports = [] {
  using namespace lan_detail;
  return std::array<LanExport, 23>{{
      {"_LANDOWNLOAD", 0x01, kOwn, kNone, Paced(0, 20, 0, 0, 0, 2000)},
      {"_LANMANYDOWNLOAD", 0x01, kOwn, kNone, Paced(0, 0, 0, 0, 0, 1000, kEveryPath)},
      {"_LANDOWNLOADADDR", 0x01, kOwn, kNone, Paced(0, 0, 0, 0, 0, 1000, kEveryPath)},
      {"_LANSETTIME", 0x02, kCommand, kWhole, kNoPauses},
      {"_LANANSWER", 0x03, kCommand, kWhole, kNoPauses},
      {"_LANDELETEALLNAME", 0x05, kCommand, kNone, kNoPauses},
      {"_LANSETOPENCLOSE", 0x06, kCommand, kSplit, Paced(1, 3, 2, 1, 1, 25)},
      {"_LANCHANGENAMEID", 0x06, kCommand, kHeadThenBytes, kNoPauses},
      {"_LANENABLEALL", 0x08, kCommand, kNone, kNoPauses, Millis{2000}, Millis{30'000}},
      {"_LANDISABLEALL", 0x09, kCommand, kNone, kNoPauses, Millis{3000}, Millis{40'000}},
      {"_LANENABLEPERSON", 0x0A, kCommand, kNakThenRest, Paced(1, 10, 1, 1, 1, 25), Millis{0},
       Millis{180'000}},
      {"_LANDISABLEPERSON", 0x0B, kCommand, kNakThenRest, Paced(1, 10, 1, 1, 1, 1), Millis{0},
       Millis{60'000}},
      {"_LANDELETE", 0x0D, kFrameOnly, kNone, kNoPauses},
      {"_LANSENDNAME", 0x0E, kCommand, kSplit, Paced(1, 5, 1, 1, 1, 25, kEveryPath)},
      {"_LANRESTOREALL", 0x0F, kCommand, kNone, kNoPauses},
      {"_LANSETSN", 0x10, kCommand, kSplit, Paced(1, 10, 1, 1, 1, 25)},
      {"_LANDELSN", 0x11, kCommand, kSplit, Paced(1, 10, 2, 1, 1, 25)},
      {"_LANSETOPENMODE", 0x13, kCommand, kSplit, Paced(1, 10, 2, 1, 1, 25)},
      {"_LANSETOPENTIME", 0x14, kCommand, kSplit, Paced(1, 10, 2, 1, 1, 25)},
      {"_LANSENDVOICE", 0x14, kOwn, kHeadThenBytes, Paced(0, 0, 0, 0, 0, 25, kFromSocket)},
      {"_LANDELVOICE", 0x15, kCommand, kHeadThenBytes, kNoPauses},
      {"_LANDELALLVOICE", 0x15, kCommand, kHeadThenBytes, kNoPauses},
      {"_LANREALDOWNLOAD", 0x17, kOwn, kNone, Paced(1, 20, 10, 1, 1, 25)},
  }};
}();

// The row of an export by name. Used in constant expressions, an unknown
// name does not compile.
constexpr const LanExport& LanRow(std::string_view name) {
  for (const LanExport& row : kLanExports)
    if (row.name == name) return row;
  throw std::invalid_argument("no network export of that name");
}

}  // namespace wpl::link
