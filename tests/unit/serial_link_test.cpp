#include "link/serial_link.h"

#include <gtest/gtest.h>

#include "exports/results.h"
#include "link/command_frame.h"
#include "link/serial_basics.h"
#include "platform/full_write.h"
#include "rigs.h"
#include "virtual_env.h"

namespace wpl {
namespace {

using link::BuildCommandFrame;
using sim::AckFault;
using sim::TerminalConfig;
using sim::TerminalModel;
using testing::VirtualEnv;

std::vector<uint8_t> Frame(uint8_t address, uint8_t command) {
  auto f = BuildCommandFrame(address, command);
  return {f.begin(), f.end()};
}

TEST(CommandFrame, AddressAndCommandWithComplements) {
  struct Case {
    int32_t address;
    uint8_t command;
    uint8_t a, na, c, nc;
  };
  for (const Case& k :
       {Case{0, 0x0D, 0x00, 0xFF, 0x0D, 0xF2}, Case{255, 0x00, 0xFF, 0x00, 0x00, 0xFF},
        Case{0x1FF, 0x01, 0xFF, 0x00, 0x01, 0xFE}, Case{1, 0x17, 0x01, 0xFE, 0x17, 0xE8}}) {
    auto f = BuildCommandFrame(static_cast<uint8_t>(k.address), k.command);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 10), "KORVANEMZT");
    EXPECT_EQ((std::array<uint8_t, 4>{f[10], f[11], f[12], f[13]}),
              (std::array<uint8_t, 4>{k.a, k.na, k.c, k.nc}))
        << "address " << k.address;
  }
}

TEST(ParameterBlock, LayoutAndWrappingChecksum) {
  struct Case {
    std::vector<uint8_t> payload, block;
  };
  for (const Case& k : {
           Case{{0x07}, {0x15, 0x01, 0x01, 0xFE, 0x07, 0x07}},
           Case{{0x80, 0x90}, {0x15, 0x01, 0x02, 0xFD, 0x80, 0x90, 0x10}},
           Case{{}, {0x15, 0x01, 0x00, 0xFF, 0x00}},
           Case{{1, 2, 3, 4, 5, 6, 7}, {0x15, 0x01, 0x07, 0xF8, 1, 2, 3, 4, 5, 6, 7, 0x1C}},
       }) {
    EXPECT_EQ(link::BuildParameterBlock(k.payload), k.block);
  }
  EXPECT_THROW(link::BuildParameterBlock(std::vector<uint8_t>(256)), std::length_error);
}

TEST(Openers, SpeedsAndStopBits) {
  EXPECT_EQ(link::AttemptSpeed(0), 57600u);
  EXPECT_EQ(link::AttemptSpeed(1), 19200u);
  EXPECT_EQ(link::AttemptSpeed(2), 57600u);
  EXPECT_EQ(link::AttemptSpeed(-1), 19200u);
  const std::pair<int32_t, std::optional<uint32_t>> codes[] = {
      {0, 57600}, {1, 1200},  {2, 2400},  {3, 4800},         {4, 9600},
      {5, 19200}, {6, 38400}, {7, 57600}, {8, std::nullopt}, {-1, std::nullopt}};
  for (auto [code, speed] : codes) EXPECT_EQ(link::SpeedForCode(code), speed) << code;

  VirtualEnv v;
  struct Case {
    std::unique_ptr<SerialPort> (*open)(Env&, int);
    uint32_t baud;
    int stopBits;
    Millis settle;
  };
  const Case cases[] = {
      {link::OpenCommPortTwoStop, 19200, 2, Millis{30}},
      {link::OpenModemPort, 9600, 1, Millis{30}},
      {link::OpenModulePort, 9600, 1, Millis{3}},
  };
  for (const Case& k : cases) {
    const Nanos before = v.clock.Now();
    auto port = k.open(v.env, 2);
    ASSERT_TRUE(port);
    EXPECT_EQ(v.clock.Now() - before, k.settle);
    EXPECT_EQ(v.serial.opens().back().line.baud, k.baud);
    EXPECT_EQ(v.serial.opens().back().line.stopBits, k.stopBits);
  }
  // A port already held elsewhere fails to open.
  auto held = link::OpenCommPort(v.env, 3, 0);
  EXPECT_FALSE(link::OpenCommPort(v.env, 3, 0));
}

// The (port, speed) of every attempt a scan made.
std::vector<std::pair<int, uint32_t>> Attempts(const VirtualEnv& v) {
  std::vector<std::pair<int, uint32_t>> out;
  for (const auto& o : v.serial.opens()) out.emplace_back(o.port, o.line.baud);
  return out;
}

