#include "link/serial_basics.h"

#include "link/serial_command.h"

namespace wpl::link {

int32_t ClearRecords(Env& env, int32_t address, int32_t port) {
  static constexpr const SerialExport& kRow = SerialRow("_DELETE");
  return DoneOrFailed(RunSerialCommand(env, kRow, address, port));
}

int32_t TestCom(Env& env, int32_t address, int32_t port) {
  static constexpr const SerialExport& kRow = SerialRow("_TESTCOM");
  const SerialResult r = RunSerialCommand(env, kRow, address, port);
  return r.outcome == SerialOutcome::kDone ? r.port : -1;
}

}  // namespace wpl::link
