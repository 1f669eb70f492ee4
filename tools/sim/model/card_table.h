// What a terminal keeps for its cards, and the two exchanges that answer
// with more than an ACK: the value reply of the SN queries and the real-time
// record. Records wait in a queue for the real-time fetch and leave it only
// when the host acknowledges them.
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace wpl::sim {

using Record = std::array<uint8_t, 6>;

// How the terminal spoils a reply.
enum class ReplyFault {
  kNone,
  kBadChecksum,  // the checksum byte off by one
  kWrongBlock,   // (value reply) block number 0x01 with its complement 0xFE
  kWrongLength,  // (value reply) length 0x03 with its complement 0xFC
  kSplit,        // sent in two halves with a gap between
  kSilent,       // no reply at all
};

struct ReplyFaults {
  ReplyFault value = ReplyFault::kNone;     // the SN queries' value reply
  ReplyFault realtime = ReplyFault::kNone;  // the real-time reply
  std::chrono::milliseconds splitGap{0};    // kSplit: the gap between the halves
  // The terminal misses every Nth acknowledgement of a real-time record (0:
  // none), so the record stays and is sent again.
  int dropAckEvery = 0;
};

// Records for the real-time fetch. pclog-sim fills it from a thread of its
// own while a front-end serves the host, so every access is locked.
class RealtimeQueue {
 public:
  void Push(const Record& r);
  void Push(std::span<const uint8_t> records);  // whole records only
  // The record at the front, with the number it was queued under.
  std::optional<std::pair<uint64_t, Record>> Front() const;
  // Lets go of the front record if it is still `id`.
  void Acknowledge(uint64_t id);
  size_t size() const;
  uint64_t acknowledged() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::pair<uint64_t, Record>> queue_;
  uint64_t next_ = 0;
  uint64_t acknowledged_ = 0;
};

struct CardTable {
  // SN number -> the number filed with it (the second number of _SETSN),
  // which the value query gives back.
  std::map<uint16_t, uint16_t> sn;
  uint16_t snLength = 8;
  std::optional<uint16_t> lockNumber;
  RealtimeQueue realtime;
  int realtimeAcks = 0;  // acknowledgements heard, dropped ones included
};

// The value reply for `value`, spoilt as the fault says (kSplit and kSilent
// are the sender's).
std::vector<uint8_t> ValueReplyBytes(uint16_t value, ReplyFault fault);
// The real-time reply for a record, and the reply for none (0xFF 0xFF).
std::vector<uint8_t> RealtimeReplyBytes(const Record& r, ReplyFault fault);

// The card numbers, their length, the lock number and the real-time queue.
nlohmann::ordered_json CardsJson(const CardTable& cards);

}  // namespace wpl::sim
