#include "download_server.h"

#include <algorithm>
#include <array>

#include "download/packets.h"
#include "link/command_frame.h"
#include "terminal_model.h"

namespace wpl::sim {
namespace {

using namespace wpl::download;
using link::kAck;
using link::kCan;
constexpr uint32_t kMaxRecords = 131071;

}  // namespace

DownloadServer::DownloadServer(TerminalModel& model, DownloadFaults faults, size_t payloadPerPacket)
    : model_(model),
      faults_(std::move(faults)),
      payloadPerPacket_(std::clamp<size_t>(payloadPerPacket / kRecordSize * kRecordSize, 6, 168)),
      rng_(faults_.seed) {}

void DownloadServer::Start(std::span<const uint8_t> records) {
  const size_t n = std::min<size_t>(records.size() / kRecordSize, kMaxRecords) * kRecordSize;
  serving_.assign(records.begin(), records.begin() + static_cast<ptrdiff_t>(n));
  packets_ = static_cast<uint32_t>((n + payloadPerPacket_ - 1) / payloadPerPacket_);
  current_ = 0;
  total_ = 0;
  bogus_ = false;
  // Sendings of the header (0) and of each data packet.
  sendings_.assign(packets_ + 1, 0);
  endSendings_ = 0;
  state_ = State::kAwaitReady;
}

std::span<const uint8_t> DownloadServer::PayloadOf(uint32_t number) const {
  const size_t from = size_t{number - 1} * payloadPerPacket_;
  return std::span(serving_).subspan(from, std::min(payloadPerPacket_, serving_.size() - from));
}

PacketFault DownloadServer::NextFault(uint32_t number) {
  const int sending = sendings_[number]++;
  if (auto it = faults_.packets.find(number); it != faults_.packets.end()) {
    if (sending < it->second.times) return it->second.kind;
    return PacketFault::kNone;
  }
  if (sending == 0 && number > 0 && faults_.randomRate > 0 &&
      std::uniform_real_distribution<double>(0, 1)(rng_) < faults_.randomRate) {
    static constexpr PacketFault kRecoverable[] = {PacketFault::kBadChecksum, PacketFault::kShort,
                                                   PacketFault::kRepeatPrevious,
                                                   PacketFault::kSkipSequence};
    const auto pick = std::uniform_int_distribution<size_t>(0, std::size(kRecoverable) - 1)(rng_);
    // The first packet has nothing before it to repeat.
    if (number == 1 && kRecoverable[pick] == PacketFault::kRepeatPrevious)
      return PacketFault::kBadChecksum;
    return kRecoverable[pick];
  }
  return PacketFault::kNone;
}

void DownloadServer::SendHeader(Nanos now) {
  auto h = BuildHeader(static_cast<uint32_t>(serving_.size() / kRecordSize));
  const PacketFault fault = NextFault(0);
  if (fault == PacketFault::kBadHeader) h[2] ^= 0x01;
  if (fault == PacketFault::kHeaderType3) {
    h[3] = 3;
    h[4] = link::Complement(3);
  }
  model_.Queue(std::span(h).first(fault == PacketFault::kSilence ? h.size() / 2 : h.size()), now);
  state_ = State::kHeaderSent;
}

void DownloadServer::SendPacket(Nanos now) {
  std::array<uint8_t, kReceiveBufferSize> p{};
  const PacketFault fault = NextFault(current_);
  bogus_ = fault == PacketFault::kRepeatPrevious || fault == PacketFault::kSkipSequence;
  uint32_t number = current_;
  uint8_t seq = SeqOf(current_);
  if (fault == PacketFault::kRepeatPrevious) number = current_ - 1, seq = SeqOf(number);
  if (fault == PacketFault::kSkipSequence) seq = SeqOf(current_ + 1);
  size_t len = BuildDataPacket(seq, PayloadOf(number), p);
  switch (fault) {
    case PacketFault::kBadChecksum: p[len - 1] ^= 0x01; break;
    case PacketFault::kShort: len = BuildDataPacket(seq, {}, p); break;
    case PacketFault::kSurplus: p[len++] = 0x00; break;
    case PacketFault::kSilence: len /= 2; break;
    case PacketFault::kOversize:
      // 200 payload bytes announced; the line carries no more than 174.
      p[3] = 200;
      p[4] = 55;
      len = kMaxDataPacket;
      break;
    default: break;
  }
  ++packetsSent_;
  model_.Queue(std::span(p.data(), len), now);
  state_ = State::kDataSent;
}

void DownloadServer::SendEnd(Nanos now) {
  const EndFault fault = endSendings_++ < faults_.endTimes ? faults_.end : EndFault::kNone;
  uint16_t total = total_;
  if (fault == EndFault::kWrongTotal) total = static_cast<uint16_t>(total + 256);
  auto e = BuildEndPacket(SeqOf(packets_ + 1), total);
  if (fault == EndFault::kBadPacket) {
    e[9] ^= 0xFF;
    e[17] = link::Checksum8(std::span(e).subspan(5, 12));
  }
  model_.Queue(e, now);
  if (fault == EndFault::kTrailingByte) {
    const uint8_t extra = 0x00;
    model_.Queue(std::span(&extra, 1), now);
  }
  state_ = State::kEndSent;
}

void DownloadServer::OnHostByte(uint8_t b, Nanos now) {
  if (b == kCan) {
    state_ = State::kIdle;
    return;
  }
  switch (state_) {
    case State::kIdle: break;
    case State::kAwaitReady:
      if (b == kReady) SendHeader(now);
      break;
    case State::kHeaderSent:
      if (b == kAck) {
        if (packets_ == 0) {
          state_ = State::kIdle;
          ++completed_;
          return;
        }
        current_ = 1;
        SendPacket(now);
      } else if (b == kResend || b == kReady) {
        ++resends_;
        SendHeader(now);
      }
      break;
    case State::kDataSent:
      if (b == kAck && !bogus_) {
        total_ = static_cast<uint16_t>(total_ + link::Checksum8(PayloadOf(current_)));
        if (current_ == packets_) {
          SendEnd(now);
        } else {
          ++current_;
          SendPacket(now);
        }
      } else if (b == kAck || b == kResend || b == kReady) {
        // A resend request, or any answer to a packet that was not the one
        // asked for: offer the packet again.
        if (!bogus_) ++resends_;
        model_.DropOutput();
        SendPacket(now);
      }
      break;
    case State::kEndSent:
      // A direct line answers a good end packet 0x15, a modem link ACK.
      if (b == kReady || b == kAck) {
        state_ = State::kIdle;
        ++completed_;
      } else if (b == kResend) {
        ++resends_;
        SendEnd(now);
      }
      break;
  }
}

std::vector<uint8_t> GenerateRecords(uint32_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<uint8_t> out;
  out.reserve(size_t{count} * kRecordSize);
  for (uint32_t i = 0; i < count; ++i) {
    const int number = pick(0, 65535), year = pick(5, 15), month = pick(1, 12), day = pick(1, 28);
    const int hour = pick(0, 23), minute = pick(0, 59), tag = pick(0, 31), flags = pick(0, 3);
    out.push_back(static_cast<uint8_t>(number >> 8));
    out.push_back(static_cast<uint8_t>(number));
    out.push_back(static_cast<uint8_t>(year << 4 | month));
    out.push_back(static_cast<uint8_t>(flags << 6 | day));
    out.push_back(static_cast<uint8_t>((tag >> 2) << 5 | hour));
    out.push_back(static_cast<uint8_t>((tag & 3) << 6 | minute));
  }
  return out;
}

}  // namespace wpl::sim
