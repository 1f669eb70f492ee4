// The Linux library against pclog-sim on pseudo-terminals, in real time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

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

// A device that goes away mid-exchange (here the far end of a pty that
// closes once it has acknowledged the frame) ends the 180 s wait for the
// block's ACK at once, and the wait spends no processor time spinning.
TEST(SerialBasics, LostDeviceEndsTheWaitWithoutSpinning) {
  PortFolder ports;
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  ASSERT_EQ(::symlink(::ptsname(master), ports.Port(1).c_str()), 0);
  std::thread terminal([master] {
    uint8_t buf[64];
    size_t got = 0;
    while (got < 14) {
      const ssize_t n = ::read(master, buf, sizeof buf);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    const uint8_t ack = 0x06;
    (void)::write(master, &ack, 1);
    ::usleep(100'000);  // the block goes out meanwhile
    ::close(master);
  });
  auto cpu = [] {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  };
  const double cpu0 = cpu();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(_ENABLEPERSON(1, 1, 300), 1);
  const auto took = std::chrono::steady_clock::now() - start;
  terminal.join();
  EXPECT_LT(took, std::chrono::seconds(2));
  EXPECT_LT(cpu() - cpu0, 0.2);
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
