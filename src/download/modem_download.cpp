#include "download/modem_download.h"

#include <algorithm>
#include <array>
#include <memory>

#include "download/packets.h"
#include "download/serial_download.h"
#include "link/command_frame.h"
#include "link/serial_exports.h"
#include "link/serial_link.h"
#include "records/conversion.h"

namespace wpl::download {
namespace {

using link::SendByte;

constexpr uint32_t kModemBaud = 9600;
constexpr uint8_t kCr = 0x0D;

// How a command goes out: its text, a pause, the carriage return on its own,
// a pause. Before the connection the modem gets 60 ms to take the text; in
// data mode the commands are paced more tightly.
struct Pacing {
  Millis beforeCr, afterCr;
};
constexpr Pacing kCommandPacing{Millis{60}, Millis{1}};
constexpr Pacing kDataModePacing{Millis{40}, Millis{2}};

// A command and the reply read for it: so many bytes within a limit counted
// from the start of the read.
struct AtStep {
  std::string_view text;
  size_t replyBytes;
  Millis limit;
};
constexpr AtStep kEchoOff{"AT E0", 6, Millis{8000}};
constexpr AtStep kPrepare[] = {{"AT V1", 6, Millis{6000}}, {"AT Q0", 6, Millis{8000}}};
constexpr AtStep kDial{"AT DT", 16, Millis{30000}};
constexpr AtStep kHangUp{"AT H0", 6, Millis{6000}};
// Sent once connected; they reach the terminal, which ignores them.
constexpr std::string_view kAfterConnect[] = {"AT Q1", "AT V0"};
constexpr std::string_view kConnect = "CONNECT";
constexpr size_t kConnectAt = 2;  // the reply's bytes 2 to 8

constexpr const link::SerialExport& kRow = link::SerialRow("_MODEMDOWNLOAD");
constexpr Millis kFramePause{10};  // between the signature and the address
// Ports that did not open, or whose modem kept silent to "AT E0", and
// frames the terminal left unanswered, before the call gives up.
constexpr int kUnopenedLimit = 6;
constexpr int kSilentModemLimit = 5;
constexpr int kFrameAttemptLimit = 1;

// One modem on an open port, in command mode until it connects.
class ModemLine {
 public:
  ModemLine(Env& env, SerialPort& port, std::array<uint8_t, kReceiveBufferSize>& buf)
      : env_(env), port_(port), buf_(buf) {}

  // Sends the command and reads its reply; the count of reply bytes.
  size_t Command(const AtStep& step, std::string_view number = {}) {
    Send(step.text, kCommandPacing, number);
    return link::ReadBytes(env_, port_, buf_, step.replyBytes, step.limit, link::LimitKind::kTotal);
  }

  // Modems echo commands and end their replies longer than the bytes read
  // for them ("CONNECT 14400" and its CR LF): what is still waiting belongs
  // to an earlier reply and is dropped, so that each reply is read from its
  // own first byte. A line that never falls quiet is given up on.
  void Discard() {
    Stopwatch watch(*env_.clock);
    while (port_.Read(drain_) > 0 && !watch.Exceeded(kDrainLimit)) {
    }
  }

  void Send(std::string_view text, Pacing pacing, std::string_view number = {}) {
    Discard();
    Write(text);
    if (!number.empty()) {
      env_.clock->Sleep(pacing.beforeCr);
      Write(number);
    }
    env_.clock->Sleep(pacing.beforeCr);
    SendByte(port_, kCr);
    env_.clock->Sleep(pacing.afterCr);
  }

  // The download command, with a pause after the signature.
  bool SendFrame(uint8_t address) {
    Discard();
    const auto frame = link::BuildCommandFrame(address, kRow.command);
    port_.Write(std::span(frame.data(), link::kSignature.size()));
    env_.clock->Sleep(kFramePause);
    for (size_t i = link::kSignature.size(); i < frame.size(); ++i) SendByte(port_, frame[i]);
    return link::WaitAck(env_, port_, kRow.ackLimit);
  }

 private:
  void Write(std::string_view text) {
    port_.Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }

