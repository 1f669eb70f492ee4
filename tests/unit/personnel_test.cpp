// Names, voice prompts and the card-only list from the protocol's byte
// examples, their waits, the terminal's tables, the counted texts and the
// day's name file.
#include "personnel/personnel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "exports/results.h"
#include "faulty_files.h"
#include "file_contents.h"
#include "link/lan_connection.h"
#include "personnel/counted_text.h"
#include "personnel/name_file.h"
#include "rigs.h"
#include "wire_render.h"

namespace wpl {
namespace {

using namespace personnel;
using sim::AckFault;
using sim::Answer;
using sim::CommandFaults;
using sim::TerminalConfig;
using testing::VirtualEnv;
using Bytes = std::vector<uint8_t>;

constexpr const char* kIp = "127.0.13.1";
constexpr Ipv4Address kAddress{{127, 0, 13, 1}};
constexpr int kPort = 3;

Bytes Of(std::string_view s) { return {s.begin(), s.end()}; }

// "00 | 00 | ..." n times: runs of single-byte writes in the examples.
std::string Each(const char* hex, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += std::string(i ? " | " : "") + hex;
  return out;
}

using Values = std::array<int32_t, kVoiceValues>;
constexpr Values kOneAndZeros{1};

// A serial terminal 1 on kPort and a network one at kAddress that greets.
struct Rig : testing::DualRig {
  explicit Rig(const TerminalConfig& config = {}, sim::NetworkFaults faults = {})
      : DualRig(config, kPort, kAddress, std::move(faults)) {}
};

const sim::NetworkFaults kGreets{.greeting = {0x00, 0x00, 0x01, 0x02, 9, 9, 9, 9}};

// One operation against the rig's terminal of its kind; 0 done.
struct Operation {
  const char* what;
  bool network;
  std::function<int32_t(Rig&)> run;
};

int32_t Serial(const link::SerialResult& r) { return wpl::exports::DoneOrFailed(r); }

const Operation kSendAbc{"_SENDNAME ABC", false, [](Rig& r) {
                           return Serial(SendName(r.v.env, 1, kPort, 0x0102, Of("ABC")));
                         }};

TEST(Personnel, BytesAfterTheFrame) {
  struct Case {
    Operation op;
    uint8_t command;
    std::string after;
  };
  const std::string zeros15 = Each("00", 15);
  const Case cases[] = {
      {kSendAbc, 0x0E, "15 | 01 | 05 | FA | 01 | 02 | 41 | 42 | 43 | C9"},
      {{"_SENDNAME empty", false,
        [](Rig& r) { return Serial(SendName(r.v.env, 1, kPort, 0x0102, {})); }},
       0x0E,
       "15 | 01 | 02 | FD | 01 | 02 | 03"},
      {{"_SENDNAME 65535", false,
        [](Rig& r) { return Serial(SendName(r.v.env, 1, kPort, 0x1FFFF, Of("Z"))); }},
       0x0E,
       "15 | 01 | 03 | FC | FF | FF | 5A | 58"},
      {{"_LANSENDNAME ABC", true,
        [](Rig& r) {
          return wpl::exports::DoneOrFailed(LanSendName(r.lan.env, kIp, 0x0102, Of("ABC")));
        }},
       0x0E,
       "+5 | 15 | +1 | 01 05 FA | 01 | 02 | 41 | 42 | 43 | C9"},
      {{"_CHANGENAMEID", false,
        [](Rig& r) { return Serial(ChangeNameId(r.v.env, 1, kPort, 0x0102, 0x0304)); }},
       0x06,
       "15 | 01 | 04 | FB | 01 | 02 | 03 | 04 | 0A"},
      {{"_LANCHANGENAMEID", true,
        [](Rig& r) {
          return wpl::exports::DoneOrFailed(LanChangeNameId(r.lan.env, kIp, 0x0102, 0x0304));
        }},
       0x06,
       "15 01 04 FB | 01 | 02 | 03 | 04 | 0A"},
      {{"_DELETEALLNAME", false, [](Rig& r) { return Serial(DeleteAllNames(r.v.env, 1, kPort)); }},
       0x05,
       ""},
      {{"_LANDELETEALLNAME", true,
        [](Rig& r) { return wpl::exports::DoneOrFailed(LanDeleteAllNames(r.lan.env, kIp)); }},
       0x05,
       ""},
      // The text goes out a millisecond apart, after 5 ms before the 0x15
      // and 10 ms after it.
      {{"_SENDVOICE AB", false,
        [](Rig& r) { return Serial(SendVoice(r.v.env, 1, kPort, kOneAndZeros, Of("AB"))); }},
       0x14,
       "+5 | 15 | +10 | 01 | 13 | EC | 01 | " + zeros15 + " | 02 | 41 | +1 | 42 | +1 | 86"},
      {{"_SENDVOICE empty", false,
        [](Rig& r) { return Serial(SendVoice(r.v.env, 1, kPort, Values{}, {})); }},
       0x14,
       "+5 | 15 | +10 | 01 | 11 | EE | " + Each("00", 17) + " | 00"},
      {{"_LANSENDVOICE AB", true,
        [](Rig& r) {
          return LanSendVoice(r.lan.env, kIp, kOneAndZeros, Of("AB")) == 258u ? 0 : 1;
        }},
       0x14,
       "15 01 13 EC | 01 | " + zeros15 + " | 02 | 41 | 42 | 86"},
      {{"_DELVOICE 300", false, [](Rig& r) { return Serial(DeleteVoice(r.v.env, 1, kPort, 300)); }},
       0x15,
       "15 | 01 | 02 | FD | 01 | 2C | 2D"},
      {{"_DELALLVOICE", false, [](Rig& r) { return Serial(DeleteAllVoices(r.v.env, 1, kPort)); }},
       0x15,
       "15 | 01 | 02 | FD | 00 | 00 | 00"},
      {{"_LANDELVOICE 300", true,
        [](Rig& r) { return wpl::exports::DoneOrFailed(LanDeleteVoice(r.lan.env, kIp, 300)); }},
       0x15,
       "15 01 02 FD | 01 | 2C | 2D"},
      {{"_LANDELALLVOICE", true,
        [](Rig& r) { return wpl::exports::DoneOrFailed(LanDeleteAllVoices(r.lan.env, kIp)); }},
       0x15,
       "15 01 02 FD | 00 | 00 | 00"},
      {{"_SENDONLYCARD 258", false,
        [](Rig& r) { return Serial(CardOnly(r.v.env, 1, kPort, CardOnlyOp::kAdd, 258)); }},
       0x03,
       "15 | +10 | 01 | 03 | FC | 00 | 01 | 02 | 03"},
      {{"_SENDONLYCARD 65536", false,
        [](Rig& r) { return Serial(CardOnly(r.v.env, 1, kPort, CardOnlyOp::kAdd, 65536)); }},
       0x03,
       "15 | +10 | 01 | 03 | FC | 00 | 00 | 00 | 00"},
      {{"_DELONLYCARD 258", false,
        [](Rig& r) { return Serial(CardOnly(r.v.env, 1, kPort, CardOnlyOp::kRemove, 258)); }},
       0x03,
       "15 | +10 | 01 | 03 | FC | 01 | 01 | 02 | 04"},
      {{"_DELALLONLYCARD", false,
        [](Rig& r) { return Serial(CardOnly(r.v.env, 1, kPort, CardOnlyOp::kClear, 99)); }},
       0x03,
       "15 | +10 | 01 | 01 | FE | 02 | 02"},
  };
  for (const Case& k : cases) {
    // Only a terminal that takes voice entries over the network greets.
    const bool greets = k.op.network && k.command == 0x14;
    Rig rig({}, greets ? kGreets : sim::NetworkFaults{});
    EXPECT_EQ(k.op.run(rig), 0) << k.op.what;
    EXPECT_EQ(rig.AfterFrame(k.op.network), k.after) << k.op.what;
    EXPECT_EQ(rig.Terminal(k.op.network).commands(), Bytes{k.command}) << k.op.what;
  }
}

// The voice entry waits a millisecond after its checksum, then for the ACK.
TEST(Personnel, SendVoiceClosesAMillisecondAfterTheChecksum) {
  Rig rig;
  ASSERT_EQ(Serial(SendVoice(rig.v.env, 1, kPort, kOneAndZeros, Of("AB"))), 0);
  Nanos checksumAt{0};
  for (const auto& c : rig.v.serial.wire())
    if (c.fromHost) checksumAt = c.at;
  EXPECT_EQ(rig.v.serial.closes().back().at - checksumAt, Millis{1});
}

TEST(Personnel, VoicePayloads) {
  // Values 2, 3 and 5 are 16-bit, high byte first; the others low bytes.
  const Values values{0x1FF, 0x1234, 0x5678, 4, 0x9ABC, 6, 7, 8, 9, 10, 11, 12, 0x10D};
  EXPECT_EQ(VoicePayload(values, Of("AB")), (Bytes{0xFF, 0x12, 0x34, 0x56, 0x78, 4, 0x9A, 0xBC, 6,
                                                   7, 8, 9, 10, 11, 12, 0x0D, 2, 'A', 'B'}));
  // After a zero the text area was never written: 0xFF up to L.
  const Bytes zeroThird = VoicePayload(Values{}, Bytes{'A', 'B', 0, 'C', 'D'});
  EXPECT_EQ(Bytes(zeroThird.begin() + 16, zeroThird.end()), (Bytes{5, 'A', 'B', 0, 0xFF, 0xFF}));
  EXPECT_EQ(VoicePayload(Values{}, Bytes(99, 'x')).size(), 17u + 99);
}

// Waits are strict: an answer just inside the limit succeeds, just past fails;
// the block is never sent again.
TEST(Personnel, WaitLimits) {
  enum Where { kFrame, kBlock, kSecond };
  struct Case {
    Operation op;
    uint8_t command;
    Where where;
    int lateMs;
    int32_t result;
  };
  const Operation sendVoice{"_SENDVOICE", false, [](Rig& r) {
                              return Serial(SendVoice(r.v.env, 1, kPort, kOneAndZeros, Of("AB")));
                            }};
  const Operation deleteAll{"_DELETEALLNAME", false,
                            [](Rig& r) { return Serial(DeleteAllNames(r.v.env, 1, kPort)); }};
  const Operation delVoice{"_DELVOICE", false,
                           [](Rig& r) { return Serial(DeleteVoice(r.v.env, 1, kPort, 7)); }};
  const Operation onlyCard{"_SENDONLYCARD", false, [](Rig& r) {
                             return Serial(CardOnly(r.v.env, 1, kPort, CardOnlyOp::kAdd, 7));
                           }};
  const Case cases[] = {
      {kSendAbc, 0x0E, kFrame, 990, 0},    {kSendAbc, 0x0E, kFrame, 1010, 1},
      {kSendAbc, 0x0E, kBlock, 9990, 0},   {kSendAbc, 0x0E, kBlock, 10'010, 1},
      {deleteAll, 0x05, kSecond, 9990, 0}, {deleteAll, 0x05, kSecond, 10'010, 1},
      {sendVoice, 0x14, kFrame, 1990, 0},  {sendVoice, 0x14, kFrame, 2010, 1},
      {sendVoice, 0x14, kBlock, 2990, 0},  {sendVoice, 0x14, kBlock, 3010, 1},
      {delVoice, 0x15, kBlock, 9990, 0},   {delVoice, 0x15, kBlock, 10'010, 1},
      {onlyCard, 0x03, kBlock, 4990, 0},   {onlyCard, 0x03, kBlock, 5010, 1},
  };
  for (const Case& k : cases) {
    CommandFaults faults;
    const Answer late{AckFault::kLate, Millis{k.lateMs}};
    if (k.where == kFrame) faults.frame = late;
    if (k.where == kBlock) faults.block = late;
    if (k.where == kSecond) faults.second = late;
    Rig rig({.commandFaults = {{k.command, faults}}});
    const std::string what = std::string(k.op.what) + " late " + std::to_string(k.lateMs);
    EXPECT_EQ(k.op.run(rig), k.result) << what;
    if (k.where != kFrame) {
      EXPECT_EQ(rig.terminal.commands().size(), 1u) << what;
      EXPECT_LE(rig.terminal.blocks().size(), 1u) << what;
    }
  }
}

TEST(Personnel, DeleteAllNamesWantsTheSecondAckSerially) {
  for (AckFault second : {AckFault::kSilent, AckFault::kNak}) {
    Rig rig({.commandFaults = {{0x05, {.second = {second}}}}});
    EXPECT_EQ(Serial(DeleteAllNames(rig.v.env, 1, kPort)), 1);
    // The network form is done with the first ACK.
    EXPECT_EQ(wpl::exports::DoneOrFailed(LanDeleteAllNames(rig.lan.env, kIp)), 0);
  }
}

TEST(Personnel, RefusedBlocksFailAtOnce) {
  Rig rig({.commandFaults = {{0x03, {.block = {AckFault::kNak}}}}});
  EXPECT_EQ(Serial(CardOnly(rig.v.env, 1, kPort, CardOnlyOp::kAdd, 258)), 1);
  // 30 ms settling, 10 ms after the 0x15, no 5 s wait.
  EXPECT_LT(rig.v.clock.Now(), Millis{100});
  EXPECT_EQ(rig.terminal.commands().size(), 1u);
}

TEST(Personnel, TooLongIsRefusedWithoutTraffic) {
  Rig rig({}, kGreets);
  const Bytes name253(253, 'n'), name254(254, 'n');
  EXPECT_EQ(Serial(SendName(rig.v.env, 1, kPort, 1, name254)), 1);
  EXPECT_EQ(wpl::exports::DoneOrFailed(LanSendName(rig.lan.env, kIp, 1, name254)), 1);
  EXPECT_EQ(Serial(SendVoice(rig.v.env, 1, kPort, Values{}, Bytes(100, 'v'))), 1);
  EXPECT_EQ(LanSendVoice(rig.lan.env, kIp, Values{}, Bytes(100, 'v')), std::nullopt);
  EXPECT_TRUE(rig.v.serial.opens().empty());
  EXPECT_TRUE(rig.lan.sockets.events().empty());
  EXPECT_EQ(rig.v.clock.Now(), Nanos{0});
  // The longest of each goes whole.
  EXPECT_EQ(Serial(SendName(rig.v.env, 1, kPort, 1, name253)), 0);
  EXPECT_EQ(rig.terminal.personnel().names.at(1), name253);
  EXPECT_EQ(LanSendVoice(rig.lan.env, kIp, Values{}, Bytes(99, 'v')), 258u);
}

TEST(Personnel, TheTerminalKeepsItsTables) {
  Rig rig;
  const auto& t = rig.terminal;
  auto& env = rig.v.env;
  ASSERT_EQ(Serial(SendName(env, 1, kPort, 7, Of("Ann"))), 0);
  ASSERT_EQ(Serial(SendName(env, 1, kPort, 8, Of("Bob"))), 0);
  ASSERT_EQ(Serial(ChangeNameId(env, 1, kPort, 7, 70)), 0);
  EXPECT_EQ(t.personnel().names, (std::map<uint16_t, Bytes>{{8, Of("Bob")}, {70, Of("Ann")}}));
  // The door flag on the same command changes no name.
  ASSERT_EQ(Serial(CardOnly(env, 1, kPort, CardOnlyOp::kAdd, 5)), 0);
  ASSERT_EQ(Serial(CardOnly(env, 1, kPort, CardOnlyOp::kAdd, 6)), 0);
  ASSERT_EQ(Serial(CardOnly(env, 1, kPort, CardOnlyOp::kAdd, 9)), 0);
  ASSERT_EQ(Serial(CardOnly(env, 1, kPort, CardOnlyOp::kRemove, 6)), 0);
  EXPECT_EQ(t.personnel().cardOnly, (std::set<uint16_t>{5, 9}));
  const Values v2is300{0, 300};
  ASSERT_EQ(Serial(SendVoice(env, 1, kPort, v2is300, Of("hi"))), 0);
  ASSERT_EQ(Serial(SendVoice(env, 1, kPort, Values{0, 301}, {})), 0);
  EXPECT_EQ(t.personnel().voices.size(), 2u);
  ASSERT_EQ(Serial(DeleteVoice(env, 1, kPort, 300)), 0);
  EXPECT_EQ(t.personnel().voices.count(300), 0u);
  const std::string json = t.StateJson();
  EXPECT_NE(json.find("\"names\":{\"8\":[66,111,98],\"70\":[65,110,110]}"), std::string::npos)
      << json;
  EXPECT_NE(json.find("\"cardOnly\":\"5,9\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"voices\":{\"301\":["), std::string::npos) << json;
  ASSERT_EQ(Serial(DeleteAllVoices(env, 1, kPort)), 0);
  ASSERT_EQ(Serial(DeleteAllNames(env, 1, kPort)), 0);
  ASSERT_EQ(Serial(CardOnly(env, 1, kPort, CardOnlyOp::kClear)), 0);
  EXPECT_TRUE(t.personnel().names.empty());
  EXPECT_TRUE(t.personnel().voices.empty());
  EXPECT_TRUE(t.personnel().cardOnly.empty());
  // The one-byte uses of 0x14 and 0x06 are settings, not entries.
  EXPECT_EQ(t.settings().openTime, 0);
  // Over the network the terminals take their entries the same way.
  Rig greeting({}, kGreets);
  ASSERT_EQ(wpl::exports::DoneOrFailed(LanSendName(rig.lan.env, kIp, 3, Of("Cy"))), 0);
  ASSERT_EQ(LanSendVoice(greeting.lan.env, kIp, v2is300, Of("hi")), 258u);
  EXPECT_EQ(rig.lan.terminal.personnel().names.at(3), Of("Cy"));
  EXPECT_EQ(greeting.lan.terminal.personnel().voices.count(300), 1u);
}

TEST(Personnel, VoiceGreeting) {
  struct Case {
    const char* what;
    sim::NetworkFaults faults;
    AckFault ack;
    std::optional<uint32_t> result;
    size_t sends;
  };
  const Case cases[] = {
      {"greets", kGreets, AckFault::kNone, 258, 1 + 1 + 19 + 1},
      {"large number",
       {.greeting = {0xFF, 0xFE, 0xFD, 0xFC, 0, 0, 0, 0}},
       AckFault::kNone,
       0xFFFEFDFC,
       22},
      // Nothing is sent before the eighth greeting byte.
      {"seven bytes", {.greeting = {0, 0, 1, 2, 0, 0, 0}}, AckFault::kNone, std::nullopt, 0},
      {"hangs up",
       {.closeAfterSent = 4, .greeting = {0, 0, 1, 2, 0, 0, 0, 0}},
       AckFault::kNone,
       std::nullopt,
       0},
      {"no greeting", {}, AckFault::kNone, std::nullopt, 0},
      {"refuses the frame", kGreets, AckFault::kNak, std::nullopt, 1},
  };
  for (const Case& k : cases) {
    Rig rig({.ackFault = k.ack}, k.faults);
    EXPECT_EQ(LanSendVoice(rig.lan.env, kIp, kOneAndZeros, Of("AB")), k.result) << k.what;
    EXPECT_EQ(rig.lan.sockets.Count(testing::SocketCall::kSend), k.sends) << k.what;
    EXPECT_EQ(rig.lan.sockets.openSockets(), 0) << k.what;
  }
  // The silent terminal is waited for no longer than the silence limit,
  // then the 25 ms closing pause.
  Rig silent({}, {});
  EXPECT_EQ(LanSendVoice(silent.lan.env, kIp, kOneAndZeros, {}), std::nullopt);
  EXPECT_GT(silent.lan.clock.Now(), link::kLanSilenceLimit);
  EXPECT_LT(silent.lan.clock.Now(), link::kLanSilenceLimit + Millis{100});
}

// The name load pauses 25 ms after closing on every path.
TEST(Personnel, LanSendNameClosingPauseOnEveryPath) {
  struct Case {
    const char* what;
    const char* ip;
    bool failStartup, failCreate;
    Millis elapsed;
  };
  const Case cases[] = {
      {"bad address", "127.0.13.300", false, false, Millis{25}},
      {"start-up", kIp, true, false, Millis{1 + 25}},
      {"socket", kIp, false, true, Millis{1 + 25}},
      {"nobody listening", "127.0.13.2", false, false, Millis{1 + 25}},
      {"done", kIp, false, false, Millis{1 + 5 + 1 + 1 + 1 + 25}},
  };
  for (const Case& k : cases) {
    Rig rig;
    rig.lan.sockets.FailStartup(k.failStartup);
    rig.lan.sockets.FailCreate(k.failCreate);
    const int32_t expected = std::string_view(k.what) == "done" ? 0 : 1;
    EXPECT_EQ(wpl::exports::DoneOrFailed(LanSendName(rig.lan.env, k.ip, 1, Of("A"))), expected)
        << k.what;
    EXPECT_EQ(rig.lan.clock.Now(), k.elapsed) << k.what;
  }
}

// --- Counted texts -------------------------------------------------------

// A counted text as the host lays it out: count, length, characters.
struct alignas(8) HostText {
  HostText(int32_t count, std::string_view text) : count(count) {
    length = static_cast<int32_t>(text.size());
    std::memcpy(chars, text.data(), text.size());
  }
  const char* ptr() const { return chars; }
  int32_t count;
  int32_t length;
  char chars[300] = {};
};

TEST(CountedText, CountsTheCallsReference) {
  HostText t(1, "Name");
  {
    const CountedText text(t.ptr());
    EXPECT_EQ(t.count, 2);
    EXPECT_EQ(Bytes(text.bytes().begin(), text.bytes().end()), Of("Name"));
  }
  EXPECT_EQ(t.count, 1);
  // Lowered when the call unwinds too.
  try {
    const CountedText text(t.ptr());
    throw std::runtime_error("failure inside the call");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(t.count, 1);
  // A constant text is never counted.
  HostText constant(-1, "K");
  { const CountedText text(constant.ptr()); }
  EXPECT_EQ(constant.count, -1);
  // Null is the empty text.
  const CountedText empty(nullptr);
  EXPECT_TRUE(empty.bytes().empty());
  EXPECT_TRUE(empty.Fits(0));
}

TEST(CountedText, LengthsAreTheHostsButBounded) {
  HostText t(1, "AB");
  t.chars[2] = 'C';  // past the stored length
  t.chars[5] = 0;
  const CountedText text(t.ptr());
  EXPECT_EQ(text.bytes().size(), 2u);
  // Up to the first zero, never past the stored length...
  EXPECT_EQ(text.UpToZero(8).size(), 2u);
  HostText withZero(1, std::string_view("AB\0CD", 5));
  EXPECT_EQ(CountedText(withZero.ptr()).UpToZero(8).size(), 2u);
  // ... nor past the limit.
  HostText longer(1, "ABCDEFGHIJ");
  EXPECT_EQ(CountedText(longer.ptr()).UpToZero(8).size(), 8u);
  HostText negative(1, "");
  negative.length = -5;
  const CountedText bad(negative.ptr());
  EXPECT_FALSE(bad.Fits(99));
  EXPECT_TRUE(bad.bytes().empty());
  EXPECT_TRUE(bad.UpToZero(8).empty());
}

// --- The day's name file -------------------------------------------------

TEST(NameFile, RecordsAndPath) {
  EXPECT_EQ(BuildNameRecord(0x0102, Of("ABC")),
            (NameRecord{0x01, 0x02, 0x41, 0x42, 0x43, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(BuildNameRecord(0x10203, {}),
            (NameRecord{0x02, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(BuildNameRecord(65535, Of("ABCDEFGHIJ")),
            (NameRecord{0xFF, 0xFF, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));
  EXPECT_EQ(NameFilePath("C:\\data\\", {2026, 12, 7, 10, 0, 0}), "C:\\data\\NAM1207.DAT");
  const Bytes file = {1, 2,   'A', 'B', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,
                      9, 'a', 'b', 'c', 'd',  'e',  'f',  'g',  'h',  7};
  EXPECT_EQ(ParseNameFile(file), (std::vector<NameEntry>{{0x0102, Of("AB")}, {9, Of("abcdefgh")}}));
}

TEST(NameFile, AppendsToTheDaysFile) {
  VirtualEnv v;
  const std::string prefix = v.dir.path() + "site-";
  const std::string path = prefix + "NAM0517.DAT";
  EXPECT_EQ(CopyName(v.env, prefix, 0x0102, Of("ABC")), 0);
  // 300 ms first; a day's first record finds no file five times, 100 ms
  // apart, then makes it.
  EXPECT_EQ(v.clock.Now(), Millis{300 + 5 * 100});
  EXPECT_EQ(CopyName(v.env, prefix, 3, {}), 0);
  EXPECT_EQ(testing::ReadFileBytes(path),
            (Bytes{1, 2, 'A',  'B',  'C',  0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                   0, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_TRUE(v.ui.messages.empty());
}

TEST(NameFile, MidnightStartsTheNextDaysFile) {
  VirtualEnv v;
  v.clock.SetLocalBase({2026, 12, 31, 23, 59, 0});
  EXPECT_EQ(CopyName(v.env, v.dir.path(), 1, Of("a")), 0);
  v.clock.Advance(Millis{120'000});
  EXPECT_EQ(CopyName(v.env, v.dir.path(), 2, Of("b")), 0);
  EXPECT_EQ(v.File("NAM1231.DAT").size(), kNameRecordSize);
  EXPECT_EQ(v.File("NAM0101.DAT").size(), kNameRecordSize);
}

TEST(NameFile, FailuresGiveOne) {
  {
    // A folder that is not there: 5 opens, then 15 creations, each with
    // its message, 100 ms apart.
    VirtualEnv v;
    EXPECT_EQ(CopyName(v.env, v.dir.path() + "absent/", 1, Of("a")), 1);
    ASSERT_EQ(v.ui.messages.size(), 15u);
    EXPECT_EQ(v.ui.messages[0].text, "can not creat file!");
    EXPECT_EQ(v.ui.messages[0].title, "Open Error");
    EXPECT_EQ(v.clock.Now(), Millis{300 + 5 * 100 + 15 * 100});
  }
  for (bool seeks : {false, true}) {
    VirtualEnv v;
    testing::FaultyFiles faulty(*v.files);
    faulty.brokenWrites = !seeks;
    faulty.brokenSeeks = seeks;
    v.env.files = &faulty;
    EXPECT_EQ(CopyName(v.env, v.dir.path(), 1, Of("a")), 1) << seeks;
  }
}

TEST(NameFile, AnExistingFileIsNeverEmptied) {
  VirtualEnv v;
  const std::string path = v.dir.path() + "NAM0517.DAT";
  ASSERT_EQ(CopyName(v.env, v.dir.path(), 1, Of("a")), 0);
  // Another holder keeps the file through all five opens: the creation
  // does not empty it, and the record waits for the file to be free.
  auto held = v.files->OpenReadWrite(path);
  ASSERT_TRUE(held);
  EXPECT_EQ(CopyName(v.env, v.dir.path(), 2, Of("b")), 1);
  held.reset();
  EXPECT_EQ(testing::ReadFileBytes(path).size(), kNameRecordSize);
  EXPECT_EQ(CopyName(v.env, v.dir.path(), 3, Of("c")), 0);
  EXPECT_EQ(testing::ReadFileBytes(path).size(), 2 * kNameRecordSize);
}

}  // namespace
}  // namespace wpl
