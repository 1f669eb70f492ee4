#include "download/network_download.h"

#include <gtest/gtest.h>

#include <iterator>

#include "byte_lists.h"
#include "exports/results.h"
#include "faulty_files.h"
#include "link/command_frame.h"
#include "network_site.h"

namespace wpl {
namespace {

using download::NetworkDownload;
using download::NetworkDownloadKind;
using download::NetworkTarget;
using sim::AckFault;
using sim::DownloadFaults;
using sim::EndFault;
using sim::NetworkFaults;
using sim::PacketFault;
using sim::TerminalConfig;
using sim::TerminalModel;
using testing::SocketCall;
using testing::VirtualEnv;
using Bytes = std::vector<uint8_t>;

constexpr const char* kIp = "127.0.9.1";
constexpr Ipv4Address kAddress{{127, 0, 9, 1}};
constexpr uint8_t kAck = 0x06, kNak = 0x15;

struct Site : testing::NetworkSite {
  explicit Site(TerminalConfig config = {}, NetworkFaults faults = {})
      : NetworkSite(kAddress, config, std::move(faults)) {}
  void Load(uint32_t records) { loaded = terminal.records() = sim::GenerateRecords(records, 3); }
  // Single-byte sends after the download frame: the host's answers.
  Bytes Answers() const {
    Bytes out;
    for (const auto& s : sockets.Sends())
      if (s.size() == 1) out.push_back(s[0]);
    return out;
  }
  Bytes loaded;
};

using testing::Join;
using testing::Repeat;

TEST(NetworkDownload, CompleteTransferConvertsAndClears) {
  Site site;
  site.Load(131071);  // type byte 3: 65536 + 65535
  auto report = NetworkDownload(site.env, kIp, {});
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0);
  EXPECT_EQ(report.announced, 131071u);
  EXPECT_EQ(site.File("pclog.dat"), site.loaded);
  EXPECT_EQ(site.File("pclog.txt").size(), 131071u * 23);
  EXPECT_TRUE(report.cleared);
  EXPECT_TRUE(site.terminal.records().empty());
  EXPECT_EQ(site.terminal.commands(), (Bytes{0x01, 0x0D}));
  EXPECT_EQ(site.ui.status.front(), "connect 127.0.9.1 success");
  EXPECT_EQ(site.ui.windowsOpen, 0);
  EXPECT_EQ(site.sockets.openSockets(), 0);
}

TEST(NetworkDownload, ProgressAndAnswers) {
  // 10 records in packets of 24, 24 and 12 bytes.
  Site site({.payloadPerPacket = 24});
  site.Load(10);
  EXPECT_EQ(wpl::exports::DoneOrFailed(NetworkDownload(site.env, kIp, {})), 0);
  EXPECT_EQ(site.ui.positions, (std::vector<int>{40, 80, 100}));
  // NAK asks for the header; ACK for it and each packet; NAK answers the end.
  EXPECT_EQ(site.Answers(), Join({{kNak}, Repeat(kAck, 4), {kNak}}));
}

TEST(NetworkDownload, EmptyTerminal) {
  Site site;
  auto report = NetworkDownload(site.env, kIp, {});
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0);
  EXPECT_TRUE(site.File("pclog.dat").empty());
  EXPECT_TRUE(report.cleared);
  EXPECT_EQ(site.Answers(), (Bytes{kNak, kAck}));
}

