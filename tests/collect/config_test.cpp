// The site file: what it means, and every mistake named with its line.
#include "config.h"

#include <gtest/gtest.h>

namespace collect {
namespace {

using std::chrono::seconds;

constexpr const char* kSite = R"(site = "plant-1"
store = "sqlite:data/pclog.db"
spool = "spool"
parallel = 4
[[terminal]]
id = "gate-1"
ip = "127.0.0.5"
every = "10m"
zone = "Europe/Berlin"
[[terminal]]
id = "hall"
port = 3
address = 2
at = ["14:00", "06:00"]
mode = "both"
clear = "never"
[[terminal]]
id = "far"
modem = "5551234"
port = 2
address = 1
every = "1h30m"
)";

TEST(Config, ReadsTheSite) {
  const LoadedConfig c = ParseConfig(kSite, "/etc/pclog/site.toml");
  ASSERT_TRUE(c.ok()) << c.problems[0].line << ": " << c.problems[0].text;
  EXPECT_EQ(c.config.site, "plant-1");
  EXPECT_EQ(c.config.store, "sqlite:/etc/pclog/data/pclog.db");
  EXPECT_EQ(c.config.spool, "/etc/pclog/spool");
  EXPECT_EQ(c.config.parallel, 4);
  ASSERT_EQ(c.config.terminals.size(), 3u);
  const TerminalConfig& gate = c.config.terminals[0];
  EXPECT_EQ(gate.link, LinkKind::kNetwork);
  EXPECT_EQ(gate.every, seconds(600));
  EXPECT_EQ(gate.zone, "Europe/Berlin");
  EXPECT_TRUE(gate.clear);
  EXPECT_EQ(LinkText(gate), "ip 127.0.0.5");
  const TerminalConfig& hall = c.config.terminals[1];
  EXPECT_EQ(hall.link, LinkKind::kSerial);
  EXPECT_EQ(hall.at, (std::vector<int>{360, 840}));
  EXPECT_EQ(hall.mode, Mode::kBoth);
  EXPECT_FALSE(hall.clear);
  EXPECT_EQ(LinkText(hall), "com3 address 2");
  EXPECT_EQ(hall.line, 10);
  EXPECT_EQ(LinkText(c.config.terminals[2]), "modem 5551234 com2 address 1");
  EXPECT_EQ(c.config.terminals[2].every, seconds(5400));
}

TEST(Config, DefaultsBesideTheFile) {
  const LoadedConfig c = ParseConfig(
      "site = \"s\"\n[[terminal]]\nid = \"a\"\nip = \"127.0.0.1\"\n"
      "mode = \"watch\"\n",
      "conf/site.toml");
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(c.config.store, "sqlite:conf/pclog.db");
  EXPECT_EQ(c.config.spool, "conf/spool");
  EXPECT_FALSE(c.config.terminals[0].scheduled());
}

struct Mistake {
  const char* name;
  const char* text;
  int line;
  const char* says;
};

class ConfigMistake : public ::testing::TestWithParam<Mistake> {};

TEST_P(ConfigMistake, IsNamedWithItsLine) {
  const std::string head = "site = \"s\"\n";
  const LoadedConfig c = ParseConfig(head + GetParam().text, "site.toml");
  ASSERT_FALSE(c.ok());
  bool found = false;
  for (const ConfigProblem& p : c.problems)
    found |= p.line == GetParam().line && p.text.find(GetParam().says) != std::string::npos;
  EXPECT_TRUE(found) << c.problems[0].line << ": " << c.problems[0].text;
}

#define T "[[terminal]]\nid = \"a\"\n"
INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigMistake,
    ::testing::Values(
        Mistake{"BadIp", T "ip = \"300.1.1.1\"\nevery = \"1m\"\n", 4, "not an IPv4"},
        Mistake{"BadEvery", T "ip = \"127.0.0.1\"\nevery = \"ten\"\n", 5, "duration"},
        Mistake{"BadAt", T "ip = \"127.0.0.1\"\nat = [\"06:00\", \"25:00\"]\n", 5, "time of day"},
        Mistake{"BadMode", T "ip = \"127.0.0.1\"\nevery = \"1m\"\nmode = \"x\"\n", 6, "mode"},
        Mistake{"BadClear", T "ip = \"127.0.0.1\"\nevery = \"1m\"\nclear = \"now\"\n", 6,
                "after-commit"},
        Mistake{"BadZone", T "ip = \"127.0.0.1\"\nevery = \"1m\"\nzone = \"Mars/Base\"\n", 6,
                "time zone"},
        Mistake{"NoLink", T "every = \"1m\"\n", 2, "needs ip"},
        Mistake{"NoSchedule", T "ip = \"127.0.0.1\"\n", 2, "needs every or at"},
        Mistake{"BothSchedules", T "ip = \"127.0.0.1\"\nevery = \"1m\"\nat = [\"06:00\"]\n", 6,
                "do not go together"},
        Mistake{"IpAndPort", T "ip = \"127.0.0.1\"\nport = 2\nevery = \"1m\"\n", 4, "does not go"},
        Mistake{"PortRange", T "port = 9\nevery = \"1m\"\n", 4, "from 1 to 6"},
        Mistake{"ModemWithoutPort", T "modem = \"555\"\nevery = \"1m\"\n", 4, "needs a port"},
        Mistake{"UnknownKey", T "ip = \"127.0.0.1\"\nevery = \"1m\"\ncolour = \"red\"\n", 6,
                "unknown key"},
        Mistake{"TwiceTheId",
                T "ip = \"127.0.0.1\"\nevery = \"1m\"\n" T "ip = \"127.0.0.2\"\nevery = \"1m\"\n",
                6, "used twice"},
        Mistake{"TwiceTheLink",
                T "ip = \"127.0.0.1\"\nevery = \"1m\"\n[[terminal]]\nid = \"b\"\n"
                  "ip = \"127.0.0.1\"\nevery = \"1m\"\n",
                6, "configured twice"},
        Mistake{"NotToml", "[[terminal]\n", 2, ""},
        Mistake{"BadStore", "store = \"mysql://x\"\n" T "ip = \"127.0.0.1\"\nevery = \"1m\"\n", 2,
                "store must be"},
        Mistake{"NoTerminals", "", 0, "no [[terminal]]"}),
    [](const auto& info) { return std::string(info.param.name); });
