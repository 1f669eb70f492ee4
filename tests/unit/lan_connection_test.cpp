#include "link/lan_connection.h"

#include <gtest/gtest.h>

#include <set>

#include "exports/results.h"
#include "link/command_frame.h"
#include "link/ipv4_text.h"
#include "link/network_basics.h"
#include "network_site.h"

namespace wpl {
namespace {

using link::BlockShape;
using link::LanConnection;
using link::LanExport;
using link::LanRow;
using link::RunLanCommand;
using sim::AckFault;
using sim::NetworkFaults;
using sim::TerminalConfig;
using sim::TerminalModel;
using testing::SocketCall;
using testing::VirtualEnv;
using Bytes = std::vector<uint8_t>;

constexpr const char* kIp = "127.0.8.7";
constexpr Ipv4Address kAddress{{127, 0, 8, 7}};

// A virtual environment with a network terminal listening at kAddress.
struct Site : testing::NetworkSite {
  explicit Site(AckFault fault = AckFault::kNone, NetworkFaults faults = {})
      : NetworkSite(kAddress, {.ackFault = fault}, std::move(faults)) {}
};

Bytes Frame(uint8_t command) {
  auto f = link::BuildCommandFrame(0xFA, command);
  return {f.begin(), f.end()};
}

Millis Elapsed(const VirtualEnv& v) {
  return std::chrono::duration_cast<Millis>(const_cast<VirtualEnv&>(v).clock.Now());
}

const testing::SocketEvent* Find(const VirtualEnv& v, SocketCall call) {
  for (const auto& e : v.sockets.events())
    if (e.call == call) return &e;
  return nullptr;
}

TEST(Ipv4Text, OnlyPlainUnicastDottedDecimal) {
  struct Case {
    const char* text;
    std::optional<Ipv4Address> address;
  };
  const Case cases[] = {
      {"127.0.0.1", Ipv4Address{{127, 0, 0, 1}}},
      {"192.168.1.201", Ipv4Address{{192, 168, 1, 201}}},
      {"0.0.0.1", Ipv4Address{{0, 0, 0, 1}}},
      {"10.0.255.254", Ipv4Address{{10, 0, 255, 254}}},
      {"255.255.255.254", Ipv4Address{{255, 255, 255, 254}}},
      {nullptr, std::nullopt},
      {"", std::nullopt},
      {"255.255.255.255", std::nullopt},  // what a failed converter dials
      {"0.0.0.0", std::nullopt},
      {"127.0.0", std::nullopt},
      {"127.1", std::nullopt},  // short forms some converters accept
      {"1.2.3.4.5", std::nullopt},
      {"256.1.1.1", std::nullopt},
      {"1.2.3.999", std::nullopt},
      {"1234.1.1.1", std::nullopt},
      // Padding is decimal: octal would be another terminal.
      {"1.2.3.04", Ipv4Address{{1, 2, 3, 4}}},
      {"192.168.001.010", Ipv4Address{{192, 168, 1, 10}}},
      {"010.008.000.009", Ipv4Address{{10, 8, 0, 9}}},
      {"000.000.000.000", std::nullopt},
      {"255.255.255.255", std::nullopt},
      {"1.2.3.0004", std::nullopt},
      {"0x7f.0.0.1", std::nullopt},
      {" 1.2.3.4", std::nullopt},
      {"1.2.3.4 ", std::nullopt},
      {"1.2.3.4\n", std::nullopt},
      {"1..2.3", std::nullopt},
      {"1.2.3.", std::nullopt},
      {".1.2.3", std::nullopt},
      {"+1.2.3.4", std::nullopt},
      {"-1.2.3.4", std::nullopt},
      {"terminal", std::nullopt},
      {"1.2.3.4:1024", std::nullopt},
  };
  for (const Case& k : cases)
    EXPECT_EQ(link::ParseIpv4(k.text), k.address) << (k.text ? k.text : "(null)");
}

TEST(LanDelete, OneFrameInOneSendAndNoReplyAwaited) {
  Site v;
  v.terminal.records() = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(wpl::exports::DoneOrFailed(link::LanClearRecords(v.env, kIp)), 0);
  ASSERT_EQ(v.sockets.Sends(), std::vector<Bytes>{Frame(0x0D)});
  const Bytes sent = v.sockets.SentBytes();
  EXPECT_EQ(std::string(sent.begin(), sent.begin() + 10), "KORVANEMZT");
  EXPECT_EQ(Bytes(sent.begin() + 10, sent.end()), (Bytes{0xFA, 0x05, 0x0D, 0xF2}));
  std::vector<SocketCall> calls;
  for (const auto& e : v.sockets.events()) calls.push_back(e.call);
  EXPECT_EQ(calls,
            (std::vector<SocketCall>{SocketCall::kStartup, SocketCall::kCreate,
                                     SocketCall::kConnect, SocketCall::kSend, SocketCall::kClose}));
  EXPECT_EQ(Elapsed(v), Millis{0});
  EXPECT_EQ(v.terminal.clears(), 1);
  EXPECT_TRUE(v.terminal.records().empty());
  // The next call starts sockets anew and reaches the same terminal.
  EXPECT_EQ(wpl::exports::DoneOrFailed(link::LanClearRecords(v.env, kIp)), 0);
  EXPECT_EQ(v.sockets.Count(SocketCall::kStartup), 2u);
  EXPECT_EQ(v.terminal.clears(), 2);
  EXPECT_EQ(v.sockets.openSockets(), 0);
}

TEST(LanDelete, SucceedsWhateverTheTerminalDoesWithTheFrame) {
  struct Case {
    const char* what;
    AckFault fault;
    NetworkFaults faults;
  };
  const Case cases[] = {
      {"silent", AckFault::kSilent, {}},
      {"nak", AckFault::kNak, {}},
      {"hangs up", AckFault::kNone, NetworkFaults{.closeAfterFrame = true}},
  };
  for (const Case& k : cases) {
    Site v{k.fault, k.faults};
    EXPECT_EQ(wpl::exports::DoneOrFailed(link::LanClearRecords(v.env, kIp)), 0) << k.what;
    EXPECT_EQ(v.sockets.Count(SocketCall::kReceive), 0u) << k.what;
  }
}

// Failures before or at the frame, with the pauses each path takes.
TEST(LanConversation, FailuresCloseEverythingWithTheirPauses) {
  enum Failure { kBadIp, kStartup, kCreate, kRefused, kUnanswered, kSend };
  struct Case {
    const char* row;
    Failure failure;
    Millis elapsed;
    size_t sockets;  // socket calls made
  };
  const Case cases[] = {
      {"_LANDELETE", kBadIp, Millis{0}, 0},
      {"_LANDELETE", kStartup, Millis{0}, 1},
      {"_LANDELETE", kCreate, Millis{0}, 2},
      {"_LANDELETE", kRefused, Millis{0}, 4},
      {"_LANDELETE", kSend, Millis{0}, 5},
      // Nothing answers the SYN: the connect gives up at its limit.
      {"_LANDELETE", kUnanswered, link::kLanConnectLimit, 4},
      // Opening pause; the closing pause only once a connect was tried.
      {"_LANSETSN", kBadIp, Millis{0}, 0},
      {"_LANSETSN", kStartup, Millis{1}, 1},
      {"_LANSETSN", kCreate, Millis{1}, 2},
      {"_LANSETSN", kRefused, Millis{1 + 25}, 4},
      {"_LANSETSN", kSend, Millis{1 + 1 + 25}, 5},
      // The name load takes its closing pause on every path.
      {"_LANSENDNAME", kStartup, Millis{1 + 25}, 1},
      {"_LANSENDNAME", kCreate, Millis{1 + 25}, 2},
      {"_LANDISABLEPERSON", kRefused, Millis{1 + 1}, 4},
      // The exchanges of their own: the voice load pauses from a failed
      // socket on, the downloads have their ending pauses.
      {"_LANSENDVOICE", kStartup, Millis{0}, 1},
      {"_LANSENDVOICE", kCreate, Millis{25}, 2},
      {"_LANDOWNLOAD", kCreate, Millis{0}, 2},
      {"_LANDOWNLOAD", kRefused, Millis{2000}, 4},
      {"_LANDOWNLOAD", kUnanswered, link::kLanConnectLimit + Millis{2000}, 4},
      {"_LANMANYDOWNLOAD", kStartup, Millis{1000}, 1},
  };
  for (const Case& k : cases) {
    Site v;
    v.sockets.FailStartup(k.failure == kStartup);
    v.sockets.FailCreate(k.failure == kCreate);
    v.sockets.FailSends(k.failure == kSend);
    // Nobody listens at .8; nothing answers at .9.
    v.sockets.Unanswered({{127, 0, 8, 9}});
    const char* ip = k.failure == kBadIp        ? "127.0.8.300"
                     : k.failure == kRefused    ? "127.0.8.8"
                     : k.failure == kUnanswered ? "127.0.8.9"
                                                : kIp;
    const std::string what = std::string(k.row) + " failure " + std::to_string(k.failure);
    if (LanRow(k.row).exchange == link::LanExchange::kOwn) {
      LanConnection lan(v.env, LanRow(k.row));
      if (lan.Open(ip) == link::LanOpen::kOk) lan.SendFrame(0x01);
      lan.Close(false);
    } else {
      EXPECT_EQ(
          wpl::exports::DoneOrFailed(RunLanCommand(v.env, ip, LanRow(k.row), Bytes{1, 2, 3, 4})), 1)
          << what;
    }
    EXPECT_EQ(Elapsed(v), k.elapsed) << what;
    EXPECT_EQ(v.sockets.events().size(), k.sockets) << what;
    EXPECT_EQ(v.sockets.openSockets(), 0) << what;
    EXPECT_TRUE(v.terminal.commands().empty()) << what;
  }
}

TEST(LanConversation, NoSocketsAtAllIsAFailedStartup) {
  VirtualEnv v;
  v.env.sockets = nullptr;
  EXPECT_EQ(wpl::exports::DoneOrFailed(link::LanClearRecords(v.env, kIp)), 1);
}

TEST(LanConversation, BlockShapesOnTheWire) {
  // Zero data bytes go out as such; 0x80 + 0x00 + 0x90 wraps to 0x10.
  const Bytes payload{0x80, 0x00, 0x90};
  struct Case {
    BlockShape shape;
    std::vector<Bytes> sends;  // after the frame
  };
  const Case cases[] = {
      {BlockShape::kWhole, {{0x15, 0x01, 0x03, 0xFC, 0x80, 0x00, 0x90, 0x10}}},
      {BlockShape::kSplit, {{0x15}, {0x01, 0x03, 0xFC}, {0x80}, {0x00}, {0x90}, {0x10}}},
      {BlockShape::kNakThenRest, {{0x15}, {0x01, 0x03, 0xFC, 0x80, 0x00, 0x90, 0x10}}},
      {BlockShape::kHeadThenBytes, {{0x15, 0x01, 0x03, 0xFC}, {0x80}, {0x00}, {0x90}, {0x10}}},
  };
  for (const Case& k : cases) {
    Site v;
    LanExport row = LanRow("_LANSETSN");
    row.block = k.shape;
    EXPECT_EQ(wpl::exports::DoneOrFailed(RunLanCommand(v.env, kIp, row, payload)), 0);
    std::vector<Bytes> expected{Frame(0x10)};
    expected.insert(expected.end(), k.sends.begin(), k.sends.end());
    EXPECT_EQ(v.sockets.Sends(), expected) << static_cast<int>(k.shape);
    ASSERT_EQ(v.terminal.blocks().size(), 1u);
    EXPECT_EQ(v.terminal.blocks()[0].payload, payload);
    EXPECT_TRUE(v.terminal.blocks()[0].checksumOk);
  }
}

TEST(LanConversation, ExportsSendTheirBlocksInTheirShapes) {
  struct Case {
    const char* row;
    Bytes payload;
    std::vector<Bytes> sends;  // after the frame
  };
  const Case cases[] = {
      {"_LANSETTIME", {1, 2, 3, 4, 5, 6, 7}, {{0x15, 0x01, 0x07, 0xF8, 1, 2, 3, 4, 5, 6, 7, 0x1C}}},
      {"_LANANSWER", {0x07}, {{0x15, 0x01, 0x01, 0xFE, 0x07, 0x07}}},
      {"_LANDISABLEPERSON", {0x01, 0x00}, {{0x15}, {0x01, 0x02, 0xFD, 0x01, 0x00, 0x01}}},
      {"_LANDELSN", {0xFF, 0xFF}, {{0x15}, {0x01, 0x02, 0xFD}, {0xFF}, {0xFF}, {0xFE}}},
      {"_LANDELALLVOICE", {0x00, 0x00}, {{0x15, 0x01, 0x02, 0xFD}, {0x00}, {0x00}, {0x00}}},
  };
  for (const Case& k : cases) {
    Site v;
    EXPECT_EQ(wpl::exports::DoneOrFailed(RunLanCommand(v.env, kIp, LanRow(k.row), k.payload)), 0)
        << k.row;
    std::vector<Bytes> expected{Frame(LanRow(k.row).command)};
    expected.insert(expected.end(), k.sends.begin(), k.sends.end());
    EXPECT_EQ(v.sockets.Sends(), expected) << k.row;
  }
}

// The pauses of the paced exports, read off the virtual clock.
TEST(LanConversation, PacingOfTheSplitExports) {
  struct Case {
    const char* row;
    int opening, a, b, beforeClose, afterClose;
  };
  const Case cases[] = {
      {"_LANENABLEPERSON", 1, 10, 1, 2, 25}, {"_LANDISABLEPERSON", 1, 10, 1, 2, 1},
      {"_LANSETSN", 1, 10, 1, 2, 25},        {"_LANDELSN", 1, 10, 2, 2, 25},
      {"_LANSETOPENMODE", 1, 10, 2, 2, 25},  {"_LANSETOPENTIME", 1, 10, 2, 2, 25},
      {"_LANSETOPENCLOSE", 1, 3, 2, 2, 25},  {"_LANSENDNAME", 1, 5, 1, 2, 25},
      {"_LANCHANGENAMEID", 0, 0, 0, 0, 0},   {"_LANDELVOICE", 0, 0, 0, 0, 0},
  };
  for (const Case& k : cases) {
    Site v;
    ASSERT_EQ(
        wpl::exports::DoneOrFailed(RunLanCommand(v.env, kIp, LanRow(k.row), Bytes{0x12, 0x34})), 0)
        << k.row;
    std::vector<Millis> sendTimes;
    for (const auto& e : v.sockets.events())
      if (e.call == SocketCall::kSend) sendTimes.push_back(duration_cast<Millis>(e.at));
    ASSERT_GE(sendTimes.size(), 3u) << k.row;
    EXPECT_EQ(duration_cast<Millis>(Find(v, SocketCall::kConnect)->at), Millis{k.opening}) << k.row;
    EXPECT_EQ(sendTimes[0], Millis{k.opening}) << k.row;
    EXPECT_EQ(sendTimes[1] - sendTimes[0], Millis{k.a}) << k.row;
    EXPECT_EQ(sendTimes[2] - sendTimes[1], Millis{k.b}) << k.row;
    EXPECT_EQ(sendTimes.back() - sendTimes[2], Millis{0}) << k.row;
    const Millis closed = duration_cast<Millis>(Find(v, SocketCall::kClose)->at);
    EXPECT_EQ(closed - sendTimes.back(), Millis{k.beforeClose}) << k.row;
    EXPECT_EQ(Elapsed(v) - closed, Millis{k.afterClose}) << k.row;
  }
}

TEST(LanConversation, AllUsersCommandsHoldPastTheirWaitAfterTheAck) {
  struct Case {
    const char* row;
    AckFault fault;
    int result;
    Millis elapsed;
  };
  const Case cases[] = {
      {"_LANENABLEALL", AckFault::kNone, 0, Millis{2001}},
      {"_LANDISABLEALL", AckFault::kNone, 0, Millis{3001}},
      {"_LANENABLEALL", AckFault::kNak, 1, Millis{0}},
      {"_LANRESTOREALL", AckFault::kNone, 0, Millis{0}},
      {"_LANDELETEALLNAME", AckFault::kNone, 0, Millis{0}},
  };
  for (const Case& k : cases) {
    Site v{k.fault};
    EXPECT_EQ(wpl::exports::DoneOrFailed(RunLanCommand(v.env, kIp, LanRow(k.row))), k.result)
        << k.row;
    EXPECT_EQ(Elapsed(v), k.elapsed) << k.row;
    EXPECT_EQ(v.sockets.Sends().size(), 1u) << k.row;
  }
}

TEST(LanConversation, OnlyTheFirstByteOfAReplyCounts) {
  struct Case {
    Bytes reply;
    int result;
  };
  for (const Case& k : {Case{{0x06, 0x15, 0x15, 0x00}, 0}, Case{{0x15, 0x06}, 1},
                        Case{{0x00, 0x06}, 1}, Case{{0x06}, 0}}) {
    // A terminal that says nothing of its own: its reply is what stands
    // ready on the connection, all in one segment.
    Site v{AckFault::kSilent, {.greeting = k.reply}};
    EXPECT_EQ(wpl::exports::DoneOrFailed(RunLanCommand(v.env, kIp, LanRow("_LANRESTOREALL"))),
              k.result);
    EXPECT_EQ(v.sockets.Count(SocketCall::kReceive), 1u);
  }
}

// What happened, as the conversation reports it: no connection at all, a
// terminal that did not acknowledge, or one that did.
TEST(LanConversation, OutcomeSaysWhatHappened) {
  using link::LanOutcome;
  struct Case {
    const char* what;
    const char* ip;
    AckFault fault;
    const char* row;
    LanOutcome outcome;
  };
  const Case cases[] = {
      {"acknowledged", kIp, AckFault::kNone, "_LANSETSN", LanOutcome::kDone},
      {"frame alone", kIp, AckFault::kNone, "_LANDELETE", LanOutcome::kDone},
      {"NAK to the frame", kIp, AckFault::kNak, "_LANSETSN", LanOutcome::kRefused},
      {"silent terminal", kIp, AckFault::kSilent, "_LANRESTOREALL", LanOutcome::kRefused},
      {"no one at the address", "127.0.8.8", AckFault::kNone, "_LANSETSN",
       LanOutcome::kNoConnection},
      {"no address", "127.0.8", AckFault::kNone, "_LANSETSN", LanOutcome::kNoConnection},
      {"no text", nullptr, AckFault::kNone, "_LANRESTOREALL", LanOutcome::kNoConnection},
  };
  for (const Case& k : cases) {
    Site v{k.fault};
    EXPECT_EQ(RunLanCommand(v.env, k.ip, LanRow(k.row), Bytes{0x12, 0x34}).outcome, k.outcome)
        << k.what;
  }
}

TEST(LanConversation, RefusalsEndTheExchange) {
  struct Case {
    const char* what;
    const char* row;
    AckFault fault;
    NetworkFaults faults;
    Millis elapsed;  // from the frame to the end of the failed receive
    size_t sends;
  };
  const Case cases[] = {
      {"nak to the frame", "_LANSETSN", AckFault::kNak, {}, Millis{0}, 1},
      {"silence", "_LANRESTOREALL", AckFault::kSilent, {}, link::kLanSilenceLimit, 1},
      {"silence, long twin", "_LANENABLEPERSON", AckFault::kSilent, {}, Millis{180'000}, 1},
      {"silence, all users", "_LANDISABLEALL", AckFault::kSilent, {}, Millis{40'000}, 1},
      {"closed after the frame",
       "_LANSETSN",
       AckFault::kNone,
       {.closeAfterFrame = true},
       Millis{0},
       1},
      {"closed at once", "_LANRESTOREALL", AckFault::kNone, {.closeAfterSent = 0}, Millis{0}, 1},
      // The frame's ACK is the last byte the terminal sends: the block
      // gets no reply.
      {"closed after the ACK", "_LANSETTIME", AckFault::kNone, {.closeAfterSent = 1}, Millis{0}, 2},
  };
  for (const Case& k : cases) {
    Site v{k.fault, k.faults};
    const LanExport& row = LanRow(k.row);
    EXPECT_EQ(
        wpl::exports::DoneOrFailed(RunLanCommand(v.env, kIp, row, Bytes{9, 9, 9, 9, 9, 9, 9})), 1)
        << k.what;
    EXPECT_EQ(v.sockets.Sends().size(), k.sends) << k.what;
    const Millis frameAt = duration_cast<Millis>(Find(v, SocketCall::kSend)->at);
    const Millis closedAt = duration_cast<Millis>(Find(v, SocketCall::kClose)->at);
    EXPECT_EQ(closedAt - frameAt, k.elapsed + row.pacing.afterFreeing) << k.what;
    EXPECT_EQ(v.sockets.openSockets(), 0) << k.what;
  }
}

TEST(LanConversation, DamagedBlockIsRefusedByTheTerminal) {
  Site v;
  LanConnection lan(v.env, LanRow("_LANANSWER"));
  ASSERT_EQ(lan.Open(kIp), link::LanOpen::kOk);
  ASSERT_TRUE(lan.SendFrame(0x03));
  ASSERT_TRUE(lan.AwaitAck());
  EXPECT_EQ(lan.SendBytes(Bytes{0x15, 0x01, 0x01, 0xFE, 0x07, 0x08}), 6);
  EXPECT_FALSE(lan.AwaitAck());
  EXPECT_EQ(lan.received()[0], 0x15);
  lan.Close(false);
}

// A payload the length byte cannot carry is refused before any traffic, as
// on the serial side: no socket, no frame, no ACK waited for.
TEST(LanConversation, BlockTooLongIsRefusedBeforeConnecting) {
  for (const char* row : {"_LANANSWER", "_LANSETSN", "_LANSENDNAME"}) {
    Site v;
    const Bytes payload(256, 0x41);
    EXPECT_THROW(link::RunLanCommand(v.env, kIp, LanRow(row), payload), std::length_error) << row;
    EXPECT_EQ(v.sockets.Count(SocketCall::kCreate), 0u) << row;
    EXPECT_EQ(v.sockets.Count(SocketCall::kConnect), 0u) << row;
    EXPECT_TRUE(v.sockets.SentBytes().empty()) << row;
  }
}

TEST(LanConnection, ReceivesNeverRunPastTheBuffer) {
  // 2000 bytes stand ready on the connection before the host says anything.
  Site v{AckFault::kNone, {.greeting = Bytes(2000, 0x5A)}};
  LanConnection lan(v.env, LanRow("_LANRESTOREALL"));
  ASSERT_EQ(lan.Open(kIp), link::LanOpen::kOk);
  EXPECT_EQ(lan.ReceiveUntil(1), link::LanReceive::kDone);
  EXPECT_EQ(lan.received().size(), 2000u);
  // The frame's ACK arrives; then silence while 47 bytes are still missing.
  ASSERT_TRUE(lan.SendFrame(0x0F));
  EXPECT_EQ(lan.ReceiveUntil(link::kLanBufferSize), link::LanReceive::kTimedOut);
  EXPECT_EQ(lan.received().size(), 2001u);
  EXPECT_EQ(lan.received().back(), 0x06);
  std::vector<size_t> asked;
  for (const auto& e : v.sockets.events())
    if (e.call == SocketCall::kReceive) asked.push_back(e.asked);
  EXPECT_EQ(asked, (std::vector<size_t>{2048, 48, 47}));
  // More than the buffer holds is refused without a receive.
  EXPECT_EQ(lan.ReceiveUntil(link::kLanBufferSize + 1), link::LanReceive::kError);
  EXPECT_EQ(v.sockets.Count(SocketCall::kReceive), 3u);
  EXPECT_EQ(lan.SendBytes(Bytes(link::kLanBufferSize + 1)), -1);
  EXPECT_EQ(v.sockets.Sends().size(), 1u);
  lan.Close(false);
}

TEST(LanConnection, FloodFillsTheBufferAndNoMore) {
  Site v{AckFault::kNone, {.greeting = Bytes(5000, 0x06)}};
  LanConnection lan(v.env, LanRow("_LANDOWNLOAD"));
  ASSERT_EQ(lan.Open(kIp), link::LanOpen::kOk);
  EXPECT_EQ(lan.ReceiveUntil(300), link::LanReceive::kDone);
  EXPECT_EQ(lan.received().size(), link::kLanBufferSize);
  // A new reply starts at the beginning again.
  lan.StartReply();
  EXPECT_EQ(lan.ReceiveUntil(8), link::LanReceive::kDone);
  EXPECT_EQ(lan.received().size(), link::kLanBufferSize);
  lan.Close(true);
  // The download's pause after closing.
  EXPECT_EQ(Elapsed(v), Millis{2000});
}

TEST(LanConnection, ClosedAndSilentConnectionsAreTold) {
  Site v{AckFault::kSilent, {.closeAfterSent = 3, .greeting = {1, 2, 3}}};
  LanConnection lan(v.env, LanRow("_LANREALDOWNLOAD"));
  ASSERT_EQ(lan.Open(kIp), link::LanOpen::kOk);
  EXPECT_EQ(lan.ReceiveUntil(3), link::LanReceive::kDone);
  EXPECT_EQ(lan.ReceiveUntil(4), link::LanReceive::kClosed);
  lan.Close(false);

  Site quiet{AckFault::kSilent};
  LanConnection silent(quiet.env, LanRow("_LANREALDOWNLOAD"));
  ASSERT_EQ(silent.Open(kIp), link::LanOpen::kOk);
  ASSERT_TRUE(silent.SendFrame(0x17));
  const Nanos before = quiet.clock.Now();
  EXPECT_EQ(silent.ReceiveUntil(1), link::LanReceive::kTimedOut);
  EXPECT_EQ(quiet.clock.Now() - before, link::kLanSilenceLimit);
  silent.Close(false);
}

TEST(LanConnection, AddressedFrameCarriesTheHostsByte) {
  for (uint8_t address : {0x00, 0xFF, 0x41}) {
    Site v;
    LanConnection lan(v.env, LanRow("_LANDOWNLOADADDR"));
    ASSERT_EQ(lan.Open(kIp), link::LanOpen::kOk);
    EXPECT_TRUE(lan.SendFrame(0x01, address));
    lan.Close(false);
    const auto frame = link::BuildCommandFrame(address, 0x01);
    EXPECT_EQ(v.sockets.Sends(), std::vector<Bytes>{Bytes(frame.begin(), frame.end())});
  }
}

TEST(LanConnection, ProgressTexts) {
  using link::LanOpen;
  EXPECT_EQ(link::LanOpenText(LanOpen::kOk, "10.1.2.3"), "connect 10.1.2.3 success");
  EXPECT_EQ(link::LanOpenText(LanOpen::kStartupFailed, kIp), "Winsock error");
  EXPECT_EQ(link::LanOpenText(LanOpen::kSocketFailed, kIp), "Error:creat socket fail!");
  EXPECT_EQ(link::LanOpenText(LanOpen::kConnectFailed, kIp), "connect fail");
  EXPECT_EQ(link::LanOpenText(LanOpen::kBadAddress, "x"), "connect fail");
}

TEST(LanExports, OneRowPerExport) {
  std::set<std::string_view> names;
  for (const auto& row : link::kLanExports) {
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_TRUE(row.name.starts_with("_LAN")) << row.name;
    EXPECT_GT(row.silenceLimit, Millis{0}) << row.name;
  }
  // Three command bytes serve two exports each.
  EXPECT_EQ(LanRow("_LANSETOPENCLOSE").command, LanRow("_LANCHANGENAMEID").command);
  EXPECT_EQ(LanRow("_LANSETOPENTIME").command, LanRow("_LANSENDVOICE").command);
  EXPECT_EQ(LanRow("_LANDELVOICE").command, LanRow("_LANDELALLVOICE").command);
}

}  // namespace
}  // namespace wpl