TEST(NetworkDownload, ReceiverRules) {
  struct Case {
    const char* name;
    DownloadFaults faults;
    int32_t result;
    Bytes answers;
  };
  const auto second = [](PacketFault f, int times) {
    return DownloadFaults{.packets = {{2, {f, times}}}};
  };
  const Case cases[] = {
      {"5 bad checksums, then good", second(PacketFault::kBadChecksum, 5), 0,
       Join({{kNak}, Repeat(kAck, 2), Repeat(kNak, 5), Repeat(kAck, 2), {kNak}})},
      {"6 bad checksums", second(PacketFault::kBadChecksum, 6), 1,
       Join({{kNak}, Repeat(kAck, 2), Repeat(kNak, 5)})},
      {"wrong sequence", second(PacketFault::kSkipSequence, 1), 1, Join({{kNak}, Repeat(kAck, 2)})},
      {"repeat is not accepted", second(PacketFault::kRepeatPrevious, 1), 1,
       Join({{kNak}, Repeat(kAck, 2)})},
      {"bad header", {.packets = {{0, {PacketFault::kBadHeader, 1}}}}, 1, {kNak}},
      {"bad end packet", {.end = EndFault::kBadPacket}, 1, Join({{kNak}, Repeat(kAck, 4), {kNak}})},
      {"total right only modulo 256",
       {.end = EndFault::kWrongTotal},
       1,
       Join({{kNak}, Repeat(kAck, 4), {kNak}})},
  };
  for (const Case& k : cases) {
    Site site({.downloadFaults = k.faults});
    site.Load(60);
    auto report = NetworkDownload(site.env, kIp, {});
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), k.result) << k.name;
    EXPECT_EQ(site.Answers(), k.answers) << k.name;
    EXPECT_EQ(site.terminal.clears(), k.result == 0 ? 1 : 0) << k.name;
    // _LANDOWNLOAD converts whatever arrived, success or not.
    EXPECT_TRUE(site.Exists("pclog.txt")) << k.name;
  }
}

TEST(NetworkDownload, SilentOrClosingTerminalEndsTheCall) {
  struct Case {
    const char* name;
    TerminalConfig config;
    NetworkFaults faults;
    size_t bytesKept;
  };
  const Case cases[] = {
      {"never answers the frame", {.ackFault = AckFault::kSilent}, {}, 0},
      {"closes after the frame", {}, {.closeAfterFrame = true}, 0},
      // ACK, header, then packet 1 (174 bytes) and half of packet 2.
      {"closes mid-transfer", {}, {.closeAfterSent = 1 + 8 + 174 + 87}, 168},
      {"stops mid-packet",
       {.downloadFaults = {.packets = {{2, {PacketFault::kSilence, 1}}}}},
       {},
       168},
  };
  for (const Case& k : cases) {
    Site site(k.config, k.faults);
    site.Load(60);
    auto report = NetworkDownload(site.env, kIp, {});
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), 1) << k.name;
    EXPECT_EQ(site.File("pclog.dat").size(), k.bytesKept) << k.name;
    EXPECT_EQ(site.sockets.openSockets(), 0) << k.name;
    EXPECT_EQ(site.terminal.clears(), 0) << k.name;
  }
}

TEST(NetworkDownload, RecordFileThatCannotBeWrittenFailsTheDownload) {
  Site site;
  site.Load(60);
  testing::FaultyFiles files(*site.env.files);
  files.brokenWrites = true;
  site.env.files = &files;
  auto report = NetworkDownload(site.env, kIp, {});
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 1);
  EXPECT_FALSE(report.cleared);
  EXPECT_EQ(site.terminal.clears(), 0);
  EXPECT_EQ(site.sockets.openSockets(), 0);
}

TEST(NetworkDownload, FailedConversionLeavesTheTerminalUncleared) {
  Site site;
  site.Load(60);
  testing::FaultyFiles files(*site.env.files);
  files.refuseOpens = 1000;
  site.env.files = &files;
  auto report = NetworkDownload(site.env, kIp, {});
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0);
  EXPECT_FALSE(report.cleared);
  EXPECT_EQ(site.terminal.clears(), 0);
  EXPECT_EQ(site.terminal.records(), site.loaded);
}

