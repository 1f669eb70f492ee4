// The command tables and the settings exports, from the byte examples of
// the protocol: one table drives the serial and the network writers alike.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "exports/results.h"
#include "fingerprint/templates.h"
#include "link/block_plan.h"
#include "link/lan_connection.h"
#include "link/serial_command.h"
#include "link/serial_link.h"
#include "rigs.h"
#include "settings/cards.h"
#include "settings/line_speed.h"
#include "settings/settings.h"
#include "wire_render.h"

namespace wpl {
namespace {

using link::BlockPacing;
using link::BlockShape;
using sim::AckFault;
using sim::Answer;
using sim::CommandFaults;
using sim::TerminalConfig;
using sim::TerminalModel;
using testing::VirtualEnv;
using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

constexpr const char* kIp = "127.0.12.1";
constexpr Ipv4Address kAddress{{127, 0, 12, 1}};
constexpr int kPort = 2;

using testing::Render;

TEST(BlockPlan, ShapesAndPauses) {
  const Bytes three{0x80, 0x00, 0x90};  // a zero byte, and a sum that wraps to 0x10
  struct Case {
    BlockShape shape;
    BlockPacing pacing;
    Bytes payload;
    std::string expected;
  };
  const Case cases[] = {
      {BlockShape::kNone, {}, three, ""},
      {BlockShape::kNakOnly, {0ms, 0ms}, {}, "15"},
      {BlockShape::kNakOnly, {3ms, 7ms}, {}, "+3 | 15 | +7"},
      {BlockShape::kWhole, {}, three, "15 01 03 FC 80 00 90 10"},
      {BlockShape::kBytes, {}, three, "15 | 01 | 03 | FC | 80 | 00 | 90 | 10"},
      {BlockShape::kBytes,
       {10ms, 5ms},
       {0x01, 0x00},
       "+10 | 15 | +5 | 01 | 02 | FD | 01 | 00 | 01"},
      {BlockShape::kSplit, {10ms, 2ms}, three, "+10 | 15 | +2 | 01 03 FC | 80 | 00 | 90 | 10"},
      {BlockShape::kNakThenRest, {10ms, 1ms}, three, "+10 | 15 | +1 | 01 03 FC 80 00 90 10"},
      {BlockShape::kHeadThenBytes, {}, three, "15 01 03 FC | 80 | 00 | 90 | 10"},
      // A text stored character by character: a pause after each byte from
      // offset 1 of the payload, none after the checksum but the block's own.
      {BlockShape::kBytes,
       {5ms, 10ms, 1, 1ms, 1ms},
       {0x07, 0x41, 0x42},
       "+5 | 15 | +10 | 01 | 03 | FC | 07 | 41 | +1 | 42 | +1 | 8A | +1"},
      {BlockShape::kHeadThenBytes,
       {0ms, 0ms, 0, 2ms, 0ms},
       {0x41, 0x42},
       "15 01 02 FD | 41 | +2 | 42 | +2 | 83"},
      {BlockShape::kWhole, {}, {}, "15 01 00 FF 00"},
  };
  for (const Case& k : cases)
    EXPECT_EQ(Render(link::PlanBlock(k.payload, k.shape, k.pacing)), k.expected)
        << static_cast<int>(k.shape);
  EXPECT_THROW(link::PlanBlock(Bytes(256), BlockShape::kBytes), std::length_error);
  // The largest block: 255 data bytes, one piece each.
  EXPECT_EQ(link::PlanBlock(Bytes(255, 1), BlockShape::kSplit).steps.size(), 2u + 255 + 1);
}

// A serial terminal at 57600 on kPort, and a network one at kAddress.
struct Rig : testing::DualRig {
  explicit Rig(const TerminalConfig& config = {}) : DualRig(config, kPort, kAddress) {}
  // Runs an export of the settings table against the terminal of its kind.
  int32_t Run(std::string_view name, const std::vector<int32_t>& values, int32_t address = 1) {
    const settings::Setting* s = settings::FindSetting(name);
    if (!s) throw std::invalid_argument(std::string(name));
    if (s->network())
      return wpl::exports::DoneOrFailed(settings::RunLanSetting(lan.env, *s, kIp, values));
    return wpl::exports::DoneOrFailed(
        settings::RunSerialSetting(v.env, *s, address, kPort, values));
  }
};

TEST(SettingsExports, BytesAfterTheFrame) {
  struct Case {
    const char* name;
    std::vector<int32_t> values;
    std::string after;
  };
  const Case cases[] = {
      {"_SETTIME",
       {1, 2, 3, 4, 5, 6, 7},
       "15 | 01 | 07 | F8 | 01 | 02 | 03 | 04 | 05 | 06 | 07 | 1C"},
      {"_SETTIME",
       {0x59, 0x59, 0x59, 0x59, 0x59, 0x59, 0x159},
       "15 | 01 | 07 | F8 | 59 | 59 | 59 | 59 | 59 | 59 | 59 | 6F"},
      {"_LANSETTIME", {1, 2, 3, 4, 5, 6, 7}, "15 01 07 F8 01 02 03 04 05 06 07 1C"},
      {"_SETMACHINEID", {0x1FF}, "15 | 01 | 01 | FE | FF | FF"},
      {"_SETPASSWORD", {291}, "15 | 01 | 02 | FD | 01 | 23 | 24"},
      {"_SETPASSWORD", {0x30123}, "15 | 01 | 02 | FD | 01 | 23 | 24"},
      {"_LANANSWER", {0}, "15 01 01 FE 00 00"},
      {"_ENABLEALL", {}, ""},
      {"_DISABLEALL", {}, ""},
      {"_RESTORE", {}, ""},
      {"_RESTOREALL", {}, ""},
      {"_LANENABLEALL", {}, ""},
      {"_LANDISABLEALL", {}, ""},
      {"_LANRESTOREALL", {}, ""},
      {"_ENABLEPERSON", {300}, "+10 | 15 | +10 | 01 | 02 | FD | 01 | 2C | 2D"},
      {"_DISABLEPERSON", {256}, "+10 | 15 | +5 | 01 | 02 | FD | 01 | 00 | 01"},
      {"_ENABLEPERSON", {0x1FFFF}, "+10 | 15 | +10 | 01 | 02 | FD | FF | FF | FE"},
      {"_LANENABLEPERSON", {300}, "+10 | 15 | +1 | 01 02 FD 01 2C 2D"},
      {"_LANDISABLEPERSON", {256}, "+10 | 15 | +1 | 01 02 FD 01 00 01"},
      {"_SETOPENMODE", {7}, "15 | 01 | 01 | FE | 07 | 07"},
      {"_LANSETOPENMODE", {7}, "+10 | 15 | +2 | 01 01 FE | 07 | 07"},
      {"_SETOPENTIME", {300}, "15 | 01 | 01 | FE | 2C | 2C"},
      {"_LANSETOPENTIME", {300}, "+10 | 15 | +2 | 01 01 FE | 2C | 2C"},
      {"_SETOPENCLOSE", {1}, "15 | 01 | 01 | FE | 55 | 55"},
      {"_SETOPENCLOSE", {0}, "15 | 01 | 01 | FE | 00 | 00"},
      {"_SETOPENCLOSE", {2}, "15 | 01 | 01 | FE | 00 | 00"},
      {"_SETOPENCLOSE", {-1}, "15 | 01 | 01 | FE | 00 | 00"},
      {"_SETOPENCLOSE", {0x101}, "15 | 01 | 01 | FE | 00 | 00"},
      {"_LANSETOPENCLOSE", {1}, "+3 | 15 | +2 | 01 01 FE | 01 | 01"},
      {"_LANSETOPENCLOSE", {0x55}, "+3 | 15 | +2 | 01 01 FE | 55 | 55"},
      {"_SETBELL", {8, 30, 5}, "15 | 01 | 03 | FC | 08 | 1E | 05 | 2B"},
      {"_SETSN", {1, 2}, "+5 | 15 | +5 | 01 | 04 | FB | 00 | 01 | 00 | 02 | 03"},
      {"_SETSN", {0x1FFFF, 0x10080}, "+5 | 15 | +5 | 01 | 04 | FB | FF | FF | 00 | 80 | 7E"},
      {"_LANSETSN", {1, 2}, "+10 | 15 | +1 | 01 04 FB | 00 | 01 | 00 | 02 | 03"},
      {"_DELSN", {0x1234}, "+5 | 15 | +5 | 01 | 02 | FD | 12 | 34 | 46"},
      {"_LANDELSN", {0x1234}, "+10 | 15 | +2 | 01 02 FD | 12 | 34 | 46"},
      {"_SETSNORCARD", {7}, "15 | 01 | 01 | FE | 07 | 07"},
      {"_SETCARDWAITTIME", {0x105}, "15 | 01 | 01 | FE | 05 | 05"},
      {"_SETLOCKNUM", {0x0102}, "15 | +1 | 01 | 03 | FC | 01 | 01 | 02 | 04"},
      {"_DELLOCKNUM", {}, "15 | +1 | 01 | 01 | FE | 00 | 00"},
  };
  std::set<std::string_view> covered;
  for (const Case& k : cases) {
    Rig rig({.address = 2});
    const bool network = settings::FindSetting(k.name)->network();
    EXPECT_EQ(rig.Run(k.name, k.values, 2), 0) << k.name;
    EXPECT_EQ(rig.AfterFrame(network), k.after) << k.name;
    const uint8_t command =
        network ? link::LanRow(k.name).command : link::SerialRow(k.name).command;
    EXPECT_EQ(rig.Terminal(network).commands(), Bytes{command}) << k.name;
    covered.insert(k.name);
  }
  // Every settings export has its example.
  for (const auto& s : settings::kSettings) EXPECT_TRUE(covered.count(s.name)) << s.name;
}

TEST(SettingsExports, FramesCarryAddressAndCommand) {
  struct Case {
    const char* name;
    int32_t address;
    Bytes tail;  // after the signature
  };
  const Case cases[] = {
      {"_SETTIME", 1, {0x01, 0xFE, 0x02, 0xFD}},    {"_LANSETTIME", 1, {0xFA, 0x05, 0x02, 0xFD}},
      {"_ENABLEALL", 2, {0x02, 0xFD, 0x08, 0xF7}},  {"_RESTORE", 0x103, {0x03, 0xFC, 0x0C, 0xF3}},
      {"_RESTOREALL", 0, {0x00, 0xFF, 0x0F, 0xF0}},
  };
  for (const Case& k : cases) {
    Rig rig({.address = static_cast<uint8_t>(k.address)});
    const settings::Setting& s = *settings::FindSetting(k.name);
    std::vector<int32_t> values(static_cast<size_t>(s.values), 1);
    EXPECT_EQ(rig.Run(k.name, values, k.address), 0) << k.name;
    const Bytes sent = s.network() ? rig.lan.sockets.SentBytes() : rig.v.serial.HostBytes(kPort);
    ASSERT_GE(sent.size(), 14u) << k.name;
    EXPECT_EQ(std::string(sent.begin(), sent.begin() + 10), "KORVANEMZT") << k.name;
    EXPECT_EQ(Bytes(sent.begin() + 10, sent.begin() + 14), k.tail) << k.name;
  }
}

// Limits are strict: an answer just inside one succeeds, just past it fails.
TEST(SettingsExports, WaitLimits) {
  enum Where { kFrame, kBlock };
  struct Case {
    const char* name;
    Where where;
    int lateMs;
    int32_t result;
  };
  const Case cases[] = {
      {"_SETTIME", kFrame, 990, 0},          {"_SETTIME", kFrame, 1010, 1},
      {"_SETTIME", kBlock, 990, 0},          {"_SETTIME", kBlock, 1010, 1},
      {"_ENABLEALL", kFrame, 29'990, 0},     {"_ENABLEALL", kFrame, 30'010, 1},
      {"_DISABLEALL", kFrame, 39'990, 0},    {"_DISABLEALL", kFrame, 40'010, 1},
      {"_ENABLEPERSON", kFrame, 990, 0},     {"_ENABLEPERSON", kFrame, 1010, 1},
      {"_ENABLEPERSON", kBlock, 179'000, 0}, {"_ENABLEPERSON", kBlock, 181'000, 1},
      {"_DISABLEPERSON", kFrame, 9990, 0},   {"_DISABLEPERSON", kFrame, 10'010, 1},
      {"_DISABLEPERSON", kBlock, 59'990, 0}, {"_DISABLEPERSON", kBlock, 60'010, 1},
      {"_SETBELL", kBlock, 4990, 0},         {"_SETBELL", kBlock, 5010, 1},
      {"_SETOPENCLOSE", kBlock, 1010, 1},    {"_RESTORE", kFrame, 1010, 1},
      {"_SETSN", kBlock, 29'990, 0},         {"_SETSN", kBlock, 30'010, 1},
      {"_DELSN", kBlock, 29'990, 0},         {"_DELSN", kBlock, 30'010, 1},
      {"_SETLOCKNUM", kBlock, 1010, 1},      {"_SETCARDWAITTIME", kFrame, 1010, 1},
  };
  for (const Case& k : cases) {
    const settings::Setting& s = *settings::FindSetting(k.name);
    const uint8_t command = link::SerialRow(k.name).command;
    CommandFaults faults;
    const Answer late{AckFault::kLate, Millis{k.lateMs}};
    if (k.where == kFrame)
      faults.frame = late;
    else
      faults.block = late;
    Rig rig({.commandFaults = {{command, faults}}});
    const std::string what = std::string(k.name) + " late " + std::to_string(k.lateMs);
    EXPECT_EQ(rig.Run(k.name, std::vector<int32_t>(static_cast<size_t>(s.values), 1)), k.result)
        << what;
    // A late block answer is not asked for again: one frame, one block.
    if (k.where == kBlock) EXPECT_EQ(rig.terminal.commands().size(), 1u) << what;
  }
}

TEST(SettingsExports, RefusedBlockIsNotRetried) {
  for (const char* name :
       {"_SETTIME", "_ENABLEPERSON", "_SETBELL", "_LANSETTIME", "_LANSETOPENCLOSE"}) {
    const settings::Setting& s = *settings::FindSetting(name);
    const uint8_t command =
        s.network() ? link::LanRow(name).command : link::SerialRow(name).command;
    Rig rig({.commandFaults = {{command, {.block = {AckFault::kNak}}}}});
    EXPECT_EQ(rig.Run(name, std::vector<int32_t>(static_cast<size_t>(s.values), 1)), 1) << name;
    EXPECT_EQ(rig.Terminal(s.network()).commands().size(), 1u) << name;
    EXPECT_EQ(rig.Terminal(s.network()).blocks().size(), 1u) << name;
  }
}

// The all-users commands give the terminal time after its answer; the hold
// is spent with the port closed, whatever the outcome.
TEST(SettingsExports, HoldAfterClosing) {
  struct Case {
    const char* name;
    AckFault fault;
    int32_t result;
    Millis closedAt, end;
  };
  const Case cases[] = {
      {"_ENABLEALL", AckFault::kNone, 0, Millis{30}, Millis{30 + 3001}},
      {"_DISABLEALL", AckFault::kNone, 0, Millis{30}, Millis{30 + 4001}},
      {"_RESTORE", AckFault::kNone, 0, Millis{30}, Millis{30}},
      // Nine attempts of 30 ms settling and a 40 s wait ended past it.
      {"_DISABLEALL", AckFault::kSilent, 1, Millis{9 * (30 + 40'005)},
       Millis{9 * (30 + 40'005) + 4001}},
  };
  for (const Case& k : cases) {
    Rig rig({.ackFault = k.fault});
    EXPECT_EQ(rig.Run(k.name, {}), k.result) << k.name;
    ASSERT_FALSE(rig.v.serial.closes().empty());
    const Millis closed = duration_cast<Millis>(rig.v.serial.closes().back().at);
    EXPECT_EQ(closed, k.closedAt) << k.name;
    EXPECT_EQ(duration_cast<Millis>(rig.v.clock.Now()), k.end) << k.name;
  }
  // The bell waits a millisecond before it closes the port.
  Rig bell;
  EXPECT_EQ(bell.Run("_SETBELL", {1, 2, 3}), 0);
  EXPECT_EQ(bell.v.clock.Now() - bell.v.serial.closes().back().at, Nanos{0});
  EXPECT_EQ(bell.v.serial.closes().back().at - bell.v.serial.wire().back().at, Millis{1});
}

TEST(SettingsExports, TheTerminalKeepsWhatItWasSent) {
  Rig rig({.users = {{1, 100}}});
  const auto& serial = rig.terminal;
  const auto& lan = rig.lan.terminal;
  EXPECT_EQ(rig.Run("_SETTIME", {26, 12, 8, 2, 21, 56, 7}), 0);
  EXPECT_EQ(serial.settings().clock, (std::array<uint8_t, 7>{26, 12, 8, 2, 21, 56, 7}));
  EXPECT_EQ(rig.Run("_SETPASSWORD", {0x1234}), 0);
  EXPECT_EQ(serial.settings().password, 0x1234);
  EXPECT_EQ(rig.Run("_SETMACHINEID", {9}), 0);
  EXPECT_EQ(serial.settings().machineId, 9);
  EXPECT_EQ(rig.Run("_SETBELL", {8, 30, 5}), 0);
  EXPECT_EQ(serial.settings().bell, (std::array<uint8_t, 3>{8, 30, 5}));
  EXPECT_EQ(rig.Run("_SETOPENCLOSE", {1}), 0);
  EXPECT_EQ(serial.settings().openClose, 0x55);
  EXPECT_EQ(rig.Run("_LANSETOPENMODE", {3}), 0);
  EXPECT_EQ(lan.settings().openMode, 3);
  EXPECT_EQ(rig.Run("_LANANSWER", {0x42}), 0);
  EXPECT_EQ(lan.settings().command3, Bytes{0x42});
  EXPECT_EQ(rig.Run("_DISABLEPERSON", {7}), 0);
  EXPECT_FALSE(serial.users().enabled[7]);
  EXPECT_TRUE(serial.users().enabled[8]);
  // A person the terminal does not hold is met with silence: 60 s, then 1.
  const Nanos before = rig.v.clock.Now();
  EXPECT_EQ(rig.Run("_DISABLEPERSON", {101}), 1);
  EXPECT_GT(rig.v.clock.Now() - before, Millis{60'000});
  EXPECT_EQ(rig.Run("_LANDISABLEALL", {}), 0);
  EXPECT_FALSE(lan.users().enabled.any());
  EXPECT_EQ(rig.Run("_LANENABLEPERSON", {5}), 0);
  EXPECT_EQ(lan.users().enabled.count(), 1u);
  EXPECT_EQ(rig.Run("_ENABLEALL", {}), 0);
  EXPECT_EQ(serial.users().enabled.count(), 100u);
  EXPECT_NE(serial.StateJson().find("\"usersEnabled\":\"1-100\""), std::string::npos);
}

// The names the header declares as exports.
std::set<std::string> HeaderExports() {
  FILE* f = std::fopen(WPL_HEADER, "r");
  if (!f) return {};
  std::string text;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
  std::fclose(f);
  std::set<std::string> names;
  const std::string call = "WPCLOG_CALL ";
  for (size_t at = text.find(call); at != std::string::npos; at = text.find(call, at + 1)) {
    const size_t from = at + call.size();
    const size_t to = text.find('(', from);
    if (to != std::string::npos) names.insert(text.substr(from, to - from));
  }
  return names;
}

// Every row of every table is an export of the header (that every export has
// its row is checked as the exports compile: their rows are found by name at
// compile time).
TEST(ExportTables, NoRowWithoutAnExport) {
  const auto exports = HeaderExports();
  ASSERT_GT(exports.size(), 60u);
  ASSERT_TRUE(exports.count("_SETTIME"));
  for (const auto& row : link::kSerialExports)
    EXPECT_TRUE(exports.count(std::string(row.name))) << row.name;
  for (const auto& row : link::kLanExports)
    EXPECT_TRUE(exports.count(std::string(row.name))) << row.name;
  for (const auto& s : settings::kSettings)
    EXPECT_TRUE(exports.count(std::string(s.name))) << s.name;
  for (const auto& s : settings::kValueQueries)
    EXPECT_TRUE(exports.count(std::string(s.name))) << s.name;
  for (const auto& row : fingerprint::kTemplateExports)
    EXPECT_TRUE(exports.count(std::string(row.name))) << row.name;
}

TEST(SettingsExports, TablesAgree) {
  std::set<std::string_view> names;
  for (const auto& s : settings::kSettings) {
    EXPECT_TRUE(names.insert(s.name).second) << s.name;
    // Each setting has its row in the table of its transport, and a block
    // exactly when it has a payload.
    if (s.network()) {
      EXPECT_EQ(link::LanRow(s.name).block != BlockShape::kNone, s.payload != nullptr) << s.name;
      EXPECT_EQ(link::LanRow(s.name).exchange, link::LanExchange::kCommand) << s.name;
    } else {
      EXPECT_EQ(link::SerialRow(s.name).block != BlockShape::kNone, s.payload != nullptr) << s.name;
    }
  }
  for (const auto& row : link::kSerialExports)
    EXPECT_FALSE(row.name.starts_with("_LAN")) << row.name;
  // Too many or too few values are a fault of the caller, caught before any
  // traffic.
  Rig rig;
  EXPECT_THROW(rig.Run("_SETBELL", {1, 2}), std::invalid_argument);
  EXPECT_TRUE(rig.v.serial.opens().empty());
}

// --- The line speed -----------------------------------------------------------

struct SpeedRig : testing::SerialRig {
  explicit SpeedRig(TerminalConfig config) : SerialRig(std::move(config), kPort) {}
  settings::SpeedResult Run(int32_t last = 7) {
    const std::array<int32_t, 12> request = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x10C};
    return settings::SetBaudRate(v.env, kPort, last, request);
  }
  std::vector<uint32_t> Speeds() const {
    std::vector<uint32_t> out;
    for (const auto& o : v.serial.opens()) out.push_back(o.line.baud);
    return out;
  }
};

TEST(SetBaudRate, ScansTheSpeedsOnTheHostsPortOnly) {
  struct Case {
    uint32_t terminalBaud;
    AckFault fault;
    int32_t result;
    std::vector<uint32_t> speeds;
  };
  const std::vector<uint32_t> all = {57600, 38400, 19200, 9600, 4800, 2400, 1200, 57600};
  const Case cases[] = {
      {57600, AckFault::kNone, 0, {57600}},
      {9600, AckFault::kNone, 0, {57600, 38400, 19200, 9600}},
      {1200, AckFault::kNone, 0, {57600, 38400, 19200, 9600, 4800, 2400, 1200}},
      {115200, AckFault::kNone, 1, all},
      {57600, AckFault::kNak, 1, all},
  };
  for (const Case& k : cases) {
    SpeedRig rig({.baud = k.terminalBaud, .ackFault = k.fault});
    const auto r = rig.Run();
    EXPECT_EQ(wpl::exports::DoneOrFailed(r), k.result) << k.terminalBaud;
    EXPECT_EQ(rig.Speeds(), k.speeds) << k.terminalBaud;
    // Each silent attempt: 30 ms settling, then just over 2 s for the answer.
    if (k.fault == AckFault::kNone) {
      const auto silent = static_cast<int>(k.speeds.size()) - (k.result == 0 ? 1 : 0);
      EXPECT_GT(rig.v.clock.Now(), silent * Millis{2030}) << k.terminalBaud;
      EXPECT_LT(rig.v.clock.Now(), silent * Millis{2040} + Millis{40}) << k.terminalBaud;
    }
  }
}

TEST(SetBaudRate, PreambleAndRequestInTwoWrites) {
  SpeedRig rig({.baud = 57600});
  ASSERT_EQ(wpl::exports::DoneOrFailed(rig.Run(0x107)), 0);
  std::vector<Bytes> writes;
  for (const auto& c : rig.v.serial.wire())
    if (c.fromHost) writes.push_back(c.bytes);
  Bytes preamble(20, 'c');
  preamble.insert(preamble.end(), 20, 'j');
  EXPECT_EQ(writes,
            (std::vector<Bytes>{preamble, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x0C, 0x07}}));
  EXPECT_EQ(rig.terminal.settings().speedRequest.size(), 13u);
  // The terminal takes up the speed the last byte names (code 7: 57600).
  EXPECT_EQ(rig.terminal.lineSpeed(), 57600u);
}

TEST(SetBaudRate, AnswerLimitCountsFromTheRequest) {
  for (auto [delay, result] : {std::pair{1990, 0}, std::pair{2010, 1}}) {
    SpeedRig rig({.baud = 57600, .ackFault = AckFault::kLate, .ackDelay = Millis{delay}});
    EXPECT_EQ(wpl::exports::DoneOrFailed(rig.Run()), result) << delay;
  }
}

TEST(SetBaudRate, UnopenablePortFailsAtOnce) {
  VirtualEnv v;
  v.serial.SetAbsent(kPort);
  TerminalModel elsewhere({.baud = 57600});
  v.serial.Attach(kPort + 1, &elsewhere);
  const std::array<int32_t, 12> request{};
  EXPECT_EQ(wpl::exports::DoneOrFailed(settings::SetBaudRate(v.env, kPort, 7, request)), 1);
  EXPECT_EQ(v.serial.openAttempts(), 1);
  EXPECT_TRUE(v.serial.wire().empty());
  EXPECT_EQ(v.clock.Now(), Nanos{0});
}

TEST(SetBaudRate, TerminalMovesToTheNewSpeed) {
  SpeedRig rig({.baud = 9600});
  ASSERT_EQ(wpl::exports::DoneOrFailed(rig.Run(5)), 0);
  EXPECT_EQ(rig.terminal.lineSpeed(), 19200u);
  // The next command is heard at 19200 only.
  const auto found = link::RunCommandAttempts(rig.v.env, 1, kPort, 0x00, Millis{1000});
  ASSERT_TRUE(found);
  EXPECT_EQ(found->baud, 19200u);
  EXPECT_EQ(rig.terminal.lineSpeed(), 19200u);
}

}  // namespace
}  // namespace wpl
