// The serial block download: every clocking record a terminal holds, in
// checked and numbered packets, into pclog.dat; then the conversion to text
// and, when both worked, the clearing of the terminal.
#pragma once
#include <cstdint>

#include "download/download_report.h"
#include "platform/env.h"

namespace wpl::download {

DownloadReport SerialDownload(Env& env, int32_t address, int32_t port);

// The transfer itself, on a port where the terminal has acknowledged the
// download command at `baud`: from the ready byte to the answer to the end
// packet, payload appended to `out`. True when complete and verified.
bool ReceiveSerialTransfer(Env& env, SerialPort& port, uint32_t baud, File& out,
                           ProgressView* progress, DownloadReport& report);

// Limits on a misbehaving terminal, beyond the protocol's own counters.
// Packets that pass their checks but bring nothing new (repeats, unexpected
// sequence numbers) in a row before the transfer is abandoned:
constexpr int kNoProgressLimit = 30;
// A drain of the input gives up after this long, so that a terminal that
// never stops sending cannot hold the call.
constexpr Millis kDrainLimit{2000};

}  // namespace wpl::download
