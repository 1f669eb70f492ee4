// What a block download did. The exports report only whether it was
// complete; the tools print the rest.
#pragma once
#include <cstdint>

#include "platform/clock.h"

namespace wpl::download {

// What one download did, for tools; the export reports only `complete`.
struct DownloadReport {
  bool complete = false;      // every record received and verified
  int port = 0;               // serial: where the terminal answered (0: never)
  bool connected = false;     // network: the connection stood; modem: a dial connected
  uint32_t announced = 0;     // records the header announced
  uint64_t payloadBytes = 0;  // bytes appended to the record file
  int resendRequests = 0;     // packets asked for again (0xF9 serial, NAK network)
  int unexpected = 0;         // repeats and out-of-sequence packets
  bool cleared = false;       // the clearing command went through
  // Monotonic times of the complete header and of the complete end packet.
  Nanos headerStart{0}, endReceived{0};
};

// Percent of the announced payload received, 0..100 for what was announced.
inline int ProgressPercent(uint64_t received, uint64_t announced) {
  return announced == 0 ? 100 : static_cast<int>(received * 100 / announced);
}

}  // namespace wpl::download
