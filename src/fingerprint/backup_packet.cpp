#include "fingerprint/backup_packet.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace wpl::fingerprint {
namespace {

constexpr std::array<uint8_t, 4> kLead = {0x02, 0x14, 0x00, 0x10};
constexpr uint8_t kFiller = 0xFC;
constexpr uint8_t kEnd = 0x03;
constexpr size_t kChecksumOffset = 16;

uint8_t High(uint16_t v) { return static_cast<uint8_t>(v >> 8); }
uint8_t Low(uint16_t v) { return static_cast<uint8_t>(v); }
uint16_t HighLow(uint8_t high, uint8_t low) { return static_cast<uint16_t>(high << 8 | low); }
uint8_t Sum(std::span<const uint8_t> bytes) {
  return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

}  // namespace

std::vector<uint8_t> BuildBackupPacket(const BackupFields& f, std::span<const uint8_t> data) {
  if (data.size() > 0xFFFF) throw std::length_error("backup packet data too long");
  const auto length = static_cast<uint16_t>(data.size());
  const uint8_t head[kBackupDataOffset] = {kLead[0],
                                           kLead[1],
                                           kLead[2],
                                           kLead[3],
                                           High(length),
                                           Low(length),
                                           High(f.position),
                                           Low(f.position),
                                           f.moreFollows,
                                           High(f.blockCount),
                                           Low(f.blockCount),
                                           kFiller,
                                           0x00,
                                           f.flags,
                                           High(f.acknowledged),
                                           Low(f.acknowledged),
                                           0x00};
  std::vector<uint8_t> p;
  p.reserve(kBackupOverhead + data.size());
  p.assign(std::begin(head), std::end(head));
  p.insert(p.end(), data.begin(), data.end());
  p.push_back(kEnd);
  p[kChecksumOffset] = static_cast<uint8_t>(0x100 - Sum(p));
  return p;
}

uint16_t BackupDataLength(std::span<const uint8_t, kBackupHead> head) {
  return HighLow(head[4], head[5]);
}

std::optional<ParsedBackupPacket> ParseBackupPacket(std::span<const uint8_t> bytes) {
  if (bytes.size() < kBackupOverhead) return std::nullopt;
  ParsedBackupPacket p;
  p.length = BackupDataLength(bytes.first<kBackupHead>());
  if (bytes.size() != kBackupOverhead + p.length) return std::nullopt;
  p.fields = {HighLow(bytes[6], bytes[7]), bytes[8], HighLow(bytes[9], bytes[10]), bytes[13],
              HighLow(bytes[14], bytes[15])};
  p.data = bytes.subspan(kBackupDataOffset, p.length);
  p.sumsToZero = Sum(bytes) == 0;
  p.framed = std::equal(kLead.begin(), kLead.end(), bytes.begin()) && bytes[11] == kFiller &&
             bytes[12] == 0x00 && bytes.back() == kEnd;
  return p;
}

std::vector<uint8_t> OpeningRequest() {
  return BuildBackupPacket({.position = 1, .flags = backup_flag::kOpen});
}

std::vector<uint8_t> OpeningAnswer(std::span<const uint8_t> reply) {
  // The reply's position, its low byte counted on by one without carry.
  const auto acked = HighLow(reply[6], static_cast<uint8_t>(reply[7] + 1));
  return BuildBackupPacket({.position = 1, .flags = backup_flag::kAccepted, .acknowledged = acked});
}

std::vector<uint8_t> BackupRequest() { return BuildBackupPacket({}, kBackupRequestData); }

std::vector<uint8_t> BlockAcknowledgement(uint16_t accepted, bool first, uint16_t position,
                                          uint16_t length) {
  return BuildBackupPacket({.position = accepted,
                            .flags = first ? backup_flag::kAccepted : backup_flag::kLater,
                            .acknowledged = static_cast<uint16_t>(position + length)});
}

std::vector<uint8_t> DataBlock(std::span<const uint8_t> data, bool moreFollows,
                               uint16_t blockCount) {
  return BuildBackupPacket({.position = 1,
                            .moreFollows = moreFollows ? uint8_t{1} : uint8_t{0},
                            .blockCount = blockCount},
                           data);
}

std::vector<uint8_t> FinalAcknowledgement(std::span<const uint8_t> reply) {
  // Each byte of the reply's position plus the byte of L beside it, no carry.
  const auto acked =
      HighLow(static_cast<uint8_t>(reply[6] + reply[4]), static_cast<uint8_t>(reply[7] + reply[5]));
  return BuildBackupPacket({.flags = backup_flag::kAccepted, .acknowledged = acked});
}

}  // namespace wpl::fingerprint
