// The two serial exports that are nothing but a command exchange.
#pragma once
#include <cstdint>

#include "link/serial_command.h"
#include "platform/env.h"

namespace wpl::link {

// Clears the terminal's records (command 0x0D, 3 s limit).
SerialResult ClearRecords(Env& env, int32_t address, int32_t port);

// Finds the port a terminal answers on (command 0x00, 1 s limit): the
// result's port when it is done.
SerialResult TestCom(Env& env, int32_t address, int32_t port);

}  // namespace wpl::link
