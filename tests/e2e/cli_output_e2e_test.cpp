// What every pclog command takes (--trace, --json), the library's own trace
// (W_PCLOG_TRACE) and the machine-readable record dump, against pclog-sim.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "run_cli.h"
#include "file_contents.h"
#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

using testing::ReadFile;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CliOutputE2e, SerialCommandTracedWithItsJsonSummary) {
  PortFolder ports;
  SimProcess sim({"--link", ports.Port(2), "--address", "1", "--baud", "19200"}, ports.Port(2));
  const std::string trace = ports.dir() + "/serial.trace";
  // The global options before and after the command's name.
  for (const std::string args : {"--json --trace " + trace + " testcom --port 2",
                                 "testcom --port 2 --trace " + trace + " --json"}) {
    const auto [code, out] = RunCli(args);
    EXPECT_EQ(code, 0) << args;
    EXPECT_EQ(out,
              "{\"command\":\"testcom\",\"result\":0,\"port\":2,"
              "\"lines\":[\"terminal 1 answers on port 2\"]}\n")
        << args;
    const std::string wire = ReadFile(trace);
    EXPECT_TRUE(Has(wire, " com2 57600 8N1 > 4B 4F 52 56 41 4E 45 4D 5A 54 ")) << wire;
    EXPECT_TRUE(Has(wire, " com2 19200 8N1 < 06 ")) << wire;
    EXPECT_TRUE(Has(wire, " com2 19200 8N1 closed\n")) << wire;
  }
  // An unwritable trace file stops the command before any traffic.
  const auto [code, out] = RunCli("--trace /nonexistent-folder/t testcom --port 2");
  EXPECT_NE(code, 0);
  EXPECT_EQ(out, "");
}

TEST(CliOutputE2e, LibraryTracesWhenTheHostSetsTheVariable) {
  PortFolder ports;
  const std::string ready = ports.dir() + "/ready";
  SimProcess sim({"--link", ports.Port(3), "--tcp", "127.0.31.4", "--ready", ready}, ready);
  const std::string trace = ports.dir() + "/library.trace";
  ::setenv("W_PCLOG_TRACE", trace.c_str(), 1);
  EXPECT_EQ(_TESTCOM(1, 3), 3);
  EXPECT_EQ(_LANDELETE("127.0.31.4"), 0);
  ::unsetenv("W_PCLOG_TRACE");
  EXPECT_EQ(_LANDELETE("127.0.31.4"), 0);  // no longer traced
  const std::string wire = ReadFile(trace);
  EXPECT_TRUE(Has(wire, " com3 57600 8N1 < 06 ")) << wire;
  EXPECT_TRUE(Has(wire, " 127.0.31.4:1024 connected\n")) << wire;
  EXPECT_TRUE(Has(wire, " 127.0.31.4:1024 > 4B 4F 52 56 41 4E 45 4D 5A 54 FA 05 0D F2 ")) << wire;
  size_t connects = 0;
  for (size_t at = 0; (at = wire.find("connected", at)) != std::string::npos; ++at) ++connects;
  EXPECT_EQ(connects, 1u);
}

TEST(CliOutputE2e, DumpAsCsvAndJsonLines) {
  PortFolder folder;
  const std::string file = folder.dir() + "/site.dat";
  std::ofstream(file, std::ios::binary)
      << std::string("\x07\x01\x02\x95\x4F\x28\x5E\x00\x07\x95\xCF\x28\x5E", 13);
  EXPECT_EQ(RunCli("dump " + file + " --format csv"),
            (std::pair<int, std::string>{0,
                                         "offset,number,date,time,tag,line\n"
                                         "1,258,2009-05-15,08:30,35,00025808:302009051535\n"
                                         "7,7,2009-05-15,08:30,65,00000708:302009051565\n"}));
  EXPECT_EQ(RunCli("dump " + file + " --format jsonl --independent-tags").second,
            "{\"offset\":1,\"number\":258,\"date\":\"2009-05-15\",\"time\":\"08:30\",\"tag\":35,"
            "\"line\":\"00025808:302009051535\"}\n"
            "{\"offset\":7,\"number\":7,\"date\":\"2009-05-15\",\"time\":\"08:30\",\"tag\":95,"
            "\"line\":\"00000708:302009051595\"}\n");
  EXPECT_NE(RunCli("dump " + file + " --format xml").first, 0);
  // A command that fails still gives its JSON object.
  EXPECT_EQ(RunCli("--json dump " + folder.dir() + "/absent.dat"),
            (std::pair<int, std::string>{1, "{\"command\":\"dump\",\"result\":1,\"lines\":[]}\n"}));
}

}  // namespace
}  // namespace wpl::e2e
