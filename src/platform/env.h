// The platform services one call works with. Exports use ProcessEnv(); tests
// and tools pass their own (virtual time, in-process terminals, temp folders).
#pragma once
#include <string>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/serial.h"
#include "platform/socket.h"
#include "platform/ui.h"

namespace wpl {

struct Env {
  Clock* clock = nullptr;
  SerialPorts* serial = nullptr;
  FileSystem* files = nullptr;
  Ui* ui = nullptr;
  // Folder of the data files, ending with a separator.
  std::string dataDir;
  Sockets* sockets = nullptr;
};

// The process default: the real clock, ports, files and windows; the data
// folder is W_PCLOG_DIR when set, else the folder of the running program.
Env& ProcessEnv();

}  // namespace wpl
