// A terminal as the host sees it: it listens at one line speed, answers the
// command frames that carry its address from a table of commands, keeps the
// settings and the user table those commands change, and holds clocking
// records. The model is driven by bytes and timestamps only, so the same
// terminal answers in virtual time inside the unit tests and in real time
// behind pclog-sim.
#pragma once
#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "backup_module.h"
#include "block_reader.h"
#include "card_table.h"
#include "download_server.h"
#include "fingerprint_module.h"
#include "line_peer.h"
#include "personnel_tables.h"

namespace wpl::sim {

// How the terminal answers at a point of a command (the frame, the block,
// the second ACK).
enum class AckFault {
  kNone,        // ACK at once
  kSilent,      // never answers
  kNak,         // 0x15 instead of ACK
  kLate,        // ACK after a delay
  kWrongSpeed,  // answers at another speed: the host reads a garbled byte
};

struct Answer {
  AckFault fault = AckFault::kNone;
  Millis delay{0};  // for kLate
};

// Faults of one command, by where they strike. A frame answer given here
// replaces the terminal's general one for this command.
struct CommandFaults {
  std::optional<Answer> frame;
  Answer block;   // the answer to the command's parameter block
  Answer second;  // the second ACK of a command that sends one
};

struct TerminalConfig {
  uint8_t address = 1;
  uint32_t baud = 57600;
  int stopBits = 1;
  // On the network every frame carries 0xFA; the line speed does not apply.
  bool network = false;
  // How every frame is answered, unless its command has faults of its own.
  AckFault ackFault = AckFault::kNone;
  Millis ackDelay{0};
  // Emit bytes no faster than the line carries them (10 bits a byte).
  bool pace = false;
  // The block download: faults to inject, payload bytes per data packet.
  DownloadFaults downloadFaults{};
  size_t payloadPerPacket = 168;
  // Faults by command byte.
  std::map<uint8_t, CommandFaults> commandFaults;
  // The enrolled persons, as inclusive ranges; all start enabled.
  std::vector<std::pair<uint16_t, uint16_t>> users{{0, 65535}};
  // Faults of the value reply and the real-time reply.
  ReplyFaults replyFaults{};
  // The fingerprint module behind the terminal, and whether the line is
  // the module's alone (a bare module: no terminal, no closing marker).
  ModuleConfig module;
  bool moduleOnly = false;
  // The module's side of the backup link, and whether the terminal is in
  // backup mode from the start and for good.
  BackupConfig backup;
  bool backupOnly = false;
};

// Who the line belongs to, and so at which speed and framing it is heard
// and spoken: the terminal at its own speed, or the fingerprint module at
// 9600 8N1 while the terminal lends it the line.
// In backup mode (after command 0x0E with a one-byte block) the line is the
// module's backup link at 19200 8N2.
enum class LineMode { kTerminal, kModule, kBackup };

// A pass-through that hears nothing for this long gives the line back.
constexpr Millis kPassThroughQuiet{20'000};

// What the terminal keeps of the settings the host sends it. The values mean
// what the terminal makes of them; the model keeps the bytes.
struct TerminalSettings {
  std::array<uint8_t, 7> clock{};
  uint8_t machineId = 0;
  uint16_t password = 0;
  std::vector<uint8_t> command3;  // the last payload of command 0x03
  uint8_t openMode = 0;
  uint8_t openTime = 0;
  uint8_t openClose = 0;
  std::array<uint8_t, 3> bell{};
  std::vector<uint8_t> speedRequest;  // the 13 bytes of the last speed setting
  int restores = 0;
  int restoreAlls = 0;
};

// The persons the terminal holds, and which of them may clock.
struct UserTable {
  std::bitset<65536> enrolled, enabled;
  bool Knows(uint16_t person) const { return enrolled[person]; }
};

class TerminalModel;

// An exchange that runs longer than a frame and a block (the download, a
// value reply, a real-time record): while it is active it hears every host
// byte.
class Conversation {
 public:
  virtual ~Conversation() = default;
  virtual void OnHostByte(uint8_t b, Nanos now) = 0;
  virtual bool Active() const = 0;
};

// How the terminal takes a parameter block.
enum class BlockVerdict {
  kAccept,    // ACK (or the block answer of the command's faults)
  kRefuse,    // NAK
  kIgnore,    // no answer at all
  kAnswered,  // the command has queued its answers itself
};

// One command the terminal understands.
struct CommandRule {
  uint8_t command;
  // After the frame's ACK.
  void (*onFrame)(TerminalModel&, Nanos now) = nullptr;
  // A parameter block follows the frame; its payload. Null: none follows.
  BlockVerdict (*onBlock)(TerminalModel&, std::span<const uint8_t> payload, Nanos now) = nullptr;
  // After the frame's ACK the terminal does its work, then sends a second ACK.
  bool secondAck = false;
};

// The rule of a command byte; null for commands the terminal does not know
// (it acknowledges their frames and does nothing).
const CommandRule* FindCommand(uint8_t command);

class TerminalModel : public LinePeer {
 public:
  explicit TerminalModel(TerminalConfig config);

  // Bytes from the host, sent with `line` at time `now`. Bytes sent at a
  // speed or framing other than the terminal's arrive garbled and are lost.
  void Receive(std::span<const uint8_t> bytes, LineState line, Nanos now) override;
  // Moves into `out` the bytes due for sending by `now`; returns the count.
  size_t Transmit(std::span<uint8_t> out, Nanos now) override;
  // When the next byte is due, if any is queued.
  std::optional<Nanos> NextDue() const override;
  // When the last byte queued is due, if any is queued.
  std::optional<Nanos> LastDue() const;
  // Drops everything queued (the host hung up or closed the line).
  void DropOutput() {
    out_.clear();
    if (nextBaud_) config_.baud = *std::exchange(nextBaud_, std::nullopt);
  }
  void HostClosed(Nanos) override { DropOutput(); }
  // Queues bytes for sending `delay` after now, after whatever is queued,
  // paced at the line speed when the terminal paces its output.
  void Queue(std::span<const uint8_t> bytes, Nanos now, Nanos delay = Nanos{0});
  // Queues the answer: ACK, NAK, a garbled byte, or nothing.
  void QueueAnswer(const Answer& answer, Nanos now);
  // Hands the following host bytes to an exchange of the command's own.
  void StartConversation(std::unique_ptr<Conversation> c) { conversation_ = std::move(c); }
  // Lends the line to the fingerprint module once the answer queued now
  // has gone (at the host's next bytes).
  void HandLineToModule(Nanos now);
  // Enters backup mode once the answers queued now have gone.
  void EnterBackupMode(Nanos now);

  const TerminalConfig& config() const { return config_; }
  bool Accepts(LineState line) const override;
  LineMode lineMode() const { return mode_; }
  // The speed and framing of the line in its present mode.
  LineState ModeLine() const;
  FingerprintModule& module() { return module_; }
  const FingerprintModule& module() const { return module_; }
  BackupModule& backup() { return backup_; }
  const BackupModule& backup() const { return backup_; }

  // What the terminal has seen: the command bytes of the frames addressed to
  // it, in order.
  const std::vector<uint8_t>& commands() const { return commands_; }
  int clears() const { return clears_; }
  // The parameter blocks received after accepted frames, in order.
  const std::vector<ReceivedBlock>& blocks() const { return blocks_; }
  std::vector<uint8_t>& records() { return records_; }
  const DownloadServer& download() const { return download_; }
  DownloadServer& download() { return download_; }
  TerminalSettings& settings() { return settings_; }
  const TerminalSettings& settings() const { return settings_; }
  UserTable& users() { return users_; }
  const UserTable& users() const { return users_; }
  CardTable& cards() { return cards_; }
  const CardTable& cards() const { return cards_; }
  PersonnelTables& personnel() { return personnel_; }
  const PersonnelTables& personnel() const { return personnel_; }
  // The line speed the terminal listens at (changed by the speed setting).
  uint32_t lineSpeed() const { return config_.baud; }
  void ClearRecords() {
    records_.clear();
    ++clears_;
  }

  // What the terminal holds, as one JSON object (compact, in this order).
  nlohmann::ordered_json State() const;
  std::string StateJson() const;

 private:
  struct Pending {
    Nanos due;
    uint8_t byte;
  };
  void OnByte(uint8_t b, Nanos now);
  void OnFrame(uint8_t command, Nanos now);
  void OnBlock(ReceivedBlock block, Nanos now);
  void OnSpeedRequest(Nanos now);
  void TakeUpLineMode(Nanos now);
  void OnModuleByte(uint8_t b, Nanos now);
  void OnBackupByte(uint8_t b, Nanos now);
  Answer FrameAnswer(uint8_t command) const;
  const CommandFaults* FaultsOf(uint8_t command) const;
  Nanos ByteTime() const;

  TerminalConfig config_;
  std::vector<uint8_t> window_;  // the last bytes, for finding frames
  std::deque<Pending> out_;
  std::vector<uint8_t> commands_;
  std::vector<uint8_t> records_;
  int clears_ = 0;
  BlockReader blockReader_;
  const CommandRule* blockRule_ = nullptr;  // the command whose block may follow
  std::vector<ReceivedBlock> blocks_;
  DownloadServer download_;
  std::unique_ptr<Conversation> conversation_;
  TerminalSettings settings_;
  UserTable users_;
  CardTable cards_;
  PersonnelTables personnel_;
  // The speed setting: 20 'c', 20 'j', then the 13-byte request.
  size_t preamble_ = 0;
  std::vector<uint8_t> request_;
  std::optional<uint32_t> nextBaud_;  // taken up once the answer has gone
  FingerprintModule module_;
  BackupModule backup_;
  LineMode mode_ = LineMode::kTerminal;
  std::optional<LineMode> nextMode_;  // taken up once the answer has gone
  Nanos lastHeard_{0};                // the last host byte of a pass-through
};

}  // namespace wpl::sim
