#include "download/serial_download.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "byte_lists.h"
#include "download/packets.h"
#include "exports/results.h"
#include "faulty_files.h"
#include "link/command_frame.h"
#include "rigs.h"

namespace wpl {
namespace {

using download::PacketChecks;
using download::ParseEndPacket;
using download::ParseHeader;
using sim::DownloadFaults;
using sim::EndFault;
using sim::FaultPlan;
using sim::PacketFault;
using sim::TerminalConfig;
using testing::VirtualEnv;

constexpr uint8_t kCan = 0x18, kResend = 0xF9, kReady = 0x15, kAck = 0x06;

TEST(Packets, HeaderChecksAndCount) {
  struct Case {
    std::vector<uint8_t> bytes;
    std::optional<uint32_t> extended, modem;
  };
  const Case cases[] = {
      {{0x02, 0x00, 0xFF, 0x02, 0xFD, 0x01, 0x02, 0x03}, 258, 258},
      {{0xAA, 0x00, 0xFF, 0x03, 0xFC, 0x00, 0x01, 0x01}, 65537, std::nullopt},
      {{0x02, 0x00, 0xFF, 0x03, 0xFC, 0xFF, 0xFF, 0xFE}, 131071, std::nullopt},
      {{0x02, 0x00, 0xFF, 0x02, 0xFD, 0x00, 0x00, 0x00}, 0, 0},
      {{0x02, 0x01, 0xFE, 0x02, 0xFD, 0x00, 0x00, 0x00}, std::nullopt, std::nullopt},  // seq 1
      {{0x02, 0x00, 0xFE, 0x02, 0xFD, 0x00, 0x00, 0x00}, std::nullopt, std::nullopt},  // ~seq
      {{0x02, 0x00, 0xFF, 0x02, 0xFC, 0x00, 0x00, 0x00}, std::nullopt, std::nullopt},  // ~type
      {{0x02, 0x00, 0xFF, 0x02, 0xFD, 0x80, 0x90, 0x11}, std::nullopt, std::nullopt},  // sum
      {{0x02, 0x00, 0xFF, 0x02, 0xFD, 0x80, 0x90}, std::nullopt, std::nullopt},        // short
  };
  for (const Case& k : cases) {
    EXPECT_EQ(ParseHeader(k.bytes), k.extended);
    EXPECT_EQ(ParseHeader(k.bytes, download::CountRule::kModem), k.modem);
  }
  EXPECT_EQ(ParseHeader(download::BuildHeader(65541)), 65541u);
}

TEST(Packets, DataAndEndPackets) {
  std::array<uint8_t, 256> p{};
  const std::vector<uint8_t> payload = {0x80, 0x90, 1, 2, 3, 4};
  const size_t n = download::BuildDataPacket(7, payload, p);
  ASSERT_EQ(n, 12u);
  EXPECT_TRUE(PacketChecks(std::span(p.data(), n)));
  EXPECT_EQ(p[n - 1], 0x1A);
  p[2] ^= 1;
  EXPECT_FALSE(PacketChecks(std::span(p.data(), n)));
  EXPECT_FALSE(PacketChecks(std::span(p.data(), 5)));

  auto end = download::BuildEndPacket(9, 0x1234);
  EXPECT_EQ(ParseEndPacket(end, 9), 0x1234);
  EXPECT_EQ(ParseEndPacket(end, 8), std::nullopt);
  EXPECT_EQ(ParseEndPacket(std::span(end).first(17), 9), std::nullopt);
  end[8] = 0x55;  // pattern broken, checksum made right again
  end[17] = link::Checksum8(std::span(end).subspan(5, 12));
  EXPECT_EQ(ParseEndPacket(end, 9), std::nullopt);
}

// A terminal on a port of a virtual line, and a download against it.
struct Rig : testing::SerialRig {
  explicit Rig(TerminalConfig config, int terminalPort = 3)
      : SerialRig(std::move(config), terminalPort) {}
  void Load(uint32_t records, uint32_t seed = 7) {
    terminal.records() = sim::GenerateRecords(records, seed);
    loaded = terminal.records();
  }
  download::DownloadReport Run(int hostPort = 3) {
    return download::SerialDownload(v.env, terminal.config().address, hostPort);
  }
  // The bytes the host sent to the terminal's port other than the frames of
  // the download command and the clearing command.
  std::vector<uint8_t> Control() const {
    auto all = v.serial.HostBytes(port);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < all.size();) {
      if (all.size() - i >= 14 && std::equal(link::kSignature.begin(), link::kSignature.end(),
                                             all.begin() + static_cast<ptrdiff_t>(i))) {
        i += 14;
        continue;
      }
      out.push_back(all[i++]);
    }
    return out;
  }

