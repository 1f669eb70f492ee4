// The serial exports as data: for each, its command byte, how long the
// terminal has to acknowledge the frame, the shape and pauses of the block
// that follows, what is awaited after it, and the pauses before and after the
// port is closed. A serial export is its row, the code that builds its
// payload, and the mapping of the outcome to its result.
#pragma once
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "link/block_plan.h"
#include "platform/clock.h"

namespace wpl::link {

// What is awaited once the block (if any) is written.
enum class SerialFinal : uint8_t {
  kNothing,    // the frame's ACK is the whole answer
  kBlockAck,   // an ACK to the block within the final limit
  kSecondAck,  // no block: a second ACK within the final limit, once the work is done
  kOwn,        // the export runs an exchange of its own on the open port
  kValue,      // the 8-byte value reply, answered with ACK when it is good
  kAckValue,   // an ACK to the block within the final limit, then the value reply
};

struct SerialExport {
  std::string_view name;
  uint8_t command;
  Millis ackLimit;  // for the frame's ACK, each attempt
  BlockShape block = BlockShape::kNone;
  BlockPacing pacing{};
  SerialFinal final = SerialFinal::kNothing;
  Millis finalLimit{0};
  Millis closingPause{0};  // before the port is closed
  // Spent after the port is closed, whatever the outcome: the terminal is
  // busy with the command for this long after its answer.
  Millis hold{0};
  // When set: after the final wait, a second ACK within this limit (the
  // terminal reports that it has done the work).
  Millis secondLimit{0};
};

namespace serial_detail {
using enum BlockShape;
using enum SerialFinal;
constexpr Millis S(int seconds) { return Millis{seconds * 1000}; }
constexpr BlockPacing Around(int beforeNak, int afterNak) { return {beforeNak, afterNak}; }
}  // namespace serial_detail

// One row per serial export that sends a command frame. (The line-speed
// setting sends none: it has a scan of its own.)
inline constexpr auto kSerialExports = [] {
  using namespace serial_detail;
  return std::array<SerialExport, 41>{{
      {"_TESTCOM", 0x00, S(1)},
      {"_DOWNLOAD", 0x01, S(1), kNone, {}, kOwn},
      // The frame goes out once a modem has connected (its own dialogue).
      {"_MODEMDOWNLOAD", 0x01, S(3), kNone, {}, kOwn},
      {"_SETTIME", 0x02, S(1), kBytes, {}, kBlockAck, S(1)},
      {"_SETMACHINEID", 0x04, S(1), kBytes, {}, kBlockAck, S(1)},
      {"_SETOPENCLOSE", 0x06, S(1), kBytes, {}, kBlockAck, S(1)},
      {"_SETPASSWORD", 0x07, S(1), kBytes, {}, kBlockAck, S(1)},
      {"_ENABLEALL", 0x08, S(30), kNone, {}, kNothing, {}, {}, S(3)},
      {"_DISABLEALL", 0x09, S(40), kNone, {}, kNothing, {}, {}, S(4)},
      {"_ENABLEPERSON", 0x0A, S(1), kBytes, Around(10, 10), kBlockAck, S(180)},
      {"_DISABLEPERSON", 0x0B, S(10), kBytes, Around(10, 5), kBlockAck, S(60)},
      {"_RESTORE", 0x0C, S(1)},
      {"_DELETE", 0x0D, S(3)},
      {"_RESTOREALL", 0x0F, S(1)},
      {"_SETOPENMODE", 0x13, S(1), kBytes, {}, kBlockAck, S(1)},
      {"_SETOPENTIME", 0x14, S(1), kBytes, {}, kBlockAck, S(1)},
      {"_SETBELL", 0x18, S(1), kBytes, {}, kBlockAck, S(5), Millis{1}},
      // Card numbers. The terminal files an SN for up to 30 s before it answers.
      {"_SETSN", 0x10, S(1), kBytes, Around(5, 5), kBlockAck, S(30)},
      {"_DELSN", 0x11, S(1), kBytes, Around(5, 5), kBlockAck, S(30)},
      {"_WHATSN", 0x12, S(1), kBytes, Around(0, 10), kAckValue, S(1)},
      {"_SETSNORCARD", 0x13, S(1), kBytes, {}, kBlockAck, S(1)},
      {"_SETCARDWAITTIME", 0x14, S(1), kBytes, {}, kBlockAck, S(1)},
      {"_GETSNLENTH", 0x16, S(1), kNakOnly, {}, kValue},
      {"_SETLOCKNUM", 0x03, S(1), kBytes, Around(0, 1), kBlockAck, S(1)},
      {"_DELLOCKNUM", 0x03, S(1), kBytes, Around(0, 1), kBlockAck, S(1)},
      // The real-time fetch: one frame at 57600 on the first port that opens,
      // 0.2 s for each answer, and 10 ms with the port closed before it returns.
      {"_REALDOWNLOAD", 0x17, Millis{200}, kNakOnly, {}, kOwn, {}, {}, Millis{10}},
      // The personnel tables. The voice text is stored character by
      // character: a millisecond after each of its bytes (payload offset 17).
      {"_SENDNAME", 0x0E, S(1), kBytes, {}, kBlockAck, S(10)},
      {"_CHANGENAMEID", 0x06, S(1), kBytes, {}, kBlockAck, S(10)},
      {"_DELETEALLNAME", 0x05, S(1), kNone, {}, kSecondAck, S(10)},
      {"_SENDVOICE", 0x14, S(2), kBytes, {5, 10, 17, 1, 1}, kBlockAck, S(3)},
      {"_DELVOICE", 0x15, S(1), kBytes, {}, kBlockAck, S(10)},
      {"_DELALLVOICE", 0x15, S(1), kBytes, {}, kBlockAck, S(10)},
      {"_SENDONLYCARD", 0x03, S(1), kBytes, Around(0, 10), kBlockAck, S(5)},
      {"_DELONLYCARD", 0x03, S(1), kBytes, Around(0, 10), kBlockAck, S(5)},
      {"_DELALLONLYCARD", 0x03, S(1), kBytes, Around(0, 10), kBlockAck, S(5)},
      // The fingerprint pass-through: AA 55 hands the line to the module
      // once acknowledged (the module side is in fingerprint/templates.h).
      {"_GETIDLIST", 0x12, S(1), kBytes, Around(0, 10), kBlockAck, S(5)},
      {"_SENDIDFPREC", 0x12, S(1), kBytes, Around(0, 20), kBlockAck, S(10)},
      {"_GETIDFPREC", 0x12, S(1), kBytes, Around(0, 10), kBlockAck, S(5)},
      {"_DELIDFPREC", 0x12, S(1), kBytes, Around(0, 10), kBlockAck, S(5)},
      {"_DELIDFPALL", 0x12, S(1), kBytes, Around(0, 10), kBlockAck, S(5)},
      // The backup mode: the block's ACK, then a second one once the
      // terminal is ready for the backup link.
      {"_ZWBACKUP", 0x0E, S(1), kBytes, {}, kBlockAck, S(3), {}, {}, S(60)},
  }};
}();

// The row of an export by name. Used in constant expressions, an unknown
// name does not compile.
constexpr const SerialExport& SerialRow(std::string_view name) {
  for (const SerialExport& row : kSerialExports)
    if (row.name == name) return row;
  throw std::invalid_argument("no serial export of that name");
}

}  // namespace wpl::link
