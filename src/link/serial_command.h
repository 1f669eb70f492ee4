// A serial export's whole conversation from its row: the attempt and
// port-scan loop, the block in its shape and pauses, the final wait, the
// closing pause and the hold.
#pragma once
#include <cstdint>
#include <span>

#include "link/block_plan.h"
#include "link/serial_exports.h"
#include "platform/env.h"

namespace wpl::link {

enum class SerialOutcome {
  kUnanswered,  // no attempt was acknowledged (or no port could be opened)
  kRefused,     // the frame was acknowledged, the final wait was not
  kDone,
};

struct SerialResult {
  SerialOutcome outcome = SerialOutcome::kUnanswered;
  int port = 0;        // where the terminal acknowledged the frame; 0 when it never did
  uint16_t value = 0;  // the value reply's value, for the rows that await one
  constexpr bool done() const { return outcome == SerialOutcome::kDone; }
};

// Runs a row whose final wait is not an exchange of its own. The payload is
// the block's data (ignored by rows without a block).
SerialResult RunSerialCommand(Env& env, const SerialExport& row, int32_t address, int32_t port,
                              std::span<const uint8_t> payload = {});

// Writes a planned block: its pauses on the clock, a write for each piece.
void WriteBlock(Env& env, SerialPort& port, const BlockPlan& plan);

}  // namespace wpl::link
