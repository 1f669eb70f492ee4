#include "terminal_model.h"

#include <algorithm>

#include "fingerprint/backup_packet.h"
#include "link/command_frame.h"
#include "link/lan_connection.h"
#include "link/serial_link.h"
#include "platform/full_write.h"
#include "settings/line_speed.h"

namespace wpl::sim {
namespace {

using link::kAck;
using link::kFrameSize;
using link::kNak;
using link::kNetworkAddress;
using link::kSignature;

// The speed setting opens with 20 'c' and 20 'j'; 13 request bytes follow.
constexpr size_t kPreamble = settings::kPreambleSize;
constexpr size_t kPreambleHalf = kPreamble / 2;
constexpr size_t kSpeedRequest = settings::kSpeedRequestSize;

// A byte sent at another speed reaches the host as something else.
constexpr uint8_t Garble(uint8_t b) { return static_cast<uint8_t>(0x80 | (b >> 1) | (b << 7)); }

}  // namespace

TerminalModel::TerminalModel(TerminalConfig config)
    : config_(std::move(config)),
      download_(*this, config_.downloadFaults, config_.payloadPerPacket),
      module_(config_.module),
      backup_(config_.backup),
      mode_(config_.backupOnly   ? LineMode::kBackup
            : config_.moduleOnly ? LineMode::kModule
                                 : LineMode::kTerminal) {
  for (auto [first, last] : config_.users)
    for (uint32_t p = first; p <= last; ++p) users_.enrolled[p] = users_.enabled[p] = true;
}

LineState TerminalModel::ModeLine() const {
  if (mode_ == LineMode::kModule) return {fingerprint::kModuleBaud, 1};
  if (mode_ == LineMode::kBackup) return {fingerprint::kBackupBaud, fingerprint::kBackupStopBits};
  return {config_.baud, config_.stopBits};
}

bool TerminalModel::Accepts(LineState line) const {
  if (config_.network || line.baud == 0) return true;
  const LineState own = ModeLine();
  return line.baud == own.baud && line.stopBits == own.stopBits;
}

void TerminalModel::HandLineToModule(Nanos now) {
  nextMode_ = LineMode::kModule;
  lastHeard_ = now;
  module_.Reset();
}

void TerminalModel::EnterBackupMode(Nanos now) {
  nextMode_ = LineMode::kBackup;
  lastHeard_ = now;
  backup_.Reset();
}

void TerminalModel::TakeUpLineMode(Nanos now) {
  // The quiet time of a lent line counts from when it was taken up.
  if (nextMode_) {
    mode_ = *std::exchange(nextMode_, std::nullopt);
    lastHeard_ = now;
  }
  // A terminal whose host went away during a pass-through takes its line
  // back after a while.
  if (mode_ == LineMode::kModule && !config_.moduleOnly && now - lastHeard_ > kPassThroughQuiet) {
    mode_ = LineMode::kTerminal;
    module_.Reset();
  }
  if (mode_ == LineMode::kBackup && !config_.backupOnly && now - lastHeard_ > kPassThroughQuiet) {
    mode_ = LineMode::kTerminal;
    backup_.Reset();
  }
}

void TerminalModel::Receive(std::span<const uint8_t> bytes, LineState line, Nanos now) {
  // A line mode is taken up once the answer in the old one has gone.
  TakeUpLineMode(now);
  if (!Accepts(line)) {
    // Garbage on the line: whatever frame was being assembled is broken.
    window_.clear();
    preamble_ = 0;
    return;
  }
  if (mode_ == LineMode::kModule) {
    lastHeard_ = now;
    for (uint8_t b : bytes) OnModuleByte(b, now);
    return;
  }
  if (mode_ == LineMode::kBackup) {
    lastHeard_ = now;
    for (uint8_t b : bytes) OnBackupByte(b, now);
    return;
  }
  for (uint8_t b : bytes) OnByte(b, now);
}

void TerminalModel::OnModuleByte(uint8_t b, Nanos now) {
  const auto reply = module_.OnHostByte(b);
  if (!reply) return;
  const ModuleFaults& f = config_.module.faults;
  if (!reply->header.empty()) {
    Queue(reply->header, now, f.replyDelay);
    Queue(reply->data, now, f.dataDelay);
  }
  if (config_.moduleOnly) return;
  // The module has answered one packet: the terminal closes the
  // pass-through with its marker and listens at its own speed again.
  auto marker = fingerprint::kClosingMarker;
  if (f.wrongMarker) marker.back() = 0x16;
  Queue(marker, now, f.markerDelay);
  nextMode_ = LineMode::kTerminal;
}

void TerminalModel::OnBackupByte(uint8_t b, Nanos now) {
  for (const BackupOutput& out : backup_.OnHostByte(b)) Queue(out.bytes, now, out.delay);
}

void TerminalModel::OnByte(uint8_t b, Nanos now) {
  if (auto block = blockReader_.OnByte(b)) OnBlock(std::move(*block), now);
  if (download_.Active()) download_.OnHostByte(b, now);
  if (conversation_ && conversation_->Active()) conversation_->OnHostByte(b, now);
  // The speed setting: no frame, a preamble of its own.
  if (preamble_ == kPreamble) {
    request_.push_back(b);
    if (request_.size() == kSpeedRequest) OnSpeedRequest(now);
  } else if (b == 'c') {
    preamble_ = preamble_ < kPreambleHalf    ? preamble_ + 1
                : preamble_ == kPreambleHalf ? preamble_
                                             : 1;
  } else {
    preamble_ = b == 'j' && preamble_ >= kPreambleHalf ? preamble_ + 1 : 0;
  }
  window_.push_back(b);
  if (window_.size() > kFrameSize) window_.erase(window_.begin());
  if (window_.size() < kFrameSize) return;
  if (!std::equal(kSignature.begin(), kSignature.end(), window_.begin())) return;
  const uint8_t address = window_[10], command = window_[12];
  if (window_[11] != link::Complement(address) || window_[13] != link::Complement(command)) return;
  window_.clear();
  // On the network a terminal answers 0xFA, and its own address byte for the
  // hosts that put one in the frame.
  if (address == config_.address || (config_.network && address == kNetworkAddress))
    OnFrame(command, now);
}

const CommandFaults* TerminalModel::FaultsOf(uint8_t command) const {
  const auto it = config_.commandFaults.find(command);
  return it == config_.commandFaults.end() ? nullptr : &it->second;
}

Answer TerminalModel::FrameAnswer(uint8_t command) const {
  if (const CommandFaults* f = FaultsOf(command); f && f->frame) return *f->frame;
  return {config_.ackFault, config_.ackDelay};
}

void TerminalModel::QueueAnswer(const Answer& answer, Nanos now) {
  uint8_t reply = kAck;
  Nanos delay{0};
  switch (answer.fault) {
    case AckFault::kNone: break;
    case AckFault::kSilent: return;
    case AckFault::kNak: reply = kNak; break;
    case AckFault::kLate: delay = answer.delay; break;
    case AckFault::kWrongSpeed: reply = Garble(kAck); break;
  }
  Queue(std::span(&reply, 1), now, delay);
}

void TerminalModel::OnFrame(uint8_t command, Nanos now) {
  commands_.push_back(command);
  blockReader_.Disarm();
  blockRule_ = nullptr;
  // A new command ends a transfer that was going on, and what it had queued.
  if (download_.Active()) {
    download_.Stop();
    DropOutput();
  }
  conversation_.reset();
  const Answer answer = FrameAnswer(command);
  QueueAnswer(answer, now);
  if (answer.fault != AckFault::kNone && answer.fault != AckFault::kLate) return;
  // A terminal that answers late has still acted on the frame it heard.
  const CommandRule* rule = FindCommand(command);
  if (rule && rule->onFrame) rule->onFrame(*this, now);
  if (rule && rule->secondAck) {
    const CommandFaults* f = FaultsOf(command);
    QueueAnswer(f ? f->second : Answer{}, now);
  }
  // A command the terminal does not know takes any block with its ACK.
  if (!rule || rule->onBlock) {
    blockRule_ = rule;
    blockReader_.Arm();
  }
}

void TerminalModel::OnBlock(ReceivedBlock block, Nanos now) {
  blocks_.push_back(block);
  if (!block.checksumOk) {
    QueueAnswer({AckFault::kNak}, now);
    return;
  }
  const CommandFaults* f = commands_.empty() ? nullptr : FaultsOf(commands_.back());
  const Answer answer = f ? f->block : Answer{};
  // A block the terminal refuses or never answers changes nothing.
  if (answer.fault != AckFault::kNone && answer.fault != AckFault::kLate) {
    QueueAnswer(answer, now);
    return;
  }
  const BlockVerdict verdict =
      blockRule_ ? blockRule_->onBlock(*this, block.payload, now) : BlockVerdict::kAccept;
  if (verdict == BlockVerdict::kAccept) QueueAnswer(answer, now);
  if (verdict == BlockVerdict::kRefuse) QueueAnswer({AckFault::kNak}, now);
}

void TerminalModel::OnSpeedRequest(Nanos now) {
  settings_.speedRequest = std::exchange(request_, {});
  preamble_ = 0;
  const Answer answer{config_.ackFault, config_.ackDelay};
  QueueAnswer(answer, now);
  if (answer.fault != AckFault::kNone && answer.fault != AckFault::kLate) return;
  // The last request byte names the new speed by the host's speed code.
  const uint8_t code = settings_.speedRequest.back();
  if (code >= 1 && code <= 7) nextBaud_ = link::SpeedForCode(code);
}

Nanos TerminalModel::ByteTime() const {
  if (!config_.pace) return Nanos{0};
  // Two stop bits on the backup link: 11 bits a byte there.
  const LineState line = ModeLine();
  return LineTime(1, line.baud, line.stopBits);
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
  // A new speed is taken up once the answer at the old one has gone.
  if (out_.empty() && nextBaud_) config_.baud = *std::exchange(nextBaud_, std::nullopt);
  return n;
}

std::optional<Nanos> TerminalModel::NextDue() const {
  if (out_.empty()) return std::nullopt;
  return out_.front().due;
}

std::optional<Nanos> TerminalModel::LastDue() const {
  if (out_.empty()) return std::nullopt;
  return out_.back().due;
}

namespace {

// The persons of `set` among the enrolled, as "1-50,52,60-99".
std::string Ranges(const UserTable& users, bool enabled) {
  std::string out;
  for (uint32_t p = 0; p < 65536;) {
    if (!users.enrolled[p] || users.enabled[p] != enabled) {
      ++p;
      continue;
    }
    uint32_t q = p;
    while (q + 1 < 65536 && users.enrolled[q + 1] && users.enabled[q + 1] == enabled) ++q;
    if (!out.empty()) out += ',';
    out += std::to_string(p);
    if (q > p) out += '-' + std::to_string(q);
    p = q + 1;
  }
  return out;
}

}  // namespace

nlohmann::ordered_json TerminalModel::State() const {
  const TerminalSettings& s = settings_;
  nlohmann::ordered_json o;
  o["address"] = config_.address;
  o["network"] = config_.network;
  o["lineSpeed"] = config_.baud;
  o["clock"] = s.clock;
  o["machineId"] = s.machineId;
  o["password"] = s.password;
  o["command3"] = s.command3;
  o["openMode"] = s.openMode;
  o["openTime"] = s.openTime;
  o["openClose"] = s.openClose;
  o["bell"] = s.bell;
  o["speedRequest"] = s.speedRequest;
  o["restores"] = s.restores;
  o["restoreAlls"] = s.restoreAlls;
  o["usersEnabled"] = Ranges(users_, true);
  o["usersDisabled"] = Ranges(users_, false);
  o["records"] = records_.size() / 6;
  o["clears"] = clears_;
  o["commands"] = commands_.size();
  o["templates"] = module_.store().size();
  o["modulePackets"] = module_.packets();
  o["backupBytes"] = backup_.store().size();
  o["backupTransfers"] = backup_.transfers();
  o["cards"] = CardsJson(cards_);
  personnel_.AppendJson(o);
  return o;
}

std::string TerminalModel::StateJson() const { return State().dump(); }

}  // namespace wpl::sim