  std::vector<uint8_t> loaded;
};

using testing::Join;
using testing::Repeat;

TEST(SerialDownload, CompleteTransferIsConvertedAndCleared) {
  Rig rig({.address = 4});
  rig.Load(100);
  auto report = rig.Run();
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0);
  EXPECT_EQ(report.announced, 100u);
  EXPECT_EQ(rig.File("pclog.dat"), rig.loaded);
  EXPECT_EQ(rig.File("pclog.txt").size(), 100u * 23);
  EXPECT_TRUE(report.cleared);
  EXPECT_TRUE(rig.terminal.records().empty());
  EXPECT_EQ(rig.terminal.commands(), (std::vector<uint8_t>{0x01, 0x0D}));
  // Ready byte, then one ACK for the header and each of the 4 packets, then
  // the answer to the end packet.
  EXPECT_EQ(rig.Control(), Join({{kReady}, Repeat(kAck, 5), {kReady}}));
  EXPECT_EQ(rig.v.ui.windowsOpened, 1);
  EXPECT_EQ(rig.v.ui.windowsOpen, 0);
  EXPECT_EQ(rig.v.ui.positions.back(), 100);
}

TEST(SerialDownload, EmptyTerminalSucceedsWithoutDataOrEnd) {
  Rig rig({});
  auto report = rig.Run();
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0);
  EXPECT_TRUE(rig.File("pclog.dat").empty());
  EXPECT_TRUE(rig.File("pclog.txt").empty());
  EXPECT_TRUE(report.cleared);
  EXPECT_EQ(rig.Control(), (std::vector<uint8_t>{kReady, kAck}));
}

TEST(SerialDownload, ExtendedCountAndSequenceWrap) {
  // 65537 records: type byte 3; 2341 packets, so the sequence wraps nine times.
  Rig rig({});
  rig.Load(65537);
  auto report = rig.Run();
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0);
  EXPECT_EQ(report.announced, 65537u);
  EXPECT_EQ(rig.File("pclog.dat"), rig.loaded);
}

TEST(SerialDownload, ShortPayloadsEndWithoutWaitingForTheLargestPacket) {
  // Packets of 12 payload bytes are complete after 18 bytes: waiting for
  // more would hit the 2 s silence and fail the transfer.
  Rig rig({.payloadPerPacket = 12});
  rig.Load(10);
  EXPECT_EQ(wpl::exports::DoneOrFailed(rig.Run()), 0);
  EXPECT_EQ(rig.File("pclog.dat"), rig.loaded);
}

TEST(SerialDownload, ProgressMovesOnCheckedPacketsOnly) {
  Rig rig({.downloadFaults = {.packets = {{2, {PacketFault::kBadChecksum, 1}}}},
           .payloadPerPacket = 30});
  rig.Load(10);
  EXPECT_EQ(wpl::exports::DoneOrFailed(rig.Run()), 0);
  EXPECT_EQ(rig.v.ui.positions, (std::vector<int>{50, 100}));
}

