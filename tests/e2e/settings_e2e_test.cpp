// The settings exports of the Linux library against pclog-sim, one or two a
// family, on a pty and on loopback; what the terminal keeps is read from the
// state the simulator writes when it stops.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

// The state line of one terminal ("/path/com2" or "127.0.22.1").
std::string StateOf(const std::string& file, const std::string& terminal) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    if (line.find("\"terminal\":\"" + terminal + "\"") != std::string::npos) return line;
  return "no state for " + terminal;
}

struct Site {
  void Start(std::vector<std::string> args) {
    args.insert(args.end(), {"--state", state, "--ready", ready});
    sim.emplace(args, ready);
  }
  std::string State(const std::string& terminal) {
    sim->Stop();
    return StateOf(state, terminal);
  }
  PortFolder ports;
  std::string state = ports.dir() + "/state.json", ready = ports.dir() + "/ready";
  std::optional<SimProcess> sim;
};

TEST(Settings, ClockIdentityAndLineSpeed) {
  Site site;
  site.Start({"--link", site.ports.Port(2), "--tcp", "127.0.22.1", "--baud", "19200"});
  EXPECT_EQ(_SETTIME(1, 2, 26, 12, 8, 22, 30, 0, 2), 0);
  EXPECT_EQ(_SETPASSWORD(1, 2, 0x11234), 0);
  EXPECT_EQ(_LANSETTIME("127.0.22.1", 1, 2, 3, 4, 5, 6, 7), 0);
  EXPECT_EQ(_LANANSWER("127.0.22.1", 0x42), 0);
  // The terminal listens at 19200: the third speed tried. The last request
  // byte names its new speed (code 4: 9600).
  EXPECT_EQ(_SETBAUDRATE(2, 4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12), 0);
  EXPECT_EQ(_SETBAUDRATE(7, 4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12), 1);  // no such port
  const std::string serial = site.State(site.ports.Port(2));
  EXPECT_NE(serial.find("\"clock\":[26,12,8,22,30,0,2]"), std::string::npos) << serial;
  EXPECT_NE(serial.find("\"password\":4660"), std::string::npos) << serial;
  EXPECT_NE(serial.find("\"lineSpeed\":9600"), std::string::npos) << serial;
  EXPECT_NE(serial.find("\"speedRequest\":[1,2,3,4,5,6,7,8,9,10,11,12,4]"), std::string::npos)
      << serial;
  const std::string lan = StateOf(site.state, "127.0.22.1");
  EXPECT_NE(lan.find("\"clock\":[1,2,3,4,5,6,7]"), std::string::npos) << lan;
  EXPECT_NE(lan.find("\"command3\":[66]"), std::string::npos) << lan;
}

TEST(Settings, Users) {
  Site site;
  site.Start({"--link", site.ports.Port(3), "--tcp", "127.0.22.2", "--users", "1-500"});
  EXPECT_EQ(_DISABLEPERSON(1, 3, 300), 0);
  EXPECT_EQ(_LANDISABLEALL("127.0.22.2"), 0);
  EXPECT_EQ(_LANENABLEPERSON("127.0.22.2", 7), 0);
  const std::string serial = site.State(site.ports.Port(3));
  EXPECT_NE(serial.find("\"usersEnabled\":\"1-299,301-500\""), std::string::npos) << serial;
  const std::string lan = StateOf(site.state, "127.0.22.2");
  EXPECT_NE(lan.find("\"usersEnabled\":\"7\""), std::string::npos) << lan;
}

TEST(Settings, DoorAndBell) {
  Site site;
  // The open mode's block is answered NAK: 1, and nothing kept.
  site.Start(
      {"--link", site.ports.Port(1), "--tcp", "127.0.22.3", "--command-fault", "0x13:block:nak"});
  EXPECT_EQ(_SETBELL(1, 1, 8, 30, 5), 0);
  EXPECT_EQ(_SETOPENCLOSE(1, 1, 1), 0);
  EXPECT_EQ(_SETOPENMODE(1, 1, 3), 1);
  EXPECT_EQ(_LANSETOPENTIME("127.0.22.3", 300), 0);
  const std::string serial = site.State(site.ports.Port(1));
  EXPECT_NE(serial.find("\"bell\":[8,30,5]"), std::string::npos) << serial;
  EXPECT_NE(serial.find("\"openClose\":85"), std::string::npos) << serial;
  EXPECT_NE(serial.find("\"openMode\":0"), std::string::npos) << serial;
  const std::string lan = StateOf(site.state, "127.0.22.3");
  EXPECT_NE(lan.find("\"openTime\":44"), std::string::npos) << lan;
}

}  // namespace
}  // namespace wpl::e2e