  Env& env_;
  SerialPort& port_;
  std::array<uint8_t, kReceiveBufferSize>& buf_;
  std::array<uint8_t, kReceiveBufferSize> drain_{};
};

bool IsConnect(std::span<const uint8_t> reply) {
  return reply.size() >= kConnectAt + kConnect.size() &&
         std::equal(kConnect.begin(), kConnect.end(), reply.begin() + kConnectAt);
}

std::string Printable(std::span<const uint8_t> reply) {
  std::string text;
  for (uint8_t b : reply) {
    if (b == '\r' || b == '\n') continue;
    text += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
  }
  return text;
}

// The port on which the call goes on, and whether the terminal acknowledged
// the download command there. The port stays open on the failures that end
// the call, to be closed with the record file.
struct Connection {
  std::unique_ptr<SerialPort> port;
  bool acknowledged = false;
};

// Opens a port, prepares its modem, dials and sends the download command;
// a silent modem or an unanswered frame moves on to the next port with a
// complete new dialogue, as far as the counters allow.
Connection Connect(Env& env, int32_t address, int port, std::string_view number,
                   std::array<uint8_t, kReceiveBufferSize>& buf, ModemReport& report) {
  int p = port;
  for (;;) {
    auto open = link::OpenModemPort(env, p);
    if (!open) {
      p = link::NextPort(p);
      if (++report.modemFailures > kUnopenedLimit) return {};
      continue;
    }
    ModemLine modem(env, *open, buf);
    if (modem.Command(kEchoOff) < kEchoOff.replyBytes) {
      p = link::NextPort(p);
      open.reset();
      if (++report.modemFailures > kSilentModemLimit) return {};
      continue;
    }
    for (const AtStep& step : kPrepare) modem.Command(step);  // replies not examined
    report.dialled = true;
    const size_t got = modem.Command(kDial, number);
    const auto reply = std::span<const uint8_t>(buf.data(), got);
    report.dialReply = Printable(reply);
    if (!IsConnect(reply)) {
      modem.Command(kHangUp);
      return {std::move(open), false};
    }
    report.connected = true;
    for (std::string_view text : kAfterConnect) modem.Send(text, kDataModePacing);
    const bool acked = modem.SendFrame(static_cast<uint8_t>(address));
    ++report.frameAttempts;
    if (acked) {
      report.port = p;
      return {std::move(open), true};
    }
    if (report.frameAttempts > kFrameAttemptLimit) return {std::move(open), false};
    p = link::NextPort(p);
  }
}

}  // namespace

std::optional<std::string_view> TelephoneNumber(const char* text) {
  if (!text) return std::nullopt;
  size_t n = 0;
  for (; n <= kMaxTelephoneNumber && text[n] != '\0'; ++n) {
    const auto low7 = static_cast<uint8_t>(text[n] & 0x7F);
    if (low7 < 0x20 || low7 == 0x7F) return std::nullopt;
  }
  if (n == 0 || n > kMaxTelephoneNumber) return std::nullopt;
  return std::string_view(text, n);
}

ModemReport ModemDownload(Env& env, int32_t address, int32_t port, const char* number) {
  ModemReport report;
  const auto dial = TelephoneNumber(number);
  if (!dial) return report;
  bool ok = false;
  if (auto file = env.files->Create(env.dataDir + "pclog.dat"); !file) {
    env.ui->ShowMessage("can not creat pclog.dat!", "Open Error");
  } else {
    auto progress = env.ui->OpenProgress(ProgressKind::kSerial);
    if (progress) progress->Repaint();
    std::array<uint8_t, kReceiveBufferSize> buf{};
    Connection link = Connect(env, address, port, *dial, buf, report);
    if (link.acknowledged) {
      ok = ReceiveSerialTransfer(env, *link.port, kModemBaud, *file, progress.get(), report,
                                 kModemRules);
    }
    // Closing: the record file, then the port. No hang-up command is sent:
    // closing the port drops DTR, and the modem hangs up.
    env.clock->Sleep(Millis{1000});
    file.reset();
    link.port.reset();
  }  // the window goes before the conversion can show a message
  records::ConvertRecordFile(env);
  report.complete = ok;
  return report;
}

}  // namespace wpl::download