TEST(SerialDownload, RepeatsAndOutOfSequencePacketsAreNotKept) {
  struct Case {
    PacketFault fault;
    uint8_t answer;
  };
  for (const Case& k :
       {Case{PacketFault::kRepeatPrevious, kAck}, Case{PacketFault::kSkipSequence, kReady}}) {
    Rig rig({.downloadFaults = {.packets = {{2, {k.fault, 1}}}}});
    rig.Load(60);  // 3 packets
    auto report = rig.Run();
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0);
    EXPECT_EQ(report.unexpected, 1);
    EXPECT_EQ(rig.File("pclog.dat"), rig.loaded);
    // header ACK, packet 1 ACK, the odd packet's answer, packets 2 and 3.
    EXPECT_EQ(rig.Control(),
              Join({{kReady}, Repeat(kAck, 2), {k.answer}, Repeat(kAck, 2), {kReady}}));
  }
}

TEST(SerialDownload, FailureTable) {
  struct Case {
    const char* name;
    DownloadFaults faults;
    int32_t result;
    std::vector<uint8_t> control;  // host bytes after the frame
    bool allData;                  // pclog.dat holds every record
  };
  const auto header = [](PacketFault f, int times) {
    return DownloadFaults{.packets = {{0, {f, times}}}};
  };
  const auto second = [](PacketFault f, int times) {
    return DownloadFaults{.packets = {{2, {f, times}}}};
  };
  const std::vector<uint8_t> ok3 = Join({{kReady}, Repeat(kAck, 4), {kReady}});
  const Case cases[] = {
      {"header cut off", header(PacketFault::kSilence, 1), 1, {kReady}, false},
      {"header bad 15 times", header(PacketFault::kBadHeader, 15), 0,
       Join({{kReady}, Repeat(kResend, 15), Repeat(kAck, 4), {kReady}}), true},
      {"header bad 16 times", header(PacketFault::kBadHeader, 16), 1,
       Join({{kReady}, Repeat(kResend, 15), {kCan}}), false},
      // The last packet (24 payload bytes) arrives with one byte more.
      {"surplus byte",
       {.packets = {{3, {PacketFault::kSurplus, 1}}}},
       1,
       Join({{kReady}, Repeat(kAck, 3)}),
       false},
      {"short 30 times", second(PacketFault::kShort, 30), 0,
       Join({{kReady}, Repeat(kAck, 2), Repeat(kResend, 30), Repeat(kAck, 2), {kReady}}), true},
      {"short 31 times", second(PacketFault::kShort, 31), 1,
       Join({{kReady}, Repeat(kAck, 2), Repeat(kResend, 30), {kCan}}), false},
      {"bad 15 times", second(PacketFault::kBadChecksum, 15), 0,
       Join({{kReady}, Repeat(kAck, 2), Repeat(kResend, 15), Repeat(kAck, 2), {kReady}}), true},
      {"bad 16 times", second(PacketFault::kBadChecksum, 16), 1,
       Join({{kReady}, Repeat(kAck, 2), Repeat(kResend, 15), {kCan}}), false},
      {"length above 168", second(PacketFault::kOversize, 1), 0,
       Join({{kReady}, Repeat(kAck, 2), {kResend}, Repeat(kAck, 2), {kReady}}), true},
      // A packet cut off by silence is asked for again and arrives, but the
      // transfer is not trusted: the end packet is neither read nor answered.
      {"silence mid-packet", second(PacketFault::kSilence, 1), 1,
       Join({{kReady}, Repeat(kAck, 2), {kResend}, Repeat(kAck, 2)}), true},
      {"end packet invalid",
       {.end = EndFault::kBadPacket},
       1,
       Join({{kReady}, Repeat(kAck, 4), {kCan}}),
       true},
      {"wrong total", {.end = EndFault::kWrongTotal}, 1, ok3, true},
      {"repeats without end", second(PacketFault::kRepeatPrevious, 1000), 1,
       Join({{kReady}, Repeat(kAck, 2), Repeat(kAck, 31), {kCan}}), false},
  };
  for (const Case& k : cases) {
    Rig rig({.downloadFaults = k.faults});
    rig.Load(60);
    auto report = rig.Run();
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), k.result) << k.name;
    EXPECT_EQ(rig.Control(), k.control) << k.name;
    EXPECT_EQ(rig.File("pclog.dat") == rig.loaded, k.allData) << k.name;
    // Cleared only after a verified transfer; converted in every case.
    EXPECT_EQ(rig.terminal.clears(), k.result == 0 ? 1 : 0) << k.name;
    EXPECT_EQ(rig.File("pclog.txt").size(), rig.File("pclog.dat").size() / 6 * 23) << k.name;
    EXPECT_EQ(rig.v.ui.windowsOpen, 0) << k.name;
  }
}

