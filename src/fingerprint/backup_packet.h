// The packets of the fingerprint backup link, with no I/O: 02 14 00 10, the
// data length L and the 16-bit fields high byte first, the more-follows flag,
// the block count, FC 00, the flags, the acknowledged position, a checksum
// that makes all 18 + L bytes sum to zero, the data and a closing 03.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace wpl::fingerprint {

constexpr size_t kBackupHead = 6;       // up to and including L
constexpr size_t kBackupOverhead = 18;  // every byte but the data
constexpr size_t kBackupDataOffset = 17;
// Packets are built in and received into areas of this size. A received
// block may so carry at most 1,586 data bytes, a sent one carries 1,500.
constexpr size_t kBackupAreaSize = 1604;
constexpr size_t kMaxReceivedData = kBackupAreaSize - kBackupOverhead;
constexpr size_t kMaxSentData = 1500;
// The backup link: 19200 baud, 8 data bits, no parity, two stop bits.
constexpr uint32_t kBackupBaud = 19200;
constexpr int kBackupStopBits = 2;

// Flags of the backup packets.
namespace backup_flag {
constexpr uint8_t kOpen = 0x01;      // the host's opening request; with kAccepted: answer wanted
constexpr uint8_t kAccepted = 0x04;  // an accepted packet; the first block's acknowledgement
constexpr uint8_t kLater = 0x14;     // the acknowledgement of a block after the first
}  // namespace backup_flag

// What the receive asks for, what it writes over the start of the file, and
// what the module answers when a sent backup is complete.
constexpr std::array<uint8_t, 3> kBackupRequestData = {0x01, 0x34, 0x02};
constexpr std::array<uint8_t, 3> kBackupFileMark = {0x01, 0x36, 0x02};
constexpr std::array<uint8_t, 3> kBackupFinalData = {0x02, 0x36, 0x00};

// The fields of a packet; L is the size of its data.
struct BackupFields {
  uint16_t position = 0;      // offsets 6-7
  uint8_t moreFollows = 0;    // offset 8
  uint16_t blockCount = 0;    // offsets 9-10
  uint8_t flags = 0;          // offset 13
  uint16_t acknowledged = 0;  // offsets 14-15
  friend bool operator==(const BackupFields&, const BackupFields&) = default;
};

// The whole packet for the fields and data (at most 65,535 bytes of data).
std::vector<uint8_t> BuildBackupPacket(const BackupFields& fields,
                                       std::span<const uint8_t> data = {});

// L from the first six bytes.
uint16_t BackupDataLength(std::span<const uint8_t, kBackupHead> head);

struct ParsedBackupPacket {
  uint16_t length = 0;
  BackupFields fields;
  std::span<const uint8_t> data;  // within the parsed bytes
  bool sumsToZero = false;        // the only check a receiver makes
  bool framed = false;            // 02 14 00 10, FC 00 and the closing 03 in place
};
// Parses exactly one packet: empty unless `bytes` holds 18 + L bytes for the
// L it announces.
std::optional<ParsedBackupPacket> ParseBackupPacket(std::span<const uint8_t> bytes);

// The packets the host sends.
std::vector<uint8_t> OpeningRequest();
// To a reply to the opening request (offsets 6 and 7 are taken from it).
std::vector<uint8_t> OpeningAnswer(std::span<const uint8_t> reply);
// The backup request: L = 3, the data 01 34 02.
std::vector<uint8_t> BackupRequest();
// The acknowledgement of the block accepted as number `accepted` (counted
// from 0), whose position field and L are given.
std::vector<uint8_t> BlockAcknowledgement(uint16_t accepted, bool first, uint16_t position,
                                          uint16_t length);
// A block of the file being sent.
std::vector<uint8_t> DataBlock(std::span<const uint8_t> data, bool moreFollows,
                               uint16_t blockCount);
// The acknowledgement of the module's final reply (offsets 6 and 7 of the
// reply, each plus a byte of its L, no carry).
std::vector<uint8_t> FinalAcknowledgement(std::span<const uint8_t> reply);

}  // namespace wpl::fingerprint
