// The fingerprint backup: the backup packets from the protocol's byte
// examples, then the backup mode, the receive and the send against a
// terminal model whose line is the module's backup link at 19200 8N2, in
// virtual time; and a failed receive that never touches zwbak.txt.
#include "fingerprint/backup.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <filesystem>

#include "byte_lists.h"
#include "exports/results.h"
#include "faulty_files.h"
#include "file_contents.h"
#include "fingerprint/backup_packet.h"
#include "memory_file.h"
#include "platform/full_write.h"
#include "rigs.h"
#include "step_port.h"
#include "virtual_env.h"

namespace wpl {
namespace {

using namespace fingerprint;
using sim::AckFault;
using sim::Answer;
using sim::BackupModule;
using sim::TerminalConfig;
using sim::TerminalModel;
using testing::Hex;
using testing::VirtualEnv;
using Bytes = std::vector<uint8_t>;

constexpr int kPort = 3;

Bytes Reply(uint8_t flags, uint16_t position) {
  return BuildBackupPacket({.position = position, .flags = flags});
}

TEST(BackupPacket, BytesOfThePackets) {
  const Bytes twoBytes{0x41, 0x42};
  const Bytes block = BuildBackupPacket({}, twoBytes);
  struct Case {
    const char* what;
    Bytes packet;
    std::string bytes;
  };
  const Case cases[] = {
      {"opening request", OpeningRequest(),
       "02 14 00 10 00 00 00 01 00 00 00 FC 00 01 00 00 D9 03"},
      {"opening answer", OpeningAnswer(Reply(0x05, 0x0007)),
       "02 14 00 10 00 00 00 01 00 00 00 FC 00 04 00 08 CE 03"},
      // The low byte counts on without a carry into the high one.
      {"opening answer, no carry", OpeningAnswer(Reply(0x05, 0x12FF)),
       "02 14 00 10 00 00 00 01 00 00 00 FC 00 04 12 00 C4 03"},
      {"backup request", BackupRequest(),
       "02 14 00 10 00 03 00 00 00 00 00 FC 00 00 00 00 A1 01 34 02 03"},
      {"a block of two bytes", block,
       "02 14 00 10 00 02 00 00 00 00 00 FC 00 00 00 00 56 41 42 03"},
      {"its acknowledgement", BlockAcknowledgement(0, true, 0, 2),
       "02 14 00 10 00 00 00 00 00 00 00 FC 00 04 00 02 D5 03"},
      {"a later acknowledgement", BlockAcknowledgement(3, false, 0xFFFF, 2),
       "02 14 00 10 00 00 00 03 00 00 00 FC 00 14 00 01 C3 03"},
      {"a data block", DataBlock(twoBytes, true, 0x0102),
       "02 14 00 10 00 02 00 01 01 01 02 FC 00 00 00 00 51 41 42 03"},
      // Offsets 6 and 7 each plus a byte of L, no carry: 00 10 + 00 03.
      {"final acknowledgement",
       FinalAcknowledgement(BuildBackupPacket({.position = 0x0010}, kBackupFinalData)),
       "02 14 00 10 00 00 00 00 00 00 00 FC 00 04 00 13 C4 03"},
      {"final acknowledgement, no carry",
       FinalAcknowledgement(BuildBackupPacket({.position = 0x01FE}, kBackupFinalData)),
       "02 14 00 10 00 00 00 00 00 00 00 FC 00 04 01 01 D5 03"},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(Hex(k.packet), k.bytes) << k.what;
    const auto parsed = ParseBackupPacket(k.packet);
    ASSERT_TRUE(parsed) << k.what;
    EXPECT_TRUE(parsed->sumsToZero && parsed->framed) << k.what;
    EXPECT_EQ(BuildBackupPacket(parsed->fields, parsed->data), k.packet) << k.what;
  }
}

TEST(BackupPacket, ParsesOnlyAWholePacket) {
  Bytes p = BuildBackupPacket({.position = 0x1234,
                               .moreFollows = 1,
                               .blockCount = 7,
                               .flags = 0x14,
                               .acknowledged = 0xBEEF},
                              Bytes(1500, 0x33));
  const auto parsed = ParseBackupPacket(p);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->length, 1500);
  EXPECT_EQ(parsed->fields, (BackupFields{0x1234, 1, 7, 0x14, 0xBEEF}));
  EXPECT_FALSE(ParseBackupPacket(std::span(p).first(p.size() - 1)));
  p.push_back(0);
  EXPECT_FALSE(ParseBackupPacket(p));
  EXPECT_FALSE(ParseBackupPacket(Bytes(17, 0)));
  // A wrong checksum, and a wrong frame, are told apart.
  Bytes bad = BackupRequest();
  bad[17] ^= 1;
  EXPECT_FALSE(ParseBackupPacket(bad)->sumsToZero);
  bad = BackupRequest();
  bad[11] = 0xFB, bad[16] += 1;
  EXPECT_TRUE(ParseBackupPacket(bad)->sumsToZero);
  EXPECT_FALSE(ParseBackupPacket(bad)->framed);
}

TEST(BackupMessage, TheGbkTextIsTheUtf8Text) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string in(kBackupOpenError.utf8), out(in.size() * 2, '\0');
  char* src = in.data();
  char* dst = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  ASSERT_NE(iconv(cd, &src, &inLeft, &dst, &outLeft), static_cast<size_t>(-1));
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  EXPECT_EQ(out, kBackupOpenError.gbk);
}

