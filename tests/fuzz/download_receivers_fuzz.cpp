// Whatever a terminal sends, in whatever pieces, the serial receiver (with
// the direct line's and the modem link's rules) and the network receiver
// must end (their counters and silence limits bound them), never
// read or write past their buffers, and keep no more payload than the header
// announced plus one packet.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "download/network_download.h"
#include "download/packets.h"
#include "download/serial_download.h"
#include "link/lan_connection.h"
#include "memory_file.h"
#include "platform/env.h"
#include "platform/socket.h"
#include "step_port.h"

namespace {

using namespace wpl;

class ScriptSocket : public Socket {
 public:
  explicit ScriptSocket(testing::LengthLedPieces& s) : script_(s) {}
  bool Connect(Ipv4Address, uint16_t, Millis) override { return true; }
  int64_t Send(std::span<const uint8_t> b) override { return static_cast<int64_t>(b.size()); }
  ReceiveResult Receive(std::span<uint8_t> out, Millis) override {
    const size_t n = script_(out);
    return n ? ReceiveResult{ReceiveStatus::kBytes, n} : ReceiveResult{ReceiveStatus::kClosed, 0};
  }

 private:
  testing::LengthLedPieces& script_;
};

class ScriptSockets : public Sockets {
 public:
  explicit ScriptSockets(testing::LengthLedPieces& s) : script_(s) {}
  bool Startup() override { return true; }
  std::unique_ptr<Socket> Create() override { return std::make_unique<ScriptSocket>(script_); }

 private:
  testing::LengthLedPieces& script_;
};

void CheckKept(const download::DownloadReport& report, const testing::MemoryFile& out) {
  const uint64_t bound = uint64_t{report.announced} * download::kRecordSize + 255;
  if (out.data.size() > bound || out.data.size() != report.payloadBytes) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const auto* rules : {&download::kSerialRules, &download::kModemRules}) {
    testing::FakeClock clock;
    testing::StepPort port(testing::LengthLedPieces({data, size}), clock);
    Env env;
    env.clock = &clock;
    testing::MemoryFile out;
    download::DownloadReport report;
    download::ReceiveSerialTransfer(env, port, 57600, out, nullptr, report, *rules);
    CheckKept(report, out);
  }
  {
    testing::LengthLedPieces script({data, size});
    testing::FakeClock clock;
    ScriptSockets sockets(script);
    Env env;
    env.clock = &clock;
    env.sockets = &sockets;
    link::LanConnection lan(env, link::LanRow("_LANDOWNLOAD"));
    if (lan.Open("127.0.0.1") != link::LanOpen::kOk) __builtin_trap();
    testing::MemoryFile out;
    download::DownloadReport report;
    download::ReceiveNetworkTransfer(lan, out, nullptr, report);
    CheckKept(report, out);
  }
  return 0;
}
