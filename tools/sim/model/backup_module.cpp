#include "backup_module.h"

#include <algorithm>
#include <random>
#include <utility>

#include "fingerprint/backup_packet.h"

namespace wpl::sim {
namespace {

using namespace fingerprint;
using std::chrono::milliseconds;

// Where the module says it stands in its replies; the host echoes it back
// counted on.
constexpr uint16_t kOpenPosition = 0x0007;
constexpr uint16_t kFinalPosition = 0x0010;
constexpr std::array<uint8_t, 3> kFailedFinal = {0x02, 0x36, 0x01};
constexpr uint8_t kRejected = 0x00;

uint16_t Field(std::span<const uint8_t> p, size_t at) {
  return static_cast<uint16_t>(p[at] << 8 | p[at + 1]);
}

std::vector<BackupOutput> One(std::vector<uint8_t> bytes, milliseconds delay = {}) {
  std::vector<BackupOutput> out;
  out.push_back({std::move(bytes), delay});
  return out;
}

std::vector<uint8_t> Reply(uint8_t flags, uint16_t position, uint16_t acknowledged) {
  return BuildBackupPacket({.position = position, .flags = flags, .acknowledged = acknowledged});
}

}  // namespace

BackupModule::BackupModule(BackupConfig config)
    : config_(std::move(config)), store_(config_.store) {
  config_.blockSize = std::clamp<size_t>(config_.blockSize, 1, kMaxReceivedData);
}

std::vector<uint8_t> BackupModule::MakeStore(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  std::mt19937 random(seed);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  std::copy_n(kBackupFileMark.begin(), std::min(size, kBackupFileMark.size()), bytes.begin());
  return bytes;
}

void BackupModule::Reset() {
  packet_.clear();
  incoming_.clear();
  state_ = State::kIdle;
}

bool BackupModule::Dropped() const {
  return config_.faults.silent ||
         (config_.faults.dropAfter && blocksThisTransfer_ >= *config_.faults.dropAfter);
}

std::vector<BackupOutput> BackupModule::OnHostByte(uint8_t b) {
  // A packet starts with 0x02; anything else between packets is noise.
  if (packet_.empty() && b != 0x02) return {};
  packet_.push_back(b);
  if (packet_.size() < kBackupHead) return {};
  const size_t size = kBackupOverhead + Field(packet_, 4);
  if (size > kBackupAreaSize) {
    packet_.clear();
    return {};
  }
  if (packet_.size() < size) return {};
  const std::vector<uint8_t> packet = std::exchange(packet_, {});
  if (Dropped()) return {};
  return OnPacket(packet);
}

std::vector<BackupOutput> BackupModule::OnPacket(std::span<const uint8_t> p) {
  const auto parsed = ParseBackupPacket(p);
  const uint8_t flags = parsed->fields.flags;
  // The opening request starts over, whatever was going on.
  if (parsed->length == 0 && flags == backup_flag::kOpen && parsed->sumsToZero) {
    state_ = State::kIdle;
    return One(Reply(config_.faults.openFlags, kOpenPosition, 0));
  }
  if (state_ == State::kTaking ||
      (parsed->length > 0 && flags == 0 &&
       !std::equal(parsed->data.begin(), parsed->data.end(), kBackupRequestData.begin(),
                   kBackupRequestData.end())))
    return TakeBlock(p);
  if (!parsed->sumsToZero) return {};
  if (parsed->length == kBackupRequestData.size() && flags == 0) {
    state_ = State::kSending;
    block_ = 0;
    blocksThisTransfer_ = 0;
    corruptLeft_ = config_.faults.corruptSendings;
    auto out = One(Reply(backup_flag::kAccepted, 0, kBackupRequestData.size()));
    for (auto& o : SendBlock({})) out.push_back(std::move(o));
    return out;
  }
  if (state_ != State::kSending || !(flags & backup_flag::kAccepted)) return {};
  // The acknowledgement of the block in flight: numbered by the blocks
  // accepted before it, at the block's position + L. Anything else gets the
  // block again.
  const size_t offset = block_ * config_.blockSize;
  const size_t length =
      std::min(config_.blockSize, store_.size() - std::min(offset, store_.size()));
  const bool right = parsed->fields.position == static_cast<uint16_t>(block_) &&
                     parsed->fields.acknowledged == static_cast<uint16_t>(offset + length);
  if (right) {
    ++blocksThisTransfer_;
    if (offset + length >= store_.size()) {
      state_ = State::kIdle;
      ++transfers_;
      return {};
    }
    ++block_;
  }
  if (Dropped()) return {};
  return SendBlock({});
}

std::vector<BackupOutput> BackupModule::SendBlock(milliseconds delay) {
  const size_t offset = std::min(block_ * config_.blockSize, store_.size());
  const size_t length = std::min(config_.blockSize, store_.size() - offset);
  const bool more = offset + length < store_.size();
  std::vector<uint8_t> data(store_.begin() + static_cast<std::ptrdiff_t>(offset),
                            store_.begin() + static_cast<std::ptrdiff_t>(offset + length));
  if (config_.faults.oversize && block_ == 0) data.resize(kMaxReceivedData + 1);
  const BackupFields fields{.position = static_cast<uint16_t>(offset),
                            .moreFollows = more ? uint8_t{1} : uint8_t{0}};
  std::vector<BackupOutput> out;
  if (block_ == config_.faults.corruptBlock) {
    for (; corruptLeft_ > 0; --corruptLeft_) {
      auto bad = BuildBackupPacket(fields, data);
      bad[16] ^= 0x5A;
      out.push_back({std::move(bad), out.empty() ? delay : config_.faults.resendDelay});
      ++blocksSent_;
    }
  }
  out.push_back(
      {BuildBackupPacket(fields, data), out.empty() ? delay : config_.faults.resendDelay});
  ++blocksSent_;
  return out;
}

std::vector<BackupOutput> BackupModule::TakeBlock(std::span<const uint8_t> p) {
  const auto parsed = ParseBackupPacket(p);
  const uint16_t count = parsed->fields.blockCount;
  if (count == 0 && state_ != State::kTaking) {
    state_ = State::kTaking;
    incoming_.clear();
    blocksThisTransfer_ = 0;
    rejectLeft_ = config_.faults.rejections;
  }
  // The final acknowledgement ends the send.
  if (parsed->length == 0) {
    if (parsed->fields.flags & backup_flag::kAccepted) state_ = State::kIdle;
    return {};
  }
  if (!parsed->sumsToZero || (count == config_.faults.rejectBlock && rejectLeft_ > 0)) {
    if (parsed->sumsToZero) --rejectLeft_;
    return One(Reply(kRejected, 0, 0));
  }
  incoming_.insert(incoming_.end(), parsed->data.begin(), parsed->data.end());
  ++blocksTaken_;
  ++blocksThisTransfer_;
  const auto acked = static_cast<uint16_t>(parsed->length + (config_.faults.wrongPosition ? 0 : 1));
  auto out = One(Reply(backup_flag::kAccepted, 0, acked));
  if (parsed->fields.moreFollows == 1) return out;
  store_ = std::exchange(incoming_, {});
  ++transfers_;
  const auto& result = config_.faults.wrongFinal ? kFailedFinal : kBackupFinalData;
  out.push_back({BuildBackupPacket({.position = kFinalPosition}, result), {}});
  return out;
}

}  // namespace wpl::sim