// A terminal in backup mode from the start, holding `store`.
TerminalConfig BackupTerminal(Bytes store = BackupModule::MakeStore(2000, 5),
                              size_t blockSize = 1024) {
  TerminalConfig c;
  c.backupOnly = true;
  c.backup.store = std::move(store);
  c.backup.blockSize = blockSize;
  return c;
}

// A terminal on kPort, in backup mode from the start unless told otherwise.
struct Rig : testing::SerialRig {
  explicit Rig(TerminalConfig config = BackupTerminal()) : SerialRig(std::move(config), kPort) {}
  int32_t Receive() { return wpl::exports::DoneOrFailed(ReceiveBackup(v.env, kPort)); }
  int32_t Send() { return wpl::exports::DoneOrFailed(SendBackup(v.env, kPort)); }
  // The host's writes on the backup link.
  std::vector<testing::WireChunk> Writes() const { return WritesAt(kBackupBaud, kBackupStopBits); }
  // Those writes cut into packets.
  std::vector<Bytes> Packets() const {
    std::vector<Bytes> out;
    Bytes all;
    for (const auto& c : Writes()) all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    for (size_t at = 0; at + kBackupHead <= all.size();) {
      const size_t size = kBackupOverhead + (all[at + 4] << 8 | all[at + 5]);
      out.emplace_back(all.begin() + at, all.begin() + std::min(all.size(), at + size));
      at += size;
    }
    return out;
  }
};

TEST(BackupReceive, TheOneBlockExampleOnTheWire) {
  Rig rig(BackupTerminal({0x41, 0x42}));
  EXPECT_EQ(rig.Receive(), 0);
  const auto packets = rig.Packets();
  std::vector<std::string> hex;
  for (const Bytes& p : packets) hex.push_back(Hex(p));
  EXPECT_EQ(hex, (std::vector<std::string>{
                     "02 14 00 10 00 00 00 01 00 00 00 FC 00 01 00 00 D9 03",
                     "02 14 00 10 00 00 00 01 00 00 00 FC 00 04 00 08 CE 03",
                     "02 14 00 10 00 03 00 00 00 00 00 FC 00 00 00 00 A1 01 34 02 03",
                     "02 14 00 10 00 00 00 00 00 00 00 FC 00 04 00 02 D5 03",
                 }));
  // One byte a write, each followed by 1 ms, on a port opened at 19200 8N2.
  const auto writes = rig.Writes();
  for (const auto& w : writes) EXPECT_EQ(w.bytes.size(), 1u);
  EXPECT_EQ(writes[1].at - writes[0].at, Millis{1});
  EXPECT_EQ(rig.v.serial.opens().front().line.stopBits, 2);
  // The two data bytes, then the mark over the first three: 01 36 02.
  EXPECT_EQ(Hex(rig.File(kBackupFile)), "01 36 02");
  EXPECT_FALSE(std::filesystem::exists(rig.Path(kIncomingBackupFile)));
  EXPECT_EQ(rig.v.serial.closes().size(), 1u);
}

