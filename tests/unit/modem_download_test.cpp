#include "download/modem_download.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <string>

#include "byte_lists.h"
#include "download/packets.h"
#include "exports/results.h"
#include "file_contents.h"
#include "link/command_frame.h"
#include "modem.h"
#include "rigs.h"

namespace wpl {
namespace {

using download::ModemReport;
using sim::AckFault;
using sim::DialResult;
using sim::DownloadFaults;
using sim::EndFault;
using sim::ModemConfig;
using sim::ModemModel;
using sim::PacketFault;
using sim::TerminalConfig;
using sim::TerminalModel;
using testing::Join;
using testing::Repeat;
using testing::VirtualEnv;

constexpr uint8_t kCan = 0x18, kResend = 0xF9, kReady = 0x15, kAck = 0x06;
constexpr const char* kNumber = "5551234";

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// The host's writes, in order, across every port.
std::vector<testing::WireChunk> HostWrites(const VirtualEnv& v) {
  std::vector<testing::WireChunk> out;
  for (const auto& c : v.serial.wire())
    if (c.fromHost) out.push_back(c);
  return out;
}

// Index of the first host write equal to `bytes` at or after `from`.
size_t FindWrite(const std::vector<testing::WireChunk>& w, std::string_view bytes,
                 size_t from = 0) {
  for (size_t i = from; i < w.size(); ++i)
    if (w[i].bytes == Bytes(bytes)) return i;
  return w.size();
}

// `modem` on port 3, every other port absent unless a test says otherwise.
void ModemOnPort3(VirtualEnv& v, sim::LinePeer& modem) {
  for (int p = 1; p <= 6; ++p) v.serial.SetAbsent(p);
  v.serial.SetAbsent(3, false);
  v.serial.Attach(3, &modem);
}

// A modem on port 3 whose directory reaches one terminal, plus numbers that
// do not connect.
struct ModemRig : testing::SerialRig {
  explicit ModemRig(TerminalConfig terminalConfig = {}, ModemConfig modemConfig = {})
      : SerialRig(std::move(terminalConfig)),
        modem(modemConfig, {{kNumber, DialResult::kConnect, &terminal},
                            {"5550000", DialResult::kNoCarrier},
                            {"5550001", DialResult::kBusy},
                            {"5550002", DialResult::kSilent}}) {
    ModemOnPort3(v, modem);
    modem.SetLog([this](Nanos now, const std::string& text) {
      if (text.starts_with("DTR dropped")) dtrDroppedAt = now;
    });
  }
  void Load(uint32_t records) {
    terminal.records() = sim::GenerateRecords(records, 9);
    loaded = terminal.records();
  }
  ModemReport Run(const char* number = kNumber, int port = 3) {
    return download::ModemDownload(v.env, 1, port, number);
  }
  // The host's bytes after the download frame: the transfer's answers (in
  // place of the serial rig's rendering of what followed the first frame).
  std::vector<uint8_t> AfterFrame() const {
    const auto all = v.serial.HostBytes(3);
    const auto frame = link::BuildCommandFrame(1, link::cmd::kDownload);
    const auto it = std::search(all.begin(), all.end(), frame.begin(), frame.end());
    if (it == all.end()) return {};
    return {it + static_cast<ptrdiff_t>(frame.size()), all.end()};
  }

