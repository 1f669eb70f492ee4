// The fingerprint module's side of the backup link (19200 baud, two stop
// bits), while its terminal is in backup mode: it answers the opening
// request, sends its whole store in numbered blocks on the backup request
// (sending a block again until it is acknowledged at the right position),
// and takes a store sent to it block by block, answering each block and
// confirming the whole with its final reply. A store sent to it replaces
// what it held, so a receive after a send returns the same bytes.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace wpl::sim {

struct BackupFaults {
  // The flags of the reply to the opening request: 0x05 asks for the
  // opening answer, 0x04 alone does not.
  uint8_t openFlags = 0x05;
  // The first `corruptSendings` sendings of block `corruptBlock` of a
  // receive carry a bad checksum (each sent again after `resendDelay`).
  int corruptSendings = 0;
  size_t corruptBlock = 0;
  std::chrono::milliseconds resendDelay{200};
  // Block `rejectBlock` of a send is rejected `rejections` times.
  int rejections = 0;
  size_t rejectBlock = 0;
  bool wrongPosition = false;  // blocks of a send acknowledged at L, not L + 1
  bool wrongFinal = false;     // the final reply names a failure: 02 36 01
  bool oversize = false;       // the first block of a receive announces 1,587 data bytes
  bool silent = false;         // never answers
  // Falls silent after sending or taking this many blocks: the link dropped.
  std::optional<size_t> dropAfter;
};

struct BackupConfig {
  std::vector<uint8_t> store;  // what a receive gets
  size_t blockSize = 1024;     // data bytes per block of a receive (1 to 1,586)
  // The terminal's second ACK to the backup mode comes this long after the
  // first.
  std::chrono::milliseconds readyDelay{0};
  BackupFaults faults;
};

// Bytes the module sends, `delay` after what goes before them.
struct BackupOutput {
  std::vector<uint8_t> bytes;
  std::chrono::milliseconds delay{0};
};

class BackupModule {
 public:
  explicit BackupModule(BackupConfig config = {});

  // One host byte; what the module sends in answer when it completes a packet.
  std::vector<BackupOutput> OnHostByte(uint8_t b);
  // Forgets a transfer in progress (the terminal left backup mode).
  void Reset();

  const std::vector<uint8_t>& store() const { return store_; }
  void SetStore(std::vector<uint8_t> store) { store_ = std::move(store); }
  const BackupConfig& config() const { return config_; }
  int blocksSent() const { return blocksSent_; }  // sendings, resends included
  int blocksTaken() const { return blocksTaken_; }
  int transfers() const { return transfers_; }  // completed, either way

  // `size` bytes that start as a received backup does (01 36 02), the rest
  // drawn from the seed.
  static std::vector<uint8_t> MakeStore(size_t size, uint32_t seed);

 private:
  enum class State { kIdle, kSending, kTaking };
  std::vector<BackupOutput> OnPacket(std::span<const uint8_t> packet);
  std::vector<BackupOutput> SendBlock(std::chrono::milliseconds delay);
  std::vector<BackupOutput> TakeBlock(std::span<const uint8_t> packet);
  bool Dropped() const;

  BackupConfig config_;
  std::vector<uint8_t> store_;
  std::vector<uint8_t> packet_;    // the host packet being assembled
  std::vector<uint8_t> incoming_;  // a store being sent to the module
  State state_ = State::kIdle;
  size_t block_ = 0;  // the block of a receive being sent
  int corruptLeft_ = 0, rejectLeft_ = 0;
  int blocksSent_ = 0, blocksTaken_ = 0, transfers_ = 0;
  size_t blocksThisTransfer_ = 0;
};

}  // namespace wpl::sim
