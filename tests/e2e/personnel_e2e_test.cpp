// The personnel tables end to end: pclog's bulk loading and the Linux
// library's exports against pclog-sim over loopback TCP and a pty, in real
// time; the simulator's state dump shows what each terminal holds.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <fstream>

#include "record_files.h"
#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

std::string RunShell(const std::string& command) {
  std::string out;
  if (std::FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = ::pclose(p);
    out += "\nexit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
  return out;
}

// The day's name file for a prefix.
std::string DayFile(const std::string& prefix) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char stamp[8];
  std::strftime(stamp, sizeof stamp, "%m%d", &local);
  return prefix + "NAM" + stamp + ".DAT";
}

// "258":[65,66] as the state dump writes a table entry.
std::string Entry(int key, const std::string& bytes) {
  std::string out = "\"" + std::to_string(key) + "\":[";
  for (size_t i = 0; i < bytes.size(); ++i)
    out += (i ? "," : "") + std::to_string(static_cast<uint8_t>(bytes[i]));
  return out + "]";
}

TEST(Personnel, LoadFiveHundredNamesWithABadRow) {
  PortFolder dir;
  const std::string ready = dir.dir() + "/ready", state = dir.dir() + "/state.json";
  const std::string csv = dir.dir() + "/names.csv", prefix = dir.dir() + "/copy-";
  {
    std::ofstream out(csv);
    out << "person,name\n";
    for (int i = 1; i <= 500; ++i) {
      if (i == 7) out << "seven,Bad Row\n";  // line 8 of the file
      out << i << ",Person " << i << '\n';
    }
    out << "501,\"Zhang, \xE5\xBC\xA0\xE4\xB8\x89\"\n";  // a comma, and two characters
  }
  SimProcess sim({"--tcp", "127.0.28.1", "--state", state, "--ready", ready}, ready);
  const std::string out = RunShell(std::string(PCLOG_CLI) + " names load " + csv +
                                   " --ip 127.0.28.1 --encoding GBK --copy-to " + prefix);
  EXPECT_NE(out.find("line 8: not a number"), std::string::npos) << out;
  EXPECT_NE(out.find("501 loaded, 1 failed"), std::string::npos) << out;
  EXPECT_NE(out.find("exit 1"), std::string::npos) << out;
  ASSERT_EQ(sim.Stop(), 0);
  const std::string json = ReadFile(state);
  for (int i = 1; i <= 500; ++i)
    ASSERT_NE(json.find(Entry(i, "Person " + std::to_string(i))), std::string::npos) << i;
  // In the terminal's code page: 张 D5C5, 三 C8FD.
  EXPECT_NE(json.find(Entry(501, "Zhang, \xD5\xC5\xC8\xFD")), std::string::npos) << json.size();
  // The copies: one record per loaded name, cut to 8 bytes; back as CSV.
  EXPECT_EQ(ReadFile(DayFile(prefix)).size(), 501u * 10);
  const std::string back =
      RunShell(std::string(PCLOG_CLI) + " names export " + DayFile(prefix) + " --encoding GBK");
  EXPECT_EQ(back.rfind("person,name\n1,Person 1\n2,Person 2\n", 0), 0u) << back.substr(0, 80);
  EXPECT_NE(back.find("\n500,Person 5\n501,\"Zhang, \"\n"), std::string::npos) << back;
}

// A counted text as the host lays it out before the characters.
struct alignas(8) HostText {
  HostText(int32_t c, const char* text) : count(c), length(static_cast<int32_t>(strlen(text))) {
    std::strcpy(chars, text);
  }
  int32_t count, length;
  char chars[64];
};

