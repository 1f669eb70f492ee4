#include "link/serial_basics.h"

#include "link/serial_command.h"

namespace wpl::link {

SerialResult ClearRecords(Env& env, int32_t address, int32_t port) {
  static constexpr const SerialExport& kRow = SerialRow("_DELETE");
  return RunSerialCommand(env, kRow, address, port);
}

SerialResult TestCom(Env& env, int32_t address, int32_t port) {
  static constexpr const SerialExport& kRow = SerialRow("_TESTCOM");
  return RunSerialCommand(env, kRow, address, port);
}

}  // namespace wpl::link
