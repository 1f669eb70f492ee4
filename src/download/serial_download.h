// The serial block download: every clocking record a terminal holds, in
// checked and numbered packets, into pclog.dat; then the conversion to text
// and, when both worked, the clearing of the terminal.
#pragma once
#include <cstdint>

#include "download/download_report.h"
#include "download/packets.h"
#include "link/command_frame.h"
#include "platform/env.h"

namespace wpl::download {

DownloadReport SerialDownload(Env& env, int32_t address, int32_t port);

// Where the block download over a direct line and over a modem link differ.
// Everything else (the packet reading, the checks, the retry counters, the
// drains, taking a packet into the file) is one receiver for both.
struct ReceiverRules {
  CountRule count;       // the header's type byte: 3 extends the count, or only 2 is valid
  size_t firstRead;      // bytes the first read of a data packet asks for
  uint8_t repeatAnswer;  // answer to a repeat of the packet just taken
  Millis repeatPause;    // pause before that answer
  int endResends;        // resend requests for a bad end packet before CAN
  uint8_t endAnswer;     // answer to a verified end packet whose total agrees
  bool listenAfterEnd;   // then wait 1 s for a byte, and pause 16 s if one comes
};

constexpr ReceiverRules kSerialRules{.count = CountRule::kExtended,
                                     .firstRead = kMaxDataPacket,
                                     .repeatAnswer = link::kAck,
                                     .repeatPause = Millis{0},
                                     .endResends = 0,
                                     .endAnswer = kReady,
                                     .listenAfterEnd = true};
// Through a modem: only type 2, packets read from their first 6 bytes, a
// repeat answered 0x15 after 1 ms, a bad end packet asked for again, and ACK
// for a good one.
constexpr ReceiverRules kModemRules{.count = CountRule::kModem,
                                    .firstRead = kPacketOverhead,
                                    .repeatAnswer = kReady,
                                    .repeatPause = Millis{1},
                                    .endResends = 15,
                                    .endAnswer = link::kAck,
                                    .listenAfterEnd = false};

// The transfer itself, on a port where the terminal has acknowledged the
// download command at `baud`: from the ready byte to the answer to the end
// packet, payload appended to `out`. True when complete and verified.
bool ReceiveSerialTransfer(Env& env, SerialPort& port, uint32_t baud, File& out,
                           ProgressView* progress, DownloadReport& report,
                           const ReceiverRules& rules = kSerialRules);

// Limits on a misbehaving terminal, beyond the protocol's own counters.
// Packets that pass their checks but bring nothing new (repeats, unexpected
// sequence numbers) in a row before the transfer is abandoned:
constexpr int kNoProgressLimit = 30;
// A drain of the input gives up after this long, so that a terminal that
// never stops sending cannot hold the call.
constexpr Millis kDrainLimit{2000};

}  // namespace wpl::download