#undef T

TEST(Config, NamesEveryMistakeAtOnce) {
  const LoadedConfig c = ParseConfig(
      "site = \"s\"\n[[terminal]]\nid = \"a\"\nip = \"x\"\nevery = \"1m\"\n"
      "[[terminal]]\nid = \"b\"\nip = \"127.0.0.2\"\nevery = \"0s\"\n",
      "site.toml");
  ASSERT_EQ(c.problems.size(), 2u);
  EXPECT_EQ(c.problems[0].line, 4);
  EXPECT_EQ(c.problems[1].line, 9);
}

TEST(Config, MissingFileIsAMistake) { EXPECT_FALSE(LoadConfig("/nonexistent/site.toml").ok()); }

struct DurationCase {
  const char* text;
  int64_t ms;  // -1: refused
};

TEST(Config, Durations) {
  const DurationCase cases[] = {{"30s", 30'000},
                                {"10m", 600'000},
                                {"1h", 3'600'000},
                                {"1h30m", 5'400'000},
                                {"2d", 172'800'000},
                                {"500ms", 500},
                                {"", -1},
                                {"10", -1},
                                {"m", -1},
                                {"5x", -1},
                                {"9999999999s", -1},
                                {"-1s", -1}};
  for (const DurationCase& c : cases) {
    const auto d = ParseDuration(c.text);
    EXPECT_EQ(d ? d->count() : -1, c.ms) << c.text;
  }
}

TEST(Config, ClockTimes) {
  EXPECT_EQ(ParseClockTime("06:00"), 360);
  EXPECT_EQ(ParseClockTime("23:59"), 1439);
  EXPECT_EQ(ParseClockTime("24:00"), std::nullopt);
  EXPECT_EQ(ParseClockTime("6:00"), std::nullopt);
  EXPECT_EQ(ParseClockTime("06:60"), std::nullopt);
}

}  // namespace
}  // namespace collect
