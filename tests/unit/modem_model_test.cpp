// The simulated modem the modem download is tested against: its answers in
// command mode, its dial directory, the data mode and the hang-up.
#include <gtest/gtest.h>

#include <string>

#include "download/packets.h"
#include "link/command_frame.h"
#include "modem.h"

namespace wpl::sim {
namespace {

constexpr LineState kHostLine{9600, 1};

struct Rig {
  explicit Rig(ModemConfig config = {})
      : modem(config, {{"5551234", DialResult::kConnect, &terminal},
                       {"5550000", DialResult::kNoCarrier},
                       {"5550001", DialResult::kBusy},
                       {"5550002", DialResult::kSilent}}) {}
  // Types `text` at `now` and returns what the modem sent within 5 s.
  std::string Type(const std::string& text, LineState line = kHostLine) {
    modem.Receive(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), line, now);
    now += Millis{5000};
    uint8_t buf[512];
    const size_t n = modem.Transmit(buf, now);
    return std::string(buf, buf + n);
  }
  TerminalModel terminal{TerminalConfig{}};
  ModemModel modem;
  Nanos now{0};
};

TEST(ModemModel, CommandModeAnswers) {
  struct Case {
    const char* name;
    bool echo;
    std::vector<std::pair<std::string, std::string>> exchange;  // typed, answered
  };
  const Case cases[] = {
      {"plain", false, {{"AT\r", "\r\nOK\r\n"}, {"at e0 v1 q0\r", "\r\nOK\r\n"}}},
      {"echo until E0", true, {{"AT E0\r", "AT E0\r\r\nOK\r\n"}, {"AT V1\r", "\r\nOK\r\n"}}},
      {"echo on again", false, {{"ATE1\r", "\r\nOK\r\n"}, {"AT\r", "AT\r\r\nOK\r\n"}}},
      {"numeric results",
       false,
       {{"AT V0\r", "0\r"}, {"AT X\r", "4\r"}, {"AT V1\r", "\r\nOK\r\n"}}},
      {"quiet", false, {{"AT Q1\r", ""}, {"AT DT5550000\r", ""}, {"AT Q0\r", "\r\nOK\r\n"}}},
      {"unknown command", false, {{"AT X\r", "\r\nERROR\r\n"}}},
      {"not a command", false, {{"hello\r", ""}, {"\r", ""}}},
      {"line too long", false, {{"AT" + std::string(70, ' ') + "\r", "\r\nERROR\r\n"}}},
      {"backspace", false, {{"AT Y\b\r", "\r\nOK\r\n"}}},
      {"no carrier", false, {{"AT DT5550000\r", "\r\nNO CARRIER\r\n"}, {"AT\r", "\r\nOK\r\n"}}},
      {"not in the directory", false, {{"AT DT999\r", "\r\nNO CARRIER\r\n"}}},
      {"busy", false, {{"ATDP 555-0001\r", "\r\nBUSY\r\n"}}},
      {"silent", false, {{"AT DT5550002\r", ""}, {"AT H0\r", "\r\nOK\r\n"}}},
      {"connect", false, {{"AT DT555 1234\r", "\r\nCONNECT 14400\r\n"}}},
  };
  for (const Case& k : cases) {
    Rig rig({.echo = k.echo});
    for (const auto& [typed, answer] : k.exchange)
      EXPECT_EQ(rig.Type(typed), answer) << k.name << ": " << typed;
  }
}

TEST(ModemModel, OtherSpeedsAreNotHeard) {
  Rig rig;
  EXPECT_EQ(rig.Type("AT\r", {19200, 1}), "");
  EXPECT_EQ(rig.Type("AT\r", {9600, 2}), "");
  EXPECT_EQ(rig.Type("AT\r"), "\r\nOK\r\n");
  EXPECT_FALSE(rig.modem.Accepts({57600, 1}));
}

TEST(ModemModel, DataModePacedAtTheLineAndEndedByDtr) {
  Rig rig({.connectSpeed = 0, .dialTime = Millis{300}});
  rig.terminal.records() = GenerateRecords(2, 1);
  rig.modem.Receive(std::span(reinterpret_cast<const uint8_t*>("AT DT5551234\r"), 13), kHostLine,
                    Nanos{0});
  EXPECT_TRUE(rig.modem.connected());
  // The result comes after the dial time, a byte every 1/960 s.
  const Nanos byte{10'000'000'000LL / 9600};
  EXPECT_EQ(rig.modem.NextDue(), Millis{300} + byte);

  // "AT Q1" in data mode is the terminal's, which ignores it; the frame is
  // answered, the header follows the ready byte, paced at the host's line.
  const auto frame = link::BuildCommandFrame(1, link::cmd::kDownload);
  std::string data = "AT Q1\r";
  data.append(frame.begin(), frame.end());
  rig.modem.Receive(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()),
                    kHostLine, Millis{400});
  const uint8_t ready = download::kReady;
  rig.modem.Receive(std::span(&ready, 1), kHostLine, Millis{401});
  std::vector<std::pair<Nanos, uint8_t>> got;
  for (Nanos t{0}; t < Millis{500}; t += Nanos{100'000}) {
    uint8_t b[16];
    const size_t n = rig.modem.Transmit(b, t);
    for (size_t i = 0; i < n; ++i) got.push_back({t, b[i]});
  }
  const std::string connect = "\r\nCONNECT\r\n";
  ASSERT_EQ(got.size(), connect.size() + 1 + download::kHeaderSize);
  EXPECT_EQ(got[connect.size()].second, link::kAck);
  for (size_t i = connect.size() + 2; i < got.size(); ++i)
    EXPECT_GE(got[i].first - got[i - 1].first, byte - Nanos{100'000});
  EXPECT_EQ(rig.terminal.commands(), std::vector<uint8_t>{link::cmd::kDownload});
  EXPECT_EQ(rig.modem.commands(), std::vector<std::string>{"AT DT5551234"});

  // DTR drops: the call ends, commands are heard again, echo as at power-on.
  rig.modem.HostClosed(Millis{600});
  EXPECT_FALSE(rig.modem.connected());
  EXPECT_EQ(rig.modem.dtrDrops(), 1);
  rig.now = Millis{700};
  EXPECT_EQ(rig.Type("AT\r"), "\r\nOK\r\n");
}

TEST(ModemModel, LogTellsCommandsFramesAndHangUps) {
  Rig rig;
  std::vector<std::string> log;
  rig.modem.SetLog([&](Nanos, const std::string& text) { log.push_back(text); });
  rig.Type("AT H0\r");
  rig.Type("AT DT5551234\r");
  const auto frame = link::BuildCommandFrame(1, link::cmd::kClearRecords);
  rig.modem.Receive(frame, kHostLine, rig.now);
  rig.modem.HostClosed(rig.now);
  EXPECT_EQ(log,
            (std::vector<std::string>{
                "command AT H0", "command AT DT5551234", "dial 5551234: CONNECT 14400",
                "terminal 5551234: command 0x0D", "DTR dropped: hang-up, call to 5551234 ended"}));
}

}  // namespace
}  // namespace wpl::sim
