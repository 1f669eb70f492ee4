#include "fingerprint/backup.h"

#include <algorithm>
#include <array>

#include "fingerprint/backup_packet.h"
#include "link/serial_link.h"
#include "platform/fine_sleeps.h"
#include "records/conversion.h"

namespace wpl::fingerprint {
namespace {

using Area = std::array<uint8_t, kBackupAreaSize>;
constexpr size_t kFirstReadCap = 1000;
constexpr size_t kReplySize = kBackupOverhead;  // the module's answers carry no data
constexpr uint32_t kLastBlockNumber = 0xFFFF;

std::string BackupPath(Env& env, const std::string& given, const char* name) {
  return given.empty() ? env.dataDir + name : given;
}

// The incoming file beside the given one: "zwbak.new" for zwbak.txt, else
// the given name with ".new".
std::string IncomingPath(Env& env, const std::string& given) {
  return given.empty() ? env.dataDir + kIncomingBackupFile : given + ".new";
}

template <typename Open>
std::unique_ptr<File> TryFile(Env& env, Open&& open) {
  for (int i = 0; i < kBackupFileTries; ++i) {
    if (auto file = open()) return file;
    env.ui->ShowMessage(std::string(ForThisSystem(kBackupOpenError)), records::kOpenErrorTitle);
  }
  return nullptr;
}

// An 18-byte answer of the module, within the silence limit.
bool ReceiveReply(Env& env, SerialPort& port, Area& area, Millis limit) {
  return link::ReadBytes(env, port, area, kReplySize, limit) == kReplySize;
}

uint16_t Acknowledged(const Area& a) { return static_cast<uint16_t>(a[14] << 8 | a[15]); }
bool Accepted(const Area& a) { return (a[13] & backup_flag::kAccepted) != 0; }

enum class PacketRead { kWhole, kShort, kTooLong };

// A whole packet of the module: the six bytes up to L, then L + 12 more,
// the first read asking for at most 1,000 of them. A length the area cannot
// hold is refused before anything past the head is read.
PacketRead ReceivePacket(Env& env, SerialPort& port, Area& area, size_t& size) {
  if (link::ReadBytes(env, port, area, kBackupHead, kLinkSilence) < kBackupHead)
    return PacketRead::kShort;
  const uint16_t length = BackupDataLength(std::span(area).first<kBackupHead>());
  if (length > kMaxReceivedData) return PacketRead::kTooLong;
  size = kBackupOverhead + length;
  const auto rest = std::span(area).subspan(kBackupHead, size - kBackupHead);
  const size_t first = std::min(rest.size(), kFirstReadCap);
  if (link::ReadBytes(env, port, rest, first, kLinkSilence) < first ||
      link::ReadBytes(env, port, rest.subspan(first), rest.size() - first, kLinkSilence) <
          rest.size() - first)
    return PacketRead::kShort;
  return PacketRead::kWhole;
}

BackupOutcome FailedRead(PacketRead r) {
  return r == PacketRead::kTooLong ? BackupOutcome::kTooLong : BackupOutcome::kSilence;
}

bool SendBackupRequest(Env& env, SerialPort& port, Area& area) {
  SendBackupPacket(env, port, BackupRequest());
  return ReceiveReply(env, port, area, kRequestSilence) && Accepted(area) &&
         Acknowledged(area) == kBackupRequestData.size();
}

}  // namespace

BackupOutcome ReceiveBlocks(Env& env, SerialPort& port, File& file,
                            const BackupProgress& progress) {
  Area area{};
  uint32_t accepted = 0;
  uint16_t start = 0;
  uint64_t received = 0;
  int badInARow = 0;
  for (;;) {
    size_t size = 0;
    if (const PacketRead r = ReceivePacket(env, port, area, size); r != PacketRead::kWhole)
      return FailedRead(r);
    const auto packet = ParseBackupPacket(std::span(area).first(size));
    if (accepted == 0) start = packet->fields.position;
    // A block that does not sum to zero gets no answer: the module sends it
    // again.
    if (!packet->sumsToZero) {
      if (++badInARow >= kBadBlockLimit) return BackupOutcome::kBadBlocks;
      continue;
    }
    badInARow = 0;
    if (!packet->data.empty() && !file.Write(packet->data)) return BackupOutcome::kFileError;
    const uint16_t position = packet->fields.position;
    SendBackupPacket(env, port,
                     BlockAcknowledgement(static_cast<uint16_t>(accepted), position == start,
                                          position, packet->length));
    received += packet->length;
    if (progress) progress(received, 0);
    if (packet->fields.moreFollows != 1) return BackupOutcome::kDone;
    if (++accepted > kLastBlockNumber) return BackupOutcome::kTooManyBlocks;
  }
}

namespace {

// The module's final reply to a sent backup, acknowledged once complete.
BackupOutcome AwaitFinalReply(Env& env, SerialPort& port) {
  Area area{};
  size_t size = 0;
  if (const PacketRead r = ReceivePacket(env, port, area, size); r != PacketRead::kWhole)
    return FailedRead(r);
  SendBackupPacket(env, port, FinalAcknowledgement(std::span(area).first(size)));
  const bool expected = size >= kBackupDataOffset + kBackupFinalData.size() &&
                        std::equal(kBackupFinalData.begin(), kBackupFinalData.end(),
                                   area.begin() + kBackupDataOffset);
  return expected ? BackupOutcome::kDone : BackupOutcome::kBadFinal;
}

// Reads exactly `out.size()` bytes from the file, or fails: stale bytes
// never go out as part of a backup.
bool ReadExactly(File& file, std::span<uint8_t> out) {
  size_t got = 0;
  while (got < out.size()) {
    const int64_t n = file.Read(out.subspan(got));
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

BackupOutcome SendBlocks(Env& env, SerialPort& port, File& file, int64_t size,
                         const BackupProgress& progress) {
  Area area{};
  std::array<uint8_t, kMaxSentData> data{};
  uint64_t sent = 0;
  uint16_t count = 0;
  int rejections = 0;
  for (bool more = true; more;) {
    const uint64_t left = static_cast<uint64_t>(size) - sent;
    // More follows only while more than one block's worth is left: a file
    // of exactly 1,500 bytes goes as one block with the flag 0.
    more = left > kMaxSentData;
    const auto block = std::span(data).first(more ? kMaxSentData : static_cast<size_t>(left));
    if (!file.Seek(static_cast<int64_t>(sent)) || !ReadExactly(file, block))
      return BackupOutcome::kFileError;
    const std::vector<uint8_t> packet = DataBlock(block, more, count);
    for (;;) {
      SendBackupPacket(env, port, packet);
      if (!ReceiveReply(env, port, area, kLinkSilence)) return BackupOutcome::kSilence;
      if (Accepted(area)) break;
      // The same block again, unchanged; the third rejection ends the send.
      if (++rejections >= kRejectionLimit) return BackupOutcome::kRejected;
    }
    if (Acknowledged(area) != static_cast<uint16_t>(block.size() + 1))
      return BackupOutcome::kWrongPosition;
    ++count;
    sent += block.size();
    if (progress) progress(sent, static_cast<uint64_t>(size));
  }
  return AwaitFinalReply(env, port);
}

}  // namespace

const char* OutcomeText(BackupOutcome outcome) {
  switch (outcome) {
    case BackupOutcome::kDone: return "done";
    case BackupOutcome::kNoPort: return "no port could be opened";
    case BackupOutcome::kNoLink: return "the module did not answer the opening request";
    case BackupOutcome::kRequestRefused: return "the module did not accept the backup request";
    case BackupOutcome::kNoFile: return "the backup file could not be opened";
    case BackupOutcome::kFileError: return "the backup file could not be read or written";
    case BackupOutcome::kSilence: return "the module fell silent";
    case BackupOutcome::kBadBlocks: return "fifteen unreadable blocks in a row";
    case BackupOutcome::kTooManyBlocks: return "more blocks than can be numbered";
    case BackupOutcome::kTooLong: return "a packet longer than the receive area";
    case BackupOutcome::kRejected: return "the module rejected a third block";
    case BackupOutcome::kWrongPosition: return "a block acknowledged at the wrong position";
    case BackupOutcome::kBadFinal: return "the module's final reply named a failure";
    case BackupOutcome::kTooSmall: return "the backup file holds fewer than 4 bytes";
  }
  return "?";
}

link::SerialResult EnterBackupMode(Env& env, int32_t address, int32_t port, int32_t mode) {
  static constexpr const link::SerialExport& kRow = link::SerialRow("_ZWBACKUP");
  // The mode is the block's one data byte, so its checksum is the mode again.
  const uint8_t payload[] = {static_cast<uint8_t>(mode)};
  return link::RunSerialCommand(env, kRow, address, port, payload);
}

BackupLine FindBackupPort(Env& env, int32_t port) {
  int p = port;
  for (int i = 0; i < link::kUnopenablePortLimit; ++i, p = link::NextPort(p))
    if (auto open = link::OpenCommPortTwoStop(env, p)) return BackupLine(std::move(open));
  return BackupLine(nullptr);
}

void SendBackupPacket(Env& env, SerialPort& port, std::span<const uint8_t> packet) {
  for (size_t i = 0; i < packet.size(); ++i) {
    port.Write(packet.subspan(i, 1));
    env.clock->Sleep(kBytePause);
  }
}

bool OpenBackupLink(Env& env, SerialPort& port) {
  Area area{};
  SendBackupPacket(env, port, OpeningRequest());
  if (!ReceiveReply(env, port, area, kLinkSilence)) return false;
  constexpr uint8_t kWantsAnswer = backup_flag::kOpen | backup_flag::kAccepted;
  if ((area[13] & kWantsAnswer) == kWantsAnswer)
    SendBackupPacket(env, port, OpeningAnswer(std::span(area).first(kReplySize)));
  return true;
}

BackupOutcome ReceiveBackup(Env& env, int32_t port, const std::string& file,
                            const BackupProgress& progress) {
  const std::string target = BackupPath(env, file, kBackupFile);
  const std::string incoming = IncomingPath(env, file);
  BackupLine backup = FindBackupPort(env, port);
  if (!backup.port) return BackupOutcome::kNoPort;
  SerialPort& line = *backup.port;
  BackupOutcome outcome = BackupOutcome::kDone;
  {
    Area area{};
    std::unique_ptr<File> out;
    if (!OpenBackupLink(env, line)) {
      outcome = BackupOutcome::kNoLink;
    } else if (!SendBackupRequest(env, line, area)) {
      outcome = BackupOutcome::kRequestRefused;
    } else if (out = TryFile(env, [&] { return env.files->Create(incoming); }); !out) {
      outcome = BackupOutcome::kNoFile;
    } else {
      outcome = ReceiveBlocks(env, line, *out, progress);
      // Only a complete backup is marked as one.
      if (outcome == BackupOutcome::kDone && !(out->Seek(0) && out->Write(kBackupFileMark)))
        outcome = BackupOutcome::kFileError;
    }
  }  // the file is closed here
  if (outcome == BackupOutcome::kDone && !env.files->Replace(incoming, target))
    outcome = BackupOutcome::kFileError;
  env.clock->Sleep(kBytePause);
  return outcome;
}

BackupOutcome SendBackup(Env& env, int32_t port, const std::string& file,
                         const BackupProgress& progress) {
  const std::string source = BackupPath(env, file, kBackupFile);
  auto in = TryFile(env, [&] { return env.files->OpenRead(source); });
  if (!in) return BackupOutcome::kNoFile;
  BackupLine backup = FindBackupPort(env, port);
  if (!backup.port) return BackupOutcome::kNoPort;
  SerialPort& line = *backup.port;
  if (!OpenBackupLink(env, line)) return BackupOutcome::kNoLink;
  env.clock->Sleep(kAfterLinkPause);
  const int64_t size = in->Size();
  BackupOutcome outcome = size < kSmallestBackup ? BackupOutcome::kTooSmall
                                                 : SendBlocks(env, line, *in, size, progress);
  in.reset();
  env.clock->Sleep(kBytePause);
  return outcome;
}

}  // namespace wpl::fingerprint