  ModemModel modem;
  std::vector<uint8_t> loaded;
  Nanos dtrDroppedAt{-1};
};

TEST(ModemDownload, RecordsThroughTheModemAndTheTerminalKeepsThem) {
  ModemRig rig;
  rig.Load(100);  // 4 packets
  const auto report = rig.Run();
  EXPECT_EQ(wpl::exports::DoneOrFailed(report), 0);
  EXPECT_EQ(report.port, 3);
  EXPECT_TRUE(report.connected);
  EXPECT_EQ(report.dialReply, "CONNECT 14400");
  EXPECT_EQ(rig.File("pclog.dat"), rig.loaded);
  EXPECT_EQ(rig.File("pclog.txt").size(), 100u * 23);
  // Never cleared, and never sent a hang-up command: "AT Q1" and "AT V0"
  // went to the terminal in data mode.
  EXPECT_EQ(rig.terminal.commands(), std::vector<uint8_t>{link::cmd::kDownload});
  EXPECT_EQ(rig.terminal.records(), rig.loaded);
  EXPECT_EQ(rig.modem.commands(),
            (std::vector<std::string>{"AT E0", "AT V1", "AT Q0", "AT DT5551234"}));
  // Ready byte, ACK for the header and the 4 packets, ACK for the end packet.
  EXPECT_EQ(rig.AfterFrame(), Join({{kReady}, Repeat(kAck, 6)}));
  // The port closed once, 1 s after the last answer; the window before the
  // conversion.
  EXPECT_EQ(rig.modem.dtrDrops(), 1);
  EXPECT_FALSE(rig.modem.connected());
  EXPECT_EQ(rig.dtrDroppedAt - HostWrites(rig.v).back().at, Millis{1000});
  EXPECT_EQ(rig.v.ui.windowsOpened, 1);
  EXPECT_EQ(rig.v.ui.windowsOpen, 0);
  EXPECT_EQ(rig.v.ui.positions, (std::vector<int>{28, 56, 84, 100}));
}

TEST(ModemDownload, CommandsGoOutAsTextPauseCarriageReturn) {
  ModemRig rig;
  rig.Load(3);
  ASSERT_EQ(wpl::exports::DoneOrFailed(rig.Run()), 0);
  const auto w = HostWrites(rig.v);
  struct Step {
    std::string_view bytes;
    Millis afterPrevious;  // -1: not fixed (the reply before it decides)
  };
  const std::string frameHead(link::kSignature.begin(), link::kSignature.end());
  const Step steps[] = {
      {"AT E0", Millis{-1}}, {"\r", Millis{60}},      {"AT V1", Millis{-1}}, {"\r", Millis{60}},
      {"AT Q0", Millis{-1}}, {"\r", Millis{60}},      {"AT DT", Millis{-1}}, {kNumber, Millis{60}},
      {"\r", Millis{60}},    {"AT Q1", Millis{-1}},   {"\r", Millis{40}},    {"AT V0", Millis{-1}},
      {"\r", Millis{40}},    {frameHead, Millis{-1}}, {"\x01", Millis{10}},  {"\xFE", Millis{0}},
      {"\x01", Millis{0}},   {"\xFE", Millis{0}},
  };
  ASSERT_GE(w.size(), std::size(steps));
  for (size_t i = 0; i < std::size(steps); ++i) {
    EXPECT_EQ(w[i].bytes, Bytes(steps[i].bytes)) << "write " << i;
    EXPECT_EQ(w[i].line.baud, 9600u);
    if (steps[i].afterPrevious >= Millis{0}) {
      EXPECT_EQ(w[i].at - w[i - 1].at, steps[i].afterPrevious) << "write " << i;
    }
  }
}

// A modem that answers each command line (at its CR) and the download frame
// from a table, after a delay; a command missing from the table is met with
// silence.
class ScriptedModem : public sim::LinePeer {
 public:
  struct Reply {
    std::string bytes;
    Millis delay{0};
  };
  std::map<std::string, Reply> replies = {{"AT E0", {"\r\nOK\r\n"}},
                                          {"AT V1", {"\r\nOK\r\n"}},
                                          {"AT Q0", {"\r\nOK\r\n"}},
                                          {"AT H0", {"\r\nOK\r\n"}},
                                          {"AT DT5551234", {"\r\nCONNECT 9600\r\n"}},
                                          {"frame", {"\x06"}}};
  std::vector<std::string> heard;
  int closes = 0;
  Nanos closedAt{0};

  void Receive(std::span<const uint8_t> bytes, sim::LineState, Nanos now) override {
    for (uint8_t b : bytes) {
      line_ += static_cast<char>(b);
      if (b == '\r') {
        Answer(line_.substr(0, line_.size() - 1), now);
      } else if (line_.size() >= link::kFrameSize &&
                 line_.compare(line_.size() - link::kFrameSize, 10, "KORVANEMZT") == 0) {
        Answer("frame", now);
      }
    }
  }
  size_t Transmit(std::span<uint8_t> out, Nanos now) override {
    size_t n = 0;
    while (n < out.size() && !out_.empty() && out_.front().first <= now) {
      out[n++] = out_.front().second;
      out_.pop_front();
    }
    return n;
  }
  std::optional<Nanos> NextDue() const override {
    if (out_.empty()) return std::nullopt;
    return out_.front().first;
  }
  bool Accepts(sim::LineState) const override { return true; }
  void HostClosed(Nanos now) override {
    ++closes;
    closedAt = now;
    out_.clear();
    line_.clear();
  }

