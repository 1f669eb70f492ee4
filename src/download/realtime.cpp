#include "download/realtime.h"

#include <algorithm>

#include "link/command_frame.h"
#include "link/lan_connection.h"
#include "link/serial_exports.h"
#include "link/serial_link.h"
#include "records/clocking_record.h"

namespace wpl::download {
namespace {

constexpr size_t kRecordAt = 5;
constexpr size_t kChecksumAt = 11;
// Each part of the serial reply must follow the last byte within this.
constexpr Millis kSerialSilence{200};

static constexpr const link::SerialExport& kSerialRow = link::SerialRow("_REALDOWNLOAD");
static constexpr const link::LanExport& kLanRow = link::LanRow("_LANREALDOWNLOAD");

RealtimeFetch Fetched(std::span<const uint8_t> reply) {
  const auto record = RealtimeRecord(reply);
  if (!record) return {};
  return {RealtimeOutcome::kRecord, RealtimeText(*record), *record};
}

// The exchange on a port that opened: frame, ACK, 0x15, the reply, ACK.
RealtimeFetch SerialExchange(Env& env, SerialPort& port, uint8_t address) {
  link::SendCommandFrame(port, address, kSerialRow.command);
  if (!link::WaitAck(env, port, kSerialRow.ackLimit)) return {};
  link::SendByte(port, link::kNak);
  std::array<uint8_t, kRealtimeReplySize> reply{};
  if (link::ReadBytes(env, port, reply, kRealtimeHeadSize, kSerialSilence) < kRealtimeHeadSize)
    return {};
  if (NoRecordWaiting(reply)) return {RealtimeOutcome::kNoRecord};
  const auto rest = std::span(reply).subspan(kRealtimeHeadSize);
  if (link::ReadBytes(env, port, rest, rest.size(), kSerialSilence) < rest.size()) return {};
  RealtimeFetch fetch = Fetched(reply);
  // Only a record whose checksum agrees is acknowledged; a bad one gets nothing.
  if (fetch.outcome == RealtimeOutcome::kRecord) link::SendByte(port, link::kAck);
  return fetch;
}

}  // namespace

bool NoRecordWaiting(std::span<const uint8_t> head) {
  return head.size() >= kRealtimeHeadSize && head[0] == 0xFF && head[1] == 0xFF;
}

std::optional<std::array<uint8_t, 6>> RealtimeRecord(std::span<const uint8_t> reply) {
  if (reply.size() < kRealtimeReplySize) return std::nullopt;
  const auto bytes = reply.subspan(kRecordAt, records::kRecordSize);
  if (link::Checksum8(bytes) != reply[kChecksumAt]) return std::nullopt;
  std::array<uint8_t, 6> record{};
  std::copy(bytes.begin(), bytes.end(), record.begin());
  return record;
}

std::string RealtimeText(std::span<const uint8_t, 6> record) {
  return records::FetchText(records::DecodeRecord(record));
}

RealtimeFetch SerialRealtimeFetch(Env& env, int32_t address, int32_t port) {
  RealtimeFetch fetch;
  {
    // One verdict: the first port that opens is asked, at 57600, once. A
    // port that does not open moves on to the next, six ports at most.
    std::unique_ptr<SerialPort> open;
    int p = port;
    for (int tried = 0; !open && tried < link::kUnopenablePortLimit; ++tried) {
      open = link::OpenCommPort(env, p, 0);
      if (!open) p = link::NextPort(p);
    }
    if (open) fetch = SerialExchange(env, *open, static_cast<uint8_t>(address));
  }  // the port is closed here
  env.clock->Sleep(kSerialRow.hold);
  return fetch;
}

RealtimeFetch LanRealtimeFetch(Env& env, const char* ip) {
  link::LanConnection lan(env, kLanRow);
  RealtimeFetch fetch;
  bool asked =
      lan.Open(ip) == link::LanOpen::kOk && lan.SendFrame(kLanRow.command) && lan.AwaitAck();
  if (asked) {
    lan.Pause(kLanRow.pacing.beforeNak);
    asked = lan.SendByte(link::kNak) == 1;
  }
  if (asked) {
    lan.Pause(kLanRow.pacing.afterNak);
    lan.StartReply();
    // A receive that fails, times out or finds the connection closed ends
    // the fetch with nothing.
    const bool head = lan.ReceiveUntil(kRealtimeHeadSize) == link::LanReceive::kDone;
    if (head && NoRecordWaiting(lan.received())) {
      fetch.outcome = RealtimeOutcome::kNoRecord;
    } else if (head && lan.ReceiveUntil(kRealtimeReplySize) == link::LanReceive::kDone) {
      const RealtimeFetch got = Fetched(lan.received());
      if (got.outcome != RealtimeOutcome::kRecord) {
        lan.SendByte(link::kNak);  // a bad checksum is refused
      } else if (lan.SendByte(link::kAck) == 1) {
        fetch = got;
      }
    }
  }
  lan.Close(fetch.outcome == RealtimeOutcome::kRecord);
  return fetch;
}

char* CopyRealtimeText(const RealtimeFetch& fetch, std::span<char, kRealtimeTextMax + 1> out) {
  const size_t n = std::min(fetch.text.size(), kRealtimeTextMax);
  std::copy_n(fetch.text.begin(), n, out.begin());
  out[n] = '\0';
  return out.data();
}

}  // namespace wpl::download