TEST(RunCommandAttempts, ScanOrderWithoutTerminal) {
  struct Case {
    int startPort;
    std::vector<int> ports;
  };
  for (const Case& k : {Case{3, {3, 3, 4, 4, 5, 5, 6, 6, 1}}, Case{6, {6, 6, 1, 1, 2, 2, 3, 3, 4}},
                        Case{1, {1, 1, 2, 2, 3, 3, 4, 4, 5}}}) {
    VirtualEnv v;
    EXPECT_FALSE(link::RunCommandAttempts(v.env, 1, k.startPort, 0x00, Millis{1000}));
    auto attempts = Attempts(v);
    ASSERT_EQ(attempts.size(), 9u);
    for (size_t i = 0; i < attempts.size(); ++i) {
      EXPECT_EQ(attempts[i].first, k.ports[i]) << "attempt " << i;
      EXPECT_EQ(attempts[i].second, i % 2 == 0 ? 57600u : 19200u) << "attempt " << i;
    }
    // Nine waits that end just past the limit, each after the settling pause.
    EXPECT_GT(v.clock.Now(), 9 * Millis{1030});
    EXPECT_LT(v.clock.Now(), 9 * Millis{1050});
  }
}

TEST(RunCommandAttempts, FrameIsFiveWritesOfFourteenBytes) {
  testing::SerialRig rig({.address = 7}, 2);
  VirtualEnv& v = rig.v;
  ASSERT_TRUE(link::RunCommandAttempts(v.env, 7, 2, 0x0D, Millis{3000}));
  EXPECT_EQ(v.serial.HostBytes(2), Frame(7, 0x0D));
  EXPECT_EQ(v.serial.HostWrites(2), 5u);
}

TEST(TestCom, FindsTheTerminalWhereverItListens) {
  struct Case {
    const char* name;
    int terminalPort;
    uint32_t baud;
    int hostPort;
    int32_t expected;
    size_t attempts;
  };
  for (const Case& k : {
           Case{"host port, 57600", 3, 57600, 3, 3, 1},
           Case{"host port, 19200", 3, 19200, 3, 3, 2},
           Case{"next port, 57600", 4, 57600, 3, 4, 3},
           Case{"wraps to port 1", 1, 19200, 6, 1, 4},
           Case{"last attempt", 1, 57600, 3, 1, 9},
           Case{"never at 19200 on the ninth", 1, 19200, 3, -1, 9},
       }) {
    testing::SerialRig rig({.address = 1, .baud = k.baud}, k.terminalPort);
    VirtualEnv& v = rig.v;
    EXPECT_EQ(wpl::exports::PortOrNone(link::TestCom(v.env, 1, k.hostPort)), k.expected) << k.name;
    EXPECT_EQ(v.serial.opens().size(), k.attempts) << k.name;
  }
}

TEST(TestCom, OtherAddressAndStopBitsAreNotAnswered) {
  VirtualEnv v;
  TerminalModel other({.address = 2});
  TerminalModel twoStop({.address = 1, .stopBits = 2});
  v.serial.Attach(1, &other);
  v.serial.Attach(2, &twoStop);
  EXPECT_EQ(wpl::exports::PortOrNone(link::TestCom(v.env, 1, 1)), -1);
  // An address argument above 255 is sent by its low byte.
  EXPECT_EQ(wpl::exports::PortOrNone(link::TestCom(v.env, 0x102, 1)), 1);
}

TEST(ClearRecords, AcknowledgementLimitIsThreeSecondsStrict) {
  struct Case {
    AckFault fault;
    int delayMs;
    int32_t result;
    int clears;
  };
  for (const Case& k : {Case{AckFault::kLate, 2900, 0, 1}, Case{AckFault::kLate, 3000, 0, 1},
                        Case{AckFault::kLate, 3100, 1, 1}, Case{AckFault::kNone, 0, 0, 1},
                        Case{AckFault::kSilent, 0, 1, 0}}) {
    // Reachable only on the first attempt (port 2 at 57600). A terminal that
    // answers too late has still acted on the frame it heard.
    testing::SerialRig rig({.address = 1, .ackFault = k.fault, .ackDelay = Millis{k.delayMs}}, 2);
    VirtualEnv& v = rig.v;
    TerminalModel& t = rig.terminal;
    EXPECT_EQ(wpl::exports::DoneOrFailed(link::ClearRecords(v.env, 1, 2)), k.result) << k.delayMs;
    EXPECT_EQ(t.clears(), k.clears) << k.delayMs;
  }
}

TEST(ClearRecords, RefusalIsRetriedWithoutWaitingOutTheLimit) {
  for (AckFault fault : {AckFault::kNak, AckFault::kWrongSpeed}) {
    testing::SerialRig rig({.address = 1, .ackFault = fault}, 1);
    VirtualEnv& v = rig.v;
    TerminalModel& t = rig.terminal;
    for (int p = 2; p <= 6; ++p) v.serial.Attach(p, &t);
    EXPECT_EQ(wpl::exports::DoneOrFailed(link::ClearRecords(v.env, 1, 1)), 1);
    EXPECT_EQ(v.serial.opens().size(), 9u);
    // The refusals end each attempt at once; only the 19200 attempts, which
    // the terminal does not hear, wait out the 3 s.
    EXPECT_LT(v.clock.Now(), 4 * Millis{3000} + 9 * Millis{60});
    EXPECT_EQ(t.commands().size(), 5u);
  }
}

