// _MODEMDOWNLOAD and pclog modem-download of the Linux library through
// pclog-sim's modem on a pty, in real time at 9600 baud.
#include <gtest/gtest.h>

#include <string>

#include "record_files.h"
#include "run_cli.h"
#include "sim_process.h"
#include "text_search.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

using wpl::testing::Occurrences;

// An echoing modem whose CONNECT reply has 17 bytes, a terminal whose
// packets come with random recoverable faults: everything arrives, twice,
// since the terminal is never cleared; the port is closed after each call,
// which hangs the modem up, and no hang-up command or clear is ever sent.
TEST(ModemDownload, ThroughTheSimulatedModemNothingLost) {
  PortFolder ports;
  const std::string store = ports.dir() + "/terminal.dat", log = ports.dir() + "/sim.log";
  SimProcess sim({"--link",         ports.Port(3), "--modem",         "--modem-echo",
                  "--dial",         "555 1234",    "--address",       "2",
                  "--records",      "400",         "--seed",          "8",
                  "--save-records", store,         "--random-faults", "0.1",
                  "--fault-seed",   "6",           "--log",           log},
                 ports.Port(3));
  const std::string records = ReadFile(store);
  ASSERT_EQ(records.size(), 2400u);
  for (int call = 0; call < 2; ++call) {
    ASSERT_EQ(_MODEMDOWNLOAD(2, 3, "5551234"), 0) << "call " << call;
    EXPECT_EQ(ReadFile(ports.dir() + "/pclog.dat"), records);
    EXPECT_EQ(ReadFile(ports.dir() + "/pclog.txt"), ExpectedText(records));
  }
  sim.Stop();
  const std::string heard = ReadFile(log);
  EXPECT_EQ(Occurrences(heard, "modem: dial 5551234: CONNECT 14400"), 2u) << heard;
  EXPECT_EQ(Occurrences(heard, "modem: DTR dropped: hang-up"), 2u) << heard;
  EXPECT_EQ(Occurrences(heard, "terminal 5551234: command 0x01"), 2u) << heard;
  EXPECT_EQ(Occurrences(heard, "command 0x0D"), 0u) << heard;
  EXPECT_EQ(Occurrences(heard, "AT H0"), 0u) << heard;
}

// NO CARRIER (14 bytes, so the host waits out its 30 s): "AT H0", and the
// command says why it failed.
TEST(ModemDownload, NoCarrierIsHungUpWithAtH0) {
  PortFolder ports;
  const std::string log = ports.dir() + "/sim.log";
  SimProcess sim({"--link", ports.Port(2), "--modem", "--dial", "5550000,no-carrier", "--log", log},
                 ports.Port(2));
  const auto [status, out] = RunCli("modem-download --port 2 5550000");
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("no connection: the dial got \"NO CARRIER\""), std::string::npos) << out;
  sim.Stop();
  const std::string heard = ReadFile(log);
  EXPECT_EQ(Occurrences(heard, "modem: command AT H0"), 1u) << heard;
  EXPECT_EQ(Occurrences(heard, "modem: DTR dropped"), 1u) << heard;
}

}  // namespace
}  // namespace wpl::e2e
