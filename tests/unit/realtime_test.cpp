// The real-time fetch over both transports: the text of a record, the twenty
// zeros for nothing or any failure, the 0.2 s limits of the serial line, the
// network's pauses and its refusal of a bad checksum; and the terminal's
// queue, which lets a record go only when the host acknowledges it.
#include "download/realtime.h"

#include <gtest/gtest.h>

#include "link/lan_exports.h"
#include "rigs.h"
#include "wire_render.h"

namespace wpl {
namespace {

using download::RealtimeOutcome;
using sim::AckFault;
using sim::ReplyFault;
using sim::TerminalConfig;
using testing::VirtualEnv;
using Bytes = std::vector<uint8_t>;

constexpr int kPort = 3;
constexpr const char* kIp = "127.0.14.1";
constexpr Ipv4Address kAddress{{127, 0, 14, 1}};
constexpr sim::Record kExample{0x01, 0x02, 0x95, 0x4F, 0x28, 0x5E};
constexpr const char* kExampleText = "00025820090515083035";
constexpr std::string_view kZeros = download::kNoRecordText;

TEST(RealtimeText, AnyBytesKeepTheirWidths) {
  struct Case {
    sim::Record record;
    const char* text;
  };
  const Case cases[] = {
      {kExample, kExampleText},
      // Both flags: 60 and 30 added independently.
      {{0x01, 0x02, 0x95, 0xCF, 0x28, 0x5E}, "00025820090515083095"},
      // No validity test: month 0, day 0 print as they decode.
      {{0x00, 0x07, 0x50, 0x00, 0x00, 0x00}, "00000720050000000000"},
      // The largest of every field: the tag reaches 121 and takes 3 digits.
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "065535201515633163121"},
      {{0xFF, 0xFF, 0xFF, 0x3F, 0x1F, 0x3F}, "06553520151563316300"},
  };
  for (const Case& k : cases) EXPECT_EQ(download::RealtimeText(k.record), k.text);
  // The buffer of the exports holds the longest text and its terminator.
  char buffer[download::kRealtimeTextMax + 1];
  download::RealtimeFetch longest{RealtimeOutcome::kRecord, cases[3].text};
  EXPECT_STREQ(download::CopyRealtimeText(longest, buffer), cases[3].text);
  EXPECT_STREQ(download::CopyRealtimeText({}, buffer), kZeros.data());
}

TEST(RealtimeReply, MarkerAndChecksum) {
  const Bytes good{0x01, 0x01, 0, 0, 0, 0x01, 0x02, 0x95, 0x4F, 0x28, 0x5E, 0x6D};
  EXPECT_TRUE(download::RealtimeRecord(good));
  Bytes bad = good;
  bad[11] ^= 1;
  EXPECT_FALSE(download::RealtimeRecord(bad));
  EXPECT_FALSE(download::RealtimeRecord(std::span(good).first(11)));
  EXPECT_TRUE(download::NoRecordWaiting(Bytes{0xFF, 0xFF}));
  EXPECT_FALSE(download::NoRecordWaiting(Bytes{0xFF, 0xFE}));
  EXPECT_FALSE(download::NoRecordWaiting(Bytes{0xFF}));
}

// A terminal on kPort at 57600 and one on the network, each with its queue.
struct Rig : testing::DualRig {
  explicit Rig(const TerminalConfig& config = {}, std::vector<sim::Record> queued = {kExample})
      : DualRig(config, kPort, kAddress) {
    for (const auto& r : queued) {
      terminal.cards().realtime.Push(r);
      lan.terminal.cards().realtime.Push(r);
    }
  }
  download::RealtimeFetch Fetch(bool network) {
    return network ? download::LanRealtimeFetch(lan.env, kIp)
                   : download::SerialRealtimeFetch(v.env, 1, kPort);
  }
};

TEST(RealtimeFetch, RecordNothingAndFaults) {
  struct Case {
    const char* what;
    bool network;
    TerminalConfig config;
    bool queued;
    std::string after;  // the host's bytes after the frame
    RealtimeOutcome outcome;
  };
  const Case cases[] = {
      {"record", false, {}, true, "15 | 06", RealtimeOutcome::kRecord},
      {"record", true, {}, true, "+20 | 15 | +10 | 06", RealtimeOutcome::kRecord},
      {"nothing", false, {}, false, "15", RealtimeOutcome::kNoRecord},
      {"nothing", true, {}, false, "+20 | 15", RealtimeOutcome::kNoRecord},
      // A bad checksum: nothing more on the line, 0x15 on the network.
      {"checksum",
       false,
       {.replyFaults = {.realtime = ReplyFault::kBadChecksum}},
       true,
       "15",
       RealtimeOutcome::kFailed},
      {"checksum",
       true,
       {.replyFaults = {.realtime = ReplyFault::kBadChecksum}},
       true,
       "+20 | 15 | +10 | 15",
       RealtimeOutcome::kFailed},
      {"silent",
       false,
       {.replyFaults = {.realtime = ReplyFault::kSilent}},
       true,
       "15",
       RealtimeOutcome::kFailed},
      {"refused", false, {.ackFault = AckFault::kNak}, true, "", RealtimeOutcome::kFailed},
      {"refused", true, {.ackFault = AckFault::kNak}, true, "", RealtimeOutcome::kFailed},
  };
  for (const Case& k : cases) {
    Rig rig(k.config, k.queued ? std::vector{kExample} : std::vector<sim::Record>{});
    const auto fetch = rig.Fetch(k.network);
    const std::string what = std::string(k.what) + (k.network ? " network" : " serial");
    EXPECT_EQ(fetch.outcome, k.outcome) << what;
    EXPECT_EQ(fetch.text, k.outcome == RealtimeOutcome::kRecord ? kExampleText : kZeros) << what;
    EXPECT_EQ(rig.AfterFrame(k.network), k.after) << what;
    // Only an acknowledged record leaves the terminal.
    EXPECT_EQ(rig.Terminal(k.network).cards().realtime.size(),
              k.queued && k.outcome != RealtimeOutcome::kRecord ? 1u : 0u)
        << what;
    EXPECT_EQ(rig.Terminal(k.network).commands(), Bytes{0x17}) << what;
  }
}

TEST(RealtimeFetch, SerialLimitsOfAFifthOfASecond) {
  struct Case {
    const char* what;
    TerminalConfig config;
    RealtimeOutcome outcome;
  };
  const auto lateAck = [](int ms) {
    return TerminalConfig{.ackFault = AckFault::kLate, .ackDelay = Millis{ms}};
  };
  const auto split = [](int ms) {
    return TerminalConfig{.replyFaults = {.realtime = ReplyFault::kSplit, .splitGap = Millis{ms}}};
  };
  const Case cases[] = {
      {"ack 190", lateAck(190), RealtimeOutcome::kRecord},
      {"ack 210", lateAck(210), RealtimeOutcome::kFailed},
      {"ack 300", lateAck(300), RealtimeOutcome::kFailed},
      {"gap 190", split(190), RealtimeOutcome::kRecord},
      {"gap 210", split(210), RealtimeOutcome::kFailed},
  };
  for (const Case& k : cases) {
    Rig rig(k.config);
    EXPECT_EQ(rig.Fetch(false).outcome, k.outcome) << k.what;
    // One frame at 57600 only: no second speed, no second port.
    EXPECT_EQ(rig.v.serial.opens().size(), 1u) << k.what;
    EXPECT_EQ(rig.v.serial.opens()[0].line.baud, 57600u) << k.what;
  }
  // Over the network a split reply is simply waited for.
  Rig lan(split(3000));
  EXPECT_EQ(lan.Fetch(true).outcome, RealtimeOutcome::kRecord);
}

TEST(RealtimeFetch, SerialPortsAndTheClosingPause) {
  // The given port absent: the next one is asked; the 10 ms come after the
  // port is closed.
  Rig rig;
  rig.v.serial.SetAbsent(kPort - 1);
  VirtualEnv& v = rig.v;
  EXPECT_EQ(download::SerialRealtimeFetch(v.env, 1, kPort - 1).text, kExampleText);
  EXPECT_EQ(v.serial.opens().back().port, kPort);
  EXPECT_EQ(v.clock.Now() - v.serial.closes().back().at, Millis{10});
  // No port opens at all: six tries, then the twenty zeros at once.
  VirtualEnv none;
  for (int p = 1; p <= 6; ++p) none.serial.SetAbsent(p);
  EXPECT_EQ(download::SerialRealtimeFetch(none.env, 1, 4).text, kZeros);
  EXPECT_EQ(none.serial.openAttempts(), 6);
  EXPECT_EQ(none.clock.Now(), Millis{10});
}

TEST(RealtimeFetch, NetworkEndings) {
  struct Case {
    const char* what;
    sim::NetworkFaults faults;
    Millis atMost;
  };
  // A terminal that hangs up gives the twenty zeros at once; one that never
  // answers, after the row's silence limit.
  const Case cases[] = {
      {"closed after frame", {.closeAfterFrame = true}, Millis{100}},
      {"closed after ack", {.closeAfterSent = 1}, Millis{100}},
      {"closed after 7 bytes", {.closeAfterSent = 8}, Millis{100}},
  };
  for (const Case& k : cases) {
    testing::NetworkSite site(kAddress, {}, k.faults);
    site.terminal.cards().realtime.Push(kExample);
    EXPECT_EQ(download::LanRealtimeFetch(site.env, kIp).text, kZeros) << k.what;
    EXPECT_LT(site.clock.Now(), k.atMost) << k.what;
    EXPECT_EQ(site.sockets.openSockets(), 0) << k.what;
  }
  testing::NetworkSite silent(kAddress, {.ackFault = AckFault::kSilent});
  EXPECT_EQ(download::LanRealtimeFetch(silent.env, kIp).text, kZeros);
  EXPECT_GT(silent.clock.Now(), wpl::link::kLanSilenceLimit);
  EXPECT_EQ(download::LanRealtimeFetch(silent.env, nullptr).text, kZeros);
  // The pauses of the closing: after success 1 ms, after freeing 1 ms, after
  // closing 25 ms.
  Rig rig;
  ASSERT_EQ(rig.Fetch(true).outcome, RealtimeOutcome::kRecord);
  const auto& events = rig.lan.sockets.events();
  const auto close = std::find_if(events.begin(), events.end(), [](const auto& e) {
    return e.call == testing::SocketCall::kClose;
  });
  ASSERT_NE(close, events.end());
  EXPECT_EQ(close->at - testing::HostPieces(rig.lan, true).back().at, Millis{2});
  EXPECT_EQ(rig.lan.clock.Now() - close->at, Millis{25});
}

TEST(RealtimeQueue, InOrderAndKeptUntilAcknowledged) {
  std::vector<sim::Record> records;
  for (uint8_t i = 0; i < 6; ++i) records.push_back({0, i, 0x95, 0x4F, 0x28, 0x5E});
  for (bool network : {false, true}) {
    // The terminal misses every third acknowledgement: that record comes again.
    Rig rig({.replyFaults = {.dropAckEvery = 3}}, records);
    std::vector<std::string> texts;
    for (int i = 0; i < 10; ++i) {
      const auto f = rig.Fetch(network);
      if (f.outcome == RealtimeOutcome::kNoRecord) break;
      texts.push_back(f.text.substr(0, 6));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"000000", "000001", "000002", "000002", "000003",
                                               "000004", "000004", "000005"}))
        << network;
    EXPECT_EQ(rig.Terminal(network).cards().realtime.acknowledged(), 6u);
  }
}

}  // namespace
}  // namespace wpl