 private:
  void Answer(const std::string& key, Nanos now) {
    heard.push_back(key);
    line_.clear();
    const auto it = replies.find(key);
    if (it == replies.end()) return;
    for (char c : it->second.bytes) out_.push_back({now + it->second.delay, c});
  }
  std::string line_;
  std::deque<std::pair<Nanos, uint8_t>> out_;
};

struct ScriptRig {
  ScriptRig() { ModemOnPort3(v, modem); }
  ModemReport Run() { return download::ModemDownload(v.env, 1, 3, kNumber); }
  VirtualEnv v;
  ScriptedModem modem;
};

// Each reply is read against a total limit counted from the start of its
// read, which begins 1 ms after the carriage return (the ACK's at once after
// the frame). A complete reply 10 ms before the limit ends the wait then; a
// silent modem is waited for the whole limit, and not much longer.
TEST(ModemDownload, ReplyLimitsBothSides) {
  struct Case {
    std::string key;  // the command (or "frame") whose reply is tested
    Millis limit;
    Millis slack;  // what the host does after a silent wait: reopening takes 30 ms
  };
  const Case cases[] = {
      {"AT E0", Millis{8000}, Millis{50}}, {"AT V1", Millis{6000}, Millis{15}},
      {"AT Q0", Millis{8000}, Millis{15}}, {"AT DT5551234", Millis{30000}, Millis{15}},
      {"AT H0", Millis{6000}, Millis{15}}, {"frame", Millis{3000}, Millis{50}},
  };
  for (const Case& k : cases) {
    for (const bool silent : {false, true}) {
      ScriptRig rig;
      const Millis pause{k.key == "frame" ? 0 : 1};
      // The hang-up follows a dial that failed.
      if (k.key == "AT H0") rig.modem.replies["AT DT5551234"] = {"\r\nBUSY\r\n"};
      if (silent) {
        rig.modem.replies.erase(k.key);
      } else {
        rig.modem.replies[k.key].delay = pause + k.limit - Millis{10};
      }
      const auto report = rig.Run();
      // The wait: from the write that ends the command (its CR, the frame's
      // last byte) to the host's next write, or to its closing pause.
      const auto w = HostWrites(rig.v);
      const std::string frameHead(link::kSignature.begin(), link::kSignature.end());
      size_t i = 0;
      for (const auto& key : rig.modem.heard) {
        i = key == "frame" ? FindWrite(w, frameHead, i) + 4 : FindWrite(w, "\r", i);
        if (key == k.key) break;
        ++i;
      }
      ASSERT_LT(i, w.size()) << k.key;
      const Nanos next = i + 1 < w.size() ? w[i + 1].at : rig.modem.closedAt - Millis{1000};
      const Nanos wait = next - w[i].at;
      const std::string what = k.key + (silent ? " silent" : " in time");
      if (silent) {
        EXPECT_GT(wait, pause + k.limit) << what;
        EXPECT_LE(wait, pause + k.limit + k.slack) << what;
      } else {
        EXPECT_GE(wait, pause + k.limit - Millis{10}) << what;
        EXPECT_LT(wait, pause + k.limit) << what;
      }
      // What a missing reply means: another port for "AT E0", a hang-up for
      // the dial, a new dialogue on another port for the frame.
      const std::string second = rig.modem.heard.size() > 1 ? rig.modem.heard[1] : "";
      if (k.key == "AT E0") {
        EXPECT_EQ(second == "AT V1", !silent) << what;
      } else if (k.key == "AT DT5551234") {
        EXPECT_EQ(report.connected, !silent) << what;
      } else if (k.key == "frame") {
        EXPECT_EQ(report.port == 3, !silent) << what;
      }
    }
  }
}

TEST(ModemDownload, ReplyIsJudgedByItsOwnBytes) {
  struct Case {
    const char* name;
    std::string e0, dial;
    bool connected;
  };
  const Case cases[] = {
      // Any 6 bytes pass "AT E0"; 5 do not.
      {"any six bytes", "xxxxxx", "\r\nCONNECT 9600\r\n", true},
      {"five bytes", "\r\nOK\r", "\r\nCONNECT 9600\r\n", false},
      // The connect test looks at bytes 2 to 8 only.
      {"connect, no speed", "\r\nOK\r\n", "\r\nCONNECT\r\n", true},
      {"connect at byte 0", "\r\nOK\r\n", "CONNECT 9600\r\n\r\n", false},
      {"no carrier", "\r\nOK\r\n", "\r\nNO CARRIER\r\n", false},
      // Echo and a long reply: what is left of one reply is not the next.
      {"echo, long connect", "AT E0\r\r\nOK\r\n", "\r\nCONNECT 115200/V42bis\r\n", true},
  };
  for (const Case& k : cases) {
    ScriptRig rig;
    rig.modem.replies["AT E0"] = {k.e0};
    rig.modem.replies["AT DT5551234"] = {k.dial};
    rig.modem.replies["AT Q0"] = {"\r\nOK\r\n\x06"};  // a stray ACK, dropped too
    const auto report = rig.Run();
    EXPECT_EQ(report.connected, k.connected) << k.name;
    // The ACK the terminal sends is the one the frame gets.
    EXPECT_EQ(report.port, k.connected ? 3 : 0) << k.name;
  }
}

TEST(ModemDownload, ModemFailureCounterOverUnopenedPortsAndSilentModems) {
  struct Case {
    const char* name;
    std::vector<int> silent;  // ports with a modem that says nothing; the rest absent
    int opens, failures;
  };
  const Case cases[] = {
      // A seventh port that does not open passes 6.
      {"no port opens", {}, 0, 7},
      // A sixth silent modem passes 5.
      {"six silent modems", {1, 2, 3, 4, 5, 6}, 6, 6},
      // One counter for both: port 3 absent, then five silent modems.
      {"absent then silent", {1, 2, 4, 5, 6}, 5, 6},
      // Port 3 silent (1), 4, 5, 6, 1, 2 absent (2 to 6), 3 silent again (7).
      {"one silent modem", {3}, 2, 7},
  };
  for (const Case& k : cases) {
    VirtualEnv v;
    std::deque<ScriptedModem> modems;
    for (int p = 1; p <= 6; ++p) v.serial.SetAbsent(p);
    for (int p : k.silent) {
      v.serial.SetAbsent(p, false);
      v.serial.Attach(p, &modems.emplace_back());
      modems.back().replies.clear();
    }
    const auto report = download::ModemDownload(v.env, 1, 3, kNumber);
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), 1) << k.name;
    EXPECT_EQ(static_cast<int>(v.serial.opens().size()), k.opens) << k.name;
    int echoOffs = 0;
    for (const auto& m : modems) {
      for (const auto& key : m.heard) echoOffs += key == "AT E0";
      EXPECT_EQ(m.closes, static_cast<int>(m.heard.size())) << k.name;
    }
    // Every port that opened heard "AT E0" and nothing after it.
    EXPECT_EQ(echoOffs, k.opens) << k.name;
    EXPECT_EQ(report.modemFailures, k.failures) << k.name;
    EXPECT_TRUE(std::filesystem::exists(v.env.dataDir + "pclog.txt")) << k.name;
    EXPECT_EQ(v.ui.windowsOpen, 0) << k.name;
  }
}

