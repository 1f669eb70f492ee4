#include "download/serial_download.h"

#include <array>

#include "download/packets.h"
#include "link/command_frame.h"
#include "link/serial_basics.h"
#include "link/serial_exports.h"
#include "link/serial_link.h"
#include "records/conversion.h"

namespace wpl::download {
namespace {

using link::kAck;
using link::kCan;
using link::SendByte;

constexpr Millis kHeaderSilence{10000};
constexpr Millis kPacketSilence{2000};
constexpr int kBadLimit = 15;
constexpr int kShortLimit = 30;
constexpr size_t kShortPacket = 7;

// The three ways the input is drained before a resend request.
enum class Drain {
  kHeader,  // 40 ms, read, 10 ms, read; again while the last read brought bytes
  kBad,     // 40 ms, read once; then 10 ms and read while reads bring bytes
  kShort,   // 10 ms and read while reads bring bytes
};

class SerialReceiver {
 public:
  SerialReceiver(Env& env, SerialPort& port, uint32_t baud, File& out, ProgressView* progress,
                 DownloadReport& report, const ReceiverRules& rules)
      : env_(env),
        port_(port),
        baud_(baud),
        out_(out),
        progress_(progress),
        report_(report),
        rules_(rules) {}

  // Steps 4 to 8: ready byte, header, data and end phases. True when the
  // transfer was complete and verified.
  bool Run() {
    SendByte(port_, kReady);
    if (!ReceiveHeader()) return false;
    if (count_ == 0) return true;
    if (!ReceiveData()) return false;
    if (silence_) return false;  // a packet was cut off: the end is not trusted
    return ReceiveEnd();
  }

 private:
  bool ReceiveHeader() {
    for (;;) {
      size_t got = link::ReadBytes(env_, port_, buf_, kHeaderSize, kHeaderSilence);
      if (got > 0 && report_.headerStart == Nanos{0}) report_.headerStart = env_.clock->Now();
      if (got < kHeaderSize) return false;
      if (auto count = ParseHeader(std::span(buf_.data(), got), rules_.count)) {
        count_ = *count;
        report_.announced = count_;
        SendByte(port_, kAck);
        return true;
      }
      if (!RequestResend(kBadLimit, Drain::kHeader)) return false;
    }
  }

  bool ReceiveData() {
    const uint64_t total = uint64_t{count_} * kRecordSize;
    seq_ = 1;
    retries_ = 0;
    int noProgress = 0;
    while (received_ < total) {
      const size_t got = ReadDataPacket();
      if (got > expected_) return false;  // more than the packet announced
      const auto packet = std::span<const uint8_t>(buf_.data(), got);
      if (got <= kShortPacket) {
        if (!RequestResend(kShortLimit, Drain::kShort)) return false;
        continue;
      }
      if (!PacketChecks(packet) || packet[3] > kMaxPayload) {
        if (!RequestResend(kBadLimit, Drain::kBad)) return false;
        continue;
      }
      retries_ = 0;
      const uint8_t s = packet[1];
      if (s == seq_) {
        if (!Accept(packet)) return false;
        noProgress = 0;
      } else {
        // A repeat of the packet just taken (never when S is 0) gets the
        // link's answer to a repeat; any other number is answered 0x15.
        // Neither is kept.
        if (seq_ != 0 && s == seq_ - 1) {
          if (rules_.repeatPause > Millis{0}) env_.clock->Sleep(rules_.repeatPause);
          SendByte(port_, rules_.repeatAnswer);
        } else {
          SendByte(port_, kReady);
        }
        ++report_.unexpected;
        if (++noProgress > kNoProgressLimit) {
          SendByte(port_, kCan);
          return false;
        }
      }
      report_.payloadBytes = received_;
      if (progress_) progress_->SetPosition(ProgressPercent(received_, total));
    }
    return true;
  }

  // Takes the packet with the expected sequence number: its payload into the
  // file, its checksum into the total, ACK, and the next number.
  bool Accept(std::span<const uint8_t> packet) {
    const auto payload = Payload(packet);
    if (!out_.Write(payload)) return false;
    checksumTotal_ = static_cast<uint16_t>(checksumTotal_ + packet.back());
    SendByte(port_, kAck);
    ++seq_;
    received_ += payload.size();
    return true;
  }

  // Reads one data packet into the cleared buffer. The expected length starts
  // at the link's first read and becomes the announced one as soon as the
  // first five bytes hold consistently. Returns the bytes received.
  size_t ReadDataPacket() {
    buf_.fill(0);
    expected_ = rules_.firstRead;
    size_t got = 0;
    Stopwatch silence(*env_.clock);
    while (got < expected_) {
      size_t n = port_.Read(std::span(buf_.data() + got, expected_ - got));
      if (n > 0) {
        got += n;
        silence.Restart();
        const auto head = std::span<const uint8_t>(buf_.data(), got);
        // A length above 168 would not fit the buffer; such a packet is
        // read to the largest length and fails its checks.
        if (HeadIsConsistent(head)) {
          expected_ = ExpectedLength(buf_[3]);
          if (got < expected_) AwaitLine(expected_ - got);
        }
        continue;
      }
      if (port_.Lost() || silence.Exceeded(kPacketSilence)) {
        silence_ = true;
        break;
      }
    }
    return got;
  }

