#include "link/serial_basics.h"

#include "link/command_frame.h"
#include "link/serial_link.h"

namespace wpl::link {

int32_t ClearRecords(Env& env, int32_t address, int32_t port) {
  return RunCommandAttempts(env, address, port, cmd::kClearRecords, Millis{3000}) ? 0 : 1;
}

int32_t TestCom(Env& env, int32_t address, int32_t port) {
  auto link = RunCommandAttempts(env, address, port, cmd::kTestCom, Millis{1000});
  return link ? link->portNumber : -1;
}

}  // namespace wpl::link
