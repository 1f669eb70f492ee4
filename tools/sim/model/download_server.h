// The terminal's side of the block download: header, data packets and end
// packet, answered by the host with ACK, resend requests and the final 0x15,
// with faults that can be injected packet by packet.
#pragma once
#include <chrono>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <span>
#include <vector>

namespace wpl::sim {

class TerminalModel;
using Nanos = std::chrono::nanoseconds;

enum class PacketFault {
  kNone,
  kBadChecksum,     // checksum byte off by one
  kShort,           // a 6-byte packet announcing no payload
  kSurplus,         // one byte more than the packet announces
  kSilence,         // the first half, then nothing
  kRepeatPrevious,  // the previous packet again instead of this one
  kSkipSequence,    // this packet under the next sequence number
  kOversize,        // a length byte above 168
  kBadHeader,       // (header only) a complement off
  kHeaderType3,     // (header only) type byte 3, which only a direct line accepts
};

enum class EndFault {
  kNone,
  kBadPacket,     // pattern broken
  kWrongTotal,    // total checksum off by 256 (right modulo 256)
  kTrailingByte,  // one more byte right after the end packet
};

struct FaultPlan {
  PacketFault kind = PacketFault::kNone;
  int times = 1;  // the first `times` sendings of the packet carry it
};

struct DownloadFaults {
  // By data packet number (1 = first); number 0 is the header.
  std::map<uint32_t, FaultPlan> packets;
  EndFault end = EndFault::kNone;
  // The first `endTimes` sendings of the end packet carry `end`.
  int endTimes = std::numeric_limits<int>::max();
  // Recoverable faults (bad checksum, short, repeat, skipped sequence) on the
  // first sending of a packet, at random with this probability.
  double randomRate = 0;
  uint32_t seed = 1;
};

class DownloadServer {
 public:
  DownloadServer(TerminalModel& model, DownloadFaults faults, size_t payloadPerPacket = 168);

  // The host's command was acknowledged: serve `records` (whole records only,
  // at most 131071 of them) once the host says it is ready.
  void Start(std::span<const uint8_t> records);
  bool Active() const { return state_ != State::kIdle; }
  void OnHostByte(uint8_t b, Nanos now);
  void Stop() { state_ = State::kIdle; }

  // Completed transfers: the host answered a good end packet.
  int completed() const { return completed_; }
  // Data packets sent, resends included.
  int packetsSent() const { return packetsSent_; }
  int resends() const { return resends_; }

 private:
  enum class State { kIdle, kAwaitReady, kHeaderSent, kDataSent, kEndSent };
  void SendHeader(Nanos now);
  void SendPacket(Nanos now);
  void SendEnd(Nanos now);
  PacketFault NextFault(uint32_t number);
  uint8_t SeqOf(uint32_t number) const { return static_cast<uint8_t>(number); }
  std::span<const uint8_t> PayloadOf(uint32_t number) const;

  TerminalModel& model_;
  DownloadFaults faults_;
  size_t payloadPerPacket_;
  std::mt19937 rng_;
  std::vector<uint8_t> serving_;
  uint32_t packets_ = 0;       // data packets in this transfer
  uint32_t current_ = 0;       // packet being offered (1-based)
  bool bogus_ = false;         // the last sending was not packet current_ itself
  uint16_t total_ = 0;         // sum of the checksums of packets taken
  std::vector<int> sendings_;  // by packet number
  int endSendings_ = 0;
  State state_ = State::kIdle;
  int completed_ = 0, packetsSent_ = 0, resends_ = 0;
};

// Records with valid dates and times (2005-2015), from a seed.
std::vector<uint8_t> GenerateRecords(uint32_t count, uint32_t seed);

}  // namespace wpl::sim
