#include "download/network_download.h"

#include <string>

#include "download/buffered_file.h"
#include "download/packets.h"
#include "link/command_frame.h"
#include "link/lan_connection.h"
#include "link/network_basics.h"
#include "records/conversion.h"

namespace wpl::download {
namespace {

using link::kAck;
using link::kNak;
using link::LanConnection;
using link::LanReceive;

constexpr int kNakLimit = 5;

const link::LanExport& RowOf(NetworkDownloadKind kind) {
  switch (kind) {
    case NetworkDownloadKind::kPlain: return link::LanRow("_LANDOWNLOAD");
    case NetworkDownloadKind::kPerTerminal: return link::LanRow("_LANMANYDOWNLOAD");
    case NetworkDownloadKind::kAddressed: break;
  }
  return link::LanRow("_LANDOWNLOADADDR");
}

records::PostDownloadConversion ConversionOf(const NetworkTarget& t) {
  switch (t.kind) {
    case NetworkDownloadKind::kPlain: return {};
    case NetworkDownloadKind::kPerTerminal: return records::PerTerminalConversion(t.terminal);
    case NetworkDownloadKind::kAddressed: break;
  }
  return records::AddressConversion();
}

uint8_t FrameAddress(const NetworkTarget& t) {
  return t.kind == NetworkDownloadKind::kAddressed ? t.address : link::kNetworkAddress;
}

class NetworkReceiver {
 public:
  NetworkReceiver(LanConnection& lan, File& out, ProgressView* progress, DownloadReport& report)
      : lan_(lan), out_(out), progress_(progress), report_(report) {}

  // From the request for the header to the answer to the end packet.
  bool Run() {
    lan_.Pause(lan_.row().pacing.beforeNak);
    lan_.SendByte(kNak);
    if (!ReceiveHeader()) return false;
    if (count_ == 0) return true;
    return ReceiveData() && ReceiveEnd();
  }

 private:
  bool ReceiveHeader() {
    lan_.StartReply();
    if (lan_.ReceiveUntil(kHeaderSize) != LanReceive::kDone) return false;
    report_.headerStart = lan_.env().clock->Now();
    const auto count = ParseHeader(lan_.received().first(kHeaderSize));
    if (!count) return false;
    count_ = *count;
    report_.announced = count_;
    lan_.SendByte(kAck);
    return true;
  }

  // Receives one packet by its length: the five head bytes, then the rest.
  // Empty when the connection failed or the head does not hold together with
  // the expected sequence number.
  std::span<const uint8_t> ReceivePacket() {
    lan_.StartReply();
    if (lan_.ReceiveUntil(5) != LanReceive::kDone) return {};
    const auto head = lan_.received();
    if (!HeadIsConsistent(head) || head[1] != seq_) return {};
    const size_t length = head[3] + kPacketOverhead;
    if (lan_.ReceiveUntil(length) != LanReceive::kDone) return {};
    // The packet is what its length says; anything after it is not part of it.
    return lan_.received().first(length);
  }

  bool ReceiveData() {
    const uint64_t total = uint64_t{count_} * kRecordSize;
    seq_ = 1;
    int naks = 0, empty = 0;
    while (received_ < total) {
      const auto packet = ReceivePacket();
      if (packet.empty()) return false;
      if (!PacketChecks(packet)) {
        if (naks >= kNakLimit) return false;
        ++naks;
        ++report_.resendRequests;
        lan_.SendByte(kNak);
        continue;
      }
      const auto payload = Payload(packet);
      if (payload.empty() && ++empty > kEmptyPacketLimit) return false;
      if (!payload.empty()) empty = 0;
      checksumTotal_ = static_cast<uint16_t>(checksumTotal_ + packet.back());
      if (!out_.Write(payload)) return false;
      lan_.SendByte(kAck);
      naks = 0;
      ++seq_;
      received_ += payload.size();
      report_.payloadBytes = received_;
      if (progress_) {
        progress_->SetPosition(ProgressPercent(received_, total));
        progress_->Repaint();
      }
    }
    return true;
  }

  bool ReceiveEnd() {
    const auto packet = ReceivePacket();
    if (packet.empty()) return false;
    report_.endReceived = lan_.env().clock->Now();
    const auto total = ParseEndPacket(packet, seq_);
    // Good or bad, the end packet is answered with NAK.
    lan_.SendByte(kNak);
    return total && *total == checksumTotal_;
  }

  LanConnection& lan_;
  File& out_;
  ProgressView* progress_;
  DownloadReport& report_;
  uint32_t count_ = 0;
  uint8_t seq_ = 0;
  uint64_t received_ = 0;
  uint16_t checksumTotal_ = 0;
};

// One line of status in the window's edit box, shown at once.
void ShowStatus(ProgressView* progress, const std::string& text) {
  if (!progress) return;
  progress->SetStatus(text);
  progress->Repaint();
}

}  // namespace

bool ReceiveNetworkTransfer(LanConnection& lan, File& out, ProgressView* progress,
                            DownloadReport& report) {
  return NetworkReceiver(lan, out, progress, report).Run();
}

DownloadReport NetworkDownload(Env& env, const char* ip, const NetworkTarget& target) {
  DownloadReport report;
  const link::LanExport& row = RowOf(target.kind);
  const records::PostDownloadConversion conversion = ConversionOf(target);
  bool ok = false;
  {
    LanConnection lan(env, row);
    auto progress = env.ui->OpenProgress(ProgressKind::kNetwork);
    if (progress) progress->Repaint();
    const link::LanOpen opened = lan.Open(ip);
    ShowStatus(progress.get(), link::LanOpenText(opened, ip));
    if (opened != link::LanOpen::kOk) {
      env.clock->Sleep(Millis{50});
      progress.reset();
      lan.Close(false);
    } else {
      report.connected = true;
      auto file = env.files->Create(env.dataDir + conversion.recordFile);
      if (!file) {
        env.ui->ShowMessage("can not creat pclog.dat!", "Open Error");
      } else if (!lan.SendFrame(row.command, FrameAddress(target))) {
        ShowStatus(progress.get(), std::string(link::lan_text::kSendFailed));
      } else if (lan.AwaitAck()) {
        BufferedFile records(*file);
        ok = ReceiveNetworkTransfer(lan, records, progress.get(), report) && records.Flush();
      }
      file.reset();
      progress.reset();
      lan.Close(ok);
    }
  }
  // The ending pause is the closing pause of the connection; then the
  // conversion and, after a verified transfer it could convert, the clearing.
  const bool convert = ok || target.kind == NetworkDownloadKind::kPlain;
  const int converted = convert ? records::ConvertRecordFile(env, conversion) : -1;
  if (ok) {
    report.complete = true;
    if (converted == 0) report.cleared = link::LanClearRecords(env, ip).done();
  }
  return report;
}

}  // namespace wpl::download
