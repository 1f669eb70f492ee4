// The fingerprint module link and the templates by ID: packets and keys from
// the protocol's byte examples, then every export against a terminal model
// whose line passes to its module at 9600, in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "byte_lists.h"
#include "exports/results.h"
#include "faulty_files.h"
#include "file_contents.h"
#include "fingerprint/module_link.h"
#include "fingerprint/templates.h"
#include "memory_file.h"
#include "rigs.h"

namespace wpl {
namespace {

using fingerprint::TemplateId;
using sim::AckFault;
using sim::Answer;
using sim::ModuleFaults;
using sim::TerminalConfig;
using sim::TerminalModel;
using testing::Hex;
using testing::VirtualEnv;
using Bytes = std::vector<uint8_t>;

constexpr int kPort = 2;

TEST(ModulePacket, BytesOfTheRequest) {
  struct Case {
    uint8_t command;
    fingerprint::ModuleParams params;
    std::string bytes;
  };
  const Case cases[] = {
      {0x05, {}, "00 05 00 00 00 00 00 00 00 00 00 05"},
      {0x7D, {}, "00 7D 00 00 00 00 00 00 00 00 00 7D"},
      {0x42, {0x1234, 0, 0, 0}, "00 42 34 12 00 00 00 00 00 00 00 88"},
      {0x71, {0, 0, 816, 0}, "00 71 00 00 00 00 30 03 00 00 00 A4"},
      {0x73, {0x3825, 0, 0, 0}, "00 73 25 38 00 00 00 00 00 00 00 D0"},
      // The sum wraps modulo 256.
      {0xFF, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, "00 FF FF FF FF FF FF FF FF FF 00 F7"},
  };
  for (const Case& k : cases)
    EXPECT_EQ(Hex(fingerprint::BuildModulePacket(k.command, k.params)), k.bytes);
}

TEST(ModulePacket, ReplyHeaderLengthAndStatus) {
  struct Case {
    Bytes header;
    uint32_t length;
    uint8_t status;
  };
  const Case cases[] = {
      {{0, 0x7D, 0, 0, 0, 0, 0x04, 0x00, 0x00, 0x00, 0x2A, 0}, 4, 0x2A},
      // Byte 9 takes no part in the length; 24 bits, byte 6 lowest.
      {{0, 0, 0, 0, 0, 0, 0x04, 0x00, 0x00, 0xFF, 0x00, 0}, 4, 0},
      {{0, 0, 0, 0, 0, 0, 0x30, 0x03, 0x00, 0x00, 0xFF, 0}, 816, 0xFF},
      {{0, 0, 0, 0, 0, 0, 0x01, 0x02, 0x03, 0x04, 0x05, 0}, 0x030201, 5},
  };
  for (const Case& k : cases) {
    const auto h = fingerprint::ParseReplyHeader(std::span<const uint8_t, 12>(k.header));
    EXPECT_EQ(h.dataLength, k.length);
    EXPECT_EQ(h.status, k.status);
    EXPECT_EQ(h.Fits(), k.length <= 1592);
  }
}

TEST(TemplateKey, KeysListLinesAndFileNames) {
  struct Case {
    int32_t user, attribute, number;
    std::string keyBytes, line, file;
  };
  const Case cases[] = {
      {37, 3, 2, "25 38", "0000370302", "FP0037_2.TXT"},
      {37, 0, 2, "25 08", "0000370002", "FP0037_2.TXT"},
      {1, 0, 1, "01 00", "0000010001", "FP0001_1.TXT"},
      {2047, 15, 2, "FF FF", "0020471502", "FP2047_2.TXT"},
      {0, 0, 1, "00 00", "0000000001", "FP0000_1.TXT"},
      // The attribute counts by its low byte.
      {5, 0x103, 1, "05 30", "0000050301", "FP0005_1.TXT"},
  };
  for (const Case& k : cases) {
    const auto id = fingerprint::CheckedTemplateId(k.user, k.attribute, k.number);
    ASSERT_TRUE(id) << k.user;
    const uint16_t key = fingerprint::TemplateKey(*id);
    const Bytes bytes{static_cast<uint8_t>(key), static_cast<uint8_t>(key >> 8)};
    EXPECT_EQ(Hex(bytes), k.keyBytes);
    EXPECT_EQ(fingerprint::FromKey(key), *id);
    EXPECT_EQ(fingerprint::IdListLine(*id), k.line);
    EXPECT_EQ(fingerprint::ParseIdListLine(k.line), id);
    EXPECT_EQ(fingerprint::TemplateFileName(k.user, k.number), k.file);
  }
  EXPECT_EQ(fingerprint::TemplateFileName(12345, 1), "FP12345_1.TXT");
  // Arguments the 16-bit key cannot hold would name another template.
  for (auto [user, attribute, number] : std::vector<std::array<int32_t, 3>>{
           {2048, 0, 1}, {-1, 0, 1}, {5, 16, 1}, {5, 0xFF, 1}, {5, 0, 0}, {5, 0, 3}, {5, 0, -1}})
    EXPECT_FALSE(fingerprint::CheckedTemplateId(user, attribute, number)) << user << attribute;
  for (const char* bad : {"000037000", "00003700021", "0000370003", "00003716 1", "0020481502"})
    EXPECT_FALSE(fingerprint::ParseIdListLine(bad)) << bad;
}

TEST(TemplateKey, IdListEntries) {
  auto lines = [](const Bytes& data) {
    std::string out;
    for (const TemplateId& id : fingerprint::ParseIdList(data))
      out += fingerprint::IdListLine(id) + " ";
    return out;
  };
  EXPECT_EQ(lines({0x25, 0x08, 0x01, 0x00}), "0000370002 0000010001 ");
  EXPECT_EQ(lines({0xFF, 0xFF}), "0020471502 ");
  // A length of 5 gives two entries; the fifth byte is ignored.
  EXPECT_EQ(lines({0x25, 0x08, 0x01, 0x00, 0x77}), "0000370002 0000010001 ");
  EXPECT_EQ(lines({}), "");
}

// A terminal with its module on kPort.
struct Rig : testing::SerialRig {
  explicit Rig(TerminalConfig config = {}) : SerialRig(std::move(config), kPort) {}
  fingerprint::ModuleBuffer buffer;
  // The templates' folder, and its files as text.
  std::string Folder() const { return Path("FINGERREC/"); }
  std::string Text(const std::string& name) const { return testing::ReadFile(Folder() + name); }
  void PutFile(const std::string& name, const Bytes& bytes) { Put("FINGERREC/" + name, bytes); }
  // The host's writes at a speed, one hex string each.
  std::vector<std::string> Writes(uint32_t baud) const {
    std::vector<std::string> out;
    for (const auto& c : WritesAt(baud)) out.push_back(Hex(c.bytes));
    return out;
  }
  // Runs a template export by name with the arguments user, attribute, number.
  int32_t Run(std::string_view name, int32_t user = 37, int32_t attribute = 0, int32_t number = 2) {
    using namespace fingerprint;
    Env& env = v.env;
    std::optional<uint8_t> r;
    if (name == "_GETIDLIST") r = GetIdList(env, 1, kPort);
    if (name == "_GETIDFPREC") r = GetTemplate(env, 1, kPort, user, attribute, number);
    if (name == "_SENDIDFPREC") r = SendTemplate(env, 1, kPort, user, number);
    if (name == "_DELIDFPREC") r = DeleteTemplate(env, 1, kPort, user, attribute, number);
    if (name == "_DELIDFPALL") r = DeleteAllTemplates(env, 1, kPort);
    return wpl::exports::StatusOr255(r);
  }
  // Stores a template in the module, and puts its file on the host.
  Bytes Seed(const TemplateId& id, uint32_t seed = 7) {
    Bytes t = sim::FingerprintModule::MakeTemplate(id, seed);
    terminal.module().store()[id] = t;
    return t;
  }
};

constexpr const char* kTemplateExports[] = {"_GETIDLIST", "_SENDIDFPREC", "_GETIDFPREC",
                                            "_DELIDFPREC", "_DELIDFPALL"};

// Puts everything an export needs in place: the template in the module and
// its file on the host.
void Prepare(Rig& rig) {
  const Bytes t = rig.Seed({37, 0, 2});
  rig.PutFile("FP0037_2.TXT", t);
}

TEST(TemplateExports, TheIdListExampleOnTheWire) {
  Rig rig;
  rig.Seed({37, 0, 2});
  rig.Seed({1, 0, 1});
  EXPECT_EQ(rig.Run("_GETIDLIST"), 0);
  // The frame and the block at 57600: 0x15 alone, 10 ms, then one byte per write.
  const auto fast = rig.Writes(57600);
  ASSERT_EQ(fast.size(), 5u + 7u);
  EXPECT_EQ(fast[0], "4B 4F 52 56 41 4E 45 4D 5A 54");
  EXPECT_EQ(
      std::vector<std::string>(fast.begin() + 1, fast.end()),
      (std::vector<std::string>{"01", "FE", "12", "ED", "15", "01", "02", "FD", "AA", "55", "FF"}));
  EXPECT_EQ(rig.Writes(9600), std::vector<std::string>{"00 7D 00 00 00 00 00 00 00 00 00 7D"});
  // The port closes after the second ACK and reopens at 9600 800 ms later,
  // with the module's 3 ms settling.
  const auto& opens = rig.v.serial.opens();
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[1].port, kPort);
  EXPECT_EQ(opens[1].line.baud, 9600u);
  EXPECT_EQ(opens[1].at - rig.v.serial.closes()[0].at, Millis{800});
  const auto& wire = rig.v.serial.wire();
  const auto packet =
      std::find_if(wire.begin(), wire.end(), [](const auto& c) { return c.line.baud == 9600; });
  ASSERT_NE(packet, wire.end());
  EXPECT_EQ(packet->at - opens[1].at, Millis{3});
  EXPECT_EQ(rig.Text("IDLIST.TXT"), "0000010001\r\n0000370002\r\n");
  // Both closed: the terminal's line is its own again.
  EXPECT_EQ(rig.v.serial.closes().size(), 2u);
  // The terminal listens at its own speed again.
  EXPECT_EQ(rig.Run("_GETIDLIST"), 0);
  EXPECT_EQ(rig.terminal.commands(), Bytes({0x12, 0x12}));
}

TEST(TemplateExports, ModulePacketsAndPausesOfEachExport) {
  struct Case {
    const char* name;
    std::string packet;  // and what follows it at 9600
    int firstPause, secondPause;
    int32_t result;
  };
  const Case cases[] = {
      {"_GETIDLIST", "00 7D 00 00 00 00 00 00 00 00 00 7D", 10, 800, 0},
      {"_GETIDFPREC", "00 73 25 08 00 00 00 00 00 00 00 A0", 10, 800, 0},
      {"_DELIDFPREC", "00 54 25 08 00 00 00 00 00 00 00 81", 10, 800, 0},
      {"_DELIDFPALL", "00 76 00 00 00 00 00 00 00 00 00 76", 10, 800, 0},
      {"_SENDIDFPREC", "00 71 00 00 00 00 30 03 00 00 00 A4", 20, 1000, 0},
  };
  for (const Case& k : cases) {
    Rig rig;
    Prepare(rig);
    EXPECT_EQ(rig.Run(k.name), k.result) << k.name;
    const auto slow = rig.Writes(9600);
    ASSERT_FALSE(slow.empty()) << k.name;
    EXPECT_EQ(slow[0], k.packet) << k.name;
    const auto& opens = rig.v.serial.opens();
    ASSERT_EQ(opens.size(), 2u) << k.name;
    EXPECT_EQ(opens[1].at - rig.v.serial.closes()[0].at, Millis{k.secondPause}) << k.name;
    Nanos nak{0}, next{0};
    for (const auto& c : rig.v.serial.wire())
      if (c.fromHost && c.line.baud == 57600 && c.bytes == Bytes{0x15}) nak = c.at;
    for (const auto& c : rig.v.serial.wire())
      if (c.fromHost && c.at > nak && next == Nanos{0}) next = c.at;
    EXPECT_EQ(next - nak, Millis{k.firstPause}) << k.name;
  }
}

TEST(TemplateExports, SendsExactlyTheFilesBytesAndGetWritesThem) {
  Rig rig;
  const Bytes t = sim::FingerprintModule::MakeTemplate({37, 3, 2}, 11);
  rig.PutFile("FP0037_2.TXT", t);
  // The fourth argument of the send export is not even passed on.
  EXPECT_EQ(rig.Run("_SENDIDFPREC"), 0);
  const auto slow = rig.Writes(9600);
  ASSERT_EQ(slow.size(), 2u);
  EXPECT_EQ(slow[1], Hex(t));
  EXPECT_EQ(rig.terminal.module().store().at({37, 3, 2}), t);
  // Back again under its key: the file is the data part, unchanged.
  std::filesystem::remove(rig.Folder() + "FP0037_2.TXT");
  EXPECT_EQ(rig.Run("_GETIDFPREC", 37, 3, 2), 0);
  EXPECT_EQ(rig.File("FINGERREC/FP0037_2.TXT"), t);
  EXPECT_EQ(rig.Run("_DELIDFPREC", 37, 3, 2), 0);
  EXPECT_TRUE(rig.terminal.module().store().empty());
  // A template the module does not hold: its status, and an empty file.
  EXPECT_EQ(rig.Run("_GETIDFPREC", 37, 3, 2), sim::kModuleFailed);
  EXPECT_EQ(rig.Text("FP0037_2.TXT"), "");
  rig.Seed({1, 0, 1});
  rig.Seed({2, 0, 1});
  EXPECT_EQ(rig.Run("_DELIDFPALL"), 0);
  EXPECT_TRUE(rig.terminal.module().store().empty());
}

TEST(TemplateExports, OnlyFilesOf816BytesAreSent) {
  for (size_t size : {0, 815, 817, 1604}) {
    Rig rig;
    rig.PutFile("FP0037_2.TXT", Bytes(size, 0x11));
    EXPECT_EQ(rig.Run("_SENDIDFPREC"), 255) << size;
    EXPECT_EQ(rig.v.serial.openAttempts(), 0) << size;
    EXPECT_TRUE(rig.v.ui.messages.empty()) << size;
  }
}

// A file that says it holds 816 bytes but gives fewer.
class ShortReadFiles : public testing::FaultyFiles {
 public:
  using FaultyFiles::FaultyFiles;
  std::unique_ptr<File> OpenRead(const std::string&) override {
    auto f = std::make_unique<testing::MemoryFile>(Bytes(816, 0x22));
    f->failReadsFrom = 400;
    f->maxRead = 100;
    return f;
  }
};

TEST(TemplateExports, AShortReadSendsNothing) {
  Rig rig;
  ShortReadFiles files(*rig.v.files);
  rig.v.env.files = &files;
  EXPECT_EQ(rig.Run("_SENDIDFPREC"), 255);
  EXPECT_EQ(rig.v.serial.openAttempts(), 0);
}

TEST(TemplateExports, FilesThatCannotBeMade) {
  struct Case {
    const char* name;
    int refuseOpens, refuseCreates;
    bool brokenWrites;
    int32_t result;
    std::string message;
    bool linkUsed;
  };
  const Case cases[] = {
      {"_GETIDLIST", 0, 1, false, 255, "can not creat IDLIST.TXT!", false},
      {"_GETIDFPREC", 0, 1, false, 255, "can not creat fingerp.TXT!", false},
      {"_SENDIDFPREC", 2, 0, false, 255, "can not open fingerp.TXT!", false},
      // A second try of the open is enough.
      {"_SENDIDFPREC", 1, 0, false, 0, "", true},
      // A write that fails is a failure, not the status byte.
      {"_GETIDLIST", 0, 0, true, 255, "", true},
      {"_GETIDFPREC", 0, 0, true, 255, "", true},
  };
  for (const Case& k : cases) {
    Rig rig;
    Prepare(rig);
    testing::FaultyFiles files(*rig.v.files);
    files.refuseOpens = k.refuseOpens;
    files.refuseCreates = k.refuseCreates;
    files.brokenWrites = k.brokenWrites;
    rig.v.env.files = &files;
    EXPECT_EQ(rig.Run(k.name), k.result) << k.name;
    if (k.message.empty()) {
      EXPECT_TRUE(rig.v.ui.messages.empty()) << k.name;
    } else {
      ASSERT_EQ(rig.v.ui.messages.size(), 1u) << k.name;
      EXPECT_EQ(rig.v.ui.messages[0].text, k.message);
      EXPECT_EQ(rig.v.ui.messages[0].title, "Open Error");
    }
    EXPECT_EQ(rig.v.serial.openAttempts() > 0, k.linkUsed) << k.name;
  }
}

TEST(TemplateExports, ArgumentsOutsideTheKeyAreRefusedUntouched) {
  struct Case {
    const char* name;
    int32_t user, attribute, number;
  };
  const Case cases[] = {
      {"_GETIDFPREC", 2048, 0, 1}, {"_GETIDFPREC", 5, 16, 1},    {"_GETIDFPREC", 5, 0, 3},
      {"_DELIDFPREC", 2048, 0, 1}, {"_DELIDFPREC", 5, 16, 1},    {"_DELIDFPREC", 5, 0, 0},
      {"_DELIDFPREC", -1, 0, 1},   {"_SENDIDFPREC", 2048, 0, 1}, {"_SENDIDFPREC", 5, 0, 3},
  };
  for (const Case& k : cases) {
    Rig rig;
    rig.Seed({0, 0, 1});
    EXPECT_EQ(rig.Run(k.name, k.user, k.attribute, k.number), 255) << k.name << k.user;
    EXPECT_EQ(rig.v.serial.openAttempts(), 0) << k.name;
    EXPECT_FALSE(std::filesystem::exists(rig.Folder())) << k.name;
    EXPECT_EQ(rig.terminal.module().store().size(), 1u) << k.name;
  }
}

// Every limit of the table, an answer just inside it and just past it.
TEST(TemplateExports, LimitsBothSides) {
  enum Where { kFrame, kSecondAck, kHeader, kData, kMarker };
  struct Case {
    const char* name;
    Where where;
    int ms;
    bool ok;
  };
  std::vector<Case> cases;
  struct Limits {
    const char* name;
    int second, header, data, marker;  // 0: not read
  };
  const Limits limits[] = {
      {"_GETIDLIST", 5000, 6000, 3000, 6000},  {"_SENDIDFPREC", 10000, 12000, 0, 10000},
      {"_GETIDFPREC", 5000, 6000, 3000, 6000}, {"_DELIDFPREC", 5000, 6000, 3000, 6000},
      {"_DELIDFPALL", 5000, 0, 0, 6000},
  };
  for (const Limits& l : limits) {
    cases.push_back({l.name, kFrame, 990, true});
    cases.push_back({l.name, kFrame, 1010, false});
    for (auto [where, limit] : {std::pair{kSecondAck, l.second}, std::pair{kHeader, l.header},
                                std::pair{kData, l.data}, std::pair{kMarker, l.marker}}) {
      if (limit == 0) continue;
      cases.push_back({l.name, where, limit - 10, true});
      cases.push_back({l.name, where, limit + 10, false});
    }
  }
  for (const Case& k : cases) {
    TerminalConfig config;
    const Answer late{AckFault::kLate, Millis{k.ms}};
    ModuleFaults& f = config.module.faults;
    switch (k.where) {
      case kFrame: config.commandFaults[0x12].frame = late; break;
      case kSecondAck: config.commandFaults[0x12].block = late; break;
      case kHeader: f.replyDelay = f.dataDelay = f.markerDelay = Millis{k.ms}; break;
      // The header at once, the data part after the silence.
      case kData: f.dataDelay = f.markerDelay = Millis{k.ms}; break;
      case kMarker: f.markerDelay = Millis{k.ms}; break;
    }
    // A data part to wait for: the template, a list of one, and for the
    // delete (whose reply has none) one the module is made to announce.
    if (k.where == kData && std::string_view(k.name) == "_DELIDFPREC") f.announce = 4;
    Rig rig(config);
    Prepare(rig);
    const std::string what =
        std::string(k.name) + " " + std::to_string(k.where) + " " + std::to_string(k.ms);
    EXPECT_EQ(rig.Run(k.name), k.ok ? 0 : 255) << what;
    // Once the frame was acknowledged nothing is tried again.
    if (k.where != kFrame) {
      EXPECT_EQ(rig.terminal.commands().size(), 1u) << what;
    }
  }
}

TEST(TemplateExports, FaultsOfTheModuleAndTheTerminal) {
  struct Case {
    const char* name;
    ModuleFaults faults;
    int32_t result;
    std::string file;  // what the file holds afterwards
  };
  const std::string list = "0000370002\r\n";
  const Case cases[] = {
      {"_GETIDLIST", {.silent = true}, 255, ""},
      // One byte short: the marker's first byte completes the data part
      // (a line of it is written), and the marker wait then runs dry.
      {"_GETIDLIST", {.shortData = 1}, 255, "0015730001\r\n"},
      // Longer than the buffer: refused unread.
      {"_GETIDLIST", {.announce = 1593}, 255, ""},
      // The largest data part: the entry, then 795 of the filler 5A 5A.
      {"_GETIDLIST",
       {.announce = 1592},
       0,
       list +
           [] {
             std::string filler;
             for (int i = 0; i < 795; ++i) filler += "0006020502\r\n";
             return filler;
           }()},
      // The list is written before the marker is awaited.
      {"_GETIDLIST", {.wrongMarker = true}, 255, list},
      {"_GETIDLIST", {.status = 0x37}, 0x37, list},
      {"_GETIDLIST", {.status = 0xFF}, 255, list},
      {"_GETIDFPREC", {.silent = true}, 255, ""},
      {"_GETIDFPREC", {.shortData = 10}, 255, ""},
      {"_GETIDFPREC", {.announce = 2000}, 255, ""},
      {"_DELIDFPREC", {.announce = 1600}, 255, ""},
      {"_DELIDFPREC", {.status = 9}, 9, ""},
      {"_SENDIDFPREC", {.silent = true}, 255, ""},
      {"_SENDIDFPREC", {.wrongMarker = true}, 255, ""},
      {"_SENDIDFPREC", {.status = 3}, 3, ""},
      // No header is read: a status fault does not reach the result.
      {"_DELIDFPALL", {.status = 3}, 0, ""},
      {"_DELIDFPALL", {.wrongMarker = true}, 255, ""},
  };
  for (const Case& k : cases) {
    Rig rig({.module = {.faults = k.faults}});
    Prepare(rig);
    EXPECT_EQ(rig.Run(k.name), k.result) << k.name;
    if (std::string_view(k.name) == "_GETIDFPREC") {
      // The requested file is there, empty, or complete when only the
      // marker failed.
      EXPECT_EQ(rig.Text("FP0037_2.TXT"), k.file) << k.name;
    }
    if (std::string_view(k.name) == "_GETIDLIST") {
      EXPECT_EQ(rig.Text("IDLIST.TXT"), k.file) << k.name;
    }
    // Every port closed.
    EXPECT_EQ(rig.v.serial.closes().size(), rig.v.serial.opens().size()) << k.name;
  }
}

TEST(TemplateExports, WrongMarkerKeepsTheCompleteTemplate) {
  Rig rig({.module = {.faults = {.wrongMarker = true}}});
  const Bytes t = rig.Seed({37, 0, 2});
  EXPECT_EQ(rig.Run("_GETIDFPREC"), 255);
  EXPECT_EQ(rig.File("FINGERREC/FP0037_2.TXT"), t);
}

TEST(TemplateExports, NoSecondAckEndsAfterItsLimitWithoutRetry) {
  for (auto [name, limit] : {std::pair{"_GETIDLIST", 5000}, std::pair{"_SENDIDFPREC", 10000}}) {
    Rig rig({.commandFaults = {{0x12, {.block = {AckFault::kSilent}}}}});
    Prepare(rig);
    EXPECT_EQ(rig.Run(name), 255) << name;
    EXPECT_EQ(rig.terminal.commands().size(), 1u) << name;
    EXPECT_EQ(rig.v.serial.opens().size(), 1u) << name;
    const Nanos took = rig.v.clock.Now();
    EXPECT_GT(took, Millis{limit}) << name;
    EXPECT_LT(took, Millis{limit + 100}) << name;
  }
}

// Ports that refuse to open after a number of opens have succeeded.
class ClosingPorts : public SerialPorts {
 public:
  ClosingPorts(SerialPorts& inner, int port, int allowed)
      : inner_(inner), port_(port), allowed_(allowed) {}
  std::unique_ptr<SerialPort> Open(int number) override {
    tried.push_back(number);
    if (number == port_ && allowed_-- <= 0) return nullptr;
    return inner_.Open(number);
  }
  std::vector<int> tried;

