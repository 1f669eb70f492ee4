#include "terminal_model.h"

#include <algorithm>
#include <array>

namespace wpl::sim {
namespace {

constexpr std::array<uint8_t, 10> kSignature = {'K', 'O', 'R', 'V', 'A', 'N', 'E', 'M', 'Z', 'T'};
constexpr size_t kFrameSize = 14;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kNetworkAddress = 0xFA;
constexpr uint8_t kDownload = 0x01;
constexpr uint8_t kClearRecords = 0x0D;

// A byte sent at another speed reaches the host as something else.
constexpr uint8_t Garble(uint8_t b) { return static_cast<uint8_t>(0x80 | (b >> 1) | (b << 7)); }

}  // namespace

TerminalModel::TerminalModel(TerminalConfig config)
    : config_(config), download_(*this, config_.downloadFaults, config_.payloadPerPacket) {}

bool TerminalModel::Accepts(LineState line) const {
  if (config_.network || line.baud == 0) return true;
  return line.baud == config_.baud && line.stopBits == config_.stopBits;
}

void TerminalModel::Receive(std::span<const uint8_t> bytes, LineState line, Nanos now) {
  if (!Accepts(line)) {
    // Garbage on the line: whatever frame was being assembled is broken.
    window_.clear();
    return;
  }
  for (uint8_t b : bytes) OnByte(b, now);
}

void TerminalModel::OnByte(uint8_t b, Nanos now) {
  if (auto block = blockReader_.OnByte(b)) {
    // A block the terminal can check is accepted; a damaged one refused.
    const uint8_t reply = block->checksumOk ? kAck : kNak;
    blocks_.push_back(std::move(*block));
    Queue(std::span(&reply, 1), now);
  }
  if (download_.Active()) download_.OnHostByte(b, now);
  window_.push_back(b);
  if (window_.size() > kFrameSize) window_.erase(window_.begin());
  if (window_.size() < kFrameSize) return;
  if (!std::equal(kSignature.begin(), kSignature.end(), window_.begin())) return;
  const uint8_t address = window_[10], command = window_[12];
  if (window_[11] != 0xFF - address || window_[13] != 0xFF - command) return;
  window_.clear();
  // On the network a terminal answers 0xFA, and its own address byte for the
  // hosts that put one in the frame.
  if (address == config_.address || (config_.network && address == kNetworkAddress))
    OnFrame(command, now);
}

void TerminalModel::OnFrame(uint8_t command, Nanos now) {
  commands_.push_back(command);
  blockReader_.Disarm();
  // A new command ends a transfer that was going on, and what it had queued.
  if (download_.Active()) {
    download_.Stop();
    DropOutput();
  }
  const bool answered = config_.ackFault == AckFault::kNone || config_.ackFault == AckFault::kLate;
  Answer(now);
  if (!answered) return;
  // The command's data may follow in a parameter block; the download's 0x15
  // asks for the records instead.
  if (command != kDownload) blockReader_.Arm();
  if (command == kClearRecords) {
    records_.clear();
    ++clears_;
  } else if (command == kDownload) {
    download_.Start(records_);
  }
}

void TerminalModel::Answer(Nanos now) {
  uint8_t reply = kAck;
  Nanos delay{0};
  switch (config_.ackFault) {
    case AckFault::kNone: break;
    case AckFault::kSilent: return;
    case AckFault::kNak: reply = kNak; break;
    case AckFault::kLate: delay = config_.ackDelay; break;
    case AckFault::kWrongSpeed: reply = Garble(kAck); break;
  }
  Queue(std::span(&reply, 1), now, delay);
}

Nanos TerminalModel::ByteTime() const {
  if (!config_.pace || config_.baud == 0) return Nanos{0};
  return Nanos{10'000'000'000LL / config_.baud};
}

void TerminalModel::Queue(std::span<const uint8_t> bytes, Nanos now, Nanos delay) {
  Nanos t = now + delay;
  if (!out_.empty()) t = std::max(t, out_.back().due);
  for (uint8_t b : bytes) {
    t += ByteTime();
    out_.push_back({t, b});
  }
}

size_t TerminalModel::Transmit(std::span<uint8_t> out, Nanos now) {
  size_t n = 0;
  while (n < out.size() && !out_.empty() && out_.front().due <= now) {
    out[n++] = out_.front().byte;
    out_.pop_front();
  }
  return n;
}

std::optional<Nanos> TerminalModel::NextDue() const {
  if (out_.empty()) return std::nullopt;
  return out_.front().due;
}

}  // namespace wpl::sim