TEST(SerialDownload, NoTerminalFailsAfterNineAttemptsAndStillConverts) {
  VirtualEnv v;
  auto report = download::SerialDownload(v.env, 1, 3);
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 1);
  EXPECT_EQ(v.serial.opens().size(), 9u);
  std::ifstream txt(v.env.dataDir + "pclog.txt");
  EXPECT_TRUE(txt.good());
}

TEST(SerialDownload, UncreatableRecordFileOpensNoPort) {
  VirtualEnv v;
  std::filesystem::create_directory(v.env.dataDir + "pclog.dat");
  auto report = download::SerialDownload(v.env, 1, 3);
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 1);
  EXPECT_EQ(v.serial.openAttempts(), 0);
  ASSERT_FALSE(v.ui.messages.empty());
  EXPECT_EQ(v.ui.messages.front().text, "can not creat pclog.dat!");
  EXPECT_EQ(v.ui.messages.front().title, "Open Error");
  EXPECT_EQ(v.ui.windowsOpen, 0);
}

TEST(SerialDownload, ClearsThroughThePortWhereItWorked) {
  Rig rig({.address = 2}, 4);
  rig.Load(5);
  auto report = rig.Run(3);
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0);
  EXPECT_EQ(report.port, 4);
  EXPECT_TRUE(report.cleared);
  // The clearing scan starts afresh from port 4: its first open is port 4.
  const auto& opens = rig.v.serial.opens();
  ASSERT_GE(opens.size(), 4u);
  EXPECT_EQ(opens[opens.size() - 1].port, 4);
  EXPECT_EQ(opens[opens.size() - 1].line.baud, 57600u);
}

// A file that cannot be written, or a conversion that fails, never clears
// the terminal: what it holds is the only copy left.
TEST(SerialDownload, FileFaultsLeaveTheTerminalUncleared) {
  struct Case {
    const char* what;
    bool brokenWrites;
    int refuseOpens;  // the conversion's opens of the record file
    int32_t result;
  };
  const Case cases[] = {
      {"record file cannot be written", true, 0, 1},
      {"conversion fails", false, 1000, 0},
  };
  for (const Case& k : cases) {
    Rig rig({});
    rig.Load(40);
    testing::FaultyFiles files(*rig.v.env.files);
    files.brokenWrites = k.brokenWrites;
    files.refuseOpens = k.refuseOpens;
    rig.v.env.files = &files;
    const auto report = rig.Run();
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), k.result) << k.what;
    EXPECT_FALSE(report.cleared) << k.what;
    EXPECT_EQ(rig.terminal.clears(), 0) << k.what;
    EXPECT_EQ(rig.terminal.records(), rig.loaded) << k.what;
  }
}

TEST(SerialDownload, ByteAfterTheEndPacketBuysSixteenSeconds) {
  Nanos plain, trailing;
  for (auto end : {EndFault::kNone, EndFault::kTrailingByte}) {
    Rig rig({.downloadFaults = {.end = end}});
    rig.Load(3);
    EXPECT_EQ(wpl::exports::DoneOrFailed(rig.Run()), 0);
    (end == EndFault::kNone ? plain : trailing) = rig.v.clock.Now();
  }
  // Without the byte the host waits out 1 s; with it, it stops waiting at
  // once and pauses 16 s.
  EXPECT_GE(trailing - plain, Millis{14990});
  EXPECT_LE(trailing - plain, Millis{15010});
}

}  // namespace
}  // namespace wpl