TEST(BackupReceive, AnOpeningReplyWithoutBit1GetsNoAnswer) {
  TerminalConfig c = BackupTerminal();
  c.backup.faults.openFlags = 0x04;
  Rig rig(c);
  EXPECT_EQ(rig.Receive(), 0);
  const auto packets = rig.Packets();
  ASSERT_GE(packets.size(), 2u);
  EXPECT_EQ(packets[1], BackupRequest());
  EXPECT_EQ(rig.File(kBackupFile), rig.terminal.backup().store());
}

TEST(BackupReceive, BlocksAreAcknowledgedByCountAndPosition) {
  Rig rig(BackupTerminal(BackupModule::MakeStore(2500, 9), 1000));
  EXPECT_EQ(rig.Receive(), 0);
  const auto packets = rig.Packets();
  ASSERT_EQ(packets.size(), 6u);
  // The first block's position is the start: 0x04; later ones 0x14.
  EXPECT_EQ(packets[3], BlockAcknowledgement(0, true, 0, 1000));
  EXPECT_EQ(packets[4], BlockAcknowledgement(1, false, 1000, 1000));
  EXPECT_EQ(packets[5], BlockAcknowledgement(2, false, 2000, 500));
  EXPECT_EQ(rig.File(kBackupFile), rig.terminal.backup().store());
}

TEST(BackupReceive, BadBlocksAreDroppedUntilFifteenInARow) {
  for (int bad : {1, 14, 15}) {
    TerminalConfig c = BackupTerminal();
    c.backup.faults.corruptSendings = bad;
    c.backup.faults.corruptBlock = 1;
    Rig rig(c);
    rig.Put(kBackupFile, {0x0A, 0x0B});
    EXPECT_EQ(rig.Receive(), bad < 15 ? 0 : 1) << bad;
    // No bad block was acknowledged or written.
    EXPECT_EQ(rig.Packets().size(), bad < 15 ? 5u : 4u) << bad;
    if (bad < 15)
      EXPECT_EQ(rig.File(kBackupFile), rig.terminal.backup().store()) << bad;
    else
      EXPECT_EQ(rig.File(kBackupFile), (Bytes{0x0A, 0x0B})) << bad;
  }
}

TEST(BackupReceive, AFailedReceiveLeavesZwbakAsItWas) {
  const Bytes old{0x01, 0x36, 0x02, 0x77, 0x78};
  struct Case {
    const char* what;
    sim::BackupFaults faults;
    size_t keptBeside;  // bytes of accepted blocks in zwbak.new
  };
  const Case cases[] = {
      {"link dropped after two blocks", {.dropAfter = 2}, 2048},
      {"an oversize block", {.oversize = true}, 0},
      {"silence", {.silent = true}, SIZE_MAX},
  };
  for (const Case& k : cases) {
    TerminalConfig c = BackupTerminal(BackupModule::MakeStore(5000, 3));
    c.backup.faults = k.faults;
    Rig rig(c);
    rig.Put(kBackupFile, old);
    EXPECT_EQ(rig.Receive(), 1) << k.what;
    EXPECT_EQ(rig.File(kBackupFile), old) << k.what;
    if (k.keptBeside == SIZE_MAX) {
      EXPECT_FALSE(std::filesystem::exists(rig.Path(kIncomingBackupFile))) << k.what;
    } else {
      // The blocks so far, unmarked: it does not pass for a whole backup.
      const Bytes kept = rig.File(kIncomingBackupFile);
      const Bytes& store = rig.terminal.backup().store();
      EXPECT_EQ(kept, Bytes(store.begin(), store.begin() + k.keptBeside)) << k.what;
    }
    EXPECT_EQ(rig.v.serial.closes().size(), 1u) << k.what;
  }
}

// A module that sends one-byte blocks, `blocks` of them (the last says
// nothing more follows) or without end; the host's answers are only counted.
auto OneByteBlocks(uint64_t blocks) {
  return [left = blocks, pending = Bytes{}, at = size_t{0}](std::span<uint8_t> out) mutable {
    if (at == pending.size()) {
      if (left == 0) return size_t{0};
      --left;
      pending = BuildBackupPacket({.moreFollows = static_cast<uint8_t>(left != 0)}, Bytes{0x5A});
      at = 0;
    }
    const size_t n = std::min(out.size(), pending.size() - at);
    std::copy_n(pending.begin() + static_cast<std::ptrdiff_t>(at), n, out.begin());
    at += n;
    return n;
  };
}