 private:
  SerialPorts& inner_;
  int port_, allowed_;
};

TEST(TemplateExports, TheHandOverNeverMovesToAnotherPort) {
  Rig rig;
  Prepare(rig);
  TerminalModel other({});
  rig.v.serial.Attach(kPort + 1, &other);
  ClosingPorts ports(rig.v.serial, kPort, 1);
  rig.v.env.serial = &ports;
  EXPECT_EQ(rig.Run("_DELIDFPALL"), 255);
  EXPECT_EQ(ports.tried, (std::vector<int>{kPort, kPort, kPort, kPort}));
  EXPECT_TRUE(rig.Writes(9600).empty());
  EXPECT_TRUE(other.commands().empty());
  EXPECT_EQ(rig.terminal.module().store().size(), 1u);
  // One failed reopen is forgiven: the port refuses the open after the
  // first, then opens again.
  Rig again;
  Prepare(again);
  struct Flaky : SerialPorts {
    SerialPorts& inner;
    int opens = 0;
    explicit Flaky(SerialPorts& i) : inner(i) {}
    std::unique_ptr<SerialPort> Open(int n) override {
      return ++opens == 2 ? nullptr : inner.Open(n);
    }
  } flaky(again.v.serial);
  again.v.env.serial = &flaky;
  EXPECT_EQ(again.Run("_DELIDFPALL"), 0);
  EXPECT_EQ(flaky.opens, 3);
  EXPECT_TRUE(again.terminal.module().store().empty());
}

// --- The module named directly -------------------------------------------------

struct BareRig : testing::SerialRig {
  explicit BareRig(sim::ModuleConfig config = {})
      : SerialRig({.module = config, .moduleOnly = true}, kPort) {}
};

TEST(ModuleCommand, VersionAndRawCommands) {
  BareRig rig({.version = 0x42});
  EXPECT_EQ(wpl::exports::StatusOr255(fingerprint::ModuleCommand(
                rig.v.env, kPort, fingerprint::module_cmd::kVersion, {})),
            0x42);
  ASSERT_EQ(rig.v.serial.opens().size(), 1u);
  EXPECT_EQ(rig.v.serial.opens()[0].line.baud, 9600u);
  EXPECT_EQ(Hex(rig.v.serial.HostBytes(kPort)), "00 05 00 00 00 00 00 00 00 00 00 05");
  // A raw list command: its data part is received, the status returned.
  rig.terminal.module().Generate(4, 1);
  EXPECT_EQ(fingerprint::ModuleCommand(rig.v.env, kPort, 0x7D, {}), sim::kModuleOk);
  EXPECT_EQ(fingerprint::ModuleCommand(rig.v.env, kPort, 0x54, {0x0001, 0, 0, 0}), sim::kModuleOk);
  EXPECT_EQ(rig.terminal.module().store().size(), 3u);
}

TEST(ModuleCommand, FailuresAndTheirTimes) {
  struct Case {
    ModuleFaults faults;
    std::optional<uint8_t> result;
    int minMs, maxMs;  // the time the call took
  };
  const Case cases[] = {
      {{.silent = true}, std::nullopt, 6000, 6100},
      {{.replyDelay = Millis{5990}}, 0, 5990, 6000},
      {{.replyDelay = Millis{6010}}, std::nullopt, 6000, 6100},
      // One data byte short: 3 s of silence after the last.
      {{.shortData = 1}, std::nullopt, 3000, 3100},
      {{.dataDelay = Millis{2990}}, 0, 2990, 3000},
      {{.dataDelay = Millis{3010}}, std::nullopt, 3000, 3100},
      // Oversize: refused at once, unread.
      {{.announce = 1593}, std::nullopt, 0, 20},
      {{.status = 0xFF}, 0xFF, 0, 20},
  };
  for (const Case& k : cases) {
    BareRig rig({.faults = k.faults});
    rig.terminal.module().Generate(2, 1);
    // A list has a data part.
    EXPECT_EQ(fingerprint::ModuleCommand(rig.v.env, kPort, 0x7D, {}), k.result);
    const auto ms = duration_cast<Millis>(rig.v.clock.Now()).count();
    EXPECT_GE(ms, k.minMs);
    EXPECT_LE(ms, k.maxMs);
    EXPECT_EQ(rig.v.serial.closes().size(), 1u);
  }
}

TEST(ModuleCommand, PortSearchIsOnePass) {
  VirtualEnv v;
  for (int p = 1; p <= 6; ++p) v.serial.SetAbsent(p);
  EXPECT_EQ(fingerprint::ModuleCommand(v.env, 3, 0x05, {}), std::nullopt);
  EXPECT_EQ(v.serial.openAttempts(), 6);
  // The module on the port after the host's.
  BareRig rig;
  rig.v.serial.SetAbsent(kPort - 1);
  EXPECT_EQ(fingerprint::ModuleCommand(rig.v.env, kPort - 1, 0x05, {}), 0x21);
  EXPECT_EQ(rig.v.serial.opens()[0].port, kPort);
}

}  // namespace
}  // namespace wpl

namespace wpl {
namespace {

// The simulator's store goes to a folder in the library's layout and comes
// back the same: what seeds a module and what an end-to-end run compares.
TEST(SimulatedModule, StoreSavedAndLoaded) {
  testing::TempDir dir;
  sim::FingerprintModule a;
  a.Generate(5, 3);
  a.store()[{2047, 15, 2}] = sim::FingerprintModule::MakeTemplate({2047, 15, 2}, 3);
  a.SaveFolder(dir.path() + "fp");
  EXPECT_EQ(testing::ReadFile(dir.path() + "fp/IDLIST.TXT").substr(0, 24),
            "0000010001\r\n0000010002\r\n");
  sim::FingerprintModule b;
  EXPECT_EQ(b.LoadFolder(dir.path() + "fp"), 6u);
  EXPECT_EQ(b.store(), a.store());
  EXPECT_THROW(b.LoadFolder(dir.path() + "none"), std::runtime_error);
}

}  // namespace
}  // namespace wpl
