// The Linux library against terminals on loopback TCP, in real time. Each
// test has loopback addresses of its own (127.0.21.x) so tests run in
// parallel.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "exports/results.h"
#include "link/lan_connection.h"
#include "sim_process.h"
#include "tcp_frontend.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The result of a full command conversation (frame, ACK) with a silence limit
// short enough for a test.
int RestoreAll(const char* ip, Millis silence) {
  link::LanExport row = link::LanRow("_LANRESTOREALL");
  row.silenceLimit = silence;
  Env env = ProcessEnv();
  return wpl::exports::DoneOrFailed(link::RunLanCommand(env, ip, row));
}

TEST(NetworkBasics, LanDeleteClearsASimulatedTerminal) {
  PortFolder dir;
  const std::string log = dir.dir() + "/sim.log", ready = dir.dir() + "/ready";
  SimProcess sim({"--tcp", "127.0.21.1", "--tcp", "127.0.21.2,nak", "--log", log, "--ready", ready},
                 ready);
  EXPECT_EQ(_LANDELETE("127.0.21.1"), 0);
  EXPECT_EQ(RestoreAll("127.0.21.1", Millis{5000}), 0);
  EXPECT_EQ(RestoreAll("127.0.21.2", Millis{5000}), 1);
  EXPECT_EQ(sim.Stop(), 0);
  const std::string text = ReadFile(log);
  EXPECT_NE(text.find("127.0.21.1 rx 4B 4F 52 56 41 4E 45 4D 5A 54 FA 05 0D F2"), std::string::npos)
      << text;
  EXPECT_NE(text.find("127.0.21.2 tx 15"), std::string::npos) << text;
}

TEST(NetworkBasics, SameTerminalAcrossConnections) {
  sim::TerminalConfig config;
  config.network = true;
  sim::TerminalModel terminal(config);
  terminal.records() = {1, 2, 3, 4, 5, 6};
  sim::TcpFrontend frontend(nullptr);
  frontend.Add("127.0.21.3", terminal);
  std::atomic<bool> stop{false};
  std::thread serve([&] { frontend.Run(stop); });
  EXPECT_EQ(_LANDELETE("127.0.21.3"), 0);
  EXPECT_EQ(RestoreAll("127.0.21.3", Millis{5000}), 0);
  EXPECT_EQ(_LANDELETE("127.0.21.3"), 0);
  EXPECT_EQ(RestoreAll("127.0.21.3", Millis{5000}), 0);
  stop = true;
  serve.join();
  EXPECT_EQ(terminal.clears(), 2);
  EXPECT_TRUE(terminal.records().empty());
  EXPECT_EQ(terminal.commands(), (std::vector<uint8_t>{0x0D, 0x0F, 0x0D, 0x0F}));
}

TEST(NetworkBasics, NobodyListeningAndBadAddressesFailAtOnce) {
  const char* const ips[] = {"127.0.21.4",      "127.0.21", "127.0.21.256",
                             "255.255.255.255", "",         nullptr};
  for (const char* ip : ips) {
    const auto start = Clock::now();
    EXPECT_EQ(_LANDELETE(ip), 1) << (ip ? ip : "(null)");
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << (ip ? ip : "(null)");
  }
}

TEST(NetworkBasics, SilentTerminalIsBoundedAndHangupIsRefused) {
  PortFolder dir;
  const std::string ready = dir.dir() + "/ready";
  SimProcess sim({"--tcp", "127.0.21.5,silent", "--tcp", "127.0.21.6,close-after-frame", "--tcp",
                  "127.0.21.7,close-at-once", "--ready", ready},
                 ready);
  // The clear waits for no reply.
  EXPECT_EQ(_LANDELETE("127.0.21.5"), 0);
  auto start = Clock::now();
  EXPECT_EQ(RestoreAll("127.0.21.5", Millis{300}), 1);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_LT(waited, std::chrono::seconds(3));
  for (const char* ip : {"127.0.21.6", "127.0.21.7"}) {
    start = Clock::now();
    EXPECT_EQ(RestoreAll(ip, Millis{5000}), 1) << ip;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3)) << ip;
  }
}

TEST(NetworkBasics, SimulatorServesLoopbackOnly) {
  PortFolder dir;
  for (const char* address : {"10.0.0.1", "0.0.0.0", "localhost"}) {
    EXPECT_THROW(
        SimProcess({"--tcp", address, "--ready", dir.dir() + "/ready"}, dir.dir() + "/ready"),
        std::runtime_error)
        << address;
  }
}

TEST(NetworkBasics, CommandLine) {
  PortFolder dir;
  const std::string ready = dir.dir() + "/ready";
  SimProcess sim({"--tcp", "127.0.21.8", "--ready", ready}, ready);
  const std::string cli = PCLOG_CLI;
  EXPECT_EQ(std::system((cli + " lan-delete 127.0.21.8 > /dev/null").c_str()), 0);
  EXPECT_NE(std::system((cli + " lan-delete 127.0.21.9 > /dev/null").c_str()), 0);
  EXPECT_NE(std::system((cli + " lan-delete 300.1.1.1 > /dev/null").c_str()), 0);
}

}  // namespace
}  // namespace wpl::e2e
