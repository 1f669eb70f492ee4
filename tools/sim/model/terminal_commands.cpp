// What the terminal does with each command it knows: the settings it keeps,
// the user table, the store of records. A block of a length the command does
// not carry is acknowledged and changes nothing.
#include <algorithm>
#include <array>

#include "card_commands.h"
#include "link/command_frame.h"
#include "terminal_model.h"

namespace wpl::sim {
namespace {

using Payload = std::span<const uint8_t>;
constexpr BlockVerdict kAccept = BlockVerdict::kAccept;

uint16_t HighLow(Payload p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Stores a payload of exactly the size of `into`.
template <size_t N>
BlockVerdict Keep(Payload p, std::array<uint8_t, N>& into) {
  if (p.size() == N) std::copy(p.begin(), p.end(), into.begin());
  return kAccept;
}

BlockVerdict KeepByte(Payload p, uint8_t& into) {
  if (p.size() == 1) into = p[0];
  return kAccept;
}

// Enables or disables one person; a person the terminal does not hold gets
// no answer.
BlockVerdict SetPerson(TerminalModel& m, Payload p, bool enabled) {
  if (p.size() != 2) return kAccept;
  const uint16_t person = HighLow(p);
  if (!m.users().Knows(person)) return BlockVerdict::kIgnore;
  m.users().enabled[person] = enabled;
  return kAccept;
}

// Command 0x12 carries two kinds of request, told apart by the block.
// AA 55 asks the terminal to lend its line to the fingerprint module once it
// has acknowledged the block.
bool IsPassThrough(Payload p) {
  return std::equal(p.begin(), p.end(), fingerprint::kPassThroughPayload.begin(),
                    fingerprint::kPassThroughPayload.end());
}

BlockVerdict OnPassThroughOrSnQuery(TerminalModel& m, Payload p, Nanos now) {
  if (IsPassThrough(p)) {
    m.HandLineToModule(now);
    return kAccept;
  }
  // Any other payload: the SN query and its value reply.
  return cards::WhatSn(m, p, now);
}

// Command 0x0E with a one-byte block puts the terminal into backup mode: it
// acknowledges the block, gets its module ready and says so with a second
// ACK, then hands its line to the module's backup link. (Longer blocks are
// names.)
BlockVerdict OnBackupOrName(TerminalModel& m, Payload p, Nanos now) {
  if (p.size() != 1) {
    m.personnel().OnName(p);
    return kAccept;
  }
  const auto faults = m.config().commandFaults.find(0x0E);
  const bool faulty = faults != m.config().commandFaults.end();
  m.QueueAnswer(faulty ? faults->second.block : Answer{}, now);
  const Answer ready = faulty && faults->second.second.fault != AckFault::kNone
                           ? faults->second.second
                           : Answer{AckFault::kLate, m.config().backup.readyDelay};
  m.QueueAnswer(ready, now);
  if (ready.fault == AckFault::kNone || ready.fault == AckFault::kLate) m.EnterBackupMode(now);
  return BlockVerdict::kAnswered;
}

const CommandRule kCommands[] = {
    {link::cmd::kTestCom},  // the port test: the ACK is all
    {link::cmd::kDownload, [](TerminalModel& m, Nanos) { m.download().Start(m.records()); }},
    {0x02, nullptr, [](TerminalModel& m, Payload p, Nanos) { return Keep(p, m.settings().clock); }},
    {0x03, nullptr,
     [](TerminalModel& m, Payload p, Nanos) {
       m.settings().command3.assign(p.begin(), p.end());
       cards::NoteLockNumber(m, p);
       m.personnel().OnCardOnly(p);
       return kAccept;
     }},
    {0x04, nullptr,
     [](TerminalModel& m, Payload p, Nanos) { return KeepByte(p, m.settings().machineId); }},
    {0x06, nullptr,
     [](TerminalModel& m, Payload p, Nanos) {
       m.personnel().OnChangeNumber(p);
       return KeepByte(p, m.settings().openClose);
     }},
    {0x07, nullptr,
     [](TerminalModel& m, Payload p, Nanos) {
       if (p.size() == 2) m.settings().password = HighLow(p);
       return kAccept;
     }},
    {0x08, [](TerminalModel& m, Nanos) { m.users().enabled = m.users().enrolled; }},
    {0x09, [](TerminalModel& m, Nanos) { m.users().enabled.reset(); }},
    {0x0A, nullptr, [](TerminalModel& m, Payload p, Nanos) { return SetPerson(m, p, true); }},
    {0x0B, nullptr, [](TerminalModel& m, Payload p, Nanos) { return SetPerson(m, p, false); }},
    {0x0C, [](TerminalModel& m, Nanos) { ++m.settings().restores; }},
    {link::cmd::kClearRecords, [](TerminalModel& m, Nanos) { m.ClearRecords(); }},
    {0x0E, nullptr, OnBackupOrName},
    {0x0F, [](TerminalModel& m, Nanos) { ++m.settings().restoreAlls; }},
    {0x12, nullptr, OnPassThroughOrSnQuery},
    {0x13, nullptr,
     [](TerminalModel& m, Payload p, Nanos) { return KeepByte(p, m.settings().openMode); }},
    {0x14, nullptr,
     [](TerminalModel& m, Payload p, Nanos) {
       m.personnel().OnVoice(p);
       return KeepByte(p, m.settings().openTime);
     }},
    // The personnel tables: deleting every name answers a second ACK once
    // the table is empty.
    {0x05, [](TerminalModel& m, Nanos) { m.personnel().names.clear(); }, nullptr, true},
    {0x15, nullptr,
     [](TerminalModel& m, Payload p, Nanos) {
       m.personnel().OnDeleteVoice(p);
       return kAccept;
     }},
    {0x18, nullptr, [](TerminalModel& m, Payload p, Nanos) { return Keep(p, m.settings().bell); }},
    // Card numbers and the real-time record.
    {0x10, nullptr, cards::SetSn},
    {0x11, nullptr, cards::DeleteSn},
    {0x16, cards::SnLength},
    {0x17, cards::RealtimeRecord},
};

}  // namespace

const CommandRule* FindCommand(uint8_t command) {
  for (const CommandRule& rule : kCommands)
    if (rule.command == command) return &rule;
  return nullptr;
}

}  // namespace wpl::sim