TEST(BackupReceive, TheBlockCounterEndsAt65535) {
  struct Case {
    uint64_t blocks;
    BackupOutcome outcome;
    size_t stored;
  };
  const Case cases[] = {
      {65'536, BackupOutcome::kDone, 65'536},
      // A module that announces more for ever: counts 0 to 65,535 taken, no more.
      {UINT64_MAX, BackupOutcome::kTooManyBlocks, 65'536},
  };
  for (const Case& k : cases) {
    VirtualEnv v;
    testing::StepPort module(OneByteBlocks(k.blocks), v.clock);
    testing::MemoryFile file;
    EXPECT_EQ(ReceiveBlocks(v.env, module, file, {}), k.outcome) << k.blocks;
    EXPECT_EQ(file.data.size(), k.stored) << k.blocks;
  }
}

TEST(BackupModuleLine, APacedModuleSendsElevenBitsAByte) {
  TerminalConfig c = BackupTerminal();
  c.pace = true;
  TerminalModel module(c);
  module.Receive(OpeningRequest(), {kBackupBaud, kBackupStopBits}, Nanos{0});
  // The 18-byte reply: a start bit, 8 data bits and two stop bits each.
  const Nanos byte = LineTime(1, kBackupBaud, 2);
  EXPECT_EQ(byte, Nanos{572'916});
  const Nanos last = byte * static_cast<int>(kBackupOverhead);
  std::array<uint8_t, 64> out{};
  EXPECT_EQ(module.Transmit(out, last - Nanos{1}), kBackupOverhead - 1);
  EXPECT_EQ(module.Transmit(out, last), 1u);
}

TEST(BackupReceive, AFileThatCannotBeMadeFailsAfterFiveTries) {
  Rig rig;
  rig.Put(kBackupFile, {0x0A});
  testing::FaultyFiles files(*rig.v.files);
  files.refuseCreates = 5;
  rig.v.env.files = &files;
  EXPECT_EQ(rig.Receive(), 1);
  EXPECT_EQ(files.creates, 5);
  ASSERT_EQ(rig.v.ui.messages.size(), 5u);
  EXPECT_EQ(rig.v.ui.messages[0].text, kBackupOpenError.utf8);
  EXPECT_EQ(rig.v.ui.messages[0].title, "Open Error");
  EXPECT_EQ(rig.File(kBackupFile), Bytes{0x0A});
  // Four refusals: the fifth try makes it.
  Rig again;
  testing::FaultyFiles four(*again.v.files);
  four.refuseCreates = 4;
  again.v.env.files = &four;
  EXPECT_EQ(again.Receive(), 0);
  EXPECT_EQ(again.v.ui.messages.size(), 4u);
}

TEST(BackupReceive, TheLinkAndRequestMustBeAnswered) {
  // Without a reply the opening waits 10 s of silence; nothing is created.
  TerminalConfig c = BackupTerminal();
  c.backup.faults.silent = true;
  Rig rig(c);
  EXPECT_EQ(ReceiveBackup(rig.v.env, kPort), BackupOutcome::kNoLink);
  EXPECT_GT(rig.v.clock.Now(), Millis{10'000});
  EXPECT_LT(rig.v.clock.Now(), Millis{10'100});
  // A terminal not in backup mode hears the 8N2 line as noise.
  Rig plain{TerminalConfig{}};
  EXPECT_EQ(ReceiveBackup(plain.v.env, kPort), BackupOutcome::kNoLink);
}

TEST(BackupPorts, TheSearchIsOnePassOverSixPorts) {
  VirtualEnv v;
  for (int p = 1; p <= 6; ++p) v.serial.SetAbsent(p);
  EXPECT_EQ(ReceiveBackup(v.env, 4), BackupOutcome::kNoPort);
  EXPECT_EQ(v.serial.openAttempts(), 6);
  testing::WriteFile(v.Path(kBackupFile), "ABCDEF");
  EXPECT_EQ(SendBackup(v.env, 4), BackupOutcome::kNoPort);
  EXPECT_EQ(v.serial.openAttempts(), 12);
  // The module on the port after the host's.
  TerminalModel terminal(BackupTerminal({1, 2, 3}));
  VirtualEnv w;
  w.serial.Attach(5, &terminal);
  w.serial.SetAbsent(4);
  EXPECT_EQ(ReceiveBackup(w.env, 4), BackupOutcome::kDone);
}

// The data blocks of a send: size, more-follows flag, block count.
std::vector<std::array<size_t, 3>> Blocks(const std::vector<Bytes>& packets) {
  std::vector<std::array<size_t, 3>> out;
  for (const Bytes& p : packets) {
    const auto parsed = ParseBackupPacket(p);
    if (parsed && parsed->length > 0 && parsed->fields.flags == 0)
      out.push_back({parsed->length, parsed->fields.moreFollows, parsed->fields.blockCount});
  }
  return out;
}

TEST(BackupSend, BlocksOf1500) {
  struct Case {
    size_t size;
    std::vector<std::array<size_t, 3>> blocks;
  };
  const Case cases[] = {
      {3500, {{1500, 1, 0}, {1500, 1, 1}, {500, 0, 2}}},
      // Exactly one block's worth: one block, nothing more follows.
      {1500, {{1500, 0, 0}}},
      {3000, {{1500, 1, 0}, {1500, 0, 1}}},
      {1501, {{1500, 1, 0}, {1, 0, 1}}},
      {4, {{4, 0, 0}}},
  };
  for (const Case& k : cases) {
    Rig rig;
    const Bytes file = BackupModule::MakeStore(k.size, 21);
    rig.Put(kBackupFile, file);
    EXPECT_EQ(rig.Send(), 0) << k.size;
    const auto packets = rig.Packets();
    EXPECT_EQ(Blocks(packets), k.blocks) << k.size;
    EXPECT_EQ(rig.terminal.backup().store(), file) << k.size;
    // Each block at position 00 01; the final reply acknowledged last.
    EXPECT_EQ(packets.at(2).at(7), 0x01) << k.size;
    EXPECT_EQ(Hex(packets.back()), "02 14 00 10 00 00 00 00 00 00 00 FC 00 04 00 13 C4 03");
  }
}

TEST(BackupSend, RejectedBlocksGoAgainUnchangedUntilTheThird) {
  for (int rejections : {1, 2, 3}) {
    TerminalConfig c = BackupTerminal();
    c.backup.faults.rejections = rejections;
    c.backup.faults.rejectBlock = 1;
    Rig rig(c);
    const Bytes file = BackupModule::MakeStore(3500, 4);
    rig.Put(kBackupFile, file);
    EXPECT_EQ(rig.Send(), rejections < 3 ? 0 : 1) << rejections;
    const auto packets = rig.Packets();
    const auto blocks = Blocks(packets);
    ASSERT_GE(blocks.size(), 2u + std::min(rejections, 2)) << rejections;
    // The same packet each time: same bytes, size, flag and count.
    for (int i = 1; i <= std::min(rejections, 2); ++i)
      EXPECT_EQ(packets[3 + i], packets[3]) << rejections;
  }
}

TEST(BackupSend, AnswersThatFailTheSend) {
  struct Case {
    const char* what;
    sim::BackupFaults faults;
    BackupOutcome outcome;
  };
  const Case cases[] = {
      {"acknowledged at L, not L + 1", {.wrongPosition = true}, BackupOutcome::kWrongPosition},
      {"a final reply naming a failure", {.wrongFinal = true}, BackupOutcome::kBadFinal},
      {"link dropped after one block", {.dropAfter = 1}, BackupOutcome::kSilence},
  };
  for (const Case& k : cases) {
    TerminalConfig c = BackupTerminal();
    c.backup.faults = k.faults;
    Rig rig(c);
    rig.Put(kBackupFile, BackupModule::MakeStore(3500, 4));
    EXPECT_EQ(SendBackup(rig.v.env, kPort), k.outcome) << k.what;
    EXPECT_EQ(rig.v.serial.closes().size(), 1u) << k.what;
  }
  // The final reply is acknowledged even when it names a failure.
  TerminalConfig c = BackupTerminal();
  c.backup.faults.wrongFinal = true;
  Rig rig(c);
  rig.Put(kBackupFile, {1, 2, 3, 4});
  EXPECT_EQ(rig.Send(), 1);
  EXPECT_EQ(ParseBackupPacket(rig.Packets().back())->fields.flags, backup_flag::kAccepted);
}

// A backup file that says it holds 4,000 bytes but gives fewer.
class ShortReadFiles : public testing::FaultyFiles {
 public:
  using FaultyFiles::FaultyFiles;
  std::unique_ptr<File> OpenRead(const std::string&) override {
    auto f = std::make_unique<testing::MemoryFile>(Bytes(4000, 0x22));
    f->failReadsFrom = 2000;
    f->maxRead = 100;
    return f;
  }
};

TEST(BackupSend, FilesThatCannotBeSent) {
  {  // A short read sends no stale bytes: the first block only.
    Rig rig;
    ShortReadFiles files(*rig.v.files);
    rig.v.env.files = &files;
    EXPECT_EQ(SendBackup(rig.v.env, kPort), BackupOutcome::kFileError);
    EXPECT_EQ(Blocks(rig.Packets()).size(), 1u);
  }
  {  // Fewer than 4 bytes: the link is opened, nothing sent.
    Rig rig;
    rig.Put(kBackupFile, {1, 2, 3});
    EXPECT_EQ(SendBackup(rig.v.env, kPort), BackupOutcome::kTooSmall);
    EXPECT_EQ(rig.Packets().size(), 2u);
  }
  {  // No file: five tries, five messages, no port.
    Rig rig;
    EXPECT_EQ(SendBackup(rig.v.env, kPort), BackupOutcome::kNoFile);
    EXPECT_EQ(rig.v.ui.messages.size(), 5u);
    EXPECT_EQ(rig.v.serial.openAttempts(), 0);
  }
}

TEST(BackupTransfer, ReceivedSentAndReceivedBackTheSame) {
  Rig first(BackupTerminal(BackupModule::MakeStore(20'000, 77), 1586));
  ASSERT_EQ(first.Receive(), 0);
  const Bytes received = first.File(kBackupFile);
  EXPECT_EQ(received, first.terminal.backup().store());
  Rig second(BackupTerminal(BackupModule::MakeStore(10, 1)));
  second.Put(kBackupFile, received);
  ASSERT_EQ(second.Send(), 0);
  std::filesystem::remove(second.Path(kBackupFile));
  ASSERT_EQ(second.Receive(), 0);
  EXPECT_EQ(second.File(kBackupFile), received);
}

TEST(BackupMode, ModeFiveAndTheSecondAck) {
  struct Case {
    const char* what;
    std::optional<Answer> second;
    int32_t result;
  };
  const Case cases[] = {
      {"at once", std::nullopt, 0},
      {"after 60 s", Answer{AckFault::kLate, Millis{60'000}}, 0},
      {"after 60.1 s", Answer{AckFault::kLate, Millis{60'100}}, 1},
      {"never", Answer{AckFault::kSilent}, 1},
      {"NAK", Answer{AckFault::kNak}, 1},
  };
  for (const Case& k : cases) {
    TerminalConfig c;
    if (k.second) c.commandFaults[0x0E].second = *k.second;
    Rig rig(c);
    EXPECT_EQ(wpl::exports::DoneOrFailed(EnterBackupMode(rig.v.env, 1, kPort, 5)), k.result)
        << k.what;
    std::vector<std::string> writes;
    for (const auto& w : rig.v.serial.wire())
      if (w.fromHost) writes.push_back(Hex(w.bytes));
    ASSERT_EQ(writes.size(), 11u) << k.what;
    EXPECT_EQ(std::vector<std::string>(writes.begin() + 5, writes.end()),
              (std::vector<std::string>{"15", "01", "01", "FE", "05", "05"}))
        << k.what;
    EXPECT_EQ(rig.v.serial.closes().size(), 1u) << k.what;
    // Then the backup link answers at 19200 8N2.
    if (k.result == 0) {
      EXPECT_EQ(rig.Receive(), 0) << k.what;
    }
  }
  // The block must be acknowledged within 3 s.
  TerminalConfig c;
  c.commandFaults[0x0E].block = {AckFault::kLate, Millis{3'100}};
  Rig rig(c);
  EXPECT_EQ(wpl::exports::DoneOrFailed(EnterBackupMode(rig.v.env, 1, kPort, 5)), 1);
}

}  // namespace
}  // namespace wpl