TEST(RunCommandAttempts, UnopenablePortsEndTheScan) {
  struct Case {
    const char* name;
    std::vector<int> absent;
    size_t attempts;
  };
  for (const Case& k : {Case{"all six absent", {1, 2, 3, 4, 5, 6}, 0},
                        Case{"one port present", {1, 2, 4, 5, 6}, 9}}) {
    VirtualEnv v;
    for (int p : k.absent) v.serial.SetAbsent(p);
    EXPECT_EQ(wpl::exports::PortOrNone(link::TestCom(v.env, 1, 3)), -1) << k.name;
    EXPECT_EQ(v.serial.opens().size(), k.attempts) << k.name;
  }
  VirtualEnv v;
  for (int p = 1; p <= 6; ++p) v.serial.SetAbsent(p);
  EXPECT_EQ(wpl::exports::DoneOrFailed(link::ClearRecords(v.env, 1, 3)), 1);
  EXPECT_EQ(v.serial.openAttempts(), link::kUnopenablePortLimit);
  EXPECT_EQ(v.clock.Now(), Nanos{0});
}

TEST(RunCommandAttempts, SkippedPortsDoNotCountAsAttempts) {
  VirtualEnv v;
  v.serial.SetAbsent(3);
  TerminalModel t({.address = 1, .baud = 19200});
  v.serial.Attach(4, &t);
  // Port 3 is skipped; port 4 answers on its second attempt.
  EXPECT_EQ(wpl::exports::PortOrNone(link::TestCom(v.env, 1, 3)), 4);
  EXPECT_EQ(Attempts(v), (std::vector<std::pair<int, uint32_t>>{{4, 57600}, {4, 19200}}));
}

TEST(WaitAck, FirstByteDecides) {
  testing::SerialRig rig({.address = 1, .ackFault = AckFault::kNak}, 1);
  VirtualEnv& v = rig.v;
  auto port = link::OpenCommPort(v.env, 1, 0);
  link::SendCommandFrame(*port, 1, 0);
  const Nanos before = v.clock.Now();
  EXPECT_FALSE(link::WaitAck(v.env, *port, Millis{1000}));
  EXPECT_LE(v.clock.Now() - before, Millis{5});
}

TEST(ReadBytes, SilenceLimitRestartsWhileBytesArrive) {
  // A terminal paced at 1200 baud sends its answers 8.3 ms apart; a silence
  // limit of 10 ms keeps reading, a total limit of 10 ms does not.
  for (auto kind : {link::LimitKind::kSilence, link::LimitKind::kTotal}) {
    testing::SerialRig rig({.address = 1, .baud = 1200, .pace = true}, 1);
    VirtualEnv& v = rig.v;
    auto port = link::OpenCommPortAtSpeed(v.env, 1, 1);
    for (int i = 0; i < 4; ++i) link::SendCommandFrame(*port, 1, 0);
    std::array<uint8_t, 8> buf{};
    size_t got = link::ReadBytes(v.env, *port, buf, 4, Millis{10}, kind);
    EXPECT_EQ(got, kind == link::LimitKind::kSilence ? 4u : 1u);
  }
}

// A driver that takes what its write timeout allows and returns: the rest
// is written again until the line has had time for every byte.
TEST(WriteFully, GoesOnWhileTheLineDrains) {
  EXPECT_EQ(LineTime(53, 1200, 1), Nanos{441'666'666});
  EXPECT_EQ(LineTime(12, 19200, 2), Nanos{6'875'000});
  EXPECT_EQ(LineTime(10, 0, 1), Nanos{0});
  struct Case {
    const char* what;
    int64_t perCall;  // bytes a call takes; -1 fails
    Millis callTime;  // how long a call lasts
    size_t written;
  };
  const Case cases[] = {
      // 5 ms + 5 ms a byte at 1200 baud: 32 bytes a call of 270 ms.
      {"slow line, cut short", 32, Millis{270}, 53},
      {"all at once", 53, Millis{1}, 53},
      {"stalled driver", 0, Millis{10}, 0},
      {"one byte then stalled", 1, Millis{600}, 1},
      {"failed write", -1, Millis{1}, 0},
  };
  for (const Case& k : cases) {
    const std::vector<uint8_t> bytes(53, 0x63);
    Nanos now{0};
    int calls = 0;
    auto writeSome = [&](std::span<const uint8_t> rest) -> int64_t {
      ++calls;
      now += k.callTime;
      if (k.perCall < 0) return -1;
      if (k.perCall == 1 && calls > 1) return 0;
      return std::min<int64_t>(k.perCall, static_cast<int64_t>(rest.size()));
    };
    const Nanos limit = LineTime(bytes.size(), 1200, 1) + kWriteMargin;
    EXPECT_EQ(WriteFully(bytes, limit, writeSome, [&] { return now; }), k.written) << k.what;
    // Never longer than the limit and one call past it.
    EXPECT_LE(now, limit + k.callTime) << k.what;
  }
}

}  // namespace
}  // namespace wpl