TEST(NetworkDownload, PerTerminalAndAddressedVariants) {
  struct Case {
    NetworkTarget target;
    std::string record, text;
    uint8_t frameAddress;
  };
  const Case cases[] = {
      {{NetworkDownloadKind::kPerTerminal, 12}, "pclog12.dat", "pclog12.txt", 0xFA},
      {{NetworkDownloadKind::kPerTerminal, -1}, "pclog-1.dat", "pclog-1.txt", 0xFA},
      {{NetworkDownloadKind::kAddressed, 0, 0x00}, "pclog.dat", "pclog.txt", 0x00},
      {{NetworkDownloadKind::kAddressed, 0, 0xFF}, "pclog.dat", "pclog.txt", 0xFF},
  };
  for (const Case& k : cases) {
    // The addressed download's terminal answers its own byte; it is cleared
    // through 0xFA all the same.
    Site site;
    TerminalModel addressed({.address = k.frameAddress, .network = true});
    if (k.target.kind == NetworkDownloadKind::kAddressed) {
      site.sockets.Attach(kAddress, &addressed);
      addressed.records() = sim::GenerateRecords(5, 1);
    } else {
      site.Load(5);
    }
    auto report = NetworkDownload(site.env, kIp, k.target);
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0) << k.record;
    EXPECT_EQ(site.File(k.record).size(), 30u) << k.record;
    EXPECT_EQ(site.File(k.text).size(), 5u * 23) << k.record;
    const Bytes frame = site.sockets.Sends().front();
    ASSERT_EQ(frame.size(), 14u);
    EXPECT_EQ(frame[10], k.frameAddress);
    EXPECT_EQ(frame[11], 0xFF - k.frameAddress);
    EXPECT_TRUE(report.cleared);
    EXPECT_EQ(
        (k.target.kind == NetworkDownloadKind::kAddressed ? addressed : site.terminal).clears(), 1);
    const Bytes clear = site.sockets.Sends().back();
    EXPECT_EQ(clear[10], 0xFA);
    EXPECT_EQ(clear[12], 0x0D);
  }
}

TEST(NetworkDownload, ConnectionFailuresShowTheirText) {
  struct Case {
    const char* name;
    void (*setup)(testing::VirtualSockets&);
    const char* ip;
    std::string text;
  };
  const Case cases[] = {
      {"start-up", [](testing::VirtualSockets& s) { s.FailStartup(); }, kIp, "Winsock error"},
      {"socket", [](testing::VirtualSockets& s) { s.FailCreate(); }, kIp,
       "Error:creat socket fail!"},
      {"refused", [](testing::VirtualSockets&) {}, "127.0.9.2", "connect fail"},
      {"never connects",
       [](testing::VirtualSockets& s) {
         s.Unanswered({{127, 0, 9, 3}});
       },
       "127.0.9.3", "connect fail"},
      {"not an address", [](testing::VirtualSockets&) {}, "127.0.9", "connect fail"},
  };
  for (const Case& k : cases) {
    Site site;
    k.setup(site.sockets);
    EXPECT_EQ(wpl::exports::DoneOrFailed(NetworkDownload(site.env, k.ip, {})), 1) << k.name;
    EXPECT_EQ(site.ui.status, (std::vector<std::string>{k.text})) << k.name;
    EXPECT_EQ(site.ui.windowsOpen, 0) << k.name;
    // The plain download converts whatever an earlier call left: here nothing,
    // so its open-failure message comes 30 times.
    EXPECT_EQ(site.ui.messages.size(), 30u) << k.name;
  }
}

TEST(NetworkDownload, OnlyThePlainDownloadConvertsAfterFailure) {
  for (auto kind : {NetworkDownloadKind::kPerTerminal, NetworkDownloadKind::kAddressed}) {
    Site site({.ackFault = AckFault::kNak});
    EXPECT_EQ(wpl::exports::DoneOrFailed(NetworkDownload(site.env, kIp, {kind, 4, 0xFA})), 1);
    EXPECT_FALSE(site.Exists(kind == NetworkDownloadKind::kAddressed ? "pclog.txt" : "pclog4.txt"));
  }
}

}  // namespace
}  // namespace wpl