TEST(ModemDownload, UnansweredFrameDialsAgainOnTheNextPort) {
  for (const bool secondAnswers : {true, false}) {
    VirtualEnv v;
    TerminalModel silent({.ackFault = AckFault::kSilent});
    TerminalModel second({.ackFault = secondAnswers ? AckFault::kNone : AckFault::kSilent});
    second.records() = sim::GenerateRecords(30, 4);
    ModemModel modem3({}, {{kNumber, DialResult::kConnect, &silent}});
    ModemModel modem4({}, {{kNumber, DialResult::kConnect, &second}});
    v.serial.Attach(3, &modem3);
    v.serial.Attach(4, &modem4);
    const auto report = download::ModemDownload(v.env, 1, 3, kNumber);
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), secondAnswers ? 0 : 1);
    EXPECT_EQ(report.port, secondAnswers ? 4 : 0);
    EXPECT_EQ(report.frameAttempts, 2);
    // A whole new dialogue on port 4; no third port after two frames.
    EXPECT_EQ(modem4.commands(), modem3.commands());
    EXPECT_EQ(modem4.commands().size(), 4u);
    EXPECT_EQ(v.serial.opens().size(), 2u);
    EXPECT_EQ(modem3.dtrDrops(), 1);
    EXPECT_EQ(modem4.dtrDrops(), 1);
    EXPECT_EQ(v.File("pclog.dat") == second.records(), secondAnswers);
  }
}