TEST(Personnel, ExportsOverTheNetworkKeepTheCounts) {
  PortFolder dir;
  const std::string ready = dir.dir() + "/ready", state = dir.dir() + "/state.json";
  SimProcess sim({"--tcp", "127.0.28.2", "--tcp", "127.0.28.3,greeting=0000010209090909", "--state",
                  state, "--ready", ready},
                 ready);
  HostText name(1, "Ann"), voice(1, "AB"), constant(-1, "Kim");
  EXPECT_EQ(_LANSENDNAME("127.0.28.2", 7, name.chars), 0);
  EXPECT_EQ(_LANSENDNAME("127.0.28.2", 8, constant.chars), 0);
  EXPECT_EQ(_LANCHANGENAMEID("127.0.28.2", 7, 70), 0);
  // Failures: no address, nobody listening, a text that is no address.
  EXPECT_EQ(_LANSENDNAME(nullptr, 9, name.chars), 1);
  EXPECT_EQ(_LANSENDNAME("127.0.28.9", 9, name.chars), 1);
  EXPECT_EQ(_LANSENDNAME("127.0.26", 9, name.chars), 1);
  EXPECT_EQ(_COPYNAME(nullptr, 9, name.chars), 1);
  EXPECT_EQ(name.count, 1);
  EXPECT_EQ(constant.count, -1);
  EXPECT_EQ(_LANSENDVOICE("127.0.28.3", 1, 300, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, voice.chars), 258);
  EXPECT_EQ(voice.count, 1);
  ASSERT_EQ(sim.Stop(), 0);
  const std::string json = ReadFile(state);
  EXPECT_NE(json.find("\"names\":{" + Entry(8, "Kim") + "," + Entry(70, "Ann") + "}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"voices\":{" +
                      Entry(300, std::string("\x01\x01\x2C\0\0\0\0\0\0\0\0\0\0\0\0\0\x02"
                                             "AB",
                                             19)) +
                      "}"),
            std::string::npos)
      << json;
}

TEST(Personnel, CardOnlyAndVoiceOnAPty) {
  PortFolder ports;
  const std::string state = ports.dir() + "/state.json";
  SimProcess sim({"--link", ports.Port(2), "--state", state}, ports.Port(2));
  HostText text(1, "hello");
  EXPECT_EQ(_SENDONLYCARD(1, 2, 258), 0);
  EXPECT_EQ(_SENDONLYCARD(1, 2, 259), 0);
  EXPECT_EQ(_DELONLYCARD(1, 2, 258), 0);
  EXPECT_EQ(_SENDVOICE(1, 2, 1, 77, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, text.chars), 0);
  EXPECT_EQ(text.count, 1);
  EXPECT_EQ(_SENDNAME(1, 2, 5, "Eve"), 0);
  EXPECT_EQ(_DELETEALLNAME(1, 2), 0);
  ASSERT_EQ(sim.Stop(), 0);
  const std::string json = ReadFile(state);
  EXPECT_NE(json.find("\"names\":{}"), std::string::npos) << json;
  EXPECT_NE(json.find("\"cardOnly\":\"259\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"voices\":{\"77\":"), std::string::npos) << json;
}

TEST(Personnel, LoadTheCardOnlyListAndVoiceEntries) {
  PortFolder ports;
  const std::string state = ports.dir() + "/state.json", ready = ports.dir() + "/ready";
  const std::string cards = ports.dir() + "/cards.csv", voices = ports.dir() + "/voices.csv";
  std::ofstream(cards) << "1\n2\nx\n3\n";
  std::ofstream(voices) << "1,300,0,0,0,0,0,0,0,0,0,0,0,hi\n1,301,0,0,0,0,0,0,0,0,0,0,0\n";
  SimProcess sim({"--link", ports.Port(2), "--tcp", "127.0.28.4,greeting=0000010209090909",
                  "--state", state, "--ready", ready},
                 ready);
  const std::string cli = PCLOG_CLI;
  const std::string out = RunShell(cli + " card-only load " + cards + " --port 2");
  EXPECT_NE(out.find("line 3: not a number"), std::string::npos) << out;
  EXPECT_NE(out.find("3 loaded, 1 failed"), std::string::npos) << out;
  const std::string voice = RunShell(cli + " voice load " + voices + " --ip 127.0.28.4");
  EXPECT_NE(voice.find("line 2: expected 13 numbers and a text"), std::string::npos) << voice;
  EXPECT_NE(voice.find("1 loaded, 1 failed"), std::string::npos) << voice;
  // The card-only list has no network form.
  const std::string refused = RunShell(cli + " card-only load " + cards + " --ip 127.0.28.4");
  EXPECT_NE(refused.find("no network form"), std::string::npos) << refused;
  EXPECT_EQ(refused.find("exit 0"), std::string::npos) << refused;
  ASSERT_EQ(sim.Stop(), 0);
  const std::string json = ReadFile(state);
  EXPECT_NE(json.find("\"cardOnly\":\"1-3\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"voices\":{\"300\":"), std::string::npos) << json;
}

}  // namespace
}  // namespace wpl::e2e
