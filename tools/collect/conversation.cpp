#include "conversation.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "download/modem_download.h"
#include "download/network_download.h"
#include "download/realtime.h"
#include "download/serial_download.h"
#include "link/lan_connection.h"
#include "link/network_basics.h"
#include "link/serial_basics.h"
#include "link/serial_exports.h"
#include "link/serial_link.h"
#include "log.h"

namespace collect {
namespace {

// The record file of a download, in memory: the collector keeps the bytes
// until they are committed, and writes no pclog.dat.
class MemoryRecordFile : public wpl::File {
 public:
  int64_t Read(std::span<uint8_t>) override { return -1; }
  bool Write(std::span<const uint8_t> bytes) override {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return true;
  }
  bool Seek(int64_t) override { return false; }
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

std::vector<Raw> Records(const std::vector<uint8_t>& bytes) {
  std::vector<Raw> out;
  for (size_t i = 0; i + 6 <= bytes.size(); i += 6) {
    Raw r;
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(i), 6, r.begin());
    out.push_back(r);
  }
  return out;
}

double Seconds(const wpl::download::DownloadReport& r) {
  if (r.endReceived <= r.headerStart) return 0;
  return std::chrono::duration<double>(r.endReceived - r.headerStart).count();
}

std::string Failure(const wpl::download::DownloadReport& r, bool network) {
  if (network && !r.connected) return "no connection";
  if (!network && r.port == 0) return "no answer on the line";
  if (r.announced == 0 && r.payloadBytes == 0) return "no answer to the download";
  return "download broke off after " + std::to_string(r.payloadBytes / 6) + " of " +
         std::to_string(r.announced) + " records";
}

Downloaded Result(bool ok, const wpl::download::DownloadReport& report,
                  const MemoryRecordFile& file, bool network) {
  Downloaded d;
  d.complete = ok;
  d.port = report.port;
  d.protocolSeconds = Seconds(report);
  if (ok)
    d.records = Records(file.bytes());
  else
    d.error = Failure(report, network);
  return d;
}

// The network download of the per-terminal export's row (frame 0x01 with
// 0xFA, its pacing), without the conversion and the clearing.
Downloaded Network(wpl::Env& env, const TerminalConfig& t) {
  wpl::download::DownloadReport report;
  MemoryRecordFile file;
  bool ok = false;
  {
    const wpl::link::LanExport& row = wpl::link::LanRow("_LANMANYDOWNLOAD");
    wpl::link::LanConnection lan(env, row);
    if (lan.Open(t.ip.c_str()) == wpl::link::LanOpen::kOk) {
      report.connected = true;
      if (lan.SendFrame(row.command) && lan.AwaitAck())
        ok = wpl::download::ReceiveNetworkTransfer(lan, file, nullptr, report);
      lan.Close(ok);
    } else {
      lan.Close(false);
    }
  }
  return Result(ok, report, file, true);
}

Downloaded Serial(wpl::Env& env, const TerminalConfig& t) {
  wpl::download::DownloadReport report;
  MemoryRecordFile file;
  bool ok = false;
  {
    static constexpr const wpl::link::SerialExport& kRow = wpl::link::SerialRow("_DOWNLOAD");
    auto link = wpl::link::RunCommandAttempts(env, t.address, t.port, kRow.command, kRow.ackLimit);
    if (link) {
      report.port = link->portNumber;
      ok =
          wpl::download::ReceiveSerialTransfer(env, *link->port, link->baud, file, nullptr, report);
    }
    // The terminal's pause before the port closes.
    env.clock->Sleep(wpl::Millis{1000});
  }
  return Result(ok, report, file, false);
}

// The modem download writes its record file into the conversation's own
// folder; the records are read back from there. It never clears.
Downloaded Modem(wpl::Env& env, const TerminalConfig& t) {
  const std::string path = env.dataDir + "pclog.dat";
  std::remove(path.c_str());
  const auto report = wpl::download::ModemDownload(env, t.address, t.port, t.modem.c_str());
  // The conversion's text file and dated copies are the library's habit;
  // the store is the collector's copy.
  std::error_code ec;
  std::filesystem::remove_all(env.dataDir + "downbak", ec);
  std::filesystem::remove(env.dataDir + "pclog.txt", ec);
  Downloaded d;
  d.complete = report.complete;
  d.port = report.port;
  d.protocolSeconds = Seconds(report);
  if (d.complete) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.eof() && !in.good()) {
      d.complete = false;
      d.error = "cannot read the modem download's record file";
    }
    d.records = Records(bytes);
  } else {
    d.error = report.dialled ? (report.connected ? Failure(report, false)
                                                 : "no connection: " + report.dialReply)
                             : "no modem answered";
  }
  return d;
}

}  // namespace

void QuietUi::ShowMessage(const std::string& text, const std::string& title) {
  Log(terminal_, title + ": " + text);
}

Downloaded DownloadRecords(wpl::Env& env, const TerminalConfig& t) {
  switch (t.link) {
    case LinkKind::kNetwork: return Network(env, t);
    case LinkKind::kSerial: return Serial(env, t);
    case LinkKind::kModem: break;
  }
  return Modem(env, t);
}

bool ClearTerminal(wpl::Env& env, const TerminalConfig& t, int port, std::string& error) {
  switch (t.link) {
    case LinkKind::kNetwork:
      if (wpl::link::LanClearRecords(env, t.ip.c_str()).done()) return true;
      error = "the clear could not be sent";
      return false;
    case LinkKind::kSerial:
      if (wpl::link::ClearRecords(env, t.address, port > 0 ? port : t.port).done()) return true;
      error = "the terminal did not acknowledge the clear";
      return false;
    case LinkKind::kModem: break;
  }
  error = "a modem terminal is not cleared";
  return false;
}

Live FetchLive(wpl::Env& env, const TerminalConfig& t) {
  const auto got = t.link == LinkKind::kNetwork
                       ? wpl::download::LanRealtimeFetch(env, t.ip.c_str())
                       : wpl::download::SerialRealtimeFetch(env, t.address, t.port);
  Live live;
  switch (got.outcome) {
    case wpl::download::RealtimeOutcome::kRecord:
      live.outcome = LiveOutcome::kRecord;
      live.record = got.record;
      break;
    case wpl::download::RealtimeOutcome::kNoRecord: live.outcome = LiveOutcome::kNone; break;
    case wpl::download::RealtimeOutcome::kFailed: break;
  }
  return live;
}

}  // namespace collect