TEST(ModemDownload, DialWithoutConnectHangsUp) {
  struct Case {
    const char* number;
    std::string reply;
    Millis atLeast;  // a reply shorter than 16 bytes is waited for 30 s
  };
  const Case cases[] = {
      {"5550000", "NO CARRIER", Millis{30000}},
      {"5550001", "BUSY", Millis{30000}},
      {"5550002", "", Millis{30000}},
      {"5559999", "NO CARRIER", Millis{30000}},  // not in the directory
  };
  for (const Case& k : cases) {
    ModemRig rig;
    rig.Load(10);
    const auto report = rig.Run(k.number);
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), 1) << k.number;
    EXPECT_FALSE(report.connected) << k.number;
    EXPECT_EQ(report.dialReply, k.reply) << k.number;
    ASSERT_FALSE(rig.modem.commands().empty());
    EXPECT_EQ(rig.modem.commands().back(), "AT H0") << k.number;
    EXPECT_GE(rig.v.clock.Now(), k.atLeast) << k.number;
    EXPECT_EQ(rig.modem.dtrDrops(), 1) << k.number;
    EXPECT_TRUE(rig.terminal.commands().empty()) << k.number;
    // Converted all the same: an empty record file, an empty text.
    EXPECT_TRUE(rig.Exists("pclog.txt")) << k.number;
    EXPECT_EQ(rig.v.ui.windowsOpen, 0) << k.number;
  }
}

TEST(ModemDownload, TelephoneNumbers) {
  struct Case {
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {"5551234", true},
      {"0,,W 555-1234 *70#", true},
      {"12345678901234567890123456789012", true},  // 32 characters
      {"123456789012345678901234567890123", false},
      {"", false},
      {"555\r1234", false},
      {"555\n", false},
      {"\x1B", false},
      {"555\x7F", false},
      {"555\x8D", false},  // a CR to a modem that ignores the eighth bit
  };
  for (const Case& k : cases) {
    const auto n = download::TelephoneNumber(k.text);
    EXPECT_EQ(n.has_value(), k.valid) << k.text;
    EXPECT_EQ(n.value_or(""), k.valid ? k.text : "") << k.text;
  }
  EXPECT_FALSE(download::TelephoneNumber(nullptr));

  // A number that cannot be dialled: nothing is touched at all.
  for (const char* number : {static_cast<const char*>(nullptr), "", "555\r1234"}) {
    ModemRig rig;
    EXPECT_EQ(wpl::exports::DoneOrFailed(rig.Run(number)), 1);
    EXPECT_EQ(rig.v.serial.openAttempts(), 0);
    EXPECT_EQ(rig.v.ui.windowsOpened, 0);
    EXPECT_TRUE(rig.v.ui.messages.empty());
    EXPECT_FALSE(rig.Exists("pclog.dat"));
    EXPECT_FALSE(rig.Exists("pclog.txt"));
  }

  // 32 characters are dialled whole.
  ModemRig rig;
  const std::string longest = "12345678901234567890123456789012";
  rig.modem = ModemModel({}, {{longest, DialResult::kConnect, &rig.terminal}});
  EXPECT_EQ(wpl::exports::DoneOrFailed(rig.Run(longest.c_str())), 0);
  EXPECT_EQ(rig.modem.commands().back(), "AT DT" + longest);
}

TEST(ModemDownload, UncreatableRecordFileShowsNoWindowAndOpensNoPort) {
  ModemRig rig;
  std::filesystem::create_directory(rig.v.env.dataDir + "pclog.dat");
  EXPECT_EQ(wpl::exports::DoneOrFailed(rig.Run()), 1);
  EXPECT_EQ(rig.v.serial.openAttempts(), 0);
  EXPECT_EQ(rig.v.ui.windowsOpened, 0);
  ASSERT_FALSE(rig.v.ui.messages.empty());
  EXPECT_EQ(rig.v.ui.messages.front().text, "can not creat pclog.dat!");
  EXPECT_EQ(rig.v.ui.messages.front().title, "Open Error");
}

