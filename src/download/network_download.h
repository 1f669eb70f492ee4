// The network block download: the packets of the serial download over one
// TCP connection, read by length, a bad checksum asked for again with NAK at
// most five times, everything else fatal at once.
#pragma once
#include <cstdint>

#include "download/download_report.h"
#include "platform/env.h"

namespace wpl::link {
class LanConnection;
}

namespace wpl::download {

enum class NetworkDownloadKind {
  kPlain,        // _LANDOWNLOAD: pclog.dat
  kPerTerminal,  // _LANMANYDOWNLOAD: "pclog" + N + ".dat"
  kAddressed,    // _LANDOWNLOADADDR: pclog.dat, the host's address byte in the frame
};

struct NetworkTarget {
  NetworkDownloadKind kind = NetworkDownloadKind::kPlain;
  int32_t terminal = 0;    // kPerTerminal: N of the file names
  uint8_t address = 0xFA;  // kAddressed: the frame's address byte
};

DownloadReport NetworkDownload(Env& env, const char* ip, const NetworkTarget& target);

// The transfer itself, on a connection whose terminal has acknowledged the
// download frame: from the request for the header to the answer to the end
// packet, payload appended to `out`. True when complete and verified.
bool ReceiveNetworkTransfer(link::LanConnection& lan, File& out, ProgressView* progress,
                            DownloadReport& report);

// Checked packets in a row that bring no payload before the transfer is
// abandoned: a terminal sending empty packets for ever must not hold the call.
constexpr int kEmptyPacketLimit = 30;

}  // namespace wpl::download
