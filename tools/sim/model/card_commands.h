// The terminal's card commands, for the command table.
#pragma once
#include <span>

#include "terminal_model.h"

namespace wpl::sim::cards {

using Payload = std::span<const uint8_t>;

BlockVerdict SetSn(TerminalModel& m, Payload p, Nanos now);     // 0x10
BlockVerdict DeleteSn(TerminalModel& m, Payload p, Nanos now);  // 0x11
BlockVerdict WhatSn(TerminalModel& m, Payload p, Nanos now);    // 0x12
void SnLength(TerminalModel& m, Nanos now);                     // 0x16
void RealtimeRecord(TerminalModel& m, Nanos now);               // 0x17
// Command 0x03 with operation 0x01 and a number sets the lock number,
// operation 0x00 alone clears it.
void NoteLockNumber(TerminalModel& m, Payload p);

}  // namespace wpl::sim::cards
