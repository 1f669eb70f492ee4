#include "link/lan_connection.h"

#include <algorithm>
#include <stdexcept>

#include "link/command_frame.h"
#include "link/ipv4_text.h"

namespace wpl::link {
std::string LanOpenText(LanOpen outcome, const char* ip) {
  switch (outcome) {
    case LanOpen::kOk: return "connect " + std::string(ip ? ip : "") + " success";
    case LanOpen::kStartupFailed: return std::string(lan_text::kStartupFailed);
    case LanOpen::kSocketFailed: return std::string(lan_text::kSocketFailed);
    case LanOpen::kBadAddress:
    case LanOpen::kConnectFailed: break;
  }
  return std::string(lan_text::kConnectFailed);
}

LanConnection::LanConnection(Env& env, const LanExport& row)
    : fine_(row.pacing.NeedsFineSleeps()), env_(env), row_(row) {}

LanConnection::~LanConnection() {
  // Nothing may stay open; the pauses are only for the orderly path.
  socket_.reset();
}

void LanConnection::Pause(Millis pause) {
  if (pause > Millis{0}) env_.clock->Sleep(pause);
}

LanOpen LanConnection::Open(const char* ip) {
  const auto address = ParseIpv4(ip);
  if (!address) {
    stage_ = ip ? Stage::kBadAddress : Stage::kRefused;
    return LanOpen::kBadAddress;
  }
  Pause(row_.pacing.opening);
  if (!env_.sockets || !env_.sockets->Startup()) {
    stage_ = Stage::kStartupFailed;
    return LanOpen::kStartupFailed;
  }
  socket_ = env_.sockets->Create();
  if (!socket_) {
    stage_ = Stage::kSocketFailed;
    return LanOpen::kSocketFailed;
  }
  if (!socket_->Connect(*address, kTerminalPort, row_.connectLimit)) {
    stage_ = Stage::kConnectFailed;
    return LanOpen::kConnectFailed;
  }
  stage_ = Stage::kConnected;
  send_.assign(kLanBufferSize, 0);
  receive_.assign(kLanBufferSize, 0);
  filled_ = 0;
  return LanOpen::kOk;
}

int64_t LanConnection::SendBytes(std::span<const uint8_t> bytes) {
  if (stage_ != Stage::kConnected || bytes.size() > send_.size()) return -1;
  std::copy(bytes.begin(), bytes.end(), send_.begin());
  return socket_->Send(std::span(send_.data(), bytes.size()));
}

bool LanConnection::SendFrame(uint8_t command, uint8_t address) {
  return SendBytes(BuildCommandFrame(address, command)) != -1;
}

LanReceive LanConnection::ReceiveUntil(size_t count) {
  if (stage_ != Stage::kConnected || count > receive_.size()) return LanReceive::kError;
  while (filled_ < count) {
    // Ask only for the room that is left: a flood can fill the buffer but
    // never run past it.
    const auto got = socket_->Receive(std::span(receive_).subspan(filled_), row_.silenceLimit);
    switch (got.status) {
      case ReceiveStatus::kBytes: break;
      case ReceiveStatus::kClosed: return LanReceive::kClosed;
      case ReceiveStatus::kError: return LanReceive::kError;
      case ReceiveStatus::kTimedOut: return LanReceive::kTimedOut;
    }
    filled_ += std::min(got.count, receive_.size() - filled_);
  }
  return LanReceive::kDone;
}

bool LanConnection::AwaitAck() {
  StartReply();
  return ReceiveUntil(1) == LanReceive::kDone && receive_[0] == kAck;
}

BlockPlan LanConnection::PlanFor(std::span<const uint8_t> payload, BlockShape shape) const {
  return PlanBlock(payload, shape, row_.pacing.Block());
}

void LanConnection::SendPlan(const BlockPlan& plan) {
  if (HoldsFinePauses(plan)) fine_.Take();
  ReplayBlock(
      plan, [this](Millis pause) { Pause(pause); },
      [this](std::span<const uint8_t> b) { SendBytes(b); });
}

void LanConnection::Close(bool success) {
  if (closed_) return;
  closed_ = true;
  const LanPacing& p = row_.pacing;
  bool closingPause = false;
  switch (stage_) {
    case Stage::kConnected:
      if (success) Pause(p.afterSuccess);
      send_ = {};
      receive_ = {};
      filled_ = 0;
      Pause(p.afterFreeing);
      closingPause = true;
      break;
    case Stage::kConnectFailed: closingPause = true; break;
    case Stage::kSocketFailed: closingPause = p.closingFrom != ClosingPause::kFromConnect; break;
    case Stage::kStartupFailed:
    case Stage::kBadAddress: closingPause = p.closingFrom == ClosingPause::kEveryPath; break;
    case Stage::kIdle:
    case Stage::kRefused: break;
  }
  socket_.reset();
  if (closingPause) Pause(p.afterClosing);
}

LanResult RunLanCommand(Env& env, const char* ip, const LanExport& row,
                        std::span<const uint8_t> payload) {
  if (row.exchange == LanExchange::kOwn)
    throw std::logic_error("export runs an exchange of its own");
  LanConnection lan(env, row);
  const BlockPlan plan = lan.PlanFor(payload, row.block);
  const bool connected = lan.Open(ip) == LanOpen::kOk;
  bool ok = connected && lan.SendFrame(row.command);
  if (ok && row.exchange == LanExchange::kCommand) ok = lan.AwaitAck();
  if (ok && row.block != BlockShape::kNone) {
    lan.SendPlan(plan);
    ok = lan.AwaitAck();
  }
  // Counted from the ACK; over only once strictly more than the hold passed.
  if (ok && row.hold > Millis{0}) SleepPast(*env.clock, Stopwatch(*env.clock), row.hold);
  lan.Close(ok);
  return {ok ? LanOutcome::kDone : connected ? LanOutcome::kRefused : LanOutcome::kNoConnection};
}

}  // namespace wpl::link
