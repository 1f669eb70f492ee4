// The Linux library against pclog-sim on pseudo-terminals, in real time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <fstream>
#include <sstream>

#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

TEST(SerialBasics, TestcomFindsTerminalOnNextPortAtSlowSpeed) {
  PortFolder ports;
  const std::string log = ports.dir() + "/sim.log";
  SimProcess sim({"--link", ports.Port(4), "--address", "1", "--baud", "19200", "--log", log},
                 ports.Port(4));
  // Port 3 has no device; port 4 answers on its 19200 attempt.
  EXPECT_EQ(_TESTCOM(1, 3), 4);
  EXPECT_EQ(sim.Stop(), 0);
  // The simulator saw the frame at 57600 (ignored) and then at 19200.
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find(" 57600 1 4B 4F 52 56"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find(" 19200 1 4B 4F 52 56"), std::string::npos) << text.str();
}

TEST(SerialBasics, DeleteAcknowledgedOnHostPort) {
  PortFolder ports;
  SimProcess sim({"--link", ports.Port(2), "--address", "9"}, ports.Port(2));
  EXPECT_EQ(_DELETE(9, 2), 0);
}

TEST(SerialBasics, RefusingTerminalFailsWithoutWaitingOutTheLimits) {
  PortFolder ports;
  SimProcess sim({"--link", ports.Port(1), "--fault", "nak"}, ports.Port(1));
  // Only port 1 exists: its five 57600 attempts are refused at once, its
  // four 19200 attempts wait out 3 s each, so well under the 27 s of silence.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(_DELETE(1, 1), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(14));
}

TEST(SerialBasics, PortHeldElsewhereIsSkipped) {
  PortFolder ports;
  SimProcess held({"--link", ports.Port(2)}, ports.Port(2));
  SimProcess sim({"--link", ports.Port(3)}, ports.Port(3));
  int fd = ::open(ports.Port(2).c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(_TESTCOM(1, 2), 3);
  ::close(fd);
}

TEST(SerialBasics, NoDeviceAtAllEndsTheScan) {
  PortFolder ports;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(_TESTCOM(1, 1), -1);
  EXPECT_EQ(_DELETE(1, 1), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace wpl::e2e
