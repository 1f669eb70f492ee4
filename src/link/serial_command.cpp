#include "link/serial_command.h"

#include <stdexcept>

#include "link/serial_link.h"
#include "link/value_reply.h"
#include "platform/fine_sleeps.h"

namespace wpl::link {

void WriteBlock(Env& env, SerialPort& port, const BlockPlan& plan) {
  ReplayBlock(
      plan, [&](Millis pause) { env.clock->Sleep(pause); },
      [&](std::span<const uint8_t> bytes) { port.Write(bytes); });
}

SerialResult RunSerialCommand(Env& env, const SerialExport& row, int32_t address, int32_t port,
                              std::span<const uint8_t> payload) {
  if (row.final == SerialFinal::kOwn) throw std::logic_error("export runs an exchange of its own");
  // Planned before any port is opened: a payload too long for a block
  // fails without traffic.
  const BlockPlan plan = PlanBlock(payload, row.block, row.pacing);
  // Held to the end: pauses of a few milliseconds keep to their length.
  const FineSleepsWhen fine(HoldsFinePauses(plan) || NeedsFineSleeps(row.closingPause));
  SerialResult result;
  {
    auto link = RunCommandAttempts(env, address, port, row.command, row.ackLimit);
    if (link) {
      result.port = link->portNumber;
      WriteBlock(env, *link->port, plan);
      // There is no second attempt once the frame was acknowledged.
      const bool valueReply =
          row.final == SerialFinal::kValue || row.final == SerialFinal::kAckValue;
      bool answered = (row.final == SerialFinal::kNothing || row.final == SerialFinal::kValue ||
                       WaitAck(env, *link->port, row.finalLimit)) &&
                      (row.secondLimit == Millis{0} || WaitAck(env, *link->port, row.secondLimit));
      if (answered && valueReply) {
        const auto value = ReadValueReply(env, *link->port);
        answered = value.has_value();
        result.value = value.value_or(kNoValue);
      }
      result.outcome = answered ? SerialOutcome::kDone : SerialOutcome::kRefused;
      env.clock->Sleep(row.closingPause);
    }
  }  // the port is closed here
  // The hold is counted from the answer (or the last failed attempt) and
  // spent with the port closed.
  if (row.hold > Millis{0}) SleepPast(*env.clock, Stopwatch(*env.clock), row.hold);
  return result;
}

}  // namespace wpl::link