// The transfer behind the modem, against the direct line's rules.
TEST(ModemDownload, TransferTable) {
  struct Case {
    const char* name;
    DownloadFaults faults;
    int32_t result;
    std::vector<uint8_t> answers;  // host bytes after the frame
    bool allData;
  };
  const auto packet = [](uint32_t n, PacketFault f, int times) {
    return DownloadFaults{.packets = {{n, {f, times}}}};
  };
  const auto end = [](EndFault f, int times) {
    return DownloadFaults{.end = f, .endTimes = times};
  };
  const Case cases[] = {
      {"complete", {}, 0, Join({{kReady}, Repeat(kAck, 5)}), true},
      // Only type 2 is a header here.
      {"header type 3 once", packet(0, PacketFault::kHeaderType3, 1), 0,
       Join({{kReady}, {kResend}, Repeat(kAck, 5)}), true},
      {"header type 3 always", packet(0, PacketFault::kHeaderType3, 16), 1,
       Join({{kReady}, Repeat(kResend, 15), {kCan}}), false},
      // A repeat is answered 0x15, not ACK.
      {"repeat", packet(2, PacketFault::kRepeatPrevious, 1), 0,
       Join({{kReady}, Repeat(kAck, 2), {kReady}, Repeat(kAck, 3)}), true},
      // Packets that bring nothing new are answered only so long.
      {"repeats without end", packet(2, PacketFault::kRepeatPrevious, 1000), 1,
       Join({{kReady}, Repeat(kAck, 2), Repeat(kReady, 31), {kCan}}), false},
      {"wrong sequence without end", packet(2, PacketFault::kSkipSequence, 1000), 1,
       Join({{kReady}, Repeat(kAck, 2), Repeat(kReady, 31), {kCan}}), false},
      // A length above 168 is a failed check, read no further than 174.
      {"length above 168", packet(2, PacketFault::kOversize, 1), 0,
       Join({{kReady}, Repeat(kAck, 2), {kResend}, Repeat(kAck, 3)}), true},
      {"short 30 times", packet(2, PacketFault::kShort, 30), 0,
       Join({{kReady}, Repeat(kAck, 2), Repeat(kResend, 30), Repeat(kAck, 3)}), true},
      {"bad 16 times", packet(2, PacketFault::kBadChecksum, 16), 1,
       Join({{kReady}, Repeat(kAck, 2), Repeat(kResend, 15), {kCan}}), false},
      // The end packet is asked for again 15 times, then CAN.
      {"end bad 15 times", end(EndFault::kBadPacket, 15), 0,
       Join({{kReady}, Repeat(kAck, 4), Repeat(kResend, 15), {kAck}}), true},
      {"end bad 16 times", end(EndFault::kBadPacket, 16), 1,
       Join({{kReady}, Repeat(kAck, 4), Repeat(kResend, 15), {kCan}}), true},
      {"wrong total", end(EndFault::kWrongTotal, 1), 1, Join({{kReady}, Repeat(kAck, 4), {kReady}}),
       true},
      // Nothing is awaited after the end packet, so a byte after it costs
      // no 16 s.
      {"byte after the end packet", end(EndFault::kTrailingByte, 1), 0,
       Join({{kReady}, Repeat(kAck, 5)}), true},
  };
  for (const Case& k : cases) {
    ModemRig rig({.downloadFaults = k.faults});
    rig.Load(60);  // 168 + 168 + 24 payload bytes
    const auto report = rig.Run();
    EXPECT_EQ(wpl::exports::DoneOrFailed(report), k.result) << k.name;
    EXPECT_EQ(rig.AfterFrame(), k.answers) << k.name;
    EXPECT_EQ(rig.File("pclog.dat") == rig.loaded, k.allData) << k.name;
    EXPECT_EQ(rig.File("pclog.txt").size(), rig.File("pclog.dat").size() / 6 * 23) << k.name;
    EXPECT_EQ(rig.terminal.clears(), 0) << k.name;
    // The port closes once, 1 s after the last answer.
    EXPECT_EQ(rig.modem.dtrDrops(), 1) << k.name;
    EXPECT_EQ(rig.dtrDroppedAt - HostWrites(rig.v).back().at, Millis{1000}) << k.name;
  }
}

TEST(ModemDownload, RepeatAnsweredAfterOneMillisecond) {
  ModemRig rig({.downloadFaults = {.packets = {{2, {PacketFault::kRepeatPrevious, 1}}}}});
  rig.Load(60);
  ASSERT_EQ(wpl::exports::DoneOrFailed(rig.Run()), 0);
  // The host's answers and the terminal's last byte before each.
  Nanos lastIn{0};
  std::vector<Nanos> gaps;
  int frameBytes = -1;  // single bytes of the frame still to come
  for (const auto& c : rig.v.serial.wire()) {
    if (!c.fromHost) {
      lastIn = c.at;
    } else if (c.bytes.size() == link::kSignature.size()) {
      frameBytes = 4;
    } else if (frameBytes > 0) {
      --frameBytes;
    } else if (frameBytes == 0) {
      gaps.push_back(c.at - lastIn);
    }
  }
  // ready, header, packet 1, the repeat, packets 2 and 3, end.
  ASSERT_GE(gaps.size(), 4u);
  EXPECT_EQ(gaps[2], Nanos{0});
  EXPECT_EQ(gaps[3], Millis{1});
}

}  // namespace
}  // namespace wpl
