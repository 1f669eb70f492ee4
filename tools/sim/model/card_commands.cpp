#include "card_commands.h"

#include <algorithm>

#include "link/command_frame.h"
#include "link/value_reply.h"

namespace wpl::sim {

void RealtimeQueue::Push(const Record& r) {
  std::lock_guard lock(mutex_);
  queue_.emplace_back(next_++, r);
}

void RealtimeQueue::Push(std::span<const uint8_t> records) {
  for (size_t i = 0; i + 6 <= records.size(); i += 6) {
    Record r;
    std::copy_n(records.begin() + static_cast<ptrdiff_t>(i), 6, r.begin());
    Push(r);
  }
}

std::optional<std::pair<uint64_t, Record>> RealtimeQueue::Front() const {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return std::nullopt;
  return queue_.front();
}

void RealtimeQueue::Acknowledge(uint64_t id) {
  std::lock_guard lock(mutex_);
  if (queue_.empty() || queue_.front().first != id) return;
  queue_.pop_front();
  ++acknowledged_;
}

size_t RealtimeQueue::size() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

uint64_t RealtimeQueue::acknowledged() const {
  std::lock_guard lock(mutex_);
  return acknowledged_;
}

std::vector<uint8_t> ValueReplyBytes(uint16_t value, ReplyFault fault) {
  uint8_t block = 0x00, length = 0x02;
  if (fault == ReplyFault::kWrongBlock) block = 0x01;
  if (fault == ReplyFault::kWrongLength) length = 0x03;
  const auto high = static_cast<uint8_t>(value >> 8), low = static_cast<uint8_t>(value);
  auto sum = static_cast<uint8_t>(high + low);
  if (fault == ReplyFault::kBadChecksum) ++sum;
  return {0x15, block, link::Complement(block), length, link::Complement(length), high, low, sum};
}

std::vector<uint8_t> RealtimeReplyBytes(const Record& r, ReplyFault fault) {
  // The first two bytes only have to differ from 0xFF 0xFF; the next three
  // the host does not look at.
  std::vector<uint8_t> out{0x01, 0x01, 0x06, 0xF9, 0x00};
  out.insert(out.end(), r.begin(), r.end());
  auto sum = link::Checksum8(r);
  if (fault == ReplyFault::kBadChecksum) ++sum;
  out.push_back(sum);
  return out;
}

nlohmann::ordered_json CardsJson(const CardTable& c) {
  nlohmann::ordered_json sn = nlohmann::ordered_json::object();
  for (auto [number, value] : c.sn) sn[std::to_string(number)] = value;
  return {{"sn", std::move(sn)},
          {"snLength", c.snLength},
          {"lockNumber",
           c.lockNumber ? nlohmann::ordered_json(*c.lockNumber) : nlohmann::ordered_json()},
          {"realtimeQueued", c.realtime.size()},
          {"realtimeAcknowledged", c.realtime.acknowledged()}};
}

namespace cards {
namespace {

constexpr BlockVerdict kAccept = BlockVerdict::kAccept;

uint16_t HighLow(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Queues a reply as the fault has it: whole, in two halves with a gap, or not
// at all.
void SendReply(TerminalModel& m, const std::vector<uint8_t>& bytes, ReplyFault fault, Nanos now) {
  if (fault == ReplyFault::kSilent) return;
  if (fault != ReplyFault::kSplit) {
    m.Queue(bytes, now);
    return;
  }
  const auto half = std::span(bytes).first(bytes.size() / 2);
  m.Queue(half, now);
  const Nanos gapFrom = std::max(now, m.LastDue().value_or(now));
  m.Queue(std::span(bytes).subspan(half.size()), gapFrom, m.config().replyFaults.splitGap);
}

void SendValue(TerminalModel& m, uint16_t value, Nanos now) {
  const ReplyFault fault = m.config().replyFaults.value;
  SendReply(m, ValueReplyBytes(value, fault), fault, now);
}

// The SN length: the host asks with a lone 0x15 after the frame's ACK.
class SnLengthExchange : public Conversation {
 public:
  explicit SnLengthExchange(TerminalModel& m) : m_(m) {}
  void OnHostByte(uint8_t b, Nanos now) override {
    if (b != link::kNak || over_) return;
    over_ = true;
    SendValue(m_, m_.cards().snLength, now);
  }
  bool Active() const override { return !over_; }

 private:
  TerminalModel& m_;
  bool over_ = false;
};

// The real-time record: 0x15 asks; the front record goes out, or 0xFF 0xFF
// when there is none; the host's ACK lets go of it.
class RealtimeExchange : public Conversation {
 public:
  explicit RealtimeExchange(TerminalModel& m) : m_(m) {}
  void OnHostByte(uint8_t b, Nanos now) override {
    if (state_ == State::kAwaitRequest) {
      if (b != link::kNak) return;
      const auto front = m_.cards().realtime.Front();
      if (!front) {
        static constexpr uint8_t kNone[] = {0xFF, 0xFF};
        m_.Queue(kNone, now);
        state_ = State::kOver;
        return;
      }
      id_ = front->first;
      const ReplyFault fault = m_.config().replyFaults.realtime;
      SendReply(m_, RealtimeReplyBytes(front->second, fault), fault, now);
      state_ = State::kAwaitAck;
      return;
    }
    if (state_ != State::kAwaitAck) return;
    state_ = State::kOver;
    if (b != link::kAck) return;  // a refusal (0x15) keeps the record
    CardTable& c = m_.cards();
    const int every = m_.config().replyFaults.dropAckEvery;
    ++c.realtimeAcks;
    if (every > 0 && c.realtimeAcks % every == 0) return;  // missed: the record stays
    c.realtime.Acknowledge(id_);
  }
  bool Active() const override { return state_ != State::kOver; }

 private:
  enum class State { kAwaitRequest, kAwaitAck, kOver };
  TerminalModel& m_;
  State state_ = State::kAwaitRequest;
  uint64_t id_ = 0;
};

}  // namespace

BlockVerdict SetSn(TerminalModel& m, Payload p, Nanos) {
  if (p.size() == 4) m.cards().sn[HighLow(p.data())] = HighLow(p.data() + 2);
  return kAccept;
}

BlockVerdict DeleteSn(TerminalModel& m, Payload p, Nanos) {
  if (p.size() == 2) m.cards().sn.erase(HighLow(p.data()));
  return kAccept;
}

BlockVerdict WhatSn(TerminalModel& m, Payload p, Nanos now) {
  if (p.size() != 2) return kAccept;
  // The block's ACK (as the command's faults have it), then the value: an SN
  // the terminal does not hold reads 65535.
  const auto faults = m.config().commandFaults.find(0x12);
  m.QueueAnswer(faults == m.config().commandFaults.end() ? Answer{} : faults->second.block, now);
  const auto& table = m.cards().sn;
  const auto it = table.find(HighLow(p.data()));
  SendValue(m, it == table.end() ? link::kNoValue : it->second, now);
  return BlockVerdict::kIgnore;
}

void SnLength(TerminalModel& m, Nanos) {
  m.StartConversation(std::make_unique<SnLengthExchange>(m));
}

void RealtimeRecord(TerminalModel& m, Nanos) {
  m.StartConversation(std::make_unique<RealtimeExchange>(m));
}

void NoteLockNumber(TerminalModel& m, Payload p) {
  if (p.size() == 3 && p[0] == 0x01) m.cards().lockNumber = HighLow(p.data() + 1);
  if (p.size() == 1 && p[0] == 0x00) m.cards().lockNumber.reset();
}

}  // namespace cards
}  // namespace wpl::sim
