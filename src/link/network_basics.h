// The network export that is nothing but a command frame.
#pragma once
#include <cstdint>

#include "link/lan_connection.h"
#include "platform/env.h"

namespace wpl::link {

// Clears the terminal's records over the network (command 0x0D): done once
// the frame is handed to the socket; no reply is awaited.
LanResult LanClearRecords(Env& env, const char* ip);

}  // namespace wpl::link
