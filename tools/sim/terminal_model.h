// A terminal as the host sees it: it listens at one line speed, answers the
// command frames that carry its address, and holds clocking records. The
// model is driven by bytes and timestamps only, so the same terminal answers
// in virtual time inside the unit tests and in real time behind pclog-sim.
#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "block_reader.h"
#include "download_server.h"

namespace wpl::sim {

using Nanos = std::chrono::nanoseconds;
using Millis = std::chrono::milliseconds;

// The host's side of the line when bytes cross it. baud 0 stands for a
// network connection, where speeds do not apply.
struct LineState {
  uint32_t baud = 0;
  int stopBits = 1;
};

// How the terminal answers a command frame addressed to it.
enum class AckFault {
  kNone,        // ACK at once
  kSilent,      // never answers
  kNak,         // 0x15 instead of ACK
  kLate,        // ACK after ackDelay
  kWrongSpeed,  // answers at another speed: the host reads a garbled byte
};

struct TerminalConfig {
  uint8_t address = 1;
  uint32_t baud = 57600;
  int stopBits = 1;
  // On the network every frame carries 0xFA; the line speed does not apply.
  bool network = false;
  AckFault ackFault = AckFault::kNone;
  Millis ackDelay{0};
  // Emit bytes no faster than the line carries them (10 bits a byte).
  bool pace = false;
  // The block download: faults to inject, payload bytes per data packet.
  DownloadFaults downloadFaults{};
  size_t payloadPerPacket = 168;
};

class TerminalModel {
 public:
  explicit TerminalModel(TerminalConfig config);

  // Bytes from the host, sent with `line` at time `now`. Bytes sent at a
  // speed or framing other than the terminal's arrive garbled and are lost.
  void Receive(std::span<const uint8_t> bytes, LineState line, Nanos now);
  // Moves into `out` the bytes due for sending by `now`; returns the count.
  size_t Transmit(std::span<uint8_t> out, Nanos now);
  // When the next byte is due, if any is queued.
  std::optional<Nanos> NextDue() const;
  // Drops everything queued (the host hung up or closed the line).
  void DropOutput() { out_.clear(); }
  // Queues bytes for sending `delay` after now, after whatever is queued,
  // paced at the line speed when the terminal paces its output.
  void Queue(std::span<const uint8_t> bytes, Nanos now, Nanos delay = Nanos{0});

  const TerminalConfig& config() const { return config_; }
  bool Accepts(LineState line) const;

  // What the terminal has seen: the command bytes of the frames addressed to
  // it, in order.
  const std::vector<uint8_t>& commands() const { return commands_; }
  int clears() const { return clears_; }
  // The parameter blocks received after accepted frames, in order.
  const std::vector<ReceivedBlock>& blocks() const { return blocks_; }
  std::vector<uint8_t>& records() { return records_; }
  const DownloadServer& download() const { return download_; }

 private:
  struct Pending {
    Nanos due;
    uint8_t byte;
  };
  void OnByte(uint8_t b, Nanos now);
  void OnFrame(uint8_t command, Nanos now);
  void Answer(Nanos now);
  Nanos ByteTime() const;

  TerminalConfig config_;
  std::vector<uint8_t> window_;  // the last bytes, for finding frames
  std::deque<Pending> out_;
  std::vector<uint8_t> commands_;
  std::vector<uint8_t> records_;
  int clears_ = 0;
  BlockReader blockReader_;
  std::vector<ReceivedBlock> blocks_;
  DownloadServer download_;
};

}  // namespace wpl::sim
