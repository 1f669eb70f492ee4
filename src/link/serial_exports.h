// The serial exports as data: for each, its command byte, how long the
// terminal has to acknowledge the frame, the shape and pauses of the block
// that follows, what is awaited after it, and the pauses before and after the
// port is closed; for a setting, also how its payload is made from the
// host's values and its pclog command. A serial export is its row and the one
// line of its export that maps the outcome to its result.
#pragma once
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "link/block_plan.h"
#include "link/module_part.h"
#include "link/setting_part.h"
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
  // A settings export's values and payload, and its pclog command.
  SettingPart setting{};
  // A template export's exchange with the module, once the line is handed over.
  ModulePart module{};
};

namespace serial_detail {
using enum BlockShape;
using enum SerialFinal;
using namespace module_cmd;
using namespace std::chrono_literals;
}  // namespace serial_detail

// One row per serial export that sends a command frame. (The line-speed
// setting sends none: it has a scan of its own.)
inline constexpr auto kSerialExports = [] {
  using namespace serial_detail;
  // clang-format off
  return std::to_array<SerialExport>({
      {.name = "_TESTCOM", .command = 0x00, .ackLimit = 1s},
      {.name = "_DOWNLOAD", .command = 0x01, .ackLimit = 1s, .final = kOwn},
      // The frame goes out once a modem has connected (its own dialogue).
      {.name = "_MODEMDOWNLOAD", .command = 0x01, .ackLimit = 3s, .final = kOwn},
      {.name = "_SETTIME", .command = 0x02, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 1s,
       .setting = {.cli = "set-time", .values = 7, .payload = LowBytes, .range = kByte,
                   .about = "Set the terminal's clock: seven bytes as the terminal reads them",
                   .valuesAbout = "The seven clock bytes, sent as given"}},
      {.name = "_SETMACHINEID", .command = 0x04, .ackLimit = 1s, .block = kBytes,
       .final = kBlockAck, .finalLimit = 1s,
       .setting = {.cli = "set-machine-id", .values = 1, .payload = LowBytes, .range = kByte,
                   .about = "Set the terminal's machine number",
                   .valuesAbout = "The machine number"}},
      {.name = "_SETPASSWORD", .command = 0x07, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 1s,
       .setting = {.cli = "set-password", .values = 1, .payload = HighLow, .range = kNumber,
                   .about = "Set the terminal's password",
                   .valuesAbout = "The password, 0..65535"}},
      {.name = "_ENABLEALL", .command = 0x08, .ackLimit = 30s, .hold = 3s,
       .setting = {.cli = "enable-all", .about = "Enable every enrolled user"}},
      {.name = "_DISABLEALL", .command = 0x09, .ackLimit = 40s, .hold = 4s,
       .setting = {.cli = "disable-all", .about = "Disable every enrolled user"}},
      {.name = "_ENABLEPERSON", .command = 0x0A, .ackLimit = 1s, .block = kBytes,
       .pacing = {.beforeNak = 10ms, .afterNak = 10ms}, .final = kBlockAck, .finalLimit = 180s,
       .setting = {.cli = "enable-person", .values = 1, .payload = HighLow, .range = kNumber,
                   .about = "Enable one user", .valuesAbout = "The person number, 0..65535"}},
      {.name = "_DISABLEPERSON", .command = 0x0B, .ackLimit = 10s, .block = kBytes,
       .pacing = {.beforeNak = 10ms, .afterNak = 5ms}, .final = kBlockAck, .finalLimit = 60s,
       .setting = {.cli = "disable-person", .values = 1, .payload = HighLow, .range = kNumber,
                   .about = "Disable one user", .valuesAbout = "The person number, 0..65535"}},
      {.name = "_RESTORE", .command = 0x0C, .ackLimit = 1s,
       .setting = {.cli = "restore", .about = "Send the restore command (0x0C)"}},
      {.name = "_DELETE", .command = 0x0D, .ackLimit = 3s},
      {.name = "_RESTOREALL", .command = 0x0F, .ackLimit = 1s,
       .setting = {.cli = "restore-all", .about = "Send the restore-all command (0x0F)"}},
      // Door and bell.
      {.name = "_SETOPENMODE", .command = 0x13, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 1s,
       .setting = {.cli = "set-open-mode", .values = 1, .payload = LowBytes, .range = kByte,
                   .about = "Set the door opening mode", .valuesAbout = "The mode byte"}},
      {.name = "_SETOPENTIME", .command = 0x14, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 1s,
       .setting = {.cli = "set-open-time", .values = 1, .payload = LowBytes, .range = kByte,
                   .about = "Set the door opening time", .valuesAbout = "The time byte"}},
      {.name = "_SETOPENCLOSE", .command = 0x06, .ackLimit = 1s, .block = kBytes,
       .final = kBlockAck, .finalLimit = 1s,
       .setting = {.cli = "set-open-close", .values = 1, .payload = OpenCloseFlag,
                   .range = kByte,
                   .about =
                       "Set the door open or closed (serial: 1 opens; network: the byte as given)",
                   .valuesAbout = "Serial: 1 opens, 0 closes; network: 0x55 opens"}},
      {.name = "_SETBELL", .command = 0x18, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 5s, .closingPause = 1ms,
       .setting = {.cli = "set-bell", .values = 3, .payload = LowBytes, .range = kByte,
                   .about = "Set the bell: three bytes", .valuesAbout = "The three bell bytes"}},
      // Card numbers. The terminal files an SN for up to 30 s before it answers.
      {.name = "_SETSN", .command = 0x10, .ackLimit = 1s, .block = kBytes,
       .pacing = {.beforeNak = 5ms, .afterNak = 5ms}, .final = kBlockAck, .finalLimit = 30s,
       .setting = {.cli = "set-sn", .values = 2, .payload = HighLowEach, .range = kNumber,
                   .about = "File an SN number with a second number",
                   .valuesAbout = "The SN number and the number filed with it"}},
      {.name = "_DELSN", .command = 0x11, .ackLimit = 1s, .block = kBytes,
       .pacing = {.beforeNak = 5ms, .afterNak = 5ms}, .final = kBlockAck, .finalLimit = 30s,
       .setting = {.cli = "del-sn", .values = 1, .payload = HighLow, .range = kNumber,
                   .about = "Delete an SN number", .valuesAbout = "The SN number"}},
      {.name = "_WHATSN", .command = 0x12, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 10ms}, .final = kAckValue, .finalLimit = 1s,
       .setting = {.values = 1, .payload = HighLow, .range = kNumber}},
      // The card-or-number mode and the card wait time go out exactly as the
      // door's opening mode and time do, under the same commands.
      {.name = "_SETSNORCARD", .command = 0x13, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 1s,
       .setting = {.cli = "set-sn-or-card", .values = 1, .payload = LowBytes, .range = kByte,
                   .about = "Choose between SN and card", .valuesAbout = "The mode byte"}},
      {.name = "_SETCARDWAITTIME", .command = 0x14, .ackLimit = 1s, .block = kBytes,
       .final = kBlockAck, .finalLimit = 1s,
       .setting = {.cli = "set-card-wait-time", .values = 1, .payload = LowBytes, .range = kByte,
                   .about = "Set the card wait time", .valuesAbout = "The wait byte"}},
      {.name = "_GETSNLENTH", .command = 0x16, .ackLimit = 1s, .block = kNakOnly, .final = kValue},
      {.name = "_SETLOCKNUM", .command = 0x03, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 1ms}, .final = kBlockAck, .finalLimit = 1s,
       .setting = {.cli = "set-lock-number", .values = 1, .payload = LockNumber, .range = kNumber,
                   .about = "Set the lock number", .valuesAbout = "The lock number"}},
      {.name = "_DELLOCKNUM", .command = 0x03, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 1ms}, .final = kBlockAck, .finalLimit = 1s,
       .setting = {.cli = "del-lock-number", .payload = ClearLockNumber,
                   .about = "Clear the lock number"}},
      // The real-time fetch: one frame at 57600 on the first port that opens,
      // 0.2 s for each answer, and 10 ms with the port closed before it returns.
      {.name = "_REALDOWNLOAD", .command = 0x17, .ackLimit = 200ms, .block = kNakOnly,
       .final = kOwn, .hold = 10ms},
      // The personnel tables. The voice text is stored character by
      // character: a millisecond after each of its bytes (payload offset 17).
      {.name = "_SENDNAME", .command = 0x0E, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 10s},
      {.name = "_CHANGENAMEID", .command = 0x06, .ackLimit = 1s, .block = kBytes,
       .final = kBlockAck, .finalLimit = 10s},
      {.name = "_DELETEALLNAME", .command = 0x05, .ackLimit = 1s, .final = kSecondAck,
       .finalLimit = 10s},
      {.name = "_SENDVOICE", .command = 0x14, .ackLimit = 2s, .block = kBytes,
       .pacing = {.beforeNak = 5ms, .afterNak = 10ms, .pacedFrom = 17, .paced = 1ms,
       .afterBlock = 1ms}, .final = kBlockAck, .finalLimit = 3s},
      {.name = "_DELVOICE", .command = 0x15, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 10s},
      {.name = "_DELALLVOICE", .command = 0x15, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 10s},
      {.name = "_SENDONLYCARD", .command = 0x03, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 10ms}, .final = kBlockAck, .finalLimit = 5s},
      {.name = "_DELONLYCARD", .command = 0x03, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 10ms}, .final = kBlockAck, .finalLimit = 5s},
      {.name = "_DELALLONLYCARD", .command = 0x03, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 10ms}, .final = kBlockAck, .finalLimit = 5s},
      // The fingerprint pass-through: AA 55 hands the line to the module
      // once acknowledged; then the module exchange of the row's module part.
      {.name = "_GETIDLIST", .command = 0x12, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 10ms}, .final = kBlockAck, .finalLimit = 5s,
       .module = {.command = kIdList, .secondPause = 800ms, .header = 6s, .data = 3s,
                  .marker = 6s}},
      {.name = "_SENDIDFPREC", .command = 0x12, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 20ms}, .final = kBlockAck, .finalLimit = 10s,
       .module = {.command = kSendTemplate, .secondPause = 1s, .header = 12s, .marker = 10s}},
      {.name = "_GETIDFPREC", .command = 0x12, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 10ms}, .final = kBlockAck, .finalLimit = 5s,
       .module = {.command = kGetTemplate, .secondPause = 800ms, .header = 6s, .data = 3s,
                  .marker = 6s}},
      {.name = "_DELIDFPREC", .command = 0x12, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 10ms}, .final = kBlockAck, .finalLimit = 5s,
       .module = {.command = kDeleteOne, .secondPause = 800ms, .header = 6s, .data = 3s,
                  .marker = 6s}},
      {.name = "_DELIDFPALL", .command = 0x12, .ackLimit = 1s, .block = kBytes,
       .pacing = {.afterNak = 10ms}, .final = kBlockAck, .finalLimit = 5s,
       .module = {.command = kDeleteAll, .secondPause = 800ms, .marker = 6s}},
      // The backup mode: the block's ACK, then a second one once the
      // terminal is ready for the backup link.
      {.name = "_ZWBACKUP", .command = 0x0E, .ackLimit = 1s, .block = kBytes, .final = kBlockAck,
       .finalLimit = 3s, .secondLimit = 60s},
  });
}();
// clang-format on

// Each name once, and the network exports in the network table.
static_assert([] {
  for (size_t i = 0; i < kSerialExports.size(); ++i) {
    if (kSerialExports[i].name.starts_with("_LAN")) return false;
    for (size_t j = i + 1; j < kSerialExports.size(); ++j)
      if (kSerialExports[i].name == kSerialExports[j].name) return false;
  }
  return true;
}());

// The row of an export by name. Used in constant expressions, an unknown
// name does not compile.
constexpr const SerialExport& SerialRow(std::string_view name) {
  for (const SerialExport& row : kSerialExports)
    if (row.name == name) return row;
  throw std::invalid_argument("no serial export of that name");
}

}  // namespace wpl::link