  static size_t ExpectedLength(uint8_t length) {
    return length <= kMaxPayload ? length + kPacketOverhead : kMaxDataPacket;
  }

  // A bad end packet is asked for again as often as the link allows (a
  // direct line: not at all, CAN at once).
  bool ReceiveEnd() {
    retries_ = 0;
    for (;;) {
      buf_.fill(0);
      size_t got = link::ReadBytes(env_, port_, buf_, kEndPacketSize, kPacketSilence);
      report_.endReceived = env_.clock->Now();
      auto total = ParseEndPacket(std::span(buf_.data(), got), seq_);
      if (!total) {
        if (!RequestResend(rules_.endResends, Drain::kHeader)) return false;
        continue;
      }
      if (*total != checksumTotal_) {
        SendByte(port_, kReady);
        return false;
      }
      SendByte(port_, rules_.endAnswer);
      if (rules_.listenAfterEnd) ListenAfterEnd();
      return true;
    }
  }

  // A terminal that still has something to say gets time to finish.
  void ListenAfterEnd() {
    uint8_t extra = 0;
    if (link::ReadBytes(env_, port_, std::span(&extra, 1), 1, Millis{1000},
                        link::LimitKind::kTotal) == 1) {
      env_.clock->Sleep(Millis{16000});
    }
  }

  // Once the length is known, rather than wake for every byte of a packet,
  // sleep through most of the time the line needs for the bytes still
  // missing; the reads after it pick up the rest as it arrives, so the last
  // byte is seen as soon as it is there.
  void AwaitLine(size_t missing) {
    if (baud_ == 0 || missing < 16) return;
    const uint64_t micros = missing * 10'000'000ull / baud_ * 3 / 4;
    env_.clock->Sleep(Millis{micros / 1000});
  }

  // Counts a rejected packet against `limit`: past it, CAN and give up;
  // otherwise drain the input and ask for the packet again.
  bool RequestResend(int limit, Drain drain) {
    if (retries_ >= limit) {
      SendByte(port_, kCan);
      return false;
    }
    ++retries_;
    DrainInput(drain);
    SendByte(port_, kResend);
    ++report_.resendRequests;
    env_.clock->Sleep(Millis{10});
    return true;
  }

  size_t ReadOnce() { return port_.Read(drainBuf_); }

  void DrainInput(Drain drain) {
    Stopwatch watch(*env_.clock);
    auto pauseRead = [&](int ms) {
      env_.clock->Sleep(Millis{ms});
      return ReadOnce();
    };
    switch (drain) {
      case Drain::kHeader: do { pauseRead(40);
        } while (pauseRead(10) > 0 && !watch.Exceeded(kDrainLimit));
        break;
      case Drain::kBad: pauseRead(40); [[fallthrough]];
      case Drain::kShort:
        while (pauseRead(10) > 0 && !watch.Exceeded(kDrainLimit)) {
        }
        break;
    }
  }

  Env& env_;
  SerialPort& port_;
  uint32_t baud_;
  File& out_;
  ProgressView* progress_;
  DownloadReport& report_;
  const ReceiverRules& rules_;
  std::array<uint8_t, kReceiveBufferSize> buf_{};
  std::array<uint8_t, kReceiveBufferSize> drainBuf_{};
  uint32_t count_ = 0;
  uint8_t seq_ = 0;
  int retries_ = 0;
  size_t expected_ = kMaxDataPacket;
  uint64_t received_ = 0;
  uint16_t checksumTotal_ = 0;
  bool silence_ = false;
};

}  // namespace

bool ReceiveSerialTransfer(Env& env, SerialPort& port, uint32_t baud, File& out,
                           ProgressView* progress, DownloadReport& report,
                           const ReceiverRules& rules) {
  return SerialReceiver(env, port, baud, out, progress, report, rules).Run();
}

DownloadReport SerialDownload(Env& env, int32_t address, int32_t port) {
  DownloadReport report;
  bool ok = false;
  {
    auto progress = env.ui->OpenProgress(ProgressKind::kSerial);
    if (progress) progress->Repaint();
    auto file = env.files->Create(env.dataDir + "pclog.dat");
    if (!file) {
      env.ui->ShowMessage("can not creat pclog.dat!", "Open Error");
    } else {
      static constexpr const link::SerialExport& kRow = link::SerialRow("_DOWNLOAD");
      auto link = link::RunCommandAttempts(env, address, port, kRow.command, kRow.ackLimit);
      if (link) {
        report.port = link->portNumber;
        ok = ReceiveSerialTransfer(env, *link->port, link->baud, *file, progress.get(), report);
      }
      // Closing: the port, then the record file, with the terminal's pauses.
      env.clock->Sleep(Millis{1000});
      link.reset();
      file.reset();
      env.clock->Sleep(Millis{1000});
    }
  }  // the window goes before the conversion can show a message
  const int converted = records::ConvertRecordFile(env);
  if (ok) {
    report.complete = true;
    if (converted == 0) report.cleared = link::ClearRecords(env, address, report.port).done();
  }
  return report;
}

}  // namespace wpl::download
