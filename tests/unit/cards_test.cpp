// The SN queries and their value reply: the checks in their order, the
// silence limit, the ACK that only a good reply earns; and what the terminal
// keeps of the card settings.
#include "settings/cards.h"

#include <gtest/gtest.h>

#include "exports/results.h"
#include "link/serial_command.h"
#include "link/value_reply.h"
#include "rigs.h"
#include "wire_render.h"

namespace wpl {
namespace {

using link::ValueReplyCheck;
using sim::AckFault;
using sim::ReplyFault;
using sim::TerminalConfig;
using Bytes = std::vector<uint8_t>;

constexpr int kPort = 2;

TEST(ValueReply, ChecksInTheirOrder) {
  struct Case {
    Bytes reply;
    ValueReplyCheck check;
  };
  const Case cases[] = {
      {{0x01, 0x00, 0xFF, 0x02, 0xFD, 0x03, 0xE8, 0xEB}, ValueReplyCheck::kOk},
      {{0xAA, 0x00, 0xFF, 0x02, 0xFD, 0xFF, 0xFF, 0xFE}, ValueReplyCheck::kOk},
      {{0x01, 0x00, 0xFF, 0x02, 0xFD, 0x03, 0xE8}, ValueReplyCheck::kShort},
      {{}, ValueReplyCheck::kShort},
      // Each check failing on its own.
      {{0x01, 0x00, 0xFE, 0x02, 0xFD, 0x03, 0xE8, 0xEB}, ValueReplyCheck::kBlockComplement},
      {{0x01, 0x00, 0xFF, 0x02, 0xFC, 0x03, 0xE8, 0xEB}, ValueReplyCheck::kLengthComplement},
      {{0x01, 0x01, 0xFE, 0x02, 0xFD, 0x03, 0xE8, 0xEB}, ValueReplyCheck::kBlockNumber},
      {{0x01, 0x00, 0xFF, 0x03, 0xFC, 0x03, 0xE8, 0xEB}, ValueReplyCheck::kLength},
      {{0x01, 0x00, 0xFF, 0x02, 0xFD, 0x03, 0xE8, 0xEC}, ValueReplyCheck::kChecksum},
      // Several wrong: the first check in order names the fault.
      {{0x01, 0x01, 0xFF, 0x03, 0xFD, 0x03, 0xE8, 0x00}, ValueReplyCheck::kBlockComplement},
      {{0x01, 0x01, 0xFE, 0x03, 0xFC, 0x03, 0xE8, 0x00}, ValueReplyCheck::kBlockNumber},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(link::CheckValueReply(k.reply), k.check)
        << testing::Render({{Nanos{0}, k.reply}}, {});
    EXPECT_EQ(link::ParseValueReply(k.reply).has_value(), k.check == ValueReplyCheck::kOk);
  }
  EXPECT_EQ(link::ParseValueReply(cases[0].reply), 1000);
  // A true 65535 is a good reply; the export cannot tell it from failure.
  EXPECT_EQ(link::ParseValueReply(cases[1].reply), 65535);
}

struct QueryRig : testing::SerialRig {
  explicit QueryRig(TerminalConfig config = {}) : SerialRig(std::move(config), kPort) {}
  int32_t Run(std::string_view name, std::vector<int32_t> values = {}) {
    const auto& rows = settings::kValueQueries;
    const auto row =
        std::find_if(rows.begin(), rows.end(), [&](auto& q) { return q.name == name; });
    if (row == rows.end()) throw std::invalid_argument(std::string(name));
    return wpl::exports::ValueOrFailure(settings::RunSerialSetting(v.env, *row, 1, kPort, values));
  }
  int32_t Set(std::string_view name, std::vector<int32_t> values) {
    return wpl::exports::DoneOrFailed(
        settings::RunSerialSetting(v.env, *settings::FindSetting(name), 1, kPort, values));
  }
};

TEST(ValueQueries, BytesAndValues) {
  struct Case {
    const char* name;
    std::vector<int32_t> values;
    std::string after;  // the host's bytes after the frame
    int32_t result;
  };
  const Case cases[] = {
      // Unknown SN: the terminal answers 65535, the result reads as failure
      // (the ACK goes back all the same: the reply was good).
      {"_WHATSN", {0x1234}, "15 | +10 | 01 | 02 | FD | 12 | 34 | 46 | 06", 65535},
      {"_WHATSN", {0x10005}, "15 | +10 | 01 | 02 | FD | 00 | 05 | 05 | 06", 1000},
      {"_GETSNLENTH", {}, "15 | 06", 8},
  };
  for (const Case& k : cases) {
    QueryRig rig;
    rig.terminal.cards().sn[5] = 1000;
    EXPECT_EQ(rig.Run(k.name, k.values), k.result) << k.name;
    EXPECT_EQ(rig.AfterFrame(), k.after) << k.name;
  }
  // The frame of the length query for terminal 1.
  QueryRig rig;
  rig.Run("_GETSNLENTH");
  const Bytes sent = rig.v.serial.HostBytes(kPort);
  EXPECT_EQ(Bytes(sent.begin() + 10, sent.begin() + 14), (Bytes{0x01, 0xFE, 0x16, 0xE9}));
}

TEST(ValueQueries, AFailedReplyGetsNoAnswer) {
  for (ReplyFault fault : {ReplyFault::kBadChecksum, ReplyFault::kWrongBlock,
                           ReplyFault::kWrongLength, ReplyFault::kSilent}) {
    for (const char* name : {"_WHATSN", "_GETSNLENTH"}) {
      QueryRig rig({.replyFaults = {.value = fault}});
      const std::vector<int32_t> values(name == std::string_view("_WHATSN") ? 1 : 0, 5);
      EXPECT_EQ(rig.Run(name, values), 65535) << name;
      const std::string after = rig.AfterFrame();
      EXPECT_EQ(after.find("06"), std::string::npos) << name << ": " << after;
      // The frame is never sent again.
      EXPECT_EQ(rig.terminal.commands().size(), 1u) << name;
    }
  }
}

TEST(ValueQueries, SilenceLimitRestartsWithEveryPiece) {
  struct Case {
    int gapMs;
    int32_t result;
  };
  // The reply in two halves: a gap of up to 10 s is bridged, whatever the
  // whole takes; a longer one fails after just over 10 s of silence.
  for (const Case& k : {Case{9990, 8}, Case{10'010, 65535}}) {
    QueryRig rig({.replyFaults = {.value = ReplyFault::kSplit, .splitGap = Millis{k.gapMs}}});
    EXPECT_EQ(rig.Run("_GETSNLENTH"), k.result) << k.gapMs;
    if (k.result == 65535) {
      EXPECT_GT(rig.v.clock.Now(), Millis{30 + 10'000});
      EXPECT_LT(rig.v.clock.Now(), Millis{30 + 10'020});
    }
  }
}

TEST(ValueQueries, RefusedOrLateBlockReadsNoReply) {
  struct Case {
    sim::Answer block;
    int32_t result;
  };
  const Case cases[] = {{{AckFault::kNak}, 65535},
                        {{AckFault::kLate, Millis{990}}, 1000},
                        {{AckFault::kLate, Millis{1010}}, 65535}};
  for (const Case& k : cases) {
    QueryRig rig({.commandFaults = {{0x12, {.block = k.block}}}});
    rig.terminal.cards().sn[5] = 1000;
    EXPECT_EQ(rig.Run("_WHATSN", {5}), k.result) << k.block.delay.count();
    if (k.result == 65535) {
      // No reply was read: nothing but the block went out, and the port
      // closed as soon as the block's answer failed.
      EXPECT_EQ(rig.AfterFrame().find("06"), std::string::npos);
      EXPECT_LT(rig.v.serial.closes().back().at, Millis{30 + 20 + 1020});
    }
  }
  // No ACK to the frame: nine attempts, 65535.
  QueryRig silent({.ackFault = AckFault::kSilent});
  EXPECT_EQ(silent.Run("_GETSNLENTH"), 65535);
  EXPECT_EQ(silent.v.serial.opens().size(), 9u);
}

TEST(CardSettings, TheTerminalKeepsThem) {
  QueryRig rig;
  const auto& cards = rig.terminal.cards();
  EXPECT_EQ(rig.Set("_SETSN", {5, 1000}), 0);
  EXPECT_EQ(rig.Set("_SETSN", {0x10006, 7}), 0);
  EXPECT_EQ(cards.sn, (std::map<uint16_t, uint16_t>{{5, 1000}, {6, 7}}));
  EXPECT_EQ(rig.Run("_WHATSN", {5}), 1000);
  EXPECT_EQ(rig.Set("_DELSN", {5}), 0);
  EXPECT_EQ(rig.Run("_WHATSN", {5}), 65535);
  EXPECT_EQ(rig.Set("_SETLOCKNUM", {0x0102}), 0);
  EXPECT_EQ(cards.lockNumber, 0x0102);
  EXPECT_EQ(rig.Set("_DELLOCKNUM", {}), 0);
  EXPECT_FALSE(cards.lockNumber.has_value());
  EXPECT_EQ(rig.Set("_SETCARDWAITTIME", {9}), 0);
  EXPECT_EQ(rig.terminal.settings().openTime, 9);
  rig.terminal.cards().snLength = 10;
  EXPECT_EQ(rig.Run("_GETSNLENTH"), 10);
  EXPECT_NE(rig.terminal.StateJson().find("\"sn\":{\"6\":7}"), std::string::npos)
      << rig.terminal.StateJson();
}

}  // namespace
}  // namespace wpl
