// The platform services one call works with. Exports use ProcessEnv(); tests
// and tools pass their own (virtual time, in-process terminals, temp folders).
#pragma once
#include <memory>
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
  // What the services above point into and this Env alone holds: the wire
  // trace of one call, closed when the call's Env goes.
  std::shared_ptr<void> owned;
};

// The process default for one call, made afresh for it: the real clock,
// ports, files and windows; the data folder is W_PCLOG_DIR when set, else the
// folder of the running program; traced into W_PCLOG_TRACE when set.
Env ProcessEnv();

}  // namespace wpl
